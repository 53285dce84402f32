#include "ui/Components.h"

#include "ui/Accessibility.h"
#include "ui/Boxes.h"

#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/Fonts.h"
#include "ui/KeyboardFocus.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QBoxLayout>
#include <QPainter>
#include <QPixmapCache>
#include <QResizeEvent>
#include <QScreen>
#include <QStyleOptionFocusRect>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

namespace {

void repaintOnAppearanceChange(QWidget* w) {
    QObject::connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, w, [w] { w->update(); });
}

int ceilInt(qreal v) { return int(std::ceil(v - 1e-6)); }

constexpr qreal kButtonSymbol = 13;
constexpr int kButtonSpacing = 8;
constexpr int kButtonPadH = 14;
constexpr int kButtonPadV = 9;
constexpr qreal kButtonRadius = 10;

constexpr int kBadgePadH = 10;
constexpr int kBadgePadV = 5;

constexpr qreal kCardBlur = 10;
constexpr QPointF kCardShadowOffset(0, 4);
// Rows of the card's repeating middle kept in its cached look, and copied at a time.
constexpr int kCardMiddleRows = 64;

// The card's background, shadow and hairline in a widget of `size`.
void paintCardLook(QPainter& p, const QSize& size) {
    const QRectF r = QRect(QPoint(), size).marginsRemoved(AppCard::shadowMargins());
    Paint::fillRoundedRectWithShadow(p, r, AppCard::cornerRadius, AppPalette::cardBackground(),
                                     {AppPalette::cardShadow(), kCardBlur, kCardShadowOffset});
    Paint::strokeRoundedRect(p, r, AppCard::cornerRadius, withOpacity(AppPalette::separator(), 0.6), 1);
}

// The card's look at `size`, drawn once per size and colours. A card taller than its two edges and a
// stretch of its middle is kept at that height: the rest of its middle repeats the same rows.
QPixmap cardLook(QSize size, qreal dpr) {
    const QString key = QStringLiteral("tolmek-card|%1x%2|%3|%4|%5|%6")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(dpr)
                            .arg(AppPalette::cardBackground().rgba(), 8, 16, QLatin1Char('0'))
                            .arg(AppPalette::cardShadow().rgba(), 8, 16, QLatin1Char('0'))
                            .arg(AppPalette::separator().rgba(), 8, 16, QLatin1Char('0'));
    QPixmap look;
    if (QPixmapCache::find(key, &look))
        return look;
    look = QPixmap(QSize(int(std::ceil(size.width() * dpr)), int(std::ceil(size.height() * dpr))));
    look.setDevicePixelRatio(dpr);
    look.fill(Qt::transparent);
    QPainter p(&look);
    paintCardLook(p, size);
    p.end();
    QPixmapCache::insert(key, look);
    return look;
}

// Copies the rows [from, from + rows) of `look` to `y`, where they meet `exposed`.
void copyRows(QPainter& p, const QPixmap& look, int from, int rows, int y, const QRect& exposed) {
    const QRect target(0, y, int(std::lround(look.width() / look.devicePixelRatio())), rows);
    if (rows <= 0 || !target.intersects(exposed))
        return;
    const qreal dpr = look.devicePixelRatio();
    p.drawPixmap(QRectF(target), look, QRectF(0, from * dpr, look.width(), rows * dpr));
}

} // namespace

void keepPaintingOnResize(QWidget* widget) { widget->setAttribute(Qt::WA_StaticContents); }

void repaintResizedEdge(QWidget* widget, const QSize& oldSize, int bottomReach) {
    if (!oldSize.isValid() || oldSize.width() != widget->width()) {
        widget->update();
        return;
    }
    if (oldSize.height() == widget->height())
        return;
    // What the widget gained is repainted by Qt; what its edge leaves behind or comes over is not.
    const int edge = std::min(oldSize.height(), widget->height());
    widget->update(QRect(0, edge - bottomReach, widget->width(), bottomReach));
}

// ---- AppCard ----

