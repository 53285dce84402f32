#include "app/SaveStatusBanner.h"
#include "app/SingleInstance.h"
#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"
#include "core/store/ModelContext.h"
#include "AppProcess.h"
#include "ShellFixture.h"
#include "support/TestServices.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Traced, and with no bus: a later launch says that Tolmek is open instead of raising the first window.
QProcessEnvironment tracedEnvironment(const QString& home, const QStringList& flags = {}) {
    QProcessEnvironment env = appEnvironment(home, QStringList{"TOLMEK_STARTUP_TRACE"} + flags);
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    return env;
}

bool painted(QProcess& p, QByteArray& err) {
    err += p.readAllStandardError();
    return err.contains("startup: first-paint");
}

QString quickCheck(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    QString out = QStringLiteral("cannot check");
    if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

} // namespace

// Launches at the same instant on a store that does not exist yet: one runs, the others end at once with
// exit code 0 and say why, and the store the first made is sound.
TEST(AppEntry, LaunchesAtTheSameInstantRunOneProcessPerStore) {
    SKIP_WITHOUT_APP();
    for (int launches : {2, 2, 3}) {
        SCOPED_TRACE(launches);
        QTemporaryDir home;
        std::vector<std::unique_ptr<QProcess>> apps;
        for (int i = 0; i < launches; ++i) {
            apps.push_back(std::make_unique<QProcess>());
            apps.back()->setProcessEnvironment(tracedEnvironment(home.path()));
        }
        for (auto& app : apps)
            app->start(appBinary(), {});
        // The others end promptly; the one left running paints its window.
        std::vector<QByteArray> errs(apps.size());
        QElapsedTimer t;
        t.start();
        int running = launches;
        while (running > 1 && t.elapsed() < 20000) {
            running = 0;
            for (auto& app : apps)
                running += app->state() == QProcess::NotRunning || app->waitForFinished(20) ? 0 : 1;
        }
        ASSERT_EQ(running, 1);
        int winner = -1;
        for (size_t i = 0; i < apps.size(); ++i) {
            if (apps[i]->state() != QProcess::NotRunning) {
                winner = int(i);
                continue;
            }
            errs[i] += apps[i]->readAllStandardError();
            EXPECT_EQ(apps[i]->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(apps[i]->exitCode(), 0) << errs[i].toStdString();
            EXPECT_TRUE(QString::fromLocal8Bit(errs[i]).contains("Tolmek est déjà ouvert.")) << errs[i].toStdString();
            EXPECT_FALSE(errs[i].contains("first-paint"));
        }
        ASSERT_GE(winner, 0);
        QProcess& app = *apps[size_t(winner)];
        EXPECT_TRUE(testsupport::waitFor([&] { return painted(app, errs[size_t(winner)]); }, 20000))
            << errs[size_t(winner)].toStdString();
        EXPECT_FALSE(errs[size_t(winner)].contains("container impossible")) << errs[size_t(winner)].toStdString();
        app.kill();
        app.waitForFinished(5000);
        const QString store = home.path() + "/data/Tolmek/default.store";
        EXPECT_EQ(quickCheck(store), "ok");
        QString err;
        EXPECT_TRUE(openModelContainer(store, &err)) << err.toStdString();
    }
}

// A lock left by a process that was killed does not stop the next start.
TEST(AppEntry, ALockLeftByAKilledProcessDoesNotStopTheNextStart) {
    SKIP_WITHOUT_APP();
    QTemporaryDir home;
    QProcess first;
    first.setProcessEnvironment(tracedEnvironment(home.path()));
    first.start(appBinary(), {});
    QByteArray err;
    ASSERT_TRUE(testsupport::waitFor([&] { return painted(first, err); }, 20000)) << err.toStdString();
    first.kill();
    ASSERT_TRUE(first.waitForFinished(5000));
    ASSERT_TRUE(QFile::exists(home.path() + "/data/Tolmek/default.store.lock"));

    QProcess next;
    next.setProcessEnvironment(tracedEnvironment(home.path(), {"TOLMEK_EXIT_AFTER_FIRST_PAINT"}));
    next.start(appBinary(), {});
    ASSERT_TRUE(next.waitForFinished(20000));
    err = next.readAllStandardError();
    EXPECT_EQ(next.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("first-paint")) << err.toStdString();
}

TEST(SingleInstance, TheLockIsHeldUntilReleasedAndNamesAreOnePerStore) {
    QTemporaryDir dir;
    const QString store = dir.path() + "/a/default.store";
    {
        SingleInstance first(store);
        ASSERT_TRUE(first.acquire());
        SingleInstance second(store);
        EXPECT_FALSE(second.acquire());
        // Still held long after QLockFile's default age for a stale lock.
        QFile lock(first.lockPath());
        ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
        ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        lock.close();
        EXPECT_FALSE(second.acquire());
        SingleInstance other(dir.path() + "/b/default.store");
        EXPECT_TRUE(other.acquire());
    }
    SingleInstance again(store);
    EXPECT_TRUE(again.acquire());
    EXPECT_EQ(SingleInstance::serviceName(store), SingleInstance::serviceName(dir.path() + "/a/../a/default.store"));
    EXPECT_NE(SingleInstance::serviceName(store), SingleInstance::serviceName(dir.path() + "/b/default.store"));
}

// Whatever a file of the lock's name holds, nothing running holds it: the start goes on, the lock then
// refuses a second instance, and letting it go removes the file (never a folder of that name).
TEST(SingleInstance, AnythingLeftUnderTheLockNameDoesNotStopAStart) {
    QTemporaryDir dir;
    const QString store = dir.path() + "/default.store";
    const QString lock = store + ".lock";
    auto write = [&](const QByteArray& bytes) {
        QFile f(lock);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    };
    const QByteArray live = QByteArray::number(QCoreApplication::applicationPid()) + "\nTolmek\n" +
        QSysInfo::machineHostName().toUtf8() + "\n";
    const std::vector<std::pair<const char*, std::function<bool()>>> odd = {
        {"empty", [&] { return write(""); }},
        {"NUL bytes", [&] { return write(QByteArray(64, '\0')); }},
        {"another machine", [&] { return write("4242\nTolmek\nportable\n"); }},
        {"a live process", [&] { return write(live); }},
        {"mode 000", [&] { return write(live) && ::chmod(QFile::encodeName(lock), 0) == 0; }},
        {"a dangling link", [&] { return QFile::link(dir.path() + "/ailleurs", lock); }},
        {"a pipe", [&] { return ::mkfifo(QFile::encodeName(lock), 0644) == 0; }},
    };
    for (const auto& [what, make] : odd) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(make());
        {
            SingleInstance first(store);
            ASSERT_TRUE(first.acquire());
            EXPECT_TRUE(first.isHeld());
            SingleInstance second(store);
            EXPECT_FALSE(second.acquire());
        }
        EXPECT_FALSE(QFileInfo(lock).exists() || QFileInfo(lock).isSymLink());
        EXPECT_FALSE(QFile::exists(dir.path() + "/ailleurs"));
    }

    ASSERT_TRUE(QDir().mkpath(lock));
    {
        SingleInstance first(store);
        ASSERT_TRUE(first.acquire());
        EXPECT_TRUE(first.isHeld());
        SingleInstance second(store);
        EXPECT_FALSE(second.acquire());
        first.release();
        EXPECT_TRUE(second.acquire());
    }
    EXPECT_TRUE(QFileInfo(lock).isDir());
}

