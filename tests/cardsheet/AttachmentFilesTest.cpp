#include "cardsheet/AttachmentFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

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

TEST(AttachmentNames, OnlyUnsafeNamesAreRefused) {
    for (const QString& bad :
         {QString(), QString(" "), QString("."), QString(".."), QString("..."), QString("a/b"), QString("../x"),
          QString("a") + QChar(0) + "b", QString("a\nb"), QString("a\x7f"), QString("a") + QChar(0xD800) + "b"})
        EXPECT_FALSE(safeFileName(bad)) << bad.toStdString();

    const QString accents = QString(125, QChar(0xE9)) + ".txt"; // 254 bytes
    const struct {
        QString name, stored;
    } kept[] = {
        {"rapport final.pdf", "rapport final.pdf"},
        {"été..txt", "été..txt"},
        {"a\\b.txt", "a\\b.txt"},
        {".bashrc", "bashrc"},
        {"..\\x", "\\x"},
        {accents, accents},
        {QString(255, 'x'), QString(255, 'x')},
    };
    for (const auto& k : kept)
        EXPECT_EQ(safeFileName(k.name), k.stored) << k.name.toStdString();
}

// Invisible format characters could make a name read otherwise than it is ("facture\u202Efdp.exe" shows as
// "factureexe.pdf"): they are neither stored nor shown; the joiners of emoji sequences stay.
TEST(AttachmentNames, FormatCharactersAreRemoved) {
    const struct {
        QString name, clean;
    } names[] = {
        {QStringLiteral("facture\u202Efdp.exe"), "facturefdp.exe"},
        {QStringLiteral("\u2067rapport\u2069.pdf\u200E"), "rapport.pdf"},
        {QStringLiteral("\uFEFFdevis\u00AD\u200B.txt"), "devis.txt"},
        {QStringLiteral("drapeau ") + QString::fromUcs4(U"\U0001F3F4\U000E0067\U000E007F") + ".png",
         QStringLiteral("drapeau ") + QString::fromUcs4(U"\U0001F3F4") + ".png"},
        {QString::fromUcs4(U"famille \U0001F468\u200D\U0001F469.png"),
         QString::fromUcs4(U"famille \U0001F468\u200D\U0001F469.png")},
    };
    for (const auto& n : names) {
        EXPECT_EQ(withoutFormatCharacters(n.name), n.clean) << n.name.toStdString();
        EXPECT_EQ(safeFileName(n.name), n.clean) << n.name.toStdString();
    }
    EXPECT_FALSE(safeFileName(QStringLiteral("\u202E\u200B")));
}

// Names longer than the file system takes are shortened on a character boundary, keeping the extension,
// and so are the numbered forms of a long name that is taken.
TEST(AttachmentNames, LongNamesAreShortenedKeepingTheExtension) {
    const struct {
        QString name, ext;
    } cases[] = {
        {QString(296, 'x') + ".pdf", ".pdf"},
        {QString(150, QChar(0xE9)) + ".pdf", ".pdf"},
        {QString(90, QChar(0x6F22)) + ".tar", ".tar"}, // 3 bytes each
        {QString(70, QChar(0xD83D)).replace(QChar(0xD83D), QStringLiteral("\U0001F600")) + ".png", ".png"},
        {"a." + QString(300, 'y'), ""}, // not an extension
    };
    for (const auto& c : cases) {
        const auto stored = safeFileName(c.name);
        ASSERT_TRUE(stored) << c.name.toStdString();
        EXPECT_LE(stored->toUtf8().size(), 255);
        EXPECT_GE(stored->toUtf8().size(), 250);
        EXPECT_TRUE(stored->endsWith(c.ext));
        EXPECT_TRUE(c.name.startsWith(stored->left(stored->size() - c.ext.size())));
        EXPECT_EQ(QString::fromUtf8(stored->toUtf8()), *stored); // no half character
        EXPECT_FALSE(stored->back().isHighSurrogate());
        const QString second = uniqueName(*stored, [&](const QString& n) { return n == *stored; });
        EXPECT_LE(second.toUtf8().size(), 255);
        EXPECT_TRUE(second.endsWith(" (2)" + c.ext)) << second.toStdString();
    }
    // A smaller limit (a file system with shorter names).
    EXPECT_EQ(safeFileName(QString(200, 'z') + ".odt", 143)->toUtf8().size(), 143);
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

    setWriteLimitForTesting(1 << 20); // the disk fills up after one chunk
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
    for (const Case& c :
         {Case{"PHOTO.PNG", "photo"}, Case{"dessin.svg", "photo"}, Case{"a.pdf", "doc.richtext"},
          Case{"lettre.DOCX", "doc.text"}, Case{"data.csv", "tablecells"}, Case{"x.7z", "doc.zipper"},
          Case{"s.m4a", "music.note"}, Case{"clip.mov", "film"}, Case{"noext", "doc"}, Case{"archive.tar.xyz", "doc"}})
        EXPECT_EQ(attachmentIconName(std::nullopt, c.name), c.symbol) << c.name;
    // A stored type wins over the extension.
    EXPECT_TRUE(isImageAttachment(QString("image/png"), "scan"));
    EXPECT_FALSE(isImageAttachment(QString("application/pdf"), "scan.png"));
    // The eight listed extensions count as images even when no type is known for them.
    EXPECT_TRUE(isImageAttachment(std::nullopt, "photo.heic"));
}

} // namespace

