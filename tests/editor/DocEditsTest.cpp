#include "EditorFixture.h"

#include "editor/CodeLanguages.h"
#include "editor/DocEdits.h"

#include <algorithm>
#include <limits>

namespace {

std::vector<qint64> orders(const std::vector<DocBlockPtr>& blocks) {
    std::vector<qint64> out;
    for (const auto& b : blocks)
        out.push_back(b->order());
    return out;
}

} // namespace

using DocEditsTest = EditorFixture;

TEST_F(DocEditsTest, NewBlocksFollowEveryBlockHiddenOnesIncluded) {
    DocEdits edits(context(), doc);
    const DocBlockPtr first = edits.addBlock(DocBlockType::text);
    EXPECT_EQ(first->order(), 0);
    EXPECT_EQ(first->content(), QString());
    EXPECT_FALSE(first->codeLanguage());
    EXPECT_EQ(doc->updatedAt(), first->updatedAt().addSecs(1)); // stamped after the block was made

    block(7, QStringLiteral("text"), {}, /*hidden=*/true);
    const DocBlockPtr code = edits.addBlock(DocBlockType::code);
    EXPECT_EQ(code->order(), 8);
    EXPECT_EQ(code->typeRaw(), QStringLiteral("code"));
    EXPECT_EQ(code->codeLanguage(), OptText(QStringLiteral("bash")));
    const DocBlockPtr image = edits.addBlock(DocBlockType::image);
    EXPECT_EQ(image->order(), 9);
    EXPECT_FALSE(image->codeLanguage());
    EXPECT_FALSE(context().hasChanges());

    const QUuid codeId = code->id();
    const DocPtr back = reopened();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->blocks().size(), 4u);
    EXPECT_EQ(byId(back, codeId)->order(), 8);
}

TEST_F(DocEditsTest, DropShiftsTheBlocksBetweenAndKeepsGaps) {
    // W X Y Z at 0 1 2 3: W onto Y, then Z onto X.
    auto w = block(0), x = block(1), y = block(2), z = block(3);
    const auto hidden = block(2, QStringLiteral("text"), {}, true);
    context().save();
    DocEdits edits(context(), doc);
    const QDateTime xStamp = x->updatedAt();

    EXPECT_TRUE(edits.moveBlock(w, y));
    EXPECT_EQ((std::vector<qint64>{x->order(), y->order(), w->order(), z->order()}), (std::vector<qint64>{0, 1, 2, 3}));
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{x, y, w, z}));
    EXPECT_EQ(x->updatedAt(), xStamp); // shifted blocks keep their stamp
    EXPECT_GT(w->updatedAt(), xStamp);
    EXPECT_GT(doc->updatedAt(), w->updatedAt());
    EXPECT_EQ(hidden->order(), 2);

    EXPECT_TRUE(edits.moveBlock(z, x));
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{z, x, y, w}));
    EXPECT_EQ(orders(edits.visibleBlocks()), (std::vector<qint64>{0, 1, 2, 3}));
    EXPECT_FALSE(context().hasChanges());

    // Onto itself, or with a hidden block: nothing changes and nothing is written.
    const QDateTime docStamp = doc->updatedAt();
    EXPECT_FALSE(edits.moveBlock(z, z));
    EXPECT_FALSE(edits.moveBlock(hidden, z));
    EXPECT_EQ(doc->updatedAt(), docStamp);
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(DocEditsTest, DropAcrossGapsTakesTheTargetsOrder) {
    auto w = block(0), x = block(2), y = block(5);
    DocEdits edits(context(), doc);
    edits.moveBlock(w, y);
    EXPECT_EQ((std::vector<qint64>{x->order(), y->order(), w->order()}), (std::vector<qint64>{1, 4, 5}));
}

