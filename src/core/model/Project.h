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
    TOLMEK_STORED_TYPE(Project)

    TOLMEK_FIELD(QString, name, setName)
    TOLMEK_FIELD(OptText, details, setDetails)
    TOLMEK_FIELD(QString, iconName, setIconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

    // Documents (inverse Doc::project) and linked checklists (inverse Checklist::project).
    TOLMEK_CHILDREN(Doc, docs, appendDoc, removeDoc)
    TOLMEK_CHILDREN(Checklist, checklists, appendChecklist, removeChecklist)

private:
    mutable bool m_docsLoaded = true;
    mutable bool m_checklistsLoaded = true;
};
