// The dashboard over the large store (1,000 projects, 10,000 documents, 200 checklists):
// - its first painted frame, from a freshly opened store (nothing read yet), against a plain window
//   of the same size painted the same way;
// - bringing counts and recent lists up to date after one object changes elsewhere, against reading
//   the three types afresh (what a full refetch costs).
#include "cardsheet/AttachmentJobs.h"
#include "richtext/SpellChecker.h"
#include "dashboard/DashboardData.h"
#include "dashboard/DashboardView.h"
#include "LargeStore.h"
#include "core/model/SwiftDataContainer.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

namespace {

QString g_store;
Preferences* g_prefs = nullptr;

struct Env {
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<ThemeManager> theme;
    std::unique_ptr<UserPreferencesStore> profile;
    SpellDictionary spelling;
    AttachmentImports attachments;
    ThumbnailCache thumbnails;
    std::unique_ptr<Services> services;
    Env() {
        QString err;
        container = openModelContainer(g_store, &err);
        if (!container)
            std::abort();
        theme = std::make_unique<ThemeManager>(g_prefs);
        profile = std::make_unique<UserPreferencesStore>(*g_prefs);
        services.reset(
            new Services{container->mainContext(), *g_prefs, *theme, *profile, spelling, attachments, thumbnails});
    }
};

void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

QWidget* plainWindow() {
    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    l->addWidget(new QLabel(QStringLiteral("Tableau de bord")));
    return w;
}

// Time from building the screen to its first complete frame (layout and paint of every widget).
double firstFrameMs(const std::function<QWidget*()>& make) {
    QElapsedTimer t;
    t.start();
    std::unique_ptr<QWidget> w(make());
    w->resize(880, 720);
    const QPixmap frame = w->grab();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    benchmark::DoNotOptimize(frame.cacheKey());
    w.reset();
    settle();
    return ms;
}

void BM_DashboardFirstFrame(benchmark::State& state) {
    double dash = 0, plain = 0;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Env env; // a fresh store: no table read yet
        state.ResumeTiming();
        const double d = firstFrameMs([&] { return new DashboardView(*env.services, {}, {}, {}, {}, {}, {}); });
        state.PauseTiming();
        const double p = firstFrameMs(plainWindow);
        state.ResumeTiming();
        state.SetIterationTime(d / 1e3);
        dash += d;
        plain += p;
        ++n;
    }
    state.counters["dashboard_ms"] = dash / n;
    state.counters["plain_window_ms"] = plain / n;
    state.counters["ratio"] = dash / plain;
}

// The part of the first frame spent reading the store (one fetch per type, no block or blob).
void BM_DashboardReadFreshStore(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Env env;
        state.ResumeTiming();
        DashboardData data(env.container->mainContext());
        benchmark::DoNotOptimize(data.count(DocStatus::done));
    }
}

void BM_DashboardAfterOneChange(benchmark::State& state) {
    Env env;
    DashboardView view(*env.services, {}, {}, {}, {}, {}, {});
    view.resize(880, 720);
    view.toggleExpandedStatus(DocStatus::done);
    (void)view.grab();
    auto docs = env.container->mainContext().fetch<Doc>();
    auto projects = env.container->mainContext().fetch<Project>();
    qint64 minute = 0;
    double incremental = 0, full = 0;
    int n = 0;
    size_t k = 0;
    for (auto _ : state) {
        // One document stamped and one project renamed elsewhere, as an editor and a sheet would.
        const DocPtr& doc = docs[(k * 7919) % docs.size()];
        const ProjectPtr& project = projects[(k * 104729) % projects.size()];
        ++k;
        QElapsedTimer t;
        t.start();
        doc->setUpdatedAt(QDateTime::fromMSecsSinceEpoch(1'800'000'000'000LL + ++minute * 60'000, Qt::UTC));
        project->setName(QStringLiteral("Projet %1").arg(minute));
        view.data()->processPending(); // what the queued update runs, widgets included
        const double ms = double(t.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1e3);
        state.PauseTiming();
        QElapsedTimer f;
        f.start();
        {
            DashboardData fresh(env.container->mainContext());
            benchmark::DoNotOptimize(fresh.count(DocStatus::done));
        }
        full += double(f.nsecsElapsed()) / 1e6;
        settle();
        state.ResumeTiming();
        incremental += ms;
        ++n;
    }
    state.counters["update_ms"] = incremental / n;
    state.counters["full_reread_ms"] = full / n;
    state.counters["ratio"] = incremental / full;
}

// The first frame with every project and checklist named by 100,000 characters (Arg 1) or not (0),
// against the plain window.
void BM_DashboardLongNames(benchmark::State& state) {
    const QString huge = QStringLiteral("Nom très long ").repeated(100000 / 14 + 1).left(100000);
    double dash = 0, plain = 0;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Env env;
        // Every name the same long text (shared, not copied), so whichever the screen shows is long.
        if (state.range(0)) {
            for (const auto& p : env.container->mainContext().fetch<Project>())
                p->setName(huge);
            for (const auto& c : env.container->mainContext().fetch<Checklist>())
                c->setName(huge);
        }
        state.ResumeTiming();
        const double d = firstFrameMs([&] { return new DashboardView(*env.services, {}, {}, {}, {}, {}, {}); });
        state.PauseTiming();
        const double p = firstFrameMs(plainWindow);
        state.ResumeTiming();
        state.SetIterationTime(d / 1e3);
        dash += d;
        plain += p;
        ++n;
    }
    state.counters["dashboard_ms"] = dash / n;
    state.counters["plain_window_ms"] = plain / n;
}

} // namespace

BENCHMARK(BM_DashboardLongNames)->Arg(0)->Arg(1)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DashboardFirstFrame)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DashboardReadFreshStore)->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DashboardAfterOneChange)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_prefs = new Preferences(dir.path() + "/bench-prefs.conf");
    Preferences::setShared(g_prefs);
    g_store = dir.path() + "/large.store";
    benchstore::build(g_store, true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
