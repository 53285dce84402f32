#pragma once

#include "core/model/StoredModel.h"

#include <vector>

// The stored values of a card; a new card is built from them.
struct ChecklistCardFields {
    QUuid id = QUuid::createUuid();
    QString title;
    OptText notes;
    qint64 orderIndex = 0;
    OptText remoteId;
    QDateTime createdAt;
    QDateTime updatedAt;
    OptDate deletedAt;
    std::weak_ptr<ChecklistColumn> column;
};

// A card of a checklist column, with its attachments.
class ChecklistCard final : public StoredModel<ChecklistCard, ChecklistCardFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(ChecklistCard)

    TOLMEK_FIELD(QString, title, setTitle)
    TOLMEK_FIELD(OptText, notes, setNotes)
    TOLMEK_FIELD(qint64, orderIndex, setOrderIndex)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

    TOLMEK_OWNER_LINK(ChecklistColumn, column, setColumn)
    TOLMEK_CHILDREN(ChecklistAttachment, attachments, appendAttachment, removeAttachment)
};