TEST_F(DocEditsTest, MovesSwapWithTheNearestVisibleNeighbour) {
    auto a = block(1), hidden = block(2, QStringLiteral("text"), {}, true), b = block(4);
    DocEdits edits(context(), doc);
    EXPECT_FALSE(edits.moveUp(a));
    EXPECT_FALSE(edits.moveDown(b));
    EXPECT_TRUE(edits.isFirst(a));
    EXPECT_TRUE(edits.isLast(b));

    EXPECT_TRUE(edits.moveUp(b));
    EXPECT_EQ(b->order(), 1);
    EXPECT_EQ(a->order(), 4);
    EXPECT_EQ(hidden->order(), 2);
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{b, a}));

    // Equal orders swap to the same values, yet both blocks and the document are stamped and saved.
    auto c = block(9), d = block(9);
    const QDateTime before = doc->updatedAt();
    EXPECT_TRUE(edits.moveDown(c));
    EXPECT_EQ(edits.visibleBlocks().back(), d);
    EXPECT_GT(c->updatedAt(), before);
    EXPECT_GT(d->updatedAt(), before);
    EXPECT_GT(doc->updatedAt(), before);
    EXPECT_FALSE(context().hasChanges());
}

// Orders beyond 32 bits are compared and written back whole.
TEST_F(DocEditsTest, MovesKeepOrdersBeyond32Bits) {
    auto low = block(-5), high = block(5'000'000'000LL), higher = block(6'000'000'000LL);
    DocEdits edits(context(), doc);
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{low, high, higher}));
    EXPECT_TRUE(edits.moveDown(high));
    EXPECT_EQ(high->order(), 6'000'000'000LL);
    EXPECT_EQ(higher->order(), 5'000'000'000LL);
    auto added = edits.addBlock(DocBlockType::text);
    EXPECT_EQ(added->order(), 6'000'000'001LL);
    const QUuid highId = high->id(), higherId = higher->id();
    const DocPtr read = reopened();
    ASSERT_TRUE(read);
    EXPECT_EQ(byId(read, highId)->order(), 6'000'000'000LL);
    EXPECT_EQ(byId(read, higherId)->order(), 5'000'000'000LL);
}

TEST_F(DocEditsTest, DuplicateMakesRoomBelowTheSource) {
    auto source = block(2), same = block(2), n3 = block(3), n4 = block(4), n7 = block(7);
    auto hidden = block(3, QStringLiteral("text"), {}, true);
    source->setIsCompleted(true);
    source->setRichTextData(QByteArray("{\\rtf1 x}"));
    source->setContent(QStringLiteral("x"));
    context().save();
    const QDateTime stamp = n3->updatedAt();
    DocEdits edits(context(), doc);

    const DocBlockPtr copy = edits.duplicate(source);
    EXPECT_EQ(copy->order(), 3);
    EXPECT_EQ((std::vector<qint64>{n3->order(), n4->order(), n7->order()}), (std::vector<qint64>{4, 5, 8}));
    EXPECT_GT(n3->updatedAt(), stamp);
    EXPECT_EQ(same->order(), 2); // equal to the source: stays between source and copy
    EXPECT_EQ(hidden->order(), 3);
    EXPECT_EQ(source->order(), 2);
    EXPECT_FALSE(copy->isCompleted());
    EXPECT_EQ(copy->content(), QStringLiteral("x"));
    EXPECT_EQ(copy->richTextData(), OptData(QByteArray("{\\rtf1 x}")));
    EXPECT_FALSE(copy->codeLanguage());
    EXPECT_NE(copy->id(), source->id());
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{source, same, copy, n3, n4, n7}));

    // The last block shifts nothing; an unknown kind is copied as text.
    auto odd = block(20, QStringLiteral("quote"));
    const DocBlockPtr oddCopy = edits.duplicate(odd);
    EXPECT_EQ(oddCopy->order(), 21);
    EXPECT_EQ(oddCopy->typeRaw(), QStringLiteral("text"));
    EXPECT_FALSE(context().hasChanges());
}

// A number that would leave the 64-bit range (a copy or a new block after the top, a drop shifting blocks past an
// end) numbers the list 0, 1, 2, … first, in the order shown and hidden blocks in their place: nothing wraps.
TEST_F(DocEditsTest, OrdersAtTheEndsOfTheRangeNumberTheListAfresh) {
    constexpr qint64 top = std::numeric_limits<qint64>::max(), bottom = std::numeric_limits<qint64>::min();
    auto a = block(5), hidden = block(6, QStringLiteral("text"), {}, true), b = block(top);
    DocEdits edits(context(), doc);
    const DocBlockPtr copy = edits.duplicate(b);
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{a, b, copy}));
    EXPECT_EQ(orders(edits.visibleBlocks()), (std::vector<qint64>{0, 2, 3}));
    EXPECT_EQ(hidden->order(), 1);
    b->setOrder(top);
    copy->setOrder(top);
    const DocBlockPtr added = edits.addBlock(DocBlockType::text);
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{a, b, copy, added}));
    EXPECT_EQ(orders(edits.visibleBlocks()), (std::vector<qint64>{0, 2, 3, 4}));

    // Drops: upwards past the top, downwards past the bottom.
    for (const auto& x : {b, copy, added})
        x->setOrder(top);
    EXPECT_TRUE(edits.moveBlock(added, b));
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{a, added, b, copy}));
    for (const auto& x : {a, added, b, copy})
        x->setOrder(bottom); // equal orders show in the document's order: a, b, copy, added
    EXPECT_TRUE(edits.moveBlock(a, copy));
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{b, copy, a, added}));
    const auto shown = orders(edits.visibleBlocks());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()) &&
                std::adjacent_find(shown.begin(), shown.end()) == shown.end());
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(DocEditsTest, HidingKeepsTheBlockAndEveryOrder) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("garde")), b = block(1);
    DocEdits edits(context(), doc);
    edits.hide(a);
    EXPECT_TRUE(a->deletedAt());
    EXPECT_EQ(b->order(), 1);
    EXPECT_EQ(edits.visibleBlocks(), (std::vector<DocBlockPtr>{b}));
    const QUuid id = a->id();
    const DocPtr back = reopened();
    const DocBlockPtr stored = byId(back, id);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->deletedAt());
    EXPECT_EQ(stored->content(), QStringLiteral("garde"));
}

