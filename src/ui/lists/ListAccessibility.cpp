#include "ui/lists/ListAccessibility.h"

#include "ui/lists/ListItem.h"
#include "ui/lists/ListWidgets.h"

#include <QAccessibleWidget>

namespace lists {

namespace {

class TextAccessible : public QAccessibleWidget {
public:
    explicit TextAccessible(ClampedText* text) : QAccessibleWidget(text, QAccessible::StaticText) {}
    ClampedText* label() const { return static_cast<ClampedText*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? label()->text() : name;
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        // A blank line kept only for its height, or text drawn fully transparent, is not read.
        if (label()->text().trimmed().isEmpty() || label()->textOpacity() <= 0)
            s.invisible = true;
        s.readOnly = true;
        return s;
    }
};

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
            return new TextAccessible(t);
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
