#include "ChecklistLogicFixture.h"

#include <limits>

using namespace ChecklistLogic;

namespace {
// "Terminé" and "À faire" with combining accents instead of precomposed letters.
const QString kDoneDecomposed = QStringLiteral("Termine\u0301");
const QString kToDoDecomposed = QStringLiteral("A\u0300 faire");
} // namespace

using ChecklistLogicTest = ChecklistStoreTest;

TEST_F(ChecklistLogicTest, HiddenObjectsAreLeftOutAndTiesKeepTheStoredOrder) {
    auto board = checklist("B");
    auto second = column(board, "second", 1);
    auto firstTie = column(board, "tie-a", 0);
    auto hidden = column(board, "hidden", 0, true);
    auto secondTie = column(board, "tie-b", 0);
    EXPECT_EQ(names(sortedColumns(*board)), QStringList({"tie-a", "tie-b", "second"}));

    card(firstTie, "y", 4);
    card(firstTie, "x", 4);
    auto gone = card(firstTie, "gone", 0, true);
    card(firstTie, "w", 1);
    EXPECT_EQ(names(sortedCards(*firstTie)), QStringList({"w", "y", "x"}));

    // Survives a restart: the relationship order is the store's.
    const QUuid boardId = board->id();
    reopen();
    board = ctx().object<Checklist>(boardId);
    ASSERT_TRUE(board);
    EXPECT_EQ(names(sortedColumns(*board)), QStringList({"tie-a", "tie-b", "second"}));
    EXPECT_EQ(names(sortedCards(*sortedColumns(*board)[0])), QStringList({"w", "y", "x"}));
    (void)second, (void)hidden, (void)secondTie, (void)gone;
}

