"""A checklist board dragged with the mouse at hand speed: cards between columns, within a column,
into an empty column, a column reordered, and the view staying put after a drop."""

import time

from harness import Failure, case, inside, focused, resize_window, seeded_session, wait_until

COLUMNS = {"À faire": ["Carte A1", "Carte A2", "Carte A3"], "En cours": ["Carte B1", "Carte B2"],
           "Fait": ["Carte C1"], "Vide": []}


# The buttons of a column that are not cards.
COLUMN_BUTTONS = {"Options de la colonne", "Déplacer la colonne", "Ajouter une étape"}


def _fill(seed):
    project = seed.project("Atelier")
    checklist = seed.checklist("Tableau", project)
    for i, (name, cards) in enumerate(COLUMNS.items()):
        column = seed.column(checklist, name, i)
        for j, title in enumerate(cards):
            seed.card(column, title, j)


def open_board(app, wide=True):
    session = seeded_session(app, "board", _fill)
    if wide:
        resize_window(session, 1900, 1000)
    session.click(session.find("push button", "Checklists"))
    session.click(session.find("list item", "Tableau"))
    session.find("push button", "Carte A1")
    return session


def stored_columns(session):
    """Column name -> its cards' titles, both in the stored order."""
    rows = session.query(
        'SELECT col.name, card.title FROM "ChecklistColumn" col LEFT JOIN "ChecklistCard" card'
        ' ON card."column" = col.id AND card.deletedAt IS NULL WHERE col.deletedAt IS NULL'
        " ORDER BY col.orderIndex, card.orderIndex")
    board = {}
    for column, title in rows:
        board.setdefault(column, [])
        if title is not None:
            board[column].append(title)
    return board


def shown_columns(session):
    """Column name -> the cards shown in it, top to bottom, as the screen shows them (left to right)."""
    board = []
    for column in session.find_all("filler"):
        names = [column.getChildAtIndex(i).name for i in range(column.childCount)]
        if "Déplacer la colonne" not in names:
            continue
        cards = [c for c in session.find_all("push button", root=column) if c.name not in COLUMN_BUTTONS]
        cards.sort(key=lambda c: session.extents(c)[1])
        board.append((session.extents(column)[0], column.name, [c.name for c in cards]))
    board.sort()
    return {name: cards for _, name, cards in board}


def expect_board(session, expected, what):
    """Waits until the store and the screen both hold `expected`."""
    last = {}

    def matches():
        last["store"] = stored_columns(session)
        last["screen"] = shown_columns(session)
        return last["store"] == expected and last["screen"] == expected and \
            list(last["store"]) == list(expected) and list(last["screen"]) == list(expected)
    try:
        wait_until(what, matches, timeout=5)
    except Failure:
        raise Failure(f"{what}: expected {expected}, store has {last.get('store')}, "
                      f"screen shows {last.get('screen')}") from None


def card(session, title):
    return session.find("push button", title)


def column(session, name):
    return session.find("filler", name)


def below(session, acc, offset):
    x, y, w, h = session.extents(acc)
    return x + w // 2, y + h + offset


@case
def board_drag_card_between_columns(app):
    session = open_board(app)
    session.drag(card(session, "Carte A1"), below(session, card(session, "Carte B2"), 40))
    expect_board(session, {"À faire": ["Carte A2", "Carte A3"], "En cours": ["Carte B1", "Carte B2", "Carte A1"],
                           "Fait": ["Carte C1"], "Vide": []}, "A1 dropped under the last card of « En cours »")


