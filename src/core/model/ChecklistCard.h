#pragma once

#include "core/model/StoredModel.h"

#include <vector>

#define TOLMEK_CHECKLIST_CARD_FIELDS(X)         \
    X(field, QString, title, setTitle)          \
    X(field, OptText, notes, setNotes)          \
    X(field, qint64, orderIndex, setOrderIndex) \
    X(field, OptText, remoteId, setRemoteId)    \
    TOLMEK_STAMP_FIELDS(X)                      \
    X(ownedBy, ChecklistColumn, column, setColumn)

// The stored values of a card.
TOLMEK_STORED_FIELDS(ChecklistCard, TOLMEK_CHECKLIST_CARD_FIELDS);

// A card of a checklist column, with its attachments.
class ChecklistCard final : public StoredModel<ChecklistCard, ChecklistCardFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(ChecklistCard, TOLMEK_CHECKLIST_CARD_FIELDS)

    TOLMEK_CHILDREN(ChecklistAttachment, attachments, appendAttachment, removeAttachment)
};
