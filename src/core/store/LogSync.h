#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Makes the write-ahead log durable off the GUI thread. Saves write the log without waiting for the disk
// (synchronous=NORMAL): a crash of the program loses nothing, the writes being in the system's cache. This
// syncs the log through its own file handle, on its own thread, at most once per interval after a save,
// so a power loss or a system crash takes at most the saves of about the last interval.
class LogSync {
public:
    explicit LogSync(QString walPath, std::chrono::milliseconds interval = std::chrono::seconds(1));
    // Syncs what is still pending, then stops.
    ~LogSync();
    LogSync(const LogSync&) = delete;
    LogSync& operator=(const LogSync&) = delete;

    // After each committed save; returns at once.
    void logChanged();
    // Returns once every change reported before the call is on the disk.
    void flush();
    // How many times the log was synced (tests).
    int syncCount() const;

private:
    void run();
    void syncFile();

    const QString m_path;
    const std::chrono::milliseconds m_interval;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    quint64 m_changes = 0;   // changes reported
    quint64 m_synced = 0;    // changes on the disk
    bool m_hurry = false;    // a flush waits: no interval
    bool m_stop = false;
    int m_syncs = 0;
    // Worker only: the log's handle and which file it is (the log can be removed and made anew).
    int m_fd = -1;
    unsigned long m_dev = 0, m_ino = 0;
    std::thread m_thread;
};
