#include "rtf/Rtf.h"
#include "RtfTestPrint.h"
#include "../richtext/ForeignRtf.h"

#include <QPixmap>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <gtest/gtest.h>

namespace {

struct Objects {
    QList<QTextImageFormat> images;
    QStringList hidden;
};

Objects objectsOf(const QTextDocument& doc) {
    Objects out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat())
                out.images.append(f.toImageFormat());
            else if (f.objectType() == rtf::hiddenTextObject)
                out.hidden.append(f.stringProperty(rtf::hiddenTextProperty));
        }
    }
    return out;
}

QTextTable* tableAt(QTextDocument& doc, const QString& text) {
    QTextCursor c(&doc);
    c.setPosition(int(doc.toPlainText().indexOf(text)));
    return c.currentTable();
}

// Written, read and written again: the same bytes.
void expectFixedPoint(const QByteArray& written) {
    QTextDocument again;
    ASSERT_TRUE(rtf::read(written, again));
    EXPECT_EQ(rtf::write(again), written);
}

TEST(RtfKeep, AWordProcessorsTextKeepsItsPicturesTableHiddenTextAndStyleSheet) {
    const QByteArray png = rttest::pictureBytes("PNG", Qt::red);
    const QByteArray jpeg = rttest::pictureBytes("JPEG", Qt::blue);
    QTextDocument doc;
    rtf::ReadInfo info;
    ASSERT_TRUE(rtf::read(rttest::wordProcessorRtf(png, jpeg), doc, &info));
    EXPECT_EQ(info.lost, 0u);
    EXPECT_EQ(rtf::plainText(doc),
              QString::fromUtf8("Compte rendu\nLe texte visible continue.\n \nPoint\nDécision "
                                "prise\nBudget\nValidé\nSous réserve\nPremier point\nSecond "
                                "point\nFin du compte rendu.\n"));
    // Both pictures are shown at the size their document gives them (1200 × 900 twips).
    const Objects objects = objectsOf(doc);
    ASSERT_EQ(objects.images.size(), 2);
    for (const QTextImageFormat& image : objects.images) {
        EXPECT_EQ(image.width(), 60);
        EXPECT_EQ(image.height(), 45);
        const QPixmap shown = doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QPixmap>();
        EXPECT_EQ(shown.size(), QSize(8, 6));
    }
    EXPECT_EQ(objects.hidden, QStringList{QString::fromUtf8(" et une remarque cachée")});
    QTextTable* table = tableAt(doc, QStringLiteral("Budget"));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 2);
    EXPECT_GT(table->format().border(), 0);
    EXPECT_EQ(table->cellAt(1, 1).lastPosition() - table->cellAt(1, 1).firstPosition(),
              int(QString::fromUtf8("Validé\nSous réserve").size()));
    EXPECT_EQ(doc.begin().blockFormat().intProperty(rtf::styleProperty), 1);

    // Written with a key typed: everything else as it came.
    QTextCursor key(&doc);
    key.setPosition(int(doc.toPlainText().indexOf(QStringLiteral(" continue"))));
    key.insertText(QStringLiteral("!"));
    rtf::ParagraphCache cache;
    const QByteArray written = rtf::write(doc, cache);
    EXPECT_EQ(written, rtf::write(doc));
    EXPECT_TRUE(written.contains(rttest::pictureGroup("pngblip", png)));
    EXPECT_TRUE(written.contains(rttest::pictureGroup("jpegblip", jpeg)));
    EXPECT_TRUE(QString::fromLatin1(written).contains(
        QRegularExpression(QStringLiteral(R"(\{\\v(\\f\d+|\\fs24)*  et une remarque cach\\u233\\'e9e\})"))));
    EXPECT_EQ(written.count("\\trowd"), 2);
    EXPECT_EQ(written.count("\\row"), 2);
    EXPECT_EQ(written.count("\\intbl"), 5);
    EXPECT_TRUE(written.contains("\\pard\\s1 "));
    // The style sheet, its fonts and colours numbered as this text's tables number them.
    const QRegularExpression heading(
        QStringLiteral(R"(\\stylesheet\{.*\{\\s1\\ql .*\\f(\d+)\\fs32\\cf(\d+) .*heading 1;\})"));
    const QRegularExpressionMatch match = heading.match(QString::fromLatin1(written));
    ASSERT_TRUE(match.hasMatch()) << written.constData();
    EXPECT_TRUE(written.contains("{\\f" + match.captured(1).toLatin1() + "\\fswiss\\fcharset0 Arial;}"));
    EXPECT_TRUE(written.contains(QByteArray("\\colortbl;") + (match.captured(2) == QLatin1String("1") ? "" : "?") +
                                 "\\red31\\green73\\blue125;"));
    QTextDocument again;
    ASSERT_TRUE(rtf::read(written, again));
    EXPECT_EQ(rtf::plainText(again), rtf::plainText(doc));
    EXPECT_EQ(objectsOf(again).images.size(), 2);
    expectFixedPoint(written);
}

