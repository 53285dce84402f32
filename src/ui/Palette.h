#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

// The application's shared colours. Functions without `dark` resolve for the current effective
// appearance (ThemeManager::shared().isDark()), so painting code reads them at paint time and a
// theme change recolours everything on the next repaint.
namespace AppPalette {

QColor brandBlue(); // fixed
QColor brandPink(); // fixed
QColor cardShadow(); // fixed: black at opacity 0.08

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
// The fill of bordered buttons (the standard palette's Button).
QColor buttonBackground();
QColor buttonBackground(bool dark);

// Desktop-style text and separator colours (translucent black on light, white on dark).
QColor primaryText();
QColor primaryText(bool dark);
QColor secondaryText();
QColor secondaryText(bool dark);
QColor separator();
QColor separator(bool dark);

// Readable shades of a hue, for a colour that the user or the status chooses (the screens' accents, the
// status colours). Each keeps the hue and moves only the lightness, as little as reaches 4.5:1.
// `accent` as text on any background of the theme (screen, canvas, card, tinted, sidebar).
QColor accentText(const QColor& accent);
QColor accentText(const QColor& accent, bool dark);
// `hue` as text on its own tint (`hue` at `tintOpacity` over any background of the theme): the badges.
QColor tintText(const QColor& hue, qreal tintOpacity);
QColor tintText(const QColor& hue, qreal tintOpacity, bool dark);
// `accent` as a fill behind white text or symbols (buttons, selections, accent headers): the same in
// both themes, since the text is white in both.
QColor accentFill(const QColor& accent);

// The outline of every text field and bordered button, translucent over the control's fill: 3:1
// against that fill and the backgrounds around it. One look for the standard fields and ours.
QColor fieldOutline();
QColor fieldOutline(bool dark);
// Every focus indicator (the outline of a field being typed in, the ring of a control reached with the
// keyboard): 3:1 against every background of the theme and the fills of fields and bordered buttons.
QColor focusRing();
QColor focusRing(bool dark);
// The text and symbol of a destructive command (delete, quit without saving): one red per theme, the
// danger red as it reads on every background of the theme and on a bordered button, also hovered.
QColor destructiveText();
QColor destructiveText(bool dark);
// White at `opacity` over the opaque `fill`, more opaque where needed to read at `minimum` on it.
QColor whiteTextOn(const QColor& fill, qreal opacity, double minimum = 4.5);

} // namespace AppPalette

// Contrast as WCAG 2.1 measures it.
namespace Contrast {
constexpr double text = 4.5; // body text
constexpr double largeText = 3.0; // text of 18 px and more or 14 px bold, control outlines, meaningful symbols
// Relative luminance of an opaque colour (alpha ignored).
double luminance(const QColor& c);
// `fg` composed over the opaque `bg`.
QColor over(const QColor& fg, const QColor& bg);
// Contrast of `fg` (composed over `bg` when translucent) against `bg`, from 1 to 21.
double ratio(const QColor& fg, const QColor& bg);
// `color` with the same hue and saturation and a lightness moved away from every one of `backgrounds`
// (darker on light ones, lighter on dark ones) as little as reaches `minimum` against each; opaque.
QColor readable(const QColor& color, const QList<QColor>& backgrounds, double minimum = text);
} // namespace Contrast

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
