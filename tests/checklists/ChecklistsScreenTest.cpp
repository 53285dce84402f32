#include "checklists/ChecklistEdits.h"
#include "checklists/ChecklistItems.h"
#include "checklists/ChecklistLogic.h"
#include "checklists/ChecklistsListView.h"
#include "checklists/NewChecklistSheet.h"
#include "ui/Theme.h"
#include "ui/Palette.h"
#include "support/Accessibility.h"
#include "support/TestServices.h"
#include "support/TestSupport.h"
#include "ui/Components.h"
#include "ui/lists/ListChrome.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using checklistsui::ChecklistCardGrid;
using checklistsui::ChecklistRow;

class ChecklistsScreenTest : public ::testing::Test {
protected:
    ModelContext& context() { return ts.context(); }

    ChecklistPtr checklist(const QString& name, int minute, const ProjectPtr& project = nullptr) {
        ChecklistFields f;
        f.name = name;
        f.iconName = "checklist";
        f.colorKey = QString("blue");
        f.createdAt = f.updatedAt = at(minute);
        f.project = project;
        auto c = std::make_shared<Checklist>(std::move(f));
        context().insert(c);
        return c;
    }
    ChecklistColumnPtr column(const ChecklistPtr& c, const QString& name, int order) {
        ChecklistColumnFields f;
        f.name = name;
        f.iconName = "circle";
        f.orderIndex = order;
        f.createdAt = f.updatedAt = at(0);
        f.checklist = c;
        auto col = std::make_shared<ChecklistColumn>(std::move(f));
        context().insert(col);
        return col;
    }
    void cards(const ChecklistColumnPtr& col, int count, bool hidden = false) {
        for (int i = 0; i < count; ++i) {
            ChecklistCardFields f;
            f.title = QStringLiteral("Carte %1").arg(i);
            f.orderIndex = i;
            f.createdAt = f.updatedAt = at(0);
            if (hidden)
                f.deletedAt = at(0);
            f.column = col;
            context().insert(std::make_shared<ChecklistCard>(std::move(f)));
        }
    }
    ProjectPtr project(const QString& name, int minute) {
        ProjectFields f;
        f.name = name;
        f.iconName = "folder";
        f.createdAt = f.updatedAt = at(minute);
        auto p = std::make_shared<Project>(std::move(f));
        context().insert(p);
        return p;
    }
    QDateTime at(int minute) const { return QDateTime(QDate(2025, 5, 1), QTime(8, 0), Qt::UTC).addSecs(60 * minute); }

    ChecklistsListView* screen() {
        if (!m_screen) {
            m_screen = std::make_unique<ChecklistsListView>(
                ts.services(), [this] { ++creates; }, [this](const ChecklistPtr& c) { opened.push_back(c); });
            m_screen->resize(900, 700);
            m_screen->show();
            testsupport::flushEvents();
        }
        return m_screen.get();
    }
    QStringList shownNames() {
        QStringList out;
        for (const auto& c : screen()->pageChecklists())
            out << c->name();
        return out;
    }
    template <class Item>
    Item* item(int index) {
        return qobject_cast<Item*>(screen()->shownItems().value(index));
    }

    testsupport::TestServices ts;
    std::unique_ptr<ChecklistsListView> m_screen;
    int creates = 0;
    std::vector<ChecklistPtr> opened;
};

TEST(ChecklistsSearch, NameContainsTheTextAsTypedIgnoringCase) {
    testsupport::TestServices ts;
    auto make = [&](const QString& name, bool deleted = false) {
        ChecklistFields f;
        f.name = name;
        if (deleted)
            f.deletedAt = QDateTime::currentDateTimeUtc();
        auto c = std::make_shared<Checklist>(std::move(f));
        return c;
    };
    const std::vector<ChecklistPtr> all{make("Production"), make("Étape finale"), make("Mise en prod"),
                                        make("Prod cachée", true)};
    auto names = [&](const QString& search) {
        QStringList out;
        for (const auto& c : ChecklistsListView::visibleChecklists(all, search))
            out << c->name();
        return out;
    };
    EXPECT_EQ(names(" \n"), (QStringList{"Production", "Étape finale", "Mise en prod"}));
    EXPECT_EQ(names("PROD"), (QStringList{"Production", "Mise en prod"}));
    EXPECT_EQ(names(" prod"), QStringList{"Mise en prod"}); // the blank counts
    EXPECT_EQ(names("étape"), QStringList{"Étape finale"});
    EXPECT_TRUE(names("etape").isEmpty()); // accents count
}

