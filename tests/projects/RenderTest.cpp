#include "ProjectsFixture.h"

#include "ui/Theme.h"
#include "ui/DisplayLayout.h"
#include "prefs/Preferences.h"
#include "ui/Paint.h"
#include "projects/EditDocSheet.h"
#include "projects/Items.h"
#include "projects/EditProjectSheet.h"
#include "projects/NewDocSheet.h"
#include "projects/NewProjectSheet.h"
#include "projects/ProjectDocumentsView.h"
#include "projects/ProjectsListView.h"

#include <QApplication>
#include <QDir>

namespace {

// Renders every screen and sheet to PNG files when TOLMEK_RENDER_DIR names a folder, for a visual check.
class RenderTest : public ProjectsFixture {
protected:
    void SetUp() override {
        ProjectsFixture::SetUp();
        outDir = qEnvironmentVariable("TOLMEK_RENDER_DIR");
    }
    void TearDown() override {
        ThemeManager::setSystemDarkForTesting(std::nullopt);
        ThemeManager::shared().setTheme(AppTheme::system);
        ProjectsFixture::TearDown();
    }
    void save(QWidget* w, const QString& name) {
        w->show();
        flush();
        const QPixmap shot = w->grab();
        EXPECT_FALSE(shot.isNull());
        if (!outDir.isEmpty())
            shot.save(outDir + "/" + name + ".png");
    }
    void fill(const ProjectPtr& project) {
        const QStringList status{"in_progress", "done", "needs_changes", "archived"};
        const QStringList keys{"blue", "pink", "orange", "green", "purple", "gray"};
        for (int i = 0; i < 14; ++i)
            makeDoc(project, i == 3 ? QStringLiteral("Un titre de document assez long pour passer sur deux lignes au moins dans la carte")
                                    : QStringLiteral("Document %1").arg(i + 1),
                    100 + i, status[i % 4], keys[i % 6], std::nullopt,
                    NewDocSheet::docIconChoices()[i % NewDocSheet::docIconChoices().size()]);
    }
    QString outDir;
};

TEST_F(RenderTest, ScreensAndSheetsInBothAppearances) {
    for (bool dark : {false, true}) {
        ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
        applyAppearance();
        const QString suffix = dark ? "-dark" : "-light";
        for (const QString& layout : {QStringLiteral("list"), QStringLiteral("grid")}) {
            Preferences::shared().setValue(DisplayLayouts::preferenceKey, layout);
            auto* empty = keep(new ProjectsListView([] {}, 0, [](const ProjectPtr&) {}));
            empty->resize(900, 640);
            save(empty, "projects-empty-" + layout + suffix);
            auto* emptyProject = makeProject(QStringLiteral("Vide"), 1, std::nullopt, QStringLiteral("purple")).get();
            auto* emptyDocs = keep(new ProjectDocumentsView(modelContext().object<Project>(emptyProject->id()), [] {},
                                                            [] {}, [](const DocPtr&) {}));
            emptyDocs->resize(900, 640);
            save(emptyDocs, "docs-empty-" + layout + suffix);
            modelContext().deleteObject(modelContext().object<Project>(emptyProject->id()));
        }
    }
    ThemeManager::shared().setTheme(AppTheme::light);
    applyAppearance();
}

TEST_F(RenderTest, FullScreens) {
    const QStringList keys{"blue", "pink", "orange", "green", "purple", "gray"};
    ProjectPtr main;
    for (int i = 0; i < 15; ++i) {
        auto p = makeProject(QStringLiteral("Projet %1").arg(i + 1), i,
                             i % 3 == 0 ? OptText() : OptText(QStringLiteral("Description du projet numéro %1, assez longue pour être coupée à la fin de la ligne").arg(i + 1)),
                             keys[i % 6], i == 4 ? OptText(QStringLiteral("#E0457B")) : OptText(),
                             NewProjectSheet::projectIconChoices()[i * 3 % 53]);
        if (i == 14)
            main = p;
    }
    main->setDetails(QStringLiteral("Infrastructure réseau et documentation du câblage du bâtiment principal."));
    fill(main);
    for (bool dark : {false, true}) {
        ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
        applyAppearance();
        const QString suffix = dark ? "-dark" : "-light";
        for (const QString& layout : {QStringLiteral("list"), QStringLiteral("grid")}) {
            Preferences::shared().setValue(DisplayLayouts::preferenceKey, layout);
            auto* list = keep(new ProjectsListView([] {}, 0, [](const ProjectPtr&) {}));
            list->resize(1000, 760);
            save(list, "projects-full-" + layout + suffix);
            // The first row or card as if the pointer were over it.
            if (auto* item = list->findChild<projectsui::ItemBase*>())
                item->hover()->setHoveredImmediately(true);
            save(list, "projects-hover-" + layout + suffix);
            auto* docs = keep(new ProjectDocumentsView(main, [] {}, [] {}, [](const DocPtr&) {}));
            docs->resize(1000, 1000);
            save(docs, "docs-full-" + layout + suffix);
            if (auto* item = docs->findChild<projectsui::ItemBase*>())
                item->hover()->setHoveredImmediately(true);
            save(docs, "docs-hover-" + layout + suffix);
        }
        auto* np = keep(new NewProjectSheet);
        save(np, "sheet-new-project" + suffix);
        auto* ep = keep(new EditProjectSheet(modelContext().fetch<Project>()[4]));
        save(ep, "sheet-edit-project" + suffix);
        auto* nd = keep(new NewDocSheet(main));
        save(nd, "sheet-new-doc" + suffix);
        auto* ed = keep(new EditDocSheet(main->docs()[2]));
        save(ed, "sheet-edit-doc" + suffix);
    }
    ThemeManager::shared().setTheme(AppTheme::light);
    applyAppearance();
}

} // namespace
