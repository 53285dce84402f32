#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class SqliteDb;
struct sqlite3;

// Makes the write-ahead log durable off the GUI thread. Saves write the log without waiting for the disk
// (synchronous=NORMAL): a crash of the program loses nothing, the writes being in the system's cache. This
// syncs the log through its own file handle, on its own thread, at most once per interval after a save,
// so a power loss or a system crash takes at most the saves of about the last interval. A sync that fails
// counts nothing as on the disk: it is said (`syncFailed`, from the sync's thread) and tried again. A later
// sync that goes through is not enough: the system reports a write-back error once, and the pages it covered
// may be lost. Every change since the last good sync counts as on the disk only once the whole log has been
// folded into the store, which syncs it (without a store, the next good sync is all there is).
// Given the store's path, it also folds the log into the store here, through its own connection, once the
// log holds `foldPages` pages: a fold syncs the log and the store, which took the GUI thread tens of
// milliseconds when SQLite folded on the saving connection.
class LogSync : public QObject {
    Q_OBJECT
public:
    explicit LogSync(QString walPath, std::chrono::milliseconds interval = std::chrono::seconds(1),
                     QString storePath = {}, int foldPages = 1000);
    // Syncs what is still pending (one try), then stops.
    ~LogSync() override;
    LogSync(const LogSync&) = delete;
    LogSync& operator=(const LogSync&) = delete;

    // After each committed save; returns at once.
    void logChanged();
    // Takes the folds over from the saving connection (on its thread, before any save): it then only reports
    // the log's length after each commit, and folds by itself only past `fallbackPages`, so that the log
    // cannot grow without end if folds here keep being held back. Undone when this is destroyed.
    void watch(sqlite3* writer, int fallbackPages = 16000);
    // How many folds went through to the end of the log (tests).
    int foldCount() const;
    // Returns once every change reported before the call is on the disk (true), or a sync failed (false).
    bool flush();
    // How many times the log was synced (tests).
    int syncCount() const;
    // Whether every change reported is on the disk.
    bool isSynced() const;
    // Test seam: the call that syncs the log's data, in place of fdatasync (nullptr puts fdatasync back).
    static void setDataSyncForTesting(int (*call)(int fd));
    // Makes each fold fail with this SQLite result code while it is not 0 (tests).
    void failFoldsForTesting(int code) { m_failFoldWith = code; }

signals:
    // The first failure of a streak (of syncs or folds), with the reason in French.
    void syncFailed(const QString& reason);
    // Syncs and folds go through again after failures.
    void syncRecovered();

private:
    void run();
    // Empty when the log is on the disk, else why not.
    QString syncFile();
    // Empty when the fold went through or could not start (another one runs), else why it failed.
    // `complete`: the whole log is in the store, synced.
    QString fold(bool* complete = nullptr);
    static int onCommit(void* self, sqlite3* db, const char* name, int pages);
    bool logGrewFast() const;

    const QString m_path;
    const std::chrono::milliseconds m_interval;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    quint64 m_changes = 0; // changes reported
    quint64 m_synced = 0; // changes on the disk
    quint64 m_failures = 0;
    bool m_failing = false; // syncs
    bool m_foldFailing = false;
    int m_folds = 0;
    bool m_hurry = false; // a flush waits: no interval
    bool m_stop = false;
    int m_syncs = 0;
    std::atomic<int> m_failFoldWith{0};
    const QString m_storePath;
    const int m_foldPages;
    std::atomic<int> m_logPages{0}; // the log's length after the last commit
    std::atomic<int> m_foldTriedAt{0}; // the log's length at the last fold
    sqlite3* m_writer = nullptr;
    int m_fallbackPages = 0;
    // Worker only: the log's handle and which file it is (the log can be removed and made anew).
    int m_fd = -1;
    bool m_refold = false; // a sync failed: the log must be folded into the store before anything counts as synced
    unsigned long m_dev = 0, m_ino = 0;
    std::unique_ptr<SqliteDb> m_folder;
    std::thread m_thread;
};
