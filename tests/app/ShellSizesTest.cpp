#include "ShellFixture.h"

#include "support/TestServices.h"

#include "board/NewChecklistColumnSheet.h"
#include "cardsheet/CardSheet.h"
#include "checklists/ChecklistEdits.h"
#include "projects/EditDocSheet.h"
#include "projects/EditProjectSheet.h"
#include "projects/NewDocSheet.h"
#include "projects/NewProjectSheet.h"
#include "ui/Components.h"
#include "ui/Fonts.h"

#include <QAbstractScrollArea>
#include <QFontMetricsF>
#include <QLayout>
#include <QPushButton>
#include <QScrollBar>

#include <functional>
#include <vector>

namespace {

struct WindowSize {
    const char* name;
    QSize size;
};

// The shell is the window less its menu bar.
const WindowSize kSizes[] = {{"minimum", AppShellView::minimumWindowSize - QSize(0, 30)},
                             {"default", {1100, 720}},
                             {"large", {2560, 1440}}};

const QString kWord = QString(300, QLatin1Char('W'));

class ShellSizesTest : public ShellTest {
protected:
    void settle() {
        for (int i = 0; i < 3; ++i)
            testsupport::flushEvents();
    }
    // The scroll areas of the shown screen that can scroll sideways, by class name.
    QStringList sidewaysScrolls() const {
        QStringList out;
        for (auto* area : shell->router()->currentScreen()->findChildren<QAbstractScrollArea*>())
            if (area->isVisible() && area->horizontalScrollBar()->maximum() > 0)
                out << QString::fromLatin1(area->metaObject()->className());
        return out;
    }
    // The sidebar rows whose title is cut.
    QStringList elidedRows() const {
        QStringList out;
        const QFontMetricsF fm(Fonts::rounded(13, 600));
        for (SidebarNavRow* row : shell->sidebar()->rows()) {
            // As the row lays itself out: padding 6, bar 4, 10, symbol 26, 10, then the title.
            const qreal room = row->shapeRect().width() - 12 - 50;
            if (fm.horizontalAdvance(row->title()) > room)
                out << row->title();
        }
        return out;
    }
    // Whether `sheet`, and its confirm button, lie inside the window it covers.
    static bool insideWindow(QWidget* sheet, QWidget* button, QWidget* host) {
        const QRect window(host->mapToGlobal(QPoint(0, 0)), host->size());
        const QRect frame(sheet->mapToGlobal(QPoint(0, 0)), sheet->size());
        const QRect footer(button->mapToGlobal(QPoint(0, 0)), button->size());
        return window.contains(frame) && frame.contains(footer);
    }
};

} // namespace

// From the smallest window to a large one, with unbreakable 300-character names: no screen but the board
// scrolls sideways, no screen asks for more width than it gets, and the sidebar's titles stay whole.
TEST_F(ShellSizesTest, EveryScreenFitsFromTheMinimumWindowToALargeOne) {
    auto p = project(kWord);
    doc(p, kWord);
    doc(p, "Titre " + kWord);
    auto c = checklist(kWord);
    ChecklistEdits(ctx()).createChecklist("Lancement " + kWord, p);
    ctx().save();

    struct Screen {
        const char* name;
        std::function<void()> show;
        bool scrollsSideways;
    };
    const Screen screens[] = {
        {"dashboard", [&] { clickRow(SidebarItem::dashboard); }, false},
        {"projects", [&] { clickRow(SidebarItem::projects); }, false},
        {"documents",
         [&] {
             clickRow(SidebarItem::projects);
             state().setSelectedProjectForDocuments(p);
         },
         false},
        {"checklists", [&] { clickRow(SidebarItem::checklists); }, false},
        {"board",
         [&] {
             clickRow(SidebarItem::checklists);
             state().setSelectedChecklistForDetail(c);
         },
         true},
        {"settings", [&] { clickRow(SidebarItem::settings); }, false},
    };
    for (const WindowSize& size : kSizes) {
        shell->resize(size.size);
        for (const Screen& screen : screens) {
            SCOPED_TRACE(std::string(size.name) + " " + screen.name);
            screen.show();
            settle();
            QWidget* shown = router()->currentScreen();
            ASSERT_TRUE(shown);
            EXPECT_EQ(shell->size(), size.size);
            EXPECT_LE(shown->minimumSizeHint().width(), router()->width());
            if (!screen.scrollsSideways) {
                EXPECT_EQ(sidewaysScrolls(), QStringList());
            }
            EXPECT_EQ(elidedRows(), QStringList());
        }
    }
}

// Every sheet, at every window size, lies inside the window with its confirm button in view: a sheet
// taller than the window scrolls its body between a fixed header and footer.
TEST_F(ShellSizesTest, SheetsStayInsideTheWindowWithTheirFooterInView) {
    auto p = project(kWord);
    auto d = doc(p, kWord);
    auto c = ChecklistEdits(ctx()).createChecklist("Lancement", p);
    ctx().save();
    ASSERT_TRUE(c && !c->columns().empty());

    QWidget* host = shell.get();
    struct Sheet {
        const char* name;
        std::function<QDialog*()> open;
        QString confirm;
    };
    const Sheet sheets[] = {
        {"new project", [&] { return new NewProjectSheet(*services, host); }, "Créer"},
        {"edit project", [&] { return new EditProjectSheet(*services, p, host); }, "Enregistrer"},
        {"new document", [&] { return new NewDocSheet(*services, p, host); }, "Créer"},
        {"edit document", [&] { return new EditDocSheet(*services, d, host); }, "Enregistrer"},
        {"column", [&] { return new NewChecklistColumnSheet(*services, c, nullptr, host); }, "Creer"},
        {"card, edit mode",
         [&] {
             auto* sheet = new CardSheet(*services, c, host);
             sheet->openNewCard(c->columns().front());
             return sheet;
         },
         "Créer"},
    };
    // Also a window shorter than the smallest one and than the screen: the sheets follow the window.
    std::vector<WindowSize> sizes(std::begin(kSizes), std::end(kSizes));
    sizes.push_back({"short", {900, 480}});
    for (const WindowSize& size : sizes) {
        shell->setMinimumSize(0, 0);
        shell->resize(size.size);
        settle();
        for (const Sheet& s : sheets) {
            SCOPED_TRACE(std::string(size.name) + " " + s.name);
            QDialog* sheet = s.open();
            sheet->setAttribute(Qt::WA_DeleteOnClose);
            if (!sheet->isVisible())
                sheet->open();
            settle();
            QAbstractButton* confirm = nullptr;
            for (QAbstractButton* b : sheet->findChildren<QAbstractButton*>())
                if (b->isVisible() && (b->text() == s.confirm || b->accessibleName() == s.confirm))
                    confirm = b;
            ASSERT_TRUE(confirm);
            EXPECT_LE(sheet->height(), size.size.height());
            EXPECT_TRUE(insideWindow(sheet, confirm, host));
            // A body that scrolls keeps its fields clear of the floating scroll bar.
            for (auto* body : sheet->findChildren<SheetBody*>()) {
                if (QWidget* content = body->widget(); content && content->layout()) {
                    EXPECT_GE(content->layout()->contentsMargins().right(), SheetBody::gutter);
                }
            }
            sheet->close();
            settle();
        }
    }
}
