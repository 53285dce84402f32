#include "EditorFixture.h"

#include "editor/BlockImages.h"
#include "editor/BlockRow.h"
#include "editor/DocEditorView.h"
#include "editor/ImageBlockEditor.h"
#include "support/ImageFixtures.h"

#include <QApplication>
#include <QBuffer>
#include <QDragEnterEvent>
#include <QImageReader>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>

namespace {

struct Decoded {
    QByteArray format;
    QSize size;
    QImage image;
};

Decoded decode(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    Decoded d;
    d.format = reader.format();
    d.image = reader.read();
    d.size = d.image.size();
    return d;
}

} // namespace

class ImageBlockTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        image = block(0, QStringLiteral("image"));
        context().save();
        view = std::make_unique<ImprovedDocEditorView>(services(), doc);
        view->resize(1000, 800);
        view->show();
        view->toggleEditMode();
        testsupport::flushEvents();
        editor = view->rowFor(image->id())->imageEditor();
        ASSERT_TRUE(editor);
    }
    void TearDown() override {
        view.reset();
        EditorFixture::TearDown();
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = env->dataPath() + QLatin1Char('/') + name;
        fixtures::writeFile(path, bytes);
        return path;
    }
    QString png(const QString& name, int w, int h) {
        const QString path = env->dataPath() + QLatin1Char('/') + name;
        fixtures::savePng(fixtures::twoHalves(w, h, Qt::red, Qt::blue), path);
        return path;
    }
    void pick(const QString& path) {
        DialogSeam::pushFileName(path);
        editor->pickImage();
        ASSERT_TRUE(testsupport::waitFor([this] { return !editor->isConverting(); }, 10000));
    }

    DocBlockPtr image;
    std::unique_ptr<ImprovedDocEditorView> view;
    ImageBlockEditor* editor = nullptr;
};

TEST_F(ImageBlockTest, WideImagesAreNarrowedToPngAndOthersKeptAsTiff) {
    EXPECT_FALSE(editor->showsPreview());
    pick(png(QStringLiteral("wide.png"), 3840, 2160));
    ASSERT_TRUE(image->imageData());
    Decoded stored = decode(*image->imageData());
    EXPECT_EQ(stored.format, QByteArray("png"));
    EXPECT_EQ(stored.size, QSize(1920, 1080));
    EXPECT_TRUE(editor->showsPreview());
    EXPECT_FALSE(context().hasChanges());

    pick(png(QStringLiteral("exact.png"), 1920, 600));
    stored = decode(*image->imageData());
    EXPECT_EQ(stored.format, QByteArray("tiff"));
    EXPECT_EQ(stored.size, QSize(1920, 600));
    EXPECT_EQ(stored.image.pixelColor(10, 10), QColor(Qt::red));
}

TEST_F(ImageBlockTest, TheOrientationIsAppliedBeforeTheWidthLimit) {
    // Stored 2400 × 1000 but turned a quarter: upright it is 1000 wide, so it is not narrowed.
    const QString path = file(QStringLiteral("turned.jpg"),
                              fixtures::jpegWithOrientation(fixtures::twoHalves(2400, 1000, Qt::red, Qt::blue), 6));
    pick(path);
    ASSERT_TRUE(image->imageData());
    const Decoded stored = decode(*image->imageData());
    EXPECT_EQ(stored.size, QSize(1000, 2400));
}

TEST_F(ImageBlockTest, HeicPicturesAreTaken) {
    const QString path = env->dataPath() + QStringLiteral("/photo.heic");
    if (!fixtures::writeHeic(fixtures::twoHalves(64, 32, Qt::red, Qt::blue), path))
        GTEST_SKIP() << "no HEVC encoder";
    pick(path);
    ASSERT_TRUE(image->imageData());
    EXPECT_EQ(decode(*image->imageData()).size, QSize(64, 32));
}

TEST_F(ImageBlockTest, RefusedOrUnreadableFilesChangeNothing) {
    const QDateTime stamp = image->updatedAt();
    pick(file(QStringLiteral("notes.txt"), "pas une image"));
    pick(file(QStringLiteral("huge.png"), fixtures::pngHeaderOnly(20000, 20000)));
    EXPECT_EQ(editor->message(), QStringLiteral("Image trop grande."));
    DialogSeam::pushFileNames({});
    editor->pickImage();
    EXPECT_FALSE(image->imageData());
    EXPECT_EQ(image->updatedAt(), stamp);

    // An image in place stays when a later file is refused; "Supprimer" empties the block at once.
    pick(png(QStringLiteral("small.png"), 40, 30));
    ASSERT_TRUE(image->imageData());
    const QByteArray kept = *image->imageData();
    pick(file(QStringLiteral("broken.png"), kept.left(kept.size() / 3)));
    EXPECT_EQ(image->imageData(), OptData(kept));
    editor->removeButton()->click();
    EXPECT_FALSE(image->imageData());
    EXPECT_FALSE(editor->showsPreview());
    EXPECT_FALSE(context().hasChanges());
}

