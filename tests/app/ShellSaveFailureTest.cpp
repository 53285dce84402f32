#include "ShellFixture.h"

#include "app/AppDelegate.h"
#include "app/SaveStatusBanner.h"
#include "core/store/LogSync.h"
#include "support/Accessibility.h"
#include "support/TestServices.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <cerrno>

TEST_F(ShellTest, FailedSavesShowOneBannerPerStreakUntilASaveGoesThrough) {
    SaveStatusBanner* banner = router()->saveBanner();
    ASSERT_TRUE(banner);
    EXPECT_FALSE(banner->isVisible());

    auto p = project("Plein");
    ctx().failNextSaves(2, "database or disk is full");
    EXPECT_FALSE(ctx().save());
    ASSERT_TRUE(testsupport::waitFor([&] { return banner->isVisible(); }));
    EXPECT_EQ(banner->streaksShown(), 1);
    EXPECT_TRUE(banner->label()->text().contains("n’ont pas pu être enregistrées"))
        << banner->label()->text().toStdString();
    EXPECT_TRUE(banner->label()->text().contains("database or disk is full"));
    // Readable by a screen reader, and the window keeps working under it.
    EXPECT_NE(testsupport::findAccessible(shell.get(), banner->label()->text()), nullptr);
    EXPECT_TRUE(testsupport::unnamedAccessibleElements(banner).isEmpty());
    EXPECT_FALSE(QApplication::activeModalWidget());

    // The same streak: no second announcement.
    p->setName("Toujours plein");
    EXPECT_FALSE(ctx().save());
    testsupport::flushEvents();
    EXPECT_EQ(banner->streaksShown(), 1);
    EXPECT_TRUE(ctx().hasChanges());

    // The next save writes everything that was pending and ends the streak.
    EXPECT_TRUE(ctx().save());
    ASSERT_TRUE(testsupport::waitFor([&] { return !banner->isVisible(); }));
    EXPECT_FALSE(ctx().hasChanges());

    // A new failure later is a new streak.
    p->setName("Encore");
    ctx().failNextSaves(1, "disk I/O error");
    EXPECT_FALSE(ctx().save());
    ASSERT_TRUE(testsupport::waitFor([&] { return banner->isVisible(); }));
    EXPECT_EQ(banner->streaksShown(), 2);
    EXPECT_TRUE(banner->label()->text().contains("disk I/O error"));
}

TEST_F(ShellTest, QuitWithUnsavedChangesKeepsTheWindowAndOffersRetryOrQuitWithoutSaving) {
    QList<int> exits;
    shell->setTerminate([&](int exitCode) { exits << exitCode; });
    auto p = project("À garder");
    ctx().failNextSaves(100, "disk I/O error (simulated)");
    EXPECT_FALSE(ctx().save());

    // "Quitter" in the confirmation, then `answers` to the boxes that follow.
    const auto quitThroughTheSidebar = [&](const QStringList& answers) {
        DialogSeam::reset();
        DialogSeam::setNonInteractive(true);
        DialogSeam::pushAnswer("Quitter");
        for (const QString& a : answers)
            DialogSeam::pushAnswer(a);
        click(sidebar()->quitButton());
        ASSERT_TRUE(testsupport::waitFor([&] { return !state().isConfirmingQuit(); }));
    };

    // "Annuler": back to the window, nothing lost, nothing ended.
    quitThroughTheSidebar({"Annuler"});
    ASSERT_TRUE(testsupport::waitFor([&] { return DialogSeam::shownMessages().size() == 2; }));
    const DialogSeam::Message m = DialogSeam::shownMessages().at(1);
    EXPECT_EQ(m.text, "Les dernières modifications n’ont pas pu être enregistrées.");
    EXPECT_TRUE(m.informativeText.contains("disk I/O error (simulated)")) << m.informativeText.toStdString();
    ASSERT_EQ(m.buttons.size(), 3);
    EXPECT_EQ(m.buttons[0].text, "Annuler");
    EXPECT_EQ(m.buttons[1].text, "Quitter sans enregistrer");
    EXPECT_EQ(m.buttons[1].role, QMessageBox::DestructiveRole);
    EXPECT_EQ(m.buttons[2].text, "Réessayer");
    EXPECT_EQ(DialogSeam::escapeIndex(m), 0);
    testsupport::flushEvents();
    EXPECT_TRUE(exits.isEmpty());
    EXPECT_TRUE(ctx().hasChanges());
    EXPECT_TRUE(shell->isVisible());

    // "Réessayer" while the disk is still full asks again; once it is not, the pending work is written
    // and the application ends normally.
    quitThroughTheSidebar({"Réessayer", "Annuler"});
    ASSERT_TRUE(testsupport::waitFor([&] { return DialogSeam::shownMessages().size() == 3; }));
    testsupport::flushEvents();
    EXPECT_TRUE(exits.isEmpty());

    ctx().failNextSaves(1, "disk I/O error (simulated)");
    quitThroughTheSidebar({"Réessayer"});
    ASSERT_TRUE(testsupport::waitFor([&] { return exits.size() == 1; }));
    EXPECT_EQ(exits, QList<int>{0});
    EXPECT_FALSE(ctx().hasChanges());

    // "Quitter sans enregistrer" ends with a failure code.
    p->setName("Perdu");
    ctx().failNextSaves(100, "disk I/O error (simulated)");
    quitThroughTheSidebar({"Quitter sans enregistrer"});
    ASSERT_TRUE(testsupport::waitFor([&] { return exits.size() == 2; }));
    EXPECT_EQ(exits.last(), 1);
    ctx().failNextSaves(0);
}

