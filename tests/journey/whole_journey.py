"""One whole journey, as a person makes it: a project, a document with bold text, code and an image,
a checklist with its columns and cards (a description, a link, a file), cards moved by mouse and by
keyboard, quit with « Quitter », start again, and everything is still there, on screen and in the store."""

import base64
import os

from board_cases import expect_board, stored_columns
from harness import Failure, Session, atspi, case, wait_until, write_png

DESCRIPTION = "Mesurer le niveau avant de fixer."
LINK = "https://exemple.fr/charpente"
BOARD = {"À faire": ["Poser les poutres"], "Terminé": ["Poser les liteaux", "Commander les tuiles"],
         "En revue": []}


def create_project(s, name):
    s.click(s.find("push button", "Nouveau projet"))
    sheet = s.dialog("Nouveau projet")
    s.click(s.find("text", "Nom du projet", root=sheet))
    s.type(name)
    s.click(s.find("push button", "Créer", root=sheet))
    s.click(s.find("push button", name))


def create_document(s, title):
    s.click(s.find("push button", "Créer un document"))
    sheet = s.dialog("Nouveau document")
    s.click(s.find("text", "Titre", root=sheet))
    s.type(title)
    s.click(s.find("push button", "Créer", root=sheet))
    s.click(s.find("list item", title))
    s.click(s.find("push button", "Éditer"))
    s.find("push button", "Voir")


def choose_file(s, caption, path):
    picker = s.dialog(caption)
    field = s.find("text", "Nom de fichier :", root=picker)
    s.click(field)
    s.type(path)
    s.key("Return")
    wait_until(f"the file picker « {caption} » to close", lambda: not s.find_all("dialog", caption, root=s.app_root))


