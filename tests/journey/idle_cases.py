"""A document left alone costs nothing: once opened, in either mode, the window's process goes idle."""

import os
import random
import time

from harness import Failure, case, seeded_session, wait_until

WORDS = ("le vent souffle sur la plaine et les arbres plient sans rompre pendant que la rivière coule vers "
         "la mer lointaine sous un ciel gris").split()


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_share(pid, seconds):
    start = cpu_seconds(pid)
    time.sleep(seconds)
    return (cpu_seconds(pid) - start) / seconds


def expect_idle(session, when):
    """The process's CPU over 3 s drops under 5 % within 10 s (rows built ahead may take a moment)."""
    shares = []

    def quiet():
        shares.append(cpu_share(session.app.pid, 3.0))
        return shares[-1] < 0.05
    try:
        wait_until(f"the window to go idle {when}", quiet, timeout=12, interval=0)
    except Failure:
        raise Failure(f"{when}: still busy, CPU share per 3 s: " + ", ".join(f"{s:.0%}" for s in shares))


@case
def idle_document_left_alone_in_both_modes(app):
    # Long and short text blocks with code between them: the mix that kept the page rebuilding itself.
    rng = random.Random(7)

    def words(n):
        return " ".join(rng.choice(WORDS) for _ in range(n))

    def fill(seed):
        doc = seed.doc(seed.project("Atelier"), "Notes")
        for order in range(40):
            if order % 10 == 4:
                seed.block(doc, "code", order, "\n".join(f"valeur_{k} = calcule({k})" for k in range(10)), "python")
            else:
                seed.block(doc, "text", order, words(200 if order == 1 else rng.randint(20, 90)), None)
    session = seeded_session(app, "idle", fill)
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Atelier"))
    session.click(session.find("list item", "Notes"))
    edit = session.find("push button", "Éditer")
    expect_idle(session, "after opening the document")
    session.click(edit)
    view = session.find("push button", "Voir")
    expect_idle(session, "in edit mode")
    session.click(view)
    session.find("push button", "Éditer")
    expect_idle(session, "back in view mode")
