"""Stored text that came from elsewhere survives an edit: a code block stored with CR LF keeps its
line endings, another program's rich text keeps its lists, footnote and font when one character is
typed into it."""

from editor_cases import open_doc
from harness import Failure, atspi, case, seeded_session, wait_until


def stored_code(session):
    return bytes(session.query('SELECT CAST(content AS BLOB) FROM "DocBlock" WHERE typeRaw = \'code\'')[0][0])


@case
def fidelity_code_block_keeps_its_line_endings(app):
    session = open_doc(app, [("code", "a = 1\r\nb = 2\r\n", "python")])
    code = session.find("text", "Code")
    session.click(code)
    session.key("ctrl+Home", "End")
    session.type("!")
    wait_until("the edited line in the store", lambda: b"a = 1!" in stored_code(session), timeout=10)
    if stored_code(session) != b"a = 1!\r\nb = 2\r\n":
        raise Failure(f"one character typed, the code stored as {stored_code(session)!r}")
    session.key("ctrl+End", "Return")
    session.type("c")
    wait_until("the new line in the store", lambda: stored_code(session).endswith(b"c"), timeout=10)
    if stored_code(session) != b"a = 1!\r\nb = 2\r\n\r\nc":
        raise Failure(f"a line added, the code stored as {stored_code(session)!r}")


# As an older word processor writes a short report: a style sheet, a heading that names only its
# style, a footnote, a bulleted list in the old numbering words with its markers in Symbol.
FOREIGN_RTF = (
    rb"{\rtf1\ansi\ansicpg1252\uc1\deff0\deflang1036" b"\n"
    rb"{\fonttbl{\f0\froman\fcharset0\fprq2{\*\panose 02020603050405020304}Times New Roman;}"
    rb"{\f1\fswiss\fcharset0\fprq2{\*\panose 020b0604020202020204}Arial;}"
    rb"{\f3\froman\fcharset2\fprq2{\*\panose 05050102010706020507}Symbol;}}" b"\n"
    rb"{\stylesheet{\widctlpar\adjustright \fs24\lang1036 \snext0 Normal;}"
    rb"{\s1\sb240\sa60\keepn\widctlpar\adjustright \b\f1\fs32\lang1036\kerning28 \sbasedon0 \snext0 heading 1;}"
    rb"{\*\cs10 \additive Default Paragraph Font;}{\*\cs16 \additive \super \sbasedon10 footnote reference;}}" b"\n"
    rb"{\info{\title Bilan}{\author Marie}}\paperw11906\paperh16838\widowctrl\ftnbj\sectd " b"\n"
    rb"\pard\plain \s1 Bilan\par" b"\n"
    rb"\pard\plain \widctlpar\fs24 Le chantier avance{\cs16\super \chftn {\footnote \pard\plain \fs20 "
    rb"{\cs16\super \chftn } Selon le dernier relev\'e9.}}.\par" b"\n"
    rb"{\pntext\pard\plain\f3\fs24 \'b7\tab}\pard \fi-360\li360\widctlpar{\*\pn \pnlvlblt\pnf3\pnindent360"
    rb"{\pntxtb \'b7}}\fs24 Murs\par" b"\n"
    rb"{\pntext\pard\plain\f3\fs24 \'b7\tab}Toiture\par" b"\n"
    rb"\pard \widctlpar\fs24 Suite lundi\par }")
FOREIGN_TEXT = "Bilan\nLe chantier avance1.\nMurs\nToiture\nSuite lundi\n\n1. Selon le dernier relevé."


def stored_rich(session):
    rtf, content = session.query('SELECT richTextData, content FROM "DocBlock" WHERE typeRaw = \'text\'')[0]
    return bytes(rtf or b""), content


def open_foreign(app):
    def fill(seed):
        project = seed.project("Atelier")
        doc = seed.doc(project, "Notes")
        block = seed.block(doc, "text", 0, FOREIGN_TEXT)
        seed.conn.execute('UPDATE "DocBlock" SET richTextData = ? WHERE id = ?', (FOREIGN_RTF, block))
    session = seeded_session(app, "fidelity", fill)
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Atelier"))
    session.click(session.find("list item", "Notes"))
    return session


@case
def fidelity_foreign_rich_text_costs_one_character(app):
    session = open_foreign(app)
    session.click(session.find("push button", "Éditer"))
    text = session.find("text", "Texte")
    shown = text.queryText().getText(0, -1)
    if "\u00b7" in shown or "\u2022" in shown or "Murs\nToiture" not in shown.replace("\u2029", "\n"):
        raise Failure(f"the list shows its markers as text: {shown!r}")
    # Just after the body's last word, as a person clicks there.
    end = shown.index("Suite lundi") + len("Suite lundi")
    x, y, w, h = text.queryText().getCharacterExtents(end - 1, atspi().DESKTOP_COORDS)
    session.click((x + w + 3, y + h // 2))
    wait_until("the caret after « lundi »", lambda: text.queryText().caretOffset == end, timeout=5)
    session.type("Z")
    session.click(session.find("push button", "Voir"))
    session.find("push button", "Éditer")
    expected = FOREIGN_TEXT.replace("Suite lundi", "Suite lundiZ")
    wait_until("the typed character in the store", lambda: stored_rich(session)[1] == expected, timeout=10)
    rtf, _ = stored_rich(session)
    note = rtf.find(b"{\\footnote")
    for what, ok in (("the footnote as a footnote", note > 0 and b"Selon le dernier" in rtf[note:]),
                     ("the character outside the footnote", 0 < rtf.find(b"lundiZ") < note),
                     ("the list as a list", rtf.count(b"{\\*\\pn\\pnlvlblt") == 2),
                     ("the document's font", b"Times New Roman;" in rtf),
                     ("the heading's font and weight from its style", b"Arial;" in rtf and b"\\b" in rtf)):
        if not ok:
            raise Failure(f"after one typed character, {what} is lost: {rtf.decode('latin-1')}")

    # Opened again: the same text, the list still without markers as text, the note after the text.
    session.kill_app()
    session.launch()
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Atelier"))
    session.click(session.find("list item", "Notes"))
    session.click(session.find("push button", "Éditer"))
    text = session.find("text", "Texte")
    again = text.queryText().getText(0, -1).replace("\u2029", "\n")
    if again != expected:
        raise Failure(f"read again, the text is {again!r}, not {expected!r}")
