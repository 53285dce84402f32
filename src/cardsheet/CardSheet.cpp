#include "cardsheet/CardSheet.h"

#include "cardsheet/AttachmentFiles.h"
#include "cardsheet/AttachmentJobs.h"
#include "cardsheet/CardEdits.h"
#include "richtext/LargeText.h"
#include "richtext/NotesFormat.h"
#include "cardsheet/CardSheetWidgets.h"
#include "checklists/ChecklistLogic.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "rtf/Rtf.h"
#include "services/Services.h"
#include "ui/Boxes.h"
#include "ui/Components.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/lists/ListWidgets.h"

#include <QFileInfo>
#include <functional>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextCursor>
#include <QLineEdit>
#include <QValidator>
#include <QLocale>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

using namespace cardsheetui;

namespace {

ColorFn primary() {
    return [] { return AppPalette::primaryText(); };
}
ColorFn secondary() {
    return [] { return AppPalette::secondaryText(); };
}

QString trimmed(const QString& s) { return s.trimmed(); }

// The sheet's side margins; the body's scroll bar floats over the right one.
constexpr int kSide = std::max(18, SheetBody::gutter);

// Past this length a plain description is shown in a text view rather than a label.
constexpr qsizetype longPlainDescription = 4000;

// A hairline across the sheet, in the separator colour at 0.6.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), withOpacity(AppPalette::separator(), 0.6));
    }
};

// Gives the keyboard to `target` (cursor at the end) on a click in its own free space. At least
// `minimumHeight` tall, and never shorter than what it holds: an explicit minimum height would stand in
// for its content's, and the scrolled body would clip an editor that grows with its text.
class ClickToFocus : public QWidget {
public:
    using QWidget::QWidget;
    QTextEdit* target = nullptr;
    int minimumHeight = 0;

    QSize minimumSizeHint() const override {
        const QSize s = QWidget::minimumSizeHint();
        return {s.width(), std::max(s.height(), minimumHeight)};
    }
    QSize sizeHint() const override {
        const QSize s = QWidget::sizeHint();
        return {s.width(), std::max(s.height(), minimumHeight)};
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (target) {
            target->setFocus(Qt::MouseFocusReason);
            target->moveCursor(QTextCursor::End);
        }
        QWidget::mousePressEvent(event);
    }
};

// The screen's colour under the rows, inside the sheet's card.
class ScreenFill : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), AppPalette::screenBackground());
    }
};

ColorLabel* hint(const QString& text, QWidget* parent) {
    auto* l = new ColorLabel(text, Fonts::rounded(12), secondary(), parent);
    l->setWordWrap(true);
    return l;
}

} // namespace

CardSheet::CardSheet(const Services& services, ChecklistPtr checklist, QWidget* parent)
    : QDialog(parent),
      m_context(services.context),
      m_imports(services.attachments),
      m_thumbnails(services.thumbnails),
      m_richText{services.theme, services.spelling},
      m_checklist(std::move(checklist)) {
    setModal(true);
    setFixedWidth(sheetWidth + 2 * frameMargin());
    // The rows stand on the screen's colour inside a card, which stands on the screen's colour too.
    auto* backdrop = new ScreenFill;
    m_card = new AppCard(backdrop, this);
    m_card->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_card->lower();
    // The header and the footer stay in place; the body between them scrolls when the window is short.
    const int m = frameMargin();
    m_outer = Boxes::column(this, 0, QMargins(m, m, m, m));
    auto* scroll = new SheetBody(this);
    scroll->setObjectName(QStringLiteral("cardSheetScroll"));
    m_outer->addWidget(scroll);

    connect(&services.theme, &ThemeManager::appearanceChanged, this, [this] { update(); });
    connect(&m_imports, &AttachmentImports::started, this, [this](const QUuid& id) {
        if (m_editingCard && m_editingCard->id() == id)
            refreshAttachments();
    });
    connect(&m_imports, &AttachmentImports::finished, this, &CardSheet::importFinished);
}

