"""The application killed (SIGKILL) over and over while a person types, edits and drags: after each kill,
every edit the store had shown before the last action is still there, and the store is sound. Then
killed in the middle of continuous typing (text and code blocks, the quick note, a large text), after a
change of format, a move, a deletion and an undo: nothing shown on screen more than a moment before the
kill is lost. The seed is printed; TOLMEK_JOURNEY_SEED replays a run."""

import base64
import os
import random
import re
import signal
import threading
import time

from harness import Failure, Session, atspi, case, quick_note_field, seeded_session, wait_until

KILLS = 50
EDIT_KILLS = 40
# The longest an edit shown on screen may wait before it is in the store: a change written when it is
# made, and a large text whose writes are paced.
AT_ONCE = 0.5
PACED = 1.0
# Typed at a person's pace, without a pause.
KEY_DELAY_MS = 30
LARGE_CHARS = 150_000


def run_seed():
    seed = int(os.environ.get("TOLMEK_JOURNEY_SEED") or random.SystemRandom().randrange(1, 2**31))
    print(f"seed {seed} (TOLMEK_JOURNEY_SEED={seed} replays this run)", flush=True)
    return seed


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
    large = seed.doc(project, "Grand")
    line = "Une longue page de notes qui ne finit pas, ligne après ligne.\n"
    seed.block(large, "text", 0, "Grand:\n" + line * (LARGE_CHARS // len(line) + 1))
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
    def block(self, kind, title="Notes"):
        """Every visible block of that kind in the document, one after the other."""
        rows = self.s.query('SELECT b.content FROM "DocBlock" b JOIN "Doc" d ON b.doc = d.id'
                            ' WHERE b.typeRaw = ? AND b.deletedAt IS NULL AND d.title = ? ORDER BY b."order"',
                            (kind, title))
        return "\n".join(r[0] or "" for r in rows)

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
        s.click(quick_note_field(s))
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
            # Low in the column: its drop zone.
            if half:
                s.move(x + w // 2, y + h - 80)
                return
            s.move(x + w // 2, y + h - 80)
            s.xdo("sleep", 0.2, "mouseup", 1)
            wait_until(f"the card in « {target} » in the store", lambda: self.card_column() == target, timeout=10)
            self.column = target

    def run(self, kills, rng):
        actions = ["text", "code", "card", "drag", "note"]
        print(f"{kills} kills", flush=True)
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


class EditKiller(Killer):
    """Kills land at a random moment of an edit that goes on: no waiting for the store before them."""

    def __init__(self, session):
        super().__init__(session)
        self.acked["large"] = []
        # Words undone more than a moment before a kill: never in the store again.
        self.undone = []
        # Words made bold or regular on screen more than a moment before a kill: word → bold.
        self.formats = {}
        self.last = None
        # The order of the document's blocks (kinds, top to bottom) and its count of code blocks, as
        # last seen in the store or on screen long enough before a kill.
        self.order = None
        self.codes = None
        self.killed_at = None

    def kill_now(self):
        if self.killed_at is None:
            os.killpg(self.s.app.pid, signal.SIGKILL)
            self.killed_at = time.monotonic()

    def kill_after(self, shown, rng, longest):
        """Kills a random moment (up to `longest` s) after `shown`; whether it came late enough for the
        edit shown at `shown` to be in the store."""
        time.sleep(max(0.0, shown + rng.random() * longest - time.monotonic()))
        self.kill_now()
        return self.killed_at - shown > AT_ONCE

    # -- what the store holds ---------------------------------------------------------------------
    def stored_order(self):
        rows = self.s.query('SELECT b.typeRaw, b."order" FROM "DocBlock" b JOIN "Doc" d ON b.doc = d.id'
                            ' WHERE b.deletedAt IS NULL AND d.title = ? ORDER BY b."order"', ("Notes",))
        orders = [r[1] for r in rows]
        if len(set(orders)) != len(orders):
            raise Failure(f"two visible blocks share an order: {rows}")
        return [r[0] for r in rows]

    def text_rtf(self):
        rows = self.s.query('SELECT CAST(b.richTextData AS TEXT) FROM "DocBlock" b JOIN "Doc" d ON b.doc = d.id'
                            ' WHERE b.typeRaw = ? AND b.deletedAt IS NULL AND d.title = ?', ("text", "Notes"))
        return "\n".join(r[0] or "" for r in rows)

    def check(self, after):
        super().check(after)
        held = self.block("text", "Grand")
        lost = [t for t in self.acked["large"] if t not in held]
        if lost:
            raise Failure(f"after {after}: the large text lost {lost} (typed more than {PACED} s before)")
        held = self.block("text")
        back = [t for t in self.undone if t in held]
        if back:
            raise Failure(f"after {after}: {back} undone on screen yet still in the store: {held!r}")
        rtf = self.text_rtf()
        wrong = [w for w, bold in self.formats.items()
                 if bool(re.search(r"\{\\b[^ {}]* [^{}]*" + re.escape(w), rtf)) != bold]
        if wrong:
            raise Failure(f"after {after}: the format of {wrong} changed on screen, not in the store: "
                          f"{rtf[-400:]!r}")
        order = self.stored_order()
        if self.order is not None and order != self.order:
            raise Failure(f"after {after}: the blocks are stored as {order}, shown as {self.order}")
        if self.codes is not None and order.count("code") != self.codes:
            raise Failure(f"after {after}: {order.count('code')} code blocks stored, {self.codes} shown")
        self.order, self.codes = order, order.count("code")

    # -- the screen -------------------------------------------------------------------------------
    def open_doc(self, title="Notes"):
        s = self.s
        s.click(s.find("push button", "Projets"))
        s.click(s.find("list item", "Atelier"))
        s.click(s.find("list item", title))
        s.click(s.find("push button", "Éditer"))
        s.find("push button", "Voir")

    def shown_order(self):
        fields = [(self.s.extents(f)[1], "text" if f.name == "Texte" else "code")
                  for f in self.s.find_all("text") if f.name in ("Texte", "Code")]
        return [kind for _, kind in sorted(fields)]

    def block_menu(self, field, action):
        s = self.s
        # Pages that scroll (a block just added or removed): the field waited for in place.
        Session.click(s, field)
        # Its own button: the nearest above its field, once the page stopped scrolling to the caret.
        s.settled_center(field)
        top = s.extents(field)[1]
        button = wait_until("the block's « Actions du bloc »",
                            lambda: max((b for b in s.find_all("push button", "Actions du bloc")
                                         if s.extents(b)[1] < top), key=lambda b: s.extents(b)[1], default=None),
                            timeout=5)
        Session.click(s, button)
        s.click(s.menu_item(action))

    # -- edits, each ended by a kill ----------------------------------------------------------------
    def type_until_killed(self, kind, field, rng, limit, at=None):
        """Types word after word into `field` (clicked at `at`, else its centre) and kills a random moment
        into it; the words typed whole more than `limit` before the kill must be in the store."""
        s = self.s
        s.click(at or field)
        # Typing starts once the field shows it has the keyboard, as a person waits for the caret.
        wait_until("the field to have the keyboard", lambda: field.getState().contains(atspi().STATE_FOCUSED),
                   timeout=5)
        s.key("ctrl+End")
        typed = []
        timer = threading.Timer(0.6 + rng.random() * 2.0, self.kill_now)
        timer.start()
        try:
            while self.killed_at is None:
                self.n += 1
                word = f" {kind[:2]}{self.n}z"
                s.type(word, delay=KEY_DELAY_MS)
                typed.append((word, time.monotonic()))
        finally:
            timer.join()
        self.acked[kind] += [w for w, at in typed if at < self.killed_at - limit]

    def typing(self, kind, rng):
        self.open_doc()
        self.type_until_killed(kind, self.s.find("text", "Texte" if kind == "text" else "Code"), rng, AT_ONCE)

    def large(self, rng):
        self.open_doc("Grand")
        self.type_until_killed("large", self.s.find("text", "Texte"), rng, PACED)

    def note(self, rng):
        s = self.s
        # The note grows with every round, past the window's foot: it is clicked on its first line. A click
        # that lands while the note is still unfolding may miss it: try again, as a person would.
        for _ in range(3):
            field = quick_note_field(s)
            x, y, w, h = s.extents(field)
            at = (x + w // 2, y + min(h // 2, 12))
            s.click(at)
            try:
                wait_until("the note's field to have the keyboard",
                           lambda: field.getState().contains(atspi().STATE_FOCUSED), timeout=2)
                break
            except Failure:
                continue
        self.type_until_killed("note", field, rng, AT_ONCE, at)

    def stored_word(self):
        """Types a word at the end of the text block and waits until the store holds it; the field and word."""
        s = self.s
        self.open_doc()
        field = s.find("text", "Texte")
        s.click(field)
        s.key("ctrl+End")
        word = self.token("text")
        s.type(word, delay=KEY_DELAY_MS)
        wait_until(f"{word!r} in the store", lambda: word in self.block("text"), timeout=10)
        return field, word

    def format(self, rng):
        """A word typed and stored, then made bold with Ctrl+B."""
        s = self.s
        field, word = self.stored_word()
        self.acked["text"].append(word)
        ti = field.queryText()
        at = ti.characterCount - 2
        # Typed after a bold word, it is bold already: Ctrl+B then makes it regular.
        bold = "weight:bold" not in ti.getAttributeRun(at, False)[0]
        s.key("ctrl+shift+Left", "ctrl+b")
        wait_until(f"{word!r} {'bold' if bold else 'regular'} on screen",
                   lambda: ("weight:bold" in ti.getAttributeRun(at, False)[0]) == bold, timeout=5)
        if self.kill_after(time.monotonic(), rng, 1.2):
            self.formats[word.strip()] = bold

    def undo(self, rng):
        """A word typed and stored, then undone with Ctrl+Z."""
        s = self.s
        field, word = self.stored_word()
        s.key("ctrl+z")
        ti = field.queryText()
        wait_until(f"{word!r} undone on screen", lambda: word not in ti.getText(0, -1), timeout=5)
        if self.kill_after(time.monotonic(), rng, 1.2):
            self.undone.append(word)

    def reorder(self, rng):
        """The first code block moved one place by its menu."""
        s = self.s
        self.open_doc()
        before = self.shown_order()
        first = before.index("code")
        action = "Déplacer vers le haut" if first > 0 else "Déplacer vers le bas"
        self.block_menu(s.find("text", "Code"), action)
        after = list(before)
        other = first - 1 if first > 0 else first + 1
        after[first], after[other] = after[other], after[first]
        wait_until("the block moved on screen", lambda: self.shown_order() == after, timeout=5)
        late = self.kill_after(time.monotonic(), rng, 1.2)
        self.order = after if late else None

    def delete(self, rng):
        """A copy of the code block made and stored, then deleted."""
        s = self.s
        self.open_doc()
        if len(s.find_all("text", "Code")) < 2:
            self.block_menu(s.find("text", "Code"), "Dupliquer")
            wait_until("the copy in the store", lambda: self.stored_order().count("code") == 2, timeout=10)
            wait_until("the copy on screen", lambda: len(s.find_all("text", "Code")) == 2, timeout=5)
        fields = sorted(s.find_all("text", "Code"), key=lambda f: s.extents(f)[1])
        self.block_menu(fields[-1], "Supprimer")
        s.click(s.find("push button", "Supprimer", root=s.app_root))
        wait_until("one code block on screen", lambda: len(s.find_all("text", "Code")) == 1, timeout=5)
        late = self.kill_after(time.monotonic(), rng, 1.2)
        self.order = None
        self.codes = 1 if late else None

    def run(self, kills, rng):
        actions = ["text", "code", "note", "large", "format", "undo", "reorder", "delete"]
        # A few of them only, to look into one (TOLMEK_JOURNEY_ACTIONS=large,format).
        actions = [a for a in os.environ.get("TOLMEK_JOURNEY_ACTIONS", ",".join(actions)).split(",") if a]
        print(f"{kills} kills", flush=True)
        for i in range(kills):
            action = actions[i % len(actions)] if i < len(actions) else rng.choice(actions)
            t0 = time.monotonic()
            self.s.launch()
            self.check(f"kill {i - 1} ({self.last})" if i else "the start")
            t1 = time.monotonic()
            self.killed_at = None
            self.last = action
            if action in ("text", "code"):
                self.typing(action, rng)
            else:
                getattr(self, action)(rng)
            self.kill_now()
            self.s.app.wait()
            self.s.xdo("mouseup", 1)
            if os.environ.get("TOLMEK_JOURNEY_TIMES"):
                print(f"{action}: start {t1 - t0:.2f} s, action {time.monotonic() - t1:.2f} s")
        self.s.launch()
        self.check(f"kill {kills - 1} ({self.last})")


def quick_session(app, name):
    session = seeded_session(app, name, fill)
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
    return session


@case
def kill_many_times(app):
    session = quick_session(app, "kill")
    Killer(session).run(int(os.environ.get("TOLMEK_JOURNEY_KILLS", KILLS)), random.Random(run_seed()))


@case
def kill_during_continuous_edits(app):
    session = quick_session(app, "kill-edits")
    EditKiller(session).run(int(os.environ.get("TOLMEK_JOURNEY_KILLS", EDIT_KILLS)), random.Random(run_seed()))
