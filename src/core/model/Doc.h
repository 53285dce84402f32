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

#define TOLMEK_DOC_FIELDS(X)                   \
    X(field, QString, title, setTitle)         \
    X(field, QString, statusRaw, setStatusRaw) \
    TOLMEK_LOOK_FIELDS(X)                      \
    TOLMEK_STAMP_FIELDS(X)                     \
    X(ownedBy, Project, project, setProject)

// The stored values of a document.
TOLMEK_STORED_FIELDS(Doc, TOLMEK_DOC_FIELDS);

// A document of a project: a title, a status and ordered blocks.
class Doc final : public StoredModel<Doc, DocFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(Doc, TOLMEK_DOC_FIELDS)

    // Any raw text but the three known ones reads as in progress.
    DocStatus status() const;

    // Blocks (inverse DocBlock::doc), loaded from the file on first access.
    TOLMEK_CHILDREN(DocBlock, blocks, appendBlock, removeBlock)

private:
    mutable bool m_blocksLoaded = true;
};
