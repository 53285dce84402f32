// The projects and documents screens at scale: 10,000 projects, and one project of 10,000 documents.
// Each figure is compared with a baseline measured in the same run, named in the counter
// ("x_copy_references": copying the 10,000 object references), and printed as that ratio.
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
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>

namespace {

QTemporaryDir* g_dir = nullptr;
std::unique_ptr<ModelContainer> g_container;
ProjectPtr g_big; // the project with 10,000 documents
ProjectPtr g_newest; // first on the projects screen
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
        auto p = std::make_shared<Project>(
            ProjectFields{.name = QStringLiteral("Projet %1").arg(i),
                          .details = i % 2 ? OptText(QStringLiteral("Notes de réseau %1").arg(i)) : OptText(),
                          .iconName = QStringLiteral("folder.fill"),
                          .colorKey = OptText(QStringLiteral("blue")),
                          .createdAt = stamp(i),
                          .updatedAt = stamp(i)});
        ctx.insert(p);
        if (i == 0)
            g_big = p;
    }
    g_newest =
        std::make_shared<Project>(ProjectFields{.name = QStringLiteral("Le plus récent"),
                                                .iconName = QStringLiteral("folder.fill"),
                                                .colorKey = OptText(QStringLiteral("pink")),
                                                .createdAt = stamp(200000),
                                                .updatedAt = QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC)});
    ctx.insert(g_newest);
    for (int i = 0; i < 10000; ++i) {
        auto d = std::make_shared<Doc>(DocFields{.title = QStringLiteral("École document %1").arg(i),
                                                 .statusRaw = QStringLiteral("in_progress"),
                                                 .iconName = QStringLiteral("doc.text"),
                                                 .createdAt = stamp(i),
                                                 .updatedAt = stamp(i),
                                                 .project = g_big});
        ctx.insert(d);
    }
    ctx.save();
}

double g_baselineMs = 0; // copying the 10,000 references, measured first

