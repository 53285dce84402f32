#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "prefs/Preferences.h"

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

} // namespace testsupport
