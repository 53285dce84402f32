#pragma once

// The logging category of the preferences.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPrefs)
