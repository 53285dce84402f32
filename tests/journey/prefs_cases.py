"""The preference file: the quick note kept while a person types without a pause (even when the application
is killed) and when they leave it for the theme button; the profile and the theme written back at start
with every other byte kept; and no disk sync on the window's thread while a person types or switches the
theme."""

import base64
import os
import signal
import subprocess
import threading
import time

from harness import Failure, Session, case, quick_note_field, seeded_session, wait_until

NOTE_KEY = "dashboard.quickNoteNotes="


def prefs_path(session):
    return os.path.join(session.home, ".config", "Tolmek", "Tolmek.conf")


def prefs_bytes(session):
    try:
        with open(prefs_path(session), "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def prefs_line(session, key):
    for line in prefs_bytes(session).splitlines():
        if line.startswith(key.encode() + b"="):
            return line.split(b"=", 1)[1].decode("utf-8", "replace")
    return None


def quick_note(session):
    """The quick note's text as the preference file holds it."""
    value = (prefs_line(session, NOTE_KEY[:-1]) or "").strip('"')
    if value.startswith("rtf:"):
        return base64.b64decode(value[4:]).decode("latin-1")
    return value


def open_quick_note(session):
    field = quick_note_field(session)
    session.click(field)
    session.key("ctrl+End")
    return field


class Typist(threading.Thread):
    """Types numbered words one after another, with no pause between them, until stopped; keeps the
    moment each word's last key was sent."""

    def __init__(self, session, prefix):
        super().__init__(daemon=True)
        self.session, self.prefix = session, prefix
        self.sent = []
        self.halt = threading.Event()

    def run(self):
        n = 0
        while not self.halt.is_set():
            n += 1
            word = f" {self.prefix}{n}z"
            subprocess.run(["xdotool", "type", "--delay", "12", word], env=self.session.env, timeout=30)
            self.sent.append((word, time.monotonic()))

    def stop(self):
        self.halt.set()
        self.join()


@case
def prefs_quick_note_survives_a_kill_while_typing(app):
    session = Session(app, "prefs-note-kill")
    session.launch()
    for round_ in range(3):
        open_quick_note(session)
        typist = Typist(session, f"r{round_}w")
        typist.start()
        # Two to three seconds of typing without a pause, then the kill in the middle of a word.
        wait_until("words typed", lambda: len(typist.sent) >= 35 + 5 * round_, timeout=30)
        os.killpg(session.app.pid, signal.SIGKILL)
        killed = time.monotonic()
        typist.stop()
        session.app.wait()
        due = [w for w, at in typist.sent if at < killed - 0.5]
        if len(due) < 20:
            raise Failure(f"too few words typed before the kill: {typist.sent}")
        held = quick_note(session)
        lost = [w for w in due if w not in held]
        if lost:
            raise Failure(f"round {round_}: typed more than 0.5 s before the kill and lost: {lost} "
                          f"(of {len(due)}); the file holds {held[-200:]!r}")
        session.launch()
        held_after = quick_note(session)
        if any(w not in held_after for w in due):
            raise Failure(f"round {round_}: the restart lost words of the note: {held_after[-200:]!r}")
        # The restarted window shows them in the note.
        field = open_quick_note(session)
        text = field.queryText().getText(0, -1)
        if any(w not in text for w in due):
            raise Failure(f"round {round_}: the note shown after the restart lacks words: {text[-200:]!r}")


@case
def prefs_quick_note_written_when_leaving_for_the_theme_button(app):
    session = Session(app, "prefs-note-theme")
    session.launch()
    open_quick_note(session)
    session.type(" avant le theme", delay=12)
    session.click(session.find("push button", "Thème"))
    # The theme's write is acknowledged once the file shows it; the note, changed before, is there too.
    wait_until("the theme in the preference file", lambda: prefs_line(session, "tolmek.theme") == "light",
               timeout=5)
    os.killpg(session.app.pid, signal.SIGKILL)
    session.app.wait()
    if "avant le theme" not in quick_note(session):
        raise Failure(f"the note was not written with the theme: {quick_note(session)!r}")


# A preference file as another version or a person left it: entries we do not own, a byte that is not
# UTF-8, a theme we do not know, a profile with a key we do not know.
START_FILE = (b"[General]\n"
              b"dashboard.showChecklist=true\n"
              b"other=caf\xe9, cr\xe8me\n"
              b"tolmek.theme=Dark\n"
              b"tolmek.userProfile=\"@ByteArray({\\\"lastName\\\":\\\"Durand\\\",\\\"extra\\\":1,"
              b"\\\"firstName\\\":\\\"Lea\\\"})\"\n"
              b"zeta=1\n"
              b"\n"
              b"[window]\n"
              b"size=@Size(10 20)\n")
PROFILE_WRITTEN = '{"firstName":"Lea","lastName":"Durand"}'


def quit_by_sigterm(session):
    os.kill(session.app.pid, signal.SIGTERM)
    code = session.wait_exit()
    if code != 0:
        raise Failure(f"the application ended with {code}: {session.log_tail()}")


@case
def prefs_start_writes_back_the_profile_and_the_theme_only(app):
    session = Session(app, "prefs-start")
    os.makedirs(os.path.dirname(prefs_path(session)), exist_ok=True)
    with open(prefs_path(session), "wb") as f:
        f.write(START_FILE)
    session.launch()
    wait_until("the theme written back", lambda: prefs_line(session, "tolmek.theme") == "system", timeout=10)
    quit_by_sigterm(session)
    after = prefs_bytes(session)
    before_lines, after_lines = START_FILE.split(b"\n"), after.split(b"\n")
    if len(before_lines) != len(after_lines):
        raise Failure(f"the start added or removed lines:\n{after!r}")
    for old, new in zip(before_lines, after_lines):
        if old.startswith(b"tolmek.theme="):
            if new != b"tolmek.theme=system":
                raise Failure(f"the theme written back as {new!r}")
        elif old.startswith(b"tolmek.userProfile="):
            value = new.split(b"=", 1)[1].decode()
            if value.startswith('"'):
                value = value[1:-1].replace('\\"', '"')
            if value != f"@ByteArray({PROFILE_WRITTEN})":
                raise Failure(f"the profile written back as {new!r}")
        elif old != new:
            raise Failure(f"the start changed {old!r} into {new!r}")
    # A second start finds both in their written form: the file stays byte for byte.
    stamp = os.stat(prefs_path(session)).st_mtime_ns
    session.launch()
    session.find("push button", "Thème")
    quit_by_sigterm(session)
    if prefs_bytes(session) != after or os.stat(prefs_path(session)).st_mtime_ns != stamp:
        raise Failure(f"a start with nothing to write back changed the file:\n{prefs_bytes(session)!r}")


def build_guard(session):
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "gui_sync_guard.c")
    library = os.path.join(session.tmp, "gui_sync_guard.so")
    subprocess.run(["cc", "-shared", "-fPIC", "-O1", "-o", library, source, "-ldl"], check=True, timeout=60)
    return library


