#!/usr/bin/python3
"""The figures a person feels, measured through the X server: Tolmek and a plain-Qt program showing the
same content, side by side in one private X server (tests/journey/harness.py), taking turns.

Each input goes through XTest once the program is idle (no damage and its main thread off the CPU for a
moment); its "pixels" are the first X Damage report of the program's window (`xprobe`), "settled" the last
one before it goes quiet again. A program that is still not idle after a while gets the input anyway, and
its row says how many were "sent busy" (its figure then holds frames it was drawing anyway) or "not settled"
(still drawing when the measurement gave up). Both programs run on xcb in the same server, with the
accessibility bridge on (the controls are found through it), except the starts, which do not force it.

    bench/xprobe/xprobe.py --app build-bench/src/tolmek [--bin build-bench/bench/xprobe] [--quick]
"""

import argparse
import json
import os
import random
import signal
import sqlite3
import subprocess
import sys
import time

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "journey"))

import harness  # noqa: E402
from harness import Failure, wait_until  # noqa: E402
from seed import Seed, new_id  # noqa: E402

# Room for the two windows side by side (the application's is 1100 wide); no window manager, no compositor.
SCREEN_W = 2300
BASELINE_X = 1160
# The fonts of the application's text and code blocks.
TEXT_FONT = "Inter:14"
CODE_FONT = "JetBrains Mono:13"
PROJECT = "Atelier"
DOC_BLOCKS = "Cinq cents blocs"
DOC_PARAGRAPHS = "Cent paragraphes"
DOC_ONE_PARAGRAPH = "Un paragraphe"
DOC_CODE = "Trois cents lignes"
TYPED = "le vent souffle sur la plaine "
# The calm that ends a "settled" figure: Tolmek's editor shows another mode about 0.3 s after the click on
# "Voir", idle in between, so a shorter calm would end before the new mode is drawn; a longer one would
# never come while a caret blinks (every 0.5 s).
SETTLE_QUIET = 400
VOCABULARY = ("le la les un une des vent souffle sur plaine et arbres plient sans rompre pendant que "
              "rivière coule vers mer lointaine sous ciel gris maison village chemin pierre lumière soir "
              "matin jardin fleurs porte fenêtre livre page projet document note idée travail").split()


def words(rng, n):
    return " ".join(rng.choice(VOCABULARY) for _ in range(n))


def contents(count):
    """The documents (title → blocks of (type, content)), the same each run; the first has `count` blocks."""
    rng = random.Random(7)
    blocks = [("text", words(rng, 60)), ("text", words(rng, 200))]
    for i in range(2, count):
        if i % 10 == 4:
            blocks.append(("code", "\n".join(f"valeur_{i}_{k} = calcule({k}, {i})  # étape {k}" for k in range(10))))
        else:
            blocks.append(("text", words(rng, rng.randint(20, 90))))
    paragraphs = "\n".join(words(rng, 100) for _ in range(100))
    one = words(rng, 10000)
    code = "\n".join(f"    total_{i} = calcule(valeur_{i}, {i}) + decalage  # ligne {i}" for i in range(300))
    return {DOC_BLOCKS: blocks, DOC_PARAGRAPHS: [("text", paragraphs)], DOC_ONE_PARAGRAPH: [("text", one)],
            DOC_CODE: [("code", code)]}


