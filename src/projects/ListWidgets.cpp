#include "projects/ListWidgets.h"

#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QWidgetAction>

namespace projectsui {

// ---------------------------------------------------------------------------------------------
SymbolButton::SymbolButton(QString symbol, qreal symbolPx, QSize frame, ColorFn color, QWidget* parent)
    : QAbstractButton(parent), m_symbol(std::move(symbol)), m_px(symbolPx), m_frame(frame), m_color(std::move(color)) {
    setFixedSize(frame);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void SymbolButton::setDimmed(bool dimmed) {
    if (m_dimmed == dimmed)
        return;
    m_dimmed = dimmed;
    update();
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity());
    const QRectF r((width() - m_px) / 2.0, (height() - m_px) / 2.0, m_px, m_px);
    Symbols::paint(p, r, m_symbol, m_color ? m_color() : AppPalette::primaryText());
}

// ---------------------------------------------------------------------------------------------
namespace {

struct LaidOut {
    QStringList lines;
    int height = 0;
};

LaidOut layoutText(const QString& text, const QFont& font, int width, int maxLines) {
    LaidOut out;
    const QFontMetricsF fm(font);
    const qreal lineH = fm.lineSpacing();
    out.height = int(std::ceil(lineH));
    if (text.isEmpty())
        return out;
    // Most texts are one short line: no line breaking needed.
    if (!text.contains(QLatin1Char('\n'))) {
        const qreal advance = fm.horizontalAdvance(text);
        if (width <= 0 || advance <= width) {
            out.lines << text;
            return out;
        }
        if (maxLines == 1) {
            out.lines << fm.elidedText(text, Qt::ElideRight, width);
            return out;
        }
    }
    QTextLayout layout(text, font);
    QTextOption opt;
    opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(opt);
    layout.beginLayout();
    int count = 0;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        ++count;
        if (maxLines > 0 && count == maxLines) {
            QString rest = text.mid(line.textStart());
            rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
            out.lines << fm.elidedText(rest, Qt::ElideRight, width);
            break;
        }
        out.lines << text.mid(line.textStart(), line.textLength()).remove(QLatin1Char('\n'));
    }
    layout.endLayout();
    out.height = int(std::ceil(lineH * std::max(1, int(out.lines.size()))));
    return out;
}

} // namespace

ClampedText::ClampedText(const QFont& font, ColorFn color, int maxLines, QWidget* parent)
    : QWidget(parent), m_font(font), m_color(std::move(color)), m_maxLines(maxLines) {
    QSizePolicy sp(QSizePolicy::Preferred, QSizePolicy::Minimum);
    sp.setHeightForWidth(true);
    setSizePolicy(sp);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ClampedText::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    m_cachedWidth = -1;
    m_paintWidth = -1;
    updateGeometry();
    update();
}

int ClampedText::heightForWidth(int w) const {
    // A layout asks with the width it offers; the text never gets more than its maximum width.
    w = std::min(w, maximumWidth());
    if (m_collapsible && m_text.isEmpty())
        return 0;
    if (w != m_cachedWidth) {
        m_cachedWidth = w;
        m_cachedHeight = layoutText(m_text, m_font, w - 0, m_maxLines).height + (m_collapsible ? m_top : 0);
    }
    return m_cachedHeight;
}

QSize ClampedText::sizeHint() const {
    const QFontMetrics fm(m_font);
    QString first = m_text.section('\n', 0, 0);
    return {std::min(fm.horizontalAdvance(first) + 2, 600), heightForWidth(std::min(fm.horizontalAdvance(first) + 2, 600))};
}

QSize ClampedText::minimumSizeHint() const {
    if (m_collapsible && m_text.isEmpty())
        return {0, 0};
    const QFontMetrics fm(m_font);
    return {std::min(40, fm.horizontalAdvance(m_text) + 2), fm.lineSpacing()};
}

QStringList ClampedText::visibleLines(int width) const { return layoutText(m_text, m_font, width, m_maxLines).lines; }

void ClampedText::paintEvent(QPaintEvent*) {
    if (m_text.isEmpty())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setOpacity(m_opacity);
    p.setFont(m_font);
    p.setPen(m_color ? m_color() : AppPalette::primaryText());
    const QFontMetricsF fm(m_font);
    if (m_paintWidth != width()) {
        m_paintWidth = width();
        m_paintLines = layoutText(m_text, m_font, width(), m_maxLines).lines;
    }
    qreal y = m_collapsible ? m_top : 0;
    for (const QString& line : std::as_const(m_paintLines)) {
        p.drawText(QRectF(0, y, width(), fm.lineSpacing()), int(m_align | Qt::AlignVCenter), line);
        y += fm.lineSpacing();
    }
}

