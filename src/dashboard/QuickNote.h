#pragma once

#include "dashboard/DashboardLogic.h"

#include <QByteArray>
#include <QString>

#include <optional>

class Preferences;

// The quick note between the editor and its preference entry. The editor's two values live here.
// The entry is written in its stored form at every change: the preferences take the value at once and
// write the file on their own thread, so a key costs no disk access and nothing typed waits for a pause.
class QuickNote {
public:
    static constexpr const char* notesKey = "dashboard.quickNoteNotes";

    explicit QuickNote(Preferences& prefs);
    ~QuickNote(); // writes a change still held

    // Reads the entry, as one text whatever the file holds, into the two values (the RTF first), and
    // writes it back in its stored form where that differs (blanks around it, "rtf:" alone). RTF
    // bytes are stored again as they were read.
    void load();
    // Writes the entry when the note changed since it was loaded or last written.
    void save();
    // Writes the entry in its stored form whatever changed (the empty text when there is no note).
    void store();
    bool hasUnsavedChange() const;

    const QString& plain() const { return m_note.plain; }
    const std::optional<QByteArray>& rtf() const { return m_note.rtf; }
    // Each writes the note when the value changes (unless writes are held).
    void setPlain(const QString& plain);
    void setRtf(const std::optional<QByteArray>& rtf);

    // While held, changes are kept but not written (an editor's flush writes none, then the bytes:
    // the caller saves once after it).
    void holdWrites(bool hold) { m_hold = hold; }

private:
    void changed();
    void writeIfDifferent();

    Preferences& m_prefs;
    dashboard::NoteState m_note;
    // What the entry holds, as loaded or last written.
    dashboard::NoteState m_saved;
    bool m_hold = false;
};
