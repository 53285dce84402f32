#include "app/Router.h"

#include "app/Placeholders.h"
#include "app/SaveStatusBanner.h"
#include "app/ShellToolbar.h"
#include "dashboard/DashboardView.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/lists/PagedListScreen.h"
#include "settings/SettingsView.h"
#include "projects/ProjectDocumentsView.h"
#include "projects/ProjectsListView.h"
#include "editor/DocEditorView.h"
#include "board/ChecklistDetailView.h"

#include "ui/KeyboardFocus.h"

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

Router::Router(const Services& services, ShellState* state, std::unique_ptr<DashboardData> dashboardReadAhead,
               QWidget* parent)
    : QWidget(parent), m_services(services), m_state(state), m_dashboardReadAhead(std::move(dashboardReadAhead)) {
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_toolbar = new ShellToolbar(state, m_services.theme, this);
    m_layout->addWidget(m_toolbar);
    m_saveBanner = new SaveStatusBanner(m_services.context, m_services.prefs, this);
    m_layout->addWidget(m_saveBanner);
    connect(&m_services.theme, &ThemeManager::appearanceChanged, this, qOverload<>(&QWidget::update));
    makeCallbacks();
    connect(m_state, &ShellState::changed, this, &Router::sync);
    sync();
}

Router::Screen Router::route(const ShellState& s) {
    switch (s.selection()) {
    case SidebarItem::settings: return Screen::settings;
    case SidebarItem::checklists: return s.selectedChecklistForDetail() ? Screen::checklistDetail : Screen::checklists;
    case SidebarItem::projects:
        if (!s.selectedProjectForDocuments())
            return Screen::projects;
        return s.openedDoc() ? Screen::docEditor : Screen::projectDocuments;
    case SidebarItem::dashboard: return s.openedDoc() ? Screen::docEditor : Screen::dashboard;
    }
    return Screen::dashboard;
}

Router::RouteKey Router::routeKey() const {
    const Screen screen = route(*m_state);
    const void* object = nullptr;
    switch (screen) {
    case Screen::checklistDetail: object = m_state->selectedChecklistForDetail().get(); break;
    case Screen::projectDocuments: object = m_state->selectedProjectForDocuments().get(); break;
    case Screen::docEditor: object = m_state->openedDoc().get(); break;
    default: break;
    }
    // The section is part of the route: an editor opened from the dashboard and one opened from a
    // project are different places.
    return {m_state->selection(), screen, object};
}

void Router::makeCallbacks() {
    ShellState* s = m_state;
    auto& c = m_callbacks;
    c.onCreateChecklist = [s] { s->setPresentingNewChecklist(true); };
    c.onOpenChecklist = [s](const ChecklistPtr& checklist) { s->setSelectedChecklistForDetail(checklist); };
    c.onChecklistBack = [s] { s->setSelectedChecklistForDetail(nullptr); };
    c.onCreateProject = [s] { s->setPresentingNewProject(true); };
    c.onOpenProject = [s](const ProjectPtr& project) { s->setSelectedProjectForDocuments(project); };
    c.onDocumentsBack = [s] { s->setSelectedProjectForDocuments(nullptr); };
    c.onCreateDoc = [s] { s->setPresentingNewDoc(true); };
    c.onOpenDoc = [s](const DocPtr& doc) { s->setOpenedDoc(doc); };
    c.dashboardOnCreateProject = [s] { s->setPresentingNewProject(true); };
    c.dashboardOnOpenProjects = [s] {
        ShellState::Batch batch(*s);
        s->setSelection(SidebarItem::projects);
        s->setSelectedProjectForDocuments(nullptr);
    };
    c.dashboardOnOpenProject = [s](const ProjectPtr& project) {
        ShellState::Batch batch(*s);
        s->setSelection(SidebarItem::projects);
        s->setSelectedProjectForDocuments(project);
    };
    c.dashboardOnOpenDoc = [s](const DocPtr& doc) { s->setOpenedDoc(doc); };
    c.dashboardOnOpenChecklists = [s] {
        ShellState::Batch batch(*s);
        s->setSelection(SidebarItem::checklists);
        s->setSelectedChecklistForDetail(nullptr);
    };
    c.dashboardOnOpenChecklist = [s](const ChecklistPtr& checklist) {
        ShellState::Batch batch(*s);
        s->setSelection(SidebarItem::checklists);
        s->setSelectedChecklistForDetail(checklist);
    };
}

