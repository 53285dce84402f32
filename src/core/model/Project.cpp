#include "core/model/Project.h"

#include "core/model/Checklist.h"
#include "core/model/Doc.h"
#include "core/model/Relations.h"

const std::vector<Field<ProjectFields>>& Project::fieldTable() {
    using F = ProjectFields;
    static const std::vector<Field<F>> table{
        field("id", &F::id),
        field("name", &F::name),
        field("details", &F::details),
        field("iconName", &F::iconName),
        field("colorKey", &F::colorKey),
        field("colorHex", &F::colorHex),
        field("createdAt", &F::createdAt),
        field("updatedAt", &F::updatedAt),
        field("deletedAt", &F::deletedAt),
    };
    return table;
}

Project::Project(ProjectFields fields) : StoredModel(std::move(fields)) {}

Project::Project(LoadedRow, QUuid id) : StoredModel(ProjectFields{id}) {
    m_docsLoaded = m_checklistsLoaded = false;
}

const std::vector<DocPtr>& Project::docs() const { return loadedChildren(m_docs, &m_docsLoaded); }

const std::vector<ChecklistPtr>& Project::checklists() const {
    return loadedChildren(m_checklists, &m_checklistsLoaded);
}

void Project::appendDoc(const DocPtr& doc) { relations::appendChild(*this, doc, &Doc::project, &Doc::setProject); }

void Project::removeDoc(const DocPtr& doc) { relations::removeChild(*this, doc, &Doc::project, &Doc::setProject); }

void Project::appendChecklist(const ChecklistPtr& checklist) {
    relations::appendChild(*this, checklist, &Checklist::project, &Checklist::setProject);
}

void Project::removeChecklist(const ChecklistPtr& checklist) {
    relations::removeChild(*this, checklist, &Checklist::project, &Checklist::setProject);
}

void Project::attachChild(const DocPtr& doc) {
    docs();
    attachToList(m_docs, doc, "docs");
}

void Project::detachChild(Doc* doc) { detachFromList(m_docs, doc, "docs"); }

void Project::attachChild(const ChecklistPtr& checklist) {
    checklists();
    attachToList(m_checklists, checklist, "checklists");
}

void Project::detachChild(Checklist* checklist) { detachFromList(m_checklists, checklist, "checklists"); }

void Project::onInserted() {
    relations::insertNewChildren(*this, m_docs);
    relations::insertNewChildren(*this, m_checklists);
}

void Project::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    relations::ownerDeleted(*this, cascade, docs(), &Doc::setProject);
    relations::ownerDeleted(*this, cascade, checklists(), &Checklist::setProject);
}
