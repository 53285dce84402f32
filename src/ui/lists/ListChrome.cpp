#include "ui/lists/ListChrome.h"

#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace lists {

// ---------------------------------------------------------------------------------------------
SearchField::SearchField(const QString& placeholder, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(8);
    auto* glass = new SymbolView(13, this);
    glass->setSymbol(QStringLiteral("magnifyingglass"), QColor());
    glass->setColorFn([] { return AppPalette::secondaryText(); });
    m_glass = glass;
    m_edit = newBareLineEdit(placeholder, this);
    m_edit->setAutoFillBackground(false);
    m_edit->installEventFilter(this);
    row->addWidget(glass);
    row->addWidget(m_edit, 1);
    setMaximumWidth(520);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    followPalette();
    connect(m_edit, &QLineEdit::textChanged, this, &SearchField::textChanged);
}

void SearchField::setPreferredWidth(int width) {
    m_preferredWidth = width;
    updateGeometry();
}

void SearchField::setPlain(std::function<QColor()> fill) {
    m_fill = std::move(fill);
    m_glass->hide();
    update();
}

bool SearchField::showsMagnifier() const { return !m_glass->isHidden(); }

QColor SearchField::fillColor() const { return m_fill ? m_fill() : AppPalette::cardBackground(); }

QSize SearchField::sizeHint() const {
    QSize hint = QWidget::sizeHint();
    if (m_preferredWidth > 0)
        hint.setWidth(m_preferredWidth);
    return hint;
}

void SearchField::followPalette() {
    // The field's own colours, placeholder included, follow the appearance in force.
    QPalette pal = m_edit->palette();
    pal.setColor(QPalette::Text, AppPalette::primaryText());
    pal.setColor(QPalette::PlaceholderText, AppPalette::secondaryText());
    pal.setColor(QPalette::Base, Qt::transparent);
    m_edit->setPalette(pal);
}

void SearchField::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange)
        followPalette();
}

bool SearchField::eventFilter(QObject* o, QEvent* e) {
    if (o == m_edit && (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut))
        update();
    return QWidget::eventFilter(o, e);
}

void SearchField::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Painted again under the text at every keystroke: drawn once per look.
    const QColor fill = fillColor();
    // A text field shows where typing goes, however it got the focus.
    const bool ring = m_edit->hasFocus();
    const QColor outline = ring ? AppPalette::focusRing() : AppPalette::fieldOutline();
    const QString look =
        QStringLiteral("search/%1/%2/%3").arg(fill.rgba(), 0, 16).arg(outline.rgba(), 0, 16).arg(ring ? 1 : 0);
    paintCachedLook(p, this, look, [&](QPainter& fp) {
        const QRectF r = QRectF(rect());
        Paint::fillRoundedRect(fp, r, 12, fill);
        Paint::fieldOutline(fp, r, 12, ring);
    });
}

// ---------------------------------------------------------------------------------------------
namespace {

// One button of the layout switch: checked while its layout is current. A click does not change the
// check itself (the screen does, through the preference); a toggle from assistive technology does.
class LayoutButton : public SymbolButton {
public:
    using SymbolButton::SymbolButton;

protected:
    void nextCheckState() override {}
};

} // namespace

