// The projects and documents screens at scale: 10,000 projects, and one project of 10,000 documents.
// Each figure is compared with a baseline measured in the same run (copying the 10,000 object references).
#include "prefs/Preferences.h"
#include "core/model/SwiftDataContainer.h"
#include "projects/ListLogic.h"
#include "projects/ProjectDocumentsView.h"
#include "projects/ProjectsListView.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir* g_dir = nullptr;
std::unique_ptr<ModelContainer> g_container;
ProjectPtr g_big;   // the project with 10,000 documents

QDateTime stamp(int i) { return QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC).addSecs(i * 37 % 100000); }

void buildStore() {
    QString err;
    g_container = openModelContainer(g_dir->path() + "/bench.store", &err);
    if (!g_container) {
        fprintf(stderr, "%s\n", qPrintable(err));
        std::abort();
    }
    setCurrentModelContainer(g_container.get());
    ModelContext& ctx = modelContext();
    for (int i = 0; i < 10000; ++i) {
        auto p = std::make_shared<Project>(QUuid::createUuid(), QStringLiteral("Projet %1").arg(i),
                                           i % 2 ? OptText(QStringLiteral("Notes de réseau %1").arg(i)) : OptText(),
                                           QStringLiteral("folder.fill"), OptText(QStringLiteral("blue")), OptText(),
                                           stamp(i), stamp(i));
        ctx.insert(p);
        if (i == 0)
            g_big = p;
    }
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
    const auto all = modelContext().fetch<Project>();
    for (auto _ : state) {
        std::vector<ProjectPtr> copy(all);
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_Baseline_CopyReferences)->Unit(benchmark::kMillisecond);

// Fetch newest first, filter, slice: what one reload of the projects screen computes.
void BM_ProjectsReloadLogic(benchmark::State& state) {
    const QString query = state.range(0) ? QStringLiteral("réseau 9") : QString();
    for (auto _ : state) {
        const auto all = modelContext().fetch<Project>(SortDescriptor<Project>(&Project::updatedAt, SortOrder::reverse));
        const auto matches = listlogic::searchProjects(all, query);
        auto page = listlogic::slice(matches, 3, 48);
        benchmark::DoNotOptimize(page.data());
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
        auto page = listlogic::slice(matches, 0, 48);
        benchmark::DoNotOptimize(page.data());
    }
}
BENCHMARK(BM_DocsReloadLogic)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A whole reload of the projects screen with 48 rows or cards rebuilt and laid out.
void BM_ProjectsScreenReload(benchmark::State& state) {
    Preferences::shared().setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    ProjectsListView view([] {}, 0, [](const ProjectPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.setPageSize(48);
    settle();
    for (auto _ : state) {
        view.reloadPage();
        settle();
    }
}
BENCHMARK(BM_ProjectsScreenReload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A whole reload of the documents screen (10,000 documents, 48 shown).
void BM_DocsScreenReload(benchmark::State& state) {
    Preferences::shared().setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    ProjectDocumentsView view(g_big, [] {}, [] {}, [](const DocPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.setPageSize(48);
    settle();
    for (auto _ : state) {
        view.reload(false);
        settle();
    }
}
BENCHMARK(BM_DocsScreenReload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One keystroke in the documents search: reload from the first page and rebuild the page.
void BM_DocsSearchKeystroke(benchmark::State& state) {
    Preferences::shared().setValue("prefs.defaultLayout", "list");
    ProjectDocumentsView view(g_big, [] {}, [] {}, [](const DocPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.setPageSize(48);
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
    Preferences::shared().setValue("prefs.defaultLayout", "list");
    ProjectsListView view([] {}, 0, [](const ProjectPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.setPageSize(48);
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

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    Preferences prefs(dir.path() + "/prefs.conf");
    Preferences::setShared(&prefs);
    buildStore();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_big.reset();
    setCurrentModelContainer(nullptr);
    g_container.reset();
    Preferences::setShared(nullptr);
    return 0;
}
