#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "support/ImageFixtures.h"
#include "ui/Theme.h"
#include "settings/AvatarPicker.h"
#include "ui/DisplayLayout.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWidgets.h"
#include "prefs/Preferences.h"
#include "core/model/UserProfile.h"
#include "ui/DialogSeam.h"
#include "support/TestSupport.h"

using settingsui::SettingsCard;

namespace {

// Types like a person, one key event per character (accents included).
void typeText(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

const QString layoutKey = QString::fromLatin1(DisplayLayouts::preferenceKey);

class SettingsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        DialogSeam::reset();
        DialogSeam::setNonInteractive(true);
        Preferences::shared().remove(layoutKey);
        ThemeManager::shared().setTheme(AppTheme::light);
        UserPreferencesStore::shared().setProfile(UserProfile{});
    }
    void TearDown() override {
        DialogSeam::reset();
        ThemeManager::shared().setTheme(AppTheme::system);
    }

    // Picks `path` in the file dialog through the visible button, and waits for the conversion.
    void choose(SettingsView& view, const QString& path) {
        DialogSeam::pushFileName(path);
        auto* button = view.findChild<QPushButton*>(QStringLiteral("chooseImageButton"));
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(testsupport::waitFor([&] { return !view.avatarPicker()->isConverting(); }, 10000));
    }
    QPushButton* removeButton(SettingsView& view) {
        return view.findChild<QPushButton*>(QStringLiteral("removeAvatarButton"));
    }

    QTemporaryDir dir;
};

} // namespace

TEST(DisplayLayoutTest, RawValuesAndStoredReading) {
    DisplayLayout l = DisplayLayout::grid;
    EXPECT_TRUE(DisplayLayouts::fromRawValue(QStringLiteral("list"), &l));
    EXPECT_EQ(l, DisplayLayout::list);
    EXPECT_FALSE(DisplayLayouts::fromRawValue(QStringLiteral("Grid"), &l));
    EXPECT_FALSE(DisplayLayouts::fromRawValue(QStringLiteral(" grid"), &l));
    EXPECT_EQ(DisplayLayouts::fromStored(QStringLiteral("grid")), DisplayLayout::grid);
    for (const char* other : {"", "list", "tiles", "GRID"})
        EXPECT_EQ(DisplayLayouts::fromStored(QString::fromLatin1(other)), DisplayLayout::list) << other;
}

TEST_F(SettingsViewTest, LayoutPickerWritesThePreferenceAndFollowsItLive) {
    SettingsView view;
    view.resize(900, 700);
    view.show();
    auto* picker = view.layoutPicker();
    EXPECT_EQ(picker->currentIndex(), 0);
    EXPECT_EQ(picker->segment(0)->text(), QStringLiteral("Liste"));
    EXPECT_EQ(picker->segment(1)->text(), QStringLiteral("Grille"));

    QSignalSpy changed(&Preferences::shared(), &Preferences::changed);
    QTest::mouseClick(picker->segment(1), Qt::LeftButton);
    EXPECT_EQ(Preferences::shared().value(layoutKey).toString(), QStringLiteral("grid"));
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).toString(), layoutKey);
    EXPECT_EQ(picker->currentIndex(), 1);

    // Another screen toggling the entry shows here at once.
    Preferences::shared().setValue(layoutKey, QStringLiteral("list"));
    EXPECT_EQ(picker->currentIndex(), 0);

    // Unknown text reads as a list and stays untouched until a choice.
    Preferences::shared().setValue(layoutKey, QStringLiteral("tiles"));
    SettingsView again;
    EXPECT_EQ(again.layoutPicker()->currentIndex(), 0);
    EXPECT_EQ(Preferences::shared().value(layoutKey).toString(), QStringLiteral("tiles"));
    QTest::mouseClick(again.layoutPicker()->segment(0), Qt::LeftButton);
    EXPECT_EQ(Preferences::shared().value(layoutKey).toString(), QStringLiteral("list"));
}