// Gives the figure as a ratio to the baseline, under the baseline's name.
void reportRatio(benchmark::State& state, double ms) {
    if (g_baselineMs > 0)
        state.counters["x_copy_references"] = ms / g_baselineMs;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// The processor time of this thread: on a shared machine, a step's own cost, without the time other
// programs held the processor.
double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Runs `step` once per iteration and reports, in milliseconds, its mean and 99th percentile (wall
// clock, and this thread's processor time) and the mean's ratio to the baseline.
template <class Step>
void timed(benchmark::State& state, Step step) {
    std::vector<double> samples, cpu;
    QElapsedTimer t;
    for (auto _ : state) {
        const double c0 = threadCpuMs();
        t.start();
        step();
        samples.push_back(double(t.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - c0);
    }
    double sum = 0;
    for (double v : samples)
        sum += v;
    const double mean = samples.empty() ? 0 : sum / double(samples.size());
    state.counters["mean_ms"] = mean;
    state.counters["p99_ms"] = percentile(samples, 0.99);
    state.counters["p99_cpu_ms"] = percentile(cpu, 0.99);
    reportRatio(state, mean);
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void BM_Baseline_CopyReferences(benchmark::State& state) {
    const auto all = g_container->mainContext().fetch<Project>();
    QElapsedTimer t;
    t.start();
    int64_t runs = 0;
    for (auto _ : state) {
        std::vector<ProjectPtr> copy(all);
        benchmark::DoNotOptimize(copy.data());
        ++runs;
    }
    g_baselineMs = double(t.nsecsElapsed()) / 1e6 / double(std::max<int64_t>(1, runs));
    state.counters["mean_ms"] = g_baselineMs;
}
BENCHMARK(BM_Baseline_CopyReferences)->Unit(benchmark::kMillisecond);

// Fetch newest first, filter, slice: what one reload of the projects screen computes.
void BM_ProjectsReloadLogic(benchmark::State& state) {
    const QString query = state.range(0) ? QStringLiteral("réseau 9") : QString();
    listlogic::FoldedProjectCache cache;
    timed(state, [&] {
        const auto all = listlogic::newestFirst(g_container->mainContext().fetch<Project>());
        const auto matches = listlogic::searchProjects(all, query, cache);
        const auto range = lists::pageRange(3, 48, int(matches.size()));
        benchmark::DoNotOptimize(range.end);
    });
}
BENCHMARK(BM_ProjectsReloadLogic)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same for one project's 10,000 documents, with the folded titles cached across reloads.
void BM_DocsReloadLogic(benchmark::State& state) {
    listlogic::FoldedTitleCache cache;
    const QString query = state.range(0) ? QStringLiteral("ecole document 99") : QString();
    timed(state, [&] {
        const auto all = listlogic::visibleDocsNewestFirst(*g_big);
        const auto matches = listlogic::searchDocs(all, query, cache);
        const auto range = lists::pageRange(0, 48, int(matches.size()));
        benchmark::DoNotOptimize(range.end);
    });
}
BENCHMARK(BM_DocsReloadLogic)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A whole reload of the projects screen with 48 rows or cards rebuilt and laid out.
void BM_ProjectsScreenReload(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    ProjectsListView view(
        *g_services, [] {}, 0, [](const ProjectPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    timed(state, [&] {
        view.reloadPage();
        settle();
    });
}
BENCHMARK(BM_ProjectsScreenReload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A whole reload of the documents screen (10,000 documents, 48 shown).
void BM_DocsScreenReload(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    ProjectDocumentsView view(
        *g_services, g_big, [] {}, [] {}, [](const DocPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    timed(state, [&] {
        view.reload(false);
        settle();
    });
}
BENCHMARK(BM_DocsScreenReload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One keystroke in the documents search: reload from the first page and rebuild the page.
void BM_DocsSearchKeystroke(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", "list");
    ProjectDocumentsView view(
        *g_services, g_big, [] {}, [] {}, [](const DocPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    auto* field = view.findChild<QLineEdit*>(QStringLiteral("searchField"));
    // Each query gives another first page, so every keystroke rebinds the whole page.
    const QString words[] = {QStringLiteral("ecole document 1"), QStringLiteral("ÉCOLE DOCUMENT 2"),
                             QStringLiteral("document 3"), QStringLiteral("cole 4"), QStringLiteral("e")};
    int i = 0;
    timed(state, [&] {
        field->setText(words[i++ % 5]);
        settle();
    });
}
BENCHMARK(BM_DocsSearchKeystroke)->Iterations(500)->Unit(benchmark::kMillisecond);

// One keystroke in the projects search.
void BM_ProjectsSearchKeystroke(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", "list");
    ProjectsListView view(
        *g_services, [] {}, 0, [](const ProjectPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    auto* field = view.findChild<QLineEdit*>(QStringLiteral("searchField"));
    const QString words[] = {QStringLiteral("p"), QStringLiteral("pr"), QStringLiteral("proj"),
                             QStringLiteral("projet 1"), QStringLiteral("réseau")};
    int i = 0;
    timed(state, [&] {
        field->setText(words[i++ % 5]);
        settle();
    });
}
BENCHMARK(BM_ProjectsSearchKeystroke)->Iterations(500)->Unit(benchmark::kMillisecond);

// Opening the projects screen (12 per page, the newest project first), as the router builds it:
// plain, with a 100,000-character name on the newest project, or with such a description.
void BM_ProjectsScreenOpen(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    const QString huge = QStringLiteral("Nom très long ").repeated(100000 / 14 + 1).left(100000);
    g_newest->setName(state.range(1) == 1 ? huge : QStringLiteral("Le plus récent"));
    g_newest->setDetails(state.range(1) == 2 ? OptText(huge) : OptText());
    timed(state, [&] {
        auto view = std::make_unique<ProjectsListView>(
            *g_services, [] {}, 0, [](const ProjectPtr&) {});
        view->resize(1100, 720);
        view->show();
        settle();
        // The first frame: every row or card painted.
        benchmark::DoNotOptimize(view->grab().cacheKey());
        view.reset();
        settle();
    });
    g_newest->setName(QStringLiteral("Le plus récent"));
    g_newest->setDetails(OptText());
}
BENCHMARK(BM_ProjectsScreenOpen)
    ->ArgNames({"grid", "long"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({1, 2})
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
    UserPreferencesStore profile(prefs);
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
