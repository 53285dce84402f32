#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Coverage masks (8-bit alpha) that are slow to draw, such as symbols at heavy weights and blurred shadows,
// kept from one start to the next in one file of the user's cache folder, so that the first frame does not
// draw them again. The file holds what the last start used (until save()), nothing older; it is only a
// cache: one that is missing, damaged or from another version is ignored and written anew. GUI thread only.
namespace MaskCache {

// Bump when the drawing of a kept mask changes (Paint's shadows, Symbols' masks, their keys): a file written
// by other drawing code is then ignored and written anew, as is one written by another version.
inline constexpr int drawingRevision = 1;

// The file's first line: the format, the application's version and drawingRevision.
QByteArray header();

// The mask stored under `key`, or a null image.
QImage find(const QByteArray& key);
// Keeps `mask` (converted to Format_Alpha8) under `key` for the next starts; does nothing once saved.
void insert(const QByteArray& key, const QImage& mask);
// Writes the masks used so far to the file, if it lacks some or holds others; false when it cannot be
// written. Masks offered later are not kept (hover animations would fill memory and the file).
bool save();

// The file used; by default "Tolmek/masks.cache" in the user's cache folder. Setting it drops what was read.
QString path();
void setPath(const QString& path);

} // namespace MaskCache
