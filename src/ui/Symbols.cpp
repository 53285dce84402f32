#include "ui/Symbols.h"

#include "ui/MaskCache.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

struct Entry {
    const char* name;
    const char* file; // stem under :/icons
};

// Symbol name → bundled icon file. A few names outside the sheets' icon tables share a picture
// (e.g. "square.grid.2x2" and "rectangle.grid.2x2"); inside each table every picture is distinct.
const Entry kTable[] = {
    {"antenna.radiowaves.left.and.right", "broadcast"},
    {"archivebox.fill", "archive-fill"},
    {"arrow.down", "arrow-down"},
    {"arrow.triangle.capsulepath", "arrow-repeat"},
    {"arrow.up", "arrow-up"},
    {"arrow.up.right.square", "arrow-up-right-square"},
    {"arrow.uturn.backward", "arrow-counterclockwise"},
    {"bell.fill", "bell-fill"},
    {"bold", "type-bold"},
    {"bolt.fill", "lightning-fill"},
    {"bolt.shield.fill", "shield-fill-exclamation"},
    {"book.fill", "book-fill"},
    {"bookmark.fill", "bookmark-fill"},
    {"books.vertical.fill", "bookshelf"},
    {"briefcase.fill", "briefcase-fill"},
    {"building.2.fill", "buildings-fill"},
    {"calendar", "calendar"},
    {"camera.fill", "camera-fill"},
    {"chart.bar.fill", "bar-chart-fill"},
    {"chart.line.uptrend.xyaxis", "graph-up-arrow"},
    {"checklist", "list-check"},
    {"checkmark", "check-lg"},
    {"checkmark.circle.fill", "check-circle-fill"},
    {"checkmark.seal", "patch-check"},
    {"checkmark.shield.fill", "shield-fill-check"},
    {"chevron.down", "chevron-down"},
    {"chevron.left", "chevron-left"},
    {"chevron.left.forwardslash.chevron.right", "code-slash"},
    {"chevron.left.slash.chevron.right", "code-slash"},
    {"chevron.right", "chevron-right"},
    {"circle", "circle"},
    {"circle.lefthalf.filled", "circle-half"},
    {"clock.fill", "clock-fill"},
    {"cup.and.saucer.fill", "cup-hot-fill"},
    {"curlybraces", "braces"},
    {"curlybraces.square.fill", "braces-asterisk"},
    {"cylinder.fill", "database-fill"},
    {"doc", "file-earmark"},
    {"doc.append", "file-earmark-plus"},
    {"doc.on.doc", "files"},
    {"doc.plaintext", "file-text"},
    {"doc.richtext", "file-earmark-richtext"},
    {"doc.text", "file-earmark-text"},
    {"doc.text.fill", "file-earmark-text-fill"},
    {"doc.text.magnifyingglass", "eye"}, // opens a preview of the file
    {"doc.zipper", "file-earmark-zip"},
    {"ellipsis", "three-dots"},
    {"ellipsis.circle", "three-dots"},
    {"exclamationmark.triangle.fill", "exclamation-triangle-fill"},
    {"externaldrive.fill", "hdd-fill"},
    {"eye", "eye"},
    {"film", "film"},
    {"flag.fill", "flag-fill"},
    {"folder", "folder"},
    {"folder.badge.plus", "folder-plus"},
    {"folder.fill", "folder-fill"},
    {"gearshape", "gear"},
    {"gearshape.2.fill", "gear-wide-connected"},
    {"gearshape.fill", "gear-fill"},
    {"gem.fill", "gem"},
    {"globe", "globe"},
    {"globe.europe.africa.fill", "globe-europe-africa"},
    {"hammer.fill", "hammer"},
    {"highlighter", "paint-bucket"},
    {"icloud.fill", "cloud-fill"},
    {"italic", "type-italic"},
    {"k.square.fill", "k-square-fill"},
    {"key.fill", "key-fill"},
    {"ladybug.fill", "bug-fill"},
    {"line.3.horizontal", "list"},
    {"link", "link-45deg"},
    {"list.bullet", "list-ul"},
    {"list.bullet.rectangle", "card-list"},
    {"lock.fill", "lock-fill"},
    {"magnifyingglass", "search"},
    {"mic.fill", "mic-fill"},
    {"moon.stars.fill", "moon-stars-fill"},
    {"music.note", "music-note"},
    {"network", "diagram-3"},
    {"note.text", "card-text"},
    {"paintbrush", "brush"},
    {"paintbrush.fill", "brush-fill"},
    {"paintpalette.fill", "palette-fill"},
    {"paperclip", "paperclip"},
    {"pencil", "pencil"},
    {"pencil.tip", "pen-fill"},
    {"person.2.fill", "people-fill"},
    {"person.crop.circle", "person-circle"},
    {"person.crop.circle.fill", "person-circle"},
    {"person.fill", "person-fill"},
    {"photo", "image"},
    {"photo.badge.plus", "file-earmark-image"},
    {"photo.fill", "image-fill"},
    {"plus", "plus-lg"},
    {"plus.circle.fill", "plus-circle-fill"},
    {"plus.square.on.square", "plus-square-dotted"},
    {"plusminus.circle.fill", "plus-slash-minus"},
    {"power", "power"},
    {"rectangle.3.group", "grid-1x2"},
    {"rectangle.and.pencil.and.ellipsis", "input-cursor-text"},
    {"rectangle.grid.2x2", "grid"},
    {"rectangle.on.rectangle.angled", "file-earmark-slides"},
    {"server.rack", "hdd-rack-fill"},
    {"shield.fill", "shield-fill"},
    {"shield.lefthalf.filled", "shield-shaded"},
    {"shippingbox.fill", "box-seam-fill"},
    {"signature", "vector-pen"},
    {"slider.horizontal.3", "sliders"},
    {"sparkles", "stars"},
    {"square.and.pencil", "pencil-square"},
    {"square.grid.2x2", "grid"},
    {"square.stack.3d.up", "stack"},
    {"square.stack.3d.up.fill", "layers-fill"},
    {"star.fill", "star-fill"},
    {"strikethrough", "type-strikethrough"},
    {"sun.max.fill", "sun-fill"},
    {"swift", "code-square"},
    {"tablecells", "table"},
    {"tag.fill", "tag-fill"},
    {"terminal.fill", "terminal-fill"},
    {"text.alignleft", "text-left"},
    {"text.book.closed.fill", "journal-text"},
    {"text.cursor", "cursor-text"},
    {"textformat", "type"},
    {"textformat.size", "fonts"},
    {"trash", "trash"},
    {"tray.full.fill", "inbox-fill"},
    {"underline", "type-underline"},
    {"video.fill", "camera-video-fill"},
    {"wand.and.stars", "magic"},
    {"wifi", "wifi"},
    {"wrench.and.screwdriver.fill", "tools"},
    {"xmark", "x-lg"},
};