def write_document(s, image):
    # The new document's first block is an empty text block.
    s.click(s.find("text", "Texte"))
    text = s.find("text", "Texte")
    s.type("Monter la charpente avant le toit.")
    # The word made bold: chosen with a double click, then the toolbar's bold button (which has no
    # name, only its tooltip).
    x, y, w, h = text.queryText().getCharacterExtents(13, atspi().DESKTOP_COORDS)
    s.double_click((x + w // 2, y + h // 2))
    wait_until("« charpente » selected", lambda: text.queryText().getSelection(0)[:2] == (10, 19))
    s.click(s.find("push button", "Gras"))
    s.click(s.find("push button", "Ajouter un bloc"))
    s.click(s.menu_item("Code"))
    s.click(s.find("text", "Code"))
    s.type("niveau = 3")
    s.click(s.find("push button", "Ajouter un bloc"))
    s.click(s.menu_item("Image"))
    s.click(s.find("push button", "Sélectionner une image"))
    choose_file(s, "Sélectionnez une image", image)


def create_checklist(s, name, project, column):
    s.click(s.find("push button", "Checklists"))
    s.click(s.find("push button", "Nouvelle"))
    sheet = s.dialog("Nouvelle checklist")
    s.click(s.find("text", "Nom", root=sheet))
    s.type(name)
    s.click(s.find("combo box", "Aucun (globale)", root=sheet))
    s.key("Down", "Return")
    s.find("combo box", project, root=sheet)
    s.click(s.find("push button", "Créer", root=sheet))
    s.click(s.find("list item", name))
    s.click(s.find("push button", "Colonne"))
    sheet = s.dialog("Nouvelle colonne")
    s.click(s.find("text", "Nom", root=sheet))
    s.type(column)
    s.click(s.find("push button", "Creer", root=sheet))
    s.find("filler", column)


def add_card(s, column, title, description=None, link=None, file=None):
    s.click(s.find("push button", "Ajouter une étape", root=s.find("filler", column)))
    sheet = s.dialog("Nouvelle étape")
    s.click(s.find("text", "Titre", root=sheet))
    s.type(title)
    if description:
        s.click(s.find("text", "Description", root=sheet))
        s.type(description)
    s.click(s.find("push button", "Créer", root=sheet))
    # The sheet stays open on the new card, where links and files can be added.
    s.find("push button", "Modifier", root=sheet)
    if link or file:
        s.click(s.find("push button", "Modifier", root=sheet))
        if link:
            s.click(s.find("text", "https://…", root=sheet))
            s.type(link)
            s.click(s.find("push button", "Ajouter", root=sheet))
            s.find("push button", "Ouvrir le lien", root=sheet)
        if file:
            add_file = s.find("push button", "Ajouter un fichier", root=sheet)
            # Low in the sheet's body, it may stand under the footer: the body is scrolled to it.
            footer = s.extents(s.find("push button", "Enregistrer", root=sheet))[1] - 14
            for _ in range(20):
                x, y, w, h = s.extents(add_file)
                if y + h <= footer:
                    break
                s.move(x + w // 2, footer - 60)
                s.xdo("click", 5, "sleep", 0.05)
            s.click(add_file)
            choose_file(s, "Ajouter un fichier", file)
            s.find("push button", "Ouvrir le fichier", root=sheet)
        s.click(s.find("push button", "Enregistrer", root=sheet))
        s.find("push button", "Modifier", root=sheet)
    s.click(s.find("push button", "Fermer", root=sheet))
    wait_until("the card's sheet to close", lambda: not s.showing(sheet))
    s.find("push button", title, root=s.find("filler", column))


def move_cards(s):
    # By mouse: to the empty column, just under its hint.
    hint = s.find("label", "Glisser une carte ici ou ajoutez-en une.", root=s.find("filler", "Terminé"))
    x, y, w, h = s.extents(hint)
    s.drag(s.find("push button", "Commander les tuiles"), (x + w // 2, y + h + 50))
    in_column = lambda title, column: s.find_all("push button", title, root=s.find("filler", column))  # noqa: E731
    try:
        wait_until("the card dragged", lambda: in_column("Commander les tuiles", "Terminé"), timeout=5)
    except Failure:
        raise Failure("« Commander les tuiles », dragged with the mouse to « Terminé », is not there") from None
    # By keyboard: the card that had the sheet keeps the focus when the sheet closes.
    card = s.find("push button", "Poser les liteaux")
    s.click(card)
    sheet = s.dialog("Détails de l’étape")
    s.click(s.find("push button", "Fermer", root=sheet))
    wait_until("the card's sheet to close", lambda: not s.showing(sheet))
    s.key("alt+Right")
    try:
        wait_until("the card moved", lambda: in_column("Poser les liteaux", "Terminé"), timeout=5)
    except Failure:
        raise Failure("« Poser les liteaux » did not move to « Terminé » with Alt+Right") from None
    s.key("alt+Up")


def quit_and_restart(s):
    s.click(s.find("push button", "Quitter"))
    alert = s.dialog("Tolmek")
    s.find("label", "Quitter Tolmek ?", root=alert)
    s.click(s.find("push button", "Quitter", root=alert))
    code = s.wait_exit()
    if code != 0:
        raise Failure(f"the application ended with {code} after « Quitter »: {s.log_tail()}")
    s.launch()


def expect_document(s):
    s.click(s.find("push button", "Projets"))
    s.click(s.find("list item", "Atelier Nord"))
    s.click(s.find("list item", "Guide de montage"))
    s.find("push button", "Éditer")
    text = s.find("text", "Texte").queryText()
    if text.getText(0, -1) != "Monter la charpente avant le toit.":
        raise Failure(f"the text block reads {text.getText(0, -1)!r}")
    attributes, start, end = text.getAttributeRun(13, False)
    if "weight:bold" not in attributes or (start, end) != (10, 19):
        raise Failure(f"« charpente » is not the bold run: {attributes} from {start} to {end}")
    # Read-only code is a text of its own, named "Code", that a screen reader reads line by line.
    wait_until("the code block reading 'niveau = 3'", lambda: any(
        t.queryText().getText(0, -1) == "niveau = 3" for t in s.find_all("text", "Code")))
    # The image: scrolled to, then its colour on screen.
    image_block = s.find("label", "Image").parent
    wx, wy, ww, wh = s.window_rect()
    for _ in range(20):
        if s.extents(image_block)[1] < wy + wh // 2:
            break
        s.move(wx + ww // 2, wy + wh // 2)
        s.xdo("click", 5, "sleep", 0.05)
    x, y, w, h = s.extents(image_block)
    top, bottom = max(y, wy), min(y + h, wy + wh)
    rows = s.pixels((x, top, w, bottom - top))
    blue = sum(1 for row in rows for p in row if abs(p[0] - 40) + abs(p[1] - 120) + abs(p[2] - 220) < 30)
    if blue < 2000:
        raise Failure(f"the image is not on screen ({blue} pixels of its colour, {s.screenshot('image')})")


def expect_card(s):
    s.click(s.find("push button", "Poser les poutres"))
    sheet = s.dialog("Détails de l’étape")
    s.find("text", DESCRIPTION, root=sheet)
    s.find("label", LINK, root=sheet)
    s.find("label", "poutres.png", root=sheet)
    s.click(s.find("push button", "Fermer", root=sheet))
    wait_until("the card's sheet to close", lambda: not s.showing(sheet))


def expect_store(s, image, card_file):
    one = lambda sql: s.query(sql)  # noqa: E731
    projects = one('SELECT id, name FROM "Project" WHERE deletedAt IS NULL')
    if [p[1] for p in projects] != ["Atelier Nord"]:
        raise Failure(f"projects in the store: {projects}")
    project = projects[0][0]
    docs = one('SELECT id, title, project FROM "Doc" WHERE deletedAt IS NULL')
    if [(d[1], d[2].upper()) for d in docs] != [("Guide de montage", project.upper())]:
        raise Failure(f"documents in the store: {docs}")
    blocks = one('SELECT typeRaw, content, CAST(richTextData AS TEXT), length(imageData) FROM "DocBlock"'
                 ' WHERE deletedAt IS NULL ORDER BY "order"')
    kinds = [b[0] for b in blocks]
    if kinds != ["text", "code", "image"]:
        raise Failure(f"blocks in the store: {kinds}")
    if blocks[0][1] != "Monter la charpente avant le toit." or "{\\b charpente}" not in (blocks[0][2] or ""):
        raise Failure(f"the text block in the store: {blocks[0][1]!r} {blocks[0][2]!r}")
    if blocks[1][1] != "niveau = 3":
        raise Failure(f"the code block in the store: {blocks[1][1]!r}")
    if not blocks[2][3]:
        raise Failure("the image block holds no image in the store")
    checklists = one('SELECT name, project FROM "Checklist" WHERE deletedAt IS NULL')
    if [(c[0], (c[1] or "").upper()) for c in checklists] != [("Chantier", project.upper())]:
        raise Failure(f"checklists in the store: {checklists}")
    board = stored_columns(s)
    if board != BOARD or list(board) != list(BOARD):
        raise Failure(f"the board in the store: {board}")
    notes = one('SELECT notes FROM "ChecklistCard" WHERE title = \'Poser les poutres\'')[0][0] or ""
    if notes.startswith("rtf:"):
        notes = base64.b64decode(notes[4:]).decode("latin-1")
    if "niveau avant de fixer" not in notes:
        raise Failure(f"the card's description in the store: {notes!r}")
    attachments = one('SELECT a.fileName, a.mimeType, a.localPath FROM "ChecklistAttachment" a'
                      ' JOIN "ChecklistCard" c ON a.card = c.id WHERE c.title = \'Poser les poutres\''
                      ' ORDER BY a.createdAt')
    links = [a for a in attachments if a[1] == "text/url"]
    files = [a for a in attachments if a[1] != "text/url"]
    if [a[2] for a in links] != [LINK]:
        raise Failure(f"the card's links in the store: {links}")
    if [a[0] for a in files] != ["poutres.png"]:
        raise Failure(f"the card's files in the store: {files}")
    with open(files[0][2], "rb") as copy, open(card_file, "rb") as original:
        if copy.read() != original.read():
            raise Failure(f"the card's file {files[0][2]} is not a copy of {card_file}")


@case
def whole_journey(app):
    s = Session(app, "journey")
    image = write_png(os.path.join(s.tmp, "plan.png"))
    s.launch()
    create_project(s, "Atelier Nord")
    create_document(s, "Guide de montage")
    write_document(s, image)
    create_checklist(s, "Chantier", "Atelier Nord", "En revue")
    card_file = write_png(os.path.join(s.tmp, "poutres.png"), rgb=(200, 90, 40))
    add_card(s, "À faire", "Poser les poutres", DESCRIPTION, LINK, card_file)
    add_card(s, "À faire", "Commander les tuiles")
    add_card(s, "À faire", "Poser les liteaux")
    move_cards(s)
    expect_board(s, BOARD, "the board after the moves")
    quit_and_restart(s)
    expect_document(s)
    s.click(s.find("push button", "Checklists"))
    s.click(s.find("list item", "Chantier"))
    expect_board(s, BOARD, "the board after the restart")
    expect_card(s)
    expect_store(s, image, card_file)
