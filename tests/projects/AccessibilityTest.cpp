#include "ProjectsFixture.h"

#include "projects/Items.h"
#include "projects/NewProjectSheet.h"
#include "projects/EditDocSheet.h"
#include "projects/ProjectDocumentsView.h"
#include "projects/ProjectsListView.h"
#include "support/Accessibility.h"

#include <QAccessibleEditableTextInterface>
#include <QPushButton>

namespace {

using testsupport::accessibleNames;
using testsupport::findAccessible;
using testsupport::pressAccessible;
using testsupport::unnamedAccessibleElements;

class ScreenReaderTest : public ProjectsFixture {
protected:
    template <class W>
    W* shown(W* w, QSize size = {1000, 760}) {
        keep(w);
        w->resize(size);
        w->show();
        flush();
        return w;
    }
    static void expectNames(QWidget* root, const QStringList& texts) {
        const QStringList names = accessibleNames(root);
        for (const QString& t : texts)
            EXPECT_TRUE(names.contains(t)) << t.toStdString();
    }
};

TEST_F(ScreenReaderTest, TheProjectsScreenIsReadAndOperatedInBothLayouts) {
    auto* empty = shown(new ProjectsListView(
        services(), [] {}, 0, [](const ProjectPtr&) {}));
    EXPECT_EQ(unnamedAccessibleElements(empty), QStringList());
    expectNames(empty,
                {"Projets", "Retrouvez et organisez votre documentation.", "Rechercher un projet…", "Liste", "Grille",
                 "Aucun projet pour l’instant", "Crée ton premier projet pour organiser tes documents.",
                 "Créer un projet", "Page précédente", "Page 1 / 1", "Page suivante", "12 / page"});
    widgets.clear();

    makeProject(QStringLiteral("Alpha"), 1, QStringLiteral("Notes d’alpha"));
    makeProject(QStringLiteral("Bravo"), 2);
    std::vector<ProjectPtr> opened;
    auto* view = shown(new ProjectsListView(
        services(), [] {}, 0, [&](const ProjectPtr& p) { opened.push_back(p); }));
    for (const char* layout : {"list", "grid"}) {
        env.prefs().setValue(DisplayLayouts::preferenceKey, QString::fromLatin1(layout));
        flush();
        EXPECT_EQ(unnamedAccessibleElements(view), QStringList()) << layout;
        expectNames(view, {"Alpha", "Notes d’alpha", "Bravo"});
        // Each project is one item named by its name; pressing it opens the project.
        QAccessibleInterface* item = findAccessible(view, QStringLiteral("Alpha"), QAccessible::ListItem);
        ASSERT_TRUE(item) << layout;
        EXPECT_EQ(item->text(QAccessible::Description), QStringLiteral("Notes d’alpha"));
        opened.clear();
        EXPECT_TRUE(pressAccessible(item));
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened.front()->name(), QStringLiteral("Alpha"));
    }
    // The rows' menus are named; the cards' only show while the pointer is over them.
    env.prefs().setValue(DisplayLayouts::preferenceKey, QStringLiteral("list"));
    flush();
    EXPECT_TRUE(findAccessible(view, QStringLiteral("Actions"), QAccessible::ButtonMenu) ||
                findAccessible(view, QStringLiteral("Actions"), QAccessible::Button));
}

