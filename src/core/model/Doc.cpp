#include "core/model/Doc.h"

#include "core/model/DocBlock.h"
#include "core/model/Project.h"
#include "core/model/Relations.h"

QString DocStatusInfo::rawValue(DocStatus s) {
    switch (s) {
    case DocStatus::inProgress: return QStringLiteral("in_progress");
    case DocStatus::done: return QStringLiteral("done");
    case DocStatus::needsChanges: return QStringLiteral("needs_changes");
    }
    return QStringLiteral("in_progress");
}

std::optional<DocStatus> DocStatusInfo::fromRaw(const QString& raw) {
    for (DocStatus s : allCases())
        if (rawValue(s) == raw)
            return s;
    return std::nullopt;
}

const QList<DocStatus>& DocStatusInfo::allCases() {
    static const QList<DocStatus> all{DocStatus::inProgress, DocStatus::done, DocStatus::needsChanges};
    return all;
}

const std::vector<Field<DocFields>>& Doc::fieldTable() {
    using F = DocFields;
    static const std::vector<Field<F>> table{
        field("id", &F::id),
        field("title", &F::title),
        field("statusRaw", &F::statusRaw),
        field("iconName", &F::iconName),
        field("colorKey", &F::colorKey),
        field("colorHex", &F::colorHex),
        field("createdAt", &F::createdAt),
        field("updatedAt", &F::updatedAt),
        field("deletedAt", &F::deletedAt),
        link("project", &F::project, entity::Project, DeleteRule::cascade),
    };
    return table;
}

Doc::Doc(LoadedRow, QUuid id) : StoredModel(DocFields{id}) { m_blocksLoaded = false; }

DocStatus Doc::status() const { return DocStatusInfo::fromRaw(m_f.statusRaw).value_or(DocStatus::inProgress); }

TOLMEK_DEFINE_OWNER_LINK(Doc, Project, project, setProject, docs)

void Doc::onInserted() {
    relations::joinOwner(*this, m_f.project);
    relations::insertNewChildren(*this, m_blocks);
}

void Doc::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    relations::ownerDeleted(*this, cascade, blocks(), &DocBlock::setDoc);
    leaveOwner(&Fields::project);
}

const std::vector<DocBlockPtr>& Doc::blocks() const {
    if (!m_blocksLoaded) {
        m_blocksLoaded = true;
        if (modelContext())
            modelContext()->loadChildren(const_cast<Doc*>(this), entity::DocBlock,
                                         DocBlock::columnOf(&DocBlockFields::doc));
    }
    return m_blocks;
}

TOLMEK_DEFINE_CHILDREN(Doc, DocBlock, blocks, appendBlock, removeBlock, doc, setDoc)