AppCard::AppCard(QWidget* content, QWidget* parent) : QWidget(parent), m_layout(new QHBoxLayout(this)) {
    const QMargins s = shadowMargins();
    m_layout->setContentsMargins(s.left() + padding, s.top() + padding, s.right() + padding, s.bottom() + padding);
    m_layout->setSpacing(0);
    setAttribute(Qt::WA_TranslucentBackground);
    // A card growing with its content (a text typed into) repaints its bottom edge, not all of itself.
    keepPaintingOnResize(this);
    Accessibility::setRole(this, QAccessible::Grouping);
    repaintOnAppearanceChange(this);
    if (content)
        setContent(content);
    else
        followContentPolicy();
}

void AppCard::setContent(QWidget* content) {
    if (m_content == content)
        return;
    if (m_content) {
        m_layout->removeWidget(m_content);
        delete m_content;
    }
    m_content = content;
    if (content)
        m_layout->addWidget(content);
    followContentPolicy();
    updateGeometry();
}

void AppCard::followContentPolicy() {
    // The card is as large as its padded content and grows only where the content asks to expand.
    const QSizePolicy inner = m_content ? m_content->sizePolicy() : QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto direction = [](QSizePolicy::Policy p) {
        return (p & QSizePolicy::ExpandFlag) ? QSizePolicy::Expanding : QSizePolicy::Maximum;
    };
    QSizePolicy::Policy vertical = direction(inner.verticalPolicy());
    // A content whose height follows its width (wrapped text) is as tall as it needs at the card's real
    // width: capped at its preferred height, measured at its preferred width, it would overflow the card.
    if (vertical == QSizePolicy::Maximum && m_content && m_content->hasHeightForWidth())
        vertical = QSizePolicy::Preferred;
    setSizePolicy(direction(inner.horizontalPolicy()), vertical);
}

bool AppCard::event(QEvent* event) {
    // A content whose size policy changes later is followed too (its layout asks us to re-layout).
    if (event->type() == QEvent::LayoutRequest)
        followContentPolicy();
    return QWidget::event(event);
}

QMargins AppCard::shadowMargins() {
    // The shadow (blur 10, 4 down) fades out within these margins.
    return QMargins(10, 6, 10, 14);
}

QRect AppCard::cardRect() const { return rect().marginsRemoved(shadowMargins()); }

void AppCard::paintEvent(QPaintEvent* event) {
    // Copied from the cached look: a key typed into a tall text repaints a few rows of pixels, not the
    // card's paths and shadow.
    QPainter p(this);
    const QRect exposed = event->rect();
    const int h = height();
    const int kept = 2 * edgeReach + kCardMiddleRows;
    const QPixmap look = cardLook(QSize(width(), std::min(h, kept)), devicePixelRatioF());
    if (h <= kept) {
        copyRows(p, look, 0, h, 0, exposed);
        return;
    }
    copyRows(p, look, 0, edgeReach, 0, exposed);
    for (int y = edgeReach; y < h - edgeReach; y += kCardMiddleRows)
        copyRows(p, look, edgeReach, std::min(kCardMiddleRows, h - edgeReach - y), y, exposed);
    copyRows(p, look, kept - edgeReach, edgeReach, h - edgeReach, exposed);
}

void AppCard::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    repaintResizedEdge(this, event->oldSize(), edgeReach);
}

// ---- PrimaryButton ----

PrimaryButton::PrimaryButton(const QString& title, const QString& systemImage, QWidget* parent)
    : QAbstractButton(parent), m_systemImage(systemImage) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(Fonts::rounded(13, 600));
    setTitle(title);
    repaintOnAppearanceChange(this);
}

void PrimaryButton::setTitle(const QString& title) {
    setText(title);
    setAccessibleName(title);
    updateGeometry();
    update();
}

void PrimaryButton::setSystemImage(const QString& name) {
    m_systemImage = name;
    updateGeometry();
    update();
}

