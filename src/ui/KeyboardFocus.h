#pragma once

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

} // namespace KeyboardFocus
