// The checklists screen (list, grid, hovered, searching, empty) and the new-checklist sheet.
#include "render-screens/RenderScreens.h"

#include "checklists/ChecklistEdits.h"
#include "checklists/ChecklistItems.h"
#include "checklists/ChecklistLogic.h"
#include "checklists/ChecklistsListView.h"
#include "checklists/NewChecklistSheet.h"
#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "prefs/Preferences.h"
#include "ui/lists/ListChrome.h"

#include <QLineEdit>
#include <QTest>

namespace {

void fill(const Services& s) {
    ChecklistEdits edits(s.context);
    auto project = [&](const QString& name, const QString& key) {
        ProjectFields f;
        f.name = name;
        f.iconName = "folder";
        f.colorKey = key;
        f.createdAt = f.updatedAt = Clock::now();
        auto p = std::make_shared<Project>(std::move(f));
        s.context.insert(p);
        return p;
    };
    auto site = project("Site vitrine", "orange");
    auto app = project("Application mobile", "purple");
    struct Sample {
        QString name;
        ProjectPtr project;
        int toDo, done;
    };
    for (const Sample& sample : {Sample{"Recette", app, 2, 5}, Sample{"Courses de la semaine", nullptr, 6, 1},
                                 Sample{"Réception des travaux de la salle polyvalente et des vestiaires", site, 1, 1},
                                 Sample{"Mise en ligne", site, 4, 3}, Sample{"Checklist Production", app, 0, 8},
                                 Sample{"Rentrée", nullptr, 3, 0}}) {
        auto c = edits.createChecklist(sample.name, sample.project);
        const auto cols = ChecklistLogic::sortedColumns(*c);
        for (int i = 0; i < sample.toDo; ++i)
            edits.createCard(c, cols[0], QStringLiteral("Étape %1").arg(i + 1), std::nullopt);
        for (int i = 0; i < sample.done; ++i)
            edits.createCard(c, cols[1], QStringLiteral("Faite %1").arg(i + 1), std::nullopt);
    }
}

QWidget* screen(const Services& s, bool withData, const QString& layout) {
    s.prefs.setValue("prefs.defaultLayout", layout);
    if (withData)
        fill(s);
    return new ChecklistsListView(s, {}, {});
}

// Puts the pointer over the first row or card.
void hoverFirst(QWidget* w) {
    auto* view = static_cast<ChecklistsListView*>(w);
    if (auto* item = view->shownItems().value(0)) {
        QTest::mouseMove(item, item->rect().center());
        QEnterEvent enter(QPointF(item->rect().center()), QPointF(item->rect().center()),
                          QPointF(item->mapToGlobal(item->rect().center())));
        QCoreApplication::sendEvent(item, &enter);
    }
}

const bool registered = registerScreenShots({
    ScreenShot{QStringLiteral("checklists-list"), QSize(900, 640),
               [](const Services& s) { return screen(s, true, "list"); }},
    ScreenShot{QStringLiteral("checklists-list-hover"), QSize(900, 640),
               [](const Services& s) { return screen(s, true, "list"); }, hoverFirst},
    ScreenShot{QStringLiteral("checklists-list-narrow"), QSize(620, 640),
               [](const Services& s) { return screen(s, true, "list"); }},
    ScreenShot{QStringLiteral("checklists-grid"), QSize(900, 640),
               [](const Services& s) { return screen(s, true, "grid"); }},
    ScreenShot{QStringLiteral("checklists-grid-hover"), QSize(900, 640),
               [](const Services& s) { return screen(s, true, "grid"); }, hoverFirst},
    ScreenShot{QStringLiteral("checklists-search"), QSize(900, 640),
               [](const Services& s) { return screen(s, true, "list"); },
               [](QWidget* w) { static_cast<ChecklistsListView*>(w)->setSearchText("mise"); }},
    ScreenShot{QStringLiteral("checklists-empty"), QSize(900, 420),
               [](const Services& s) { return screen(s, false, "list"); }},
    ScreenShot{QStringLiteral("checklists-new-sheet"), QSize(556, 330),
               [](const Services& s) -> QWidget* {
                   fill(s);
                   auto* sheet = new NewChecklistSheet(s);
                   sheet->nameField()->setText("Checklist Production");
                   return sheet;
               }},
    ScreenShot{QStringLiteral("checklists-new-sheet-focus-name"), QSize(556, 330),
               [](const Services& s) -> QWidget* {
                   fill(s);
                   return new NewChecklistSheet(s);
               },
               focusAsTab(QStringLiteral("Nom"))},
    ScreenShot{QStringLiteral("checklists-new-sheet-focus-create"), QSize(556, 330),
               [](const Services& s) -> QWidget* {
                   fill(s);
                   auto* sheet = new NewChecklistSheet(s);
                   sheet->nameField()->setText("Checklist Production");
                   return sheet;
               },
               focusAsTab(QStringLiteral("Créer"))},
});

} // namespace
