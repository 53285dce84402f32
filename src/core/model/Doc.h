#pragma once

#include "core/model/StoredModel.h"

#include <QList>

#include <vector>

enum class DocStatus { inProgress, done, needsChanges };
namespace DocStatusInfo {
QString rawValue(DocStatus s);
std::optional<DocStatus> fromRaw(const QString& raw);   // exact, case-sensitive
const QList<DocStatus>& allCases();                     // inProgress, done, needsChanges
} // namespace DocStatusInfo

// The stored values of a document; a new document is built from them.
struct DocFields {
    QUuid id = QUuid::createUuid();
    QString title;
    QString statusRaw;
    QString iconName;
    OptText colorKey;
    OptText colorHex;
    QDateTime createdAt;
    QDateTime updatedAt;
    OptDate deletedAt;
    std::weak_ptr<Project> project;
};

// A document of a project: a title, a status and ordered blocks.
class Doc final : public StoredModel<Doc, DocFields> {
    Q_OBJECT
public:
    static constexpr int kEntity = entity::Doc;
    static constexpr const char* kTable = "Doc";
    static const std::vector<Field<DocFields>>& fieldTable();

    explicit Doc(DocFields fields);
    Doc(LoadedRow, QUuid id);   // for the store

    TOLMEK_FIELD(QString, title, setTitle)
    TOLMEK_FIELD(QString, statusRaw, setStatusRaw)
    TOLMEK_FIELD(QString, iconName, setIconName)
    TOLMEK_FIELD(OptText, colorKey, setColorKey)
    TOLMEK_FIELD(OptText, colorHex, setColorHex)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

public:
    // Any raw text but the three known ones reads as in progress.
    DocStatus status() const;

    ProjectPtr project() const { return m_f.project.lock(); }
    void setProject(const ProjectPtr& project);

    // Blocks (inverse DocBlock::doc), loaded from the file on first access.
    const std::vector<DocBlockPtr>& blocks() const;
    void appendBlock(const DocBlockPtr& block);
    void removeBlock(const DocBlockPtr& block);

    // Store-internal: keep the array in step with the blocks' links.
    void attachChild(const DocBlockPtr& block);
    void detachChild(DocBlock* block);

protected:
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override;
    void onInserted() override;
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;

private:
    friend class DocBlock;
    friend class Project;
    mutable bool m_blocksLoaded = true;
    std::vector<DocBlockPtr> m_blocks;
};
