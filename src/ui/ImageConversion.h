#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// Turns an image file into a small upright JPEG (the profile's avatar). Safe to call from any thread:
// it keeps no state and touches no widget or model object.
namespace ImageConversion {

enum class Outcome {
    converted, // bytes were produced
    unreadable, // missing, not an image, truncated or damaged, or the encoder failed
    tooLarge, // over maxFileBytes or maxPixels; refused before decoding
};

struct Result {
    Outcome outcome = Outcome::unreadable;
    QByteArray jpeg; // empty unless converted
    bool ok() const { return outcome == Outcome::converted; }
};

// Limits that keep a hostile or enormous file from exhausting memory.
inline constexpr qint64 maxFileBytes = 100'000'000;
inline constexpr qint64 maxPixels = 100'000'000;

// The first image of the file at `path`, with its orientation metadata applied, scaled down (proportions
// kept) until its longer side is at most `maxPixelSize`, flattened onto white when it has transparency,
// and encoded as JPEG with `compressionFactor` (0…1, e.g. 0.82 → quality 82).
// PNG, JPEG, TIFF and the other formats of Qt's image plugins are read by Qt; HEIC/HEIF by libheif.
Result makeAvatarData(const QString& path, int maxPixelSize, double compressionFactor);

// The decoding step alone: the upright, scaled image (null on failure, with `outcome` set).
QImage decodeThumbnail(const QString& path, int maxPixelSize, Outcome* outcome = nullptr);

// `size` scaled down to fit `maxPixelSize` on its longer side (never up, never below 1 pixel).
QSize fittedSize(const QSize& size, int maxPixelSize);
// `size` scaled down (proportions kept) to fit inside `box` (never up, never below 1 pixel).
QSize fittedSize(const QSize& size, const QSize& box);

// The decoding step for any box (same guards and orientation as decodeThumbnail): the upright image
// scaled down to fit `box`. `uprightSize`, when given, receives the upright size before scaling.
// Safe on any thread.
QImage decodeFitting(const QString& path, const QSize& box, Outcome* outcome = nullptr, QSize* uprightSize = nullptr);
QImage decodeDataFitting(const QByteArray& data, const QSize& box, Outcome* outcome = nullptr,
                         QSize* uprightSize = nullptr);

// JPEG bytes of `image` at `quality` (0…100); transparency is flattened onto white. Empty on failure.
QByteArray encodeJpeg(const QImage& image, int quality);

// Whether `head` (the first bytes of a file) starts an HEIF/HEIC container.
bool looksLikeHeif(const QByteArray& head);

} // namespace ImageConversion
