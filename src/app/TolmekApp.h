#pragma once

#include "dashboard/DashboardData.h"
#include "services/Services.h"

#include <QMainWindow>

class AppShellView;
class QAction;
class QApplication;
class LazyUpdater;

// The application's one window: the shell as content, and the "Tolmek" menu with the update command.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int defaultWidth = 1100, defaultHeight = 720;

    MainWindow(LazyUpdater* updater, const Services& services, std::unique_ptr<DashboardData> dashboardReadAhead = {},
               QWidget* parent = nullptr);
    AppShellView* shell() const { return m_shell; }
    QAction* checkForUpdatesAction() const { return m_checkForUpdates; }
    // Quits as "Quitter" does once confirmed: saves, then ends (or offers to retry when the save fails).
    void quitWithoutAsking();
    // Writes out what the open editors hold, saves the store and waits for the preference file; the window
    // stays. Returns whether everything is saved.
    bool saveEverything();

protected:
    // Closing the window quits like "Quitter": once everything is saved, or as the person chooses.
    void closeEvent(QCloseEvent* event) override;

private:
    Services m_services;
    AppShellView* m_shell;
    QAction* m_checkForUpdates;
};

// French for our texts and for Qt's own dialogs, whatever the system locale.
void installFrenchLocale(QApplication& app);

// The process entry: builds the application, opens the store (or stops), shows the window and runs.
int tolmekMain(int argc, char** argv);
