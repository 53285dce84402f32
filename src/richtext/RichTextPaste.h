#pragma once

#include <QString>
#include <QStringList>

#include <limits>

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

enum class PasteResult { pasted, nothing, tooLarge };

// Inserts `source` at `cursor` (replacing its selection): RTF when it reads, else HTML, else
// plain text. Returns `nothing` when nothing could be inserted, and `tooLarge`, leaving the text as it
// was, when the pasted characters would be more than `room` (judged from the data's size before
// anything large is read).
PasteResult paste(QTextCursor& cursor, const QMimeData* source, qsizetype room);
inline bool paste(QTextCursor& cursor, const QMimeData* source) {
    return paste(cursor, source, std::numeric_limits<qsizetype>::max()) == PasteResult::pasted;
}

// "Ce collage est trop volumineux." and its detail, naming the limit of a text.
QString pasteTooLargeText();
QString pasteTooLargeDetail(qsizetype limit);

// Copies the text and supported formats of `source` into the empty document `out`.
// `fromHtml` also drops grey text colours and backgrounds (page colours of web content).
void copySanitized(const QTextDocument& source, QTextDocument& out, bool fromHtml);

} // namespace richtext
