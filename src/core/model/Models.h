#pragma once

// The persistent types of the store, in schema order, and the two text-backed enumerations.

#include "core/store/ModelContext.h"
#include "core/store/PersistentModel.h"

#include <QList>

#include <variant>

#include <memory>
#include <optional>
#include <vector>

class Project;
class Doc;
class DocBlock;
class Checklist;
class ChecklistColumn;
class ChecklistCard;
class ChecklistAttachment;

using ProjectPtr = std::shared_ptr<Project>;
using DocPtr = std::shared_ptr<Doc>;
using DocBlockPtr = std::shared_ptr<DocBlock>;
using ChecklistPtr = std::shared_ptr<Checklist>;
using ChecklistColumnPtr = std::shared_ptr<ChecklistColumn>;
using ChecklistCardPtr = std::shared_ptr<ChecklistCard>;
using ChecklistAttachmentPtr = std::shared_ptr<ChecklistAttachment>;

using OptText = std::optional<QString>;
using OptDate = std::optional<QDateTime>;
using OptData = std::optional<QByteArray>;

// One stored column of T for the store layer: the member that holds it (nothing for the id).
template <class T>
using FieldRef = std::variant<std::monostate, QString T::*, OptText T::*, int T::*, bool T::*, QDateTime T::*,
                              OptDate T::*, OptData T::*, std::weak_ptr<Project> T::*, std::weak_ptr<Doc> T::*,
                              std::weak_ptr<Checklist> T::*, std::weak_ptr<ChecklistColumn> T::*,
                              std::weak_ptr<ChecklistCard> T::*>;

// Binds and reads T's columns through T::fields(), its members in column order.
template <class T>
class StoredModel : public PersistentModel {
protected:
    using PersistentModel::PersistentModel;
    void bindColumn(int column, sqlite3_stmt* stmt, int param) const override;
    void readColumn(int column, sqlite3_stmt* stmt, int col) override;
};

// A plain stored field: getter, setter that always notifies, member.
#define TOLMEK_FIELD(Type, name, Setter, Column)                 \
public:                                                           \
    const Type& name() const { return m_##name; }                 \
    void Setter(const Type& value) {                              \
        m_##name = value;                                         \
        didWrite(Column);                                         \
    }                                                             \
                                                                  \
private:                                                          \
    Type m_##name{};

enum class DocStatus { inProgress, done, needsChanges };
namespace DocStatusInfo {
QString rawValue(DocStatus s);
std::optional<DocStatus> fromRaw(const QString& raw);   // exact, case-sensitive
const QList<DocStatus>& allCases();                     // inProgress, done, needsChanges
} // namespace DocStatusInfo

enum class DocBlockType { text, code, image };
namespace DocBlockTypeInfo {
QString rawValue(DocBlockType t);
std::optional<DocBlockType> fromRaw(const QString& raw);
const QList<DocBlockType>& allCases();
} // namespace DocBlockTypeInfo

// ---------------------------------------------------------------------------------------------
class Project final : public StoredModel<Project> {
    Q_OBJECT
public:
    // Store-internal: keep the arrays in step with the children's links.
    void attachChild(const DocPtr& doc);
    void detachChild(Doc* doc);
    void attachChild(const ChecklistPtr& checklist);
    void detachChild(Checklist* checklist);

    enum Col { C_id, C_name, C_details, C_iconName, C_colorKey, C_colorHex, C_createdAt, C_updatedAt, C_deletedAt };
    Project(QUuid id, QString name, OptText details, QString iconName, OptText colorKey, OptText colorHex,
            QDateTime createdAt, QDateTime updatedAt, OptDate deletedAt = std::nullopt);
    Project(QUuid id, QString name, OptText details, QString iconName, QDateTime createdAt, QDateTime updatedAt,
            OptDate deletedAt = std::nullopt);
    explicit Project(QUuid id) : StoredModel(id) {}   // for loading
    static const EntityInfo& entityInfo();
    const EntityInfo& entity() const override { return entityInfo(); }

    TOLMEK_FIELD(QString, name, setName, C_name)
    TOLMEK_FIELD(OptText, details, setDetails, C_details)
    TOLMEK_FIELD(QString, iconName, setIconName, C_iconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey, C_colorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex, C_colorHex)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt, C_createdAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt, C_updatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt, C_deletedAt)

public:
    // Documents (cascade; inverse Doc::project) and linked checklists (nullify).
    const std::vector<DocPtr>& docs() const;
    void appendDoc(const DocPtr& doc);
    void removeDoc(const DocPtr& doc);
    const std::vector<ChecklistPtr>& checklists() const;
    void appendChecklist(const ChecklistPtr& checklist);
    void removeChecklist(const ChecklistPtr& checklist);

protected:
    friend class StoredModel<Project>;
    static const std::vector<FieldRef<Project>>& fields();
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class Doc;
    friend class Checklist;
    mutable bool m_docsLoaded = false;
    mutable bool m_checklistsLoaded = false;
    std::vector<DocPtr> m_docs;
    std::vector<ChecklistPtr> m_checklists;
};

