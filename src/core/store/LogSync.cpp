#include "core/store/LogSync.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

void LogSync::flush() {
    std::unique_lock lock(m_mutex);
    const quint64 target = m_changes;
    if (m_synced >= target)
        return;
    m_hurry = true;
    m_wake.notify_all();
    m_wake.wait(lock, [&] { return m_synced >= target; });
}

int LogSync::syncCount() const {
    std::lock_guard lock(m_mutex);
    return m_syncs;
}

void LogSync::run() {
    using clock = std::chrono::steady_clock;
    auto last = clock::now() - m_interval;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || m_changes > m_synced; });
        if (m_changes == m_synced)
            return;   // stopping with nothing left
        // At most one sync per interval: the saves of a burst of typing share it.
        m_wake.wait_until(lock, last + m_interval, [&] { return m_stop || m_hurry; });
        const quint64 upTo = m_changes;
        lock.unlock();
        syncFile();
        lock.lock();
        last = clock::now();
        m_synced = upTo;
        m_hurry = false;
        ++m_syncs;
        m_wake.notify_all();
    }
}

void LogSync::syncFile() {
    const QByteArray path = QFile::encodeName(m_path);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return;   // no log: the last connection folded it into the file, which that synced
    if (m_fd < 0 || st.st_dev != m_dev || st.st_ino != m_ino) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        struct stat opened {};
        ::fstat(m_fd, &opened);
        m_dev = opened.st_dev;
        m_ino = opened.st_ino;
        // A new log's name must survive too.
        const int dir = ::open(QFile::encodeName(QFileInfo(m_path).absolutePath()).constData(),
                               O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    ::fdatasync(m_fd);
}
