#pragma once

#include "core/model/Models.h"
#include "ui/Components.h"

// How a document's status reads and which colour it wears, wherever a badge or picker shows it.
namespace DocStatusStyle {
QString title(DocStatus status);
// The desktop's standard blue, green or orange (not the brand blue).
StandardColor tone(DocStatus status);
inline QColor color(DocStatus status, bool dark) { return standardColor(tone(status), dark); }
} // namespace DocStatusStyle

inline StatusBadge* makeStatusBadge(DocStatus status, QWidget* parent = nullptr) {
    return new StatusBadge(DocStatusStyle::title(status), DocStatusStyle::tone(status), parent);
}
inline void setBadgeStatus(StatusBadge* badge, DocStatus status) {
    badge->setStatus(DocStatusStyle::title(status), DocStatusStyle::tone(status));
}
