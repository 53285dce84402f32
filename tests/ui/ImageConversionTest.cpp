#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/ImageFixtures.h"
#include "ui/ImageConversion.h"

using ImageConversion::Outcome;

namespace {

struct Converted {
    Outcome outcome;
    QByteArray jpeg;
    QImage image; // the JPEG decoded again
};

Converted convert(const QString& path) {
    const ImageConversion::Result r = ImageConversion::makeAvatarData(path, 512, 0.82);
    Converted c{r.outcome, r.jpeg, {}};
    if (r.ok())
        c.image = QImage::fromData(r.jpeg, "JPEG");
    return c;
}

bool near(QColor a, QColor b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
        std::abs(a.blue() - b.blue()) <= tolerance;
}

class ImageConversionTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(ImageConversionTest, LargeImagesShrinkToFiveHundredTwelveAndSmallOnesKeepTheirSize) {
    ASSERT_TRUE(fixtures::savePng(fixtures::twoHalves(4000, 3000, Qt::red, Qt::blue), path("big.png")));
    ASSERT_TRUE(fixtures::twoHalves(3000, 4000, Qt::green, Qt::white).save(path("tall.jpg"), "JPEG", 90));
    ASSERT_TRUE(fixtures::savePng(fixtures::twoHalves(300, 200, Qt::red, Qt::blue), path("small.png")));
    ASSERT_TRUE(fixtures::twoHalves(1, 1, Qt::red, Qt::red).save(path("dot.png"), "PNG"));
    ASSERT_TRUE(fixtures::twoHalves(900, 600, Qt::red, Qt::blue).save(path("photo.tiff"), "TIFF"));

    const Converted big = convert(path("big.png"));
    ASSERT_EQ(big.outcome, Outcome::converted);
    EXPECT_TRUE(big.jpeg.startsWith("\xFF\xD8"));
    EXPECT_EQ(big.image.size(), QSize(512, 384));
    EXPECT_TRUE(near(big.image.pixelColor(10, 192), Qt::red));
    EXPECT_TRUE(near(big.image.pixelColor(500, 192), Qt::blue));

