#include "RichTextTestUtil.h"

#include "richtext/ClickableTextView.h"
#include "richtext/LargeText.h"
#include "richtext/NotesFormat.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextEditorWrapper.h"
#include "richtext/RichTextToolbar.h"
#include "richtext/SpellChecker.h"
#include "support/TestSupport.h"
#include "ui/DialogSeam.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace {

// Paragraphs of `words` words until the text holds `chars` characters.
QString paragraphs(qsizetype chars, const QString& word = QStringLiteral("projet"), int words = 50) {
    QString line;
    for (int i = 0; i < words; ++i)
        line += (i ? QStringLiteral(" ") : QString()) + word;
    line += QLatin1Char('\n');
    return line.repeated(chars / line.size() + 1);
}

struct Values {
    QString content;
    std::optional<QByteArray> rtf;
    int textWrites = 0;
    int rtfWrites = 0;
    int changes = 0;
    std::function<void()> onWrite;
};

struct PaintSpy : QObject {
    explicit PaintSpy(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

std::unique_ptr<RichTextBlockEditor> editorOver(Values& v) {
    auto editor = std::make_unique<RichTextBlockEditor>(rttest::environment(),
                                                        TextBinding{[&v] { return v.content; },
                                                                    [&v](const QString& t) {
                                                                        v.content = t;
                                                                        ++v.textWrites;
                                                                        if (v.onWrite)
                                                                            v.onWrite();
                                                                    }},
                                                        RtfBinding{[&v] { return v.rtf; },
                                                                   [&v](const std::optional<QByteArray>& b) {
                                                                       v.rtf = b;
                                                                       ++v.rtfWrites;
                                                                   }},
                                                        false, std::function<void()>([&v] { ++v.changes; }),
                                                        std::function<void()>());
    editor->resize(600, 200);
    editor->show();
    QApplication::processEvents();
    return editor;
}

} // namespace

// Below the limit the area grows with the text and every key writes; past it the area keeps a fixed
// height, scrolls inside, and writes once after the typing (or at once when flushed).
TEST(LargeText, ALargeTextKeepsAFixedHeightAndIsWrittenAfterThePause) {
    struct Case {
        qsizetype chars;
        bool bounded;
    } cases[] = {{2'000, false}, {largetext::boundedChars + 1'000, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chars);
        Values v;
        v.content = paragraphs(c.chars);
        auto editor = editorOver(v);
        RichTextEditorWrapper* wrapper = editor->wrapper();
        EXPECT_EQ(wrapper->isBounded(), c.bounded);
        if (c.bounded) {
            EXPECT_TRUE(testsupport::waitFor([&] { return wrapper->calculatedHeight() == largetext::boundedHeight; }));
        }
        QTextCursor cursor(editor->textView()->document());
        editor->textView()->setTextCursor(cursor);
        editor->textView()->setFocus();
        QTest::keyClicks(editor->textView(), QStringLiteral("abc"));
        // Each key is written before the next is handled; the last waits behind its frame.
        EXPECT_EQ(v.textWrites, c.bounded ? 0 : 2);
        EXPECT_EQ(v.changes, c.bounded ? 0 : 2);
        EXPECT_TRUE(wrapper->hasPendingWrite());
        if (!c.bounded) {
            PaintSpy painted(editor->textView()->viewport());
            bool paintedFirst = false;
            v.onWrite = [&] { paintedFirst = painted.paints > 0; };
            QApplication::processEvents();
            EXPECT_EQ(v.textWrites, 3);
            EXPECT_EQ(v.changes, 3);
            EXPECT_TRUE(paintedFirst) << "the write came before the key's frame";
            EXPECT_FALSE(wrapper->hasPendingWrite());
            v.onWrite = nullptr;
        }
        if (c.bounded) {
            // Flushed before a save: the text and the RTF at once, onChange in the next turn.
            EXPECT_TRUE(editor->flushRtf());
            EXPECT_EQ(v.textWrites, 1);
            EXPECT_TRUE(v.content.startsWith(QStringLiteral("abcprojet")));
            ASSERT_TRUE(v.rtf.has_value());
            EXPECT_TRUE(testsupport::waitFor([&] { return v.changes == 1; }));
            // More typing is written once, after the pause.
            QTest::keyClicks(editor->textView(), QStringLiteral("de"));
            EXPECT_EQ(v.textWrites, 1);
            EXPECT_TRUE(testsupport::waitFor([&] { return v.textWrites == 2; }));
            EXPECT_TRUE(v.content.startsWith(QStringLiteral("abcdeprojet")));
            EXPECT_EQ(v.changes, 2);
        }
        EXPECT_EQ(rttest::reloaded(*editor->textView()->document())->toPlainText(), v.content);
    }
}

// Typing without a pause never holds a large text's write back: the first unwritten key starts the wait
// and later keys do not restart it; a change of format alone waits the same way, and the keyboard leaving
// the text writes at once.
TEST(LargeText, ContinuousTypingInALargeTextIsWrittenWithinTheWait) {
    Values v;
    v.content = paragraphs(largetext::boundedChars + 1'000);
    auto editor = editorOver(v);
    auto* other = new QLineEdit(editor.get());
    other->show();
    QApplication::setActiveWindow(editor.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
    QTextCursor cursor(editor->textView()->document());
    editor->textView()->setTextCursor(cursor);
    editor->textView()->setFocus();
    QElapsedTimer typing;
    typing.start();
    qint64 firstWrite = -1;
    // A key every 50 ms for three times the wait.
    for (int i = 0; typing.elapsed() < 3 * RichTextEditorWrapper::writeDelayMs; ++i) {
        QTest::keyClick(editor->textView(), Qt::Key_A);
        QTest::qWait(50);
        if (firstWrite < 0 && v.textWrites > 0)
            firstWrite = typing.elapsed();
    }
    ASSERT_GE(firstWrite, 0) << "nothing written during " << typing.elapsed() << " ms of typing";
    EXPECT_LT(firstWrite, RichTextEditorWrapper::writeDelayMs + 500);
    EXPECT_TRUE(v.content.startsWith(QStringLiteral("aaa")));

    // Bold on the first word: written within the wait, as a change.
    ASSERT_TRUE(testsupport::waitFor([&] { return !editor->wrapper()->hasPendingWrite(); }));
    const int changes = v.changes;
    const int rtfWrites = v.rtfWrites;
    cursor.setPosition(0);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    editor->textView()->setTextCursor(cursor);
    editor->toolbar()->toggleBold();
    EXPECT_TRUE(editor->wrapper()->hasPendingWrite());
    EXPECT_TRUE(testsupport::waitFor([&] { return v.changes > changes; }, RichTextEditorWrapper::writeDelayMs + 500));
    EXPECT_GT(v.rtfWrites, rtfWrites);

    // Typed, then the keyboard goes elsewhere: written on the spot.
    QTest::keyClick(editor->textView(), Qt::Key_B);
    const int writes = v.textWrites;
    other->setFocus();
    EXPECT_FALSE(editor->wrapper()->hasPendingWrite());
    EXPECT_EQ(v.textWrites, writes + 1);
}

// Keys coming faster than a large one-paragraph text handles them (each key lays the whole paragraph out
// again) never hold its writes back: a key handled once the wait is over writes first.
TEST(LargeText, KeysQueuedInALargeParagraphAreWrittenWithinTheWait) {
    Values v;
    v.content = QStringLiteral("projet ").repeated(150'000 / 7);
    auto editor = editorOver(v);
    QTextCursor cursor(editor->textView()->document());
    cursor.setPosition(75'000);
    editor->textView()->setTextCursor(cursor);
    editor->textView()->setFocus();
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> writes{0};
    qint64 longestStep = 0;
    int seen = 0;
    // No turn of the event loop between the keys: they are queued.
    while (clock.elapsed() < 4 * RichTextEditorWrapper::writeDelayMs) {
        const qint64 before = clock.elapsed();
        QTest::keyClick(editor->textView(), Qt::Key_A);
        longestStep = std::max(longestStep, clock.elapsed() - before);
        if (v.textWrites != seen) {
            seen = v.textWrites;
            writes.push_back(clock.elapsed());
        }
    }
    ASSERT_GE(writes.size(), 3u) << "written " << writes.size() - 1 << " times in " << clock.elapsed() << " ms";
    for (size_t i = 1; i < writes.size(); ++i)
        EXPECT_LE(writes[i] - writes[i - 1], RichTextEditorWrapper::writeDelayMs + 2 * longestStep) << i;
}

// A paste that would take a text past the editable limit is refused whole, at once, and said; the text,
// its bindings and the window stay as they were. Checked with plain text and with RTF alone.
TEST(LargeText, APastePastTheLimitIsRefusedWithAMessage) {
    DialogSeam::setNonInteractive(true);
    DialogSeam::reset();
    Values v;
    v.content = QStringLiteral("début");
    auto editor = editorOver(v);
    editor->textView()->setFocus();
    editor->textView()->moveCursor(QTextCursor::End);
    QMimeData plain;
    plain.setText(QString(10'000'000, QLatin1Char('x')));
    QMimeData rtfOnly;
    rtfOnly.setData(QStringLiteral("text/rtf"), "{\rtf1 " + QByteArray(10'000'000, 'y') + "}");
    for (const QMimeData* data : {&plain, &rtfOnly}) {
        QElapsedTimer clock;
        clock.start();
        editor->textView()->pasteData(data);
        EXPECT_LT(clock.elapsed(), 1000);
        QApplication::processEvents();
        EXPECT_EQ(editor->textView()->toPlainText(), QStringLiteral("début"));
        ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
        EXPECT_EQ(DialogSeam::shownMessages().last().text, QStringLiteral("Ce collage est trop volumineux."));
        EXPECT_EQ(DialogSeam::shownMessages().last().informativeText,
                  QStringLiteral("Un texte compte au plus 3\u202F000\u202F000 caractères ; rien n’a été collé."));
        DialogSeam::reset();
    }
    EXPECT_EQ(v.textWrites, 0);
    EXPECT_FALSE(editor->wrapper()->isEdited());
    // What fits is pasted.
    QMimeData fits;
    fits.setText(QStringLiteral(" suite"));
    editor->textView()->pasteData(&fits);
    EXPECT_EQ(v.content, QStringLiteral("début suite"));
    EXPECT_TRUE(DialogSeam::shownMessages().isEmpty());
    DialogSeam::setNonInteractive(false);
}

// Laying out a large text in the background never holds the window: each pass of the event loop lays out
// a bounded part, and the whole text ends laid out.
TEST(LargeText, BackgroundLayoutOfALargeTextRunsInSmallSteps) {
    QTextEdit view;
    view.resize(600, 300);
    view.setPlainText(paragraphs(1'000'000));
    largetext::paceLayout(*view.document());
    view.show();
    // Showing lays out what is in view, at once.
    QApplication::processEvents();
    QElapsedTimer total;
    total.start();
    qint64 longest = 0;
    const QTextBlock last = view.document()->lastBlock();
    while (!last.layout() || last.layout()->lineCount() == 0) {
        ASSERT_LT(total.elapsed(), 30'000) << "the layout never reached the end";
        QElapsedTimer pass;
        pass.start();
        QApplication::processEvents(QEventLoop::AllEvents);
        longest = std::max(longest, pass.elapsed());
    }
    EXPECT_LT(longest, 60) << "one pass held the event loop that long";
}

// Past the editable limits nothing is read whole: the start is shown read-only under a notice, and
// nothing is ever written back, whether the text is plain or RTF.
TEST(LargeText, ATextTooLargeToEditShowsItsStartReadOnly) {
    const QString big = paragraphs(largetext::maxEditableChars + 10);
    struct Case {
        const char* name;
        QString content;
        std::optional<QByteArray> rtf;
    } cases[] = {
        {"plain", big, std::nullopt},
        {"rtf", QString(),
         QByteArray("{\\rtf1\\ansi {\\b d\\'e9but} ") +
             QByteArray("mot mot\\par ").repeated(largetext::maxEditableRtfBytes / 12) + QByteArray("}")},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        Values v;
        v.content = c.content;
        v.rtf = c.rtf;
        auto editor = editorOver(v);
        RichTextEditorWrapper* wrapper = editor->wrapper();
        EXPECT_TRUE(wrapper->isOversized());
        EXPECT_TRUE(editor->textView()->isReadOnly());
        ASSERT_NE(wrapper->notice(), nullptr);
        EXPECT_TRUE(wrapper->notice()->text().startsWith(QStringLiteral("Ce texte est trop volumineux")));
        EXPECT_LE(editor->textView()->document()->characterCount(), largetext::previewChars + 1);
        if (c.rtf) {
            EXPECT_TRUE(editor->textView()->toPlainText().startsWith(QStringLiteral("début")));
        }
        editor->textView()->setFocus();
        QTest::keyClicks(editor->textView(), QStringLiteral("abc"));
        EXPECT_FALSE(editor->flushRtf());
        QApplication::processEvents();
        EXPECT_EQ(v.textWrites + v.rtfWrites + v.changes, 0);
    }
}

TEST(LargeText, StoredNotesTooLargeAreOnlyReadAtTheirStart) {
    const QByteArray rtf =
        QByteArray("{\\rtf1\\ansi d\\'e9but ") + QByteArray(largetext::maxEditableRtfBytes, 'x') + "}";
    const QString encoded = notesformat::encode(rtf, {});
    const QString plain = QString(largetext::maxEditableChars + 1, QLatin1Char('a'));
    struct Case {
        std::optional<QString> stored;
        bool oversized;
        QString previewPlain; // the plain text of the preview, cut at 10
        std::optional<QByteArray> previewRtfStart;
    } cases[] = {
        {std::nullopt, false, QString(), std::nullopt},
        {QStringLiteral("court"), false, QStringLiteral("court"), std::nullopt},
        {plain, true, QStringLiteral("aaaaaaaaaa"), std::nullopt},
        {encoded, true, QString(), QByteArray("{\\rtf1\\ansi d")},
        // A damaged start is no RTF: shown as the text it is.
        {QStringLiteral("rtf:***"), false, QStringLiteral("rtf:***"), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.value_or(QStringLiteral("(none)")).left(20).toStdString());
        EXPECT_EQ(notesformat::isOversized(c.stored), c.oversized);
        const notesformat::Decoded p = notesformat::preview(c.stored, 10);
        EXPECT_EQ(p.plain, c.previewPlain);
        EXPECT_EQ(p.rtf.has_value(), c.previewRtfStart.has_value());
        if (c.previewRtfStart) {
            EXPECT_TRUE(p.rtf->startsWith(*c.previewRtfStart));
            EXPECT_LE(p.rtf->size(), 60);
        }
    }
    // Decoding RTF too large to edit leaves its text to the preview rather than reading it all.
    const notesformat::Decoded whole = notesformat::decode(encoded);
    EXPECT_EQ(whole.rtf, rtf);
    EXPECT_TRUE(whole.plain.isEmpty());
}

// The spell checker never holds the window for a whole long text: one pass checks what its budget allows,
// the rest follows in later turns, and every misspelt word ends up underlined.
TEST(LargeText, SpellCheckingALongTextRunsInSlices) {
    SpellDictionary& dictionary = testsupport::testDictionary();
    dictionary.ensureLoading();
    ASSERT_TRUE(testsupport::waitFor([&] { return dictionary.isLoaded(); }, 20000));
    if (!dictionary.isAvailable())
        GTEST_SKIP() << "no French dictionary installed";
    QTextDocument doc;
    doc.setPlainText(paragraphs(400'000, QStringLiteral("bonjuor")));
    QElapsedTimer t;
    t.start();
    auto* highlighter = new SpellHighlighter(&doc, dictionary);
    QApplication::processEvents();
    EXPECT_TRUE(highlighter->hasPendingChecks());
    EXPECT_LT(t.elapsed(), 1000);
    ASSERT_TRUE(testsupport::waitFor([&] { return !highlighter->hasPendingChecks(); }, 20000));
    for (QTextBlock b = doc.begin(); b.isValid() && b.length() > 1; b = b.next())
        ASSERT_EQ(b.layout()->formats().size(), 50) << b.blockNumber();
    delete highlighter;
}

// The background layout of a large text, kept in small steps, never leaves a paragraph without its lines
// (the first one is laid out again at every step).
TEST(LargeText, PacedLayoutKeepsEveryShownParagraphDrawn) {
    QTextEdit view;
    view.resize(600, 300);
    view.setPlainText(paragraphs(largetext::boundedChars * 3));
    largetext::paceLayout(*view.document());
    view.show();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    for (QTextBlock b = view.document()->begin(); b.isValid() && b.blockNumber() < 5; b = b.next())
        EXPECT_GT(b.layout()->lineCount(), 0) << b.blockNumber();
}
