#include "editor/BlockRow.h"

#include "editor/AttributedTextView.h"
#include "editor/CodeBlockView.h"
#include "editor/DocEdits.h"
#include "editor/EditorWidgets.h"
#include "editor/ImageBlockEditor.h"
#include "richtext/ClickableTextView.h"
#include "richtext/LargeText.h"
#include "richtext/RichTextBlockEditor.h"
#include "ui/Components.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "ui/AppStyle.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocument>
#include <QResizeEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

using editorui::PaintedButton;
using editorui::PaintedLabel;

namespace {

// Holds one widget that reaches `overhang` beyond the top and bottom of the layout's rectangle (a box
// layout takes negative margins for its style's own).
class OverhangLayout : public QLayout {
public:
    OverhangLayout(int overhang, QWidget* parent) : QLayout(parent), m_overhang(overhang) {
        setContentsMargins(0, 0, 0, 0);
    }
    ~OverhangLayout() override { delete m_item; }

    void addItem(QLayoutItem* item) override {
        delete m_item;
        m_item = item;
    }
    int count() const override { return m_item ? 1 : 0; }
    QLayoutItem* itemAt(int index) const override { return index == 0 ? m_item : nullptr; }
    QLayoutItem* takeAt(int index) override {
        if (index != 0)
            return nullptr;
        return std::exchange(m_item, nullptr);
    }
    Qt::Orientations expandingDirections() const override {
        return m_item ? m_item->expandingDirections() : Qt::Orientations();
    }
    QSize sizeHint() const override { return m_item ? shrunk(m_item->sizeHint()) : QSize(); }
    QSize minimumSize() const override { return m_item ? shrunk(m_item->minimumSize()) : QSize(); }
    QSize maximumSize() const override { return m_item ? shrunk(m_item->maximumSize()) : QLayout::maximumSize(); }
    bool hasHeightForWidth() const override { return m_item && m_item->hasHeightForWidth(); }
    int heightForWidth(int width) const override {
        // A row kept at a fixed height (its face not switched yet) need not measure a face it does not show.
        if (const QWidget* row = parentWidget(); row && row->minimumHeight() == row->maximumHeight())
            return row->minimumHeight();
        return std::max(0, m_item->heightForWidth(width) - 2 * m_overhang);
    }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        // Placed directly: an item bounds the rectangle it is given to its widget's limits.
        if (QWidget* w = m_item ? m_item->widget() : nullptr)
            w->setGeometry(rect.adjusted(0, -m_overhang, 0, m_overhang));
    }

private:
    QSize shrunk(QSize size) const {
        if (size.height() < QWIDGETSIZE_MAX)
            size.setHeight(std::max(0, size.height() - 2 * m_overhang));
        return size;
    }

    QLayoutItem* m_item = nullptr;
    int m_overhang;
};

QColor green() { return standardColor(StandardColor::green); }

struct BadgeInfo {
    const char* symbol;
    const char* label;
};

BadgeInfo badgeFor(DocBlockType type) {
    switch (type) {
    case DocBlockType::code: return {"chevron.left.forwardslash.chevron.right", "Code"};
    case DocBlockType::image: return {"photo.fill", "Image"};
    case DocBlockType::text: break;
    }
    return {"doc.text.fill", "Texte"};
}

// The row's card: an AppCard that adds the green outline of a completed block.
class BlockCard : public AppCard {
public:
    BlockCard(std::function<bool()> outlined, QWidget* content, QWidget* parent)
        : AppCard(content, parent), m_outlined(std::move(outlined)) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        AppCard::paintEvent(event);
        if (!m_outlined())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Paint::strokeRoundedRect(p, cardRect(), 12, withOpacity(green(), 0.5), 2);
    }

private:
    std::function<bool()> m_outlined;
};

// A hairline with 12 of space above and below.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) {
        setFixedHeight(25);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(QRectF(0, 12, width(), 1), AppPalette::separator());
    }
};

QString blockIdText(const QMimeData* data) {
    if (!data)
        return {};
    if (data->hasFormat(QLatin1String(kBlockMimeType)))
        return QString::fromUtf8(data->data(QLatin1String(kBlockMimeType)));
    return data->hasText() ? data->text() : QString();
}

// A block's own drag payload, or the plain text of a block identifier.
bool isBlockPayload(const QMimeData* data) {
    if (!data)
        return false;
    if (data->hasFormat(QLatin1String(kBlockMimeType)))
        return true;
    return data->hasText() && !data->hasUrls() && !QUuid::fromString(data->text().trimmed()).isNull();
}

