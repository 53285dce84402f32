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

Checklist::Checklist(ChecklistFields fields) : StoredModel(std::move(fields)) {}

Checklist::Checklist(LoadedRow, QUuid id) : StoredModel(ChecklistFields{id}) {}

void Checklist::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    relations::resolve(*this, m_f.project, owner, &Project::m_checklists);
}

void Checklist::setProject(const ProjectPtr& project) { setOwnerLink(&Fields::project, project); }

void Checklist::onInserted() {
    relations::joinOwner(*this, m_f.project);
    relations::insertNewChildren(*this, m_columns);
}

void Checklist::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    relations::ownerDeleted(*this, cascade, columns(), &ChecklistColumn::setChecklist);
    leaveOwner(&Fields::project);
}

const std::vector<ChecklistColumnPtr>& Checklist::columns() const { return loadedChildren(m_columns); }

void Checklist::appendColumn(const ChecklistColumnPtr& column) {
    relations::appendChild(*this, column, &ChecklistColumn::checklist, &ChecklistColumn::setChecklist);
}

void Checklist::removeColumn(const ChecklistColumnPtr& column) {
    relations::removeChild(*this, column, &ChecklistColumn::checklist, &ChecklistColumn::setChecklist);
}

void Checklist::attachChild(const ChecklistColumnPtr& column) {
    columns();
    attachToList(m_columns, column, "columns");
}

void Checklist::detachChild(ChecklistColumn* column) { detachFromList(m_columns, column, "columns"); }