// Stored bytes that do not decode: the editor says so, as the read-only view does, and takes a new picture.
TEST_F(ImageBlockTest, UndecodableStoredBytesAreSaidInEditModeToo) {
    view.reset();
    image->setImageData(QByteArray("\x89PNG\r\n\x1a\n pas une image"));
    context().save();
    view = std::make_unique<ImprovedDocEditorView>(services(), doc);
    view->resize(1000, 800);
    view->show();
    view->toggleEditMode();
    editor = view->rowFor(image->id())->imageEditor();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(
        testsupport::waitFor([this] { return editor->message() == QStringLiteral("Image non disponible"); }, 10000))
        << editor->message().toStdString();
    EXPECT_FALSE(editor->showsPreview());
    pick(png(QStringLiteral("neuve.png"), 40, 30));
    ASSERT_TRUE(testsupport::waitFor([this] { return editor->showsPreview(); }, 10000));
    EXPECT_EQ(editor->message(), QString());
}

TEST_F(ImageBlockTest, PastingAPictureFillsTheBlock) {
    QMimeData text;
    text.setText(QStringLiteral("du texte"));
    EXPECT_FALSE(editor->paste(&text));
    QMimeData picture;
    picture.setImageData(fixtures::twoHalves(3000, 300, Qt::red, Qt::blue));
    EXPECT_TRUE(editor->paste(&picture));
    ASSERT_TRUE(testsupport::waitFor([this] { return !editor->isConverting(); }, 10000));
    ASSERT_TRUE(image->imageData());
    EXPECT_EQ(decode(*image->imageData()).size, QSize(1920, 192));
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(ImageBlockTest, APictureDroppedOnTheDocumentBecomesABlockOnlyWhenItDecodes) {
    const QString good = png(QStringLiteral("drop.png"), 64, 48);
    const QString bad = file(QStringLiteral("drop.txt"), "texte");
    int finished = 0;
    QObject::connect(view.get(), &ImprovedDocEditorView::imageDropFinished, view.get(), [&] { ++finished; });
    view->addImageFromFile(bad);
    ASSERT_TRUE(testsupport::waitFor([&] { return finished == 1; }, 10000));
    EXPECT_EQ(view->cachedBlocks().size(), 1u);
    view->addImageFromFile(good);
    ASSERT_TRUE(testsupport::waitFor([&] { return finished == 2; }, 10000));
    ASSERT_EQ(view->cachedBlocks().size(), 2u);
    const DocBlockPtr added = view->cachedBlocks().back();
    EXPECT_EQ(added->typeRaw(), QStringLiteral("image"));
    ASSERT_TRUE(added->imageData());
    EXPECT_EQ(decode(*added->imageData()).size, QSize(64, 48));
    EXPECT_FALSE(context().hasChanges());
}

class LargeDocumentTest : public EditorFixture {};

TEST_F(LargeDocumentTest, PictureBytesAreReadOnlyForRowsNearTheView) {
    const QByteArray bytes = blockimage::storedFromImage(fixtures::twoHalves(800, 600, Qt::red, Qt::blue)).data;
    ASSERT_FALSE(bytes.isEmpty());
    for (int i = 0; i < 60; ++i) {
        auto b = block(i, QStringLiteral("image"));
        b->setImageData(bytes);
    }
    ASSERT_TRUE(context().save());
    const DocPtr back = reopened();
    {
        ImprovedDocEditorView view(services(), back);
        view.resize(1000, 700);
        view.show();
        testsupport::flushEvents();
        EXPECT_EQ(view.cachedBlocks().size(), 60u);
        // Pictures are read by the worker that decodes them, never on the window's thread.
        EXPECT_EQ(context().blobsRead(), 0);
        int built = 0;
        for (auto* row : view.rows())
            built += row->isMaterialized();
        EXPECT_LT(built, 15);

        // Edit mode builds the editors of the rows near the view only.
        view.toggleEditMode();
        testsupport::flushEvents();
        int editors = 0;
        for (auto* row : view.rows())
            editors += row->imageEditor() != nullptr;
        EXPECT_GT(editors, 0);
        EXPECT_LT(editors, 15);

        // Scrolling to the end builds the rows there.
        view.scrollToBlock(view.cachedBlocks().back()->id(), false);
        testsupport::flushEvents();
        EXPECT_TRUE(view.rows().back()->isMaterialized());
        EXPECT_TRUE(view.rows().back()->imageEditor());
    }
    testsupport::flushEvents();
}

TEST_F(ImageBlockTest, DragsAreTakenOnEnteringAndDecidedAtEachPosition) {
    const QString path = png(QStringLiteral("glisse.png"), 32, 32);
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(path)});
    files.setText(path); // file managers add the path as text
    QMimeData blockPayload;
    blockPayload.setText(image->id().toString(QUuid::WithoutBraces).toUpper());

    // The document, which takes pictures anywhere, is made deaf to drops to see what the editor and
    // the row alone do.
    view->scrollArea()->widget()->setAcceptDrops(false);
    struct Step {
        const char* name;
        QMimeData* data;
        bool zoneShown;
        bool enterTaken;
        bool zoneLit;
    };
    const Step steps[] = {{"picture over the zone", &files, true, true, true},
                          {"picture while the preview shows", &files, false, true, false},
                          {"block over the editor", &blockPayload, true, true, false}}; // by the row
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        editor->dropZone()->setVisible(s.zoneShown);
        const QPoint at = editor->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, s.data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor, &enter);
        EXPECT_EQ(enter.isAccepted(), s.enterTaken);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, s.data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor, &move);
        EXPECT_EQ(editor->isDragOver(), s.zoneLit);
        QDragLeaveEvent leave;
        QApplication::sendEvent(editor, &leave);
    }
    editor->dropZone()->setVisible(true);

    // A row takes a block, and leaves a picture file (with its path as text) to the document.
    ImprovedBlockRowView* row = view->rowFor(image->id());
    QDragEnterEvent fileOverRow(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(row, &fileOverRow);
    EXPECT_FALSE(fileOverRow.isAccepted());
    QDragEnterEvent blockOverRow(QPoint(5, 5), Qt::MoveAction, &blockPayload, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(row, &blockOverRow);
    EXPECT_TRUE(blockOverRow.isAccepted());
}

TEST(BlockImageViewTest, APictureIsDecodedAtTheWidthShownAndAgainWhenShownWider) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* shown = new BlockImageView(2000, 0, &window);
    layout->addWidget(shown);
    layout->addStretch(1);
    window.resize(400, 900);
    window.show();
    testsupport::flushEvents();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    fixtures::twoHalves(1600, 800, Qt::red, Qt::blue).save(&buffer, "PNG");
    shown->setData(png);
    const qreal dpr = shown->devicePixelRatioF();
    ASSERT_TRUE(testsupport::waitFor([&] { return shown->state() == BlockImageView::State::ready; }, 10000));
    EXPECT_NEAR(shown->imageSize().width(), shown->width() * dpr, 1);
    EXPECT_NEAR(shown->height(), shown->width() / 2, 1);
    window.resize(800, 900);
    ASSERT_TRUE(testsupport::waitFor([&] { return shown->imageSize().width() >= shown->width() * dpr - 1; }, 10000));
    EXPECT_EQ(shown->state(), BlockImageView::State::ready);
    EXPECT_NEAR(shown->height(), shown->width() / 2, 1);
}

