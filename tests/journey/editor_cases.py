"""The document editor typed into as a person types: long text and many lines in a text block and a
code block with the caret kept on screen, code line numbers beside their lines, a block moved by its
menu and still in sight, a long document wheeled through and switched between modes under the pointer."""

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


@case
def editor_text_wraps_at_its_block_width_as_the_window_narrows(app):
    """A text opened for editing wraps inside its block, and again inside the narrower block once the window
    narrows: its letters stay in the block, and a word typed at its end reaches the store."""
    content = (WORDS * 12).strip()
    session = open_doc(app, [("text", content, None)], size=(1100, 720))
    text = session.find("text", "Texte")

    def letters_inside():
        x, y, w, h = session.extents(text)
        for offset in range(0, len(content), 7):
            lx, ly, lw, lh = char_rect(text, offset)
            if not (lw > 0 and x <= lx and lx + lw <= x + w and y <= ly and ly + lh <= y + h):
                return False
        return True

    wait_until("the letters inside their block", letters_inside, timeout=5)
    wide = session.extents(text)[2]
    resize_window(session, 760, 720)
    wait_until("a narrower block", lambda: session.extents(text)[2] < wide, timeout=5)
    try:
        wait_until("the letters inside the narrower block", letters_inside, timeout=5)
    except Failure:
        raise Failure(f"the text does not wrap at its narrower block ({session.screenshot('narrowed')})") from None
    session.click(text)
    session.key("ctrl+End")
    session.type(" fin")
    wait_until("the word in the store", lambda: stored_blocks(session)[0][1] == content + " fin", timeout=10)


def ink_bands(session, rect, threshold=60, grey_only=False):
    """The runs of screen rows in `rect` that hold anything drawn over its background colour
    (the most common one), as (top, bottom) screen rows. `grey_only`: only grey ink brighter than the
    background and short of white counts (line numbers, not the block's coloured frame nor the page
    showing past its rounded corners)."""
    x, y, w, h = rect
    rows = session.pixels(rect)
    counts = {}
    for row in rows:
        for p in row:
            counts[p] = counts.get(p, 0) + 1
    bg = max(counts, key=counts.get)
    bands, start = [], None
    for i, row in enumerate(rows):
        if grey_only:
            ink = any(max(p) - min(p) <= 24 and sum(bg) + threshold < sum(p) < 3 * 230 for p in row)
        else:
            ink = any(abs(p[0] - bg[0]) + abs(p[1] - bg[1]) + abs(p[2] - bg[2]) > threshold for p in row)
        if ink and start is None:
            start = i
        elif not ink and start is not None:
            bands.append((y + start, y + i - 1))
            start = None
    if start is not None:
        bands.append((y + start, y + len(rows) - 1))
    # Hairlines (a frame's edge, a rounded corner) are no text.
    return [b for b in bands if b[1] - b[0] >= 3]


