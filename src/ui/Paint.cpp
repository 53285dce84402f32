#include "ui/Paint.h"

#include "ui/MaskCache.h"
#include "ui/Palette.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QEvent>
#include <QImage>
#include <QLinearGradient>
#include <QPaintEngine>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QVariantAnimation>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One pass of a box blur of half-width `r` along rows (horizontal) or columns, on an 8-bit alpha image.
void boxBlurPass(QImage& img, int r, bool horizontal) {
    if (r <= 0)
        return;
    const int w = img.width();
    const int h = img.height();
    const int lines = horizontal ? h : w;
    const int len = horizontal ? w : h;
    // Raw access: scanLine() per pixel checks for sharing every time and dominated the column passes.
    uchar* bits = img.bits();
    const qsizetype stride = img.bytesPerLine();
    const qsizetype step = horizontal ? 1 : stride;
    std::vector<int> buf(size_t(len), 0);
    const int window = 2 * r + 1;
    for (int line = 0; line < lines; ++line) {
        uchar* first = horizontal ? bits + line * stride : bits + line;
        for (int i = 0; i < len; ++i)
            buf[size_t(i)] = first[i * step];
        int sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += (i >= 0 && i < len) ? buf[size_t(i)] : 0;
        for (int i = 0; i < len; ++i) {
            first[i * step] = uchar(sum / window);
            const int add = i + r + 1;
            const int drop = i - r;
            if (add < len)
                sum += buf[size_t(add)];
            if (drop >= 0)
                sum -= buf[size_t(drop)];
        }
    }
}

// Blurred alpha mask of a rounded rect, padded by `pad` physical pixels on every side.
QImage shadowMask(const QSize& physical, qreal radiusPx, qreal blurPx, int pad) {
    QImage mask(physical.width() + 2 * pad, physical.height() + 2 * pad, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawPath(Paint::roundedRect(QRectF(pad, pad, physical.width(), physical.height()), radiusPx));
    }
    // Three box passes approximate a gaussian whose sigma is half the blur radius.
    const int r = std::max(0, int(std::lround(blurPx / 2)));
    for (int i = 0; i < 3; ++i) {
        boxBlurPass(mask, r, true);
        boxBlurPass(mask, r, false);
    }
    return mask;
}

// The part of the device a painter can still reach, in its coordinates without the world transform:
// the device, the area being repainted (a widget's paint event) and the painter's own clip.
QRect reachableRect(QPainter& p) {
    QPaintEngine* engine = p.paintEngine();
    const QPaintDevice* target = engine->paintDevice(); // the window's backing store for a widget
    QRect device(0, 0, target->width(), target->height());
    const QRegion exposed = engine->systemClip();
    if (!exposed.isEmpty())
        device &= exposed.boundingRect();
    // From the device to the painter: a widget painted into its window's backing store is moved by its
    // offset in the window, which the device transform holds on top of the world transform.
    const QPointF shift = p.deviceTransform().map(QPointF()) - p.worldTransform().map(QPointF());
    QRect reach = device.translated(-QPoint(int(std::lround(shift.x())), int(std::lround(shift.y()))));
    if (p.hasClipping())
        reach &= p.worldTransform().mapRect(p.clipBoundingRect()).toAlignedRect();
    return reach;
}

