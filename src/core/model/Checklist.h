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
    TOLMEK_STORED_TYPE(Checklist)

    TOLMEK_FIELD(QString, name, setName)
    TOLMEK_FIELD(OptText, details, setDetails)
    TOLMEK_FIELD(QString, iconName, setIconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

    // No project: a global checklist.
    TOLMEK_OWNER_LINK(Project, project, setProject)
    TOLMEK_CHILDREN(ChecklistColumn, columns, appendColumn, removeColumn)
};
