"""The dashboard in the window: the quick note's editor on screen, and the note as the preference file holds
it after the dashboard loads it and after its editor leaves the screen, with the module on and off."""

import os
import re
import signal

from harness import Failure, Session, case, quick_note_field, wait_until
from prefs_cases import prefs_line, prefs_path

NOTE = "dashboard.quickNoteNotes"


def set_pref(session, key, value):
    """Writes one entry of the preference file while the application is not running."""
    path = prefs_path(session)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    text = open(path, "rb").read().decode() if os.path.exists(path) else "[General]\n"
    line = f"{key}={value}"
    if re.search(rf"^{re.escape(key)}=", text, re.M):
        text = re.sub(rf"^{re.escape(key)}=.*$", lambda _: line, text, flags=re.M)
    else:
        text = text.replace("[General]\n", f"[General]\n{line}\n", 1)
    with open(path, "wb") as f:
        f.write(text.encode())


def quit_app(session):
    os.kill(session.app.pid, signal.SIGTERM)
    if session.wait_exit() != 0:
        raise Failure(f"the application did not end cleanly: {session.log_tail()}")


def note_in_file(session, expected, what):
    wait_until(f"{what}: the note stored as {expected!r}", lambda: prefs_line(session, NOTE) == expected,
               timeout=5)


@case
def dashboard_quick_note_height_and_write_backs(app):
    session = Session(app, "dashboard-note")
    session.launch()
    # Opened, the editor is at least 160 high; nothing is written while nobody types.
    field = quick_note_field(session)
    _, _, _, height = session.extents(field)
    if height < 160:
        raise Failure(f"the quick note's editor is {height} px high")
    if prefs_line(session, NOTE) is not None:
        raise Failure(f"opening the note wrote it: {prefs_line(session, NOTE)!r}")
    # Its editor leaving the screen stores the note, the empty text when there is none.
    session.click(session.find("push button", "Projets"))
    note_in_file(session, "", "leaving the dashboard")
    quit_app(session)

    # Loaded, a bad-Base64 note with blanks around it is stored again trimmed.
    set_pref(session, NOTE, '"  rtf:%%%  "')
    session.launch()
    note_in_file(session, "rtf:%%%", "loading")
    session.click(session.find("push button", "Modules"))
    session.click(session.menu_item("Note rapide"))
    wait_until("the module switched off", lambda: prefs_line(session, "dashboard.showQuickNote") == "false")
    wait_until("the note's card gone", lambda: not session.find_all("push button", "Note rapide"))
    quit_app(session)

    # With the module off the note is still loaded: "rtf:" alone is stored again as the empty text.
    set_pref(session, NOTE, '"  rtf:  "')
    session.launch()
    session.find("push button", "Voir plus")
    note_in_file(session, "", "loading with the module off")
    if session.find_all("push button", "Note rapide"):
        raise Failure("the note's card shows with the module off")
