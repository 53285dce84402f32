#pragma once

#include "core/model/Models.h"

class ModelContext;

// Every change the projects feature makes to the store: creating, editing, stamping, hiding and
// deleting projects and documents. Names, titles and descriptions are trimmed here. Each edit saves;
// a failed save is logged by the store and stays pending for the next one, and the edit returns false.
class ProjectEdits {
public:
    explicit ProjectEdits(ModelContext& context) : m_context(context) {}

    // The icon and colour picked in a sheet.
    struct Look {
        QString iconName;
        OptText colorKey;
        OptText colorHex;
    };

    // A new project, created and updated now.
    ProjectPtr createProject(const QString& name, const QString& details, const Look& look);
    // Writes the fields and stamps the project.
    bool editProject(const ProjectPtr& project, const QString& name, const QString& details, const Look& look);
    // Deletes the project for good; its documents go with it and its checklists become global.
    bool deleteProject(const ProjectPtr& project);

    // A new document in `project`; the project is stamped so that its documents screen reloads.
    DocPtr createDoc(const ProjectPtr& project, const QString& title, DocStatus status, const Look& look);
    // Writes the fields and stamps the document and its project.
    bool editDoc(const DocPtr& doc, const QString& title, DocStatus status, const Look& look);
    // Hides the document (a deletion date, then an update date read from the clock again); the
    // project is not stamped.
    bool hideDoc(const DocPtr& doc);

    // The trimmed description, or none when nothing is left.
    static OptText trimmedDetails(const QString& details);

private:
    bool save();
    ModelContext& m_context;
};
