#pragma once

#include <QObject>

class QWidget;
class Updater;

// Owns the updater for the whole run and asks it for a quiet check once launching has finished.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr int backgroundCheckDelayMs = 3000;

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    Updater* updater() const { return m_updater; }

    // Schedules the background check, 3.0 seconds later on the GUI thread; nothing runs if the
    // delegate is gone by then.
    void applicationDidFinishLaunching();

    // The last save before the process ends. Every change is normally saved as it is made; this one
    // writes what an earlier failed save left pending. When it fails too, the person is told, with the
    // error, before the process ends. Returns whether everything is saved.
    static bool saveBeforeExit(QWidget* parent = nullptr);

    static const QString unsavedChangesText;

private:
    Updater* m_updater;
};
