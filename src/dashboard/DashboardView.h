#pragma once

#include "core/model/Models.h"
#include "dashboard/DashboardWidgets.h"
#include "dashboard/QuickNote.h"
#include "services/Services.h"

#include <QPointer>
#include "richtext/RichTextBlockEditor.h"
#include "ui/Components.h"
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class DashboardData;
class QAction;
class QMenu;
class FlowScrollArea;
class QToolButton;
class QVBoxLayout;
class StatusBadge;

namespace lists {
class ClampedText;
class ShadowHost;
class AdaptiveGridLayout;
} // namespace lists

// The start screen: the greeting beside the avatar and the three status counters, the documents of a
// chosen status, the recent projects, and the modules (quick note, recent checklists). It never
// navigates by itself: every move goes through the callbacks the router hands in. It changes no model
// object; it writes only its three preference entries.
class DashboardView : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* showQuickNoteKey = "dashboard.showQuickNote";
    static constexpr const char* showChecklistKey = "dashboard.showChecklist";
    static constexpr int panelLimit = 12;
    static constexpr int recentLimit = 4;

    // `readAhead`: what the start already read of the store (made on services.context); the view takes it
    // over rather than reading again.
    DashboardView(const Services& services, std::function<void()> onCreateProject, std::function<void()> onOpenProjects,
                  std::function<void(const ProjectPtr&)> onOpenProject, std::function<void(const DocPtr&)> onOpenDoc,
                  std::function<void()> onOpenChecklists, std::function<void(const ChecklistPtr&)> onOpenChecklist,
                  DashboardData* readAhead = nullptr, QWidget* parent = nullptr);
    ~DashboardView() override;

    // Kept for the router's contract; the dashboard itself never creates a project.
    const std::function<void()>& onCreateProject() const { return m_onCreateProject; }

    // The status whose documents the panel lists; none hides the panel.
    std::optional<DocStatus> expandedStatus() const { return m_expandedStatus; }
    // The same status again hides the panel; another one shows that one's documents.
    void toggleExpandedStatus(DocStatus status);

    bool showQuickNote() const;
    bool showChecklist() const;
    void setShowQuickNote(bool on);
    void setShowChecklist(bool on);

    // The quick note's editor writes out its formatted text, then the note is stored.
    void flushQuickNote();
    const QuickNote& quickNote() const { return m_note; }

    // Parts, for tests and screenshots.
    FlowScrollArea* scrollArea() const { return m_scroll; }
    QString greetingText() const;
    dashboard::DashboardAvatarLarge* avatar() const { return m_avatar; }
    dashboard::MetricOrb* orb(DocStatus status) const;
    AppCard* statusPanel() const { return m_panel; }
    QString panelTitleText() const;
    QString panelCountText() const;
    QString panelEmptyText() const;
    std::vector<dashboard::DocRowLine*> panelRows() const;
    std::vector<dashboard::DashboardProjectCard*> projectCards() const;
    dashboard::DashboardSeeMoreCard* projectsSeeMore() const { return m_projectsMore; }
    std::vector<dashboard::DashboardChecklistCard*> checklistCards() const;
    dashboard::DashboardSeeMoreCard* checklistsSeeMore() const { return m_checklistsMore; }
    QWidget* checklistsModule() const { return m_checklistsModule; }
    // Whether the two modules stand side by side (the window is wide enough) or one above the other.
    bool modulesSideBySide() const;
    dashboard::DashboardAccordion* quickNoteAccordion() const { return m_accordion; }
    RichTextBlockEditor* quickNoteEditor() const { return m_editor; }
    QToolButton* modulesButton() const { return m_modulesButton; }
    QAction* quickNoteToggle() const { return m_quickNoteAction; }
    QAction* checklistToggle() const { return m_checklistAction; }
    DashboardData* data() const { return m_data; }

protected:
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* buildHeader();
    QLayout* buildRecentProjects();
    QLayout* buildModules();
    QWidget* buildChecklistsModule();
    QWidget* buildQuickNoteEditor();
    void syncModules();
    void refreshHeader();
    void refreshCounts();
    void refreshPanel();
    void refreshProjects();
    void refreshChecklists();
    void refreshAppearance();

    Services m_services;
    std::function<void()> m_onCreateProject;
    std::function<void()> m_onOpenProjects;
    std::function<void(const ProjectPtr&)> m_onOpenProject;
    std::function<void(const DocPtr&)> m_onOpenDoc;
    std::function<void()> m_onOpenChecklists;
    std::function<void(const ChecklistPtr&)> m_onOpenChecklist;

    DashboardData* m_data;
    std::optional<DocStatus> m_expandedStatus;
    QuickNote m_note;
    bool m_forceSaveQuickNoteRTF = false;

    FlowScrollArea* m_scroll;
    lists::ShadowHost* m_content;
    QVBoxLayout* m_main;
    dashboard::DashboardAvatarLarge* m_avatar = nullptr;
    lists::ClampedText* m_greeting = nullptr;
    std::vector<dashboard::MetricOrb*> m_orbs;

    QPointer<AppCard> m_panel;
    QPointer<dashboard::Reveal> m_panelReveal;
    QWidget* m_panelBox = nullptr;
    StatusBadge* m_panelBadge = nullptr;
    dashboard::DashLabel* m_panelTitle = nullptr;
    dashboard::DashLabel* m_panelCount = nullptr;
    dashboard::DashLabel* m_panelEmpty = nullptr;
    QWidget* m_panelList = nullptr;
    std::vector<dashboard::DocRowLine*> m_rows;
    std::vector<QWidget*> m_rowDividers;

    lists::AdaptiveGridLayout* m_projectsGrid = nullptr;
    std::vector<dashboard::DashboardProjectCard*> m_projectCards;
    dashboard::DashboardSeeMoreCard* m_projectsMore = nullptr;

    QLayout* m_modulesGrid = nullptr;
    QToolButton* m_modulesButton = nullptr;
    QMenu* m_modulesMenu = nullptr;
    QAction* m_quickNoteAction = nullptr;
    QAction* m_checklistAction = nullptr;
    QPointer<dashboard::DashboardAccordion> m_accordion;
    QPointer<RichTextBlockEditor> m_editor;
    QPointer<QWidget> m_checklistsModule;
    lists::AdaptiveGridLayout* m_checklistsGrid = nullptr;
    std::vector<dashboard::DashboardChecklistCard*> m_checklistCards;
    dashboard::DashboardSeeMoreCard* m_checklistsMore = nullptr;
};
