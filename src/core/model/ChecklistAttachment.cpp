#include "core/model/ChecklistAttachment.h"

#include "core/model/ChecklistCard.h"
#include "core/model/Relations.h"

const std::vector<Field<ChecklistAttachmentFields>>& ChecklistAttachment::fieldTable() {
    using F = ChecklistAttachmentFields;
    static const std::vector<Field<F>> table{
        field("id", &F::id),
        field("fileName", &F::fileName),
        field("mimeType", &F::mimeType),
        field("localPath", &F::localPath),
        field("remoteId", &F::remoteId),
        field("createdAt", &F::createdAt),
        link("card", &F::card, entity::ChecklistCard, DeleteRule::cascade),
    };
    return table;
}

ChecklistAttachment::ChecklistAttachment(ChecklistAttachmentFields fields) : StoredModel(std::move(fields)) {}

ChecklistAttachment::ChecklistAttachment(LoadedRow, QUuid id) : StoredModel(ChecklistAttachmentFields{id}) {}

void ChecklistAttachment::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    relations::resolve(*this, m_f.card, owner, &ChecklistCard::m_attachments);
}

void ChecklistAttachment::setCard(const ChecklistCardPtr& card) { setOwnerLink(&Fields::card, card); }

void ChecklistAttachment::onInserted() { relations::joinOwner(*this, m_f.card); }

void ChecklistAttachment::onDeleted(std::vector<std::shared_ptr<PersistentModel>>&) {
    leaveOwner(&Fields::card);
}
