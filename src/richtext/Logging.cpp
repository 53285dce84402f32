#include "richtext/Logging.h"

Q_LOGGING_CATEGORY(lcRichText, "tolmek.richtext")
