#include "BoardFixture.h"

#include "board/BoardWidgets.h"
#include "board/NewChecklistColumnSheet.h"
#include "cardsheet/CardSheet.h"
#include "support/Accessibility.h"
#include "support/TestSupport.h"
#include "ui/Components.h"
#include "ui/KeyboardFocus.h"

#include <QLineEdit>
#include <QDrag>
#include <QMenu>

using namespace ChecklistLogic;

namespace {
QPoint centre(const QRect& r) { return r.center(); }
} // namespace

TEST_F(BoardTest, AnEmptyChecklistShowsItsDefaultColumnsOnce) {
    auto p = std::make_shared<Project>(
        ProjectFields{.name = "Site", .iconName = "folder", .createdAt = epoch(), .updatedAt = epoch()});
    ctx().insert(p);
    auto board = checklist("Vide", p);
    auto* v = show(board);
    ASSERT_EQ(v->columnViews().size(), 2u);
    EXPECT_EQ(v->columnViews()[0]->nameText(), "A faire");
    EXPECT_EQ(v->columnViews()[1]->nameText(), "Termine");
    EXPECT_EQ(v->header()->projectText(), "Projet : Site");
    EXPECT_EQ(v->header()->countsText(), "0 a faire • 0 terminee(s)");
    auto* empty = v->columnViews()[0];
    EXPECT_EQ(empty->countText(), "0 carte(s)");
    EXPECT_EQ(empty->badgeText(), "0");
    EXPECT_TRUE(empty->showsEmptyText());
    EXPECT_TRUE(empty->slotRects().empty());
    EXPECT_GE(empty->zoneRect().height(), 140);

    v->hide();
    v->show();
    testsupport::flushEvents();
    EXPECT_EQ(board->columns().size(), 2u);
}

TEST_F(BoardTest, ColumnsShowTheirVisibleCardsWithASlotInFrontOfEachAndAtTheEnd) {
    auto board = checklist("B");
    auto todo = column(board, "À faire", 0);
    column(board, "Caché", 1, true);
    auto done = column(board, "Terminé", 2);
    card(todo, "Second", 1);
    card(todo, "First", 0, false, QStringLiteral("Une note"));
    card(todo, "Hidden", 2, true);
    card(done, "Done", 0);
    auto* v = show(board);
    EXPECT_EQ(v->header()->nameText(), "B");
    EXPECT_EQ(v->header()->projectText(), "Checklist globale");
    EXPECT_EQ(v->header()->countsText(), "2 a faire • 1 terminee(s)");
    ASSERT_EQ(v->columnViews().size(), 2u);
    auto* col = v->columnViews()[0];
    ASSERT_EQ(col->tiles().size(), 2u);
    EXPECT_EQ(col->tiles()[0]->text(), "First");
    EXPECT_EQ(col->tiles()[0]->previewText(), "Une note");
    EXPECT_FALSE(col->tiles()[1]->hasPreview());
    EXPECT_EQ(col->countText(), "2 carte(s)");
    EXPECT_FALSE(col->showsEmptyText());
    const auto gaps = col->slotRects();
    ASSERT_EQ(gaps.size(), 3u);
    EXPECT_LT(gaps[0].bottom(), col->tiles()[0]->geometry().center().y());
    EXPECT_GT(gaps[2].top(), col->tiles()[1]->geometry().center().y());
    for (const QRect& s : gaps)
        EXPECT_EQ(s.height(), 10);
    EXPECT_EQ(v->columnViews()[1]->countText(), "1 carte(s)");
}

