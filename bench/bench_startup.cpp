// Start-up as a person sees it: from starting the process to the first frame of its window reaching the
// X server (its first X Damage report), the exit left out; the shell over an empty store and over a large
// one, against a minimal Qt Widgets window showing a line of text (bench_minimal_window) started the same
// way. And the work of switching the theme on a populated window.
//
// The starts run in the X server of DISPLAY when one is given, else in a private Xvfb with a session bus of
// its own, as on a desktop.
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
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Last: Xlib's macros (None, Bool, KeyPress…) would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

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

// Says why the run stops, and stops it (the private X server and bus with it).
[[noreturn]] void fail(const QString& message);

double nowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The X server the programs start in: DISPLAY's, or a private Xvfb (and session bus) ended with the run.
class XServer {
public:
    XServer() {
        const QString given = qEnvironmentVariable("DISPLAY");
        if (!given.isEmpty()) {
            display = given;
            return;
        }
        startXvfb();
        // Without a bus, the programs' first call to it would start one through the X server, slowly.
        m_bus.setChildProcessModifier([] { setsid(); });
        m_bus.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                     QStringLiteral("--print-address=1")});
        if (!m_bus.waitForReadyRead(10000)) {
            stop();
            fail(QStringLiteral("dbus-daemon did not start"));
        }
        busAddress = QString::fromLocal8Bit(m_bus.readLine()).trimmed();
    }
    ~XServer() { stop(); }
    QString display;
    QString busAddress; // empty: the environment's

