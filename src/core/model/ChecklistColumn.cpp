#include "core/model/ChecklistColumn.h"

#include "core/model/Checklist.h"
#include "core/model/ChecklistCard.h"
#include "core/model/Relations.h"

const std::vector<Field<ChecklistColumnFields>>& ChecklistColumn::fieldTable() {
    using F = ChecklistColumnFields;
    static const std::vector<Field<F>> table{
        field("id", &F::id),
        field("name", &F::name),
        field("iconName", &F::iconName),
        field("colorKey", &F::colorKey),
        field("colorHex", &F::colorHex),
        field("orderIndex", &F::orderIndex),
        field("remoteId", &F::remoteId),
        field("createdAt", &F::createdAt),
        field("updatedAt", &F::updatedAt),
        field("deletedAt", &F::deletedAt),
        link("checklist", &F::checklist, entity::Checklist, DeleteRule::cascade),
    };
    return table;
}

ChecklistColumn::ChecklistColumn(LoadedRow, QUuid id) : StoredModel(ChecklistColumnFields{id}) {}

TOLMEK_DEFINE_OWNER_LINK(ChecklistColumn, Checklist, checklist, setChecklist, columns)

void ChecklistColumn::onInserted() {
    relations::joinOwner(*this, m_f.checklist);
    relations::insertNewChildren(*this, m_cards);
}

void ChecklistColumn::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    relations::ownerDeleted(*this, cascade, cards(), &ChecklistCard::setColumn);
    leaveOwner(&Fields::checklist);
}

const std::vector<ChecklistCardPtr>& ChecklistColumn::cards() const { return loadedChildren(m_cards); }

TOLMEK_DEFINE_CHILDREN(ChecklistColumn, ChecklistCard, cards, appendCard, removeCard, column, setColumn)