TEST_F(DocEditsTest, BlockEditsStampOnlyTheBlock) {
    auto code = block(0, QStringLiteral("code"));
    context().save();
    DocEdits edits(context(), doc);
    const QDateTime docStamp = doc->updatedAt();
    EXPECT_EQ(DocEdits::languageOf(*code), QStringLiteral("bash"));
    edits.setCodeLanguage(code, QStringLiteral("cpp"));
    edits.toggleCompleted(code);
    code->setContent(QStringLiteral("int x;"));
    edits.touchBlockAndSave(code);
    EXPECT_EQ(doc->updatedAt(), docStamp);
    EXPECT_TRUE(code->isCompleted());
    EXPECT_FALSE(context().hasChanges());

    edits.setTitle(QStringLiteral("  Titre  "));
    EXPECT_EQ(doc->title(), QStringLiteral("  Titre  "));
    edits.setStatus(DocStatus::needsChanges);
    EXPECT_EQ(doc->statusRaw(), QStringLiteral("needs_changes"));
    EXPECT_GT(doc->updatedAt(), docStamp);
}

TEST_F(DocEditsTest, AFailedSaveStaysPendingForTheNextOne) {
    DocEdits edits(context(), doc);
    context().failNextSaves(1);
    const DocBlockPtr b = edits.addBlock(DocBlockType::text);
    EXPECT_TRUE(context().hasChanges());
    edits.setTitle(QStringLiteral("Après"));
    EXPECT_FALSE(context().hasChanges());
    const QUuid id = b->id();
    const DocPtr back = reopened();
    EXPECT_EQ(back->title(), QStringLiteral("Après"));
    EXPECT_TRUE(byId(back, id));
}

TEST(CodeLanguages, LinesCountEveryKindOfBreak) {
    EXPECT_EQ(codelang::lineCount(QString()), 1);
    EXPECT_EQ(codelang::lineCount(QStringLiteral("a\n")), 2);
    EXPECT_EQ(codelang::lineCount(QStringLiteral("a\r\nb")), 3);
    EXPECT_EQ(codelang::lineCount(QString::fromUtf16(u"a\u2028b\u0085c\u000Bd")), 4);
}

TEST(CodeLanguages, UnknownOrOddlyCasedLanguagesFallBackSensibly) {
    EXPECT_EQ(codelang::current(QStringLiteral("CPP")).name, QStringLiteral("cpp"));
    EXPECT_EQ(codelang::capitalized(QStringLiteral("CPP")), QStringLiteral("Cpp"));
    EXPECT_EQ(codelang::current(QStringLiteral("haskell")).icon, QStringLiteral("terminal.fill"));
    EXPECT_EQ(codelang::capitalized(QStringLiteral("objective c")), QStringLiteral("Objective C"));
    EXPECT_EQ(codelang::current(QString()).name, QStringLiteral("bash"));
}