@case
def editor_code_line_numbers_beside_lines(app):
    session = open_doc(app, [("code", "x = 1", "python")], size=(1400, 1050))
    code = session.find("text", "Code")
    session.click(code)
    session.key("ctrl+End")
    count = code.queryText().characterCount
    for line in range(2, 31):
        session.key("Return")
        chunk = f"ligne {line}"
        count += 1 + len(chunk)
        type_and_wait(session, code, chunk, count)
    gutter = next(c for c in (code.parent.getChildAtIndex(i) for i in range(code.parent.childCount))
                  if c.getRoleName() == "label")
    cx, cy, cw, ch = session.extents(code)
    gx, gy, gw, gh = session.extents(gutter)
    vx, vy, vw, vh = view_rect(session)
    top, bottom = max(cy, vy), min(cy + ch, vy + vh)
    if bottom - top < 30 * 17:
        raise Failure(f"the code block shows {bottom - top} px of its 30 lines ({cy}..{cy + ch})")
    session.xdo("mousemove", 5, 5)   # no pointer over the code
    # Inside the block's focus frame.
    top, bottom = top + 3, bottom - 3
    numbers = ink_bands(session, (gx, top, gw, bottom - top), grey_only=True)
    lines = ink_bands(session, (cx + 4, top, 160, bottom - top))
    shot = session.screenshot("code")
    if len(lines) != 30 or lines[0][0] > cy + CODE_MARGIN + 8:
        raise Failure(f"the code block does not show its 30 lines from the first: {len(lines)} lines "
                      f"drawn, the first at {lines[:1]}, the block at {cy} ({shot})")
    if len(numbers) != 30:
        raise Failure(f"{len(numbers)} line numbers drawn beside 30 lines ({shot})")
    for i, (number, line) in enumerate(zip(numbers, lines), start=1):
        drift = (number[0] + number[1]) / 2 - (line[0] + line[1]) / 2
        if abs(drift) > 4:
            raise Failure(f"line number {i} is {drift:+.0f} px from its line ({shot}); numbers at "
                          f"{numbers[:i]}, lines at {lines[:i]}")
    wait_until("the code in the store", lambda: "ligne 30" in stored_blocks(session)[0][1], timeout=10)


def code_panel_edge(session, right, top, bottom):
    """With no pointer over the code, the focus outline runs down the panel's right edge in one colour, typed
    lines included: the screenshot and that colour column."""
    session.xdo("mousemove", 5, 5)
    shot = session.screenshot("typed")
    edge = session.pixels((right - 2, top, 2, bottom - top))
    colours = {tuple(row) for row in edge}
    if len(colours) != 1:
        raise Failure(f"the code block's right edge changes colour along the lines: {sorted(colours)[:6]} ({shot})")
    return shot, colours


@case
def editor_code_block_typing_inside_keeps_its_panel(app):
    """Lines typed in the middle of a long code block show at once and reach the store, and the
    block's panel (its fill, the focus outline along its edge) looks the same beside the typed lines
    as beside the others."""
    code_lines = [f"valeur_{i} = {i}" for i in range(1, 31)]
    session = open_doc(app, [("code", "\n".join(code_lines), "python")], size=(1400, 1050))
    code = session.find("text", "Code")
    session.click(code)
    session.key("ctrl+Home", *["Down"] * 12, "End")
    count = code.queryText().characterCount
    typed = " + 1"
    session.type(typed, delay=3)
    session.key("Return")
    session.type("total = 0", delay=3)
    count += len(typed) + 1 + len("total = 0")
    wait_until("the typed keys in the block", lambda: code.queryText().characterCount == count, timeout=15)
    expected = "\n".join(code_lines[:12] + ["valeur_13 = 13 + 1", "total = 0"] + code_lines[13:])
    wait_until("the typed code in the store", lambda: stored_blocks(session)[0][1] == expected, timeout=5)

    cx, cy, cw, ch = session.extents(code)
    vx, vy, vw, vh = view_rect(session)
    top, bottom = max(cy, vy) + 14, min(cy + ch, vy + vh) - 14
    shot, colours = code_panel_edge(session, cx + cw, top, bottom)
    # Right of the text, the fill is the same on every row, and the outline stands out of it.
    fill = session.pixels((cx + cw - 40, top, 20, bottom - top))
    shades = {p for row in fill for p in row}
    if len(shades) != 1:
        raise Failure(f"the code block's fill differs between rows: {sorted(shades)[:6]} ({shot})")
    if any(p in shades for c in colours for p in c):
        raise Failure(f"no focus outline along the code block's edge ({shot})")
    # The typed lines are drawn where the editor places them: lines 13 and 14 hold ink.
    lines = ink_bands(session, (cx + 4, top, 300, bottom - top))
    if len(lines) < 25:
        raise Failure(f"only {len(lines)} lines of code drawn in the block ({shot})")


