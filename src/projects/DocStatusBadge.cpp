#include "projects/DocStatusBadge.h"

namespace DocStatusStyle {

QString title(DocStatus status) {
    switch (status) {
    case DocStatus::inProgress: return QStringLiteral("En cours");
    case DocStatus::done: return QStringLiteral("Terminé");
    case DocStatus::needsChanges: return QStringLiteral("À modifier");
    }
    return {};
}

StandardColor tone(DocStatus status) {
    switch (status) {
    case DocStatus::inProgress: return StandardColor::blue;
    case DocStatus::done: return StandardColor::green;
    case DocStatus::needsChanges: return StandardColor::orange;
    }
    return StandardColor::blue;
}

} // namespace DocStatusStyle
