#include "editor/BlockImages.h"
#include "support/TestServices.h"
#include "ui/BackgroundJobs.h"

#include <QElapsedTimer>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <random>

// A receiver deleted on the window's thread just as its job ends is never reached by the job's answer: the
// worker posts only to what outlives it, and the answer looks for the receiver on the window's thread.
TEST(BlockImagesTest, AReceiverDeletedAsItsJobEndsIsNeverReached) {
    std::mt19937 random(7);
    std::atomic_int answers = 0;
    QElapsedTimer spin;
    for (int i = 0; i < 10000; ++i) {
        auto* receiver = new QObject;
        blockimage::decodeAsync(QByteArray("not an image"), QSize(8, 8), receiver, [&](const QImage&) { ++answers; });
        const qint64 wait = std::uniform_int_distribution<qint64>(0, 60'000)(random);
        spin.start();
        while (spin.nsecsElapsed() < wait) {}
        delete receiver;
        if (i % 64 == 0)
            testsupport::flushEvents();
    }
    backgroundJobs().waitForDone();
    testsupport::flushEvents();
    EXPECT_EQ(answers.load(), 0);
}
