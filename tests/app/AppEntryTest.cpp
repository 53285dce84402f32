#include "ui/Theme.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "app/AppDelegate.h"
#include "app/AppShellView.h"
#include "app/TolmekApp.h"
#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"
#include "core/store/ModelContext.h"
#include "ui/DialogSeam.h"
#include "app/LazyUpdater.h"
#include "cardsheet/AttachmentJobs.h"
#include "support/TestServices.h"
#include "support/TestSupport.h"
#include "AppProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QAction>
#include <QFileInfo>
#include <QDateTime>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

TEST(AppEntry, UnreadableStoreStopsTheStartAndLeavesTheFileAlone) {
    SKIP_WITHOUT_APP();
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkpath(home.path() + "/data/Tolmek"));
    const QString store = home.path() + "/data/Tolmek/default.store";
    const QByteArray content = "ceci n’est pas une base\n";
    {
        QFile f(store);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QProcess app;
    startApp(app, home.path());
    ASSERT_TRUE(app.waitForFinished(20000)) << "the app kept running (a box waiting for a click?)";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(app.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(app.readAllStandardError());
    EXPECT_TRUE(err.contains("SwiftData: container impossible: ")) << err.toStdString();
    QFile f(store);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), content);
    EXPECT_FALSE(QFile::exists(store + "-wal"));
}

namespace {

// A store of its own, current while it lives, with dialogs answered without a person.
struct AppStore {
    testsupport::ScopedPreferences prefs;
    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;

    AppStore() {
        DialogSeam::reset();
        DialogSeam::setNonInteractive(true);
        QString err;
        container = openModelContainer(dir.path() + "/t.store", &err);
    }
    ~AppStore() {
        DialogSeam::reset();
    }
};

} // namespace

// The menu's update command runs a check that a person sees the end of.
TEST(AppEntry, TheUpdateCommandRunsACheck) {
    AppStore store;
    ASSERT_TRUE(store.container);
    AppDelegate delegate;
    delegate.updater()->setFeedUrl(QUrl());
    AttachmentImports attachments;
    ThumbnailCache thumbnails;
    Services services{store.container->mainContext(), Preferences::shared(), ThemeManager::shared(),
                      UserPreferencesStore::shared(), testsupport::testDictionary(), attachments, thumbnails};
    MainWindow window(delegate.updater(), services);
    QSignalSpy done(delegate.updater(), &LazyUpdater::checkFinished);
    window.checkForUpdatesAction()->trigger();
    EXPECT_EQ(done.count(), 1);
    ASSERT_TRUE(testsupport::waitFor([] { return !DialogSeam::shownMessages().isEmpty(); }));
}

TEST(AppEntry, BackgroundCheckRunsQuietlyThreeSecondsAfterLaunch) {
    DialogSeam::reset();
    DialogSeam::setNonInteractive(true);
    AppDelegate delegate;
    delegate.updater()->setFeedUrl(QUrl());
    QSignalSpy done(delegate.updater(), &LazyUpdater::checkFinished);
    QElapsedTimer t;
    t.start();
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(done.wait(5000));
    EXPECT_GE(t.elapsed(), 2900);
    // Quiet: nothing shown even though no feed is configured.
    EXPECT_TRUE(DialogSeam::shownMessages().isEmpty());
}

TEST(AppEntry, UpdateCheckLoadsTheNetworkStackOnlyWhenItRuns) {
    const auto networkMapped = [] {
        QFile maps(QStringLiteral("/proc/self/maps"));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Network");
    };
    if (networkMapped())
        GTEST_SKIP() << "an earlier test in this process already ran a check";
    DialogSeam::reset();
    DialogSeam::setNonInteractive(true);
    LazyUpdater updater;
    updater.setFeedUrl(QUrl());
    EXPECT_FALSE(updater.isLoaded());
    EXPECT_FALSE(networkMapped());

    QSignalSpy done(&updater, &LazyUpdater::checkFinished);
    updater.checkForUpdatesInBackground();
    ASSERT_EQ(done.count(), 1);
    EXPECT_TRUE(updater.isLoaded());
    EXPECT_TRUE(networkMapped());
    // The feed address set before loading reached the loaded check: no feed, a quiet check says nothing.
    EXPECT_EQ(done.first().at(1).toString(), "Aucune adresse de mise à jour n’est configurée.");
    EXPECT_TRUE(DialogSeam::shownMessages().isEmpty());
    DialogSeam::reset();
}