// The raster engine hands a translucent fill of more than about 96 spans to a pool of threads and waits for
// them: on shapes of our size the hand-offs cost more than the fill (about a third of a first frame). Such a
// shape is filled opaque into a scratch image, which is then laid on with the colour's opacity: the same
// coverage and blend (to rounding), all on this thread. Only for plain cases: one device pixel per unit, no
// rotation, the usual composition.
bool fillTranslucentOnThisThread(QPainter& p, const QPainterPath& path, const QColor& color) {
    constexpr qreal kMinRows = 24; // fewer rows make too few spans to be handed off
    if (color.alpha() == 255 || p.compositionMode() != QPainter::CompositionMode_SourceOver ||
        p.viewTransformEnabled() || p.worldTransform().type() > QTransform::TxScale || !p.device() ||
        p.device()->devicePixelRatioF() != 1 || !p.paintEngine() || p.paintEngine()->type() != QPaintEngine::Raster ||
        !p.paintEngine()->paintDevice())
        return false;
    const QTransform world = p.worldTransform();
    const QRectF bounds = world.mapRect(path.controlPointRect());
    if (bounds.height() < kMinRows || bounds.isEmpty())
        return false;
    const QPoint origin(int(std::floor(bounds.left())), int(std::floor(bounds.top())));
    const QSize size(int(std::ceil(bounds.right())) - origin.x() + 1, int(std::ceil(bounds.bottom())) - origin.y() + 1);
    // Only the part that can show is filled: a tall shape (a long text block's card) repainted for one
    // line would otherwise fill an image of its whole height at every keystroke. The scratch moves by
    // whole pixels, so the coverage of what is filled stays the same.
    const QRect area = QRect(origin, size) & reachableRect(p);
    if (area.isEmpty())
        return true;
    QImage scratch(area.size(), QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    {
        QPainter sp(&scratch);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.setWorldTransform(world * QTransform::fromTranslate(-area.x(), -area.y()));
        QColor opaque = color;
        opaque.setAlpha(255);
        sp.fillPath(path, opaque);
    }
    p.save();
    p.setWorldTransform(QTransform());
    p.setOpacity(p.opacity() * color.alphaF());
    p.drawImage(area.topLeft(), scratch);
    p.restore();
    return true;
}

// Rows filled per call: past about 96 spans the raster engine hands a translucent fill to its pool
// of threads (see above).
constexpr int kRowsPerFill = 80;

// The straight middle of a rounded rectangle, where what can show is plain rectangles: those are
// filled as rectangles (the same pixels when the edges fall on whole pixels), in strips of a few rows,
// and only the rows near the corners go through the path. Calls `bars` with the rectangle `straight`
// of whole rows reachable in the middle (painter coordinates without the world transform); the rest of
// the reachable area is left to `rest`, clipped to it. False when the case is not that plain.
template <class Bars, class Rest>
bool fillByStraightMiddle(QPainter& p, const QRectF& rect, qreal radius, Bars bars, Rest rest) {
    if (p.worldTransform().type() > QTransform::TxTranslate || !p.device() || p.device()->devicePixelRatioF() != 1 ||
        !p.paintEngine() || p.paintEngine()->type() != QPaintEngine::Raster || !p.paintEngine()->paintDevice() ||
        p.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    const QRectF r = p.worldTransform().mapRect(rect);
    auto whole = [](qreal v) { return std::abs(v - std::round(v)) < 1e-9; };
    if (!whole(r.left()) || !whole(r.right()) || !whole(r.top()) || !whole(r.bottom()))
        return false;
    const QRect reach = reachableRect(p) & r.toAlignedRect();
    if (reach.isEmpty())
        return true;
    const qreal corner = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    const int top = int(std::ceil(r.top() + corner));
    const int bottom = int(std::floor(r.bottom() - corner)); // exclusive
    const QRect middle = reach & QRect(reach.left(), top, reach.width(), bottom - top);
    if (middle.isEmpty())
        return false;
    p.save();
    const QTransform world = p.worldTransform();
    p.setWorldTransform(QTransform());
    for (int y = middle.top(); y <= middle.bottom(); y += kRowsPerFill)
        bars(QRect(middle.left(), y, middle.width(), std::min(kRowsPerFill, middle.bottom() + 1 - y)));
    p.restore();
    const QRect above(reach.left(), reach.top(), reach.width(), middle.top() - reach.top());
    const QRect below(reach.left(), middle.bottom() + 1, reach.width(), reach.bottom() - middle.bottom());
    for (const QRect& part : {above, below}) {
        if (part.isEmpty())
            continue;
        p.save();
        p.setClipRect(world.inverted().mapRect(QRectF(part)), Qt::IntersectClip);
        rest();
        p.restore();
    }
    return true;
}

// The fallback for outlines the ring fill cannot draw: an antialiased pen of the given width.
template <typename Draw>
void strokeWithPen(QPainter& p, const QColor& color, qreal width, Draw draw) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, width));
    p.setBrush(Qt::NoBrush);
    draw();
    p.restore();
}

} // namespace

namespace Paint {

QPainterPath roundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    const qreal r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2);
    if (r <= 0)
        path.addRect(rect);
    else
        path.addRoundedRect(rect, r, r);
    return path;
}

QPainterPath capsule(const QRectF& rect) { return roundedRect(rect, std::min(rect.width(), rect.height()) / 2); }

