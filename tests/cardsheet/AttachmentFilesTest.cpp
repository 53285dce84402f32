#include "cardsheet/AttachmentFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace attachmentfiles;

QString write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}
QByteArray read(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
// Every entry of a folder, hidden ones included.
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class AttachmentFilesTest : public ::testing::Test {
protected:
    void SetUp() override { setAttachmentsDirectoryForTesting(tmp.path() + "/Attachments"); }
    void TearDown() override {
        setWriteLimitForTesting(-1);
        setAttachmentsDirectoryForTesting({});
    }
    QTemporaryDir tmp;
    QUuid checklistId = QUuid::createUuid();
    QUuid cardId = QUuid::createUuid();
};

TEST(AttachmentNames, UnsafeNamesAreRefused) {
    for (const QString& bad : {QString(), QString(" "), QString("."), QString(".."), QString(".hidden"),
                               QString("a/b"), QString("..\\x"), QString("a") + QChar(0) + "b", QString("a\nb"),
                               QString(300, 'x')})
        EXPECT_FALSE(safeFileName(bad)) << bad.toStdString();
    EXPECT_EQ(safeFileName("rapport final.pdf"), "rapport final.pdf");
    EXPECT_EQ(safeFileName("été..txt"), "été..txt");
}

TEST(AttachmentNames, UniqueNameNumbersBeforeTheExtension) {
    QSet<QString> taken{"a.txt", "a (2).txt", "notes"};
    auto isTaken = [&](const QString& n) { return taken.contains(n); };
    EXPECT_EQ(uniqueName("b.txt", isTaken), "b.txt");
    EXPECT_EQ(uniqueName("a.txt", isTaken), "a (3).txt");
    EXPECT_EQ(uniqueName("notes", isTaken), "notes (2)");
}

TEST_F(AttachmentFilesTest, CopiesIntoTheCardFolderAndNeverOverwrites) {
    const QString folder = cardDirectory(checklistId, cardId);
    EXPECT_TRUE(folder.endsWith("/Attachments/" + checklistId.toString(QUuid::WithoutBraces).toUpper() + "/" +
                                cardId.toString(QUuid::WithoutBraces).toUpper()));

    const QString first = write(tmp.path() + "/one/a.txt", "first");
    const QString second = write(tmp.path() + "/two/a.txt", "second");
    const CopyResult r1 = copyIntoFolder(first, folder, "a.txt");
    ASSERT_TRUE(r1.ok());
    EXPECT_EQ(r1.path, QDir(folder).canonicalPath() + "/a.txt");
    const CopyResult r2 = copyIntoFolder(second, folder, "a.txt");
    ASSERT_TRUE(r2.ok());
    EXPECT_EQ(QFileInfo(r2.path).fileName(), "a (2).txt");
    EXPECT_EQ(read(r1.path), "first");
    EXPECT_EQ(read(r2.path), "second");

    // Picking the stored copy itself leaves it untouched and makes another copy.
    const CopyResult again = copyIntoFolder(r1.path, folder, "a.txt");
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(read(r1.path), "first");
    EXPECT_EQ(read(again.path), "first");
    EXPECT_EQ(entries(folder), (QStringList{"a (2).txt", "a (3).txt", "a.txt"}));
    EXPECT_TRUE(isInsideAttachments(r1.path));
    EXPECT_FALSE(isInsideAttachments(first));
}

TEST_F(AttachmentFilesTest, AFailedCopyLeavesNothingBehind) {
    const QString folder = cardDirectory(checklistId, cardId);
    const QString big = write(tmp.path() + "/big.bin", QByteArray(3 << 20, 'x'));
    const QString kept = write(folder + "/big.bin", "earlier copy");

    setWriteLimitForTesting(1 << 20);   // the disk fills up after one chunk
    const CopyResult full = copyIntoFolder(big, folder, "big.bin");
    EXPECT_EQ(full.error, CopyError::write);
    EXPECT_EQ(entries(folder), QStringList{"big.bin"});
    EXPECT_EQ(read(kept), "earlier copy");
    setWriteLimitForTesting(-1);

    std::atomic_bool cancel{true};
    EXPECT_EQ(copyIntoFolder(big, folder, "big.bin", &cancel).error, CopyError::cancelled);
    EXPECT_EQ(copyIntoFolder(tmp.path() + "/missing.txt", folder, "missing.txt").error, CopyError::unreadableSource);
    EXPECT_EQ(copyIntoFolder(tmp.path(), folder, "dir").error, CopyError::unreadableSource);
    EXPECT_EQ(copyIntoFolder(big, folder, "../escape.bin").error, CopyError::unsafeName);
    EXPECT_EQ(entries(folder), QStringList{"big.bin"});
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(folder).absolutePath() + "/escape.bin"));
}

TEST_F(AttachmentFilesTest, ACardFolderLinkedOutsideTheAttachmentsIsRefused) {
    const QString outside = tmp.path() + "/elsewhere";
    QDir().mkpath(outside);
    const QString folder = cardDirectory(checklistId, cardId);
    QDir().mkpath(QFileInfo(folder).absolutePath());
    ASSERT_TRUE(QFile::link(outside, folder));
    const QString src = write(tmp.path() + "/a.txt", "x");
    EXPECT_EQ(copyIntoFolder(src, folder, "a.txt").error, CopyError::folder);
    EXPECT_TRUE(entries(outside).isEmpty());
}

TEST(AttachmentKinds, LinksAreRecognisedByTheirPathAlone) {
    EXPECT_TRUE(isLinkPath("HTTPS://example.org"));
    EXPECT_TRUE(isLinkPath("http://"));
    EXPECT_FALSE(isLinkPath("ftp://example.org"));
    EXPECT_FALSE(isLinkPath("/home/u/http://x"));
}

TEST(AttachmentKinds, SymbolsFollowTheKindOfFile) {
    struct Case {
        const char* name;
        const char* symbol;
    };
    for (const Case& c : {Case{"PHOTO.PNG", "photo"}, Case{"dessin.svg", "photo"}, Case{"a.pdf", "doc.richtext"},
                          Case{"lettre.DOCX", "doc.text"}, Case{"data.csv", "tablecells"}, Case{"x.7z", "doc.zipper"},
                          Case{"s.m4a", "music.note"}, Case{"clip.mov", "film"}, Case{"noext", "doc"},
                          Case{"archive.tar.xyz", "doc"}})
        EXPECT_EQ(attachmentIconName(std::nullopt, c.name), c.symbol) << c.name;
    // A stored type wins over the extension.
    EXPECT_TRUE(isImageAttachment(QString("image/png"), "scan"));
    EXPECT_FALSE(isImageAttachment(QString("application/pdf"), "scan.png"));
    // The eight listed extensions count as images even when no type is known for them.
    EXPECT_TRUE(isImageAttachment(std::nullopt, "photo.heic"));
}

} // namespace
