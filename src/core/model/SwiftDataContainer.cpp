#include "core/model/SwiftDataContainer.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace {
template <class T>
ModelContainer::Type typeOf() {
    return {&T::entityInfo(), [](const QUuid& id) { return std::make_shared<T>(LoadedRow{}, id); }};
}

// A message box needs a real display and a GUI application; the Widgets library is not linked here,
// so the application registers how to show it.
std::function<void(const QString&)>& fatalPresenter() {
    static std::function<void(const QString&)> fn;
    return fn;
}
} // namespace

const std::vector<ModelContainer::Type>& tolmekSchema() {
    static const std::vector<ModelContainer::Type> schema{
        typeOf<Project>(),         typeOf<Doc>(),           typeOf<DocBlock>(),           typeOf<Checklist>(),
        typeOf<ChecklistColumn>(), typeOf<ChecklistCard>(), typeOf<ChecklistAttachment>()};
    return schema;
}

QString defaultStorePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Tolmek/default.store";
}

QString attachmentsRootPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Tolmek/Attachments";
}

std::unique_ptr<ModelContainer> openModelContainer(const QString& path, QString* error) {
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(dir);
        return nullptr;
    }
    return ModelContainer::open(path, tolmekSchema(), QString::fromLatin1(kSchemaVersion), error);
}

std::unique_ptr<ModelContainer> makeModelContainer(const QString& path) {
    QString error;
    auto container = openModelContainer(path, &error);
    if (!container)
        fatalStartupError(QStringLiteral("SwiftData: container impossible: ") + error);
    return container;
}

void setFatalErrorPresenter(std::function<void(const QString&)> presenter) { fatalPresenter() = std::move(presenter); }

void fatalStartupError(const QString& message) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    if (fatalPresenter())
        fatalPresenter()(message);
    std::exit(1);
}