private:
    void stop() {
        if (m_bus.state() != QProcess::NotRunning) {
            ::kill(-pid_t(m_bus.processId()), SIGTERM);
            m_bus.waitForFinished(5000);
        }
        if (m_xvfb > 0) {
            ::kill(-m_xvfb, SIGTERM);
            waitpid(m_xvfb, nullptr, 0);
            m_xvfb = 0;
        }
    }

    void startXvfb() {
        int fds[2];
        if (pipe(fds) != 0)
            fail(QStringLiteral("pipe"));
        const std::string fd = std::to_string(fds[1]);
        m_xvfb = fork();
        if (m_xvfb == 0) {
            setsid();
            close(fds[0]);
            const int devNull = open("/dev/null", O_WRONLY);
            dup2(devNull, 1);
            dup2(devNull, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                   "-noreset", "-ac", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        const double t0 = nowMs();
        while (number.empty() || number.back() != '\n') {
            pollfd p{fds[0], POLLIN, 0};
            char c;
            if (nowMs() - t0 > 10000 || poll(&p, 1, 100) < 0 ||
                ((p.revents & (POLLIN | POLLHUP)) && read(fds[0], &c, 1) != 1)) {
                close(fds[0]);
                stop();
                fail(QStringLiteral("Xvfb did not start"));
            }
            if (p.revents & POLLIN)
                number += c;
        }
        close(fds[0]);
        display = QStringLiteral(":") + QString::fromStdString(number).trimmed();
    }

    pid_t m_xvfb = 0;
    QProcess m_bus;
};

int ignoreXErrors(Display*, XErrorEvent*) { return 0; } // windows of a program that already ended

// Watches every window made on the screen and tells when one of a given process first draws.
class FrameWatch {
public:
    explicit FrameWatch(const QString& display) {
        m_dpy = XOpenDisplay(display.toLocal8Bit().constData());
        int error = 0;
        if (!m_dpy || !XDamageQueryExtension(m_dpy, &m_damageEvent, &error))
            fail(QStringLiteral("no X server with the DAMAGE extension at ") + display);
        XSetErrorHandler(ignoreXErrors);
        m_pidAtom = XInternAtom(m_dpy, "_NET_WM_PID", False);
        XSelectInput(m_dpy, DefaultRootWindow(m_dpy), SubstructureNotifyMask);
        XSync(m_dpy, False);
    }
    ~FrameWatch() {
        forget();
        XCloseDisplay(m_dpy);
    }

    // Milliseconds from `t0` to the first drawing of process `p` that reached the server in a window of at
    // least 200×200 pixels (its first frame; a menu or a hidden helper window does not count); -1 when the
    // process ended first or `limitMs` passed.
    double firstFrame(QProcess& p, double t0, double limitMs) {
        const pid_t pid = pid_t(p.processId());
        double endedAt = -1;
        for (;;) {
            while (XPending(m_dpy)) {
                XEvent e;
                XNextEvent(m_dpy, &e);
                const double at = nowMs();
                if (e.type == CreateNotify && e.xcreatewindow.parent == DefaultRootWindow(m_dpy)) {
                    // Before the program can map it, let alone draw in it.
                    m_damages.push_back(XDamageCreate(m_dpy, e.xcreatewindow.window, XDamageReportNonEmpty));
                } else if (e.type == m_damageEvent + XDamageNotify) {
                    const auto* d = reinterpret_cast<const XDamageNotifyEvent*>(&e);
                    if (d->geometry.width >= 200 && d->geometry.height >= 200 && ownedBy(d->drawable, pid))
                        return at - t0;
                }
            }
            XFlush(m_dpy);
            const double now = nowMs();
            if (now - t0 > limitMs)
                return -1;
            // What a program drew just before it ended may still be on its way through the server.
            if (endedAt < 0 && p.waitForFinished(0))
                endedAt = now;
            if (endedAt >= 0 && now - endedAt > 500)
                return -1;
            pollfd f{ConnectionNumber(m_dpy), POLLIN, 0};
            poll(&f, 1, 5);
        }
    }

    // The damage objects of the last start's windows (those already destroyed with their window).
    void forget() {
        for (Damage d : m_damages)
            XDamageDestroy(m_dpy, d);
        m_damages.clear();
        XSync(m_dpy, True);
    }

private:
    // A window whose program has ended has no owner left to ask: its drawing counts, as only the
    // started program makes windows meanwhile.
    bool ownedBy(Window w, pid_t pid) {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = nullptr;
        bool owned = true;
        if (XGetWindowProperty(m_dpy, w, m_pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) ==
                Success &&
            data && n == 1 && format == 32)
            owned = pid_t(*reinterpret_cast<long*>(data)) == pid;
        if (data)
            XFree(data);
        return owned;
    }

    Display* m_dpy = nullptr;
    int m_damageEvent = 0;
    Atom m_pidAtom = 0;
    std::vector<Damage> m_damages;
};

std::unique_ptr<XServer> g_x;
std::unique_ptr<FrameWatch> g_watch;

void fail(const QString& message) {
    std::fprintf(stderr, "bench_startup: %s\n", qPrintable(message));
    g_watch.reset();
    g_x.reset();
    std::abort();
}

// Starts `program` and returns the milliseconds to its first frame; then lets the application end by itself
// once painted (TOLMEK_EXIT_AFTER_FIRST_PAINT) or ends the yardstick, untimed, and adds the steps the
// application reports (TOLMEK_STARTUP_TRACE) to `steps`.
double runProcess(const QString& program, QMap<QString, double>* steps = nullptr) {
    if (!g_x) {
        g_x = std::make_unique<XServer>();
        g_watch = std::make_unique<FrameWatch>(g_x->display);
    }
    const bool app = program == QString::fromUtf8(TOLMEK_APP_BINARY);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", g_data);
    env.insert("XDG_CONFIG_HOME", g_root + "/config");
    env.insert("XDG_CACHE_HOME", g_root + "/cache");
    env.insert("DISPLAY", g_x->display);
    if (!g_x->busAddress.isEmpty())
        env.insert("DBUS_SESSION_BUS_ADDRESS", g_x->busAddress);
    env.insert("QT_QPA_PLATFORM", "xcb");
    if (app) {
        env.insert("TOLMEK_EXIT_AFTER_FIRST_PAINT", "1");
        env.insert("TOLMEK_STARTUP_TRACE", "1");
    }
    p.setProcessEnvironment(env);
    const double t0 = nowMs();
    p.start(program, {});
    const double frame = g_watch->firstFrame(p, t0, 60000);
    if (frame < 0) {
        p.kill();
        p.waitForFinished();
        fail(program + QStringLiteral(": no frame reached the X server: ") +
             QString::fromLocal8Bit(p.readAllStandardError()));
    }
    if (!app)
        p.terminate();
    if ((p.state() != QProcess::NotRunning && !p.waitForFinished(60000)) ||
        (app && (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0))) {
        p.kill();
        p.waitForFinished();
        fail(program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAllStandardError()));
    }
    g_watch->forget();
    if (steps) {
        for (const QByteArray& line : p.readAllStandardError().split('\n')) {
            const QList<QByteArray> parts = line.trimmed().split(' ');
            // The closing step comes after the frame: not part of the start.
            if (parts.size() == 3 && parts[0] == "startup:" && parts[1] != "close")
                (*steps)[QString::fromLatin1(parts[1])] += parts[2].toDouble();
        }
    }
    return frame;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The application and the yardstick take turns, so that drift of the machine hits both alike; the medians,
// which one start slowed by the machine moves least, and their ratio. Besides, the mean time of each step
// of the application's start (application and fonts, store, window, first paint). Argument: 1 over the
// large store, 0 over an empty one.
void BM_StartupToFirstPaint(benchmark::State& state) {
    g_data = state.range(0) ? g_root + "/data" : g_root + "/empty-data";
    QDir().mkpath(g_data);
    const QString app = QString::fromUtf8(TOLMEK_APP_BINARY);
    const QString minimal = QString::fromUtf8(TOLMEK_MINIMAL_WINDOW_BINARY);
    std::vector<double> apps, minimals;
    QMap<QString, double> steps;
    // Untimed: the first run makes the empty store and fills the caches that every later start finds (the
    // fonts', the drawn symbols').
    runProcess(app);
    runProcess(minimal);
    for (auto _ : state) {
        const double a = runProcess(app, &steps);
        const double b = runProcess(minimal);
        state.SetIterationTime(a / 1e3);
        apps.push_back(a);
        minimals.push_back(b);
    }
    const double n = double(apps.size());
    state.counters["tolmek_median_ms"] = median(apps);
    state.counters["minimal_qt_median_ms"] = median(minimals);
    state.counters["ratio_median"] = median(apps) / median(minimals);
    for (auto it = steps.cbegin(); it != steps.cend(); ++it)
        state.counters[(it.key() + QStringLiteral("_ms")).toStdString()] = it.value() / n;
    std::fprintf(
        stderr,
        "start-up, %s store: Tolmek %.1f ms, minimal window %.1f ms, %.2f× (medians of %d alternating starts)\n",
        state.range(0) ? "large" : "empty", median(apps), median(minimals), median(apps) / median(minimals), int(n));
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
    // Many starts of each, taking turns; a smoke run (TOLMEK_BENCH_SMOKE=1) goes through one of each.
    const int starts = qEnvironmentVariableIntValue("TOLMEK_BENCH_SMOKE") == 1 ? 1 : 30;
    benchmark::RegisterBenchmark("BM_StartupToFirstPaint", BM_StartupToFirstPaint)
        ->Arg(0)
        ->Arg(1)
        ->UseManualTime()
        ->Iterations(starts)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_watch.reset();
    g_x.reset();
    return 0;
}
