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

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

// The writer reads the file before changing one line of it. A read that fails writes nothing (the file keeps
// every entry) and says so; once the file reads again, the value kept goes in beside the others.
TEST(PreferencesFaults, AFailedReadWritesNothingAndIsReported) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Tolmek.conf");
    ASSERT_TRUE(writeFile(path, kFile));
    Preferences prefs(path);
    QSignalSpy failed(&prefs, &Preferences::writeFailed);
    const auto cleared = qScopeGuard([] { filefaults::clear(); });
    filefaults::failReads("*/Tolmek.conf", EIO);
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

// A write that fails on a full disk keeps the file as it was and gives that cause (only another holder of the lock
// makes the file "locked"), whichever file it was writing: the lock, the new file or the scratch file where the
// entry's line is made. The value is written once the disk has room.
TEST(PreferencesFaults, AFailedWriteKeepsTheFileAndGivesItsRealCause) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Tolmek.conf");
    ASSERT_TRUE(writeFile(path, kFile));
    const auto cleared = qScopeGuard([] { filefaults::clear(); });
    const struct {
        const char* what;
        QByteArray pattern;
        const char* reason;
    } faults[] = {
        {"lock", "*/Tolmek.conf.lock", " : le disque est plein"},
        {"new file", dir.path().toUtf8() + "/#* (deleted)", " : le disque est plein"},
        {"scratch", "*/tolmek-prefs-*", " : le dossier temporaire "},
        // QSettings takes its lock, then reports its failed write of the scratch file as done.
        {"scratch data", "*/tolmek-prefs-*/#* (deleted)", " : le dossier temporaire "},
    };
    // One writer per fault: a try still under way when the fault changes would meet the next one.
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.what);
        filefaults::failWrites(fault.pattern, ENOSPC);
        {
            Preferences prefs(path);
            prefs.setValue("tolmek.theme", QStringLiteral("light"));
            EXPECT_FALSE(prefs.flush());
            EXPECT_TRUE(prefs.writeError().contains(fault.reason)) << prefs.writeError().toStdString();
        }
        EXPECT_EQ(bytesOf(path), kFile);
    }
    filefaults::clear();
    Preferences prefs(path);
    prefs.setValue("tolmek.theme", QStringLiteral("light"));
    EXPECT_TRUE(prefs.flush());
    EXPECT_EQ(bytesOf(path), QByteArray(kFile).replace("theme=dark", "theme=light"));
}
