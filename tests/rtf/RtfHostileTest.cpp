#include "rtf/Rtf.h"
#include "RtfTestPrint.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <gtest/gtest.h>

namespace {

TEST(RtfHostile, NonRtfReturnsFalseAndEmptiesTheDocument) {
    for (const QByteArray& data : {QByteArray(), QByteArray("hello"), QByteArray("{\\rt"), QByteArray("rtf:{\\rtf1}"),
                                   QByteArray("<html>{\\rtf1</html>")}) {
        QTextDocument doc;
        doc.setPlainText("ancien texte");
        EXPECT_FALSE(rtf::read(data, doc)) << data.toStdString();
        EXPECT_TRUE(doc.isEmpty());
    }
    QTextDocument doc;
    EXPECT_TRUE(rtf::read("\xEF\xBB\xBF \r\n{\\rtf1 ok}", doc));
    EXPECT_EQ(doc.toPlainText(), "ok");
}

TEST(RtfHostile, DeepNestingIsReadFlat) {
    QByteArray data = "{\\rtf1 ";
    data += QByteArray(100000, '{');
    data += "\\b profond";
    data += QByteArray(100000, '}');
    data += " fin}";
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(data, doc));
    EXPECT_EQ(doc.toPlainText(), "profond fin");

    // Unclosed groups and an unknown destination deep inside.
    QTextDocument unclosed;
    ASSERT_TRUE(rtf::read("{\\rtf1 a" + QByteArray(5000, '{') + "{\\*\\x y}b", unclosed));
    EXPECT_EQ(unclosed.toPlainText(), "ab");
}

TEST(RtfHostile, HugeNumbersAreClamped) {
    QTextDocument doc;
    ASSERT_TRUE(
        rtf::read("{\\rtf1 {\\fs99999999999999999999 grand}{\\fs-99999999999999 petit}"
                  "\\u99999999999999999999?\\u-99999999999?\\u1114111?\\uc99999999999 \\u65 abc"
                  "\\f99999999999\\cf99999999999\\cb-99999999999\\tolmekweight-5 x"
                  "\\bin999999999999 }",
                  doc));
    QTextCursor c(&doc);
    c.setPosition(2);
    EXPECT_EQ(c.charFormat().intProperty(QTextFormat::FontPixelSize), 1600);
    const QString text = doc.toPlainText();
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("grandpetit\uFFFD\uFFFD\U0010FFFF"))) << text.toStdString();
    EXPECT_FALSE(text.contains("abc")); // skipped as fallback characters of \u65
}

TEST(RtfHostile, EveryTruncationReadsWithoutFailing) {
    const QByteArray sample =
        "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Mincho;}{\\f1\\fmodern Mono;}}"
        "{\\colortbl;\\red1\\green2\\blue3;}{\\*\\x {y}}\\pard\\qc {\\b\\tolmekweight600\\cf1\\highlight1"
        "\\tolmekbga19789 t\\'83e\\u-10179?\\u-8704?}\\par{\\pict\\bin3 {}}\\uc2\\u233\\'e9\\'e9{\\upr{a}{\\*\\ud{b}}}"
        "\\cell\\row\\line\\tab\\~}";
    for (int n = 0; n <= sample.size(); ++n) {
        QTextDocument doc;
        EXPECT_EQ(rtf::read(sample.left(n), doc), n >= 5) << n;
    }
}

TEST(RtfHostile, RandomBytesAfterTheHeader) {
    QRandomGenerator rng(7);
    const char alphabet[] = "{}\\'*abfsucl0123456789- ;\xe9\x83";
    for (int round = 0; round < 300; ++round) {
        QByteArray data = "{\\rtf1";
        for (int i = 0, n = rng.bounded(1, 400); i < n; ++i)
            data += alphabet[rng.bounded(int(sizeof alphabet) - 1)];
        QTextDocument doc;
        ASSERT_TRUE(rtf::read(data, doc));
        QTextDocument again;
        ASSERT_TRUE(rtf::read(rtf::write(doc), again));
        ASSERT_EQ(again.toPlainText(), doc.toPlainText()) << data.toStdString();
    }
}

} // namespace

TEST(RtfHostile, ManyTableRowsReadInLinearTime) {
    // Each cell found by Qt's lookup would cost the whole table: 20,000 rows took seconds.
    const QByteArray row = "\\trowd\\cellx100\\cellx200\\pard\\intbl a\\cell b\\cell\\row\n";
    QElapsedTimer timer;
    timer.start();
    QTextDocument doc;
    ASSERT_TRUE(rtf::read("{\\rtf1 " + row.repeated(20000) + "\\pard fin}", doc));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_TRUE(rtf::plainText(doc).endsWith(QStringLiteral("a\nb\nfin")));
    QTextCursor last(&doc);
    last.setPosition(doc.characterCount() - 6);
    ASSERT_TRUE(last.currentTable());
    EXPECT_EQ(last.currentTable()->rows(), 20000);
}