TEST_F(BoardTest, CardDropsWaitForTheDragToEndAndLeaveNoMark) {
    auto board = checklist("B");
    auto todo = column(board, "To do", 0);
    auto done = column(board, "Done", 1);
    auto x = card(todo, "X", 0), y = card(todo, "Y", 1);
    card(todo, "Z", 2);
    auto* v = show(board);
    auto* col = v->columnView(todo->id());
    std::unique_ptr<QMimeData> mime(BoardDrag::makeMime({BoardDrag::Payload::card, y->id()}));

    // Hovering the slot in front of X marks it, and only it grows.
    WindowDrag drag(v, mime.get());
    EXPECT_TRUE(drag.move(col, centre(col->slotRects()[0])));
    EXPECT_TRUE(BoardDrag::isSlotMarked(v->marks(), todo->id(), x->id()));
    EXPECT_EQ(col->slotRects()[0].height(), 18);
    EXPECT_EQ(col->slotRects()[1].height(), 10);

    // The drop is taken at once, the model changes only on the next turn of the event loop.
    EXPECT_TRUE(drag.drop());
    EXPECT_EQ(titles(todo), QStringList({"X", "Y", "Z"}));
    EXPECT_EQ(v->marks(), BoardDrag::Marks{});
    testsupport::flushEvents();
    EXPECT_EQ(titles(todo), QStringList({"Y", "X", "Z"}));
    EXPECT_FALSE(ctx().hasChanges());

    // Into the other column's drop zone: last there, the source numbered again.
    auto* other = v->columnView(done->id());
    EXPECT_TRUE(dragTo(other, centre(other->zoneRect()), mime.get()));
    testsupport::flushEvents();
    EXPECT_EQ(titles(done), QStringList({"Y"}));
    EXPECT_EQ(y->orderIndex(), 0);
    EXPECT_EQ(titles(todo), QStringList({"X", "Z"}));
    EXPECT_EQ(v->columnView(done->id())->tiles().size(), 1u);
}

TEST_F(BoardTest, RefusedAndCancelledDragsChangeNothingAndClearTheirMarks) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    auto x = card(a, "X", 0);
    card(a, "W", 1);
    auto* v = show(board);
    ASSERT_TRUE(ctx().save());
    auto* colA = v->columnView(a->id());
    const QDateTime stamped = board->updatedAt();

    std::unique_ptr<QMimeData> colMime(BoardDrag::makeMime({BoardDrag::Payload::column, b->id()}));
    std::unique_ptr<QMimeData> cardMime(BoardDrag::makeMime({BoardDrag::Payload::card, x->id()}));
    auto foreign = card(column(checklist("O"), "o", 0), "F", 0);
    std::unique_ptr<QMimeData> foreignMime(BoardDrag::makeMime({BoardDrag::Payload::card, foreign->id()}));
    QMimeData text;
    text.setText(QStringLiteral("card:pas-un-identifiant"));
    const struct {
        const char* what;
        const QMimeData* mime;
        QWidget* over;
        QPoint pos;
    } refused[] = {
        {"a card of another board", foreignMime.get(), colA, centre(colA->zoneRect())},
        {"text that only looks like a card", &text, colA, centre(colA->zoneRect())},
        {"a card over the board's header", cardMime.get(), v->header(), v->header()->rect().center()},
        {"a column over the board's header", colMime.get(), v->header(), v->header()->rect().center()},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(dragTo(r.over, r.pos, r.mime)) << r.what;
        EXPECT_EQ(v->marks(), BoardDrag::Marks{}) << r.what;
    }
    testsupport::flushEvents();
    EXPECT_EQ(titles(a), QStringList({"X", "W"}));
    EXPECT_EQ(board->updatedAt(), stamped);

    { // A column drag over a column outlines it; leaving (Escape) clears it.
        WindowDrag drag(v, colMime.get());
        EXPECT_TRUE(drag.move(colA, colA->menuButton()->geometry().center()));
        EXPECT_TRUE(colA->isReorderTarget());
        drag.leave();
        EXPECT_FALSE(colA->isReorderTarget());
    }
    { // A card that leaves its slot for no target keeps the column mark (the end slot grows), until
        // the drag leaves.
        WindowDrag drag(v, cardMime.get());
        drag.move(colA, centre(colA->slotRects()[0]));
        EXPECT_FALSE(drag.move(v->header(), v->header()->rect().center()));
        EXPECT_TRUE(BoardDrag::isSlotMarked(v->marks(), a->id(), std::nullopt));
        EXPECT_EQ(colA->slotRects().back().height(), 18);
        EXPECT_FALSE(colA->isReorderTarget());
        drag.leave();
        EXPECT_EQ(v->marks(), BoardDrag::Marks{});
        EXPECT_EQ(colA->slotRects().back().height(), 10);
    }
    { // Released where nothing takes it.
        WindowDrag drag(v, cardMime.get());
        drag.move(colA, centre(colA->slotRects()[1]));
        drag.move(v->header(), v->header()->rect().center());
        EXPECT_FALSE(drag.drop());
        EXPECT_EQ(v->marks(), BoardDrag::Marks{});
    }
    testsupport::flushEvents();
    EXPECT_EQ(titles(a), QStringList({"X", "W"}));
}

