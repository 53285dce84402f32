#include "RichTextTestUtil.h"

#include "richtext/RichTextBlockEditor.h"
#include "richtext/ClickableTextView.h"
#include "richtext/SpellChecker.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QTest>
#include <QAbstractTextDocumentLayout>
#include <QTextLayout>

#include <gtest/gtest.h>

TEST(SpellCheck, WordsKeepInnerApostrophesAndHyphens) {
    const QString text = QStringLiteral("L’été, peut-être 3e essai d'abord -x a");
    QStringList words;
    for (const auto& [start, length] : SpellHighlighter::words(text))
        words << text.mid(start, length);
    EXPECT_EQ(words,
              (QStringList{QStringLiteral("L’été"), QStringLiteral("peut-être"), QStringLiteral("essai"),
                           QStringLiteral("d'abord")}));
}

TEST(SpellCheck, FrenchDictionaryUnderlinesWithoutTouchingTheText) {
    SpellDictionary& dictionary = testsupport::testDictionary();
    dictionary.ensureLoading();
    ASSERT_TRUE(testsupport::waitFor([&] { return dictionary.isLoaded(); }, 20000));
    if (!dictionary.isAvailable())
        GTEST_SKIP() << "no French dictionary installed";
    for (const char* word : {"bonjour", "aujourd’hui", "l’instant", "l'instant", "peut-être", "Élève", "déjà"})
        EXPECT_TRUE(dictionary.isCorrect(QString::fromUtf8(word))) << word;
    for (const char* word : {"bonjuor", "écrirre"})
        EXPECT_FALSE(dictionary.isCorrect(QString::fromUtf8(word))) << word;

    QString content = QStringLiteral("bonjour bonjuor");
    std::optional<QByteArray> rtf;
    int writes = 0;
    RichTextBlockEditor editor(rttest::environment(),
                               {[&] { return content; },
                                [&](const QString& v) {
                                    content = v;
                                    ++writes;
                                }},
                               {[&] { return rtf; },
                                [&](const std::optional<QByteArray>& v) {
                                    rtf = v;
                                    ++writes;
                                }},
                               false, {}, {});
    editor.resize(400, 100);
    editor.show();
    QApplication::processEvents();
    const QTextBlock block = editor.textView()->document()->begin();
    bool underlined = false;
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        underlined = underlined ||
            (r.start == 8 && r.length == 7 && r.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline);
    EXPECT_TRUE(underlined);
    EXPECT_EQ(writes, 0);
    editor.flushRtf();
    EXPECT_FALSE(rttest::formatAt(*rttest::reloaded(*editor.textView()->document()), 9).fontUnderline());
}

// The word being typed is underlined once it ends or the typing pauses, not at every key.
TEST(SpellCheck, TheWordBeingTypedWaitsForItsEndOrAPause) {
    SpellDictionary& dictionary = testsupport::testDictionary();
    dictionary.ensureLoading();
    ASSERT_TRUE(testsupport::waitFor([&] { return dictionary.isLoaded(); }, 20000));
    if (!dictionary.isAvailable())
        GTEST_SKIP() << "no French dictionary installed";
    for (const bool endWithSpace : {true, false}) {
        SCOPED_TRACE(endWithSpace ? "word ended" : "pause");
        QString content;
        std::optional<QByteArray> rtf;
        RichTextBlockEditor editor(rttest::environment(),
                                   {[&] { return content; }, [&](const QString& v) { content = v; }},
                                   {[&] { return rtf; }, [&](const std::optional<QByteArray>& v) { rtf = v; }}, false,
                                   {}, {});
        editor.resize(400, 100);
        editor.show();
        QApplication::setActiveWindow(&editor);
        editor.textView()->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(editor.textView()->hasFocus());
        auto underlined = [&] {
            for (const QTextLayout::FormatRange& r : editor.textView()->document()->begin().layout()->formats())
                if (r.start == 0 && r.length == 7 && r.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
                    return true;
            return false;
        };
        QTest::keyClicks(editor.textView(), QStringLiteral("bonjuor"));
        QApplication::processEvents();
        EXPECT_FALSE(underlined());
        if (endWithSpace) {
            QTest::keyClick(editor.textView(), Qt::Key_Space);
            EXPECT_TRUE(underlined());
        } else {
            EXPECT_TRUE(testsupport::waitFor(underlined, SpellHighlighter::typingPauseMs * 4));
        }
    }
}

// The pause checks the word left waiting without laying its paragraph out again when no underline
// changes (a word spelt right beside a misspelt one); a misspelt word is underlined at the pause.
TEST(SpellCheck, ThePauseLaysOutTheParagraphOnlyForANewUnderline) {
    SpellDictionary& dictionary = testsupport::testDictionary();
    dictionary.ensureLoading();
    ASSERT_TRUE(testsupport::waitFor([&] { return dictionary.isLoaded(); }, 20000));
    if (!dictionary.isAvailable())
        GTEST_SKIP() << "no French dictionary installed";
    QString content;
    std::optional<QByteArray> rtf;
    RichTextBlockEditor editor(rttest::environment(), {[&] { return content; }, [&](const QString& v) { content = v; }},
                               {[&] { return rtf; }, [&](const std::optional<QByteArray>& v) { rtf = v; }}, false, {},
                               {});
    editor.resize(400, 100);
    editor.show();
    QApplication::setActiveWindow(&editor);
    editor.textView()->setFocus();
    QApplication::processEvents();
    int changes = 0;
    // The paragraph laid out again: its layout reports it.
    QObject::connect(editor.textView()->document()->documentLayout(), &QAbstractTextDocumentLayout::updateBlock,
                     [&] { ++changes; });
    QObject::connect(editor.textView()->document()->documentLayout(), &QAbstractTextDocumentLayout::update,
                     [&] { ++changes; });
    auto underlines = [&] {
        int n = 0;
        for (const QTextLayout::FormatRange& r : editor.textView()->document()->begin().layout()->formats())
            n += r.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline;
        return n;
    };
    for (const auto& [typed, expected] : {std::pair{"bonjuor bonjour", 1}, std::pair{" bonjuor", 2}}) {
        SCOPED_TRACE(typed);
        QTest::keyClicks(editor.textView(), QString::fromUtf8(typed));
        QApplication::processEvents();
        changes = 0;
        QTest::qWait(SpellHighlighter::typingPauseMs * 2);
        EXPECT_EQ(underlines(), expected);
        EXPECT_EQ(changes > 0, expected > 1) << changes;
    }
}
