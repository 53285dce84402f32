"""The projects and documents searches over thousands of rows, typed and erased with real keys: what
each key shows, in which order, the empty state of a search that finds nothing, and the rows after the
search is erased."""

from harness import Failure, case, resize_window, seeded_session, wait_until

COUNT = 3000


def shown_rows(session):
    """The names of the rows on the page, top to bottom."""
    items = session.find_all("list item")
    return [i.name for i in sorted(items, key=lambda i: session.extents(i)[1])]


@case
def search_projects_typed_and_erased(app):
    def fill(seed):
        for i in range(COUNT):
            seed.project(f"Projet {i}")
        garden = seed.project("Jardin partagé", color="green")
        seed.conn.execute('UPDATE "Project" SET details = ? WHERE id = ?', ("Plan du réseau d’arrosage", garden))
        seed.project("Bureau")
    session = seeded_session(app, "search", fill)
    resize_window(session, 1100, 720)
    session.click(session.find("push button", "Projets"))
    newest = ["Bureau", "Jardin partagé"] + [f"Projet {i}" for i in range(COUNT - 1, COUNT - 11, -1)]
    wait_until("the newest projects first", lambda: shown_rows(session) == newest, timeout=10)

    field = session.find("text", "Rechercher un projet…")
    session.click(field)
    # A description matches as a name does, ignoring case.
    session.type("ARROSAGE", delay=40)
    wait_until("the project whose description holds the word",
               lambda: shown_rows(session) == ["Jardin partagé"], timeout=5)
    session.key(*["BackSpace"] * 8)
    wait_until("every project again, newest first", lambda: shown_rows(session) == newest, timeout=5)

    # Typing on narrows, erasing a character widens again; newest first throughout.
    session.type("projet 123", delay=40)
    wait_until("the projects whose name holds « projet 123 »",
               lambda: shown_rows(session) == ["Projet 1239", "Projet 1238", "Projet 1237", "Projet 1236",
                                                   "Projet 1235", "Projet 1234", "Projet 1233", "Projet 1232",
                                                   "Projet 1231", "Projet 1230", "Projet 123"], timeout=5)
    session.type("4")
    wait_until("only « Projet 1234 »", lambda: shown_rows(session) == ["Projet 1234"], timeout=5)
    session.key("BackSpace", "BackSpace")
    wait_until("the projects whose name holds « projet 12 », newest first",
               lambda: shown_rows(session)[:3] == ["Projet 1299", "Projet 1298", "Projet 1297"], timeout=5)

    # Nothing found: the search's own empty state, and no row left behind.
    session.type("zq")
    session.find("label", "Aucun projet ne correspond à votre recherche", timeout=5)
    session.find("label", "Essaie un autre terme, ou crée un nouveau projet.")
    if session.find_all("list item"):
        raise Failure("rows stay under the empty state")
    session.key("ctrl+a", "BackSpace")
    wait_until("every project once the search is erased", lambda: shown_rows(session) == newest, timeout=5)
    if field.queryText().getText(0, -1):
        raise Failure("the search field is not empty")
    # Searching reads and writes nothing: the store holds what was seeded.
    count = session.query('SELECT COUNT(*) FROM "Project"')[0][0]
    if count != COUNT + 2:
        raise Failure(f"{count} projects in the store, {COUNT + 2} seeded")


@case
def search_documents_typed_and_erased(app):
    def fill(seed):
        project = seed.project("Chantier")
        for i in range(COUNT):
            seed.doc(project, f"Document {i}")
        seed.doc(project, "École du quartier")
    session = seeded_session(app, "search-docs", fill)
    resize_window(session, 1100, 720)
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Chantier"))
    newest = ["École du quartier"] + [f"Document {i}" for i in range(COUNT - 1, COUNT - 12, -1)]
    wait_until("the newest documents first", lambda: shown_rows(session) == newest, timeout=10)

    field = session.find("text", "Rechercher un document…")
    session.click(field)
    # Accents and case are ignored in titles.
    session.type("ECOLE", delay=40)
    wait_until("the document whose title holds « École »",
               lambda: shown_rows(session) == ["École du quartier"], timeout=5)
    session.key(*["BackSpace"] * 5)
    wait_until("every document again, newest first", lambda: shown_rows(session) == newest, timeout=5)
    session.type("document 271", delay=40)
    wait_until("the documents whose title holds « document 271 », newest first",
               lambda: shown_rows(session) == [f"Document 271{i}" for i in range(9, -1, -1)] + ["Document 271"],
               timeout=5)
    session.key("BackSpace")
    wait_until("the documents whose title holds « document 27 », newest first",
               lambda: shown_rows(session)[:2] == ["Document 2799", "Document 2798"], timeout=5)
    session.type("q")
    session.find("label", "Aucun document ne correspond à votre recherche", timeout=5)
    session.find("label", "Essayez un autre terme, ou créez un nouveau document.")
    if session.find_all("list item"):
        raise Failure("rows stay under the empty state")
