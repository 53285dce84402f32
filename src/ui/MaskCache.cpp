#include "ui/MaskCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <cstring>
#include <optional>

namespace {

#ifndef TOLMEK_VERSION
#define TOLMEK_VERSION "0.0.0"
#endif

// Bounds that keep the file small and a damaged length from asking for huge images.
constexpr int kMaxEntries = 4096;
constexpr quint32 kMaxSide = 1024;
constexpr quint32 kMaxKey = 1024;

struct State {
    QString path;
    bool read = false;
    bool saved = false;
    bool added = false; // masks not in the file
    bool current = false; // the file was read whole, with this version's header
    QHash<QByteArray, QImage> masks;
    QSet<QByteArray> used; // until save(): what this start drew or found
};

State& state() {
    static State s;
    return s;
}

QString defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
        QStringLiteral("/Tolmek/masks.cache");
}

bool take(const char*& p, const char* end, void* out, size_t n) {
    if (size_t(end - p) < n)
        return false;
    std::memcpy(out, p, n);
    p += n;
    return true;
}

// Every record or none: a file cut short or altered is dropped as a whole, as is one of another header.
std::optional<QHash<QByteArray, QImage>> parse(const QByteArray& data) {
    QHash<QByteArray, QImage> out;
    const QByteArray head = MaskCache::header();
    if (!data.startsWith(head))
        return {};
    const char* p = data.constData() + head.size();
    const char* end = data.constData() + data.size();
    while (p != end) {
        quint32 keyLen = 0, w = 0, h = 0;
        if (!take(p, end, &keyLen, 4) || keyLen > kMaxKey || size_t(end - p) < keyLen)
            return {};
        QByteArray key(p, qsizetype(keyLen));
        p += keyLen;
        if (!take(p, end, &w, 4) || !take(p, end, &h, 4) || w == 0 || h == 0 || w > kMaxSide || h > kMaxSide ||
            size_t(end - p) < size_t(w) * h || out.size() >= kMaxEntries)
            return {};
        QImage img(int(w), int(h), QImage::Format_Alpha8);
        for (quint32 y = 0; y < h; ++y, p += w)
            std::memcpy(img.scanLine(int(y)), p, w);
        out.insert(key, img);
    }
    return out;
}

void ensureRead() {
    State& s = state();
    if (s.read)
        return;
    s.read = true;
    if (s.path.isEmpty())
        s.path = defaultPath();
    QFile f(s.path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    if (auto masks = parse(f.readAll())) {
        s.masks = std::move(*masks);
        s.current = true;
    }
}

} // namespace

namespace MaskCache {

QByteArray header() {
    return QByteArrayLiteral("TOLMEK-MASKS 2 version=" TOLMEK_VERSION " drawing=") +
        QByteArray::number(drawingRevision) + '\n';
}

QImage find(const QByteArray& key) {
    ensureRead();
    State& s = state();
    const QImage mask = s.masks.value(key);
    if (!mask.isNull() && !s.saved)
        s.used.insert(key);
    return mask;
}

void insert(const QByteArray& key, const QImage& mask) {
    ensureRead();
    State& s = state();
    // After save() nothing more is kept: animations draw a new mask every frame, and the callers' pixmap
    // caches already bound what they redraw.
    if (s.saved || s.used.size() >= kMaxEntries || mask.isNull() || quint32(mask.width()) > kMaxSide ||
        quint32(mask.height()) > kMaxSide || quint32(key.size()) > kMaxKey)
        return;
    s.masks.insert(key, mask.convertToFormat(QImage::Format_Alpha8));
    s.used.insert(key);
    s.added = true;
}

bool save() {
    ensureRead();
    State& s = state();
    if (s.saved)
        return true;
    s.saved = true;
    if (s.current && !s.added && s.used.size() == s.masks.size())
        return true; // the file holds exactly these
    QByteArray data = MaskCache::header();
    for (auto it = s.masks.cbegin(); it != s.masks.cend(); ++it) {
        if (!s.used.contains(it.key()))
            continue;
        const QImage& img = it.value();
        const quint32 keyLen = quint32(it.key().size()), w = quint32(img.width()), h = quint32(img.height());
        data.append(reinterpret_cast<const char*>(&keyLen), 4);
        data.append(it.key());
        data.append(reinterpret_cast<const char*>(&w), 4);
        data.append(reinterpret_cast<const char*>(&h), 4);
        for (int y = 0; y < img.height(); ++y)
            data.append(reinterpret_cast<const char*>(img.constScanLine(y)), qsizetype(w));
    }
    QDir().mkpath(QFileInfo(s.path).absolutePath());
    QSaveFile f(s.path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.commit();
}

QString path() {
    State& s = state();
    return s.path.isEmpty() ? defaultPath() : s.path;
}

void setPath(const QString& path) {
    State& s = state();
    s = State();
    s.path = path;
}

} // namespace MaskCache