// Indexes beyond 32 bits (written by another program or a long life of moves) order and stay as stored.
TEST_F(ChecklistLogicTest, SortIndexesBeyond32BitsOrderAndStayAsStored) {
    auto board = checklist("B");
    auto far = column(board, "far", 3'000'000'000LL);
    auto low = column(board, "low", -5);
    card(far, "big", 2'147'483'648LL);
    card(far, "one", 1);
    reopen();
    board = ctx().object<Checklist>(board->id());
    ASSERT_TRUE(board);
    EXPECT_EQ(names(sortedColumns(*board)), QStringList({"low", "far"}));
    const auto columns = sortedColumns(*board);
    EXPECT_EQ(columns[1]->orderIndex(), 3'000'000'000LL);
    EXPECT_EQ(names(sortedCards(*columns[1])), QStringList({"one", "big"}));
    EXPECT_EQ(sortedCards(*columns[1])[1]->orderIndex(), 2'147'483'648LL);
    // A new column goes after the highest, not after a wrapped value.
    auto added = edits().createColumn(board, {.name = "neuve", .iconName = "circle"});
    ASSERT_TRUE(added);
    EXPECT_EQ(added->orderIndex(), 3'000'000'001LL);
    // At the very top of the range the columns are numbered afresh, in their order, and the new one comes after.
    column(board, "sommet", std::numeric_limits<qint64>::max());
    auto last = edits().createColumn(board, {.name = "dernière", .iconName = "circle"});
    ASSERT_TRUE(last);
    EXPECT_EQ(names(sortedColumns(*board)), QStringList({"low", "far", "neuve", "sommet", "dernière"}));
    for (qint64 i = 0; i < qint64(sortedColumns(*board).size()); ++i)
        EXPECT_EQ(sortedColumns(*board)[size_t(i)]->orderIndex(), i);
    (void)low;
}

TEST_F(ChecklistLogicTest, FindCardSeesOnlyVisibleCardsOfVisibleColumnsOfThisBoard) {
    auto board = checklist("B");
    auto open = column(board, "open", 0);
    auto hiddenCol = column(board, "hidden", 1, true);
    auto visible = card(open, "v", 0);
    auto hiddenCard = card(open, "h", 1, true);
    auto inHiddenColumn = card(hiddenCol, "in hidden", 0);
    auto other = checklist("Other");
    auto foreign = card(column(other, "o", 0), "foreign", 0);

    EXPECT_EQ(findCard(*board, visible->id()), visible);
    EXPECT_EQ(findCard(*board, hiddenCard->id()), nullptr);
    EXPECT_EQ(findCard(*board, inHiddenColumn->id()), nullptr);
    EXPECT_EQ(findCard(*board, foreign->id()), nullptr);
    EXPECT_EQ(findCard(*board, QUuid()), nullptr);
    EXPECT_EQ(findColumn(*board, open->id()), open);
    EXPECT_EQ(findColumn(*board, hiddenCol->id()), nullptr);
}

TEST_F(ChecklistLogicTest, BoardCountsTakeBothSpellingsAndOnlyTheFirstColumnOfAName) {
    auto board = checklist("B");
    cards(column(board, "A faire", 0), 2);
    cards(column(board, "À faire", 1), 3);
    cards(column(board, "Termine", 2), 1);
    column(board, "Terminé", 3);
    EXPECT_EQ(boardCounts(*board), (StatusCounts{5, 1}));

    // A second "A faire" is ignored; hidden cards and cards of hidden columns count for nothing.
    cards(column(board, "A faire", 4), 7);
    cards(column(board, "Terminé", 5, true), 4);
    card(sortedColumns(*board)[1], "hidden", 9, true);
    EXPECT_EQ(boardCounts(*board), (StatusCounts{5, 1}));
}

TEST_F(ChecklistLogicTest, NamesMatchUnderCanonicalEquivalenceButNotLooselyOtherwise) {
    auto board = checklist("B");
    cards(column(board, kToDoDecomposed, 0), 2);
    cards(column(board, kDoneDecomposed, 1), 3);
    EXPECT_TRUE(sameName(kDoneDecomposed, QStringLiteral("Terminé")));
    EXPECT_EQ(boardCounts(*board), (StatusCounts{2, 3}));
    EXPECT_EQ(listCounts(*board), (StatusCounts{2, 3}));

    auto near = checklist("Near misses");
    cards(column(near, "terminé", 0), 1);
    cards(column(near, "Terminé ", 1), 1);
    cards(column(near, "À Faire", 2), 1);
    EXPECT_EQ(boardCounts(*near), (StatusCounts{0, 0}));
    EXPECT_EQ(countCards(*near, "terminé"), 1);
}

TEST_F(ChecklistLogicTest, ListCountsAgreeWithTheBoardAndCountEverythingWithoutAToDoColumn) {
    auto plain = checklist("Plain");
    cards(column(plain, "A faire", 0), 2);
    cards(column(plain, "Termine", 1), 1);
    EXPECT_EQ(listCounts(*plain), (StatusCounts{2, 1}));

    // No to-do column: every visible card outside the first done column is to do, a second "Terminé" included.
    auto noToDo = checklist("No to-do");
    cards(column(noToDo, "Doing", 0), 2);
    cards(column(noToDo, "Terminé", 1), 3);
    cards(column(noToDo, "Terminé", 2), 4);
    card(column(noToDo, "Gone", 3, true), "hidden column", 0);
    EXPECT_EQ(listCounts(*noToDo), (StatusCounts{6, 3}));

    // Two "À faire": only the first counts; the second counts in neither.
    auto twice = checklist("Twice");
    cards(column(twice, "À faire", 0), 1);
    cards(column(twice, "À faire", 1), 5);
    cards(column(twice, "Terminé", 2), 2);
    EXPECT_EQ(listCounts(*twice), (StatusCounts{1, 2}));

    EXPECT_EQ(listCounts(*checklist("Empty")), (StatusCounts{0, 0}));
}

TEST_F(ChecklistLogicTest, DoneColumnIgnoresCaseAndBlanksButNotOtherWords) {
    auto board = checklist("B");
    auto todo = column(board, "Termin", 0);
    auto shouted = column(board, "  TERMINÉ \n", 2);
    auto plain = column(board, "termine", 1);
    EXPECT_FALSE(isDoneColumn(*todo));
    EXPECT_TRUE(isDoneColumn(*shouted));
    EXPECT_TRUE(isDoneColumn(*column(board, "  " + kDoneDecomposed, 5)));
    for (const char* name : {"Terminée", "Terminés", "Done", "Termine!"})
        EXPECT_FALSE(isDoneColumn(*column(board, QString::fromUtf8(name), 9))) << name;
    EXPECT_EQ(doneColumn(*board), plain); // first by order, not by creation
}

TEST_F(ChecklistLogicTest, NextCardFollowsByIdentifier) {
    auto col = column(checklist("B"), "c", 0);
    cards(col, 3);
    const auto list = sortedCards(*col);
    EXPECT_EQ(nextCard(*list[0], list), list[1]);
    EXPECT_EQ(nextCard(*list[2], list), nullptr);
    auto stranger = card(column(checklist("O"), "o", 0), "s", 0);
    EXPECT_EQ(nextCard(*stranger, list), nullptr);
}
