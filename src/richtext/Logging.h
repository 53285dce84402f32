#pragma once

// The logging category of the rich-text editor and the spell checker.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcRichText)
