// Another program's RTF edited here: what the reader understood of it (lists, footnotes, styles,
// the document's font) is written in a form that reads back the same, so that one typed
// character changes that character only.
#include "rtf/Rtf.h"
#include "RtfTestPrint.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <gtest/gtest.h>

namespace {

// As an older word processor writes it: a style sheet, a heading that names only its style, a
// footnote, and a bulleted list in the old numbering words (\pn), its markers in Symbol.
const QByteArray kOldWordProcessor =
    "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0\\deflang1036\\deflangfe1036\n"
    "{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}"
    "{\\f1\\fswiss\\fcharset0\\fprq2{\\*\\panose 020b0604020202020204}Arial;}"
    "{\\f3\\froman\\fcharset2\\fprq2{\\*\\panose 05050102010706020507}Symbol;}}\n"
    "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\n"
    "{\\stylesheet{\\widctlpar\\adjustright \\fs20\\lang1036\\cgrid \\snext0 Normal;}"
    "{\\s1\\qc\\sb240\\sa60\\keepn\\widctlpar\\adjustright \\b\\f1\\fs28\\lang1036\\kerning28 \\sbasedon0 \\snext0 heading 1;}"
    "{\\*\\cs10 \\additive Default Paragraph Font;}"
    "{\\s15\\widctlpar\\adjustright \\fs20\\lang1036 \\sbasedon0 \\snext15 footnote text;}"
    "{\\*\\cs16 \\additive \\super \\sbasedon10 footnote reference;}}\n"
    "{\\info{\\title Compte rendu}{\\author Marie}{\\creatim\\yr2024\\mo3\\dy4\\hr9\\min12}}\n"
    "\\paperw11906\\paperh16838\\margl1417\\margr1417 \\widowctrl\\ftnbj\\aenddoc\\formshade\\sectd "
    "\\linex0\\endnhere\\sectdefaultcl {\\*\\pnseclvl1\\pnucrm\\pnstart1\\pnindent720\\pnhang{\\pntxta .}}\n"
    "\\pard\\plain \\s1 Compte rendu\\par\n"
    "\\pard\\plain \\widctlpar\\adjustright \\fs20\\lang1036 La r\\'e9union a eu lieu mardi"
    "{\\cs16\\super \\chftn {\\footnote \\pard\\plain \\s15\\widctlpar\\adjustright \\fs20\\lang1036 "
    "{\\cs16\\super \\chftn } Dans la grande salle.}}.\\par\n"
    "{\\pntext\\pard\\plain\\f3\\fs20\\lang1036 \\'b7\\tab}\\pard \\fi-360\\li360\\widctlpar"
    "{\\*\\pn \\pnlvlblt\\pnf3\\pnindent360{\\pntxtb \\'b7}}\\adjustright \\fs20 Premier point\\par\n"
    "{\\pntext\\pard\\plain\\f3\\fs20\\lang1036 \\'b7\\tab}Second point\\par\n"
    "{\\pntext\\pard\\plain\\fs20 1.\\tab}\\pard \\fi-360\\li360{\\*\\pn \\pnlvlbody\\pndec\\pnstart1\\pnindent360"
    "{\\pntxta .}}\\fs20 Un\\par\n"
    "{\\pntext\\pard\\plain\\fs20 2.\\tab}Deux\\par\n"
    "\\pard \\widctlpar\\adjustright \\fs20 Fin de la r\\'e9union.\\par }";

// As a later one writes it: lists in a list table, named by \ls, with their markers in \listtext.
const QByteArray kListTableWordProcessor =
    "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1\\adeff0\\deff0\\stshfdbch0\\stshfloch0\\deflang1036"
    "{\\fonttbl{\\f0\\fbidi \\froman\\fcharset0\\fprq2 Cambria;}{\\f3\\fbidi \\froman\\fcharset2\\fprq2 Symbol;}"
    "{\\f10\\fbidi \\fnil\\fcharset2\\fprq2 Wingdings;}{\\f11\\fbidi \\fmodern\\fcharset0\\fprq1 Courier New;}}"
    "{\\*\\listtable{\\list\\listtemplateid-1\\listhybrid{\\listlevel\\levelnfc23\\levelstartat1"
    "{\\leveltext\\'01\\u-3913 ?;}{\\levelnumbers;}\\f3\\fi-360\\li720}"
    "{\\listlevel\\levelnfc23{\\leveltext\\'01o;}{\\levelnumbers;}\\f11\\fi-360\\li1440}{\\listname ;}\\listid1}"
    "{\\list\\listtemplateid2{\\listlevel\\levelnfc4{\\leveltext\\'02\\'00);}{\\levelnumbers\\'01;}}\\listid2}}"
    "{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}"
    "{\\listoverride\\listid2\\listoverridecount0\\ls2}}"
    "\\pard\\plain \\ltrpar\\ql \\f0\\fs24\\lang1036 Courses :\\par "
    "{\\listtext\\pard\\plain\\ltrpar \\f3\\fs24 \\loch\\af3\\hich\\f3 \\'b7\\tab}\\pard\\plain \\ltrpar"
    "\\fi-360\\li720\\ls1\\ilvl0 \\f0\\fs24 Pommes\\par "
    "{\\listtext\\pard\\plain\\ltrpar \\f11\\fs24 o\\tab}\\pard\\plain \\fi-360\\li1440\\ls1\\ilvl1 \\f0\\fs24 vertes\\par "
    "{\\listtext\\pard\\plain\\ltrpar \\f3\\fs24 \\'b7\\tab}\\pard\\plain \\fi-360\\li720\\ls1\\ilvl0 \\f0\\fs24 Poires\\par "
    "{\\listtext\\pard\\plain\\ltrpar \\f0\\fs24 a)\\tab}\\pard\\plain \\fi-360\\li720\\ls2\\ilvl0 \\f0\\fs24 Laver\\par "
    "{\\listtext\\pard\\plain\\ltrpar \\f0\\fs24 b)\\tab}\\pard\\plain \\fi-360\\li720\\ls2\\ilvl0 \\f0\\fs24 Couper\\par "
    "\\pard\\plain \\f0\\fs24 Bon app\\'e9tit.\\par }";

struct Item {
    QString text;
    int style;
    int indent;
};

QList<Item> itemsOf(const QTextDocument& doc) {
    QList<Item> items;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (const QTextList* list = b.textList())
            items.append({b.text(), list->format().style(), list->format().indent()});
    }
    return items;
}

