#include "ui/BackgroundJobs.h"
#include "ui/Paint.h"

#include <QElapsedTimer>
#include <QThread>
#include <QThreadPool>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <atomic>

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
    p.fillRect(QRect(0, 0, 110, 200), QColor(30, 60, 90));   // two grounds under the shapes
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

// Long jobs of ours must not hold up the threads that Qt's raster engine borrows for large translucent fills.
TEST(PaintFill, PaintingDoesNotWaitForLongBackgroundJobs) {
    std::atomic<bool> release{false};
    const int jobs = std::max(QThreadPool::globalInstance()->maxThreadCount(), backgroundJobs().maxThreadCount());
    for (int i = 0; i < jobs; ++i)
        backgroundJobs().start([&release] {
            for (int k = 0; k < 300 && !release; ++k)   // at most 1.5 s, so that a stall shows as one
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
