#include "StoreFixture.h"
#include "support/TestSupport.h"

#include "core/store/LogSync.h"
#include "core/store/SqliteDb.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

#include <sqlite3.h>

using namespace std::chrono_literals;

namespace {
// A new store at `path` in write-ahead mode, as the application opens it, with one table t(x `type`).
std::unique_ptr<SqliteDb> walStore(const QString& path, const char* type) {
    QString err;
    auto db = SqliteDb::open(path, SqliteDb::Mode::Create, &err);
    EXPECT_TRUE(db) << err.toStdString();
    if (!db || !db->queryText("PRAGMA journal_mode=WAL") || !db->exec("PRAGMA synchronous=NORMAL") ||
        !db->exec(QByteArray("CREATE TABLE t(x ") + type + ")"))
        return nullptr;
    return db;
}

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
        testsupport::failLogSyncs(EIO);
        sync.logChanged();
        EXPECT_FALSE(sync.flush());
        EXPECT_FALSE(sync.isSynced());
        EXPECT_EQ(sync.syncCount(), 0);
        sync.logChanged();
        EXPECT_FALSE(sync.flush());
        ASSERT_EQ(failed, 1) << "one report per streak";
        EXPECT_TRUE(reason.contains("fdatasync"));
        testsupport::failLogSyncs(0);
        EXPECT_TRUE(waitForSyncs(sync, 1)) << "tried again without a new change";
        EXPECT_TRUE(sync.isSynced());
        QElapsedTimer t;
        t.start();
        while (recovered == 0 && t.elapsed() < 2000)
            QThread::msleep(5);
        EXPECT_EQ(recovered, 1);
        testsupport::failLogSyncs(EIO);
        sync.logChanged();
    }
    testsupport::failLogSyncs(0);
    EXPECT_EQ(failed, 2) << "the last try, failed, is said too";
}

// The system reports a write-back error once, and the pages it covered may be lost: after a failed sync, a
// sync that goes through is not enough. The changes count as on the disk, and the failure ends, only once the
// whole log is folded into the store (which the fold syncs).
TEST(LogSyncTest, AfterAFailedSyncOnlyAFoldOfTheWholeLogEndsTheFailure) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/s.store", wal = path + "-wal";
    QString err;
    auto db = walStore(path, "TEXT");
    ASSERT_TRUE(db);
    std::atomic<int> failed = 0, recovered = 0;
    {
        LogSync sync(wal, 20ms, path);
        sync.watch(db->handle());
        QObject::connect(&sync, &LogSync::syncFailed, [&] { ++failed; });
        QObject::connect(&sync, &LogSync::syncRecovered, [&] { ++recovered; });
        ASSERT_TRUE(db->exec("INSERT INTO t VALUES ('avant')"));
        sync.logChanged();
        ASSERT_TRUE(sync.flush());

        testsupport::failLogSyncs(EIO);
        ASSERT_TRUE(db->exec("INSERT INTO t VALUES ('pendant')"));
        sync.logChanged();
        EXPECT_FALSE(sync.flush());
        testsupport::failLogSyncs(0);
        // The log syncs again, but the fold cannot run yet.
        sync.failFoldsForTesting(SQLITE_BUSY);
        EXPECT_FALSE(sync.flush());
        EXPECT_FALSE(sync.isSynced());
        EXPECT_EQ(recovered, 0);
        EXPECT_EQ(failed, 1);

        sync.failFoldsForTesting(0);
        QElapsedTimer t;
        t.start();
        while ((recovered == 0 || !sync.isSynced()) && t.elapsed() < 3000)
            QThread::msleep(5);
        EXPECT_EQ(recovered, 1);
        EXPECT_TRUE(sync.isSynced());
    }
    // The store alone, without its log, holds what the failed sync covered.
    const QString copy = dir.path() + "/copy.store";
    ASSERT_TRUE(QFile::copy(path, copy));
    auto alone = SqliteDb::open(copy, SqliteDb::Mode::ReadWrite, &err);
    ASSERT_TRUE(alone) << err.toStdString();
    EXPECT_EQ(alone->queryText("SELECT group_concat(x) FROM t").value_or(QString()), "avant,pendant");
}

