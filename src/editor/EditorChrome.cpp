#include "editor/EditorChrome.h"

#include "editor/BlockRow.h"
#include "editor/EditorWidgets.h"
#include "projects/SheetFields.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "ui/AppStyle.h"

#include <QComboBox>
#include <QDropEvent>
#include <QFocusEvent>
#include <QMimeData>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

using editorui::PaintedButton;
using editorui::PaintedLabel;

QColor docAccentColor(const Doc& doc) { return displayColor(doc.colorKey(), doc.colorHex()); }

QString modifiedText(const QDateTime& date) {
    const QLocale french(QLocale::French, QLocale::France);
    const QDateTime local = date.toLocalTime();
    return QStringLiteral("Modifié ") + french.toString(local.date(), QStringLiteral("d MMM yyyy")) +
        QStringLiteral(" à ") + french.toString(local.time(), QStringLiteral("HH:mm"));
}

QString blockCountText(qsizetype count) {
    return QString::number(count) + QStringLiteral(" bloc") + (count >= 2 ? QStringLiteral("s") : QString());
}

namespace {

PaintedLabel* makeInfoLabel(const QString& symbol, QWidget* parent) {
    auto* label = new PaintedLabel(
        QString(),
        [symbol](QPainter& p, const PaintedLabel& l) {
            editorui::drawSymbolText(p, QRectF(l.rect()), symbol, 11, AppPalette::secondaryText(), l.text(),
                                     Fonts::rounded(12), AppPalette::secondaryText(), 6, Qt::AlignLeft);
        },
        parent);
    return label;
}

void fitInfoLabel(PaintedLabel* label) {
    const qreal w = editorui::symbolTextWidth(11, label->text(), Fonts::rounded(12), 6);
    label->setHint(QSize(int(std::ceil(w)) + 2, 18));
}

} // namespace

EditorHeader::EditorHeader(DocPtr doc, Actions actions, QWidget* parent)
    : QWidget(parent), m_doc(std::move(doc)), m_actions(std::move(actions)) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(20, 20, 20, 16 + 1);
    v->setSpacing(12);

    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    m_icon = new editorui::PaintedWidget(
        QSize(40, 40),
        [this](QPainter& p, const QWidget& l) {
            const QColor accent = docAccentColor(*m_doc);
            const QRectF r = QRectF(l.rect()).adjusted(0.75, 0.75, -0.75, -0.75);
            Paint::fillEllipse(p, r, withOpacity(accent, 0.15));
            Paint::strokeEllipse(p, r, withOpacity(accent, 0.3), 1.5);
            Symbols::paint(p, QRectF(r.center() - QPointF(9, 9), QSizeF(18, 18)), m_doc->iconName(), accent);
        },
        this);
    row->addWidget(m_icon);

    m_title = new QLineEdit(this);
    m_title->setPlaceholderText(QStringLiteral("Titre du document"));
    m_title->setAccessibleName(QStringLiteral("Titre du document"));
    m_title->setFrame(false);
    m_title->setFont(Fonts::rounded(22, 700));
    m_title->setText(m_doc->title());
    showTitleStart();
    m_title->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette tp = m_title->palette();
    tp.setColor(QPalette::Base, Qt::transparent);
    m_title->setPalette(tp);
    m_title->installEventFilter(this);
    // Typed, pasted or set through accessibility: every change of the text is stored as it is.
    connect(m_title, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_syncing && m_actions.titleChanged)
            m_actions.titleChanged(text);
    });
    row->addWidget(m_title, 1);

    m_toggle = new PaintedButton(
        QString(),
        [this](QPainter& p, const PaintedButton& b) {
            const QRectF r = QRectF(b.rect());
            Paint::fillCapsule(p, r,
                               AppPalette::accentFill(m_editMode ? AppPalette::brandBlue()
                                                                 : standardColor(StandardColor::green)));
            editorui::drawSymbolText(p, r, m_editMode ? QStringLiteral("eye") : QStringLiteral("pencil"), 12, Qt::white,
                                     b.text(), Fonts::rounded(12, 600), Qt::white, 6);
        },
        this);
    connect(m_toggle, &QAbstractButton::clicked, this, [this] {
        if (m_actions.toggle)
            m_actions.toggle();
    });
    row->addWidget(m_toggle);

    m_status = projectsui::makeStatusPicker(m_doc->status(), this);
    m_status->setFixedWidth(150);
    m_status->setAccessibleName(QStringLiteral("Statut"));
    connect(m_status, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_syncing && m_actions.statusPicked)
            m_actions.statusPicked(projectsui::pickedStatus(m_status));
    });
    row->addWidget(m_status);
    v->addLayout(row);

    auto* info = new QHBoxLayout;
    info->setSpacing(16);
    m_date = makeInfoLabel(QStringLiteral("clock.fill"), this);
    m_count = makeInfoLabel(QStringLiteral("square.stack.3d.up.fill"), this);
    info->addWidget(m_date);
    info->addWidget(m_count);
    info->addStretch(1);
    v->addLayout(info);

    setEditMode(false);
    setBlockCount(0);
    refresh();
}

