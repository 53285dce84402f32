#include "ui/lists/ListWidgets.h"
#include "ui/AppStyle.h"

#include "ui/BoundedText.h"

#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "ui/lists/ListAccessibility.h"

#include <QCoreApplication>
#include <QHash>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QTextLayout>
#include <QWidgetAction>

#include <cmath>

namespace lists {

void nameControl(QWidget* control, const QString& name) {
    control->setAccessibleName(name);
    control->setToolTip(name);
}

bool showsFocusRing(const QWidget* control) {
    return control->hasFocus() && control->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void paintFocusRing(QPainter& p, const QRectF& r, qreal radius) {
    Paint::focusRing(p, r.adjusted(1, 1, -1, -1), std::max<qreal>(0, radius - 1));
}

void paintCachedLook(QPainter& p, const QRect& target, const QString& look,
                     const std::function<void(QPainter&, const QRectF&)>& draw) {
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QString key =
        QStringLiteral("tolmek-look/%1x%2/%3/").arg(target.width()).arg(target.height()).arg(dpr) + look;
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = QPixmap(target.size() * dpr);
        picture.setDevicePixelRatio(dpr);
        picture.fill(Qt::transparent);
        QPainter pp(&picture);
        pp.setRenderHint(QPainter::Antialiasing);
        draw(pp, QRectF(QPointF(0, 0), QSizeF(target.size())));
        pp.end();
        QPixmapCache::insert(key, picture);
    }
    p.drawPixmap(target.topLeft(), picture);
}

void paintCachedLook(QPainter& p, const QWidget* widget, const QString& look,
                     const std::function<void(QPainter&)>& draw) {
    paintCachedLook(p, widget->rect(), look, [&](QPainter& pp, const QRectF&) { draw(pp); });
}

// ---------------------------------------------------------------------------------------------
SymbolButton::SymbolButton(QString symbol, qreal symbolPx, QSize frame, ColorFn color, QWidget* parent)
    : QAbstractButton(parent), m_symbol(std::move(symbol)), m_px(symbolPx), m_frame(frame), m_color(std::move(color)) {
    setFixedSize(frame);
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab; a click gives it no focus.
    setFocusPolicy(Qt::TabFocus);
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
    if (showsFocusRing(this))
        paintFocusRing(p, QRectF(rect()), 8);
}

// ---------------------------------------------------------------------------------------------
SymbolView::SymbolView(qreal px, QWidget* parent) : QWidget(parent), m_px(px) {
    setFixedSize(int(std::ceil(px)), int(std::ceil(px)));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SymbolView::setSymbol(const QString& name, const QColor& color) {
    m_symbol = name;
    m_color = color;
    update();
}

void SymbolView::setColorFn(ColorFn color) {
    m_colorFn = std::move(color);
    update();
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Symbols::paint(p, QRectF(rect()), m_symbol, color());
}

// ---------------------------------------------------------------------------------------------
TileView::TileView(int size, qreal radius, qreal symbolPx, QWidget* parent)
    : QWidget(parent), m_radius(radius), m_px(symbolPx) {
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TileView::setSymbol(const QString& name, const QColor& tint) {
    if (name == m_symbol && tint == m_tint)
        return;
    m_symbol = name;
    m_tint = tint;
    update();
}

void TileView::paintEvent(QPaintEvent*) {
    // A page shows many tiles alike, and repaints them all at each keystroke of the search: each look is
    // drawn once, then laid on (the same pixels as drawing the translucent shapes in place).
    QPainter p(this);
    const QString look =
        QStringLiteral("tile/%1/%2/%3/%4").arg(m_radius).arg(m_px).arg(m_tint.rgba(), 0, 16).arg(m_symbol);
    paintCachedLook(p, this, look, [this](QPainter& tp) {
        const QRectF r = QRectF(rect());
        Paint::fillRoundedRect(tp, r, m_radius, withOpacity(m_tint, 0.14));
        Paint::strokeRoundedRect(tp, r, m_radius, withOpacity(m_tint, 0.22));
        Symbols::paint(tp, QRectF((width() - m_px) / 2, (height() - m_px) / 2, m_px, m_px), m_symbol, m_tint);
    });
}

// ---------------------------------------------------------------------------------------------
namespace {

// Advances are at least this wide: bounds how many characters a line of a given width can hold.
int narrowestAdvance(const QFontMetricsF& fm) {
    qreal w = fm.horizontalAdvance(QLatin1Char(' '));
    for (QChar c : {QLatin1Char('i'), QLatin1Char('l'), QLatin1Char('.'), QLatin1Char('|'), QLatin1Char('\'')})
        w = std::min(w, fm.horizontalAdvance(c));
    return std::max(1, int(std::floor(w)));
}

// Characters past this count can never reach the first lines: longer texts are cut before shaping.
constexpr qsizetype kLongLine = 2000;
// An unclamped text is cut past this many characters (some 300 lines at the widths of a window).
constexpr int kUnclampedChars = 20000;

// Breaks a long text as Qt's own layout does. Its lines are cached per width by the caller, and the text
// is bounded (kUnclampedChars), so the cost of laying it out is paid once per width asked.
std::vector<ClampedText::Line> breakLongText(const QString& text, const QFont& font, int width) {
    std::vector<ClampedText::Line> lines;
    for (const ShapedText::Line& l : qtLineBreaks(text, font, width))
        lines.push_back({l.start, l.length});
    if (lines.empty())
        lines.push_back({0, 0});
    return lines;
}

// `shaped`, when given, is the whole text shaped once: lines are broken from it instead of shaping again.
ClampedText::Layout layoutText(const QString& text, const QFont& font, int width, int maxLines,
                               const ShapedText* shaped) {
    ClampedText::Layout out;
    out.width = width;
    const QFontMetricsF fm(font);
    const qreal lineH = fm.lineSpacing();
    out.height = int(std::ceil(lineH));
    if (text.isEmpty())
        return out;
    // A clamped text shows at most maxLines lines of at most width / narrowest characters each.
    QString source = text;
    bool cut = false;
    if (maxLines > 0 && width > 0 && !shaped) {
        const qsizetype budget = qsizetype(maxLines) * (width / narrowestAdvance(fm) + 2) + 16;
        if (text.size() > budget) {
            source = text.left(budget);
            cut = true;
        }
    }
    // Most texts are one short line: no line breaking needed.
    if (!source.contains(QLatin1Char('\n'))) {
        if (width <= 0) {
            out.lines.push_back({0, int(source.size())});
            return out;
        }
        if (!cut && source.size() < kLongLine &&
            (shaped ? shaped->naturalWidth() : fm.horizontalAdvance(source)) <= width) {
            out.lines.push_back({0, int(source.size())});
            return out;
        }
        if (maxLines == 1) {
            QString elided = fm.elidedText(source, Qt::ElideRight, width);
            if (cut && elided == source)
                elided = fm.elidedText(source + QChar(0x2026), Qt::ElideRight, width);
            elided = BoundedText::withoutBlankBeforeEllipsis(elided);
            out.lines.push_back({0, 0});
            out.elidedLast = elided;
            return out;
        }
    }
    if (maxLines == 0 && source.size() >= kLongLine && width > 0) {
        out.lines = breakLongText(source, font, width);
        out.height = int(std::ceil(lineH * std::max(1, int(out.lines.size()))));
        return out;
    }
    if (shaped) {
        const std::vector<ShapedText::Line> broken = shaped->lines(width, true);
        for (size_t i = 0; i < broken.size(); ++i) {
            if (maxLines > 0 && int(i) + 1 == maxLines && broken.size() > i + 1) {
                QString rest = source.mid(broken[i].start);
                rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
                out.lines.push_back({broken[i].start, broken[i].length});
                out.elidedLast = BoundedText::withoutBlankBeforeEllipsis(fm.elidedText(rest, Qt::ElideRight, width));
                break;
            }
            out.lines.push_back({broken[i].start, broken[i].length});
        }
        out.height = int(std::ceil(lineH * std::max(1, int(out.lines.size()))));
        return out;
    }
    QTextLayout layout(source, font);
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
            QString rest = source.mid(line.textStart());
            rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
            if (cut)
                rest += QChar(0x2026);
            out.lines.push_back({line.textStart(), line.textLength()});
            out.elidedLast = BoundedText::withoutBlankBeforeEllipsis(fm.elidedText(rest, Qt::ElideRight, width));
            break;
        }
        out.lines.push_back({line.textStart(), line.textLength()});
    }
    layout.endLayout();
    out.height = int(std::ceil(lineH * std::max(1, int(out.lines.size()))));
    return out;
}

// Longer texts are shaped for their own widget only.
constexpr qsizetype kSharedShapeChars = 256;

// The shaping of the texts shown lately, shared by every text widget showing the same words in the same
// font: a search or a page rebinds the rows to texts that were on screen a keystroke ago, often one row
// up or down, and shaping them again is most of what a rebound row costs. Kept in two generations: the
// texts asked since the last turn, and those of the turn before.
struct RecentShapes {
    QHash<QString, std::shared_ptr<const ShapedText>> current, previous;
};

RecentShapes& recentShapes() {
    static RecentShapes shapes;
    static const bool cleared = [] {
        // Shapes hold fonts: they go with the application, before its fonts do.
        qAddPostRoutine([] { recentShapes() = {}; });
        return true;
    }();
    (void)cleared;
    return shapes;
}

std::shared_ptr<const ShapedText> recentShape(const QString& text, const QFont& font, const QString& fontKey) {
    constexpr qsizetype kPerGeneration = 384;
    auto& [current, previous] = recentShapes();
    if (text.size() > kSharedShapeChars)
        return std::make_shared<const ShapedText>(text, font);
    const QString key = fontKey + QChar(0) + text;
    if (auto it = current.constFind(key); it != current.constEnd())
        return *it;
    std::shared_ptr<const ShapedText> shape = previous.take(key);
    if (!shape)
        shape = std::make_shared<const ShapedText>(text, font);
    if (current.size() >= kPerGeneration) {
        previous = std::move(current);
        current = {};
    }
    current.insert(key, shape);
    return shape;
}

} // namespace

ClampedText::ClampedText(const QFont& font, ColorFn color, int maxLines, QWidget* parent)
    : QWidget(parent), m_font(font), m_fontKey(font.key()), m_color(std::move(color)), m_maxLines(maxLines) {
    installListAccessibility();
    QSizePolicy sp(QSizePolicy::Preferred, QSizePolicy::Minimum);
    sp.setHeightForWidth(true);
    setSizePolicy(sp);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ClampedText::setText(const QString& text) {
    if (text == m_source)
        return;
    m_source = text;
    // A clamped text shows a few hundred characters a line at most: the rest never reaches a layout. An
    // unclamped one shows pages of text at most, which a layout breaks in a few milliseconds.
    m_text = BoundedText::bounded(text, m_maxLines > 0 ? 400 * m_maxLines : kUnclampedChars);
    for (Layout& l : m_cache)
        l = Layout();
    m_shaped.reset();
    m_shapedChecked = false;
    updateGeometry();
    update();
}

void ClampedText::setCollapsible(int top) {
    m_collapsible = true;
    m_top = top;
    updateGeometry();
}

const ClampedText::Layout& ClampedText::layoutFor(int width) const {
    for (const Layout& l : m_cache)
        if (l.width == width)
            return l;
    Layout& slot = m_cache[m_nextSlot];
    m_nextSlot = (m_nextSlot + 1) % kCachedWidths;
    slot = layoutText(m_text, m_font, width, m_maxLines, shaped());
    return slot;
}

const ShapedText* ClampedText::shaped() const {
    if (!m_shapedChecked) {
        m_shapedChecked = true;
        m_shaped = recentShape(m_text, m_font, m_fontKey);
        if (!m_shaped->isSupported())
            m_shaped.reset();
    }
    return m_shaped.get();
}

QString ClampedText::lineText(const Layout& layout, size_t index) const {
    if (index + 1 == layout.lines.size() && !layout.elidedLast.isNull())
        return layout.elidedLast;
    const Line& line = layout.lines[index];
    return m_text.mid(line.start, line.length).remove(QLatin1Char('\n'));
}

int ClampedText::heightForWidth(int w) const {
    // A layout asks with the width it offers; the text never gets more than its maximum width.
    w = std::min(w, maximumWidth());
    if (m_collapsible && m_text.isEmpty())
        return 0;
    return layoutFor(w).height + (m_collapsible ? m_top : 0);
}

QSize ClampedText::sizeHint() const {
    if (const ShapedText* text = shaped()) {
        const std::vector<ShapedText::Line> hardLines = text->lines(-1);
        const int w = std::min(int(std::lround(hardLines.front().width)) + 2, 600);
        return {w, heightForWidth(w)};
    }
    const QFontMetrics fm(m_font);
    // Only the start of the first line can matter for a width of at most 600.
    const QString first = m_text.left(256).section(QLatin1Char('\n'), 0, 0);
    const int w = std::min(fm.horizontalAdvance(first) + 2, 600);
    return {w, heightForWidth(w)};
}

QSize ClampedText::minimumSizeHint() const {
    if (m_collapsible && m_text.isEmpty())
        return {0, 0};
    const QFontMetrics fm(m_font);
    const QString start = m_text.left(24);
    if (const ShapedText* text = shaped(); text && !start.contains(QLatin1Char('\n')))
        return {std::min(40, int(std::lround(text->advance(0, int(start.size())))) + 2), fm.lineSpacing()};
    return {std::min(40, fm.horizontalAdvance(start) + 2), fm.lineSpacing()};
}

QStringList ClampedText::visibleLines(int width) const {
    QStringList out;
    const Layout& layout = layoutFor(width);
    for (size_t i = 0; i < layout.lines.size(); ++i)
        out << lineText(layout, i);
    return out;
}

void ClampedText::paintEvent(QPaintEvent* event) {
    if (m_text.isEmpty())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setOpacity(m_opacity);
    p.setFont(m_font);
    p.setPen(m_color ? m_color() : AppPalette::primaryText());
    const qreal lineH = QFontMetricsF(m_font).lineSpacing();
    const QRect dirty = event->rect();
    qreal y = m_collapsible ? m_top : 0;
    // Only the lines inside the repainted area are drawn: a long text scrolled past costs nothing.
    const Layout& layout = layoutFor(width());
    const ShapedText* text = shaped();
    for (size_t i = 0; i < layout.lines.size(); ++i) {
        if (y > dirty.bottom())
            break;
        if (y + lineH >= dirty.top()) {
            if (!text) {
                p.drawText(QRectF(0, y, width(), lineH), int(m_align | Qt::AlignVCenter), lineText(layout, i));
            } else {
                // From the one shaping, placed as drawText places one line in (0, y, width, lineH).
                const ShapedText* source = text;
                ShapedText::Line line{layout.lines[i].start, layout.lines[i].length, 0};
                if (i + 1 == layout.lines.size() && !layout.elidedLast.isNull()) {
                    if (!layout.elidedShaped)
                        layout.elidedShaped = std::make_shared<ShapedText>(layout.elidedLast, m_font);
                    source = layout.elidedShaped.get();
                    line = {0, int(layout.elidedLast.size()), 0};
                }
                const qreal advance = source->advance(line.start, line.length);
                qreal x = 0;
                if (m_align & Qt::AlignRight)
                    x = width() - advance;
                else if (m_align & Qt::AlignHCenter)
                    x = (width() - advance) / 2;
                source->drawLine(p, line, QPointF(x, y + (lineH - source->lineHeight()) / 2));
            }
        }
        y += lineH;
    }
}

// ---------------------------------------------------------------------------------------------
Divider::Divider(ColorFn color, QWidget* parent) : QWidget(parent), m_color(std::move(color)) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_color());
}

