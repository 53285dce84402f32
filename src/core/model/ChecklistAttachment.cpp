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

ChecklistAttachment::ChecklistAttachment(LoadedRow, QUuid id) : StoredModel(ChecklistAttachmentFields{id}) {}

TOLMEK_DEFINE_OWNER_LINK(ChecklistAttachment, ChecklistCard, card, setCard, attachments)

void ChecklistAttachment::onInserted() { relations::joinOwner(*this, m_f.card); }

void ChecklistAttachment::onDeleted(std::vector<std::shared_ptr<PersistentModel>>&) { leaveOwner(&Fields::card); }
