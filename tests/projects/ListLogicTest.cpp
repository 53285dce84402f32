#include "ProjectsFixture.h"

#include "projects/Items.h"
#include "projects/ListLogic.h"
#include "ui/Palette.h"

using namespace listlogic;

TEST(ListLogic, FoldingIgnoresCaseAndAccentsOnly) {
    EXPECT_TRUE(folded(QStringLiteral("École 2")).contains(folded(QStringLiteral("ecole"))));
    EXPECT_TRUE(folded(QStringLiteral("Ça Déménage")).contains(folded(QStringLiteral("CA DEMENAGE"))));
    EXPECT_FALSE(folded(QStringLiteral("Ecole")).contains(folded(QStringLiteral("ecoles"))));
}

class ItemsTest : public ProjectsFixture {};

TEST_F(ItemsTest, DescriptionsOfBlanksShowNothingAndTheTitleCacheFollowsRenames) {
    auto p = makeProject(QStringLiteral("P"), 1, QStringLiteral("   "), QStringLiteral("green"), QStringLiteral("#FF0000"));
    projectsui::ProjectRow row(env.theme(), p, {});
    projectsui::ProjectCard card(env.theme(), p, {});
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
