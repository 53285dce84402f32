#pragma once

// The logging category of the update check.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcUpdater)
