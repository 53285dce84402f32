#pragma once

#include "services/Services.h"

#include "app/ShellState.h"
#include "dashboard/DashboardData.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QVBoxLayout;
class SaveStatusBanner;
class ShellToolbar;

// What the routed screens call to ask the shell to navigate or create something.
struct RouterCallbacks {
    // Checklists screen and board.
    std::function<void()> onCreateChecklist;
    std::function<void(const ChecklistPtr&)> onOpenChecklist;
    std::function<void()> onChecklistBack;
    // Projects screen.
    std::function<void()> onCreateProject;
    std::function<void(const ProjectPtr&)> onOpenProject;
    // Documents screen.
    std::function<void()> onDocumentsBack;
    std::function<void()> onCreateDoc;
    std::function<void(const DocPtr&)> onOpenDoc;
    // Dashboard.
    std::function<void()> dashboardOnCreateProject;
    std::function<void()> dashboardOnOpenProjects;
    std::function<void(const ProjectPtr&)> dashboardOnOpenProject;
    std::function<void(const DocPtr&)> dashboardOnOpenDoc;
    std::function<void()> dashboardOnOpenChecklists;
    std::function<void(const ChecklistPtr&)> dashboardOnOpenChecklist;
};

// The detail column: the toolbar over the screen that the shell's state routes to. A screen is built
// afresh whenever the route changes (section, selected project, checklist or opened document), so its
// own state starts at its defaults; sheet flags and the refresh token do not rebuild it.
class Router : public QWidget {
    Q_OBJECT
public:
    enum class Screen { settings, checklists, checklistDetail, projects, projectDocuments, docEditor, dashboard };

    // `dashboardReadAhead`: what the start read of the store for the dashboard; the first dashboard built
    // takes it over.
    Router(const Services& services, ShellState* state, std::unique_ptr<DashboardData> dashboardReadAhead = {},
           QWidget* parent = nullptr);

    // The screen the state routes to (first matching line wins).
    static Screen route(const ShellState& state);
    QWidget* currentScreen() const { return m_screen; }
    ShellToolbar* toolbar() const { return m_toolbar; }
    // Says under the toolbar that saving fails, while it does.
    SaveStatusBanner* saveBanner() const { return m_saveBanner; }
    const RouterCallbacks& callbacks() const { return m_callbacks; }
    // How many screens have been built (tests).
    int buildCount() const { return m_buildCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct RouteKey {
        SidebarItem section;
        Screen screen;
        const void* object;
        bool operator==(const RouteKey&) const = default;
    };
    RouteKey routeKey() const;
    void makeCallbacks();
    void sync();
    void focusScreenWhenBuilt(int triesLeft);
    QWidget* build(Screen screen);

    Services m_services;
    ShellState* m_state;
    ShellToolbar* m_toolbar;
    SaveStatusBanner* m_saveBanner;
    QVBoxLayout* m_layout;
    QPointer<QWidget> m_screen;
    std::optional<RouteKey> m_key;
    RouterCallbacks m_callbacks;
    std::unique_ptr<DashboardData> m_dashboardReadAhead;
    int m_buildCount = 0;
};
