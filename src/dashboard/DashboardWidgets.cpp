#include "dashboard/DashboardWidgets.h"

#include "dashboard/DashboardLogic.h"
#include "ui/BoundedText.h"
#include "ui/Boxes.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/ImageConversion.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/KeyboardFocus.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBuffer>
#include <QDateTime>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <climits>
#include <cmath>

namespace dashboard {

// Qt reads no desktop setting for less motion: the environment says it.
bool reducedMotion() {
    const QByteArray v = qgetenv("TOLMEK_REDUCE_MOTION");
    return !v.isEmpty() && v != "0";
}

namespace {

constexpr int kHoverMs = 120;
constexpr int kShowMs = 180;
const char* const kRoleProperty = "dashboardAccessibleRole";

// Widgets of this file announce their role through a property; the factory below reads it.
void setRole(QWidget* w, QAccessible::Role role) { w->setProperty(kRoleProperty, int(role)); }

class RoleAccessible : public QAccessibleWidget {
public:
    RoleAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}
    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (role() == QAccessible::Button)
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            if (auto* card = qobject_cast<DashCard*>(widget()))
                card->click();
            else if (auto* row = qobject_cast<DocRowLine*>(widget()))
                row->open();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* roleFactory(const QString&, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w)
        return nullptr;
    const QVariant role = w->property(kRoleProperty);
    if (!role.isValid())
        return nullptr;
    return new RoleAccessible(w, QAccessible::Role(role.toInt()));
}

bool isDark(const ThemeManager* theme) { return theme ? theme->isDark() : false; }

void repaintHostOf(QWidget* w) {
    if (QWidget* host = w->parentWidget())
        host->update(w->geometry().adjusted(-30, -30, 30, 36));
    w->update();
}

// The pulse stands still when the environment asks for less motion.
bool reduceMotion() { return reducedMotion(); }

// The timer that drives every pulsing ring. It runs only while an orb is on screen in the active window:
// a hidden, minimised or inactive window keeps its last frame and costs nothing.
class PulseClock : public QObject {
public:
    static constexpr int frameMs = 50; // 20 frames a second: smooth for a ring that grows five pixels a second

    static PulseClock& instance() {
        static PulseClock* clock = new PulseClock;
        return *clock;
    }
    void add(MetricOrb* orb) {
        m_orbs.insert(orb);
        QWidget* window = orb->window();
        if (!m_windows.contains(window)) {
            m_windows.insert(window);
            window->installEventFilter(this);
            connect(window, &QObject::destroyed, this, [this, window] { m_windows.remove(window); });
        }
        refreshLater();
    }
    void remove(MetricOrb* orb) {
        m_orbs.remove(orb);
        refresh();
    }
    bool isRunning() const { return m_timer.isActive(); }
    // Starts or stops the timer after what changed (shown, hidden, window state, activation, setting).
    void refresh() {
        m_refreshPending = false;
        bool run = false;
        if (!reduceMotion())
            for (MetricOrb* orb : std::as_const(m_orbs))
                run = run || isLive(orb);
        if (run == m_timer.isActive())
            return;
        if (run) {
            m_timer.start();
            tick();
        } else {
            m_timer.stop();
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
        case QEvent::ActivationChange:
        case QEvent::WindowStateChange:
        case QEvent::Show:
        case QEvent::Hide: refreshLater(); break;
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    PulseClock() {
        m_timer.setInterval(frameMs);
        connect(&m_timer, &QTimer::timeout, this, &PulseClock::tick);
        connect(qApp, &QGuiApplication::applicationStateChanged, this, [this] { refreshLater(); });
    }
    static bool isLive(const MetricOrb* orb) {
        const QWidget* window = orb->window();
        return orb->isVisible() && window->isActiveWindow() && !window->isMinimized();
    }
    void tick() {
        for (MetricOrb* orb : std::as_const(m_orbs))
            if (isLive(orb))
                orb->update(orb->pulseRect());
    }
    // After the event that changed the state has been handled everywhere.
    void refreshLater() {
        if (m_refreshPending)
            return;
        m_refreshPending = true;
        QTimer::singleShot(0, this, [this] { refresh(); });
    }
    QTimer m_timer;
    QSet<MetricOrb*> m_orbs;
    QSet<QWidget*> m_windows;
    bool m_refreshPending = false;
};

constexpr qreal kRing = 74;
constexpr qreal kDisc = 62;
constexpr qreal kRingStroke = 3;
constexpr int kOrbMarginX = 11; // room for the pulse (1.18 × 74): two margins make the 22 between orbs
constexpr int kOrbMarginTop = 2;
constexpr int kOrbMarginBottom = 2;

} // namespace

void installAccessibility() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(roleFactory);
}

// ---------------------------------------------------------------------------------------------
DashLabel::DashLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent)
    : TextLabel(text, parent), m_color(std::move(color)) {
    setFont(font);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor DashLabel::textColor() const { return m_color ? m_color() : TextLabel::textColor(); }

// ---------------------------------------------------------------------------------------------
SectionHeader::SectionHeader(const QString& title, QWidget* trailing, const ThemeManager& theme, QWidget* parent)
    : QWidget(parent), m_theme(theme), m_trailing(trailing), m_hover(new HoverAnimator(this, kHoverMs)) {
    auto* row = Boxes::row(this, 12, QMargins(14, 12, 14, 12));
    auto* bar = new QWidget(this);
    bar->setFixedSize(5, 18);
    bar->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_bar = bar;
    m_title = new DashLabel(
        title, Fonts::rounded(16, 700), [] { return AppPalette::primaryText(); }, this);
    row->addWidget(bar);
    row->addWidget(m_title);
    row->addStretch(1);
    if (trailing)
        row->addWidget(trailing);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_hover, &HoverAnimator::progressChanged, this, [this] { repaintHostOf(this); });
}

