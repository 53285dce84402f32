#include "ui/lists/ListAccessibility.h"

#include "ui/lists/ListItem.h"
#include "ui/lists/ListWidgets.h"
#include "ui/Accessibility.h"

#include <QAccessibleWidget>

namespace lists {

namespace {

class ItemAccessible : public QAccessibleWidget {
public:
    explicit ItemAccessible(ListItem* item) : QAccessibleWidget(item, QAccessible::ListItem) {}
    ListItem* item() const { return static_cast<ListItem*>(widget()); }

    QStringList actionNames() const override {
        QStringList names{pressAction()};
        if (item()->callbacks().onEdit || item()->callbacks().onDelete)
            names << showMenuAction();
        return names;
    }
    void doAction(const QString& name) override {
        if (name == pressAction())
            item()->activate();
        else if (name == showMenuAction())
            item()->showActionsMenu();
        else
            QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    if (className == QLatin1String(ClampedText::staticMetaObject.className()))
        if (auto* t = qobject_cast<ClampedText*>(object))
            // A blank line kept only for its height, or text drawn fully transparent, is not read.
            return new Accessibility::PaintedText(
                t, [t] { return t->text(); }, [t] { return !t->text().trimmed().isEmpty() && t->textOpacity() > 0; });
    if (className == QLatin1String(ListItem::staticMetaObject.className()))
        if (auto* i = qobject_cast<ListItem*>(object))
            return new ItemAccessible(i);
    return nullptr;
}

} // namespace

void installListAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    (void)installed;
}

} // namespace lists
