#include "app/TolmekApp.h"

#include "app/AppDelegate.h"
#include "app/AppShellView.h"
#include "app/Logging.h"
#include "app/SingleInstance.h"
#include "ui/AppStyle.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "core/model/SwiftDataContainer.h"
#include "core/store/ModelContext.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/MaskCache.h"
#include "ui/Symbols.h"
#include "app/LazyUpdater.h"
#include "cardsheet/AttachmentJobs.h"
#include "dashboard/DashboardData.h"
#include "dashboard/DashboardView.h"
#include "editor/DocEditorView.h"
#include "richtext/SpellChecker.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QLocale>

#include <QMenuBar>
#include <QAbstractEventDispatcher>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <functional>
#include <future>
#include <thread>
#include <utility>

#ifndef TOLMEK_VERSION
#define TOLMEK_VERSION "0.0.0"
#endif

MainWindow::MainWindow(LazyUpdater* updater, const Services& services,
                       std::unique_ptr<DashboardData> dashboardReadAhead, QWidget* parent)
    : QMainWindow(parent), m_services(services) {
    setWindowTitle(QStringLiteral("Tolmek"));
    m_shell = new AppShellView(services, std::move(dashboardReadAhead), this);
    setCentralWidget(m_shell);
    QMenu* menu = menuBar()->addMenu(QStringLiteral("Tolmek"));
    // Never disabled: the command works from the first instant, also before the background check.
    m_checkForUpdates = menu->addAction(QStringLiteral("Vérifier les mises à jour…"));
    connect(m_checkForUpdates, &QAction::triggered, updater, &LazyUpdater::checkForUpdates);
    setMinimumSize(AppShellView::minimumWindowSize);
    resize(defaultWidth, defaultHeight);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window stays; the shell ends the application once the last save went through.
    event->ignore();
    quitWithoutAsking();
}

void MainWindow::quitWithoutAsking() { m_shell->quitWhenSaved(); }

bool MainWindow::saveEverything() {
    // What the editors hold but have not written yet (a large text's paced write, the quick note's format).
    for (ImprovedDocEditorView* editor : findChildren<ImprovedDocEditorView*>())
        editor->saveEverything();
    for (DashboardView* dashboard : findChildren<DashboardView*>())
        dashboard->flushQuickNote();
    QString error;
    const bool saved = m_services.context.save(&error);
    if (!saved)
        qCWarning(lcApp, "Saving for the session failed: %s", qPrintable(error));
    const bool written = m_services.prefs.flush();
    return saved && written;
}