QString SectionHeader::title() const { return m_title->text(); }

SectionHeader::Look SectionHeader::look(bool dark, qreal t) {
    const qreal fill = dark ? 0.55 : 0.75;
    const qreal border = dark ? 0.55 : 0.65;
    const qreal fillHover = fill * (dark ? 0.75 : 0.95);
    const qreal borderHover = border * (dark ? 0.75 : 0.85);
    const qreal shadow = dark ? 0.25 : 0.07;
    const qreal shadowHover = dark ? 0.35 : 0.10;
    return {Paint::lerp(fill, fillHover, t), Paint::lerp(border, borderHover, t), Paint::lerp(shadow, shadowHover, t),
            Paint::lerp(6, 10, t), Paint::lerp(4, 6, t)};
}

void SectionHeader::paintShadow(QPainter& p, const QRect& rect) const {
    const bool dark = m_theme.isDark();
    const Look l = look(dark, m_hover->progress());
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    auto shadowOf = [](const Look& look) {
        return Paint::Shadow{QColor(0, 0, 0, int(std::round(255 * look.shadow))), look.shadowRadius,
                             QPointF(0, look.shadowY)};
    };
    Paint::drawShadowBetween(p, QRectF(rect), 14, shadowOf(look(dark, 0)), shadowOf(look(dark, 1)),
                             m_hover->progress());
    Paint::fillRoundedRect(p, QRectF(rect), 14, withOpacity(AppPalette::tintedBackground(dark), l.fill));
    Paint::strokeRoundedRect(p, QRectF(rect), 14, withOpacity(AppPalette::tintedBorder(dark), l.border));
    p.restore();
}

void SectionHeader::paintEvent(QPaintEvent*) {
    // The accent bar; the rest of the background belongs to the parent.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bar(m_bar->geometry());
    Paint::fillCapsule(p, bar, withOpacity(AppPalette::brandBlue(), m_theme.isDark() ? 0.65 : 0.8));
}

// ---------------------------------------------------------------------------------------------
QImage avatarThumbnail(const QByteArray& data, int maxPixelSize) {
    if (data.isEmpty() || data.size() > ImageConversion::maxFileBytes)
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > ImageConversion::maxPixels)
        return {};
    if (size.isValid()) {
        // Decoders that can scale while reading (JPEG) do so; the orientation is applied afterwards.
        const QSize fitted = ImageConversion::fittedSize(size, maxPixelSize);
        if (fitted != size)
            reader.setScaledSize(fitted);
    }
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (std::max(image.width(), image.height()) > maxPixelSize)
        image = image.scaled(ImageConversion::fittedSize(image.size(), maxPixelSize), Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    return image;
}

DashboardAvatarLarge::DashboardAvatarLarge(const std::optional<QByteArray>& avatarData, qreal size, QWidget* parent)
    : QWidget(parent), m_size(size) {
    installAccessibility();
    setRole(this, QAccessible::Graphic);
    setAccessibleName(QStringLiteral("Avatar"));
    setFixedSize(int(std::ceil(size)), int(std::ceil(size)));
    setAvatarData(avatarData);
}

