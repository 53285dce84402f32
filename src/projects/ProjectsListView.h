#pragma once

#include "core/model/Models.h"
#include "projects/ProjectEdits.h"
#include "services/Services.h"
#include "ui/lists/PagedListScreen.h"

#include <functional>
#include <vector>

// The "Projets" screen: every project, newest first, searched by name or description, paged, as
// rows or cards; a project is opened, edited in a sheet, or deleted after a confirmation.
class ProjectsListView : public lists::PagedListScreen {
    Q_OBJECT
public:
    ProjectsListView(const Services& services, std::function<void()> onCreateProject, int refreshToken,
                     std::function<void(const ProjectPtr&)> onOpenProject, QWidget* parent = nullptr);
    ~ProjectsListView() override;

    // The shell's counter; a new value reloads from the first page.
    void setRefreshToken(int token);
    int refreshToken() const { return m_refreshToken; }

    const std::vector<ProjectPtr>& pageProjects() const { return m_page; }
    void reloadPage() { reload(false); }

    // The edit sheet for `project` (window-modal).
    void editProject(const ProjectPtr& project);
    // Asks for confirmation, then deletes.
    void requestDelete(const ProjectPtr& project);
    void deleteConfirmed();

protected:
    int loadMatches(const QString& searchText) override;
    void keepPage(int start, int end) override;
    lists::ListItem* makeItem(bool grid, int index, QWidget* host) override;
    void bindItem(bool grid, lists::ListItem* item, int index) override;

private:
    lists::ListItem::Callbacks callbacksFor(const ProjectPtr& project);

    const Services& m_services;
    ProjectEdits m_edits;
    std::function<void()> m_onCreateProject;
    int m_refreshToken;
    std::function<void(const ProjectPtr&)> m_onOpenProject;
    std::vector<ProjectPtr> m_matches;
    std::vector<ProjectPtr> m_page;
    ProjectPtr m_projectToDelete;
};
