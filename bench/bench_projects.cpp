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
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QVBoxLayout>
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

// A person searching: each word typed one key at a time, then erased with Backspace. Every round types
// other numbers, so the pages it reaches are not all the pages of the round before.
struct Key {
    int code;
    QString text;
};

std::vector<Key> typingRound(const QStringList& words) {
    std::vector<Key> keys;
    for (const QString& word : words) {
        for (QChar c : word)
            keys.push_back({c == u' ' ? int(Qt::Key_Space) : int(QChar(c).toUpper().unicode()), QString(c)});
        for (qsizetype i = 0; i < word.size(); ++i)
            keys.push_back({int(Qt::Key_Backspace), QString()});
    }
    return keys;
}

// Presses and releases `key` in `field` through the application, as the window system delivers it.
void press(QWidget* field, const Key& key) {
    QKeyEvent down(QEvent::KeyPress, key.code, Qt::NoModifier, key.text);
    QApplication::sendEvent(field, &down);
    QKeyEvent up(QEvent::KeyRelease, key.code, Qt::NoModifier, key.text);
    QApplication::sendEvent(field, &up);
}

// Each key's time from its event to the painted window (filtered, laid out, painted), in milliseconds:
// wall clock, and this thread's processor time.
struct KeyTimes {
    std::vector<double> wall, cpu;
};

QStringList projectWords(int round) {
    return {QStringLiteral("projet %1").arg(round * 37 % 1000), QStringLiteral("réseau %1").arg(round * 7 % 100),
            QStringLiteral("le plus"), QStringLiteral("zq")};
}

KeyTimes typeKeys(benchmark::State& state, QWidget* field, QStringList (*words)(int) = projectWords) {
    field->setFocus();
    settle();
    KeyTimes times;
    std::vector<Key> keys;
    size_t next = 0;
    int round = 0;
    QElapsedTimer t;
    for (auto _ : state) {
        if (next == keys.size()) {
            keys = typingRound(words(round++));
            next = 0;
        }
        const double c0 = threadCpuMs();
        t.start();
        press(field, keys[next++]);
        settle();
        // What the key's events posted in turn (a layout, then its paint) is part of the key.
        QCoreApplication::processEvents();
        times.wall.push_back(double(t.nsecsElapsed()) / 1e6);
        times.cpu.push_back(threadCpuMs() - c0);
    }
    return times;
}

// The plain-Qt yardstick: a QListView over a QSortFilterProxyModel of the same 10,000 names and
// descriptions, filtered on either with the same keys; measured first, its figures divide ours.
double g_plainP50 = 0;
double g_plainP99 = 0;

void BM_Baseline_PlainQtSearchKeystroke(benchmark::State& state) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit;
    auto* list = new QListView;
    layout->addWidget(field);
    layout->addWidget(list);
    QStandardItemModel model(0, 2);
    for (const ProjectPtr& p : listlogic::newestFirst(g_container->mainContext().fetch<Project>()))
        model.appendRow({new QStandardItem(p->name()), new QStandardItem(p->details().value_or(QString()))});
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.setFilterKeyColumn(-1);
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    list->setUniformItemSizes(true);
    list->setModel(&proxy);
    QObject::connect(field, &QLineEdit::textChanged, &proxy,
                     [&proxy](const QString& text) { proxy.setFilterFixedString(text.trimmed()); });
    window.resize(1100, 720);
    window.show();
    settle();
    const KeyTimes times = typeKeys(state, field);
    g_plainP50 = percentile(times.wall, 0.5);
    g_plainP99 = percentile(times.wall, 0.99);
    state.counters["p50_ms"] = g_plainP50;
    state.counters["p99_ms"] = g_plainP99;
    state.counters["p99_cpu_ms"] = percentile(times.cpu, 0.99);
}
BENCHMARK(BM_Baseline_PlainQtSearchKeystroke)->Iterations(600)->Unit(benchmark::kMillisecond);

// One keystroke in the projects search, list (0) or grid (1): the same keys as the yardstick above.
void BM_ProjectsSearchKeystroke(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    ProjectsListView view(
        *g_services, [] {}, 0, [](const ProjectPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    auto* field = view.findChild<QLineEdit*>(QStringLiteral("searchField"));
    const int reloadsBefore = view.reloadCount();
    const KeyTimes times = typeKeys(state, field);
    // Every key changed the text, so every key reloaded: else the keys did not reach the field.
    if (view.reloadCount() - reloadsBefore != int(times.wall.size()))
        state.SkipWithError("keys lost");
    const double p50 = percentile(times.wall, 0.5);
    const double p99 = percentile(times.wall, 0.99);
    state.counters["p50_ms"] = p50;
    state.counters["p99_ms"] = p99;
    state.counters["p50_cpu_ms"] = percentile(times.cpu, 0.5);
    state.counters["p99_cpu_ms"] = percentile(times.cpu, 0.99);
    if (g_plainP50 > 0) {
        state.counters["x_plain_qt_p50"] = p50 / g_plainP50;
        state.counters["x_plain_qt_p99"] = p99 / g_plainP99;
    }
}
BENCHMARK(BM_ProjectsSearchKeystroke)->ArgName("grid")->Arg(0)->Arg(1)->Iterations(600)->Unit(benchmark::kMillisecond);

// One keystroke in the search of a project's 10,000 documents (list), typed as above.
void BM_DocsSearchKeystroke(benchmark::State& state) {
    g_services->prefs.setValue("prefs.defaultLayout", "list");
    ProjectDocumentsView view(
        *g_services, g_big, [] {}, [] {}, [](const DocPtr&) {});
    view.resize(1100, 720);
    view.show();
    view.pickPageSize(48);
    settle();
    auto* field = view.findChild<QLineEdit*>(QStringLiteral("searchField"));
    const KeyTimes times = typeKeys(state, field, [](int round) {
        return QStringList{QStringLiteral("document %1").arg(round * 37 % 1000), QStringLiteral("ecole 9"),
                           QStringLiteral("zq")};
    });
    state.counters["p50_ms"] = percentile(times.wall, 0.5);
    state.counters["p99_ms"] = percentile(times.wall, 0.99);
    state.counters["p99_cpu_ms"] = percentile(times.cpu, 0.99);
}
BENCHMARK(BM_DocsSearchKeystroke)->Iterations(600)->Unit(benchmark::kMillisecond);

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
