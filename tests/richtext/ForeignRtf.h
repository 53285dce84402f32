#pragma once

#include <QByteArray>

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

} // namespace rttest
