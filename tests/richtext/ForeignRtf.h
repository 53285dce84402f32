#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

namespace rttest {

// RTF as another program writes it, with what our writer does not produce: Helvetica as the
// default font, superscript and subscript, a link field, a table, a picture, a footnote and an
// old-style bulleted list.
inline QByteArray foreignRtf() {
    return QByteArrayLiteral(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\n"
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 Helvetica;}{\\f1\\froman\\fcharset0 Times New Roman;}}\n"
        "{\\colortbl;\\red0\\green0\\blue238;}\n"
        "\\pard\\f0\\fs24 E = mc{\\super 2} et H{\\sub 2}O{\\super\\chftn}"
        "{\\footnote\\pard\\plain\\f1\\fs20{\\super\\chftn} Texte de la note.}\\par\n"
        "Voir {\\field{\\*\\fldinst{HYPERLINK \"https://exemple.fr/guide\"}}"
        "{\\fldrslt{\\ul\\cf1 le guide}}} en ligne.\\par\n"
        "\\trowd\\cellx2000\\cellx4000\n"
        "\\pard\\intbl Cellule A1\\cell Cellule B1\\cell\\row\n"
        "\\pard{\\pict\\pngblip\\picw1\\pich1\\picwgoal20\\pichgoal20 89504e470d0a1a0a0000000d49484452}\\par\n"
        "{\\pntext\\f0 \\'95\\tab}{\\*\\pn\\pnlvlblt\\pnf0\\pnindent360{\\pntxtb \\'95}}\\pard Premier point\\par\n"
        "}\n");
}