def gui_syncs(log):
    """The syncs of the GUI thread as (time, first line, backtrace)."""
    try:
        with open(log, encoding="utf-8", errors="replace") as f:
            text = f.read()
    except FileNotFoundError:
        return []
    found = []
    for entry in text.split("@ ")[1:]:
        head, _, trace = entry.partition("\n")
        found.append((float(head.split()[0]), head, trace))
    return found


def fill(seed):
    project = seed.project("Atelier")
    doc = seed.doc(project, "Notes")
    seed.block(doc, "text", 0, "Texte:")
    checklist = seed.checklist("Tableau", project)
    column = seed.column(checklist, "Gauche", 0)
    seed.card(column, "Carte", 0, "Notes:")


@case
def prefs_no_disk_sync_on_the_window_thread_while_typing(app):
    session = seeded_session(app, "prefs-gui-sync", fill)
    session.kill_app()
    log = os.path.join(session.tmp, "gui-syncs.log")
    plain_env = session.env
    session.env = dict(plain_env, LD_PRELOAD=build_guard(session), TOLMEK_GUI_SYNC_LOG=log)
    try:
        session.launch()
    finally:
        session.env = plain_env
    with open(f"/proc/{session.app.pid}/maps") as f:
        if "gui_sync_guard.so" not in f.read():
            raise Failure("the sync guard is not loaded in the application")
    s = session
    spans = []

    def watched(what, act, seen):
        start = time.monotonic()
        act()
        wait_until(what, seen, timeout=10)
        spans.append((what, start, time.monotonic()))

    def block_text():
        return s.query('SELECT content FROM "DocBlock" WHERE typeRaw = ?', ("text",))[0][0] or ""

    # A text block.
    s.click(s.find("push button", "Projets"))
    s.click(s.find("list item", "Atelier"))
    s.click(s.find("list item", "Notes"))
    s.click(s.find("push button", "Éditer"))
    field = s.find("text", "Texte")
    s.click(field)
    s.key("ctrl+End")
    watched("typing in a text block", lambda: s.type(" un bloc tape sans pause", delay=12),
            lambda: "sans pause" in block_text())

    # The quick note.
    s.click(s.find("push button", "Tableau de bord"))
    open_quick_note(s)
    watched("typing in the quick note", lambda: s.type(" une note tapee", delay=12),
            lambda: "une note tapee" in quick_note(s))

    # A card's description.
    s.click(s.find("push button", "Checklists"))
    s.click(s.find("list item", "Tableau"))
    s.click(s.find("push button", "Carte"))
    sheet = s.dialog("Détails de l’étape")
    s.click(s.find("push button", "Modifier", root=sheet))
    description = s.find("text", "Description", root=sheet)
    s.click(description)
    s.key("ctrl+End")
    watched("typing in a card's description", lambda: s.type(" une description", delay=12),
            lambda: "une description" in description.queryText().getText(0, -1))
    s.click(s.find("push button", "Enregistrer", root=sheet))
    s.key("Escape")

    # The theme, round the three values.
    for value in ("light", "dark", "system"):
        watched(f"switching the theme to {value}", lambda: s.click(s.find("push button", "Thème")),
                lambda v=value: prefs_line(s, "tolmek.theme") == v)

    syncs = gui_syncs(log)
    bad = [(what, head, trace) for at, head, trace in syncs for what, start, end in spans if start <= at <= end]
    # SQLite syncs a new log's header (and, for a new file, its folder) on the saving thread when it
    # starts the log again: at the first save after a start, then after each fold of the log into the
    # store (about every 4 MB). In this short run that is the first save only; any other sync (every
    # commit syncing, a preference write) fails.
    log_starts = [b for b in bad if "sqlite3WalFrames" in b[2]]
    if len(log_starts) <= 2 and len({b[1].split()[2] for b in log_starts}) == len(log_starts):
        bad = [b for b in bad if b not in log_starts]
    # The window waiting on one of its threads counts as that thread's syncs (the preference file's writer:
    # a value that had to be in the file before the next key). Waits answered by other processes, the X
    # server's replies (libxcb) and D-Bus calls (the accessibility bridge), sync nothing of ours.
    bad = [b for b in bad if b[1].split()[1] != "wait" or not ("libxcb.so" in b[2] or "libQt6DBus.so" in b[2])]
    if bad:
        report = "\n".join(f"{what}: {head}\n{trace}" for what, head, trace in bad[:4])
        raise Failure(f"{len(bad)} disk syncs or waits for one on the window's thread:\n{report}")
