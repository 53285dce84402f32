#pragma once

#include <QByteArray>
#include <QTextFormat>

class QTextDocument;

// Our RTF codec for the rich-text editor's storage and for pasted or imported RTF.
//
// `write` keeps what the formatting toolbar can produce: the default and other font families,
// pixel sizes, weights (semibold included), italic, underline, strikethrough, text colours,
// highlights with their transparency, paragraphs, line breaks and alignment, and what other
// programs' RTF brings that the editor can keep: superscript, subscript, links, lists and footnotes. A format
// without a foreground colour stays without one, so that its text follows the theme.
// write(read(write(doc))) is byte-identical to write(doc).
namespace rtf {

QByteArray write(const QTextDocument& doc);

// Replaces the content of `doc` with the RTF in `data`. Returns false only when `data` is not RTF
// (it does not start with "{\rtf"); the document is then left empty. Damaged or hostile RTF
// yields what could be read. Text that has no place in a QTextDocument is kept as text: table
// cells separated by tabs, footnotes numbered after the document's text. Lists are read as lists,
// and what a style sheet's styles set is read where a paragraph or a run names them.
bool read(const QByteArray& data, QTextDocument& doc);

// On the block of a footnote that `read` put after the text ("2. Le texte de la note."): its number.
// `write` writes such a block, while it still starts with its number, as a footnote again.
inline constexpr int footnoteProperty = QTextFormat::UserProperty + 0x7201;

// The position where the text of `doc` ends, before the footnotes `read` put after it: where typing
// "at the end" belongs.
int endOfText(const QTextDocument& doc);

} // namespace rtf
