#include "StoreFixture.h"

#include "support/TestSupport.h"

#include <QFile>

namespace {

// Bytes this process has read through system calls so far.
qint64 bytesRead() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return 0;
}

} // namespace

// Blocks holding pictures of several MB: opening their document reads neither the pictures nor every page
// of them to reach the columns stored after them; those follow, and writes made meanwhile win.
TEST_F(StoreTest, LargeRowsOpenWithoutReadingTheirPictures) {
    auto p = project("P");
    auto d = doc(p, "d");
    for (int i = 0; i < 6; ++i) {
        auto b = block(d, i, QStringLiteral("b%1").arg(i));
        b->setImageData(QByteArray(4 * 1024 * 1024, char('a' + i)));
        b->setIsCompleted(i % 2 == 0);
        if (i == 5)
            b->setDeletedAt(at(9));
    }
    auto small = block(d, 6, "small");
    small->setImageData(QByteArray(100, 's'));
    small->setIsCompleted(true);
    reopen();

    const qint64 before = bytesRead();
    const auto blocks = ctx().fetch<Doc>()[0]->blocks();
    ASSERT_EQ(blocks.size(), 7u);
    EXPECT_LT(bytesRead() - before, 2 * 1024 * 1024);
    EXPECT_EQ(ctx().blobsRead(), 0);

    // A small row is whole at once; a large one knows its order, content and picture without reading it.
    EXPECT_TRUE(blocks[6]->isCompleted());
    EXPECT_TRUE(blocks[0]->isColumnPending(DocBlock::columnOf(&DocBlockFields::isCompleted)));
    EXPECT_EQ(blocks[3]->content(), "b3");
    EXPECT_TRUE(blocks[3]->hasImageData());
    EXPECT_EQ(blocks[3]->doc(), ctx().fetch<Doc>()[0]);
    EXPECT_EQ(ctx().blobsRead(), 0);

    // A change computed from a column still to come reads it first, at once.
    ASSERT_TRUE(blocks[2]->isColumnPending(DocBlock::columnOf(&DocBlockFields::isCompleted)));
    ctx().completeRowNow(blocks[2]);
    EXPECT_TRUE(blocks[2]->isCompleted());
    EXPECT_FALSE(blocks[2]->isColumnPending(DocBlock::columnOf(&DocBlockFields::deletedAt)));

    blocks[1]->setIsCompleted(true); // written before the file's value arrives
    for (const auto& b : blocks)
        ctx().completeRow(b);
    testsupport::waitFor([&] { return !blocks[0]->isColumnPending(DocBlock::columnOf(&DocBlockFields::updatedAt)); });
    EXPECT_TRUE(blocks[0]->isCompleted());
    EXPECT_TRUE(blocks[1]->isCompleted());
    EXPECT_EQ(blocks[2]->createdAt(), at(0));
    EXPECT_TRUE(blocks[5]->deletedAt().has_value());
    EXPECT_FALSE(blocks[4]->deletedAt().has_value());
    ASSERT_TRUE(ctx().save());
    EXPECT_EQ(sql("SELECT group_concat(isCompleted) FROM DocBlock ORDER BY \"order\"").value(0), "1,1,1,0,1,0,1");
    EXPECT_EQ(sql("SELECT count(*) FROM DocBlock WHERE createdAt > 0 AND deletedAt IS NULL").value(0), "6");

    // The bytes read off the thread are the file's; a released picture is read again when asked for.
    EXPECT_EQ(blocks[3]->imageDataReader()()->at(0), 'd');
    EXPECT_EQ(blocks[3]->imageData()->size(), 4 * 1024 * 1024);
    blocks[3]->releaseImageData();
    EXPECT_EQ(blocks[3]->imageData()->at(0), 'd');
    blocks[3]->setImageData(QByteArray("new"));
    blocks[3]->releaseImageData(); // unsaved: kept
    EXPECT_EQ(blocks[3]->imageDataReader()(), QByteArray("new"));
}
