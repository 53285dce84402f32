"""Starts the built application in a private X server, session bus and accessibility bus, with a
private home, and drives it as a person would: pointer and keys through XTest (xdotool), controls
found in the accessibility tree, the store read with sqlite3."""

import os
import shutil
import signal
import sqlite3
import subprocess
import tempfile
import time

SCREEN_W, SCREEN_H = 1920, 1080
_pyatspi = None
CASES = {}


def case(fn):
    """Registers a journey case under its function's name."""
    CASES[fn.__name__] = fn
    return fn


def atspi():
    """pyatspi, imported once the private buses are in the environment (it connects on import)."""
    global _pyatspi
    if _pyatspi is None:
        import pyatspi  # noqa: WPS433
        _pyatspi = pyatspi
    return _pyatspi


class Failure(AssertionError):
    pass


class Fatal(Failure):
    """A failure that no waiting can mend (the application ended)."""


def wait_until(what, condition, timeout=10.0, interval=0.05):
    """Polls `condition` until it returns something true; fails naming `what` after `timeout`."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except Fatal:
            raise
        except Exception as error:  # the tree changes under us while we look
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


def _kill_group(proc, sig=signal.SIGTERM, wait=3.0):
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, sig)
    except ProcessLookupError:
        return
    try:
        proc.wait(wait)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()


OPEN_SESSIONS = []


class Session:
    """One private desktop: X server, session bus, accessibility bus and a home for the application.
    The application can be started, quit and started again in it; `close()` ends everything."""

    def __init__(self, app_binary, name="journey"):
        self.app_binary = os.path.abspath(app_binary)
        self.name = name
        self.tmp = tempfile.mkdtemp(prefix=f"tolmek-{name}-")
        self.home = os.path.join(self.tmp, "home")
        self.data_home = os.path.join(self.home, ".local", "share")
        for d in (self.data_home, os.path.join(self.home, ".config"), os.path.join(self.home, ".cache"),
                  os.path.join(self.tmp, "runtime")):
            os.makedirs(d, exist_ok=True)
        os.chmod(os.path.join(self.tmp, "runtime"), 0o700)
        self.store_path = os.path.join(self.data_home, "Tolmek", "default.store")
        self.xvfb = self.dbus = self.a11y = self.app = None
        self.app_log = os.path.join(self.tmp, "app.log")
        self.env = None
        self.display = None
        self.shots = 0
        OPEN_SESSIONS.append(self)
        try:
            self._start_desktop()
        except BaseException:
            self.close()
            raise

    # -- the desktop ------------------------------------------------------------------------------
    def _start_desktop(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
             "-nolisten", "tcp", "-noreset", "-ac"],
            pass_fds=[write_fd], start_new_session=True,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 10
        while not number.endswith(b"\n"):
            chunk = os.read(read_fd, 16)
            if not chunk or time.monotonic() > deadline:
                raise Failure("Xvfb did not start")
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()

        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.home,
            "XDG_DATA_HOME": self.data_home,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_RUNTIME_DIR": os.path.join(self.tmp, "runtime"),
            "DISPLAY": self.display,
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        }
        self.dbus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
            env=env, start_new_session=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        address = self.dbus.stdout.readline().decode().strip()
        if not address:
            raise Failure("the session bus did not start")
        env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.a11y = subprocess.Popen(
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
            env=env, start_new_session=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env = env
        # pyatspi connects to the buses named in our own environment when it is first imported.
        for key in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
            os.environ[key] = env[key]
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        wait_until("the accessibility bus", self._a11y_bus_ready, timeout=10)
        self._focused_menu_item = None
        atspi().Registry.registerEventListener(self._on_focus, "object:state-changed:focused")

    def _a11y_bus_ready(self):
        out = subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True, timeout=5)
        return out.returncode == 0

    def close(self):
        if self in OPEN_SESSIONS:
            OPEN_SESSIONS.remove(self)
        self.kill_app()
        for proc in (self.a11y, self.dbus, self.xvfb):
            _kill_group(proc)
        if self.dbus is not None and self.dbus.stdout:
            self.dbus.stdout.close()
        if os.environ.get("TOLMEK_JOURNEY_KEEP"):
            print(f"kept {self.tmp}")
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)

    # -- the application --------------------------------------------------------------------------
    def launch(self, timeout=20):
        """Starts the application and waits until its main window is in the accessibility tree."""
        env = dict(self.env)
        env.update({
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        })
        log = open(self.app_log, "ab")
        self.app = subprocess.Popen([self.app_binary], env=env, start_new_session=True,
                                    stdout=log, stderr=log, cwd=self.home)
        log.close()
        self.window = wait_until("the application's window", self._find_window, timeout=timeout)
        return self.window

    def _find_window(self):
        if self.app.poll() is not None:
            raise Fatal(f"the application ended with {self.app.returncode}: {self.log_tail()}")
        desktop = atspi().Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is None:
                continue
            try:
                if app.get_process_id() != self.app.pid:
                    continue
            except Exception:
                continue
            for j in range(app.childCount):
                win = app.getChildAtIndex(j)
                if win is not None and win.getRole() == atspi().ROLE_FRAME and self.showing(win):
                    self.app_root = app
                    return win
        return None

    def log_tail(self, lines=20):
        try:
            with open(self.app_log, "rb") as f:
                return b"\n".join(f.read().splitlines()[-lines:]).decode(errors="replace")
        except OSError:
            return ""

    def wait_exit(self, timeout=10):
        try:
            return self.app.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the application did not end")

    def kill_app(self):
        _kill_group(self.app)

    # -- the accessibility tree -------------------------------------------------------------------
    @staticmethod
    def showing(acc):
        states = acc.getState()
        return states.contains(atspi().STATE_SHOWING) and states.contains(atspi().STATE_VISIBLE)

    def walk(self, root=None, showing_only=True):
        """Every accessible under `root` (the window by default), depth first."""
        top = root or self.window
        stack = [top]
        while stack:
            acc = stack.pop()
            if acc is None:
                continue
            try:
                if showing_only and acc is not top and not self.showing(acc):
                    continue
                yield acc
                count = acc.childCount
            except Exception:
                continue
            for i in reversed(range(count)):
                try:
                    stack.append(acc.getChildAtIndex(i))
                except Exception:
                    pass

    def find_all(self, role=None, name=None, root=None, contains=None, showing_only=True, description=None):
        role_id = getattr(atspi(), "ROLE_" + role.upper().replace(" ", "_")) if isinstance(role, str) else role
        found = []
        for acc in self.walk(root, showing_only):
            try:
                if role_id is not None and acc.getRole() != role_id:
                    continue
                acc_name = acc.name or ""
            except Exception:
                continue
            if name is not None and acc_name != name:
                continue
            if contains is not None and contains not in acc_name:
                continue
            if description is not None and acc.description != description:
                continue
            found.append(acc)
        return found

    def find(self, role=None, name=None, root=None, contains=None, timeout=10, description=None):
        """The one showing accessible of that role and name, waited for."""
        what = f"{role or 'control'} {name or contains or description!r}"
        return wait_until(what, lambda: (self.find_all(role, name, root, contains, True, description) or [None])[0],
                          timeout)

    def dump(self, root=None, showing_only=True):
        lines = []

        def visit(acc, depth):
            try:
                if showing_only and depth and not self.showing(acc):
                    return
                try:
                    x, y, w, h = self.extents(acc)
                    where = f" [{x},{y} {w}x{h}]"
                except NotImplementedError:
                    where = ""
                lines.append(f"{'  ' * depth}{acc.getRoleName()} {acc.name!r}{where}")
                for i in range(acc.childCount):
                    visit(acc.getChildAtIndex(i), depth + 1)
            except Exception as error:
                lines.append(f"{'  ' * depth}<{error!r}>")
        visit(root or self.window, 0)
        return "\n".join(lines)

    def dialog(self, name, timeout=10):
        """A dialog window of the application (sheets and alerts are windows of their own)."""
        def look():
            self.app_root.clearCache()
            for i in range(self.app_root.childCount):
                win = self.app_root.getChildAtIndex(i)
                if win is not None and win.getRole() in (atspi().ROLE_DIALOG, atspi().ROLE_ALERT) \
                        and win.name == name and self.showing(win):
                    return win
            return None
        return wait_until(f"the dialog {name!r}", look, timeout=timeout)

    def windows(self):
        self.app_root.clearCache()
        return [self.app_root.getChildAtIndex(i) for i in range(self.app_root.childCount)]

    def _on_focus(self, event):
        try:
            if event.detail1 and event.source.getRole() == atspi().ROLE_MENU_ITEM:
                self._focused_menu_item = event.source
        except Exception:
            pass

    def pump(self):
        """Lets the accessibility events that arrived reach our listeners."""
        from gi.repository import GLib
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)

    def menu_item(self, name, timeout=5):
        """An item of the open pop-up menu. Qt leaves pop-ups out of the tree: the menu is found
        through the item that the first Down key focuses, as a screen reader finds it."""
        self._focused_menu_item = None
        self.key("Down")

        def look():
            self.pump()
            item = self._focused_menu_item
            if item is None:
                return None
            menu = item.parent
            for i in range(menu.childCount):
                child = menu.getChildAtIndex(i)
                if child.name == name:
                    return child
            names = [menu.getChildAtIndex(i).name for i in range(menu.childCount)]
            raise Failure(f"no item {name!r} in the menu {names}")
        return wait_until(f"menu item {name!r}", look, timeout=timeout)

    @staticmethod
    def extents(acc):
        e = acc.queryComponent().getExtents(atspi().DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def center(self, acc):
        x, y, w, h = self.extents(acc)
        return x + w // 2, y + h // 2

    def window_rect(self):
        return self.extents(self.window)

    # -- input ------------------------------------------------------------------------------------
    def xdo(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True, timeout=60)

    def pointer(self):
        out = subprocess.run(["xdotool", "getmouselocation", "--shell"], env=self.env, check=True,
                             capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"])

    def move(self, x, y, step=20, pause=0.012):
        """Moves the pointer to (x, y) the way a hand does: steps of about `step` px."""
        x0, y0 = self.pointer()
        dx, dy = x - x0, y - y0
        n = max(1, int(max(abs(dx), abs(dy)) // step))
        args = []
        for i in range(1, n + 1):
            args += ["mousemove", round(x0 + dx * i / n), round(y0 + dy * i / n), "sleep", pause]
        self.xdo(*args)

    def settled_center(self, acc, timeout=5):
        """The centre of `acc` once it stopped moving (a layout or a scroll may still be under way)."""
        last = [None]

        def still():
            now = self.extents(acc)
            if now == last[0] and now[2] > 0 and now[3] > 0:
                return now
            last[0] = now
            time.sleep(0.06)
            return None
        x, y, w, h = wait_until(f"{acc.getRoleName()} {acc.name!r} to stay in place", still, timeout)
        return x + w // 2, y + h // 2

    def top_level(self, acc):
        """The window (main window, dialog) that holds `acc`."""
        roles = (atspi().ROLE_FRAME, atspi().ROLE_DIALOG, atspi().ROLE_ALERT, atspi().ROLE_WINDOW)
        while acc is not None and acc.getRole() not in roles:
            acc = acc.parent
        return acc

    def scroll_into_view(self, acc):
        """Turns the mouse wheel over the window until `acc` is inside it, as a person scrolls to a
        control out of sight."""
        window = self.top_level(acc)
        if window is None:
            return
        wx, wy, ww, wh = self.extents(window)
        for _ in range(40):
            x, y, w, h = self.extents(acc)
            if y >= wy + 8 and y + h <= wy + wh - 8:
                return
            wheel = 5 if y + h > wy + wh - 8 else 4
            self.move(min(max(x + w // 2, wx + 10), wx + ww - 10), wy + wh // 2)
            self.xdo("click", wheel, "sleep", 0.05)
        raise Failure(f"{acc.getRoleName()} {acc.name!r} stays out of its window")

    def click(self, target, button=1):
        if isinstance(target, tuple):
            self.move(*target)
        else:
            self.scroll_into_view(target)
            for _ in range(3):
                x, y = self.settled_center(target)
                self.move(x, y)
                if self.center(target) == (x, y):
                    break
        self.xdo("sleep", 0.05, "mousedown", button, "sleep", 0.06, "mouseup", button)

    def drag(self, source, target, hold=0.25, settle=0.3):
        """Presses on `source`, moves at hand speed to `target` and lets go there (points or
        accessibles, their centres)."""
        sx, sy = self.settled_center(source) if not isinstance(source, tuple) else source
        tx, ty = self.settled_center(target) if not isinstance(target, tuple) else target
        self.move(sx, sy)
        self.xdo("sleep", 0.1, "mousedown", 1, "sleep", hold)
        self.move(tx, ty)
        self.xdo("sleep", settle, "mouseup", 1)

    def double_click(self, point):
        self.move(*point)
        self.xdo("sleep", 0.05, "click", "--repeat", 2, "--delay", 80, 1)

    def key(self, *keys):
        self.xdo("key", "--delay", 40, *keys)

    def type(self, text, delay=8):
        # A character the keyboard map lacks is typed by remapping a key for a moment, which races
        # with the application's reading of the new map under load: typed texts keep to ASCII.
        if not text.isascii():
            raise ValueError(f"type ASCII only: {text!r}")
        self.xdo("type", "--delay", delay, text)

    # -- the screen -------------------------------------------------------------------------------
    def screenshot(self, label="shot"):
        self.shots += 1
        path = os.path.join(self.tmp, f"{self.shots:02d}-{label}.png")
        subprocess.run(["import", "-display", self.display, "-window", "root", path], env=self.env,
                       check=True, timeout=20)
        return path

    def pixels(self, rect=None):
        """The screen (or a rectangle of it) as rows of (r, g, b) tuples."""
        args = ["import", "-display", self.display, "-window", "root"]
        if rect:
            x, y, w, h = rect
            args += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        raw = subprocess.run(args + ["-depth", "8", "ppm:-"], env=self.env, check=True,
                             capture_output=True, timeout=20).stdout
        header, fields, pos = raw, [], 0
        while len(fields) < 4:
            while header[pos:pos + 1].isspace():
                pos += 1
            if header[pos:pos + 1] == b"#":
                pos = header.index(b"\n", pos) + 1
                continue
            end = pos
            while not header[end:end + 1].isspace():
                end += 1
            fields.append(header[pos:end])
            pos = end
        pos += 1
        w, h = int(fields[1]), int(fields[2])
        data = raw[pos:]
        return [[tuple(data[(r * w + c) * 3:(r * w + c) * 3 + 3]) for c in range(w)] for r in range(h)]

    # -- the store --------------------------------------------------------------------------------
    def store_ready(self):
        if not os.path.exists(self.store_path):
            return False
        try:
            return bool(self.query("SELECT count(*) FROM sqlite_master WHERE name = 'ChecklistCard'")[0][0])
        except sqlite3.Error:
            return False

    def query(self, sql, params=()):
        """Rows of a read-only query on the application's store."""
        conn = sqlite3.connect(f"file:{self.store_path}?mode=ro", uri=True, timeout=5)
        try:
            return conn.execute(sql, params).fetchall()
        finally:
            conn.close()