TEST_F(BoardTest, ColumnsDropJustBeforeTheirTargetAndKeepTheirViews) {
    auto board = checklist("B");
    auto w = column(board, "W", 0);
    column(board, "X", 1);
    auto y = column(board, "Y", 2);
    column(board, "Z", 3);
    card(w, "card of W", 0);
    auto* v = show(board);
    auto* wView = v->columnView(w->id());
    auto* yView = v->columnView(y->id());
    std::unique_ptr<QMimeData> mime(BoardDrag::makeMime({BoardDrag::Payload::column, w->id()}));
    EXPECT_TRUE(dragTo(yView, yView->menuButton()->geometry().center(), mime.get()));
    EXPECT_FALSE(yView->isReorderTarget());
    testsupport::flushEvents();
    EXPECT_EQ(columnNames(), QStringList({"X", "W", "Y", "Z"}));
    EXPECT_EQ(v->columnView(w->id()), wView); // the view follows its column
    EXPECT_LT(wView->x(), yView->x());

    // On itself: taken, nothing moves or is stamped.
    const QDateTime stamped = board->updatedAt();
    EXPECT_TRUE(dragTo(wView, wView->handle()->geometry().center(), mime.get()));
    testsupport::flushEvents();
    EXPECT_EQ(columnNames(), QStringList({"X", "W", "Y", "Z"}));
    EXPECT_EQ(board->updatedAt(), stamped);
}

