"""Another program's rich text keeps what it holds when one key is typed into it: what follows a stray
closing brace, a picture, a table, hidden text and the style sheet. A text holding what cannot be kept
says so and stays as stored until the person agrees to edit it."""

import os
import tempfile

from harness import Failure, atspi, case, seeded_session, wait_until, write_png


def picture_bytes():
    with tempfile.TemporaryDirectory() as folder:
        with open(write_png(os.path.join(folder, "p.png"), 24, 16), "rb") as f:
            return f.read()


def picture_group(png):
    data = png.hex().encode()
    lines = b"\n".join(data[i:i + 64] for i in range(0, len(data), 64))
    return (rb"{\pict{\*\picprop\shplid1025{\sp{\sn shapeType}{\sv 75}}}\picscalex100\picscaley100"
            rb"\picw24\pich16\picwgoal480\pichgoal320\pngblip\bliptag-7{\*\blipuid 00112233445566778899aabbccddeeff}"
            + b"\n" + lines + b"}")


# As a word processor writes a report: a style sheet, a heading naming its style, hidden text, a picture
# with the stand-in older readers use, then the closing brace it sometimes leaves after such a group, and
# after it more paragraphs, a bordered table and a list.
def word_processor_rtf(png):
    return (
        rb"{\rtf1\ansi\ansicpg1252\uc1\deff0\deflang1036" b"\n"
        rb"{\fonttbl{\f0\froman\fcharset0\fprq2 Times New Roman;}{\f1\fswiss\fcharset0\fprq2 Arial;}"
        rb"{\f2\fnil\fcharset2 Symbol;}}" b"\n"
        rb"{\colortbl;\red0\green0\blue0;\red31\green73\blue125;}" b"\n"
        rb"{\stylesheet{\ql \widctlpar\f0\fs24 \snext0 Normal;}{\s1\ql \keepn\b\f1\fs32\cf2 \sbasedon0 \snext0 heading 1;}}"
        b"\n" rb"{\info{\title Rapport}}\paperw11906\paperh16838\sectd" b"\n"
        rb"\pard\plain \s1\ql \keepn\b\f1\fs32\cf2 Rapport\par" b"\n"
        rb"\pard\plain \ql \f0\fs24 Le chantier avance{\v  (note interne)} bien.\par" b"\n"
        rb"\pard\plain \qc \f0\fs24 {\*\shppict" + picture_group(png) + rb"}{\nonshppict{\pict\wmetafile8 0100}}\par"
        b"\n}\n"
        rb"\pard\plain \ql \f0\fs24 Suite apr\'e8s la figure.\par" b"\n"
        rb"\trowd \trgaph108\ts11\trleft-108\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \cellx3000"
        rb"\clbrdrt\brdrs\brdrw10 \cellx9000\pard\plain \intbl\f0\fs24 {Lot\cell }{Avancement\cell }"
        rb"\pard\plain \intbl{\trowd \trgaph108\cellx3000\cellx9000\row }" b"\n"
        rb"\trowd \trgaph108\clbrdrt\brdrs\brdrw10 \cellx3000\clbrdrt\brdrs\brdrw10 \cellx9000"
        rb"\pard\plain \intbl\f0\fs24 {Toiture\cell }{Termin\'e9e\cell }"
        rb"\pard\plain \intbl{\trowd \trgaph108\cellx3000\cellx9000\row }" b"\n"
        rb"\pard\plain \fi-360\li720\ls1\ilvl0\f0\fs24 {\listtext\pard\plain \f2\fs24 \'b7\tab}Murs\par" b"\n"
        rb"{\listtext\pard\plain \f2\fs24 \'b7\tab}Fen\'eatres\par" b"\n"
        rb"\pard\plain \ql \f0\fs24 Fin du rapport.\par }")


FOREIGN_TEXT = ("Rapport\nLe chantier avance bien.\n\nSuite après la figure.\nLot\nAvancement\nToiture\nTerminée\n"
                "Murs\nFenêtres\nFin du rapport.\n")