const char* const kFallback = "question-square";

const QHash<QString, QString>& table() {
    static const QHash<QString, QString> map = [] {
        QHash<QString, QString> m;
        for (const Entry& e : kTable)
            m.insert(QString::fromLatin1(e.name), QString::fromLatin1(e.file));
        return m;
    }();
    return map;
}

QString resourcePath(const QString& stem) { return QStringLiteral(":/icons/%1.svg").arg(stem); }

QSvgRenderer* rendererFor(const QString& path) {
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    auto it = renderers.find(path);
    if (it == renderers.end()) {
        auto r = std::make_shared<QSvgRenderer>(path);
        if (!r->isValid())
            r = std::make_shared<QSvgRenderer>(resourcePath(QString::fromLatin1(kFallback)));
        it = renderers.insert(path, r);
    }
    return it->get();
}

// The icon set's outline is one unit of its 16-unit grid.
constexpr qreal kNativeStroke = 1.0 / 16;
// Rendered this many times larger before a heavier weight is applied, then reduced.
constexpr int kSupersample = 4;

void drawSvg(QImage& img, const QString& name) {
    QSvgRenderer* r = rendererFor(Symbols::fileFor(name));
    if (!r->isValid())
        return;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QSizeF size = r->defaultSize();
    if (size.isEmpty())
        size = QSizeF(16, 16);
    const qreal side = img.width();
    const QSizeF fitted = size.scaled(QSizeF(side, side), Qt::KeepAspectRatio);
    r->render(&p, QRectF(QPointF((side - fitted.width()) / 2, (side - fitted.height()) / 2), fitted));
}

// Grows the coverage of `mask` (8-bit alpha) by `radius` pixels in every direction (a round pen).
QImage dilate(const QImage& mask, qreal radius) {
    const int r = int(std::ceil(radius));
    QList<QPoint> disc;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx)
            if (dx * dx + dy * dy <= radius * radius + 0.25)
                disc.append(QPoint(dx, dy));
    const int w = mask.width();
    const int h = mask.height();
    QImage out(w, h, QImage::Format_Alpha8);
    for (int y = 0; y < h; ++y) {
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            int best = 0;
            for (const QPoint& d : std::as_const(disc)) {
                const int sx = x + d.x();
                const int sy = y + d.y();
                if (sx >= 0 && sy >= 0 && sx < w && sy < h) {
                    best = std::max<int>(best, mask.constScanLine(sy)[sx]);
                    if (best == 255)
                        break;
                }
            }
            dst[x] = uchar(best);
        }
    }
    return out;
}

