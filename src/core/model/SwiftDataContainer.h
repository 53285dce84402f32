#pragma once

// Opening the application's one store, our SQLite file, as the container every screen's context comes from.

#include "core/model/Models.h"

#include <QString>

#include <functional>
#include <memory>

// The schema: the seven stored types, in order, at version 1.0.0.
const std::vector<ModelContainer::Type>& tolmekSchema();
inline constexpr const char* kSchemaVersion = "1.0.0";

// Where the store lives: Tolmek/default.store in the user's data folder.
QString defaultStorePath();
// Attached files of cards: Tolmek/Attachments in the same folder.
QString attachmentsRootPath();

// Opens or creates the store, once per run. On failure the process stops with
// "SwiftData: container impossible: " and the error (standard error, and a message box when a display exists).
std::unique_ptr<ModelContainer> makeModelContainer(const QString& path = defaultStorePath());
// The same at a given path, reporting failure instead of stopping (tests, tools).
std::unique_ptr<ModelContainer> openModelContainer(const QString& path, QString* error);

// Stops the process for an unrecoverable start-up fault: the message on standard error, then
// through the presenter (a critical message box when a display exists), then a non-zero exit.
[[noreturn]] void fatalStartupError(const QString& message);
void setFatalErrorPresenter(std::function<void(const QString&)> presenter);
