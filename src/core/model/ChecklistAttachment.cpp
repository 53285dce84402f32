#include "core/model/ChecklistAttachment.h"

#include "core/model/ChecklistCard.h"
#include "core/model/Relations.h"

ChecklistAttachment::ChecklistAttachment(LoadedRow, QUuid id) : StoredModel(ChecklistAttachmentFields{id}) {}

TOLMEK_DEFINE_OWNER_LINK(ChecklistAttachment, ChecklistCard, card, setCard, attachments)

void ChecklistAttachment::onInserted() { relations::joinOwner(*this, m_f.card); }

void ChecklistAttachment::onDeleted(std::vector<std::shared_ptr<PersistentModel>>&) { leaveOwner(&Fields::card); }