    EXPECT_EQ(convert(path("tall.jpg")).image.size(), QSize(384, 512));
    EXPECT_EQ(convert(path("small.png")).image.size(), QSize(300, 200));
    EXPECT_EQ(convert(path("dot.png")).image.size(), QSize(1, 1));
    EXPECT_EQ(convert(path("photo.tiff")).image.size(), QSize(512, 341));
}

TEST_F(ImageConversionTest, ExifOrientationIsApplied) {
    // Stored landscape, red on the left; orientation 6 shows the stored left edge at the top.
    for (QSize stored : {QSize(400, 200), QSize(1600, 800)}) {
        const QString file = path(QStringLiteral("rotated-%1.jpg").arg(stored.width()));
        ASSERT_TRUE(fixtures::writeFile(
            file,
            fixtures::jpegWithOrientation(fixtures::twoHalves(stored.width(), stored.height(), Qt::red, Qt::blue), 6)));
        const Converted c = convert(file);
        ASSERT_EQ(c.outcome, Outcome::converted) << stored.width();
        const QSize expected = ImageConversion::fittedSize(stored.transposed(), 512);
        EXPECT_EQ(c.image.size(), expected);
        EXPECT_TRUE(near(c.image.pixelColor(expected.width() / 2, 5), Qt::red));
        EXPECT_TRUE(near(c.image.pixelColor(expected.width() / 2, expected.height() - 5), Qt::blue));
        // The avatar carries no orientation tag of its own: any reader shows it upright.
        fixtures::writeFile(path("out.jpg"), c.jpeg);
        QImageReader plain(path("out.jpg"));
        EXPECT_EQ(plain.transformation(), QImageIOHandler::TransformationNone);
    }
}

TEST_F(ImageConversionTest, HeicIsDecodedWithLibheif) {
    const QString file = path("photo.heic");
    if (!fixtures::writeHeic(fixtures::twoHalves(640, 480, Qt::red, Qt::blue), file))
        GTEST_SKIP() << "no HEVC encoder in this libheif";
    ASSERT_TRUE(ImageConversion::looksLikeHeif(fixtures::readFile(file).left(64)));
    const Converted c = convert(file);
    ASSERT_EQ(c.outcome, Outcome::converted);
    EXPECT_EQ(c.image.size(), QSize(512, 384));
    EXPECT_TRUE(near(c.image.pixelColor(20, 190), Qt::red, 60));
    EXPECT_TRUE(near(c.image.pixelColor(490, 190), Qt::blue, 60));

    // Cut in half, it gives nothing.
    const QByteArray bytes = fixtures::readFile(file);
    ASSERT_TRUE(fixtures::writeFile(path("cut.heic"), bytes.left(bytes.size() / 2)));
    EXPECT_EQ(convert(path("cut.heic")).outcome, Outcome::unreadable);
}

TEST_F(ImageConversionTest, TransparencyIsFlattenedOnWhite) {
    QImage image(300, 200, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 50; y < 150; ++y)
        for (int x = 100; x < 200; ++x)
            image.setPixelColor(x, y, Qt::red);
    ASSERT_TRUE(fixtures::savePng(image, path("clear.png")));
    const Converted c = convert(path("clear.png"));
    ASSERT_EQ(c.outcome, Outcome::converted);
    EXPECT_TRUE(near(c.image.pixelColor(10, 10), Qt::white, 8));
    EXPECT_TRUE(near(c.image.pixelColor(150, 100), Qt::red));
}

TEST_F(ImageConversionTest, DamagedOrForeignFilesGiveNothing) {
    const QImage photo = fixtures::twoHalves(800, 600, Qt::red, Qt::blue);
    QByteArray jpeg, png;
    ASSERT_TRUE(photo.save(path("full.jpg"), "JPEG", 90));
    ASSERT_TRUE(photo.save(path("full.png"), "PNG"));
    jpeg = fixtures::readFile(path("full.jpg"));
    png = fixtures::readFile(path("full.png"));
    fixtures::writeFile(path("cut.jpg"), jpeg.left(jpeg.size() * 2 / 3));
    fixtures::writeFile(path("cut.png"), png.left(png.size() / 2));
    fixtures::writeFile(path("notes.png"), "Ceci n’est pas une image.\n");
    fixtures::writeFile(path("empty.jpg"), {});

    for (const char* name : {"cut.jpg", "cut.png", "notes.png", "empty.jpg", "missing.png"}) {
        const ImageConversion::Result r = ImageConversion::makeAvatarData(path(name), 512, 0.82);
        EXPECT_EQ(r.outcome, Outcome::unreadable) << name;
        EXPECT_TRUE(r.jpeg.isEmpty()) << name;
    }
    EXPECT_EQ(ImageConversion::makeAvatarData(dir.path(), 512, 0.82).outcome, Outcome::unreadable);
}

TEST_F(ImageConversionTest, OversizedImagesAreRefusedBeforeDecoding) {
    // 30,000 × 30,000 declared in the header: 900 megapixels, never allocated.
    ASSERT_TRUE(fixtures::writeFile(path("huge.png"), fixtures::pngHeaderOnly(30000, 30000)));
    ASSERT_EQ(QImageReader(path("huge.png")).size(), QSize(30000, 30000));
    EXPECT_EQ(convert(path("huge.png")).outcome, Outcome::tooLarge);

    // Just over 100 MB on disk (sparse): refused without reading it.
    QFile big(path("big.png"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(fixtures::pngHeaderOnly(10, 10));
    ASSERT_TRUE(big.resize(ImageConversion::maxFileBytes + 1));
    big.close();
    EXPECT_EQ(convert(path("big.png")).outcome, Outcome::tooLarge);
}

TEST(ImageConversionFit, FittedSizeKeepsProportionsAndNeverGrows) {
    EXPECT_EQ(ImageConversion::fittedSize({4000, 3000}, 512), QSize(512, 384));
    EXPECT_EQ(ImageConversion::fittedSize({300, 200}, 512), QSize(300, 200));
    EXPECT_EQ(ImageConversion::fittedSize({512, 512}, 512), QSize(512, 512));
    EXPECT_EQ(ImageConversion::fittedSize({100000, 10}, 512), QSize(512, 1));
}
