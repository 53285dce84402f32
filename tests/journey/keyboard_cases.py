"""The whole application with the keyboard alone: a screen opened with Return takes the keyboard on its
first control, the keyboard stays with its project after the edit sheet re-sorts the list, Ctrl+Tab
leaves a text, Tab follows the page and never stops where nothing shows, and the sheets' colours and
icons are chosen with the arrows and Space."""

import subprocess
import time

from harness import Failure, atspi, case, resize_window, seeded_session, wait_until

# Roles of places that take the keyboard and show nothing.
HIDDEN_STOPS = {"scroll pane", "viewport"}


def _fill(seed):
    projects = [seed.project(name) for name in ("Ancien", "Moyen", "Récent")]
    project = projects[-1]
    old = seed.doc(projects[0], "Notes")
    seed.block(old, "text", 0, "Premier")
    seed.block(old, "text", 1, "Second")
    checklist = seed.checklist("Tableau", project)
    column = seed.column(checklist, "À faire", 0)
    seed.card(column, "Carte A1", 0)
    seed.project("Vide")


def focus_in(session, root=None):
    """The innermost accessible that has the keyboard, in `root` or in any shown window."""
    roots = [root] if root is not None else [w for w in session.windows() if w is not None and session.showing(w)]
    found = []
    for top in roots:
        for acc in session.walk(top):
            try:
                if acc.getState().contains(atspi().STATE_FOCUSED):
                    found.append(acc)
            except Exception:
                continue
    # A text's box and viewport report its focus too (fillers): the text itself is what has it.
    controls = [a for a in found if a.getRoleName() != "filler"]
    return controls[-1] if controls else (found[0] if found else None)


def describe(acc):
    return "nothing" if acc is None else f"{acc.getRoleName()} {acc.name!r}"


def expect_focus(session, what, test, root=None, timeout=5):
    last = [None]

    def look():
        acc = focus_in(session, root)
        last[0] = acc
        return acc if acc is not None and test(acc) else None
    try:
        return wait_until(what, look, timeout=timeout)
    except Failure:
        raise Failure(f"{what}: the keyboard is on {describe(last[0])}") from None


def named(role, name):
    return lambda a: a.getRoleName() == role and a.name == name


def press(session, key, expect, what, root=None):
    session.key(key)
    acc = expect_focus(session, what, expect, root)
    if acc.getRoleName() in HIDDEN_STOPS:
        raise Failure(f"{key} stopped on a {acc.getRoleName()}")
    return acc


def tab_to(session, test, what, root=None, key="Tab", tries=40):
    for _ in range(tries):
        acc = focus_in(session, root)
        if acc is not None and test(acc):
            return acc
        if acc is not None and acc.getRoleName() in HIDDEN_STOPS:
            raise Failure(f"Tab stopped on a {acc.getRoleName()} on the way to {what}")
        session.key(key)
        time.sleep(0.05)
    raise Failure(f"Tab never reached {what}")


def give_back_the_keyboard(session):
    """What a window manager does when a sheet closes: the main window has the keyboard again (with no
    window manager, the X server leaves it nowhere). No pointer press: that would end the keyboard's
    navigation."""
    wids = subprocess.run(["xdotool", "search", "--pid", str(session.app.pid), "--name", "^Tolmek$"],
                          env=session.env, capture_output=True, text=True).stdout.split()
    for wid in wids:  # the shown one takes it; unmapped ones refuse
        subprocess.run(["xdotool", "windowfocus", wid], env=session.env, capture_output=True, timeout=10)
    wait_until("the main window active", lambda: session.window.getState().contains(atspi().STATE_ACTIVE))


def row_order(session, names):
    items = [i for i in session.find_all("list item") if i.name in names]
    return [i.name for i in sorted(items, key=lambda i: session.extents(i)[1])]


def actions_of(session, row_name):
    """The « Actions » button on the row of `row_name`."""
    row_y = session.extents(session.find("list item", row_name))[1]
    return min(session.find_all("push button", "Actions"), key=lambda b: abs(session.extents(b)[1] - row_y))


