#include "ShellFixture.h"

#include "app/Placeholders.h"
#include "board/ChecklistDetailView.h"
#include "dashboard/DashboardView.h"
#include "editor/DocEditorView.h"
#include "settings/SettingsView.h"
#include "projects/NewDocSheet.h"
#include "projects/NewProjectSheet.h"
#include "projects/ProjectDocumentsView.h"
#include "projects/ProjectsListView.h"

#include <QLineEdit>
#include <QMouseEvent>

using Screen = Router::Screen;

TEST_F(ShellTest, LaunchShowsDashboardWithHeaderAndNothingOpen) {
    EXPECT_EQ(state().selection(), SidebarItem::dashboard);
    EXPECT_TRUE(sidebar()->row(SidebarItem::dashboard)->isSelectedRow());
    EXPECT_FALSE(sidebar()->row(SidebarItem::projects)->isSelectedRow());
    EXPECT_EQ(sidebar()->header()->activeTitle(), "Tableau de bord");
    EXPECT_TRUE(qobject_cast<DashboardView*>(router()->currentScreen()));
    EXPECT_EQ(state().projectsRefreshToken(), 0);
    EXPECT_FALSE(toolbar()->backButton()->isVisible());

    EXPECT_EQ(SidebarItemInfo::fromRaw("projects"), SidebarItem::projects);
    EXPECT_EQ(SidebarItemInfo::fromRaw("Projects"), std::nullopt);
}

TEST_F(ShellTest, SidebarRoutesEverySection) {
    clickRow(SidebarItem::projects);
    EXPECT_TRUE(qobject_cast<ProjectsListView*>(router()->currentScreen()));
    EXPECT_EQ(sidebar()->header()->activeTitle(), "Projets");
    clickRow(SidebarItem::checklists);
    EXPECT_TRUE(qobject_cast<ChecklistsListView*>(router()->currentScreen()));
    clickRow(SidebarItem::settings);
    EXPECT_TRUE(qobject_cast<SettingsView*>(router()->currentScreen()));
    EXPECT_EQ(sidebar()->header()->activeTitle(), "Réglages");
    clickRow(SidebarItem::dashboard);
    EXPECT_TRUE(qobject_cast<DashboardView*>(router()->currentScreen()));
}

TEST_F(ShellTest, ProjectsRoutesThroughDocumentsToEditor) {
    auto p = project("Alpha");
    auto d = doc(p, "Spéc");
    clickRow(SidebarItem::projects);
    router()->callbacks().onOpenProject(p);
    auto* docs = qobject_cast<ProjectDocumentsView*>(router()->currentScreen());
    ASSERT_TRUE(docs);
    EXPECT_EQ(docs->project(), p);
    router()->callbacks().onOpenDoc(d);
    auto* editor = qobject_cast<ImprovedDocEditorView*>(router()->currentScreen());
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->doc(), d);
    EXPECT_EQ(state().selection(), SidebarItem::projects);

    // The editor's back button goes to the projects list with nothing open.
    EXPECT_TRUE(toolbar()->backButton()->isVisible());
    EXPECT_EQ(toolbar()->backButton()->toolTip(), "Retour aux projets");
    click(toolbar()->backButton());
    EXPECT_TRUE(qobject_cast<ProjectsListView*>(router()->currentScreen()));
    EXPECT_EQ(state().openedDoc(), nullptr);
    EXPECT_EQ(state().selectedProjectForDocuments(), nullptr);

    // The documents screen's own back callback.
    router()->callbacks().onOpenProject(p);
    router()->callbacks().onDocumentsBack();
    EXPECT_TRUE(qobject_cast<ProjectsListView*>(router()->currentScreen()));
}

TEST_F(ShellTest, OpenedDocumentIgnoredOutsideItsSections) {
    auto p = project("Alpha");
    auto d = doc(p, "Spéc");
    // A document open without a selected project does not show in "Projets".
    state().setOpenedDoc(d);
    for (auto [item, screen] : {std::pair{SidebarItem::projects, Screen::projects},
                                {SidebarItem::checklists, Screen::checklists},
                                {SidebarItem::settings, Screen::settings},
                                {SidebarItem::dashboard, Screen::docEditor}}) {
        state().setSelection(item);
        EXPECT_EQ(Router::route(state()), screen) << SidebarItemInfo::rawValue(item).toStdString();
    }
}

