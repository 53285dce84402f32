#pragma once

#include "services/Services.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

// One picture the tool writes, in light and in dark: `build` fills the fresh store it is given with
// whatever the picture needs and returns the widget to draw (the tool owns and deletes it).
struct ScreenShot {
    QString name; // file name stem, e.g. "projects-grid"
    QSize size = QSize(880, 640);
    std::function<QWidget*(const Services&)> build;
    // Optional: runs after the widget is shown and laid out (hover, open a menu, scroll …).
    std::function<void(QWidget*)> prepare = {};
};

// Adds shots to the tool; call from a static initialiser in render_<feature>.cpp:
//   static const bool registered = registerScreenShots({ ... });
bool registerScreenShots(std::initializer_list<ScreenShot> shots);

class AppShellView;

// The application's window as it starts (its menu bar over the shell), at the size the shot gives; the
// shell is reached through `shellOf`.
QWidget* applicationWindow(const Services& services);
AppShellView* shellOf(QWidget* window);

// A `prepare` that gives the keyboard, as Tab does (its focus ring showing), to the shown control inside the
// shot named `name` (its accessible name, else its text).
std::function<void(QWidget*)> focusAsTab(const QString& name);

// A made-up portrait (a face on a gradient) as the JPEG bytes an avatar holds.
QByteArray samplePortraitJpeg();
