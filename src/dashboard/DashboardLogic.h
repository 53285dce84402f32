#pragma once

// The dashboard's rules that need no widget: the greeting, the shown titles, and the stored form of
// the quick note.

#include "core/model/Models.h"
#include "core/model/UserProfile.h"
#include "richtext/NotesFormat.h"

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

// The quick note as the editor holds it: the RTF bytes (if any) and the plain text, stored in the
// notes format ("rtf:" + Base64, or plain text).
using NoteState = notesformat::Decoded;
inline NoteState decodeStoredNote(const QString& stored) { return notesformat::decode(stored); }
inline QString encodeNote(const NoteState& note) { return notesformat::encode(note.rtf, note.plain); }

} // namespace dashboard
