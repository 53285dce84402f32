#include "prefs/Logging.h"

Q_LOGGING_CATEGORY(lcPrefs, "tolmek.prefs")
