// The code block keeps what it stores, its numbers and its painting up to date key by key, without
// reading its whole text again: each is checked against a reading of the whole text.
#include "editor/CodeBlockView.h"
#include "editor/CodeLanguages.h"
#include "editor/CodeLineEndings.h"
#include "editor/EditorWidgets.h"
#include "ui/Palette.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Stored {
    QString code;
    int writes = 0;
    int changes = 0;
};

std::unique_ptr<ImprovedCodeBlockView> codeView(Stored& s) {
    auto view = std::make_unique<ImprovedCodeBlockView>(
        TextBinding{[&s] { return s.code; }, [&s](const QString& v) { s.code = v, ++s.writes; }},
        TextBinding{[] { return QStringLiteral("python"); }, {}}, [&s] { ++s.changes; }, [] {});
    view->resize(600, 400);
    view->show();
    return view;
}

QString lines(int count, const QString& ending) {
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << QStringLiteral("    valeur_%1 = calcul(%1)").arg(i);
    return out.join(ending);
}

// One edit of the kinds a person makes, somewhere in the code.
void editOnce(QPlainTextEdit* editor, QRandomGenerator& random) {
    QTextCursor c = editor->textCursor();
    const int length = editor->document()->characterCount() - 1;
    c.setPosition(int(random.bounded(length + 1)));
    editor->setTextCursor(c);
    switch (random.bounded(9)) {
    case 0: QTest::keyClicks(editor, QStringLiteral("x")); break;
    case 1: QTest::keyClick(editor, Qt::Key_Return); break;
    case 2: QTest::keyClick(editor, Qt::Key_Backspace); break;
    case 3: QTest::keyClick(editor, Qt::Key_Delete); break;
    case 4: editor->insertPlainText(QStringLiteral("a\r\nb\rc\nd")); break;
    case 5: {
        // A selection over a few lines, replaced by a key.
        c.setPosition(std::min(length, c.position() + int(random.bounded(80))), QTextCursor::KeepAnchor);
        editor->setTextCursor(c);
        QTest::keyClicks(editor, QStringLiteral("y"));
        break;
    }
    case 6: editor->insertPlainText(QString(QChar(0x2028)) + QStringLiteral("é\u00a0")); break;
    case 7: editor->undo(); break;
    default: editor->redo(); break;
    }
}

TEST(CodeBlock, StoredCodeAndNumbersFollowEveryKindOfEdit) {
    const QList<QString> codes = {lines(40, QStringLiteral("\n")),
                                  lines(40, QStringLiteral("\r\n")),
                                  lines(40, QStringLiteral("\r")),
                                  lines(20, QStringLiteral("\n")) + QStringLiteral("\r\n") +
                                      lines(20, QStringLiteral("\r\n")),
                                  QString(),
                                  QStringLiteral("une\u2028ligne"),
                                  QStringLiteral("a\u000Bb\u000C\n\u0085c\r\nd")};
    for (const QString& code : codes) {
        Stored s{code};
        auto view = codeView(s);
        QPlainTextEdit* editor = view->editor();
        QRandomGenerator random(7);
        for (int i = 0; i < 150; ++i) {
            const QString before = s.code;
            editOnce(editor, random);
            const QString raw = editor->document()->toRawText();
            ASSERT_EQ(s.code, codelines::withStoredEndings(raw, before))
                << "edit " << i << " of " << code.left(40).toStdString();
            ASSERT_EQ(view->lineNumberCount(), codelang::lineCount(editor->toPlainText())) << "edit " << i;
        }
    }
}

