// The work of one keystroke in a rich-text block of 10,000 words: the plain-text copy, the RTF
// write and the height measurement, against the same keystroke in a bare text edit. Then the editor
// on large texts (1 MB and more, plain or RTF): opening it to its first frame, the longest pause of the
// window meanwhile and after, and a keystroke.
#include "BareTextEdit.h"
#include "FrameTicker.h"
#include "LargeText.h"

#include "rtf/Rtf.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextFormatting.h"
#include "richtext/SpellChecker.h"
#include "ui/Components.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QPointer>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace {

// The program's one dictionary, made with the application object and destroyed with it.
SpellDictionary& dictionary() {
    static QPointer<SpellDictionary> made;
    if (!made)
        made = new SpellDictionary(SpellDictionary::defaultSearchPaths(), QCoreApplication::instance());
    return *made;
}

// What the application hands every editor.
RichTextEnvironment environment() { return {ThemeManager::shared(), dictionary()}; }

// 10,000 words in `paragraphs` paragraphs, every tenth word bold, some red and highlighted.
QString words(int paragraphs) {
    static const char* const pool[] = {"projet",    "document", "étape",   "vérifier", "les",   "données", "avant",
                                       "livraison", "équipe",   "qualité", "code",     "image", "liste",   "tâche"};
    QString text;
    const int perParagraph = 10000 / paragraphs;
    for (int p = 0; p < paragraphs; ++p) {
        if (p)
            text += QLatin1Char('\n');
        for (int w = 0; w < perParagraph; ++w) {
            if (w)
                text += QLatin1Char(' ');
            text += QString::fromUtf8(pool[(p * 7 + w) % 14]);
        }
    }
    return text;
}

void decorate(QTextDocument& doc) {
    QTextCursor c(&doc);
    int i = 0;
    while (!c.atEnd()) {
        c.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        if (i % 10 == 0)
            richtext::toggleBold(c);
        if (i % 37 == 0)
            richtext::applyTextColor(c, Qt::red);
        if (i % 53 == 0)
            richtext::applyHighlight(c, Qt::yellow);
        c.clearSelection();
        ++i;
    }
}

// The stored RTF of `text`, formatted as decorate() does.
QByteArray decoratedRtf(const QString& text) {
    QTextDocument doc;
    doc.setPlainText(text);
    decorate(doc);
    return rtf::write(doc);
}

void placeCaretInMiddle(QTextEdit* view) {
    QTextCursor c = view->textCursor();
    c.setPosition(view->document()->characterCount() / 2);
    view->setTextCursor(c);
}

void typeOne(QWidget* target) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// Times each iteration of `step` and reports the median and the 99th percentile in ms.
template <typename Step>
void timed(benchmark::State& state, Step step) {
    std::vector<double> ms;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        step();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    if (!ms.empty()) {
        state.counters["p50_ms"] = ms[ms.size() / 2];
        state.counters["p99_ms"] = ms[std::min(ms.size() - 1, size_t(ms.size() * 0.99))];
    }
}

// Baseline: a bare text edit with the same text, formats and font.
void BM_Keystroke_BareTextEdit(benchmark::State& state) {
    QTextEdit view;
    const QString content = words(int(state.range(0)));
    benchbare::holdLikeTheEditor(view, content, decoratedRtf(content), 700, 600);
    view.show();
    QApplication::processEvents();
    placeCaretInMiddle(&view);
    timed(state, [&] {
        typeOne(&view);
        QApplication::processEvents();
    });
}

// The editor: RTF and plain text into the bindings, height measured and written.
void BM_Keystroke_RichTextEditor(benchmark::State& state) {
    QString content = words(int(state.range(0)));
    std::optional<QByteArray> data = decoratedRtf(content);
    qint64 stored = 0;
    RichTextBlockEditor editor(environment(), {[&] { return content; }, [&](const QString& v) { content = v; }},
                               {[&] { return data; },
                                [&](const std::optional<QByteArray>& v) {
                                    data = v;
                                    stored += v ? v->size() : 0;
                                }},
                               false, {}, {});
    // As embedded: in a scrolled page, where only the visible part is drawn.
    QScrollArea page;
    page.setWidgetResizable(true);
    page.setWidget(&editor);
    page.resize(700, 600);
    page.show();
    dictionary().ensureLoading();
    QElapsedTimer wait;
    wait.start();
    while (!dictionary().isLoaded() && wait.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();
    placeCaretInMiddle(editor.textView());
    editor.textView()->setFocus();
    timed(state, [&] {
        typeOne(editor.textView());
        QApplication::processEvents();
    });
    state.counters["rtf_kb"] = data ? data->size() / 1024.0 : 0;
    page.takeWidget();
    benchmark::DoNotOptimize(stored);
}

double percentile(std::vector<double> ms, double q) {
    if (ms.empty())
        return 0;
    std::sort(ms.begin(), ms.end());
    return ms[std::min(ms.size() - 1, size_t(double(ms.size()) * q))];
}

// Types one key and times it to its frame (the repaint Qt queued for it, which runs before anything queued
// at a lower priority) and to the end of all the work it queued.
struct FrameMark : QObject {
    double frameMs = 0;
    double totalMs = 0;
    QElapsedTimer clock;
    void type(QWidget* target) {
        frameMs = -1;
        clock.start();
        typeOne(target);
        QCoreApplication::postEvent(this, new QEvent(QEvent::User), Qt::LowEventPriority);
        QApplication::processEvents();
        totalMs = double(clock.nsecsElapsed()) / 1e6;
        if (frameMs < 0)
            frameMs = totalMs;
    }
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        frameMs = double(clock.nsecsElapsed()) / 1e6;
        return true;
    }
};

