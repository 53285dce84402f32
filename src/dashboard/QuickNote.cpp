#include "dashboard/QuickNote.h"

#include "prefs/Preferences.h"

QuickNote::QuickNote(Preferences& prefs) : m_prefs(prefs) {}

void QuickNote::load() {
    const dashboard::NoteState stored =
        dashboard::decodeStoredNote(m_prefs.value(QString::fromLatin1(notesKey), QString()).toString());
    setRtf(stored.rtf);
    setPlain(stored.plain);
}

void QuickNote::save() { m_prefs.setValue(QString::fromLatin1(notesKey), dashboard::encodeNote(m_note)); }

void QuickNote::setPlain(const QString& plain) {
    if (plain == m_note.plain)
        return;
    m_note.plain = plain;
    changed();
}

void QuickNote::setRtf(const std::optional<QByteArray>& rtf) {
    if (rtf == m_note.rtf)
        return;
    m_note.rtf = rtf;
    changed();
}

void QuickNote::changed() {
    if (!m_hold)
        save();
}
