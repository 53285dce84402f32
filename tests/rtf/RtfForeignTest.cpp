#include "rtf/Rtf.h"
#include "RtfTestPrint.h"
#include "../richtext/ForeignRtf.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>
#include <QTextTable>

#include <gtest/gtest.h>

namespace {

QString textOf(const QByteArray& rtf) {
    QTextDocument doc;
    EXPECT_TRUE(rtf::read(rtf, doc));
    return rtf::plainText(doc);
}

// The text with its no-break spaces and line separators, which toPlainText() turns into blanks.
QString rawTextOf(const QByteArray& rtf) {
    QTextDocument doc;
    EXPECT_TRUE(rtf::read(rtf, doc));
    return doc.toRawText();
}

QTextCharFormat formatAt(const QTextDocument& doc, const QString& text) {
    const int at = doc.toPlainText().indexOf(text);
    EXPECT_GE(at, 0) << text.toStdString();
    QTextCursor c(const_cast<QTextDocument*>(&doc));
    c.setPosition(at + 1);
    return c.charFormat();
}

TEST(RtfForeign, CocoaStyle) {
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n\\cocoatextscaling0\\cocoaplatform0"
        "{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;\\f1\\fnil\\fcharset0 Menlo-Regular;}\n"
        "{\\colortbl;\\red255\\green255\\blue255;\\red251\\green0\\blue7;}\n"
        "{\\*\\expandedcolortbl;;\\csgenericrgb\\c100000\\c0\\c0;}\n"
        "\\paperw11900\\paperh16840\\margl1440\\margr1440\\vieww11520\\viewh8400\\viewkind0\n"
        "\\pard\\tx566\\tx1133\\pardirnatural\\partightenfactor0\n\n"
        "\\f0\\fs24 \\cf0 Caf\\'e9 cr\\'e8me \n\\b gras\\b0  \\cf2 rouge\\cf0 \\\n"
        "\\f1 code \\uc0\\u8364  \\'93cit\\'e9\\'94}";
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(rtf, doc));
    EXPECT_EQ(doc.toPlainText(), QString::fromUtf8("Café crème gras rouge\ncode € “cité”"));
    EXPECT_EQ(formatAt(doc, "gras").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(doc, "rouge").foreground().color(), QColor(251, 0, 7));
    EXPECT_FALSE(formatAt(doc, "Caf").hasProperty(QTextFormat::ForegroundBrush)); // \cf0 follows the theme
    EXPECT_EQ(formatAt(doc, "Caf").intProperty(QTextFormat::FontPixelSize), 12);
    EXPECT_EQ(formatAt(doc, "code").fontFamilies().toStringList(), QStringList{"Menlo-Regular"});
}

TEST(RtfForeign, WordStyleUnicodeFieldsListsAndTables) {
    const QByteArray rtf =
        "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1\\adeff0\\deff0"
        "{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}"
        "{\\f3\\fbidi \\froman\\fcharset2\\fprq2{\\*\\panose 05050102010706020507}Symbol;}}"
        "{\\colortbl;\\red0\\green0\\blue0;\\red5\\green99\\blue193;}"
        "{\\stylesheet{\\ql \\li0\\ri0 Normal;}{\\*\\cs10 Default Paragraph Font;}}"
        "{\\*\\rsidtbl \\rsid1}{\\info{\\title Rapport}{\\author X}}"
        "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel{\\leveltext\\'01\\u-3913 ?;}}}}"
        "\\pard\\plain \\ltrpar\\ql {\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\lang1036 Na\\u239\\'3fve }"
        "{\\upr{\\fs20 ansi-fallback}{\\*\\ud{\\fs20 \\u1576\\'3f\\u1575\\'3f}}}\\par "
        "{\\field{\\*\\fldinst {HYPERLINK \"https://exemple.fr\"}}{\\fldrslt {\\ul\\cf2 le lien}}}\\par "
        "{\\listtext\\pard\\plain\\f3\\fs20 \\'b7\\tab}premier\\par "
        "\\trowd\\cellx1000\\cellx2000\\pard\\intbl A1\\cell B1\\cell\\row "
        "\\trowd\\cellx1000\\cellx2000\\pard\\intbl A2\\cell B2\\cell\\row "
        "\\pard fin\\par }";
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(rtf, doc));
    // The rows make one table; the paragraph after it follows it.
    EXPECT_EQ(doc.toPlainText(), QString::fromUtf8("Naïve با\nle lien\n•\tpremier\nA1\nB1\nA2\nB2\nfin\n"));
    QTextCursor inTable(&doc);
    inTable.setPosition(int(doc.toPlainText().indexOf(QStringLiteral("B2"))));
    ASSERT_TRUE(inTable.currentTable());
    EXPECT_EQ(inTable.currentTable()->rows(), 2);
    EXPECT_EQ(inTable.currentTable()->columns(), 2);
    const QTextCharFormat link = formatAt(doc, "le lien");
    EXPECT_TRUE(link.fontUnderline());
    EXPECT_EQ(link.foreground().color(), QColor(5, 99, 193));
}

