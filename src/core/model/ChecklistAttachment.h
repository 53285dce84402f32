#pragma once

#include "core/model/StoredModel.h"

// The stored values of an attachment; a new attachment is built from them.
struct ChecklistAttachmentFields {
    QUuid id = QUuid::createUuid();
    QString fileName;
    OptText mimeType;
    QString localPath; // a file path, or the URL of a link
    OptText remoteId;
    QDateTime createdAt;
    std::weak_ptr<ChecklistCard> card;
};

// A file or a link attached to a card.
class ChecklistAttachment final : public StoredModel<ChecklistAttachment, ChecklistAttachmentFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(ChecklistAttachment)

    TOLMEK_FIELD(QString, fileName, setFileName)
    TOLMEK_FIELD(OptText, mimeType, setMimeType)
    TOLMEK_FIELD(QString, localPath, setLocalPath)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)

    TOLMEK_OWNER_LINK(ChecklistCard, card, setCard)
};