TEST_F(ShellTest, LastSaveOnQuitWritesPendingChangesOrTellsThePerson) {
    auto p = project("Pending");
    // An earlier save failed: the change is still pending.
    ctx().failNextSaves(1);
    EXPECT_FALSE(ctx().save());
    EXPECT_TRUE(ctx().hasChanges());
    EXPECT_TRUE(AppDelegate::saveBeforeExit(ctx()));
    EXPECT_FALSE(ctx().hasChanges());
    EXPECT_TRUE(DialogSeam::shownMessages().isEmpty());

    p->setName("Renamed");
    ctx().failNextSaves(1, "disque plein");
    EXPECT_FALSE(AppDelegate::saveBeforeExit(ctx()));
    ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
    const auto& m = DialogSeam::shownMessages().first();
    EXPECT_EQ(m.text, "Les dernières modifications n’ont pas pu être enregistrées.");
    EXPECT_TRUE(m.informativeText.contains("disque plein")) << m.informativeText.toStdString();
    EXPECT_EQ(m.icon, QMessageBox::Critical);
}

// A sync of the log or a preferences write that fails is said as a failed save is, and the strip goes once
// every one of them went through again; what was written stays readable meanwhile.
TEST_F(ShellTest, FailedLogSyncsAndPreferenceWritesShowTheBannerUntilTheyGoThrough) {
    SaveStatusBanner* banner = router()->saveBanner();
    ASSERT_TRUE(banner);
    LogSync* log = ctx().logSync();
    ASSERT_TRUE(log);
    project("Synchronisé");
    testsupport::failLogSyncs(EIO);
    ASSERT_TRUE(ctx().save());
    EXPECT_FALSE(log->flush()) << "a failed sync is not reported as on the disk";
    EXPECT_FALSE(log->isSynced());
    ASSERT_TRUE(testsupport::waitFor([&] { return banner->isVisible(); }));
    EXPECT_TRUE(banner->label()->text().contains("journal")) << banner->label()->text().toStdString();

    // A preferences file whose folder cannot be made, watched by a second strip.
    QTemporaryDir folder;
    QFile blocker(folder.filePath("Tolmek"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Preferences blocked(folder.filePath("Tolmek/Tolmek.conf"));
    SaveStatusBanner prefsBanner(ctx(), blocked);
    blocked.setValue("dashboard.quickNoteNotes", "gardé");
    EXPECT_FALSE(blocked.flush());
    ASSERT_TRUE(testsupport::waitFor([&] { return !prefsBanner.isHidden(); }));
    EXPECT_TRUE(prefsBanner.label()->text().contains("préférences")) << prefsBanner.label()->text().toStdString();
    EXPECT_EQ(blocked.value("dashboard.quickNoteNotes").toString(), "gardé");

    // The log syncs again: the first strip goes; the second still has the preferences to say.
    testsupport::failLogSyncs(0);
    EXPECT_TRUE(log->flush());
    ASSERT_TRUE(testsupport::waitFor([&] { return !banner->isVisible(); }));
    EXPECT_TRUE(prefsBanner.label()->text().contains("préférences"));
    EXPECT_FALSE(prefsBanner.isHidden());

    // The folder can be made again: the value kept is written, and the strip goes.
    ASSERT_TRUE(QFile::remove(folder.filePath("Tolmek")));
    EXPECT_TRUE(blocked.flush());
    ASSERT_TRUE(testsupport::waitFor([&] { return prefsBanner.isHidden(); }));
    EXPECT_EQ(Preferences(blocked.fileName()).value("dashboard.quickNoteNotes").toString(), "gardé");
}