TEST_F(ChecklistsScreenTest, EmptyStoreAndFruitlessSearchShowTheSameInvitation) {
    screen();
    auto* empty = screen()->emptyState();
    ASSERT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->title()->text(), "Aucune checklist");
    EXPECT_EQ(empty->message()->text(), "Créez votre première checklist pour organiser vos étapes.");
    QTest::mouseClick(empty->button(), Qt::LeftButton);
    QTest::mouseClick(screen()->newButton(), Qt::LeftButton);
    EXPECT_EQ(creates, 2);

    checklist("Lancement", 1);
    ASSERT_TRUE(testsupport::waitFor([&] { return shownNames() == QStringList{"Lancement"}; }));
    QTest::keyClicks(screen()->searchField()->lineEdit(), "zzz");
    testsupport::flushEvents();
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->title()->text(), "Aucune checklist");
    EXPECT_EQ(empty->message()->text(), "Créez votre première checklist pour organiser vos étapes.");
}

TEST_F(ChecklistsScreenTest, RowsCountBothSpellingsOfTheTwoColumns) {
    auto site = project("Site", 0);
    auto accented = checklist("Accentuée", 5, site);
    cards(column(accented, "À faire", 0), 3);
    cards(column(accented, "Terminé", 1), 2);
    cards(column(accented, "Terminé", 1), 1, true);
    // The board's own first columns, written without accents, and a decomposed "Terminé".
    auto plain = checklist("Sans accents", 4);
    cards(column(plain, "A faire", 0), 4);
    cards(column(plain, QString("Termine") + QChar(0x0301), 1), 1);
    auto other = checklist("Autres noms", 3);
    cards(column(other, "à faire", 0), 2);
    cards(column(other, "Terminé ", 1), 2);
    checklist("Cachée", 9)->setDeletedAt(at(9));
    ASSERT_TRUE(context().save());

    ASSERT_EQ(shownNames(), (QStringList{"Accentuée", "Sans accents", "Autres noms"}));
    auto counts = [&](int i) {
        auto* row = item<ChecklistRow>(i);
        return row->toDoBadge()->text() + " | " + row->doneBadge()->text();
    };
    EXPECT_EQ(counts(0), "3 à faire | 2 terminée(s)");
    EXPECT_EQ(counts(1), "4 à faire | 1 terminée(s)");
    // Lower case, trailing blank: other names, so no to-do column: every card is still to do.
    EXPECT_EQ(counts(2), "4 à faire | 0 terminée(s)");
    EXPECT_EQ(item<ChecklistRow>(0)->projectText()->text(), "Projet : Site");
    EXPECT_EQ(item<ChecklistRow>(1)->projectText()->text(), "Globale");

    // A card added on a board stamps its checklist: the row follows and moves to the top.
    auto col = ChecklistLogic::sortedColumns(*plain).front();
    ChecklistEdits(context()).createCard(plain, col, "Nouvelle carte", std::nullopt);
    ASSERT_TRUE(testsupport::waitFor([&] { return shownNames().value(0) == "Sans accents"; }));
    EXPECT_EQ(counts(0), "5 à faire | 1 terminée(s)");
}

TEST_F(ChecklistsScreenTest, OpeningIsOneClickInsideTheCardsPadding) {
    auto c = checklist("Lancement", 1);
    screen();
    ChecklistRow* row = item<ChecklistRow>(0);
    ASSERT_TRUE(row);
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(4, 4)); // the card's padding
    EXPECT_TRUE(opened.empty());
    // The free space between the texts and the counters.
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() / 2, row->height() / 2));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], c);
}