@case
def editor_code_block_typing_past_its_edge_keeps_its_panel(app):
    """Keys typed at the end of a code block's last line, past its right edge: the line scrolls sideways
    to keep the caret in sight, every key reaches the store, and the focus outline runs down the
    panel's edge in one colour, beside the typed line too."""
    code_lines = [f"valeur_{i} = calcule({i})" for i in range(1, 21)] + ["total = " + " + ".join(
        f"valeur_{i}" for i in range(1, 7))]
    session = open_doc(app, [("code", "\n".join(code_lines), "python")])
    code = session.find("text", "Code")
    session.click(code)
    session.key("ctrl+End")
    count = code.queryText().characterCount
    typed = " + decalage * facteur - reste + valeur_finale * 2 + marge_de_securite"
    type_and_wait(session, code, typed, count + len(typed))
    expect_caret_visible(session, code, "past the right edge", code=True)
    expected = "\n".join(code_lines[:-1] + [code_lines[-1] + typed])
    wait_until("the typed code in the store", lambda: stored_blocks(session)[0][1] == expected, timeout=5)

    cx, cy, cw, ch = session.extents(code)
    vx, vy, vw, vh = view_rect(session)
    # Down to the panel's bottom band, where the scroll bar shows while the line scrolls.
    top, bottom = max(cy, vy) + 14, min(cy + ch - CODE_MARGIN, vy + vh)
    if bottom - top < 40:
        raise Failure(f"the code block's last lines are out of sight ({cy}..{cy + ch}, view {vy}..{vy + vh})")
    shot, colours = code_panel_edge(session, cx + cw, top, bottom)
    inside = {p for row in session.pixels((cx + cw - 40, top, 20, 8)) for p in row}
    if any(p in inside for c in colours for p in c):
        raise Failure(f"no focus outline along the code block's edge ({shot})")


def text_block(session, starts_with):
    """The text field of the block whose text begins with `starts_with`."""
    def look():
        for acc in session.find_all("text", "Texte"):
            if acc.queryText().getText(0, len(starts_with)) == starts_with:
                return acc
        return None
    return wait_until(f"the block « {starts_with} »", look, timeout=5)


def expect_in_view(session, acc, what):
    """`acc` comes into view within the moment a person takes to look for it (a scroll may be animated)."""
    def seen():
        x, y, w, h = session.extents(acc)
        vx, vy, vw, vh = view_rect(session)
        return vy <= y and y + h <= vy + vh
    try:
        wait_until(what, seen, timeout=2)
    except Failure:
        x, y, w, h = session.extents(acc)
        vx, vy, vw, vh = view_rect(session)
        shot = session.screenshot("out-of-view")
        raise Failure(f"{what}: it is at {y}..{y + h}, out of the visible part {vy}..{vy + vh} ({shot})") from None


def move_block_by_menu(session, starts_with, action):
    block = text_block(session, starts_with)
    session.click(block)
    bx, by, bw, bh = session.extents(block)
    # The block's own actions button: the one level with the top of its block.
    buttons = session.find_all("push button", "Actions du bloc")
    if not buttons:
        raise Failure("no « Actions du bloc » button on the focused block")
    button = min(buttons, key=lambda b: abs(session.extents(b)[1] - by))
    session.click(button)
    session.click(session.menu_item(action))


@case
def editor_block_moved_by_menu_stays_in_sight(app):
    long_text = "\n".join(f"Paragraphe {i} d’un long bloc" for i in range(1, 61))
    session = open_doc(app, [("text", "Bloc à déplacer", None), ("text", long_text, None),
                             ("text", "Dernier bloc", None)])
    order = lambda: [c[:15] for _, c in stored_blocks(session)]  # noqa: E731
    move_block_by_menu(session, "Bloc à déplacer", "Déplacer vers le bas")
    wait_until("the block second in the store", lambda: order()[1] == "Bloc à déplacer", timeout=5)
    expect_in_view(session, text_block(session, "Bloc à déplacer"), "after « Déplacer vers le bas »")
    move_block_by_menu(session, "Bloc à déplacer", "Déplacer vers le haut")
    wait_until("the block first in the store", lambda: order()[0] == "Bloc à déplacer", timeout=5)
    expect_in_view(session, text_block(session, "Bloc à déplacer"), "after « Déplacer vers le haut »")


