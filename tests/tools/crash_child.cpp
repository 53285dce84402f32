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
        auto p = std::make_shared<Project>(ProjectFields{
            .name = QStringLiteral("p%1").arg(i), .iconName = "folder", .createdAt = now, .updatedAt = now});
        ctx.insert(p);
        auto d = std::make_shared<Doc>(DocFields{.title = QStringLiteral("d%1").arg(i),
                                                 .statusRaw = "done",
                                                 .iconName = "doc",
                                                 .createdAt = now,
                                                 .updatedAt = now,
                                                 .project = p});
        ctx.insert(d);
        auto b = std::make_shared<DocBlock>(DocBlockFields{.typeRaw = "text",
                                                           .content = QString(4000, QChar('x')),
                                                           .richTextData = QByteArray(8000, 'r'),
                                                           .createdAt = now,
                                                           .updatedAt = now,
                                                           .doc = d});
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