int PrimaryButton::titleX() const {
    return kButtonPadH + (m_systemImage.isEmpty() ? 0 : int(kButtonSymbol) + kButtonSpacing);
}

QSize PrimaryButton::sizeHint() const {
    const QFontMetricsF fm(font());
    const int textW = ceilInt(fm.horizontalAdvance(text()));
    const int rowH = std::max(ceilInt(fm.height()), m_systemImage.isEmpty() ? 0 : int(kButtonSymbol));
    return QSize(titleX() + textW + kButtonPadH, rowH + 2 * kButtonPadV);
}

void PrimaryButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Paint::beginPlainButton(p, *this);

    const QRectF r = rect();
    // Focus ring only after keyboard navigation, as standard widgets do; the blue keeps a gap inside it.
    const bool ring = KeyboardFocus::showsRing(this);
    const qreal in = ring ? Paint::focusRingReach : 0;
    // The brand blue, a shade darker, so that the white title reads at 4.5:1.
    Paint::fillRoundedRect(p, r.adjusted(in, in, -in, -in), kButtonRadius - in,
                           AppPalette::accentFill(AppPalette::brandBlue()));
    if (ring)
        Paint::focusRing(p, r, kButtonRadius);

    const QFontMetricsF fm(font());
    const qreal contentW = (titleX() - kButtonPadH) + fm.horizontalAdvance(text());
    // The row is centred; with a wider widget than needed it stays in the middle.
    qreal x = std::max<qreal>(kButtonPadH, (width() - contentW) / 2);
    const qreal cy = r.center().y();
    if (!m_systemImage.isEmpty()) {
        Symbols::paint(p, QRectF(x, cy - kButtonSymbol / 2, kButtonSymbol, kButtonSymbol), m_systemImage, Qt::white,
                       Symbols::semibold);
        x += kButtonSymbol + kButtonSpacing;
    }
    p.setFont(font());
    p.setPen(Qt::white);
    p.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

void PrimaryButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QAbstractButton::changeEvent(event);
}

// ---- StatusBadge ----

StatusBadge::StatusBadge(const QString& text, StandardColor tone, QWidget* parent)
    : QWidget(parent), m_text(text), m_tone(tone) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(Fonts::rounded(11, 600));
    setAccessibleName(text);
    Accessibility::setRole(this, QAccessible::StaticText);
    repaintOnAppearanceChange(this);
}

void StatusBadge::setStatus(const QString& text, StandardColor tone) {
    if (text == m_text && tone == m_tone)
        return;
    m_text = text;
    m_tone = tone;
    setAccessibleName(text);
    updateGeometry();
    update();
}

QSize StatusBadge::sizeHint() const {
    const QFontMetricsF fm(font());
    return QSize(ceilInt(fm.horizontalAdvance(m_text)) + 2 * kBadgePadH, ceilInt(fm.height()) + 2 * kBadgePadV);
}

void StatusBadge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QColor c = standardColor(m_tone);
    Paint::fillCapsule(p, rect(), withOpacity(c, 0.18));
    p.setFont(font());
    // The text in a shade of the hue that reads on the tint.
    p.setPen(AppPalette::tintText(c, 0.18));
    p.drawText(QRectF(rect()), Qt::AlignCenter | Qt::TextSingleLine, m_text);
}

void ScreenBackground::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::screenBackground());
}

QScrollArea* addScreenScroll(QWidget* screen) {
    auto* outer = Boxes::column(screen, 0, QMargins());
    auto* scroll = new QScrollArea(screen);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes through the controls inside; the area itself would be a stop with nothing drawn.
    scroll->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(scroll);
    return scroll;
}

QLineEdit* newBareLineEdit(const QString& placeholder, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    edit->setPlaceholderText(placeholder);
    edit->setAccessibleName(placeholder);
    edit->setFont(Fonts::rounded(13));
    edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    return edit;
}

namespace {
class FocusRepaint : public QObject {
public:
    FocusRepaint(QWidget* frame) : QObject(frame), m_frame(frame) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)
            m_frame->update();
        return false;
    }

