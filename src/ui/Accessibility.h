#pragma once

#include <QAccessible>

class QWidget;

// Accessibility of our custom-painted widgets.
namespace Accessibility {

// Screen readers see `widget` with `role` (static text for painted text, a graphic for a symbol, a
// grouping for a card, a separator for a line) under its accessible name.
void setRole(QWidget* widget, QAccessible::Role role);

} // namespace Accessibility