@case
def editor_bold_alone_reaches_the_store_at_once(app):
    """Ctrl+B on a stored word, the caret staying in the block: the store holds it bold a moment later."""
    import time
    session = open_doc(app, [("text", "Premier mot", None)])
    text = session.find("text", "Texte")
    session.click(text)
    session.key("ctrl+End", "ctrl+shift+Left")
    ti = text.queryText()
    wait_until("« mot » selected", lambda: ti.getSelection(0)[:2] == (8, 11))
    session.key("ctrl+b")
    wait_until("« mot » bold on screen", lambda: "weight:bold" in ti.getAttributeRun(9, False)[0])
    shown = time.monotonic()
    rtf = lambda: session.query('SELECT CAST(richTextData AS TEXT) FROM "DocBlock"')[0][0] or ""  # noqa: E731
    wait_until("« mot » bold in the store", lambda: "{\\b mot}" in rtf(), timeout=5)
    late = time.monotonic() - shown
    if late > 0.5:
        raise Failure(f"« mot » bold in the store {late:.2f} s after the screen showed it")
    if session.find_all("push button", "Gras") == []:
        raise Failure("the block was left: its toolbar is gone")


def numbered_blocks(count, is_code, code_lines, repeats):
    """`count` blocks starting « Bloc N » (N on as many digits as the last one): code blocks of `code_lines`
    lines where `is_code(i)`, else texts of `repeats(i)` times WORDS."""
    digits = len(str(count - 1))
    blocks = []
    for i in range(count):
        if is_code(i):
            lines = "\n".join(f"let bloc{i} = ligne({n})" for n in range(code_lines))
            blocks.append(("code", f"Bloc {i:0{digits}d}\n{lines}", "swift"))
        else:
            blocks.append(("text", f"Bloc {i:0{digits}d} " + WORDS * repeats(i), None))
    return blocks


def open_in_view_mode(app, blocks):
    """The document « Notes » of the project « Atelier », made of `blocks`, opened from its project."""
    def fill(seed):
        doc = seed.doc(seed.project("Atelier"), "Notes")
        for order, (type_raw, content, language) in enumerate(blocks):
            seed.block(doc, type_raw, order, content, language)
    session = seeded_session(app, "editor", fill)
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Atelier"))
    session.click(session.find("list item", "Notes"))
    return session


def rows_box(session):
    """The accessible holding one child per block row."""
    panel = session.find("panel", None)
    return panel.parent.parent


def block_texts(session, rows, view):
    """The block texts in `view` (a rectangle), with the start that names them (plain texts as labels,
    rich texts and text editors « Texte », code « Code ») and their row's place on screen. Only the
    rows in view are walked."""
    vx, vy, vw, vh = view
    roles = {atspi().ROLE_LABEL: None, atspi().ROLE_TEXT: ("Texte", "Code")}
    out = []
    for i in range(rows.childCount):
        row = rows.getChildAtIndex(i)
        x, y, w, h = session.extents(row)
        if y >= vy + vh or y + h <= vy:
            continue
        for acc in session.walk(row):
            role = acc.getRole()
            if role not in roles or (roles[role] and acc.name not in roles[role]):
                continue
            text = acc.name if role == atspi().ROLE_LABEL else acc.queryText().getText(0, 12)
            if text.startswith("Bloc "):
                out.append((acc, text[:7], (x, y, w, h)))
    return out


