#include "ProjectsFixture.h"

#include "ui/Components.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/DisplayLayout.h"
#include "prefs/Preferences.h"
#include "projects/EditDocSheet.h"
#include "projects/Items.h"
#include "ui/lists/PagedListScreen.h"
#include "projects/NewDocSheet.h"
#include "projects/ProjectDocumentsView.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace projectsui;
using namespace lists;

namespace {

class DocumentsViewTest : public ProjectsFixture {
protected:
    void SetUp() override {
        ProjectsFixture::SetUp();
        project = makeProject(QStringLiteral("Réseau"), 0, QStringLiteral("Câblage du bâtiment"));
    }

    ProjectDocumentsView* makeView() {
        view = keep(new ProjectDocumentsView(
            services(), project, [] {}, [this] { ++creates; }, [this](const DocPtr& d) { opened.push_back(d); }));
        view->resize(1000, 760);
        view->show();
        flush();
        return view;
    }
    QLineEdit* search() const { return view->findChild<QLineEdit*>(QStringLiteral("searchField")); }
    PagerBar* pager() const { return view->findChild<PagerBar*>(QStringLiteral("pagerBar")); }
    LayoutSwitch* layoutSwitch() const { return view->findChild<LayoutSwitch*>(QStringLiteral("layoutSwitch")); }
    QString emptyTitle() const { return view->findChild<ClampedText*>(QStringLiteral("emptyTitle"))->text(); }
    QList<DocRow*> rows() const {
        QList<DocRow*> out;
        for (auto* r : view->findChildren<DocRow*>())
            if (r->isVisibleTo(view))
                out << r;
        return out;
    }
    void clickPage(bool next) {
        QTest::mouseClick(next ? pager()->nextButton() : pager()->previousButton(), Qt::LeftButton);
        flush();
    }
    void makeDocs(int n) {
        for (int i = 0; i < n; ++i)
            docs.push_back(makeDoc(project, QStringLiteral("Document %1").arg(i), 1 + i));
    }

