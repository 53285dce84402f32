#include "rtf/Rtf.h"
#include "RtfTestPrint.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <gtest/gtest.h>

namespace {

struct Run {
    QString text;
    QTextCharFormat format;
};

QList<Run> runsOf(const QTextDocument& doc) {
    QList<Run> runs;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            runs.append({it.fragment().text(), it.fragment().charFormat()});
    }
    return runs;
}

Run runContaining(const QTextDocument& doc, const QString& text) {
    for (const Run& r : runsOf(doc)) {
        if (r.text.contains(text))
            return r;
    }
    ADD_FAILURE() << "no run with " << text.toStdString();
    return {};
}

QTextCharFormat sized(int px, int weight = -1) {
    QTextCharFormat f;
    f.setProperty(QTextFormat::FontPixelSize, px);
    if (weight > 0)
        f.setFontWeight(weight);
    return f;
}

// write → read → write must reproduce the same bytes; returns the re-read document.
std::unique_ptr<QTextDocument> roundTrip(const QTextDocument& doc) {
    const QByteArray first = rtf::write(doc);
    auto copy = std::make_unique<QTextDocument>();
    EXPECT_TRUE(rtf::read(first, *copy));
    EXPECT_EQ(rtf::write(*copy).toStdString(), first.toStdString());
    EXPECT_EQ(copy->toPlainText(), doc.toPlainText());
    return copy;
}

TEST(RtfRoundTrip, EveryToolbarFormatSurvives) {
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText("Texte normal, ");
    c.insertText("Titre 1 ", sized(28, QFont::Bold));
    c.insertText("Titre 2 ", sized(22, QFont::DemiBold));
    c.insertText("Titre 3 ", sized(18, QFont::DemiBold));
    QTextCharFormat code = sized(13);
    code.setFontFamilies({"JetBrains Mono"});
    QColor grey(142, 142, 147);
    grey.setAlphaF(0.2);
    code.setBackground(grey);
    c.insertText("code()", code);
    QTextCharFormat styled;
    styled.setFontItalic(true);
    styled.setFontUnderline(true);
    styled.setFontStrikeOut(true);
    c.insertText(" styles ", styled);
    QTextCharFormat red;
    red.setForeground(QColor(255, 59, 48));
    c.insertText("rouge ", red);
    QTextCharFormat highlight;
    QColor yellow(255, 204, 0);
    yellow.setAlphaF(0.3);
    highlight.setBackground(yellow);
    highlight.setForeground(QColor(10, 20, 30));
    c.insertText("surligné", highlight);
    c.insertBlock(QTextBlockFormat(), sized(28, QFont::Bold)); // an empty line after a heading keeps its height
    c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    c.insertText("défaut", QTextCharFormat());

    const auto copy = roundTrip(doc);
    // Other readers see semibold as bold and a translucent highlight as an opaque one.
    const QByteArray bytes = rtf::write(doc);
    EXPECT_TRUE(bytes.contains("{\\fs44\\b\\tolmekweight600 Titre 2 }"));
    EXPECT_TRUE(QString::fromLatin1(bytes).contains(QRegularExpression(R"(\\highlight(\d+)\\cb\1\\tolmekbga\d+ )")));
    EXPECT_TRUE(bytes.contains("\\fmodern\\fcharset0 JetBrains Mono;"));
    EXPECT_EQ(runContaining(*copy, "Titre 1").format.intProperty(QTextFormat::FontPixelSize), 28);
    EXPECT_EQ(runContaining(*copy, "Titre 1").format.fontWeight(), QFont::Bold);
    EXPECT_EQ(runContaining(*copy, "Titre 2").format.fontWeight(), QFont::DemiBold);
    EXPECT_EQ(runContaining(*copy, "Titre 3").format.intProperty(QTextFormat::FontPixelSize), 18);

    const QTextCharFormat codeBack = runContaining(*copy, "code()").format;
    EXPECT_EQ(codeBack.fontFamilies().toStringList(), QStringList{"JetBrains Mono"});
    EXPECT_EQ(codeBack.background().color(), grey);
    EXPECT_EQ(codeBack.intProperty(QTextFormat::FontPixelSize), 13);

    const QTextCharFormat styledBack = runContaining(*copy, "styles").format;
    EXPECT_TRUE(styledBack.fontItalic());
    EXPECT_TRUE(styledBack.fontUnderline());
    EXPECT_TRUE(styledBack.fontStrikeOut());

    EXPECT_EQ(runContaining(*copy, "rouge").format.foreground().color(), QColor(255, 59, 48));
    const QTextCharFormat hl = runContaining(*copy, "surligné").format;
    EXPECT_EQ(hl.background().color(), yellow);
    EXPECT_EQ(hl.foreground().color(), QColor(10, 20, 30));

    EXPECT_EQ(copy->findBlockByNumber(1).charFormat().intProperty(QTextFormat::FontPixelSize), 28);
    EXPECT_FALSE(copy->findBlockByNumber(2).charFormat().hasProperty(QTextFormat::FontPixelSize));

    // Text without a colour keeps following the theme: no foreground, no fixed black.
    for (const QString& plain : {QString("Texte normal"), QString("défaut")}) {
        const QTextCharFormat f = runContaining(*copy, plain).format;
        EXPECT_FALSE(f.hasProperty(QTextFormat::ForegroundBrush)) << plain.toStdString();
        EXPECT_FALSE(f.hasProperty(QTextFormat::FontWeight));
        EXPECT_FALSE(f.hasProperty(QTextFormat::FontFamilies));
    }
}