// A block's picture, read and decoded off the window's thread when shown: the block keeps no bytes for it.
blockimage::Source storedPicture(const DocBlock& block) {
    blockimage::Source source;
    source.present = block.hasImageData();
    if (source.present)
        source.read = block.imageDataReader();
    return source;
}

// Past this length a plain text is shown in a text view rather than a label.
constexpr qsizetype longPlainText = 4000;

int estimatedTextLines(const QString& text, int width, qreal charWidth) {
    const int perLine = std::max(10, int(width / charWidth));
    int lines = 0;
    for (const QStringView paragraph : QStringView(text).split(QLatin1Char('\n')))
        lines += std::max<qsizetype>(1, (paragraph.size() + perLine - 1) / perLine);
    return std::max(lines, 1);
}

// The text of a plain text block. QLabel works out its preferred and narrowest sizes by laying the whole
// text out three or four times (the narrowest one word a line); a row needs only its height at its width.
class PlainTextLabel : public editorui::ToneLabel {
public:
    using ToneLabel::ToneLabel;

    QSize minimumSizeHint() const override {
        const QMargins m = contentsMargins();
        return {m.left() + m.right() + 2 * margin(), m.top() + m.bottom() + 2 * margin() + fontMetrics().height()};
    }
    // Its height at the width it has, or is about to get from its parent's layout (the one the layout asks
    // for anyway); else one line.
    QSize sizeHint() const override {
        int w = testAttribute(Qt::WA_Resized) ? width() : -1;
        const QWidget* parent = parentWidget();
        if (w < 0 && parent && parent->testAttribute(Qt::WA_Resized) && parent->layout()) {
            const QMargins m = parent->layout()->contentsMargins();
            w = parent->width() - m.left() - m.right();
        }
        if (w < 0)
            return {fontMetrics().averageCharWidth() * 80, minimumSizeHint().height()};
        return {w, heightForWidth(w)};
    }
};

} // namespace

ImprovedBlockRowView::ImprovedBlockRowView(DocEdits& edits, const RichTextEnvironment& richText, DocBlockPtr block,
                                           bool isEditMode, bool forceSaveRTF, Callbacks callbacks, QWidget* parent)
    : QWidget(parent),
      m_edits(edits),
      m_richText(richText),
      m_block(std::move(block)),
      m_isEditMode(isEditMode),
      m_forceSaveRTF(forceSaveRTF),
      m_callbacks(std::move(callbacks)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // A block growing by a line repaints that line, not the whole row (see resizeEvent).
    keepPaintingOnResize(this);
    setFixedHeight(estimatedHeight(860));
    setAcceptDrops(dndEnabled());
    connect(m_block.get(), &PersistentModel::changed, this, [this](const char* key) {
        if (std::strcmp(key, "content") == 0 || std::strcmp(key, "richTextData") == 0 ||
            std::strcmp(key, "imageData") == 0 || std::strcmp(key, "codeLanguage") == 0 ||
            std::strcmp(key, "typeRaw") == 0)
            m_viewStale = true;
        if (std::strcmp(key, "isCompleted") == 0)
            update();
    });
}

ImprovedBlockRowView::~ImprovedBlockRowView() = default;

bool ImprovedBlockRowView::dndEnabled() const { return m_isEditMode && bool(m_callbacks.onReorder); }

int ImprovedBlockRowView::rowSpacing() {
    const QMargins shadow = AppCard::shadowMargins();
    return std::max(0, cardGap - (shadow.top() + shadow.bottom() - 2 * shadowOverhang));
}

int ImprovedBlockRowView::estimatedHeight(int width) const { return estimatedHeight(*m_block, m_isEditMode, width); }

