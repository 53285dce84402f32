#pragma once

#include "services/Services.h"

#include "app/ShellState.h"

#include <QPointer>
#include <QWidget>

#include <functional>

#include <QDialog>
class QSplitter;
class Router;
class Sidebar;

// The whole content of the window: the sidebar beside the routed screen, the three creation sheets
// and the quit confirmation, all driven by one ShellState.
class AppShellView : public QWidget {
    Q_OBJECT
public:
    explicit AppShellView(const Services& services, QWidget* parent = nullptr);
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

    // What "Quitter" in the quit alert does; by default asks the application to quit.
    void setTerminate(std::function<void()> terminate) { m_terminate = std::move(terminate); }

    static const QString quitTitle;
    static const QString quitMessage;

private:
    void sync();
    void presentSheets();
    void presentQuitAlert();

    Services m_services;
    ShellState* m_state;
    QSplitter* m_splitter;
    Sidebar* m_sidebar;
    Router* m_router;
    QPointer<QDialog> m_newProjectSheet;
    QPointer<QDialog> m_newDocSheet;
    QPointer<QDialog> m_newChecklistSheet;
    bool m_quitAlertShown = false;
    std::function<void()> m_terminate;
};
