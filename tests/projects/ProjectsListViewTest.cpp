#include "ProjectsFixture.h"

#include "ui/DisplayLayout.h"
#include "prefs/Preferences.h"
#include "ui/AppStyle.h"
#include "ui/DialogSeam.h"
#include "projects/EditProjectSheet.h"
#include "projects/Items.h"
#include "projects/ListLogic.h"
#include "ui/Paint.h"
#include "ui/Theme.h"
#include "projects/ProjectsListView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace projectsui;
using namespace lists;

namespace {

class ProjectsListTest : public ProjectsFixture {
protected:
    void SetUp() override {
        ProjectsFixture::SetUp();
        DialogSeam::setNonInteractive(true);
        DialogSeam::reset();
    }
    void TearDown() override {
        DialogSeam::reset();
        DialogSeam::setNonInteractive(false);
        ProjectsFixture::TearDown();
    }

    ProjectsListView* makeView() {
        view = keep(new ProjectsListView(
            services(), [this] { ++creates; }, token, [this](const ProjectPtr& p) { opened.push_back(p); }));
        view->resize(900, 700);
        return view;
    }
    void show() {
        view->show();
        flush();
    }
    QLineEdit* search() const { return view->findChild<QLineEdit*>(QStringLiteral("searchField")); }
    PagerBar* pager() const { return view->findChild<PagerBar*>(QStringLiteral("pagerBar")); }
    LayoutSwitch* layoutSwitch() const { return view->findChild<LayoutSwitch*>(QStringLiteral("layoutSwitch")); }
    QString emptyTitle() const { return view->findChild<ClampedText*>(QStringLiteral("emptyTitle"))->text(); }
    QList<ProjectRow*> rows() const {
        QList<ProjectRow*> out;
        for (auto* r : view->findChildren<ProjectRow*>())
            if (r->isVisibleTo(view))
                out << r;
        return out;
    }
    QList<ProjectCard*> cards() const {
        QList<ProjectCard*> out;
        for (auto* c : view->findChildren<ProjectCard*>())
            if (c->isVisibleTo(view))
                out << c;
        return out;
    }
    void clickPage(bool next) {
        QTest::mouseClick(next ? pager()->nextButton() : pager()->previousButton(), Qt::LeftButton);
        flush();
    }
    void pickPageSize(int n) {
        for (QAction* a : pager()->sizeMenu()->actions())
            if (a->text() == QStringLiteral("%1 / page").arg(n))
                a->trigger();
        flush();
    }
    void makeProjects(int n) {
        for (int i = 0; i < n; ++i)
            all.push_back(makeProject(QStringLiteral("Projet %1").arg(i), i)); // later index = newer
    }

