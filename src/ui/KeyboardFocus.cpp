#include "ui/KeyboardFocus.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

class PointerFocusFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress || !watched->isWidgetType())
            return false;
        auto* target = static_cast<QWidget*>(watched);
        QWidget* window = target->window();
        // Qt gives the focus for the press before the filters see it; what has it now is
        // either what the press focused or what kept it from before.
        QWidget* focus = QApplication::focusWidget();
        if (focus && focus->window() == window) {
            auto* button = qobject_cast<QAbstractButton*>(focus);
            if (button && !(button->focusPolicy() & Qt::ClickFocus))
                button->clearFocus();
        }
        if (window->testAttribute(Qt::WA_KeyboardFocusChange)) {
            window->setAttribute(Qt::WA_KeyboardFocusChange, false);
            // Rings are painted by the focused control or by its parent: repaint the window once.
            window->update();
        }
        return false;
    }
};

} // namespace

namespace KeyboardFocus {

QObject* install(QApplication* app) {
    if (!app)
        return nullptr;
    const QString name = QStringLiteral("tolmekPointerFocus");
    if (auto* existing = app->findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return existing;
    auto* filter = new PointerFocusFilter(app);
    filter->setObjectName(name);
    app->installEventFilter(filter);
    return filter;
}

bool showsRing(const QWidget* control) {
    return control->hasFocus() && control->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

} // namespace KeyboardFocus
