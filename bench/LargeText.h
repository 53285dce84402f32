#pragma once

// Large texts for the benchmarks: French-looking prose in paragraphs of about 80 words, where one word
// in four is made up (so that a spell checker's cache does not hide its cost), and its RTF with every
// tenth word bold.

#include "rtf/Rtf.h"

#include <QString>
#include <QTextCursor>
#include <QTextDocument>

namespace benchtext {

inline QString prose(qsizetype bytes) {
    static const char* const pool[] = {"projet", "document",  "étape",  "vérifier", "les",     "données",
                                       "avant",  "livraison", "équipe", "qualité",  "serveur", "image",
                                       "liste",  "tâche",     "une",    "pour",     "avec",    "dans",
                                       "nous",   "reprendre", "client", "version"};
    static const char* const syllables[] = {"ra", "to", "mé", "li", "par", "con", "ve", "su", "dé", "blo", "ni", "que"};
    QString text;
    text.reserve(bytes + 64);
    quint32 seed = 12345;
    int inParagraph = 0;
    while (text.size() < bytes) {
        seed = seed * 1103515245u + 12345u;
        const quint32 r = seed >> 8;
        if (inParagraph > 0)
            text += QLatin1Char(' ');
        if (r % 4 == 0) {
            for (quint32 s = 0, n = 2 + r % 3; s < n; ++s)
                text += QString::fromUtf8(syllables[(r >> (4 + 3 * s)) % 12]);
        } else {
            text += QString::fromUtf8(pool[r % 22]);
        }
        if (++inParagraph >= 60 + int(r % 40)) {
            text += QStringLiteral(".\n");
            inParagraph = 0;
        }
    }
    return text;
}

inline QByteArray rtfOf(const QString& text) {
    QTextDocument doc;
    doc.setPlainText(text);
    QTextCursor c(&doc);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    int i = 0;
    while (!c.atEnd()) {
        c.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        if (i++ % 10 == 0)
            c.mergeCharFormat(bold);
        c.clearSelection();
    }
    return rtf::write(doc);
}

} // namespace benchtext