@case
def board_drag_card_within_column(app):
    session = open_board(app)
    a1, a2 = session.extents(card(session, "Carte A1")), session.extents(card(session, "Carte A2"))
    gap = (a1[0] + a1[2] // 2, (a1[1] + a1[3] + a2[1]) // 2)
    session.drag(card(session, "Carte A3"), gap)
    expect_board(session, {"À faire": ["Carte A1", "Carte A3", "Carte A2"], "En cours": ["Carte B1", "Carte B2"],
                           "Fait": ["Carte C1"], "Vide": []}, "A3 dropped between A1 and A2")


@case
def board_drag_card_into_empty_column(app):
    session = open_board(app)
    # Just under the hint that invites the drop: the column's drop zone.
    hint = session.find("label", "Glisser une carte ici ou ajoutez-en une.")
    session.drag(card(session, "Carte B1"), below(session, hint, 40))
    expect_board(session, {"À faire": ["Carte A1", "Carte A2", "Carte A3"], "En cours": ["Carte B2"],
                           "Fait": ["Carte C1"], "Vide": ["Carte B1"]}, "B1 dropped into the empty column")


@case
def board_reorder_column(app):
    session = open_board(app)
    handle = session.find("push button", "Déplacer la colonne", root=column(session, "Fait"))
    session.drag(handle, session.center(card(session, "Carte A2")))
    expect_board(session, {"Fait": ["Carte C1"], "À faire": ["Carte A1", "Carte A2", "Carte A3"],
                           "En cours": ["Carte B1", "Carte B2"], "Vide": []}, "« Fait » moved first")


@case
def board_view_stays_after_drop(app):
    # The window's own size: the board is wider than its view and scrolls sideways.
    session = open_board(app, wide=False)
    before = {name: session.extents(column(session, name))[0] for name in ("À faire", "En cours")}
    # The last card of the second column: what follows it is out of sight, to the right.
    session.drag(card(session, "Carte B2"), below(session, card(session, "Carte A3"), 40))
    expect_board(session, {"À faire": ["Carte A1", "Carte A2", "Carte A3", "Carte B2"], "En cours": ["Carte B1"],
                           "Fait": ["Carte C1"], "Vide": []}, "B2 dropped under the last card of « À faire »")
    # Whatever the board does after the drop, it does it in the moment a person takes to look.
    time.sleep(0.4)
    after = {name: session.extents(column(session, name))[0] for name in before}
    if after != before:
        raise Failure(f"the board moved sideways after the drop: columns were at {before}, now at {after}")
    moved = card(session, "Carte B2")
    if not inside(session.extents(moved), session.window_rect()):
        raise Failure("the dropped card is out of sight")
    now = focused(session)
    if now is not None and now.name == "Options de la colonne":
        raise Failure("the keyboard focus went to a column's options button after the drop")


def checklist_stamp(session):
    return session.query('SELECT updatedAt FROM "Checklist" WHERE name = ?', ("Tableau",))[0][0]


@case
def board_card_refused_on_header_and_between_columns(app):
    """A card released over a column's header or in the gap between two columns goes back: the store
    keeps every card where it was and the board is not stamped; a drop on a card slot still works."""
    session = open_board(app)
    start = {name: list(cards) for name, cards in COLUMNS.items()}
    expect_board(session, start, "the board as seeded")
    stamp = checklist_stamp(session)
    a1 = card(session, "Carte A1")
    # Over the header of « En cours », on its name, left of its buttons.
    options = session.find("push button", "Options de la colonne", root=column(session, "En cours"))
    ox, oy = session.center(options)
    session.drag(a1, (ox - 120, oy))
    # Between « En cours » and « Fait », level with the first cards.
    # The tiles stand as far inside their columns on both sides: halfway between them is the gap.
    bx, _, bw, _ = session.extents(card(session, "Carte B1"))
    fx, _, _, _ = session.extents(card(session, "Carte C1"))
    gap = ((bx + bw + fx) // 2, session.center(card(session, "Carte B1"))[1])
    session.drag(card(session, "Carte A1"), gap)
    # The card stands where it stood, on the screen and in the store, and nothing was stamped.
    expect_board(session, start, "A1 back in « À faire » after both refused drops")
    if checklist_stamp(session) != stamp:
        raise Failure("a refused drop stamped the checklist")
    x, y, w, h = session.extents(card(session, "Carte A1"))
    if not inside((x, y, w, h), session.extents(column(session, "À faire"))):
        raise Failure("A1 is not drawn inside « À faire » after the refused drops")
    # The same hand, onto a slot: taken.
    session.drag(card(session, "Carte A1"), below(session, card(session, "Carte B2"), 40))
    expect_board(session, {"À faire": ["Carte A2", "Carte A3"], "En cours": ["Carte B1", "Carte B2", "Carte A1"],
                           "Fait": ["Carte C1"], "Vide": []}, "A1 dropped under the last card of « En cours »")


NOTES_CUT = "un\ndeux\ntrois\nquatre\ncinq"
NOTES_ELLIPSIS = "un\ndeux\ntrois\u2026"


def _fill_tiles(seed):
    project = seed.project("Atelier")
    checklist = seed.checklist("Tableau", project)
    col = seed.column(checklist, "À faire", 0)
    seed.card(col, "Notes A", 0, NOTES_CUT)
    seed.card(col, "Notes B", 1, NOTES_ELLIPSIS)
    card_id = seed.card(col, "Avec un fichier", 2)
    seed.conn.execute(
        'INSERT INTO "ChecklistAttachment" (id, fileName, mimeType, localPath, remoteId, createdAt, card)'
        " VALUES (?, ?, NULL, ?, NULL, ?, ?)",
        (seed_id(), "Compte rendu.pdf", ATTACHMENT_PATH, seed._stamp(), card_id))


def seed_id():
    from seed import new_id
    return new_id()


ATTACHMENT_PATH = ("/home/personne/Documents/Archives des projets/Atelier de printemps/Réunions et comptes rendus"
                   "/Semaine quarante-deux/Compte rendu.pdf")


def _luma(px):
    r, g, b = px
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


@case
def board_tile_shadow_and_cut_notes(app):
    """A tile casts a visible shadow that deepens under the pointer, and notes of five lines show
    three, the third ending with an ellipsis."""
    session = seeded_session(app, "tiles", _fill_tiles)
    resize_window(session, 1400, 900)
    session.click(session.find("push button", "Checklists"))
    session.click(session.find("list item", "Tableau"))
    a, b = card(session, "Notes A"), card(session, "Notes B")
    session.settled_center(b)
    session.move(5, 5)   # nothing hovered
    ax, ay, aw, ah = session.extents(a)
    bx, by, bw, bh = session.extents(b)
    # Five lines of notes take the room of three, and are drawn as the three lines "un", "deux",
    # "trois…" are: the fourth and fifth lines are left out and the third says so.
    if ah != bh:
        raise Failure(f"a tile with five lines of notes is {ah} high, one with three {bh}")
    top = 34   # below the one-line title
    shown_a = session.pixels((ax + 4, ay + top, aw - 8, ah - top - 4))
    shown_b = session.pixels((bx + 4, by + top, bw - 8, bh - top - 4))
    if shown_a != shown_b:
        raise Failure("the notes cut to three lines are not drawn as « un / deux / trois… »")

    # The shadow: below the tile's bottom edge, the column's background is darkened. The background
    # is read beside « Ajouter une étape », where nothing casts a shadow.
    cx, _, cw, _ = session.extents(column(session, "À faire"))
    _, add_y = session.center(session.find("push button", "Ajouter une étape", root=column(session, "À faire")))
    column_bg = _luma(session.pixels((cx + cw - 60, add_y, 1, 1))[0][0])

    def darkening(rows):
        return [column_bg - _luma(row[len(row) // 2]) for row in rows]
    # From the tile's bottom edge down into the gap, which holds the 10-px slot between tiles.
    rest = darkening(session.pixels((bx + bw // 2 - 2, by + bh, 5, 26)))
    if max(rest[1:6]) < 20:
        raise Failure(f"no visible shadow under the tile at rest: darkening {[round(v) for v in rest]}")
    # Hovered, it spreads and falls further.
    session.move(bx + bw // 2, by + bh // 2)

    def deeper():
        hovered = darkening(session.pixels((bx + bw // 2 - 2, by + bh, 5, 26)))
        return hovered if sum(hovered[6:14]) > sum(rest[6:14]) + 15 else None
    wait_until("the hovered tile's deeper shadow", deeper, timeout=3)


@case
def card_sheet_shows_attachment_path(app):
    """A file attachment's row shows the file's name and, below it, its stored path cut in the middle:
    the start of the path and the file's name both readable."""
    session = seeded_session(app, "attachment", _fill_tiles)
    session.click(session.find("push button", "Checklists"))
    session.click(session.find("list item", "Tableau"))
    session.click(card(session, "Avec un fichier"))
    sheet = session.dialog("Détails de l’étape")
    name = session.find("label", "Compte rendu.pdf", root=sheet)
    path = session.find("label", ATTACHMENT_PATH, root=sheet)
    nx, ny, nw, nh = session.extents(name)
    px, py, pw, ph = session.extents(path)
    if not (py >= ny + nh and abs(px - nx) <= 1 and ph > 0):
        raise Failure(f"the path {px, py, pw, ph} is not under the name {nx, ny, nw, nh}")
    # Drawn, and cut to its row: the path is far longer than the row is wide, and its ink starts at the
    # line's left edge and runs to near its right edge (the middle gave way, not the ends).
    rows = session.pixels((px, py, pw, ph))
    background = max(_luma(p) for row in rows for p in row)
    inked = [c for c in range(pw) if any(background - _luma(row[c]) > 60 for row in rows)]
    if not inked:
        raise Failure("the path line is blank on the screen")
    if inked[0] > 3 or inked[-1] < pw - 20 or pw > 700:
        raise Failure(f"the path line's ink spans {inked[0]}..{inked[-1]} of its {pw} px")
