#pragma once

#include "core/model/Models.h"

#include <QWidget>

#include <functional>
#include <memory>

// One project's visible documents: header, search, paging, rows or cards, hide and edit.
class ProjectDocumentsView : public QWidget {
    Q_OBJECT
public:
    ProjectDocumentsView(ProjectPtr project, std::function<void()> onBack, std::function<void()> onCreateDoc,
                         std::function<void(const DocPtr&)> onOpenDoc, QWidget* parent = nullptr);
    ~ProjectDocumentsView() override;

    ProjectPtr project() const;

    // State, for tests.
    int currentPage() const;
    int pageSize() const;
    int totalCount() const;
    const std::vector<DocPtr>& pageDocs() const;
    QString pageLabel() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool isGrid() const;
    int reloadCount() const;
    int listRenderToken() const;

    // What a person does, as the controls do it.
    void setSearchText(const QString& text);
    void setPageSize(int size);
    void goPrevious();
    void goNext();
    void reload(bool resetPage);
    void softDeleteDoc(const DocPtr& doc);
    // Hides the documents at these positions of the current page (list delete command).
    void deleteRows(const QList<int>& positions);
    void editDoc(const DocPtr& doc);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