// ---------------------------------------------------------------------------------------------
class Doc final : public StoredModel<Doc> {
    Q_OBJECT
public:
    void attachChild(const DocBlockPtr& block);
    void detachChild(DocBlock* block);

    enum Col { C_id, C_title, C_statusRaw, C_iconName, C_colorKey, C_colorHex, C_createdAt, C_updatedAt, C_deletedAt,
               C_project };
    Doc(QUuid id, QString title, QString statusRaw, QString iconName, OptText colorKey, OptText colorHex,
        QDateTime createdAt, QDateTime updatedAt, OptDate deletedAt, const ProjectPtr& project);
    explicit Doc(QUuid id) : StoredModel(id) {}
    static const EntityInfo& entityInfo();
    const EntityInfo& entity() const override { return entityInfo(); }

    TOLMEK_FIELD(QString, title, setTitle, C_title)
    TOLMEK_FIELD(QString, statusRaw, setStatusRaw, C_statusRaw)
    TOLMEK_FIELD(QString, iconName, setIconName, C_iconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey, C_colorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex, C_colorHex)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt, C_createdAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt, C_updatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt, C_deletedAt)

public:
    // Any raw text but the three known ones reads as in progress.
    DocStatus status() const;

    ProjectPtr project() const { return m_project.lock(); }
    void setProject(const ProjectPtr& project);

    // Blocks (cascade; inverse DocBlock::doc), loaded from the file on first access.
    const std::vector<DocBlockPtr>& blocks() const;
    void appendBlock(const DocBlockPtr& block);
    void removeBlock(const DocBlockPtr& block);

protected:
    friend class StoredModel<Doc>;
    static const std::vector<FieldRef<Doc>>& fields();
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class DocBlock;
    friend class Project;
    std::weak_ptr<Project> m_project;
    mutable bool m_blocksLoaded = false;
    std::vector<DocBlockPtr> m_blocks;
};

// ---------------------------------------------------------------------------------------------
class DocBlock final : public StoredModel<DocBlock> {
    Q_OBJECT
public:
    enum Col { C_id, C_typeRaw, C_order, C_content, C_stepTitle, C_codeLanguage, C_richTextData, C_imageData,
               C_isCompleted, C_createdAt, C_updatedAt, C_deletedAt, C_doc };
    DocBlock(QUuid id, QString typeRaw, int order, QString content, OptText stepTitle, OptText codeLanguage,
             OptData richTextData, OptData imageData, bool isCompleted, QDateTime createdAt, QDateTime updatedAt,
             OptDate deletedAt, const DocPtr& doc);
    explicit DocBlock(QUuid id) : StoredModel(id) {}
    static const EntityInfo& entityInfo();
    const EntityInfo& entity() const override { return entityInfo(); }

    TOLMEK_FIELD(QString, typeRaw, setTypeRaw, C_typeRaw)
    TOLMEK_FIELD(int, order, setOrder, C_order)
    TOLMEK_FIELD(QString, content, setContent, C_content)
    TOLMEK_FIELD(OptText, stepTitle, setStepTitle, C_stepTitle)
    TOLMEK_FIELD(OptText, codeLanguage, setCodeLanguage, C_codeLanguage)
    TOLMEK_FIELD(bool, isCompleted, setIsCompleted, C_isCompleted)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt, C_createdAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt, C_updatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt, C_deletedAt)

