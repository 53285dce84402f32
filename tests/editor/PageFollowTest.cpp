// The page follows the caret, code blocks grow with their code, and the page keeps its place when the
// rows around a menu, a moved block or a switch of mode change size.
#include "EditorFixture.h"

#include "editor/BlockRow.h"
#include "editor/CodeBlockView.h"
#include "editor/DocEditorView.h"
#include "editor/EditorChrome.h"
#include "editor/EditorWidgets.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

namespace {

QString lines(int count, const QString& word = QStringLiteral("ligne")) {
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << word + QLatin1Char(' ') + QString::number(i);
    return out.join(QLatin1Char('\n'));
}

QString paragraphs(int count, int words) {
    QStringList out;
    for (int p = 0; p < count; ++p)
        out << QStringList(words, QStringLiteral("mot")).join(QLatin1Char(' '));
    return out.join(QLatin1Char('\n'));
}

} // namespace

class PageFollowTest : public EditorFixture {
protected:
    void open(int height = 600) {
        view = std::make_unique<ImprovedDocEditorView>(services(), doc);
        view->resize(1000, height);
        view->show();
        view->activateWindow();
        testsupport::flushEvents();
    }
    void TearDown() override {
        view.reset();
        EditorFixture::TearDown();
    }
    void enterEditMode() {
        view->toggleEditMode();
        testsupport::flushEvents();
    }
    // The caret of the focused editor, in the scroll area's viewport.
    QRect caretInViewport(QWidget* editor) {
        QRect caret;
        QWidget* vp = nullptr;
        if (auto* text = qobject_cast<QTextEdit*>(editor)) {
            caret = text->cursorRect();
            vp = text->viewport();
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(editor)) {
            caret = plain->cursorRect();
            vp = plain->viewport();
        }
        return {vp->mapTo(view->scrollArea()->viewport(), caret.topLeft()), caret.size()};
    }
    bool caretVisible(QWidget* editor) {
        return view->scrollArea()->viewport()->rect().contains(caretInViewport(editor));
    }
    int topInViewport(QWidget* w) { return w->mapTo(view->scrollArea()->viewport(), QPoint(0, 0)).y(); }

    std::unique_ptr<ImprovedDocEditorView> view;
};

TEST_F(PageFollowTest, TheCaretStaysInViewWhileTypingInATallBlock) {
    for (const QString& type : {QStringLiteral("text"), QStringLiteral("code")}) {
        SCOPED_TRACE(type.toStdString());
        view.reset();
        auto b = block(0, type, QStringLiteral("début"));
        context().save();
        open();
        enterEditMode();
        ImprovedBlockRowView* row = view->rowFor(b->id());
        QWidget* editor = type == QStringLiteral("text") ? static_cast<QWidget*>(row->textEditor()->textView())
                                                         : row->codeEditor()->editor();
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
        // Thirty lines, each typed key by key.
        for (int i = 1; i <= 30; ++i) {
            QTest::keyClick(editor, Qt::Key_Return);
            QTest::keyClicks(editor, QStringLiteral("l%1").arg(i));
            testsupport::flushEvents();
            ASSERT_TRUE(caretVisible(editor)) << "line " << i;
        }
        EXPECT_GT(view->scrollArea()->verticalScrollBar()->value(), 0);
        // Then a long paragraph pasted and typed on.
        QGuiApplication::clipboard()->setText(QStringLiteral("mot long ").repeated(222));
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClicks(editor, QStringLiteral("fin"));
        testsupport::flushEvents();
        EXPECT_TRUE(caretVisible(editor));
        // Back to the start with the keyboard: the page follows upwards too.
        QTest::keyClick(editor, Qt::Key_Home, Qt::ControlModifier);
        testsupport::flushEvents();
        EXPECT_TRUE(caretVisible(editor));
        QTest::keyClick(editor, Qt::Key_Down, Qt::ShiftModifier); // the selection's moving end
        testsupport::flushEvents();
        EXPECT_TRUE(caretVisible(editor));
        // The block shows every line: its editor never scrolled.
        auto* area = qobject_cast<QAbstractScrollArea*>(editor);
        EXPECT_EQ(area->verticalScrollBar()->value(), 0);
        view->edits().hide(b);
    }
}

