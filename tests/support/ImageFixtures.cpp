#include "support/ImageFixtures.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QtEndian>

#include <libheif/heif.h>

namespace fixtures {

QImage twoHalves(int width, int height, QColor left, QColor right) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, width / 2, height, left);
    p.fillRect(width / 2, 0, width - width / 2, height, right);
    return image;
}

bool savePng(const QImage& image, const QString& path) { return image.save(path, "PNG"); }

QByteArray jpegWithOrientation(const QImage& image, int orientation) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    // APP1 "Exif": big-endian TIFF header, one IFD with one SHORT entry (0x0112 Orientation).
    QByteArray tiff;
    tiff.append("MM\x00\x2A", 4);
    tiff.append("\x00\x00\x00\x08", 4);
    tiff.append("\x00\x01", 2);
    tiff.append("\x01\x12\x00\x03\x00\x00\x00\x01", 8);
    tiff.append(char(0));
    tiff.append(char(orientation));
    tiff.append("\x00\x00", 2);
    tiff.append("\x00\x00\x00\x00", 4);
    QByteArray app1("\xFF\xE1", 2);
    const quint16 length = quint16(2 + 6 + tiff.size());
    app1.append(char(length >> 8));
    app1.append(char(length & 0xFF));
    app1.append("Exif\x00\x00", 6);
    app1.append(tiff);
    jpeg.insert(2, app1);
    return jpeg;
}

namespace {
quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray chunk(const char* type, const QByteArray& data) {
    QByteArray out;
    quint32 len = qToBigEndian(quint32(data.size()));
    out.append(reinterpret_cast<const char*>(&len), 4);
    const QByteArray body = QByteArray(type, 4) + data;
    out.append(body);
    quint32 crc = qToBigEndian(crc32(body));
    out.append(reinterpret_cast<const char*>(&crc), 4);
    return out;
}
} // namespace

QByteArray pngHeaderOnly(quint32 width, quint32 height) {
    QByteArray ihdr;
    quint32 w = qToBigEndian(width), h = qToBigEndian(height);
    ihdr.append(reinterpret_cast<const char*>(&w), 4);
    ihdr.append(reinterpret_cast<const char*>(&h), 4);
    ihdr.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, deflate, no filter, no interlace
    // A tiny IDAT so that readers reach the end of the header; it holds far too few pixels.
    const QByteArray idat("\x78\x9C\x03\x00\x00\x00\x00\x01", 8);
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", idat) + chunk("IEND", {});
}

bool writeHeic(const QImage& source, const QString& path) {
    if (!heif_have_encoder_for_format(heif_compression_HEVC))
        return false;
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    // Paired with heif_deinit below, so that the encoder's globals are released when nothing else holds libheif.
    heif_init(nullptr);
    heif_context* ctx = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    bool ok = heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code == heif_error_Ok;
    heif_image* img = nullptr;
    if (ok) {
        heif_encoder_set_lossy_quality(encoder, 85);
        ok = heif_image_create(image.width(), image.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &img)
                    .code == heif_error_Ok &&
            heif_image_add_plane(img, heif_channel_interleaved, image.width(), image.height(), 8).code == heif_error_Ok;
    }
    if (ok) {
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        for (int y = 0; y < image.height(); ++y)
            memcpy(plane + y * stride, image.constScanLine(y), size_t(image.width()) * 3);
        ok = heif_context_encode_image(ctx, img, encoder, nullptr, nullptr).code == heif_error_Ok &&
            heif_context_write_to_file(ctx, path.toLocal8Bit().constData()).code == heif_error_Ok;
    }
    if (img)
        heif_image_release(img);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(ctx);
    heif_deinit();
    return ok;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace fixtures
