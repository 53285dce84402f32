#include "ui/Palette.h"
#include "ui/AppStyle.h"
#include "ui/Theme.h"
#include "prefs/Preferences.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QStyle>

#include <gtest/gtest.h>

namespace {

const QString kKey = QStringLiteral("tolmek.theme");

class ThemeTest : public ::testing::Test {
protected:
    void TearDown() override {
        ThemeManager::setSystemDarkForTesting(std::nullopt);
        ThemeManager::shared().setTheme(AppTheme::system);
    }
    testsupport::ScopedPreferences scoped;
};

} // namespace

TEST_F(ThemeTest, CreationReadsTheStoredKeyAndWritesNothing) {
    struct Case {
        std::optional<QString> stored;
        AppTheme theme;
    };
    const Case cases[] = {
        {std::nullopt, AppTheme::system},
        {QStringLiteral("dark"), AppTheme::dark},
        {QStringLiteral("light"), AppTheme::light},
        {QStringLiteral("system"), AppTheme::system},
        {QStringLiteral(""), AppTheme::system},
        {QStringLiteral("Dark"), AppTheme::system},
        {QStringLiteral(" light"), AppTheme::system},
        {QStringLiteral("blue"), AppTheme::system},
    };
    for (const Case& c : cases) {
        Preferences& prefs = scoped.prefs();
        if (c.stored)
            prefs.setValue(kKey, *c.stored);
        else
            prefs.remove(kKey);
        QSignalSpy written(&prefs, &Preferences::changed);
        ThemeManager manager(&prefs);
        EXPECT_EQ(manager.theme(), c.theme) << c.stored.value_or("<none>").toStdString();
        EXPECT_EQ(prefs.contains(kKey), c.stored.has_value());
        EXPECT_EQ(prefs.value(kKey).toString(), c.stored.value_or(QString()));
        EXPECT_EQ(written.count(), 0);
    }
}

TEST_F(ThemeTest, SetThemeWritesAndAnnouncesEveryTime) {
    ThemeManager manager(&scoped.prefs());
    QSignalSpy themeSpy(&manager, &ThemeManager::themeChanged);
    QSignalSpy writes(&scoped.prefs(), &Preferences::changed);
    manager.setTheme(AppTheme::light);
    manager.setTheme(AppTheme::light);
    EXPECT_EQ(themeSpy.count(), 2);
    EXPECT_EQ(writes.count(), 2);
    EXPECT_EQ(scoped.prefs().value(kKey).toString(), "light");
}

TEST_F(ThemeTest, EffectiveAppearanceCombinesChoiceAndSystem) {
    ThemeManager manager(&scoped.prefs());
    QSignalSpy appearance(&manager, &ThemeManager::appearanceChanged);

    // Headless, with nothing forced: light.
    EXPECT_FALSE(manager.systemIsDark());
    EXPECT_FALSE(manager.isDark());

    ThemeManager::setSystemDarkForTesting(true);
    EXPECT_TRUE(manager.isDark());
    ASSERT_EQ(appearance.count(), 1);
    EXPECT_TRUE(appearance.takeFirst().at(0).toBool());

    manager.setTheme(AppTheme::light);
    EXPECT_FALSE(manager.isDark());
    manager.setTheme(AppTheme::dark);
    EXPECT_TRUE(manager.isDark());
    EXPECT_EQ(appearance.count(), 2);

    // A change of the system appearance does not matter while the choice is explicit.
    appearance.clear();
    ThemeManager::setSystemDarkForTesting(false);
    EXPECT_TRUE(manager.isDark());
    EXPECT_EQ(appearance.count(), 0);
    manager.setTheme(AppTheme::system);
    EXPECT_FALSE(manager.isDark());
    EXPECT_EQ(appearance.count(), 1);
}

TEST(PortalValue, ReadsColorSchemeInAnyWrapping) {
    EXPECT_EQ(ThemeManager::darkFromPortalValue(QVariant(1u)), true);
    EXPECT_EQ(ThemeManager::darkFromPortalValue(QVariant(2u)), false);
    EXPECT_EQ(ThemeManager::darkFromPortalValue(QVariant(0u)), false);
    const QVariant once = QVariant::fromValue(QDBusVariant(QVariant(1u)));
    EXPECT_EQ(ThemeManager::darkFromPortalValue(once), true);
    const QVariant twice = QVariant::fromValue(QDBusVariant(once));
    EXPECT_EQ(ThemeManager::darkFromPortalValue(twice), true);
    EXPECT_FALSE(ThemeManager::darkFromPortalValue(QVariant(QStringLiteral("dark"))).has_value());
    EXPECT_FALSE(ThemeManager::darkFromPortalValue(QVariant()).has_value());
}

TEST_F(ThemeTest, ApplyingSetsOurStyleAndPaletteOnEveryChange) {
    ThemeManager::shared().setTheme(AppTheme::light);
    applyAppearance();
    auto* style = qobject_cast<TolmekStyle*>(QApplication::style());
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->baseStyle()->name().toLower(), "fusion");
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), AppPalette::screenBackground(false));
    // The shared manager re-applies by itself when the appearance changes.
    ThemeManager::shared().setTheme(AppTheme::dark);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), AppPalette::screenBackground(true));
    EXPECT_LT(QApplication::palette().color(QPalette::Base).lightnessF(), 0.3);
    EXPECT_GT(QApplication::palette().color(QPalette::Text).lightnessF(), 0.7);
    ThemeManager::shared().setTheme(AppTheme::system);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), AppPalette::screenBackground(false));
}