QTextCharFormat formatAt(const QTextDocument& doc, const QString& text) {
    const int at = doc.toRawText().indexOf(text);
    EXPECT_GE(at, 0) << text.toStdString();
    QTextCursor c(const_cast<QTextDocument*>(&doc));
    c.setPosition(at + 1);
    return c.charFormat();
}

QString familyAt(const QTextDocument& doc, const QString& text) {
    const QStringList families = formatAt(doc, text).fontFamilies().toStringList();
    return families.isEmpty() ? QString() : families.first();
}

// Types `typed` where `after` ends, as the editor does, then writes and reads the result again.
QByteArray typeAndWrite(QTextDocument& doc, const QString& after, const QString& typed) {
    QTextCursor c(&doc);
    c.setPosition(int(doc.toRawText().indexOf(after) + after.size()));
    c.insertText(typed);
    return rtf::write(doc);
}

TEST(RtfFidelity, OldListsFootnotesStylesAndTheDocumentFontAreRead) {
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(kOldWordProcessor, doc));
    EXPECT_EQ(doc.toPlainText(),
              QString::fromUtf8("Compte rendu\nLa réunion a eu lieu mardi1.\nPremier point\n"
                                "Second point\nUn\nDeux\nFin de la réunion.\n\n"
                                "1. Dans la grande salle."));
    // Lists, their markers drawn by the list and not kept as text.
    const QList<Item> items = itemsOf(doc);
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0].style, QTextListFormat::ListDisc);
    EXPECT_EQ(items[1].style, QTextListFormat::ListDisc);
    EXPECT_EQ(items[2].style, QTextListFormat::ListDecimal);
    EXPECT_EQ(doc.findBlockByNumber(2).textList(), doc.findBlockByNumber(3).textList());
    EXPECT_NE(doc.findBlockByNumber(3).textList(), doc.findBlockByNumber(4).textList());
    EXPECT_EQ(doc.findBlockByNumber(5).textList()->itemText(doc.findBlockByNumber(5)), QStringLiteral("2."));
    // The heading names only its style: bold Arial, 14 px, centred.
    EXPECT_EQ(formatAt(doc, "Compte").fontWeight(), QFont::Bold);
    EXPECT_EQ(familyAt(doc, "Compte"), QStringLiteral("Arial"));
    EXPECT_EQ(formatAt(doc, "Compte").intProperty(QTextFormat::FontPixelSize), 14);
    EXPECT_EQ(doc.firstBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    // The character style of the footnote reference, and the document's own font.
    EXPECT_EQ(formatAt(doc, "1.").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(familyAt(doc, "réunion a"), QStringLiteral("Times New Roman"));
    EXPECT_EQ(familyAt(doc, "Dans la"), QStringLiteral("Times New Roman"));
    EXPECT_EQ(doc.lastBlock().blockFormat().intProperty(rtf::footnoteProperty), 1);
}

TEST(RtfFidelity, ListTablesAreReadAsListsOfTheirMarkersStyle) {
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(kListTableWordProcessor, doc));
    EXPECT_EQ(doc.toPlainText(), QString::fromUtf8("Courses :\nPommes\nvertes\nPoires\nLaver\nCouper\nBon appétit.\n"));
    const QList<Item> items = itemsOf(doc);
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0].style, QTextListFormat::ListDisc);
    EXPECT_EQ(items[1].style, QTextListFormat::ListCircle);
    EXPECT_EQ(items[1].indent, 2);
    EXPECT_EQ(items[3].style, QTextListFormat::ListLowerAlpha);
    // The nested item leaves its parent list whole.
    EXPECT_EQ(doc.findBlockByNumber(1).textList(), doc.findBlockByNumber(3).textList());
    EXPECT_EQ(doc.findBlockByNumber(5).textList()->itemText(doc.findBlockByNumber(5)), QStringLiteral("b."));
    // Under the next item, the deeper level starts again.
    QTextDocument again;
    ASSERT_TRUE(
        rtf::read("{\\rtf1 {\\listtext 1.}\\ls1 un\\par {\\listtext a.}\\ls1\\ilvl1 x\\par "
                  "{\\listtext 2.}\\pard\\ls1 deux\\par {\\listtext a.}\\ls1\\ilvl1 y\\par}",
                  again));
    EXPECT_NE(again.findBlockByNumber(1).textList(), again.findBlockByNumber(3).textList());
    EXPECT_EQ(again.findBlockByNumber(0).textList(), again.findBlockByNumber(2).textList());
    EXPECT_EQ(again.findBlockByNumber(3).textList()->format().style(), QTextListFormat::ListLowerAlpha);
    EXPECT_EQ(familyAt(doc, "Pommes"), QStringLiteral("Cambria"));

    // A text editor's list: tabs around the marker, lines ended by a backslash.
    QTextDocument plain;
    ASSERT_TRUE(
        rtf::read("{\\rtf1\\ansi\\ansicpg1252\\cocoartf2709{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n"
                  "\\pard\\tx566\\pardirnatural\\f0\\fs24 \\cf0 Liste\\\n"
                  "\\pard\\tx220\\tx720\\li720\\fi-720\\pardirnatural\n"
                  "\\ls2\\ilvl0\\cf0 {\\listtext\t1.\t}Premier\\\n{\\listtext\t2.\t}Second\\\n"
                  "\\pard\\tx566\\pardirnatural\\cf0 Fin}",
                  plain));
    EXPECT_EQ(plain.toPlainText(), QStringLiteral("Liste\nPremier\nSecond\nFin"));
    const QList<Item> numbered = itemsOf(plain);
    ASSERT_EQ(numbered.size(), 2);
    EXPECT_EQ(numbered[1].style, QTextListFormat::ListDecimal);
    EXPECT_EQ(familyAt(plain, "Second"), QStringLiteral("Helvetica"));
}

