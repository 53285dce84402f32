#include "app/AppDelegate.h"
#include "app/AppShellView.h"
#include "app/TolmekApp.h"
#include "cardsheet/AttachmentJobs.h"
#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"
#include "core/model/UserProfile.h"
#include "core/store/ModelContext.h"
#include "prefs/Preferences.h"
#include "support/TestServices.h"
#include "support/TestSupport.h"
#include "ui/DialogSeam.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QFile>
#include <QSessionManager>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A desktop's "save session" asks the application to save: everything is saved (the store, the preference file)
// and the window stays. A logout then ends the run through the session manager's quit, as "Quitter" would.
TEST(AppSession, ASaveRequestSavesEverythingAndTheRunGoesOn) {
    testsupport::ScopedPreferences prefs;
    QTemporaryDir dir;
    DialogSeam::reset();
    DialogSeam::setNonInteractive(true);
    QString err;
    auto container = openModelContainer(dir.path() + "/t.store", &err);
    ASSERT_TRUE(container) << err.toStdString();
    ModelContext& ctx = container->mainContext();
    AppDelegate delegate;
    AttachmentImports attachments;
    ThumbnailCache thumbnails;
    UserPreferencesStore profile(prefs.prefs());
    Services services{ctx,         prefs.prefs(), ThemeManager::shared(), profile, testsupport::testDictionary(),
                      attachments, thumbnails};
    MainWindow window(delegate.updater(), services);
    QList<int> exits;
    window.shell()->setTerminate([&](int code) { exits << code; });
    delegate.quitOnTerminationRequests(
        &window, [&window] { window.quitWithoutAsking(); }, [&window] { window.saveEverything(); });
    window.show();
    ctx.insert(std::make_shared<Project>(ProjectFields{.name = "Avant la sauvegarde", .iconName = "folder"}));
    prefs.prefs().setValue("prefs.defaultLayout", QStringLiteral("grid"));

    auto* manager = qApp->findChild<QSessionManager*>();
    ASSERT_TRUE(manager);
    emit qApp->commitDataRequest(*manager);
    EXPECT_FALSE(ctx.hasChanges());
    QFile file(prefs.prefs().fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("prefs.defaultLayout=grid"));
    testsupport::flushEvents();
    EXPECT_TRUE(exits.isEmpty()) << "the run goes on";
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(delegate.terminationRequests(), 0);

    // Logout: the session manager's quit closes the window, which ends the run once saved.
    ctx.insert(std::make_shared<Project>(ProjectFields{.name = "Avant la fin", .iconName = "folder"}));
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    ASSERT_TRUE(testsupport::waitFor([&] { return !exits.isEmpty(); }));
    EXPECT_EQ(exits, QList<int>{0});
    EXPECT_FALSE(ctx.hasChanges());
    DialogSeam::reset();
}
