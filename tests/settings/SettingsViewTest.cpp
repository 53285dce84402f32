#include <QAbstractButton>
#include <QAccessibleEditableTextInterface>
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
#include "support/Accessibility.h"
#include "support/TestServices.h"
#include "support/TestSupport.h"

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
        ts.theme().setTheme(AppTheme::light);
    }
    void TearDown() override { DialogSeam::reset(); }

    Preferences& prefs() { return ts.prefs(); }
    ThemeManager& theme() { return ts.theme(); }
    UserPreferencesStore& profile() { return ts.profile(); }
    const Services& services() { return ts.services(); }

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

    testsupport::TestServices ts;
    QTemporaryDir dir;
};

} // namespace

TEST_F(SettingsViewTest, LayoutPickerWritesThePreferenceAndFollowsItLive) {
    SettingsView view(services());
    view.resize(900, 700);
    view.show();
    auto* picker = view.layoutPicker();
    EXPECT_EQ(picker->currentIndex(), 0);

    QSignalSpy changed(&prefs(), &Preferences::changed);
    QTest::mouseClick(picker->segment(1), Qt::LeftButton);
    EXPECT_EQ(prefs().value(layoutKey).toString(), QStringLiteral("grid"));
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).toString(), layoutKey);
    EXPECT_EQ(picker->currentIndex(), 1);

    // Another screen toggling the entry shows here at once.
    prefs().setValue(layoutKey, QStringLiteral("list"));
    EXPECT_EQ(picker->currentIndex(), 0);

    // Unknown text reads as a list and stays untouched until a choice.
    prefs().setValue(layoutKey, QStringLiteral("tiles"));
    SettingsView again(services());
    EXPECT_EQ(again.layoutPicker()->currentIndex(), 0);
    EXPECT_EQ(prefs().value(layoutKey).toString(), QStringLiteral("tiles"));
    QTest::mouseClick(again.layoutPicker()->segment(0), Qt::LeftButton);
    EXPECT_EQ(prefs().value(layoutKey).toString(), QStringLiteral("list"));
}

TEST_F(SettingsViewTest, ThemePickerChangesTheThemeAtOnce) {
    SettingsView view(services());
    view.show();
    QComboBox* combo = view.themePicker();
    EXPECT_EQ(combo->currentText(), QStringLiteral("Clair"));

    QSignalSpy appearance(&theme(), &ThemeManager::appearanceChanged);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down); // Clair → Sombre
    EXPECT_EQ(theme().theme(), AppTheme::dark);
    EXPECT_TRUE(theme().isDark());
    EXPECT_EQ(prefs().value(QStringLiteral("tolmek.theme")).toString(), QStringLiteral("dark"));
    EXPECT_GE(appearance.count(), 1);

    // The toolbar's cycle shows in the picker.
    theme().setTheme(nextAppTheme(theme().theme()));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Système"));
}

TEST_F(SettingsViewTest, NamesAreStoredAsTypedOnEveryKeystroke) {
    SettingsView view(services());
    view.show();
    QLineEdit* first = view.firstNameField();

    QStringList seen;
    QObject::connect(&profile(), &UserPreferencesStore::profileChanged, first,
                     [&] { seen << profile().profile().firstName; });
    typeText(first, QStringLiteral("Zoé"));
    EXPECT_EQ(seen, (QStringList{"Z", "Zo", "Zoé"}));
    typeText(view.lastNameField(), QStringLiteral(" Martin "));
    EXPECT_EQ(profile().profile().lastName, QStringLiteral(" Martin "));
    EXPECT_TRUE(prefs().value(QString::fromLatin1(UserPreferencesStore::key)).toByteArray().contains("Zo"));

    first->selectAll();
    QTest::keyClick(first, Qt::Key_Backspace);
    EXPECT_EQ(profile().profile().firstName, QString());

    // A change made elsewhere shows in the field.
    profile().setFirstName(QStringLiteral("Ana"));
    EXPECT_EQ(first->text(), QStringLiteral("Ana"));
}

TEST_F(SettingsViewTest, ChoosingAndRemovingAnAvatar) {
    SettingsView view(services());
    view.show();
    ASSERT_TRUE(removeButton(view)->isHidden());
    ASSERT_TRUE(fixtures::twoHalves(4000, 3000, Qt::red, Qt::blue).save(dir.filePath("photo.jpg"), "JPEG", 85));

    choose(view, dir.filePath("photo.jpg"));
    const auto stored = profile().profile().avatarData;
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(QImage::fromData(*stored, "JPEG").size(), QSize(512, 384));
    EXPECT_FALSE(removeButton(view)->isHidden());
    EXPECT_TRUE(view.avatarPicker()->showsImage());

    // Cancelling keeps it.
    DialogSeam::pushFileNames({});
    QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("chooseImageButton")), Qt::LeftButton);
    EXPECT_FALSE(view.avatarPicker()->isConverting());
    EXPECT_EQ(profile().profile().avatarData, stored);

    QTest::mouseClick(removeButton(view), Qt::LeftButton);
    EXPECT_FALSE(profile().profile().avatarData.has_value());
    EXPECT_TRUE(removeButton(view)->isHidden());
    EXPECT_FALSE(view.avatarPicker()->showsImage());
}