TEST_F(ShellTest, ChecklistsRouteToBoardAndBack) {
    auto c = checklist("Sprint");
    clickRow(SidebarItem::checklists);
    router()->callbacks().onOpenChecklist(c);
    auto* board = qobject_cast<ChecklistDetailView*>(router()->currentScreen());
    ASSERT_TRUE(board);
    EXPECT_EQ(board->checklist(), c);
    router()->callbacks().onChecklistBack();
    EXPECT_TRUE(qobject_cast<ChecklistsListView*>(router()->currentScreen()));

    router()->callbacks().onOpenChecklist(c);
    EXPECT_EQ(toolbar()->backButton()->toolTip(), "Retour aux checklists");
    click(toolbar()->backButton());
    EXPECT_EQ(state().selectedChecklistForDetail(), nullptr);
    EXPECT_TRUE(qobject_cast<ChecklistsListView*>(router()->currentScreen()));
}

TEST_F(ShellTest, DashboardCallbacksNavigate) {
    auto p = project("Alpha");
    auto d = doc(p, "Spéc");
    auto c = checklist("Sprint");
    const auto& cb = router()->callbacks();

    cb.dashboardOnOpenDoc(d);
    EXPECT_EQ(state().selection(), SidebarItem::dashboard);
    EXPECT_TRUE(qobject_cast<ImprovedDocEditorView*>(router()->currentScreen()));
    EXPECT_EQ(toolbar()->backButton()->toolTip(), "Retour au tableau de bord");
    click(toolbar()->backButton());
    EXPECT_EQ(state().openedDoc(), nullptr);
    EXPECT_TRUE(qobject_cast<DashboardView*>(router()->currentScreen()));

    const int builds = router()->buildCount();
    cb.dashboardOnOpenProject(p);
    // Section and project change together: one new screen, straight to the documents.
    EXPECT_EQ(router()->buildCount(), builds + 1);
    EXPECT_EQ(state().selection(), SidebarItem::projects);
    EXPECT_TRUE(sidebar()->row(SidebarItem::projects)->isSelectedRow());
    EXPECT_TRUE(qobject_cast<ProjectDocumentsView*>(router()->currentScreen()));

    clickRow(SidebarItem::dashboard);
    cb.dashboardOnOpenProjects();
    EXPECT_EQ(state().selection(), SidebarItem::projects);
    EXPECT_TRUE(qobject_cast<ProjectsListView*>(router()->currentScreen()));

    clickRow(SidebarItem::dashboard);
    cb.dashboardOnOpenChecklist(c);
    EXPECT_EQ(state().selection(), SidebarItem::checklists);
    EXPECT_EQ(state().selectedChecklistForDetail(), c);
    EXPECT_TRUE(qobject_cast<ChecklistDetailView*>(router()->currentScreen()));

    clickRow(SidebarItem::dashboard);
    cb.dashboardOnOpenChecklists();
    EXPECT_TRUE(qobject_cast<ChecklistsListView*>(router()->currentScreen()));

    clickRow(SidebarItem::dashboard);
    cb.dashboardOnCreateProject();
    EXPECT_TRUE(state().isPresentingNewProject());
    ASSERT_TRUE(shell->newProjectSheet());
    EXPECT_TRUE(qobject_cast<NewProjectSheet*>(shell->newProjectSheet()));
}