// A small picture in `format` ("PNG", "JPEG"), as its file holds it.
inline QByteArray pictureBytes(const char* format, QColor colour) {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A picture group as word processors write it, its data in hexadecimal lines.
inline QByteArray pictureGroup(const char* blip, const QByteArray& bytes) {
    QByteArray hex = bytes.toHex();
    for (qsizetype at = 64; at < hex.size(); at += 65)
        hex.insert(at, '\n');
    return QByteArray(
               "{\\pict{\\*\\picprop\\shplid1025{\\sp{\\sn shapeType}{\\sv 75}}}\\picscalex100\\picscaley100"
               "\\piccropl0\\piccropr0\\piccropt0\\piccropb0\\picw212\\pich159\\picwgoal1200\\pichgoal900\\") +
        blip + "\\bliptag-12345{\\*\\blipuid 0123456789abcdef0123456789abcdef}\n" + hex + "}";
}

// A word processor's document: a style sheet whose heading style the first paragraph names, hidden
// text, a PNG picture with its metafile stand-in for older readers, a JPEG one, a bordered table and
// a bulleted list.
inline QByteArray wordProcessorRtf(const QByteArray& png, const QByteArray& jpeg) {
    return "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0\\deflang1036\\deflangfe1036\n"
           "{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}"
           "{\\f1\\fswiss\\fcharset0\\fprq2 Arial;}{\\f2\\fnil\\fcharset2\\fprq2 Symbol;}}\n"
           "{\\colortbl;\\red0\\green0\\blue0;\\red31\\green73\\blue125;}\n"
           "{\\stylesheet{\\ql \\li0\\ri0\\widctlpar\\f0\\fs24\\lang1036 \\snext0 Normal;}"
           "{\\s1\\ql \\keepn\\widctlpar\\outlinelevel0\\b\\f1\\fs32\\cf2 \\sbasedon0 \\snext0 heading 1;}"
           "{\\*\\cs10 \\additive \\ssemihidden Default Paragraph Font;}}\n"
           "{\\*\\rsidtbl \\rsid1577\\rsid9211}{\\info{\\title Compte rendu}{\\author R\\'e9daction}"
           "{\\creatim\\yr2024\\mo3\\dy5}}\n"
           "\\paperw11906\\paperh16838\\margl1417\\margr1417\\margt1417\\margb1417\\widowctrl\\ftnbj\\sectd\n"
           "\\pard\\plain \\s1\\ql \\keepn\\outlinelevel0\\b\\f1\\fs32\\cf2 Compte rendu\\par\n"
           "\\pard\\plain \\ql \\widctlpar\\f0\\fs24 Le texte visible{\\v  et une remarque cach\\'e9e} continue.\\par\n"
           "\\pard\\plain \\qc \\f0\\fs24 {\\*\\shppict" +
        pictureGroup("pngblip", png) +
        "}{\\nonshppict{\\pict\\picw212\\pich159\\wmetafile8 0100090000}}"
        " " +
        pictureGroup("jpegblip", jpeg) +
        "\\par\n"
        "\\trowd \\irow0\\irowband0\\ts11\\trgaph108\\trleft-108\\trbrdrt\\brdrs\\brdrw10 \\trbrdrl\\brdrs\\brdrw10 "
        "\\trftsWidth1\\clvertalt\\clbrdrt\\brdrs\\brdrw10 \\clbrdrl\\brdrs\\brdrw10 \\cltxlrtb\\clftsWidth3"
        "\\clwWidth3000 \\cellx2892\\clvertalt\\clbrdrt\\brdrs\\brdrw10 \\cltxlrtb\\clftsWidth3\\clwWidth6000 "
        "\\cellx8892\\pard\\plain \\ql \\intbl\\f0\\fs24 {Point\\cell }{D\\'e9cision prise\\cell }"
        "\\pard\\plain \\intbl{\\trowd \\irow0\\irowband0\\trgaph108\\cellx2892\\cellx8892\\row }\n"
        "\\trowd \\irow1\\irowband1\\lastrow \\trgaph108\\trleft-108\\clbrdrt\\brdrs\\brdrw10 \\cellx2892"
        "\\clbrdrt\\brdrs\\brdrw10 \\cellx8892\\pard\\plain \\ql \\intbl\\f0\\fs24 {Budget\\cell }"
        "{Valid\\'e9\\par Sous r\\'e9serve\\cell }\\pard\\plain \\intbl{\\trowd \\irow1\\lastrow \\cellx2892"
        "\\cellx8892\\row }\n"
        "\\pard\\plain \\ql \\fi-360\\li720\\ls1\\ilvl0\\f0\\fs24 {\\listtext\\pard\\plain \\f2\\fs24 \\'b7\\tab}Premier point\\par\n"
        "{\\listtext\\pard\\plain \\f2\\fs24 \\'b7\\tab}Second point\\par\n"
        "\\pard\\plain \\ql \\f0\\fs24 Fin du compte rendu.\\par\n}";
}

// The other desktop platform's text system: its header groups, expanded colour table, kerning words,
// and a table with its own cell words.
inline QByteArray cocoaRtf() {
    return "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\n\\cocoatextscaling0\\cocoaplatform0"
           "{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;\\f1\\fswiss\\fcharset0 Helvetica-Bold;}\n"
           "{\\colortbl;\\red255\\green255\\blue255;\\red0\\green0\\blue0;\\red191\\green191\\blue191;}\n"
           "{\\*\\expandedcolortbl;;\\cssrgb\\c0\\c0\\c0;\\cssrgb\\c79525\\c79525\\c79525;}\n"
           "\\paperw11900\\paperh16840\\margl1440\\margr1440\\vieww14600\\viewh9000\\viewkind0\n"
           "\\pard\\tx566\\tx1133\\tx1700\\pardirnatural\\partightenfactor0\n\n"
           "\\f1\\b\\fs24 \\cf2 \\expnd0\\expndtw0\\kerning0\nCourses\\\n"
           "\\f0\\b0 Pour samedi :\\\n\n"
           "\\itap1\\trowd \\taflags1 \\trgaph108\\trleft-108 \\trbrdrt\\brdrnil \\trbrdrl\\brdrnil \\trbrdrr\\brdrnil \n"
           "\\clvertalc \\clshdrawnil \\clwWidth2400\\clftsWidth3 \\clbrdrt\\brdrs\\brdrw20\\brdrcf3 "
           "\\clbrdrl\\brdrs\\brdrw20\\brdrcf3 \\clbrdrb\\brdrs\\brdrw20\\brdrcf3 \\clbrdrr\\brdrs\\brdrw20\\brdrcf3 "
           "\\clpadl100 \\clpadr100 \\gaph\\cellx4320\n"
           "\\clvertalc \\clshdrawnil \\clwWidth2400\\clftsWidth3 \\clbrdrt\\brdrs\\brdrw20\\brdrcf3 "
           "\\clpadl100 \\clpadr100 \\gaph\\cellx8640\n"
           "\\pard\\intbl\\itap1\\pardeftab720\\partightenfactor0\n\\cf2 Pain\\cell \n"
           "\\pard\\intbl\\itap1\\pardeftab720\\partightenfactor0\n\\cf2 2\\cell \\row\n\n"
           "\\itap1\\trowd \\taflags1 \\trgaph108\\trleft-108 \\trbrdrl\\brdrnil \\trbrdrr\\brdrnil \n"
           "\\clvertalc \\clshdrawnil \\clwWidth2400\\clftsWidth3 \\gaph\\cellx4320\n"
           "\\clvertalc \\clshdrawnil \\clwWidth2400\\clftsWidth3 \\gaph\\cellx8640\n"
           "\\pard\\intbl\\itap1\\pardeftab720\\partightenfactor0\n\\cf2 Fromage\\cell \n"
           "\\pard\\intbl\\itap1\\pardeftab720\\partightenfactor0\n\\cf2 1\\cell \\lastrow\\row\n"
           "\\pard\\pardeftab720\\partightenfactor0\n\\cf2 Merci !}";
}

} // namespace rttest
