#include "core/store/LogSync.h"

#include "core/store/Logging.h"
#include "core/store/SqliteDb.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::atomic<int (*)(int)> g_dataSync{&::fdatasync};

QString failure(const char* what, int error) {
    return QStringLiteral("le journal des enregistrements n’a pas pu être écrit sur le disque (%1 : %2)")
        .arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(error)));
}

QString foldFailure(const QString& why) {
    return QStringLiteral("le journal des enregistrements n’a pas pu être reporté dans le fichier de données (%1)")
        .arg(why);
}
} // namespace

LogSync::LogSync(QString walPath, std::chrono::milliseconds interval, QString storePath, int foldPages)
    : m_path(std::move(walPath)),
      m_interval(interval),
      m_storePath(std::move(storePath)),
      m_foldPages(foldPages),
      m_thread([this] { run(); }) {}

LogSync::~LogSync() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_fd >= 0)
        ::close(m_fd);
    // The connection may outlive us: it folds by itself again.
    if (m_writer)
        sqlite3_wal_autocheckpoint(m_writer, 1000); // SQLite's default
}

void LogSync::setDataSyncForTesting(int (*call)(int fd)) { g_dataSync = call ? call : &::fdatasync; }

void LogSync::watch(sqlite3* writer, int fallbackPages) {
    m_writer = writer;
    m_fallbackPages = fallbackPages;
    // Replaces the connection's own folding, which is done through this same hook.
    sqlite3_wal_hook(writer, &LogSync::onCommit, this);
}

int LogSync::onCommit(void* self, sqlite3* db, const char* name, int pages) {
    auto* sync = static_cast<LogSync*>(self);
    sync->m_logPages.store(pages, std::memory_order_relaxed);
    // Folds here are held back (a long read, a failing disk): fold now rather than let the log grow for ever.
    if (pages >= sync->m_fallbackPages)
        sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return SQLITE_OK;
}

bool LogSync::logGrewFast() const {
    if (m_storePath.isEmpty())
        return false;
    const int pages = m_logPages.load(), tried = m_foldTriedAt.load();
    // Since the last fold: the log started again, or a fold held back by a reader left it long.
    return pages >= 4 * m_foldPages && (pages < tried || pages >= tried + 4 * m_foldPages);
}

int LogSync::foldCount() const {
    std::lock_guard lock(m_mutex);
    return m_folds;
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
        // A log growing fast (a long block typed without pause) is folded without waiting out the interval,
        // so that it stays far below the size where the saving connection folds.
        m_wake.wait_until(lock, last + m_interval, [&] { return m_stop || m_hurry || logGrewFast(); });
        const quint64 upTo = m_changes;
        m_hurry = false;
        const bool quitting = m_stop;
        lock.unlock();
        const QString error = syncFile();
        // Folded after the sync, so that a fold never waits on a log the disk has not taken yet. After a failed
        // sync, the whole log is folded: the store's sync then covers what the failed one may have lost.
        const bool refolding = m_refold;
        const bool folding = error.isEmpty() && !quitting && !m_storePath.isEmpty() &&
            (refolding || m_logPages.load(std::memory_order_relaxed) >= m_foldPages);
        bool complete = false;
        const QString foldError = folding ? fold(&complete) : QString();
        lock.lock();
        last = clock::now();
        const bool wasFailing = m_failing || m_foldFailing;
        if (error.isEmpty() && (!refolding || complete)) {
            m_synced = upTo;
            ++m_syncs;
            m_failing = false;
            m_refold = false;
        } else {
            // Still failing (said once per streak); a flush waiting is told.
            ++m_failures;
            m_failing = true;
            m_refold = !m_storePath.isEmpty();
        }
        if (folding)
            m_foldFailing = !foldError.isEmpty();
        const bool failing = m_failing || m_foldFailing;
        const bool recovered = wasFailing && !failing, failed = !wasFailing && failing;
        const QString reason = error.isEmpty() ? foldError : error;
        m_wake.notify_all();
        const bool stopping = m_stop;
        if (recovered || !reason.isEmpty()) {
            // Said outside the lock: a receiver on this thread may ask about the state.
            lock.unlock();
            if (!reason.isEmpty())
                qCWarning(lcStore, "%s", qPrintable(reason));
            if (recovered)
                emit syncRecovered();
            if (failed)
                emit syncFailed(reason);
            lock.lock();
        }
        if (stopping && m_synced < upTo)
            return; // the last try failed too: said above
    }
}

QString LogSync::fold(bool* complete) {
    QString error;
    if (!m_folder) {
        m_folder = SqliteDb::open(m_storePath, SqliteDb::Mode::ReadWrite, &error);
        if (!m_folder)
            return foldFailure(error);
        // Never folds nor removes the log on its own: the saving connection may be working on it.
        sqlite3_db_config(m_folder->handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        // A connection finds the log when it first reads the file; folding before that does nothing.
        const auto mode = m_folder->queryText("PRAGMA journal_mode", &error);
        if (!mode || mode->compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
            m_folder.reset();
            return foldFailure(mode ? *mode : error);
        }
    }
    int logPages = 0, folded = 0;
    const int injected = m_failFoldWith.load();
    // Passive: the saves go on while it copies; what a reader still needs is folded next time.
    const int rc = injected
        ? injected
        : sqlite3_wal_checkpoint_v2(m_folder->handle(), "main", SQLITE_CHECKPOINT_PASSIVE, &logPages, &folded);
    m_foldTriedAt = logPages;
    if (rc == SQLITE_BUSY)
        return {}; // another fold runs
    if (rc != SQLITE_OK) {
        const QString why =
            injected ? SqliteDb::reasonText(rc, QString::fromUtf8(sqlite3_errstr(rc))) : m_folder->lastError();
        m_folder.reset(); // opened anew at the next try
        return foldFailure(why);
    }
    if (logPages >= 0 && folded == logPages) {
        if (complete)
            *complete = true;
        std::lock_guard lock(m_mutex);
        ++m_folds;
    }
    return {};
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
    if (g_dataSync.load()(m_fd) != 0)
        return failure("fdatasync", errno);
    return {};
}