# -- the probe ------------------------------------------------------------------------------------------
class Probe:
    """One `xprobe` process on the session's display, watching one window."""

    def __init__(self, binary, env, log):
        self.proc = subprocess.Popen([binary], env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=log, text=True, bufsize=1)

    def ask(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().split()
        if not answer or answer[0] != "ok":
            raise Failure(f"xprobe: {line!r} answered {' '.join(answer) or 'nothing'}")
        return answer[1:]

    def target(self, pid):
        wid, x, y, w, h = self.ask(f"target {pid}")
        return int(wid, 16), (int(x), int(y), int(w), int(h))

    def idle(self, quiet=50, limit=5000):
        """Waits until the program is idle; False when it was still busy after `limit` ms."""
        self.proc.stdin.write(f"idle {quiet} {limit}\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().split()
        if not answer or answer[0] not in ("ok", "busy"):
            raise Failure(f"xprobe: idle answered {' '.join(answer) or 'nothing'}")
        return answer[0] == "ok"

    def measure(self, what, quiet=50, limit=3000, big=1):
        """(first, big, last, settled): ms after the input to the first damage, to `big` pixels damaged and
        to the last damage before `quiet` ms of calm (None where nothing came); settled is False when
        `limit` ms passed first."""
        first, big_at, last, _, settled = (float(v) for v in self.ask(f"{what} {quiet} {limit} {big}"))
        return tuple(None if v < 0 else v for v in (first, big_at, last)) + (settled > 0,)

    def spawn(self, argv, env=(), limit=20000):
        pid, first = self.ask(f"spawn {limit} {' '.join(env)} -- {' '.join(argv)}")
        return int(pid), (None if float(first) < 0 else float(first))

    def close(self):
        try:
            self.ask("stop")
            self.proc.stdin.write("quit\n")
            self.proc.stdin.close()
            self.proc.wait(5)
        except Exception:
            self.proc.kill()
            self.proc.wait()


def keysym(ch):
    return "space" if ch == " " else ch


# -- statistics -------------------------------------------------------------------------------------------
def percentile(values, p):
    values = sorted(v for v in values if v is not None)
    if not values:
        return None
    rank = max(1, -(-len(values) * p // 100))  # nearest rank
    return values[int(rank) - 1]


def ms(v):
    return "—" if v is None else f"{v:.1f}"


def ratio(a, b):
    return "—" if a is None or b is None or b <= 0 else f"{a / b:.2f}×"


class Figure:
    def __init__(self, name, goal=""):
        self.name, self.goal = name, goal
        self.ours, self.theirs = [], []
        self.busy = 0  # inputs sent while the program was still busy from the one before
        self.busy_programs = set()
        self.unsettled = 0  # measurements still drawing when they gave up

    def row(self):
        o = [percentile(self.ours, p) for p in (50, 99, 100)]
        t = [percentile(self.theirs, p) for p in (50, 99, 100)]
        notes = []
        if self.busy:
            notes.append(f"{self.busy} sent busy")
        if self.unsettled:
            notes.append(f"{self.unsettled} not settled")
        n = len([v for v in self.ours if v is not None])
        return (f"{self.name:<44} {n:>4} {ms(o[0]):>7} {ms(o[1]):>7} {ms(o[2]):>8} | {ms(t[0]):>6} {ms(t[1]):>6} "
                f"{ms(t[2]):>6} | {ratio(o[0], t[0]):>6} {ratio(o[1], t[1]):>6} | {self.goal}"
                + (f" ({', '.join(notes)})" if notes else ""))


def render(figures):
    head = (f"{'figure':<44} {'n':>4} {'p50':>7} {'p99':>7} {'max':>8} | {'Qt p50':>6} {'Qt p99':>6} "
            f"{'Qt max':>6} | {'×p50':>6} {'×p99':>6} | goal")
    return "\n".join([head, "-" * len(head)] + [f.row() for f in figures]
                     + ["ms; Tolmek, then the plain-Qt program; ratios Tolmek / Qt"])


# -- the desktop ---------------------------------------------------------------------------------------
class Bench:
    def __init__(self, app, bindir, quick):
        self.app = os.path.abspath(app)
        self.bindir = os.path.abspath(bindir)
        self.quick = quick
        # How long an input waits for the program to be idle, a measurement for it to settle, and the first
        # pass of the wheel for the opened document to be idle.
        self.idle_limit = 500 if quick else 2000
        self.settle_limit = 1000 if quick else 5000
        self.open_idle_limit = 1000 if quick else 60000
        self.figures = []
        harness.SCREEN_W = SCREEN_W
        self.session = harness.Session(self.app, "xprobe")
        self.log = open(os.path.join(self.session.tmp, "xprobe.log"), "ab")
        self.env = dict(self.session.env, QT_QPA_PLATFORM="xcb")
        self.baseline = self.tolmek = self.qt = None
        self.toggle = self.back = None
        self.docs = contents(50 if quick else 500)
        self.content_dir = os.path.join(self.session.tmp, "content")
        os.makedirs(self.content_dir)

    def close(self):
        self.stop_baseline()
        if self.tolmek is not None:
            self.tolmek.close()
        self.log.close()
        self.session.close()

    def probe(self):
        return Probe(os.path.join(self.bindir, "xprobe"), self.env, self.log)

    def figure(self, name, goal=""):
        self.figures.append(Figure(name, goal))
        return self.figures[-1]

    def report(self, figure):
        print(f"  {figure.row()}", flush=True)

    def measure(self, figure, probe, what, out=None, quiet=50, limit=3000, big=1):
        """Waits for the program to be idle, sends the input, keeps its measurement in `out` (first,
        big, last, settled)."""
        # A program found busy before is not waited for as long again: it may never be idle.
        if not probe.idle(limit=100 if probe in figure.busy_programs else self.idle_limit):
            figure.busy += 1
            figure.busy_programs.add(probe)
        result = probe.measure(what, quiet, limit, big)
        if not result[3]:
            figure.unsettled += 1
        return result

    # -- start-up -----------------------------------------------------------------------------------
    def startup(self):
        """Start → first pixels, the programs taking turns: Tolmek on an empty store, the minimal window,
        Tolmek on a large store, the minimal window. One start of each first, unmeasured (caches, store);
        the quick pass has no such start and a tenth of the large store."""
        print("start-up", flush=True)
        empty = os.path.join(self.session.tmp, "empty-data")
        large = os.path.join(self.session.tmp, "large-data")
        # The minimal window of bench_startup, which stays open until stopped.
        minimal = ([os.path.join(self.bindir, "xprobe_baseline"), "window", "-", "--size", "1100x720"], [])
        goal = "≤ 1.5× minimal window"
        empty_fig = self.figure("start → first pixels, empty store", goal)
        large_fig = self.figure("start → first pixels, large store", goal)
        probe = self.probe()
        try:
            self.make_large_store(probe, large)
            order = [(empty_fig.ours, ([self.app], [f"XDG_DATA_HOME={empty}"])), (empty_fig.theirs, minimal),
                     (large_fig.ours, ([self.app], [f"XDG_DATA_HOME={large}"])), (large_fig.theirs, minimal)]
            for run in range(1 if self.quick else 11):
                for out, (argv, env) in order:
                    probe.ask("root")
                    probe.idle(100, 5000)
                    _, first = probe.spawn(argv, env)
                    probe.ask("stop")
                    if run > 0 or self.quick:
                        out.append(first)
            # Each start of Tolmek is set against every start of the minimal window.
            minimal_times = empty_fig.theirs + large_fig.theirs
            empty_fig.theirs = large_fig.theirs = minimal_times
        finally:
            probe.close()
        self.report(empty_fig)
        self.report(large_fig)

    def make_large_store(self, probe, data):
        """1,000 projects, 10,000 documents, 100,000 blocks in a store the application made itself (a tenth
        of it in the quick pass)."""
        scale = 10 if self.quick else 1
        store = os.path.join(data, "Tolmek", "default.store")
        probe.spawn([self.app], [f"XDG_DATA_HOME={data}"])

        def ready():
            conn = sqlite3.connect(f"file:{store}?mode=ro", uri=True, timeout=5)
            try:
                return conn.execute("SELECT count(*) FROM sqlite_master WHERE name = 'ChecklistCard'").fetchone()[0]
            finally:
                conn.close()
        wait_until("the large store's schema", ready, timeout=20)
        probe.ask("stop")
        seed = Seed(store)
        rng = random.Random(3)
        projects = [seed.project(f"Projet {i}") for i in range(1000 // scale)]
        docs = [seed.doc(projects[i % len(projects)], f"Document {i}") for i in range(10000 // scale)]
        t = seed.t
        rows = [(new_id(), "text", i // len(docs), words(rng, 30)[:200], t, t, docs[i % len(docs)])
                for i in range(100000 // scale)]
        seed.conn.executemany(
            'INSERT INTO "DocBlock" (id, typeRaw, "order", content, stepTitle, codeLanguage, richTextData,'
            " imageData, isCompleted, createdAt, updatedAt, doc)"
            " VALUES (?, ?, ?, ?, NULL, NULL, NULL, NULL, 0, ?, ?, ?)",
            rows)
        seed.close()

    # -- the two windows -----------------------------------------------------------------------------
    def launch_tolmek(self):
        """Tolmek on a store holding the project and its documents, its window at the left."""
        self.session.launch()
        wait_until("the store", self.session.store_ready, timeout=10)
        self.session.kill_app()
        seed = Seed(self.session.store_path)
        try:
            project = seed.project(PROJECT)
            for title, blocks in self.docs.items():
                doc = seed.doc(project, title)
                for order, (kind, text) in enumerate(blocks):
                    seed.block(doc, kind, order, text, "python" if kind == "code" else None)
        finally:
            seed.close()
        self.session.launch()
        self.tolmek = self.probe()
        _, self.tolmek_rect = self.tolmek.target(self.session.app.pid)

    def start_baseline(self, mode, title, editor=None):
        """The plain-Qt program showing `title`'s content, as large as Tolmek's window, at its right; its
        editor `editor` (w, h) large, where given, in the middle of the window."""
        self.stop_baseline()
        path = os.path.join(self.content_dir, f"{mode}.json")
        with open(path, "w") as f:
            json.dump([{"type": kind, "content": text} for kind, text in self.docs[title]], f)
        _, _, w, h = self.tolmek_rect
        self.baseline = subprocess.Popen(
            [os.path.join(self.bindir, "xprobe_baseline"), mode, path, "--size", f"{w}x{h}", "--font", TEXT_FONT,
             "--code-font", CODE_FONT] + (["--editor-size", f"{editor[0]}x{editor[1]}"] if editor else []),
            env=dict(self.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"), start_new_session=True,
            stdout=self.log, stderr=self.log)
        self.qt = self.probe()
        wid, _ = self.qt.target(self.baseline.pid)
        # No window manager places it: beside Tolmek's, so that neither covers the other.
        self.session.xdo("windowmove", wid, BASELINE_X, 0)

        def placed():
            _, rect = self.qt.target(self.baseline.pid)
            return rect if rect[0] == BASELINE_X else None
        self.qt_rect = wait_until("the plain-Qt window in place", placed)
        self.qt.idle(100, 10000)

    def stop_baseline(self):
        if self.baseline is not None:
            self.qt.close()
            harness._kill_group(self.baseline)
            self.baseline = None

    # -- Tolmek's screens ----------------------------------------------------------------------------
    def point(self, acc):
        self.session.move(*self.session.settled_center(acc))

    def first(self, role, name, timeout=60):
        """The first showing accessible of that role and name, the walk stopped there: a document of
        hundreds of blocks has thousands of accessibles, slow to walk while the application is busy."""
        s = self.session
        role_id = getattr(harness.atspi(), "ROLE_" + role.upper().replace(" ", "_"))

        def look():
            for acc in s.walk():
                try:
                    if acc.getRole() == role_id and acc.name == name:
                        return acc
                except Exception:
                    continue
            return None
        return wait_until(f"{role} {name!r}", look, timeout=timeout)

    def open_doc(self, title, figure_pixels=None, figure_settled=None):
        """From the project's documents, a click on the row of `title` (measured into the figures given);
        keeps the editor's "Éditer" / "Voir" button."""
        s = self.session
        back = s.find_all("push button", "Retour aux projets") if self.toggle is None else [self.back]
        s.click(back[0] if back else s.find("push button", "Projets"))
        s.click(s.find("list item", PROJECT))
        self.point(s.find("list item", title))
        _, _, w, h = self.tolmek_rect
        figure = figure_settled or Figure("")
        _, big, last, _ = self.measure(figure, self.tolmek, "button 1", quiet=SETTLE_QUIET,
                                       limit=self.settle_limit, big=w * h * 3 // 10)
        self.toggle = self.first("push button", "Éditer")
        self.back = self.first("push button", "Retour aux projets")
        if figure_pixels:
            figure_pixels.ours.append(big)
        if figure_settled:
            figure_settled.ours.append(last)

    def switch(self, name, figure_pixels=None, figure_settled=None):
        """A click on "Éditer" or "Voir" (named `name` now): to the new mode's first pixels (a third of the
        window drawn) and until it settles."""
        self.point(self.toggle)
        _, _, w, h = self.tolmek_rect
        figure = figure_settled or Figure("")
        _, big, last, _ = self.measure(figure, self.tolmek, "button 1", quiet=SETTLE_QUIET, limit=self.settle_limit,
                                       big=w * h * 3 // 10)
        if figure_pixels:
            figure_pixels.ours.append(big)
        figure.ours.append(last)
        wait_until(f"the button {name!r} to switch", lambda: self.toggle.name not in ("", name), timeout=60)

    def scroll_point(self, rect):
        x, y, w, h = rect
        return x + w // 2, y + h * 2 // 3

    def wheel(self, figure, out, probe, rect, button, steps):
        """`steps` turns of the wheel over the window's content (fewer at its end)."""
        self.session.move(*self.scroll_point(rect))
        misses = 0
        for _ in range(steps):
            first = self.measure(figure, probe, f"button {button}", quiet=0, limit=1000)[0]
            misses = misses + 1 if first is None else 0
            if misses == 3:  # the end of the content
                break
            if first is not None:
                out.append(first)

    def document(self):
        """The large document: opened cold, scrolled down and back up with the wheel, "Éditer" and
        "Voir", opened again (not in the quick pass)."""
        count = len(self.docs[DOC_BLOCKS])
        print(f"{count}-block document", flush=True)
        cold_pixels = self.figure(f"open {count} blocks (cold) → first pixels", "≤ 35")
        cold_settled = self.figure(f"open {count} blocks (cold) → settled", "≤ 35")
        self.open_doc(DOC_BLOCKS, cold_pixels, cold_settled)
        self.report(cold_pixels)
        self.report(cold_settled)
        # Until it is idle: the wheel's first pass meets rows never shown, not a pending frame.
        waited = time.monotonic()
        idle = self.tolmek.idle(limit=self.open_idle_limit)
        print(f"  idle {time.monotonic() - waited:.1f} s after the open{'' if idle else ' (still busy)'}", flush=True)

        steps = 2 if self.quick else 150
        down = self.figure("wheel step → pixels, 1st pass (down)", "p99 ≤ 16.7")
        up = self.figure("wheel step → pixels, 2nd pass (up)", "p99 ≤ 16.7")
        self.start_baseline("scroll", DOC_BLOCKS)
        self.wheel(down, down.ours, self.tolmek, self.tolmek_rect, 5, steps)
        self.wheel(down, down.theirs, self.qt, self.qt_rect, 5, steps)
        self.wheel(up, up.ours, self.tolmek, self.tolmek_rect, 4, steps)
        self.wheel(up, up.theirs, self.qt, self.qt_rect, 4, steps)
        self.stop_baseline()
        self.report(down)
        self.report(up)

        edit = [self.figure(f"« Éditer » → {what}", "≤ 50") for what in ("first pixels", "settled")]
        view = [self.figure(f"« Voir » → {what}", "≤ 50") for what in ("first pixels", "settled")]
        for _ in range(1 if self.quick else 5):
            self.switch("Éditer", *edit)
            self.switch("Voir", *view)
        for figure in edit + view:
            self.report(figure)

        if self.quick:  # the cold open went the same way
            return
        pixels = self.figure(f"open {count} blocks again → first pixels", "≤ 35")
        settled = self.figure(f"open {count} blocks again → settled", "≤ 35")
        for _ in range(5):
            self.open_doc(DOC_BLOCKS, pixels, settled)
        self.report(pixels)
        self.report(settled)

    def focus_end(self, probe, point):
        """Clicks into the text at `point` and takes the caret to its end, as a person does before typing."""
        s = self.session
        s.move(*point)
        probe.idle(limit=self.idle_limit)
        s.xdo("click", 1)
        probe.idle(limit=self.idle_limit)
        s.key("ctrl+End")

    def text_field(self, role_name, index):
        """The `index`th text or code block of Tolmek's open document."""
        s = self.session
        return wait_until(f"text {role_name!r} #{index}",
                          lambda: (s.find_all("text", role_name) + [None] * (index + 1))[index], timeout=60)

    def text_point(self, role_name, index):
        """A visible point inside the `index`th text or code block of Tolmek's open document."""
        s = self.session
        field = self.text_field(role_name, index)
        wx, wy, ww, wh = self.tolmek_rect
        for _ in range(2):
            x, y, w, h = s.extents(field)
            top, bottom = max(y, wy + 200), min(y + h, wy + wh - 20)
            if bottom > top:
                return x + w // 2, (top + bottom) // 2
            s.scroll_into_view(field)
        raise Failure(f"the text {role_name!r} #{index} stays out of sight")

    def shown_part(self, acc):
        """The size of the most of `acc` that its scrolled page can show: the first container smaller
        than it cuts it."""
        _, _, w, h = self.session.extents(acc)
        parent = acc.parent
        while parent is not None:
            _, _, pw, ph = self.session.extents(parent)
            if pw < w or ph < h:
                return min(w, pw), min(h, ph)
            parent = parent.parent
        return w, h

    def typing(self, label, title, role_name, index, mode, same_view=False):
        """Keys into the end of a text, Tolmek and the plain-Qt editor taking turns by rounds. With
        `same_view`, the plain-Qt editor is as large as the part of Tolmek's editor in view: a key that
        scrolls sideways repaints as much in both."""
        print(f"typing: {label}", flush=True)
        figure = self.figure(f"key → pixels, {label}", "≤ 1.5× Qt")
        self.open_doc(title)
        self.switch("Éditer")
        editor = None
        if same_view:
            editor = self.shown_part(self.text_field(role_name, index))
        self.start_baseline(mode, title, editor)
        rounds, keys = (1, 6) if self.quick else (6, 50)
        typed = 0
        for _ in range(rounds):
            for probe, out in ((self.tolmek, figure.ours), (self.qt, figure.theirs)):
                point = self.text_point(role_name, index) if probe is self.tolmek else self.scroll_point(self.qt_rect)
                self.focus_end(probe, point)
                for i in range(keys):
                    ch = TYPED[(typed + i) % len(TYPED)]
                    out.append(self.measure(figure, probe, f"key {keysym(ch)}")[0])
            typed += keys
        self.stop_baseline()
        self.report(figure)

    def run(self, parts=("startup", "document", "typing")):
        started = time.monotonic()
        if "startup" in parts:
            self.startup()
        if "document" in parts or "typing" in parts:
            self.launch_tolmek()
        if "document" in parts:
            self.document()
        if "typing" in parts:
            self.typing("200-word block of the large document", DOC_BLOCKS, "Texte", 1, "textedit")
            self.typing("10,000 words in 100 paragraphs", DOC_PARAGRAPHS, "Texte", 0, "textedit")
            self.typing("10,000 words in one paragraph", DOC_ONE_PARAGRAPH, "Texte", 0, "textedit")
            self.typing("300-line code block (Qt: QPlainTextEdit)", DOC_CODE, "Code", 0, "plaintext", same_view=True)
        print(f"\n{render(self.figures)}\n(measured in {time.monotonic() - started:.0f} s)", flush=True)
        return self.figures


def run(app, bindir, quick, parts=("startup", "document", "typing")):
    bench = Bench(app, bindir, quick)
    try:
        return bench.run(parts)
    finally:
        bench.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--app", required=True, help="the built application (a Release build: build-bench/src/tolmek)")
    parser.add_argument("--bin", help="the folder of xprobe and xprobe_baseline "
                        "(default: bench/xprobe of the application's build)")
    parser.add_argument("--quick", action="store_true", help="each figure once or twice, a smaller document")
    parser.add_argument("--only", default="startup,document,typing",
                        help="the parts to measure, of startup, document, typing (default: all)")
    args = parser.parse_args()
    # A timeout's SIGTERM still closes the private desktop.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    bindir = args.bin or os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(args.app))), "bench", "xprobe")
    run(args.app, bindir, args.quick, args.only.split(","))
    return 0


if __name__ == "__main__":
    sys.exit(main())
