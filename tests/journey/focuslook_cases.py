"""One focus look per kind of control, seen on the screen: the fields' outline (the card sheet's title and
link, the new checklist's name) and the buttons' ring (the documents screen's « Créer un document », the
sheets' « Créer » and « Enregistrer ») reach 3:1 against the pixels on both sides of them."""

from harness import Failure, case, seeded_session, resize_window, wait_until
from keyboard_cases import expect_focus, named, tab_to


def _fill(seed):
    seed.project("Vide")
    checklist = seed.checklist("Tableau", None)
    column = seed.column(checklist, "À faire", 0)
    seed.card(column, "Carte A1", 0)


def _luminance(px):
    def channel(v):
        v /= 255
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = px
    return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b)


def _ratio(a, b):
    la, lb = sorted((_luminance(a), _luminance(b)))
    return (lb + 0.05) / (la + 0.05)


def expect_ring(session, acc, what, frame=(0, 0)):
    """The indicator at the middle of the left edge of `acc` (grown by `frame`, the box a frameless field
    sits in): its inner pixel against the pixel outside and the one past the 2-pixel ring."""
    x, y, w, h = session.extents(acc)
    x -= frame[0]
    y += h // 2
    seen = [None]

    def measured():
        outside, _, ring, inside = session.pixels((x - 1, y, 4, 1))[0]
        seen[0] = (_ratio(ring, outside), _ratio(ring, inside))
        return min(seen[0]) >= 3
    try:
        wait_until(f"the focus of {what} at 3:1", measured, timeout=5)
    except Failure:
        raise Failure(f"{what}: the focus reads at {seen[0][0]:.2f}:1 outside, {seen[0][1]:.2f}:1 inside") from None


@case
def focuslook_fields_and_buttons_show_one_focus_look_at_3_to_1(app):
    session = seeded_session(app, "focuslook", _fill)
    resize_window(session, 1100, 720)

    # The empty documents screen's primary button, reached with Tab.
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Vide"))
    session.click(session.find("text", "Rechercher un document…"))
    button = tab_to(session, named("push button", "Créer un document"), "« Créer un document »")
    expect_ring(session, button, "« Créer un document »")

    # The new project sheet's default button.
    session.click(session.find("push button", "Retour aux projets"))
    session.click(session.find("push button", "Nouveau projet"))
    sheet = session.dialog("Nouveau projet")
    session.type("Anneau")
    button = tab_to(session, named("push button", "Créer"), "the sheet's « Créer »", root=sheet)
    expect_ring(session, button, "the sheet's « Créer »")
    session.key("Escape")

    # The new checklist's name, as typed in, then its « Créer ».
    session.click(session.find("push button", "Checklists"))
    session.click(session.find("push button", "Nouvelle"))
    sheet = session.dialog("Nouvelle checklist")
    name = session.find("text", "Nom", root=sheet)
    session.click(name)
    session.type("Anneau")
    expect_ring(session, name, "the checklist's name", frame=(12, 10))
    button = tab_to(session, named("push button", "Créer"), "the checklist's « Créer »", root=sheet)
    expect_ring(session, button, "the checklist's « Créer »")
    session.key("Escape")

    # The card sheet's title and link fields, then « Enregistrer ».
    session.click(session.find("list item", "Tableau"))
    session.click(session.find("push button", "Carte A1"))
    sheet = session.dialog("Détails de l’étape")
    session.click(session.find("push button", "Modifier", root=sheet))
    sheet = session.dialog("Modifier l’étape")
    title = expect_focus(session, "the title after « Modifier »", named("text", "Titre"), root=sheet)
    expect_ring(session, title, "the card's title", frame=(12, 10))
    tab_to(session, lambda a: a.getRoleName() == "text" and a.name != "Titre", "the description", root=sheet)
    session.key("ctrl+Tab")
    link = expect_focus(session, "the link field after Ctrl+Tab", named("text", "https://…"), root=sheet)
    expect_ring(session, link, "the card's link field", frame=(12, 10))
    button = tab_to(session, named("push button", "Enregistrer"), "« Enregistrer »", root=sheet)
    expect_ring(session, button, "« Enregistrer »")
    if session.query('SELECT name FROM "Checklist"') != [("Tableau",)]:
        raise Failure("a key created a checklist")
