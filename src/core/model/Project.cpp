#include "core/model/Project.h"

#include "core/model/Checklist.h"
#include "core/model/Doc.h"
#include "core/model/Relations.h"

Project::Project(LoadedRow, QUuid id) : StoredModel(ProjectFields{id}) { m_docsLoaded = m_checklistsLoaded = false; }

const std::vector<DocPtr>& Project::docs() const { return loadedChildren(m_docs, &m_docsLoaded); }

const std::vector<ChecklistPtr>& Project::checklists() const {
    return loadedChildren(m_checklists, &m_checklistsLoaded);
}

TOLMEK_DEFINE_CHILDREN(Project, Doc, docs, appendDoc, removeDoc, project, setProject)
TOLMEK_DEFINE_CHILDREN(Project, Checklist, checklists, appendChecklist, removeChecklist, project, setProject)

void Project::onInserted() {
    relations::insertNewChildren(*this, m_docs);
    relations::insertNewChildren(*this, m_checklists);
}

void Project::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    relations::ownerDeleted(*this, cascade, docs(), &Doc::setProject);
    relations::ownerDeleted(*this, cascade, checklists(), &Checklist::setProject);
}