CardSheet::~CardSheet() {
    // A description editor writes what it still holds into this sheet's form as it goes: it must go while
    // that form lives, not later with the sheet's children (the form may share its text with the card's notes).
    m_editor = nullptr;
    const auto editors = findChildren<RichTextBlockEditor*>();
    for (RichTextBlockEditor* editor : editors)
        delete editor;
}

QString CardSheet::heading() const {
    if (!m_editingCard)
        return QStringLiteral("Nouvelle étape");
    return m_editMode ? QStringLiteral("Modifier l’étape") : QStringLiteral("Détails de l’étape");
}

void CardSheet::openNewCard(const ChecklistColumnPtr& column) {
    m_targetColumn = column;
    m_editingCard.reset();
    m_title.clear();
    m_description.clear();
    m_link.clear();
    m_editMode = true;
    m_descriptionRtf.reset();
    m_descriptionTooLarge = false;
    rebuild();
    present();
}

void CardSheet::openCard(const ChecklistCardPtr& card) {
    m_editingCard = card;
    m_targetColumn.reset();
    m_title = card ? card->title() : QString();
    const OptText stored = card ? card->notes() : std::nullopt;
    // Decoding and reading a description of many megabytes would hold the window for seconds and take
    // gigabytes: only its start is read, when the sheet is built.
    m_descriptionTooLarge = notesformat::isOversized(stored);
    m_storedNotesSize = stored ? stored->size() : 0;
    const notesformat::Decoded notes = m_descriptionTooLarge ? notesformat::Decoded{} : notesformat::decode(stored);
    m_descriptionRtf = notes.rtf;
    m_description = notes.plain;
    m_storedDescriptionRtf = m_descriptionRtf;
    m_storedDescription = m_description;
    m_link.clear();
    m_editMode = false;
    rebuild();
    present();
}

void CardSheet::present() {
    if (!isVisible())
        open();
    if (m_titleField)
        m_titleField->setFocus(Qt::OtherFocusReason);
}

void CardSheet::startEditing() {
    if (!m_editingCard || m_editMode)
        return;
    m_editMode = true;
    rebuild();
    // "Modifier" went with the old body: typing starts with the title.
    if (m_titleField)
        m_titleField->setFocus(Qt::OtherFocusReason);
}

// ---- building ----

void CardSheet::rebuild() {
    auto* scroll = findChild<SheetBody*>(QStringLiteral("cardSheetScroll"));
    for (QWidget* old : {scroll->takeWidget(), m_headerBox.data(), m_footerBox.data()}) {
        if (!old)
            continue;
        // The click that led here may come from a widget of the old body: delete it later, and with
        // the sheet at the latest (its editor writes into this sheet's form).
        m_outer->removeWidget(old);
        old->setParent(this);
        old->hide();
        old->deleteLater();
    }
    m_titleField = nullptr;
    m_linkField = nullptr;
    m_editor = nullptr;

    m_body = new QWidget;
    m_body->setAutoFillBackground(false);
    m_bodyLayout = new QVBoxLayout(m_body);
    // The scroll bar floats over the right margin, clear of the fields.
    m_bodyLayout->setContentsMargins(kSide, 0, kSide, 0);
    m_bodyLayout->setSpacing(14);

    m_headerBox = new QWidget(this);
    auto* top = new QVBoxLayout(m_headerBox);
    top->setContentsMargins(kSide, 18, kSide, 14);
    top->addWidget(buildHeader());
    if (m_editMode) {
        m_bodyLayout->addWidget(buildTitleField());
        m_bodyLayout->addWidget(buildDescription());
    } else {
        const QString shownTitle = trimmed(m_title).isEmpty() ? QStringLiteral("Sans titre") : m_title;
        // Wrapped, and cut anywhere inside a word longer than the line.
        auto* title = new lists::ClampedText(Fonts::rounded(15, 700), primary(), 0, m_body);
        title->setText(shownTitle);
        title->setObjectName(QStringLiteral("readTitle"));
        m_bodyLayout->addWidget(title);
        m_bodyLayout->addWidget(buildDescription());
    }
    m_bodyLayout->addWidget(buildLinks());
    m_attachments = buildAttachments();
    m_bodyLayout->addWidget(m_attachments);
    m_bodyLayout->addStretch(1);
    scroll->setWidget(m_body);
    // Set after setWidget, which turns it on: the sheet's card shows through.
    m_body->setAutoFillBackground(false);

    m_footerBox = new QWidget(this);
    auto* bottom = Boxes::column(m_footerBox, 14, QMargins(kSide, 14, kSide, 18));
    bottom->addWidget(new Divider(m_footerBox));
    bottom->addWidget(buildFooter());
    m_outer->insertWidget(0, m_headerBox);
    m_outer->addWidget(m_footerBox);
    // Shown now: a layout would show them only on the next turn of the event loop.
    m_headerBox->show();
    m_footerBox->show();
    setWindowTitle(heading());

    // As tall as the content, within the window it covers.
    Sheets::fit(this, scroll);
}

