// Start-up to the first painted frame of the shell over an empty store and over a large one, against a minimal Qt Widgets window
// (bench_minimal_window) started the same way; and the work of switching the theme on a populated window.
#include "cardsheet/AttachmentJobs.h"
#include "richtext/SpellChecker.h"
#include "app/AppShellView.h"
#include "app/Router.h"
#include "app/Sidebar.h"
#include "ui/Theme.h"
#include "prefs/Preferences.h"
#include "LargeStore.h"
#include "core/model/SwiftDataContainer.h"
#include "core/model/UserProfile.h"
#include "core/store/ModelContext.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QPaintEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#ifndef TOLMEK_APP_BINARY
#define TOLMEK_APP_BINARY ""
#endif
#ifndef TOLMEK_MINIMAL_WINDOW_BINARY
#define TOLMEK_MINIMAL_WINDOW_BINARY ""
#endif

namespace {
// The profile over the program's preferences, as the entry makes one for the run.
UserPreferencesStore& benchProfile() {
    static auto* profile = new UserPreferencesStore(Preferences::shared());
    return *profile;
}

QString g_root;
// The data folder of the start being timed: the large store's, or one where the first start made an empty store.
QString g_data;

QString storePath() { return g_root + "/data/Tolmek/default.store"; }

void buildStore() { benchstore::build(storePath(), false); }

// Runs `program` to its first painted frame; returns the whole process's wall time and adds the steps the
// application reports (TOLMEK_STARTUP_TRACE) to `steps`.
qint64 runProcess(const QString& program, const QStringList& args, QMap<QString, double>* steps = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", g_data);
    env.insert("XDG_CONFIG_HOME", g_root + "/config");
    env.insert("XDG_CACHE_HOME", g_root + "/cache");
    // TOLMEK_BENCH_PLATFORM=xcb (with DISPLAY set) times both programs in real X11 windows instead.
    env.insert("QT_QPA_PLATFORM", qEnvironmentVariable("TOLMEK_BENCH_PLATFORM", QStringLiteral("offscreen")));
    env.insert("TOLMEK_EXIT_AFTER_FIRST_PAINT", "1");
    env.insert("TOLMEK_STARTUP_TRACE", "1");
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        std::abort();
    }
    const qint64 elapsed = t.nsecsElapsed();
    if (steps) {
        for (const QByteArray& line : p.readAllStandardError().split('\n')) {
            const QList<QByteArray> parts = line.trimmed().split(' ');
            if (parts.size() == 3 && parts[0] == "startup:")
                (*steps)[QString::fromLatin1(parts[1])] += parts[2].toDouble();
        }
    }
    return elapsed;
}

// Alternates the app and the yardstick so drift of the machine hits both alike. Besides the ratio, the
// mean time of each step of the application's start (application and fonts, store, window, first paint,
// closing). Argument: 1 over the large store, 0 over an empty one.
void BM_StartupToFirstPaint(benchmark::State& state) {
    g_data = state.range(0) ? g_root + "/data" : g_root + "/empty-data";
    QDir().mkpath(g_data);
    double app = 0, minimal = 0;
    std::vector<double> apps, minimals;
    int n = 0;
    QMap<QString, double> steps;
    // Untimed: the first run makes the empty store and fills the caches that every later start finds (the fonts', the drawn symbols').
    runProcess(QString::fromUtf8(TOLMEK_APP_BINARY), {});
    runProcess(QString::fromUtf8(TOLMEK_MINIMAL_WINDOW_BINARY), {});
    for (auto _ : state) {
        const qint64 a = runProcess(QString::fromUtf8(TOLMEK_APP_BINARY), {}, &steps);
        const qint64 b = runProcess(QString::fromUtf8(TOLMEK_MINIMAL_WINDOW_BINARY), {});
        state.SetIterationTime(double(a) / 1e9);
        app += double(a);
        minimal += double(b);
        apps.push_back(double(a) / 1e6);
        minimals.push_back(double(b) / 1e6);
        ++n;
    }
    state.counters["tolmek_ms"] = app / n / 1e6;
    state.counters["minimal_qt_ms"] = minimal / n / 1e6;
    state.counters["ratio"] = app / minimal;
    // The medians: one start slowed by the machine moves them least.
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    state.counters["tolmek_median_ms"] = median(apps);
    state.counters["minimal_qt_median_ms"] = median(minimals);
    state.counters["ratio_median"] = median(apps) / median(minimals);
    for (auto it = steps.cbegin(); it != steps.cend(); ++it)
        state.counters[(it.key() + QStringLiteral("_ms")).toStdString()] = it.value() / n;
}

// A theme change on a window showing the projects screen of the large store: the change itself and
// the complete repaint of the window it causes.
void BM_ThemeSwitchPopulated(benchmark::State& state) {
    QString err;
    auto container = openModelContainer(storePath(), &err);
    {
        SpellDictionary spelling;
        AttachmentImports attachments;
        ThumbnailCache thumbnails;
        Services services{container->mainContext(),
                          Preferences::shared(),
                          ThemeManager::shared(),
                          benchProfile(),
                          spelling,
                          attachments,
                          thumbnails};
        AppShellView shell(services);
        shell.resize(1100, 720);
        shell.show();
        if (!QTest::qWaitForWindowExposed(&shell))
            state.SkipWithError("window not exposed");
        shell.sidebar()->tap(SidebarItem::projects);
        QCoreApplication::processEvents();
        auto& theme = ThemeManager::shared();
        for (auto _ : state) {
            theme.setTheme(nextAppTheme(theme.theme()));
            shell.repaint();
        }
        theme.setTheme(AppTheme::system);
    }
}

} // namespace

BENCHMARK(BM_StartupToFirstPaint)->Arg(0)->Arg(1)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThemeSwitchPopulated)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // --store-only DIR: writes the large store under DIR/data and stops (for timing the binary from outside).
    const bool storeOnly = argc > 2 && QByteArray(argv[1]) == "--store-only";
    g_root = storeOnly ? QString::fromLocal8Bit(argv[2]) : dir.path();
    QDir().mkpath(g_root + "/config");
    Preferences::setShared(new Preferences(g_root + "/bench-prefs.conf"));
    buildStore();
    if (storeOnly)
        return 0;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
