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
#include <QWidget>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

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
    // Nothing of the refused start is left beside the store.
    EXPECT_FALSE(QFile::exists(store + ".lock"));
}

namespace {
// The profile over the program's preferences, as the entry makes one for the run.
UserPreferencesStore& sharedProfile() {
    static auto* profile = new UserPreferencesStore(Preferences::shared());
    return *profile;
}

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
    ~AppStore() { DialogSeam::reset(); }
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
    Services services{store.container->mainContext(),
                      Preferences::shared(),
                      ThemeManager::shared(),
                      sharedProfile(),
                      testsupport::testDictionary(),
                      attachments,
                      thumbnails};
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
        Services services{ctx,
                          Preferences::shared(),
                          ThemeManager::shared(),
                          sharedProfile(),
                          testsupport::testDictionary(),
                          attachments,
                          thumbnails};
        MainWindow window(delegate.updater(), services);
        QList<int> exits;
        window.shell()->setTerminate([&](int code) { exits << code; });
        window.show();

        // Nothing pending: the window asks to end normally.
        window.close();
        ASSERT_TRUE(testsupport::waitFor([&] { return exits.size() == 1; }));
        EXPECT_EQ(exits.first(), 0);

        // A change the disk refuses: the window stays, and says why.
        ctx.insert(std::make_shared<Project>(ProjectFields{.name = "Refusé",
                                                           .iconName = "folder",
                                                           .createdAt = QDateTime::currentDateTimeUtc(),
                                                           .updatedAt = QDateTime::currentDateTimeUtc()}));
        ctx.failNextSaves(10, "disk I/O error (simulated)");
        DialogSeam::pushAnswer("Annuler");
        window.close();
        ASSERT_TRUE(testsupport::waitFor([&] { return !DialogSeam::shownMessages().isEmpty(); }));
        EXPECT_EQ(DialogSeam::shownMessages().last().text,
                  "Les dernières modifications n’ont pas pu être enregistrées.");
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
        Services services{ctx,
                          Preferences::shared(),
                          ThemeManager::shared(),
                          sharedProfile(),
                          testsupport::testDictionary(),
                          attachments,
                          thumbnails};
        MainWindow window(delegate.updater(), services);
        QList<int> exits;
        window.shell()->setTerminate([&](int code) { exits << code; });
        delegate.quitOnTerminationRequests(&window, [&window] { window.quitWithoutAsking(); });
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

// The window goes before the delegate at the end of a run: a request arriving then reaches nothing.
TEST(AppEntry, ATerminationRequestAfterTheWindowIsGoneReachesNothing) {
    AppDelegate delegate;
    int quits = 0;
    {
        auto window = std::make_unique<QWidget>();
        QWidget* w = window.get();
        delegate.quitOnTerminationRequests(w, [&quits, w] {
            ++quits;
            w->setWindowTitle("fin");
        });
        EXPECT_TRUE(delegate.watchesTermination());
        ::raise(SIGTERM);
        ASSERT_TRUE(testsupport::waitFor([&] { return quits == 1; }));
    }
    EXPECT_FALSE(delegate.watchesTermination());
    ::raise(SIGTERM);
    testsupport::flushEvents();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(delegate.terminationRequests(), 1);
    // A later window is served again, and not with the request that reached nothing.
    QWidget next;
    int nextQuits = 0;
    delegate.quitOnTerminationRequests(&next, [&nextQuits] { ++nextQuits; });
    testsupport::flushEvents();
    EXPECT_EQ(nextQuits, 0);
}

TEST(AppEntry, TheApplicationEndsNormallyOnSigterm) {
    SKIP_WITHOUT_APP();
    QTemporaryDir home;
    QProcess app;
    startApp(app, home.path(), {"TOLMEK_STARTUP_TRACE"});
    QByteArray err;
    ASSERT_TRUE(
        testsupport::waitFor([&] { return (err += app.readAllStandardError()).contains("startup: first-paint"); },
                             20000));
    app.terminate();
    ASSERT_TRUE(app.waitForFinished(10000));
    err += app.readAllStandardError();
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(app.exitCode(), 0) << err.toStdString();
    // The lock beside the store went with the process.
    EXPECT_FALSE(QFile::exists(home.path() + "/data/Tolmek/default.store.lock"));
}

// A first start makes the store. Of the preference file it writes back the profile it read (in our encoding),
// the theme (a missing or unknown value becoming "system") and the quick note the dashboard loads (trimmed),
// and nothing else: a note already trimmed (with a comma), other entries, bytes that are not UTF-8 and the
// order stay; a profile it cannot read stays too. A file already holding all in their written form is left
// as it is.
TEST(AppEntry, AStartWritesBackOnlyTheProfileTheThemeAndTheNoteInTheirForms) {
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
        // As QSettings writes bytes: quoted, escaped, with a key we do not know.
        "tolmek.userProfile=\"@ByteArray({\\\"lastName\\\":\\\"Martin\\\",\\\"extra\\\":1,"
        "\\\"firstName\\\":\\\"L\\xc3\\xa9\\x61\\\"})\"\n"
        "zeta=1\n",
    };
    QByteArray settled; // the second file as the start left it
    int n = 0;
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
        const QByteArray after = f.readAll();
        f.close();
        // Every line but the three entries' stays, in its place.
        auto others = [](const QByteArray& bytes) {
            QList<QByteArray> lines = bytes.split('\n');
            lines.removeIf([](const QByteArray& l) {
                return l.startsWith("tolmek.theme=") || l.startsWith("tolmek.userProfile=") ||
                    l.startsWith("dashboard.quickNoteNotes=");
            });
            return lines;
        };
        EXPECT_EQ(others(after), others(content)) << after.constData();
        Preferences read(conf);
        EXPECT_EQ(read.value("tolmek.theme").toString(), "system");
        EXPECT_EQ(read.text("dashboard.quickNoteNotes"), n == 0 ? "une note" : "un, deux");
        if (n == 1) {
            EXPECT_TRUE(after.contains("\ndashboard.quickNoteNotes=un, deux\n")) << "already trimmed: kept as it is";
        }
        if (n++ == 0) {
            EXPECT_TRUE(after.contains(
                "tolmek.userProfile=@ByteArray({ \"lastName\": \"Ren\xe9\", \"firstName\": \"Ana\" })\n"))
                << "not UTF-8: not a profile, left as it is";
        } else {
            EXPECT_EQ(read.value("tolmek.userProfile").toByteArray(),
                      QByteArray("{\"firstName\":\"L\xc3\xa9\x61\",\"lastName\":\"Martin\"}"));
            settled = after;
        }
        EXPECT_EQ(QDir(home.path() + "/config/Tolmek").entryList(QDir::Files), QStringList{"Tolmek.conf"});
        // The folder is created and the store made on a first launch.
        EXPECT_TRUE(QFile::exists(home.path() + "/data/Tolmek/default.store"));
    }

    // Both already in their written form: the file keeps its bytes and its time.
    ASSERT_FALSE(settled.isEmpty());
    QTemporaryDir home;
    const QString conf = home.path() + "/config/Tolmek/Tolmek.conf";
    ASSERT_TRUE(QDir().mkpath(home.path() + "/config/Tolmek"));
    const QDateTime written = QDateTime::currentDateTime().addSecs(-3600);
    {
        QFile f(conf);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(settled);
        f.close();
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(written, QFileDevice::FileModificationTime));
    }
    QProcess app;
    startApp(app, home.path(), {"TOLMEK_EXIT_AFTER_FIRST_PAINT"});
    ASSERT_TRUE(app.waitForFinished(20000));
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
    QFile f(conf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), settled);
    EXPECT_EQ(QFileInfo(conf).lastModified().toSecsSinceEpoch(), written.toSecsSinceEpoch());
}