private:
    QWidget* m_frame;
};
} // namespace

void repaintOnFocusChange(QWidget* frame, QWidget* field) { field->installEventFilter(new FocusRepaint(frame)); }

// ---- SheetBody ----

SheetBody::SheetBody(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    // Grows with the sheet; a short window takes height from it first.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
}

int SheetBody::contentHeight(int width) const {
    const QWidget* content = widget();
    if (!content)
        return 0;
    const QLayout* l = content->layout();
    if (l && l->hasHeightForWidth())
        return l->totalHeightForWidth(width);
    if (content->hasHeightForWidth())
        return content->heightForWidth(width);
    return content->sizeHint().height();
}

void makeReadOnlyTextView(QTextEdit* view) {
    view->setReadOnly(true);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view->setFrameShape(QFrame::NoFrame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->viewport()->setAutoFillBackground(false);
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

namespace Sheets {

int maxHeight(const QWidget* sheet, int floor) {
    int limit = QWIDGETSIZE_MAX;
    const QWidget* parent = sheet->parentWidget();
    if (const QWidget* host = parent ? parent->window() : nullptr; host && host->isVisible())
        limit = host->height() - 2 * windowMargin;
    if (const QScreen* screen = sheet->screen())
        limit = std::min(limit, screen->availableGeometry().height() - 2 * windowMargin);
    return std::max(floor, limit);
}

namespace {

// Refits a sheet when the window under it changes size.
class Refit : public QObject {
public:
    static constexpr const char* name = "sheetRefit";
    Refit(QWidget* sheet, SheetBody* body) : QObject(sheet), m_sheet(sheet), m_body(body) { setObjectName(name); }
    void watch(QWidget* host) {
        if (host == m_host)
            return;
        if (m_host)
            m_host->removeEventFilter(this);
        m_host = host;
        if (host)
            host->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_host && event->type() == QEvent::Resize && m_sheet && m_body && m_sheet->isVisible())
            fit(m_sheet, m_body);
        return false;
    }

private:
    QPointer<QWidget> m_sheet;
    QPointer<SheetBody> m_body;
    QPointer<QWidget> m_host;
};

} // namespace

void fit(QWidget* sheet, SheetBody* body) {
    QLayout* layout = sheet->layout();
    if (!layout || !body)
        return;
    const int width = sheet->width();
    const QMargins m = layout->contentsMargins();
    const int content = body->contentHeight(std::max(0, width - m.left() - m.right()));
    // What the sheet needs around its body: the same layout with an empty body.
    body->setFixedHeight(0);
    layout->invalidate();
    const int around =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
    const int bodyHeight = std::max(0, std::min(content, maxHeight(sheet) - around));
    // The body takes whatever height the sheet has beyond its header and footer.
    body->setMinimumHeight(0);
    body->setMaximumHeight(QWIDGETSIZE_MAX);
    if (auto* box = qobject_cast<QBoxLayout*>(layout))
        box->setStretchFactor(body, 1);
    sheet->setFixedHeight(around + bodyHeight);
    const QWidget* parent = sheet->parentWidget();
    const QWidget* host = parent ? parent->window() : nullptr;
    if (sheet->isWindow() && host && host->isVisible()) {
        // Centred over the window it covers, which it never overflows.
        const QRect frame = host->geometry();
        sheet->move(frame.x() + (frame.width() - sheet->width()) / 2,
                    frame.y() + std::max(0, (frame.height() - sheet->height()) / 2));
    }

    // Found by name: the class has no meta-object of its own.
    auto* refit =
        static_cast<Refit*>(sheet->findChild<QObject*>(QLatin1String(Refit::name), Qt::FindDirectChildrenOnly));
    if (!refit)
        refit = new Refit(sheet, body);
    refit->watch(const_cast<QWidget*>(host));
}

bool swallowReturn(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    event->accept();
    return true;
}

} // namespace Sheets
