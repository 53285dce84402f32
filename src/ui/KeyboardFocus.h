#pragma once

#include <QList>

class QApplication;
class QObject;
class QWidget;

// Focus rings follow the last kind of input: Tab and Shift+Tab show them (Qt marks the window), a
// press of the pointer hides them again in that window. A press also takes the keyboard from a
// control that only Tab can focus (a button reached with Tab earlier), so a Space typed after a
// click never activates that stale control.
namespace KeyboardFocus {

// Watches every window of the application; safe to call more than once. Returns the watcher (deleting
// it stops the watch).
QObject* install(QApplication* app);

// Whether `control` should draw its ring now: it has the focus and its window was last moved
// through with the keyboard.
bool showsRing(const QWidget* control);

// The first control inside `container` that Tab would reach (shown, enabled, taking the focus with Tab),
// in the window's Tab order; null when there is none.
QWidget* firstControl(const QWidget* container);

// Gives the keyboard to the first control of `container` with its ring showing (a field keeps its
// text unselected); false when it has none.
bool focusFirstControl(QWidget* container);

// The controls inside `container` that Tab reaches, in the window's Tab order.
QList<QWidget*> controls(const QWidget* container);

// Tab (or Shift+Tab with `next` false) through `order`, the controls of `container` in the order they
// show: from the last one (or the first, backwards) to the nearest control outside `container` in the
// window's Tab order. False, doing nothing, when the keyboard is on none of them.
bool moveThrough(const QList<QWidget*>& order, const QWidget* container, bool next);

// Whether the last input of `widget`'s window was the keyboard moving between controls (Tab, or a key that
// opened a screen from a control Tab reached).
bool keyboardNavigating(const QWidget* widget);

} // namespace KeyboardFocus