QWidget* CardSheet::buildHeader() {
    auto* row = new QWidget(m_body);
    auto* l = Boxes::row(row, 10, QMargins());
    auto* title = new ColorLabel(heading(), Fonts::rounded(16, 600), primary(), row);
    title->setObjectName(QStringLiteral("heading"));
    l->addWidget(title);
    l->addStretch(1);
    if (m_editingCard && !m_editMode) {
        PillButton::Look look;
        look.symbolPx = 12;
        look.textPx = 12;
        look.spacing = 6;
        look.padH = 10;
        look.padV = 8;
        auto* edit = new PillButton(QStringLiteral("pencil"), QStringLiteral("Modifier"), look, row);
        connect(edit, &QAbstractButton::clicked, this, &CardSheet::startEditing);
        l->addWidget(edit);
    }
    auto* close = new IconButton(QStringLiteral("xmark"), QStringLiteral("Fermer"), 12, 8, row);
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    l->addWidget(close);
    return row;
}

namespace {

// Refuses, and says so, an edit that would take the title past its limit. The field lets one character
// more than the limit through, so that whatever would pass it (a long paste is cut to what the field
// holds first) comes here and is undone, where the field alone would cut it without a word.
class TitleLimit : public QValidator {
public:
    TitleLimit(QLineEdit* field, std::function<void()> refused) : QValidator(field), m_refused(std::move(refused)) {
        field->setMaxLength(CardSheet::titleLimit + 1);
    }
    State validate(QString& input, int&) const override {
        if (input.size() <= CardSheet::titleLimit)
            return Acceptable;
        m_refused();
        return Invalid;
    }

private:
    std::function<void()> m_refused;
};

} // namespace

QWidget* CardSheet::buildTitleField() {
    auto* field = new FieldFrame(QStringLiteral("Titre"), 0.95, m_body);
    m_titleField = field->lineEdit();
    m_titleField->setFont(Fonts::system(13));
    m_titleField->setText(m_title);
    m_titleField->setValidator(new TitleLimit(m_titleField, [this] {
        if (m_titleRefusalShown)
            return;
        m_titleRefusalShown = true;
        // Told once the field has undone the edit.
        QTimer::singleShot(0, this, [this] {
            m_titleRefusalShown = false;
            DialogSeam::Message m;
            m.icon = QMessageBox::Warning;
            m.text = QStringLiteral("Ce texte est trop long pour un titre.");
            m.informativeText = QStringLiteral("Un titre compte au plus %1 caractères ; le texte n’a pas été ajouté.")
                                    .arg(QLocale(QLocale::French, QLocale::France).toString(titleLimit));
            DialogSeam::open(this, m);
        });
    }));
    connect(m_titleField, &QLineEdit::textChanged, this, [this](const QString& t) { m_title = t; });
    return field;
}