int ImprovedBlockRowView::estimatedHeight(const DocBlock& block, bool editMode, int width) {
    const QMargins shadow = AppCard::shadowMargins();
    const int chrome = shadow.top() + shadow.bottom() - 2 * shadowOverhang + 2 * AppCard::padding + 28 + 25;
    const int inner = std::max(100, width - shadow.left() - shadow.right() - 2 * AppCard::padding);
    int content = 44;
    switch (block.type()) {
    case DocBlockType::text:
        if (largetext::isBounded(block.content().size())) {
            // A large text is shown at a fixed height, under a notice when it is too large to edit.
            content = largetext::boundedHeight + (largetext::isOversized(block.content().size(), 0) ? 40 : 0);
            break;
        }
        content = editMode ? std::max(100, estimatedTextLines(block.content(), inner - 24, 7.6) * 19 + 24)
                           : std::max(44, estimatedTextLines(block.content(), inner - 24, 7.6) * 19 + 24);
        break;
    case DocBlockType::code: {
        int lines = 1;
        for (QChar c : block.content())
            lines += c == QLatin1Char('\n');
        content = editMode ? 50 + 10 + std::max(180, lines * 17 + 28) : 36 + 8 + lines * 17 + 20;
        break;
    }
    case DocBlockType::image: content = editMode ? 200 : 320; break;
    }
    return chrome + content;
}

void ImprovedBlockRowView::materialize() {
    if (isMaterialized())
        return;
    // A block holding a large picture learns the rest of its row (done, hidden) as it comes near the view.
    if (ModelContext* context = m_block->modelContext())
        context->completeRow(m_block);
    const bool fresh = !m_card;
    // The editor keeps a row hidden until it is built: shown first, it is built as a visible one is.
    if (isHidden() && parentWidget())
        show();
    if (fresh)
        buildFace();
    m_facePending = false;
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
    applyMode();
    // Shown now rather than in a later event, so that the row takes its real height at once.
    if (fresh)
        m_card->show();
}

