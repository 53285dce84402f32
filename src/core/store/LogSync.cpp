#include "core/store/LogSync.h"

#include "core/store/Logging.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString failure(const char* what, int error) {
    return QStringLiteral("le journal des enregistrements n’a pas pu être écrit sur le disque (%1 : %2)")
        .arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(error)));
}
} // namespace

LogSync::LogSync(QString walPath, std::chrono::milliseconds interval)
    : m_path(std::move(walPath)), m_interval(interval), m_thread([this] { run(); }) {}

LogSync::~LogSync() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_fd >= 0)
        ::close(m_fd);
}

void LogSync::logChanged() {
    {
        std::lock_guard lock(m_mutex);
        ++m_changes;
    }
    m_wake.notify_all();
}

bool LogSync::flush() {
    std::unique_lock lock(m_mutex);
    const quint64 target = m_changes;
    const quint64 failures = m_failures;
    if (m_synced >= target)
        return true;
    m_hurry = true;
    m_wake.notify_all();
    m_wake.wait(lock, [&] { return m_synced >= target || m_failures > failures; });
    return m_synced >= target;
}

int LogSync::syncCount() const {
    std::lock_guard lock(m_mutex);
    return m_syncs;
}

bool LogSync::isSynced() const {
    std::lock_guard lock(m_mutex);
    return m_synced >= m_changes;
}

void LogSync::run() {
    using clock = std::chrono::steady_clock;
    auto last = clock::now() - m_interval;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || m_changes > m_synced; });
        if (m_changes == m_synced)
            return; // stopping with nothing left
        // At most one sync per interval: the saves of a burst of typing share it (and a failing disk is
        // tried again once per interval).
        m_wake.wait_until(lock, last + m_interval, [&] { return m_stop || m_hurry; });
        const quint64 upTo = m_changes;
        m_hurry = false;
        lock.unlock();
        const QString error = syncFile();
        lock.lock();
        last = clock::now();
        bool recovered = false, failed = false;
        if (error.isEmpty()) {
            m_synced = upTo;
            ++m_syncs;
            recovered = std::exchange(m_failing, false);
        } else {
            ++m_failures;
            failed = !std::exchange(m_failing, true);
        }
        m_wake.notify_all();
        const bool stopping = m_stop;
        if (recovered || failed || !error.isEmpty()) {
            // Said outside the lock: a receiver on this thread may ask about the state.
            lock.unlock();
            if (!error.isEmpty())
                qCWarning(lcStore, "%s", qPrintable(error));
            if (recovered)
                emit syncRecovered();
            if (failed)
                emit syncFailed(error);
            lock.lock();
        }
        if (!error.isEmpty() && stopping)
            return; // the last try failed too: said above
    }
}

QString LogSync::syncFile() {
    const QByteArray path = QFile::encodeName(m_path);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT)
            return {}; // no log: the last connection folded it into the file, which that synced
        return failure("stat", errno);
    }
    if (m_fd < 0 || st.st_dev != m_dev || st.st_ino != m_ino) {
        if (m_fd >= 0) {
            ::close(m_fd); // read-only: nothing of ours is lost if its close fails
            m_fd = -1;
        }
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return errno == ENOENT ? QString() : failure("open", errno);
        struct stat opened {};
        if (::fstat(fd, &opened) != 0) {
            const int error = errno;
            ::close(fd);
            return failure("fstat", error);
        }
        // A new log's name must survive too.
        const int dir =
            ::open(QFile::encodeName(QFileInfo(m_path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) {
            const int error = errno;
            ::close(fd);
            return failure("open", error);
        }
        const int dirSynced = ::fsync(dir);
        const int dirError = errno;
        ::close(dir);
        if (dirSynced != 0) {
            ::close(fd);
            return failure("fsync", dirError);
        }
        m_fd = fd;
        m_dev = opened.st_dev;
        m_ino = opened.st_ino;
    }
    if (const int injected = m_failWith.load())
        return failure("fdatasync", injected);
    if (::fdatasync(m_fd) != 0)
        return failure("fdatasync", errno);
    return {};
}
