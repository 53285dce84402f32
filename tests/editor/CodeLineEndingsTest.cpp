// Stored code keeps its own line endings through the editor, which knows only paragraphs.
#include "editor/CodeBlockView.h"
#include "editor/CodeLineEndings.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace {

// The editor's raw text for `code`: its lines joined by paragraph separators.
QString raw(QString code) {
    code.replace(QLatin1String("\r\n"), QStringLiteral("\n"));
    code.replace(u'\r', u'\n');
    code.replace(u'\n', QChar(QChar::ParagraphSeparator));
    return code;
}

QString keep(const QString& edited, const QString& stored) { return codelines::withStoredEndings(raw(edited), stored); }

TEST(CodeLineEndings, UntouchedLinesKeepTheirEndings) {
    const QString crlf = QStringLiteral("a\r\nb\r\nc\r\n");
    EXPECT_EQ(keep(crlf, crlf), crlf);
    // A character typed in a line, at the start, at the end.
    EXPECT_EQ(keep(QStringLiteral("a\nbX\nc\n"), crlf), QStringLiteral("a\r\nbX\r\nc\r\n"));
    EXPECT_EQ(keep(QStringLiteral("Xa\nb\nc\n"), crlf), QStringLiteral("Xa\r\nb\r\nc\r\n"));
    EXPECT_EQ(keep(QStringLiteral("a\nb\nc\nX"), crlf), QStringLiteral("a\r\nb\r\nc\r\nX"));
    // New lines take the block's own ending; mixed endings stay where they were.
    EXPECT_EQ(keep(QStringLiteral("a\nb\nnew\nc\n"), crlf), QStringLiteral("a\r\nb\r\nnew\r\nc\r\n"));
    const QString mixed = QStringLiteral("a\nb\r\nc\rd\r\ne");
    EXPECT_EQ(keep(QStringLiteral("a\nbb\ncc\nd\ne"), mixed), QStringLiteral("a\nbb\r\ncc\rd\r\ne"));
    EXPECT_EQ(keep(QStringLiteral("a\nb\nc\nd\ne\nf"), mixed), QStringLiteral("a\nb\r\nc\rd\r\ne\r\nf"));
    // Lines joined or removed: the ones around keep theirs.
    EXPECT_EQ(keep(QStringLiteral("a\nbc\rd\ne"), mixed), QStringLiteral("a\nbc\rd\r\ne"));
    EXPECT_EQ(keep(QStringLiteral("ab"), QStringLiteral("a\r\nb")), QStringLiteral("ab"));
    // Code without line breaks gets line feeds.
    EXPECT_EQ(keep(QStringLiteral("a\nb"), QStringLiteral("a")), QStringLiteral("a\nb"));
    // Breaks shown as line separators are stored as they were, on the edited line too.
    const QString breaks = QStringLiteral("a\u000Bb\r\nc\u000Cd\u0085e\rf");
    EXPECT_EQ(codelines::shownBreaks(breaks), QStringLiteral("a\u2028b\r\nc\u2028d\u2028e\rf"));
    EXPECT_EQ(keep(QStringLiteral("a\u2028b\nc\u2028dX\u2028e\nf"), breaks),
              QStringLiteral("a\u000Bb\r\nc\u000CdX\u0085e\rf"));
    EXPECT_EQ(keep(QStringLiteral("a\u2028bc\u2028d\u2028e\nf"), breaks), QStringLiteral("a\u000Bbc\u000Cd\u0085e\rf"));
}

TEST(CodeLineEndings, TheCodeBlockWritesItsOwnEndingsAndOtherCharactersAsTheyAre) {
    QString stored = QString::fromUtf16(u"if x:\r\n\tprint(\"a\u00a0b\")\r\n# c\u2028d\r\n");
    int writes = 0;
    ImprovedCodeBlockView view(TextBinding{[&] { return stored; }, [&](const QString& v) { stored = v, ++writes; }},
                               TextBinding{[] { return QStringLiteral("python"); }, {}}, {}, {});
    view.resize(500, 300);
    view.show();
    EXPECT_EQ(writes, 0);
    // Line numbers count a CR LF as one break.
    EXPECT_EQ(view.lineNumberPlaces().size(), 5);
    QPlainTextEdit* editor = view.editor();
    QTextCursor c(editor->document());
    c.movePosition(QTextCursor::NextBlock);
    c.movePosition(QTextCursor::EndOfBlock);
    editor->setTextCursor(c);
    QTest::keyClicks(editor, QStringLiteral("!"));
    EXPECT_EQ(stored, QString::fromUtf16(u"if x:\r\n\tprint(\"a\u00a0b\")!\r\n# c\u2028d\r\n"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, QStringLiteral("y"));
    EXPECT_EQ(stored, QString::fromUtf16(u"if x:\r\n\tprint(\"a\u00a0b\")!\r\ny\r\n# c\u2028d\r\n"));
    while (editor->document()->isUndoAvailable())
        editor->undo();
    EXPECT_EQ(stored, QString::fromUtf16(u"if x:\r\n\tprint(\"a\u00a0b\")\r\n# c\u2028d\r\n"));
}

} // namespace
