#include "ui/Accessibility.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace {

const char* const kRoleProperty = "_tolmek_accessible_role";

// Asked for every object without an interface yet: answers for the widgets given a role here, so
// that a plain painted QWidget is not read as an unnamed client area.
QAccessibleInterface* factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    const QVariant role = widget->property(kRoleProperty);
    if (!role.isValid())
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Role(role.toInt()));
}

} // namespace

namespace Accessibility {

void setRole(QWidget* widget, QAccessible::Role role) {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
    widget->setProperty(kRoleProperty, int(role));
    // An interface made earlier (setting a name announces it, which makes one) has the old role.
    QAccessibleInterface* existing = QAccessible::queryAccessibleInterface(widget);
    if (existing && existing->role() != role)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
}

PaintedText::PaintedText(QWidget* widget, std::function<QString()> text, std::function<bool()> readable)
    : QAccessibleWidget(widget, QAccessible::StaticText), m_text(std::move(text)), m_readable(std::move(readable)) {}

QString PaintedText::text(QAccessible::Text t) const {
    if (t == QAccessible::Name) {
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? m_text() : name;
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State PaintedText::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    if (!m_readable())
        s.invisible = true;
    s.readOnly = true;
    return s;
}

} // namespace Accessibility
