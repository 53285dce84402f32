#include "BoardFixture.h"

#include "board/BoardWidgets.h"

#include <QDrag>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

#include <functional>

using namespace ChecklistLogic;

namespace {

// Where the row of `view`'s columns is scrolled to.
int across(ChecklistDetailView* v) { return v->columnsScroller()->horizontalScrollBar()->value(); }

} // namespace

using BoardDropTest = BoardTest;

// The pointer comes into a column over its margin, its header or a tile (it rarely lands on a
// slot first); the drag is taken there and every later position finds its target. The slots and the
// zone take a card; the rest of a column's card (header, tiles, padding) is its reorder target, which
// marks the column and refuses the card; the gap between two columns, the space below a shorter one
// and what lies past the last one take nothing.
TEST_F(BoardDropTest, ACardDragIsTakenWhereverItEntersAndOnlySlotsAndZonesTakeIt) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    auto c = column(board, "C", 2);
    auto x = card(a, "X", 0), y = card(a, "Y", 1), z = card(a, "Z", 2);
    auto w = card(b, "W", 0);
    auto* v = show(board);
    auto* colA = v->columnView(a->id());
    auto* colB = v->columnView(b->id());
    auto* colC = v->columnView(c->id());
    std::unique_ptr<QMimeData> mime(BoardDrag::makeMime({BoardDrag::Payload::card, x->id()}));

    const QUuid none;
    auto inA = [&](QWidget* other, QPoint p) { return colA->mapFrom(v, other->mapTo(v, p)); };
    enum Mark { slot, header, nothing };
    const struct {
        const char* what;
        std::function<QPoint()> at; // in colA's coordinates, worked out when the pointer gets there
        Mark mark;
        QUuid column;
        std::optional<QUuid> before; // the marked slot's card; none for the end
    } path[] = {
        {"A's margin beside Y",
         [&] { return QPoint(colA->cardRect().left() + 4, colA->tile(y->id())->geometry().center().y()); }, header,
         a->id(), std::nullopt},
        {"the slot in front of Y", [&] { return colA->slotRects()[1].center(); }, slot, a->id(), y->id()},
        {"A's header", [&] { return colA->menuButton()->geometry().center(); }, header, a->id(), std::nullopt},
        {"the tile of Z", [&] { return colA->tile(z->id())->geometry().center(); }, header, a->id(), std::nullopt},
        {"A's end slot", [&] { return colA->slotRects().back().center(); }, slot, a->id(), std::nullopt},
        {"A's « Ajouter une étape »", [&] { return colA->addCardButton()->geometry().center(); }, header, a->id(),
         std::nullopt},
        {"A's zone", [&] { return colA->zoneRect().center(); }, slot, a->id(), std::nullopt},
        {"the gap just before B",
         [&] { return inA(colB, QPoint(colB->cardRect().left() - 4, colB->cardRect().center().y())); }, nothing, none,
         std::nullopt},
        {"B's header", [&] { return inA(colB, colB->handle()->geometry().center()); }, header, b->id(), std::nullopt},
        {"the slot in front of W", [&] { return inA(colB, colB->slotRects()[0].center()); }, slot, b->id(), w->id()},
        {"below B's card", [&] { return inA(colB, QPoint(180, colB->cardRect().bottom() + 30)); }, nothing, none,
         std::nullopt},
        {"the board's header", [&] { return inA(v->header(), v->header()->rect().center()); }, nothing, none,
         std::nullopt},
        {"the empty column C's header", [&] { return inA(colC, colC->addCardButton()->geometry().center()); }, header,
         c->id(), std::nullopt},
        {"the add-column tile, past the last column", [&] { return inA(v->addColumnTile(), QPoint(100, 50)); }, nothing,
         none, std::nullopt},
        {"C's zone", [&] { return inA(colC, colC->zoneRect().center()); }, slot, c->id(), std::nullopt},
    };
    WindowDrag drag(v, mime.get());
    for (const auto& step : path) {
        EXPECT_EQ(drag.move(colA, step.at()), step.mark == slot) << step.what;
        if (step.mark == slot) {
            EXPECT_TRUE(BoardDrag::isSlotMarked(v->marks(), step.column, step.before)) << step.what;
            EXPECT_FALSE(v->marks().dropTargetColumnReorderId) << step.what;
        } else if (step.mark == header) {
            EXPECT_EQ(v->marks().dropTargetColumnReorderId, step.column) << step.what;
            EXPECT_FALSE(v->marks().dropTargetCardId) << step.what;
        } else {
            EXPECT_FALSE(v->marks().dropTargetColumnReorderId) << step.what;
            EXPECT_FALSE(v->marks().dropTargetCardId) << step.what;
        }
    }
    // Only the last position decides.
    EXPECT_TRUE(drag.drop());
    EXPECT_EQ(v->marks(), BoardDrag::Marks{});
    testsupport::flushEvents();
    EXPECT_EQ(titles(c), QStringList({"X"}));
    EXPECT_EQ(titles(a), QStringList({"Y", "Z"}));
    EXPECT_EQ(titles(b), QStringList({"W"}));

    // Released on the slot in front of a card: in front of it.
    EXPECT_TRUE(dragTo(colB, colB->slotRects()[0].center(), mime.get()));
    testsupport::flushEvents();
    EXPECT_EQ(titles(b), QStringList({"X", "W"}));
}

