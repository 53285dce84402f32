#pragma once

#include <QWidget>

#include "ui/DisplayLayout.h"

#include "services/Services.h"
class QComboBox;
class QLineEdit;
class QScrollArea;
class AvatarPicker;

namespace settingsui {
class SegmentedPicker;
}

// The settings page: theme, default layout of the list screens, and the user profile.
// Every change is stored the moment it is made; there is no save button.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(const Services& services, QWidget* parent = nullptr);
    ~SettingsView() override;

    static constexpr int maxContentWidth = 760;

    // The layout the picker shows for what is stored under "prefs.defaultLayout".
    DisplayLayout storedLayout() const;

    // Parts, for tests and the screen's own wiring.
    QComboBox* themePicker() const { return m_themePicker; }
    settingsui::SegmentedPicker* layoutPicker() const { return m_layoutPicker; }
    QLineEdit* firstNameField() const { return m_firstName; }
    QLineEdit* lastNameField() const { return m_lastName; }
    AvatarPicker* avatarPicker() const { return m_avatarPicker; }
    QWidget* contentColumn() const { return m_column; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void syncTheme();
    void syncLayout();
    void syncProfile();
    void restyle();

    Services m_services;
    // Our own updates of the fields and pickers are not the person's edits.
    bool m_syncing = false;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_column = nullptr;
    QComboBox* m_themePicker = nullptr;
    settingsui::SegmentedPicker* m_layoutPicker = nullptr;
    QLineEdit* m_firstName = nullptr;
    QLineEdit* m_lastName = nullptr;
    AvatarPicker* m_avatarPicker = nullptr;
    QWidget* m_divider = nullptr;
};