@case
def keyboard_screens_take_the_keyboard_and_keep_it_on_their_object(app):
    session = seeded_session(app, "keyboard", _fill)
    resize_window(session, 1100, 720)
    names = ("Ancien", "Moyen", "Récent", "Vide")
    session.click(session.find("push button", "Projets"))
    session.click(session.find("text", "Rechercher un projet…"))
    wait_until("the projects newest first", lambda: row_order(session, names) == ["Vide", "Récent", "Moyen", "Ancien"])

    # The edit sheet saved from the keyboard moves « Ancien » to the top: the keyboard goes with it.
    target = actions_of(session, "Ancien")
    tab_to(session, lambda a: a.name == "Actions" and session.extents(a) == session.extents(target),
           "the « Actions » of « Ancien »")
    session.key("space")
    session.menu_item("Modifier")
    session.key("Return")
    sheet = session.dialog("Modifier le projet")
    session.key("Return")
    wait_until("the sheet to close", lambda: not session.find_all("dialog", "Modifier le projet", root=session.app_root))
    wait_until("« Ancien » first", lambda: row_order(session, names) == ["Ancien", "Vide", "Récent", "Moyen"])
    give_back_the_keyboard(session)
    expect_focus(session, "the keyboard on the « Actions » of « Ancien »",
                 lambda a: a.name == "Actions" and session.extents(a) == session.extents(actions_of(session, "Ancien")))
    del sheet

    # Return on a row opens it with the keyboard on the new screen's first control, not on the sidebar.
    press(session, "shift+Tab", named("list item", "Ancien"), "Shift+Tab back to the row")
    press(session, "Return", named("text", "Rechercher un document…"), "the documents' search field")
    tab_to(session, named("list item", "Notes"), "the row « Notes »")
    press(session, "Return", named("text", "Titre du document"), "the editor's title field")
    session.key("space")
    wait_until("Space typed in the title",
               lambda: session.query('SELECT title FROM "Doc"') == [("Notes ",)] or
               session.query('SELECT title FROM "Doc"') == [(" Notes",)])
    session.find("push button", "Éditer")   # still in the document

    # A board opened with Return: its first column's handle.
    session.click(session.find("push button", "Checklists"))
    session.click(session.find("text", "Rechercher…"))
    tab_to(session, named("list item", "Tableau"), "the row « Tableau »")
    press(session, "Return", named("push button", "Déplacer la colonne"), "the first column's handle")
    if len(session.query('SELECT id FROM "Project"')) != 4:
        raise Failure("a project was lost on the way")


@case
def keyboard_tab_follows_the_page_and_ctrl_tab_leaves_texts(app):
    session = seeded_session(app, "keyboard", _fill)
    resize_window(session, 1100, 720)

    # The empty documents screen: « Créer un document » before the pager.
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Vide"))
    session.click(session.find("text", "Rechercher un document…"))
    tab_to(session, lambda a: a.name in ("Créer un document", "Page précédente", "Page suivante"),
           "the empty state or the pager")
    expect_focus(session, "« Créer un document » first", named("push button", "Créer un document"))
    session.click(session.find("push button", "Retour aux projets"))

    # The editor: the header, the blocks in order, « Ajouter un bloc »; Tab types in a text.
    session.click(session.find("list item", "Ancien"))
    session.click(session.find("list item", "Notes"))
    session.click(session.find("push button", "Éditer"))
    session.click(session.find("text", "Titre du document"))

    def text_starting(start):
        return lambda a: a.getRoleName() == "text" and a.queryText().getText(0, -1).startswith(start)
    tab_to(session, text_starting("Premier"), "the first block")
    session.key("End", "Tab")
    wait_until("Tab typed in the block", lambda: ("Premier\t",) in session.query('SELECT content FROM "DocBlock"'))
    press(session, "ctrl+Tab", text_starting("Second"), "Ctrl+Tab to the second block")
    press(session, "ctrl+Tab", named("push button", "Ajouter un bloc"), "Ctrl+Tab to « Ajouter un bloc »")
    press(session, "shift+Tab", text_starting("Second"), "Shift+Tab back to the second block")
    press(session, "ctrl+shift+Tab", lambda a: not text_starting("Second")(a), "Ctrl+Shift+Tab out of the block")
    tab_to(session, text_starting("Premier"), "the first block, backwards", key="shift+Tab", tries=5)
    if sorted(session.query('SELECT content FROM "DocBlock"')) != [("Premier\t",), ("Second",)]:
        raise Failure(f"the blocks changed: {session.query('SELECT content FROM DocBlock')}")

    # The card sheet: « Modifier » hands the keyboard to the title; Ctrl+Tab leaves the description.
    session.click(session.find("push button", "Checklists"))
    session.click(session.find("list item", "Tableau"))
    session.click(session.find("push button", "Carte A1"))
    sheet = session.dialog("Détails de l’étape")
    session.click(session.find("push button", "Modifier", root=sheet))
    sheet = session.dialog("Modifier l’étape")
    expect_focus(session, "the title after « Modifier »", named("text", "Titre"), root=sheet)
    tab_to(session, lambda a: a.getRoleName() == "text" and a.name != "Titre", "the description", root=sheet)
    press(session, "ctrl+Tab", named("text", "https://…"), "Ctrl+Tab to the link field", root=sheet)


