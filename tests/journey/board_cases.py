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
    # On the hint that invites the drop.
    hint = session.find("label", "Glisser une carte ici ou ajoutez-en une.")
    session.drag(card(session, "Carte B1"), hint)
    expect_board(session, {"À faire": ["Carte A1", "Carte A2", "Carte A3"], "En cours": ["Carte B2"],
                           "Fait": ["Carte C1"], "Vide": ["Carte B1"]}, "B1 dropped into the empty column")


@case
def board_reorder_column(app):
    session = open_board(app)
    handle = session.find("push button", "Déplacer la colonne", root=column(session, "Fait"))
    session.drag(handle, session.center(column(session, "À faire")))
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
