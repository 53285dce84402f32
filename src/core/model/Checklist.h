#pragma once

#include "core/model/StoredModel.h"

#include <vector>

// Checklists outlive their project, as global ones.
#define TOLMEK_CHECKLIST_FIELDS(X)           \
    X(field, QString, name, setName)         \
    X(field, OptText, details, setDetails)   \
    TOLMEK_LOOK_FIELDS(X)                    \
    X(field, OptText, remoteId, setRemoteId) \
    TOLMEK_STAMP_FIELDS(X)                   \
    X(linkedTo, Project, project, setProject)

// The stored values of a checklist.
TOLMEK_STORED_FIELDS(Checklist, TOLMEK_CHECKLIST_FIELDS);

// A board of ordered columns, global or linked to a project.
class Checklist final : public StoredModel<Checklist, ChecklistFields> {
    Q_OBJECT
public:
    // No project: a global checklist.
    TOLMEK_STORED_TYPE(Checklist, TOLMEK_CHECKLIST_FIELDS)

    TOLMEK_CHILDREN(ChecklistColumn, columns, appendColumn, removeColumn)
};
