#pragma once

// Accessible interfaces of the painted list widgets: ClampedText reads as static text named by its
// text, a ListItem as one list item named by its title whose press action opens it. Installed once,
// on the first such widget.
namespace lists {
void installListAccessibility();
}