LayoutSwitch::LayoutSwitch(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(8);
    auto colorFor = [this](DisplayLayout l) {
        return [this, l] { return m_current == l ? AppPalette::primaryText() : AppPalette::secondaryText(); };
    };
    m_list = new LayoutButton(QStringLiteral("list.bullet"), 14, QSize(38, 30), colorFor(DisplayLayout::list), this);
    m_grid =
        new LayoutButton(QStringLiteral("square.grid.2x2"), 14, QSize(38, 30), colorFor(DisplayLayout::grid), this);
    for (DisplayLayout l : DisplayLayouts::allCases) {
        QAbstractButton* b = l == DisplayLayout::grid ? m_grid : m_list;
        nameControl(b, DisplayLayouts::label(l));
        b->setCheckable(true);
        b->setChecked(l == m_current);
        row->addWidget(b);
        connect(b, &QAbstractButton::clicked, this, [this, l] { emit picked(l); });
        connect(b, &QAbstractButton::toggled, this, [this, l, b](bool on) {
            if (on) {
                emit picked(l);
            } else if (m_current == l) {
                // Unchecking the current layout picks nothing: it stays current.
                const QSignalBlocker block(b);
                b->setChecked(true);
            }
        });
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LayoutSwitch::setCurrent(DisplayLayout layout) {
    // Every reload sets it: one that changes nothing repaints nothing.
    if (layout == m_current && m_list->isChecked() == (layout == DisplayLayout::list) &&
        m_grid->isChecked() == (layout == DisplayLayout::grid))
        return;
    m_current = layout;
    for (QAbstractButton* b : {m_list, m_grid}) {
        const QSignalBlocker block(b);
        b->setChecked((b == m_grid) == (layout == DisplayLayout::grid));
        b->update();
    }
    update();
}

void LayoutSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The thin material becomes a semi-opaque fill.
    Paint::fillCapsule(p, QRectF(rect()), withOpacity(AppPalette::cardBackground(), 0.72));
    QAbstractButton* sel = m_current == DisplayLayout::grid ? m_grid : m_list;
    const QRectF r = QRectF(sel->geometry());
    Paint::fillCapsule(p, r, AppPalette::tintedBackground());
    Paint::strokeCapsule(p, r, withOpacity(AppPalette::separator(), 0.35));
}

// ---------------------------------------------------------------------------------------------
namespace {

class PageSizeButton : public QToolButton {
public:
    explicit PageSizeButton(QWidget* parent) : QToolButton(parent) {
        setPopupMode(QToolButton::InstantPopup);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }
    QSize sizeHint() const override {
        const QFontMetrics fm(Fonts::rounded(12, 600));
        return {10 + fm.horizontalAdvance(text()) + 6 + 11 + 10, 8 + std::max(fm.height(), 11) + 8};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect());
        Paint::fillRoundedRect(p, r, 10, AppPalette::cardBackground());
        Paint::strokeRoundedRect(p, r, 10, withOpacity(AppPalette::separator(), 0.25));
        const QFont f = Fonts::rounded(12, 600);
        const QFontMetrics fm(f);
        p.setFont(f);
        p.setPen(AppPalette::secondaryText());
        const int tw = fm.horizontalAdvance(text());
        p.drawText(QRect(10, 0, tw, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
        Symbols::paint(p, QRectF(10 + tw + 6, (height() - 11) / 2.0, 11, 11), QStringLiteral("chevron.down"),
                       AppPalette::secondaryText());
        if (showsFocusRing(this))
            paintFocusRing(p, r, 10);
    }
};

} // namespace

PagerBar::PagerBar(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(22, 14, 22, 14);
    row->setSpacing(10);
    auto chevronColor = [] { return AppPalette::primaryText(); };
    m_prev = new SymbolButton(QStringLiteral("chevron.left"), 12, QSize(32, 28), chevronColor, this);
    m_next = new SymbolButton(QStringLiteral("chevron.right"), 12, QSize(32, 28), chevronColor, this);
    nameControl(m_prev, QStringLiteral("Page précédente"));
    nameControl(m_next, QStringLiteral("Page suivante"));
    m_label = new ClampedText(
        Fonts::rounded(12, 600), [] { return AppPalette::secondaryText(); }, 1, this);
    m_label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_size = new PageSizeButton(this);
    m_menu = new QMenu(m_size);
    for (int n : {12, 24, 48}) {
        QAction* a = m_menu->addAction(QStringLiteral("%1 / page").arg(n));
        connect(a, &QAction::triggered, this, [this, n] { emit pageSizePicked(n); });
    }
    m_size->setMenu(m_menu);
    row->addWidget(m_prev);
    row->addWidget(m_label);
    row->addWidget(m_next);
    row->addStretch(1);
    row->addWidget(m_size);
    connect(m_prev, &QAbstractButton::clicked, this, &PagerBar::previousClicked);
    connect(m_next, &QAbstractButton::clicked, this, &PagerBar::nextClicked);
}

void PagerBar::setState(const QString& label, bool canPrevious, bool canNext, int pageSize) {
    // Every reload sets the state, mostly as it was: only a change may lay the screen out again.
    if (label != m_label->text()) {
        m_label->setText(label);
        const QFontMetrics fm(Fonts::rounded(12, 600));
        m_label->setFixedSize(fm.horizontalAdvance(label) + 2, fm.lineSpacing());
    }
    m_prev->setDimmed(!canPrevious);
    m_next->setDimmed(!canNext);
    // A screen reader hears that a dimmed arrow leads nowhere.
    m_prev->setAccessibleDescription(canPrevious ? QString() : QStringLiteral("Première page"));
    m_next->setAccessibleDescription(canNext ? QString() : QStringLiteral("Dernière page"));
    const QString size = QStringLiteral("%1 / page").arg(pageSize);
    if (size != m_size->text()) {
        m_size->setText(size);
        m_size->updateGeometry();
    }
}

QString PagerBar::labelText() const { return m_label->text(); }

// ---------------------------------------------------------------------------------------------
EmptyState::EmptyState(const Style& style, Texts texts, QWidget* picture, QAbstractButton* button, QWidget* parent)
    : QWidget(parent), m_texts(std::move(texts)), m_button(button) {
    setObjectName(QStringLiteral("emptyState"));
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(style.margins);
    col->setSpacing(style.spacing);
    const Qt::Alignment align = style.centred ? Qt::AlignHCenter : Qt::AlignLeft;
    if (style.fillHeight)
        col->addStretch(1);
    // A blank item of its own, then the column's spacing before the next (a spacer gets no spacing).
    if (style.topSpace > 0)
        col->addSpacing(style.topSpace + style.spacing);
    if (picture) {
        picture->setParent(this);
        col->addWidget(picture, 0, align);
    }
    m_title = new ClampedText(
        style.titleFont, [] { return AppPalette::primaryText(); }, 0, this);
    m_title->setObjectName(QStringLiteral("emptyTitle"));
    m_title->setAlignment(align);
    m_message = new ClampedText(
        style.messageFont, [] { return AppPalette::secondaryText(); }, 0, this);
    m_message->setObjectName(QStringLiteral("emptyMessage"));
    m_message->setAlignment(align);
    col->addWidget(m_title);
    if (style.messageMaxWidth > 0) {
        m_message->setMaximumWidth(style.messageMaxWidth);
        col->addWidget(m_message, 0, align);
    } else {
        col->addWidget(m_message);
    }
    if (button) {
        button->setParent(this);
        button->setObjectName(QStringLiteral("createButton"));
        if (style.buttonTopGap > 0)
            col->addSpacing(style.buttonTopGap);
        col->addWidget(button, 0, align);
    }
    if (style.fillHeight)
        col->addStretch(1);
    setSearching(false);
}

void EmptyState::setSearching(bool searching) {
    m_title->setText(searching ? m_texts.searchTitle : m_texts.title);
    m_message->setText(searching ? m_texts.searchMessage : m_texts.message);
}

} // namespace lists
