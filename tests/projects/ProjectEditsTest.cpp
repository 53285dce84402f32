#include "ProjectsFixture.h"

#include "projects/ProjectEdits.h"

namespace {

class ProjectEditsTest : public ProjectsFixture {
protected:
    ProjectEdits edits{context()};
    const ProjectEdits::Look look{QStringLiteral("folder.fill"), QStringLiteral("pink"), std::nullopt};
};

TEST_F(ProjectEditsTest, CreatingAndEditingTrimsStampsAndSaves) {
    const ProjectPtr p = edits.createProject(QStringLiteral("  Alpha \n"), QStringLiteral(" \t "), look);
    EXPECT_EQ(p->name(), QStringLiteral("Alpha"));
    EXPECT_FALSE(p->details());
    EXPECT_EQ(p->colorKey(), OptText(QStringLiteral("pink")));
    EXPECT_GT(p->updatedAt(), p->createdAt()); // two readings of the clock
    EXPECT_FALSE(context().hasChanges());

    const DocPtr d = edits.createDoc(p, QStringLiteral(" Guide "), DocStatus::needsChanges, look);
    EXPECT_EQ(d->title(), QStringLiteral("Guide"));
    EXPECT_EQ(d->statusRaw(), QStringLiteral("needs_changes"));
    EXPECT_EQ(p->docs(), (std::vector<DocPtr>{d}));
    EXPECT_GT(p->updatedAt(), d->updatedAt()); // the project is stamped after the document

    ASSERT_TRUE(edits.editDoc(d, QStringLiteral("Guide 2 "), DocStatus::done, {QStringLiteral("book.fill"), {}, {}}));
    EXPECT_EQ(d->title(), QStringLiteral("Guide 2"));
    EXPECT_EQ(d->iconName(), QStringLiteral("book.fill"));
    EXPECT_FALSE(d->colorKey());
    EXPECT_GT(p->updatedAt(), d->updatedAt());

    ASSERT_TRUE(edits.editProject(p, QStringLiteral("Beta"), QStringLiteral(" Notes \n"), look));
    EXPECT_EQ(p->details(), OptText(QStringLiteral("Notes")));

    // What was saved is what a restart reads.
    const QUuid id = p->id();
    env.reopenStore();
    const ProjectPtr again = context().object<Project>(id);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->name(), QStringLiteral("Beta"));
    ASSERT_EQ(again->docs().size(), 1u);
    EXPECT_EQ(again->docs().front()->title(), QStringLiteral("Guide 2"));
}

TEST_F(ProjectEditsTest, HidingStampsOnlyTheDocumentAndDeletingTakesTheDocumentsAlong) {
    const ProjectPtr p = edits.createProject(QStringLiteral("P"), {}, look);
    const DocPtr d = edits.createDoc(p, QStringLiteral("D"), DocStatus::inProgress, look);
    const QDateTime projectStamp = p->updatedAt();
    ASSERT_TRUE(edits.hideDoc(d));
    ASSERT_TRUE(d->deletedAt());
    EXPECT_GT(d->updatedAt(), *d->deletedAt());
    EXPECT_EQ(p->updatedAt(), projectStamp);
    EXPECT_EQ(context().fetch<Doc>().size(), 1u); // hidden, not deleted

    ASSERT_TRUE(edits.deleteProject(p));
    EXPECT_TRUE(context().fetch<Project>().empty());
    EXPECT_TRUE(context().fetch<Doc>().empty());
}

TEST_F(ProjectEditsTest, AFailedSaveIsReportedAndKeptForTheNextOne) {
    const ProjectPtr p = edits.createProject(QStringLiteral("P"), {}, look);
    context().failNextSaves(1);
    EXPECT_FALSE(edits.editProject(p, QStringLiteral("Renommé"), {}, look));
    EXPECT_TRUE(context().hasChanges());
    // The next edit writes both changes.
    const DocPtr d = edits.createDoc(p, QStringLiteral("D"), DocStatus::done, look);
    EXPECT_FALSE(context().hasChanges());
    const QUuid id = p->id();
    env.reopenStore();
    EXPECT_EQ(context().object<Project>(id)->name(), QStringLiteral("Renommé"));
    EXPECT_EQ(context().object<Project>(id)->docs().size(), 1u);
    (void)d;
}

} // namespace