QWidget* CardSheet::buildDescriptionPreview() {
    auto* box = new QWidget(m_body);
    box->setObjectName(QStringLiteral("descriptionTooLarge"));
    auto* l = Boxes::column(box, 6, QMargins());
    auto* notice = hint(largetext::tooLargeMessage(m_storedNotesSize), box);
    notice->setObjectName(QStringLiteral("descriptionNotice"));
    l->addWidget(notice);
    auto* view = new ReadOnlyRichText(box);
    const notesformat::Decoded start = notesformat::preview(m_editingCard->notes(), largetext::previewChars);
    largetext::loadPreview(start.rtf, start.plain, *view->document());
    view->document()->setDocumentMargin(12);
    view->contentChanged(true);
    view->setAccessibleName(QStringLiteral("Description"));
    l->addWidget(view);
    return box;
}

QWidget* CardSheet::buildDescription() {
    if (m_descriptionTooLarge && m_editingCard) {
        if (!m_editMode)
            return buildDescriptionPreview();
        auto* section = new SheetSection(QStringLiteral("Description"), m_body);
        section->contentLayout()->addWidget(buildDescriptionPreview());
        return section;
    }
    if (m_editMode) {
        auto* section = new SheetSection(QStringLiteral("Description"), m_body);
        TextBinding text{[this] { return m_description; }, [this](const QString& v) { m_description = v; }};
        RtfBinding rtf{[this] { return m_descriptionRtf; },
                       [this](const std::optional<QByteArray>& v) { m_descriptionRtf = v; }};
        // The editor sizes itself to its text and is at least 160 tall, its toolbar included; a click in
        // the free space below it puts the cursor at the end.
        auto* frame = new ClickToFocus(section);
        auto* fl = new QVBoxLayout(frame);
        fl->setContentsMargins(0, 0, 0, 0);
        m_editor = new RichTextBlockEditor(m_richText, text, rtf, false, {}, {}, frame);
        m_editor->setMinimumTotalHeight(160);
        m_editor->setAccessibleName(QStringLiteral("Description"));
        m_editor->textView()->setAccessibleName(QStringLiteral("Description"));
        frame->target = m_editor->textView();
        // The caret stays in view while the text grows past the bottom of the scrolled body.
        connect(m_editor->textView(), &QTextEdit::cursorPositionChanged, this, &CardSheet::keepCaretInView);
        fl->addWidget(m_editor);
        fl->addStretch(1);
        section->contentLayout()->addWidget(frame);
        return section;
    }
    // Read mode: formatted text when the RTF reads into at least one character, else the plain text,
    // else a placeholder.
    if (m_descriptionRtf && !m_descriptionRtf->isEmpty()) {
        auto* view = new ReadOnlyRichText(m_body);
        if (rtf::read(*m_descriptionRtf, *view->document()) && !view->document()->isEmpty() &&
            view->document()->characterCount() > 1) {
            view->contentChanged();
            view->setObjectName(QStringLiteral("readDescriptionRich"));
            // A long text is read through the view's text, not as a name.
            view->setAccessibleName(view->isBounded() ? QStringLiteral("Description")
                                                      : rtf::plainText(*view->document()));
            view->setContentsMargins(0, 2, 0, 2);
            return view;
        }
        delete view;
    }
    if (m_description.size() > longPlainDescription) {
        // A label measures its whole text again at every width a layout asks.
        auto* view = new ReadOnlyRichText(m_body);
        view->setPlainLabelText(m_description, Fonts::rounded(13), secondary());
        view->setObjectName(QStringLiteral("readDescriptionLong"));
        view->setAccessibleName(QStringLiteral("Description"));
        return view;
    }
    ColorLabel* label;
    if (!trimmed(m_description).isEmpty()) {
        label = new ColorLabel(m_description, Fonts::rounded(13), secondary(), m_body);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        label->setObjectName(QStringLiteral("readDescriptionPlain"));
    } else {
        label = new ColorLabel(QStringLiteral("Aucune description."), Fonts::rounded(13), secondary(), m_body);
        label->setObjectName(QStringLiteral("readDescriptionNone"));
    }
    label->setWordWrap(true);
    return label;
}

