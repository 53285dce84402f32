#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

#include <functional>

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

    // When the system asks the process to end (SIGTERM, SIGINT or SIGHUP: logout, shutdown, `kill`), runs
    // `quit` on the GUI thread: the window's own quit, without asking, so that what the editors hold is
    // written and saved. A second request while the first is still under way (a failed save waiting for an
    // answer) ends the run at once with exit code 1. The session manager's request to save (a desktop's
    // "save session", and the first step of a logout) runs `save` and the run goes on: a logout ends it
    // afterwards through the session manager's own quit, which closes the window as the person would.
    // Both run only while `window` lives: once it is destroyed, the watch is disarmed and a request
    // reaches nothing (the run is ending anyway).
    void quitOnTerminationRequests(QObject* window, std::function<void()> quit, std::function<void()> save = {});
    bool watchesTermination() const { return m_signalNotifier && m_signalNotifier->isEnabled() && m_quitContext; }
    int terminationRequests() const { return m_terminationRequests; }

private:
    void onTerminationRequest();
    void onSessionSaveRequest();
    void disarm();

    LazyUpdater* m_updater;
    std::function<void()> m_quit;
    std::function<void()> m_save;
    QPointer<QObject> m_quitContext;
    QSocketNotifier* m_signalNotifier = nullptr;
    int m_terminationRequests = 0;
};