TEST_F(PageFollowTest, PageKeysMoveTheCaretByAPageInsideATallBlock) {
    for (const QString& type : {QStringLiteral("text"), QStringLiteral("code")}) {
        SCOPED_TRACE(type.toStdString());
        view.reset();
        auto b = block(0, type, lines(120));
        context().save();
        open();
        enterEditMode();
        ImprovedBlockRowView* row = view->rowFor(b->id());
        QWidget* editor = type == QStringLiteral("text") ? static_cast<QWidget*>(row->textEditor()->textView())
                                                         : row->codeEditor()->editor();
        auto caretTop = [&] {
            auto* text = qobject_cast<QTextEdit*>(editor);
            return text ? text->cursorRect().top() : qobject_cast<QPlainTextEdit*>(editor)->cursorRect().top();
        };
        auto cursor = [&] {
            auto* text = qobject_cast<QTextEdit*>(editor);
            return text ? text->textCursor() : qobject_cast<QPlainTextEdit*>(editor)->textCursor();
        };
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_Home, Qt::ControlModifier);
        testsupport::flushEvents();
        const int viewportHeight = view->scrollArea()->viewport()->height();
        const int start = caretTop();
        QTest::keyClick(editor, Qt::Key_PageDown);
        testsupport::flushEvents();
        const int moved = caretTop() - start;
        EXPECT_GT(moved, viewportHeight / 2);
        EXPECT_LE(moved, viewportHeight);
        EXPECT_TRUE(caretVisible(editor));
        QTest::keyClick(editor, Qt::Key_PageDown, Qt::ShiftModifier);
        testsupport::flushEvents();
        EXPECT_TRUE(cursor().hasSelection());
        EXPECT_TRUE(caretVisible(editor));
        for (int i = 0; i < 20; ++i)
            QTest::keyClick(editor, Qt::Key_PageDown);
        testsupport::flushEvents();
        EXPECT_TRUE(cursor().atEnd());
        EXPECT_TRUE(caretVisible(editor));
        QTest::keyClick(editor, Qt::Key_PageUp);
        testsupport::flushEvents();
        EXPECT_FALSE(cursor().atEnd());
        EXPECT_TRUE(caretVisible(editor));
        view->edits().hide(b);
    }
}

TEST_F(PageFollowTest, CodeBlocksGrowAndNumberTheLinesWhereTheyAreDrawn) {
    struct Case {
        const char* name;
        bool wrap;
        int fontPx;
    };
    const Case cases[] = {{"plain", false, 0}, {"wrapped", true, 0}, {"other font", false, 21}};
    auto b = block(0, QStringLiteral("code"));
    context().save();
    open();
    enterEditMode();
    ImprovedCodeBlockView* code = view->rowFor(b->id())->codeEditor();
    QPlainTextEdit* editor = code->editor();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        editor->clear();
        editor->setLineWrapMode(c.wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        if (c.fontPx)
            editor->setFont(Fonts::mono(c.fontPx));
        editor->setFocus();
        // Thirty lines pasted, some long enough to wrap.
        QGuiApplication::clipboard()->setText(
            lines(30, c.wrap ? QStringLiteral("mot ").repeated(40) : QStringLiteral("l")));
        editor->paste();
        testsupport::flushEvents();
        EXPECT_EQ(code->lineNumberCount(), 30);
        EXPECT_EQ(editor->verticalScrollBar()->value(), 0);
        // Every line is inside the editor, which grew instead of scrolling.
        QTextCursor last(editor->document());
        last.movePosition(QTextCursor::End);
        EXPECT_LE(editor->cursorRect(last).bottom(), editor->viewport()->height());
        EXPECT_GT(editor->height(), 30 * editor->fontMetrics().height());
        // Each number sits on the first drawn line of its own line of code.
        const auto places = code->lineNumberPlaces();
        ASSERT_EQ(places.size(), 30);
        QTextBlock block = editor->document()->begin();
        for (int i = 0; i < 30; ++i, block = block.next()) {
            const QRect line = editor->cursorRect(QTextCursor(block));
            EXPECT_NEAR(places[i].top, line.top(), 1.0) << "number " << i + 1;
            EXPECT_NEAR(places[i].height, line.height(), 1.0) << "number " << i + 1;
        }
        if (c.wrap) {
            EXPECT_GT(editor->document()->documentLayout()->documentSize().height(), 30); // some lines wrapped
        }
        // The gutter beside the editor starts where the editor's lines start.
        EXPECT_EQ(code->gutter()->mapToGlobal(QPoint(0, 0)).y(), editor->viewport()->mapToGlobal(QPoint(0, 0)).y());
    }
}

