// A key that makes a text block grow or shrink by a line, or a code block grow by a new line, repaints
// what changed, not the whole page, and leaves on screen what a whole new painting shows.
#include "EditorFixture.h"

#include "editor/BlockRow.h"
#include "editor/CodeBlockView.h"
#include "editor/DocEditorView.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextEditorWrapper.h"
#include "ui/Components.h"
#include "ui/Theme.h"

#include <QVariantAnimation>
#include <QApplication>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTextBlock>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

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

namespace {

QString codeLines(int count) {
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << QStringLiteral("let valeur%1 = somme(%1)").arg(i);
    return out.join(QLatin1Char('\n'));
}

} // namespace

// A new line typed in a code block moves the page by a line when the caret reaches the bottom of the
// view: what the scroll moves is copied, and only the new strip and the lines that changed are painted.
class GrowingCodeRepaintTest : public GrowingTextRepaintTest {
protected:
    void openAt(const DocBlockPtr& code, int line) {
        openInEditMode();
        codeEdit = view->rowFor(code->id())->codeEditor()->editor();
        codeEdit->setFocus();
        QTextCursor c(codeEdit->document()->findBlockByNumber(line));
        c.movePosition(QTextCursor::EndOfBlock);
        codeEdit->setTextCursor(c);
        view->scrollToBlock(code->id(), false);
        testsupport::flushEvents();
    }
    bool codeCaretShown() {
        const QRect caret = codeEdit->cursorRect();
        QWidget* page = view->scrollArea()->viewport();
        return page->rect().contains(QRect(codeEdit->viewport()->mapTo(page, caret.topLeft()), caret.size()));
    }
    // Presses Return `count` times; returns how many of them scrolled the page, and the median share of
    // the page painted behind the rows by those.
    std::pair<int, double> newLines(int count) {
        QScrollBar* bar = view->scrollArea()->verticalScrollBar();
        PaintedArea area(view->scrollArea()->widget());
        const QSize page = view->scrollArea()->viewport()->size();
        std::vector<double> shares;
        for (int i = 0; i < count; ++i) {
            area.pixels = 0;
            const int before = bar->value();
            QTest::keyClick(codeEdit, Qt::Key_Return);
            testsupport::flushEvents();
            EXPECT_TRUE(codeCaretShown()) << "after new line " << i + 1;
            if (bar->value() == before)
                continue;
            shares.push_back(double(area.pixels) / (page.width() * page.height()));
        }
        std::sort(shares.begin(), shares.end());
        return {int(shares.size()), shares.empty() ? 0.0 : shares[shares.size() / 2]};
    }

    QPlainTextEdit* codeEdit = nullptr;
};

// Inside a block taller than the window, and at the end of the last block (the page's end comes down with
// the code): the page behind the rows paints no more than the strips the scroll uncovers.
TEST_F(GrowingCodeRepaintTest, ANewLineThatMovesThePageCopiesTheScroll) {
    block(0, QStringLiteral("text"), QStringLiteral("Avant le code"));
    auto code = block(1, QStringLiteral("code"), codeLines(120));
    block(2, QStringLiteral("text"), QStringLiteral("Après le code"));
    openAt(code, 20);
    const auto [scrolls, share] = newLines(40);
    EXPECT_GT(scrolls, 10);
    EXPECT_LT(share, 0.05);
    expectTheSamePixelsAsAWholePainting("inside a tall block");

    QTextCursor end(codeEdit->document());
    end.movePosition(QTextCursor::End);
    codeEdit->setTextCursor(end);
    testsupport::flushEvents();
    const auto [atTheEnd, shareAtTheEnd] = newLines(10);
    EXPECT_EQ(atTheEnd, 10);
    EXPECT_LT(shareAtTheEnd, 0.05);
    expectTheSamePixelsAsAWholePainting("at the end of the block");
}

// A short block in view grows without scrolling: its bottom edge and corners move down and are painted
// where they are, nothing of them is left where they were.
TEST_F(GrowingCodeRepaintTest, AGrowingBlockInViewLeavesNothingOfItsOldEdge) {
    auto code = block(0, QStringLiteral("code"), codeLines(12));
    block(1, QStringLiteral("text"), QStringLiteral("Après le code"));
    openAt(code, 11);
    EXPECT_EQ(newLines(3).first, 0);
    expectTheSamePixelsAsAWholePainting("a short block");
    QTest::keyClick(codeEdit, Qt::Key_Backspace);
    testsupport::flushEvents();
    expectTheSamePixelsAsAWholePainting("a line removed");
}

// Code blocks take one height when their rows are built, while the rows around the view are built in idle
// turns and a text is typed in: a row shown beside them never squeezes them, and the sideways bar of
// their editor's first, default width is not counted. A block whose lines overflow the width it is laid out
// at grows by its bar once, and keeps room for it.
TEST_F(GrowingCodeRepaintTest, CodeRowsTakeOneHeightWhileTheRowsAroundThemAreBuilt) {
    QStringList words;
    for (int i = 0; i < 150; ++i)
        words << QStringLiteral("mot%1").arg(i % 13);
    DocBlockPtr typedIn;
    DocBlockPtr wide;
    for (int i = 0; i < 40; ++i) {
        if (i % 10 < 6) {
            auto b = block(i, QStringLiteral("text"), words.join(QLatin1Char(' ')));
            if (i == 12)
                typedIn = b;
        } else if (i == 17) {
            wide =
                block(i, QStringLiteral("code"), codeLines(8) + QLatin1Char('\n') + QStringLiteral("x").repeated(400));
        } else {
            block(i, QStringLiteral("code"), codeLines(40));
        }
    }
    // Every height each code block has had, from its first.
    struct Heights : QObject {
        std::map<QObject*, std::set<int>> seen;
        Heights() { qApp->installEventFilter(this); }
        ~Heights() override { qApp->removeEventFilter(this); }
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Resize && qobject_cast<ImprovedCodeBlockView*>(o))
                seen[o].insert(static_cast<QResizeEvent*>(e)->size().height());
            return false;
        }
    } heights;
    openInEditMode({1100, 720});
    view->scrollToBlock(typedIn->id(), false);
    text = view->rowFor(typedIn->id())->textEditor()->textView();
    text->setFocus();
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(text, Qt::Key_A);
        QApplication::processEvents();
    }
    testsupport::flushEvents();
    int built = 0;
    for (ImprovedBlockRowView* row : view->rows())
        if (ImprovedCodeBlockView* code = row->codeEditor(); code && row->block() != wide) {
            ++built;
            EXPECT_LE(heights.seen[code].size(), 1u) << "block " << row->block()->order();
        }
    EXPECT_GT(built, 3);
    ImprovedCodeBlockView* wideCode = view->rowFor(wide->id())->codeEditor();
    ASSERT_TRUE(wideCode);
    EXPECT_LE(heights.seen[wideCode].size(), 2u);
    QPlainTextEdit* wideEditor = wideCode->editor();
    EXPECT_GT(wideEditor->horizontalScrollBar()->maximum(), 0);
    QTextCursor last(wideEditor->document());
    last.movePosition(QTextCursor::End);
    EXPECT_LE(wideEditor->cursorRect(last).bottom(), wideEditor->viewport()->height());
}