void EditorHeader::refresh() {
    m_syncing = true;
    if (m_title->text() != m_doc->title()) {
        m_title->setText(m_doc->title());
        if (!m_title->hasFocus())
            showTitleStart();
    }
    const int index = m_status->findData(DocStatusInfo::rawValue(m_doc->status()));
    if (index >= 0 && index != m_status->currentIndex())
        m_status->setCurrentIndex(index);
    m_syncing = false;
    m_date->setText(modifiedText(m_doc->updatedAt()));
    fitInfoLabel(m_date);
    m_icon->update();
}

void EditorHeader::setEditMode(bool editMode) {
    m_editMode = editMode;
    m_toggle->setText(editMode ? QStringLiteral("Voir") : QStringLiteral("Éditer"));
    const qreal w = editorui::symbolTextWidth(12, m_toggle->text(), Fonts::rounded(12, 600), 6);
    m_toggle->setHint(QSize(int(std::ceil(w)) + 24, 28));
    m_toggle->update();
}

void EditorHeader::setBlockCount(qsizetype count) {
    m_count->setText(blockCountText(count));
    fitInfoLabel(m_count);
}

void EditorHeader::showTitleStart() {
    // A line edit keeps its caret in view: left at the end of a long title, it would show the end.
    m_title->setCursorPosition(0);
}

bool EditorHeader::eventFilter(QObject* watched, QEvent* event) {
    // A title no longer being edited shows its start again; a menu or another window taking the
    // keyboard for a moment leaves the caret where it was.
    if (watched == m_title && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            showTitleStart();
    }
    // A dragged block is never taken as text by the title.
    if (watched == m_title &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop)) {
        auto* e = static_cast<QDropEvent*>(event);
        if (e->mimeData() && e->mimeData()->hasFormat(QLatin1String(kBlockMimeType))) {
            e->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString EditorHeader::dateText() const { return m_date->text(); }
QString EditorHeader::countText() const { return m_count->text(); }

void EditorHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::cardBackground());
    p.fillRect(QRectF(0, height() - 1, width(), 1), withOpacity(AppPalette::separator(), 0.3));
}

// ---------------------------------------------------------------------------------------------

namespace {

struct QuickAdd {
    const char* title;
    const char* symbol;
    StandardColor color;
    DocBlockType type;
};
constexpr QuickAdd kQuickAdds[] = {
    {"Texte", "doc.text.fill", StandardColor::blue, DocBlockType::text},
    {"Code", "chevron.left.forwardslash.chevron.right", StandardColor::purple, DocBlockType::code},
    {"Image", "photo.fill", StandardColor::orange, DocBlockType::image},
};

} // namespace

