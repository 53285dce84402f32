#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QTextDocument;

// Limits that keep a large text from freezing the window. Laying out a text to measure its full height
// costs about 0.2 s per megabyte at every width asked, and writing its RTF about 25 ms: a text past
// `boundedChars` is shown at a fixed height and scrolls inside it (Qt then lays out only what is shown),
// and its edits are written after a pause in the typing rather than at every key. A text past the
// editable limits is not loaded at all: only its start is shown, read-only, under a notice.
namespace largetext {

inline constexpr qsizetype boundedChars = 100'000;
inline constexpr int boundedHeight = 480;
inline constexpr qsizetype maxEditableChars = 3'000'000;
inline constexpr qsizetype maxEditableRtfBytes = 6'000'000;
// How much of a text too large to edit is shown.
inline constexpr qsizetype previewChars = 50'000;

inline bool isBounded(qsizetype chars) { return chars > boundedChars; }
inline bool isOversized(qsizetype chars, qsizetype rtfBytes) {
    return chars > maxEditableChars || rtfBytes > maxEditableRtfBytes;
}

// "Ce texte est trop volumineux pour être modifié (52,4 Mo). Seul son début est affiché, en lecture seule."
QString tooLargeMessage(qsizetype bytes);

// Fills `doc` with the start of a text: the RTF's first bytes when there is RTF (read as far as they
// go), else the plain text; at most about previewChars characters either way.
void loadPreview(const std::optional<QByteArray>& rtf, const QString& plain, QTextDocument& doc);

// Keeps the background layout of a large text in small steps: left to itself, Qt lays out what is
// below the view in ever larger steps (pauses of 100 ms and more). Each pass of the event loop lays out
// the next few thousand characters, from the top, until the end; a new width or layout starts again.
void paceLayout(QTextDocument& doc);

} // namespace largetext