// The lock file removed, or replaced by a link or a pipe, under a running process: a later launch still finds
// the store taken.
TEST(SingleInstance, TheLockHoldsWhateverHappensToItsFile) {
    QTemporaryDir dir;
    const QString store = dir.path() + "/default.store";
    const QString lock = store + ".lock";
    SingleInstance first(store);
    ASSERT_TRUE(first.acquire());
    const std::vector<std::pair<const char*, std::function<bool()>>> replaced = {
        {"removed", [] { return true; }},
        {"a link", [&] { return QFile::link(dir.path() + "/ailleurs", lock); }},
        {"a pipe", [&] { return ::mkfifo(QFile::encodeName(lock), 0644) == 0; }},
    };
    for (const auto& [what, make] : replaced) {
        SCOPED_TRACE(what);
        if (QFileInfo(lock).exists() || QFileInfo(lock).isSymLink()) {
            ASSERT_TRUE(QFile::remove(lock));
        }
        ASSERT_TRUE(make());
        SingleInstance second(store);
        EXPECT_FALSE(second.acquire());
    }
    first.release();
    SingleInstance next(store);
    EXPECT_TRUE(next.acquire());
}

// The lock goes with its process, however it ends: a killed holder leaves the file, which then stops nothing.
TEST(SingleInstance, TheLockOfAKilledProcessIsFree) {
    QTemporaryDir dir;
    const QString store = dir.path() + "/default.store";
    const pid_t child = ::fork();
    if (child == 0) {
        SingleInstance held(store);
        if (!held.acquire() || !held.isHeld())
            ::_exit(2);
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    ASSERT_TRUE(QFile::exists(store + ".lock"));
    SingleInstance next(store);
    EXPECT_TRUE(next.acquire());
    EXPECT_TRUE(next.isHeld());
}

// A card deleted by another program while shown here: its edit is dropped with a note, the rest is saved.
TEST_F(ShellTest, AnEditOfARowRemovedElsewhereIsDroppedWithANoteAndLaterSavesWork) {
    SaveStatusBanner* banner = router()->saveBanner();
    ASSERT_TRUE(banner);
    auto p = std::make_shared<Project>(ProjectFields{.name = "Gardé", .iconName = "folder"});
    auto gone = std::make_shared<Project>(ProjectFields{.name = "Supprimé ailleurs", .iconName = "folder"});
    ctx().insert(p);
    ctx().insert(gone);
    ASSERT_TRUE(ctx().save());
    sqlite3* db = nullptr;
    sqlite3_open(container->path().toUtf8().constData(), &db);
    const QByteArray del = "DELETE FROM Project WHERE id='" + gone->storeIdText().toUtf8() + "'";
    ASSERT_EQ(sqlite3_exec(db, del.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    gone->setName("Modifié");
    p->setName("Renommé");
    EXPECT_TRUE(ctx().save());
    ASSERT_TRUE(testsupport::waitFor([&] { return banner->isVisible(); }));
    EXPECT_TRUE(banner->label()->text().startsWith("Une modification d’un projet n’a pas été enregistrée"))
        << banner->label()->text().toStdString();
    // The note stays through the next saves for a while, and they go through.
    p->setName("Encore");
    EXPECT_TRUE(ctx().save());
    testsupport::flushEvents();
    EXPECT_TRUE(banner->isVisible());
    EXPECT_FALSE(ctx().hasChanges());
}
