#pragma once

#include "core/model/StoredModel.h"

#include <vector>

// Declared with the other types but kept out of the schema: nothing creates or stores one.
// A plain value, built field by field.
struct ChecklistItem {
    QUuid id = QUuid::createUuid();
    QString title;
    OptText notes;
    bool isDone = false;
    qint64 orderIndex = 0;
    OptDate dueDate;
    OptText remoteId;
    QDateTime createdAt;
    QDateTime updatedAt;
    std::weak_ptr<Checklist> checklist;
    std::vector<ChecklistAttachmentPtr> attachments;
};