void DashboardAvatarLarge::setAvatarData(const std::optional<QByteArray>& avatarData) {
    if (m_loaded && avatarData == m_data)
        return;
    m_loaded = true;
    m_data = avatarData;
    m_image = avatarData ? avatarThumbnail(*avatarData, 512) : QImage();
    update();
}

void DashboardAvatarLarge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF r(0, 0, m_size, m_size);
    if (!m_image.isNull()) {
        Paint::drawImageInCircle(p, r, m_image);
    } else {
        QPainterPath circle;
        circle.addEllipse(r);
        p.save();
        p.setClipPath(circle);
        p.fillPath(circle, AppPalette::cardBackground());
        const qreal px = 38;
        Symbols::paint(p, QRectF(r.center().x() - px / 2, r.center().y() - px / 2, px, px),
                       QStringLiteral("person.crop.circle.fill"), AppPalette::secondaryText());
        p.restore();
    }
    Paint::strokeEllipse(p, r, withOpacity(AppPalette::separator(), 0.6));
}

// ---------------------------------------------------------------------------------------------
MetricOrb::MetricOrb(const QString& title, int value, const QColor& accent, bool isSelected, QWidget* parent)
    : QAbstractButton(parent),
      m_value(value),
      m_accent(accent),
      m_selected(isSelected),
      m_hover(new HoverAnimator(this, kHoverMs, false)) {
    setText(title);
    setAccessibleDescription(QString::number(value));
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(sizeHint());
}

MetricOrb::~MetricOrb() { PulseClock::instance().remove(this); }

void MetricOrb::setValue(int value) {
    if (value == m_value)
        return;
    m_value = value;
    setAccessibleDescription(QString::number(value));
    update();
}

void MetricOrb::setSelected(bool selected) {
    m_selected = selected;
    update();
}

void MetricOrb::setAccent(const QColor& accent) {
    m_accent = accent;
    update();
}

QSize MetricOrb::sizeHint() const {
    const QFont font = Fonts::rounded(12, 600);
    const QFontMetrics fm(font);
    const int labelW = std::max(int(kRing), int(std::lround(m_name.naturalWidth(text(), font))));
    const int labelH = 6 + int(kRing) + 10 + fm.height() + 6;
    return {labelW + 2 * kOrbMarginX, labelH + kOrbMarginTop + kOrbMarginBottom};
}

QRect MetricOrb::labelRect() const {
    return rect().adjusted(kOrbMarginX, kOrbMarginTop, -kOrbMarginX, -kOrbMarginBottom);
}

QRectF MetricOrb::ringRect() const {
    const QRect l = labelRect();
    return {l.center().x() + 0.5 - kRing / 2, qreal(l.top() + 6), kRing, kRing};
}

bool MetricOrb::hitButton(const QPoint& pos) const { return labelRect().contains(pos); }

void MetricOrb::mouseMoveEvent(QMouseEvent* event) {
    m_hover->setHovered(labelRect().contains(event->position().toPoint()));
    QAbstractButton::mouseMoveEvent(event);
}

void MetricOrb::leaveEvent(QEvent* event) {
    m_hover->setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void MetricOrb::showEvent(QShowEvent* event) {
    QAbstractButton::showEvent(event);
    findBackdrop();
    PulseClock::instance().add(this);
}

void MetricOrb::hideEvent(QHideEvent* event) {
    PulseClock::instance().remove(this);
    QAbstractButton::hideEvent(event);
}

void MetricOrb::moveEvent(QMoveEvent* event) {
    QAbstractButton::moveEvent(event);
    findBackdrop();
}

void MetricOrb::findBackdrop() {
    // On a card's plain fill the orb paints that fill itself and is opaque, so that a frame of the pulse
    // repaints the orb alone, not the card, its shadow and the page behind them.
    m_onCard = false;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* card = qobject_cast<AppCard*>(w)) {
            const QRectF mine(QRect(mapTo(card, QPoint()), size()));
            const QRectF inside = QRectF(card->cardRect()).adjusted(1, 1, -1, -1); // within the outline
            m_onCard = AppPalette::cardBackground().alpha() == 255 &&
                Paint::roundedRect(inside, AppCard::cornerRadius - 1).contains(mine);
            break;
        }
    }
    setAttribute(Qt::WA_OpaquePaintEvent, m_onCard);
}

bool MetricOrb::isPulseRunning() { return PulseClock::instance().isRunning(); }

void MetricOrb::refreshPulse() { PulseClock::instance().refresh(); }

