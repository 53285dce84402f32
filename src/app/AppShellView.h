#pragma once

#include "ui/DialogSeam.h"

#include "services/Services.h"

#include "app/ShellState.h"
#include "dashboard/DashboardData.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include <QDialog>
class QSplitter;
class Router;
class Sidebar;

// The whole content of the window: the sidebar beside the routed screen, the three creation sheets
// and the quit confirmation, all driven by one ShellState.
class AppShellView : public QWidget {
    Q_OBJECT
public:
    // The narrowest a routed screen gets: the dashboard's header (avatar, greeting and the three counters)
    // and the checklists' header keep their texts whole at this width. The sidebar gives way to it.
    static constexpr int screenMinimumWidth = 620;
    // The smallest window: the sidebar at its usual width beside the narrowest screen, and tall enough
    // for a sheet's header and footer around a few rows of its body.
    static constexpr QSize minimumWindowSize{900, 600};

    // `dashboardReadAhead`: handed to the router (see Router).
    explicit AppShellView(const Services& services, std::unique_ptr<DashboardData> dashboardReadAhead = {},
                          QWidget* parent = nullptr);
    ~AppShellView() override;

    ShellState& state() { return *m_state; }
    Sidebar* sidebar() const { return m_sidebar; }
    Router* router() const { return m_router; }
    QSplitter* splitter() const { return m_splitter; }

    // The sheets currently shown (null when closed).
    QDialog* newProjectSheet() const { return m_newProjectSheet; }
    QDialog* newDocSheet() const { return m_newDocSheet; }
    QDialog* newChecklistSheet() const { return m_newChecklistSheet; }

    // Resizes the sidebar column within its limits (220 to 360).
    void setSidebarWidth(int width);

    // Ends the application with `exitCode`; by default asks the event loop to exit with it.
    void setTerminate(std::function<void(int exitCode)> terminate) { m_terminate = std::move(terminate); }

    // Quits once everything is saved (exit code 0). When the last save fails the window stays and the
    // person chooses: try again, go back to the window, or quit without saving (exit code 1).
    void quitWhenSaved();

    static const QString quitTitle;
    static const QString quitMessage;
    static const QString unsavedAdvice;
    // The alert that asks before quitting (Return and Escape cancel).
    static DialogSeam::Message quitAlert();

private:
    void sync();
    void presentSheets();
    void presentQuitAlert();
    void presentUnsavedAlert(const QString& error);

    Services m_services;
    ShellState* m_state;
    QSplitter* m_splitter;
    Sidebar* m_sidebar;
    Router* m_router;
    QPointer<QDialog> m_newProjectSheet;
    QPointer<QDialog> m_newDocSheet;
    QPointer<QDialog> m_newChecklistSheet;
    bool m_quitAlertShown = false;
    bool m_unsavedAlertShown = false;
    std::function<void(int)> m_terminate;
};