TEST_F(SettingsViewTest, ThemePickerChangesTheThemeAtOnce) {
    SettingsView view;
    view.show();
    QComboBox* combo = view.themePicker();
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Système"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Clair"));
    EXPECT_EQ(combo->itemText(2), QStringLiteral("Sombre"));
    EXPECT_EQ(combo->width(), 180);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Clair"));

    QSignalSpy appearance(&ThemeManager::shared(), &ThemeManager::appearanceChanged);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down); // Clair → Sombre
    EXPECT_EQ(ThemeManager::shared().theme(), AppTheme::dark);
    EXPECT_TRUE(ThemeManager::shared().isDark());
    EXPECT_EQ(Preferences::shared().value(QStringLiteral("tolmek.theme")).toString(), QStringLiteral("dark"));
    EXPECT_GE(appearance.count(), 1);

    // The toolbar's cycle shows in the picker.
    ThemeManager::shared().setTheme(nextAppTheme(ThemeManager::shared().theme()));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Système"));
}

TEST_F(SettingsViewTest, NamesAreStoredAsTypedOnEveryKeystroke) {
    SettingsView view;
    view.show();
    QLineEdit* first = view.firstNameField();
    EXPECT_EQ(first->placeholderText(), QStringLiteral("Prénom"));
    EXPECT_EQ(view.lastNameField()->placeholderText(), QStringLiteral("Nom"));

    QStringList seen;
    QObject::connect(&UserPreferencesStore::shared(), &UserPreferencesStore::profileChanged, first,
                     [&] { seen << UserPreferencesStore::shared().profile().firstName; });
    typeText(first, QStringLiteral("Zoé"));
    EXPECT_EQ(seen, (QStringList{"Z", "Zo", "Zoé"}));
    typeText(view.lastNameField(), QStringLiteral(" Martin "));
    EXPECT_EQ(UserPreferencesStore::shared().profile().lastName, QStringLiteral(" Martin "));
    EXPECT_TRUE(Preferences::shared().value(QString::fromLatin1(UserPreferencesStore::key)).toByteArray().contains("Zo"));

    first->selectAll();
    QTest::keyClick(first, Qt::Key_Backspace);
    EXPECT_EQ(UserPreferencesStore::shared().profile().firstName, QString());

    // A change made elsewhere shows in the field.
    UserPreferencesStore::shared().setFirstName(QStringLiteral("Ana"));
    EXPECT_EQ(first->text(), QStringLiteral("Ana"));
}

TEST_F(SettingsViewTest, CardsInOrderWithinTheWidthLimit) {
    SettingsView view;
    view.resize(1400, 900);
    view.show();
    QTest::qWait(1);
    QList<SettingsCard*> cards = view.findChildren<SettingsCard*>();
    std::sort(cards.begin(), cards.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
    QStringList titles;
    for (auto* c : cards)
        titles << c->title();
    EXPECT_EQ(titles, (QStringList{"Apparence", "Affichage", "Profil"}));
    EXPECT_EQ(view.contentColumn()->width(), 760);
    EXPECT_EQ(view.contentColumn()->mapTo(&view, QPoint(0, 0)), QPoint(22, 18));
    EXPECT_EQ(view.layoutPicker()->width(), 220);
}

TEST_F(SettingsViewTest, ChoosingAndRemovingAnAvatar) {
    SettingsView view;
    view.show();
    ASSERT_TRUE(removeButton(view)->isHidden());
    ASSERT_TRUE(fixtures::twoHalves(4000, 3000, Qt::red, Qt::blue).save(dir.filePath("photo.jpg"), "JPEG", 85));

    choose(view, dir.filePath("photo.jpg"));
    const auto stored = UserPreferencesStore::shared().profile().avatarData;
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(QImage::fromData(*stored, "JPEG").size(), QSize(512, 384));
    EXPECT_FALSE(removeButton(view)->isHidden());
    EXPECT_TRUE(view.avatarPicker()->showsImage());

    // Cancelling keeps it.
    DialogSeam::pushFileNames({});
    QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("chooseImageButton")), Qt::LeftButton);
    EXPECT_FALSE(view.avatarPicker()->isConverting());
    EXPECT_EQ(UserPreferencesStore::shared().profile().avatarData, stored);

    QTest::mouseClick(removeButton(view), Qt::LeftButton);
    EXPECT_FALSE(UserPreferencesStore::shared().profile().avatarData.has_value());
    EXPECT_TRUE(removeButton(view)->isHidden());
    EXPECT_FALSE(view.avatarPicker()->showsImage());
}