TEST(RtfFidelity, OneTypedCharacterCostsOnlyThatCharacter) {
    for (const QByteArray& source : {kOldWordProcessor, kListTableWordProcessor}) {
        QTextDocument doc;
        ASSERT_TRUE(rtf::read(source, doc));
        const QString before = doc.toPlainText();
        const QList<Item> itemsBefore = itemsOf(doc);
        const QString last =
            source == kOldWordProcessor ? QStringLiteral("Fin de la réunion.") : QStringLiteral("Bon appétit.");
        const QByteArray written = typeAndWrite(doc, last, QStringLiteral("Z"));

        QTextDocument again;
        ASSERT_TRUE(rtf::read(written, again));
        QString expected = before;
        expected.insert(before.indexOf(last) + last.size(), u'Z');
        EXPECT_EQ(again.toPlainText(), expected);
        const QList<Item> items = itemsOf(again);
        ASSERT_EQ(items.size(), itemsBefore.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].text, itemsBefore[i].text);
            EXPECT_EQ(items[i].style, itemsBefore[i].style) << items[i].text.toStdString();
            EXPECT_EQ(items[i].indent, itemsBefore[i].indent) << items[i].text.toStdString();
        }
        EXPECT_EQ(familyAt(again, last.left(4)), familyAt(doc, last.left(4)));
        EXPECT_EQ(familyAt(again, QStringLiteral("Z")), familyAt(doc, last.left(4)));
        EXPECT_EQ(formatAt(again, expected.left(5)).fontWeight(), formatAt(doc, expected.left(5)).fontWeight());
        // And the next edit changes nothing more.
        EXPECT_EQ(rtf::write(again), written);
    }
    // The footnote is still a footnote after the text, the typed character not in it.
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(kOldWordProcessor, doc));
    QTextDocument again;
    ASSERT_TRUE(rtf::read(typeAndWrite(doc, QStringLiteral("Fin de la réunion."), QStringLiteral("x")), again));
    EXPECT_EQ(again.lastBlock().text(), QStringLiteral("1. Dans la grande salle."));
    EXPECT_EQ(again.lastBlock().blockFormat().intProperty(rtf::footnoteProperty), 1);
    EXPECT_EQ(familyAt(again, "Dans la"), QStringLiteral("Times New Roman"));
}