QWidget* CardSheet::buildLinks() {
    auto* section = new SheetSection(QStringLiteral("Liens"), m_body);
    QVBoxLayout* content = section->contentLayout();
    if (m_editMode) {
        auto* row = Boxes::row(nullptr, 10);
        auto* field = new FieldFrame(QStringLiteral("https://…"), 0.95, section);
        m_linkField = field->lineEdit();
        m_linkField->setText(m_link);
        connect(m_linkField, &QLineEdit::textChanged, this, [this](const QString& t) { m_link = t; });
        auto* add = new PrimaryButton(QStringLiteral("Ajouter"), QStringLiteral("link"), section);
        connect(add, &QAbstractButton::clicked, this, &CardSheet::addLink);
        row->addWidget(field, 1);
        row->addWidget(add);
        content->addLayout(row);
    }
    if (!m_editingCard) {
        content->addWidget(hint(QStringLiteral("Crée l’étape pour ajouter des liens."), section));
        return section;
    }
    auto* list = Boxes::column(nullptr, 6);
    for (const ChecklistAttachmentPtr& a : m_editingCard->attachments()) {
        if (!attachmentfiles::isLinkAttachment(*a))
            continue;
        auto* frame = new RowFrame(
            12, [] { return withOpacity(AppPalette::screenBackground(), 0.6); }, 0.25, section);
        auto* l = new QHBoxLayout(frame);
        l->setContentsMargins(10, 8, 10, 8);
        auto* text = new ColorLabel(a->localPath(), Fonts::rounded(12), primary(), frame);
        text->setElided(true);
        l->addWidget(text, 1);
        addRowButtons(l, a, QStringLiteral("arrow.up.right.square"), QStringLiteral("Ouvrir le lien"),
                      QStringLiteral("Supprimer le lien"), &CardSheet::openLinkAttachment);
        list->addWidget(frame);
    }
    content->addLayout(list);
    return section;
}

QWidget* CardSheet::buildAttachments() {
    auto* section = new SheetSection(QStringLiteral("Pièces jointes"), m_body);
    QVBoxLayout* content = section->contentLayout();
    const bool copying = m_editingCard && m_imports.isCopying(m_editingCard->id());
    if (m_editMode) {
        auto* row = new QHBoxLayout;
        auto* add = new PrimaryButton(QStringLiteral("Ajouter un fichier"), QStringLiteral("paperclip"), section);
        add->setObjectName(QStringLiteral("addFile"));
        // One copy at a time per card: the button comes back when the running copy ends.
        add->setEnabled(!copying);
        connect(add, &QAbstractButton::clicked, this, &CardSheet::requestFileImport);
        row->addWidget(add);
        row->addStretch(1);
        content->addLayout(row);
    }
    if (!m_editingCard) {
        content->addWidget(hint(QStringLiteral("Crée l’étape pour ajouter des fichiers."), section));
        return section;
    }
    auto* list = Boxes::column(nullptr, 10);
    for (const ChecklistAttachmentPtr& a : m_editingCard->attachments())
        if (!attachmentfiles::isLinkAttachment(*a))
            list->addWidget(buildFileRow(a));
    if (copying)
        for (const QString& name : m_imports.copyingNames(m_editingCard->id()))
            list->addWidget(hint(QStringLiteral("Copie de « %1 »…").arg(name), section));
    content->addLayout(list);
    return section;
}