TEST(CodeBlock, EachKeyIsReportedAfterItsFrameAndBeforeTheNextKey) {
    Stored s{QStringLiteral("print(1)")};
    auto view = codeView(s);
    QPlainTextEdit* editor = view->editor();
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    // The code is written at once; the report waits for the event loop.
    QTest::keyClick(editor, Qt::Key_A);
    EXPECT_EQ(s.code, QStringLiteral("print(1)a"));
    EXPECT_EQ(s.changes, 0);
    // The next key reports the one before it first.
    QTest::keyClick(editor, Qt::Key_B);
    EXPECT_EQ(s.changes, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(s.changes, 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(s.changes, 2);
    // The keyboard leaving, and the block hiding, report at once.
    QTest::keyClick(editor, Qt::Key_C);
    editor->clearFocus();
    EXPECT_EQ(s.changes, 3);
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_D);
    view->hide();
    EXPECT_EQ(s.changes, 4);
    QCoreApplication::processEvents();
    EXPECT_EQ(s.changes, 4);
    EXPECT_EQ(s.code, QStringLiteral("print(1)abcd"));
}

TEST(CodeBlock, PaintsWhatAFreshEditorOfTheSameCodePaints) {
    // Lines typed, made, joined and zoomed, painted after each edit, then compared with a new
    // editor that never saw the edits: kept tops and kept glyphs must not show stale lines.
    Stored s{lines(30, QStringLiteral("\n"))};
    auto view = codeView(s);
    QPlainTextEdit* editor = view->editor();
    QRandomGenerator random(11);
    QFont bigger = editor->font();
    bigger.setPixelSize(18);
    auto paint = [&] {
        QCoreApplication::processEvents();
        editor->viewport()->grab();
    };
    for (int i = 0; i < 60; ++i) {
        editOnce(editor, random);
        paint();
    }
    // Every line taller, the same lines.
    editor->setFont(bigger);
    paint();
    QTest::keyClicks(editor, QStringLiteral("z"));
    paint();
    // A neutral state to compare: no caret, no selection.
    editor->moveCursor(QTextCursor::End);
    editor->setCursorWidth(0);

    Stored fresh{s.code};
    auto other = codeView(fresh);
    other->editor()->setFont(bigger);
    other->editor()->moveCursor(QTextCursor::End);
    other->editor()->setCursorWidth(0);
    // Both as tall as their code, as in a page.
    for (ImprovedCodeBlockView* v : {view.get(), other.get()}) {
        QCoreApplication::processEvents();
        v->resize(600, v->sizeHint().height());
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(other->editor()->viewport()->size(), editor->viewport()->size());
    const QImage now = editor->viewport()->grab().toImage();
    const QImage expected = other->editor()->viewport()->grab().toImage();
    EXPECT_TRUE(now == expected) << "the edited code block paints other pixels than a new one";
}

// The panel's outline and rounded corners, as the gutter and the editor paint them under themselves (whole or
// a line at a time, focused or not, as the block grows), against the panel painting itself.
TEST(CodeBlock, PaintsThePanelsOutlineUnderItsLinesAsThePanelDoes) {
    Stored s{lines(12, QStringLiteral("\n"))};
    auto view = codeView(s);
    QPlainTextEdit* editor = view->editor();
    editor->setCursorWidth(0);
    QWidget* area = view->gutter()->parentWidget();
    auto settle = [&] {
        QCoreApplication::processEvents();
        view->resize(600, view->sizeHint().height());
        QCoreApplication::processEvents();
    };
    auto check = [&](const char* when) {
        QImage panel(area->size(), QImage::Format_ARGB32_Premultiplied);
        panel.fill(AppPalette::cardBackground());
        area->render(&panel, QPoint(), QRegion(), {});
        const int w = area->width();
        const int h = area->height();
        for (QWidget* child : {static_cast<QWidget*>(view->gutter()), editor->viewport()}) {
            const QTextBlock last = editor->document()->lastBlock();
            const int lastTop = int(editor->cursorRect(QTextCursor(last)).top());
            const int middleTop = int(editor->cursorRect(QTextCursor(editor->document()->findBlockByNumber(5))).top());
            const QList<QRect> strips = {child->rect(), QRect(0, middleTop, child->width(), 20),
                                         QRect(0, lastTop, child->width(), child->height() - lastTop),
                                         QRect(0, 0, child->width(), 5)};
            for (const QRect& strip : strips) {
                QImage painted(child->size(), QImage::Format_ARGB32_Premultiplied);
                painted.fill(Qt::magenta);
                child->render(&painted, strip.topLeft(), QRegion(strip), {});
                const QPoint at = child->mapTo(area, QPoint(0, 0));
                for (int y = strip.top(); y <= strip.bottom(); ++y)
                    for (int x = strip.left(); x <= strip.right(); ++x) {
                        const QPoint a(x + at.x(), y + at.y());
                        // Inside the outline the gutter and the editor fill their own colour.
                        const bool onOutline =
                            !QRect(2, 12, w - 4, h - 24).contains(a) && !QRect(12, 2, w - 24, h - 4).contains(a);
                        if (onOutline && painted.pixel(x, y) != panel.pixel(a))
                            FAIL() << when << ": " << child->metaObject()->className() << " paints (" << x << ", " << y
                                   << ") of " << strip.y() << "+" << strip.height() << " unlike the panel";
                    }
            }
        }
    };
    settle();
    check("at rest");
    QApplication::setActiveWindow(view.get());
    editor->setFocus();
    settle();
    ASSERT_TRUE(view->isFocused());
    check("focused");
    editor->moveCursor(QTextCursor::End);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, QStringLiteral("fin"));
    settle();
    check("one line more");
    editor->insertPlainText(QStringLiteral("\n") + lines(30, QStringLiteral("\n")));
    settle();
    check("thirty lines more");
    editor->clearFocus();
    settle();
    check("unfocused again");
}

// What a window shows of a widget, made only of what its paints repainted: a number left out of
// every repaint stays stale here.
class PaintedSoFar : public QObject {
public:
    explicit PaintedSoFar(QWidget* widget) : m_widget(widget) {
        shown = widget->grab().toImage();
        widget->installEventFilter(this);
    }
    // A grab paints too, but shows nothing on the screen.
    QImage grab() {
        m_grabbing = true;
        const QImage image = m_widget->grab().toImage().convertToFormat(shown.format());
        m_grabbing = false;
        return image;
    }
    QImage shown;
    // Takes in what the paints since the last call repainted.
    void take() {
        const QImage now = grab();
        if (now.size() != shown.size()) {
            QImage grown(now.size(), shown.format());
            grown.fill(Qt::magenta);
            QPainter(&grown).drawImage(0, 0, shown);
            shown = grown;
        }
        QPainter p(&shown);
        p.setClipRegion(m_painted);
        p.drawImage(0, 0, now);
        m_painted = QRegion();
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_grabbing)
            m_painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }

private:
    QWidget* m_widget;
    QRegion m_painted;
    bool m_grabbing = false;
};