    ProjectsListView* view = nullptr;
    int token = 0;
    int creates = 0;
    std::vector<ProjectPtr> opened;
    std::vector<ProjectPtr> all;
};

TEST_F(ProjectsListTest, EmptyStoreShowsTheEmptyStateAndOnePage) {
    makeView();
    EXPECT_EQ(view->pageLabel(), QStringLiteral("Page 1")); // before the first reload
    show();
    EXPECT_EQ(view->pageLabel(), QStringLiteral("Page 1 / 1"));
    EXPECT_EQ(pager()->labelText(), QStringLiteral("Page 1 / 1"));
    EXPECT_TRUE(pager()->previousButton()->isDimmed());
    EXPECT_TRUE(pager()->nextButton()->isDimmed());
    EXPECT_EQ(emptyTitle(), QStringLiteral("Aucun projet pour l’instant"));
    QTest::mouseClick(view->findChild<QAbstractButton*>(QStringLiteral("createButton")), Qt::LeftButton);
    EXPECT_EQ(creates, 1);

    // Blanks are no search: the texts without search stay.
    QTest::keyClicks(search(), QStringLiteral("   "));
    EXPECT_EQ(emptyTitle(), QStringLiteral("Aucun projet pour l’instant"));
    QTest::keyClicks(search(), QStringLiteral("x"));
    EXPECT_EQ(emptyTitle(), QStringLiteral("Aucun projet ne correspond à votre recherche"));
}

TEST_F(ProjectsListTest, ThirteenProjectsMakeTwoPagesAndAPageSizeReturnsToTheFirst) {
    makeProjects(13);
    makeView();
    show();
    EXPECT_EQ(view->pageLabel(), QStringLiteral("Page 1 / 2"));
    EXPECT_FALSE(pager()->nextButton()->isDimmed());
    ASSERT_EQ(rows().size(), 12);
    EXPECT_EQ(view->pageProjects().front(), all[12]); // newest first
    clickPage(true);
    EXPECT_EQ(view->currentPage(), 1);
    ASSERT_EQ(view->pageProjects().size(), 1u);
    EXPECT_EQ(view->pageProjects().front(), all[0]); // only the oldest
    EXPECT_TRUE(pager()->nextButton()->isDimmed());
    clickPage(true); // dimmed: nothing happens
    EXPECT_EQ(view->currentPage(), 1);
    pickPageSize(24);
    EXPECT_EQ(view->currentPage(), 0);
    EXPECT_EQ(view->pageProjects().size(), 13u);
    EXPECT_EQ(pager()->sizeButton()->text(), QStringLiteral("24 / page"));
}

TEST_F(ProjectsListTest, WhichEventsReturnToTheFirstPageAndWhichKeepIt) {
    makeProjects(30);
    makeView();
    show();
    clickPage(true);
    ASSERT_EQ(view->currentPage(), 1);

    // Layout switch here, and from elsewhere, keep the page.
    QTest::mouseClick(layoutSwitch()->gridButton(), Qt::LeftButton);
    flush();
    EXPECT_TRUE(view->isGrid());
    EXPECT_EQ(view->currentPage(), 1);
    EXPECT_EQ(cards().size(), 12);
    env.prefs().setValue(DisplayLayouts::preferenceKey, QStringLiteral("list"));
    flush();
    EXPECT_FALSE(view->isGrid());
    EXPECT_EQ(view->currentPage(), 1);
    EXPECT_EQ(rows().size(), 12);

    // The same refresh token does nothing; a new one returns to the first page.
    const int before = view->reloadCount();
    view->setRefreshToken(token);
    EXPECT_EQ(view->reloadCount(), before);
    view->setRefreshToken(token + 1);
    EXPECT_EQ(view->currentPage(), 0);

    // Each keystroke in the search returns to the first page.
    clickPage(true);
    QTest::keyClicks(search(), QStringLiteral("P"));
    EXPECT_EQ(view->currentPage(), 0);
    clickPage(true);
    QTest::keyClick(search(), Qt::Key_Backspace);
    EXPECT_EQ(view->currentPage(), 0);

    // The edit sheet's closing, even cancelled, reloads and keeps the page.
    clickPage(true);
    const int reloads = view->reloadCount();
    rows().front()->ellipsis()->editAction()->trigger();
    auto* sheet = view->findChild<EditProjectSheet*>();
    ASSERT_TRUE(sheet);
    sheet->cancelButton()->click();
    flush();
    EXPECT_EQ(view->reloadCount(), reloads + 1);
    EXPECT_EQ(view->currentPage(), 1);
}

TEST_F(ProjectsListTest, SearchMatchesNameOrElseDetailsIgnoringCaseButNotAccents) {
    auto alpha = makeProject(QStringLiteral("Alpha"), 1);
    auto described = makeProject(QStringLiteral("Bravo"), 2, QStringLiteral("Notes sur ALPes"));
    auto summer = makeProject(QStringLiteral("été"), 3);
    auto other = makeProject(QStringLiteral("Charlie"), 4, QStringLiteral("   "));
    makeView();
    show();
    QTest::keyClicks(search(), QStringLiteral("  alp "));
    EXPECT_EQ(view->pageProjects(), (std::vector<ProjectPtr>{described, alpha}));
    search()->clear();
    typeText(search(), QStringLiteral("ÉTÉ"));
    EXPECT_EQ(view->pageProjects(), (std::vector<ProjectPtr>{summer}));
    search()->clear();
    QTest::keyClicks(search(), QStringLiteral("ete"));
    EXPECT_TRUE(view->pageProjects().empty());
    EXPECT_EQ(emptyTitle(), QStringLiteral("Aucun projet ne correspond à votre recherche"));
    search()->setText(QStringLiteral(" \n "));
    EXPECT_EQ(view->pageProjects().size(), 4u);
    (void)other;
}

TEST_F(ProjectsListTest, EqualUpdateDatesKeepAStableOrder) {
    std::vector<ProjectPtr> same;
    for (int i = 0; i < 5; ++i)
        same.push_back(makeProject(QStringLiteral("Même %1").arg(i), 10));
    auto newest = makeProject(QStringLiteral("Neuf"), 20);
    makeView();
    show();
    const auto first = view->pageProjects();
    ASSERT_EQ(first.front(), newest);
    EXPECT_EQ(std::vector<ProjectPtr>(first.begin() + 1, first.end()), same);
    view->setRefreshToken(7);
    EXPECT_EQ(view->pageProjects(), first);
}

TEST_F(ProjectsListTest, DeletingAProjectAsksFirstThenRemovesItsDocumentsAndKeepsItsChecklistsGlobal) {
    auto keepMe = makeProject(QStringLiteral("Garder"), 1);
    auto doomed = makeProject(QStringLiteral("Supprimer"), 2);
    auto d1 = makeDoc(doomed, QStringLiteral("Doc 1"), 3);
    makeDoc(doomed, QStringLiteral("Doc 2"), 4);
    auto block = std::make_shared<DocBlock>(DocBlockFields{.typeRaw = QStringLiteral("text"),
                                                           .order = 0,
                                                           .content = QStringLiteral("x"),
                                                           .createdAt = at(5),
                                                           .updatedAt = at(5),
                                                           .doc = d1});
    context().insert(block);
    auto checklist = std::make_shared<Checklist>(ChecklistFields{.name = QStringLiteral("Liste"),
                                                                 .iconName = QStringLiteral("checklist"),
                                                                 .createdAt = at(6),
                                                                 .updatedAt = at(6),
                                                                 .project = doomed});
    context().insert(checklist);
    ASSERT_TRUE(context().save());
    makeView();
    show();
    ASSERT_EQ(rows().size(), 2);
    ProjectRow* row = rows().front();
    ASSERT_EQ(row->project(), doomed);

    DialogSeam::pushAnswer(QStringLiteral("Annuler"));
    row->ellipsis()->deleteAction()->trigger();
    flush();
    ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
    EXPECT_EQ(DialogSeam::shownMessages()[0].text, QStringLiteral("Supprimer ce projet ?"));
    EXPECT_EQ(DialogSeam::shownMessages()[0].informativeText,
              QStringLiteral("Cette action est définitive. Les documents liés seront aussi supprimés."));
    EXPECT_EQ(view->pageProjects().size(), 2u);

    DialogSeam::pushAnswer(QStringLiteral("Supprimer"));
    rows().front()->ellipsis()->deleteAction()->trigger();
    flush();
    EXPECT_EQ(view->pageProjects(), (std::vector<ProjectPtr>{keepMe}));
    EXPECT_TRUE(context().fetch<Doc>().empty());
    EXPECT_TRUE(context().fetch<DocBlock>().empty());
    const auto lists = context().fetch<Checklist>();
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists.front()->project(), nullptr);
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(ProjectsListTest, DeletingTheOnlyProjectOfTheLastPageShowsThePreviousPage) {
    makeProjects(13);
    makeView();
    show();
    clickPage(true);
    ASSERT_EQ(view->pageProjects().size(), 1u);
    DialogSeam::pushAnswer(QStringLiteral("Supprimer"));
    rows().front()->ellipsis()->deleteAction()->trigger();
    flush();
    EXPECT_EQ(view->currentPage(), 0);
    EXPECT_EQ(view->pageProjects().size(), 12u);
    EXPECT_EQ(view->pageLabel(), QStringLiteral("Page 1 / 1"));
    EXPECT_FALSE(view->findChild<QWidget*>(QStringLiteral("emptyState"))->isVisibleTo(view));
}

TEST_F(ProjectsListTest, ClickOpensAndASavedEditMovesTheProjectToTheTop) {
    makeProjects(3);
    makeView();
    show();
    ProjectRow* last = rows().back();
    QTest::mouseClick(last, Qt::LeftButton, {}, QPoint(80, last->height() / 2));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened.front(), all[0]);

