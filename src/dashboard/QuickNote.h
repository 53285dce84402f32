#pragma once

#include "dashboard/DashboardLogic.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class Preferences;
class QTimer;

// The quick note between the editor and its preference entry. The editor's two values live here.
// The entry is written only once the person changed the note, in its stored form: a change is
// written after a short pause in the typing (every write rewrites the whole preferences file), or
// at once by save().
class QuickNote {
public:
    static constexpr const char* notesKey = "dashboard.quickNoteNotes";
    // Pause after the last change before it is written.
    static constexpr int writeDelayMs = 500;

    explicit QuickNote(Preferences& prefs);
    ~QuickNote();   // writes a change still waiting

    // Reads the entry, as one text whatever the file holds, into the two values (the RTF first).
    // Nothing is written back: a note nobody edits stays as it is stored.
    void load();
    // Writes the entry now when the note changed since it was loaded or last written.
    void save();
    bool hasUnsavedChange() const;

    const QString& plain() const { return m_note.plain; }
    const std::optional<QByteArray>& rtf() const { return m_note.rtf; }
    // Each marks the note changed when the value changes; the write follows after writeDelayMs.
    void setPlain(const QString& plain);
    void setRtf(const std::optional<QByteArray>& rtf);

    // While held, changes are kept but no write is scheduled (an editor's flush writes none, then
    // the bytes: the caller saves once after it).
    void holdWrites(bool hold) { m_hold = hold; }

private:
    void changed();

    Preferences& m_prefs;
    dashboard::NoteState m_note;
    // What the entry holds, as loaded or last written.
    dashboard::NoteState m_saved;
    bool m_hold = false;
    std::unique_ptr<QTimer> m_timer;
};