void CardSheet::refreshAttachments() {
    // Only the attachments section changes while a copy starts or ends: the rest of the sheet (and the
    // text being typed in it) stays as it is.
    if (!m_attachments || !m_bodyLayout)
        return rebuild();
    QWidget* fresh = buildAttachments();
    QLayoutItem* old = m_bodyLayout->replaceWidget(m_attachments, fresh);
    delete old;
    m_attachments->hide();
    m_attachments->deleteLater();
    m_attachments = fresh;
    fresh->show();
}

QWidget* CardSheet::buildFileRow(const ChecklistAttachmentPtr& a) {
    auto* frame = new RowFrame(
        14, [] { return withOpacity(AppPalette::cardBackground(), 0.95); }, 0.25, m_body);
    frame->setObjectName(QStringLiteral("fileRow"));
    frame->setCursor(Qt::PointingHandCursor);
    auto* l = Boxes::row(frame, 10, QMargins(10, 10, 10, 10));
    const bool image = attachmentfiles::isImageAttachment(a->mimeType(), a->fileName());
    auto* preview = new AttachmentPreview(attachmentfiles::attachmentIconName(a->mimeType(), a->fileName()), frame);
    if (image) {
        QPointer<AttachmentPreview> guard(preview);
        const QImage cached = m_thumbnails.request(a->localPath(), preview, [guard](const QImage& img) {
            if (guard && !img.isNull())
                guard->setThumbnail(img);
        });
        if (!cached.isNull())
            preview->setThumbnail(cached);
    }
    l->addWidget(preview);
    auto* labels = Boxes::column(nullptr, 2);
    labels->addStretch(1);
    // An image's name is quieter than a file's, as quiet as secondary text can read.
    const QString shownName = attachmentfiles::withoutFormatCharacters(a->fileName());
    auto* name = new ColorLabel(shownName, Fonts::rounded(12, 600), image ? secondary() : primary(), frame);
    name->setObjectName(QStringLiteral("fileName"));
    name->setElided(true);
    name->setAttribute(Qt::WA_TransparentForMouseEvents);
    name->setAccessibleDescription(a->localPath());
    labels->addWidget(name);
    // The stored path, cut in its middle: where the file lives and its own name both stay readable.
    auto* path = new ColorLabel(a->localPath(), Fonts::rounded(11), secondary(), frame);
    path->setObjectName(QStringLiteral("filePath"));
    path->setElided(true, Qt::ElideMiddle);
    path->setAttribute(Qt::WA_TransparentForMouseEvents);
    labels->addWidget(path);
    labels->addStretch(1);
    frame->setToolTip(a->localPath());
    frame->setAccessibleName(shownName);
    frame->setAccessibleDescription(a->localPath());
    l->addLayout(labels, 1);
    addRowButtons(l, a, QStringLiteral("doc.text.magnifyingglass"), QStringLiteral("Ouvrir le fichier"),
                  QStringLiteral("Supprimer le fichier"), &CardSheet::openFileAttachment);
    connect(frame, &RowFrame::clicked, this, [this, a] { openFileAttachment(a); });
    return frame;
}

void CardSheet::addRowButtons(QBoxLayout* row, const ChecklistAttachmentPtr& attachment, const QString& openSymbol,
                              const QString& openLabel, const QString& removeLabel,
                              void (CardSheet::*opens)(const ChecklistAttachmentPtr&)) {
    QWidget* frame = row->parentWidget();
    auto* openButton = new IconButton(openSymbol, openLabel, 12, 6, frame);
    auto* removeButton = new IconButton(QStringLiteral("trash"), removeLabel, 12, 6, frame);
    connect(openButton, &QAbstractButton::clicked, this, [this, attachment, opens] { (this->*opens)(attachment); });
    connect(removeButton, &QAbstractButton::clicked, this, [this, attachment] { removeAttachment(attachment); });
    row->addWidget(openButton);
    row->addWidget(removeButton);
}

