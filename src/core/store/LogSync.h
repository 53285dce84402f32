#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Makes the write-ahead log durable off the GUI thread. Saves write the log without waiting for the disk
// (synchronous=NORMAL): a crash of the program loses nothing, the writes being in the system's cache. This
// syncs the log through its own file handle, on its own thread, at most once per interval after a save,
// so a power loss or a system crash takes at most the saves of about the last interval. A sync that fails
// counts nothing as on the disk: it is said (`syncFailed`, from the sync's thread) and tried again.
class LogSync : public QObject {
    Q_OBJECT
public:
    explicit LogSync(QString walPath, std::chrono::milliseconds interval = std::chrono::seconds(1));
    // Syncs what is still pending (one try), then stops.
    ~LogSync() override;
    LogSync(const LogSync&) = delete;
    LogSync& operator=(const LogSync&) = delete;

    // After each committed save; returns at once.
    void logChanged();
    // Returns once every change reported before the call is on the disk (true), or a sync failed (false).
    bool flush();
    // How many times the log was synced (tests).
    int syncCount() const;
    // Whether every change reported is on the disk.
    bool isSynced() const;
    // Makes each sync fail with this errno while it is not 0 (tests).
    void failSyncsForTesting(int error) { m_failWith = error; }

signals:
    // The first failure of a streak, with the reason in French.
    void syncFailed(const QString& reason);
    // A sync went through after failures.
    void syncRecovered();

private:
    void run();
    // Empty when the log is on the disk, else why not.
    QString syncFile();

    const QString m_path;
    const std::chrono::milliseconds m_interval;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    quint64 m_changes = 0; // changes reported
    quint64 m_synced = 0; // changes on the disk
    quint64 m_failures = 0;
    bool m_failing = false;
    bool m_hurry = false; // a flush waits: no interval
    bool m_stop = false;
    int m_syncs = 0;
    std::atomic<int> m_failWith{0};
    // Worker only: the log's handle and which file it is (the log can be removed and made anew).
    int m_fd = -1;
    unsigned long m_dev = 0, m_ino = 0;
    std::thread m_thread;
};