TEST_F(ScreenReaderTest, TheDocumentsScreenReadsItsHeaderRowsDatesAndBadges) {
    auto p = makeProject(QStringLiteral("Réseau"), 1, QStringLiteral("Câblage du bâtiment"));
    auto* empty = shown(new ProjectDocumentsView(
        services(), p, [] {}, [] {}, [](const DocPtr&) {}));
    EXPECT_EQ(unnamedAccessibleElements(empty), QStringList());
    expectNames(empty,
                {"Réseau", "Câblage du bâtiment", "Documents", "Rechercher un document…", "Aucun document",
                 "Créez votre premier document pour commencer à documenter ce projet.", "Créer un document",
                 "Page 1 / 1"});
    widgets.clear();

    auto d = makeDoc(p, QStringLiteral("Plan"), 2, QStringLiteral("done"));
    auto* view = shown(new ProjectDocumentsView(
        services(), p, [] {}, [] {}, [](const DocPtr&) {}));
    for (const char* layout : {"list", "grid"}) {
        env.prefs().setValue(DisplayLayouts::preferenceKey, QString::fromLatin1(layout));
        flush();
        EXPECT_EQ(unnamedAccessibleElements(view), QStringList()) << layout;
        expectNames(view, {"Plan", "Terminé", projectsui::modifiedLine(d->updatedAt())});
        EXPECT_TRUE(findAccessible(view, QStringLiteral("Plan"), QAccessible::ListItem)) << layout;
    }
}

TEST_F(ScreenReaderTest, SheetsNameTheirSwatchesAndIconsAndTextSetThroughAccessibilityEnablesCreate) {
    auto* sheet = keep(new NewProjectSheet(services()));
    sheet->show();
    flush();
    EXPECT_EQ(unnamedAccessibleElements(sheet), QStringList());
    expectNames(sheet, {"Nouveau projet", "Couleur", "Icône", "Couleur libre", "Annuler", "Créer"});
    QAccessibleInterface* pink = findAccessible(sheet, QStringLiteral("Rose"), QAccessible::RadioButton);
    ASSERT_TRUE(pink);
    pressAccessible(pink);
    QTest::qWait(200); // a pressed button clicks after its animation
    EXPECT_EQ(sheet->selectedColorKey(), QStringLiteral("pink"));
    EXPECT_EQ(pink->text(QAccessible::Description), QStringLiteral("Sélectionné"));
    QAccessibleInterface* star = findAccessible(sheet, QStringLiteral("Étoile"), QAccessible::RadioButton);
    ASSERT_TRUE(star);
    pressAccessible(star);
    QTest::qWait(200);
    EXPECT_EQ(sheet->selectedIcon(), QStringLiteral("star.fill"));

    // The name typed by assistive technology counts as typing.
    EXPECT_FALSE(sheet->confirmButton()->isEnabled());
    QAccessibleInterface* name = findAccessible(sheet, QStringLiteral("Nom du projet"), QAccessible::EditableText);
    ASSERT_TRUE(name && name->editableTextInterface());
    name->editableTextInterface()->insertText(0, QStringLiteral("Gamma"));
    EXPECT_TRUE(sheet->confirmButton()->isEnabled());
    pressAccessible(findAccessible(sheet, QStringLiteral("Créer"), QAccessible::Button));
    QTest::qWait(200);
    ASSERT_EQ(context().fetch<Project>().size(), 1u);
    EXPECT_EQ(context().fetch<Project>().front()->iconName(), QStringLiteral("star.fill"));

    auto* docSheet = keep(new EditDocSheet(services(), makeDoc(context().fetch<Project>().front(), "D", 3)));
    docSheet->show();
    flush();
    EXPECT_EQ(unnamedAccessibleElements(docSheet), QStringList());
    expectNames(docSheet, {"Modifier le document", "Titre", "Statut", "Enregistrer"});
}

TEST_F(ScreenReaderTest, ARowWithoutDescriptionCentresItsNameAgainstTheTile) {
    auto p = makeProject(QStringLiteral("Sans description"), 1);
    projectsui::ProjectRow row(env.theme(), p, {});
    row.resize(700, row.sizeHint().height());
    row.show();
    flush();
    const int nameMiddle =
        row.nameText()->geometry().top() + row.nameText()->heightForWidth(row.nameText()->width()) / 2;
    const int tileMiddle = row.tile()->geometry().center().y();
    EXPECT_LE(std::abs(nameMiddle - tileMiddle), 2) << nameMiddle << " vs " << tileMiddle;
}

} // namespace