TEST_F(BoardTest, TheKeyboardAndMenusMoveCardsAndColumnsToo) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    auto x = card(a, "X", 0);
    card(a, "Y", 1);
    auto* v = show(board);
    auto* tile = v->columnView(a->id())->tile(x->id());
    tile->setFocus();
    QTest::keyClick(tile, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(titles(a), QStringList({"Y", "X"}));
    auto* moved = v->columnView(a->id())->tile(x->id());
    EXPECT_TRUE(moved->hasFocus());
    QTest::keyClick(moved, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(titles(b), QStringList({"X"}));
    EXPECT_EQ(titles(a), QStringList({"Y"}));

    std::unique_ptr<QMenu> menu(v->cardMenu(x));
    QStringList texts;
    for (auto* action : menu->actions())
        texts << action->text();
    EXPECT_EQ(texts, QStringList({"Ouvrir", "", "Monter", "Descendre", "Déplacer vers"}));

    auto* handle = v->columnView(b->id())->handle();
    handle->setFocus();
    QTest::keyClick(handle, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(columnNames(), QStringList({"B", "A"}));
    v->columnView(b->id())->moveMenu()->actions()[1]->trigger();
    EXPECT_EQ(columnNames(), QStringList({"A", "B"}));
}

TEST_F(BoardTest, MovesByOnePlaceStopAtTheEndsOfTheirList) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    column(board, "B", 1);
    auto c = column(board, "C", 2);
    auto x = card(a, "X", 0);
    auto y = card(a, "Y", 1);
    auto z = card(a, "Z", 2);
    auto* v = show(board);
    v->moveCardBy(x, -1);
    v->moveCardBy(z, +1);
    EXPECT_EQ(titles(a), QStringList({"X", "Y", "Z"}));
    v->moveCardBy(y, -1);
    EXPECT_EQ(titles(a), QStringList({"Y", "X", "Z"}));
    v->moveCardBy(x, +1);
    EXPECT_EQ(titles(a), QStringList({"Y", "Z", "X"}));
    EXPECT_TRUE(v->columnView(a->id())->tile(x->id())->hasFocus());

    v->moveColumnBy(a, -1);
    v->moveColumnBy(c, +1);
    EXPECT_EQ(columnNames(), QStringList({"A", "B", "C"}));
    v->moveColumnBy(a, +1);
    EXPECT_EQ(columnNames(), QStringList({"B", "A", "C"}));
    v->moveColumnBy(c, -1);
    EXPECT_EQ(columnNames(), QStringList({"B", "C", "A"}));
}

TEST_F(BoardTest, DeletingAColumnAsksFirst) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    column(board, "C", 2);
    card(b, "gone", 0);
    auto* v = show(board);
    auto* menu = v->columnView(b->id())->menu();
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), "Modifier");
    EXPECT_TRUE(menu->actions()[1]->isSeparator());
    EXPECT_EQ(menu->actions()[2]->text(), "Supprimer");

    DialogSeam::pushAnswer(QStringLiteral("Annuler"));
    menu->actions()[2]->trigger();
    EXPECT_EQ(v->columnToDelete(), b);
    testsupport::flushEvents();
    ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
    EXPECT_EQ(DialogSeam::shownMessages()[0].text, "Supprimer la colonne ?");
    EXPECT_EQ(DialogSeam::shownMessages()[0].informativeText, "Les cartes de cette colonne seront aussi supprimees.");
    EXPECT_EQ(columnNames(), QStringList({"A", "B", "C"}));

    DialogSeam::pushAnswer(QStringLiteral("Supprimer"));
    menu->actions()[2]->trigger();
    testsupport::flushEvents();
    EXPECT_EQ(columnNames(), QStringList({"A", "C"}));
    EXPECT_EQ(v->columnViews().size(), 2u);
    EXPECT_TRUE(ctx().fetch<ChecklistCard>().empty());
    EXPECT_EQ(ChecklistLogic::sortedColumns(*board)[1]->orderIndex(), 1);
    (void)a;
}

TEST_F(BoardTest, TheColumnSheetOpensForANewColumnOrTheOneToEdit) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto* v = show(board);
    v->columnView(a->id())->menu()->actions()[0]->trigger();
    ASSERT_TRUE(v->columnSheet());
    EXPECT_TRUE(v->columnSheet()->isEditing());
    EXPECT_EQ(v->columnSheet()->titleText(), "Modifier la colonne");
    v->columnSheet()->reject();
    testsupport::flushEvents();

    // The tile and the header button always open it for a new column.
    QTest::mouseClick(v->addColumnTile(), Qt::LeftButton);
    ASSERT_TRUE(v->columnSheet());
    EXPECT_FALSE(v->columnSheet()->isEditing());
    v->columnSheet()->nameField()->setText(QStringLiteral("Review"));
    QTest::mouseClick(v->columnSheet()->confirmButton(), Qt::LeftButton);
    testsupport::flushEvents();
    EXPECT_EQ(columnNames(), QStringList({"A", "Review"}));
    EXPECT_EQ(v->columnViews().size(), 2u);

    QTest::mouseClick(v->header()->columnButton(), Qt::LeftButton);
    ASSERT_TRUE(v->columnSheet());
    EXPECT_EQ(v->columnSheet()->titleText(), "Nouvelle colonne");
}