void fill(QPainter& p, const QPainterPath& path, const QColor& color) {
    if (color.alpha() == 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (!fillTranslucentOnThisThread(p, path, color))
        p.fillPath(path, color);
    p.restore();
}

void beginPlainButton(QPainter& p, const QAbstractButton& button) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (!button.isEnabled())
        p.setOpacity(0.45);
    else if (button.isDown())
        p.setOpacity(0.75);
}

void fillRoundedRect(QPainter& p, const QRectF& rect, qreal radius, const QColor& color) {
    if (color.alpha() == 0)
        return;
    const QPainterPath path = roundedRect(rect, radius);
    const bool done = fillByStraightMiddle(
        p, rect, radius, [&](const QRect& strip) { p.fillRect(strip, color); }, [&] { fill(p, path, color); });
    if (!done)
        fill(p, path, color);
}

void strokeRoundedRect(QPainter& p, const QRectF& rect, qreal radius, const QColor& color, qreal width) {
    if (color.alpha() == 0 || width <= 0)
        return;
    const qreal h = width / 2;
    if (radius >= h && rect.width() > 2 * width && rect.height() > 2 * width) {
        // The ring between the outline and the outline moved in by the width: the same pixels as the pen
        // (round corners have no joins), filled without the stroker, which costs far more.
        QPainterPath ring = roundedRect(rect, radius);
        ring.addPath(roundedRect(rect.adjusted(width, width, -width, -width), std::max(0.0, radius - width)));
        ring.setFillRule(Qt::OddEvenFill);
        // In the straight middle the ring is two bars, one on each side.
        const bool wholeWidth = std::abs(width - std::round(width)) < 1e-9;
        const QRectF outer = p.worldTransform().mapRect(rect);
        const int w = int(std::round(width));
        auto bars = [&](const QRect& strip) {
            const QRect left(int(std::round(outer.left())), strip.top(), w, strip.height());
            const QRect right(int(std::round(outer.right())) - w, strip.top(), w, strip.height());
            for (const QRect& bar : {left & strip, right & strip})
                if (!bar.isEmpty())
                    p.fillRect(bar, color);
        };
        if (!wholeWidth || !fillByStraightMiddle(p, rect, std::max(radius, width), bars, [&] { fill(p, ring, color); }))
            fill(p, ring, color);
        return;
    }
    strokeWithPen(p, color, width,
                  [&] { p.drawPath(roundedRect(rect.adjusted(h, h, -h, -h), std::max(0.0, radius - h))); });
}

void fieldOutline(QPainter& p, const QRectF& rect, qreal radius, bool focused, bool dark) {
    if (focused)
        focusRing(p, rect, radius, dark);
    else
        strokeRoundedRect(p, rect, radius, AppPalette::fieldOutline(dark), 1);
}

void fieldOutline(QPainter& p, const QRectF& rect, qreal radius, bool focused) {
    fieldOutline(p, rect, radius, focused, ThemeManager::shared().isDark());
}

void focusRing(QPainter& p, const QRectF& rect, qreal radius, bool dark) {
    p.save();
    // A pressed or disabled control fades its own look, never the ring.
    p.setOpacity(1);
    p.setRenderHint(QPainter::Antialiasing);
    strokeRoundedRect(p, rect, radius, AppPalette::focusRing(dark), 2);
    p.restore();
}

void focusRing(QPainter& p, const QRectF& rect, qreal radius) {
    focusRing(p, rect, radius, ThemeManager::shared().isDark());
}

void fillCapsule(QPainter& p, const QRectF& rect, const QColor& color) { fill(p, capsule(rect), color); }

void strokeCapsule(QPainter& p, const QRectF& rect, const QColor& color, qreal width) {
    strokeRoundedRect(p, rect, std::min(rect.width(), rect.height()) / 2, color, width);
}

void fillEllipse(QPainter& p, const QRectF& rect, const QColor& color) {
    QPainterPath path;
    path.addEllipse(rect);
    fill(p, path, color);
}

void strokeEllipse(QPainter& p, const QRectF& rect, const QColor& color, qreal width) {
    if (color.alpha() == 0 || width <= 0)
        return;
    const qreal h = width / 2;
    if (qFuzzyCompare(rect.width(), rect.height()) && rect.width() > 2 * width) {
        // A circle's outline is the ring between two circles, filled like any shape (see fill()).
        QPainterPath ring;
        ring.addEllipse(rect);
        ring.addEllipse(rect.adjusted(width, width, -width, -width));
        ring.setFillRule(Qt::OddEvenFill);
        fill(p, ring, color);
        return;
    }
    strokeWithPen(p, color, width, [&] { p.drawEllipse(rect.adjusted(h, h, -h, -h)); });
}

