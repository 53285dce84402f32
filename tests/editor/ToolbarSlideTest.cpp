// The formatting toolbar slides in over a text block taller than the window: each frame copies the text
// down on screen and paints what it uncovers, and shows what painting the whole window anew shows.
#include "EditorFixture.h"

#include "editor/BlockRow.h"
#include "editor/DocEditorView.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextEditorWrapper.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QVariantAnimation>

namespace {

QString paragraphs(int count, int words) {
    QStringList out;
    for (int p = 0; p < count; ++p) {
        QStringList line;
        for (int w = 0; w < words; ++w)
            line << (w % 3 ? QStringLiteral("mot") : QStringLiteral("phrase"));
        out << line.join(QLatin1Char(' '));
    }
    return out.join(QLatin1Char('\n'));
}

// Pixels painted in one widget.
struct PaintedPixels : QObject {
    QWidget* watched;
    qint64 pixels = 0;
    explicit PaintedPixels(QWidget* w) : watched(w) { qApp->installEventFilter(this); }
    ~PaintedPixels() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == watched && e->type() == QEvent::Paint)
            for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
                pixels += qint64(r.width()) * r.height();
        return false;
    }
};

} // namespace

class ToolbarSlideTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        flashTime = QApplication::cursorFlashTime();
        QApplication::setCursorFlashTime(0);
    }
    void TearDown() override {
        view.reset();
        QApplication::setCursorFlashTime(flashTime);
        EditorFixture::TearDown();
    }
    QImage shown() { return view->screen()->grabWindow(view->winId()).toImage().convertToFormat(QImage::Format_RGB32); }
    QImage anew() { return view->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // The pixels left on screen that a whole painting shows otherwise, with the first of them.
    // The page's scroll bar is left out: it takes the page's new length a frame later, slide or not.
    std::string difference() {
        QWidget* page = view->scrollArea()->viewport();
        const QRect inWindow(page->mapTo(view.get(), QPoint()), page->size());
        const QImage a = shown().copy(inWindow);
        const QImage b = anew().copy(inWindow);
        if (a.size() != b.size())
            return "sizes differ";
        int count = 0;
        QPoint first(-1, -1);
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0)
                    first = QPoint(x, y);
        return count
            ? std::to_string(count) + " pixels, first at " + std::to_string(first.x()) + "," + std::to_string(first.y())
            : std::string();
    }

    std::unique_ptr<ImprovedDocEditorView> view;
    int flashTime = 0;
};

// Frame by frame, in and out, in both themes: the frames of the slide in paint a small part of the text,
// and every frame leaves on screen what a whole painting shows.
TEST_F(ToolbarSlideTest, EachFrameCopiesTheTextAndShowsWhatAWholePaintingShows) {
    block(0, QStringLiteral("text"), paragraphs(2, 20));
    auto tall = block(1, QStringLiteral("text"), paragraphs(40, 30));
    block(2, QStringLiteral("code"), QStringLiteral("let a = 1"));
    context().save();
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        env->theme().setTheme(dark ? AppTheme::dark : AppTheme::light);
        view = std::make_unique<ImprovedDocEditorView>(services(), doc);
        view->resize(1000, 600);
        view->show();
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        testsupport::flushEvents();
        view->toggleEditMode();
        testsupport::flushEvents();
        RichTextBlockEditor* editor = view->rowFor(tall->id())->textEditor();
        ClickableTextView* text = editor->textView();
        view->scrollToBlock(tall->id(), false);
        testsupport::flushEvents();
        auto* slide = editor->findChild<QVariantAnimation*>();
        ASSERT_TRUE(slide);

        text->setFocus();
        ASSERT_TRUE(editor->isFocused());
        slide->pause();
        testsupport::flushEvents();
        PaintedPixels painted(text->viewport());
        const QSize viewport = view->scrollArea()->viewport()->size();
        const qint64 page = qint64(viewport.width()) * viewport.height();
        for (int t = 16; t <= 200; t += 16) {
            slide->setCurrentTime(t);
            painted.pixels = 0;
            testsupport::flushEvents();
            EXPECT_LT(painted.pixels, page / 10) << "in, at " << t << " ms";
            EXPECT_EQ(difference(), "") << "in, at " << t << " ms";
        }
        slide->setCurrentTime(200);
        testsupport::flushEvents();
        EXPECT_EQ(editor->wrapper()->y(), RichTextBlockEditor::toolbarBlockHeight());
        EXPECT_EQ(difference(), "") << "in, at its end";

        // A key after the slide, then the keyboard leaves: the frame goes back to its resting look.
        QTest::keyClick(text, Qt::Key_A);
        testsupport::flushEvents();
        EXPECT_EQ(difference(), "") << "a key";
        view->scrollArea()->setFocus();
        ASSERT_FALSE(editor->isFocused());
        slide->pause();
        for (int t = 16; t <= 200; t += 16) {
            slide->setCurrentTime(t);
            testsupport::flushEvents();
            EXPECT_EQ(difference(), "") << "out, at " << t << " ms";
        }
        view.reset();
        testsupport::flushEvents();
    }
}