EmptyStateView::EmptyStateView(DocPtr doc, std::function<void(DocBlockType)> add, QWidget* parent)
    : QWidget(parent), m_doc(std::move(doc)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(40, 40, 40, 40);
    v->setSpacing(20);
    auto* circle = new editorui::PaintedWidget(
        QSize(80, 80),
        [this](QPainter& p, const QWidget& l) {
            const QColor accent = docAccentColor(*m_doc);
            Paint::fillEllipse(p, QRectF(l.rect()), withOpacity(accent, 0.1));
            Symbols::paint(p, QRectF(QRectF(l.rect()).center() - QPointF(18, 18), QSizeF(36, 36)),
                           QStringLiteral("square.stack.3d.up"), withOpacity(accent, 0.6));
        },
        this);
    v->addWidget(circle, 0, Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    auto* title = new editorui::ToneLabel(
        QStringLiteral("Votre document est vide"), Fonts::rounded(18, 600), [] { return AppPalette::primaryText(); },
        this);
    title->setAlignment(Qt::AlignCenter);
    auto* line = new editorui::ToneLabel(
        QStringLiteral("Commencez par ajouter un bloc de texte, une étape ou du code."), Fonts::rounded(14),
        [] { return AppPalette::secondaryText(); }, this);
    line->setAlignment(Qt::AlignCenter);
    line->setWordWrap(true);
    texts->addWidget(title);
    texts->addWidget(line);
    v->addLayout(texts);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch(1);
    for (const QuickAdd& q : kQuickAdds) {
        auto* b = new PaintedButton(
            QString::fromUtf8(q.title),
            [q](QPainter& p, const PaintedButton& button) {
                const QRectF r = QRectF(button.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
                Paint::fillRoundedRect(p, r, 12, AppPalette::screenBackground());
                Paint::strokeRoundedRect(p, r, 12, withOpacity(AppPalette::separator(), 0.3));
                const QColor c = standardColor(q.color);
                const QRectF dot(r.center().x() - 22, r.top() + 12, 44, 44);
                Paint::fillEllipse(p, dot, withOpacity(c, 0.15));
                Paint::strokeEllipse(p, dot, withOpacity(c, 0.3), 1.5);
                Symbols::paint(p, QRectF(dot.center() - QPointF(9, 9), QSizeF(18, 18)), QString::fromLatin1(q.symbol),
                               c);
                p.setFont(Fonts::rounded(13, 500));
                p.setPen(AppPalette::primaryText());
                p.drawText(QRectF(r.left(), dot.bottom() + 8, r.width(), 18), Qt::AlignCenter, button.text());
            },
            this);
        const int tw = editorui::textWidth(Fonts::rounded(13, 500), b->text());
        b->setHint(QSize(std::max(44, tw) + 32, 12 + 44 + 8 + 18 + 12));
        connect(b, &QAbstractButton::clicked, this, [add, type = q.type] {
            if (add)
                add(type);
        });
        buttons->addWidget(b);
        m_buttons << b;
    }
    buttons->addStretch(1);
    v->addLayout(buttons);
}

void EmptyStateView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    Paint::fillRoundedRect(p, r, 20, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, r, 20, withOpacity(AppPalette::separator(), 0.5));
}

// ---------------------------------------------------------------------------------------------

AddBlockButton::AddBlockButton(DocPtr doc, std::function<void(DocBlockType)> add, QWidget* parent)
    : QWidget(parent), m_doc(std::move(doc)) {
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    m_menu = new QMenu(this);
    struct Item {
        const char* title;
        const char* symbol;
        DocBlockType type;
    };
    const Item items[] = {{"Bloc de texte", "doc.text.fill", DocBlockType::text},
                          {"Code", "chevron.left.forwardslash.chevron.right", DocBlockType::code},
                          {"Image", "photo.fill", DocBlockType::image}};
    for (const Item& item : items) {
        QAction* a = m_menu->addAction(Symbols::icon(QString::fromLatin1(item.symbol), AppPalette::primaryText(), 16),
                                       QString::fromUtf8(item.title));
        connect(a, &QAction::triggered, this, [add, type = item.type] {
            if (add)
                add(type);
        });
    }
    m_button = new PaintedButton(
        QStringLiteral("Ajouter un bloc"),
        [this](QPainter& p, const PaintedButton& b) {
            const QColor accent = docAccentColor(*m_doc);
            const QRectF r = QRectF(b.rect()).adjusted(0.75, 0.75, -0.75, -0.75);
            Paint::fillRoundedRect(p, r, 12, withOpacity(accent, 0.12));
            Paint::strokeRoundedRect(p, r, 12, withOpacity(accent, 0.3), 1.5);
            const QColor text = AppPalette::tintText(accent, 0.12);
            editorui::drawSymbolText(p, r, QStringLiteral("plus.circle.fill"), 16, text, b.text(),
                                     Fonts::rounded(14, 600), text, 8);
        },
        this);
    const qreal w = editorui::symbolTextWidth(16, m_button->text(), Fonts::rounded(14, 600), 8);
    m_button->setHint(QSize(int(std::ceil(w)) + 40, 44));
    connect(m_button, &QAbstractButton::clicked, this, [this] { Menus::popupBelow(*m_menu, m_button); });
    h->addWidget(m_button, 0, Qt::AlignHCenter);
}
