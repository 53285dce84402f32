#pragma once

#include "core/model/StoredModel.h"

// The stored values of an attachment; a new attachment is built from them.
struct ChecklistAttachmentFields {
    QUuid id = QUuid::createUuid();
    QString fileName;
    OptText mimeType;
    QString localPath;   // a file path, or the URL of a link
    OptText remoteId;
    QDateTime createdAt;
    std::weak_ptr<ChecklistCard> card;
};

// A file or a link attached to a card.
class ChecklistAttachment final : public StoredModel<ChecklistAttachment, ChecklistAttachmentFields> {
    Q_OBJECT
public:
    static constexpr int kEntity = entity::ChecklistAttachment;
    static constexpr const char* kTable = "ChecklistAttachment";
    static const std::vector<Field<ChecklistAttachmentFields>>& fieldTable();

    explicit ChecklistAttachment(ChecklistAttachmentFields fields);
    ChecklistAttachment(LoadedRow, QUuid id);   // for the store

    TOLMEK_FIELD(QString, fileName, setFileName)
    TOLMEK_FIELD(OptText, mimeType, setMimeType)
    TOLMEK_FIELD(QString, localPath, setLocalPath)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)

public:
    ChecklistCardPtr card() const { return m_f.card.lock(); }
    void setCard(const ChecklistCardPtr& card);

protected:
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;
};