TEST_F(BoardTest, TilesAndAddButtonsOpenTheCardSheetThroughTheBoard) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto x = card(a, "X", 0);
    auto* v = show(board);
    QTest::mouseClick(v->columnView(a->id())->tile(x->id()), Qt::LeftButton);
    EXPECT_TRUE(v->cardSheet()->isVisible());
    EXPECT_EQ(v->cardSheet()->editingCard(), x);
    EXPECT_FALSE(v->cardSheet()->isEditing());
    v->cardSheet()->reject();
    QTest::mouseClick(v->columnView(a->id())->addCardButton(), Qt::LeftButton);
    EXPECT_EQ(v->cardSheet()->targetColumn(), a);
    EXPECT_TRUE(v->cardSheet()->isEditing());
    v->cardSheet()->reject();

    ChecklistCardPtr opened;
    ChecklistColumnPtr newIn;
    v->setCardSheetHooks(
        {[&](const ChecklistCardPtr& c) { opened = c; }, [&](const ChecklistColumnPtr& c) { newIn = c; }});
    auto* tile = v->columnView(a->id())->tile(x->id());
    // A click on the tile's inner margin counts; one outside its rounded shape does not.
    QTest::mouseClick(tile, Qt::LeftButton, {}, QPoint(CardTile::kMargin + 3, tile->height() / 2));
    EXPECT_EQ(opened, x);
    opened = nullptr;
    QTest::mouseClick(tile, Qt::LeftButton, {}, QPoint(CardTile::kMargin + 1, CardTile::kMargin + 1));
    EXPECT_FALSE(opened);
    QTest::mouseClick(v->columnView(a->id())->addCardButton(), Qt::LeftButton);
    EXPECT_EQ(newIn, a);
}

TEST_F(BoardTest, EveryTextAndControlIsNamedForAssistiveTechnology) {
    auto board = checklist("B");
    auto a = column(board, "À faire", 0);
    card(a, "Écrire le plan", 0, false, QStringLiteral("Deux pages"));
    column(board, "Terminé", 1);
    auto* v = show(board);
    EXPECT_EQ(testsupport::unnamedAccessibleElements(v), QStringList());
    const QStringList names = testsupport::accessibleNames(v);
    for (const char* name : {"B", "Checklist globale", "1 a faire • 0 terminee(s)", "Colonne", "À faire", "1 carte(s)",
                             "Ajouter une étape", "Écrire le plan", "Options de la colonne", "Déplacer la colonne",
                             "Glisser une carte ici ou ajoutez-en une.", "Ajouter une colonne"})
        EXPECT_TRUE(names.contains(QString::fromUtf8(name))) << name;
    auto* add = testsupport::findAccessible(v, QStringLiteral("Ajouter une étape"), QAccessible::Button);
    ASSERT_TRUE(add);
    ChecklistColumnPtr newIn;
    v->setCardSheetHooks({{}, [&](const ChecklistColumnPtr& c) { newIn = c; }});
    EXPECT_TRUE(testsupport::pressAccessible(add));
    EXPECT_TRUE(testsupport::waitFor([&] { return newIn == a; }));
}

TEST_F(BoardTest, ADragStartedOnATileMovesTheCardOnlyAfterItsLoopAndClearsEveryMark) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    auto x = card(a, "X", 0);
    auto* v = show(board);
    auto* target = v->columnView(b->id());
    bool sawNoChangeInsideLoop = false;
    ChecklistDetailView::setDragLoopForTesting([&](QDrag& drag) {
        EXPECT_EQ(drag.mimeData()->text(), BoardDrag::cardPayload(x->id()));
        EXPECT_TRUE(dragTo(target, target->zoneRect().center(), drag.mimeData()));
        EXPECT_EQ(v->marks(), BoardDrag::Marks{});
        testsupport::flushEvents(); // the drag loop keeps handling events
        sawNoChangeInsideLoop = titles(b).isEmpty() && target->tiles().empty();
        return Qt::MoveAction;
    });
    auto* tile = v->columnView(a->id())->tile(x->id());
    QTest::mousePress(tile, Qt::LeftButton, {}, tile->rect().center());
    QTest::mouseMove(tile, tile->rect().center() + QPoint(0, 30));
    ChecklistDetailView::setDragLoopForTesting({});
    EXPECT_TRUE(sawNoChangeInsideLoop);
    EXPECT_EQ(v->marks(), BoardDrag::Marks{});
    testsupport::flushEvents();
    EXPECT_EQ(titles(b), QStringList({"X"}));
    EXPECT_EQ(v->columnView(b->id())->tiles().size(), 1u);

    // A drag cancelled over a slot (Escape) leaves no mark behind.
    auto* source = v->columnView(b->id())->tile(x->id());
    ChecklistDetailView::setDragLoopForTesting([&](QDrag& drag) {
        auto* col = v->columnView(a->id());
        WindowDrag over(v, drag.mimeData());
        over.move(col, col->zoneRect().center());
        EXPECT_TRUE(v->marks().dropTargetColumnId);
        over.leave(); // Escape: the window system says the drag left
        return Qt::IgnoreAction;
    });
    v->startCardDrag(x, source);
    ChecklistDetailView::setDragLoopForTesting({});
    EXPECT_EQ(v->marks(), BoardDrag::Marks{});
    testsupport::flushEvents();
    EXPECT_EQ(titles(b), QStringList({"X"}));
}

