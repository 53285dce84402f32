#pragma once

#include "core/model/Models.h"
#include "projects/ListLogic.h"
#include "projects/ProjectEdits.h"
#include "services/Services.h"
#include "ui/lists/PagedList.h"

#include <functional>
#include <optional>
#include <vector>

class ProjectHeader;

// One project's visible documents: header, search, paging, rows or cards, hide and edit.
class ProjectDocumentsView : public lists::PagedList<DocPtr> {
    Q_OBJECT
public:
    ProjectDocumentsView(const Services& services, ProjectPtr project, std::function<void()> onBack,
                         std::function<void()> onCreateDoc, std::function<void(const DocPtr&)> onOpenDoc,
                         QWidget* parent = nullptr);
    ~ProjectDocumentsView() override;

    ProjectPtr project() const { return m_project; }
    const std::vector<DocPtr>& pageDocs() const { return page(); }
    int listRenderToken() const { return listIdentity(); }

    void softDeleteDoc(const DocPtr& doc);
    // Hides the documents at these positions of the current page (list delete command).
    void deleteRows(const QList<int>& positions);
    void editDoc(const DocPtr& doc);

protected:
    std::vector<DocPtr> matches(const QString& searchText) override;
    lists::ListItem* itemFor(bool grid, const DocPtr& doc, QWidget* host) override;
    void rebindItem(lists::ListItem* item, const DocPtr& doc) override;
    bool hasItemActions() const override { return true; }
    void editValue(const DocPtr& doc) override { editDoc(doc); }
    void deleteValue(const DocPtr& doc) override { softDeleteDoc(doc); }
    bool event(QEvent* event) override;

private:
    void queueActivationReload();

    Services m_services;
    ProjectEdits m_edits;
    ProjectPtr m_project;
    std::function<void()> m_onBack, m_onCreateDoc;
    listlogic::FoldedTitleCache m_titles;
    // The visible documents newest first, as the last reload other than a keystroke sorted them, their
    // folded titles (made at the first search over them), and the matches of recent queries.
    std::optional<std::vector<DocPtr>> m_loaded;
    std::vector<QString> m_loadedTitles;
    QString m_loadedSearch;
    listlogic::SearchMemo m_memo;
    QDateTime m_lastProjectStamp;
    bool m_activationQueued = false;
    ProjectHeader* m_header = nullptr;
};
