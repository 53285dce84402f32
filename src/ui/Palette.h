#pragma once

#include <QColor>
#include <QString>

#include <optional>

// The application's shared colours. Functions without `dark` resolve for the current effective
// appearance (ThemeManager::shared().isDark()), so painting code reads them at paint time and a
// theme change recolours everything on the next repaint.
namespace AppPalette {

QColor brandBlue();   // fixed
QColor brandPink();   // fixed
QColor cardShadow();  // fixed: black at opacity 0.08

QColor canvasBackground();
QColor canvasBackground(bool dark);
QColor screenBackground();
QColor screenBackground(bool dark);
QColor dangerRed();
QColor dangerRed(bool dark);
QColor dangerBackground();
QColor dangerBackground(bool dark);
QColor dangerBorder();
QColor dangerBorder(bool dark);
QColor tintedBackground();
QColor tintedBackground(bool dark);
QColor tintedBorder();
QColor tintedBorder(bool dark);
QColor sidebarBackground();
QColor sidebarBackground(bool dark);
QColor cardBackground();
QColor cardBackground(bool dark);
QColor mutedBorder();
QColor mutedBorder(bool dark);

// Desktop-style text and separator colours (translucent black on light, white on dark).
QColor primaryText();
QColor primaryText(bool dark);
QColor secondaryText();
QColor secondaryText(bool dark);
QColor separator();
QColor separator(bool dark);

} // namespace AppPalette

// The desktop's standard named colours, each with a light and a dark variant.
enum class StandardColor { red, orange, yellow, green, mint, teal, cyan, blue, indigo, purple, brown, gray };
QColor standardColor(StandardColor c);
QColor standardColor(StandardColor c, bool dark);

// Colour of a stored colour key: lower-cased (no trimming) and matched whole; no key is "blue";
// an unknown key is the brand blue.
QColor colorForKey(const std::optional<QString>& key);
QColor colorForKey(const std::optional<QString>& key, bool dark);
QColor colorForKey(const QString& key);
QColor colorForKey(const char* key);

// Reads "#RRGGBB" (blanks around it ignored, any case, "#" optional); nothing when not six hex digits.
std::optional<QColor> colorFromHex(const QString& text);
// Writes "#RRGGBB" (upper case, each channel × 255 rounded half away from zero); nothing for an invalid colour.
std::optional<QString> toHex(const QColor& color);

// Colour shown for an object with these two fields: the hex when it reads, else the key's colour.
QColor displayColor(const std::optional<QString>& colorKey, const std::optional<QString>& colorHex);
QColor displayColor(const std::optional<QString>& colorKey, const std::optional<QString>& colorHex, bool dark);

// Stand-in for the desktop's blurred "thin material" (toolbar pill, overlays): a semi-opaque fill.
QColor thinMaterialFill();
QColor thinMaterialFill(bool dark);

// `c` with its alpha multiplied by `opacity`.
QColor withOpacity(QColor c, qreal opacity);
