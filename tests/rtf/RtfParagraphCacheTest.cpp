#include "rtf/Rtf.h"
#include "RtfTestPrint.h"
#include "richtext/ForeignRtf.h"

#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <gtest/gtest.h>

namespace {

// A write through the cache must give the bytes of a whole write, and keep no paragraph that is gone.
void expectSameAsWholeWrite(const QTextDocument& doc, rtf::ParagraphCache& cache, const std::string& step) {
    ASSERT_EQ(rtf::write(doc, cache).toStdString(), rtf::write(doc).toStdString()) << step;
    ASSERT_LE(cache.size(), doc.blockCount()) << step;
}

QTextCharFormat randomFormat(QRandomGenerator& rng) {
    static const QStringList families = {"", "JetBrains Mono", "Inter", "Serif", "Courier"};
    static const QColor colours[] = {QColor(255, 0, 0), QColor(0, 0, 255, 77), QColor(10, 200, 30)};
    QTextCharFormat f;
    if (const QString family = families[rng.bounded(int(families.size()))]; !family.isEmpty())
        f.setFontFamilies({family});
    if (rng.bounded(3) == 0)
        f.setFontFixedPitch(true);
    if (rng.bounded(2))
        f.setProperty(QTextFormat::FontPixelSize, rng.bounded(10, 30));
    if (rng.bounded(2))
        f.setFontWeight(rng.bounded(2) ? QFont::Bold : QFont::DemiBold);
    f.setFontItalic(rng.bounded(4) == 0);
    if (rng.bounded(3) == 0)
        f.setForeground(colours[rng.bounded(3)]);
    if (rng.bounded(4) == 0)
        f.setBackground(colours[rng.bounded(3)]);
    if (rng.bounded(8) == 0) {
        f.setAnchor(true);
        f.setAnchorHref(rng.bounded(2) ? "https://exemple.fr/a" : "https://exemple.fr/b?x=\"1\"");
    }
    return f;
}

// One random edit of the kind a person makes: typing, deleting, formatting, new or merged paragraphs,
// lists, alignment, undo and redo.
void randomEdit(QTextDocument& doc, QRandomGenerator& rng) {
    static const QStringList pieces = {"mot",
                                       " ",
                                       "é",
                                       "😀",
                                       "\t",
                                       QString(QChar::LineSeparator),
                                       "{\\}",
                                       "日",
                                       QString(QChar(0xFFFC)),
                                       "Œuvre",
                                       QString(QChar(0x00A0))};
    QTextCursor c(&doc);
    const int end = doc.characterCount() - 1;
    c.setPosition(rng.bounded(end + 1));
    switch (rng.bounded(10)) {
    case 0:
    case 1: c.insertText(pieces[rng.bounded(int(pieces.size()))], randomFormat(rng)); break;
    case 2: c.insertText(pieces[rng.bounded(int(pieces.size()))]); break;
    case 3: c.insertBlock(); break;
    case 4:
        c.setPosition(std::min(end, c.position() + rng.bounded(1, 12)), QTextCursor::KeepAnchor);
        c.removeSelectedText();
        break;
    case 5:
        c.setPosition(std::min(end, c.position() + rng.bounded(1, 12)), QTextCursor::KeepAnchor);
        c.mergeCharFormat(randomFormat(rng));
        break;
    case 6: {
        QTextBlockFormat bf = c.blockFormat();
        bf.setAlignment(rng.bounded(2) ? Qt::AlignHCenter : Qt::AlignLeft);
        c.setBlockFormat(bf);
        break;
    }
    case 7:
        if (QTextList* list = c.currentList())
            list->remove(c.block());
        else
            c.createList(rng.bounded(2) ? QTextListFormat::ListDisc : QTextListFormat::ListDecimal);
        break;
    case 8: doc.undo(); break;
    default: doc.redo(); break;
    }
}

// Edits anywhere in documents made here and read from other programs (lists, links, notes, fonts and
// colours of their own): after each one, the cached write is the whole write.
TEST(RtfParagraphCache, EveryEditWritesTheBytesOfAWholeWrite) {
    QRandomGenerator rng(7031);
    for (int round = 0; round < 30; ++round) {
        QTextDocument doc;
        if (round % 3 == 0) {
            ASSERT_TRUE(rtf::read(rttest::foreignRtf(), doc));
        } else {
            QTextCursor c(&doc);
            for (int i = 0; i < 30; ++i) {
                if (i % 6 == 5)
                    c.insertBlock();
                c.insertText(QStringLiteral("texte %1 ").arg(i), randomFormat(rng));
            }
        }
        rtf::ParagraphCache cache;
        for (int edit = 0; edit < 60; ++edit) {
            randomEdit(doc, rng);
            expectSameAsWholeWrite(doc, cache, "round " + std::to_string(round) + " edit " + std::to_string(edit));
        }
        // The editor's font changes under the text.
        QFont font = doc.defaultFont();
        font.setFamily(QStringLiteral("JetBrains Mono"));
        doc.setDefaultFont(font);
        expectSameAsWholeWrite(doc, cache, "round " + std::to_string(round) + " new default font");
    }
}

// The tables number fonts and colours by their first use: when an earlier paragraph no longer uses one,
// a later paragraph that was not edited is written with the new numbers.
TEST(RtfParagraphCache, TablesRenumberedByAnEarlierParagraphReachTheLaterOnes) {
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat red, blue;
    red.setForeground(QColor(255, 0, 0));
    red.setFontFamilies({QStringLiteral("Serif")});
    blue.setForeground(QColor(0, 0, 255));
    blue.setFontFamilies({QStringLiteral("JetBrains Mono")});
    c.insertText(QStringLiteral("rouge"), red);
    c.insertBlock(QTextBlockFormat(), blue);
    c.insertText(QStringLiteral("bleu"), blue);
    rtf::ParagraphCache cache;
    expectSameAsWholeWrite(doc, cache, "first");

    QTextCursor first(&doc);
    first.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    first.setCharFormat(QTextCharFormat());
    const QByteArray bytes = rtf::write(doc, cache);
    EXPECT_EQ(bytes.toStdString(), rtf::write(doc).toStdString());
    EXPECT_TRUE(bytes.contains("{\\f1\\cf1 bleu}")) << bytes.toStdString();

    // A letter typed over another of the same format leaves the runs as they were.
    QTextCursor over(&doc);
    over.setPosition(doc.characterCount() - 2);
    over.setPosition(doc.characterCount() - 1, QTextCursor::KeepAnchor);
    over.insertText(QStringLiteral("e"));
    expectSameAsWholeWrite(doc, cache, "letter replaced");

    // The same cache over another document still writes that document's bytes.
    QTextDocument other;
    QTextCursor(&other).insertText(QStringLiteral("rouge"), blue);
    expectSameAsWholeWrite(other, cache, "other document");
}

} // namespace
