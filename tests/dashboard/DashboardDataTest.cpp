#include "DashboardFixture.h"

#include "dashboard/DashboardData.h"

#include <QRandomGenerator>
#include <QSignalSpy>

namespace {

class DashboardDataTest : public DashboardFixture {
protected:
    void settle() { testsupport::flushEvents(); }

    template <class T>
    static QStringList names(const std::vector<std::shared_ptr<T>>& list) {
        QStringList out;
        for (const auto& o : list) {
            if constexpr (std::is_same_v<T, Doc>)
                out << o->title();
            else
                out << o->name();
        }
        return out;
    }
};

} // namespace

TEST_F(DashboardDataTest, CountsSkipHiddenDocumentsAndReadUnknownStatusAsInProgress) {
    const auto p = makeProject("P", 0);
    makeDoc(p, "a", 1, "done");
    makeDoc(p, "b", 2, "in_progress");
    makeDoc(p, "c", 3, "weird");
    makeDoc(p, "d", 4, "needs_changes");
    auto hidden = makeDoc(p, "e", 5, "done");
    hidden->setDeletedAt(at(6));
    DashboardData data(context());
    EXPECT_EQ(data.count(DocStatus::done), 1);
    EXPECT_EQ(data.count(DocStatus::inProgress), 2);
    EXPECT_EQ(data.count(DocStatus::needsChanges), 1);
    EXPECT_EQ(names(data.docs(DocStatus::inProgress, 12)), QStringList({"c", "b"}));
}

TEST_F(DashboardDataTest, FollowsStampsHidingInsertionsAndDeletionsMadeElsewhere) {
    std::vector<ProjectPtr> projects;
    for (int i = 0; i < 6; ++i)
        projects.push_back(makeProject(QString("P%1").arg(i), i));
    auto doc = makeDoc(projects[0], "old", 1, "done");
    makeDoc(projects[0], "new", 2, "done");
    DashboardData data(context());
    EXPECT_EQ(names(data.recentProjects(4)), QStringList({"P5", "P4", "P3", "P2"}));

    QSignalSpy projectsSpy(&data, &DashboardData::projectsChanged);
    projects[0]->setUpdatedAt(at(100));
    settle();
    EXPECT_EQ(names(data.recentProjects(4)), QStringList({"P0", "P5", "P4", "P3"}));
    EXPECT_GE(projectsSpy.count(), 1);

    projects[5]->setDeletedAt(at(101));
    context().deleteObject(projects[0]);
    settle();
    EXPECT_EQ(names(data.recentProjects(4)), QStringList({"P4", "P3", "P2", "P1"}));

    // Deleting the project took its documents with it.
    EXPECT_EQ(data.count(DocStatus::done), 0);

    auto fresh = makeDoc(projects[1], "fresh", 200, "needs_changes");
    settle();
    EXPECT_EQ(names(data.docs(DocStatus::needsChanges, 12)), QStringList({"fresh"}));
    fresh->setStatusRaw("done");
    settle();
    EXPECT_EQ(data.count(DocStatus::needsChanges), 0);
    EXPECT_EQ(names(data.docs(DocStatus::done, 12)), QStringList({"fresh"}));
    (void)doc;
}

TEST_F(DashboardDataTest, ChangeBelowTheShownDocumentsAnnouncesNothing) {
    const auto p = makeProject("P", 0);
    std::vector<DocPtr> docs;
    for (int i = 0; i < 20; ++i)
        docs.push_back(makeDoc(p, QString("d%1").arg(i), i, "done"));
    DashboardData data(context());
    QSignalSpy spy(&data, &DashboardData::docsChanged);
    docs[0]->setTitle("renamed, still last");
    docs[1]->setUpdatedAt(at(1).addSecs(1));
    settle();
    EXPECT_EQ(spy.count(), 0);
    docs[19]->setTitle("shown");
    settle();
    EXPECT_EQ(spy.count(), 1);
}