TEST_F(ShellTest, SidebarTapResetsEvenTheCurrentSection) {
    auto p = project("Alpha");
    auto d = doc(p, "Spéc");
    clickRow(SidebarItem::projects);
    router()->callbacks().onOpenProject(p);
    router()->callbacks().onOpenDoc(d);
    ASSERT_TRUE(qobject_cast<ImprovedDocEditorView*>(router()->currentScreen()));
    clickRow(SidebarItem::projects);
    EXPECT_EQ(state().openedDoc(), nullptr);
    EXPECT_EQ(state().selectedProjectForDocuments(), nullptr);
    EXPECT_TRUE(qobject_cast<ProjectsListView*>(router()->currentScreen()));

    // With a document open from a project, the other sections show their own screens, and coming
    // back through the sidebar shows the list.
    router()->callbacks().onOpenProject(p);
    router()->callbacks().onOpenDoc(d);
    clickRow(SidebarItem::checklists);
    EXPECT_TRUE(qobject_cast<ChecklistsListView*>(router()->currentScreen()));
    clickRow(SidebarItem::projects);
    EXPECT_TRUE(qobject_cast<ProjectsListView*>(router()->currentScreen()));

    auto c = checklist("Sprint");
    clickRow(SidebarItem::checklists);
    router()->callbacks().onOpenChecklist(c);
    clickRow(SidebarItem::checklists);
    EXPECT_EQ(state().selectedChecklistForDetail(), nullptr);
    EXPECT_TRUE(qobject_cast<ChecklistsListView*>(router()->currentScreen()));
}

TEST_F(ShellTest, ScreensStartAfreshWhenTheyComeBack) {
    clickRow(SidebarItem::projects);
    QPointer<QWidget> first = router()->currentScreen();
    clickRow(SidebarItem::settings);
    clickRow(SidebarItem::projects);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(qobject_cast<ProjectsListView*>(router()->currentScreen()));
}

TEST_F(ShellTest, HoverLeavesOnlyItsOwnRow) {
    SidebarNavRow* dash = sidebar()->row(SidebarItem::dashboard);
    SidebarNavRow* proj = sidebar()->row(SidebarItem::projects);
    QTest::mouseMove(dash, dash->shapeRect().center());
    EXPECT_EQ(state().hoveredItem(), SidebarItem::dashboard);
    // The platform may report entering the next row before leaving the first.
    QTest::mouseMove(proj, proj->shapeRect().center());
    emit dash->pointerLeft(SidebarItem::dashboard);
    EXPECT_EQ(state().hoveredItem(), SidebarItem::projects);
    EXPECT_TRUE(proj->isHoveredRow());
    EXPECT_FALSE(dash->isHoveredRow());
    // Leaving the hovered row clears it.
    QTest::mouseMove(sidebar(), QPoint(sidebar()->width() / 2, sidebar()->height() - 120));
    QCoreApplication::processEvents();
    emit proj->pointerLeft(SidebarItem::projects);
    EXPECT_EQ(state().hoveredItem(), std::nullopt);

    // A hovered selected row keeps the selected colours and grows by 2 per cent.
    dash->setHoveredRow(true, false);
    EXPECT_TRUE(dash->isSelectedRow());
    EXPECT_NEAR(dash->currentScale(), 1.02, 1e-9);
}

TEST_F(ShellTest, RowInsetsDoNotTakeClicksOrHover) {
    SidebarNavRow* proj = sidebar()->row(SidebarItem::projects);
    QTest::mouseClick(proj, Qt::LeftButton, {}, QPoint(proj->width() / 2, 1));
    EXPECT_EQ(state().selection(), SidebarItem::dashboard);
    QTest::mouseMove(proj, QPoint(proj->width() / 2, 1));
    EXPECT_EQ(state().hoveredItem(), std::nullopt);
}

TEST_F(ShellTest, CreateButtonActsPerSection) {
    auto p = project("Alpha");
    ToolbarIconButton* plus = toolbar()->createButton();

    EXPECT_EQ(plus->toolTip(), "Nouveau projet");
    click(plus);
    EXPECT_TRUE(state().isPresentingNewProject());
    closeSheets();
    EXPECT_FALSE(state().isPresentingNewProject());

    clickRow(SidebarItem::projects);
    click(plus);
    EXPECT_TRUE(state().isPresentingNewProject());
    closeSheets();

    router()->callbacks().onOpenProject(p);
    EXPECT_EQ(plus->toolTip(), "Nouveau projet");
    click(plus);
    EXPECT_TRUE(state().isPresentingNewDoc());
    EXPECT_FALSE(state().isPresentingNewProject());
    auto* docSheet = qobject_cast<NewDocSheet*>(shell->newDocSheet());
    ASSERT_TRUE(docSheet);
    EXPECT_EQ(docSheet->project(), p);
    closeSheets();
    EXPECT_FALSE(state().isPresentingNewDoc());

    clickRow(SidebarItem::checklists);
    EXPECT_EQ(plus->toolTip(), "Nouvelle checklist");
    EXPECT_EQ(plus->accessibleName(), "Nouveau projet");
    click(plus);
    EXPECT_TRUE(state().isPresentingNewChecklist());
    EXPECT_TRUE(qobject_cast<NewChecklistSheet*>(shell->newChecklistSheet()));
    closeSheets();
    EXPECT_FALSE(state().isPresentingNewChecklist());
    EXPECT_EQ(state().projectsRefreshToken(), 2); // only the two new-project sheets counted

    clickRow(SidebarItem::settings);
    EXPECT_FALSE(plus->isVisible());
    EXPECT_TRUE(toolbar()->themeButton()->isVisible());
    EXPECT_TRUE(toolbar()->accountButton()->isVisible());
}