TEST_F(PageFollowTest, AMovedBlockIsBroughtIntoView) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("court"));
    auto tall1 = block(1, QStringLiteral("code"), lines(60));
    auto tall2 = block(2, QStringLiteral("code"), lines(60));
    context().save();
    open();
    enterEditMode();
    ImprovedBlockRowView* row = view->rowFor(a->id());
    for (int step = 0; step < 2; ++step) {
        row->moveDownAction()->trigger();
        testsupport::flushEvents();
        QTest::qWait(350); // the scroll animation
        EXPECT_EQ(view->rows().indexOf(row), step + 1);
        const QRect inView(QPoint(0, topInViewport(row)), row->size());
        EXPECT_TRUE(view->scrollArea()->viewport()->rect().contains(inView)) << "after move " << step + 1;
    }
    row->moveUpAction()->trigger();
    testsupport::flushEvents();
    QTest::qWait(350);
    const QRect inView(QPoint(0, topInViewport(row)), row->size());
    EXPECT_TRUE(view->scrollArea()->viewport()->rect().contains(inView));
}

TEST_F(PageFollowTest, MenusOpenAtTheirButtonWhileATextIsEdited) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("un texte"));
    auto b = block(1, QStringLiteral("text"), QStringLiteral("un autre"));
    context().save();
    open();
    enterEditMode();
    ClickableTextView* text = view->rowFor(a->id())->textEditor()->textView();
    QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::qWait(300); // the toolbar slides in
    ASSERT_TRUE(view->rowFor(a->id())->textEditor()->isToolbarShown());

    struct Opener {
        const char* name;
        QAbstractButton* button;
        QMenu* menu;
    };
    ImprovedBlockRowView* second = view->rowFor(b->id());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(second, &enter); // its toolbar, with the menu button, shows
    const Opener openers[] = {{"add", view->addBlockButton()->button(), view->addBlockButton()->menu()},
                              {"row", second->menuButton(), second->rowMenu()}};
    for (const Opener& o : openers) {
        SCOPED_TRACE(o.name);
        ASSERT_TRUE(o.button->isVisible());
        QTest::mouseClick(o.button, Qt::LeftButton);
        QTest::qWait(300); // anything that was going to move has moved
        ASSERT_TRUE(o.menu->isVisible());
        // Below the button, or above it where the window ends.
        const int below = o.button->mapToGlobal(QPoint(0, o.button->height())).y();
        const int above = o.button->mapToGlobal(QPoint(0, 0)).y();
        const QRect menu = o.menu->geometry();
        EXPECT_TRUE(std::abs(menu.top() - below) <= 6 || std::abs(menu.bottom() + 1 - above) <= 6)
            << "menu " << menu.top() << "–" << menu.bottom() << ", button " << above << "–" << below;
        o.menu->hide();
        testsupport::flushEvents();
    }
    EXPECT_TRUE(view->rowFor(a->id())->textEditor()->isToolbarShown());
}

