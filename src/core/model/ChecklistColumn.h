#pragma once

#include "core/model/StoredModel.h"

#include <vector>

// The stored values of a checklist column; a new column is built from them.
struct ChecklistColumnFields {
    QUuid id = QUuid::createUuid();
    QString name;
    QString iconName;
    OptText colorKey;
    OptText colorHex;
    qint64 orderIndex = 0;
    OptText remoteId;
    QDateTime createdAt;
    QDateTime updatedAt;
    OptDate deletedAt;
    std::weak_ptr<Checklist> checklist;
};

// An ordered, coloured column of a checklist, holding ordered cards.
class ChecklistColumn final : public StoredModel<ChecklistColumn, ChecklistColumnFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(ChecklistColumn)

    TOLMEK_FIELD(QString, name, setName)
    TOLMEK_FIELD(QString, iconName, setIconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex)
    TOLMEK_FIELD(qint64, orderIndex, setOrderIndex)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

    TOLMEK_OWNER_LINK(Checklist, checklist, setChecklist)
    TOLMEK_CHILDREN(ChecklistCard, cards, appendCard, removeCard)
};
