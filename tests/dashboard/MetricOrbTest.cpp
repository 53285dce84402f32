#include "DashboardFixture.h"

#include "dashboard/DashboardView.h"
#include "dashboard/DashboardWidgets.h"
#include "support/TestServices.h"
#include "ui/Theme.h"

#include <QApplication>

#include <functional>

using namespace dashboard;

namespace {

class MetricOrbTest : public DashboardFixture {
protected:
    std::unique_ptr<DashboardView> makeView() {
        auto v = std::make_unique<DashboardView>(
            env.services(), [] {}, [] {}, [](const ProjectPtr&) {}, [](const DocPtr&) {}, [] {},
            [](const ChecklistPtr&) {});
        v->resize(1100, 900);
        v->show();
        testsupport::flushEvents();
        return v;
    }
    void TearDown() override {
        qunsetenv("TOLMEK_REDUCE_MOTION");
        ThemeManager::shared().setTheme(AppTheme::system);
    }
};

} // namespace

// The pulse animates only while an orb shows in the active window, and not when less motion is asked.
TEST_F(MetricOrbTest, PulseRunsOnlyOnScreenInTheActiveWindow) {
    auto view = makeView();
    QWidget other;
    other.resize(100, 100);
    other.show();
    testsupport::flushEvents();
    struct Step {
        const char* what;
        std::function<void()> act;
        bool running;
    };
    const std::vector<Step> steps{
        {"shown in the active window", [&] { QApplication::setActiveWindow(view.get()); }, true},
        {"another window active", [&] { QApplication::setActiveWindow(&other); }, false},
        {"active again", [&] { QApplication::setActiveWindow(view.get()); }, true},
        {"hidden", [&] { view->hide(); }, false},
        {"shown again",
         [&] {
             view->show();
             QApplication::setActiveWindow(view.get());
         },
         true},
        {"minimised", [&] { view->showMinimized(); }, false},
        {"restored",
         [&] {
             view->showNormal();
             QApplication::setActiveWindow(view.get());
         },
         true},
        {"less motion",
         [&] {
             qputenv("TOLMEK_REDUCE_MOTION", "1");
             MetricOrb::refreshPulse();
         },
         false},
        {"motion again",
         [&] {
             qunsetenv("TOLMEK_REDUCE_MOTION");
             MetricOrb::refreshPulse();
         },
         true},
        {"screen gone", [&] { view.reset(); }, false},
    };
    for (const Step& step : steps) {
        step.act();
        testsupport::flushEvents();
        EXPECT_EQ(MetricOrb::isPulseRunning(), step.running) << step.what;
    }
}

// On the header card an orb paints the card's fill itself, in either appearance, so that a frame of its
// pulse repaints the orb alone; an orb elsewhere leaves its background to what lies under it.
TEST_F(MetricOrbTest, OrbOnTheHeaderCardPaintsTheCardAroundItsRings) {
    for (AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        ThemeManager::shared().setTheme(theme);
        auto view = makeView();
        MetricOrb* orb = view->orb(DocStatus::done);
        ASSERT_TRUE(orb->paintsBackdrop());
        EXPECT_TRUE(orb->testAttribute(Qt::WA_OpaquePaintEvent));
        const QImage shot = view->grab().toImage();
        // A corner of the orb, where it draws nothing of its own, and the card just above the orbs.
        const QPoint corner = orb->mapTo(view.get(), QPoint(1, 1));
        const QPoint card = orb->mapTo(view.get(), QPoint(orb->width() / 2, -8));
        EXPECT_EQ(QColor(shot.pixel(corner)), QColor(shot.pixel(card))) << int(theme);
        // The pulse repaints within the orb, around its ring.
        EXPECT_TRUE(orb->rect().contains(orb->pulseRect()));
        EXPECT_TRUE(orb->pulseRect().contains(orb->labelRect().center().x(), orb->labelRect().top() + 6));
    }
    QWidget page;
    MetricOrb alone("Terminé", 1, Qt::green, false, &page);
    page.show();
    testsupport::flushEvents();
    EXPECT_FALSE(alone.paintsBackdrop());
    EXPECT_FALSE(alone.testAttribute(Qt::WA_OpaquePaintEvent));
}