TEST_F(PageFollowTest, SwitchingModeKeepsTheRowInViewInPlace) {
    // Long enough that rows are built as they come near the view, with guessed heights until then.
    std::vector<DocBlockPtr> blocks;
    for (int i = 0; i < 40; ++i)
        blocks.push_back(block(i, i % 5 == 2 ? QStringLiteral("code") : QStringLiteral("text"),
                               i % 5 == 2 ? lines(12) : paragraphs(1 + i % 4, 30 + 7 * (i % 3))));
    context().save();
    open(700);
    QCursor::setPos(view->header()->toggleButton()->mapToGlobal(QPoint(2, 2)));
    QScrollBar* bar = view->scrollArea()->verticalScrollBar();
    for (int target : {bar->maximum() / 2, bar->maximum() * 3 / 4}) {
        // As a drag of the scroll bar does: the user scrolling lets go of the row held after the last switch.
        bar->setSliderPosition(target);
        // Rows built as they come near the view take their full height at once, not in a later event
        // after the page has been placed around them.
        std::vector<std::pair<ImprovedBlockRowView*, int>> built;
        for (ImprovedBlockRowView* row : view->rows())
            if (row->isMaterialized())
                built.emplace_back(row, row->height());
        testsupport::flushEvents();
        for (const auto& [row, height] : built)
            EXPECT_EQ(row->height(), height);
        // The first row reaching into the view.
        ImprovedBlockRowView* anchor = nullptr;
        for (ImprovedBlockRowView* row : view->rows())
            if (topInViewport(row) + row->height() > 0) {
                anchor = row;
                break;
            }
        ASSERT_TRUE(anchor);
        const int before = topInViewport(anchor);
        if (view->isEditMode()) {
            view->toggleEditMode();
            ASSERT_TRUE(testsupport::waitFor([this] { return !view->isEditMode(); }));
        } else {
            view->toggleEditMode();
        }
        testsupport::flushEvents();
        QTest::qWait(100);
        testsupport::flushEvents();
        EXPECT_NEAR(topInViewport(anchor), before, 2) << (view->isEditMode() ? "into edit mode" : "into view mode");
    }
}

namespace {
// Counts the paint events a widget gets.
struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};
} // namespace

TEST_F(PageFollowTest, CodeLineNumbersFollowEditsWithoutRepaintingWhatStayed) {
    auto b = block(0, QStringLiteral("code"), lines(120));
    context().save();
    open(700);
    enterEditMode();
    ImprovedCodeBlockView* code = view->rowFor(b->id())->codeEditor();
    QPlainTextEdit* editor = code->editor();
    editor->setFocus();
    QTextCursor at(editor->document()->findBlockByNumber(4));
    at.movePosition(QTextCursor::EndOfBlock);
    editor->setTextCursor(at);
    testsupport::flushEvents();
    auto expectBesideLines = [&](const char* when) {
        const auto places = code->lineNumberPlaces();
        ASSERT_EQ(places.size(), editor->document()->blockCount()) << when;
        QTextBlock block = editor->document()->begin();
        for (int i = 0; i < places.size(); ++i, block = block.next())
            ASSERT_NEAR(places[i].top, editor->cursorRect(QTextCursor(block)).top(), 1.0)
                << when << ", number " << i + 1;
    };
    PaintCount count;
    code->gutter()->installEventFilter(&count);
    // A key that moves no line repaints no number.
    QTest::keyClicks(editor, QStringLiteral("abc"));
    testsupport::flushEvents();
    EXPECT_EQ(count.paints, 0);
    expectBesideLines("after typing");
    // A new line moves the numbers below it (the block grows: it is repainted).
    QTest::keyClick(editor, Qt::Key_Return);
    testsupport::flushEvents();
    EXPECT_EQ(code->lineNumberCount(), 121);
    EXPECT_GT(count.paints, 0);
    expectBesideLines("after a new line");
    // Lines joined again, from the undo stack, and a line separator inside a line.
    QTest::keyClick(editor, Qt::Key_Backspace);
    editor->insertPlainText(QString(QChar(0x2028)));
    testsupport::flushEvents();
    EXPECT_EQ(code->lineNumberCount(), 121);
    const auto places = code->lineNumberPlaces();
    ASSERT_EQ(places.size(), 121);
    EXPECT_GT(places[5].top, places[4].top);
    EXPECT_LT(places[5].top, editor->cursorRect(QTextCursor(editor->document()->findBlockByNumber(5))).top());
}

