#include "core/store/Logging.h"

Q_LOGGING_CATEGORY(lcStore, "tolmek.store")
Q_LOGGING_CATEGORY(lcProfile, "tolmek.profile")