// Apart, so that an instruction count can single each out (callgrind --toggle-collect='*typeIntoCard*').
// (Each counts its keys, so that the linker cannot fold the two into one.)
int bareKeys = 0;
int cardKeys = 0;
[[gnu::noinline]] void typeIntoBare(FrameMark& mark, QWidget* target) {
    mark.type(target);
    ++bareKeys;
}
[[gnu::noinline]] void typeIntoCard(FrameMark& mark, QWidget* target) {
    mark.type(target);
    cardKeys += 1;
}

// Key to pixels as a document shows a text block (the editor in its card, in a scrolled page, the caret
// in view), against a bare text edit of the same width holding the same text, formats and font, typed in
// turn in one run.
void BM_Keystroke_CardVsBareTextEdit(benchmark::State& state) {
    const int paragraphs = int(state.range(0));
    QString content = words(paragraphs);
    std::optional<QByteArray> data = decoratedRtf(content);
    auto* editor =
        new RichTextBlockEditor(environment(), {[&] { return content; }, [&](const QString& v) { content = v; }},
                                {[&] { return data; }, [&](const std::optional<QByteArray>& v) { data = v; }}, false,
                                {}, {});
    QScrollArea page;
    auto* sheet = new QWidget;
    auto* column = new QVBoxLayout(sheet);
    // The card's face spans the page's width, as a block row's does.
    auto* face = new QWidget;
    face->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    (new QVBoxLayout(face))->addWidget(editor);
    face->layout()->setContentsMargins(0, 0, 0, 0);
    column->addWidget(new AppCard(face));
    column->addStretch(1);
    page.setWidgetResizable(true);
    page.setWidget(sheet);
    page.resize(800, 600);
    page.show();

    QTextEdit bare;
    benchbare::holdLikeTheEditor(bare, content, data, 800, 600);
    bare.show();

    dictionary().ensureLoading();
    QElapsedTimer wait;
    wait.start();
    while (!dictionary().isLoaded() && wait.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    // The block takes its full height once its text is measured.
    for (wait.restart(); wait.elapsed() < 300;)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    bare.resize(editor->textView()->width(), 600);
    QApplication::processEvents();
    placeCaretInMiddle(&bare);
    bare.ensureCursorVisible();
    placeCaretInMiddle(editor->textView());
    page.activateWindow();
    QApplication::setActiveWindow(&page);
    editor->textView()->setFocus();
    QApplication::processEvents();
    const QRect caret = editor->textView()->cursorRect();
    const QPoint inSheet = editor->textView()->viewport()->mapTo(sheet, caret.center());
    page.ensureVisible(inSheet.x(), inSheet.y(), 50, 200);
    QApplication::processEvents();

    std::vector<double> bareMs, cardMs, bareFrame, cardFrame;
    for (auto _ : state) {
        FrameMark mark;
        typeIntoBare(mark, &bare);
        bareFrame.push_back(mark.frameMs);
        bareMs.push_back(mark.totalMs);
        typeIntoCard(mark, editor->textView());
        cardFrame.push_back(mark.frameMs);
        cardMs.push_back(mark.totalMs);
    }
    // The key to its frame: what a person waits for (the writes and the save may follow it).
    state.counters["bare_frame_p50_ms"] = percentile(bareFrame, 0.5);
    state.counters["card_frame_p50_ms"] = percentile(cardFrame, 0.5);
    state.counters["card_frame_p99_ms"] = percentile(cardFrame, 0.99);
    state.counters["frame_ratio_p50"] = percentile(cardFrame, 0.5) / std::max(1e-6, percentile(bareFrame, 0.5));
    state.counters["frame_ratio_p99"] = percentile(cardFrame, 0.99) / std::max(1e-6, percentile(bareFrame, 0.99));
    const double bare50 = percentile(bareMs, 0.5), bare99 = percentile(bareMs, 0.99);
    const double card50 = percentile(cardMs, 0.5), card99 = percentile(cardMs, 0.99);
    state.counters["bare_p50_ms"] = bare50;
    state.counters["bare_p99_ms"] = bare99;
    state.counters["card_p50_ms"] = card50;
    state.counters["card_p99_ms"] = card99;
    state.counters["ratio_p50"] = bare50 > 0 ? card50 / bare50 : 0;
    state.counters["ratio_p99"] = bare99 > 0 ? card99 / bare99 : 0;
}

// The RTF write alone, whole and (as the editor writes it after a key) through the paragraph cache.
void BM_RtfWrite(benchmark::State& state) {
    QTextDocument doc;
    doc.setPlainText(words(int(state.range(0))));
    decorate(doc);
    doc.setTextWidth(700);
    rtf::ParagraphCache cache;
    QTextCursor caret(&doc);
    caret.setPosition(doc.characterCount() / 2);
    std::vector<double> whole, cached;
    for (auto _ : state) {
        caret.insertText(QStringLiteral("a"));
        QElapsedTimer t;
        t.start();
        benchmark::DoNotOptimize(rtf::write(doc));
        whole.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        benchmark::DoNotOptimize(rtf::write(doc, cache));
        cached.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    state.counters["whole_p50_ms"] = percentile(whole, 0.5);
    state.counters["cached_p50_ms"] = percentile(cached, 0.5);
    state.counters["cached_p99_ms"] = percentile(cached, 0.99);
}

void waitForDictionary() {
    dictionary().ensureLoading();
    QElapsedTimer wait;
    wait.start();
    while (!dictionary().isLoaded() && wait.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// An editor as embedded, in a scrolled page, over its own values.
struct LargeEditor {
    QString content;
    std::optional<QByteArray> data;
    int rtfWrites = 0;
    std::unique_ptr<QScrollArea> page;
    RichTextBlockEditor* editor = nullptr;

    LargeEditor(const QString& text, const std::optional<QByteArray>& rtf) : content(text), data(rtf) {}
    void open() {
        page = std::make_unique<QScrollArea>();
        page->setWidgetResizable(true);
        page->resize(700, 600);
        editor = new RichTextBlockEditor(environment(),
                                         {[this] { return content; }, [this](const QString& v) { content = v; }},
                                         {[this] { return data; },
                                          [this](const std::optional<QByteArray>& v) {
                                              data = v;
                                              ++rtfWrites;
                                          }},
                                         false, {}, {});
        page->setWidget(editor);
        page->show();
    }
};

// Runs events for `ms` while the ticker watches the window's pauses.
qint64 longestPauseOver(int ms) {
    FrameTicker ticker;
    ticker.resize(50, 50);
    ticker.show();
    ticker.start();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    ticker.stop();
    return ticker.longestGapMs;
}

// Arguments: the size of the text in kB, and 0 for plain text or 1 for RTF.
void BM_OpenLarge(benchmark::State& state) {
    const QString text = benchtext::prose(state.range(0) * 1024);
    const std::optional<QByteArray> rtf =
        state.range(1) ? std::optional<QByteArray>(benchtext::rtfOf(text)) : std::nullopt;
    waitForDictionary();
    std::vector<double> open;
    qint64 after = 0;
    for (auto _ : state) {
        LargeEditor e(text, rtf);
        QElapsedTimer t;
        t.start();
        e.open();
        QApplication::processEvents();
        e.page->repaint();
        open.push_back(t.nsecsElapsed() / 1e6);
        // What is left for later (spell checking, measuring) must not hold the window either.
        after = std::max(after, longestPauseOver(1500));
    }
    state.counters["open_ms"] = open.empty() ? 0 : *std::max_element(open.begin(), open.end());
    state.counters["pause_after_ms"] = double(after);
}

// A keystroke in the middle of a large text, painted; the RTF reaches its value after the typing.
void BM_KeystrokeLarge(benchmark::State& state) {
    const QString text = benchtext::prose(state.range(0) * 1024);
    const std::optional<QByteArray> rtf =
        state.range(1) ? std::optional<QByteArray>(benchtext::rtfOf(text)) : std::nullopt;
    waitForDictionary();
    LargeEditor e(text, rtf);
    e.open();
    longestPauseOver(1500);
    placeCaretInMiddle(e.editor->textView());
    e.editor->textView()->setFocus();
    e.editor->textView()->ensureCursorVisible();
    QApplication::processEvents();
    timed(state, [&] {
        typeOne(e.editor->textView());
        QApplication::processEvents();
        e.page->repaint();
    });
    state.counters["rtf_writes"] = e.rtfWrites;
}

} // namespace

BENCHMARK(BM_OpenLarge)->Args({1024, 0})->Args({1024, 1})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_KeystrokeLarge)->Args({1024, 0})->Args({2048, 1})->Unit(benchmark::kMillisecond)->Iterations(200);

// Arguments: the number of paragraphs the 10,000 words are split into.
BENCHMARK(BM_Keystroke_BareTextEdit)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(400);
BENCHMARK(BM_Keystroke_RichTextEditor)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(400);
BENCHMARK(BM_Keystroke_CardVsBareTextEdit)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_RtfWrite)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(400);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    // The editor reads the theme preference: keep the user's own file out of it.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