QWidget* CardSheet::buildFooter() {
    auto* row = new QWidget(m_body);
    auto* l = Boxes::row(row, 10, QMargins());
    if (m_editingCard) {
        PillButton::Look look;
        look.symbolPx = 12;
        look.destructive = true;
        auto* del = new PillButton(QStringLiteral("trash"), QStringLiteral("Supprimer l’étape"), look, row);
        connect(del, &QAbstractButton::clicked, this, &CardSheet::deleteShownCard);
        l->addWidget(del);
    }
    l->addStretch(1);
    if (m_editMode) {
        auto* save = new PrimaryButton(m_editingCard ? QStringLiteral("Enregistrer") : QStringLiteral("Créer"),
                                       QStringLiteral("checkmark"), row);
        connect(save, &QAbstractButton::clicked, this, &CardSheet::requestSave);
        l->addWidget(save);
    } else if (m_editingCard) {
        const ChecklistColumnPtr column = m_editingCard->column();
        if (column && !ChecklistLogic::isDoneColumn(*column)) {
            auto* done = new PrimaryButton(QStringLiteral("Marquer comme terminé"),
                                           QStringLiteral("checkmark.circle.fill"), row);
            connect(done, &QAbstractButton::clicked, this, &CardSheet::markShownCardDone);
            l->addWidget(done);
        }
    }
    return row;
}

void CardSheet::keepCaretInView() {
    // Once the body has taken the editor's new height.
    QTimer::singleShot(0, this, [this] {
        auto* scroll = findChild<SheetBody*>(QStringLiteral("cardSheetScroll"));
        if (!m_editor || !scroll || !m_body || !m_editor->textView()->hasFocus())
            return;
        QTextEdit* text = m_editor->textView();
        const QRect caret = text->cursorRect();
        const QPoint at = text->viewport()->mapTo(m_body, caret.center());
        scroll->ensureVisible(at.x(), at.y(), 0, caret.height() / 2 + 12);
    });
}

// ---- actions ----

void CardSheet::requestSave() {
    if (trimmed(m_title).isEmpty())
        return;
    // The description's RTF is written into the form first, then the card is stored with it.
    if (m_editor)
        m_editor->flushRtf();
    saveCard();
}

void CardSheet::saveCard() {
    if (trimmed(m_title).isEmpty())
        return;
    const QString notes = notesformat::encode(m_descriptionRtf, m_description);
    CardEdits edits(m_context, m_checklist);
    if (m_editingCard) {
        // A description nobody changed is not written again: its RTF may hold what our writer
        // cannot, and its plain text keeps the blanks it was stored with.
        const bool changed = m_descriptionRtf != m_storedDescriptionRtf || m_description != m_storedDescription;
        edits.updateCard(m_editingCard, m_title, changed ? OptText(notes) : m_editingCard->notes());
    } else {
        if (!m_targetColumn)
            return;
        ChecklistCardPtr card = edits.createCard(m_targetColumn, m_title, notes);
        if (!card)
            return;
        m_editingCard = card;
        m_targetColumn.reset();
    }
    m_storedDescriptionRtf = m_descriptionRtf;
    m_storedDescription = m_description;
    m_editMode = false;
    rebuild();
    emit cardChanged();
}

void CardSheet::deleteShownCard() {
    if (m_editingCard) {
        CardEdits(m_context, m_checklist).deleteCard(m_editingCard);
        emit cardChanged();
    }
    reject();
}

void CardSheet::markShownCardDone() {
    if (m_editingCard && CardEdits(m_context, m_checklist).markCardDone(m_editingCard))
        emit cardChanged();
    reject();
}

void CardSheet::addLink() {
    if (!CardEdits::acceptedLink(m_link))
        return;
    if (!m_editingCard) {
        if (trimmed(m_title).isEmpty())
            return;
        // The save is synchronous: the card exists right after it, so the link goes in on the same press.
        requestSave();
    }
    if (!m_editingCard)
        return;
    if (!CardEdits(m_context, m_checklist).addLink(m_editingCard, m_link))
        return;
    m_link.clear();
    rebuild();
    emit cardChanged();
}

