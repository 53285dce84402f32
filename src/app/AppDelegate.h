#pragma once

#include <QObject>

class LazyUpdater;
class ModelContext;
class QWidget;

// Owns the update check for the whole run and asks it for a quiet check once launching has finished.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr int backgroundCheckDelayMs = 3000;

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    LazyUpdater* updater() const { return m_updater; }

    // Schedules the background check, 3.0 seconds later on the GUI thread; nothing runs if the
    // delegate is gone by then.
    void applicationDidFinishLaunching();

    // The last save before the process ends, for an end that did not go through the window's own
    // quit (which saves first and lets the person choose when that fails). Every change is normally
    // saved as it is made; this one writes what an earlier failed save left pending. When it fails
    // too, the person is told, with the error, before the process ends. Returns whether everything is saved.
    static bool saveBeforeExit(ModelContext& context, QWidget* parent = nullptr);

    static const QString unsavedChangesText;

private:
    LazyUpdater* m_updater;
};
