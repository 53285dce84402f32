#include "app/SingleInstance.h"

#include "app/Logging.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QWidget>

const QString SingleInstance::alreadyOpenText = QStringLiteral("Tolmek est déjà ouvert.");

namespace {
const QString kObjectPath = QStringLiteral("/app/tolmek/Tolmek");
const QString kInterface = QStringLiteral("app.tolmek.Tolmek");
} // namespace

SingleInstance::SingleInstance(const QString& storePath, QObject* parent)
    : QObject(parent), m_storePath(QFileInfo(storePath).absoluteFilePath()) {}

SingleInstance::~SingleInstance() {
    if (m_registered) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(kObjectPath);
        bus.unregisterService(serviceName(m_storePath));
    }
}

QString SingleInstance::serviceName(const QString& storePath) {
    // One name per store, so that two stores (two data folders) can each have their window.
    const QByteArray path = QFile::encodeName(QFileInfo(storePath).absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex().left(16);
    return kInterface + QStringLiteral(".s") + QString::fromLatin1(hash);
}

bool SingleInstance::acquire() {
    QDir().mkpath(QFileInfo(m_storePath).absolutePath());
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Held for the whole run: never stale by age, only when its process is gone.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError)
        return false;
    qCWarning(lcApp, "cannot make the single-instance lock file %s; starting without it", qPrintable(lockPath()));
    return true;
}

void SingleInstance::listen(QWidget* window) {
    m_window = window;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || m_registered)
        return;
    if (!bus.registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots))
        return;
    if (!bus.registerService(serviceName(m_storePath))) {
        bus.unregisterObject(kObjectPath);
        return;
    }
    m_registered = true;
}

bool SingleInstance::activateRunning(int waitMs) const {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QString service = serviceName(m_storePath);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, kObjectPath, kInterface, QStringLiteral("activate"));
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        // Only a process still starting is waited for: its name is not on the bus yet.
        if (reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            waited.elapsed() >= waitMs)
            return false;
        QThread::msleep(100);
    }
}

void SingleInstance::activate() {
    if (QWidget* w = m_window) {
        w->setWindowState((w->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        w->show();
        w->raise();
        w->activateWindow();
    }
    emit activated();
}