// The saving connection no longer folds the log into the store: this thread does. While its folds fail
// (said once, like a failed sync) the log grows, up to the size where the saving connection folds after
// all; once they go through again that is said too, and every commit is in the store.
TEST(LogSyncTest, FoldsTheLogOffTheSavingConnectionWithinABound) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/s.store", wal = path + "-wal";
    QString err;
    auto db = walStore(path, "BLOB");
    ASSERT_TRUE(db);
    const int pageBytes = 4096 + 24;
    const int foldPages = 50, fallbackPages = 400;
    std::atomic<int> failed = 0, recovered = 0;
    QString reason;
    int commits = 0;
    qint64 longest = 0;
    auto commit = [&] {
        // About ten pages each.
        ASSERT_TRUE(db->exec("INSERT INTO t VALUES (randomblob(40000))"));
        ++commits;
        longest = std::max(longest, QFileInfo(wal).size());
    };
    {
        LogSync sync(wal, 20ms, path, foldPages);
        sync.watch(db->handle(), fallbackPages);
        QObject::connect(&sync, &LogSync::syncFailed, [&](const QString& r) {
            reason = r;
            ++failed;
        });
        QObject::connect(&sync, &LogSync::syncRecovered, [&] { ++recovered; });
        sync.failFoldsForTesting(SQLITE_IOERR_FSYNC);
        // Commits report themselves through the hook; saves call logChanged.
        for (int round = 0; round < 30; ++round) {
            commit();
            sync.logChanged();
        }
        EXPECT_TRUE(sync.flush()) << "the log itself is on the disk";
        // Said by the sync thread once it has let the flush go.
        EXPECT_TRUE(testsupport::waitFor([&] { return failed > 0; }));
        EXPECT_EQ(failed, 1);
        EXPECT_TRUE(reason.contains("reporté dans le fichier de données")) << reason.toStdString();
        EXPECT_GT(QFileInfo(wal).size(), 300 * 4096) << "the saving connection did not fold (nor start the log again)";
        EXPECT_EQ(sync.foldCount(), 0);

        for (int round = 0; round < 90; ++round) {
            commit();
            sync.logChanged();
        }
        sync.flush();
        EXPECT_EQ(recovered, 0);
        // The other thread's tries read the file now and then, which can hold back the log's restart for many
        // commits on a slow run (670 pages seen under the sanitizers); without the bound it would reach 1,200.
        EXPECT_LT(longest, 2 * fallbackPages * pageBytes) << "the saving connection folded past its bound";

        sync.failFoldsForTesting(0);
        QElapsedTimer t;
        t.start();
        while ((recovered == 0 || sync.foldCount() == 0) && t.elapsed() < 3000) {
            commit();
            sync.logChanged();
            sync.flush();
        }
        EXPECT_EQ(recovered, 1);
        EXPECT_GE(sync.foldCount(), 1);
        EXPECT_EQ(failed, 1);
        // Its own fold can be held back while one runs here, so the bound is looser.
        EXPECT_LT(longest, 2 * fallbackPages * pageBytes);
    }
    db.reset();
    auto reader = SqliteDb::open(path, SqliteDb::Mode::ReadOnly, &err);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->queryText("SELECT count(*) FROM t").value_or(QString()), QString::number(commits));
}

// A store's log, grown past the fold size by saves of a long block, is folded by its sync thread, and what
// was saved reads back after reopening.
TEST_F(StoreTest, ALongLogIsFoldedByTheSyncThread) {
    DocBlockPtr b = block(doc(project("P"), "D"), 0);
    QString text;
    for (int i = 0; i < 12; ++i) {
        text = QString(400'000, QChar(u'a' + i));
        b->setContent(text);
        ASSERT_TRUE(ctx().save());
    }
    LogSync* sync = ctx().logSync();
    ASSERT_TRUE(sync);
    QElapsedTimer t;
    t.start();
    while (sync->foldCount() == 0 && t.elapsed() < 5000)
        QThread::msleep(10);
    EXPECT_GE(sync->foldCount(), 1);
    b.reset();
    open();
    EXPECT_EQ(rawValue("SELECT content FROM DocBlock"), text);
}
