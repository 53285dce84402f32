#include "core/model/ChecklistCard.h"

#include "core/model/ChecklistAttachment.h"
#include "core/model/ChecklistColumn.h"
#include "core/model/Relations.h"

ChecklistCard::ChecklistCard(LoadedRow, QUuid id) : StoredModel(ChecklistCardFields{id}) {}

TOLMEK_DEFINE_OWNER_LINK(ChecklistCard, ChecklistColumn, column, setColumn, cards)

TOLMEK_DEFINE_STORE_HOOKS(ChecklistCard, column, ChecklistAttachment, attachments, setCard)

TOLMEK_DEFINE_TABLE_CHILDREN(ChecklistCard, ChecklistAttachment, attachments, appendAttachment, removeAttachment, card,
                             setCard)