// Once the pictures decoded for every view hold more than the bound, views out of sight give theirs up, the
// longest unseen first; one shown again decodes its picture again.
TEST(BlockImageViewTest, PicturesOutOfSightAreGivenUpPastTheBound) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    fixtures::twoHalves(1600, 800, Qt::red, Qt::blue).save(&buffer, "PNG");
    std::vector<std::unique_ptr<QWidget>> windows;
    std::vector<BlockImageView*> views;
    qint64 held = 0;
    for (int i = 0; i < 24; ++i) {
        auto window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        auto* view = new BlockImageView(2000, 0, window.get());
        layout->addWidget(view);
        layout->addStretch(1);
        window->resize(1400, 900);
        window->show();
        view->setData(png);
        ASSERT_TRUE(testsupport::waitFor([&] { return view->state() == BlockImageView::State::ready; }, 10000));
        window->repaint();
        held += qint64(view->imageSize().width()) * view->imageSize().height() * 4;
        window->hide();
        views.push_back(view);
        windows.push_back(std::move(window));
    }
    ASSERT_GT(held, 64 * 1024 * 1024);
    EXPECT_LE(BlockImageView::keptBytes(), 64 * 1024 * 1024);
    EXPECT_TRUE(views.front()->imageSize().isEmpty());
    EXPECT_FALSE(views.back()->imageSize().isEmpty());
    windows.front()->show();
    EXPECT_TRUE(testsupport::waitFor([&] { return !views.front()->imageSize().isEmpty(); }, 10000));
}