QImage tint(const QImage& alpha, const QColor& color) {
    QImage img(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(color);
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    p.drawImage(0, 0, alpha);
    return img;
}

// The symbol's coverage at `side` pixels: drawn from its file, or heavier than the icon set's outline.
QImage drawCoverage(const QString& name, int side, int weight) {
    const qreal extra = Symbols::strokeWidth(side, weight) - side * kNativeStroke;
    if (extra <= 0.05) {
        QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        drawSvg(img, name);
        return img.convertToFormat(QImage::Format_Alpha8);
    }
    // Heavier: draw large, thicken every stroke by half the extra width on each side, reduce.
    QImage big(side * kSupersample, side * kSupersample, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    drawSvg(big, name);
    QImage mask = dilate(big.convertToFormat(QImage::Format_Alpha8), extra / 2 * kSupersample);
    mask = mask.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Bold strokes are meant to read solid: a stroke that straddles two pixels fills both.
    uchar* bits = mask.bits();
    for (qsizetype i = 0; i < mask.sizeInBytes(); ++i)
        bits[i] = uchar(std::min(255, bits[i] * 5 / 4));
    return mask;
}

// Drawing a symbol costs a good part of a first frame: its coverage is kept between runs, under a key
// that changes with the picture's file.
QImage coverage(const QString& name, int side, int weight) {
    static QHash<QString, QByteArray> fileKeys;
    const QString file = Symbols::fileFor(name);
    auto it = fileKeys.find(file);
    if (it == fileKeys.end()) {
        QFile f(file);
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        it = fileKeys.insert(file, "sym|" + file.toUtf8() + '|' + QByteArray::number(quint64(qHash(bytes, 0)), 16));
    }
    const QByteArray key = *it + '|' + QByteArray::number(side) + '|' + QByteArray::number(weight);
    QImage mask = MaskCache::find(key);
    if (mask.isNull()) {
        mask = drawCoverage(name, side, weight);
        MaskCache::insert(key, mask);
    }
    return mask;
}

QImage render(const QString& name, const QColor& color, int side, int weight) {
    return tint(coverage(name, side, weight), color);
}

} // namespace

namespace Symbols {

bool isKnown(const QString& name) { return table().contains(name); }

QString fileFor(const QString& name) {
    const auto it = table().constFind(name);
    return resourcePath(it == table().constEnd() ? QString::fromLatin1(kFallback) : *it);
}

QString fallbackFile() { return resourcePath(QString::fromLatin1(kFallback)); }

QStringList knownNames() {
    QStringList names;
    for (const Entry& e : kTable)
        names << QString::fromLatin1(e.name);
    return names;
}

qreal strokeWidth(qreal px, int weight) {
    const qreal native = px * kNativeStroke;
    if (weight <= 450)
        return native;
    if (weight <= 550)
        return std::max(native, px * 0.075);
    if (weight <= 650)
        return std::max(px * 0.09, 1.4);
    return std::max(px * 0.11, 1.7);
}

QPixmap pixmap(const QString& name, const QColor& color, qreal px, qreal dpr, int weight) {
    const int side = std::max(1, int(std::ceil(px * dpr - 1e-6)));
    const QString key = QStringLiteral("tolmek-sym|%1|%2|%3|%4|%5")
                            .arg(name)
                            .arg(color.rgba(), 8, 16, QLatin1Char('0'))
                            .arg(side)
                            .arg(dpr)
                            .arg(weight);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    // Stroke widths are device pixels at 1x; at a higher ratio they scale with it.
    pm = QPixmap::fromImage(render(name, color, side, weight));
    pm.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pm);
    return pm;
}

QIcon icon(const QString& name, const QColor& color, qreal px, int weight) {
    QIcon icon;
    QColor disabled = color;
    disabled.setAlphaF(color.alphaF() * 0.35f);
    for (qreal dpr : {1.0, 2.0}) {
        icon.addPixmap(pixmap(name, color, px, dpr, weight), QIcon::Normal);
        icon.addPixmap(pixmap(name, disabled, px, dpr, weight), QIcon::Disabled);
    }
    return icon;
}

void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color, int weight) {
    const qreal side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pm = pixmap(name, color, side, dpr, weight);
    const qreal drawn = pm.width() / dpr;
    QRectF target(rect.center().x() - drawn / 2, rect.center().y() - drawn / 2, drawn, drawn);
    // On whole device pixels the pixmap is copied as it is, not resampled (which blurs it).
    const QTransform& t = painter.worldTransform();
    if (t.type() <= QTransform::TxTranslate) {
        const QPointF device = t.map(target.topLeft()) * dpr;
        const QPointF snapped(std::round(device.x()) / dpr, std::round(device.y()) / dpr);
        target.moveTopLeft(target.topLeft() + snapped - device / dpr);
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, pm, QRectF(pm.rect()));
    painter.restore();
}

} // namespace Symbols