void installFrenchLocale(QApplication& app) {
    const QLocale french(QLocale::French, QLocale::France);
    QLocale::setDefault(french);
    auto* translator = new QTranslator(&app);
    if (translator->load(french, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}

namespace {

// Runs `then` once, just after the watched widget painted its first frame.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWidget* watched, std::function<void()> then) : m_then(std::move(then)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_then) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, std::exchange(m_then, {}));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_then;
};

// TOLMEK_STARTUP_TRACE=1: writes on standard error how long each step of the start took, as
// "startup: <step> <ms>" lines (read by bench_startup to show where the time goes).
class StartupTrace {
public:
    StartupTrace() : m_on(qEnvironmentVariableIntValue("TOLMEK_STARTUP_TRACE") == 1) { m_timer.start(); }
    void step(const char* name) {
        if (!m_on)
            return;
        const qint64 now = m_timer.nsecsElapsed();
        std::fprintf(stderr, "startup: %s %.2f\n", name, double(now - m_last) / 1e6);
        m_last = now;
    }

private:
    bool m_on;
    QElapsedTimer m_timer;
    qint64 m_last = 0;
};

bool hasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

int tolmekMain(int argc, char** argv) {
    StartupTrace trace;
    // Reading the system's fonts is a large part of the start: fontconfig's configuration is read beside
    // the application's set-up, Qt's list of fonts beside the store's first reads, and nothing touches
    // fonts until both are done.
    std::promise<void> applicationMade;
    std::thread fontsThread([made = applicationMade.get_future()] {
        Fonts::loadSystemConfiguration();
        made.wait();
        Fonts::readFamilies();
    });
    auto fontsRead = [&fontsThread] {
        if (fontsThread.joinable())
            fontsThread.join();
    };
    QApplication app(argc, argv);
    applicationMade.set_value();
    // The theme asks the desktop's settings over the session bus before the first frame; joining the bus
    // waits for the bus daemon's answers, so it is joined meanwhile (headless, nothing asks).
    std::jthread busThread;
    if (hasDisplay())
        busThread = std::jthread([] { QDBusConnection::sessionBus(); });
    QCoreApplication::setApplicationName(QStringLiteral("Tolmek"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tolmek"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLMEK_VERSION));
    installFrenchLocale(app);
    trace.step("application");

    // The delegate first (it holds the update check), then the store; a store that cannot be opened
    // stops the process here.
    AppDelegate delegate;
    // One process per store: a second launch brings the first window forward and ends, before it could
    // open (or, on a first run, create) the store beside the first.
    SingleInstance instance(defaultStorePath());
    setFatalErrorPresenter([&fontsRead, &busThread, &instance](const QString& message) {
        // A store this process refuses keeps nothing of it beside the store.
        instance.release();
        fontsRead();
        // The process ends from here: no thread may still be joining the bus as it does.
        if (busThread.joinable())
            busThread.join();
        // Only where a person can see and dismiss it; headless runs have the message on standard error.
        if (!hasDisplay())
            return;
        DialogSeam::Message m;
        m.icon = QMessageBox::Critical;
        m.text = message;
        DialogSeam::exec(nullptr, m);
    });
    if (!instance.acquire()) {
        const bool raised = instance.activateRunning();
        // The holder may have ended meanwhile; then this process is the one to run.
        if (!instance.acquire()) {
            fontsRead();
            if (!raised) {
                std::fprintf(stderr, "%s\n", SingleInstance::alreadyOpenText.toLocal8Bit().constData());
                if (hasDisplay()) {
                    DialogSeam::Message m;
                    m.icon = QMessageBox::Information;
                    m.text = SingleInstance::alreadyOpenText;
                    DialogSeam::exec(nullptr, m);
                }
            }
            return 0;
        }
    }
    trace.step("instance");
    auto container = makeModelContainer();
    trace.step("store");
    // The first screen's data, while the fonts are still being read; the first dashboard takes it over.
    auto dashboardReadAhead = std::make_unique<DashboardData>(container->mainContext());
    trace.step("dashboard-data");

    fontsRead();
    TolmekStyle::installOnApplication();
    trace.step("fonts");

    int rc = 0;
    {
        // The long-lived objects, created here once for the whole run; the shell and the screens
        // receive them from the router. The theme manager is the process's one appearance (the
        // palette reads it when painting).
        Preferences& prefs = Preferences::shared();
        // Reading the profile writes it back in our encoding; the theme is written back too, an unknown
        // value becoming "system". Both leave the file as it is when it already holds their written form,
        // and the writes happen on the preferences' own thread.
        UserPreferencesStore profile(prefs);
        if (busThread.joinable())
            busThread.join();
        ThemeManager& theme = ThemeManager::shared();
        theme.setTheme(theme.theme());
        SpellDictionary spelling;
        AttachmentImports attachments;
        ThumbnailCache thumbnails;
        Services services{container->mainContext(), prefs, theme, profile, spelling, attachments, thumbnails};
        // The palette first, so the window's widgets are made with it rather than all told of a change.
        applyAppearance();
        MainWindow window(delegate.updater(), services, std::move(dashboardReadAhead));
        delegate.updater()->setDialogParent(&window);
        // Logout, shutdown or `kill`: the same end as the person's own quit.
        delegate.quitOnTerminationRequests(
            &window, [&window] { window.quitWithoutAsking(); }, [&window] { window.saveEverything(); });
        // Once the window is on screen: the whole-file check of the store, on a worker thread (too slow to
        // wait for before the first frame, or on the window's thread, on a large store; a problem found
        // stops every further save and the window says so). For start-up measurements, the run ends there instead.
        ModelContext& context = services.context;
        trace.step("window");
        AfterFirstPaint afterFirstPaint(window.shell(), [&context, &trace, &instance, &window, &spelling] {
            trace.step("first-paint");
            // What the first frame drew, for the next start.
            MaskCache::save();
            if (qEnvironmentVariableIntValue("TOLMEK_EXIT_AFTER_FIRST_PAINT") == 1) {
                QCoreApplication::exit(0);
                return;
            }
            // Later launches on this store now bring this window forward.
            instance.listen(&window);
            // The first screen read only what it shows; the rest of the tables now, so that the other
            // screens open at once (a read that fails stops saving, as the check below does).
            context.loadTables();
            context.startQuickCheck();
            // The dictionary, once the window has nothing else to do: loading it when a text is first
            // edited would make that first « Éditer » wait on it.
            if (QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance())
                QObject::connect(
                    loop, &QAbstractEventDispatcher::aboutToBlock, &spelling, [&spelling] { spelling.ensureLoading(); },
                    Qt::SingleShotConnection);
        });
        window.show();
        trace.step("show");
        QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
        rc = app.exec();
        // A person who chose to quit without saving has been told (exit code 1); any other end of the
        // loop still writes what is pending, and says so when it cannot.
        if (rc == 0 && !AppDelegate::saveBeforeExit(services.context, &window))
            rc = 1;
        // The preferences' last writes, also when the store's failed; said when they cannot be written.
        if (!prefs.flush() && rc == 0 && hasDisplay()) {
            DialogSeam::Message m;
            m.icon = QMessageBox::Critical;
            m.text = AppDelegate::unsavedChangesText;
            m.informativeText = prefs.writeError();
            DialogSeam::exec(&window, m);
            rc = 1;
        }
    }
    container.reset();
    trace.step("close");
    return rc;
}