    ProjectPtr project;
    ProjectDocumentsView* view = nullptr;
    int creates = 0;
    std::vector<DocPtr> opened;
    std::vector<DocPtr> docs;
};

TEST_F(DocumentsViewTest, AProjectWithoutDocumentsShowsTheEmptyState) {
    makeView();
    EXPECT_EQ(emptyTitle(), QStringLiteral("Aucun document"));
    EXPECT_EQ(view->findChild<ClampedText*>(QStringLiteral("emptyMessage"))->text(),
              QStringLiteral("Créez votre premier document pour commencer à documenter ce projet."));
    EXPECT_EQ(pager()->labelText(), QStringLiteral("Page 1 / 1"));
    EXPECT_TRUE(pager()->previousButton()->isDimmed());
    EXPECT_TRUE(pager()->nextButton()->isDimmed());
    QTest::mouseClick(view->findChild<QAbstractButton*>(QStringLiteral("createButton")), Qt::LeftButton);
    EXPECT_EQ(creates, 1);
}

TEST_F(DocumentsViewTest, TwentyFiveDocumentsMakeThreePagesOfTwelve) {
    makeDocs(25);
    makeView();
    EXPECT_EQ(view->pageLabel(), QStringLiteral("Page 1 / 3"));
    EXPECT_EQ(rows().size(), 12);
    clickPage(true);
    clickPage(true);
    EXPECT_EQ(view->pageLabel(), QStringLiteral("Page 3 / 3"));
    ASSERT_EQ(view->pageDocs().size(), 1u);
    EXPECT_EQ(view->pageDocs().front(), docs[0]);
    EXPECT_TRUE(pager()->nextButton()->isDimmed());
    EXPECT_EQ(pager()->nextButton()->opacity(), 0.35);
    clickPage(true);
    EXPECT_EQ(view->currentPage(), 2);
}

TEST_F(DocumentsViewTest, SearchIgnoresCaseAndAccentsOnTheTitleOnly) {
    auto ecole = makeDoc(project, QStringLiteral("École 2"), 1);
    makeDoc(project, QStringLiteral("Plan"), 2, QStringLiteral("done"));
    makeView();
    QTest::keyClicks(search(), QStringLiteral("ecole"));
    EXPECT_EQ(view->pageDocs(), (std::vector<DocPtr>{ecole}));
    // Made between two keystrokes, newest: the next keystroke shows it first.
    auto newer = makeDoc(project, QStringLiteral("Écoles"), 3);
    QTest::keyClick(search(), Qt::Key_Backspace);
    EXPECT_EQ(view->pageDocs(), (std::vector<DocPtr>{newer, ecole}));
    context().deleteObject(newer);
    QTest::keyClick(search(), Qt::Key_E);
    EXPECT_EQ(view->pageDocs(), (std::vector<DocPtr>{ecole}));
    // Renamed between two keystrokes: neither the shorter query nor the remembered one finds it.
    ecole->setTitle(QStringLiteral("Lycée"));
    QTest::keyClick(search(), Qt::Key_Backspace);
    EXPECT_TRUE(view->pageDocs().empty());
    QTest::keyClick(search(), Qt::Key_E);
    EXPECT_TRUE(view->pageDocs().empty());
    ecole->setTitle(QStringLiteral("École 2"));
    search()->clear();
    typeText(search(), QStringLiteral("  ÉCOLE "));
    EXPECT_EQ(view->pageDocs(), (std::vector<DocPtr>{ecole}));
    search()->clear();
    QTest::keyClicks(search(), QStringLiteral("termin")); // a status never matches
    EXPECT_TRUE(view->pageDocs().empty());
    EXPECT_EQ(emptyTitle(), QStringLiteral("Aucun document ne correspond à votre recherche"));
    search()->clear();
    typeText(search(), QStringLiteral("câblage")); // nor the project's description
    EXPECT_TRUE(view->pageDocs().empty());
    search()->setText(QStringLiteral("  "));
    EXPECT_EQ(view->totalCount(), 2);
}

TEST_F(DocumentsViewTest, HiddenDocumentsAreNeverShownNorCountedAndEqualDatesKeepTheirOrder) {
    auto a = makeDoc(project, QStringLiteral("A"), 5);
    auto hidden = makeDoc(project, QStringLiteral("Caché"), 9);
    hidden->setDeletedAt(at(10));
    auto b = makeDoc(project, QStringLiteral("B"), 5);
    auto c = makeDoc(project, QStringLiteral("C"), 5);
    auto newest = makeDoc(project, QStringLiteral("N"), 7);
    makeView();
    EXPECT_EQ(view->totalCount(), 4);
    EXPECT_EQ(view->pageDocs(), (std::vector<DocPtr>{newest, a, b, c}));
    view->reload(true);
    view->reload(false);
    EXPECT_EQ(view->pageDocs(), (std::vector<DocPtr>{newest, a, b, c}));
}

TEST_F(DocumentsViewTest, WhichEventsReturnToTheFirstPageAndWhichKeepIt) {
    makeDocs(40);
    makeView();
    auto toPage2 = [&] {
        view->reload(true);
        clickPage(true);
        ASSERT_EQ(view->currentPage(), 1);
    };
    toPage2();
    // The layout switch keeps the page, both ways; only the list renews its identity.
    int token = view->listRenderToken();
    QTest::mouseClick(layoutSwitch()->gridButton(), Qt::LeftButton);
    flush();
    EXPECT_TRUE(view->isGrid());
    EXPECT_EQ(view->currentPage(), 1);
    EXPECT_EQ(view->listRenderToken(), token);
    EXPECT_EQ(int(view->findChildren<DocCard*>().size()) >= 12, true);
    env.prefs().setValue(DisplayLayouts::preferenceKey, QStringLiteral("tiles")); // reads as list
    flush();
    EXPECT_FALSE(view->isGrid());
    EXPECT_EQ(layoutSwitch()->current(), DisplayLayout::list);
    EXPECT_EQ(view->currentPage(), 1);
    EXPECT_EQ(view->listRenderToken(), token + 1);

    // Typing returns to the first page.
    QTest::keyClicks(search(), QStringLiteral("D"));
    EXPECT_EQ(view->currentPage(), 0);

    // A page size: the same size changes nothing, another returns to the first page.
    toPage2();
    const int reloads = view->reloadCount();
    for (QAction* a : pager()->sizeMenu()->actions())
        if (a->text() == QStringLiteral("12 / page"))
            a->trigger();
    EXPECT_EQ(view->reloadCount(), reloads);
    EXPECT_EQ(view->currentPage(), 1);
    for (QAction* a : pager()->sizeMenu()->actions())
        if (a->text() == QStringLiteral("24 / page"))
            a->trigger();
    EXPECT_EQ(view->currentPage(), 0);
    EXPECT_EQ(pager()->sizeButton()->text(), QStringLiteral("24 / page"));

    // The application becoming active again; the window alone (a sheet closing) keeps the page.
    toPage2();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(view, &activate);
    flush();
    EXPECT_EQ(view->currentPage(), 1);
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    flush();
    EXPECT_EQ(view->currentPage(), 0);

    // A stamp of the project (a sheet created or saved a document).
    toPage2();
    project->setUpdatedAt(at(500));
    EXPECT_EQ(view->currentPage(), 0);

    // Hiding keeps the page.
    toPage2();
    rows().front()->ellipsis()->deleteAction()->trigger();
    flush();
    EXPECT_EQ(view->currentPage(), 1);
}

TEST_F(DocumentsViewTest, EditSheetCancelKeepsThePageAndSaveReturnsToTheFirst) {
    makeDocs(20);
    makeView();
    clickPage(true);
    DocRow* row = rows().front();
    const DocPtr doc = row->doc();
    row->ellipsis()->editAction()->trigger();
    auto* sheet = view->findChild<EditDocSheet*>();
    ASSERT_TRUE(sheet);
    QTest::keyClick(sheet, Qt::Key_Escape);
    flush();
    EXPECT_EQ(view->currentPage(), 1);

    rows().front()->ellipsis()->editAction()->trigger();
    sheet = view->findChild<EditDocSheet*>();
    ASSERT_TRUE(sheet);
    sheet->confirmButton()->click();
    flush();
    EXPECT_EQ(view->currentPage(), 0);
    EXPECT_EQ(view->pageDocs().front(), doc); // stamped: now the newest

    // A document created in the new-document sheet is listed first.
    auto* create = new NewDocSheet(services(), project, view); // owned by the view
    create->open();
    QTest::keyClicks(create->titleField(), QStringLiteral("Nouveau"));
    create->confirmButton()->click();
    // Checked before any later event could reload: the project's stamp alone must bring it in.
    ASSERT_FALSE(view->pageDocs().empty());
    EXPECT_EQ(view->pageDocs().front(), create->createdDoc());
    EXPECT_EQ(view->totalCount(), 21);
}

TEST_F(DocumentsViewTest, HidingStampsOnlyTheDocumentAndKeepsItInTheStore) {
    makeDocs(3);
    ASSERT_TRUE(context().save());
    makeView();
    const QDateTime projectStamp = project->updatedAt();
    DocRow* row = rows().front();
    const DocPtr doc = row->doc();
    row->ellipsis()->deleteAction()->trigger();
    flush();
    EXPECT_TRUE(opened.empty());
    ASSERT_TRUE(doc->deletedAt());
    EXPECT_GT(doc->updatedAt(), *doc->deletedAt()); // a second reading of the clock
    EXPECT_EQ(project->updatedAt(), projectStamp);
    EXPECT_EQ(view->totalCount(), 2);
    EXPECT_EQ(context().fetch<Doc>().size(), 3u);
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(DocumentsViewTest, HidingTheLastDocumentsOfTheLastPageShowsThePreviousPage) {
    makeDocs(14);
    makeView();
    clickPage(true);
    ASSERT_EQ(view->pageDocs().size(), 2u);
    view->deleteRows({1, 0}); // positions as the page was before the first hide
    EXPECT_TRUE(docs[0]->deletedAt());
    EXPECT_TRUE(docs[1]->deletedAt());
    EXPECT_EQ(view->currentPage(), 0);
    EXPECT_EQ(view->pageDocs().size(), 12u);
    EXPECT_EQ(view->pageLabel(), QStringLiteral("Page 1 / 1"));
    EXPECT_FALSE(view->findChild<QWidget*>(QStringLiteral("emptyState"))->isVisibleTo(view));
}

TEST_F(DocumentsViewTest, RowsShowTheDocumentAndOpenOnAClick) {
    auto red = makeDoc(project, QStringLiteral("Rouge"), 3, QStringLiteral("archived"), QStringLiteral("green"),
                       QStringLiteral("#FF0000"));
    auto green = makeDoc(project, QStringLiteral("Vert"), 2, QStringLiteral("done"), QStringLiteral("green"),
                         QStringLiteral("nope"));
    auto plain = makeDoc(project, QStringLiteral("Bleu"), 1);
    makeView();
    const auto r = rows();
    ASSERT_EQ(r.size(), 3);
    EXPECT_EQ(r[0]->tile()->tint(), QColor(255, 0, 0));
    EXPECT_EQ(r[0]->badge()->text(), QStringLiteral("En cours"));
    EXPECT_EQ(r[1]->tile()->tint(), colorForKey(QStringLiteral("green")));
    EXPECT_EQ(r[2]->tile()->tint(), AppPalette::brandBlue());
    EXPECT_TRUE(r[0]->dateText()->text().startsWith(QStringLiteral("Modifié ")));
    QTest::mouseClick(r[1], Qt::LeftButton, {}, QPoint(60, r[1]->height() / 2));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened.front(), green);
    (void)red;
    (void)plain;
}

} // namespace