TEST_F(SettingsViewTest, FailedConversionsKeepTheCurrentAvatar) {
    const QByteArray current = "not an image, but bytes";
    profile().setAvatarData(current);
    SettingsView view(services());
    view.show();
    // Undecodable stored bytes: placeholder, yet removable.
    EXPECT_FALSE(view.avatarPicker()->showsImage());
    EXPECT_FALSE(removeButton(view)->isHidden());

    fixtures::writeFile(dir.filePath("notes.png"), "texte\n");
    choose(view, dir.filePath("notes.png"));
    EXPECT_EQ(profile().profile().avatarData, current);
    EXPECT_TRUE(view.avatarPicker()->message().isEmpty());

    fixtures::writeFile(dir.filePath("huge.png"), fixtures::pngHeaderOnly(30000, 30000));
    choose(view, dir.filePath("huge.png"));
    EXPECT_EQ(profile().profile().avatarData, current);
    EXPECT_EQ(view.avatarPicker()->message(), QStringLiteral("Image trop grande."));

    // The next action clears the message.
    QTest::mouseClick(removeButton(view), Qt::LeftButton);
    EXPECT_TRUE(view.avatarPicker()->message().isEmpty());
}

TEST_F(SettingsViewTest, ALateConversionDoesNotUndoANewerRemoval) {
    SettingsView view(services());
    view.show();
    ASSERT_TRUE(fixtures::twoHalves(2000, 1500, Qt::red, Qt::blue).save(dir.filePath("p.png"), "PNG"));
    DialogSeam::pushFileName(dir.filePath("p.png"));
    view.avatarPicker()->chooseImage();
    profile().setAvatarData(QByteArray("x"));
    view.avatarPicker()->removeAvatar(); // before the conversion has come back
    ASSERT_TRUE(testsupport::waitFor([&] { return !view.avatarPicker()->isConverting(); }, 10000));
    EXPECT_FALSE(profile().profile().avatarData.has_value());
}

TEST_F(SettingsViewTest, EveryTextAndControlIsReadableThroughAccessibility) {
    profile().setAvatarData(QByteArray("not decodable, but present"));
    SettingsView view(services());
    view.resize(900, 700);
    view.show();
    EXPECT_EQ(testsupport::unnamedAccessibleElements(&view), QStringList());
    const QStringList names = testsupport::accessibleNames(&view);
    for (const char* text : {"Réglages", "Apparence", "Thème", "Clair", "Affichage", "Vue par défaut", "Liste",
                             "Grille", "Profil", "Prénom", "Nom", "Photo de profil",
                             "Formats supportés : PNG, JPEG, HEIC (converti).", "Choisir une image", "Supprimer"})
        EXPECT_TRUE(names.contains(QString::fromUtf8(text))) << text;
    // Fields and pickers are named by their labels, with the right roles.
    EXPECT_NE(testsupport::findAccessible(&view, QStringLiteral("Prénom"), QAccessible::EditableText), nullptr);
    // A combo box reads as its value; its label comes with it as its label relation.
    QAccessibleInterface* combo = testsupport::findAccessible(&view, QStringLiteral("Clair"), QAccessible::ComboBox);
    ASSERT_NE(combo, nullptr);
    QStringList labels;
    for (const auto& [other, relation] : combo->relations(QAccessible::Label))
        labels << other->text(QAccessible::Name);
    EXPECT_EQ(labels, QStringList{QStringLiteral("Thème")});
    EXPECT_NE(testsupport::findAccessible(&view, QStringLiteral("Grille"), QAccessible::RadioButton), nullptr);
    EXPECT_NE(testsupport::findAccessible(&view, QStringLiteral("Profil"), QAccessible::Grouping), nullptr);
}

TEST_F(SettingsViewTest, ChoicesMadeThroughAccessibilityAreStoredLikeClicks) {
    SettingsView view(services());
    view.resize(900, 700);
    view.show();
    // A screen reader toggles "Grille": stored as a click would.
    ASSERT_TRUE(testsupport::pressAccessible(testsupport::findAccessible(&view, QStringLiteral("Grille"))));
    EXPECT_EQ(prefs().value(layoutKey).toString(), QStringLiteral("grid"));
    EXPECT_EQ(view.layoutPicker()->currentIndex(), 1);
    ASSERT_TRUE(testsupport::pressAccessible(testsupport::findAccessible(&view, QStringLiteral("Liste"))));
    EXPECT_EQ(prefs().value(layoutKey).toString(), QStringLiteral("list"));

    // A name set through the accessible text interface is stored as typing is.
    QAccessibleInterface* first =
        testsupport::findAccessible(&view, QStringLiteral("Prénom"), QAccessible::EditableText);
    ASSERT_NE(first, nullptr);
    first->setText(QAccessible::Value, QStringLiteral("Zoé"));
    EXPECT_EQ(profile().profile().firstName, QStringLiteral("Zoé"));
    if (QAccessibleEditableTextInterface* edit = first->editableTextInterface()) {
        edit->insertText(3, QStringLiteral(" A."));
        EXPECT_EQ(profile().profile().firstName, QStringLiteral("Zoé A."));
    }

    // Our own updates of the fields write nothing back.
    QSignalSpy written(&prefs(), &Preferences::changed);
    profile().setLastName(QStringLiteral("Martin"));
    const int afterOwnWrite = int(written.count());
    EXPECT_EQ(view.lastNameField()->text(), QStringLiteral("Martin"));
    theme().setTheme(AppTheme::dark);
    EXPECT_EQ(view.themePicker()->currentText(), QStringLiteral("Sombre"));
    EXPECT_EQ(int(written.count()), afterOwnWrite + 1); // the theme's own key, once
}
