#include "FileFaults.h"

#include "prefs/Preferences.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

const QByteArray kFile =
    "[General]\n"
    "dashboard.quickNoteNotes=une note\n"
    "prefs.defaultLayout=grid\n"
    "tolmek.theme=dark\n";

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(absent)");
}

} // namespace

// The writer reads the file before changing one line of it. A read that fails writes nothing (the file keeps
// every entry) and says so; once the file reads again, the value kept goes in beside the others.
TEST(PreferencesFaults, AFailedReadWritesNothingAndIsReported) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Tolmek.conf");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kFile);
    }
    Preferences prefs(path);
    QSignalSpy failed(&prefs, &Preferences::writeFailed);
    const auto cleared = qScopeGuard([] { filefaults::clear(); });
    filefaults::failReads("/Tolmek.conf", EIO);
    prefs.setValue("tolmek.userProfile", QStringLiteral("profil"));
    EXPECT_FALSE(prefs.flush());
    EXPECT_TRUE(prefs.writeError().contains("ne peut pas être lu (erreur de lecture ou d’écriture sur le disque)"))
        << prefs.writeError().toStdString();
    ASSERT_TRUE(testsupport::waitFor([&] { return failed.count() == 1; }));

    filefaults::clear();
    EXPECT_EQ(bytesOf(path), kFile); // the next try is two seconds away
    EXPECT_TRUE(prefs.flush());
    EXPECT_EQ(bytesOf(path), kFile + "tolmek.userProfile=profil\n");
}

// Only another holder of the lock makes the file "locked"; a lock file that cannot be written (a full disk)
// gives that reason, and the value is written once the disk has room.
TEST(PreferencesFaults, AFailedWriteGivesItsRealCause) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Tolmek.conf");
    Preferences prefs(path);
    const auto cleared = qScopeGuard([] { filefaults::clear(); });
    filefaults::failWrites("/Tolmek.conf.lock", ENOSPC);
    prefs.setValue("tolmek.theme", QStringLiteral("light"));
    EXPECT_FALSE(prefs.flush());
    EXPECT_TRUE(prefs.writeError().endsWith(" : le disque est plein")) << prefs.writeError().toStdString();
    EXPECT_FALSE(QFile::exists(path));

    filefaults::clear();
    EXPECT_TRUE(prefs.flush());
    EXPECT_EQ(bytesOf(path), "[General]\ntolmek.theme=light\n");
}
