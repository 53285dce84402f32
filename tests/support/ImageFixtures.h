#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

// Image files made by the tests themselves.
namespace fixtures {

// Left half `left`, right half `right`.
QImage twoHalves(int width, int height, QColor left, QColor right);
bool savePng(const QImage& image, const QString& path);
// A JPEG written by Qt, with an EXIF APP1 segment carrying `orientation` inserted after SOI.
QByteArray jpegWithOrientation(const QImage& image, int orientation);
// A PNG whose header declares width × height but carries no pixel data.
QByteArray pngHeaderOnly(quint32 width, quint32 height);
// An HEIC file encoded with libheif's HEVC encoder; false when no encoder is available.
bool writeHeic(const QImage& image, const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

} // namespace fixtures