TEST_F(ChecklistsScreenTest, GridCardsFollowTheSharedLayoutPreference) {
    auto site = project("", 0);
    checklist(" \n", 2, site);
    checklist("  Lancement  ", 1);
    ts.prefs().setValue("prefs.defaultLayout", "grid");
    screen();
    ASSERT_TRUE(screen()->isGrid());
    auto* first = item<ChecklistCardGrid>(0);
    auto* second = item<ChecklistCardGrid>(1);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->titleText()->text(), "Sans titre");
    EXPECT_EQ(first->subtitleText()->text(), ""); // a project with an empty name
    EXPECT_EQ(second->titleText()->text(), "  Lancement  ");
    EXPECT_EQ(second->subtitleText()->text(), "Checklist globale");
    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(1, 1)); // outside the rounded corner
    EXPECT_TRUE(opened.empty());
    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(second->width() / 2, second->height() - 6));
    EXPECT_EQ(opened.size(), 1u);

    QTest::mouseClick(screen()->layoutSwitch()->listButton(), Qt::LeftButton);
    EXPECT_EQ(ts.prefs().value("prefs.defaultLayout").toString(), "list");
    ts.prefs().setValue("prefs.defaultLayout", "mosaic");
    testsupport::flushEvents();
    EXPECT_FALSE(screen()->isGrid());
    EXPECT_TRUE(item<ChecklistRow>(0));
}

TEST_F(ChecklistsScreenTest, EveryTextAndControlIsNamed) {
    auto c = checklist("Lancement", 1, project("Site", 0));
    cards(column(c, "À faire", 0), 1);
    screen();
    EXPECT_TRUE(testsupport::unnamedAccessibleElements(screen()).isEmpty())
        << testsupport::unnamedAccessibleElements(screen()).join("\n").toStdString();
    const QStringList names = testsupport::accessibleNames(screen());
    for (const char* text : {"Checklists", "Créez des checklists globales ou liées à un projet.", "Nouvelle",
                             "Lancement", "Projet : Site", "1 à faire", "0 terminée(s)"})
        EXPECT_TRUE(names.contains(text)) << text;
}

// ---- the new-checklist sheet ----

TEST_F(ChecklistsScreenTest, SheetCreatesATrimmedChecklistWithItsTwoColumns) {
    auto older = project("Site", 1);
    auto newer = project("Site", 2); // same name: told apart by id
    newer->setColorKey(QString("orange"));
    project("Archivé", 3)->setDeletedAt(at(3));
    NewChecklistSheet sheet(ts.services());
    sheet.show();
    QStringList rows;
    for (int i = 0; i < sheet.projectPicker()->count(); ++i)
        rows << sheet.projectPicker()->itemText(i);
    EXPECT_EQ(rows, (QStringList{"Aucun (globale)", "Site", "Site"}));
    EXPECT_EQ(sheet.projectPicker()->itemData(1).toString(), newer->id().toString());

    EXPECT_FALSE(sheet.createButton()->isEnabled());
    QTest::keyClicks(sheet.nameField(), "   ");
    EXPECT_FALSE(sheet.createButton()->isEnabled());
    // Text set through accessibility counts as typing.
    sheet.nameField()->setText("  Production \n");
    EXPECT_TRUE(sheet.createButton()->isEnabled());
    QTest::keyClick(sheet.nameField(), Qt::Key_Return);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(context().fetch<Checklist>().empty());

    sheet.projectPicker()->setCurrentIndex(1);
    QTest::mouseClick(sheet.createButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet.isVisible());
    const ChecklistPtr c = sheet.createdChecklist();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->name(), "Production");
    EXPECT_EQ(c->project(), newer);
    EXPECT_EQ(c->colorKey(), OptText("orange"));
    const auto cols = ChecklistLogic::sortedColumns(*c);
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_EQ(cols[0]->name(), "À faire");
    EXPECT_EQ(cols[1]->name(), "Terminé");
    EXPECT_EQ(cols[1]->orderIndex(), 1);
    EXPECT_GE(newer->updatedAt(), c->createdAt());
    EXPECT_EQ(older->updatedAt(), at(1));
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(ChecklistsScreenTest, SheetCancelWritesNothingAndAVanishedProjectGivesAGlobalChecklist) {
    auto site = project("Site", 1);
    {
        NewChecklistSheet sheet(ts.services());
        sheet.show();
        sheet.nameField()->setText("Essai");
        sheet.projectPicker()->setCurrentIndex(1);
        QTest::mouseClick(sheet.cancelButton(), Qt::LeftButton);
        EXPECT_FALSE(sheet.isVisible());
        EXPECT_TRUE(context().fetch<Checklist>().empty());
        EXPECT_EQ(site->updatedAt(), at(1));
    }
    NewChecklistSheet sheet(ts.services());
    sheet.show();
    sheet.nameField()->setText("Essai");
    sheet.projectPicker()->setCurrentIndex(1);
    site->setDeletedAt(at(2)); // hidden elsewhere while the sheet is open
    sheet.create();
    ASSERT_TRUE(sheet.createdChecklist());
    EXPECT_FALSE(sheet.createdChecklist()->project());
    EXPECT_EQ(sheet.createdChecklist()->colorKey(), OptText("blue"));
    EXPECT_TRUE(testsupport::unnamedAccessibleElements(&sheet).isEmpty());
}

} // namespace

