#include "support/Accessibility.h"

#include <QWidget>

#include <functional>

namespace testsupport {

namespace {

// Roles that carry information or take input: a screen reader user needs a name for each.
bool needsName(QAccessible::Role role) {
    switch (role) {
    case QAccessible::StaticText:
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::Link:
    case QAccessible::ListItem:
    case QAccessible::MenuItem:
    case QAccessible::PageTab:
    case QAccessible::Graphic:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown: return true;
    default: return false;
    }
}

void walk(QAccessibleInterface* node, const QString& path,
          const std::function<void(QAccessibleInterface*, const QString&)>& visit) {
    if (!node || !node->isValid() || node->state().invisible)
        return;
    visit(node, path);
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        walk(child, path + QLatin1Char('/') + QString::number(i), visit);
    }
}

QString describe(QAccessibleInterface* node, const QString& path) {
    QString cls;
    if (QObject* o = node->object())
        cls = QString::fromLatin1(o->metaObject()->className());
    return QStringLiteral("role %1 (%2) at %3").arg(int(node->role())).arg(cls, path);
}

} // namespace

QStringList unnamedAccessibleElements(QWidget* root) {
    QStringList missing;
    walk(QAccessible::queryAccessibleInterface(root), QStringLiteral("root"),
         [&](QAccessibleInterface* node, const QString& path) {
             if (!needsName(node->role()))
                 return;
             const QString name = node->text(QAccessible::Name).trimmed();
             // Editable text is named by its label or placeholder; a field holding text also reads as its value.
             if (name.isEmpty())
                 missing << describe(node, path);
         });
    return missing;
}

QStringList accessibleNames(QWidget* root) {
    QStringList names;
    walk(QAccessible::queryAccessibleInterface(root), QStringLiteral("root"),
         [&](QAccessibleInterface* node, const QString&) {
             const QString name = node->text(QAccessible::Name);
             if (!name.isEmpty())
                 names << name;
             const QString value = node->text(QAccessible::Value);
             if (!value.isEmpty() && value != name)
                 names << value;
         });
    return names;
}

QAccessibleInterface* findAccessible(QWidget* root, const QString& name, QAccessible::Role role) {
    QAccessibleInterface* found = nullptr;
    walk(QAccessible::queryAccessibleInterface(root), QStringLiteral("root"),
         [&](QAccessibleInterface* node, const QString&) {
             if (!found && node->text(QAccessible::Name) == name &&
                 (role == QAccessible::NoRole || node->role() == role))
                 found = node;
         });
    return found;
}

bool pressAccessible(QAccessibleInterface* element) {
    if (!element)
        return false;
    QAccessibleActionInterface* action = element->actionInterface();
    if (!action)
        return false;
    const QStringList names = action->actionNames();
    if (names.contains(QAccessibleActionInterface::pressAction()))
        action->doAction(QAccessibleActionInterface::pressAction());
    else if (names.contains(QAccessibleActionInterface::toggleAction()))
        action->doAction(QAccessibleActionInterface::toggleAction());
    else if (!names.isEmpty())
        action->doAction(names.first());
    else
        return false;
    return true;
}

} // namespace testsupport
