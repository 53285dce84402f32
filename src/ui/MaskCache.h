#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Coverage masks (8-bit alpha) that are slow to draw, such as symbols at heavy weights, kept from one run
// to the next in one file of the user's cache folder, so that a start does not draw them again. The file is
// only a cache: one that is missing, damaged or from another version is ignored and written anew.
// GUI thread only.
namespace MaskCache {

// The mask stored under `key`, or a null image.
QImage find(const QByteArray& key);
// Keeps `mask` (converted to Format_Alpha8) under `key`, for this run and, after save(), the next ones.
void insert(const QByteArray& key, const QImage& mask);
// Writes the masks to the file if some were added since it was read; false when it cannot be written.
bool save();

// The file used; by default "Tolmek/masks.cache" in the user's cache folder. Setting it drops what was read.
QString path();
void setPath(const QString& path);

} // namespace MaskCache