QRect MetricOrb::pulseRect() const {
    // The ring at its widest, enlarged by the hover, with room for antialiasing and the hover's shift.
    const QRectF ring = ringRect();
    const qreal r = kRing / 2 * 1.18 * 1.03 + 4;
    return QRectF(ring.center() - QPointF(r, r), ring.center() + QPointF(r, r)).toAlignedRect() & rect();
}

MetricOrb::Pulse MetricOrb::pulseAt(double t, bool selected) {
    const double p = std::fmod(t, 1.25) / 1.25;
    const double phase = p < 0 ? p + 1 : p;
    return {1 + phase * (selected ? 0.18 : 0.12), (1 - phase) * (selected ? 0.45 : 0.28)};
}

void MetricOrb::paintEvent(QPaintEvent*) {
    // What does not move is kept in a picture; a frame of the pulse lays that picture and the ring, scaled
    // from a picture of its own, and repaints nothing else.
    QPainter p(this);
    const qreal dpr = devicePixelRatioF();
    const BaseKey key{size(),
                      dpr,
                      m_hover->progress(),
                      m_value,
                      m_accent.rgba(),
                      AppPalette::primaryText().rgba(),
                      AppPalette::cardBackground().rgba(),
                      m_onCard,
                      text()};
    if (m_base.isNull() || !(key == m_baseKey)) {
        m_baseKey = key;
        m_base = paintBase(dpr);
    }
    p.drawPixmap(0, 0, m_base);

    const QRectF ring = ringRect();
    // The pulse follows absolute time, so every orb on screen beats together; with less motion it rests
    // on the ring at its start.
    const double now = reduceMotion() ? 0.0 : double(QDateTime::currentMSecsSinceEpoch() - 978307200000LL) / 1000.0;
    const Pulse pulse = pulseAt(now, m_selected);
    // The stroke's colour and the ring both carry the opacity.
    const qreal strength = pulse.opacity * pulse.opacity;
    if (strength > 0) {
        if (m_ring.isNull() || m_ringKey != qMakePair(m_accent.rgba(), dpr)) {
            m_ringKey = qMakePair(m_accent.rgba(), dpr);
            // Drawn at twice the resolution, so the scaled ring stays as sharp as a stroked one.
            m_ring = QImage((ring.size() * dpr * 2).toSize(), QImage::Format_ARGB32_Premultiplied);
            m_ring.setDevicePixelRatio(dpr * 2);
            m_ring.fill(Qt::transparent);
            QPainter rp(&m_ring);
            rp.setRenderHint(QPainter::Antialiasing);
            // The same stroke as the base ring, inside the ring's frame.
            Paint::strokeEllipse(rp, QRectF(QPointF(), ring.size()), m_accent, kRingStroke);
        }
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        Paint::scaleAbout(p, QRectF(labelRect()), m_hover->scale(1.03));
        Paint::scaleAbout(p, ring, pulse.scale);
        p.setOpacity(strength);
        p.drawImage(ring, m_ring);
        p.restore();
    }
    if (KeyboardFocus::showsRing(this)) {
        const QRectF around = ring.adjusted(-4, -4, 4, 4);
        Paint::focusRing(p, around, around.width() / 2);
    }
}

QPixmap MetricOrb::paintBase(qreal dpr) {
    // Rings, disc, count and name; on a card, over the card's fill. The pulse passes between the ring and
    // the disc without touching either, so it can be laid over all of them.
    QPixmap pm((QSizeF(size()) * dpr).toSize());
    pm.setDevicePixelRatio(dpr);
    pm.fill(m_onCard ? AppPalette::cardBackground() : QColor(Qt::transparent));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal t = m_hover->progress();
    const QRectF ring = ringRect();
    const QRectF label = QRectF(labelRect());
    Paint::drawShadowBetween(p, ring, kRing / 2, {}, {withOpacity(m_accent, 0.18), 14, QPointF(0, 7)}, t);
    Paint::scaleAbout(p, label, m_hover->scale(1.03));
    // The stroke lies inside the frame (the helper keeps a circle's outline within its rect).
    Paint::strokeEllipse(p, ring, withOpacity(m_accent, 0.4), kRingStroke);
    const QRectF disc(ring.center().x() - kDisc / 2, ring.center().y() - kDisc / 2, kDisc, kDisc);
    Paint::fillEllipse(p, disc, withOpacity(m_accent, 0.12));
    p.setPen(AppPalette::tintText(m_accent, 0.12));
    m_count.set(QString::number(m_value), Fonts::rounded(18, 700));
    m_count.draw(p, ring, Qt::AlignCenter);
    const QFont nameFont = Fonts::rounded(12, 600);
    p.setPen(AppPalette::primaryText());
    const QRectF nameRect(label.left() - 20, ring.bottom() + 10, label.width() + 40, QFontMetricsF(nameFont).height());
    m_name.draw(p, nameRect, Qt::AlignHCenter | Qt::AlignTop, text(), nameFont, int(nameRect.width()));
    return pm;
}

