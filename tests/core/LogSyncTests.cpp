#include "core/store/LogSync.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

using namespace std::chrono_literals;

namespace {
// Waits up to two seconds for the sync count to reach `count`.
bool waitForSyncs(const LogSync& sync, int count) {
    QElapsedTimer t;
    t.start();
    while (sync.syncCount() < count && t.elapsed() < 2000)
        QThread::msleep(5);
    return sync.syncCount() >= count;
}
} // namespace

// The saves of a burst share a sync; each change is on the disk within about the interval without anyone
// asking, and at once when a flush asks.
TEST(LogSyncTest, SyncsEachChangeOnceAndAtMostOncePerInterval) {
    QTemporaryDir dir;
    const QString wal = dir.path() + "/s.store-wal";
    QFile f(wal);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("frames");
    f.close();

    LogSync sync(wal, 150ms);
    EXPECT_EQ(sync.syncCount(), 0) << "nothing changed, nothing synced";
    sync.logChanged();
    EXPECT_TRUE(waitForSyncs(sync, 1)) << "a change is synced without a flush";
    for (int i = 0; i < 50; ++i)
        sync.logChanged();
    sync.flush();
    EXPECT_EQ(sync.syncCount(), 2) << "a burst within the interval takes one sync";
    sync.flush();
    EXPECT_EQ(sync.syncCount(), 2) << "a flush with nothing new does not sync";

    // The log removed and made anew (the last connection closed, another opened): its new file is synced.
    QFile::remove(wal);
    sync.logChanged();
    sync.flush();
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("new frames");
    f.close();
    sync.logChanged();
    sync.flush();
    EXPECT_EQ(sync.syncCount(), 4);
}

// Closing the store syncs what is pending at once instead of waiting out the interval.
TEST(LogSyncTest, StoppingSyncsWhatIsPendingWithoutWaiting) {
    QTemporaryDir dir;
    QElapsedTimer t;
    {
        LogSync sync(dir.path() + "/none-wal", 10s);
        sync.logChanged();
        ASSERT_TRUE(waitForSyncs(sync, 1));
        sync.logChanged(); // within the interval: would wait ten seconds
        t.start();
    }
    EXPECT_LT(t.elapsed(), 2000);
}

// A sync that fails counts nothing as on the disk: it is said once per streak, a flush says it failed, the
// next try goes on, and stopping with a failing disk does not hang.
TEST(LogSyncTest, AFailedSyncIsReportedAndTriedAgain) {
    QTemporaryDir dir;
    const QString wal = dir.path() + "/s.store-wal";
    QFile f(wal);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("frames");
    f.close();
    // Said from the sync's thread, up to its last try when it stops.
    std::atomic<int> failed = 0, recovered = 0;
    QString reason;
    {
        LogSync sync(wal, 50ms);
        QObject::connect(&sync, &LogSync::syncFailed, [&](const QString& r) {
            reason = r;
            ++failed;
        });
        QObject::connect(&sync, &LogSync::syncRecovered, [&] { ++recovered; });
        sync.failSyncsForTesting(EIO);
        sync.logChanged();
        EXPECT_FALSE(sync.flush());
        EXPECT_FALSE(sync.isSynced());
        EXPECT_EQ(sync.syncCount(), 0);
        sync.logChanged();
        EXPECT_FALSE(sync.flush());
        ASSERT_EQ(failed, 1) << "one report per streak";
        EXPECT_TRUE(reason.contains("fdatasync"));
        sync.failSyncsForTesting(0);
        EXPECT_TRUE(waitForSyncs(sync, 1)) << "tried again without a new change";
        EXPECT_TRUE(sync.isSynced());
        QElapsedTimer t;
        t.start();
        while (recovered == 0 && t.elapsed() < 2000)
            QThread::msleep(5);
        EXPECT_EQ(recovered, 1);
        sync.failSyncsForTesting(EIO);
        sync.logChanged();
    }
    EXPECT_EQ(failed, 2) << "the last try, failed, is said too";
}