void drawImageInCircle(QPainter& p, const QRectF& rect, const QImage& image) {
    QPainterPath circle;
    circle.addEllipse(rect);
    const QSizeF s = QSizeF(image.size()).scaled(rect.size(), Qt::KeepAspectRatioByExpanding);
    p.save();
    p.setClipPath(circle);
    p.drawImage(QRectF(rect.center().x() - s.width() / 2, rect.center().y() - s.height() / 2, s.width(), s.height()),
                image);
    p.restore();
}

void fillLinearGradient(QPainter& p, const QPainterPath& path, const QPointF& start, const QPointF& end,
                        const QGradientStops& stops) {
    QLinearGradient g(start, end);
    g.setStops(stops);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path, g);
    p.restore();
}

void drawShadowBetween(QPainter& p, const QRectF& rect, qreal radius, const Shadow& from, const Shadow& to, qreal t) {
    t = std::clamp(t, 0.0, 1.0);
    const qreal opacity = p.opacity();
    if (!from.color.isValid() || from.color.alpha() == 0) {
        // Appearing: the final shadow, fading in as it moves out.
        if (t > 0) {
            p.setOpacity(opacity * t);
            drawShadow(p, rect, radius, to.color, to.blur, from.offset + (to.offset - from.offset) * t);
        }
    } else {
        if (t < 1) {
            p.setOpacity(opacity * (1 - t));
            drawShadow(p, rect, radius, from.color, from.blur, from.offset);
        }
        if (t > 0) {
            p.setOpacity(opacity * t);
            drawShadow(p, rect, radius, to.color, to.blur, to.offset);
        }
    }
    p.setOpacity(opacity);
}

namespace {

bool isWhole(qreal v) { return std::abs(v - std::round(v)) < 1e-6; }

// The sliced shadow `pm` laid on whole device pixels: the corners copied, each stretched piece (sides and
// uniform middle) tiled from its one row, column or pixel. Stretched draws go through the raster engine's
// scaling path pixel by pixel, a large share of a first frame full of cards. False, drawing nothing, where
// the painter is not on whole device pixels (scaled, rotated, or a fractional position).
bool drawShadowUnscaled(QPainter& p, const QRectF& target, const QPixmap& pm, const QString& key, int slice,
                        bool sliceX, bool sliceY) {
    const QTransform& world = p.worldTransform();
    const QTransform& device = p.deviceTransform();
    if (world.type() > QTransform::TxTranslate || device.type() > QTransform::TxTranslate || !isWhole(device.dx()) ||
        !isWhole(device.dy()) || !isWhole(target.x()) || !isWhole(target.y()) || !isWhole(target.width()) ||
        !isWhole(target.height()))
        return false;
    const QRect area = target.toRect();
    const int w = area.width(), h = area.height();
    if ((sliceX && w < 2 * slice) || (sliceY && h < 2 * slice))
        return false;
    // The pieces' bounds on the device and in the picture; the middle piece is the picture's one stretched
    // row or column.
    const int xs[4] = {0, sliceX ? slice : w, sliceX ? w - slice : w, w};
    const int ys[4] = {0, sliceY ? slice : h, sliceY ? h - slice : h, h};
    const int src[3] = {0, slice, slice + 1};
    // Each stretched piece as a tile of its one row, column or pixel repeated, large enough that a tiled
    // fill runs in long spans; kept beside the picture.
    constexpr int kTile = 64;
    auto tile = [&](bool alongX, bool alongY) {
        const QString tileKey = key + QStringLiteral("|%1%2").arg(int(alongX)).arg(int(alongY));
        QPixmap out;
        if (QPixmapCache::find(tileKey, &out))
            return out;
        const QRect piece(alongX ? slice : 0, alongY ? slice : 0, alongX ? 1 : pm.width(), alongY ? 1 : pm.height());
        QImage img(alongX ? kTile : pm.width(), alongY ? kTile : pm.height(), QImage::Format_ARGB32_Premultiplied);
        QPainter tp(&img);
        tp.setCompositionMode(QPainter::CompositionMode_Source);
        tp.drawPixmap(QRect(QPoint(), img.size()), pm, piece);
        tp.end();
        out = QPixmap::fromImage(img);
        QPixmapCache::insert(tileKey, out);
        return out;
    };
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRect d(area.x() + xs[col], area.y() + ys[row], xs[col + 1] - xs[col], ys[row + 1] - ys[row]);
            if (d.isEmpty())
                continue;
            const bool stretchX = sliceX && col == 1, stretchY = sliceY && row == 1;
            const int sx = sliceX ? src[col] : 0, sy = sliceY ? src[row] : 0;
            if (stretchX || stretchY)
                p.drawTiledPixmap(d, tile(stretchX, stretchY), QPoint(stretchX ? 0 : sx, stretchY ? 0 : sy));
            else
                p.drawPixmap(d.topLeft(), pm, QRect(sx, sy, d.width(), d.height()));
        }
    }
    return true;
}

} // namespace