// Any sequence of edits leaves the same lists as reading the store afresh.
TEST_F(DashboardDataTest, IncrementalListsMatchAFreshReadAfterRandomEdits) {
    QRandomGenerator rng(20260101);
    std::vector<ProjectPtr> projects;
    std::vector<DocPtr> docs;
    std::vector<ChecklistPtr> checklists;
    const QStringList statuses{"in_progress", "done", "needs_changes", "other"};
    for (int i = 0; i < 15; ++i)
        projects.push_back(makeProject(QString("P%1").arg(i), rng.bounded(50)));
    for (int i = 0; i < 60; ++i)
        docs.push_back(makeDoc(projects[size_t(rng.bounded(15))], QString("D%1").arg(i), rng.bounded(50),
                               statuses[rng.bounded(4)]));
    for (int i = 0; i < 10; ++i)
        checklists.push_back(makeChecklist(QString("C%1").arg(i), rng.bounded(50)));
    DashboardData live(context());

    for (int step = 0; step < 300; ++step) {
        const int minutes = 50 + rng.bounded(400); // often equal to another object's date
        switch (rng.bounded(8)) {
        case 0: docs[size_t(rng.bounded(int(docs.size())))]->setUpdatedAt(at(minutes)); break;
        case 1: docs[size_t(rng.bounded(int(docs.size())))]->setStatusRaw(statuses[rng.bounded(4)]); break;
        case 2: {
            auto& d = docs[size_t(rng.bounded(int(docs.size())))];
            d->setDeletedAt(d->deletedAt() ? OptDate() : OptDate(at(minutes)));
            break;
        }
        case 3: projects[size_t(rng.bounded(int(projects.size())))]->setUpdatedAt(at(minutes)); break;
        case 4: checklists[size_t(rng.bounded(int(checklists.size())))]->setUpdatedAt(at(minutes)); break;
        case 5:
            docs.push_back(
                makeDoc(projects[size_t(rng.bounded(int(projects.size())))], "new", minutes, statuses[rng.bounded(4)]));
            break;
        case 6:
            if (projects.size() > 3 && rng.bounded(4) == 0) {
                const size_t i = size_t(rng.bounded(int(projects.size())));
                context().deleteObject(projects[i]);
                projects.erase(projects.begin() + qsizetype(i));
                std::erase_if(docs, [](const DocPtr& d) { return d->isDeleted(); });
            }
            break;
        case 7: checklists.push_back(makeChecklist("new", minutes)); break;
        }
        if (rng.bounded(3) == 0)
            settle();
        if (step % 25 == 24) {
            settle();
            DashboardData fresh(context());
            for (DocStatus s : DocStatusInfo::allCases()) {
                ASSERT_EQ(live.count(s), fresh.count(s)) << "step " << step;
                // Equal dates may be listed in another order; compare the dates in order and the sets.
                const auto a = live.docs(s, 1000), b = fresh.docs(s, 1000);
                for (size_t k = 0; k < a.size(); ++k)
                    ASSERT_EQ(a[k]->updatedAt(), b[k]->updatedAt()) << "step " << step;
                std::set<Doc*> sa, sb;
                for (size_t k = 0; k < a.size(); ++k) {
                    sa.insert(a[k].get());
                    sb.insert(b[k].get());
                }
                ASSERT_EQ(sa, sb);
            }
            const auto pa = live.recentProjects(1000), pb = fresh.recentProjects(1000);
            ASSERT_EQ(pa.size(), pb.size());
            for (size_t k = 0; k < pa.size(); ++k)
                ASSERT_EQ(pa[k]->updatedAt(), pb[k]->updatedAt());
            ASSERT_EQ(live.recentChecklists(1000).size(), fresh.recentChecklists(1000).size());
        }
    }
}