void ImprovedBlockRowView::buildFace() {
    m_face = new QWidget;
    m_face->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    keepPaintingOnResize(m_face);
    auto* v = new QVBoxLayout(m_face);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    // A face and its body keep their parts at the top while a shorter text is laid out before them (they
    // would be spread over the room it left, and move twice).
    v->setAlignment(Qt::AlignTop);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(10);
    const BadgeInfo info = badgeFor(m_block->type());
    m_badge = new PaintedLabel(QString::fromUtf8(info.label), {}, m_face);
    m_badge->setPainter([this, symbol = QString::fromLatin1(info.symbol)](QPainter& p, const PaintedLabel& l) {
        const QColor accent = displayColor(m_edits.doc()->colorKey(), m_edits.doc()->colorHex());
        const QRectF r = QRectF(l.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        Paint::fillCapsule(p, r, withOpacity(accent, 0.12));
        Paint::strokeCapsule(p, r, withOpacity(accent, 0.25), 1);
        editorui::drawSymbolText(p, r, symbol, 12, accent, l.text(), Fonts::rounded(12, 600), AppPalette::primaryText(),
                                 6);
    });
    const qreal bw = editorui::symbolTextWidth(12, m_badge->text(), Fonts::rounded(12, 600), 6);
    m_badge->setHint(QSize(int(std::ceil(bw)) + 20, 26));
    header->addWidget(m_badge);
    header->addStretch(1);

    m_completion = new PaintedButton(QStringLiteral("FAIT"), {}, m_face);
    m_completion->setCheckable(true);
    m_completion->setChecked(m_block->isCompleted());
    m_completion->setPainter([this](QPainter& p, const PaintedButton& b) {
        const bool done = m_block->isCompleted();
        const QRectF r = QRectF(b.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (done)
            Paint::fillCapsule(p, r, withOpacity(green(), 0.15));
        Paint::strokeCapsule(p, r, done ? withOpacity(green(), 0.4) : withOpacity(AppPalette::separator(), 0.3), 1);
        const QColor fg = done ? green() : AppPalette::secondaryText();
        editorui::drawSymbolText(p, r, done ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"), 13,
                                 fg, b.text(), Fonts::rounded(11, 700), fg, 6);
    });
    const qreal cw = editorui::symbolTextWidth(13, QStringLiteral("FAIT"), Fonts::rounded(11, 700), 6);
    m_completion->setHint(QSize(int(std::ceil(cw)) + 20, 26));
    connect(m_completion, &QAbstractButton::clicked, this, [this] { toggleCompleted(); });
    header->addWidget(m_completion);

    m_hoverToolbar = new QWidget(m_face);
    auto* tools = new QHBoxLayout(m_hoverToolbar);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(6);
    m_handle = new PaintedLabel(
        QString(),
        [](QPainter& p, const PaintedLabel& l) {
            Symbols::paint(p, QRectF(QRectF(l.rect()).center() - QPointF(7, 7), QSizeF(14, 14)),
                           QStringLiteral("line.3.horizontal"), AppPalette::secondaryText());
        },
        m_hoverToolbar);
    m_handle->setHint(QSize(20, 28));
    m_handle->setAccessibleName(QStringLiteral("Déplacer le bloc"));
    m_handle->setToolTip(QStringLiteral("Déplacer le bloc"));
    m_handle->setCursor(Qt::OpenHandCursor);
    tools->addWidget(m_handle);

    m_menu = new QMenu(this);
    m_duplicate =
        m_menu->addAction(Symbols::icon(QStringLiteral("plus.square.on.square"), AppPalette::primaryText(), 16),
                          QStringLiteral("Dupliquer"));
    m_moveUp = m_menu->addAction(Symbols::icon(QStringLiteral("arrow.up"), AppPalette::primaryText(), 16),
                                 QStringLiteral("Déplacer vers le haut"));
    m_moveDown = m_menu->addAction(Symbols::icon(QStringLiteral("arrow.down"), AppPalette::primaryText(), 16),
                                   QStringLiteral("Déplacer vers le bas"));
    m_menu->addSeparator();
    m_delete = m_menu->addAction(Symbols::icon(QStringLiteral("trash"), AppPalette::destructiveText(), 16),
                                 QStringLiteral("Supprimer"));
    TolmekStyle::setDestructive(m_delete);
    connect(m_duplicate, &QAction::triggered, this, [this] { duplicateBlock(); });
    connect(m_moveUp, &QAction::triggered, this, [this] { moveUp(); });
    connect(m_moveDown, &QAction::triggered, this, [this] { moveDown(); });
    connect(m_delete, &QAction::triggered, this, [this] { requestDelete(); });
    connect(m_menu, &QMenu::aboutToShow, this, [this] { updateMenuState(); });

    m_menuButton = new PaintedButton(
        QString(),
        [](QPainter& p, const PaintedButton& b) {
            const QRectF r(QRectF(b.rect()).center() - QPointF(8, 8), QSizeF(16, 16));
            const QColor c = AppPalette::secondaryText();
            Paint::strokeEllipse(p, r.adjusted(-1, -1, 1, 1), c, 1.2);
            Symbols::paint(p, r.adjusted(3, 3, -3, -3), QStringLiteral("ellipsis.circle"), c);
        },
        m_hoverToolbar);
    m_menuButton->setHint(QSize(28, 28));
    m_menuButton->setAccessibleName(QStringLiteral("Actions du bloc"));
    m_menuButton->setToolTip(QStringLiteral("Actions du bloc"));
    connect(m_menuButton, &QAbstractButton::clicked, this, [this] {
        updateMenuState();
        Menus::popupBelow(*m_menu, m_menuButton);
    });
    tools->addWidget(m_menuButton);
    header->addWidget(m_hoverToolbar);
    v->addLayout(header);
    v->addWidget(new Divider(m_face));

    auto* body = m_body = new QWidget(m_face);
    keepPaintingOnResize(body);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);
    bodyLayout->setAlignment(Qt::AlignTop);
    v->addWidget(body);

    m_card = new BlockCard([this] { return !m_isEditMode && m_block->isCompleted(); }, m_face, this);
    auto* outer = new OverhangLayout(shadowOverhang, this);
    outer->addWidget(m_card);
    // Clicks and drags on the card's chrome reach the row.
    m_card->installEventFilter(this);
}

void ImprovedBlockRowView::applyMode() {
    setAcceptDrops(dndEnabled());
    if (!m_card) {
        setFixedHeight(estimatedHeight(width() > 0 ? width() : 860));
        return;
    }
    QWidget* body = m_body;
    // A card built now is placed from the row down, at the row's width, before its content shows (a
    // widget shown lays itself out at once): each new widget would be measured at its default width
    // first, and a long text laid out again each time.
    if (!m_card->testAttribute(Qt::WA_Resized) && testAttribute(Qt::WA_Resized))
        for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(m_card), m_face, body})
            if (QLayout* l = w->layout())
                l->activate();
    const auto placeInBody = [body](QWidget* content) {
        if (body->testAttribute(Qt::WA_Resized) && !content->testAttribute(Qt::WA_Resized))
            content->resize(body->width(), content->height());
    };
    if (m_isEditMode) {
        if (!m_editContent) {
            buildEditContent();
            body->layout()->addWidget(m_editContent);
        }
        if (m_viewContent)
            m_viewContent->hide();
        placeInBody(m_editContent);
        m_editContent->show();
    } else {
        if (m_viewContent && m_viewStale) {
            delete m_viewContent;
            m_viewContent = nullptr;
            m_richView = nullptr;
            m_plainView = nullptr;
            m_codeView = nullptr;
            m_imageView = nullptr;
            m_imagePlaceholder = nullptr;
        }
        if (!m_viewContent) {
            buildViewContent();
            body->layout()->addWidget(m_viewContent);
        }
        if (m_editContent)
            m_editContent->hide();
        placeInBody(m_viewContent);
        m_viewContent->show();
    }
    m_completion->setVisible(!m_isEditMode);
    m_completion->setChecked(m_block->isCompleted());
    refreshHoverToolbar();
    // The editor places the rows as soon as a face is built or switched, but a new size travels up the
    // nested layouts only as each one handles its posted request: until then a size read earlier (the
    // card asks whether its content wraps) stands. Pass it up to the row now.
    for (QWidget* w = body; w && w != parentWidget(); w = w->parentWidget())
        if (QLayout* l = w->layout())
            l->activate();
    m_card->update();
    update();
}

