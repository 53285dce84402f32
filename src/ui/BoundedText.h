#pragma once

#include <QString>

// A stored text can be any length; what a screen shows of one line is a few hundred characters at most.
// Cutting it before any text layout keeps a 100,000-character name as cheap as a short one.
namespace BoundedText {

// The text itself when it has at most `maxLength` UTF-16 units; otherwise its start, cut at a grapheme
// boundary (a surrogate pair or an accent never split), without the blanks before the cut, followed by "…".
QString bounded(const QString& text, int maxLength = 400);

// The same cut for a text that an elision of its own ends with an ellipsis: blanks before a trailing "…"
// are removed ("pour la version …" reads "pour la version…").
QString withoutBlankBeforeEllipsis(const QString& elided);

} // namespace BoundedText
