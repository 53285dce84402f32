// The projects and documents screens (empty, list, grid, a hovered row or card), their four sheets,
// and the documents screen inside the window.
#include "render-screens/RenderScreens.h"

#include "app/AppShellView.h"
#include "app/ShellState.h"
#include "app/Sidebar.h"
#include "core/model/Models.h"
#include "prefs/Preferences.h"
#include "projects/EditDocSheet.h"
#include "projects/EditProjectSheet.h"
#include "projects/NewDocSheet.h"
#include "projects/NewProjectSheet.h"
#include "projects/ProjectDocumentsView.h"
#include "projects/ProjectEdits.h"
#include "projects/ProjectsListView.h"
#include "ui/Paint.h"

#include <QLineEdit>

namespace {

const QStringList kKeys{"blue", "pink", "orange", "green", "purple", "gray"};

// Fifteen projects, some described, one in a custom colour; returns the newest.
ProjectPtr fillProjects(const Services& s) {
    ProjectEdits edits(s.context);
    ProjectPtr last;
    for (int i = 0; i < 15; ++i) {
        const QString details = i % 3 == 0
            ? QString()
            : QStringLiteral(
                  "Description du projet numéro %1, assez longue pour être coupée à la fin de la "
                  "ligne quand la fenêtre est étroite")
                  .arg(i + 1);
        last = edits.createProject(QStringLiteral("Projet %1").arg(i + 1), details,
                                   {NewProjectSheet::projectIconChoices()[i * 3 % 53], kKeys[i % 6],
                                    i == 4 ? OptText(QStringLiteral("#E0457B")) : OptText()});
    }
    edits.editProject(last, QStringLiteral("Réseau du bâtiment"),
                      QStringLiteral("Infrastructure réseau et documentation du câblage du bâtiment principal."),
                      {QStringLiteral("network"), QStringLiteral("purple"), std::nullopt});
    return last;
}

void fillDocs(const Services& s, const ProjectPtr& project) {
    ProjectEdits edits(s.context);
    const QList<DocStatus> status{DocStatus::inProgress, DocStatus::done, DocStatus::needsChanges};
    for (int i = 0; i < 14; ++i)
        edits.createDoc(project,
                        i == 3 ? QStringLiteral("Un titre de document assez long pour passer sur deux lignes au moins "
                                                "dans la carte")
                               : QStringLiteral("Document %1").arg(i + 1),
                        status[i % 3],
                        {NewDocSheet::docIconChoices()[i % NewDocSheet::docIconChoices().size()], kKeys[i % 6],
                         std::nullopt});
}

void useLayout(const Services& s, const char* layout) { s.prefs.setValue("prefs.defaultLayout", layout); }

// The first row or card as if the pointer were over it.
void hoverFirst(QWidget* screen) {
    if (auto* list = qobject_cast<lists::PagedListScreen*>(screen))
        if (!list->shownItems().isEmpty())
            list->shownItems().front()->hover()->setHoveredImmediately(true);
}

QWidget* projects(const Services& s, const char* layout, bool filled) {
    useLayout(s, layout);
    if (filled)
        fillProjects(s);
    return new ProjectsListView(
        s, [] {}, 0, [](const ProjectPtr&) {});
}

QWidget* documents(const Services& s, const char* layout, bool filled) {
    useLayout(s, layout);
    const ProjectPtr p = fillProjects(s);
    if (filled)
        fillDocs(s, p);
    return new ProjectDocumentsView(
        s, p, [] {}, [] {}, [](const DocPtr&) {});
}

// The documents screen's header in one of the light colours, where its white texts read least well.
QWidget* documentsIn(const Services& s, const char* key) {
    const ProjectPtr p = fillProjects(s);
    ProjectEdits(s.context).editProject(p, p->name(), p->details().value_or(QString()),
                                        {p->iconName(), QString::fromLatin1(key), std::nullopt});
    return new ProjectDocumentsView(
        s, p, [] {}, [] {}, [](const DocPtr&) {});
}

const bool registered = registerScreenShots({
    {"projects-empty", QSize(900, 640), [](const Services& s) { return projects(s, "list", false); }},
    {"projects-list", QSize(1000, 760), [](const Services& s) { return projects(s, "list", true); }},
    {"projects-list-hover", QSize(1000, 760), [](const Services& s) { return projects(s, "list", true); }, hoverFirst},
    {"projects-grid", QSize(1000, 760), [](const Services& s) { return projects(s, "grid", true); }},
    {"projects-grid-hover", QSize(1000, 760), [](const Services& s) { return projects(s, "grid", true); }, hoverFirst},
    {"docs-empty", QSize(900, 640), [](const Services& s) { return documents(s, "list", false); }},
    {"docs-empty-focus-create", QSize(900, 640), [](const Services& s) { return documents(s, "list", false); },
     focusAsTab(QStringLiteral("Créer un document"))},
    {"docs-header-green", QSize(900, 240), [](const Services& s) { return documentsIn(s, "green"); }},
    {"docs-header-orange", QSize(900, 240), [](const Services& s) { return documentsIn(s, "orange"); }},
    {"docs-list", QSize(1000, 1000), [](const Services& s) { return documents(s, "list", true); }},
    {"docs-list-hover", QSize(1000, 760), [](const Services& s) { return documents(s, "list", true); }, hoverFirst},
    {"docs-grid", QSize(1000, 1000), [](const Services& s) { return documents(s, "grid", true); }},
    {"docs-grid-hover", QSize(1000, 760), [](const Services& s) { return documents(s, "grid", true); }, hoverFirst},
    {"docs-in-window", QSize(1100, 720),
     [](const Services& s) -> QWidget* {
         const ProjectPtr p = fillProjects(s);
         fillDocs(s, p);
         QWidget* window = applicationWindow(s);
         AppShellView* shell = shellOf(window);
         shell->sidebar()->tap(SidebarItem::projects);
         shell->state().setSelectedProjectForDocuments(p);
         return window;
     }},
    {"sheet-new-project", QSize(640, 760), [](const Services& s) -> QWidget* { return new NewProjectSheet(s); }},
    {"sheet-edit-project", QSize(640, 760),
     [](const Services& s) -> QWidget* { return new EditProjectSheet(s, fillProjects(s)); }},
    {"sheet-new-doc", QSize(640, 700),
     [](const Services& s) -> QWidget* { return new NewDocSheet(s, fillProjects(s)); }},
    {"sheet-new-doc-focus-create", QSize(640, 700),
     [](const Services& s) -> QWidget* {
         auto* sheet = new NewDocSheet(s, fillProjects(s));
         sheet->findChild<QLineEdit*>()->setText(QStringLiteral("Guide de style"));
         return sheet;
     },
     focusAsTab(QStringLiteral("Créer"))},
    {"sheet-new-doc-focus-cancel", QSize(640, 700),
     [](const Services& s) -> QWidget* { return new NewDocSheet(s, fillProjects(s)); },
     focusAsTab(QStringLiteral("Annuler"))},
    {"sheet-edit-doc", QSize(640, 760),
     [](const Services& s) -> QWidget* {
         const ProjectPtr p = fillProjects(s);
         fillDocs(s, p);
         return new EditDocSheet(s, p->docs()[2]);
     }},
});

} // namespace