// ---------------------------------------------------------------------------------------------
// The accordion's header: symbol, title, flexible space, chevron turned half a turn while expanded.
class DashboardAccordion::Header : public QAbstractButton {
public:
    Header(const QString& title, const QString& symbol, DashboardAccordion* owner)
        : QAbstractButton(owner), m_owner(owner), m_symbol(symbol), m_hover(new HoverAnimator(this, kHoverMs)) {
        setText(title);
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        const QFont font = Fonts::rounded(14, 600);
        const int h = std::max(QFontMetrics(font).height(), 14) + 24;
        return {28 + 14 + 10 + int(std::lround(m_title.naturalWidth(text(), font))) + 10 + 12, h};
    }
    QSize minimumSizeHint() const override { return {100, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const qreal t = m_hover->progress();
        if (t > 0)
            p.fillRect(rect(), withOpacity(AppPalette::tintedBackground(), 0.25 * t));
        const qreal cy = height() / 2.0;
        qreal x = 14;
        Symbols::paint(p, QRectF(x, cy - 7, 14, 14), m_symbol, AppPalette::secondaryText());
        x += 14 + 10;
        p.setPen(AppPalette::primaryText());
        const QRectF titleRect(x, 0, width() - x - 14 - 12 - 10, height());
        m_title.draw(p, titleRect, Qt::AlignVCenter | Qt::AlignLeft, text(), Fonts::rounded(14, 600), INT_MAX);
        const QRectF chevron(width() - 14 - 12, cy - 6, 12, 12);
        p.save();
        p.translate(chevron.center());
        p.rotate(m_owner->chevronAngle());
        p.translate(-chevron.center());
        Symbols::paint(p, chevron, QStringLiteral("chevron.down"), AppPalette::secondaryText());
        p.restore();
        if (KeyboardFocus::showsRing(this))
            Paint::focusRing(p, QRectF(rect()), 0);
    }

private:
    DashboardAccordion* m_owner;
    QString m_symbol;
    HoverAnimator* m_hover;
    mutable ElidedLine m_title;
};

DashboardAccordion::DashboardAccordion(const QString& title, const QString& systemImage,
                                       std::function<QWidget*()> content, bool expanded, QWidget* parent)
    : QWidget(parent), m_factory(std::move(content)), m_chevron(new QVariantAnimation(this)) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* inner = new QWidget;
    inner->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_stack = Boxes::column(inner, 0, QMargins());
    m_header = new Header(title, systemImage, this);
    m_header->setParent(inner);
    m_divider = new lists::Divider([] { return withOpacity(AppPalette::separator(), 0.6); }, inner);
    m_divider->hide();
    m_stack->addWidget(m_header);
    m_stack->addWidget(m_divider);
    m_stack->addStretch(1);
    m_card = new AppCard(inner, this);
    outer->addWidget(m_card);
    m_chevron->setDuration(kShowMs);
    m_chevron->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_chevron, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_angle = v.toReal();
        m_header->update();
    });
    connect(m_header, &QAbstractButton::clicked, this, [this] { setExpanded(!m_expanded); });
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    if (expanded)
        setExpanded(true);
}

QAbstractButton* DashboardAccordion::headerButton() const { return m_header; }

void DashboardAccordion::setExpanded(bool expanded) {
    if (expanded == m_expanded)
        return;
    if (!expanded)
        emit aboutToCollapse();
    m_expanded = expanded;
    if (expanded) {
        auto* wrap = new QWidget;
        auto* box = Boxes::column(wrap, 12, QMargins(14, 14, 14, 14));
        if (m_factory)
            if (QWidget* w = m_factory())
                box->addWidget(w);
        m_content = wrap;
        m_reveal = new Reveal(wrap);
        m_stack->insertWidget(2, m_reveal);
        m_divider->show();
    } else {
        m_divider->hide();
        // The content goes now (its picture leaves in its place).
        if (m_reveal)
            m_reveal->leave();
    }
    m_chevron->stop();
    if (reducedMotion()) {
        m_angle = expanded ? 180.0 : 0.0;
        m_header->update();
    } else {
        m_chevron->setStartValue(m_angle);
        m_chevron->setEndValue(expanded ? 180.0 : 0.0);
        m_chevron->start();
    }
    emit expandedChanged(expanded);
}