// ---------------------------------------------------------------------------------------------
SearchField::SearchField(const QString& placeholder, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(8);
    auto* glass = new SymbolButton(QStringLiteral("magnifyingglass"), 13, QSize(13, 13),
                                   [] { return AppPalette::secondaryText(); }, this);
    glass->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_edit = new QLineEdit(this);
    m_edit->setFrame(false);
    m_edit->setPlaceholderText(placeholder);
    m_edit->setFont(Fonts::rounded(13));
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_edit->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; padding: 0; }"));
    m_edit->installEventFilter(this);
    row->addWidget(glass);
    row->addWidget(m_edit, 1);
    setMaximumWidth(520);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_edit, &QLineEdit::textChanged, this, &SearchField::textChanged);
}

bool SearchField::eventFilter(QObject* o, QEvent* e) {
    if (o == m_edit && (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut))
        update();
    return QWidget::eventFilter(o, e);
}

void SearchField::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    Paint::fillRoundedRect(p, r, 12, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, r, 12, withOpacity(AppPalette::separator(), 0.35));
}

// ---------------------------------------------------------------------------------------------
LayoutSwitch::LayoutSwitch(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(8);
    auto colorFor = [this](DisplayLayout l) {
        return [this, l] { return m_current == l ? AppPalette::primaryText() : AppPalette::secondaryText(); };
    };
    m_list = new SymbolButton(QStringLiteral("list.bullet"), 14, QSize(38, 30), colorFor(DisplayLayout::list), this);
    m_grid = new SymbolButton(QStringLiteral("square.grid.2x2"), 14, QSize(38, 30), colorFor(DisplayLayout::grid), this);
    m_list->setToolTip(QStringLiteral("Liste"));
    m_grid->setToolTip(QStringLiteral("Grille"));
    row->addWidget(m_list);
    row->addWidget(m_grid);
    connect(m_list, &QAbstractButton::clicked, this, [this] { emit picked(DisplayLayout::list); });
    connect(m_grid, &QAbstractButton::clicked, this, [this] { emit picked(DisplayLayout::grid); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LayoutSwitch::setCurrent(DisplayLayout layout) {
    m_current = layout;
    update();
    m_list->update();
    m_grid->update();
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
        setFocusPolicy(Qt::NoFocus);
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
    m_label = new ClampedText(Fonts::rounded(12, 600), [] { return AppPalette::secondaryText(); }, 1, this);
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
    m_label->setText(label);
    const QFontMetrics fm(Fonts::rounded(12, 600));
    m_label->setFixedSize(fm.horizontalAdvance(label) + 2, fm.lineSpacing());
    m_prev->setDimmed(!canPrevious);
    m_next->setDimmed(!canNext);
    m_size->setText(QStringLiteral("%1 / page").arg(pageSize));
    m_size->updateGeometry();
}

QString PagerBar::labelText() const { return m_label->text(); }

// ---------------------------------------------------------------------------------------------
namespace {

// A menu entry drawn in the danger colour ("Supprimer" with the destructive role).
class DestructiveItem : public QWidget {
public:
    DestructiveItem(QString text, QAction* action, QMenu* menu)
        : QWidget(menu), m_text(std::move(text)), m_action(action), m_menu(menu) {
        setMouseTracking(true);
        setAttribute(Qt::WA_Hover);
        const QFontMetrics fm(menu->font());
        setMinimumSize(fm.horizontalAdvance(m_text) + 48, fm.height() + 10);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (underMouse())
            Paint::fillRoundedRect(p, QRectF(rect()).adjusted(4, 1, -4, -1), 4, palette().color(QPalette::Highlight));
        p.setFont(m_menu->font());
        p.setPen(underMouse() ? palette().color(QPalette::HighlightedText) : AppPalette::dangerRed());
        p.drawText(rect().adjusted(24, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, m_text);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (rect().contains(e->position().toPoint())) {
            m_menu->hide();
            m_action->trigger();
        }
    }

private:
    QString m_text;
    QAction* m_action;
    QMenu* m_menu;
};

} // namespace

EllipsisButton::EllipsisButton(QSize frame, qreal symbolPx, qreal backgroundOpacity, QWidget* parent)
    : QToolButton(parent), m_frame(frame), m_px(symbolPx), m_bgOpacity(backgroundOpacity) {
    setFixedSize(frame);
    setPopupMode(QToolButton::InstantPopup);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    m_edit = new QAction(QStringLiteral("Modifier"), this);
    m_delete = new QWidgetAction(this);
    m_delete->setText(QStringLiteral("Supprimer"));
    connect(m_edit, &QAction::triggered, this, &EllipsisButton::editRequested);
    connect(m_delete, &QAction::triggered, this, &EllipsisButton::deleteRequested);
}

QMenu* EllipsisButton::ensureMenu() {
    // Built on first use: a page holds up to 48 of these, and most menus are never opened.
    if (!menu()) {
        auto* m = new QMenu(this);
        m->addAction(m_edit);
        m->addSeparator();
        auto* del = static_cast<QWidgetAction*>(m_delete);
        del->setDefaultWidget(new DestructiveItem(QStringLiteral("Supprimer"), del, m));
        m->addAction(del);
        setMenu(m);
    }
    return menu();
}

void EllipsisButton::mousePressEvent(QMouseEvent* e) {
    ensureMenu();
    QToolButton::mousePressEvent(e);
}

void EllipsisButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_bgOpacity >= 0)
        Paint::fillRoundedRect(p, QRectF(rect()), 10, withOpacity(AppPalette::tintedBackground(), m_bgOpacity));
    Symbols::paint(p, QRectF((width() - m_px) / 2.0, (height() - m_px) / 2.0, m_px, m_px), QStringLiteral("ellipsis"),
                   AppPalette::secondaryText());
}

void execContextMenu(QWidget* owner, const QPoint& globalPos, const std::function<void()>& onEdit,
                     const std::function<void()>& onDelete) {
    auto* menu = new QMenu(owner);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(menu->addAction(QStringLiteral("Modifier")), &QAction::triggered, owner, [onEdit] { onEdit(); });
    menu->addSeparator();
    QObject::connect(menu->addAction(QStringLiteral("Supprimer")), &QAction::triggered, owner,
                     [onDelete] { onDelete(); });
    menu->popup(globalPos);
}

// ---------------------------------------------------------------------------------------------
AdaptiveGridLayout::AdaptiveGridLayout(int minWidth, int maxWidth, int spacing, QWidget* parent)
    : QLayout(parent), m_min(minWidth), m_max(maxWidth), m_spacing(spacing) {
    setContentsMargins(0, 0, 0, 0);
}

AdaptiveGridLayout::~AdaptiveGridLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void AdaptiveGridLayout::addItem(QLayoutItem* item) { m_items.append(item); }
QLayoutItem* AdaptiveGridLayout::itemAt(int index) const { return index >= 0 && index < m_items.size() ? m_items[index] : nullptr; }
QLayoutItem* AdaptiveGridLayout::takeAt(int index) {
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

int AdaptiveGridLayout::columnCount(int width) const { return std::max(1, (width + m_spacing) / (m_min + m_spacing)); }

QSize AdaptiveGridLayout::sizeHint() const {
    const QMargins m = contentsMargins();
    const int w = m_min * 2 + m_spacing + m.left() + m.right();
    return {w, heightForWidth(w)};
}

QSize AdaptiveGridLayout::minimumSize() const {
    const QMargins m = contentsMargins();
    return {std::min(m_min, 120) + m.left() + m.right(), 0};
}

int AdaptiveGridLayout::heightForWidth(int width) const { return doLayout(QRect(0, 0, width, 0), false); }

void AdaptiveGridLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    doLayout(rect, true);
}

int AdaptiveGridLayout::doLayout(const QRect& outer, bool apply) const {
    const QMargins m = contentsMargins();
    const QRect rect = outer.marginsRemoved(m);
    const int W = std::max(1, rect.width());
    const int n = columnCount(W);
    int colW = (W - (n - 1) * m_spacing) / n;
    if (m_max > 0)
        colW = std::min(colW, m_max);
    const int gridW = n * colW + (n - 1) * m_spacing;
    const int x0 = rect.x() + (W - gridW) / 2;
    int y = rect.y();
    QList<QLayoutItem*> visible;
    for (QLayoutItem* item : m_items)
        if (!item->isEmpty())
            visible.append(item);
    for (int i = 0; i < visible.size(); i += n) {
        int rowH = 0;
        for (int c = 0; c < n && i + c < visible.size(); ++c) {
            QLayoutItem* item = visible[i + c];
            const int h = item->hasHeightForWidth() ? item->heightForWidth(colW) : item->sizeHint().height();
            const int hh = std::max(h, item->minimumSize().height());
            if (apply)
                item->setGeometry(QRect(x0 + c * (colW + m_spacing), y, colW, hh));
            rowH = std::max(rowH, hh);
        }
        y += rowH + m_spacing;
    }
    if (!visible.isEmpty())
        y -= m_spacing;
    return y - rect.y() + m.top() + m.bottom();
}

// ---------------------------------------------------------------------------------------------
ShadowHost::ShadowHost(QWidget* parent) : QWidget(parent) {}

void ShadowHost::setBackground(qreal radius, ColorFn fill, ColorFn stroke) {
    m_radius = radius;
    m_fill = std::move(fill);
    m_stroke = std::move(stroke);
    update();
}

void ShadowHost::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_fill) {
        Paint::fillRoundedRect(p, QRectF(rect()), m_radius, m_fill());
        if (m_stroke)
            Paint::strokeRoundedRect(p, QRectF(rect()), m_radius, m_stroke());
    }
    for (QObject* o : children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || !w->isVisible())
            continue;
        if (auto* caster = dynamic_cast<ShadowCaster*>(w))
            caster->paintShadow(p, w->geometry());
    }
}

Divider::Divider(ColorFn color, QWidget* parent) : QWidget(parent), m_color(std::move(color)) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_color());
}

void repaintOnAppearanceChange(QWidget* w) {
    QObject::connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, w, [w] { w->update(); });
}

} // namespace projectsui
