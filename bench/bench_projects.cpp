// The projects and documents screens at scale: 10,000 projects, and one project of 10,000 documents.
// Each figure is compared with a baseline measured in the same run (copying the 10,000 object references).
#include "cardsheet/AttachmentJobs.h"
#include "richtext/SpellChecker.h"
#include "core/model/SwiftDataContainer.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "projects/ListLogic.h"
#include "projects/ProjectDocumentsView.h"
#include "projects/ProjectsListView.h"
#include "services/Services.h"
#include "ui/Theme.h"
#include "ui/lists/Paging.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir* g_dir = nullptr;
std::unique_ptr<ModelContainer> g_container;
ProjectPtr g_big;   // the project with 10,000 documents
ProjectPtr g_newest;   // first on the projects screen
Services* g_services = nullptr;

QDateTime stamp(int i) { return QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC).addSecs(i * 37 % 100000); }

void buildStore() {
    QString err;
    g_container = openModelContainer(g_dir->path() + "/bench.store", &err);
    if (!g_container) {
        fprintf(stderr, "%s\n", qPrintable(err));
        std::abort();
    }
    ModelContext& ctx = g_container->mainContext();
    for (int i = 0; i < 10000; ++i) {
        auto p = std::make_shared<Project>(QUuid::createUuid(), QStringLiteral("Projet %1").arg(i),
                                           i % 2 ? OptText(QStringLiteral("Notes de réseau %1").arg(i)) : OptText(),
                                           QStringLiteral("folder.fill"), OptText(QStringLiteral("blue")), OptText(),
                                           stamp(i), stamp(i));
        ctx.insert(p);
        if (i == 0)
            g_big = p;
    }
    g_newest = std::make_shared<Project>(QUuid::createUuid(), QStringLiteral("Le plus récent"), OptText(),
                                         QStringLiteral("folder.fill"), OptText(QStringLiteral("pink")), OptText(),
                                         stamp(200000), QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC));
    ctx.insert(g_newest);
    for (int i = 0; i < 10000; ++i) {
        auto d = std::make_shared<Doc>(QUuid::createUuid(), QStringLiteral("École document %1").arg(i),
                                       QStringLiteral("in_progress"), QStringLiteral("doc.text"), OptText(), OptText(),
                                       stamp(i), stamp(i), std::nullopt, g_big);
        ctx.insert(d);
    }
    ctx.save();
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void BM_Baseline_CopyReferences(benchmark::State& state) {
    const auto all = g_container->mainContext().fetch<Project>();
    for (auto _ : state) {
        std::vector<ProjectPtr> copy(all);
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_Baseline_CopyReferences)->Unit(benchmark::kMillisecond);

// Fetch newest first, filter, slice: what one reload of the projects screen computes.
void BM_ProjectsReloadLogic(benchmark::State& state) {
    const QString query = state.range(0) ? QStringLiteral("réseau 9") : QString();
    listlogic::FoldedProjectCache cache;
    for (auto _ : state) {
        const auto all = listlogic::newestFirst(g_container->mainContext().fetch<Project>());
        const auto matches = listlogic::searchProjects(all, query, cache);
        const auto range = lists::pageRange(3, 48, int(matches.size()));
        benchmark::DoNotOptimize(range.end);
    }
}
BENCHMARK(BM_ProjectsReloadLogic)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same for one project's 10,000 documents, with the folded titles cached across reloads.
void BM_DocsReloadLogic(benchmark::State& state) {
    listlogic::FoldedTitleCache cache;
    const QString query = state.range(0) ? QStringLiteral("ecole document 99") : QString();
    for (auto _ : state) {
        const auto all = listlogic::visibleDocsNewestFirst(*g_big);
        const auto matches = listlogic::searchDocs(all, query, cache);
        const auto range = lists::pageRange(0, 48, int(matches.size()));
        benchmark::DoNotOptimize(range.end);
    }
}
BENCHMARK(BM_DocsReloadLogic)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A whole reload of the projects screen with 48 rows or cards rebuilt and laid out.
void BM_ProjectsScreenReload(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    ProjectsListView view(*g_services, [] {}, 0, [](const ProjectPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    for (auto _ : state) {
        view.reloadPage();
        settle();
    }
}
BENCHMARK(BM_ProjectsScreenReload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A whole reload of the documents screen (10,000 documents, 48 shown).
void BM_DocsScreenReload(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    ProjectDocumentsView view(*g_services, g_big, [] {}, [] {}, [](const DocPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    for (auto _ : state) {
        view.reload(false);
        settle();
    }
}
BENCHMARK(BM_DocsScreenReload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One keystroke in the documents search: reload from the first page and rebuild the page.
void BM_DocsSearchKeystroke(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", "list");
    ProjectDocumentsView view(*g_services, g_big, [] {}, [] {}, [](const DocPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    auto* field = view.findChild<QLineEdit*>(QStringLiteral("searchField"));
    // Each query gives another first page, so every keystroke rebinds the whole page.
    const QString words[] = {QStringLiteral("ecole document 1"), QStringLiteral("ÉCOLE DOCUMENT 2"),
                             QStringLiteral("document 3"), QStringLiteral("cole 4"), QStringLiteral("e")};
    int i = 0;
    for (auto _ : state) {
        field->setText(words[i++ % 5]);
        settle();
    }
}
BENCHMARK(BM_DocsSearchKeystroke)->Unit(benchmark::kMillisecond);

// One keystroke in the projects search.
void BM_ProjectsSearchKeystroke(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", "list");
    ProjectsListView view(*g_services, [] {}, 0, [](const ProjectPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    auto* field = view.findChild<QLineEdit*>(QStringLiteral("searchField"));
    const QString words[] = {QStringLiteral("p"), QStringLiteral("pr"), QStringLiteral("proj"), QStringLiteral("projet 1"),
                             QStringLiteral("réseau")};
    int i = 0;
    for (auto _ : state) {
        field->setText(words[i++ % 5]);
        settle();
    }
}
BENCHMARK(BM_ProjectsSearchKeystroke)->Unit(benchmark::kMillisecond);

// Opening the projects screen (12 per page, the newest project first), as the router builds it:
// plain, with a 100,000-character name on the newest project, or with such a description.
void BM_ProjectsScreenOpen(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    const QString huge = QStringLiteral("Nom très long ").repeated(100000 / 14 + 1).left(100000);
    g_newest->setName(state.range(1) == 1 ? huge : QStringLiteral("Le plus récent"));
    g_newest->setDetails(state.range(1) == 2 ? OptText(huge) : OptText());
    for (auto _ : state) {
        auto view = std::make_unique<ProjectsListView>(*g_services, [] {}, 0, [](const ProjectPtr&) {});
        view->resize(1100, 720);
        view->show();
        settle();
        // The first frame: every row or card painted.
        benchmark::DoNotOptimize(view->grab().cacheKey());
        view.reset();
        settle();
    }
    g_newest->setName(QStringLiteral("Le plus récent"));
    g_newest->setDetails(OptText());
}
BENCHMARK(BM_ProjectsScreenOpen)
    ->ArgNames({"grid", "long"})
    ->Args({0, 0})->Args({0, 1})->Args({0, 2})->Args({1, 0})->Args({1, 1})->Args({1, 2})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    Preferences prefs(dir.path() + "/prefs.conf");
    Preferences::setShared(&prefs);
    buildStore();
    ThemeManager theme(&prefs);
    UserPreferencesStore profile;
    SpellDictionary spelling;
    AttachmentImports attachments;
    ThumbnailCache thumbnails;
    Services services{g_container->mainContext(), prefs, theme, profile, spelling, attachments, thumbnails};
    g_services = &services;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_big.reset();
    g_newest.reset();
    g_container.reset();
    Preferences::setShared(nullptr);
    return 0;
}