TEST(RtfKeep, TheOtherPlatformsTextKeepsItsTable) {
    QTextDocument doc;
    rtf::ReadInfo info;
    ASSERT_TRUE(rtf::read(rttest::cocoaRtf(), doc, &info));
    EXPECT_EQ(info.lost, 0u);
    EXPECT_EQ(rtf::plainText(doc), QStringLiteral("Courses\nPour samedi :\nPain\n2\nFromage\n1\nMerci !"));
    QTextTable* table = tableAt(doc, QStringLiteral("Fromage"));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 2);
    const QByteArray written = rtf::write(doc);
    EXPECT_TRUE(written.contains("\\cellx4320")) << written.constData();
    EXPECT_TRUE(written.contains("\\cellx8640"));
    expectFixedPoint(written);
}

// The paragraph right before a table keeps its style and alignment, an empty one too.
TEST(RtfKeep, TheParagraphBeforeATableKeepsItsFormat) {
    const QByteArray row = "\\trowd\\cellx4000\\cellx8000\\pard\\intbl a\\cell\\pard\\intbl b\\cell\\row\n";
    QTextDocument doc;
    ASSERT_TRUE(rtf::read("{\\rtf1\\ansi " + row + "\\pard\\s5\\qc \\par\n" + row + "\\pard fin\\par}", doc));
    QTextCursor c(&doc);
    c.setPosition(int(doc.toPlainText().indexOf(QLatin1Char('b'))) + 2);
    ASSERT_FALSE(c.currentTable());
    EXPECT_EQ(c.blockFormat().intProperty(rtf::styleProperty), 5);
    EXPECT_EQ(c.blockFormat().alignment(), Qt::AlignHCenter);
    expectFixedPoint(rtf::write(doc));
}

TEST(RtfKeep, HiddenTextKeepsItsParagraphsAndFormat) {
    QTextDocument doc;
    ASSERT_TRUE(rtf::read("{\\rtf1 a{\\v\\i x\\par y}b\\par c\\v d\\v0\\par}", doc));
    EXPECT_EQ(rtf::plainText(doc), QStringLiteral("ab\nc\n"));
    EXPECT_EQ(objectsOf(doc).hidden, (QStringList{QStringLiteral("x\u2029y"), QStringLiteral("d")}));
    const QByteArray written = rtf::write(doc);
    EXPECT_TRUE(written.contains("a{\\v\\i x\\par y}b")) << written.constData();
    expectFixedPoint(written);
}

TEST(RtfKeep, WhatCannotBeKeptIsTold) {
    const struct {
        const char* rtf;
        unsigned lost;
    } cases[] = {
        {"{\\rtf1 a{\\object\\objemb{\\*\\objclass Excel.Sheet}{\\*\\objdata 0102}{\\result b}}c}", rtf::lostObject},
        {"{\\rtf1 {\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 202}}{\\shptxt zone}}}x}", rtf::lostShape},
        {"{\\rtf1 {\\header en-t\\'eate}x}", rtf::lostHeaderFooter},
        {"{\\rtf1 x{\\*\\atnid A}{\\*\\annotation{\\*\\atndate 1}avis}}", rtf::lostComment},
        {"{\\rtf1 x{\\pict\\emfblip 01000000}}", rtf::lostPicture},
        {"{\\rtf1 \\trowd\\cellx100\\pard\\intbl a\\intbl\\itap2 b\\nestcell\\cell\\row}", rtf::lostNestedTable},
        // A metafile that stands in for a picture read from its shape is no loss.
        {"{\\rtf1 {\\*\\shppict{\\pict\\pngblip 89504e47}}{\\nonshppict{\\pict\\wmetafile8 0100}}}", 0},
        {"{\\rtf1 {\\*\\bkmkstart m}{\\*\\generator W}{\\info{\\title t}}x{\\*\\unknown y}}", 0},
    };
    for (const auto& c : cases) {
        QTextDocument doc;
        rtf::ReadInfo info;
        ASSERT_TRUE(rtf::read(c.rtf, doc, &info));
        EXPECT_EQ(info.lost, c.lost) << c.rtf;
    }
}

} // namespace
