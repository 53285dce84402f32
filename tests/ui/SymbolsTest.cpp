#include "ui/Symbols.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>

#include <gtest/gtest.h>

namespace {

// The column sheet's icon table (the other sheets' tables are checked with the sheets themselves).
const QStringList kColumnIcons = {
    "square.stack.3d.up", "checkmark.seal",
    "square.and.pencil",  "bolt.fill",
    "ladybug.fill",       "wrench.and.screwdriver.fill",
    "shippingbox.fill",   "sparkles",
    "flag.fill",          "exclamationmark.triangle.fill",
};

QByteArray pictureHash(const QString& name) {
    const QImage img = Symbols::pixmap(name, Qt::black, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    return QCryptographicHash::hash(QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()),
                                    QCryptographicHash::Sha1);
}

int opaquePixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qAlpha(img.pixel(x, y)) > 128;
    return n;
}

} // namespace

TEST(Symbols, EveryKnownNameHasAFileThatRenders) {
    const QStringList known = Symbols::knownNames();
    EXPECT_GT(known.size(), 100);
    for (const QString& name : known) {
        const QString file = Symbols::fileFor(name);
        ASSERT_TRUE(QFile::exists(file)) << file.toStdString();
        EXPECT_TRUE(QSvgRenderer(file).isValid()) << file.toStdString();
        EXPECT_GT(opaquePixels(Symbols::pixmap(name, Qt::black, 24).toImage()), 10) << name.toStdString();
    }
    for (const QString& name : kColumnIcons)
        EXPECT_TRUE(Symbols::isKnown(name)) << name.toStdString();
}

// The attachment's open button shows a preview glyph, not a document cut in two.
TEST(Symbols, TheDocumentMagnifierReadsAsAPreview) {
    EXPECT_TRUE(Symbols::fileFor("doc.text.magnifyingglass").endsWith("/eye.svg"));
}

TEST(Symbols, EachIconTableDrawsDistinctPictures) {
    QHash<QByteArray, QString> byPicture;
    for (const QString& name : kColumnIcons) {
        const QByteArray hash = pictureHash(name);
        EXPECT_FALSE(byPicture.contains(hash))
            << name.toStdString() << " looks like " << byPicture.value(hash).toStdString();
        byPicture.insert(hash, name);
    }
}

TEST(Symbols, UnknownNamesDrawTheFallback) {
    for (const char* name : {"", "no.such.symbol", "Folder.Fill", " folder.fill"}) {
        EXPECT_FALSE(Symbols::isKnown(QString::fromLatin1(name)));
        EXPECT_EQ(Symbols::fileFor(QString::fromLatin1(name)), Symbols::fallbackFile());
    }
    EXPECT_TRUE(QFile::exists(Symbols::fallbackFile()));
    EXPECT_EQ(pictureHash("no.such.symbol"), pictureHash("another.unknown"));
    EXPECT_GT(opaquePixels(Symbols::pixmap("no.such.symbol", Qt::black, 24).toImage()), 10);
}

TEST(Symbols, PixmapIsTintedSizedAndScaled) {
    const QColor pink(204, 64, 140);
    const QPixmap pm = Symbols::pixmap("folder.fill", pink, 20, 2);
    EXPECT_EQ(pm.size(), QSize(40, 40));
    EXPECT_DOUBLE_EQ(pm.devicePixelRatio(), 2.0);
    const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    // Every fully covered pixel carries exactly the requested colour.
    int solid = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb px = img.pixel(x, y);
            if (qAlpha(px) == 255) {
                ++solid;
                EXPECT_EQ(QColor(px).rgb(), pink.rgb());
            }
        }
    EXPECT_GT(solid, 200);

    // Painting into a rect fits the symbol, centred, in the shorter side.
    QImage canvas(60, 30, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter p(&canvas);
    Symbols::paint(p, QRectF(0, 0, 60, 30), "folder.fill", Qt::black);
    p.end();
    EXPECT_EQ(qAlpha(canvas.pixel(5, 15)), 0);
    EXPECT_GT(qAlpha(canvas.pixel(30, 17)), 0);
    EXPECT_FALSE(Symbols::icon("plus", Qt::black, 16).isNull());
}

TEST(Symbols, HeavierWeightsThickenTheOutline) {
    auto coverage = [](const QImage& img) {
        qint64 sum = 0;
        int peak = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                sum += qAlpha(img.pixel(x, y));
                peak = std::max(peak, qAlpha(img.pixel(x, y)));
            }
        return std::pair<qint64, int>(sum, peak);
    };
    auto image = [](const char* name, int weight) {
        return Symbols::pixmap(QString::fromLatin1(name), Qt::white, 14, 1, weight)
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    };
    // The toolbar's "+" at 14 bold: its 1-unit outline straddles two pixels and never reaches full white.
    const auto [regularSum, regularPeak] = coverage(image("plus", Symbols::regular));
    const auto [semiboldSum, semiboldPeak] = coverage(image("plus", Symbols::semibold));
    const auto [boldSum, boldPeak] = coverage(image("plus", Symbols::bold));
    EXPECT_LT(regularPeak, 255);
    EXPECT_EQ(boldPeak, 255);
    EXPECT_GT(semiboldSum, regularSum * 13 / 10);
    EXPECT_GT(boldSum, semiboldSum);
    // The symbol keeps its place: heavier strokes grow around the same centre.
    const QImage bold = image("plus", Symbols::bold);
    EXPECT_EQ(qAlpha(bold.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(bold.pixel(7, 1)), qAlpha(bold.pixel(1, 7)));
    EXPECT_GT(Symbols::strokeWidth(14, Symbols::bold), Symbols::strokeWidth(14, Symbols::semibold));
}

TEST(Symbols, PaintingLandsOnWholePixels) {
    // A symbol placed at a fractional position is copied, not resampled into a blur.
    const QImage direct =
        Symbols::pixmap("plus", Qt::black, 14, 1, Symbols::bold).toImage().convertToFormat(QImage::Format_ARGB32);
    QImage canvas(30, 30, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter p(&canvas);
    Symbols::paint(p, QRectF(5.4, 5.4, 14, 14), "plus", Qt::black, Symbols::bold);
    p.end();
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x)
            ASSERT_EQ(qAlpha(canvas.pixel(5 + x, 5 + y)), qAlpha(direct.pixel(x, y))) << x << "," << y;
}
