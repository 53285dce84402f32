#include "ui/ImageConversion.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QLibrary>
#include <QPainter>

#include <libheif/heif.h>

#include <cmath>
#include <memory>
#include <mutex>

namespace ImageConversion {

namespace {

// Enough for the largest accepted picture at 8 bytes a pixel (16-bit RGBA), in MiB.
constexpr int allocationLimitMiB = int((maxPixels * 8) / (1024 * 1024)) + 1;

bool tooManyPixels(qint64 width, qint64 height) {
    return width <= 0 || height <= 0 ? false : width * height > maxPixels;
}

QImage scaledToFit(const QImage& image, const QSize& box) {
    const QSize target = fittedSize(image.size(), box);
    if (target == image.size())
        return image;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// libjpeg fills a cut-off scan with grey and only warns, so Qt hands back a partial picture.
// A complete file has an end-of-image marker after its last start-of-scan marker (neither byte
// pair can occur inside entropy-coded data, where 0xFF is always stuffed).
bool jpegLooksComplete(const QByteArray& data) {
    const qsizetype sos = data.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    const qsizetype eoi = data.lastIndexOf(QByteArrayView("\xFF\xD9", 2));
    return sos >= 0 && eoi > sos;
}

// libheif and its codecs are large: they are loaded on the first picture we look at, not at start-up.
// The functions we call, each resolved by its name.
#define TOLMEK_HEIF_FUNCTIONS(X)                  \
    X(heif_check_filetype)                        \
    X(heif_context_alloc)                         \
    X(heif_context_free)                          \
    X(heif_context_get_primary_image_handle)      \
    X(heif_context_read_from_memory_without_copy) \
    X(heif_decode_image)                          \
    X(heif_decoding_options_alloc)                \
    X(heif_decoding_options_free)                 \
    X(heif_image_get_height)                      \
    X(heif_image_get_plane_readonly)              \
    X(heif_image_get_width)                       \
    X(heif_image_handle_get_height)               \
    X(heif_image_handle_get_ispe_height)          \
    X(heif_image_handle_get_ispe_width)           \
    X(heif_image_handle_get_width)                \
    X(heif_image_handle_has_alpha_channel)        \
    X(heif_image_handle_release)                  \
    X(heif_image_release)                         \
    X(heif_init)

#define TOLMEK_HEIF_MEMBER(name) decltype(&::name) name = nullptr;
struct HeifApi {
    TOLMEK_HEIF_FUNCTIONS(TOLMEK_HEIF_MEMBER)
    bool loaded = false;
};

const HeifApi& heifApi() {
    static const HeifApi api = [] {
        HeifApi a;
        QLibrary lib(QStringLiteral("heif"), 1);
        if (!lib.load())
            return a;
        bool all = true;
#define TOLMEK_HEIF_RESOLVE(name) all = all && (a.name = reinterpret_cast<decltype(a.name)>(lib.resolve(#name)));
        TOLMEK_HEIF_FUNCTIONS(TOLMEK_HEIF_RESOLVE)
        a.loaded = all;
        return a;
    }();
    return api;
}

void ensureHeifInitialised() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (heifApi().loaded)
            heifApi().heif_init(nullptr);
    });
}

struct HeifContextDeleter {
    void operator()(heif_context* c) const { heifApi().heif_context_free(c); }
};
struct HeifHandleDeleter {
    void operator()(heif_image_handle* h) const { heifApi().heif_image_handle_release(h); }
};
struct HeifImageDeleter {
    void operator()(heif_image* i) const { heifApi().heif_image_release(i); }
};
struct HeifOptionsDeleter {
    void operator()(heif_decoding_options* o) const { heifApi().heif_decoding_options_free(o); }
};

QImage decodeHeif(const QByteArray& data, const QSize& box, Outcome* outcome, QSize* upright) {
    *outcome = Outcome::unreadable;
    if (!heifApi().loaded)
        return {};
    ensureHeifInitialised();
    std::unique_ptr<heif_context, HeifContextDeleter> ctx(heifApi().heif_context_alloc());
    if (!ctx)
        return {};
    heif_error err =
        heifApi().heif_context_read_from_memory_without_copy(ctx.get(), data.constData(), size_t(data.size()), nullptr);
    if (err.code != heif_error_Ok)
        return {};
    heif_image_handle* rawHandle = nullptr;
    err = heifApi().heif_context_get_primary_image_handle(ctx.get(), &rawHandle);
    if (err.code != heif_error_Ok || !rawHandle)
        return {};
    std::unique_ptr<heif_image_handle, HeifHandleDeleter> handle(rawHandle);

    // The stored size, before rotation: the pixel count is the same either way.
    const qint64 w = heifApi().heif_image_handle_get_ispe_width(handle.get());
    const qint64 h = heifApi().heif_image_handle_get_ispe_height(handle.get());
    if (tooManyPixels(w, h) ||
        tooManyPixels(heifApi().heif_image_handle_get_width(handle.get()),
                      heifApi().heif_image_handle_get_height(handle.get()))) {
        *outcome = Outcome::tooLarge;
        return {};
    }

    if (upright) // the displayed size, after the container's rotation
        *upright = QSize(heifApi().heif_image_handle_get_width(handle.get()),
                         heifApi().heif_image_handle_get_height(handle.get()));

    const bool alpha = heifApi().heif_image_handle_has_alpha_channel(handle.get());
    std::unique_ptr<heif_decoding_options, HeifOptionsDeleter> options(heifApi().heif_decoding_options_alloc());
    if (!options)
        return {};
    options->ignore_transformations = 0; // rotation and mirroring of the container are applied
    options->convert_hdr_to_8bit = 1;
    heif_image* rawImage = nullptr;
    err =
        heifApi().heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                                    alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    if (err.code != heif_error_Ok || !rawImage)
        return {};
    std::unique_ptr<heif_image, HeifImageDeleter> image(rawImage);

    const int width = heifApi().heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heifApi().heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* pixels = heifApi().heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!pixels || width <= 0 || height <= 0 || tooManyPixels(width, height))
        return {};
    const QImage::Format format = alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    // Wraps libheif's buffer, then scales (or copies) into an image of our own before it is released.
    const QImage view(pixels, width, height, stride, format);
    QImage result = scaledToFit(view, box);
    if (result.constBits() == view.constBits())
        result = view.copy();
    if (result.isNull())
        return {};
    *outcome = Outcome::converted;
    return result;
}

