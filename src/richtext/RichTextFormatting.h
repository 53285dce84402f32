#pragma once

#include <QColor>
#include <QTextFormat>

class QTextCursor;
class QTextEdit;

// The formatting the toolbar applies to a text view's selection. Each operation acts on the
// selection of `cursor` (or of the text view's cursor) and changes nothing when the selection is
// empty; typing attributes are never touched.
namespace richtext {

// Character sizes and weights the toolbar uses.
constexpr int kBodySize = 14;
constexpr int kInlineCodeSize = 13;

// "Normal": system font 14 regular; underline and strikethrough removed; colours stay.
void applyNormalStyle(QTextCursor& cursor);
// Sets the system font of `pixelSize` and `weight` (400, 600, 700…); nothing else changes.
void applyHeading(QTextCursor& cursor, int pixelSize, int weight);
// Toggles bold (weight ≥ semibold counts as bold) or italic run by run: each run is decided by its
// own font, so a half-bold selection has its two halves exchanged.
void toggleBold(QTextCursor& cursor);
void toggleItalic(QTextCursor& cursor);

// The attributes toggled by the first selected character.
enum class ToggledAttribute { underline, strikethrough };
// Removes the attribute from the whole selection when its first character has it, else adds it.
void toggleAttribute(QTextCursor& cursor, ToggledAttribute attribute);

// Sets the text colour (alpha forced opaque).
void applyTextColor(QTextCursor& cursor, const QColor& color);
// Removes the text colour, so the text follows the light or dark theme again.
void applyDefaultTextColor(QTextCursor& cursor);
// Sets `color` at alpha 0.3 as the background.
void applyHighlight(QTextCursor& cursor, const QColor& color);
// Removes every background, the inline-code grey included.
void removeHighlight(QTextCursor& cursor);
// Monospaced 13 regular on grey at alpha 0.2; applying it again changes nothing further.
void applyInlineCode(QTextCursor& cursor);

// The same operations on a text view's current selection; a null view does nothing.
void applyNormalStyle(QTextEdit* view);
void applyHeading(QTextEdit* view, int pixelSize, int weight);
void toggleBold(QTextEdit* view);
void toggleItalic(QTextEdit* view);
void toggleAttribute(QTextEdit* view, ToggledAttribute attribute);
void applyTextColor(QTextEdit* view, const QColor& color);
void applyDefaultTextColor(QTextEdit* view);
void applyHighlight(QTextEdit* view, const QColor& color);
void removeHighlight(QTextEdit* view);
void applyInlineCode(QTextEdit* view);

// The named colours of the toolbar's menus, in the light or the dark appearance.
enum class NamedColor { red, orange, yellow, green, blue, purple, pink, gray };
QColor namedColor(NamedColor c, bool dark);

} // namespace richtext