TEST(RtfFidelity, TheDocumentFontIsKeptUnlessItIsOurOwnOrTheSystemFont) {
    const QByteArray body = "\\f0\\fs24 texte {\\f1 autre}}";
    QTextDocument doc;
    ASSERT_TRUE(
        rtf::read("{\\rtf1\\ansi\\deff0{\\fonttbl\\f0\\fswiss Helvetica;\\f1\\fnil .AppleSystemUIFont;}" + body, doc));
    EXPECT_EQ(familyAt(doc, "texte"), QStringLiteral("Helvetica"));
    EXPECT_EQ(familyAt(doc, "autre"), QString());
    // Our own text in the default font follows the editor's font.
    QTextDocument own;
    ASSERT_TRUE(
        rtf::read("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl{\\f0\\fswiss\\fcharset0 Inter;}}" + body, own));
    EXPECT_EQ(familyAt(own, "texte"), QString());
}

TEST(RtfFidelity, NotesKeepTheirNumbersUntilTheirNumberIsEdited) {
    // The second note is empty: the third keeps its number.
    QTextDocument doc;
    ASSERT_TRUE(rtf::read("{\\rtf1 a{\\footnote un}b{\\footnote }c{\\footnote trois}\\par fin}", doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("abc\nfin\n1. un\n3. trois"));
    const QByteArray written = rtf::write(doc);
    QTextDocument again;
    ASSERT_TRUE(rtf::read(written, again));
    EXPECT_EQ(again.toPlainText(), doc.toPlainText());
    EXPECT_EQ(rtf::write(again), written);
    // A note whose number was typed over is a paragraph like any other.
    QTextCursor c(again.lastBlock());
    c.deleteChar();
    c.insertText(QStringLiteral("Troisième"));
    QTextDocument edited;
    ASSERT_TRUE(rtf::read(rtf::write(again), edited));
    EXPECT_EQ(edited.toPlainText(), QStringLiteral("abc\nfin\nTroisième. trois\n1. un"));
}

TEST(RtfFidelity, EveryListStyleAndLevelReadsBackAsWritten) {
    QTextDocument doc;
    QTextCursor c(&doc);
    const QTextListFormat::Style styles[] = {QTextListFormat::ListDisc,       QTextListFormat::ListCircle,
                                             QTextListFormat::ListSquare,     QTextListFormat::ListDecimal,
                                             QTextListFormat::ListLowerAlpha, QTextListFormat::ListUpperAlpha,
                                             QTextListFormat::ListLowerRoman, QTextListFormat::ListUpperRoman};
    c.insertText(QStringLiteral("début"));
    int n = 0;
    for (const auto style : styles) {
        QTextListFormat f;
        f.setStyle(style);
        f.setIndent(1 + n % 3);
        c.insertBlock();
        QTextList* list = c.createList(f);
        c.insertText(QStringLiteral("élément %1").arg(++n));
        c.insertBlock();
        list->add(c.block());
        c.insertText(QStringLiteral("élément %1").arg(++n));
    }
    const QByteArray written = rtf::write(doc);
    QTextDocument again;
    ASSERT_TRUE(rtf::read(written, again));
    EXPECT_EQ(again.toPlainText(), doc.toPlainText());
    const QList<Item> want = itemsOf(doc), got = itemsOf(again);
    ASSERT_EQ(got.size(), want.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].style, want[i].style) << i;
        EXPECT_EQ(got[i].indent, want[i].indent) << i;
    }
    EXPECT_EQ(rtf::write(again), written);
    // Readers without lists see the markers.
    EXPECT_TRUE(written.contains("{\\pntext \\u8226\\'95\\tab}"));
    EXPECT_TRUE(written.contains("{\\pntext 2.\\tab}"));
}

} // namespace