namespace {

TEST_F(DocumentsViewTest, DeleteKeyOnAFocusedRowHidesItAndTheContextMenuOffersEditAndDelete) {
    makeDocs(3);
    makeView();
    view->activateWindow();
    DocRow* row = rows().front();
    const DocPtr first = row->doc();
    row->setFocus();
    QTest::keyClick(row, Qt::Key_Delete);
    EXPECT_TRUE(first->deletedAt());
    EXPECT_EQ(view->totalCount(), 2);

    DocRow* next = rows().front();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(10, 10), next->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(next, &menuEvent);
    flush();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Modifier"));
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Supprimer"));
    const DocPtr second = next->doc();
    actions[2]->trigger();
    menu->close();
    flush();
    EXPECT_TRUE(second->deletedAt());
    EXPECT_EQ(view->totalCount(), 1);
}

} // namespace

// The header's card stands 16 from each side of the screen, its icon 20 inside it.
TEST_F(DocumentsViewTest, HeaderCardKeepsSixteenFromTheSides) {
    makeView();
    auto* header = view->findChild<QWidget*>(QStringLiteral("projectHeader"));
    ASSERT_TRUE(header);
    const QImage img = view->grab().toImage();
    const int y = header->mapTo(view, QPoint(0, header->height() / 2)).y();
    const QColor canvas = img.pixelColor(2, y);
    int left = 0, right = img.width() - 1;
    while (left < img.width() && img.pixelColor(left, y) == canvas)
        ++left;
    while (right > 0 && img.pixelColor(right, y) == canvas)
        --right;
    EXPECT_EQ(left, 16);
    EXPECT_EQ(img.width() - 1 - right, 16);
}

// In light a hovered row's fill is the card colour at 0.75 over the screen.
TEST_F(DocumentsViewTest, AHoveredRowShowsTheCardColourAtThreeQuartersInLight) {
    ThemeManager::shared().setTheme(AppTheme::light);
    makeDocs(2);
    makeView();
    DocRow* row = rows().front();
    row->hover()->setHoveredImmediately(true);
    flush();
    const QImage img = view->grab().toImage();
    // Inside the row, clear of its texts and stroke: left of the icon tile.
    const QColor seen = img.pixelColor(row->mapTo(view, QPoint(5, row->height() / 2)));
    const QColor expected = Paint::mix(AppPalette::canvasBackground(), AppPalette::cardBackground(), 0.75);
    EXPECT_NEAR(seen.red(), expected.red(), 2);
    EXPECT_NEAR(seen.green(), expected.green(), 2);
    EXPECT_NEAR(seen.blue(), expected.blue(), 2);
    ThemeManager::shared().setTheme(AppTheme::system);
}