// ---------------------------------------------------------------------------------------------
Reveal::Reveal(QWidget* content, QWidget* parent) : QWidget(parent), m_content(content) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    content->setParent(this);
    content->installEventFilter(this);
    content->show();
    if (reducedMotion())
        return;
    m_progress = 0;
    m_fade = new QGraphicsOpacityEffect(content);
    m_fade->setOpacity(0);
    content->setGraphicsEffect(m_fade);
    animateTo(1.0);
}

void Reveal::animateTo(qreal end) {
    // A new animation each way: changing the values of a finished one emits its end value at once.
    delete m_anim;
    m_anim = new QVariantAnimation(this);
    m_anim->setDuration(std::max(1, int(std::lround(durationMs * std::abs(end - m_progress)))));
    m_anim->setEasingCurve(QEasingCurve::InOutQuad);
    m_anim->setStartValue(m_progress);
    m_anim->setEndValue(end);
    connect(m_anim, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { setProgress(v.toReal()); });
    connect(m_anim, &QVariantAnimation::finished, this, [this] {
        if (m_leaving) {
            hide();
            deleteLater();
        } else if (m_content) {
            // The effect renders the content off screen: it goes once the content is in place.
            m_content->setGraphicsEffect(nullptr);
            m_fade = nullptr;
        }
    });
    m_anim->start();
}

void Reveal::leave() {
    if (m_leaving)
        return;
    m_leaving = true;
    if (m_content) {
        if (!reducedMotion() && width() > 0 && height() > 0) {
            m_content->setGraphicsEffect(nullptr);
            m_fade = nullptr;
            m_picture = m_content->grab();
        }
        m_content->removeEventFilter(this);
        delete m_content.data();
    }
    if (m_picture.isNull()) {
        delete m_anim;
        m_anim = nullptr;
        hide();
        deleteLater();
        return;
    }
    setAttribute(Qt::WA_TransparentForMouseEvents);
    animateTo(0.0);
}

int Reveal::fullHeight(int width) const {
    if (m_leaving)
        return m_picture.isNull() ? 0 : int(std::lround(m_picture.height() / m_picture.devicePixelRatio()));
    if (!m_content)
        return 0;
    int h = m_content->heightForWidth(width);
    if (h < 0)
        h = m_content->sizeHint().height();
    return std::max(h, m_content->minimumSizeHint().height());
}

QSize Reveal::sizeHint() const {
    const int w = m_leaving ? width() : (m_content ? m_content->sizeHint().width() : 0);
    return {w, heightForWidth(w)};
}

QSize Reveal::minimumSizeHint() const {
    const int w = m_leaving ? 0 : (m_content ? m_content->minimumSizeHint().width() : 0);
    return {w, heightForWidth(std::max(w, width()))};
}

int Reveal::heightForWidth(int width) const { return int(std::lround(fullHeight(width) * m_progress)); }

void Reveal::setProgress(qreal progress) {
    m_progress = progress;
    if (m_fade)
        m_fade->setOpacity(progress);
    updateGeometry();
    place();
    update();
}

void Reveal::place() {
    if (!m_content)
        return;
    const int full = fullHeight(width());
    // Bottom-aligned: the content comes down from above the box's top edge as the box grows.
    m_content->setGeometry(0, height() - full, width(), full);
}

void Reveal::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

void Reveal::paintEvent(QPaintEvent*) {
    if (!m_leaving || m_picture.isNull())
        return;
    QPainter p(this);
    p.setOpacity(m_progress);
    const int full = fullHeight(width());
    p.drawPixmap(QPoint(0, height() - full), m_picture);
}

