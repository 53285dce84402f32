"""The dashboard in the window: the quick note's editor on screen, and the note as the preference file holds
it after the dashboard loads it and after its editor leaves the screen, with the module on and off."""

import os
import re
import signal

from harness import Failure, Session, case, quick_note_field, seeded_session, wait_until
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


def projects_fill(seed):
    seed.project("Alpha")
    seed.project("Beta")


@case
def dashboard_project_row_unhovers_after_its_menu(app):
    """A project row whose "…" or context menu is dismissed by a click on another row looks as it did
    before the hover, while the pointer rests on that other row."""
    session = seeded_session(app, "row-menu", projects_fill)
    session.click(session.find("push button", "Projets"))
    alpha, beta = session.find("list item", "Alpha"), session.find("list item", "Beta")
    x, y, w, h = session.extents(alpha)
    area = (x - 4, y + h // 2 - 4, w + 8, 8)  # its sides, where a hover shows its shadow
    bx, by, bw, bh = session.extents(beta)
    still = session.pixels(area)

    def unhovered():
        now = session.pixels(area)
        return all(abs(a - b) <= 3 for r1, r2 in zip(still, now) for p1, p2 in zip(r1, r2) for a, b in zip(p1, p2))

    actions = min(session.find_all("push button", "Actions"), key=lambda b: abs(session.extents(b)[1] - y))
    for menu in ("…", "context"):
        if menu == "…":
            session.click(actions)
        else:
            session.move(x + w // 2, y + h // 2)
            session.xdo("click", "3")
        session.menu_item("Modifier")
        session.move(bx + bw // 2, by + bh // 2)
        session.xdo("click", "1")
        try:
            wait_until("the row's look without hover", unhovered, timeout=3)
        except Failure:
            raise Failure(f"after its {menu} menu the row keeps its hover look ({session.screenshot('row-hover')})")
        session.move(x + w // 2, y + h + 120)
