"""The document editor typed into as a person types: long text and many lines in a text block and a
code block with the caret kept on screen, code line numbers beside their lines, a block moved by its
menu and still in sight."""

from harness import Failure, atspi, case, resize_window, seeded_session, wait_until

# The empty band a code block keeps around its lines.
CODE_MARGIN = 12
WORDS = "le vent souffle sur la plaine et les arbres plient sans rompre "


def open_doc(app, blocks, size=None):
    """The document « Notes » of the project « Atelier », made of `blocks` ((type, content, language)),
    opened in edit mode."""
    def fill(seed):
        project = seed.project("Atelier")
        doc = seed.doc(project, "Notes")
        for order, (type_raw, content, language) in enumerate(blocks):
            seed.block(doc, type_raw, order, content, language)
    session = seeded_session(app, "editor", fill)
    if size:
        resize_window(session, *size)
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Atelier"))
    session.click(session.find("list item", "Notes"))
    session.click(session.find("push button", "Éditer"))
    session.find("push button", "Voir")
    return session


def view_rect(session):
    """The part of the window the document scrolls in: under its header, down to the window's edge."""
    header = session.find("text", "Titre du document").parent
    hx, hy, hw, hh = session.extents(header)
    wx, wy, ww, wh = session.window_rect()
    return hx, hy + hh, hw, wy + wh - (hy + hh)


def char_rect(text, offset):
    return tuple(text.queryText().getCharacterExtents(offset, atspi().DESKTOP_COORDS))


def caret_rect(session, text, code=False):
    """Where the caret is: the character just before it (the one just typed)."""
    ti = text.queryText()
    offset = ti.caretOffset
    x, y, w, h = char_rect(text, max(0, offset - 1))
    if code:
        # Qt tells screen readers that every line of a plain-text editor is on its first line. We type
        # at the end, and a code block holds all its lines: the caret is on the block's last line.
        if offset != ti.characterCount:
            raise Failure(f"the caret is at {offset}, not at the end of the code ({ti.characterCount})")
        cx, cy, cw, ch = session.extents(text)
        y = cy + ch - CODE_MARGIN - h
    return x, y, w, h


def expect_caret_visible(session, text, when, code=False):
    x, y, w, h = caret_rect(session, text, code)
    vx, vy, vw, vh = view_rect(session)
    if not (vx <= x and x + w <= vx + vw and vy <= y and y + h <= vy + vh):
        session.screenshot("caret")
        raise Failure(f"{when}: the caret is at {x},{y} ({w}x{h}), out of the visible part "
                      f"{vx},{vy} {vw}x{vh} of the document")


def type_and_wait(session, text, keys_text, expected_count):
    session.type(keys_text, delay=3)
    ti = text.queryText()
    wait_until(f"{expected_count} characters in the block", lambda: ti.characterCount == expected_count,
               timeout=15)


def type_long_text_and_lines(session, text, label, code=False):
    """2,000 characters (one paragraph in text, lines of 80 in code), then 30 short lines, the caret
    looked at all along."""
    session.click(text)
    session.key("ctrl+End")
    count = text.queryText().characterCount
    words = (WORDS * 40)[:2000]
    step = 80 if code else 250
    for start in range(0, len(words), step):
        chunk = words[start:start + step]
        if code:
            session.key("Return")
            count += 1
        count += len(chunk)
        type_and_wait(session, text, chunk, count)
        if not code or (start // step) % 4 == 3:
            expect_caret_visible(session, text, f"{label}: after {start + len(chunk)} characters", code)
    for line in range(1, 31):
        session.key("Return")
        chunk = f"ligne {line}"
        count += 1 + len(chunk)
        type_and_wait(session, text, chunk, count)
        if line % 5 == 0:
            expect_caret_visible(session, text, f"{label}: after {line} lines", code)
    return count


def stored_blocks(session):
    return session.query('SELECT typeRaw, content FROM "DocBlock" WHERE deletedAt IS NULL ORDER BY "order"')


@case
def editor_text_block_caret_follows_typing(app):
    session = open_doc(app, [("text", "Premier paragraphe", None), ("code", "x = 1", "python")])
    text = session.find("text", "Texte")
    type_long_text_and_lines(session, text, "text block")
    wait_until("the typed text in the store",
               lambda: "ligne 30" in stored_blocks(session)[0][1], timeout=10)


@case
def editor_code_block_caret_follows_typing(app):
    session = open_doc(app, [("text", "Premier paragraphe", None), ("code", "x = 1", "python")])
    code = session.find("text", "Code")
    type_long_text_and_lines(session, code, "code block", code=True)
    wait_until("the typed code in the store",
               lambda: "ligne 30" in stored_blocks(session)[1][1], timeout=10)
