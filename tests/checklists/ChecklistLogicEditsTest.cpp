#include "ChecklistLogicFixture.h"

#include "core/store/ModelContext.h"

using namespace ChecklistLogic;

using ChecklistEditsTest = ChecklistStoreTest;

TEST_F(ChecklistEditsTest, TouchStampsTheChecklistAndItsProjectWithSeparateReadings) {
    auto global = checklist("G");
    ChecklistEdits::touchChecklist(*global);
    EXPECT_EQ(global->updatedAt(), base.addSecs(ticks));

    auto p = project("P");
    auto linked = checklist("L", p);
    ChecklistEdits::touchChecklist(*linked);
    EXPECT_EQ(linked->updatedAt(), base.addSecs(ticks - 1));
    EXPECT_EQ(p->updatedAt(), base.addSecs(ticks));
}

TEST_F(ChecklistEditsTest, RenumberNumbersVisibleCardsAndKeepsHiddenOnesInTheirColumn) {
    auto col = column(checklist("B"), "c", 0);
    auto a = card(col, "a", 5);
    auto hidden = card(col, "h", 7, true);
    auto b = card(col, "b", 9);
    auto c = card(col, "c", 9);
    ChecklistEdits::renumberCards(*col);
    EXPECT_EQ(names(sortedCards(*col)), QStringList({"a", "b", "c"}));
    EXPECT_EQ(orders(sortedCards(*col)), std::vector<int>({0, 1, 2}));
    EXPECT_EQ(hidden->column(), col);
    EXPECT_EQ(hidden->orderIndex(), 7);
    (void)a, (void)b, (void)c;
}

TEST_F(ChecklistEditsTest, CreatingAChecklistGivesItTwoAccentedColumnsInItsProjectsColour) {
    auto orange = project("O", QStringLiteral("orange"));
    auto hexOnly = project("H", std::nullopt, QStringLiteral("#112233"));
    auto e = edits();

    auto c = e.createChecklist("  Sprint\n", orange);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->name(), "Sprint");
    EXPECT_EQ(c->iconName(), "checklist");
    EXPECT_EQ(c->colorKey(), OptText("orange"));
    EXPECT_FALSE(c->colorHex());
    EXPECT_EQ(orange->updatedAt(), base.addSecs(ticks));
    EXPECT_GE(c->updatedAt(), c->createdAt());
    const auto cols = sortedColumns(*c);
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_EQ(names(cols), QStringList({"À faire", "Terminé"}));
    EXPECT_EQ(orders(cols), std::vector<int>({0, 1}));
    EXPECT_EQ(cols[0]->colorKey(), OptText("orange"));
    EXPECT_EQ(cols[1]->colorKey(), OptText("green"));
    EXPECT_FALSE(cols[1]->colorHex());

    auto h = e.createChecklist("Hex", hexOnly);
    EXPECT_EQ(h->colorKey(), OptText("blue"));
    EXPECT_EQ(h->colorHex(), OptText("#112233"));
    EXPECT_EQ(sortedColumns(*h)[0]->colorHex(), OptText("#112233"));
    EXPECT_FALSE(sortedColumns(*h)[1]->colorHex());

    auto g = e.createChecklist("Global", nullptr);
    EXPECT_EQ(g->colorKey(), OptText("blue"));
    EXPECT_FALSE(g->project());

    EXPECT_EQ(e.createChecklist(" \n\t", nullptr), nullptr);
    EXPECT_EQ(ctx().fetch<Checklist>().size(), 3u);
    EXPECT_FALSE(ctx().hasChanges());
    // The board never adds its own columns to these.
    EXPECT_FALSE(e.ensureDefaultColumns(g));
}

TEST_F(ChecklistEditsTest, DefaultColumnsAreAddedOnceAndOnlyToAChecklistWithoutAnyColumn) {
    auto p = project("P");
    auto board = checklist("B", p, QStringLiteral("pink"), QStringLiteral("#ABCDEF"));
    auto e = edits();
    ASSERT_TRUE(e.ensureDefaultColumns(board));
    auto cols = sortedColumns(*board);
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_EQ(cols[0]->name(), "A faire");
    EXPECT_EQ(cols[0]->iconName(), "square.stack.3d.up");
    EXPECT_EQ(cols[0]->colorKey(), OptText("pink"));
    EXPECT_EQ(cols[0]->colorHex(), OptText("#ABCDEF"));
    EXPECT_EQ(cols[1]->name(), "Termine");
    EXPECT_EQ(cols[1]->iconName(), "checkmark.seal");
    EXPECT_EQ(cols[1]->colorKey(), OptText("green"));
    EXPECT_FALSE(cols[1]->colorHex());
    EXPECT_EQ(orders(cols), std::vector<int>({0, 1}));
    EXPECT_LT(cols[0]->createdAt(), cols[0]->updatedAt());
    EXPECT_EQ(p->updatedAt(), base.addSecs(ticks));
    EXPECT_FALSE(e.ensureDefaultColumns(board));
    EXPECT_EQ(board->columns().size(), 2u);

    auto onlyHidden = checklist("H");
    column(onlyHidden, "old", 0, true);
    EXPECT_FALSE(e.ensureDefaultColumns(onlyHidden));
    EXPECT_TRUE(sortedColumns(*onlyHidden).empty());

    // No colour: the first column has none either.
    auto plain = checklist("Plain");
    e.ensureDefaultColumns(plain);
    EXPECT_FALSE(sortedColumns(*plain)[0]->colorKey());
    EXPECT_FALSE(sortedColumns(*plain)[0]->colorHex());
}