// Released over a column's header, over a tile, between two columns or below a shorter column, a card
// goes back: nothing moves, nothing is stamped, and no mark stays.
TEST_F(BoardDropTest, ACardReleasedAnywhereButASlotOrAZoneGoesBack) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    auto x = card(a, "X", 0);
    auto w = card(b, "W", 0);
    for (int i = 1; i < 5; ++i)
        card(b, QStringLiteral("W%1").arg(i), i);
    auto* v = show(board);
    auto* colA = v->columnView(a->id());
    auto* colB = v->columnView(b->id());
    ASSERT_LT(colA->cardRect().bottom() + 40, colB->cardRect().bottom());
    const QDateTime stamped = board->updatedAt();
    std::unique_ptr<QMimeData> mime(BoardDrag::makeMime({BoardDrag::Payload::card, x->id()}));
    const std::pair<QWidget*, QPoint> places[] = {
        {colB, colB->menuButton()->geometry().center()},
        {colB, colB->addCardButton()->geometry().center()},
        {colB, QPoint(colB->cardRect().left() - 6, colB->cardRect().center().y())},
        {colB, colB->tile(w->id())->geometry().center()},
        {colA, QPoint(colA->cardRect().center().x(), colA->cardRect().bottom() + 20)},
    };
    const QStringList inB = titles(b);
    for (const auto& [over, at] : places) {
        SCOPED_TRACE(QStringLiteral("%1,%2").arg(at.x()).arg(at.y()).toStdString());
        EXPECT_FALSE(dragTo(over, at, mime.get()));
        testsupport::flushEvents();
        EXPECT_EQ(v->marks(), BoardDrag::Marks{});
        EXPECT_EQ(titles(a), QStringList({"X"}));
        EXPECT_EQ(titles(b), inB);
        EXPECT_EQ(x->orderIndex(), 0);
        EXPECT_EQ(board->updatedAt(), stamped);
    }
}

// A column goes in front of the column whose card it is released on (header, tiles); the slots and
// the zone refuse it, and the gaps between columns and their shadows take nothing.
TEST_F(BoardDropTest, AColumnIsTakenOnAColumnsCardOutsideItsSlotsAndZone) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    auto c = column(board, "C", 2);
    auto w = card(b, "W", 0);
    auto* v = show(board);
    auto* colA = v->columnView(a->id());
    auto* colB = v->columnView(b->id());
    const QDateTime stamped = board->updatedAt();
    std::unique_ptr<QMimeData> mime(BoardDrag::makeMime({BoardDrag::Payload::column, c->id()}));
    {
        WindowDrag drag(v, mime.get());
        // In through A's shadow, then B's header, then one of B's cards.
        EXPECT_FALSE(drag.move(colA, QPoint(colA->cardRect().left() - 3, 60)));
        EXPECT_FALSE(v->marks().dropTargetColumnReorderId);
        EXPECT_TRUE(drag.move(colB, colB->menuButton()->geometry().center()));
        EXPECT_EQ(v->marks().dropTargetColumnReorderId, b->id());
        EXPECT_FALSE(v->marks().dropTargetColumnId);
        // Past the last column nothing takes it (a column goes in front of its target).
        EXPECT_FALSE(drag.move(v->addColumnTile(), v->addColumnTile()->rect().center()));
        EXPECT_FALSE(v->marks().dropTargetColumnReorderId);
        EXPECT_TRUE(drag.move(colB, colB->tile(w->id())->geometry().center()));
        EXPECT_TRUE(colB->isReorderTarget());
        EXPECT_FALSE(colA->isReorderTarget());
    }
    // Refused: B's slots, its zone, A's zone, the gap between A and B.
    const std::pair<QWidget*, QPoint> refused[] = {
        {colB, colB->slotRects()[0].center()},
        {colB, colB->slotRects().back().center()},
        {colB, colB->zoneRect().center()},
        {colA, colA->zoneRect().center()},
        {colB, QPoint(colB->cardRect().left() - 7, colB->cardRect().center().y())},
    };
    for (const auto& [over, at] : refused) {
        SCOPED_TRACE(QStringLiteral("%1,%2").arg(at.x()).arg(at.y()).toStdString());
        EXPECT_FALSE(dragTo(over, at, mime.get()));
        testsupport::flushEvents();
        EXPECT_EQ(v->marks(), BoardDrag::Marks{});
        EXPECT_EQ(columnNames(), QStringList({"A", "B", "C"}));
        EXPECT_EQ(c->orderIndex(), 2);
        EXPECT_EQ(board->updatedAt(), stamped);
    }
    EXPECT_TRUE(dragTo(colB, colB->tile(w->id())->geometry().center(), mime.get()));
    testsupport::flushEvents();
    EXPECT_EQ(columnNames(), QStringList({"A", "C", "B"}));
}