TEST_F(PageFollowTest, RowsAroundTheViewAreBuiltWhileIdleWithThePageKeptInPlace) {
    std::vector<DocBlockPtr> blocks;
    for (int i = 0; i < 80; ++i)
        blocks.push_back(block(i, i % 4 == 1 ? QStringLiteral("code") : QStringLiteral("text"),
                               i % 4 == 1 ? lines(8) : paragraphs(2, 40)));
    context().save();
    open(700);
    QScrollBar* bar = view->scrollArea()->verticalScrollBar();
    const int viewHeight = view->scrollArea()->viewport()->height();
    bar->setValue(bar->maximum() / 2);
    // At once: the rows that show; none a screen or more below.
    ImprovedBlockRowView* first = nullptr;
    for (ImprovedBlockRowView* row : view->rows()) {
        const int top = topInViewport(row);
        if (top + row->height() > 0 && top < viewHeight) {
            EXPECT_TRUE(row->isMaterialized()) << "a row in view at " << top;
            first = first ? first : row;
        }
        if (top > viewHeight + 100) {
            EXPECT_FALSE(row->isMaterialized()) << "a row below the view at " << top;
        }
    }
    ASSERT_TRUE(first);
    const int before = topInViewport(first);
    // While idle: the rows around, above too, with the row in view where it was.
    auto builtAround = [&] {
        for (ImprovedBlockRowView* row : view->rows()) {
            const int top = topInViewport(row);
            if (top + row->height() > -viewHeight / 2 && top < 2 * viewHeight && !row->isMaterialized())
                return false;
        }
        return true;
    };
    ASSERT_TRUE(testsupport::waitFor(builtAround));
    EXPECT_EQ(topInViewport(first), before);
    // Not the whole document.
    EXPECT_FALSE(view->rows().back()->isMaterialized());
}