// ---------------------------------------------------------------------------------------------
namespace {

// A menu entry drawn in the danger colour ("Supprimer" with the destructive role).
class DestructiveItem : public QWidget {
public:
    DestructiveItem(QString text, QAction* action, QMenu* menu)
        : QWidget(menu), m_text(std::move(text)), m_action(action), m_menu(menu) {
        setMouseTracking(true);
        setAttribute(Qt::WA_Hover);
        setAccessibleName(m_text);
        const QFontMetrics fm(menu->font());
        setMinimumSize(fm.horizontalAdvance(m_text) + 37, fm.height() + 10);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (underMouse())
            Paint::fillRoundedRect(p, QRectF(rect()).adjusted(4, 1, -4, -1), 4, palette().color(QPalette::Highlight));
        p.setFont(m_menu->font());
        p.setPen(underMouse() ? palette().color(QPalette::HighlightedText) : AppPalette::destructiveText());
        // Where the style starts the texts of a menu without icons.
        p.drawText(rect().adjusted(13, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, m_text);
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
    setFocusPolicy(Qt::TabFocus);
    nameControl(this, QStringLiteral("Actions"));
    m_edit = new QAction(QStringLiteral("Modifier"), this);
    m_delete = new QWidgetAction(this);
    m_delete->setText(QStringLiteral("Supprimer"));
    connect(m_edit, &QAction::triggered, this, &EllipsisButton::editRequested);
    connect(m_delete, &QAction::triggered, this, &EllipsisButton::deleteRequested);
    // Pressed through accessibility before its menu exists: build it and open it.
    connect(this, &QToolButton::clicked, this, [this] {
        ensureMenu();
        showMenu();
    });
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
        connect(m, &QMenu::aboutToHide, this, &EllipsisButton::menuHidden);
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
    // One on every row: drawn once per look.
    const QColor background = m_bgOpacity >= 0 ? withOpacity(AppPalette::tintedBackground(), m_bgOpacity) : QColor();
    const QColor symbol = AppPalette::secondaryText();
    const QString look =
        QStringLiteral("ellipsis/%1/%2/%3").arg(m_px).arg(background.rgba(), 0, 16).arg(symbol.rgba(), 0, 16);
    paintCachedLook(p, this, look, [&](QPainter& bp) {
        if (m_bgOpacity >= 0)
            Paint::fillRoundedRect(bp, QRectF(rect()), 10, background);
        Symbols::paint(bp, QRectF((width() - m_px) / 2.0, (height() - m_px) / 2.0, m_px, m_px),
                       QStringLiteral("ellipsis"), symbol);
    });
    if (showsFocusRing(this))
        paintFocusRing(p, QRectF(rect()), 10);
}

QMenu* execContextMenu(QWidget* owner, const QPoint& globalPos, const std::function<void()>& onEdit,
                       const std::function<void()>& onDelete, bool plainDelete) {
    auto* menu = new QMenu(owner);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(menu->addAction(QStringLiteral("Modifier")), &QAction::triggered, owner, [onEdit] { onEdit(); });
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Supprimer"));
    if (!plainDelete)
        TolmekStyle::setDestructive(remove);
    QObject::connect(remove, &QAction::triggered, owner, [onDelete] { onDelete(); });
    menu->popup(globalPos);
    return menu;
}

} // namespace lists
