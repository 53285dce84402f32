#pragma once

// The logging category of the application's entry, shell and life cycle.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
