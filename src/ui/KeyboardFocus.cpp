#include "ui/KeyboardFocus.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QWidget>

namespace {

class PointerFocusFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && watched->isWidgetType())
            return leaveText(static_cast<QWidget*>(watched), static_cast<QKeyEvent*>(event));
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

private:
    // Tab types a tab character in a text; Ctrl+Tab and Ctrl+Shift+Tab move on and back out of it, as
    // Tab and Shift+Tab do elsewhere (the text handles them as Tab, so every Tab order still applies).
    static bool leaveText(QWidget* text, QKeyEvent* key) {
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (!tab || !(key->modifiers() & Qt::ControlModifier) || text != QApplication::focusWidget())
            return false;
        auto* rich = qobject_cast<QTextEdit*>(text);
        auto* plain = qobject_cast<QPlainTextEdit*>(text);
        if (!rich && !plain)
            return false;
        const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        const bool tabTypes = rich ? !rich->tabChangesFocus() : !plain->tabChangesFocus();
        if (rich)
            rich->setTabChangesFocus(true);
        else
            plain->setTabChangesFocus(true);
        QPointer<QWidget> guard(text);
        QKeyEvent plainTab(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab,
                           back ? Qt::ShiftModifier : Qt::NoModifier);
        QCoreApplication::sendEvent(text, &plainTab);
        if (guard) {
            if (rich)
                rich->setTabChangesFocus(!tabTypes);
            else
                plain->setTabChangesFocus(!tabTypes);
        }
        return true;
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

namespace {

bool takesTab(const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled() && !w->focusProxy();
}

} // namespace

QWidget* firstControl(const QWidget* container) {
    if (!container)
        return nullptr;
    // The chain runs through the whole window; the container's controls come in their Tab order.
    for (QWidget* w = container->nextInFocusChain(); w && w != container; w = w->nextInFocusChain())
        if (container->isAncestorOf(w) && takesTab(w))
            return w;
    return nullptr;
}

QList<QWidget*> controls(const QWidget* container) {
    QList<QWidget*> found;
    if (!container)
        return found;
    for (QWidget* w = container->nextInFocusChain(); w && w != container; w = w->nextInFocusChain())
        if (container->isAncestorOf(w) && takesTab(w))
            found.append(w);
    return found;
}

bool moveThrough(const QList<QWidget*>& order, const QWidget* container, bool next) {
    QWidget* focus = QApplication::focusWidget();
    const qsizetype at = focus ? order.indexOf(focus) : -1;
    if (at < 0)
        return false;
    const qsizetype to = at + (next ? 1 : -1);
    QWidget* target = to >= 0 && to < order.size() ? order[to] : nullptr;
    // Past either end: the nearest control outside the container, in the window's order.
    for (QWidget* w = next ? focus->nextInFocusChain() : focus->previousInFocusChain(); !target && w && w != focus;
         w = next ? w->nextInFocusChain() : w->previousInFocusChain()) {
        if (w != container && !container->isAncestorOf(w) && takesTab(w))
            target = w;
    }
    if (!target)
        return false;
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool focusFirstControl(QWidget* container) {
    QWidget* control = firstControl(container);
    if (!control)
        return false;
    control->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    // Not as Tab: a field would select its whole text, which the next key would replace.
    control->setFocus(Qt::OtherFocusReason);
    return true;
}

bool keyboardNavigating(const QWidget* widget) {
    return widget && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

} // namespace KeyboardFocus