bool Reveal::eventFilter(QObject* watched, QEvent* event) {
    // The content's own size changed (rows added, text wrapped): the box follows.
    if (watched == m_content && event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        place();
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
DocRowLine::DocRowLine(DocPtr doc, std::function<void()> onOpen, QWidget* parent)
    : QWidget(parent), m_hover(new HoverAnimator(this, kHoverMs)) {
    installAccessibility();
    setRole(this, QAccessible::Button);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    auto* row = Boxes::row(this, 10, QMargins(12, 10, 12, 10));
    m_tile = new lists::TileView(30, 10, 13, this);
    auto* texts = Boxes::column(nullptr, 2);
    // Wrapped, and cut anywhere inside a word longer than the line: a long title never widens the row.
    m_title = new lists::ClampedText(
        Fonts::rounded(13, 600), [] { return AppPalette::primaryText(); }, 0, this);
    m_project = new lists::ClampedText(
        Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, 0, this);
    for (QWidget* text : {static_cast<QWidget*>(m_title), static_cast<QWidget*>(m_project)})
        text->setAttribute(Qt::WA_TransparentForMouseEvents);
    texts->addWidget(m_title);
    texts->addWidget(m_project);
    m_date = new DashLabel(
        {}, Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, this);
    row->addWidget(m_tile);
    row->addLayout(texts, 1);
    // Centred as a block: alone, the title would take the tile's height and draw at its top.
    row->setAlignment(texts, Qt::AlignVCenter);
    row->addWidget(m_date, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setDoc(std::move(doc), std::move(onOpen));
}

QString DocRowLine::dateLine(const QDateTime& updatedAt) {
    return QLocale().toString(updatedAt.toLocalTime().date(), QStringLiteral("d MMM yyyy"));
}

void DocRowLine::setDoc(DocPtr doc, std::function<void()> onOpen) {
    m_doc = std::move(doc);
    m_onOpen = std::move(onOpen);
    m_pressed = false;
    refresh();
}

void DocRowLine::refresh() {
    if (!m_doc)
        return;
    m_tile->setSymbol(m_doc->iconName(), displayColor(m_doc->colorKey(), m_doc->colorHex()));
    const QString title = BoundedText::bounded(shownTitle(m_doc->title()));
    m_title->setText(title);
    setAccessibleName(title);
    const ProjectPtr project = m_doc->project();
    m_project->setText(project ? BoundedText::bounded(project->name()) : QString());
    m_project->setVisible(bool(project));
    m_date->setText(dateLine(m_doc->updatedAt()));
}

QString DocRowLine::titleText() const { return m_title->text(); }
QString DocRowLine::projectText() const { return m_project->isVisibleTo(this) ? m_project->text() : QString(); }
QString DocRowLine::dateText() const { return m_date->text(); }

void DocRowLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor normal = withOpacity(AppPalette::screenBackground(), 0.6);
    const QColor hovered = withOpacity(AppPalette::tintedBackground(), 0.35);
    p.fillRect(rect(), m_hover->color(normal, hovered));
    if (KeyboardFocus::showsRing(this))
        Paint::focusRing(p, QRectF(rect()), 0);
}

void DocRowLine::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void DocRowLine::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        open();
}

void DocRowLine::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)
        open();
    else
        QWidget::keyPressEvent(event);
}

void DocRowLine::open() {
    if (m_onOpen) {
        auto open = m_onOpen; // the row may be rebuilt by what the callback does
        open();
    }
}

// ---------------------------------------------------------------------------------------------
DashCard::DashCard(std::function<void()> onOpen, const ThemeManager* theme, QWidget* parent)
    : QWidget(parent), m_onOpen(std::move(onOpen)), m_theme(theme), m_hover(new HoverAnimator(this, kHoverMs)) {
    installAccessibility();
    setRole(this, QAccessible::Button);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setMinimumHeight(120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    connect(m_hover, &HoverAnimator::progressChanged, this, [this] { repaintHostOf(this); });
}

void DashCard::click() {
    if (m_onOpen) {
        auto open = m_onOpen;
        open();
    }
}

void DashCard::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton && Paint::roundedRect(QRectF(rect()), 16).contains(event->position());
    event->accept();
}

void DashCard::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
        Paint::roundedRect(QRectF(rect()), 16).contains(event->position());
    m_pressed = false;
    if (click)
        this->click();
}

void DashCard::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)
        click();
    else
        QWidget::keyPressEvent(event);
}

void DashCard::paintEvent(QPaintEvent*) {
    // The card itself is painted by its container; only the keyboard focus ring is drawn here.
    if (!KeyboardFocus::showsRing(this))
        return;
    QPainter p(this);
    Paint::focusRing(p, QRectF(rect()), 16);
}

void DashCard::paintShadow(QPainter& p, const QRect& rect) const {
    const qreal t = m_hover->progress();
    const bool dark = isDark(m_theme);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (t > 0)
        if (const auto color = shadowColor())
            Paint::drawShadowBetween(p, QRectF(rect), 16, {},
                                     {withOpacity(*color, dark ? 0.35 : 0.22), dark ? 18.0 : 14.0, QPointF(0, 6)}, t);
    Paint::scaleAbout(p, QRectF(rect), m_hover->scale(1.015));
    Paint::fillRoundedRect(p, QRectF(rect), 16, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, QRectF(rect), 16, withOpacity(AppPalette::separator(), m_hover->value(0.25, 0.45)));
    p.restore();
}

