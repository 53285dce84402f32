"""Checklists and their board through the real window: drops that the board refuses leave the store as
it was, the grid of checklists never clips a title, and a column's "…" clicked with the pointer leaves
no keyboard state behind."""

from board_cases import COLUMNS, below, card, column, expect_board, open_board
from harness import Failure, case, focused, wait_until


def _orders(session):
    """Every order, owner and stamp a drop may change, in one comparable value."""
    return (
        session.query('SELECT id, "column", orderIndex, updatedAt FROM "ChecklistCard" ORDER BY id'),
        session.query('SELECT id, orderIndex, updatedAt FROM "ChecklistColumn" ORDER BY id'),
        session.query('SELECT id, updatedAt FROM "Checklist" ORDER BY id'),
    )


def _between(session, upper, lower):
    """The point halfway between two stacked tiles: the slot in front of the lower one."""
    ux, uy, uw, uh = session.extents(card(session, upper))
    _, ly, _, _ = session.extents(card(session, lower))
    return ux + uw // 2, (uy + uh + ly) // 2


@case
def checklists_refused_drops_change_nothing(app):
    """A card released below a shorter column or over another card's tile, a column released over a
    card slot, a drop zone or the gap between two columns: each goes back, and the store keeps every
    order and every stamp. The slots and a column's card still take what they take."""
    session = open_board(app)
    start = {name: list(cards) for name, cards in COLUMNS.items()}
    expect_board(session, start, "the board as seeded")
    before = _orders(session)
    handle = session.find("push button", "Déplacer la colonne", root=column(session, "Fait"))
    bx, _, bw, _ = session.extents(card(session, "Carte B1"))
    fx, _, _, _ = session.extents(card(session, "Carte C1"))
    gap = ((bx + bw + fx) // 2, session.center(card(session, "Carte B1"))[1])
    refused = [
        ("a card below the shorter column « Fait »", "Carte A1", below(session, column(session, "Fait"), 40)),
        ("a card over the tile of B1", "Carte A1", session.center(card(session, "Carte B1"))),
        ("a column over the slot between B1 and B2", handle, _between(session, "Carte B1", "Carte B2")),
        ("a column over the drop zone of « En cours »", handle, below(session, card(session, "Carte B2"), 40)),
        ("a column in the gap between « En cours » and « Fait »", handle, gap),
    ]
    for what, source, target in refused:
        if isinstance(source, str):
            source = card(session, source)
        session.drag(source, target)
        expect_board(session, start, f"the board unchanged after {what}")
        if _orders(session) != before:
            raise Failure(f"{what}: the store changed ({before} then {_orders(session)})")
    # The same hand onto a slot, and a column onto another column's card: taken.
    session.drag(card(session, "Carte A1"), _between(session, "Carte B1", "Carte B2"))
    expect_board(session, {"À faire": ["Carte A2", "Carte A3"], "En cours": ["Carte B1", "Carte A1", "Carte B2"],
                           "Fait": ["Carte C1"], "Vide": []}, "A1 dropped between B1 and B2")
    session.drag(handle, session.center(card(session, "Carte A2")))
    expect_board(session, {"Fait": ["Carte C1"], "À faire": ["Carte A2", "Carte A3"],
                           "En cours": ["Carte B1", "Carte A1", "Carte B2"], "Vide": []}, "« Fait » moved first")


def _blue_pixels(session, acc):
    """Pixels of the accent blue a focus ring draws, inside `acc`'s rectangle."""
    rows = session.pixels(session.extents(acc))
    return sum(1 for row in rows for (r, g, b) in row if b - r > 100 and b > 180)


@case
def checklists_column_menu_clicked_keeps_no_keyboard(app):
    """A click on a column's "…" opens its menu; once the menu is closed the button shows no focus ring
    and Space does not open the menu again."""
    session = open_board(app)
    options = session.find("push button", "Options de la colonne", root=column(session, "En cours"))
    # The person used Tab before: a click must end keyboard navigation.
    session.key("Tab")
    session.click(options)
    session.menu_item("Modifier")
    session.key("Escape")
    wait_until("the menu to close and the ring to stay away", lambda: _blue_pixels(session, options) == 0, timeout=5)
    now = focused(session)
    if now is not None and now.name == "Options de la colonne":
        raise Failure("the clicked « … » kept the keyboard after its menu closed")
    session.key("space")
    try:
        item = session.menu_item("Modifier", timeout=1.5)
    except Failure:
        item = None
    if item is not None:
        raise Failure("Space after the click opened the column's menu again")


LONG_NAME = "Réception des travaux de la salle polyvalente et des vestiaires"


@case
def checklists_grid_title_of_two_lines_not_clipped(app):
    """In the grid, a checklist whose name takes two lines makes its card, and its row, taller than the
    one-line cards: both lines of the title show whole, above the subtitle."""
    def fill(seed):
        for name in ("Court", "Bref", "Net", "Petit", LONG_NAME, "Un", "Deux"):
            seed.checklist(name)
    from harness import resize_window, seeded_session
    session = seeded_session(app, "checklists", fill)
    resize_window(session, 1100, 800)
    session.click(session.find("push button", "Checklists"))
    session.click(session.find("check box", "Grille"))
    long_card = session.find("list item", LONG_NAME)
    short_card = session.find("list item", "Court")

    def heights():
        return session.extents(long_card)[3], session.extents(short_card)[3]
    wait_until("the long card taller than a one-line card", lambda: heights()[0] > heights()[1] >= 120, timeout=5)
    title = session.find("label", LONG_NAME, root=long_card)
    subtitle = session.find("label", "Checklist globale", root=long_card)
    cx, cy, cw, ch = session.extents(long_card)
    tx, ty, tw, th = session.extents(title)
    _, sy, _, _ = session.extents(subtitle)
    # Two lines of 15 px bold text: about 38 px, laid out whole above the subtitle, inside the card.
    if th < 36:
        raise Failure(f"the two-line title is given {th} px, its second line is cut")
    if ty + th > sy or sy > cy + ch:
        raise Failure(f"the title ({ty}+{th}) runs into the subtitle ({sy}) or the card's edge ({cy}+{ch})")
    # The short cards of other rows keep the height of one line.
    if heights()[1] > 130:
        raise Failure(f"a one-line card is {heights()[1]} px high")