// A drop redraws the board: the row stays where it was and the moved card keeps the focus, even when
// the card's old tile, on going away, hands the focus to a control out of sight.
TEST_F(BoardDropTest, TheBoardStaysWhereItWasAfterADrop) {
    auto board = checklist("B");
    std::vector<ChecklistColumnPtr> cols;
    for (int i = 0; i < 6; ++i)
        cols.push_back(column(board, QStringLiteral("C%1").arg(i), i));
    auto moved = card(cols[1], "M", 0);
    card(cols[2], "N", 0);
    auto* v = show(board);
    v->resize(900, 700);
    v->activateWindow();
    testsupport::flushEvents();
    // Column 2 cut by the right edge: its menu, next in the focus chain, is out of sight.
    auto* from = v->columnView(cols[1]->id());
    auto* to = v->columnView(cols[2]->id());
    QScrollBar* bar = v->columnsScroller()->horizontalScrollBar();
    bar->setValue(to->mapTo(v->columnsScroller()->widget(), QPoint()).x() + 200 - v->width());
    const int before = bar->value();
    ASSERT_GT(before, 0);
    ASSERT_FALSE(v->rect().contains(to->menuButton()->mapTo(v, to->menuButton()->rect().bottomRight())));

    auto* tile = from->tile(moved->id());
    tile->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(bar->value(), before); // a click does not slide the board
    ChecklistDetailView::setDragLoopForTesting([&](QDrag& d) {
        EXPECT_TRUE(dragTo(to, QPoint(to->cardRect().left() + 60, to->slotRects()[0].center().y()), d.mimeData()));
        return Qt::MoveAction;
    });
    v->startCardDrag(moved, tile);
    ChecklistDetailView::setDragLoopForTesting({});
    testsupport::flushEvents();
    EXPECT_EQ(titles(cols[2]), QStringList({"M", "N"}));
    EXPECT_EQ(bar->value(), before);
    auto* now = v->columnView(cols[2]->id())->tile(moved->id());
    ASSERT_TRUE(now);
    EXPECT_TRUE(now->hasFocus());
}

