// Changes and saves the store in a loop, printing the number of each save that returned success.
// The crash-safety test kills it at random moments.
#include "core/model/SwiftDataContainer.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QString error;
    auto container = openModelContainer(QString::fromLocal8Bit(argv[1]), &error);
    if (!container) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 3;
    }
    ModelContext& ctx = container->mainContext();
    ProjectPtr anchor;
    const auto existing = ctx.fetch<Project>();
    int start = int(existing.size());
    for (int i = start;; ++i) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        auto p = std::make_shared<Project>(QUuid::createUuid(), QStringLiteral("p%1").arg(i), std::nullopt,
                                           QStringLiteral("folder"), now, now);
        ctx.insert(p);
        auto d = std::make_shared<Doc>(QUuid::createUuid(), QStringLiteral("d%1").arg(i), "done", "doc", std::nullopt,
                                       std::nullopt, now, now, std::nullopt, p);
        ctx.insert(d);
        auto b = std::make_shared<DocBlock>(QUuid::createUuid(), "text", 0, QString(4000, QChar('x')), std::nullopt,
                                            std::nullopt, QByteArray(8000, 'r'), std::nullopt, false, now, now,
                                            std::nullopt, d);
        ctx.insert(b);
        if (anchor)
            anchor->setUpdatedAt(now);
        anchor = p;
        if (ctx.save()) {
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
    }
}