void Router::sync() {
    const RouteKey key = routeKey();
    if (m_key && *m_key == key) {
        if (auto* projects = qobject_cast<ProjectsListView*>(m_screen.data()))
            projects->setRefreshToken(m_state->projectsRefreshToken());
        return;
    }
    m_key = key;
    // A screen opened from the keyboard (a row reached with Tab, then Return) takes the keyboard on its
    // first control; left where it falls, it would land on the sidebar, where Space leaves the screen.
    QWidget* before = QApplication::focusWidget();
    const bool fromKeyboard = KeyboardFocus::keyboardNavigating(this) && before && isAncestorOf(before);
    if (m_screen) {
        // Hidden first so the old screen runs its leaving logic before it goes.
        m_screen->hide();
        m_layout->removeWidget(m_screen);
        m_screen->deleteLater();
    }
    m_screen = build(key.screen);
    ++m_buildCount;
    m_layout->addWidget(m_screen, 1);
    m_screen->show();
    update(); // the band under the toolbar takes the new screen's colour
    if (fromKeyboard)
        QTimer::singleShot(0, m_screen, [this] { focusScreenWhenBuilt(25); });
}

void Router::focusScreenWhenBuilt(int triesLeft) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && m_screen->isAncestorOf(focus))
        return; // the screen placed it itself
    if (auto* board = qobject_cast<ChecklistDetailView*>(m_screen.data())) {
        if (QWidget* start = board->keyboardStart(); start && start->isVisible()) {
            window()->setAttribute(Qt::WA_KeyboardFocusChange);
            start->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    if (KeyboardFocus::focusFirstControl(m_screen) || triesLeft <= 0)
        return;
    // Some screens make their controls in the turns after they show (rows of a page, columns).
    QTimer::singleShot(20, m_screen, [this, triesLeft] { focusScreenWhenBuilt(triesLeft - 1); });
}

QWidget* Router::build(Screen screen) {
    const auto& c = m_callbacks;
    switch (screen) {
    case Screen::settings: return new SettingsView(m_services, this);
    case Screen::checklists: return new ChecklistsListView(m_services, c.onCreateChecklist, c.onOpenChecklist, this);
    case Screen::checklistDetail:
        return new ChecklistDetailView(m_services, m_state->selectedChecklistForDetail(), c.onChecklistBack, this);
    case Screen::projects:
        return new ProjectsListView(m_services, c.onCreateProject, m_state->projectsRefreshToken(), c.onOpenProject,
                                    this);
    case Screen::projectDocuments:
        return new ProjectDocumentsView(m_services, m_state->selectedProjectForDocuments(), c.onDocumentsBack,
                                        c.onCreateDoc, c.onOpenDoc, this);
    case Screen::docEditor: return new ImprovedDocEditorView(m_services, m_state->openedDoc(), this);
    case Screen::dashboard:
        return new DashboardView(m_services, c.dashboardOnCreateProject, c.dashboardOnOpenProjects,
                                 c.dashboardOnOpenProject, c.dashboardOnOpenDoc, c.dashboardOnOpenChecklists,
                                 c.dashboardOnOpenChecklist, m_dashboardReadAhead.release(), this);
    }
    return new QWidget(this);
}

void Router::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // A list screen's own colour (the documents' canvas) runs under the toolbar.
    auto* list = qobject_cast<lists::PagedListScreen*>(m_screen.data());
    p.fillRect(rect(), list ? list->background() : AppPalette::screenBackground());
}
