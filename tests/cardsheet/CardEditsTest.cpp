#include "cardsheet/CardEdits.h"
#include "CardFixture.h"

namespace {

class CardEditsTest : public CardFixture {};

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

    edits.removeAttachment(a);
    ASSERT_EQ(c->attachments().size(), 2u);
    EXPECT_EQ(c->attachments()[0]->localPath(), "http://");
    EXPECT_EQ(c->attachments()[1], b);
    EXPECT_TRUE(a->isDeleted());
    EXPECT_FALSE(context().hasChanges());
}

} // namespace
