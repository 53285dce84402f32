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

ChecklistColumn::ChecklistColumn(ChecklistColumnFields fields) : StoredModel(std::move(fields)) {}

ChecklistColumn::ChecklistColumn(LoadedRow, QUuid id) : StoredModel(ChecklistColumnFields{id}) {}

void ChecklistColumn::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    relations::resolve(*this, m_f.checklist, owner, &Checklist::m_columns);
}

void ChecklistColumn::setChecklist(const ChecklistPtr& checklist) { setOwnerLink(&Fields::checklist, checklist); }

void ChecklistColumn::onInserted() {
    relations::joinOwner(*this, m_f.checklist);
    relations::insertNewChildren(*this, m_cards);
}

void ChecklistColumn::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    relations::ownerDeleted(*this, cascade, cards(), &ChecklistCard::setColumn);
    leaveOwner(&Fields::checklist);
}

const std::vector<ChecklistCardPtr>& ChecklistColumn::cards() const { return loadedChildren(m_cards); }

void ChecklistColumn::appendCard(const ChecklistCardPtr& card) {
    relations::appendChild(*this, card, &ChecklistCard::column, &ChecklistCard::setColumn);
}

void ChecklistColumn::removeCard(const ChecklistCardPtr& card) {
    relations::removeChild(*this, card, &ChecklistCard::column, &ChecklistCard::setColumn);
}

void ChecklistColumn::attachChild(const ChecklistCardPtr& card) {
    cards();
    attachToList(m_cards, card, "cards");
}

void ChecklistColumn::detachChild(ChecklistCard* card) { detachFromList(m_cards, card, "cards"); }