    last->ellipsis()->editAction()->trigger();
    auto* sheet = view->findChild<EditProjectSheet*>();
    ASSERT_TRUE(sheet);
    sheet->nameField()->setText(QStringLiteral("Renommé"));
    QTest::keyClick(sheet->nameField(), Qt::Key_Return);
    flush();
    EXPECT_EQ(all[0]->name(), QStringLiteral("Renommé"));
    // Stamped newest, it stands first as soon as the sheet is gone.
    EXPECT_EQ(view->pageProjects().front(), all[0]);
    EXPECT_EQ(rows().front()->nameText()->text(), QStringLiteral("Renommé"));
}

// Typing on narrows earlier matches, erasing gives back remembered ones, and any other reload reads the
// store again: each step gives what a search of the whole store gives, and the rows show it.
TEST_F(ProjectsListTest, SuccessiveKeystrokesFindWhatAFreshSearchFinds) {
    makeProjects(30);
    all[3]->setDetails(QStringLiteral("Réseau du bureau"));
    all[17]->setName(QStringLiteral("RÉSEAU maison"));
    makeView();
    show();
    view->pickPageSize(48);
    auto expected = [&](const QString& q) {
        std::vector<ProjectPtr> out;
        for (const auto& p : listlogic::newestFirst(context().fetch<Project>()))
            if (q.trimmed().isEmpty() || listlogic::projectMatches(*p, q.trimmed()))
                out.push_back(p);
        return out;
    };
    for (const QString& q : {QStringLiteral("r"), QStringLiteral("ré"), QStringLiteral("rés"), QStringLiteral("ré"),
                             QStringLiteral("réseau "), QStringLiteral("réseau b"), QStringLiteral("1"),
                             QStringLiteral("12"), QString()}) {
        SCOPED_TRACE(q.toStdString());
        view->setSearchText(q);
        EXPECT_EQ(view->pageProjects(), expected(q));
    }
    // Every shown row shows the project of its place, whether its place kept it or took another.
    auto rowsShowThePage = [&] {
        const QList<ProjectRow*> shown = rows();
        ASSERT_EQ(size_t(shown.size()), view->pageProjects().size());
        for (int i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i]->project(), view->pageProjects()[size_t(i)]) << i;
            EXPECT_EQ(shown[i]->nameText()->text(), view->pageProjects()[size_t(i)]->name()) << i;
        }
    };
    rowsShowThePage();
    // An edit between two keystrokes counts for the searches remembered before it: erasing back to
    // "ré" finds the renamed project, and no longer the one whose description went.
    view->setSearchText(QStringLiteral("ré"));
    all[8]->setName(QStringLiteral("Rénovation"));
    all[3]->setDetails(std::nullopt);
    view->setSearchText(QStringLiteral("rén"));
    view->setSearchText(QStringLiteral("ré"));
    EXPECT_EQ(view->pageProjects(), expected(QStringLiteral("ré")));
    rowsShowThePage();
    // A keystroke that keeps a row's project keeps it as it is (hovered); one that changes it starts it afresh.
    view->setSearchText(QStringLiteral("r"));
    ProjectRow* first = rows().front();
    const ProjectPtr firstProject = first->project();
    first->hover()->setHoveredImmediately(true);
    view->setSearchText(QStringLiteral("ro"));
    ASSERT_EQ(rows().front()->project(), firstProject);
    EXPECT_GT(first->hover()->progress(), 0);
    view->setSearchText(QStringLiteral("Rénov"));
    ASSERT_NE(rows().front()->project(), firstProject);
    EXPECT_EQ(first->hover()->progress(), 0);
    rowsShowThePage();

    // A project made while the search stays: the next reload finds it, a keystroke as well as a refresh.
    view->setSearchText(QStringLiteral("neuf"));
    EXPECT_TRUE(view->pageProjects().empty());
    const ProjectPtr fresh = makeProject(QStringLiteral("Tout neuf"), 1000);
    view->setSearchText(QStringLiteral("neu"));
    EXPECT_EQ(view->pageProjects(), expected(QStringLiteral("neu")));
    view->setSearchText(QStringLiteral("neuf"));
    view->setRefreshToken(view->refreshToken() + 1);
    ASSERT_EQ(view->pageProjects().size(), 1u);
    EXPECT_EQ(view->pageProjects().front(), fresh);
}

} // namespace

