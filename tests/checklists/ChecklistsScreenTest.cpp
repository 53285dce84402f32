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
#include "ui/Palette.h"
#include "ui/lists/ListChrome.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QStyleOptionComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <set>

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
    // The subtitle wraps rather than ending in an ellipsis.
    const QString subtitle = QStringLiteral("Créez des checklists globales ou liées à un projet.");
    for (auto* text : screen()->findChildren<lists::ClampedText*>()) {
        if (text->text() != subtitle)
            continue;
        const QStringList lines = text->visibleLines(text->width());
        EXPECT_GE(lines.size(), 2);
        EXPECT_EQ(lines.join(' ').simplified(), subtitle);
        EXPECT_GE(text->height(), text->heightForWidth(text->width()));
    }
    // A plain field: no magnifier, on the screen's colour.
    for (auto* symbol : screen()->searchField()->findChildren<lists::SymbolView*>())
        EXPECT_FALSE(symbol->isVisibleTo(screen()));
    EXPECT_EQ(screen()->searchField()->fillColor(), withOpacity(AppPalette::screenBackground(), 0.75));

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

namespace {

// No text of a row or card is clipped: each item is at least as tall as it asks at its width, and so is
// each of its texts.
void expectNothingClipped(const QList<lists::ListItem*>& items) {
    for (lists::ListItem* item : items) {
        const QString name = static_cast<checklistsui::ChecklistEntry*>(item)->checklist()->name().left(20);
        EXPECT_GE(item->height(), item->heightForWidth(item->width())) << name.toStdString();
        for (auto* text : item->findChildren<lists::ClampedText*>())
            EXPECT_GE(text->height(), text->heightForWidth(text->width())) << name.toStdString();
    }
}

} // namespace

// A card grows with a title of two lines and shares its row's height; the other rows keep the height of
// one line, whichever card comes first. A row's name wraps whole.
TEST_F(ChecklistsScreenTest, CardsAndRowsAreAsTallAsTheirTexts) {
    const QString longName = QStringLiteral("Réception des travaux de la salle polyvalente et des vestiaires");
    const QStringList before = {"Court", "Bref", "Net", "Petit", longName, "Un", "Deux"};
    for (int i = 0; i < int(before.size()); ++i)
        checklist(before[i], 100 - i);
    ts.prefs().setValue("prefs.defaultLayout", "grid");
    screen();
    auto heights = [this] {
        std::map<int, std::set<int>> rows; // top -> heights
        for (auto* item : screen()->shownItems())
            rows[item->y()].insert(item->height());
        return rows;
    };
    auto rows = heights();
    ASSERT_EQ(rows.size(), 3u);
    auto it = rows.begin();
    const int one = *it->second.begin();
    EXPECT_EQ(it->second.size(), 1u);
    EXPECT_GE(one, 120);
    ++it;
    EXPECT_EQ(it->second.size(), 1u);
    EXPECT_GT(*it->second.begin(), one);
    ++it;
    EXPECT_EQ(it->second, std::set<int>{one});
    auto* card = item<ChecklistCardGrid>(4);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->titleText()->visibleLines(card->titleText()->width()).size(), 2);
    expectNothingClipped(screen()->shownItems());

    // The long title first: only its row grows.
    checklist(longName + QStringLiteral(" (copie)"), 200);
    testsupport::flushEvents();
    rows = heights();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_GT(*rows.begin()->second.begin(), one);
    EXPECT_EQ(std::next(rows.begin())->second, std::set<int>{*rows.begin()->second.begin()});
    EXPECT_EQ(std::prev(rows.end())->second, std::set<int>{one});
    expectNothingClipped(screen()->shownItems());

    // Rows: a long name on as many lines as it needs, with no ellipsis, and the next row below it.
    checklist(QStringList(3, longName).join(" "), 150);
    ts.prefs().setValue("prefs.defaultLayout", "list");
    testsupport::flushEvents();
    auto* row = item<ChecklistRow>(1);
    ASSERT_TRUE(row);
    const QStringList lines = row->nameText()->visibleLines(row->nameText()->width());
    EXPECT_GE(lines.size(), 3);
    EXPECT_EQ(lines.join("").remove(QChar(0x20)), QString(row->checklist()->name()).remove(QChar(0x20)));
    EXPECT_GT(row->height(), item<ChecklistRow>(2)->height());
    EXPECT_LE(row->geometry().bottom(), item<ChecklistRow>(2)->y());
    // Rows take exactly what their texts need, project lines included.
    checklist(QStringLiteral("  Bords blancs  "), 160, project(longName, 0));
    testsupport::flushEvents();
    for (auto* shown : screen()->shownItems())
        EXPECT_EQ(shown->height(), std::max(shown->heightForWidth(shown->width()), shown->minimumHeight()));
    expectNothingClipped(screen()->shownItems());
}

// The picker's chosen project, too long for it, ends in an ellipsis inside its field: no glyph is cut
// at the field's edge.
TEST_F(ChecklistsScreenTest, ThePickerCutsALongProjectNameWithAnEllipsis) {
    project(QStringLiteral("Aménagement_numérique_des_collectivités_territoriales_du_bassin_minier"), 1);
    NewChecklistSheet sheet(ts.services());
    sheet.show();
    testsupport::flushEvents();
    QComboBox* picker = sheet.projectPicker();
    picker->setCurrentIndex(1);
    testsupport::flushEvents();
    QStyleOptionComboBox opt;
    opt.initFrom(picker);
    opt.rect = picker->rect();
    const QRect field =
        picker->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, picker);
    const QImage img = picker->grab().toImage();
    const QColor fill = img.pixelColor(field.right(), field.top());
    int ink = 0, inside = 0;
    for (int y = field.top(); y <= field.bottom(); ++y) {
        for (int x = field.left(); x <= field.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            const bool dark = std::abs(c.lightness() - fill.lightness()) > 60;
            ink += dark && x >= field.right() - 1;
            inside += dark;
        }
    }
    EXPECT_GT(inside, 50); // the name is drawn
    EXPECT_EQ(ink, 0); // and stops before the field's edge
}
