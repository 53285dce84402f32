// A key that makes a text block grow or shrink by a line repaints what changed, not the whole page, and
// leaves on screen what a whole new painting shows.
#include "EditorFixture.h"

#include "editor/BlockRow.h"
#include "editor/DocEditorView.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextEditorWrapper.h"
#include "ui/Components.h"
#include "ui/Theme.h"

#include <QVariantAnimation>
#include <QApplication>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

namespace {

QString paragraphs(int count, int words) {
    QStringList out;
    for (int p = 0; p < count; ++p) {
        QStringList line;
        for (int w = 0; w < words; ++w)
            line << (w % 3 ? QStringLiteral("mot") : QStringLiteral("phrase"));
        out << line.join(QLatin1Char(' '));
    }
    return out.join(QLatin1Char('\n'));
}

// How much of the page gets painted.
struct PaintedArea : QObject {
    QWidget* page;
    qint64 pixels = 0;
    explicit PaintedArea(QWidget* w) : page(w) { qApp->installEventFilter(this); }
    ~PaintedArea() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == page && e->type() == QEvent::Paint)
            for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
                pixels += qint64(r.width()) * r.height();
        return false;
    }
};

} // namespace

class GrowingTextRepaintTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        // A steady caret: both pictures show it.
        flashTime = QApplication::cursorFlashTime();
        QApplication::setCursorFlashTime(0);
    }
    void TearDown() override {
        view.reset();
        QApplication::setCursorFlashTime(flashTime);
        if (restoreStyle) {
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
            QApplication::setPalette(QPalette());
        }
        EditorFixture::TearDown();
    }
    // The document saved, shown in a window of `size` and switched to edit mode.
    void openInEditMode(QSize size = {1000, 600}) {
        context().save();
        view = std::make_unique<ImprovedDocEditorView>(services(), doc);
        view->resize(size);
        view->show();
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        testsupport::flushEvents();
        view->toggleEditMode();
        testsupport::flushEvents();
    }
    void openAndEdit(const DocBlockPtr& typedIn) {
        openInEditMode();
        editor = view->rowFor(typedIn->id())->textEditor();
        text = editor->textView();
        text->setFocus();
        QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
        // Where focusing the block scrolls the page to, at once rather than in a quarter of a second.
        view->scrollToBlock(typedIn->id(), false);
        // The toolbar has come down over its block, and the page has followed the caret it pushed down.
        ASSERT_TRUE(
            testsupport::waitFor([&] { return editor->wrapper()->y() == RichTextBlockEditor::toolbarBlockHeight(); }));
        QTest::keyClick(text, Qt::Key_Up);
        QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
        testsupport::flushEvents();
    }
    QImage shown() { return view->screen()->grabWindow(view->winId()).toImage(); }
    // Types `key` until the text's height changes; returns the share of the page painted meanwhile.
    double typeUntilTheHeightChanges(Qt::Key key, const QString& typed = {}) {
        PaintedArea area(view->scrollArea()->widget());
        const int before = text->height();
        for (int i = 0; i < 200 && text->height() == before; ++i) {
            area.pixels = 0;
            QTest::keyClick(text, key, Qt::NoModifier);
            if (!typed.isEmpty())
                QTest::keyClicks(text, typed);
            testsupport::flushEvents();
        }
        EXPECT_NE(text->height(), before);
        const QSize page = view->scrollArea()->viewport()->size();
        return double(area.pixels) / (page.width() * page.height());
    }
    // What the keys left on screen is what painting the whole window anew shows.
    void expectTheSamePixelsAsAWholePainting(const char* what) {
        const QImage left = shown().convertToFormat(QImage::Format_RGB32);
        const QImage anew = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(left.size(), anew.size());
        EXPECT_EQ(left, anew) << what;
    }
    // The pixels left on screen that a whole painting shows otherwise, with the first of them.
    // The page's scroll bar is left out: it takes the page's new length a frame later, slide or not.
    std::string difference() {
        QWidget* page = view->scrollArea()->viewport();
        const QRect inWindow(page->mapTo(view.get(), QPoint()), page->size());
        const QImage a = shown().convertToFormat(QImage::Format_RGB32).copy(inWindow);
        const QImage b = view->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(inWindow);
        if (a.size() != b.size())
            return "sizes differ";
        int count = 0;
        QPoint first(-1, -1);
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0)
                    first = QPoint(x, y);
        return count
            ? std::to_string(count) + " pixels, first at " + std::to_string(first.x()) + "," + std::to_string(first.y())
            : std::string();
    }

    bool caretShown() {
        const QRect caret = text->cursorRect();
        QWidget* page = view->scrollArea()->viewport();
        return page->rect().contains(QRect(text->viewport()->mapTo(page, caret.topLeft()), caret.size()));
    }

    std::unique_ptr<ImprovedDocEditorView> view;
    RichTextBlockEditor* editor = nullptr;
    ClickableTextView* text = nullptr;
    int flashTime = 0;
    bool restoreStyle = false;
};

