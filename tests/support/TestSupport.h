#pragma once

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class Preferences;
class QWidget;

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

// The focus indicator of `control`, given the keyboard as Tab gives it in its shown window, measured on the
// window's pixels through the middle of the left edge of `frame` (the control itself when null: else what
// draws its box): the ring's inner pixel (1 px in) against the pixel just outside and the one 2 px in.
struct FocusContrast {
    double outside = 0;
    double inside = 0;
};
FocusContrast focusRingContrast(QWidget* control, QWidget* frame = nullptr);

} // namespace testsupport
