#include "editor/BlockImages.h"

#include "ui/BackgroundJobs.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageWriter>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>

#include <climits>

namespace blockimage {

namespace {

QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, format);
    if (qstrcmp(format, "tiff") == 0)
        writer.setCompression(1); // LZW: same pixels, a fraction of the bytes
    if (!writer.write(image))
        return {};
    return bytes;
}

const QSize kStoredBox(maxStoredWidth, INT_MAX);

Stored finish(const QImage& image, ImageConversion::Outcome outcome, const QSize& upright) {
    Stored s;
    s.outcome = outcome;
    if (outcome != ImageConversion::Outcome::converted || image.isNull()) {
        if (s.outcome == ImageConversion::Outcome::converted)
            s.outcome = ImageConversion::Outcome::unreadable;
        return s;
    }
    s.data = encodeStored(image, upright.width() > maxStoredWidth);
    if (s.data.isEmpty())
        s.outcome = ImageConversion::Outcome::unreadable;
    return s;
}

template <class Work, class Result>
void runAsync(QObject* receiver, Work work, std::function<void(const Result&)> done) {
    QPointer<QObject> guard(receiver);
    // The worker never touches the receiver, which the window's thread may delete at any moment: it posts to
    // the application, which outlives every job (its destruction waits for them), and the guard is read there.
    QObject* application = QCoreApplication::instance();
    backgroundJobs().start([application, guard, work = std::move(work), done = std::move(done)]() mutable {
        Result result = work();
        QMetaObject::invokeMethod(
            application,
            [guard, result = std::move(result), done = std::move(done)] {
                if (guard && done)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}

} // namespace

QByteArray encodeStored(const QImage& image, bool scaled) {
    if (image.isNull())
        return {};
    if (!scaled) {
        const QByteArray tiff = encode(image, "tiff");
        if (!tiff.isEmpty())
            return tiff;
    }
    return encode(image, "png");
}

Stored storedFromFile(const QString& path) {
    ImageConversion::Outcome outcome = ImageConversion::Outcome::unreadable;
    QSize upright;
    const QImage image = ImageConversion::decodeFitting(path, kStoredBox, &outcome, &upright);
    return finish(image, outcome, upright);
}

Stored storedFromImage(const QImage& image) {
    if (image.isNull())
        return {};
    if (qint64(image.width()) * image.height() > ImageConversion::maxPixels)
        return {ImageConversion::Outcome::tooLarge, {}};
    const QSize target = ImageConversion::fittedSize(image.size(), kStoredBox);
    const QImage scaled =
        target == image.size() ? image : image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return finish(scaled, ImageConversion::Outcome::converted, image.size());
}

void storedFromFileAsync(const QString& path, QObject* receiver, std::function<void(const Stored&)> done) {
    runAsync<std::function<Stored()>, Stored>(
        receiver, [path] { return storedFromFile(path); }, std::move(done));
}

void storedFromImageAsync(const QImage& image, QObject* receiver, std::function<void(const Stored&)> done) {
    runAsync<std::function<Stored()>, Stored>(
        receiver, [image] { return storedFromImage(image); }, std::move(done));
}

void decodeAsync(const QByteArray& data, const QSize& box, QObject* receiver, std::function<void(const QImage&)> done) {
    decodeAsync(Source{true, [data]() -> std::optional<QByteArray> { return data; }}, box, receiver, std::move(done));
}

void decodeAsync(const Source& source, const QSize& box, QObject* receiver, std::function<void(const QImage&)> done) {
    runAsync<std::function<QImage()>, QImage>(
        receiver,
        [read = source.read, box] {
            const std::optional<QByteArray> data = read ? read() : std::nullopt;
            if (!data || data->isEmpty())
                return QImage();
            ImageConversion::Outcome outcome = ImageConversion::Outcome::unreadable;
            const QImage image = ImageConversion::decodeDataFitting(*data, box, &outcome);
            // In the screen's format here, so that making the pixmap on the GUI thread converts nothing.
            return image.isNull() ? image
                                  : image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                                  : QImage::Format_RGB32);
        },
        std::move(done));
}

QString tooLargeMessage() { return QStringLiteral("Image trop grande."); }

} // namespace blockimage
