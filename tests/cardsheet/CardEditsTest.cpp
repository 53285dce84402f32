#include "cardsheet/CardEdits.h"
#include "CardFixture.h"

#include <QFile>

namespace {

class CardEditsTest : public CardFixture {};

TEST_F(CardEditsTest, ANewCardGoesAfterTheLastVisibleCard) {
    CardEdits edits(context(), checklist);
    // Visible order indexes 0, 1 and 5 (and a hidden card at 9): the new card gets 6, then all are renumbered.
    auto odd = card(todo, "Gros titre", 5);
    card(todo, "Caché", 9)->setDeletedAt(old);
    auto created = edits.createCard(todo, "  Relire \n", "");
    ASSERT_TRUE(created);
    EXPECT_EQ(created->title(), "Relire");
    EXPECT_EQ(created->notes(), OptText(""));
    EXPECT_EQ(titles(todo), (QStringList{"0:Maquette", "1:Textes", "2:Gros titre", "3:Relire"}));
    EXPECT_EQ(created->createdAt(), created->updatedAt());
    EXPECT_GT(checklist->updatedAt(), old);
    EXPECT_GT(project->updatedAt(), old);
    EXPECT_FALSE(context().hasChanges());

    auto empty = column("Vide", 3);
    EXPECT_EQ(edits.createCard(empty, "Premier", "")->orderIndex(), 0);
    EXPECT_FALSE(edits.createCard(empty, " \n ", ""));
    EXPECT_FALSE(edits.createCard(nullptr, "Sans colonne", ""));
}

TEST_F(CardEditsTest, SavingACardKeepsItsPlaceAndDate) {
    CardEdits edits(context(), checklist);
    auto textes = todo->cards()[1];
    ASSERT_TRUE(edits.updateCard(textes, " Textes relus ", "rtf:"));
    EXPECT_EQ(textes->title(), "Textes relus");
    EXPECT_EQ(textes->notes(), OptText("rtf:"));
    EXPECT_EQ(textes->updatedAt(), old);
    EXPECT_EQ(textes->orderIndex(), 1);
    EXPECT_EQ(textes->column(), todo);
    EXPECT_GT(checklist->updatedAt(), old);
    EXPECT_GT(project->updatedAt(), old);
    EXPECT_FALSE(edits.updateCard(textes, "  ", "x"));
    EXPECT_EQ(textes->title(), "Textes relus");
}

TEST_F(CardEditsTest, DeletingACardClosesTheGapAndKeepsItsFiles) {
    CardEdits edits(context(), checklist);
    auto first = todo->cards()[0];
    const QString copy = dir.path() + "/copie.txt";
    QFile f(copy);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    auto file = edits.addFile(first, "copie.txt", copy);
    edits.deleteCard(first);
    EXPECT_EQ(titles(todo), QStringList{"0:Textes"});
    EXPECT_TRUE(first->isDeleted());
    EXPECT_TRUE(file->isDeleted());
    EXPECT_TRUE(QFile::exists(copy));
    EXPECT_TRUE(context().fetch<ChecklistAttachment>().empty());

    // A card without a column is deleted all the same.
    auto loose = card(nullptr, "Seule", 0);
    edits.deleteCard(loose);
    EXPECT_TRUE(loose->isDeleted());
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(CardEditsTest, MarkingDoneMovesToTheEndOfTheFirstDoneColumn) {
    CardEdits edits(context(), checklist);
    card(done, "Hébergement", 1);
    // A done column named in capitals with blanks around, and written in decomposed form, comes first.
    done->setOrderIndex(3);
    auto decomposed = column(QString(" TERMINE") + QChar(0x0301) + " ", 2);
    auto maquette = todo->cards()[0];
    ASSERT_TRUE(edits.markCardDone(maquette));
    EXPECT_EQ(maquette->column(), decomposed);
    EXPECT_EQ(titles(decomposed), QStringList{"0:Maquette"});
    EXPECT_EQ(titles(todo), QStringList{"0:Textes"});
    EXPECT_FALSE(edits.markCardDone(maquette));   // already there

    decomposed->setName("Terminées");
    ASSERT_TRUE(edits.markCardDone(maquette));
    EXPECT_EQ(titles(done), (QStringList{"0:Nom de domaine", "1:Hébergement", "2:Maquette"}));

    for (const auto& c : {done, decomposed})
        c->setName("Done");
    EXPECT_FALSE(edits.markCardDone(todo->cards()[0]));
    EXPECT_EQ(titles(todo), QStringList{"0:Textes"});
}

TEST_F(CardEditsTest, LinksAreTrimmedKeptAsTypedAndRemovedInPlace) {
    CardEdits edits(context(), checklist);
    auto c = todo->cards()[0];
    const QDateTime cardDate = c->updatedAt();
    auto a = edits.addLink(c, " \nHTTPS://Example.com/A \n");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->localPath(), "HTTPS://Example.com/A");
    EXPECT_EQ(a->fileName(), "Lien");
    EXPECT_EQ(a->mimeType(), OptText("text/url"));
    EXPECT_EQ(c->updatedAt(), cardDate);
    EXPECT_TRUE(edits.addLink(c, "http://"));
    for (const char* bad : {"example.com", "ftp://x", "  www.x.fr", "mailto:a@b.c"})
        EXPECT_FALSE(edits.addLink(c, bad)) << bad;
    auto b = edits.addLink(c, "https://b.org");
    ASSERT_EQ(c->attachments().size(), 3u);

    edits.removeAttachment(a, c);
    ASSERT_EQ(c->attachments().size(), 2u);
    EXPECT_EQ(c->attachments()[0]->localPath(), "http://");
    EXPECT_EQ(c->attachments()[1], b);
    EXPECT_TRUE(a->isDeleted());
    EXPECT_FALSE(context().hasChanges());
}

} // namespace
