#include "projects/ProjectEdits.h"

#include "core/model/Clock.h"
#include "ui/lists/Paging.h"

OptText ProjectEdits::trimmedDetails(const QString& details) {
    const QString t = lists::trimmed(details);
    return t.isEmpty() ? OptText() : OptText(t);
}

bool ProjectEdits::save() { return m_context.save(); }

ProjectPtr ProjectEdits::createProject(const QString& name, const QString& details, const Look& look) {
    ProjectFields f;
    f.name = lists::trimmed(name);
    f.details = trimmedDetails(details);
    f.iconName = look.iconName;
    f.colorKey = look.colorKey;
    f.colorHex = look.colorHex;
    f.createdAt = Clock::now();
    f.updatedAt = Clock::now();
    auto project = std::make_shared<Project>(std::move(f));
    m_context.insert(project);
    save();
    return project;
}

bool ProjectEdits::editProject(const ProjectPtr& project, const QString& name, const QString& details,
                               const Look& look) {
    project->setName(lists::trimmed(name));
    project->setDetails(trimmedDetails(details));
    project->setIconName(look.iconName);
    project->setColorKey(look.colorKey);
    project->setColorHex(look.colorHex);
    project->setUpdatedAt(Clock::now());
    return save();
}

bool ProjectEdits::deleteProject(const ProjectPtr& project) {
    m_context.deleteObject(project);
    return save();
}

DocPtr ProjectEdits::createDoc(const ProjectPtr& project, const QString& title, DocStatus status, const Look& look) {
    DocFields f;
    f.title = lists::trimmed(title);
    f.statusRaw = DocStatusInfo::rawValue(status);
    f.iconName = look.iconName;
    f.colorKey = look.colorKey;
    f.colorHex = look.colorHex;
    f.createdAt = Clock::now();
    f.updatedAt = Clock::now();
    f.project = project;
    auto doc = std::make_shared<Doc>(std::move(f));
    // Inserting links the document into the project's list before the stamp makes its documents
    // screen reload, so the new document is listed at once.
    m_context.insert(doc);
    project->setUpdatedAt(Clock::now());
    save();
    return doc;
}

bool ProjectEdits::editDoc(const DocPtr& doc, const QString& title, DocStatus status, const Look& look) {
    doc->setTitle(lists::trimmed(title));
    doc->setStatusRaw(DocStatusInfo::rawValue(status));
    doc->setIconName(look.iconName);
    doc->setColorKey(look.colorKey);
    doc->setColorHex(look.colorHex);
    doc->setUpdatedAt(Clock::now());
    if (const ProjectPtr project = doc->project())
        project->setUpdatedAt(Clock::now());
    return save();
}

bool ProjectEdits::hideDoc(const DocPtr& doc) {
    doc->setDeletedAt(Clock::now());
    doc->setUpdatedAt(Clock::now());
    return save();
}