QImage decodeWithQt(const QByteArray& data, const QSize& box, Outcome* outcome, QSize* upright) {
    *outcome = Outcome::unreadable;
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(allocationLimitMiB);
    if (!reader.canRead())
        return {};

    // Size from the header, before any pixel is decoded (and before orientation, which keeps the count).
    const QSize declared = reader.size();
    if (declared.isValid() && tooManyPixels(declared.width(), declared.height())) {
        *outcome = Outcome::tooLarge;
        return {};
    }

    const QByteArray format = reader.format();
    if (format == "jpeg" && !jpegLooksComplete(data))
        return {};

    // The box applies to the upright picture; the reader scales before it turns.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    if (upright && declared.isValid())
        *upright = turned ? declared.transposed() : declared;

    // JPEG decodes straight to a reduced size (DCT scaling); other formats decode fully, then scale.
    if (declared.isValid() && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const QSize target = fittedSize(turned ? declared.transposed() : declared, box);
        if (target != (turned ? declared.transposed() : declared))
            reader.setScaledSize(turned ? target.transposed() : target);
    }
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (tooManyPixels(image.width(), image.height())) {
        *outcome = Outcome::tooLarge;
        return {};
    }
    if (upright && !declared.isValid())
        *upright = image.size();
    image = scaledToFit(image, box);
    if (image.isNull())
        return {};
    *outcome = Outcome::converted;
    return image;
}

} // namespace

QSize fittedSize(const QSize& size, int maxPixelSize) { return fittedSize(size, QSize(maxPixelSize, maxPixelSize)); }

QSize fittedSize(const QSize& size, const QSize& box) {
    if (size.isEmpty() || box.width() <= 0 || box.height() <= 0)
        return size;
    if (size.width() <= box.width() && size.height() <= box.height())
        return size;
    const double factor = std::min(double(box.width()) / size.width(), double(box.height()) / size.height());
    const int w = std::max(1, int(std::lround(size.width() * factor)));
    const int h = std::max(1, int(std::lround(size.height() * factor)));
    return {std::min(w, box.width()), std::min(h, box.height())};
}

bool looksLikeHeif(const QByteArray& head) {
    if (head.size() < 12 || !heifApi().loaded)
        return false;
    const heif_filetype_result r = heifApi().heif_check_filetype(reinterpret_cast<const uint8_t*>(head.constData()),
                                                                 int(std::min<qsizetype>(head.size(), 64)));
    return r == heif_filetype_yes_supported || r == heif_filetype_yes_unsupported;
}

QImage decodeThumbnail(const QString& path, int maxPixelSize, Outcome* outcome) {
    return decodeFitting(path, QSize(maxPixelSize, maxPixelSize), outcome);
}

QImage decodeFitting(const QString& path, const QSize& box, Outcome* outcome, QSize* uprightSize) {
    Outcome local = Outcome::unreadable;
    Outcome& out = outcome ? *outcome : local;
    out = Outcome::unreadable;

    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    if (info.size() > maxFileBytes) {
        out = Outcome::tooLarge;
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Bounded by the size check above; read with a cap in case the file grew meanwhile.
    const QByteArray data = file.read(maxFileBytes + 1);
    return decodeDataFitting(data, box, &out, uprightSize);
}

QImage decodeDataFitting(const QByteArray& data, const QSize& box, Outcome* outcome, QSize* uprightSize) {
    Outcome local = Outcome::unreadable;
    Outcome& out = outcome ? *outcome : local;
    out = Outcome::unreadable;
    if (data.size() > maxFileBytes) {
        out = Outcome::tooLarge;
        return {};
    }
    if (data.isEmpty())
        return {};

    if (looksLikeHeif(data.left(64)))
        return decodeHeif(data, box, &out, uprightSize);
    return decodeWithQt(data, box, &out, uprightSize);
}

QByteArray encodeJpeg(const QImage& image, int quality) {
    if (image.isNull())
        return {};
    QImage opaque;
    if (image.hasAlphaChannel()) {
        // JPEG has no transparency: what was see-through shows as white, like the placeholder card behind it.
        opaque = QImage(image.size(), QImage::Format_RGB32);
        opaque.setColorSpace(image.colorSpace());
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    } else if (image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_RGB32) {
        opaque = image;
    } else {
        opaque = image.convertToFormat(QImage::Format_RGB32);
    }
    if (opaque.isNull())
        return {};

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(std::clamp(quality, 0, 100));
    if (!writer.write(opaque))
        return {};
    buffer.close();
    return bytes;
}

Result makeAvatarData(const QString& path, int maxPixelSize, double compressionFactor) {
    Result result;
    const QImage image = decodeThumbnail(path, maxPixelSize, &result.outcome);
    if (result.outcome != Outcome::converted)
        return result;
    result.jpeg = encodeJpeg(image, int(std::lround(std::clamp(compressionFactor, 0.0, 1.0) * 100)));
    result.outcome = result.jpeg.isEmpty() ? Outcome::unreadable : Outcome::converted;
    return result;
}

} // namespace ImageConversion
