"""Starts that must not be refused: whatever a file of the lock's name holds (emptied, zeroed, a folder,
no permissions, another machine's process, the pid of a Tolmek on another store), the application
starts; a second launch on a live first one is still refused, and a store the application refuses
keeps nothing of it beside it."""

import os
import signal
import socket
import subprocess

from fixes_cases import ended, integrity, start_app
from harness import Failure, Session, atspi, case, wait_until


def lock_path(session):
    return session.store_path + ".lock"


def expect_second_refused(session, what):
    second = start_app(session)
    code = ended(second, 15)
    if code != 0:
        if code is None:
            second.kill()
            second.wait()
        raise Failure(f"{what}: a second launch ended with {code}: {session.log_tail()}")
    if session.app.poll() is not None:
        raise Failure(f"{what}: the first instance ended ({session.app.returncode}) when the second started")


def quit_app(session, what):
    os.kill(session.app.pid, signal.SIGTERM)  # the same end as « Quitter »
    if session.wait_exit(15) != 0:
        raise Failure(f"{what}: the application ended with {session.app.returncode}: {session.log_tail()}")


def other_store_tolmek(session):
    """A Tolmek running on a store of its own (another data folder), in the same desktop."""
    env = dict(session.env)
    env.update({"QT_QPA_PLATFORM": "xcb", "XDG_DATA_HOME": os.path.join(session.tmp, "other-data")})
    log = open(session.app_log, "ab")
    try:
        proc = subprocess.Popen([session.app_binary], env=env, start_new_session=True, stdout=log,
                                stderr=log, cwd=session.home)
    finally:
        log.close()
    other_store = os.path.join(session.tmp, "other-data", "Tolmek", "default.store")
    wait_until("the other store's Tolmek", lambda: os.path.exists(other_store + ".lock"), timeout=20)
    return proc


@case
def hostile_odd_lock_files_do_not_lock_out(app):
    session = Session(app, "locks")
    session.launch()
    wait_until("the store", session.store_ready, timeout=10)
    quit_app(session, "the first start")
    if os.path.exists(lock_path(session)):
        raise Failure("the lock file stayed after a normal end")

    other = other_store_tolmek(session)
    host = socket.gethostname()

    def file_of(content, mode=0o644):
        def make(path):
            with open(path, "wb") as f:
                f.write(content)
            os.chmod(path, mode)
        return make

    odd = [
        ("an empty file", file_of(b"")),
        ("NUL bytes", file_of(b"\0" * 64)),
        ("a folder", os.mkdir),
        ("a stale lock with mode 000", file_of(b"4242\nTolmek\n" + host.encode() + b"\n", 0o000)),
        ("a dead process on another machine", file_of(b"4242\nTolmek\nportable-de-sauvegarde\n")),
        ("a live Tolmek on another store", file_of(f"{other.pid}\nTolmek\n{host}\n".encode())),
    ]
    try:
        for what, make in odd:
            make(lock_path(session))
            session.launch(timeout=20)
            wait_until(f"{what}: the window's content", lambda: session.find("push button", "Projets"))
            if what in ("a folder", "an empty file"):
                expect_second_refused(session, what)
            quit_app(session, what)
            if os.path.isdir(lock_path(session)):
                os.rmdir(lock_path(session))
            elif os.path.lexists(lock_path(session)):
                raise Failure(f"{what}: the lock file stayed after a normal end")
        if integrity(session) != "ok":
            raise Failure(f"the store after the starts: {integrity(session)}")
    finally:
        if other.poll() is None:
            other.terminate()
            other.wait(10)


def error_box(session, proc):
    desktop = atspi().Registry.getDesktop(0)
    for i in range(desktop.childCount):
        root = desktop.getChildAtIndex(i)
        try:
            if root is None or root.get_process_id() != proc.pid:
                continue
        except Exception:
            continue
        for j in range(root.childCount):
            win = root.getChildAtIndex(j)
            if win is not None and win.getRole() in (atspi().ROLE_DIALOG, atspi().ROLE_ALERT) \
                    and session.showing(win):
                return win
    return None


@case
def hostile_refused_store_leaves_no_lock(app):
    session = Session(app, "refused")
    os.makedirs(os.path.dirname(session.store_path))
    content = b"ceci n\xe2\x80\x99est pas une base\n" * 100
    with open(session.store_path, "wb") as f:
        f.write(content)
    session.app = start_app(session)
    box = wait_until("the message that the store cannot be opened", lambda: error_box(session, session.app),
                     timeout=20)
    if os.path.lexists(lock_path(session)):
        raise Failure("a lock file beside the refused store while its message is shown")
    session.click(session.find("push button", "OK", root=box))
    code = ended(session.app, 10)
    if code in (None, 0):
        raise Failure(f"the refused start ended with {code}: {session.log_tail()}")
    left = sorted(os.listdir(os.path.dirname(session.store_path)))
    if left != ["default.store"]:
        raise Failure(f"beside the refused store: {left}")
    with open(session.store_path, "rb") as f:
        if f.read() != content:
            raise Failure("the refused store was modified")
