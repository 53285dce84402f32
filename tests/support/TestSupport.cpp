#include "support/TestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QWidget>

#include <QElapsedTimer>
#include <QThread>

#include "core/store/LogSync.h"
#include "prefs/Preferences.h"
#include "ui/Palette.h"

#include <atomic>
#include <cerrno>

#include <unistd.h>

namespace testsupport {

namespace {
QTemporaryDir* g_root = nullptr;
}

void Environment::SetUp() {
    g_root = new QTemporaryDir;
    qputenv("XDG_DATA_HOME", (g_root->path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (g_root->path() + "/config").toUtf8());
    Preferences::setShared(new Preferences(g_root->path() + "/prefs.conf"));
}

void Environment::TearDown() {
    delete &Preferences::shared();
    delete g_root;
    g_root = nullptr;
}

ScopedPreferences::ScopedPreferences()
    : m_prefs(std::make_unique<Preferences>(m_dir.path() + "/prefs.conf")), m_previous(&Preferences::shared()) {
    Preferences::setShared(m_prefs.get());
}

ScopedPreferences::~ScopedPreferences() { Preferences::setShared(m_previous); }

bool waitFor(const std::function<bool()>& pred, int ms) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

namespace {
std::atomic<int> g_syncError{0};
int failingDataSync(int fd) {
    const int rc = ::fdatasync(fd);
    if (const int error = g_syncError.load()) {
        errno = error;
        return -1;
    }
    return rc;
}
} // namespace

void failLogSyncs(int error) {
    g_syncError = error;
    LogSync::setDataSyncForTesting(error ? &failingDataSync : nullptr);
}

FocusContrast focusRingContrast(QWidget* control, QWidget* frame) {
    QWidget* window = control->window();
    window->show();
    window->activateWindow();
    (void)QTest::qWaitForWindowActive(window);
    window->setAttribute(Qt::WA_KeyboardFocusChange);
    control->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    const QImage shot = window->grab().toImage();
    if (!frame)
        frame = control;
    const QPoint edge = frame->mapTo(window, QPoint(0, frame->height() / 2));
    auto at = [&](int dx) { return shot.pixelColor(edge.x() + dx, edge.y()); };
    return {Contrast::ratio(at(1), at(-1)), Contrast::ratio(at(1), at(2))};
}

} // namespace testsupport
