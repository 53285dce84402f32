#include "DashboardFixture.h"

#include "dashboard/DashboardView.h"
#include "dashboard/DashboardWidgets.h"
#include "support/TestSupport.h"
#include "ui/Components.h"
#include "ui/FlowScrollArea.h"

#include <QScrollBar>

using namespace dashboard;

namespace {

class DashboardLayoutTest : public DashboardFixture {
protected:
    // The final layouts are measured: the panel's and the note's transitions are immediate.
    void SetUp() override {
        DashboardFixture::SetUp();
        qputenv("TOLMEK_REDUCE_MOTION", "1");
    }
    void TearDown() override {
        qunsetenv("TOLMEK_REDUCE_MOTION");
        DashboardFixture::TearDown();
    }

    std::unique_ptr<DashboardView> makeView(QSize size) {
        auto v = std::make_unique<DashboardView>(
            env.services(), [] {}, [] {}, [](const ProjectPtr&) {}, [](const DocPtr&) {}, [] {},
            [](const ChecklistPtr&) {});
        v->resize(size);
        v->show();
        testsupport::flushEvents();
        return v;
    }
};

const QString kWord = QString(300, QLatin1Char('W'));

} // namespace

// From the narrowest screen to a large one, with unbreakable 300-character names everywhere the dashboard
// shows one: nothing scrolls sideways, the modules stand side by side only where two columns of 320 fit,
// and the collapsed quick note is no taller than its header, whatever stands beside it.
TEST_F(DashboardLayoutTest, FitsEveryWidthWithLongNamesAndKeepsTheCollapsedNoteShort) {
    const auto project = makeProject(kWord, 0, kWord);
    makeDoc(project, kWord, 1);
    makeDoc(project, "Titre " + kWord, 2);
    for (int i = 0; i < 4; ++i)
        makeChecklist(i == 0 ? kWord : QString("Checklist %1").arg(i), 3 + i, project);
    env.profile().setFirstName(kWord);

    struct Case {
        int width;
        bool sideBySide;
    };
    // 620: the narrowest a routed screen gets; 2299: a 2560 window beside the sidebar.
    for (const Case c : {Case{620, false}, Case{720, true}, Case{1100, true}, Case{2299, true}}) {
        SCOPED_TRACE(c.width);
        auto view = makeView({c.width, 700});
        view->toggleExpandedStatus(DocStatus::inProgress);
        testsupport::flushEvents();
        ASSERT_EQ(view->panelRows().size(), 2u);

        FlowScrollArea* scroll = view->scrollArea();
        EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
        EXPECT_LE(scroll->widget()->width(), scroll->viewport()->width());
        for (QWidget* w : {static_cast<QWidget*>(view->panelRows()[0]), static_cast<QWidget*>(view->projectCards()[0]),
                           static_cast<QWidget*>(view->checklistCards()[0])})
            EXPECT_LE(w->mapTo(view.get(), QPoint(w->width(), 0)).x(), scroll->viewport()->width());
        // The counters stay in view.
        MetricOrb* last = view->orb(DocStatus::needsChanges);
        EXPECT_LE(last->mapTo(view.get(), QPoint(last->width(), 0)).x(), scroll->viewport()->width());

        EXPECT_EQ(view->modulesSideBySide(), c.sideBySide);
        DashboardAccordion* note = view->quickNoteAccordion();
        auto* card = note->findChild<AppCard*>();
        ASSERT_TRUE(card);
        EXPECT_EQ(card->cardRect().height(), note->headerButton()->height() + 2 * AppCard::padding);
        if (c.sideBySide) {
            EXPECT_GT(view->checklistsModule()->height(), note->height());
        }

        // Expanded, the note shows its editor in full; collapsed again, it shrinks back to its header.
        note->setExpanded(true);
        testsupport::flushEvents();
        EXPECT_GE(card->cardRect().height(), note->headerButton()->height() + 160);
        ASSERT_TRUE(view->quickNoteEditor());
        EXPECT_GE(view->quickNoteEditor()->height(), 160);
        EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
        note->setExpanded(false);
        testsupport::flushEvents();
        EXPECT_EQ(card->cardRect().height(), note->headerButton()->height() + 2 * AppCard::padding);
    }
}

// A document row's texts stand in the middle of the row, with and without the project's line.
TEST_F(DashboardLayoutTest, DocumentRowTextsAreCentredVertically) {
    const auto project = makeProject("Atelier", 0);
    makeDoc(project, "Avec projet", 1);
    makeDoc(nullptr, "Sans projet", 2);
    makeDoc(nullptr, QString("Long titre ").repeated(30), 3);
    auto view = makeView({900, 900});
    view->toggleExpandedStatus(DocStatus::inProgress);
    testsupport::flushEvents();
    ASSERT_EQ(view->panelRows().size(), 3u);
    for (DocRowLine* row : view->panelRows()) {
        SCOPED_TRACE(row->titleText().toStdString());
        int top = row->height(), bottom = 0;
        for (auto* text : row->findChildren<lists::ClampedText*>()) {
            if (!text->isVisibleTo(row))
                continue;
            // The text as drawn, from its top.
            const QRect g = text->geometry();
            EXPECT_GE(g.height(), text->heightForWidth(g.width())) << "cut";
            top = std::min(top, g.top());
            bottom = std::max(bottom, g.top() + text->heightForWidth(g.width()));
        }
        EXPECT_LE(std::abs((top + bottom) - row->height()), 2) << top << " " << bottom << " " << row->height();
    }
}

// "Checklists récentes" stands at the leading edge of its module, above the grid, wherever the centred
// grid puts its first card.
TEST_F(DashboardLayoutTest, RecentChecklistsTitleStandsAtTheModulesLeadingEdge) {
    env.prefs().setValue(DashboardView::showQuickNoteKey, false);
    makeChecklist("Courses", 1);
    auto view = makeView({1200, 800});
    QWidget* module = view->checklistsModule();
    ASSERT_TRUE(module);
    DashLabel* title = nullptr;
    for (auto* label : module->findChildren<DashLabel*>())
        if (label->text() == QString::fromUtf8("Checklists récentes"))
            title = label;
    ASSERT_TRUE(title);
    const auto cards = view->checklistCards();
    ASSERT_FALSE(cards.empty());
    EXPECT_GT(cards[0]->mapTo(module, QPoint()).x(), AppCard::shadowMargins().left() + 10) << "a centred grid";
    EXPECT_EQ(title->mapTo(module, QPoint()).x(), AppCard::shadowMargins().left());
}
