#include "ui/BackgroundJobs.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <algorithm>

namespace {

QPointer<QThreadPool>& pool() {
    static QPointer<QThreadPool> p;
    return p;
}

// The application object deletes Qt's global pool before its children, and a job of ours may still be in
// an image scaling that borrows that pool: our jobs end first, those not yet started are dropped.
void finishJobs() {
    if (QThreadPool* p = pool()) {
        p->clear();
        p->waitForDone();
    }
}

} // namespace

QThreadPool& backgroundJobs() {
    QPointer<QThreadPool>& p = pool();
    if (!p) {
        p = new QThreadPool(QCoreApplication::instance());
        p->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        qAddPostRoutine(finishJobs);
    }
    return *p;
}