TEST_F(PageFollowTest, ALongDocumentShowsOnlyTheRowsItBuiltAndKeepsEveryOtherInItsPlace) {
    std::vector<DocBlockPtr> blocks;
    for (int i = 0; i < 120; ++i)
        blocks.push_back(block(i, i % 6 == 3 ? QStringLiteral("code") : QStringLiteral("text"),
                               i % 6 == 3 ? lines(6) : paragraphs(1 + i % 2, 20 + 15 * (i % 5))));
    context().save();
    open(700);
    QScrollBar* bar = view->scrollArea()->verticalScrollBar();
    auto checkPage = [&](const char* when) {
        int built = 0;
        int expectedTop = -1;
        const QList<ImprovedBlockRowView*> rows = view->rows();
        for (ImprovedBlockRowView* row : rows) {
            // Built or not, each row stands right under the one before it.
            const int top = row->mapTo(view->scrollArea()->widget(), QPoint(0, 0)).y();
            if (expectedTop >= 0) {
                EXPECT_EQ(top, expectedTop) << when << ": row " << rows.indexOf(row);
            }
            expectedTop = top + row->height() + ImprovedBlockRowView::rowSpacing();
            EXPECT_GT(row->height(), 0);
            EXPECT_EQ(row->isVisible(), row->isMaterialized()) << when << ": row " << rows.indexOf(row);
            built += row->isMaterialized();
            // A plain text shows all its lines: as tall as a selectable label of its text at its width.
            if (auto* label = qobject_cast<QLabel*>(row->plainTextView()); label && row->isMaterialized()) {
                QLabel reference;
                reference.setFont(label->font());
                reference.setTextFormat(Qt::PlainText);
                reference.setWordWrap(true);
                reference.setTextInteractionFlags(label->textInteractionFlags());
                reference.setText(label->text());
                EXPECT_EQ(label->height(), reference.heightForWidth(label->width())) << when;
            }
        }
        EXPECT_GT(built, 0) << when;
        EXPECT_LT(built, int(rows.size()) / 2) << when << ": the whole document was built";
        EXPECT_GE(view->scrollArea()->widget()->height(), expectedTop) << when;
        EXPECT_TRUE(bar->isVisible()) << when;
    };
    checkPage("opened");
    // Straight to the end, as a drag of the scroll bar: the last block shows at the bottom of the view.
    bar->setValue(bar->maximum());
    testsupport::flushEvents();
    bar->setValue(bar->maximum());
    testsupport::flushEvents();
    ImprovedBlockRowView* last = view->rows().back();
    EXPECT_TRUE(last->isMaterialized());
    EXPECT_LE(topInViewport(last) + last->height(), view->scrollArea()->viewport()->height());
    EXPECT_GT(topInViewport(last) + last->height(), view->scrollArea()->viewport()->height() - 120);
    checkPage("at the end");
}

TEST_F(PageFollowTest, RowsOfALongDocumentMadeAfterItsFirstFrameMoveNothing) {
    std::vector<DocBlockPtr> blocks;
    for (int i = 0; i < 300; ++i)
        blocks.push_back(block(i, i % 7 == 3 ? QStringLiteral("code") : QStringLiteral("text"),
                               i % 7 == 3 ? lines(5) : paragraphs(1, 10 + 20 * (i % 4))));
    context().save();
    for (const bool jump : {false, true}) {
        view = std::make_unique<ImprovedDocEditorView>(services(), doc);
        view->resize(1000, 700);
        view->show();
        QScrollBar* bar = view->scrollArea()->verticalScrollBar();
        QWidget* page = view->scrollArea()->widget();
        const auto total = qsizetype(view->cachedBlocks().size());
        // Shown, before any event: the first blocks have their rows; the page is as long as all of them.
        ASSERT_LT(view->rows().size(), total);
        const int pageHeight = page->height();
        EXPECT_GT(pageHeight, 300 * 100);
        if (jump) {
            // A block far down reached at once (a search, a link) gets its row, at its place.
            view->scrollToBlock(blocks[280]->id(), false);
            ASSERT_TRUE(view->rowFor(blocks[280]->id()));
            EXPECT_TRUE(view->rowFor(blocks[280]->id())->isMaterialized());
            EXPECT_EQ(view->rows().size(), total);
        } else {
            bar->setValue(2000);
        }
        ImprovedBlockRowView* inView = nullptr;
        for (ImprovedBlockRowView* row : view->rows())
            if (topInViewport(row) >= 0) {
                inView = row;
                break;
            }
        ASSERT_TRUE(inView);
        const int before = topInViewport(inView);
        testsupport::flushEvents();
        // Made while idle: every row, and the page neither grew nor moved under the view.
        EXPECT_EQ(view->rows().size(), total);
        EXPECT_EQ(topInViewport(inView), before) << (jump ? "after a jump" : "scrolled");
        if (!jump) {
            EXPECT_NEAR(page->height(), pageHeight, 400);
        }
        // The list read again (a block added) finds every row in its place.
        view->toggleEditMode();
        view->addBlock(DocBlockType::text);
        testsupport::flushEvents();
        EXPECT_EQ(view->rows().size(), total + 1);
        view.reset();
        testsupport::flushEvents();
    }
}

