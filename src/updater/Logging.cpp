#include "updater/Logging.h"

Q_LOGGING_CATEGORY(lcUpdater, "tolmek.updater")