void drawShadow(QPainter& p, const QRectF& rect, qreal radius, const QColor& color, qreal blur, const QPointF& offset) {
    if (color.alpha() == 0 || rect.isEmpty())
        return;
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QSize physical(std::max(1, int(std::lround(rect.width() * dpr))),
                         std::max(1, int(std::lround(rect.height() * dpr))));
    const qreal blurPx = std::max(0.0, blur * dpr);
    const qreal radiusPx = std::clamp(radius * dpr, 0.0, std::min(physical.width(), physical.height()) / 2.0);
    const int pad = int(std::ceil(blurPx * 1.5)) + 1;
    // Beyond `slice` from each outer edge the blurred picture is uniform along the edge, so the mask is
    // blurred at its minimal length along every side long enough and its middle stretched (nine-slice, or
    // three-slice for a wide low or a tall narrow shape): resizing never re-blurs.
    const int slice = int(std::ceil(radiusPx)) + 2 * pad;
    const int minimal = 2 * (slice - pad) + 1;
    const bool sliceX = physical.width() >= minimal;
    const bool sliceY = physical.height() >= minimal;
    const QSize maskSize(sliceX ? minimal : physical.width(), sliceY ? minimal : physical.height());
    const QString key = QStringLiteral("tolmek-shadow|%1x%2|%3|%4|%5")
                            .arg(maskSize.width())
                            .arg(maskSize.height())
                            .arg(radiusPx, 0, 'f', 1)
                            .arg(blurPx, 0, 'f', 1)
                            .arg(color.rgba(), 8, 16, QLatin1Char('0'));
    QPixmap pm;
    if (!QPixmapCache::find(key, &pm)) {
        // The blur is kept between runs: the first frame is full of shadows.
        const QByteArray maskKey = "shadow|" + QByteArray::number(maskSize.width()) + 'x' +
            QByteArray::number(maskSize.height()) + '|' + QByteArray::number(radiusPx, 'f', 2) + '|' +
            QByteArray::number(blurPx, 'f', 2);
        QImage mask = MaskCache::find(maskKey);
        if (mask.isNull()) {
            mask = shadowMask(maskSize, radiusPx, blurPx, pad);
            MaskCache::insert(maskKey, mask);
        }
        // The colour cut to the mask (a translucent fill over it would go through the painting threads).
        QImage tinted(mask.size(), QImage::Format_ARGB32_Premultiplied);
        tinted.fill(color);
        QPainter tp(&tinted);
        tp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        tp.drawImage(0, 0, mask);
        tp.end();
        pm = QPixmap::fromImage(tinted);
        QPixmapCache::insert(key, pm);
    }
    const qreal padLogical = pad / dpr;
    const QRectF target(rect.x() + offset.x() - padLogical, rect.y() + offset.y() - padLogical,
                        rect.width() + 2 * padLogical, rect.height() + 2 * padLogical);
    if ((sliceX || sliceY) && drawShadowUnscaled(p, target, pm, key, slice, sliceX, sliceY))
        return;
    p.save();
    // Stretched pieces repeat one uniform row or column of the mask, which needs no filtering: the filtered
    // stretch cost more than the blur itself on large cards.
    p.setRenderHint(QPainter::SmoothPixmapTransform, !sliceX && !sliceY);
    if (!sliceX && !sliceY) {
        p.drawPixmap(target, pm, QRectF(pm.rect()));
    } else {
        // Along a side that is not stretched, the one piece covers the whole length.
        const qreal m = slice / dpr;
        auto cuts = [&](bool sliced, qreal length, qreal from, qreal to, qreal* src, qreal* dst) {
            if (sliced) {
                const qreal s[4] = {0, qreal(slice), length - slice, length};
                const qreal d[4] = {from, from + m, to - m, to};
                std::copy(s, s + 4, src);
                std::copy(d, d + 4, dst);
            } else {
                const qreal s[4] = {0, length, length, length};
                const qreal d[4] = {from, to, to, to};
                std::copy(s, s + 4, src);
                std::copy(d, d + 4, dst);
            }
        };
        qreal sx[4], sy[4], tx[4], ty[4];
        cuts(sliceX, pm.width(), target.left(), target.right(), sx, tx);
        cuts(sliceY, pm.height(), target.top(), target.bottom(), sy, ty);
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                const QRectF s(sx[col], sy[row], sx[col + 1] - sx[col], sy[row + 1] - sy[row]);
                const QRectF t(QPointF(tx[col], ty[row]), QPointF(tx[col + 1], ty[row + 1]));
                if (s.width() > 0 && s.height() > 0 && t.width() > 0 && t.height() > 0)
                    p.drawPixmap(t, pm, s);
            }
        }
    }
    p.restore();
}

