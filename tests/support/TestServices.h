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

class AttachmentImports;
class SpellDictionary;
class ThumbnailCache;

namespace testsupport {

// One spelling dictionary for the whole test program (it is read once, on a worker thread).
SpellDictionary& testDictionary();

// A private store, preference file, theme manager, profile store, attachment copies and thumbnail
// cache, handed to screens as the router would (the spelling dictionary is the program's one). The
// store is also registered as the current container for code that still asks for it globally.
// Creating it makes the clock tick one second per reading from `base`.
class TestServices {
public:
    explicit TestServices(QDateTime base = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC));
    ~TestServices();

    Services& services() { return *m_services; }
    ModelContext& context() { return m_container->mainContext(); }
    Preferences& prefs() { return *m_prefs; }
    ThemeManager& theme() { return *m_theme; }
    UserPreferencesStore& profile() { return *m_profile; }
    AttachmentImports& attachments() { return *m_attachments; }
    ThumbnailCache& thumbnails() { return *m_thumbnails; }
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
    std::unique_ptr<AttachmentImports> m_attachments;
    std::unique_ptr<ThumbnailCache> m_thumbnails;
    std::unique_ptr<Services> m_services;
    QDateTime m_base;
    int m_ticks = 0;
};

// Deletes the widgets waiting for deleteLater and runs posted events.
void flushEvents();

} // namespace testsupport