// At the end of a block taller than the window the page follows the caret: what the scroll moves is copied,
// and the new line, what the block's bottom edge leaves and the strip the scroll uncovers are painted. Also
// with the application's own style, whose scroll bar lies over the page.
TEST_F(GrowingTextRepaintTest, AtTheEndOfATallBlockTheScrollIsCopiedAndOnlyTheChangeIsPainted) {
    for (const bool appStyle : {false, true}) {
        SCOPED_TRACE(appStyle ? "application style" : "plain style");
        if (appStyle) {
            restoreStyle = true;
            applyAppearance();
        }
        auto b = block(0, QStringLiteral("text"), paragraphs(40, 30));
        openAndEdit(b);
        ASSERT_TRUE(caretShown());
        const int scrolled = view->scrollArea()->verticalScrollBar()->value();
        ASSERT_GT(scrolled, 0);

        EXPECT_LT(typeUntilTheHeightChanges(Qt::Key_A, QStringLiteral(" mot")), 0.5);
        EXPECT_TRUE(caretShown());
        EXPECT_GT(view->scrollArea()->verticalScrollBar()->value(), scrolled);
        expectTheSamePixelsAsAWholePainting("a wrapped line");

        EXPECT_LT(typeUntilTheHeightChanges(Qt::Key_Return), 0.5);
        EXPECT_TRUE(caretShown());
        expectTheSamePixelsAsAWholePainting("a new paragraph");

        typeUntilTheHeightChanges(Qt::Key_Backspace);
        expectTheSamePixelsAsAWholePainting("a paragraph removed");
        view.reset();
        testsupport::flushEvents();
    }
}

// Between other blocks, the rows below move down or up with the text and the rows above are left alone.
TEST_F(GrowingTextRepaintTest, ABlockBetweenOthersMovesOnlyWhatIsBelowIt) {
    block(0, QStringLiteral("text"), paragraphs(3, 20));
    auto middle = block(1, QStringLiteral("text"), paragraphs(2, 25));
    block(2, QStringLiteral("text"), paragraphs(3, 20));
    block(3, QStringLiteral("code"), QStringLiteral("let a = 1\nlet b = 2"));
    openAndEdit(middle);
    PaintedArea above(view->rows().front()->card());
    const struct {
        Qt::Key key;
        QString typed;
        const char* what;
    } keys[] = {{Qt::Key_A, QStringLiteral(" mot"), "a wrapped line"},
                {Qt::Key_Return, {}, "a new paragraph"},
                {Qt::Key_Backspace, {}, "a paragraph removed"}};
    for (const auto& k : keys) {
        above.pixels = 0;
        typeUntilTheHeightChanges(k.key, k.typed);
        EXPECT_EQ(above.pixels, 0) << k.what;
        expectTheSamePixelsAsAWholePainting(k.what);
    }
}

// The formatting toolbar slides in over a block taller than the window. Frame by frame, in and out, in
// both themes: the frames of the slide in paint a small part of the text,
// and every frame leaves on screen what a whole painting shows.
TEST_F(GrowingTextRepaintTest, TheToolbarSlideCopiesTheTextAndEachFrameShowsWhatAWholePaintingShows) {
    block(0, QStringLiteral("text"), paragraphs(2, 20));
    auto tall = block(1, QStringLiteral("text"), paragraphs(40, 30));
    block(2, QStringLiteral("code"), QStringLiteral("let a = 1"));
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        env->theme().setTheme(dark ? AppTheme::dark : AppTheme::light);
        openInEditMode();
        editor = view->rowFor(tall->id())->textEditor();
        text = editor->textView();
        view->scrollToBlock(tall->id(), false);
        testsupport::flushEvents();
        auto* slide = editor->findChild<QVariantAnimation*>();
        ASSERT_TRUE(slide);

        text->setFocus();
        ASSERT_TRUE(editor->isFocused());
        slide->pause();
        testsupport::flushEvents();
        PaintedArea painted(text->viewport());
        const QSize viewport = view->scrollArea()->viewport()->size();
        const qint64 page = qint64(viewport.width()) * viewport.height();
        for (int t = 16; t <= 200; t += 16) {
            slide->setCurrentTime(t);
            painted.pixels = 0;
            testsupport::flushEvents();
            EXPECT_LT(painted.pixels, page / 10) << "in, at " << t << " ms";
            EXPECT_EQ(difference(), "") << "in, at " << t << " ms";
        }
        slide->setCurrentTime(200);
        testsupport::flushEvents();
        EXPECT_EQ(editor->wrapper()->y(), RichTextBlockEditor::toolbarBlockHeight());
        EXPECT_EQ(difference(), "") << "in, at its end";

        // A key after the slide, then the keyboard leaves: the frame goes back to its resting look.
        QTest::keyClick(text, Qt::Key_A);
        testsupport::flushEvents();
        EXPECT_EQ(difference(), "") << "a key";
        view->scrollArea()->setFocus();
        ASSERT_FALSE(editor->isFocused());
        slide->pause();
        for (int t = 16; t <= 200; t += 16) {
            slide->setCurrentTime(t);
            testsupport::flushEvents();
            EXPECT_EQ(difference(), "") << "out, at " << t << " ms";
        }
        view.reset();
        testsupport::flushEvents();
    }
}

// The page and its rows keep their painting through a new height, not through a new width: a window made
// wider, narrower, taller or shorter shows what painting it anew shows.
TEST_F(GrowingTextRepaintTest, AResizedWindowShowsWhatPaintingItAnewShows) {
    block(0, QStringLiteral("text"), paragraphs(6, 30));
    auto typedIn = block(1, QStringLiteral("text"), paragraphs(2, 25));
    block(2, QStringLiteral("code"), QStringLiteral("let a = 1\nlet b = 2"));
    openAndEdit(typedIn);
    for (const QSize size : {QSize(1180, 600), QSize(760, 600), QSize(760, 720), QSize(1000, 540)}) {
        view->resize(size);
        testsupport::flushEvents();
        expectTheSamePixelsAsAWholePainting(qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
    }
}
