#include "dashboard/QuickNote.h"

#include "prefs/Preferences.h"

QuickNote::QuickNote(Preferences& prefs) : m_prefs(prefs) {}

QuickNote::~QuickNote() { save(); }

void QuickNote::load() {
    const QString key = QString::fromLatin1(notesKey);
    const std::optional<QString> stored = m_prefs.text(key);
    m_note = dashboard::decodeStoredNote(stored.value_or(QString()));
    m_saved = m_note;
    // An absent or empty entry loads nothing, and nothing is written.
    if (m_note.rtf || !m_note.plain.isEmpty())
        writeIfDifferent();
}

void QuickNote::store() {
    m_saved = m_note;
    writeIfDifferent();
}

void QuickNote::writeIfDifferent() {
    // Compared as text: an entry the file holds in another form but reading as the same text stays.
    const QString key = QString::fromLatin1(notesKey);
    const QString form = dashboard::encodeNote(m_note);
    if (m_prefs.text(key) != form)
        m_prefs.setValue(key, form);
}

bool QuickNote::hasUnsavedChange() const { return m_note.plain != m_saved.plain || m_note.rtf != m_saved.rtf; }

void QuickNote::save() {
    // Edits undone back to what is stored leave the entry as it is too.
    if (!hasUnsavedChange())
        return;
    // The stored form holds the RTF when there is one: a change of the plain text alone changes nothing.
    const bool sameStored = m_note.rtf && !m_note.rtf->isEmpty() && m_note.rtf == m_saved.rtf;
    m_saved = m_note;
    if (sameStored)
        return;
    m_prefs.setValue(QString::fromLatin1(notesKey), dashboard::encodeNote(m_note));
}

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
