#include "ui/Symbols.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

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
    {"doc.text.magnifyingglass", "file-earmark-break"},
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
    {"rectangle.3.group", "grid-1x2-fill"},
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

QImage render(const QString& name, const QColor& color, int side) {
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QSvgRenderer* r = rendererFor(Symbols::fileFor(name));
    if (r->isValid()) {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        QSizeF size = r->defaultSize();
        if (size.isEmpty())
            size = QSizeF(16, 16);
        const QSizeF fitted = size.scaled(QSizeF(side, side), Qt::KeepAspectRatio);
        r->render(&p, QRectF(QPointF((side - fitted.width()) / 2, (side - fitted.height()) / 2), fitted));
        // Tint: keep the drawn shape, replace its colour.
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(img.rect(), color);
    }
    return img;
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

QPixmap pixmap(const QString& name, const QColor& color, qreal px, qreal dpr) {
    const int side = std::max(1, int(std::ceil(px * dpr)));
    const QString key = QStringLiteral("tolmek-sym|%1|%2|%3|%4")
                            .arg(name)
                            .arg(color.rgba(), 8, 16, QLatin1Char('0'))
                            .arg(side)
                            .arg(dpr);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    pm = QPixmap::fromImage(render(name, color, side));
    pm.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pm);
    return pm;
}

QIcon icon(const QString& name, const QColor& color, qreal px) {
    QIcon icon;
    QColor disabled = color;
    disabled.setAlphaF(color.alphaF() * 0.35f);
    for (qreal dpr : {1.0, 2.0}) {
        icon.addPixmap(pixmap(name, color, px, dpr), QIcon::Normal);
        icon.addPixmap(pixmap(name, disabled, px, dpr), QIcon::Disabled);
    }
    return icon;
}

void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color) {
    const qreal side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pm = pixmap(name, color, side, dpr);
    const QRectF target(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, pm, QRectF(pm.rect()));
    painter.restore();
}

} // namespace Symbols
