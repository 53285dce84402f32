// RTF writing and reading against Qt's own HTML export and import of the same document.
#include "rtf/Rtf.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// 10,000 words in paragraphs of 100, with the runs the formatting toolbar produces.
const QTextDocument& sampleDocument() {
    static QTextDocument* doc = [] {
        auto* d = new QTextDocument;
        const QStringList words = {"projet",  "étape",  "vérifier", "la",     "documentation", "et",
                                   "les",     "tâches", "déjà",     "créées", "pour",          "chaque",
                                   "réunion", "naïve",  "Œuvre",    "😀"};
        QTextCharFormat plain, bold, semibold, italic, red, highlight, code;
        bold.setFontWeight(QFont::Bold);
        semibold.setFontWeight(QFont::DemiBold);
        semibold.setProperty(QTextFormat::FontPixelSize, 22);
        italic.setFontItalic(true);
        italic.setFontUnderline(true);
        red.setForeground(QColor(255, 59, 48));
        highlight.setBackground(QColor(255, 204, 0, 77));
        code.setFontFamilies({"JetBrains Mono"});
        code.setProperty(QTextFormat::FontPixelSize, 13);
        code.setBackground(QColor(142, 142, 147, 51));
        QTextCursor c(d);
        for (int i = 0; i < 10000; ++i) {
            if (i > 0 && i % 100 == 0)
                c.insertBlock();
            const QTextCharFormat& f = i % 7 == 0 ? bold
                : i % 11 == 0                     ? italic
                : i % 13 == 0                     ? red
                : i % 17 == 0                     ? highlight
                : i % 19 == 0                     ? code
                : i % 23 == 0                     ? semibold
                                                  : plain;
            c.insertText(words[i % words.size()], f);
            c.insertText(" ", plain);
        }
        return d;
    }();
    return *doc;
}

void RtfWrite(benchmark::State& state) {
    const QTextDocument& doc = sampleDocument();
    for (auto _ : state)
        benchmark::DoNotOptimize(rtf::write(doc));
}

// A key typed in the middle of the text, then the write: whole (0), or through the editor's cache of
// each paragraph's bytes (1).
void RtfWriteAfterKey(benchmark::State& state) {
    const std::unique_ptr<QTextDocument> doc(sampleDocument().clone());
    const bool cached = state.range(0) != 0;
    rtf::ParagraphCache cache;
    // As in the editor: laid out (the cache follows the changes the layout is told).
    doc->setTextWidth(700);
    doc->documentLayout();
    if (cached)
        rtf::write(*doc, cache);
    QTextCursor c(doc.get());
    c.setPosition(doc->characterCount() / 2);
    for (auto _ : state) {
        state.PauseTiming();
        c.insertText(QStringLiteral("a"));
        state.ResumeTiming();
        benchmark::DoNotOptimize(cached ? rtf::write(*doc, cache) : rtf::write(*doc));
    }
}

void HtmlWrite(benchmark::State& state) {
    const QTextDocument& doc = sampleDocument();
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.toHtml());
}

void RtfRead(benchmark::State& state) {
    const QByteArray data = rtf::write(sampleDocument());
    QTextDocument doc;
    for (auto _ : state)
        benchmark::DoNotOptimize(rtf::read(data, doc));
    state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
}

void HtmlRead(benchmark::State& state) {
    const QString html = sampleDocument().toHtml();
    QTextDocument doc;
    for (auto _ : state)
        doc.setHtml(html);
    state.SetBytesProcessed(int64_t(state.iterations()) * html.toUtf8().size());
}

BENCHMARK(RtfWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(RtfWriteAfterKey)->ArgName("cached")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(HtmlWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(RtfRead)->Unit(benchmark::kMillisecond);
BENCHMARK(HtmlRead)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