namespace {
QVBoxLayout* cardStack(QWidget* card) {
    auto* col = Boxes::column(card, 10, QMargins(14, 14, 14, 14));
    return col;
}
} // namespace

DashTileCard::DashTileCard(int secondLineCount, std::function<void()> onOpen, const ThemeManager& theme,
                           QWidget* parent)
    : DashCard(std::move(onOpen), &theme, parent) {
    auto* col = cardStack(this);
    m_tile = new lists::TileView(42, 12, 16, this);
    m_title = new lists::ClampedText(
        Fonts::rounded(15, 700), [] { return AppPalette::primaryText(); }, 0, this);
    m_second = new lists::ClampedText(
        Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, secondLineCount, this);
    col->addWidget(m_tile, 0, Qt::AlignLeft);
    col->addWidget(m_title);
    col->addWidget(m_second);
    col->addStretch(1);
}

void DashTileCard::showContent(const QString& symbol, const QColor& tint, const QString& fullTitle) {
    m_tile->setSymbol(symbol, tint);
    // A name wraps without a line limit, up to a length no one names a project or a checklist with.
    const QString title = BoundedText::bounded(fullTitle);
    m_title->setText(title);
    setAccessibleName(title);
}

QString DashTileCard::titleText() const { return m_title->text(); }
QString DashTileCard::secondLine() const { return m_second->text(); }

DashboardProjectCard::DashboardProjectCard(ProjectPtr project, std::function<void()> onOpen, const ThemeManager& theme,
                                           QWidget* parent)
    : DashObjectCard(2, std::move(project), std::move(onOpen), theme, parent) {
    refresh();
}

void DashboardProjectCard::refresh() {
    if (!m_object)
        return;
    showContent(m_object->iconName(), displayColor(m_object->colorKey(), m_object->colorHex()), m_object->name());
    const OptText& details = m_object->details();
    const bool has = details && !details->trimmed().isEmpty();
    // Without a description an invisible line keeps the card's height.
    m_second->setFont(has ? Fonts::rounded(12) : Fonts::system(12));
    m_second->setTextOpacity(has ? 1 : 0);
    m_second->setText(has ? *details : QStringLiteral(" "));
    repaintHostOf(this);
}

DashboardChecklistCard::DashboardChecklistCard(ChecklistPtr checklist, std::function<void()> onOpen,
                                               const ThemeManager& theme, QWidget* parent)
    : DashObjectCard(1, std::move(checklist), std::move(onOpen), theme, parent) {
    refresh();
}

void DashboardChecklistCard::refresh() {
    if (!m_object)
        return;
    showContent(m_object->iconName(), displayColor(m_object->colorKey(), m_object->colorHex()),
                shownTitle(m_object->name()));
    const ProjectPtr project = m_object->project();
    m_second->setText(project ? BoundedText::bounded(project->name()) : QStringLiteral("Checklist globale"));
    repaintHostOf(this);
}

namespace {
// The see-more tile: tinted fill, separator stroke, symbol in the secondary colour.
class SeeMoreTile : public QWidget {
public:
    SeeMoreTile(const QString& symbol, QWidget* parent) : QWidget(parent), m_symbol(symbol) {
        setFixedSize(46, 46);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        Paint::fillRoundedRect(p, r, 16, withOpacity(AppPalette::tintedBackground(), 0.55));
        Paint::strokeRoundedRect(p, r, 16, withOpacity(AppPalette::separator(), 0.3));
        Symbols::paint(p, QRectF(14, 14, 18, 18), m_symbol, AppPalette::secondaryText());
    }

private:
    QString m_symbol;
};
} // namespace

DashboardSeeMoreCard::DashboardSeeMoreCard(const QString& title, const QString& systemImage,
                                           std::function<void()> onTap, QWidget* parent)
    : DashCard(std::move(onTap), nullptr, parent) {
    auto* col = cardStack(this);
    col->addStretch(1);
    col->addWidget(new SeeMoreTile(systemImage, this), 0, Qt::AlignHCenter);
    m_title = new DashLabel(
        title, Fonts::rounded(13, 600), [] { return AppPalette::primaryText(); }, this);
    m_title->setAlignment(Qt::AlignHCenter);
    col->addWidget(m_title, 0, Qt::AlignHCenter);
    col->addStretch(1);
    setAccessibleName(title);
}

QString DashboardSeeMoreCard::title() const { return m_title->text(); }

} // namespace dashboard
