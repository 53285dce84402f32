#pragma once

#include "app/AppShellView.h"
#include "app/Router.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "app/ShellToolbar.h"
#include "app/Sidebar.h"
#include "cardsheet/AttachmentJobs.h"
#include "ui/Theme.h"
#include "core/model/SwiftDataContainer.h"
#include "core/store/ModelContext.h"
#include "ui/DialogSeam.h"
#include "support/TestServices.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// A shown shell over a fresh store and fresh preferences; dialogs answered by the seam.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString err;
        container = openModelContainer(dir.path() + "/Tolmek/default.store", &err);
        ASSERT_TRUE(container) << err.toStdString();
        ThemeManager::setSystemDarkForTesting(false);
        ThemeManager::shared().setTheme(AppTheme::system);
        DialogSeam::reset();
        DialogSeam::setNonInteractive(true);
        profile = std::make_unique<UserPreferencesStore>(Preferences::shared());
        services = std::make_unique<Services>(Services{ctx(), Preferences::shared(), ThemeManager::shared(), *profile,
                                                       testsupport::testDictionary(), attachments, thumbnails});
        shell = std::make_unique<AppShellView>(*services);
        shell->resize(1100, 720);
        shell->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(shell.get()));
    }
    void TearDown() override {
        closeSheets();
        shell.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DialogSeam::reset();
    }

    void closeSheets() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
                d->reject();
        QCoreApplication::processEvents();
    }

    ModelContext& ctx() { return container->mainContext(); }
    std::unique_ptr<UserPreferencesStore> profile;
    AttachmentImports attachments;
    ThumbnailCache thumbnails;
    std::unique_ptr<Services> services;
    ShellState& state() { return shell->state(); }
    Router* router() { return shell->router(); }
    ShellToolbar* toolbar() { return router()->toolbar(); }
    Sidebar* sidebar() { return shell->sidebar(); }

    static QDateTime at(int seconds) { return QDateTime::fromSecsSinceEpoch(1'700'000'000 + seconds, Qt::UTC); }
    ProjectPtr project(const QString& name) {
        auto p = std::make_shared<Project>(
            ProjectFields{.name = name, .iconName = "folder", .createdAt = at(0), .updatedAt = at(0)});
        ctx().insert(p);
        return p;
    }
    DocPtr doc(const ProjectPtr& p, const QString& title) {
        auto d = std::make_shared<Doc>(DocFields{.title = title,
                                                 .statusRaw = "in_progress",
                                                 .iconName = "doc.text",
                                                 .createdAt = at(0),
                                                 .updatedAt = at(0),
                                                 .project = p});
        ctx().insert(d);
        return d;
    }
    ChecklistPtr checklist(const QString& name) {
        auto c = std::make_shared<Checklist>(
            ChecklistFields{.name = name, .iconName = "checklist", .createdAt = at(0), .updatedAt = at(0)});
        ctx().insert(c);
        return c;
    }

    // Clicks the middle of a sidebar row, as a person would.
    void clickRow(SidebarItem item) {
        SidebarNavRow* row = sidebar()->row(item);
        QTest::mouseClick(row, Qt::LeftButton, {}, row->shapeRect().center());
    }
    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center()); }

    QTemporaryDir dir;
    testsupport::ScopedPreferences prefs;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<AppShellView> shell;
};