void ImprovedBlockRowView::buildViewContent() {
    m_viewStale = false;
    m_viewContent = new QWidget;
    auto* v = new QVBoxLayout(m_viewContent);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(12);
    switch (m_block->type()) {
    case DocBlockType::text: {
        const OptData& rtf = m_block->richTextData();
        if (largetext::isOversized(m_block->content().size(), rtf ? rtf->size() : 0)) {
            const qsizetype size = std::max<qsizetype>(m_block->content().size(), rtf ? rtf->size() : 0);
            auto* notice = new editorui::ToneLabel(
                largetext::tooLargeMessage(size), Fonts::rounded(12), [] { return AppPalette::secondaryText(); },
                m_viewContent);
            notice->setWordWrap(true);
            v->addWidget(notice);
        }
        if (rtf && !rtf->isEmpty()) {
            m_richView = new AttributedTextViewWrapper(m_viewContent);
            m_richView->setAccessibleName(QStringLiteral("Texte"));
            if (m_richView->setRtf(*rtf)) {
                v->addWidget(m_richView);
                guardTextTarget(m_richView->viewport());
                break;
            }
            delete m_richView;
            m_richView = nullptr;
        }
        if (m_block->content().size() > longPlainText) {
            // A label measures its whole text again at every width a layout asks.
            m_richView = new AttributedTextViewWrapper(m_viewContent);
            m_richView->setAccessibleName(QStringLiteral("Texte"));
            m_richView->setLongPlainText(m_block->content(), Fonts::rounded(14));
            v->addWidget(m_richView);
            guardTextTarget(m_richView->viewport());
            break;
        }
        m_plainView = new PlainTextLabel(
            QString(), Fonts::rounded(14), [] { return AppPalette::primaryText(); }, m_viewContent);
        m_plainView->setTextFormat(Qt::PlainText);
        m_plainView->setText(m_block->content());
        m_plainView->setWordWrap(true);
        m_plainView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        // A selectable label lays its text out in a document of its own, at every width asked and at
        // every paint: shaped once, it costs the row a fraction of that.
        editorui::keepShapedText(m_plainView->findChild<QTextDocument*>());
        m_plainView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // The same inset as a rich text and the text editor, so every text starts at the same place.
        const int inset = AttributedTextViewWrapper::inset;
        v->setContentsMargins(inset, inset, inset, inset);
        v->addWidget(m_plainView);
        break;
    }
    case DocBlockType::code:
        m_codeView = new CodeReadView(m_viewContent);
        m_codeView->setCode(m_block->content(), m_block->codeLanguage());
        v->addWidget(m_codeView);
        guardTextTarget(m_codeView);
        break;
    case DocBlockType::image: {
        m_imageView = new BlockImageView(500, 0.1, m_viewContent);
        m_imagePlaceholder = new PaintedLabel(
            QStringLiteral("Image non disponible"),
            [](QPainter& p, const PaintedLabel& l) {
                editorui::drawSymbolText(p, QRectF(l.rect()), QStringLiteral("photo"), 14, AppPalette::secondaryText(),
                                         l.text(), Fonts::rounded(14), AppPalette::secondaryText(), 8);
            },
            m_viewContent);
        m_imagePlaceholder->setMinimumHeight(14 + 80 + 6);
        m_imagePlaceholder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_imagePlaceholder->hide();
        connect(m_imageView, &BlockImageView::stateChanged, m_imagePlaceholder, [this](BlockImageView::State s) {
            m_imagePlaceholder->setVisible(s == BlockImageView::State::failed);
            // Shown: the bytes a save or a copy left in the block are read again only when needed.
            if (s == BlockImageView::State::ready)
                m_block->releaseImageData();
        });
        v->addWidget(m_imageView);
        v->addWidget(m_imagePlaceholder);
        m_imageView->setSource([block = m_block] { return storedPicture(*block); });
        break;
    }
    }
}

