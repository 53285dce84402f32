"""The store against what happens around it: a lock file removed or replaced under a running Tolmek, a disk
that fills up and then has room again, a store that is a link to a drive not mounted."""

import os
import signal
import subprocess

from fixes_cases import ended, integrity, start_app
from harness import Failure, Session, case, wait_until
from hostile_cases import error_box
from seed import Seed

FAILED = "n’ont pas pu être enregistrées"


def doc_session(app, name, env=None):
    """A document « Notes » with one text block « Texte: », opened in edit mode, the caret at the end of the
    block; `env(session)` is added to the application's environment."""
    session = Session(app, name)
    try:
        session.env.update(env(session) if env else {})
        session.launch()
        wait_until("the store", session.store_ready, timeout=10)
        session.kill_app()
        seed = Seed(session.store_path)
        try:
            doc = seed.doc(seed.project("Atelier"), "Notes")
            seed.block(doc, "text", 0, "Texte:")
        finally:
            seed.close()
        session.launch()
        session.click(session.find("push button", "Projets"))
        session.click(session.find("list item", "Atelier"))
        session.click(session.find("list item", "Notes"))
        session.click(session.find("push button", "Éditer"))
        session.click(session.find("text", "Texte"))
        session.key("ctrl+End")
    except BaseException:
        session.close()
        raise
    return session


def block_text(session):
    return session.query('SELECT content FROM "DocBlock" WHERE typeRaw = ?', ("text",))[0][0] or ""


def type_saved(session, text):
    session.type(text, delay=12)
    wait_until(f"{text!r} in the store", lambda: text in block_text(session), timeout=10)


@case
def store_lock_holds_when_its_file_is_removed_or_replaced(app):
    session = doc_session(app, "store-lock")
    type_saved(session, " un")
    lock = session.store_path + ".lock"

    def remove():
        pass

    def link():
        os.symlink(os.path.join(session.tmp, "ailleurs"), lock)

    def pipe():
        os.mkfifo(lock)

    for what, make in (("removed", remove), ("a link", link), ("a pipe", pipe)):
        if os.path.lexists(lock):
            os.remove(lock)
        make()
        second = start_app(session)
        code = ended(second, 15)
        if code is None:
            second.kill()
            second.wait()
        if code != 0:
            raise Failure(f"the lock file {what}: a second launch ended with {code}: {session.log_tail()}")
        if session.app.poll() is not None:
            raise Failure(f"the lock file {what}: the first Tolmek ended ({session.app.returncode})")
    # The first window still saves, alone on its store.
    session.click(session.find("text", "Texte"))
    session.key("ctrl+End")
    type_saved(session, " deux")
    os.kill(session.app.pid, signal.SIGTERM)
    if session.wait_exit(15) != 0:
        raise Failure(f"the first Tolmek ended with {session.app.returncode}: {session.log_tail()}")
    if "un deux" not in block_text(session) or integrity(session) != "ok":
        raise Failure(f"the store after the launches: {block_text(session)!r}, {integrity(session)}")


def build_fault(session):
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "write_fault.c")
    library = os.path.join(session.tmp, "write_fault.so")
    subprocess.run(["cc", "-shared", "-fPIC", "-O1", "-o", library, source, "-ldl"], check=True, timeout=60)
    return library


def banner_shown(session):
    return session.find_all(contains=FAILED)


@case
def store_saves_by_itself_once_the_disk_has_room(app):
    session = doc_session(app, "store-full", lambda s: {
        "LD_PRELOAD": build_fault(s), "TOLMEK_WRITE_FAULT": os.path.join(s.tmp, "disk-full")})
    flag = session.env["TOLMEK_WRITE_FAULT"]
    with open(f"/proc/{session.app.pid}/maps") as f:
        if "write_fault.so" not in f.read():
            raise Failure("the write fault is not loaded in the application")
    type_saved(session, " alpha")

    open(flag, "w").close()
    session.type(" bravo charlie delta", delay=12)
    banner = wait_until("the banner saying the disk is full", lambda: banner_shown(session), timeout=10)[0]
    if "le disque est plein" not in banner.name:
        raise Failure(f"the banner says {banner.name!r}")
    if "bravo" in block_text(session):
        raise Failure("a save went through while the disk was full")

    # Room again; no key, no click: the words reach the store by themselves, and the banner goes.
    os.remove(flag)
    wait_until("the words typed on the full disk in the store",
               lambda: "alpha bravo charlie delta" in block_text(session), timeout=8)
    wait_until("the banner to go", lambda: not banner_shown(session), timeout=5)
    os.killpg(session.app.pid, signal.SIGKILL)
    session.app.wait(10)
    if "alpha bravo charlie delta" not in block_text(session) or integrity(session) != "ok":
        raise Failure(f"after a kill: {block_text(session)!r}, {integrity(session)}")


@case
def store_behind_a_missing_link_is_refused(app):
    session = Session(app, "store-link")
    folder = os.path.dirname(session.store_path)
    os.makedirs(folder)
    target = os.path.join(session.tmp, "disque-externe", "Tolmek", "default.store")
    os.symlink(target, session.store_path)
    session.app = start_app(session)
    box = wait_until("the message that the store cannot be opened", lambda: error_box(session, session.app),
                     timeout=20)
    message = session.find(contains="introuvable", root=box)
    if "lien" not in message.name:
        raise Failure(f"the message says {message.name!r}")
    session.click(session.find("push button", "OK", root=box))
    code = ended(session.app, 10)
    if code in (None, 0):
        raise Failure(f"the refused start ended with {code}: {session.log_tail()}")
    if os.listdir(folder) != ["default.store"] or os.readlink(session.store_path) != target:
        raise Failure(f"the data folder after the refusal: {os.listdir(folder)}")
    if os.path.lexists(os.path.dirname(os.path.dirname(target))):
        raise Failure("something was made where the link points")
