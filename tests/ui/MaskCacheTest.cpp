#include "ui/MaskCache.h"
#include "ui/Symbols.h"

#include <QFile>
#include <QPixmapCache>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class MaskCacheTest : public ::testing::Test {
protected:
    void SetUp() override { MaskCache::setPath(file()); }
    void TearDown() override { MaskCache::setPath(dir.path() + "/unused"); }
    QString file() const { return dir.path() + "/cache/masks.cache"; }
    QByteArray readFile() const {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QByteArray& data) const {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    static QImage ramp(int w, int h) {
        QImage img(w, h, QImage::Format_Alpha8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.scanLine(y)[x] = uchar(x * 7 + y * 13);
        return img;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(MaskCacheTest, MasksSurviveARestartAndADamagedFileIsIgnored) {
    MaskCache::insert("a", ramp(5, 3));
    MaskCache::insert("b", ramp(16, 16));
    ASSERT_TRUE(MaskCache::save());
    const QByteArray written = readFile();

    MaskCache::setPath(file()); // as the next run finds it
    EXPECT_EQ(MaskCache::find("a"), ramp(5, 3));
    EXPECT_EQ(MaskCache::find("b"), ramp(16, 16));
    EXPECT_TRUE(MaskCache::find("c").isNull());

    // A start that uses only "a" and draws "d" leaves just those; what is drawn after saving is not kept.
    MaskCache::setPath(file());
    MaskCache::find("a");
    MaskCache::insert("d", ramp(3, 3));
    ASSERT_TRUE(MaskCache::save());
    MaskCache::insert("e", ramp(3, 3));
    ASSERT_TRUE(MaskCache::save());
    MaskCache::setPath(file());
    EXPECT_FALSE(MaskCache::find("a").isNull());
    EXPECT_FALSE(MaskCache::find("d").isNull());
    EXPECT_TRUE(MaskCache::find("b").isNull());
    EXPECT_TRUE(MaskCache::find("e").isNull());

    // Cut short, or a length that asks for far more than the file holds: nothing is taken from it.
    for (const QByteArray& damaged :
         {written.left(written.size() - 1), written.left(20), MaskCache::header() + QByteArray("\xff\xff\xff\x7f", 4),
          QByteArray("not a cache")}) {
        writeFile(damaged);
        MaskCache::setPath(file());
        EXPECT_TRUE(MaskCache::find("a").isNull());
        EXPECT_TRUE(MaskCache::find("b").isNull());
    }
    // Written anew as soon as something is added.
    MaskCache::insert("c", ramp(2, 2));
    ASSERT_TRUE(MaskCache::save());
    MaskCache::setPath(file());
    EXPECT_EQ(MaskCache::find("c"), ramp(2, 2));
}

// After an upgrade the masks kept by the old drawing code must not come back: a file of another format,
// version or drawing revision is ignored, and written anew even when this start draws nothing.
TEST_F(MaskCacheTest, AFileFromOtherDrawingCodeIsIgnoredAndRewritten) {
    MaskCache::insert("a", ramp(4, 4));
    ASSERT_TRUE(MaskCache::save());
    const QByteArray written = readFile();
    const QByteArray head = MaskCache::header();
    ASSERT_TRUE(written.startsWith(head));
    const QByteArray records = written.mid(head.size());
    const QByteArray revision = "drawing=" + QByteArray::number(MaskCache::drawingRevision);

    struct Case {
        const char* name;
        QByteArray header;
        bool kept;
    };
    const QList<Case> cases{
        {"this version", head, true},
        {"first format", "TOLMEK-MASKS 1\n", false},
        {"other version", QByteArray(head).replace("version=", "version=0."), false},
        {"other drawing", QByteArray(head).replace(revision, revision + "0"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(c.header + records);
        MaskCache::setPath(file());
        EXPECT_EQ(MaskCache::find("a").isNull(), !c.kept);
        ASSERT_TRUE(MaskCache::save());
        EXPECT_EQ(readFile(), c.kept ? written : head);
    }
}

TEST_F(MaskCacheTest, ASymbolFromTheCacheLooksLikeOneDrawnAnew) {
    QPixmapCache::clear();
    const QImage drawn = Symbols::pixmap("plus", Qt::white, 14, 1.0, 700).toImage();
    ASSERT_TRUE(MaskCache::save());
    MaskCache::setPath(file());
    QPixmapCache::clear();
    const QImage cached = Symbols::pixmap("plus", Qt::white, 14, 1.0, 700).toImage();
    EXPECT_EQ(cached, drawn);
    EXPECT_EQ(Symbols::pixmap("plus", Qt::red, 14, 1.0, 700).toImage().pixelColor(7, 7).red(), 255)
        << "the colour is applied to the kept coverage";
}