QWidget* ImprovedBlockRowView::plainTextView() const { return m_plainView; }

void ImprovedBlockRowView::buildEditContent() {
    DocBlockPtr block = m_block;
    switch (m_block->type()) {
    case DocBlockType::text: {
        TextBinding content{[block] { return block->content(); },
                            [block](const QString& v) { DocEdits::writeContent(block, v); }};
        RtfBinding rtf{[block] { return block->richTextData(); },
                       [block](const std::optional<QByteArray>& v) { DocEdits::writeRichText(block, v); }};
        // It takes the body's width once placed.
        const int width = m_body->testAttribute(Qt::WA_Resized) ? m_body->width() : 0;
        m_textEditor = new RichTextBlockEditor(
            m_richText, content, rtf, m_forceSaveRTF, [this] { blockContentChanged(); }, [this] { blockFocused(); },
            nullptr, width);
        m_textEditor->textView()->setAccessibleName(QStringLiteral("Texte"));
        guardTextTarget(m_textEditor->textView()->viewport());
        m_editContent = m_textEditor;
        break;
    }
    case DocBlockType::code: {
        TextBinding code{[block] { return block->content(); },
                         [block](const QString& v) { DocEdits::writeContent(block, v); }};
        // The stamp and the save follow in onChange, once per choice.
        TextBinding language{[block] { return DocEdits::languageOf(*block); },
                             [block](const QString& v) { DocEdits::writeCodeLanguage(block, v); }};
        m_codeEditor = new ImprovedCodeBlockView(
            code, language, [this] { blockContentChanged(); }, [this] { blockFocused(); });
        guardTextTarget(m_codeEditor->editor()->viewport());
        m_editContent = m_codeEditor;
        break;
    }
    case DocBlockType::image: {
        ImageBlockEditor::DataBinding binding{[block] { return block->imageData(); },
                                              [block](const std::optional<QByteArray>& v) {
                                                  DocEdits::writeImageData(block, v);
                                              }};
        m_imageEditor = new ImageBlockEditor(
            binding, [this] { blockContentChanged(); }, [block] { return storedPicture(*block); });
        connect(m_imageEditor->preview(), &BlockImageView::stateChanged, this, [block](BlockImageView::State s) {
            if (s == BlockImageView::State::ready)
                block->releaseImageData();
        });
        m_editContent = m_imageEditor;
        break;
    }
    }
}

void ImprovedBlockRowView::setEditMode(bool editMode, bool nearView) {
    if (m_isEditMode == editMode)
        return;
    if (m_card && !m_facePending)
        m_faceHeight[m_isEditMode ? 1 : 0] = height();
    m_isEditMode = editMode;
    if (!editMode)
        setHovering(false);
    const bool built = editMode ? m_editContent != nullptr : (m_viewContent != nullptr && !m_viewStale);
    if (m_card && (!built || !nearView)) {
        // Building, or even showing, every face of a long document at once would freeze the window:
        // keep the place and let the editor switch this row when it comes near the view.
        m_facePending = true;
        setAcceptDrops(dndEnabled());
        const int known = built ? m_faceHeight[m_isEditMode ? 1 : 0] : 0;
        setFixedHeight(known > 0 ? known : estimatedHeight(width() > 0 ? width() : 860));
        return;
    }
    applyMode();
}

void ImprovedBlockRowView::setForceSaveRTF(bool value) {
    m_forceSaveRTF = value;
    if (m_textEditor)
        m_textEditor->setForceSaveRTF(value);
}

void ImprovedBlockRowView::flushRtf() {
    if (m_textEditor)
        m_textEditor->flushRtf();
}

void ImprovedBlockRowView::blockContentChanged() {
    m_viewStale = true;
    // A block's content never changes the order or the set of blocks: the list is not read again.
    m_edits.touchBlockAndSave(m_block);
}