TEST(CodeBlock, NumbersThatMoveOrComeOrGoAreRepainted) {
    // Few lines: the block keeps its least height, and the gutter its size, for the first edits.
    Stored s{lines(3, QStringLiteral("\n"))};
    auto view = codeView(s);
    QPlainTextEdit* editor = view->editor();
    QApplication::setActiveWindow(view.get());
    editor->setFocus();
    QCoreApplication::processEvents();
    PaintedSoFar gutter(view->gutter());
    auto at = [&](int line) {
        QTextCursor c(editor->document()->findBlockByNumber(line));
        editor->setTextCursor(c);
    };
    auto expectCurrent = [&](const char* when) {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        gutter.take();
        // The numbers, inside the outline.
        const QImage full = gutter.grab();
        const QRect numbers = full.rect().adjusted(2, 12, 0, -12);
        EXPECT_TRUE(gutter.shown.copy(numbers) == full.copy(numbers)) << "stale numbers " << when;
    };
    editor->moveCursor(QTextCursor::End);
    QTest::keyClick(editor, Qt::Key_Return);
    expectCurrent("after a line at the end");
    at(3);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, QStringLiteral("x"));
    expectCurrent("after a line in the middle");
    at(5);
    QTest::keyClick(editor, Qt::Key_Backspace);
    expectCurrent("after two lines joined");
    editor->insertPlainText(QStringLiteral("a\nb\nc\nd\n"));
    expectCurrent("after lines pasted");
    editor->moveCursor(QTextCursor::End);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(editor, Qt::Key_Return);
    expectCurrent("past ten lines");
    editor->undo();
    editor->undo();
    expectCurrent("after undoing");
    ASSERT_EQ(view->lineNumberCount(), codelang::lineCount(editor->toPlainText()));
}

} // namespace

// Every break the numbers count (a vertical tab, a form feed, a next line, a line separator) ends a row,
// trailing ones and runs of them included: the block shows, numbers and all, what the same lines split
// by line feeds show, the breaks drawing nothing; typing after a break goes to its row.
TEST(CodeBlock, EveryCountedBreakEndsARowBesideItsNumber) {
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("a\u2028b\u000Bc\u000Cd"), QStringLiteral("a\nb\nc\nd")},
        {QStringLiteral("un\u0085deux\u000B"), QStringLiteral("un\ndeux\n")},
        {QStringLiteral("x\n\u000C\ny\u000B\u000B"), QStringLiteral("x\n\n\ny\n\n")},
        {QStringLiteral("\u000B\u000Cz"), QStringLiteral("\n\nz")},
    };
    auto render = [](ImprovedCodeBlockView& v) {
        v.editor()->setCursorWidth(0);
        QCoreApplication::processEvents();
        v.resize(600, v.sizeHint().height());
        QCoreApplication::processEvents();
        // The panel of the numbers and the code.
        return v.editor()->parentWidget()->grab().toImage();
    };
    for (const auto& [code, split] : cases) {
        Stored s{code};
        Stored t{split};
        auto view = codeView(s);
        auto plain = codeView(t);
        EXPECT_EQ(view->lineNumberCount(), codelang::lineCount(code));
        QList<qreal> tops, expected;
        for (const auto& place : view->lineNumberPlaces())
            tops << place.top;
        for (const auto& place : plain->lineNumberPlaces())
            expected << place.top;
        EXPECT_EQ(tops, expected) << code.toStdString();
        EXPECT_TRUE(render(*view) == render(*plain)) << "other pixels than " << split.toStdString();
    }
    // A key typed at the end of the first row lands there and moves no row.
    Stored s{QStringLiteral("a\u000Bb")};
    auto view = codeView(s);
    QTextCursor c(view->editor()->document());
    c.setPosition(1);
    view->editor()->setTextCursor(c);
    QTest::keyClicks(view->editor(), QStringLiteral("!"));
    EXPECT_EQ(s.code, QStringLiteral("a!\u000Bb"));
    ASSERT_EQ(view->lineNumberPlaces().size(), 2);
    EXPECT_GT(view->lineNumberPlaces()[1].top, view->lineNumberPlaces()[0].top);
    EXPECT_EQ(view->editor()->cursorRect().top(),
              view->editor()->cursorRect(QTextCursor(view->editor()->document())).top());
}