TEST_F(ShellTest, ScreenCallbacksRaiseSheetFlags) {
    auto p = project("Alpha");
    clickRow(SidebarItem::projects);
    router()->callbacks().onCreateProject();
    EXPECT_TRUE(state().isPresentingNewProject());
    closeSheets();
    router()->callbacks().onOpenProject(p);
    router()->callbacks().onCreateDoc();
    EXPECT_TRUE(state().isPresentingNewDoc());
    closeSheets();
    clickRow(SidebarItem::checklists);
    router()->callbacks().onCreateChecklist();
    EXPECT_TRUE(state().isPresentingNewChecklist());
    closeSheets();
}

TEST_F(ShellTest, NewDocumentSheetNeverShownWithoutProject) {
    state().setPresentingNewDoc(true);
    EXPECT_FALSE(state().isPresentingNewDoc());
    EXPECT_EQ(shell->newDocSheet(), nullptr);
}

TEST_F(ShellTest, EveryNewProjectSheetDismissalReloadsProjectsOnce) {
    clickRow(SidebarItem::projects);
    auto* list = qobject_cast<ProjectsListView*>(router()->currentScreen());
    ASSERT_TRUE(list);
    list->setSearchText("zzz");
    const int builds = router()->buildCount();

    // Cancelled.
    click(toolbar()->createButton());
    ASSERT_TRUE(shell->newProjectSheet());
    QTest::keyClick(shell->newProjectSheet(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(state().projectsRefreshToken(), 1);
    EXPECT_EQ(list->refreshToken(), 1);
    EXPECT_FALSE(state().isPresentingNewProject());

    // Created.
    click(toolbar()->createButton());
    auto* sheet = qobject_cast<NewProjectSheet*>(shell->newProjectSheet());
    ASSERT_TRUE(sheet);
    QTest::keyClicks(sheet->nameField(), "Nouveau");
    QTest::keyClick(sheet->nameField(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(sheet->createdProject());
    EXPECT_EQ(state().projectsRefreshToken(), 2);
    EXPECT_EQ(list->refreshToken(), 2);

    // The same screen stayed, with its search.
    EXPECT_EQ(router()->buildCount(), builds);
    EXPECT_EQ(router()->currentScreen(), list);
}

// What the start reads ahead goes to the first dashboard, kept up with the changes made meanwhile; it
// goes with that view, and a later dashboard reads the store itself.
TEST_F(ShellTest, TheFirstDashboardTakesOverWhatTheStartReadAhead) {
    auto ahead = std::make_unique<DashboardData>(ctx());
    QPointer<DashboardData> read(ahead.get());
    doc(project("Alpha"), "Écrit après la lecture");
    ASSERT_TRUE(ctx().save());
    QCoreApplication::processEvents();

    AppShellView started(*services, std::move(ahead));
    auto* first = qobject_cast<DashboardView*>(started.router()->currentScreen());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->data(), read.data());
    EXPECT_EQ(first->data()->count(DocStatus::inProgress), 1);

    started.state().setSelection(SidebarItem::projects);
    started.state().setSelection(SidebarItem::dashboard);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(read);
    auto* second = qobject_cast<DashboardView*>(started.router()->currentScreen());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->data()->count(DocStatus::inProgress), 1);
}