public:
    // "code" and "image" are their kinds; any other raw text is a text block.
    DocBlockType type() const;

    // Large data, read from the file on first access.
    const OptData& richTextData() const;
    void setRichTextData(const OptData& data);
    const OptData& imageData() const;
    void setImageData(const OptData& data);

    DocPtr doc() const { return m_doc.lock(); }
    void setDoc(const DocPtr& doc);

protected:
    friend class StoredModel<DocBlock>;
    static const std::vector<FieldRef<DocBlock>>& fields();
    void readColumn(int column, sqlite3_stmt* stmt, int col) override;
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class Doc;
    OptData m_richTextData;
    OptData m_imageData;
    mutable bool m_richLoaded = true;    // false only for stored blocks not read yet
    mutable bool m_imageLoaded = true;
    std::weak_ptr<Doc> m_doc;
};

// ---------------------------------------------------------------------------------------------
class Checklist final : public StoredModel<Checklist> {
    Q_OBJECT
public:
    void attachChild(const ChecklistColumnPtr& column);
    void detachChild(ChecklistColumn* column);

    enum Col { C_id, C_name, C_details, C_iconName, C_colorKey, C_colorHex, C_remoteId, C_createdAt, C_updatedAt,
               C_deletedAt, C_project };
    Checklist(QUuid id, QString name, OptText details, QString iconName, OptText colorKey, OptText colorHex,
              OptText remoteId, QDateTime createdAt, QDateTime updatedAt, OptDate deletedAt,
              const ProjectPtr& project);
    explicit Checklist(QUuid id) : StoredModel(id) {}
    static const EntityInfo& entityInfo();
    const EntityInfo& entity() const override { return entityInfo(); }

    TOLMEK_FIELD(QString, name, setName, C_name)
    TOLMEK_FIELD(OptText, details, setDetails, C_details)
    TOLMEK_FIELD(QString, iconName, setIconName, C_iconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey, C_colorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex, C_colorHex)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId, C_remoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt, C_createdAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt, C_updatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt, C_deletedAt)

public:
    // No project: a global checklist.
    ProjectPtr project() const { return m_project.lock(); }
    void setProject(const ProjectPtr& project);

    const std::vector<ChecklistColumnPtr>& columns() const;
    void appendColumn(const ChecklistColumnPtr& column);
    void removeColumn(const ChecklistColumnPtr& column);

protected:
    friend class StoredModel<Checklist>;
    static const std::vector<FieldRef<Checklist>>& fields();
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class ChecklistColumn;
    friend class Project;
    std::weak_ptr<Project> m_project;
    std::vector<ChecklistColumnPtr> m_columns;
};

// ---------------------------------------------------------------------------------------------
class ChecklistColumn final : public StoredModel<ChecklistColumn> {
    Q_OBJECT
public:
    void attachChild(const ChecklistCardPtr& card);
    void detachChild(ChecklistCard* card);

    enum Col { C_id, C_name, C_iconName, C_colorKey, C_colorHex, C_orderIndex, C_remoteId, C_createdAt, C_updatedAt,
               C_deletedAt, C_checklist };
    ChecklistColumn(QUuid id, QString name, QString iconName, OptText colorKey, OptText colorHex, int orderIndex,
                    OptText remoteId, QDateTime createdAt, QDateTime updatedAt, OptDate deletedAt,
                    const ChecklistPtr& checklist);
    explicit ChecklistColumn(QUuid id) : StoredModel(id) {}
    static const EntityInfo& entityInfo();
    const EntityInfo& entity() const override { return entityInfo(); }

    TOLMEK_FIELD(QString, name, setName, C_name)
    TOLMEK_FIELD(QString, iconName, setIconName, C_iconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey, C_colorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex, C_colorHex)
    TOLMEK_FIELD(int, orderIndex, setOrderIndex, C_orderIndex)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId, C_remoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt, C_createdAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt, C_updatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt, C_deletedAt)

public:
    ChecklistPtr checklist() const { return m_checklist.lock(); }
    void setChecklist(const ChecklistPtr& checklist);

    const std::vector<ChecklistCardPtr>& cards() const;
    void appendCard(const ChecklistCardPtr& card);
    void removeCard(const ChecklistCardPtr& card);