void ImprovedBlockRowView::blockFocused() {
    if (m_callbacks.onFocus)
        m_callbacks.onFocus(m_block->id());
}

void ImprovedBlockRowView::updateMenuState() {
    if (!m_menu)
        return;
    m_moveUp->setEnabled(!m_edits.isFirst(m_block));
    m_moveDown->setEnabled(!m_edits.isLast(m_block));
}

void ImprovedBlockRowView::duplicateBlock() {
    const DocBlockPtr copy = m_edits.duplicate(m_block);
    rereadAndFocus(copy->id());
}

void ImprovedBlockRowView::moveUp() {
    if (!m_edits.moveUp(m_block))
        return;
    rereadAndFocus(m_block->id());
}

void ImprovedBlockRowView::moveDown() {
    if (!m_edits.moveDown(m_block))
        return;
    rereadAndFocus(m_block->id());
}

void ImprovedBlockRowView::rereadAndFocus(const QUuid& id) {
    // The list is read again first, so that the scroll finds the row at its new place. The callbacks
    // are copied: reading the list again may rebuild this row.
    auto callbacks = m_callbacks;
    if (callbacks.onContentChanged)
        callbacks.onContentChanged(id);
    if (callbacks.onFocus)
        callbacks.onFocus(id);
}

void ImprovedBlockRowView::requestDelete() {
    m_isConfirmingDelete = true;
    DialogSeam::Message m;
    m.icon = QMessageBox::Warning;
    m.text = QStringLiteral("Supprimer ce bloc ?");
    m.informativeText = QStringLiteral("Cette action masquera le bloc définitivement.");
    m.buttons = {{QStringLiteral("Supprimer"), QMessageBox::DestructiveRole},
                 {QStringLiteral("Annuler"), QMessageBox::RejectRole}};
    m.escapeButton = 1;
    QPointer<ImprovedBlockRowView> self(this);
    DialogSeam::open(this, m, [self](int index) {
        if (!self)
            return;
        self->m_isConfirmingDelete = false;
        if (index == 0)
            self->confirmDelete();
    });
}

void ImprovedBlockRowView::confirmDelete() {
    m_edits.hide(m_block);
    if (m_callbacks.onContentChanged)
        m_callbacks.onContentChanged(m_block->id());
}

void ImprovedBlockRowView::toggleCompleted() {
    m_edits.toggleCompleted(m_block);
    if (m_completion)
        m_completion->setChecked(m_block->isCompleted());
    if (m_card)
        m_card->update();
    update();
}

bool ImprovedBlockRowView::handleBlockDrop(const QMimeData* mime) {
    const QString text = blockIdText(mime).trimmed();
    if (text.isEmpty())
        return false;
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() || id == m_block->id())
        return false;
    const DocBlockPtr dragged = m_edits.findBlock(id);
    if (!dragged || !m_callbacks.onReorder)
        return false;
    m_callbacks.onReorder(dragged, m_block);
    return true;
}

QMimeData* ImprovedBlockRowView::makeDragData() const {
    auto* mime = new QMimeData;
    const QString id = m_block->id().toString(QUuid::WithoutBraces).toUpper();
    mime->setText(id);
    mime->setData(QLatin1String(kBlockMimeType), id.toUtf8());
    return mime;
}

bool ImprovedBlockRowView::hasHoverToolbar() const { return m_hoverToolbar && !m_hoverToolbar->isHidden(); }

void ImprovedBlockRowView::setHovering(bool hovering) {
    if (m_isHovering == hovering)
        return;
    m_isHovering = hovering;
    refreshHoverToolbar();
}

void ImprovedBlockRowView::refreshHoverToolbar() {
    if (!m_hoverToolbar)
        return;
    // Shown under the pointer, and also while the keyboard is inside the row, so the menu can be reached
    // without a mouse.
    const QWidget* focus = QApplication::focusWidget();
    const bool focusInside = focus && isAncestorOf(focus);
    m_hoverToolbar->setVisible(m_isEditMode && m_callbacks.onReorder && (m_isHovering || focusInside));
}

void ImprovedBlockRowView::guardTextTarget(QWidget* target) {
    if (target) {
        target->installEventFilter(this);
        // Focus entering or leaving the editor shows or hides the toolbar.
        if (auto* w = target->parentWidget())
            w->installEventFilter(this);
    }
}

