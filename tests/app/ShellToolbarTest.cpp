#include "ShellFixture.h"

#include "app/AppDelegate.h"
#include "prefs/Preferences.h"

TEST_F(ShellTest, ThemeToggleCyclesAndStoresEachPress) {
    ToolbarIconButton* toggle = toolbar()->themeButton();
    EXPECT_EQ(toggle->symbol(), "circle.lefthalf.filled");
    const struct {
        AppTheme theme;
        const char* stored;
        const char* symbol;
        bool dark;
    } presses[] = {{AppTheme::light, "light", "sun.max.fill", false},
                   {AppTheme::dark, "dark", "moon.stars.fill", true},
                   {AppTheme::system, "system", "circle.lefthalf.filled", false}};
    for (const auto& press : presses) {
        SCOPED_TRACE(press.stored);
        click(toggle);
        EXPECT_EQ(ThemeManager::shared().theme(), press.theme);
        EXPECT_EQ(Preferences::shared().value("tolmek.theme").toString(), press.stored);
        EXPECT_EQ(toggle->symbol(), press.symbol);
        EXPECT_EQ(ThemeManager::shared().isDark(), press.dark);
    }
}

TEST_F(ShellTest, IconOnlyButtonsCarryTheirLabels) {
    EXPECT_EQ(toolbar()->createButton()->accessibleName(), "Nouveau projet");
    EXPECT_EQ(toolbar()->themeButton()->accessibleName(), "Thème");
    EXPECT_EQ(toolbar()->accountButton()->accessibleName(), "Compte");
    EXPECT_EQ(sidebar()->quitButton()->accessibleName(), "Quitter");

    auto d = doc(project("Alpha"), "Spéc");
    router()->callbacks().dashboardOnOpenDoc(d);
    EXPECT_EQ(toolbar()->backButton()->accessibleName(), "Retour au tableau de bord");
}

TEST_F(ShellTest, BackButtonAbsentWithNothingOpen) {
    for (SidebarItem item : SidebarItemInfo::allCases()) {
        clickRow(item);
        EXPECT_FALSE(toolbar()->backButton()->isVisible()) << SidebarItemInfo::rawValue(item).toStdString();
    }
}

TEST_F(ShellTest, QuitAlertCancelKeepsEverythingAndQuitTerminates) {
    int terminated = 0;
    shell->setTerminate([&](int exitCode) {
        EXPECT_EQ(exitCode, 0);
        ++terminated;
    });
    clickRow(SidebarItem::projects);

    DialogSeam::pushAnswer("Annuler");
    click(sidebar()->quitButton());
    EXPECT_TRUE(state().isConfirmingQuit());
    ASSERT_TRUE(testsupport::waitFor([&] { return !state().isConfirmingQuit(); }));
    ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
    const auto& m = DialogSeam::shownMessages().first();
    EXPECT_EQ(m.text, "Quitter Tolmek ?");
    EXPECT_EQ(m.informativeText, "Toute modification non enregistrée sera perdue.");
    ASSERT_EQ(m.buttons.size(), 2);
    EXPECT_EQ(m.buttons[0].text, "Annuler");
    EXPECT_EQ(m.buttons[0].role, QMessageBox::RejectRole);
    EXPECT_EQ(m.buttons[1].text, "Quitter");
    EXPECT_EQ(m.buttons[1].role, QMessageBox::DestructiveRole);
    EXPECT_EQ(DialogSeam::escapeIndex(m), 0);
    EXPECT_EQ(terminated, 0);
    EXPECT_EQ(state().selection(), SidebarItem::projects);

    DialogSeam::pushAnswer("Quitter");
    click(sidebar()->quitButton());
    ASSERT_TRUE(testsupport::waitFor([&] { return terminated == 1; }));
    EXPECT_FALSE(state().isConfirmingQuit());
}
