#include "app/SingleInstance.h"

#include "app/Logging.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QSysInfo>
#include <QWidget>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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
    release();
}

QString SingleInstance::serviceName(const QString& storePath) {
    // One name per store, so that two stores (two data folders) can each have their window.
    const QByteArray path = QFile::encodeName(QFileInfo(storePath).absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex().left(16);
    return kInterface + QStringLiteral(".s") + QString::fromLatin1(hash);
}

namespace {
bool sameFile(int fd, const QByteArray& path) {
    struct stat held = {}, named = {};
    return ::fstat(fd, &held) == 0 && ::lstat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino;
}
} // namespace

SingleInstance::Take SingleInstance::tryTake() {
    const QByteArray path = QFile::encodeName(lockPath());
    bool folder = false;
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        const int err = errno;
        if (err == EISDIR) {
            // A folder of that name: not ours to remove, but it can carry the lock as well as a file.
            fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            folder = true;
        } else if (err == EACCES || err == EPERM) {
            // A file we may not open (its mode changed): a lock is only ever held on a file we could open,
            // so it can be given back its mode, or replaced when it is not ours.
            if (::chmod(path.constData(), 0644) == 0 || ::unlink(path.constData()) == 0)
                return Take::retry;
        } else if (err == ELOOP || err == ENXIO) {
            // A link or a socket of that name: never locked by us, replaced by a file.
            if (::unlink(path.constData()) == 0)
                return Take::retry;
        }
        if (fd < 0) {
            qCWarning(lcApp, "cannot open the single-instance lock %s: %s", path.constData(), strerror(err));
            return Take::failed;
        }
    }
    struct stat st = {};
    if (!folder && ::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
        // A pipe or a device of that name: nothing we ever locked.
        ::close(fd);
        return ::unlink(path.constData()) == 0 ? Take::retry : Take::failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return Take::busy;
        qCWarning(lcApp, "cannot take the single-instance lock %s: %s", path.constData(), strerror(err));
        return Take::failed;
    }
    // The holder before us removes the file as it lets go: a lock on a file no longer under that name
    // guards nothing.
    if (!sameFile(fd, path)) {
        ::close(fd);
        return Take::retry;
    }
    if (!folder) {
        // Who holds it, for a person who looks; never read back.
        const QByteArray who =
            QByteArray::number(qint64(::getpid())) + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
        if (::ftruncate(fd, 0) == 0) {
            [[maybe_unused]] const ssize_t n = ::pwrite(fd, who.constData(), size_t(who.size()), 0);
        }
    }
    m_fd = fd;
    m_isFolder = folder;
    return Take::held;
}

SingleInstance::Take SingleInstance::takeFolder() {
    if (m_folderFd >= 0)
        return Take::held;
    const QByteArray folder = QFile::encodeName(QFileInfo(m_storePath).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        qCWarning(lcApp, "cannot open the store's folder %s for its lock: %s", folder.constData(), strerror(errno));
        return Take::failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return Take::busy;
        qCWarning(lcApp, "cannot lock the store's folder %s: %s", folder.constData(), strerror(err));
        return Take::failed;
    }
    m_folderFd = fd;
    return Take::held;
}

bool SingleInstance::acquire() {
    if (m_fd >= 0)
        return true;
    QDir().mkpath(QFileInfo(m_storePath).absolutePath());
    // The folder first: its lock stays when the lock file is removed or replaced under a running process, so a
    // later launch cannot make a new file of that name and lock it. The file is kept for a folder that cannot
    // be locked (a network mount) and for a person who looks.
    if (takeFolder() == Take::busy)
        return false;
    for (int attempt = 0; attempt < 8; ++attempt) {
        switch (tryTake()) {
        case Take::held: return true;
        case Take::busy: release(); return false;
        case Take::failed: qCWarning(lcApp, "starting without the lock %s", qPrintable(lockPath())); return true;
        case Take::retry: break;
        }
    }
    qCWarning(lcApp, "the single-instance lock %s keeps changing; starting without it", qPrintable(lockPath()));
    return true;
}

void SingleInstance::release() {
    if (m_fd >= 0) {
        // Removed while still locked, so that a launch that opened it meanwhile sees it gone and takes a new one.
        const QByteArray path = QFile::encodeName(lockPath());
        if (!m_isFolder && sameFile(m_fd, path))
            ::unlink(path.constData());
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_folderFd >= 0) {
        ::close(m_folderFd);
        m_folderFd = -1;
    }
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
        QDBusMessage call =
            QDBusMessage::createMethodCall(service, kObjectPath, kInterface, QStringLiteral("activate"));
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
