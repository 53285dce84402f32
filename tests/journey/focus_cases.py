"""Focus, keyboard and the list screens' layout, driven as a person does: the checklists header (its
search field's width, Tab through it), a click after Tab (no ring left, no key sent to a stale button),
a click in a block's padding then typing, the projects list after an edit, and the dashboard's panel
and note coming in progressively."""

import time

from editor_cases import open_doc
from harness import Failure, atspi, case, focused, resize_window, seeded_session, wait_until

def ring_pixels(session, acc):
    """Blue pixels along the border of `acc`, where a focus ring is drawn: stronger than the light
    outline of the selected section."""
    x, y, w, h = session.extents(acc)
    rows = session.pixels((x, y, w, h))
    # The bands along the top and bottom edges, clear of the section's marker at the left.
    bands = rows[:10] + rows[-10:]
    return sum(1 for row in bands for (r, g, b) in row[20:-4] if b - r > 100 and b > 200)


def tab_until(session, name, role="push button", tries=40):
    """Presses Tab until the control named `name` has the keyboard; returns it."""
    for _ in range(tries):
        acc = focused(session)
        if acc is not None and acc.name == name and acc.getRoleName() == role:
            return acc
        session.key("Tab")
        time.sleep(0.05)
    raise Failure(f"Tab never reached the {role} {name!r}")


def wait_focus(session, what, test, timeout=5):
    def look():
        acc = focused(session)
        return acc if acc is not None and test(acc) else None
    return wait_until(what, look, timeout=timeout)


@case
def focus_checklists_header_width_and_tab_order(app):
    session = seeded_session(app, "focus", lambda seed: seed.checklist("Préparer la rentrée"))
    resize_window(session, 1100, 720)
    session.click(session.find("push button", "Checklists"))
    field = session.find("text", "Rechercher…")
    box = field.parent
    wait_until("the search field at 260", lambda: abs(session.extents(box)[2] - 260) <= 1, timeout=5)

    # Tab from the field goes through the header as it reads: the layout switch, then « Nouvelle ».
    session.click(field)
    wait_focus(session, "the search field to have the keyboard", lambda a: a.getRoleName() == "text")
    for name in ("Liste", "Grille", "Nouvelle"):
        session.key("Tab")
        wait_focus(session, f"Tab to reach « {name} »", lambda a, n=name: a.name == n)


