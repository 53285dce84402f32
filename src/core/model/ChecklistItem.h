#pragma once

#include "core/model/StoredModel.h"

#include <vector>

// Declared with the other types but kept out of the schema: nothing creates or stores one.
class ChecklistItem final {
public:
    ChecklistItem(QUuid id, QString title, OptText notes, bool isDone, int orderIndex, OptDate dueDate,
                  OptText remoteId, QDateTime createdAt, QDateTime updatedAt, const ChecklistPtr& checklist)
        : id(id), title(std::move(title)), notes(std::move(notes)), isDone(isDone), orderIndex(orderIndex),
          dueDate(std::move(dueDate)), remoteId(std::move(remoteId)), createdAt(std::move(createdAt)),
          updatedAt(std::move(updatedAt)), checklist(checklist) {}

    QUuid id;
    QString title;
    OptText notes;
    bool isDone = false;
    int orderIndex = 0;
    OptDate dueDate;
    OptText remoteId;
    QDateTime createdAt;
    QDateTime updatedAt;
    std::weak_ptr<Checklist> checklist;
    std::vector<ChecklistAttachmentPtr> attachments;
};
