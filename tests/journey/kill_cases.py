"""The application killed (SIGKILL) over and over while a person types, edits and drags: after each kill,
every edit the store had shown before the last action is still there, and the store is sound."""

import base64
import os
import random
import signal
import time

from harness import Failure, Session, case, seeded_session, wait_until

KILLS = 100
SEED = 20261207


def decoded(notes):
    notes = notes or ""
    if notes.startswith("rtf:"):
        return base64.b64decode(notes[4:]).decode("latin-1")
    return notes


def fill(seed):
    project = seed.project("Atelier")
    doc = seed.doc(project, "Notes")
    seed.block(doc, "text", 0, "Texte:")
    seed.block(doc, "code", 1, "code = 0", "python")
    checklist = seed.checklist("Tableau", project)
    left = seed.column(checklist, "Gauche", 0)
    seed.column(checklist, "Droite", 1)
    seed.card(left, "Carte", 0, "Notes:")


class Killer:
    def __init__(self, session):
        self.s = session
        self.acked = {"text": [], "code": [], "card": [], "note": []}
        self.column = "Gauche"
        self.n = 0

    # -- what the store holds ---------------------------------------------------------------------
    def block(self, kind):
        rows = self.s.query('SELECT content FROM "DocBlock" WHERE typeRaw = ? AND deletedAt IS NULL', (kind,))
        return rows[0][0] or ""

    def notes(self):
        return decoded(self.s.query('SELECT notes FROM "ChecklistCard"')[0][0])

    def quick_note(self):
        """The quick note as the preference file holds it."""
        path = os.path.join(self.s.home, ".config", "Tolmek", "Tolmek.conf")
        try:
            with open(path, encoding="utf-8") as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return ""
        for line in lines:
            if line.startswith("dashboard.quickNoteNotes="):
                return decoded(line.split("=", 1)[1].strip('"'))
        return ""

    def card_column(self):
        return self.s.query('SELECT c.name FROM "ChecklistCard" k JOIN "ChecklistColumn" c'
                            ' ON k."column" = c.id')[0][0]

    def check(self, after):
        integrity = self.s.query("PRAGMA integrity_check")[0][0]
        if integrity != "ok":
            raise Failure(f"after {after}: integrity_check says {integrity}")
        for kind in ("text", "code"):
            held = self.block(kind)
            lost = [t for t in self.acked[kind] if t not in held]
            if lost:
                raise Failure(f"after {after}: the {kind} block lost {lost}: {held!r}")
        held = self.notes()
        lost = [t for t in self.acked["card"] if t not in held]
        if lost:
            raise Failure(f"after {after}: the card's description lost {lost}: {held!r}")
        held = self.quick_note()
        lost = [t for t in self.acked["note"] if t not in held]
        if lost:
            raise Failure(f"after {after}: the quick note lost {lost}: {held!r}")
        if self.card_column() != self.column:
            raise Failure(f"after {after}: the card is in « {self.card_column()} », was seen in « {self.column} »")

    # -- actions, each ended by a kill in the middle of a second one -------------------------------
    def token(self, kind):
        self.n += 1
        return f" {kind[:2]}{self.n}z"

    def open_doc(self):
        s = self.s
        s.click(s.find("push button", "Projets"))
        s.click(s.find("list item", "Atelier"))
        s.click(s.find("list item", "Notes"))
        s.click(s.find("push button", "Éditer"))

    def typing(self, kind):
        s = self.s
        self.open_doc()
        field = s.find("text", "Texte" if kind == "text" else "Code")
        s.click(field)
        s.key("ctrl+End")
        token = self.token(kind)
        s.type(token, delay=4)
        wait_until(f"{token!r} in the store", lambda: token in self.block(kind), timeout=10)
        self.acked[kind].append(token)
        s.type(self.token(kind)[:4], delay=4)

    def note(self):
        s = self.s
        header = s.find("push button", "Note rapide")
        card = header.parent.parent
        if not s.find_all("text", root=card):
            s.click(header)
        s.click(s.find("text", root=card))
        s.key("ctrl+End")
        token = self.token("note")
        s.type(token, delay=4)
        wait_until(f"{token!r} in the preferences", lambda: token in self.quick_note(), timeout=10)
        self.acked["note"].append(token)
        s.type(self.token("note")[:4], delay=4)

    def card(self):
        s = self.s
        s.click(s.find("push button", "Checklists"))
        s.click(s.find("list item", "Tableau"))
        s.click(s.find("push button", "Carte"))
        sheet = s.dialog("Détails de l’étape")
        s.click(s.find("push button", "Modifier", root=sheet))
        s.click(s.find("text", "Description", root=sheet))
        s.key("ctrl+End")
        token = self.token("card")
        s.type(token, delay=4)
        s.click(s.find("push button", "Enregistrer", root=sheet))
        wait_until(f"{token!r} in the store", lambda: token in self.notes(), timeout=10)
        self.acked["card"].append(token)
        s.click(s.find("push button", "Modifier", root=sheet))
        s.click(s.find("text", "Description", root=sheet))
        s.type(self.token("card")[:4], delay=4)

    def drag(self):
        s = self.s
        s.click(s.find("push button", "Checklists"))
        s.click(s.find("list item", "Tableau"))
        other = {"Gauche": "Droite", "Droite": "Gauche"}
        for half in (False, True):
            target = other[self.column]
            x, y, w, h = s.extents(s.find("filler", target))
            s.move(*s.settled_center(s.find("push button", "Carte")))
            s.xdo("sleep", 0.1, "mousedown", 1, "sleep", 0.2)
            if half:
                s.move(x + w // 2, y + 150)
                return
            s.move(x + w // 2, y + 150)
            s.xdo("sleep", 0.2, "mouseup", 1)
            wait_until(f"the card in « {target} » in the store", lambda: self.card_column() == target, timeout=10)
            self.column = target

    def run(self, kills, rng):
        actions = ["text", "code", "card", "drag", "note"]
        for i in range(kills):
            action = rng.choice(actions)
            t0 = time.monotonic()
            self.s.launch()
            self.check(f"kill {i}")
            t1 = time.monotonic()
            if action in ("text", "code"):
                self.typing(action)
            elif action == "note":
                self.note()
            elif action == "card":
                self.card()
            else:
                self.drag()
            # Killed in the middle of the second action, a random moment after it began.
            time.sleep(rng.random() * 0.05)
            os.killpg(self.s.app.pid, signal.SIGKILL)
            self.s.app.wait()
            self.s.xdo("mouseup", 1)
            if os.environ.get("TOLMEK_JOURNEY_TIMES"):
                print(f"{action}: start {t1 - t0:.2f} s, action {time.monotonic() - t1:.2f} s")
        self.s.launch()
        self.check(f"kill {kills}")


@case
def kill_many_times(app):
    session = seeded_session(app, "kill", fill)
    session.kill_app()
    fast = Session.move
    session.move = lambda x, y, step=60, pause=0.006: fast(session, x, y, step, pause)

    def click(target, button=1):
        # Screens here come up whole (nothing animates): no waiting for controls to settle.
        x, y = target if isinstance(target, tuple) else session.center(target)
        x0, y0 = session.pointer()
        n = max(1, max(abs(x - x0), abs(y - y0)) // 60)
        steps = []
        for i in range(1, n + 1):
            steps += ["mousemove", round(x0 + (x - x0) * i / n), round(y0 + (y - y0) * i / n), "sleep", 0.006]
        session.xdo(*steps, "mousedown", button, "mouseup", button)
    session.click = click
    Killer(session).run(int(os.environ.get("TOLMEK_JOURNEY_KILLS", KILLS)), random.Random(SEED))