def seeded_session(app_binary, name, fill):
    """A session whose store the application made, then `fill(seed)` wrote into, then the application
    started again on it."""
    from seed import Seed
    session = Session(app_binary, name)
    try:
        session.launch()
        wait_until("the store", lambda: session.store_ready(), timeout=10)
        session.kill_app()
        seed = Seed(session.store_path)
        try:
            fill(seed)
        finally:
            seed.close()
        session.launch()
    except BaseException:
        session.close()
        raise
    return session


def quick_note_field(session):
    """The quick note's text field, the note opened first when it is folded; waits until the note's card
    has stopped growing, so that a click lands on the field and not where it is still sliding to."""
    header = session.find("push button", "Note rapide")
    card = header.parent.parent
    if not session.find_all("text", root=card):
        session.click(header)
    field = session.find("text", root=card)
    session.settled_center(card)
    return field


def resize_window(session, width, height):
    """Gives the main window another size (there is no window manager: the X window is resized)."""
    wid = subprocess.run(["xdotool", "search", "--pid", str(session.app.pid), "--name", "^Tolmek$"],
                         env=session.env, capture_output=True, text=True).stdout.split()
    if not wid:
        raise Failure("no X window for the application")
    for w in wid:
        session.xdo("windowsize", w, width, height)
    wait_until(f"the window at {width}x{height}",
               lambda: session.window_rect()[2:] == (width, height), timeout=5)


def focused(session):
    """The accessible that has the keyboard focus in the window, if any."""
    for acc in session.walk():
        try:
            if acc.getState().contains(atspi().STATE_FOCUSED):
                return acc
        except Exception:
            continue
    return None


def inside(rect, outer):
    x, y, w, h = rect
    ox, oy, ow, oh = outer
    return x >= ox and y >= oy and x + w <= ox + ow and y + h <= oy + oh


def write_png(path, width=160, height=100, rgb=(40, 120, 220)):
    """A small PNG of one colour with a lighter band, written without any imaging library."""
    import struct
    import zlib
    rows = b""
    for y in range(height):
        colour = rgb if y < height * 2 // 3 else tuple(min(255, c + 90) for c in rgb)
        rows += b"\x00" + bytes(colour) * width

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows)))
        f.write(chunk(b"IEND", b""))
    return path
