#include "ui/BackgroundJobs.h"
#include "ui/Paint.h"

#include <QElapsedTimer>
#include <QThread>
#include <QThreadPool>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace {

// The largest difference of any channel between two images of the same size.
int maxDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

QImage canvas() {
    QImage img(220, 200, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(240, 236, 228));
    QPainter p(&img);
    p.fillRect(QRect(0, 0, 110, 200), QColor(30, 60, 90)); // two grounds under the shapes
    return img;
}

} // namespace

// Translucent shapes are filled off the raster engine's thread pool; they must look as a direct fill does.
TEST(PaintFill, TranslucentShapesLookAsADirectFillDoes) {
    const QColor color(200, 40, 120, 110);
    struct Case {
        QPainterPath path;
        QTransform transform;
        qreal opacity;
        QRect clip;
    };
    QPainterPath card = Paint::roundedRect(QRectF(20.5, 15.25, 170, 150), 18);
    QPainterPath ring;
    ring.addEllipse(QRectF(40, 30, 90, 90));
    ring.addEllipse(QRectF(43, 33, 84, 84));
    ring.setFillRule(Qt::OddEvenFill);
    const std::vector<Case> cases{
        {card, QTransform(), 1.0, {}},
        {ring, QTransform::fromTranslate(3.5, 7.25), 1.0, {}},
        {ring, QTransform::fromScale(1.07, 1.07), 0.6, {}},
        {card, QTransform(), 1.0, QRect(50, 40, 100, 60)},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        QImage direct = canvas(), kit = canvas();
        for (QImage* img : {&direct, &kit}) {
            QPainter p(img);
            p.setTransform(c.transform);
            p.setOpacity(c.opacity);
            if (!c.clip.isNull())
                p.setClipRect(c.clip);
            if (img == &kit) {
                Paint::fill(p, c.path, color);
            } else {
                p.setRenderHint(QPainter::Antialiasing);
                p.fillPath(c.path, color);
            }
        }
        EXPECT_LE(maxDifference(direct, kit), 2) << "case " << i;
    }
}

namespace {
// A tall translucent card, as a long text block's: fill and outline through the kit.
class TallCard : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        Paint::fillRoundedRect(p, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 18, QColor(20, 90, 200, 90));
        Paint::strokeRoundedRect(p, QRectF(rect()), 18, QColor(0, 0, 0, 140), 1.5);
    }
};
} // namespace

// A repaint of part of a tall shape fills only that part; what it shows is what a whole repaint shows.
TEST(PaintFill, PartOfATallShapeLooksAsTheWholeDoes) {
    QWidget page;
    page.resize(300, 3000);
    page.setAutoFillBackground(true);
    auto* card = new TallCard(&page);
    card->setGeometry(17, 23, 250, 2950);
    QImage whole(page.size(), QImage::Format_ARGB32_Premultiplied);
    whole.fill(Qt::white);
    page.render(&whole);
    const std::vector<QRect> parts{QRect(0, 0, 300, 40), QRect(0, 1500, 300, 30), QRect(40, 2940, 120, 60),
                                   QRect(250, 700, 50, 80)};
    for (const QRect& part : parts) {
        QImage partial(page.size(), QImage::Format_ARGB32_Premultiplied);
        partial.fill(Qt::white);
        page.render(&partial, part.topLeft(), QRegion(part));
        EXPECT_EQ(maxDifference(whole.copy(part), partial.copy(part)), 0) << "part at " << part.y();
    }
}

// Long jobs of ours must not hold up the threads that Qt's raster engine borrows for large translucent fills.
TEST(PaintFill, PaintingDoesNotWaitForLongBackgroundJobs) {
    std::atomic<bool> release{false};
    const int jobs = std::max(QThreadPool::globalInstance()->maxThreadCount(), backgroundJobs().maxThreadCount());
    for (int i = 0; i < jobs; ++i)
        backgroundJobs().start([&release] {
            for (int k = 0; k < 300 && !release; ++k) // at most 1.5 s, so that a stall shows as one
                QThread::msleep(5);
        });
    QImage img(800, 600, QImage::Format_RGB32);
    QElapsedTimer timer;
    timer.start();
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(Paint::roundedRect(QRectF(10.5, 10.5, 700, 500), 20), QColor(255, 0, 0, 128));
    }
    const qint64 elapsed = timer.elapsed();
    release = true;
    backgroundJobs().waitForDone();
    EXPECT_LT(elapsed, 500) << "the fill waited for the jobs";
}

// A hover shadow animates between two drawn shadows: at either end of the animation it is exactly the
// shadow drawn alone, and a shadow that appears starts from nothing.
TEST(PaintShadow, AnimatedShadowEndsAreTheShadowsThemselves) {
    const QRectF card(50, 50, 120, 90);
    const Paint::Shadow rest{QColor(0, 0, 0, 40), 6, QPointF(0, 3)};
    const Paint::Shadow hovered{QColor(20, 90, 200, 90), 14, QPointF(0, 6)};
    auto drawn = [&](const std::function<void(QPainter&)>& paint) {
        QImage img = canvas();
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        paint(p);
        return img;
    };
    auto alone = [&](const Paint::Shadow& s) {
        return drawn([&](QPainter& p) { Paint::drawShadow(p, card, 16, s.color, s.blur, s.offset); });
    };
    auto between = [&](const Paint::Shadow& from, qreal t) {
        return drawn([&](QPainter& p) { Paint::drawShadowBetween(p, card, 16, from, hovered, t); });
    };
    EXPECT_EQ(maxDifference(between(rest, 0), alone(rest)), 0);
    EXPECT_EQ(maxDifference(between(rest, 1), alone(hovered)), 0);
    EXPECT_EQ(maxDifference(between({}, 1), alone(hovered)), 0);
    EXPECT_EQ(maxDifference(between({}, 0), canvas()), 0);
    // Half way, the shadow is there but lighter than at the end.
    const QImage half = between({}, 0.5);
    EXPECT_GT(maxDifference(half, canvas()), 0);
    EXPECT_LT(maxDifference(half, canvas()), maxDifference(alone(hovered), canvas()));
}

// A shadow on whole pixels is laid from copied corners and tiled sides: the same picture as the stretched
// one drawn under a transform (which takes the scaling path), for wide, tall and large cards, at opacity.
TEST(PaintShadow, ShadowOnWholePixelsIsTheStretchedOne) {
    const QRectF cards[] = {QRectF(20, 30, 180, 24), QRectF(30, 20, 30, 160), QRectF(20, 20, 170, 150)};
    for (const QRectF& card : cards) {
        auto drawn = [&](bool stretched) {
            QImage img = canvas();
            QPainter p(&img);
            p.setOpacity(0.7);
            if (stretched)
                p.scale(1.0000001, 1.0000001);
            Paint::drawShadow(p, card, 14, QColor(10, 40, 120, 110), 10, QPointF(0, 4));
            return img;
        };
        const QImage whole = drawn(false), stretched = drawn(true);
        EXPECT_GT(maxDifference(whole, canvas()), 5) << "no shadow drawn";
        EXPECT_LE(maxDifference(whole, stretched), 2) << card.width() << "x" << card.height();
    }
}