TEST_F(BoardDropTest, ADragNearAnEdgeScrollsTheBoardWhileItRestsThere) {
    auto board = checklist("B");
    std::vector<ChecklistColumnPtr> cols;
    for (int i = 0; i < 6; ++i)
        cols.push_back(column(board, QStringLiteral("C%1").arg(i), i));
    for (int i = 0; i < 12; ++i)
        card(cols[0], QStringLiteral("Carte %1").arg(i), i);
    auto x = card(cols[1], "X", 0);
    auto* v = show(board);
    v->resize(900, 600);
    testsupport::flushEvents();
    QScrollBar* down = v->verticalScroller()->verticalScrollBar();
    ASSERT_GT(down->maximum(), 0);
    std::unique_ptr<QMimeData> mime(BoardDrag::makeMime({BoardDrag::Payload::card, x->id()}));
    const int midY = v->verticalScroller()->geometry().center().y();
    const int rightEdge =
        v->columnsScroller()->viewport()->mapTo(v, QPoint(v->columnsScroller()->viewport()->width(), 0)).x();

    WindowDrag drag(v, mime.get());
    // Nothing to the left yet: resting at the left edge does nothing.
    drag.move(v, QPoint(6, midY));
    EXPECT_FALSE(v->isAutoScrolling());
    // At the right edge it scrolls, and the column now under the pointer is the target.
    drag.move(v, QPoint(rightEdge - 6, midY));
    EXPECT_TRUE(v->isAutoScrolling());
    EXPECT_GT(v->autoScrollVelocity(QPoint(rightEdge - 6, midY)).x(),
              v->autoScrollVelocity(QPoint(rightEdge - 40, midY)).x()); // faster nearer the edge
    EXPECT_TRUE(QTest::qWaitFor([&] { return across(v) > 100; }, 3000));
    const QPoint inRow = v->columnsScroller()->widget()->mapFrom(v, QPoint(rightEdge - 6, midY));
    QUuid under;
    for (auto* c : v->columnViews())
        if (c->geometry()
                .adjusted(c->cardRect().left() - 7, 0, -(c->width() - c->cardRect().right()) + 7, 0)
                .contains(inRow))
            under = c->columnId();
    EXPECT_EQ(v->marks().dropTargetColumnId, under);
    // Back in the middle it stops; at the left edge it goes back.
    drag.move(v, QPoint(v->width() / 2, midY));
    EXPECT_FALSE(v->isAutoScrolling());
    const int reached = across(v);
    drag.move(v, QPoint(6, midY));
    EXPECT_TRUE(QTest::qWaitFor([&] { return across(v) < reached; }, 3000));
    // Downwards at the foot of the board.
    drag.move(v, QPoint(v->width() / 2, v->verticalScroller()->geometry().bottom() - 4));
    EXPECT_TRUE(QTest::qWaitFor([&] { return down->value() > 0; }, 3000));
    // However the drag ends, it stops.
    drag.leave();
    EXPECT_FALSE(v->isAutoScrolling());
    EXPECT_EQ(v->marks(), BoardDrag::Marks{});
}

TEST_F(BoardDropTest, TheRowShowsItContinuesAndAPlainWheelScrollsItWhenNothingScrollsDown) {
    auto board = checklist("B");
    for (int i = 0; i < 6; ++i)
        column(board, QStringLiteral("C%1").arg(i), i);
    auto* v = show(board);
    v->resize(900, 900);
    testsupport::flushEvents();
    QScrollBar* foot = v->rowScrollBar();
    ASSERT_EQ(v->verticalScroller()->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(foot->isVisible());
    EXPECT_EQ(foot->maximum(), v->columnsScroller()->horizontalScrollBar()->maximum());
    EXPECT_TRUE(v->fadesEdge(Qt::RightEdge));
    EXPECT_FALSE(v->fadesEdge(Qt::LeftEdge));
    foot->setValue(foot->maximum());
    EXPECT_TRUE(v->fadesEdge(Qt::LeftEdge));
    EXPECT_FALSE(v->fadesEdge(Qt::RightEdge));
    foot->setValue(0);

    // As the window system sends it, to whatever lies under the pointer.
    auto wheel = [&](QWidget* over, QPoint angle) {
        const QPoint at = over->mapTo(v, QPoint(10, 10));
        QWheelEvent e(QPointF(at), QPointF(v->mapToGlobal(at)), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&e); // as QTest does: sendEvent would make it a synthetic one
        qApp->notify(v->windowHandle(), &e);
    };
    auto* column = v->columnViews()[1];
    wheel(column, QPoint(0, -120)); // down: to the right
    EXPECT_EQ(across(v), 120);
    EXPECT_EQ(foot->value(), 120);
    wheel(v->header(), QPoint(0, 120)); // over the background too
    EXPECT_EQ(across(v), 0);
    foot->setValue(200);
    EXPECT_EQ(across(v), 200);

    // A board that scrolls downwards keeps the plain wheel for that.
    v->resize(900, 300);
    testsupport::flushEvents();
    ASSERT_GT(v->verticalScroller()->verticalScrollBar()->maximum(), 0);
    wheel(column, QPoint(0, -120));
    EXPECT_EQ(across(v), 200);
    EXPECT_GT(v->verticalScroller()->verticalScrollBar()->value(), 0);

    // Wide enough for every column: no bar.
    v->resize(3000, 900);
    testsupport::flushEvents();
    EXPECT_FALSE(foot->isVisible());
    EXPECT_FALSE(v->fadesEdge(Qt::LeftEdge) || v->fadesEdge(Qt::RightEdge));
}
