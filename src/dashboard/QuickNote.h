#pragma once

#include "dashboard/DashboardLogic.h"

#include <QByteArray>
#include <QString>

#include <optional>

class Preferences;

// The quick note between the editor and its preference entry. The editor's two values live here;
// every change of either writes the entry at once, in its stored form.
class QuickNote {
public:
    static constexpr const char* notesKey = "dashboard.quickNoteNotes";

    explicit QuickNote(Preferences& prefs);

    // Reads the entry into the two values (the RTF first). A value that changes is written back, so a
    // plain note with blanks around it is stored trimmed.
    void load();
    // Writes the entry from the two values.
    void save();

    const QString& plain() const { return m_note.plain; }
    const std::optional<QByteArray>& rtf() const { return m_note.rtf; }
    // Each writes the entry when the value changes, unless writes are held back.
    void setPlain(const QString& plain);
    void setRtf(const std::optional<QByteArray>& rtf);

    // While held, changes are kept but not written (one write after an editor's flush instead of two).
    void holdWrites(bool hold) { m_hold = hold; }

private:
    void changed();

    Preferences& m_prefs;
    dashboard::NoteState m_note;
    bool m_hold = false;
};
