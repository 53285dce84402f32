#include "core/model/Checklist.h"

#include "core/model/ChecklistColumn.h"
#include "core/model/Project.h"
#include "core/model/Relations.h"

Checklist::Checklist(LoadedRow, QUuid id) : StoredModel(ChecklistFields{id}) {}

TOLMEK_DEFINE_OWNER_LINK(Checklist, Project, project, setProject, checklists)

TOLMEK_DEFINE_STORE_HOOKS(Checklist, project, ChecklistColumn, columns, setChecklist)

TOLMEK_DEFINE_TABLE_CHILDREN(Checklist, ChecklistColumn, columns, appendColumn, removeColumn, checklist, setChecklist)
