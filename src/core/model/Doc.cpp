#include "core/model/Doc.h"

#include "core/model/DocBlock.h"
#include "core/model/Project.h"
#include "core/model/RawEnum.h"
#include "core/model/Relations.h"

TOLMEK_DEFINE_RAW_ENUM(DocStatusInfo, DocStatus, {DocStatus::inProgress, "in_progress"}, {DocStatus::done, "done"},
                       {DocStatus::needsChanges, "needs_changes"})

Doc::Doc(LoadedRow, QUuid id) : StoredModel(DocFields{id}) { m_blocksLoaded = false; }

DocStatus Doc::status() const { return DocStatusInfo::fromRaw(m_f.statusRaw).value_or(DocStatus::inProgress); }

TOLMEK_DEFINE_OWNER_LINK(Doc, Project, project, setProject, docs)

TOLMEK_DEFINE_STORE_HOOKS(Doc, project, DocBlock, blocks, setDoc)

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