@case
def editor_wheel_and_mode_switch_keep_the_row_under_the_pointer(app):
    """A long document wheeled through shows its blocks as they come; « Éditer » and « Voir » leave the
    block under the pointer where it was."""
    import time
    blocks = numbered_blocks(60, lambda i: i % 3 == 1, 12, lambda i: 2 + i % 4)
    session = open_in_view_mode(app, blocks)
    editer = session.find("push button", "Éditer")
    view = view_rect(session)
    vx, vy, vw, vh = view
    rows = rows_box(session)
    session.move(vx + vw // 2, vy + vh // 2)
    seen = set()
    # A few notches at a time, as a wheel turns: the view always shows blocks, never empty places.
    for turn in range(30):
        session.xdo("click", "--repeat", 5, "--delay", 16, 5)
        shown = wait_until(f"blocks in view after {5 * (turn + 1)} notches",
                           lambda: block_texts(session, rows, view), timeout=2)
        seen.update(start for _, start, _ in shown)
        if "Bloc 30" in seen:
            break
    if "Bloc 30" not in seen:
        raise Failure(f"the wheel went no further than {sorted(seen)[-1:]}")

    def keeps_its_place(button, after, mode):
        # The pointer on a block whose top is well inside the view.
        candidates = [t for t in block_texts(session, rows, view)
                      if vy + 40 <= t[2][1] and t[2][1] + 20 < vy + vh - 40]
        if not candidates:
            raise Failure(f"no block in view before « {mode} »")
        acc, start, (x, y, w, h) = candidates[0]
        session.move(x + w // 2, y + 10)
        # Through the accessibility layer, as a screen reader presses it: the pointer stays on the block.
        pressed = time.monotonic()
        button.queryAction().doAction(0)
        session.find("push button", after, timeout=15)
        print(f"« {mode} »: « {after} » shown after {time.monotonic() - pressed:.2f} s")

        def settled():
            for now, now_start, extents in block_texts(session, rows, view):
                if now_start == start:
                    return extents
            return None
        moved = wait_until(f"« {start} » after « {mode} »", settled, timeout=5)
        drift = moved[1] - y
        if abs(drift) > 8:
            shot = session.screenshot("row-moved")
            raise Failure(f"« {start} » moved by {drift:+d} px with « {mode} » ({shot})")

    keeps_its_place(editer, "Voir", "Éditer")
    keeps_its_place(session.find("push button", "Voir"), "Éditer", "Voir")
    stored = [c for _, c in stored_blocks(session)]
    if stored != [content for _, content, _ in blocks]:
        raise Failure("switching modes changed what the store holds")


@case
def editor_long_document_opens_at_its_first_blocks_and_reaches_its_last(app):
    """A document of 300 blocks opens on its first blocks, readable at once; dragged to the end of its
    scroll bar it shows its last block, readable too, and the scroll bar still ends there."""
    blocks = numbered_blocks(300, lambda i: i % 10 == 4, 10, lambda i: 1 + i % 5)
    session = open_in_view_mode(app, blocks)
    session.find("push button", "Éditer")
    view = view_rect(session)
    rows = rows_box(session)

    def starts():
        return [start for _, start, _ in block_texts(session, rows, view)]
    wait_until("the first blocks readable", lambda: "Bloc 00" in starts(), timeout=5)
    # The long code and text rows below are built later: the page is already as long as all of them.
    bar = max(session.find_all("scroll bar"), key=lambda b: session.extents(b)[3], default=None)
    if bar is None:
        raise Failure("the long document shows no scroll bar")
    value = bar.queryValue()
    if value.maximumValue < 300 * 60:
        raise Failure(f"the page is {value.maximumValue:.0f} px long for 300 blocks")
    # As a screen reader or a drag of the scroll bar does: straight to its end.
    value.currentValue = value.maximumValue
    last = wait_until("the last block readable",
                      lambda: [a for a in session.find_all("label", contains="Bloc 299 ")
                               if a.name.startswith("Bloc 299 ")], timeout=5)
    x, y, w, h = session.extents(last[0])
    vx, vy, vw, vh = view
    if y >= vy + vh or y + h <= vy:
        raise Failure(f"the last block is read at {y}–{y + h}, outside the view {vy}–{vy + vh}")
    wait_until("the view still at the end of its scroll bar",
               lambda: abs(bar.queryValue().currentValue - bar.queryValue().maximumValue) < 1, timeout=5)
    stored = [c for _, c in stored_blocks(session)]
    if stored != [content for _, content, _ in blocks]:
        raise Failure("opening and scrolling changed what the store holds")


@case
def editor_toolbar_slides_in_over_a_tall_text_as_fresh_painting_shows(app):
    """A click into a text block taller than the window, then Ctrl+End: the formatting toolbar slides in above
    the text and pushes it down while the page follows the caret. What the slide leaves on screen is what the
    same page shows once every part of it has been painted anew, and the keys typed after it reach the text."""
    paragraphs = "\n".join(f"Paragraphe {i} : " + WORDS * 2 for i in range(1, 31))
    session, text, view, _ = open_at_the_end_of_a_tall_block(
        app, [("text", paragraphs, None), ("text", "Dernier bloc", None)], "Texte")
    bold = session.find("push button", "Gras")
    wait_until("the toolbar above the text", lambda: session.extents(bold)[1] + 28 <= char_rect(text, 0)[1],
               timeout=10)
    count = text.queryText().characterCount
    last = [None]

    def text_still():
        now = (char_rect(text, 0), char_rect(text, count - 1))
        same = now == last[0]
        last[0] = now
        return same
    wait_until("the text at rest under the toolbar", text_still, timeout=10, interval=0.3)
    cx, cy, cw, ch = caret_rect(session, text)
    # The caret blinks, and the scroll bar the page shows while it scrolls fades over the right edge.
    masks = [(cx - 4, cy - 2, cw + 12, ch + 4), (view[0] + view[2] - 20, view[1], 20, view[3])]
    expect_what_painting_anew_shows(session, view, masks, lambda: char_rect(text, count - 1)[1])
    type_and_wait(session, text, "abc", count + 3)


def quiet_pixels(session, rect, masks, what):
    """The pixels of `rect` once they stop changing, with the rectangles of `masks` (a blinking caret, a
    fading scroll bar) left out."""
    x0, y0 = rect[0], rect[1]

    def masked():
        rows = session.pixels(rect)
        for mx, my, mw, mh in masks:
            for yy in range(max(0, my - y0), min(len(rows), my - y0 + mh)):
                row = rows[yy]
                for xx in range(max(0, mx - x0), min(len(row), mx - x0 + mw)):
                    row[xx] = (0, 0, 0)
        return rows
    last = [masked()]

    def settled():
        now = masked()
        same = now == last[0]
        last[0] = now
        return same
    wait_until(what, settled, timeout=15, interval=0.4)
    return last[0]


def open_at_the_end_of_a_tall_block(app, blocks, name):
    """The document of `blocks` opened in edit mode, its first block (the editor named `name`, taller than the
    window) clicked where it shows and its caret sent to its end: the session, the editor, the view and
    where the block's top was before."""
    session = open_doc(app, blocks)
    editor = session.find("text", name)
    x, y, w, h = session.extents(editor)
    view = view_rect(session)
    session.move(x + 60, max(y, view[1]) + 60)
    session.xdo("click", 1)
    session.key("ctrl+End")
    return session, editor, view, y


def expect_what_painting_anew_shows(session, view, masks, top):
    """What the view shows at rest is what it shows once painted anew: scrolled away by more than its height
    with the wheel, then back by the same notches, every part of it that shows again having been painted on
    its way in. `top()` is a screen row that follows the page, the same once it is back."""
    typed = quiet_pixels(session, view, masks, "the typed page at rest")
    start = top()
    session.move(view[0] + view[2] // 2, view[1] + view[3] // 2)
    notches = 0
    while top() < start + view[3] + 10:
        session.xdo("click", 4, "sleep", 0.05)
        notches += 1
        if notches > 60:
            raise Failure("the wheel does not take the page away from the caret")
    session.xdo("click", "--repeat", notches, "--delay", 30, 5)
    wait_until("the page back where it was", lambda: top() == start, timeout=10)
    anew = quiet_pixels(session, view, masks, "the page painted anew at rest")
    if anew != typed:
        diff = [(x, y) for y, (a, b) in enumerate(zip(typed, anew)) for x, (p, q) in enumerate(zip(a, b)) if p != q]
        session.screenshot("painted-anew")
        raise Failure(f"{len(diff)} pixels differ between the typed page and the page painted anew, "
                      f"first at {view[0] + diff[0][0]},{view[1] + diff[0][1]}")


@case
def editor_text_block_grown_by_typing_shows_what_fresh_painting_shows(app):
    """Typing at the end of a block taller than the window makes it grow line by line and paragraph by
    paragraph while the page follows the caret: what those keys leave on screen is what the same page shows
    once every part of it has been painted anew (scrolled away and back)."""
    paragraphs = "\n".join(f"Paragraphe {i} : " + WORDS * 2 for i in range(1, 31))
    session, text, view, _ = open_at_the_end_of_a_tall_block(
        app, [("text", paragraphs, None), ("text", "Dernier bloc", None)], "Texte")
    count = text.queryText().characterCount
    for step in range(8):
        if step % 3 == 2:
            session.key("Return")
            count += 1
        chunk = WORDS[:40] + str(step)
        count += len(chunk)
        type_and_wait(session, text, chunk, count)
        expect_caret_visible(session, text, f"after the chunk {step + 1}")
    wait_until("the typed text in the store", lambda: stored_blocks(session)[0][1].endswith(chunk), timeout=10)

    cx, cy, cw, ch = caret_rect(session, text)
    # The caret blinks, and the scroll bar the page shows while it scrolls fades over the right edge.
    masks = [(cx - 4, cy - 2, cw + 12, ch + 4), (view[0] + view[2] - 20, view[1], 20, view[3])]
    expect_what_painting_anew_shows(session, view, masks, lambda: char_rect(text, count - 1)[1])


@case
def editor_code_block_new_lines_that_scroll_show_what_fresh_painting_shows(app):
    """New lines typed at the end of a code block taller than the window move the page by a line each: the
    caret stays in view, each line is in the store before the next, and what those keys leave on screen is
    what the same page shows once painted anew (scrolled away and back)."""
    code_text = "\n".join(f"let valeur{i} = somme({i})" for i in range(1, 61))
    session, code, view, cy = open_at_the_end_of_a_tall_block(
        app, [("code", code_text, "swift"), ("text", "Dernier bloc", None)], "Code")
    count = code.queryText().characterCount
    before = wait_until("the page at the end of the code",
                        lambda: [top for top in [session.extents(code)[1]] if top < cy], timeout=5)[0]
    for line in range(1, 11):
        session.key("Return")
        chunk = f"ligne {line}"
        count += 1 + len(chunk)
        type_and_wait(session, code, chunk, count)
        expect_caret_visible(session, code, f"after {line} new lines", code=True)
        wait_until(f"line {line} in the store",
                   lambda: stored_blocks(session)[0][1].endswith("\n" + chunk), timeout=5)

    if session.extents(code)[1] > before - 5 * 15:
        raise Failure(f"the page did not follow ten new lines (the code's top from {before} to "
                      f"{session.extents(code)[1]})")
    x, y, w, h = caret_rect(session, code, code=True)
    masks = [(x - 4, y - 2, w + 12, h + 4), (view[0] + view[2] - 20, view[1], 20, view[3])]
    expect_what_painting_anew_shows(session, view, masks, lambda: session.extents(code)[1])
