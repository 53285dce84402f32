#include "StoreFixture.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>

#include <chrono>
#include <future>
#include <thread>

namespace {

// Makes the first page of `table` unreadable, as a bad disk sector would.
void corruptFirstPage(const QString& path, const char* table) {
    const int page =
        rawSql(path, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name='%1'").arg(table)).value(0).toInt();
    const int pageSize = rawSql(path, "PRAGMA page_size").value(0).toInt();
    ASSERT_GT(page, 1);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(qint64(page - 1) * pageSize);
    f.write(QByteArray(16, '\xff'));
}

// Clears the worker's hook however a test ends.
struct HookScope {
    explicit HookScope(std::function<void()> hook) { ModelContext::setQuickCheckHookForTesting(std::move(hook)); }
    ~HookScope() { ModelContext::setQuickCheckHookForTesting({}); }
};

} // namespace

TEST_F(StoreTest, BackgroundCheckReportsDamageOnceAndSavesAreRefused) {
    auto d = doc(project("P"), "d");
    for (int i = 0; i < 50; ++i)
        block(d, i, QString(200, 'x'));
    ASSERT_TRUE(ctx().save());
    container.reset();
    corruptFirstPage(path(), "DocBlock");

    open(); // blocks are read per document: the damage is not seen yet
    ASSERT_FALSE(ctx().isDamaged());
    QSignalSpy damaged(&ctx(), &ModelContext::damaged);
    QSignalSpy finished(&ctx(), &ModelContext::quickCheckFinished);
    QSignalSpy failed(&ctx(), &ModelContext::saveFailed);
    ctx().startQuickCheck();
    EXPECT_TRUE(ctx().isQuickCheckRunning());
    ctx().startQuickCheck(); // a second start while one runs is ignored
    ASSERT_TRUE(finished.wait(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(ctx().isQuickCheckRunning());
    EXPECT_FALSE(finished[0][0].toBool());
    const QString problem = finished[0][1].toString();
    EXPECT_TRUE(problem.startsWith("le contrôle du fichier a relevé")) << problem.toStdString();
    ASSERT_EQ(damaged.count(), 1);
    EXPECT_EQ(damaged[0][0].toString(), problem);
    EXPECT_EQ(ctx().damage(), problem);

    const QByteArray before = fileHash(path());
    ctx().fetch<Project>().front()->setName("renamed");
    EXPECT_FALSE(ctx().save());
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(fileHash(path()), before);

    // A later check finds it again but says nothing new about the damage.
    ctx().startQuickCheck();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(damaged.count(), 1);
}

TEST_F(StoreTest, BackgroundCheckOfASoundStoreLeavesItWritableAndSeesSavesMadeMeanwhile) {
    project("P");
    ASSERT_TRUE(ctx().save());
    // The worker's connection is open while the context writes: with the log, both go ahead.
    std::promise<void> saved;
    auto savedFuture = saved.get_future().share();
    HookScope hook([savedFuture] { savedFuture.wait_for(std::chrono::seconds(5)); });
    QSignalSpy finished(&ctx(), &ModelContext::quickCheckFinished);
    ctx().startQuickCheck();
    project("Q");
    QString err;
    EXPECT_TRUE(ctx().save(&err)) << err.toStdString();
    saved.set_value();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(finished[0][0].toBool());
    EXPECT_TRUE(finished[0][1].toString().isEmpty());
    EXPECT_FALSE(ctx().isDamaged());
    project("R");
    EXPECT_TRUE(ctx().save());
    open();
    EXPECT_EQ(ctx().fetch<Project>().size(), 3u);
}

TEST_F(StoreTest, TheEventLoopKeepsRunningWhileTheCheckRuns) {
    // The worker holds the check until the event loop has ticked: were the check on this thread, no tick
    // could come before it ends.
    std::promise<void> ticked;
    auto tickedFuture = ticked.get_future().share();
    std::atomic<bool> heldUntilTicks{false};
    HookScope hook([tickedFuture, &heldUntilTicks] {
        heldUntilTicks = tickedFuture.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    });
    QSignalSpy finished(&ctx(), &ModelContext::quickCheckFinished);
    QElapsedTimer clock;
    clock.start();
    ctx().startQuickCheck();
    EXPECT_LT(clock.elapsed(), 1000) << "starting does not wait for the check";

    int ticks = 0;
    QTimer timer;
    QEventLoop loop;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (++ticks == 3) {
            ticked.set_value();
            loop.quit();
        }
    });
    timer.start(5);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(finished.count(), 0) << "the check was still held";
    ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));
    EXPECT_TRUE(heldUntilTicks);
    EXPECT_TRUE(finished[0][0].toBool());
}

TEST_F(StoreTest, ClosingTheStoreWhileTheCheckRunsIsSafeAndDropsItsResult) {
    auto d = doc(project("P"), "d");
    for (int i = 0; i < 2000; ++i)
        block(d, i, QString(4000, QChar('a' + i % 26)));
    ASSERT_TRUE(ctx().save());
    container.reset();
    corruptFirstPage(path(), "DocBlock"); // a result, if one were delivered, would be a damage
    const QByteArray before = fileHash(path());

    int delivered = 0;
    QObject receiver;
    auto openAndStart = [&] {
        open();
        QObject::connect(&ctx(), &ModelContext::quickCheckFinished, &receiver, [&] { ++delivered; });
        QObject::connect(&ctx(), &ModelContext::damaged, &receiver, [&] { ++delivered; });
        ctx().startQuickCheck();
    };

    // Closed while the worker has its connection open but before it reads: the close waits for it.
    {
        std::promise<void> opened;
        auto openedFuture = opened.get_future();
        HookScope hook([&opened] {
            opened.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        });
        openAndStart();
        ASSERT_EQ(openedFuture.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        container.reset();
    }
    // Closed mid-read (the read is interrupted), and at once after the start, before the worker opens.
    for (int wait : {0, 2, 5, 10}) {
        openAndStart();
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        QElapsedTimer clock;
        clock.start();
        container.reset();
        EXPECT_LT(clock.elapsed(), 2000) << "closing does not wait for a whole check";
    }
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(fileHash(path()), before) << "the check never writes";

    // The worker's connection left no lock behind: the store opens and its check completes.
    open();
    QSignalSpy finished(&ctx(), &ModelContext::quickCheckFinished);
    ctx().startQuickCheck();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(finished[0][0].toBool());
}