@case
def keyboard_no_hidden_stops_and_sheets_choose_colour_and_icon(app):
    session = seeded_session(app, "keyboard", _fill)
    resize_window(session, 1100, 720)
    # Round the dashboard: every stop is a control.
    wx, wy, ww, wh = session.window_rect()
    session.click((wx + ww // 2, wy + wh - 20))
    seen = []
    for _ in range(30):
        session.key("Tab")
        time.sleep(0.05)
        acc = focus_in(session)
        if acc is not None and acc.getRoleName() in HIDDEN_STOPS:
            raise Failure(f"Tab stopped on a {acc.getRoleName()} after {seen[-3:]}")
        seen.append(describe(acc))

    # The new project sheet: Tab reaches the chosen colour, the arrows move, Space chooses.
    session.click(session.find("push button", "Projets"))
    session.click(session.find("push button", "Nouveau projet"))
    sheet = session.dialog("Nouveau projet")
    session.type("Clavier")
    tab_to(session, lambda a: a.getRoleName() == "radio button", "the colours", root=sheet)
    first = focus_in(session, sheet)
    if not first.getState().contains(atspi().STATE_CHECKED):
        raise Failure(f"Tab reached the colour {first.name!r}, which is not the chosen one")
    right = press(session, "Right", lambda a: a.getRoleName() == "radio button" and a.name != first.name,
                  "Right to the next colour", root=sheet)
    session.key("space")
    wait_until("the colour chosen", lambda: right.getState().contains(atspi().STATE_CHECKED))
    if first.getState().contains(atspi().STATE_CHECKED):
        raise Failure("two colours are checked")
    press(session, "Tab", named("push button", "Couleur libre"), "Tab to « Couleur libre »", root=sheet)
    icon = press(session, "Tab", lambda a: a.getRoleName() == "radio button", "Tab to the icons", root=sheet)
    below = press(session, "Down", lambda a: a.getRoleName() == "radio button" and a.name != icon.name,
                  "Down to the icon below", root=sheet)
    session.key("space")
    wait_until("the icon chosen", lambda: below.getState().contains(atspi().STATE_CHECKED))
    if not right.getState().contains(atspi().STATE_CHECKED):
        raise Failure("choosing an icon unchecked the colour")
    session.click(session.find("push button", "Créer", root=sheet))
    wait_until("the project stored", lambda: session.query(
        'SELECT colorKey, iconName FROM "Project" WHERE name = ?', ("Clavier",)))
    color, icon_name = session.query('SELECT colorKey, iconName FROM "Project" WHERE name = ?', ("Clavier",))[0]
    if color == "blue" or icon_name == "folder.fill":
        raise Failure(f"the keyboard's choice was not stored: {color}, {icon_name}")