TEST_F(BoardTest, OneTileAtATimeIsHovered) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto x = card(a, "X", 0), y = card(a, "Y", 1);
    auto* v = show(board);
    auto* tx = v->columnView(a->id())->tile(x->id());
    auto* ty = v->columnView(a->id())->tile(y->id());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(tx, &enter);
    EXPECT_EQ(v->marks().hoverCardId, x->id());
    QApplication::sendEvent(ty, &enter);
    EXPECT_EQ(v->marks().hoverCardId, y->id());
    EXPECT_TRUE(ty->isHovered());
    EXPECT_FALSE(tx->isHovered());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(tx, &leave); // whichever card the field named
    EXPECT_FALSE(v->marks().hoverCardId);
}

TEST_F(BoardTest, TabWalksEachColumnFromItsMenuThroughItsCards) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    auto x = card(a, "X", 0);
    auto* v = show(board);
    v->activateWindow();
    auto* colA = v->columnView(a->id());
    auto* colB = v->columnView(b->id());
    const std::vector<QWidget*> expected{colA->menuButton(), colA->handle(), colA->addCardButton(), colA->tile(x->id()),
                                         colB->menuButton(), colB->handle(), colB->addCardButton()};
    QWidget* w = expected.front();
    for (size_t i = 1; i < expected.size(); ++i) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !w->isVisible())
            w = w->nextInFocusChain();
        EXPECT_EQ(w, expected[i]) << i;
    }
}

TEST_F(BoardTest, KeyboardFocusScrollsItsCardIntoView) {
    auto board = checklist("B");
    ChecklistColumnPtr last;
    for (int i = 0; i < 8; ++i)
        last = column(board, QStringLiteral("C%1").arg(i), i);
    for (int i = 0; i < 12; ++i)
        card(last, QStringLiteral("Carte %1").arg(i), i);
    auto* v = show(board);
    v->resize(900, 600);
    v->activateWindow();
    testsupport::flushEvents();
    // Out of sight sideways: its tile is made when asked for.
    auto* tile = v->columnView(last->id())->ensureTile(ChecklistLogic::sortedCards(*last).back()->id());
    ASSERT_NE(tile, nullptr);
    tile->setFocus(Qt::TabFocusReason);
    testsupport::flushEvents();
    const QRect visible = v->rect();
    const QRect shown(tile->mapTo(v, QPoint(0, 0)), tile->size());
    EXPECT_TRUE(visible.contains(shown)) << shown.x() << "," << shown.y();
}