TEST(RtfForeign, WordPadAndLibreOfficeCodePages) {
    // WordPad: a Cyrillic font charset decides the code page of \'hh.
    EXPECT_EQ(
        textOf("{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat{\\fonttbl{\\f0\\fnil\\fcharset204 Calibri;}"
               "{\\f1\\fnil\\fcharset0 Calibri;}}\n{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \n"
               "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang1049\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 \\f1 caf\\'e9\\par\n}"),
        QString::fromUtf8("Привет café\n"));
    // LibreOffice: \ltrch, \loch\hich\dbch and Unicode with a one-byte fallback.
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\deff3\\adeflang1025{\\fonttbl{\\f0\\froman\\fprq2\\fcharset0 Times New Roman;}"
                     "{\\f3\\fswiss\\fprq2\\fcharset0 Liberation Sans;}}{\\*\\generator LibreOffice/7.4}"
                     "\\pard\\plain \\ltrpar\\s0\\hich\\af3\\dbch\\af5\\rtlch \\ltrch\\loch\\fs24\\lang1036"
                     "{\\ltrch\\loch Ol\\u225\\'e1 \\u8217\\'92}\\par }"),
              QString::fromUtf8("Olá ’\n"));
    // Shift-JIS: double-byte characters across two \'hh, or \'hh followed by a literal trail byte.
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 "
                     "\\'96\\'be\\'92\\'a9;}}\\f0 \\'83e\\'83X\\'83g \\'93\\'fa\\'96\\'7b \\'95\\\\}"),
              QString::fromUtf8("テスト 日本 表"));
    // Mac Roman.
    EXPECT_EQ(textOf("{\\rtf1\\mac\\deff0 caf\\'8e \\'d2ok\\'d3}"), QString::fromUtf8("café “ok”"));
    // Central European and Greek through \ansicpg.
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1250 \\'8a\\'e8}"), QString::fromUtf8("Šč"));
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1253 \\'e1\\'e2}"), QString::fromUtf8("αβ"));
}

TEST(RtfForeign, UnicodeEscapesAndSymbols) {
    // A surrogate pair as two negative \u, then \uc2 and \uc0 skipping.
    EXPECT_EQ(textOf("{\\rtf1 \\u-10179?\\u-8704?!}"), QString::fromUtf8("😀!"));
    EXPECT_EQ(textOf("{\\rtf1 {\\uc2\\u233\\'65\\'3fa}\\u233?b\\uc0\\u233 c}"), QString::fromUtf8("éaébéc"));
    EXPECT_EQ(rawTextOf("{\\rtf1 a\\emdash b\\endash c\\~d\\_e\\bullet\\lquote x\\rquote\\ldblquote y\\rdblquote "
                        "\\line z\\tab w}"),
              QString::fromUtf8("a—b–c\u00a0d\u2011e•‘x’“y”\u2028z\tw"));
}