TEST_F(ChecklistEditsTest, NewAndEditedColumns) {
    auto p = project("P");
    auto board = checklist("B", p);
    auto e = edits();
    auto first = e.createColumn(board, {"  QA  ", "bolt.fill", QStringLiteral("orange"), std::nullopt});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name(), "QA");
    EXPECT_EQ(first->orderIndex(), 0);
    EXPECT_EQ(first->checklist(), board);

    column(board, "one", 1);
    column(board, "hidden five", 5, true);
    auto next = e.createColumn(board, {"Next", "flag.fill", std::nullopt, QStringLiteral("ff0000")});
    EXPECT_EQ(next->orderIndex(), 6); // gaps stay, hidden columns count
    EXPECT_EQ(next->colorHex(), OptText("ff0000"));
    EXPECT_EQ(e.createColumn(board, {" \n", "flag.fill", std::nullopt, std::nullopt}), nullptr);

    const QDateTime firstUpdated = first->updatedAt();
    ASSERT_TRUE(e.editColumn(board, first, {" Review ", "sparkles", std::nullopt, QStringLiteral("#00FF00")}));
    EXPECT_EQ(first->name(), "Review");
    EXPECT_EQ(first->iconName(), "sparkles");
    EXPECT_FALSE(first->colorKey());
    EXPECT_EQ(first->colorHex(), OptText("#00FF00"));
    EXPECT_EQ(first->orderIndex(), 0);
    EXPECT_EQ(first->updatedAt(), firstUpdated);
    EXPECT_EQ(p->updatedAt(), base.addSecs(ticks));
    EXPECT_EQ(board->updatedAt(), base.addSecs(ticks - 1));
    EXPECT_FALSE(e.editColumn(board, first, {"", "sparkles", std::nullopt, std::nullopt}));
    EXPECT_EQ(first->name(), "Review");
}

TEST_F(ChecklistEditsTest, DeletingAColumnRemovesItsCardsAndClosesTheGap) {
    auto board = checklist("B");
    auto a = column(board, "a", 0);
    auto hidden = column(board, "hidden", 2, true);
    auto b = column(board, "b", 3);
    auto c = column(board, "c", 7);
    auto doomed = card(b, "x", 0);
    card(b, "hidden card", 1, true);
    auto att = std::make_shared<ChecklistAttachment>(
        ChecklistAttachmentFields{.fileName = "f", .localPath = "/tmp/f", .createdAt = at(0), .card = doomed});
    ctx().insert(att);
    card(a, "keep", 0);
    ASSERT_TRUE(ctx().save());

    auto e = edits();
    e.deleteColumn(board, b);
    EXPECT_EQ(names(sortedColumns(*board)), QStringList({"a", "c"}));
    EXPECT_EQ(orders(sortedColumns(*board)), std::vector<int>({0, 1}));
    EXPECT_EQ(hidden->orderIndex(), 2);
    EXPECT_EQ(board->updatedAt(), base.addSecs(ticks));

    reopen();
    EXPECT_EQ(ctx().fetch<ChecklistCard>().size(), 1u);
    EXPECT_TRUE(ctx().fetch<ChecklistAttachment>().empty());
    EXPECT_EQ(ctx().fetch<ChecklistColumn>().size(), 3u);

    // The last visible column gone, the board is empty until the defaults are added again.
    auto again = ctx().object<Checklist>(board->id());
    auto after = edits();
    for (const auto& col : sortedColumns(*again))
        after.deleteColumn(again, col);
    EXPECT_TRUE(sortedColumns(*again).empty());
    (void)c;
}

