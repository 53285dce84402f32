#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QGradientStops>
#include <QObject>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

class QAbstractButton;
class QImage;
class QPainter;
class QVariantAnimation;
class QWidget;

// The drawing kit shared by every custom-painted widget.
namespace Paint {

// Rounded rectangle; the radius is clamped to half the shorter side.
QPainterPath roundedRect(const QRectF& rect, qreal radius);
// A pill whose ends are half circles.
QPainterPath capsule(const QRectF& rect);

void fill(QPainter& p, const QPainterPath& path, const QColor& color);
// Readies a custom-painted plain button: antialiased, dimmed while pressed, faded when disabled.
void beginPlainButton(QPainter& p, const QAbstractButton& button);
void fillRoundedRect(QPainter& p, const QRectF& rect, qreal radius, const QColor& color);
// Strokes inside the shape (the rect is inset by half the line width), so a 1-pixel border stays crisp.
void strokeRoundedRect(QPainter& p, const QRectF& rect, qreal radius, const QColor& color, qreal width = 1);
// Focus, one look per kind of control, in AppPalette::focusRing() at full opacity. A text field shows its
// outline whenever it has the focus; other controls show their ring only while KeyboardFocus::showsRing.
// The outline of a text field: its hairline border at rest, replaced by the focus outline (2 px, inside
// `rect`) while it has the focus.
void fieldOutline(QPainter& p, const QRectF& rect, qreal radius, bool focused);
void fieldOutline(QPainter& p, const QRectF& rect, qreal radius, bool focused, bool dark);
// The ring of a button, row, card or tile reached with the keyboard: 2 px inside `rect`.
void focusRing(QPainter& p, const QRectF& rect, qreal radius);
void focusRing(QPainter& p, const QRectF& rect, qreal radius, bool dark);
// How far in a filled control draws its fill while its ring shows: the ring and a 1-pixel gap, so that
// the ring lies on what is behind the control on both sides, whatever the control's own colour.
constexpr qreal focusRingReach = 3;
void fillCapsule(QPainter& p, const QRectF& rect, const QColor& color);
void strokeCapsule(QPainter& p, const QRectF& rect, const QColor& color, qreal width = 1);
void fillEllipse(QPainter& p, const QRectF& rect, const QColor& color);
void strokeEllipse(QPainter& p, const QRectF& rect, const QColor& color, qreal width = 1);
// The image filling a circle, keeping its proportions: the longer side overflows and is cut off.
void drawImageInCircle(QPainter& p, const QRectF& rect, const QImage& image);
// Fills `path` with a linear gradient from `start` to `end` (stops at 0..1).
void fillLinearGradient(QPainter& p, const QPainterPath& path, const QPointF& start, const QPointF& end,
                        const QGradientStops& stops);

// A soft drop shadow of the rounded rect `rect` (corner `radius`), blurred by `blur` pixels and moved by
// `offset`, as an opaque shape casts it (for a translucent one, see fillRoundedRectWithShadow).
// The blurred mask is cached per size, radius, blur and device pixel ratio.
void drawShadow(QPainter& p, const QRectF& rect, qreal radius, const QColor& color, qreal blur,
                const QPointF& offset = {});
// A drop shadow as a shape casts it.
struct Shadow {
    QColor color;
    qreal blur = 0;
    QPointF offset;
};
// A shadow that animates between `from` and `to` (progress t, 0..1): each is drawn at its own blur, one
// fading out as the other fades in, so an animation reuses two cached masks instead of blurring a new one
// every frame. A clear or unset `from` makes a shadow that appears with the hover and moves along its
// offset.
void drawShadowBetween(QPainter& p, const QRectF& rect, qreal radius, const Shadow& from, const Shadow& to, qreal t);
// The shadow's colour for a caster filled with `casterFill`: a shadow is as opaque as what casts it,
// so a nearly clear fill casts a nearly clear shadow (its alpha is the product of both).
QColor castShadowColor(const QColor& shadow, const QColor& casterFill);
// Fills the rounded rect with `fill` over the shadow that fill casts.
void fillRoundedRectWithShadow(QPainter& p, const QRectF& rect, qreal radius, const QColor& fill, const Shadow& shadow);

// How far a shadow reaches outside its shape on each side (for margins).
qreal shadowReach(qreal blur, qreal offset = 0);

// Linear mix of two colours, components and alpha (t = 0 gives a).
QColor mix(const QColor& a, const QColor& b, qreal t);
qreal lerp(qreal a, qreal b, qreal t);

// Scales painting by `scale` about the centre of `rect` (hover enlargement).
void scaleAbout(QPainter& p, const QRectF& rect, qreal scale);

} // namespace Paint

// Follows the pointer over a widget and animates a progress 0 (not hovered) → 1 (hovered) with an
// ease-in-out curve, repainting the widget on each step.
class HoverAnimator : public QObject {
    Q_OBJECT
public:
    // Tracks Enter/Leave of `target` (sets WA_Hover) unless setHovered is driven by hand.
    explicit HoverAnimator(QWidget* target, int durationMs = 150, bool trackPointer = true);

    bool isHovered() const { return m_hovered; }
    void setHovered(bool hovered);
    // Jumps to the end state without animating.
    void setHoveredImmediately(bool hovered);
    qreal progress() const { return m_progress; }
    // 1 when not hovered, `hoverScale` when hovered, animated between.
    qreal scale(qreal hoverScale) const { return 1 + (hoverScale - 1) * m_progress; }
    qreal value(qreal normal, qreal hovered) const { return normal + (hovered - normal) * m_progress; }
    QColor color(const QColor& normal, const QColor& hovered) const;

signals:
    void hoveredChanged(bool hovered);
    void progressChanged(qreal progress);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_target;
    QVariantAnimation* m_anim;
    bool m_hovered = false;
    qreal m_progress = 0;
};