TEST_F(SettingsViewTest, FailedConversionsKeepTheCurrentAvatar) {
    const QByteArray current = "not an image, but bytes";
    UserPreferencesStore::shared().setAvatarData(current);
    SettingsView view;
    view.show();
    // Undecodable stored bytes: placeholder, yet removable.
    EXPECT_FALSE(view.avatarPicker()->showsImage());
    EXPECT_FALSE(removeButton(view)->isHidden());

    fixtures::writeFile(dir.filePath("notes.png"), "texte\n");
    choose(view, dir.filePath("notes.png"));
    EXPECT_EQ(UserPreferencesStore::shared().profile().avatarData, current);
    EXPECT_TRUE(view.avatarPicker()->message().isEmpty());

    fixtures::writeFile(dir.filePath("huge.png"), fixtures::pngHeaderOnly(30000, 30000));
    choose(view, dir.filePath("huge.png"));
    EXPECT_EQ(UserPreferencesStore::shared().profile().avatarData, current);
    EXPECT_EQ(view.avatarPicker()->message(), QStringLiteral("Image trop grande."));

    // The next action clears the message.
    QTest::mouseClick(removeButton(view), Qt::LeftButton);
    EXPECT_TRUE(view.avatarPicker()->message().isEmpty());
}

TEST_F(SettingsViewTest, ALateConversionDoesNotUndoANewerRemoval) {
    SettingsView view;
    view.show();
    ASSERT_TRUE(fixtures::twoHalves(2000, 1500, Qt::red, Qt::blue).save(dir.filePath("p.png"), "PNG"));
    DialogSeam::pushFileName(dir.filePath("p.png"));
    view.avatarPicker()->chooseImage();
    UserPreferencesStore::shared().setAvatarData(QByteArray("x"));
    view.avatarPicker()->removeAvatar(); // before the conversion has come back
    ASSERT_TRUE(testsupport::waitFor([&] { return !view.avatarPicker()->isConverting(); }, 10000));
    EXPECT_FALSE(UserPreferencesStore::shared().profile().avatarData.has_value());
}

// Renders the screen in both appearances when TOLMEK_RENDER_DIR is set (for looking at it).
TEST_F(SettingsViewTest, RenderLightAndDark) {
    const QString out = qEnvironmentVariable("TOLMEK_RENDER_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "set TOLMEK_RENDER_DIR to render";
    ASSERT_TRUE(fixtures::twoHalves(800, 600, QColor(240, 160, 60), QColor(60, 120, 200)).save(dir.filePath("a.png")));
    UserPreferencesStore::shared().setFirstName(QStringLiteral("Zoé"));
    for (AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        ThemeManager::shared().setTheme(theme);
        SettingsView view;
        view.resize(1000, 640);
        view.show();
        QTest::qWait(20);
        view.grab().save(out + (theme == AppTheme::dark ? "/settings-dark.png" : "/settings-light.png"));
        choose(view, dir.filePath("a.png"));
        QTest::qWait(20);
        view.grab().save(out + (theme == AppTheme::dark ? "/settings-dark-avatar.png" : "/settings-light-avatar.png"));
        UserPreferencesStore::shared().setAvatarData(std::nullopt);
    }
}