TEST_F(ChecklistEditsTest, ColumnDropsLandJustBeforeTheTarget) {
    auto board = checklist("B");
    auto w = column(board, "W", 0), x = column(board, "X", 1), y = column(board, "Y", 2), z = column(board, "Z", 3);
    auto e = edits();
    ASSERT_TRUE(e.moveColumn(board, w, y));
    EXPECT_EQ(names(sortedColumns(*board)), QStringList({"X", "W", "Y", "Z"}));
    ASSERT_TRUE(e.moveColumn(board, z, x));
    EXPECT_EQ(names(sortedColumns(*board)), QStringList({"Z", "X", "W", "Y"}));
    EXPECT_EQ(orders(sortedColumns(*board)), std::vector<int>({0, 1, 2, 3}));
    ASSERT_TRUE(e.moveColumn(board, x, nullptr));
    EXPECT_EQ(names(sortedColumns(*board)), QStringList({"Z", "W", "Y", "X"}));

    // On itself: nothing moves, nothing is stamped or saved.
    const QDateTime stamped = board->updatedAt();
    const int before = ticks;
    EXPECT_FALSE(e.moveColumn(board, y, y));
    EXPECT_EQ(board->updatedAt(), stamped);
    EXPECT_EQ(ticks, before);
    // A column of another board is not taken in.
    auto foreign = column(checklist("O"), "F", 0);
    EXPECT_FALSE(e.moveColumn(board, foreign, w));
    EXPECT_EQ(names(sortedColumns(*board)), QStringList({"Z", "W", "Y", "X"}));
    // Moves keep each column's own date.
    EXPECT_EQ(w->updatedAt(), at(0));
}

TEST_F(ChecklistEditsTest, CardsPlacedWithinTheirColumn) {
    auto board = checklist("B");
    auto col = column(board, "c", 0);
    auto x = card(col, "X", 0), y = card(col, "Y", 1), z = card(col, "Z", 2);
    auto e = edits();
    auto order = [&] { return names(sortedCards(*col)); };

    e.placeCard(board, y, col, x);
    EXPECT_EQ(order(), QStringList({"Y", "X", "Z"}));
    e.placeCard(board, y, col, x); // already there
    EXPECT_EQ(order(), QStringList({"Y", "X", "Z"}));
    e.placeCard(board, y, col, z);
    EXPECT_EQ(order(), QStringList({"X", "Y", "Z"}));
    e.placeCard(board, y, col, y);
    EXPECT_EQ(order(), QStringList({"X", "Y", "Z"}));
    e.placeCard(board, y, col, nullptr);
    EXPECT_EQ(order(), QStringList({"X", "Z", "Y"}));
    EXPECT_EQ(orders(sortedCards(*col)), std::vector<int>({0, 1, 2}));
    EXPECT_EQ(y->updatedAt(), at(0));
    EXPECT_EQ(board->updatedAt(), base.addSecs(ticks));
}

TEST_F(ChecklistEditsTest, CardsMovedToAnotherColumnLeaveNoGapBehind) {
    auto p = project("P");
    auto board = checklist("B", p);
    auto from = column(board, "from", 0);
    auto to = column(board, "to", 1);
    auto a = card(from, "a", 0), b = card(from, "b", 4), c = card(from, "c", 9), d = card(from, "d", 12);
    auto e = edits();

    e.placeCard(board, b, to, nullptr);
    EXPECT_EQ(b->column(), to);
    EXPECT_EQ(names(sortedCards(*to)), QStringList({"b"}));
    EXPECT_EQ(b->orderIndex(), 0);
    EXPECT_EQ(names(sortedCards(*from)), QStringList({"a", "c", "d"}));
    EXPECT_EQ(orders(sortedCards(*from)), std::vector<int>({0, 1, 2}));

    e.placeCard(board, a, to, b);
    EXPECT_EQ(names(sortedCards(*to)), QStringList({"a", "b"}));
    // A target that is not in the receiving column puts the card last.
    e.placeCard(board, c, to, d);
    EXPECT_EQ(names(sortedCards(*to)), QStringList({"a", "b", "c"}));
    EXPECT_EQ(names(sortedCards(*from)), QStringList({"d"}));
    EXPECT_EQ(d->orderIndex(), 0);
    EXPECT_EQ(p->updatedAt(), base.addSecs(ticks));
    EXPECT_EQ(to->updatedAt(), at(0));

    // What reaches the file after a restart.
    reopen();
    auto reread = ctx().object<ChecklistColumn>(to->id());
    EXPECT_EQ(names(sortedCards(*reread)), QStringList({"a", "b", "c"}));
    EXPECT_EQ(orders(sortedCards(*reread)), std::vector<int>({0, 1, 2}));
}

