#pragma once

// The dashboard's rules that need no widget: the greeting, the shown titles, and the stored form of
// the quick note.

#include "core/model/Models.h"
#include "core/model/UserProfile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace dashboard {

// "Bienvenue " and the trimmed, non-empty names (first name first), or "Tableau de bord" without any.
QString greetingTitle(const UserProfile& profile);

// A document's or checklist's title as shown: "Sans titre" when blank, else the stored text untouched.
QString shownTitle(const QString& stored);

// The counter's name of a status: "Terminé", "En cours", "À modifier".
QString statusTitle(DocStatus status);
// The document panel's heading: "Documents " and the counter's name in lower case.
QString panelTitle(DocStatus status);
// The three counters, in the order they are shown.
const QList<DocStatus>& counterOrder();

// Base64 with the standard alphabet and "=" padding, nothing else (no blanks, no line breaks, no
// missing padding). The empty text gives zero bytes.
std::optional<QByteArray> decodeStrictBase64(const QString& text);

// The quick note as the editor holds it: the RTF bytes (if any) and the plain text.
struct NoteState {
    std::optional<QByteArray> rtf;
    QString plain;
};

// Reads the stored entry: a trimmed "rtf:" + valid Base64 gives the bytes and their plain text (empty
// when the bytes are not RTF); anything else is plain text exactly as stored.
NoteState decodeStoredNote(const QString& stored);
// The stored form: "rtf:" + Base64 while there are RTF bytes, else the plain text trimmed.
QString encodeNote(const NoteState& note);

} // namespace dashboard