TEST_F(AttachmentFilesTest, NamesOnceRefusedAreStoredAndCopiesStayApart) {
    const QString folder = cardDirectory(checklistId, cardId);
    const QString longName = QString(251, 'n') + ".txt";
    for (const QString& name : {QString(".env"), QString("a\\b.txt"), longName, longName}) {
        const CopyResult r = copyIntoFolder(write(tmp.path() + "/src/" + name, name.toUtf8()), folder, name);
        ASSERT_TRUE(r.ok()) << name.toStdString();
        EXPECT_EQ(read(r.path), name.toUtf8());
    }
    const QStringList stored = entries(folder);
    ASSERT_EQ(stored.size(), 4);
    EXPECT_TRUE(stored.contains("env"));
    EXPECT_TRUE(stored.contains("a\\b.txt"));
    EXPECT_TRUE(stored.contains(longName));
    EXPECT_TRUE(stored.contains(QString(247, 'n') + " (2).txt"));
}

// A file shortened or lengthened while it is copied is refused with a reason, and leaves nothing.
TEST_F(AttachmentFilesTest, AFileThatChangesDuringTheCopyIsRefused) {
    const QString folder = cardDirectory(checklistId, cardId);
    const QString src = tmp.path() + "/growing.bin";
    for (qint64 newSize : {qint64(1) << 20, qint64(5) << 20}) {
        write(src, QByteArray(3 << 20, 'g'));
        int chunks = 0;
        setChunkHookForTesting([&] {
            if (++chunks == 1) {
                ASSERT_TRUE(QFile::resize(src, newSize));
            }
        });
        EXPECT_EQ(copyIntoFolder(src, folder, "growing.bin").error, CopyError::changedSource) << newSize;
        setChunkHookForTesting({});
        EXPECT_TRUE(entries(folder).isEmpty());
    }
    write(src, QByteArray(3 << 20, 'g'));
    EXPECT_TRUE(copyIntoFolder(src, folder, "growing.bin").ok());
}

// A sparse file is copied with its holes: same bytes, no more blocks than its data.
TEST_F(AttachmentFilesTest, HolesOfASparseFileStayHoles) {
    const QString src = tmp.path() + "/disk.img";
    {
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(64 << 20));
        f.seek(8 << 20);
        f.write(QByteArray(4096, 'd'));
    }
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(src).constData(), &st), 0);
    if (st.st_blocks * 512 > (1 << 20))
        GTEST_SKIP() << "this file system does not keep holes";
    const CopyResult r = copyIntoFolder(src, cardDirectory(checklistId, cardId), "disk.img");
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(::stat(QFile::encodeName(r.path).constData(), &st), 0);
    EXPECT_EQ(st.st_size, 64 << 20);
    EXPECT_LE(st.st_blocks * 512, 1 << 20);
    EXPECT_EQ(read(r.path), read(src));
}
