#pragma once

#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "services/Services.h"
#include "ui/Theme.h"

#include <QTemporaryDir>

#include <memory>

namespace testsupport {

// A private store, preference file, theme manager and profile store, handed to screens as the
// router would. The store is also registered as the current container for code that still asks
// for it globally. Creating it makes the clock tick one second per reading from `base`.
class TestServices {
public:
    explicit TestServices(QDateTime base = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC));
    ~TestServices();

    Services& services() { return *m_services; }
    ModelContext& context() { return m_container->mainContext(); }
    Preferences& prefs() { return *m_prefs; }
    ThemeManager& theme() { return *m_theme; }
    UserPreferencesStore& profile() { return *m_profile; }
    QString storePath() const { return m_dir.path() + "/t.store"; }
    QString dataPath() const { return m_dir.path(); }

    // Closes and opens the store again (what a restart does to the data).
    void reopenStore();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
    Preferences* m_previousPrefs = nullptr;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<ThemeManager> m_theme;
    std::unique_ptr<UserPreferencesStore> m_profile;
    std::unique_ptr<Services> m_services;
    QDateTime m_base;
    int m_ticks = 0;
};

// Deletes the widgets waiting for deleteLater and runs posted events.
void flushEvents();

} // namespace testsupport
