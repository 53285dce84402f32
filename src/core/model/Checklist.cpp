#include "core/model/Checklist.h"

#include "core/model/ChecklistColumn.h"
#include "core/model/Project.h"
#include "core/model/Relations.h"

const std::vector<Field<ChecklistFields>>& Checklist::fieldTable() {
    using F = ChecklistFields;
    static const std::vector<Field<F>> table{
        field("id", &F::id),
        field("name", &F::name),
        field("details", &F::details),
        field("iconName", &F::iconName),
        field("colorKey", &F::colorKey),
        field("colorHex", &F::colorHex),
        field("remoteId", &F::remoteId),
        field("createdAt", &F::createdAt),
        field("updatedAt", &F::updatedAt),
        field("deletedAt", &F::deletedAt),
        // Checklists outlive their project, as global ones.
        link("project", &F::project, entity::Project, DeleteRule::nullify),
    };
    return table;
}

Checklist::Checklist(LoadedRow, QUuid id) : StoredModel(ChecklistFields{id}) {}

TOLMEK_DEFINE_OWNER_LINK(Checklist, Project, project, setProject, checklists)

void Checklist::onInserted() {
    relations::joinOwner(*this, m_f.project);
    relations::insertNewChildren(*this, m_columns);
}

void Checklist::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    relations::ownerDeleted(*this, cascade, columns(), &ChecklistColumn::setChecklist);
    leaveOwner(&Fields::project);
}

const std::vector<ChecklistColumnPtr>& Checklist::columns() const { return loadedChildren(m_columns); }

TOLMEK_DEFINE_CHILDREN(Checklist, ChecklistColumn, columns, appendColumn, removeColumn, checklist, setChecklist)