void CardSheet::removeAttachment(const ChecklistAttachmentPtr& attachment) {
    if (!m_editingCard || !attachment)
        return;
    CardEdits(m_context, m_checklist).removeAttachment(attachment);
    rebuild();
    emit cardChanged();
}

void CardSheet::openLinkAttachment(const ChecklistAttachmentPtr& attachment) {
    const QUrl url(attachment->localPath().trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return;
    DialogSeam::openUrl(url);
}

void CardSheet::openFileAttachment(const ChecklistAttachmentPtr& attachment) {
    const QString path = attachment->localPath();
    // Only our own copies are handed to the desktop.
    if (!QFileInfo(path).isFile() || !attachmentfiles::isInsideAttachments(path)) {
        DialogSeam::Message m;
        m.icon = QMessageBox::Warning;
        m.text = QStringLiteral("Ce fichier est introuvable.");
        m.informativeText = path;
        DialogSeam::open(this, m);
        return;
    }
    DialogSeam::openUrl(QUrl::fromLocalFile(path));
}

void CardSheet::requestFileImport() {
    if (m_editingCard) {
        QTimer::singleShot(0, this, &CardSheet::showFileImporter);
        return;
    }
    if (trimmed(m_title).isEmpty())
        return;
    requestSave();
    // The picker opens only when the card exists to receive the file.
    if (m_editingCard)
        QTimer::singleShot(50, this, &CardSheet::showFileImporter);
}

void CardSheet::showFileImporter() {
    if (!m_editingCard)
        return;
    importAttachment(DialogSeam::getOpenFileName(this, QStringLiteral("Ajouter un fichier")));
}

void CardSheet::importAttachment(const QString& path) {
    if (path.isEmpty() || !m_editingCard || !m_checklist)
        return;
    QPointer<ModelContext> context(&m_context);
    const ChecklistPtr checklist = m_checklist;
    const std::weak_ptr<ChecklistCard> weakCard = m_editingCard;
    m_imports.start({m_checklist->id(), m_editingCard->id(), path},
                    [context, checklist, weakCard](const QString& fileName, const QString& copyPath) {
                        const ChecklistCardPtr card = weakCard.lock();
                        if (!context || !card || card->isDeleted())
                            return false;
                        return CardEdits(*context, checklist).addFile(card, fileName, copyPath) != nullptr;
                    });
}

void CardSheet::importFinished(const QUuid& cardId, bool ok, const QString& fileName, const QString& reason) {
    const bool mine = m_editingCard && m_editingCard->id() == cardId;
    if (mine)
        refreshAttachments();
    if (ok) {
        if (mine)
            emit cardChanged();
        return;
    }
    if (reason.isEmpty() || !mine || !isVisible())
        return;
    DialogSeam::Message m;
    m.icon = QMessageBox::Warning;
    m.text = QStringLiteral("« %1 » n’a pas pu être joint.").arg(fileName);
    m.informativeText = reason;
    DialogSeam::open(this, m);
}

// ---- events ----

void CardSheet::keyPressEvent(QKeyEvent* event) {
    // Return ends nothing and saves nothing; Escape closes like the close button.
    if (!Sheets::swallowReturn(event))
        QDialog::keyPressEvent(event);
}

int CardSheet::frameMargin() { return cardInset + AppCard::padding; }

void CardSheet::paintEvent(QPaintEvent*) {
    // Over the board: its edge stands out from it.
    QPainter p(this);
    p.fillRect(rect(), AppPalette::screenBackground());
    p.setPen(withOpacity(AppPalette::separator(), 0.6));
    p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void CardSheet::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The card's edge 18 inside the sheet, its shadow around it.
    m_card->setGeometry(rect().marginsRemoved(QMargins(cardInset, cardInset, cardInset, cardInset)) +
                        AppCard::shadowMargins());
}