TEST_F(ChecklistEditsTest, NewCardsGoLastAndDeletedCardsCloseTheGap) {
    auto board = checklist("B");
    auto col = column(board, "c", 0);
    card(col, "a", 0);
    card(col, "b", 1);
    card(col, "c", 5);
    card(col, "hidden", 8, true);
    auto e = edits();
    auto fresh = e.createCard(board, col, "  New \n", QStringLiteral("notes"));
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->title(), "New");
    EXPECT_EQ(fresh->createdAt(), fresh->updatedAt());
    EXPECT_EQ(names(sortedCards(*col)), QStringList({"a", "b", "c", "New"}));
    EXPECT_EQ(orders(sortedCards(*col)), std::vector<int>({0, 1, 2, 3}));
    EXPECT_EQ(e.createCard(board, col, "  ", std::nullopt), nullptr);
    EXPECT_EQ(e.createCard(board, column(checklist("E"), "empty", 0), "only", std::nullopt)->orderIndex(), 0);

    const QDateTime updated = fresh->updatedAt();
    ASSERT_TRUE(e.updateCard(board, fresh, " Renamed ", std::nullopt));
    EXPECT_EQ(fresh->title(), "Renamed");
    EXPECT_FALSE(fresh->notes());
    EXPECT_EQ(fresh->updatedAt(), updated);
    EXPECT_EQ(fresh->orderIndex(), 3);

    e.deleteCard(board, sortedCards(*col)[1]);
    EXPECT_EQ(names(sortedCards(*col)), QStringList({"a", "c", "Renamed"}));
    EXPECT_EQ(orders(sortedCards(*col)), std::vector<int>({0, 1, 2}));

    // A card without a column is deleted and the board stamped all the same.
    auto loose = std::make_shared<ChecklistCard>(
        ChecklistCardFields{.title = "loose", .orderIndex = 0, .createdAt = at(0), .updatedAt = at(0)});
    ctx().insert(loose);
    e.deleteCard(board, loose);
    EXPECT_TRUE(loose->isDeleted());
    EXPECT_EQ(board->updatedAt(), base.addSecs(ticks));
}

TEST_F(ChecklistEditsTest, MarkingDoneMovesTheCardToTheEndOfTheFirstDoneColumn) {
    auto board = checklist("B");
    auto todo = column(board, "À faire", 0);
    auto done = column(board, " terminé ", 1);
    column(board, "Termine", 2);
    card(done, "d0", 0);
    card(done, "d1", 1);
    auto t0 = card(todo, "t0", 0);
    card(todo, "t1", 1);
    auto e = edits();
    ASSERT_TRUE(e.markCardDone(board, t0));
    EXPECT_EQ(t0->column(), done);
    EXPECT_EQ(t0->orderIndex(), 2);
    EXPECT_EQ(orders(sortedCards(*todo)), std::vector<int>({0}));
    EXPECT_FALSE(e.markCardDone(board, t0)); // already there

    auto noDone = checklist("N");
    auto lone = card(column(noDone, "Doing", 0), "x", 0);
    EXPECT_FALSE(e.markCardDone(noDone, lone));
    EXPECT_EQ(lone->column()->name(), "Doing");
}

TEST_F(ChecklistEditsTest, AttachmentsAreAddedLastAndRemovedWithoutStampingTheCard) {
    auto board = checklist("B");
    auto c = card(column(board, "c", 0), "card", 0);
    auto e = edits();
    auto first = e.addAttachment(board, c, "Lien", QStringLiteral("text/url"), "https://example.org");
    auto second = e.addAttachment(board, c, "a.pdf", std::nullopt, "/tmp/a.pdf");
    ASSERT_EQ(c->attachments().size(), 2u);
    EXPECT_EQ(c->attachments()[1], second);
    e.removeAttachment(board, first);
    EXPECT_EQ(c->attachments().size(), 1u);
    EXPECT_TRUE(first->isDeleted());
    EXPECT_EQ(c->updatedAt(), at(0));
    EXPECT_EQ(board->updatedAt(), base.addSecs(ticks));
}

TEST_F(ChecklistEditsTest, AFailedSaveIsReportedAndKeptForTheNextOne) {
    auto board = checklist("B");
    auto col = column(board, "c", 0);
    auto x = card(col, "X", 0);
    card(col, "Y", 1);
    ASSERT_TRUE(ctx().save());
    auto e = edits();
    ctx().failNextSaves(1);
    e.placeCard(board, x, col, nullptr);
    EXPECT_FALSE(e.lastSaveSucceeded());
    EXPECT_TRUE(ctx().hasChanges());
    EXPECT_EQ(names(sortedCards(*col)), QStringList({"Y", "X"}));
    EXPECT_TRUE(e.touchAndSave(board));
    reopen();
    EXPECT_EQ(names(sortedCards(*ctx().object<ChecklistColumn>(col->id()))), QStringList({"Y", "X"}));
}
