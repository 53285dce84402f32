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
    auto p =
        makeProject(QStringLiteral("P"), 1, QStringLiteral("   "), QStringLiteral("green"), QStringLiteral("#FF0000"));
    projectsui::ProjectRow row(env.theme(), p, {});
    projectsui::ProjectCard card(env.theme(), p, {});
    EXPECT_TRUE(row.detailsText()->text().isEmpty());
    EXPECT_EQ(row.detailsText()->heightForWidth(300), 0);
    EXPECT_GT(card.detailsText()->heightForWidth(300), 0); // the invisible line keeps the height
    EXPECT_EQ(row.projectTint(), QColor(255, 0, 0));
    p->setColorHex(QStringLiteral("bad"));
    EXPECT_EQ(row.tile()->tint(), colorForKey(QStringLiteral("green"))); // follows the change at once
    card.resize(240, card.heightForWidth(240));
    EXPECT_GE(card.minimumHeight(), 120);

    auto doc = makeDoc(p, QStringLiteral("École"), 2);
    FoldedTitleCache cache;
    EXPECT_EQ(searchDocs({doc}, QStringLiteral("ecole"), cache).size(), 1u);
    doc->setTitle(QStringLiteral("Lycée"));
    EXPECT_TRUE(searchDocs({doc}, QStringLiteral("ecole"), cache).empty());
    EXPECT_EQ(searchDocs({doc}, QStringLiteral("LYCEE"), cache).size(), 1u);
}

TEST_F(ItemsTest, ProjectSearchIgnoresCaseOnlyAndFollowsEditsAndReordering) {
    auto a = makeProject(QStringLiteral("Réseau local"), 1, QStringLiteral("Câbles"));
    auto b = makeProject(QStringLiteral("Jardin"), 2, QStringLiteral("Plan du RÉSEAU d’arrosage"));
    auto c = makeProject(QStringLiteral("Cuisine"), 3);
    FoldedProjectCache cache;
    auto names = [&](std::vector<ProjectPtr> all, const QString& query) {
        QStringList out;
        for (const auto& p : searchProjects(newestFirst(std::move(all)), query, cache))
            out << p->name();
        return out;
    };
    const struct {
        QString query;
        QStringList expected;
    } cases[] = {
        {"réseau", {"Jardin", "Réseau local"}}, // name or description, newest first
        {"RÉSEAU", {"Jardin", "Réseau local"}}, {"reseau", {}}, // accents count
        {"câbles", {"Réseau local"}},           {"", {"Cuisine", "Jardin", "Réseau local"}},
    };
    for (const auto& t : cases)
        EXPECT_EQ(names({a, b, c}, t.query), t.expected) << t.query.toStdString();
    // Folded ahead (in part), then edited: an edited name or description, and another order of the same
    // projects, are searched afresh.
    EXPECT_EQ(cache.prepare(newestFirst({a, b, c}), 1, 5), 3u);
    c->setName(QStringLiteral("Réseau de la cuisine"));
    b->setDetails(std::nullopt);
    EXPECT_EQ(names({c, b, a}, QStringLiteral("réseau")), (QStringList{"Réseau de la cuisine", "Réseau local"}));
    a->setUpdatedAt(a->updatedAt().addDays(10));
    EXPECT_EQ(names({a, b, c}, QStringLiteral("réseau")), (QStringList{"Réseau local", "Réseau de la cuisine"}));
}

TEST(ListLogic, ASearchMemoNarrowsFromTheFewestMatchesAndForgetsTheOldest) {
    SearchMemo memo;
    EXPECT_EQ(memo.narrowest(QStringLiteral("abc")), nullptr);
    memo.remember(QStringLiteral("a"), {0, 1, 2, 3});
    memo.remember(QStringLiteral("bc"), {1, 3});
    memo.remember(QStringLiteral("x"), {7});
    // "x" has fewer matches but is not in "abc": every match of "abc" is among those of "bc".
    ASSERT_NE(memo.narrowest(QStringLiteral("abc")), nullptr);
    EXPECT_EQ(*memo.narrowest(QStringLiteral("abc")), (std::vector<size_t>{1, 3}));
    EXPECT_EQ(memo.find(QStringLiteral("ab")), nullptr);
    memo.remember(QStringLiteral("a"), {0, 2}); // the newer answer replaces the older
    EXPECT_EQ(*memo.find(QStringLiteral("a")), (std::vector<size_t>{0, 2}));
    for (size_t i = 0; i < SearchMemo::capacity; ++i)
        memo.remember(QStringLiteral("q%1").arg(i), {i});
    EXPECT_EQ(memo.find(QStringLiteral("bc")), nullptr);
    EXPECT_EQ(*memo.find(QStringLiteral("q0")), std::vector<size_t>{0});
    memo.clear();
    EXPECT_EQ(memo.find(QStringLiteral("q0")), nullptr);
}
