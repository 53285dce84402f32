#include "ProjectsFixture.h"

#include "projects/Items.h"
#include "ui/Palette.h"
#include "projects/ListLogic.h"

using namespace listlogic;

TEST(ListLogic, FoldingIgnoresCaseAndAccentsOnly) {
    EXPECT_TRUE(folded(QStringLiteral("École 2")).contains(folded(QStringLiteral("ecole"))));
    EXPECT_TRUE(folded(QStringLiteral("Ça Déménage")).contains(folded(QStringLiteral("CA DEMENAGE"))));
    EXPECT_FALSE(folded(QStringLiteral("Ecole")).contains(folded(QStringLiteral("ecoles"))));
    EXPECT_EQ(trimmed(QStringLiteral(" \t\n\u2028 Alpha \r\n")), QStringLiteral("Alpha"));
}

TEST(ListLogic, PageArithmetic) {
    EXPECT_EQ(pageCount(0, 12), 1);
    EXPECT_EQ(pageCount(12, 12), 1);
    EXPECT_EQ(pageCount(13, 12), 2);
    EXPECT_EQ(pageLabel(0, 12, std::nullopt), QStringLiteral("Page 1"));
    EXPECT_EQ(pageLabel(0, 12, 0), QStringLiteral("Page 1 / 1"));
    EXPECT_EQ(pageLabel(4, 12, 13), QStringLiteral("Page 2 / 2"));   // never past the count
    EXPECT_FALSE(canGoNext(0, 12, 12));
    EXPECT_TRUE(canGoNext(0, 12, 13));
    // Past the end with matches: back to the last page; without matches: unchanged.
    EXPECT_EQ(clampedPage(2, 12, 24), 1);
    EXPECT_EQ(clampedPage(1, 12, 13), 1);
    EXPECT_EQ(clampedPage(3, 12, 0), 3);
    const std::vector<int> v{1, 2, 3, 4, 5};
    EXPECT_EQ(slice(v, 1, 2), (std::vector<int>{3, 4}));
    EXPECT_EQ(slice(v, 2, 2), (std::vector<int>{5}));
    EXPECT_TRUE(slice(v, 3, 2).empty());
}

class ItemsTest : public ProjectsFixture {};

TEST_F(ItemsTest, DescriptionsOfBlanksShowNothingAndTheTitleCacheFollowsRenames) {
    auto p = makeProject(QStringLiteral("P"), 1, QStringLiteral("   "), QStringLiteral("green"), QStringLiteral("#FF0000"));
    projectsui::ProjectRow row(p, {});
    projectsui::ProjectCard card(p, {});
    EXPECT_TRUE(row.detailsText()->text().isEmpty());
    EXPECT_EQ(row.detailsText()->heightForWidth(300), 0);
    EXPECT_GT(card.detailsText()->heightForWidth(300), 0);   // the invisible line keeps the height
    EXPECT_EQ(row.projectTint(), QColor(255, 0, 0));
    p->setColorHex(QStringLiteral("bad"));
    EXPECT_EQ(row.tile()->tint(), colorForKey(QStringLiteral("green")));   // follows the change at once
    card.resize(240, card.heightForWidth(240));
    EXPECT_GE(card.minimumHeight(), 120);

    auto doc = makeDoc(p, QStringLiteral("École"), 2);
    FoldedTitleCache cache;
    EXPECT_EQ(searchDocs({doc}, QStringLiteral("ecole"), cache).size(), 1u);
    doc->setTitle(QStringLiteral("Lycée"));
    EXPECT_TRUE(searchDocs({doc}, QStringLiteral("ecole"), cache).empty());
    EXPECT_EQ(searchDocs({doc}, QStringLiteral("LYCEE"), cache).size(), 1u);
}
