#pragma once

#include "core/model/StoredModel.h"

#include <vector>

// The stored values of a checklist; a new checklist is built from them.
struct ChecklistFields {
    QUuid id = QUuid::createUuid();
    QString name;
    OptText details;
    QString iconName;
    OptText colorKey;
    OptText colorHex;
    OptText remoteId;
    QDateTime createdAt;
    QDateTime updatedAt;
    OptDate deletedAt;
    std::weak_ptr<Project> project;
};

// A board of ordered columns, global or linked to a project.
class Checklist final : public StoredModel<Checklist, ChecklistFields> {
    Q_OBJECT
public:
    static constexpr int kEntity = entity::Checklist;
    static constexpr const char* kTable = "Checklist";
    static const std::vector<Field<ChecklistFields>>& fieldTable();

    explicit Checklist(ChecklistFields fields);
    Checklist(LoadedRow, QUuid id);   // for the store

    TOLMEK_FIELD(QString, name, setName)
    TOLMEK_FIELD(OptText, details, setDetails)
    TOLMEK_FIELD(QString, iconName, setIconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

public:
    // No project: a global checklist.
    ProjectPtr project() const { return m_f.project.lock(); }
    void setProject(const ProjectPtr& project);

    const std::vector<ChecklistColumnPtr>& columns() const;
    void appendColumn(const ChecklistColumnPtr& column);
    void removeColumn(const ChecklistColumnPtr& column);

    // Store-internal: keep the array in step with the columns' links.
    void attachChild(const ChecklistColumnPtr& column);
    void detachChild(ChecklistColumn* column);

protected:
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class ChecklistColumn;
    friend class Project;
    std::vector<ChecklistColumnPtr> m_columns;
};
