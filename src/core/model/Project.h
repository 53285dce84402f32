#pragma once

#include "core/model/StoredModel.h"

#include <vector>

// The stored values of a project; a new project is built from them.
struct ProjectFields {
    QUuid id = QUuid::createUuid();
    QString name;
    OptText details;
    QString iconName;
    OptText colorKey;
    OptText colorHex;
    QDateTime createdAt;
    QDateTime updatedAt;
    OptDate deletedAt;
};

// A named, coloured container of documents, to which checklists may be linked.
class Project final : public StoredModel<Project, ProjectFields> {
    Q_OBJECT
public:
    static constexpr int kEntity = entity::Project;
    static constexpr const char* kTable = "Project";
    static const std::vector<Field<ProjectFields>>& fieldTable();

    explicit Project(ProjectFields fields);
    Project(LoadedRow, QUuid id);   // for the store

    TOLMEK_FIELD(QString, name, setName)
    TOLMEK_FIELD(OptText, details, setDetails)
    TOLMEK_FIELD(QString, iconName, setIconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

public:
    // Documents (inverse Doc::project) and linked checklists (inverse Checklist::project).
    const std::vector<DocPtr>& docs() const;
    void appendDoc(const DocPtr& doc);
    void removeDoc(const DocPtr& doc);
    const std::vector<ChecklistPtr>& checklists() const;
    void appendChecklist(const ChecklistPtr& checklist);
    void removeChecklist(const ChecklistPtr& checklist);

    // Store-internal: keep the arrays in step with the children's links.
    void attachChild(const DocPtr& doc);
    void detachChild(Doc* doc);
    void attachChild(const ChecklistPtr& checklist);
    void detachChild(Checklist* checklist);

protected:
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class Doc;
    friend class Checklist;
    mutable bool m_docsLoaded = true;
    mutable bool m_checklistsLoaded = true;
    std::vector<DocPtr> m_docs;
    std::vector<ChecklistPtr> m_checklists;
};