void ImprovedBlockRowView::paintEvent(QPaintEvent*) {
    if (!m_card || m_isEditMode || !m_block->isCompleted())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(m_card->cardRect()).translated(m_card->pos());
    Paint::drawShadow(p, r, 12, withOpacity(green(), 0.3), 8, QPointF(0, 4));
}

void ImprovedBlockRowView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The green shadow of a completed block follows the card's bottom edge.
    if (m_card && !m_isEditMode && m_block->isCompleted())
        repaintResizedEdge(this, event->oldSize(), AppCard::edgeReach);
}

void ImprovedBlockRowView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (m_isEditMode)
        setHovering(true);
}

void ImprovedBlockRowView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setHovering(false);
}

namespace {

// Gives `view` the keyboard with its caret at the text nearest to `globalPos`.
template <class View>
void focusNearest(View* view, const QPoint& globalPos) {
    QWidget* port = view->viewport();
    const QRect r = port->rect();
    QPoint at = port->mapFromGlobal(globalPos);
    at.setX(std::clamp(at.x(), r.left(), r.right()));
    at.setY(std::clamp(at.y(), r.top(), r.bottom()));
    view->setFocus(Qt::MouseFocusReason);
    view->setTextCursor(view->cursorForPosition(at));
}

} // namespace

void ImprovedBlockRowView::mousePressEvent(QMouseEvent* event) {
    // A press anywhere in the card (its padding too) goes to the block's editor, so typing lands there.
    if (event->button() == Qt::LeftButton && m_isEditMode && m_card &&
        m_card->geometry().contains(event->position().toPoint())) {
        if (m_textEditor && m_textEditor->isVisible() && m_textEditor->textView())
            focusNearest(m_textEditor->textView(), event->globalPosition().toPoint());
        else if (m_codeEditor && m_codeEditor->isVisible() && m_codeEditor->editor())
            focusNearest(m_codeEditor->editor(), event->globalPosition().toPoint());
    }
    if (event->button() == Qt::LeftButton && dndEnabled()) {
        m_pressed = true;
        m_pressPos = event->position().toPoint();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void ImprovedBlockRowView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed || !(event->buttons() & Qt::LeftButton) || !dndEnabled()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    if ((event->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressed = false;
    auto* drag = new QDrag(this);
    drag->setMimeData(makeDragData());
    if (m_card) {
        QPixmap shot = m_card->grab();
        const QSize small = shot.size() / 2;
        if (!small.isEmpty()) {
            QPixmap faded(small);
            faded.fill(Qt::transparent);
            QPainter p(&faded);
            p.setOpacity(0.8);
            p.drawPixmap(QRect(QPoint(), small), shot);
            p.end();
            drag->setPixmap(faded);
            drag->setHotSpot(m_pressPos / 2);
        }
    }
    drag->exec(Qt::MoveAction);
}

void ImprovedBlockRowView::dragEnterEvent(QDragEnterEvent* event) {
    // Every block payload is taken on entering, wherever it enters: the row is a target as a whole.
    // Anything else (a picture file) is left to the document.
    if (dndEnabled() && isBlockPayload(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ImprovedBlockRowView::dragMoveEvent(QDragMoveEvent* event) {
    if (dndEnabled() && isBlockPayload(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ImprovedBlockRowView::dropEvent(QDropEvent* event) {
    if (!dndEnabled() || !isBlockPayload(event->mimeData())) {
        event->ignore();
        return;
    }
    // Every drop is taken; the move runs once the drag loop has returned.
    event->acceptProposedAction();
    auto copy = std::make_shared<QMimeData>();
    copy->setText(blockIdText(event->mimeData()));
    QTimer::singleShot(0, this, [this, copy] { handleBlockDrop(copy.get()); });
}

bool ImprovedBlockRowView::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        if (watched == m_card)
            break;
        // A dragged block never lands as text in an editor: over a text it is a drop on this row.
        auto* e = static_cast<QDropEvent*>(event);
        if (!e->mimeData() || !e->mimeData()->hasFormat(QLatin1String(kBlockMimeType)))
            break;
        if (!dndEnabled()) {
            e->setDropAction(Qt::IgnoreAction);
            e->ignore();
            return true;
        }
        if (event->type() == QEvent::Drop)
            dropEvent(e);
        else
            e->acceptProposedAction();
        return true;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        QTimer::singleShot(0, this, [self = QPointer<ImprovedBlockRowView>(this)] {
            if (self)
                self->refreshHoverToolbar();
        });
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}