TEST_F(ProjectsListTest, TabGoesThroughSearchSwitchRowsTheirActionsThenThePager) {
    makeProjects(2);
    makeView();
    view->activateWindow();
    show();
    search()->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> expected{layoutSwitch()->listButton(), layoutSwitch()->gridButton()};
    for (ProjectRow* row : rows()) {
        expected.push_back(row);
        expected.push_back(row->ellipsis());
    }
    expected.insert(expected.end(), {pager()->previousButton(), pager()->nextButton(), pager()->sizeButton()});
    QWidget* at = search();
    for (QWidget* next : expected) {
        at = at->nextInFocusChain();
        while (!(at->focusPolicy() & Qt::TabFocus) || !at->isVisibleTo(view))
            at = at->nextInFocusChain();
        EXPECT_EQ(at, next) << at->metaObject()->className() << " " << at->accessibleName().toStdString();
    }
    // A click focuses none of them, so a clicked "…" keeps no ring.
    for (QWidget* w : expected)
        EXPECT_FALSE(w->focusPolicy() & Qt::ClickFocus) << w->metaObject()->className();
}

namespace {

// A hovered row's background grows; its texts stay drawn at whole pixels, as dark as unhovered.
TEST_F(ProjectsListTest, AHoveredRowKeepsItsTextCrisp) {
    ThemeManager::shared().setTheme(AppTheme::light);
    makeProjects(2);
    makeView();
    show();
    ProjectRow* row = rows().front();
    auto darkest = [&] {
        const QWidget* name = row->nameText();
        const QRect r(name->mapTo(view, QPoint(0, 0)), name->size());
        const QImage img = view->grab(r).toImage();
        int best = 255;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                best = std::min(best, qGray(img.pixel(x, y)));
        return best;
    };
    const int still = darkest();
    row->hover()->setHoveredImmediately(true);
    flush();
    EXPECT_NEAR(darkest(), still, 2);
    ThemeManager::shared().setTheme(AppTheme::system);
}

} // namespace

