#include "ui/Logging.h"

Q_LOGGING_CATEGORY(lcUi, "tolmek.ui")
