#include "core/model/ChecklistColumn.h"

#include "core/model/Checklist.h"
#include "core/model/ChecklistCard.h"
#include "core/model/Relations.h"

ChecklistColumn::ChecklistColumn(LoadedRow, QUuid id) : StoredModel(ChecklistColumnFields{id}) {}

TOLMEK_DEFINE_OWNER_LINK(ChecklistColumn, Checklist, checklist, setChecklist, columns)

TOLMEK_DEFINE_STORE_HOOKS(ChecklistColumn, checklist, ChecklistCard, cards, setColumn)

TOLMEK_DEFINE_TABLE_CHILDREN(ChecklistColumn, ChecklistCard, cards, appendCard, removeCard, column, setColumn)