# An embedded object our writer cannot keep.
LOSSY_RTF = rb"{\rtf1\ansi Tableau joint : {\object\objemb{\*\objclass Excel.Sheet.12}{\*\objdata 0102}{\result r}} fin.}"
LOSSY_TEXT = "Tableau joint :  fin."


def stored_blocks(session):
    return [(bytes(rtf or b""), content) for rtf, content in
            session.query('SELECT richTextData, content FROM "DocBlock" ORDER BY "order"')]


@case
def rtf_first_key_keeps_the_rest_of_a_foreign_text(app):
    png = picture_bytes()
    foreign = word_processor_rtf(png)

    def fill(seed):
        project = seed.project("Atelier")
        doc = seed.doc(project, "Notes")
        first = seed.block(doc, "text", 0, FOREIGN_TEXT)
        second = seed.block(doc, "text", 1, LOSSY_TEXT)
        seed.conn.execute('UPDATE "DocBlock" SET richTextData = ? WHERE id = ?', (foreign, first))
        seed.conn.execute('UPDATE "DocBlock" SET richTextData = ? WHERE id = ?', (LOSSY_RTF, second))
    session = seeded_session(app, "rtf", fill)
    session.click(session.find("push button", "Projets"))
    session.click(session.find("list item", "Atelier"))
    session.click(session.find("list item", "Notes"))
    session.click(session.find("push button", "Éditer"))
    session.find("push button", "Voir")

    # A key at the start of the foreign text.
    text = session.find("text", "Texte")
    shown = text.queryText().getText(0, -1)
    if "Fin du rapport." not in shown:
        raise Failure(f"the text after the stray brace is not shown: {shown!r}")
    x, y, w, h = text.queryText().getCharacterExtents(0, atspi().DESKTOP_COORDS)
    session.click((x + 1, y + h // 2))
    wait_until("the caret at the start", lambda: text.queryText().caretOffset == 0, timeout=5)
    session.type("Z")
    wait_until("the key in the store", lambda: stored_blocks(session)[0][1].startswith("ZRapport"), timeout=10)
    rtf, content = stored_blocks(session)[0]
    if content != "Z" + FOREIGN_TEXT:
        raise Failure(f"the stored text is {content!r}")
    for what, ok in (("the picture as it came", picture_group(png) in rtf),
                     ("the table", rtf.count(rb"\trowd") == 2 and rtf.count(rb"\row") == 2),
                     ("the hidden text", rb"{\v" in rtf and b"(note interne)}" in rtf),
                     ("the style sheet", rb"{\stylesheet{" in rtf and b"heading 1;}" in rtf and rb"\pard\s1 " in rtf),
                     ("the list", rtf.count(rb"\pnlvlblt") == 2),
                     ("the end of the text", b"Fin du rapport." in rtf)):
        if not ok:
            raise Failure(f"after one typed key, {what} is lost: {rtf[:3000].decode('latin-1')}")

    # The text holding an embedded object says so, and takes no key until the person agrees.
    session.find("label", contains="ne sait pas conserver (un objet incorporé)")
    session.find("push button", "Modifier quand même")
    lossy = session.find_all("text", "Texte")[1]
    session.click(session.center(lossy))
    session.type("Y")
    session.click(session.find("push button", "Voir"))
    session.click(session.find("push button", "Éditer"))
    if stored_blocks(session)[1] != (LOSSY_RTF, LOSSY_TEXT):
        raise Failure(f"a text nobody agreed to change was written: {stored_blocks(session)[1]!r}")
    agree = session.find("push button", "Modifier quand même")
    session.click(agree)
    wait_until("the notice gone", lambda: not session.find_all("label", contains="ne sait pas conserver"), timeout=5)
    session.type("Y")
    wait_until("the agreed key in the store", lambda: "Y" in stored_blocks(session)[1][1], timeout=10)
