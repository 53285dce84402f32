#include "ui/BackgroundJobs.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <algorithm>

QThreadPool& backgroundJobs() {
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
    }
    return *pool;
}
