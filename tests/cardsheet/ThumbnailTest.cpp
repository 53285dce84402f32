#include "cardsheet/AttachmentJobs.h"
#include "cardsheet/CardSheet.h"
#include "cardsheet/CardSheetWidgets.h"
#include "cardsheet/CardEdits.h"
#include "CardFixture.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

namespace {

class ThumbnailTest : public CardFixture {
protected:
    void SetUp() override {
        CardFixture::SetUp();
        services->thumbnails.clear();
    }
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.path() + "/" + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    QByteArray png(int w, int h) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::darkGreen);
        QByteArray out;
        QBuffer buf(&out);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "PNG");
        return out;
    }
    // Requests a thumbnail and waits for the answer.
    QImage thumbnail(const QString& path) {
        QObject receiver;
        bool answered = false;
        QImage result = services->thumbnails.request(path, &receiver, [&](const QImage& img) {
            result = img;
            answered = true;
        });
        if (!result.isNull() || services->thumbnails.hasFailed(path))
            return result;
        EXPECT_TRUE(testsupport::waitFor([&] { return answered; }, 5000));
        return result;
    }
};

TEST_F(ThumbnailTest, DecodedOnceThenCachedUntilTheFileChanges) {
    const QString path = write("photo.png", png(960, 480));
    const int before = services->thumbnails.decodeCount();
    const QImage first = thumbnail(path);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), QSize(240, 120));
    EXPECT_FALSE(thumbnail(path).isNull());
    EXPECT_EQ(services->thumbnails.decodeCount(), before + 1);

    write("photo.png", png(100, 400)); // another size on disk: decoded again
    EXPECT_EQ(thumbnail(path).size(), QSize(60, 240));
    EXPECT_EQ(services->thumbnails.decodeCount(), before + 2);
}

TEST_F(ThumbnailTest, BrokenOrMislabelledImagesFallBackToTheSymbol) {
    QByteArray truncated = png(800, 800);
    truncated.truncate(truncated.size() / 3);
    const QString cut = write("coupee.png", truncated);
    const QString text = write("faux.jpg", "ceci n’est pas une image");
    EXPECT_TRUE(thumbnail(cut).isNull());
    EXPECT_TRUE(thumbnail(text).isNull());
    EXPECT_TRUE(services->thumbnails.hasFailed(text));

    // In the sheet: a missing copy and a mislabelled file show the "photo" tile; opening the missing
    // copy says so instead of handing nothing to the desktop.
    auto c = todo->cards()[0];
    CardEdits edits(context(), checklist);
    edits.addFile(c, "disparue.png", dir.path() + "/Attachments/disparue.png");
    edits.addFile(c, "faux.jpg", text);
    CardSheet sheet(*services, checklist);
    sheet.openCard(c);
    QTest::qWait(100);
    flush();
    const auto previews = sheet.findChildren<cardsheetui::AttachmentPreview*>();
    ASSERT_EQ(previews.size(), 2);
    for (auto* p : previews) {
        EXPECT_EQ(p->symbol(), "photo");
        EXPECT_FALSE(p->showsThumbnail());
    }
    sheet.openFileAttachment(c->attachments()[0]);
    EXPECT_TRUE(DialogSeam::openedUrls().isEmpty());
    ASSERT_FALSE(DialogSeam::shownMessages().isEmpty());
    EXPECT_EQ(DialogSeam::shownMessages().last().text, "Ce fichier est introuvable.");
}

// The jobs' objects can end while their workers still run (the entry's at the end of the run): they wait
// for them, a copy stops and leaves no file, and nothing the workers posted reaches them afterwards.
TEST_F(ThumbnailTest, JobsEndingWhileTheirWorkersRunWaitForThemAndLeaveNothing) {
    const QString photo = write("grande.png", png(2400, 1600));
    const QString source = write("gros.bin", QByteArray(32 << 20, 'x'));
    const ChecklistCardPtr c = todo->cards()[0];
    int answers = 0;
    {
        ThumbnailCache cache;
        QObject receiver;
        EXPECT_TRUE(cache.request(photo, &receiver, [&](const QImage&) { ++answers; }).isNull());
        AttachmentImports imports;
        imports.start({checklist->id(), c->id(), source}, [&](const QString&, const QString&) {
            ++answers;
            return true;
        });
        EXPECT_EQ(imports.runningCount(), 1);
    }
    testsupport::flushEvents();
    EXPECT_EQ(answers, 0);
    const QString folder = attachmentfiles::cardDirectory(checklist->id(), c->id());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

} // namespace