TEST_F(PageFollowTest, ASwitchOfModeSwitchesTheRowsInViewAndTheOthersAsTheyComeNear) {
    for (int i = 0; i < 60; ++i)
        block(i, i % 3 == 1 ? QStringLiteral("code") : QStringLiteral("text"),
              i % 3 == 1 ? lines(8) : paragraphs(2, 40));
    context().save();
    open(700);
    QScrollBar* bar = view->scrollArea()->verticalScrollBar();
    const int viewHeight = view->scrollArea()->viewport()->height();
    auto inView = [&](ImprovedBlockRowView* row) {
        const int top = topInViewport(row);
        return top + row->height() > 0 && top < viewHeight;
    };
    auto builtAround = [&] {
        for (ImprovedBlockRowView* row : view->rows())
            if (inView(row) && !row->isMaterialized())
                return false;
        return true;
    };
    // The first rows were shown in view mode: their heights there are known.
    ASSERT_TRUE(testsupport::waitFor([&] { return view->rows()[5]->isMaterialized(); }));
    std::vector<int> viewHeights;
    for (int i = 0; i < 6; ++i)
        viewHeights.push_back(view->rows()[i]->height());
    enterEditMode();
    for (ImprovedBlockRowView* row : view->rows())
        if (inView(row)) {
            EXPECT_TRUE(row->isMaterialized() && (row->textEditor() || row->codeEditor()));
        }
    bar->setValue(bar->maximum() / 2);
    testsupport::flushEvents();
    ASSERT_TRUE(testsupport::waitFor(builtAround));
    for (ImprovedBlockRowView* row : view->rows())
        if (inView(row)) {
            EXPECT_TRUE(row->textEditor() || row->codeEditor()) << "a row in view at " << topInViewport(row);
        }
    view->toggleEditMode();
    ASSERT_TRUE(testsupport::waitFor([this] { return !view->isEditMode(); }));
    // Far from the view: not switched yet, at the height its view face had.
    for (int i = 0; i < 6; ++i) {
        ImprovedBlockRowView* row = view->rows()[i];
        if (row->isMaterialized())
            continue;
        EXPECT_EQ(row->height(), viewHeights[size_t(i)]) << i;
    }
    ASSERT_TRUE(testsupport::waitFor(builtAround));
    for (ImprovedBlockRowView* row : view->rows())
        if (inView(row)) {
            EXPECT_TRUE(row->isMaterialized() && (row->plainTextView() || row->codeView()));
        }
    // Coming back to the top switches the first rows, at the heights they had.
    bar->setValue(0);
    testsupport::flushEvents();
    ASSERT_TRUE(testsupport::waitFor(builtAround));
    for (int i = 0; i < 6; ++i) {
        ImprovedBlockRowView* row = view->rows()[i];
        if (!inView(row))
            continue;
        EXPECT_TRUE(row->isMaterialized() && (row->plainTextView() || row->codeView()));
        EXPECT_EQ(row->height(), viewHeights[size_t(i)]) << i;
    }
}

TEST_F(PageFollowTest, APageOfWrappedTextsStaysStillWhenNothingHappens) {
    // Plain texts are wrapped labels: the page's height depends on its width, and its minimum
    // differs from the height its rows take.
    for (int i = 0; i < 40; ++i)
        block(i, i % 3 == 1 ? QStringLiteral("code") : QStringLiteral("text"),
              i % 3 == 1 ? lines(12) : paragraphs(1, 20 + 15 * (i % 4)));
    context().save();
    open(700);
    QWidget* page = view->scrollArea()->widget();
    ASSERT_TRUE(testsupport::waitFor([&] { return view->rows()[8]->isMaterialized(); }));
    QTest::qWait(300);
    PaintCount paints;
    page->installEventFilter(&paints);
    const QSize before = page->size();
    QTest::qWait(300);
    EXPECT_EQ(paints.paints, 0);
    EXPECT_EQ(page->size(), before);
    page->removeEventFilter(&paints);
}