TEST(AppEntry, ClosingTheWindowSavesFirstAndStaysOpenWhenThatFails) {
    AppStore store;
    ASSERT_TRUE(store.container);
    auto& container = store.container;
    {
        ModelContext& ctx = container->mainContext();
        AppDelegate delegate;
        AttachmentImports attachments;
        ThumbnailCache thumbnails;
        Services services{ctx, Preferences::shared(), ThemeManager::shared(), UserPreferencesStore::shared(),
                          testsupport::testDictionary(), attachments, thumbnails};
        MainWindow window(delegate.updater(), services);
        QList<int> exits;
        window.shell()->setTerminate([&](int code) { exits << code; });
        window.show();

        // Nothing pending: the window asks to end normally.
        window.close();
        ASSERT_TRUE(testsupport::waitFor([&] { return exits.size() == 1; }));
        EXPECT_EQ(exits.first(), 0);

        // A change the disk refuses: the window stays, and says why.
        ctx.insert(std::make_shared<Project>(QUuid::createUuid(), "Refusé", std::nullopt, "folder",
                                             QDateTime::currentDateTimeUtc(), QDateTime::currentDateTimeUtc()));
        ctx.failNextSaves(10, "disk I/O error (simulated)");
        DialogSeam::pushAnswer("Annuler");
        window.close();
        ASSERT_TRUE(testsupport::waitFor([&] { return !DialogSeam::shownMessages().isEmpty(); }));
        EXPECT_EQ(DialogSeam::shownMessages().last().text, "Les dernières modifications n’ont pas pu être enregistrées.");
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(exits.size(), 1);
        EXPECT_TRUE(ctx.hasChanges());
        ctx.failNextSaves(0);
    }
}

// Logout, shutdown and `kill` end the run as "Quitter" does: what is pending is saved first.
TEST(AppEntry, TerminationSignalsQuitAsThePersonWouldAfterSaving) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        AppStore store;
        ASSERT_TRUE(store.container);
        ModelContext& ctx = store.container->mainContext();
        AppDelegate delegate;
        AttachmentImports attachments;
        ThumbnailCache thumbnails;
        Services services{ctx, Preferences::shared(), ThemeManager::shared(), UserPreferencesStore::shared(),
                          testsupport::testDictionary(), attachments, thumbnails};
        MainWindow window(delegate.updater(), services);
        QList<int> exits;
        window.shell()->setTerminate([&](int code) { exits << code; });
        delegate.quitOnTerminationRequests([&window] { window.quitWithoutAsking(); });
        auto p = std::make_shared<Project>(ProjectFields{.name = "Avant la fin", .iconName = "folder"});
        ctx.insert(p);
        ASSERT_TRUE(ctx.hasChanges());

        ::raise(sig);
        ASSERT_TRUE(testsupport::waitFor([&] { return !exits.isEmpty(); }));
        EXPECT_EQ(exits, QList<int>{0});
        EXPECT_FALSE(ctx.hasChanges());
        // No confirmation was asked.
        EXPECT_TRUE(DialogSeam::shownMessages().isEmpty());
        QString err;
        auto reopened = openModelContainer(store.dir.path() + "/t.store", &err);
        ASSERT_TRUE(reopened) << err.toStdString();
        EXPECT_EQ(reopened->mainContext().fetch<Project>().size(), 1u);
    }
}

TEST(AppEntry, TheApplicationEndsNormallyOnSigterm) {
    SKIP_WITHOUT_APP();
    QTemporaryDir home;
    QProcess app;
    startApp(app, home.path(), {"TOLMEK_STARTUP_TRACE"});
    QByteArray err;
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return (err += app.readAllStandardError()).contains("startup: first-paint"); }, 20000));
    app.terminate();
    ASSERT_TRUE(app.waitForFinished(10000));
    err += app.readAllStandardError();
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(app.exitCode(), 0) << err.toStdString();
    // The lock beside the store went with the process.
    EXPECT_FALSE(QFile::exists(home.path() + "/data/Tolmek/default.store.lock"));
}

// A first start makes the store. It writes nothing to the preference file, whatever it holds: no theme entry, a theme we do not know,
// a note with spaces around it or a comma, a profile spelt otherwise than we write it, bytes that are not UTF-8.
TEST(AppEntry, AStartLeavesThePreferenceFileAsItIs) {
    SKIP_WITHOUT_APP();
    const QByteArray files[] = {
        "[General]\n"
        "dashboard.quickNoteNotes=\"  une note  \"\n"
        "other=caf\xe9\n"
        "prefs.defaultLayout=grid\n"
        "tolmek.userProfile=@ByteArray({ \"lastName\": \"Ren\xe9\", \"firstName\": \"Ana\" })\n",
        "[General]\n"
        "dashboard.quickNoteNotes=un, deux\n"
        "tolmek.theme=sombre\n"
        "tolmek.userProfile=@ByteArray({\"lastName\":\"Martin\",\"firstName\":\"L\xc3\xa9\x61\"})\n",
    };
    for (const QByteArray& content : files) {
        QTemporaryDir home;
        const QString conf = home.path() + "/config/Tolmek/Tolmek.conf";
        ASSERT_TRUE(QDir().mkpath(home.path() + "/config/Tolmek"));
        {
            QFile f(conf);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QDateTime written = QDateTime::currentDateTime().addSecs(-3600);
        {
            QFile f(conf);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.setFileTime(written, QFileDevice::FileModificationTime));
        }
        QProcess app;
        startApp(app, home.path(), {"TOLMEK_EXIT_AFTER_FIRST_PAINT"});
        ASSERT_TRUE(app.waitForFinished(20000));
        EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
        QFile f(conf);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), content);
        EXPECT_EQ(QFileInfo(conf).lastModified().toSecsSinceEpoch(), written.toSecsSinceEpoch());
        EXPECT_EQ(QDir(home.path() + "/config/Tolmek").entryList(QDir::Files), QStringList{"Tolmek.conf"});
        // The folder is created and the store made on a first launch.
        EXPECT_TRUE(QFile::exists(home.path() + "/data/Tolmek/default.store"));
    }
}
