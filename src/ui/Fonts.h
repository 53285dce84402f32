#pragma once

#include <QFont>
#include <QString>

// The interface fonts, sized in device-independent pixels. Weights: 400 regular, 500 medium,
// 600 semibold, 700 bold.
namespace Fonts {

// Inter when installed, else the platform's default interface font.
QFont system(qreal px, int weight = 400);
// The "rounded" design has no free equivalent: same family as `system`.
QFont rounded(qreal px, int weight = 400);
// JetBrains Mono when installed, else the platform's fixed font.
QFont mono(qreal px, int weight = 400);

// On the GUI thread: without Inter (or JetBrains Mono), the fallback comes from the platform theme.
QString systemFamily();
QString monoFamily();

// Reads the system's font configuration (fontconfig), the slowest part of finding the fonts. It needs no
// application object: the start runs it on a second thread while the application is set up.
void loadSystemConfiguration();
// Reads Qt's list of installed families, the next slowest part; any thread, once the application object
// exists. The families themselves are settled on the GUI thread (systemFamily, monoFamily).
void readFamilies();

} // namespace Fonts
