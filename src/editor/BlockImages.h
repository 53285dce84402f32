#pragma once

#include "ui/ImageConversion.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

// Images of image blocks: what enters a block (picked, dropped or pasted) is decoded, turned upright,
// narrowed to at most `maxStoredWidth` pixels and re-encoded; what a block holds is decoded again to
// be shown. Decoding and encoding run on a worker thread; the results come back on the GUI thread.
namespace blockimage {

inline constexpr int maxStoredWidth = 1920;

struct Stored {
    ImageConversion::Outcome outcome = ImageConversion::Outcome::unreadable;
    QByteArray data; // empty unless converted
    bool ok() const { return outcome == ImageConversion::Outcome::converted && !data.isEmpty(); }
};

// The bytes stored for `image`: PNG when it had to be narrowed (`scaled`), else TIFF; PNG when the
// TIFF writer is missing. Empty when nothing could be encoded.
QByteArray encodeStored(const QImage& image, bool scaled);

// Synchronous forms, safe on any thread.
Stored storedFromFile(const QString& path);
Stored storedFromImage(const QImage& image);

// Asynchronous forms: `done` runs on the GUI thread, and only while `receiver` lives.
void storedFromFileAsync(const QString& path, QObject* receiver, std::function<void(const Stored&)> done);
void storedFromImageAsync(const QImage& image, QObject* receiver, std::function<void(const Stored&)> done);
// Where a picture's stored bytes come from: read when it is decoded, on the worker thread, so that the
// window's thread never holds them.
struct Source {
    bool present = false; // whether there are bytes to read
    std::function<std::optional<QByteArray>()> read;
};
// Reads and decodes `source` on a worker thread to fit `box` (pixels); a null image when it does not decode.
void decodeAsync(const Source& source, const QSize& box, QObject* receiver, std::function<void(const QImage&)> done);
// Decodes stored bytes to fit `box` (pixels); a null image when they do not decode.
void decodeAsync(const QByteArray& data, const QSize& box, QObject* receiver, std::function<void(const QImage&)> done);

// The French message for a refused picture.
QString tooLargeMessage();

} // namespace blockimage
