#pragma once

// The logging category of the look and the shared widgets.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcUi)