QColor castShadowColor(const QColor& shadow, const QColor& casterFill) {
    QColor c = shadow;
    c.setAlphaF(shadow.alphaF() * casterFill.alphaF());
    return c;
}

void fillRoundedRectWithShadow(QPainter& p, const QRectF& rect, qreal radius, const QColor& fill,
                               const Shadow& shadow) {
    if (shadow.blur > 0 || !shadow.offset.isNull())
        drawShadow(p, rect, radius, castShadowColor(shadow.color, fill), shadow.blur, shadow.offset);
    fillRoundedRect(p, rect, radius, fill);
}

qreal shadowReach(qreal blur, qreal offset) { return blur + std::abs(offset); }

QColor mix(const QColor& a, const QColor& b, qreal t) {
    // Premultiplied, so fading from a clear colour does not pass through grey.
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    const qreal alpha = x.alphaF() + (y.alphaF() - x.alphaF()) * t;
    if (alpha <= 0)
        return QColor(0, 0, 0, 0);
    auto l = [&](qreal u, qreal v) {
        return float(std::clamp((u * x.alphaF() + (v * y.alphaF() - u * x.alphaF()) * t) / alpha, 0.0, 1.0));
    };
    return QColor::fromRgbF(l(x.redF(), y.redF()), l(x.greenF(), y.greenF()), l(x.blueF(), y.blueF()), float(alpha));
}

qreal lerp(qreal a, qreal b, qreal t) { return a + (b - a) * t; }

void scaleAbout(QPainter& p, const QRectF& rect, qreal scale) {
    if (qFuzzyCompare(scale, 1.0))
        return;
    const QPointF c = rect.center();
    p.translate(c);
    p.scale(scale, scale);
    p.translate(-c);
}

} // namespace Paint

HoverAnimator::HoverAnimator(QWidget* target, int durationMs, bool trackPointer)
    : QObject(target), m_target(target), m_anim(new QVariantAnimation(this)) {
    m_anim->setDuration(durationMs);
    m_anim->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_anim, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = v.toReal();
        if (m_target)
            m_target->update();
        emit progressChanged(m_progress);
    });
    if (trackPointer && target) {
        target->setAttribute(Qt::WA_Hover);
        target->setMouseTracking(true);
        target->installEventFilter(this);
    }
}

void HoverAnimator::setHovered(bool hovered) {
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    m_anim->stop();
    m_anim->setStartValue(m_progress);
    m_anim->setEndValue(hovered ? 1.0 : 0.0);
    m_anim->start();
    emit hoveredChanged(hovered);
}

void HoverAnimator::setHoveredImmediately(bool hovered) {
    const bool changed = hovered != m_hovered;
    m_anim->stop();
    m_hovered = hovered;
    m_progress = hovered ? 1.0 : 0.0;
    if (m_target)
        m_target->update();
    emit progressChanged(m_progress);
    if (changed)
        emit hoveredChanged(hovered);
}

QColor HoverAnimator::color(const QColor& normal, const QColor& hovered) const {
    return Paint::mix(normal, hovered, m_progress);
}

bool HoverAnimator::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::HoverEnter: setHovered(true); break;
        case QEvent::Leave:
        case QEvent::HoverLeave:
        case QEvent::Hide: setHovered(false); break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}
