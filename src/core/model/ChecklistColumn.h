#pragma once

#include "core/model/StoredModel.h"

#include <vector>

#define TOLMEK_CHECKLIST_COLUMN_FIELDS(X)       \
    X(field, QString, name, setName)            \
    TOLMEK_LOOK_FIELDS(X)                       \
    X(field, qint64, orderIndex, setOrderIndex) \
    X(field, OptText, remoteId, setRemoteId)    \
    TOLMEK_STAMP_FIELDS(X)                      \
    X(ownedBy, Checklist, checklist, setChecklist)

// The stored values of a checklist column.
TOLMEK_STORED_FIELDS(ChecklistColumn, TOLMEK_CHECKLIST_COLUMN_FIELDS);

// An ordered, coloured column of a checklist, holding ordered cards.
class ChecklistColumn final : public StoredModel<ChecklistColumn, ChecklistColumnFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(ChecklistColumn, TOLMEK_CHECKLIST_COLUMN_FIELDS)

    TOLMEK_CHILDREN(ChecklistCard, cards, appendCard, removeCard)
};
