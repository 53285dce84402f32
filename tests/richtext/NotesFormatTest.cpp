#include "richtext/NotesFormat.h"

#include <QTextCursor>
#include <QTextDocument>

#include "rtf/Rtf.h"

#include <gtest/gtest.h>

namespace {

QByteArray rtfOf(const QString& text) {
    QTextDocument doc;
    QTextCursor(&doc).insertText(text);
    return rtf::write(doc);
}

TEST(NotesFormat, PlainDescriptionIsTrimmedAndNeverAbsent) {
    EXPECT_EQ(notesformat::encode(std::nullopt, "  acheter \n du pain\n "), "acheter \n du pain");
    EXPECT_EQ(notesformat::encode(std::nullopt, ""), "");
    EXPECT_EQ(notesformat::encode(std::nullopt, " \n\t"), "");
    // Present but empty RTF falls back to the plain form.
    EXPECT_EQ(notesformat::encode(QByteArray(), " texte "), "texte");
}

TEST(NotesFormat, RtfRoundTripKeepsTheBytesAndReadsTheText) {
    const QByteArray bytes = rtfOf(QStringLiteral("Écrire le brief"));
    const QString stored = notesformat::encode(bytes, "ignored");
    ASSERT_TRUE(stored.startsWith("rtf:"));
    EXPECT_FALSE(stored.contains('\n'));

    // Blanks and new lines before the prefix are allowed.
    const notesformat::Decoded d = notesformat::decode(" \n" + stored + "\n");
    ASSERT_TRUE(d.rtf);
    EXPECT_EQ(*d.rtf, bytes);
    EXPECT_EQ(d.plain, QStringLiteral("Écrire le brief"));
}

TEST(NotesFormat, OnlyStrictBase64AfterTheLowerCasePrefixIsRich) {
    const QString b64 = QString::fromLatin1(rtfOf("x").toBase64());
    // Prefix in another case: plain text, untrimmed.
    auto d = notesformat::decode(QString(" RTF:" + b64));
    EXPECT_FALSE(d.rtf);
    EXPECT_EQ(d.plain, " RTF:" + b64);

    const QStringList broken{
        "rtf:ab c=", // blank inside
        "rtf:" + b64.left(b64.size() - 1), // not a multiple of four
        "rtf:" + b64.left(4) + "\n" + b64.mid(4),
        "rtf:ab=c", // padding in the middle
        "rtf:a===", // too much padding
        "rtf:ab-_", // URL alphabet
        "rtf:QR==", // non-zero unused bits
    };
    for (const QString& value : broken) {
        d = notesformat::decode(value);
        EXPECT_FALSE(d.rtf) << value.toStdString();
        EXPECT_EQ(d.plain, value) << value.toStdString();
    }
}

TEST(NotesFormat, EmptyAndUnreadableRtf) {
    auto d = notesformat::decode(QString("rtf:"));
    ASSERT_TRUE(d.rtf);
    EXPECT_TRUE(d.rtf->isEmpty());
    EXPECT_EQ(d.plain, "");

    // Bytes that are not RTF are kept; the plain text is empty.
    const QByteArray junk("not an rtf document");
    d = notesformat::decode(QString("rtf:" + junk.toBase64()));
    ASSERT_TRUE(d.rtf);
    EXPECT_EQ(*d.rtf, junk);
    EXPECT_EQ(d.plain, "");

    d = notesformat::decode(std::nullopt);
    EXPECT_FALSE(d.rtf);
    EXPECT_EQ(d.plain, "");
}

} // namespace
