// A new line typed in a code block moves the page by a line when the caret reaches the bottom of the
// view: what the scroll moves is copied, and only the new strip and the lines that changed are painted.
#include "EditorFixture.h"

#include "editor/BlockRow.h"
#include "editor/CodeBlockView.h"
#include "editor/DocEditorView.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

QString codeLines(int count) {
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << QStringLiteral("let valeur%1 = somme(%1)").arg(i);
    return out.join(QLatin1Char('\n'));
}

// How much of the page itself (behind its rows) gets painted.
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

class GrowingCodeRepaintTest : public EditorFixture {
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
        EditorFixture::TearDown();
    }
    void openAt(const DocBlockPtr& code, int line) {
        context().save();
        view = std::make_unique<ImprovedDocEditorView>(services(), doc);
        view->resize(1000, 600);
        view->show();
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        testsupport::flushEvents();
        view->toggleEditMode();
        testsupport::flushEvents();
        editor = view->rowFor(code->id())->codeEditor()->editor();
        editor->setFocus();
        QTextCursor c(editor->document()->findBlockByNumber(line));
        c.movePosition(QTextCursor::EndOfBlock);
        editor->setTextCursor(c);
        view->scrollToBlock(code->id(), false);
        testsupport::flushEvents();
    }
    QImage shown() { return view->screen()->grabWindow(view->winId()).toImage().convertToFormat(QImage::Format_RGB32); }
    void expectTheSamePixelsAsAWholePainting(const char* what) {
        const QImage left = shown();
        const QImage anew = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(left.size(), anew.size());
        EXPECT_EQ(left, anew) << what;
    }
    bool caretShown() {
        const QRect caret = editor->cursorRect();
        QWidget* page = view->scrollArea()->viewport();
        return page->rect().contains(QRect(editor->viewport()->mapTo(page, caret.topLeft()), caret.size()));
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
            QTest::keyClick(editor, Qt::Key_Return);
            testsupport::flushEvents();
            EXPECT_TRUE(caretShown()) << "after new line " << i + 1;
            if (bar->value() == before)
                continue;
            shares.push_back(double(area.pixels) / (page.width() * page.height()));
        }
        std::sort(shares.begin(), shares.end());
        return {int(shares.size()), shares.empty() ? 0.0 : shares[shares.size() / 2]};
    }

    std::unique_ptr<ImprovedDocEditorView> view;
    QPlainTextEdit* editor = nullptr;
    int flashTime = 0;
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

    QTextCursor end(editor->document());
    end.movePosition(QTextCursor::End);
    editor->setTextCursor(end);
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
    QTest::keyClick(editor, Qt::Key_Backspace);
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
    context().save();
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
    view = std::make_unique<ImprovedDocEditorView>(services(), doc);
    view->resize(1100, 720);
    view->show();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    testsupport::flushEvents();
    view->toggleEditMode();
    testsupport::flushEvents();
    view->scrollToBlock(typedIn->id(), false);
    auto* text = qobject_cast<QWidget*>(view->rowFor(typedIn->id())->textEditor()->textView());
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
