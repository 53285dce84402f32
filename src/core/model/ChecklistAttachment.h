#pragma once

#include "core/model/StoredModel.h"

// `localPath`: a file path, or the URL of a link.
#define TOLMEK_CHECKLIST_ATTACHMENT_FIELDS(X)    \
    X(field, QString, fileName, setFileName)     \
    X(field, OptText, mimeType, setMimeType)     \
    X(field, QString, localPath, setLocalPath)   \
    X(field, OptText, remoteId, setRemoteId)     \
    X(field, QDateTime, createdAt, setCreatedAt) \
    X(ownedBy, ChecklistCard, card, setCard)

// The stored values of an attachment.
TOLMEK_STORED_FIELDS(ChecklistAttachment, TOLMEK_CHECKLIST_ATTACHMENT_FIELDS);

// A file or a link attached to a card.
class ChecklistAttachment final : public StoredModel<ChecklistAttachment, ChecklistAttachmentFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(ChecklistAttachment, TOLMEK_CHECKLIST_ATTACHMENT_FIELDS)
};