TEST_F(BoardTest, LongNamesAreCutAndKeptWholeForReadersAtEveryWindowSize) {
    const QString name = QString(QStringLiteral("Abcdefghij")).repeated(30);
    const QString columnName = QStringLiteral("Revue ") + QString(QStringLiteral("Klmnopqrst")).repeated(12);
    auto board = checklist(name);
    column(board, columnName, 0);
    auto* v = show(board);
    auto plain = [](QString tip) {
        return tip.remove(QStringLiteral("<qt>")).remove(QStringLiteral("</qt>")).remove(QChar(0x200B));
    };
    for (const QSize size : {QSize(900, 600), QSize(1100, 720)}) {
        SCOPED_TRACE(size.width());
        v->resize(size);
        testsupport::flushEvents();
        const QRect button(v->header()->columnButton()->mapTo(v, QPoint()), v->header()->columnButton()->size());
        EXPECT_TRUE(v->rect().contains(button));
        EXPECT_LE(v->header()->geometry().right(), v->width());

        auto* title = v->header()->nameLabel();
        EXPECT_TRUE(title->isCut());
        EXPECT_EQ(plain(title->toolTip()), name);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(title)->text(QAccessible::Name), name);

        auto* col = v->columnViews().front()->nameLabel();
        const QStringList lines = col->visibleLines(col->width());
        EXPECT_EQ(lines.size(), 3);
        EXPECT_EQ(lines.first().trimmed(), QStringLiteral("Revue"));
        EXPECT_TRUE(lines.last().endsWith(QChar(0x2026)));
        EXPECT_EQ(plain(col->toolTip()), columnName);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(col)->text(QAccessible::Name), columnName);
    }
}

// A press on a tile focuses it without a ring, even after earlier Tab presses; Tab, or moving the card
// with the keyboard, brings the ring.
TEST_F(BoardTest, ATileShowsItsFocusRingAfterKeyboardNavigationOnly) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    auto x = card(a, "X", 0);
    auto* v = show(board);
    CardTile* tile = v->columnView(a->id())->tile(x->id());
    ASSERT_TRUE(tile);
    QApplication::setActiveWindow(v->window());
    auto ring = [](CardTile* t) {
        const QImage img = t->grab().toImage();
        const QColor edge = img.pixelColor(img.width() / 2, CardTile::kMargin + 1);
        return edge.blue() > edge.red() + 60; // the accent blue on the tile's top edge
    };
    v->window()->setAttribute(Qt::WA_KeyboardFocusChange, true); // the person used Tab before
    // Pressed (and let go beside it, which opens nothing).
    QTest::mousePress(tile, Qt::LeftButton, {}, tile->rect().center());
    EXPECT_TRUE(tile->hasFocus());
    EXPECT_FALSE(ring(tile));
    QTest::mouseRelease(tile, Qt::LeftButton, {}, QPoint(-20, -20));
    testsupport::flushEvents();
    QTest::keyClick(tile, Qt::Key_Right, Qt::AltModifier);
    testsupport::flushEvents();
    CardTile* moved = v->columnView(b->id())->tile(x->id());
    ASSERT_TRUE(moved);
    EXPECT_TRUE(moved->hasFocus());
    EXPECT_TRUE(ring(moved));
}

// A column's "…" and handle clicked with the pointer keep no keyboard: once the menu is closed no ring
// shows and Space opens nothing; Tab still reaches them, with their ring.
TEST_F(BoardTest, AColumnsButtonsClickedWithThePointerKeepNoKeyboard) {
    std::unique_ptr<QObject> watch(KeyboardFocus::install(qApp));
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto* v = show(board);
    QApplication::setActiveWindow(v->window());
    auto* col = v->columnView(a->id());
    for (QWidget* button : {static_cast<QWidget*>(col->menuButton()), static_cast<QWidget*>(col->handle())}) {
        SCOPED_TRACE(button->accessibleName().toStdString());
        v->window()->setAttribute(Qt::WA_KeyboardFocusChange, true); // Tab was used before
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        testsupport::flushEvents();
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_TRUE(menu);
        menu->close();
        testsupport::flushEvents();
        EXPECT_FALSE(button->hasFocus());
        EXPECT_FALSE(KeyboardFocus::showsRing(button));
        QTest::keyClick(v->window(), Qt::Key_Space);
        testsupport::flushEvents();
        EXPECT_FALSE(QApplication::activePopupWidget());
        if (auto* open = QApplication::activePopupWidget())
            open->close();
    }
    EXPECT_TRUE(col->menuButton()->focusPolicy() & Qt::TabFocus);
}