// On a store just opened, the documents come from a summary of their table; it must read as the objects
// would, and the first change must leave it for the objects without losing anything.
TEST_F(DashboardDataTest, ASummaryOfTheFileMatchesTheObjectsAndGivesWayToThem) {
    QRandomGenerator rng(77);
    const QStringList statuses{"in_progress", "done", "needs_changes", "other", ""};
    const auto p = makeProject("P", 0);
    for (int i = 0; i < 80; ++i) {
        auto d = makeDoc(p, QString("D%1").arg(i), rng.bounded(30), statuses[rng.bounded(5)]);
        if (rng.bounded(6) == 0)
            d->setDeletedAt(at(40));
    }
    ASSERT_TRUE(context().save());
    env.reopenStore();

    auto compare = [](DashboardData& a, DashboardData& b) {
        for (DocStatus s : DocStatusInfo::allCases()) {
            ASSERT_EQ(a.count(s), b.count(s));
            const auto x = a.docs(s, 12), y = b.docs(s, 12);
            ASSERT_EQ(x.size(), y.size());
            for (size_t k = 0; k < x.size(); ++k)
                ASSERT_EQ(x[k].get(), y[k].get()) << "same objects in the same order, ties in store order";
        }
    };
    DashboardData summary(context());
    EXPECT_FALSE(context().isLoaded(Doc::entityInfo().index)) << "no document made but those shown";
    EXPECT_LE(context().rowsRead("Doc"), 36);
    context().loadTables();
    DashboardData full(context());
    compare(summary, full);

    // A shown document changes status; then one that was never shown is stamped to the top.
    QSignalSpy changed(&summary, &DashboardData::docsChanged);
    const auto top = summary.docs(DocStatus::done, 1).front();
    top->setStatusRaw("needs_changes");
    settle();
    EXPECT_EQ(changed.count(), 1);
    const auto all = context().fetch<Doc>();
    auto low = *std::find_if(all.begin(), all.end(), [](const DocPtr& d) { return !d->deletedAt(); });
    low->setUpdatedAt(at(500));
    settle();
    DashboardData fresh(context());
    compare(summary, fresh);
    EXPECT_EQ(summary.docs(low->status(), 1).front(), low);
}

// The recent projects and checklists of a store just opened come from a summary of their tables, the top of each
// made ahead of the rest: the same objects, in the same order, as a full read gives, and a project that was
// not made ahead still rises to the top when stamped.
TEST_F(DashboardDataTest, RecentListsSummedUpFromTheFileMatchAFullRead) {
    QRandomGenerator rng(5);
    std::vector<ProjectPtr> projects;
    for (int i = 0; i < 12; ++i) {
        projects.push_back(makeProject(QString("P%1").arg(i), rng.bounded(6))); // many equal dates
        if (i % 5 == 0)
            projects.back()->setDeletedAt(at(1));
    }
    projects[7]->setUpdatedAt(at(100));
    projects[7]->setDeletedAt(at(100)); // the newest is hidden
    for (int i = 0; i < 20; ++i)
        makeDoc(projects[size_t(i % 12)], QString("D%1").arg(i), i);
    ASSERT_TRUE(context().save());
    env.reopenStore();

    auto same = [](auto a, auto b) {
        ASSERT_EQ(a.size(), b.size());
        for (size_t k = 0; k < a.size(); ++k)
            ASSERT_EQ(a[k].get(), b[k].get()) << "rank " << k;
    };
    DashboardData summary(context());
    EXPECT_EQ(summary.count(DocStatus::inProgress), 20);
    EXPECT_EQ(context().rowsRead("Doc"), 0);
    EXPECT_EQ(context().rowsRead("Project"), 4) << "only the projects shown are made";
    context().loadTables();
    DashboardData full(context());
    same(summary.recentProjects(4), full.recentProjects(4));
    same(summary.docs(DocStatus::inProgress, 12), full.docs(DocStatus::inProgress, 12));

    auto low = full.recentProjects(100).back();
    low->setUpdatedAt(at(200));
    settle();
    EXPECT_EQ(summary.recentProjects(1).front(), low);
    DashboardData fresh(context());
    same(summary.recentProjects(100), fresh.recentProjects(100));

    // Checklists name their project: the recent ones are made with it, linked as a full read links them.
    for (int i = 0; i < 7; ++i) {
        auto c = makeChecklist(QString("C%1").arg(i), rng.bounded(4), i % 3 ? projects[size_t(i)] : nullptr);
        if (i == 4)
            c->setDeletedAt(at(2));
    }
    ASSERT_TRUE(context().save());
    env.reopenStore();
    DashboardData again(context());
    EXPECT_LE(context().rowsRead("Checklist"), 4);
    const auto shown = again.recentChecklists(4);
    context().loadTables();
    DashboardData whole(context());
    same(shown, whole.recentChecklists(4));
    for (const auto& c : shown)
        EXPECT_EQ(c->project(), context().object<Checklist>(c->id())->project());
    EXPECT_EQ(again.count(DocStatus::done), whole.count(DocStatus::done));
}
