#pragma once

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class Preferences;

namespace testsupport {

// Gives every test program a private preferences file and a private data folder.
class Environment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

// A temporary preferences file installed as Preferences::shared() for one test's lifetime.
class ScopedPreferences {
public:
    ScopedPreferences();
    ~ScopedPreferences();
    Preferences& prefs() { return *m_prefs; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
    Preferences* m_previous = nullptr;
};

// Runs the event loop until `pred` holds or `ms` pass; returns whether it held.
bool waitFor(const std::function<bool()>& pred, int ms = 2000);

// Makes the store's log syncs fail with `error` (0: they go through again) at the call that syncs, after the
// real fdatasync ran, as a write-back error reported once.
void failLogSyncs(int error);

} // namespace testsupport
