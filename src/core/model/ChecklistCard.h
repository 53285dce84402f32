#pragma once

#include "core/model/StoredModel.h"

#include <vector>

// The stored values of a card; a new card is built from them.
struct ChecklistCardFields {
    QUuid id = QUuid::createUuid();
    QString title;
    OptText notes;
    int orderIndex = 0;
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
    static constexpr int kEntity = entity::ChecklistCard;
    static constexpr const char* kTable = "ChecklistCard";
    static const std::vector<Field<ChecklistCardFields>>& fieldTable();

    explicit ChecklistCard(ChecklistCardFields fields);
    ChecklistCard(LoadedRow, QUuid id);   // for the store

    TOLMEK_FIELD(QString, title, setTitle)
    TOLMEK_FIELD(OptText, notes, setNotes)
    TOLMEK_FIELD(int, orderIndex, setOrderIndex)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

public:
    ChecklistColumnPtr column() const { return m_f.column.lock(); }
    void setColumn(const ChecklistColumnPtr& column);

    const std::vector<ChecklistAttachmentPtr>& attachments() const;
    void appendAttachment(const ChecklistAttachmentPtr& attachment);
    void removeAttachment(const ChecklistAttachmentPtr& attachment);

    // Store-internal: keep the array in step with the attachments' links.
    void attachChild(const ChecklistAttachmentPtr& attachment);
    void detachChild(ChecklistAttachment* attachment);

protected:
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class ChecklistColumn;
    friend class ChecklistAttachment;
    std::vector<ChecklistAttachmentPtr> m_attachments;
};
