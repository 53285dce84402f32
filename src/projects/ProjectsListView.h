#pragma once

#include "core/model/Models.h"
#include "projects/ListLogic.h"
#include "projects/ProjectEdits.h"
#include "services/Services.h"
#include "ui/lists/PagedList.h"

#include <QBasicTimer>

#include <functional>
#include <optional>
#include <vector>

// The "Projets" screen: every project, newest first, searched by name or description, paged, as
// rows or cards; a project is opened, edited in a sheet, or deleted after a confirmation.
class ProjectsListView : public lists::PagedList<ProjectPtr> {
    Q_OBJECT
public:
    ProjectsListView(const Services& services, std::function<void()> onCreateProject, int refreshToken,
                     std::function<void(const ProjectPtr&)> onOpenProject, QWidget* parent = nullptr);
    ~ProjectsListView() override;

    // The shell's counter; a new value reloads from the first page.
    void setRefreshToken(int token);
    int refreshToken() const { return m_refreshToken; }

    const std::vector<ProjectPtr>& pageProjects() const { return page(); }
    void reloadPage() { reload(false); }

    // The edit sheet for `project` (window-modal).
    void editProject(const ProjectPtr& project);
    // Asks for confirmation, then deletes.
    void requestDelete(const ProjectPtr& project);
    void deleteConfirmed();

protected:
    std::vector<ProjectPtr> matches(const QString& searchText) override;
    lists::ListItem* itemFor(bool grid, const ProjectPtr& project, QWidget* host) override;
    void rebindItem(lists::ListItem* item, const ProjectPtr& project) override;
    bool hasItemActions() const override { return true; }
    void timerEvent(QTimerEvent* event) override;
    void editValue(const ProjectPtr& project) override { editProject(project); }
    void deleteValue(const ProjectPtr& project) override { requestDelete(project); }

private:
    Services m_services;
    ProjectEdits m_edits;
    listlogic::FoldedProjectCache m_searchCache;
    // Every project newest first, as the last reload other than a keystroke fetched them.
    std::optional<std::vector<ProjectPtr>> m_loaded;
    QString m_loadedSearch;
    // The matches of recent queries (trimmed, case-folded), as positions in m_loaded.
    listlogic::SearchMemo m_memo;
    // Folds m_loaded for the search in short turns, from m_prepared on.
    QBasicTimer m_prepareTimer;
    size_t m_prepared = 0;
    std::function<void()> m_onCreateProject;
    int m_refreshToken;
    ProjectPtr m_projectToDelete;
};
