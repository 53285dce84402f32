#pragma once

#include <QString>
#include <QStringList>

class QMimeData;
class QTextCursor;
class QTextDocument;

// Pasted and dropped data reduced to what the stored RTF keeps: characters, paragraphs, fonts
// (default or monospaced), sizes, bold, semibold, italic, underline, strikethrough, text colours
// and highlights. Tables become their text (cells apart by tabs, rows by paragraphs); images,
// links and lists keep only their text.
namespace richtext {

// The MIME types read as RTF, in order of preference.
QStringList rtfMimeTypes();

// Whether `source` holds anything that can be pasted as text.
bool canPaste(const QMimeData* source);

// Inserts `source` at `cursor` (replacing its selection): RTF when it reads, else HTML, else
// plain text. Returns false when nothing could be inserted.
bool paste(QTextCursor& cursor, const QMimeData* source);

// Copies the text and supported formats of `source` into the empty document `out`.
// `fromHtml` also drops grey text colours and backgrounds (page colours of web content).
void copySanitized(const QTextDocument& source, QTextDocument& out, bool fromHtml);

} // namespace richtext
