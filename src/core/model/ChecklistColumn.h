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
    int orderIndex = 0;
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
    static constexpr int kEntity = entity::ChecklistColumn;
    static constexpr const char* kTable = "ChecklistColumn";
    static const std::vector<Field<ChecklistColumnFields>>& fieldTable();

    explicit ChecklistColumn(ChecklistColumnFields fields);
    ChecklistColumn(LoadedRow, QUuid id);   // for the store

    TOLMEK_FIELD(QString, name, setName)
    TOLMEK_FIELD(QString, iconName, setIconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex)
    TOLMEK_FIELD(int, orderIndex, setOrderIndex)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

public:
    ChecklistPtr checklist() const { return m_f.checklist.lock(); }
    void setChecklist(const ChecklistPtr& checklist);

    const std::vector<ChecklistCardPtr>& cards() const;
    void appendCard(const ChecklistCardPtr& card);
    void removeCard(const ChecklistCardPtr& card);

    // Store-internal: keep the array in step with the cards' links.
    void attachChild(const ChecklistCardPtr& card);
    void detachChild(ChecklistCard* card);

protected:
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class Checklist;
    friend class ChecklistCard;
    std::vector<ChecklistCardPtr> m_cards;
};