TEST(RtfForeign, NonTextIsSkipped) {
    EXPECT_EQ(textOf("{\\rtf1\\ansi avant {\\pict\\pngblip\\picw10\\pich10 89504e470d0a1a0a{}\\}"
                     "\\bin4 }}{x} apr\\'e8s{\\*\\unknowndest secret {nested}}{\\*\\shppict{\\pict 00ff}}"
                     "\\unknownword7 ok{\\object{\\*\\objdata 0102}{\\result hidden}}"
                     "{\\header en-tête}{\\footnote note}.}"),
              QString::fromUtf8("avant  aprèsok.\n1. note"));
}

TEST(RtfForeign, ConstructsTheEditorCannotShowKeepTheirText) {
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(rttest::foreignRtf(), doc));
    EXPECT_EQ(rtf::plainText(doc),
              QString::fromUtf8("E = mc2 et H2O1\nVoir le guide en ligne.\nCellule A1\nCellule B1\n"
                                "\nPremier point\n\n1. Texte de la note."));
    // The old-style bullet is a list, which draws its own marker.
    const QTextBlock item = doc.findBlock(int(doc.toPlainText().indexOf(QStringLiteral("Premier"))));
    ASSERT_TRUE(item.textList());
    EXPECT_EQ(item.textList()->format().style(), QTextListFormat::ListDisc);
    EXPECT_EQ(formatAt(doc, "2 et").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(formatAt(doc, "2O").verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_EQ(formatAt(doc, "O1").verticalAlignment(), QTextCharFormat::AlignNormal);
    const QTextCharFormat link = formatAt(doc, "le guide");
    EXPECT_TRUE(link.isAnchor());
    EXPECT_EQ(link.anchorHref(), QStringLiteral("https://exemple.fr/guide"));
    EXPECT_TRUE(link.fontUnderline());
    EXPECT_FALSE(formatAt(doc, "en ligne").isAnchor());
    // The note keeps its own font and size.
    EXPECT_EQ(formatAt(doc, "Texte de la").intProperty(QTextFormat::FontPixelSize), 10);
    EXPECT_EQ(formatAt(doc, "Texte de la").fontFamilies().toStringList(), QStringList{"Times New Roman"});

    // Written again, then read: the same text, links and positions.
    QTextDocument again;
    const QByteArray written = rtf::write(doc);
    ASSERT_TRUE(rtf::read(written, again));
    EXPECT_EQ(again.toPlainText(), doc.toPlainText());
    EXPECT_EQ(formatAt(again, "le guide").anchorHref(), QStringLiteral("https://exemple.fr/guide"));
    EXPECT_EQ(formatAt(again, "2O").verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_EQ(rtf::write(again), written);
}

TEST(RtfForeign, LinkTargets) {
    const struct {
        const char* instruction;
        QString target;
    } cases[] = {
        {"HYPERLINK \"https://a.fr/x y\"", QStringLiteral("https://a.fr/x y")},
        {" HYPERLINK https://b.fr ", QStringLiteral("https://b.fr")},
        {"HYPERLINK \\\\l \"marque\"", QStringLiteral("#marque")},
        {"HYPERLINK \\\\o \"bulle\" \"https://c.fr\"", QStringLiteral("https://c.fr")},
        {"PAGE \\\\* MERGEFORMAT", QString()},
        {"HYPERLINK", QString()},
        {"HYPERLINK a\"b", QStringLiteral("a%22b")},
        {"HYPERLINK \"a\x01\\'00b\"", QStringLiteral("ab")}, // control characters are not written
    };
    for (const auto& c : cases) {
        QTextDocument doc;
        ASSERT_TRUE(
            rtf::read(QByteArray("{\\rtf1 {\\field{\\*\\fldinst{") + c.instruction + "}}{\\fldrslt lien}}}", doc));
        EXPECT_EQ(doc.toPlainText(), QStringLiteral("lien")) << c.instruction;
        EXPECT_EQ(formatAt(doc, "lien").anchorHref(), c.target) << c.instruction;
        QTextDocument again;
        ASSERT_TRUE(rtf::read(rtf::write(doc), again));
        EXPECT_EQ(formatAt(again, "lien").anchorHref(), c.target) << c.instruction;
    }
    // A very long target is cut once, and then stays as it is.
    QTextDocument doc;
    ASSERT_TRUE(
        rtf::read("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK " + QByteArray(5000, 'x') + "}{\\fldrslt lien}}}", doc));
    const QByteArray written = rtf::write(doc);
    QTextDocument again;
    ASSERT_TRUE(rtf::read(written, again));
    EXPECT_EQ(rtf::write(again), written);
    EXPECT_EQ(formatAt(again, "lien").anchorHref(), QString(2048, u'x'));
}

TEST(RtfForeign, HiddenTextIsNotRead) {
    // Word's hidden text, a hidden paragraph mark joining two paragraphs, \v0 and \plain ending it.
    EXPECT_EQ(textOf("{\\rtf1\\ansi vu {\\v cach\\'e9 \\u233?}encore \\v secret\\v0 fin\\par "
                     "un{\\v\\par}deux\\par \\v x\\plain y}"),
              QString::fromUtf8("vu encore fin\nundeux\ny"));
}

TEST(RtfForeign, CocoaAttachedPicturesLeaveNoText) {
    // TextEdit writes an attached picture as a group holding its file name, then the byte 0xAC.
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639{\\fonttbl\\f0\\fswiss Helvetica;}\n"
        "\\f0\\fs24 avant\\\n"
        "{{\\NeXTGraphic photo de vacances.png \\width2880 \\height1920 \\appleattachmentpadding0 "
        "\\appleembedtype0 \\appleaqc\n}\xac}"
        "apr\\'e8s {{\\NeXTGraphic b.pdf \\width20 \\height20\n}\\'ac} ok \xac}";
    // Only the mark right after the picture goes; a 0xAC elsewhere is the "¬" it always was.
    EXPECT_EQ(textOf(rtf), QString::fromUtf8("avant\naprès  ok ¬"));
}

TEST(RtfForeign, AStrayClosingBraceDoesNotEndTheDocument) {
    // A word processor's unbalanced "}" after a picture group: what follows is still the document's.
    const QByteArray rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times;}}\n"
        "\\pard d\\'e9but\\par\n{\\*\\shppict{\\pict\\wmetafile8 0102}}}\n"
        "\\pard suite\\par\n{\\listtext\\'95\\tab}\\ls1 point\\par\n"
        "\\pard fin}\r\n}\0";
    EXPECT_EQ(textOf(rtf), QString::fromUtf8("début\nsuite\npoint\nfin"));
    // Braces after the end, blanks and NULs are no content.
    EXPECT_EQ(textOf("{\\rtf1 a}}} \n\0"), QStringLiteral("a"));
    EXPECT_EQ(textOf("{\\rtf1 a\\}}"), QStringLiteral("a}"));
}

TEST(RtfForeign, HighlightsAndColourTableWithoutAutoEntry) {
    QTextDocument doc;
    ASSERT_TRUE(
        rtf::read("{\\rtf1{\\colortbl\\red0\\green0\\blue255;\\red255\\green255\\blue0;}"
                  "\\cf0 bleu {\\highlight1 jaune}\\plain  plain}",
                  doc));
    EXPECT_EQ(formatAt(doc, "bleu").foreground().color(), QColor(0, 0, 255));
    EXPECT_EQ(formatAt(doc, "jaune").background().color(), QColor(255, 255, 0));
    EXPECT_FALSE(formatAt(doc, "plain").hasProperty(QTextFormat::ForegroundBrush));
}

} // namespace