@case
def focus_click_after_tab_leaves_no_ring_and_no_stale_key(app):
    session = seeded_session(app, "focus", lambda seed: seed.checklist("Préparer la rentrée"))
    resize_window(session, 1100, 720)
    projects = session.find("push button", "Projets")
    # A click on an empty part of the dashboard gives the window the keyboard.
    wx, wy, ww, wh = session.window_rect()
    session.click((wx + ww // 2, wy + wh - 20))
    tab_until(session, "Projets")
    wait_until("the ring on « Projets »", lambda: ring_pixels(session, projects) > 0, timeout=5)

    # A click on another section: no ring stays, and « Projets » no longer takes the keys.
    session.click(session.find("push button", "Checklists"))
    session.find("text", "Rechercher…")
    wait_until("the ring on « Projets » to go", lambda: ring_pixels(session, projects) == 0, timeout=5)
    checklists = session.find("push button", "Checklists")
    if ring_pixels(session, checklists):
        raise Failure("the clicked « Checklists » shows a focus ring")
    now = focused(session)
    if now is not None and now.getRoleName() == "push button" and now.name in ("Projets", "Checklists"):
        raise Failure(f"the sidebar button « {now.name} » kept the keyboard after a click")
    session.key("space")
    time.sleep(0.3)   # a stale activation would change the screen within this time
    session.find("text", "Rechercher…", timeout=2)
    if session.find_all("text", "Rechercher un projet…"):
        raise Failure("Space after the click activated « Projets »")


@case
def focus_click_in_block_padding_then_type(app):
    session = open_doc(app, [("text", "Premier paragraphe", None), ("text", "Second paragraphe", None)],
                       size=(1100, 720))
    # The keyboard first goes to some button with Tab, as in the report.
    for _ in range(6):
        session.key("Tab")
    texts = [t for t in session.find_all("text") if t.queryText().getText(0, -1).startswith("Premier")]
    if not texts:
        raise Failure("no text block « Premier paragraphe »")
    text = texts[0]
    x, y, w, h = session.extents(text)
    # In the card's padding, under the text.
    session.click((x + 40, y + h + 6))
    session.type("XYZ")
    wait_until("the typed text in the block",
               lambda: "XYZ" in text.queryText().getText(0, -1), timeout=5)
    wait_until("the typed text in the store",
               lambda: any("XYZ" in (row[0] or "") for row in
                           session.query('SELECT content FROM "DocBlock" WHERE typeRaw = \'text\'')),
               timeout=5)
    session.find("push button", "Voir")   # still in the document


@case
def focus_saved_project_moves_to_top(app):
    def fill(seed):
        for name in ("Ancien", "Moyen", "Récent"):
            seed.project(name)
    session = seeded_session(app, "focus", fill)
    resize_window(session, 1100, 720)
    session.click(session.find("push button", "Projets"))

    def order():
        items = [i for i in session.find_all("list item") if i.name in ("Ancien", "Moyen", "Récent")]
        return [i.name for i in sorted(items, key=lambda i: session.extents(i)[1])]
    wait_until("the projects newest first", lambda: order() == ["Récent", "Moyen", "Ancien"], timeout=5)

    oldest = session.find("list item", "Ancien")
    oy = session.extents(oldest)[1]
    actions = min(session.find_all("push button", "Actions"), key=lambda b: abs(session.extents(b)[1] - oy))
    session.click(actions)
    session.click(session.menu_item("Modifier"))
    sheet = session.dialog("Modifier le projet")
    session.click(session.find("push button", "Enregistrer", root=sheet))
    wait_until("the saved project first", lambda: order() == ["Ancien", "Récent", "Moyen"], timeout=5)


def track(session, acc, field, seconds=0.6):
    """The distinct values of one extent of `acc` (1: y, 3: height) over `seconds`, sampled as fast as
    the tree answers."""
    seen = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            value = session.extents(acc)[field]
        except Exception:
            continue
        if not seen or seen[-1] != value:
            seen.append(value)
    return seen


def expect_progressive(values, what):
    """More than the start and the end: the change went through places in between."""
    if len(values) < 3 or values[-1] <= values[0]:
        raise Failure(f"{what} went through {values}: it did not come in progressively")


@case
def focus_dashboard_panel_and_note_come_in_progressively(app):
    def fill(seed):
        project = seed.project("Atelier")
        for i in range(3):
            seed.doc(project, f"Document {i}")
    session = seeded_session(app, "focus", fill)
    resize_window(session, 1100, 720)
    # What stands below the panel moves down as the panel grows in.
    below = session.find("label", "Projets récents")
    session.click(session.find("push button", "En cours"))
    expect_progressive(track(session, below, 1), "« Projets récents » under the opening panel")
    title = session.find("label", "Documents en cours", timeout=5)
    if session.extents(title)[1] >= session.extents(below)[1]:
        raise Failure("the panel's title is not above the recent projects")

    # The quick note's card grows as its content comes down.
    header = session.find("push button", "Note rapide")
    card = header.parent
    session.click(header)
    expect_progressive(track(session, card, 3), "the quick note's card")
    session.find("label", "Écrivez une note pour vous aider à reprendre rapidement.", timeout=5)

    # Asked for less motion, the panel is there at once.
    session.kill_app()
    session.env["TOLMEK_REDUCE_MOTION"] = "1"
    session.launch()
    resize_window(session, 1100, 720)
    below = session.find("label", "Projets récents")
    session.click(session.find("push button", "En cours"))
    places = track(session, below, 1)
    if len(places) > 2:
        raise Failure(f"with less motion, « Projets récents » still went through {places}")
    session.find("label", "Documents en cours", timeout=5)