TEST(RtfRoundTrip, CharactersAndParagraphStructure) {
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QString::fromUtf8("Élan à l’été ‘ça’ — ok… {braces} \\back\\slash\tTab"));
    c.insertText(QString(QChar::LineSeparator) + QString::fromUtf8("après saut 😀 \u00a0insécable \u00adx\u2011y"));
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.insertBlock(centred);
    c.insertText("centré");
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    c.insertBlock(right);
    c.insertBlock(QTextBlockFormat());
    c.insertText(QString::fromUtf8("日本語 Ελληνικά Русский"));
    c.insertBlock();

    const auto copy = roundTrip(doc);
    ASSERT_EQ(copy->blockCount(), 5);
    EXPECT_EQ(copy->findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(copy->findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_TRUE(copy->findBlockByNumber(3).text().startsWith(QString::fromUtf8("日本語")));
    EXPECT_TRUE(copy->findBlockByNumber(4).text().isEmpty());
    EXPECT_TRUE(copy->findBlockByNumber(0).text().contains(QChar(0x00A0)));
}

TEST(RtfRoundTrip, EmptyDocumentIsAValidDocument) {
    QTextDocument doc;
    const QByteArray bytes = rtf::write(doc);
    EXPECT_TRUE(bytes.startsWith("{\\rtf1"));
    QTextDocument copy;
    copy.setPlainText("à remplacer");
    ASSERT_TRUE(rtf::read(bytes, copy));
    EXPECT_TRUE(copy.isEmpty());
    EXPECT_EQ(rtf::write(copy), bytes);
}

TEST(RtfRoundTrip, EquivalentNeighbouringFormatsAreWrittenAsOneRun) {
    // Explicit "off" values write like absent ones; reading gives one run, so the bytes must agree.
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat a = sized(14);
    QTextCharFormat b = sized(14, QFont::Normal);
    b.setFontItalic(false);
    c.insertText("un ", a);
    c.insertText("deux", b);
    const auto copy = roundTrip(doc);
    EXPECT_EQ(runsOf(*copy).size(), 1);
}

TEST(RtfRoundTrip, PointSizesAndFixedPitchFamiliesAreStable) {
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat points;
    points.setFontPointSize(15.5);
    c.insertText("points ", points);
    QTextCharFormat mono;
    mono.setFontFamilies({"Some;Family"});
    mono.setFontFixedPitch(true);
    c.insertText("mono ", mono);
    QTextCharFormat huge = sized(100000);
    c.insertText("énorme", huge);
    const auto copy = roundTrip(doc);
    EXPECT_EQ(runContaining(*copy, "points").format.intProperty(QTextFormat::FontPixelSize), 16);
    EXPECT_EQ(runContaining(*copy, "mono").format.fontFamilies().toStringList(), QStringList{"Some;Family"});
    EXPECT_TRUE(runContaining(*copy, "mono").format.fontFixedPitch());
}

// Random documents over every attribute the writer knows: one read makes a fixed point.
TEST(RtfRoundTrip, RandomDocumentsAreFixedPoints) {
    QRandomGenerator rng(20240611);
    const QStringList pieces = {
        "mot",  " ", "é", "😀", "\t", QString(QChar::LineSeparator), "{", "\\", "}", "日", QString(QChar(0x00A0)),
        "Œuvre"};
    const QStringList families = {"", "JetBrains Mono", "Inter", "Serif"};
    const QColor colours[] = {QColor(255, 0, 0), QColor(0, 0, 255, 77), QColor(142, 142, 147, 51)};
    for (int round = 0; round < 40; ++round) {
        QTextDocument doc;
        QTextCursor c(&doc);
        for (int i = 0, n = rng.bounded(1, 40); i < n; ++i) {
            if (rng.bounded(8) == 0) {
                QTextBlockFormat bf;
                bf.setAlignment(rng.bounded(2) ? Qt::AlignLeft : Qt::AlignJustify);
                c.insertBlock(bf);
            }
            QTextCharFormat f;
            if (const QString family = families[rng.bounded(int(families.size()))]; !family.isEmpty())
                f.setFontFamilies({family});
            if (rng.bounded(2))
                f.setProperty(QTextFormat::FontPixelSize, rng.bounded(8, 40));
            if (rng.bounded(2))
                f.setFontWeight(rng.bounded(1, 1001));
            f.setFontItalic(rng.bounded(2));
            f.setFontUnderline(rng.bounded(2));
            f.setFontStrikeOut(rng.bounded(2));
            if (rng.bounded(2))
                f.setForeground(colours[rng.bounded(3)]);
            if (rng.bounded(2))
                f.setBackground(colours[rng.bounded(3)]);
            c.insertText(pieces[rng.bounded(int(pieces.size()))], f);
        }
        const QByteArray first = rtf::write(doc);
        QTextDocument copy;
        ASSERT_TRUE(rtf::read(first, copy));
        ASSERT_EQ(rtf::write(copy).toStdString(), first.toStdString()) << "round " << round;
        ASSERT_EQ(copy.toPlainText(), doc.toPlainText());
    }
}

} // namespace

// Long plain runs are written by the piece: braces and backslashes on either side of a piece's end, and
// an accented letter right after a full piece, come back as they were.
TEST(RtfRoundTrip, LongRunsWithEscapesAtEveryOffset) {
    for (int at = 250; at < 262; ++at) {
        QString text(600, QLatin1Char('x'));
        text[at] = u'{';
        text[at + 1] = u'\\';
        text[at + 2] = u'}';
        text[511] = u'é';
        QTextDocument doc;
        QTextCursor(&doc).insertText(text);
        const QByteArray bytes = rtf::write(doc);
        QTextDocument copy;
        ASSERT_TRUE(rtf::read(bytes, copy));
        EXPECT_EQ(copy.toPlainText(), text) << at;
    }
}