TEST_F(ChecklistsScreenTest, OnlyTheRowsNearTheViewAreMadeAndScrollingReachesTheLast) {
    for (int i = 0; i < 300; ++i)
        checklist(QString("Liste %1").arg(i), i);
    ASSERT_TRUE(context().save());
    for (const char* layout : {"list", "grid"}) {
        SCOPED_TRACE(layout);
        ts.prefs().setValue("prefs.defaultLayout", layout);
        testsupport::flushEvents();
        ASSERT_EQ(screen()->pageChecklists().size(), 300u);
        const auto first = screen()->shownItems();
        ASSERT_FALSE(first.isEmpty());
        EXPECT_LT(first.size(), 120);
        EXPECT_EQ(static_cast<checklistsui::ChecklistEntry*>(first.front())->checklist()->name(), "Liste 299");
        // The page is as tall as every row: the scroll bar reaches the oldest checklist.
        auto* bar = screen()->scrollArea()->verticalScrollBar();
        bar->setValue(bar->maximum());
        testsupport::flushEvents();
        const auto last = screen()->shownItems();
        ASSERT_FALSE(last.isEmpty());
        EXPECT_EQ(static_cast<checklistsui::ChecklistEntry*>(last.back())->checklist()->name(), "Liste 0");
        EXPECT_TRUE(last.back()->isVisible());
        const QRect inView = last.back()->geometry().translated(
            last.back()->parentWidget()->mapTo(screen()->scrollArea()->viewport(), QPoint()));
        EXPECT_TRUE(screen()->scrollArea()->viewport()->rect().intersects(inView));
        bar->setValue(0);
        testsupport::flushEvents();
    }
}

namespace {

// The search field is 260 wide wherever the header has room for it (the subtitle gives way first), and
// Tab goes through the header as it reads: search, list, grid, "Nouvelle".
TEST_F(ChecklistsScreenTest, TheHeaderKeepsA260SearchFieldAndTabFollowsItsOrder) {
    checklist("Une", 1);
    for (int width : {880, 1100, 1600}) {
        SCOPED_TRACE(width);
        screen()->resize(width, 700);
        testsupport::flushEvents();
        EXPECT_EQ(screen()->searchField()->width(), 260);
    }
    screen()->resize(620, 700);
    testsupport::flushEvents();
    EXPECT_GE(screen()->searchField()->width(), 140);
    EXPECT_LE(screen()->newButton()->mapTo(screen(), QPoint(screen()->newButton()->width(), 0)).x(), 620);

    QStringList order;
    QWidget* w = screen()->searchField()->lineEdit();
    for (int i = 0; i < 4; ++i) {
        order << (w == screen()->searchField()->lineEdit() ? QStringLiteral("search") : w->accessibleName());
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(screen()));
    }
    EXPECT_EQ(order, (QStringList{"search", "Liste", "Grille", "Nouvelle"}));
}

// The sheet's field and "Créer" show the focus look every field and button shows, at 3:1 in both themes.
TEST_F(ChecklistsScreenTest, SheetFocusIndicatorsReadInBothThemes) {
    for (const bool dark : {false, true}) {
        ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
        applyAppearance();
        NewChecklistSheet sheet(ts.services());
        sheet.nameField()->setText("Essai");
        for (QWidget* control :
             {static_cast<QWidget*>(sheet.nameField()), static_cast<QWidget*>(sheet.createButton())}) {
            // The field's box is drawn by the frame around it.
            QWidget* frame = control == sheet.nameField() ? control->parentWidget() : nullptr;
            const testsupport::FocusContrast c = testsupport::focusRingContrast(control, frame);
            EXPECT_GE(c.outside, Contrast::largeText) << dark << control->accessibleName().toStdString();
            EXPECT_GE(c.inside, Contrast::largeText) << dark << control->accessibleName().toStdString();
        }
    }
    ThemeManager::shared().setTheme(AppTheme::system);
}

} // namespace