protected:
    friend class StoredModel<ChecklistColumn>;
    static const std::vector<FieldRef<ChecklistColumn>>& fields();
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class Checklist;
    friend class ChecklistCard;
    std::weak_ptr<Checklist> m_checklist;
    std::vector<ChecklistCardPtr> m_cards;
};

// ---------------------------------------------------------------------------------------------
class ChecklistCard final : public StoredModel<ChecklistCard> {
    Q_OBJECT
public:
    void attachChild(const ChecklistAttachmentPtr& attachment);
    void detachChild(ChecklistAttachment* attachment);

    enum Col { C_id, C_title, C_notes, C_orderIndex, C_remoteId, C_createdAt, C_updatedAt, C_deletedAt, C_column };
    ChecklistCard(QUuid id, QString title, OptText notes, int orderIndex, OptText remoteId, QDateTime createdAt,
                  QDateTime updatedAt, OptDate deletedAt, const ChecklistColumnPtr& column);
    explicit ChecklistCard(QUuid id) : StoredModel(id) {}
    static const EntityInfo& entityInfo();
    const EntityInfo& entity() const override { return entityInfo(); }

    TOLMEK_FIELD(QString, title, setTitle, C_title)
    TOLMEK_FIELD(OptText, notes, setNotes, C_notes)
    TOLMEK_FIELD(int, orderIndex, setOrderIndex, C_orderIndex)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId, C_remoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt, C_createdAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt, C_updatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt, C_deletedAt)

public:
    ChecklistColumnPtr column() const { return m_column.lock(); }
    void setColumn(const ChecklistColumnPtr& column);

    const std::vector<ChecklistAttachmentPtr>& attachments() const;
    void appendAttachment(const ChecklistAttachmentPtr& attachment);
    void removeAttachment(const ChecklistAttachmentPtr& attachment);

protected:
    friend class StoredModel<ChecklistCard>;
    static const std::vector<FieldRef<ChecklistCard>>& fields();
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class ChecklistColumn;
    friend class ChecklistAttachment;
    std::weak_ptr<ChecklistColumn> m_column;
    std::vector<ChecklistAttachmentPtr> m_attachments;
};

// ---------------------------------------------------------------------------------------------
class ChecklistAttachment final : public StoredModel<ChecklistAttachment> {
    Q_OBJECT
public:
    enum Col { C_id, C_fileName, C_mimeType, C_localPath, C_remoteId, C_createdAt, C_card };
    ChecklistAttachment(QUuid id, QString fileName, OptText mimeType, QString localPath, OptText remoteId,
                        QDateTime createdAt, const ChecklistCardPtr& card);
    explicit ChecklistAttachment(QUuid id) : StoredModel(id) {}
    static const EntityInfo& entityInfo();
    const EntityInfo& entity() const override { return entityInfo(); }

    TOLMEK_FIELD(QString, fileName, setFileName, C_fileName)
    TOLMEK_FIELD(OptText, mimeType, setMimeType, C_mimeType)
    TOLMEK_FIELD(QString, localPath, setLocalPath, C_localPath)
    TOLMEK_FIELD(OptText, remoteId, setRemoteId, C_remoteId)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt, C_createdAt)

public:
    ChecklistCardPtr card() const { return m_card.lock(); }
    void setCard(const ChecklistCardPtr& card);

protected:
    friend class StoredModel<ChecklistAttachment>;
    static const std::vector<FieldRef<ChecklistAttachment>>& fields();
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class ChecklistCard;
    std::weak_ptr<ChecklistCard> m_card;
};

// ---------------------------------------------------------------------------------------------
// Declared with the other types but kept out of the schema: nothing creates or stores one.
class ChecklistItem final {
public:
    ChecklistItem(QUuid id, QString title, OptText notes, bool isDone, int orderIndex, OptDate dueDate,
                  OptText remoteId, QDateTime createdAt, QDateTime updatedAt, const ChecklistPtr& checklist)
        : id(id), title(std::move(title)), notes(std::move(notes)), isDone(isDone), orderIndex(orderIndex),
          dueDate(std::move(dueDate)), remoteId(std::move(remoteId)), createdAt(std::move(createdAt)),
          updatedAt(std::move(updatedAt)), checklist(checklist) {}
    static const EntityInfo& entityInfo();

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

#undef TOLMEK_FIELD
