#include "app/AppDelegate.h"

#include "app/LazyUpdater.h"
#include "app/Logging.h"
#include "core/store/ModelContext.h"
#include "ui/DialogSeam.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

const QString AppDelegate::unsavedChangesText =
    QStringLiteral("Les dernières modifications n’ont pas pu être enregistrées.");

AppDelegate::AppDelegate(QObject* parent) : QObject(parent), m_updater(new LazyUpdater(this)) {}

namespace {

// The write end is all a signal handler may touch; the read end wakes the GUI thread.
int g_signalPipe[2] = {-1, -1};
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

AppDelegate::~AppDelegate() {
    if (!m_signalNotifier)
        return;
    for (int sig : kQuitSignals)
        ::signal(sig, SIG_DFL);
}

void AppDelegate::quitOnTerminationRequests(QObject* window, std::function<void()> quit, std::function<void()> save) {
    if (m_quitContext)
        disconnect(m_quitContext, &QObject::destroyed, this, nullptr);
    m_quit = std::move(quit);
    m_save = std::move(save);
    m_quitContext = window;
    if (window)
        connect(window, &QObject::destroyed, this, &AppDelegate::disarm);
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcApp, "Cannot watch for termination signals: %s", strerror(errno));
        return;
    }
    if (!m_signalNotifier) {
        m_signalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
        connect(m_signalNotifier, &QSocketNotifier::activated, this, [this] {
            char buffer[16];
            while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {}
            onTerminationRequest();
        });
        struct sigaction action = {};
        action.sa_handler = onQuitSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int sig : kQuitSignals)
            ::sigaction(sig, &action, nullptr);
#ifndef QT_NO_SESSIONMANAGER
        if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            connect(app, &QGuiApplication::commitDataRequest, this, &AppDelegate::onSessionSaveRequest);
#endif
    }
    // A request that came while nothing was armed reached no window; it is not replayed on this one.
    char stale[16];
    while (::read(g_signalPipe[0], stale, sizeof stale) > 0) {}
    m_signalNotifier->setEnabled(window != nullptr);
}

void AppDelegate::disarm() {
    m_quit = nullptr;
    m_save = nullptr;
    if (m_signalNotifier)
        m_signalNotifier->setEnabled(false);
}

void AppDelegate::onSessionSaveRequest() {
    // Saving only: the application must not end here, whether or not a logout follows.
    if (m_save && m_quitContext)
        m_save();
}

void AppDelegate::onTerminationRequest() {
    // Disarmed (the window is gone): the run is ending on its own.
    if (!m_quit || !m_quitContext)
        return;
    if (++m_terminationRequests > 1) {
        qCWarning(lcApp, "Asked again to end: quitting without saving the pending changes");
        QCoreApplication::exit(1);
        return;
    }
    m_quit();
}

void AppDelegate::applicationDidFinishLaunching() {
    // `this` as context: the check is dropped if the delegate is destroyed first.
    QTimer::singleShot(backgroundCheckDelayMs, Qt::PreciseTimer, this,
                       [this] { m_updater->checkForUpdatesInBackground(); });
}

bool AppDelegate::saveBeforeExit(ModelContext& context, QWidget* parent) {
    QString error;
    if (context.save(&error))
        return true;
    qCWarning(lcApp, "Last save before exit failed: %s", qPrintable(error));
    // Without a display nobody could answer the box; the log above is all we can do.
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
    if (headless && !DialogSeam::isNonInteractive())
        return false;
    DialogSeam::Message m;
    m.icon = QMessageBox::Critical;
    m.text = unsavedChangesText;
    m.informativeText = error;
    DialogSeam::exec(parent, m);
    return false;
}
