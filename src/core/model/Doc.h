#pragma once

#include "core/model/StoredModel.h"

#include <QList>

#include <vector>

enum class DocStatus { inProgress, done, needsChanges };
namespace DocStatusInfo {
QString rawValue(DocStatus s);
std::optional<DocStatus> fromRaw(const QString& raw); // exact, case-sensitive
const QList<DocStatus>& allCases(); // inProgress, done, needsChanges
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
    TOLMEK_STORED_TYPE(Doc)

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

    TOLMEK_OWNER_LINK(Project, project, setProject)
    // Blocks (inverse DocBlock::doc), loaded from the file on first access.
    TOLMEK_CHILDREN(DocBlock, blocks, appendBlock, removeBlock)

private:
    mutable bool m_blocksLoaded = true;
};
