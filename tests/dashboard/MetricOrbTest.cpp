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

// The base ring and the pulse at rest are one 3 px stroke inside the 74 px frame, with the gap to the
// 62 px disc clear: seen down the column through the ring's centre.
TEST_F(MetricOrbTest, RingsFillTheirFrameAroundTheDisc) {
    qputenv("TOLMEK_REDUCE_MOTION", "1"); // the pulse rests on the ring at its start
    QWidget page;
    MetricOrb orb("Terminé", 1, QColor(0, 0, 255), false, &page);
    page.resize(orb.sizeHint());
    orb.resize(orb.sizeHint());
    page.show();
    orb.clearFocus();
    testsupport::flushEvents();
    QImage shot(orb.size(), QImage::Format_RGB32);
    shot.fill(Qt::white);
    orb.render(&shot, {}, {}, QWidget::DrawChildren);
    const int x = orb.labelRect().center().x();
    const int top = orb.labelRect().top() + 6;
    auto red = [&](int y) { return qRed(shot.pixel(x, y)); };
    for (int y : {top, top + 1, top + 2, top + 71, top + 72, top + 73})
        EXPECT_LT(red(y), 200) << "ring at " << y - top;
    for (int y : {top + 3, top + 4, top + 5, top + 68, top + 69, top + 70})
        EXPECT_GE(red(y), 250) << "gap to the disc at " << y - top;
    for (int y : {top - 1, top + 74})
        EXPECT_GE(red(y), 250) << "outside the frame at " << y - top;
}
