"""The document editor's code block and header as a person meets them: a code block clicked low on a long
page comes to the centre with its focus outline drawn all round it, the gutter's side included; a code
block added from the keyboard and given the keyboard gets the same outline; a long title shows its start."""

import time

from harness import Failure, case, focused, seeded_session, wait_until

LONG_TITLE = "Programmation des échanges avec le portail Chorus Pro et les fournisseurs de la plateforme"
WORDS = "le vent souffle sur la plaine et les arbres plient sans rompre "


def open_long_doc(app, blocks):
    """The document LONG_TITLE of the project « Atelier », made of `blocks` ((type, content, language)),
    opened in view mode."""
    def fill(seed):
        project = seed.project("Atelier")
        doc = seed.doc(project, LONG_TITLE)
        for order, (type_raw, content, language) in enumerate(blocks):
            seed.block(doc, type_raw, order, content, language)
    session = seeded_session(app, "editor-outline", fill)
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Atelier"))
    session.click(session.find("list item", contains="Programmation"))
    session.find("push button", "Éditer")
    return session


def title_start(session, what):
    """The left part of the title field's pixels, once they stop changing."""
    field = session.find("text", "Titre du document")
    x, y, w, h = session.extents(field)
    last = [None]

    def still():
        now = session.pixels((x, y, 220, h))
        same = now == last[0]
        last[0] = now
        return now if same else None
    return wait_until(what, still, timeout=5, interval=0.2)


def code_area(session, code):
    """The screen rectangle of a code block's panel under its header: its gutter and its editor."""
    gutter = next(c for c in (code.parent.getChildAtIndex(i) for i in range(code.parent.childCount))
                  if c.getRoleName() == "label")
    gx, gy, gw, gh = session.extents(gutter)
    cx, cy, cw, ch = session.extents(code)
    return gx, cy, cx + cw - gx, ch


def greenish(p):
    return p[1] - max(p[0], p[2]) > 25


def at_rest(session, code, what):
    """The code block's panel once it stopped moving, with no pointer over it."""
    session.xdo("mousemove", 5, 5)
    last = [None]

    def rest():
        now = code_area(session, code)
        same = now == last[0]
        last[0] = now
        return now if same else None
    return wait_until(f"{what}: the block at rest", rest, timeout=5, interval=0.15)


def expect_green_outline(session, code, what):
    """The panel's outermost pixels are the bash colour on every side, beside the gutter too, once the
    page is at rest (no pointer over the block)."""
    x, y, w, h = at_rest(session, code, what)
    bad = []

    def edges():
        rows = session.pixels((x, y, w, h))
        sides = {
            "top": [rows[0][i] for i in range(14, w - 14)],
            "bottom": [rows[h - 1][i] for i in range(14, w - 14)],
            "left (gutter)": [rows[j][0] for j in range(14, h - 14)],
            "right": [rows[j][w - 1] for j in range(14, h - 14)],
        }
        bad[:] = [(side, sorted({p for p in pixels if not greenish(p)})[:4])
                  for side, pixels in sides.items() if not all(greenish(p) for p in pixels)]
        return not bad
    try:
        wait_until(f"{what}: the focus outline all round", edges, timeout=3, interval=0.3)
    except Failure:
        shot = session.screenshot("outline")
        raise Failure(f"{what}: the code block at {(x, y, w, h)} lacks its focus outline on {bad} ({shot})")
    return x, y, w, h


@case
def editor_code_block_focus_outline_after_centring(app):
    """A code block clicked near the window's bottom edge, low on a long page, comes to the centre of the
    page and draws its focus outline on all four sides; a code block added from the keyboard and given the
    keyboard without the pointer does too. The long title shows its start in view and edit mode."""
    paragraphs = [("text", f"Paragraphe {i} : " + WORDS * 3, None) for i in range(1, 9)]
    code = "\n".join(f"echo ligne {i}" for i in range(1, 9))
    session = open_long_doc(app, paragraphs + [("code", code, "bash")] + paragraphs)

    # The title shows its start: the same pixels as once its caret was sent home and the keyboard left it.
    shown = title_start(session, "the title at rest in view mode")
    session.click(session.find("push button", "Éditer"))
    session.find("push button", "Voir")
    edit_shown = title_start(session, "the title at rest in edit mode")
    field = session.find("text", "Titre du document")
    session.click(field)
    session.key("Home", "Tab")
    wait_until("the keyboard out of the title", lambda: (focused(session) or field).name != field.name)
    home = title_start(session, "the title back at its start")
    for mode, pixels in (("view", shown), ("edit", edit_shown)):
        if pixels != home:
            shot = session.screenshot("title")
            raise Failure(f"the long title does not show its start in {mode} mode ({shot})")

    # Scrolled until the code block's top shows just above the window's bottom edge.
    editor = session.find("text", "Code")
    wx, wy, ww, wh = session.window_rect()
    session.move(wx + ww // 2, wy + wh // 2)
    for _ in range(60):
        top = session.extents(editor)[1]
        if top < wy + wh - 40:
            break
        session.xdo("click", 5, "sleep", 0.05)
    wait_until("the code block near the bottom edge",
               lambda: wy + wh - 120 < session.extents(editor)[1] < wy + wh - 10, timeout=5)
    cx, cy, cw, ch = session.extents(editor)
    session.move(cx + 200, wy + wh - 8)
    session.xdo("sleep", 0.05, "mousedown", 1, "sleep", 0.06, "mouseup", 1)
    x, y, w, h = at_rest(session, editor, "the clicked code block")
    # The row (the block's header above the panel) comes to the centre of the page under the header.
    header = session.find("text", "Titre du document").parent
    page_top = sum(session.extents(header)[1::2])
    page_middle = (page_top + wy + wh) / 2
    row_middle = (y - 48 + y + h) / 2
    if abs(row_middle - page_middle) > 40:
        raise Failure(f"the clicked code block is not centred: its middle at {row_middle:.0f}, the page's "
                      f"at {page_middle:.0f}")
    expect_green_outline(session, editor, "the clicked code block")

    # A code block added from the keyboard: Tab to « Ajouter un bloc » from the page (clicked beside the
    # column), its menu opened and « Code » chosen with keys.
    session.move(session.extents(header)[0] + 6, page_middle)
    session.xdo("click", 1)
    for _ in range(40):
        acc = focused(session)
        if acc is not None and acc.name == "Ajouter un bloc":
            break
        session.key("Tab")
        time.sleep(0.05)
    else:
        raise Failure("Tab never reached « Ajouter un bloc »")
    session.key("space")
    session.menu_item("Code")
    for _ in range(3):
        session.pump()
        if session._focused_menu_item is not None and session._focused_menu_item.name == "Code":
            break
        session.key("Down")
        time.sleep(0.1)
    session.key("Return")
    # Entered without the pointer, as a screen reader moves the keyboard (Tab's order is not at stake).
    new = wait_until("the new code block's editor", lambda: next(
        (a for a in session.find_all("text", "Code") if session.extents(a) != session.extents(editor)), None))
    session.settled_center(new)
    new.queryComponent().grabFocus()
    wait_until("the new code block in the store",
               lambda: session.query('SELECT count(*) FROM "DocBlock" WHERE typeRaw = \'code\'')[0][0] == 2)
    wait_until("the keyboard in the new code block",
               lambda: (lambda acc: acc is not None and acc.name == "Code" and
                        session.extents(acc) == session.extents(new))(focused(session)))
    expect_green_outline(session, new, "the code block added from the keyboard")
