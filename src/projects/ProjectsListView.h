#pragma once

#include "core/model/Models.h"

#include <QWidget>

#include <functional>
#include <memory>

// The "Projets" screen: every project, newest first, searched, paged, as rows or cards.
class ProjectsListView : public QWidget {
    Q_OBJECT
public:
    ProjectsListView(std::function<void()> onCreateProject, int refreshToken,
                     std::function<void(const ProjectPtr&)> onOpenProject, QWidget* parent = nullptr);
    ~ProjectsListView() override;

    // The shell's counter; a new value reloads from the first page.
    void setRefreshToken(int token);
    int refreshToken() const;

    // State, for tests and the shell.
    int currentPage() const;
    int pageSize() const;
    std::optional<int> totalCount() const;
    const std::vector<ProjectPtr>& pageProjects() const;
    QString pageLabel() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool isGrid() const;
    int reloadCount() const;

    // What a person does, as the controls do it.
    void setSearchText(const QString& text);
    void setPageSize(int size);
    void goPrevious();
    void goNext();
    void reloadPage();
    // The edit sheet for `project` (window-modal).
    void editProject(const ProjectPtr& project);
    // Asks for confirmation, then deletes.
    void requestDelete(const ProjectPtr& project);
    void deleteConfirmed();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
