#pragma once

#include <QAccessible>
#include <QString>
#include <QStringList>

class QWidget;

namespace testsupport {

// Walks the accessibility tree under `root` as a screen reader would and lists every visible
// element that shows text or takes input but has no name ("<role> at <path>"). Empty means every
// text is readable and every control is named.
QStringList unnamedAccessibleElements(QWidget* root);

// Every name in the tree under `root`, in tree order (for "is this text exposed" checks).
QStringList accessibleNames(QWidget* root);

// The first element under `root` whose name is `name` (and role, unless NoRole), or nullptr.
QAccessibleInterface* findAccessible(QWidget* root, const QString& name, QAccessible::Role role = QAccessible::NoRole);

// Presses an element through its action interface, as assistive technology does.
bool pressAccessible(QAccessibleInterface* element);

} // namespace testsupport
