#include "core/model/ChecklistCard.h"

#include "core/model/ChecklistAttachment.h"
#include "core/model/ChecklistColumn.h"
#include "core/model/Relations.h"

const std::vector<Field<ChecklistCardFields>>& ChecklistCard::fieldTable() {
    using F = ChecklistCardFields;
    static const std::vector<Field<F>> table{
        field("id", &F::id),
        field("title", &F::title),
        field("notes", &F::notes),
        field("orderIndex", &F::orderIndex),
        field("remoteId", &F::remoteId),
        field("createdAt", &F::createdAt),
        field("updatedAt", &F::updatedAt),
        field("deletedAt", &F::deletedAt),
        link("column", &F::column, entity::ChecklistColumn, DeleteRule::cascade),
    };
    return table;
}

ChecklistCard::ChecklistCard(LoadedRow, QUuid id) : StoredModel(ChecklistCardFields{id}) {}

TOLMEK_DEFINE_OWNER_LINK(ChecklistCard, ChecklistColumn, column, setColumn, cards)

void ChecklistCard::onInserted() {
    relations::joinOwner(*this, m_f.column);
    relations::insertNewChildren(*this, m_attachments);
}

void ChecklistCard::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    relations::ownerDeleted(*this, cascade, attachments(), &ChecklistAttachment::setCard);
    leaveOwner(&Fields::column);
}

const std::vector<ChecklistAttachmentPtr>& ChecklistCard::attachments() const { return loadedChildren(m_attachments); }

TOLMEK_DEFINE_CHILDREN(ChecklistCard, ChecklistAttachment, attachments, appendAttachment, removeAttachment, card,
                       setCard)
