"""Block orders at the ends of the 64-bit range, through the real window and the store."""

from harness import Failure, Session, case, seeded_session, wait_until

TOP = 2**63 - 1


@case
def order_duplicate_at_the_top_of_the_range(app):
    def fill(seed):
        doc = seed.doc(seed.project("Atelier"), "Notes")
        seed.block(doc, "text", 0, "Premier")
        seed.block(doc, "text", TOP, "Sommet")
    s = seeded_session(app, "order-top", fill)
    s.click(s.find("push button", "Projets"))
    s.click(s.find("list item", "Atelier"))
    s.click(s.find("list item", "Notes"))
    s.click(s.find("push button", "Éditer"))
    s.find("push button", "Voir")

    def fields():
        return sorted((f for f in s.find_all("text", "Texte")), key=lambda f: s.extents(f)[1])
    top_field = fields()[-1]
    Session.click(s, top_field)
    s.settled_center(top_field)
    y = s.extents(top_field)[1]
    button = wait_until("the block's « Actions du bloc »",
                        lambda: max((b for b in s.find_all("push button", "Actions du bloc") if s.extents(b)[1] < y),
                                    key=lambda b: s.extents(b)[1], default=None), timeout=5)
    Session.click(s, button)
    s.click(s.menu_item("Dupliquer"))

    rows = wait_until("the copy in the store", lambda: (lambda r: r if len(r) == 3 else None)(
        s.query('SELECT "order", content FROM "DocBlock" WHERE deletedAt IS NULL ORDER BY "order"')), timeout=5)
    shown = wait_until("three blocks on screen", lambda: (lambda f: f if len(f) == 3 else None)(fields()))
    texts = [f.queryText().getText(0, -1) for f in shown]
    orders = [order for order, _ in rows]
    if len(set(orders)) != 3 or [content for _, content in rows] != ["Premier", "Sommet", "Sommet"]:
        raise Failure(f"the store after « Dupliquer » at the top of the range: {rows}")
    if texts != ["Premier", "Sommet", "Sommet"]:
        raise Failure(f"the blocks shown after « Dupliquer »: {texts} (store {rows})")
