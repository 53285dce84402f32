#pragma once

#include "core/model/Models.h"
#include "projects/ListLogic.h"
#include "projects/ProjectEdits.h"
#include "services/Services.h"
#include "ui/lists/PagedListScreen.h"

#include <functional>
#include <vector>

class ProjectHeader;

// One project's visible documents: header, search, paging, rows or cards, hide and edit.
class ProjectDocumentsView : public lists::PagedListScreen {
    Q_OBJECT
public:
    ProjectDocumentsView(const Services& services, ProjectPtr project, std::function<void()> onBack,
                         std::function<void()> onCreateDoc, std::function<void(const DocPtr&)> onOpenDoc,
                         QWidget* parent = nullptr);
    ~ProjectDocumentsView() override;

    ProjectPtr project() const { return m_project; }
    const std::vector<DocPtr>& pageDocs() const { return m_page; }
    int listRenderToken() const { return listIdentity(); }

    void softDeleteDoc(const DocPtr& doc);
    // Hides the documents at these positions of the current page (list delete command).
    void deleteRows(const QList<int>& positions);
    void editDoc(const DocPtr& doc);

protected:
    int loadMatches(const QString& searchText) override;
    void keepPage(int start, int end) override;
    lists::ListItem* makeItem(bool grid, int index, QWidget* host) override;
    void bindItem(bool grid, lists::ListItem* item, int index) override;
    bool event(QEvent* event) override;

private:
    lists::ListItem::Callbacks callbacksFor(const DocPtr& doc);
    void queueActivationReload();

    const Services& m_services;
    ProjectEdits m_edits;
    ProjectPtr m_project;
    std::function<void()> m_onBack, m_onCreateDoc;
    std::function<void(const DocPtr&)> m_onOpenDoc;
    std::vector<DocPtr> m_matches;
    std::vector<DocPtr> m_page;
    listlogic::FoldedTitleCache m_titles;
    QDateTime m_lastProjectStamp;
    bool m_activationQueued = false;
    ProjectHeader* m_header = nullptr;
};
