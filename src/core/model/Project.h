#pragma once

#include "core/model/StoredModel.h"

#include <vector>

#define TOLMEK_PROJECT_FIELDS(X)           \
    X(field, QString, name, setName)       \
    X(field, OptText, details, setDetails) \
    TOLMEK_LOOK_FIELDS(X)                  \
    TOLMEK_STAMP_FIELDS(X)

// The stored values of a project.
TOLMEK_STORED_FIELDS(Project, TOLMEK_PROJECT_FIELDS);

// A named, coloured container of documents, to which checklists may be linked.
class Project final : public StoredModel<Project, ProjectFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(Project, TOLMEK_PROJECT_FIELDS)

    // Documents (inverse Doc::project) and linked checklists (inverse Checklist::project).
    TOLMEK_CHILDREN(Doc, docs, appendDoc, removeDoc)
    TOLMEK_CHILDREN(Checklist, checklists, appendChecklist, removeChecklist)

private:
    mutable bool m_docsLoaded = true;
    mutable bool m_checklistsLoaded = true;
};