// In light a hovered row stays clear and casts a black shadow around it that shows on the screen.
TEST_F(ProjectsListTest, AHoveredRowCastsAVisibleShadowInLight) {
    ThemeManager::shared().setTheme(AppTheme::light);
    makeProjects(2);
    makeView();
    show();
    ProjectRow* row = rows().front();
    const QPoint below = row->mapTo(view, QPoint(row->width() / 2, row->height() + 2));
    const QPoint inside = row->mapTo(view, QPoint(row->width() / 2, 3));
    const QImage still = view->grab().toImage();
    row->hover()->setHoveredImmediately(true);
    flush();
    const QImage hovered = view->grab().toImage();
    EXPECT_GE(qGray(still.pixel(below)) - qGray(hovered.pixel(below)), 12) << "shadow under the row";
    EXPECT_NEAR(qGray(still.pixel(inside)), qGray(hovered.pixel(inside)), 3) << "nearly clear fill";
    ThemeManager::shared().setTheme(AppTheme::system);
}

// A project's context menu offers "Supprimer" as a plain item.
TEST_F(ProjectsListTest, ContextMenuDeleteIsAPlainItem) {
    makeProjects(1);
    makeView();
    show();
    ProjectRow* row = rows().front();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), row->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(row, &event);
    flush();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Supprimer"));
    EXPECT_FALSE(TolmekStyle::isDestructive(actions[2]));
    menu->close();
    flush();
}

// A row whose "…" or context menu closes with the pointer elsewhere (a click on another row) no longer
// looks hovered; with the pointer still on it, it does.
TEST_F(ProjectsListTest, ARowLosesItsHoverWhenItsMenuClosesWithThePointerElsewhere) {
    makeProjects(2);
    makeView();
    show();
    ProjectRow* row = rows().front();
    ProjectRow* other = rows().back();
    for (const bool stayOnRow : {true, false}) {
        row->hover()->setHoveredImmediately(true);
        QMenu* menu = row->ellipsis()->ensureMenu();
        menu->popup(row->mapToGlobal(QPoint(10, 10)));
        flush();
        QCursor::setPos((stayOnRow ? row : other)->mapToGlobal(QPoint(20, 10)));
        menu->hide();
        flush();
        EXPECT_EQ(row->hover()->isHovered(), stayOnRow);
    }
    row->hover()->setHoveredImmediately(true);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), row->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(row, &event);
    flush();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QCursor::setPos(other->mapToGlobal(QPoint(20, 10)));
    menu->close();
    flush();
    EXPECT_FALSE(row->hover()->isHovered());
}
