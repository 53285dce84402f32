// The document editor on a document of 500 blocks (300 texts of about 200 words in RTF, 150 code blocks
// of 40 lines, 50 photographs of 1920 × 1080 stored as TIFF): opening it to its first painted frame against one QTextEdit
// holding the same text, a keystroke in a text block (RTF write and save included), wheeling it from top
// to bottom from a cold start, and the memory it holds. Then typing at the end of one text
// block of 10,000 words (in 100 paragraphs, and in one), the page following the caret, against a bare
// QTextEdit holding the same text.
// Last, a document of one text block of 1 MB (open, edit mode, a keystroke) and a document of 5,000 blocks
// with the accessibility layer active (open, enter and leave edit mode). And a document of 30 photographs:
// its first frame, the bytes read for it, a wheel pass and the memory held after it.
#include "cardsheet/AttachmentJobs.h"
#include "richtext/SpellChecker.h"
#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"
#include "core/model/UserProfile.h"
#include "editor/BlockImages.h"
#include "editor/BlockRow.h"
#include "editor/CodeBlockView.h"
#include "editor/DocEditorView.h"
#include "editor/DocEdits.h"
#include "prefs/Preferences.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "rtf/Rtf.h"
#include "ui/Theme.h"

#include "BareTextEdit.h"
#include "FrameTicker.h"
#include "LargeText.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QPlainTextEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QVariantAnimation>
#include <QVBoxLayout>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

namespace {

QString paragraphOfWords(int count, int seed) {
    static const char* const pool[] = {"projet",    "document", "étape",   "vérifier", "les",   "données", "avant",
                                       "livraison", "équipe",   "qualité", "serveur",  "image", "liste",   "tâche"};
    QString text;
    for (int w = 0; w < count; ++w) {
        if (w)
            text += QLatin1Char(' ');
        text += QString::fromUtf8(pool[(seed * 7 + w) % 14]);
    }
    return text;
}

QString codeLines(int lines, int seed) {
    QStringList out;
    for (int i = 0; i < lines; ++i)
        out << QStringLiteral("    let value%1 = compute(%2, \"étape\") // ligne %3").arg(seed).arg(i).arg(i + 1);
    return out.join(QLatin1Char('\n'));
}

QByteArray rtfOf(const QString& text) {
    QTextDocument d;
    QTextCursor c(&d);
    const QStringList words = text.split(QLatin1Char(' '));
    for (int i = 0; i < words.size(); ++i) {
        QTextCharFormat f;
        if (i % 10 == 0)
            f.setFontWeight(QFont::Bold);
        c.insertText((i ? QStringLiteral(" ") : QString()) + words[i], f);
    }
    return rtf::write(d);
}

// A photograph as the editor stores one: 1920 × 1080, of fine detail (noise over a gradient), kept as
// LZW TIFF of several MB. A smoke run uses a small one.
QByteArray pictureBytes() {
    const bool smoke = qEnvironmentVariableIntValue("TOLMEK_BENCH_SMOKE") == 1;
    const QSize size = smoke ? QSize(320, 180) : QSize(1920, 1080);
    QImage image(size, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 26); // 0..63
            line[x] = qRgb(std::min(255, x * 200 / size.width() + n), std::min(255, y * 180 / size.height() + n),
                           std::min(255, 120 + n));
        }
    }
    return blockimage::encodeStored(image, false);
}

// One store with the document, written once for the whole run.
struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<Preferences> prefs;
    std::unique_ptr<ThemeManager> theme;
    std::unique_ptr<UserPreferencesStore> profile;
    std::unique_ptr<ModelContainer> container;
    SpellDictionary spelling;
    AttachmentImports attachments;
    ThumbnailCache thumbnails;
    std::unique_ptr<Services> services;
    QUuid docId;
    // A document of one text block of 1 MB (RTF), and one of 5,000 short text blocks.
    QUuid largeBlockDocId;
    QUuid manyBlocksDocId;
    QString allText;
    // The text of each text and code block of the 500, in order; the 1 MB text; the 5,000 short texts.
    QStringList blockTexts;
    QString largeText;
    QStringList manyTexts;
    // One document per shape of the 10,000 words: paragraphs → document.
    std::map<int, QUuid> longTextDocs;
    // A short text, a code block of 300 lines and another text.
    QUuid codeDocId;
    QString longCode;
    // 60 blocks: a text, then a picture, in turn.
    QUuid picturesDocId;
    qint64 pictureSize = 0;

    Fixture() {
        prefs = std::make_unique<Preferences>(dir.path() + "/prefs.conf");
        Preferences::setShared(prefs.get());
        theme = std::make_unique<ThemeManager>(prefs.get());
        profile = std::make_unique<UserPreferencesStore>(*prefs);
        open();
        const QDateTime now = QDateTime::currentDateTimeUtc();
        ModelContext& ctx = container->mainContext();
        auto project = std::make_shared<Project>(ProjectFields{
            .name = QStringLiteral("Banc"), .iconName = QStringLiteral("folder"), .createdAt = now, .updatedAt = now});
        ctx.insert(project);
        // Every document of the bench: in progress, in the one project.
        auto newDoc = [&](const QString& title) {
            auto doc = std::make_shared<Doc>(DocFields{.title = title,
                                                       .statusRaw = QStringLiteral("in_progress"),
                                                       .iconName = QStringLiteral("doc.text"),
                                                       .createdAt = now,
                                                       .updatedAt = now,
                                                       .project = project});
            ctx.insert(doc);
            return doc;
        };
        auto textBlock = [&](const DocPtr& doc, qint64 order, const QString& content, const QByteArray& rtf) {
            return std::make_shared<DocBlock>(DocBlockFields{.typeRaw = QStringLiteral("text"),
                                                             .order = order,
                                                             .content = content,
                                                             .richTextData = rtf,
                                                             .createdAt = now,
                                                             .updatedAt = now,
                                                             .doc = doc});
        };
        auto doc = newDoc(QStringLiteral("Document de 500 blocs"));
        docId = doc->id();
        const QByteArray picture = pictureBytes();
        DocEdits edits(ctx, doc);
        QStringList texts;
        int t = 0, c = 0, im = 0;
        for (int i = 0; i < 500; ++i) {
            // Six texts, three code blocks and one picture in every ten blocks.
            const int slot = i % 10;
            if (slot < 6 && t < 300) {
                auto b = textBlock(doc, i, paragraphOfWords(200, t), rtfOf(paragraphOfWords(200, t)));
                ctx.insert(b);
                texts << b->content();
                ++t;
            } else if (slot < 9 && c < 150) {
                auto b = std::make_shared<DocBlock>(DocBlockFields{.typeRaw = QStringLiteral("code"),
                                                                   .order = i,
                                                                   .content = codeLines(40, c),
                                                                   .codeLanguage = QStringLiteral("swift"),
                                                                   .createdAt = now,
                                                                   .updatedAt = now,
                                                                   .doc = doc});
                ctx.insert(b);
                texts << b->content();
                ++c;
            } else {
                auto b = std::make_shared<DocBlock>(DocBlockFields{.typeRaw = QStringLiteral("image"),
                                                                   .order = i,
                                                                   .content = QString(),
                                                                   .imageData = picture,
                                                                   .createdAt = now,
                                                                   .updatedAt = now,
                                                                   .doc = doc});
                ctx.insert(b);
                ++im;
            }
        }
        allText = texts.join(QStringLiteral("\n\n"));
        blockTexts = texts;
        {
            auto large = newDoc(QStringLiteral("Un bloc de 1 Mo"));
            largeBlockDocId = large->id();
            const QString text = benchtext::prose(1024 * 1024);
            largeText = text;
            ctx.insert(textBlock(large, 0, text, benchtext::rtfOf(text)));
            auto many = newDoc(QStringLiteral("5 000 blocs"));
            manyBlocksDocId = many->id();
            const QByteArray shortRtf = rtfOf(paragraphOfWords(12, 3));
            for (int i = 0; i < 5000; ++i)
                manyTexts << paragraphOfWords(12, 3);
            for (int i = 0; i < 5000; ++i)
                ctx.insert(textBlock(many, i, paragraphOfWords(12, 3), shortRtf));
        }
        for (int paragraphs : {100, 1}) {
            auto longDoc = newDoc(QStringLiteral("10 000 mots"));
            const QString text = tenThousandWords(paragraphs);
            ctx.insert(textBlock(longDoc, 0, text, rtfOf(text)));
            longTextDocs[paragraphs] = longDoc->id();
        }
        {
            auto pictures = newDoc(QStringLiteral("30 photos"));
            picturesDocId = pictures->id();
            pictureSize = picture.size();
            for (int i = 0; i < 60; ++i) {
                if (i % 2 == 0) {
                    ctx.insert(textBlock(pictures, i, paragraphOfWords(60, i), rtfOf(paragraphOfWords(60, i))));
                    continue;
                }
                ctx.insert(std::make_shared<DocBlock>(DocBlockFields{.typeRaw = QStringLiteral("image"),
                                                                     .order = i,
                                                                     .content = QString(),
                                                                     .imageData = picture,
                                                                     .createdAt = now,
                                                                     .updatedAt = now,
                                                                     .doc = pictures}));
            }
        }
        {
            auto codeDoc = newDoc(QStringLiteral("300 lignes de code"));
            codeDocId = codeDoc->id();
            longCode = codeLines(300, 7);
            const QString intro = paragraphOfWords(40, 1);
            auto introBlock = [&](qint64 order) { return textBlock(codeDoc, order, intro, rtfOf(intro)); };
            ctx.insert(introBlock(0));
            ctx.insert(std::make_shared<DocBlock>(DocBlockFields{.typeRaw = QStringLiteral("code"),
                                                                 .order = 1,
                                                                 .content = longCode,
                                                                 .codeLanguage = QStringLiteral("swift"),
                                                                 .createdAt = now,
                                                                 .updatedAt = now,
                                                                 .doc = codeDoc}));
            ctx.insert(introBlock(2));
        }
        if (!ctx.save())
            std::abort();
    }

    static QString tenThousandWords(int paragraphs) {
        QStringList out;
        for (int p = 0; p < paragraphs; ++p)
            out << paragraphOfWords(10000 / paragraphs, p);
        return out.join(QLatin1Char('\n'));
    }

    void open() {
        services.reset();
        container.reset();
        QString err;
        container = openModelContainer(dir.path() + "/bench.store", &err);
        if (!container)
            std::abort();
        services.reset(
            new Services{container->mainContext(), *prefs, *theme, *profile, spelling, attachments, thumbnails});
    }

    // A fresh context, as after a restart: nothing of the document is loaded yet.
    DocPtr reopenDoc(const QUuid& id = {}) {
        open();
        return container->mainContext().object<Doc>(id.isNull() ? docId : id);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Runs events until `widget` has painted once; returns the elapsed milliseconds since `t` started.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

double untilPainted(QWidget* w, const QElapsedTimer& t) {
    PaintWatch watch;
    w->installEventFilter(&watch);
    w->show();
    while (!watch.painted)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double ms = t.nsecsElapsed() / 1e6;
    w->removeEventFilter(&watch);
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}

// CPU time of this thread, in ms: a frame's own cost, whatever else the machine is doing.
double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

long residentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

void flush() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
}

// Plain Qt beside the editor's modes: a scrolled column of one QTextEdit per text (plain, at the height
// of its text), every one switched between read-only and editable at once.
class PlainPage {
public:
    explicit PlainPage(const QStringList& texts) {
        area.setWidgetResizable(true);
        auto* column = new QWidget;
        auto* v = new QVBoxLayout(column);
        for (const QString& text : texts) {
            auto* e = new QTextEdit;
            e->setPlainText(text);
            e->setReadOnly(true);
            e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            e->document()->setTextWidth(860);
            e->setFixedHeight(int(e->document()->size().height()) + 4);
            v->addWidget(e);
            edits.push_back(e);
        }
        area.setWidget(column);
        area.resize(1100, 720);
        area.show();
        flush();
    }
    // Made editable as the editor does it: `count` new editable QTextEdits holding the first texts, in a
    // page of their own, until painted, in ms.
    double buildEditable(int count) {
        QElapsedTimer t;
        t.start();
        auto* column = new QWidget;
        auto* v = new QVBoxLayout(column);
        for (int i = 0; i < count && i < int(edits.size()); ++i) {
            auto* e = new QTextEdit;
            e->setPlainText(edits[size_t(i)]->toPlainText());
            e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            e->document()->setTextWidth(860);
            e->setFixedHeight(int(e->document()->size().height()) + 4);
            v->addWidget(e);
        }
        v->addStretch(1);
        built.setWidgetResizable(true);
        built.setWidget(column);
        built.resize(1100, 720);
        built.show();
        built.repaint();
        const double ms = t.nsecsElapsed() / 1e6;
        built.hide();
        delete built.takeWidget();
        return ms;
    }
    // Until the switched page is painted, in ms.
    double switchTo(bool editable) {
        QElapsedTimer t;
        t.start();
        for (QTextEdit* e : edits)
            e->setReadOnly(!editable);
        area.repaint();
        return t.nsecsElapsed() / 1e6;
    }
    QScrollArea area;
    QScrollArea built;
    std::vector<QTextEdit*> edits;
};

// Resident memory, in KB, once an empty window of the editor's size has painted.
long residentWithAnEmptyWindow() {
    QWidget empty;
    empty.resize(1100, 720);
    QElapsedTimer t;
    t.start();
    untilPainted(&empty, t);
    flush();
    return residentKb();
}

// Resident memory of an empty window, then with the document open (first of the run, before any other).
void BM_ResidentMemory(benchmark::State& state) {
    for (auto _ : state) {
        const long before = residentWithAnEmptyWindow();
        QElapsedTimer t;
        DocPtr doc = fixture().reopenDoc();
        auto* view = new ImprovedDocEditorView(*fixture().services, doc);
        view->resize(1100, 720);
        t.restart();
        untilPainted(view, t);
        flush();
        const long after = residentKb();
        state.counters["empty_app_mb"] = before / 1024.0;
        state.counters["above_empty_mb"] = (after - before) / 1024.0;
        delete view;
        flush();
    }
}

// Opening to the first painted frame, against one QTextEdit with the same text built and painted; then,
// for 300 ms, the longest turn of the window's events while the rest of the page is made after that frame.
void BM_OpenToFirstFrame(benchmark::State& state) {
    std::vector<double> editor, baseline;
    qint64 longestTurn = 0;
    for (auto _ : state) {
        DocPtr doc = fixture().reopenDoc();
        {
            QElapsedTimer t;
            t.start();
            auto* view = new ImprovedDocEditorView(*fixture().services, doc);
            view->resize(1100, 720);
            editor.push_back(untilPainted(view, t));
            FrameTicker ticker;
            ticker.resize(40, 40);
            ticker.show();
            ticker.start();
            QElapsedTimer after;
            after.start();
            while (after.elapsed() < 300)
                QApplication::processEvents(QEventLoop::AllEvents, 5);
            ticker.stop();
            // The ticker's own period is not the page's.
            longestTurn = std::max(longestTurn, ticker.longestGapMs - 4);
            delete view;
        }
        flush();
        {
            QElapsedTimer t;
            t.start();
            auto* edit = new QTextEdit;
            edit->setPlainText(fixture().allText);
            edit->resize(1100, 720);
            baseline.push_back(untilPainted(edit, t));
            delete edit;
        }
        flush();
    }
    state.counters["editor_ms"] = median(editor);
    state.counters["qtextedit_ms"] = median(baseline);
    state.counters["ratio"] = median(editor) / std::max(0.001, median(baseline));
    state.counters["after_longest_turn_ms"] = double(longestTurn);
}

void typeOne(QWidget* target) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// Keystrokes back to back in a text block in the middle of the document; the RTF and plain text reach
// the block, stamped and saved, once per write window, inside whichever key it falls on. Baseline: a
// bare QTextEdit holding the same text, fed the same keys.
void BM_Keystroke(benchmark::State& state) {
    DocPtr doc = fixture().reopenDoc();
    auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
    view->resize(1100, 720);
    view->show();
    view->activateWindow();
    flush();
    view->toggleEditMode();
    flush();
    DocBlockPtr target;
    for (const auto& b : view->cachedBlocks())
        if (b->type() == DocBlockType::text && b->order() >= 250) {
            target = b;
            break;
        }
    view->scrollToBlock(target->id(), false);
    flush();
    ClickableTextView* text = view->rowFor(target->id())->textEditor()->textView();
    QTextEdit bare;
    benchbare::holdLikeTheEditor(bare, target->content(), target->richTextData(), text->width(), 720);
    bare.show();
    bare.moveCursor(QTextCursor::End);
    text->setFocus();
    text->moveCursor(QTextCursor::End);
    flush();
    std::vector<double> ms, cpu, baseline;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const double c0 = threadCpuMs();
        typeOne(text);
        QApplication::processEvents();
        cpu.push_back(threadCpuMs() - c0);
        ms.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        typeOne(&bare);
        QApplication::processEvents();
        baseline.push_back(t.nsecsElapsed() / 1e6);
    }
    state.counters["p50_ms"] = median(ms);
    state.counters["p99_ms"] = percentile(ms, 0.99);
    state.counters["cpu_p99_ms"] = percentile(cpu, 0.99);
    state.counters["qtextedit_p50_ms"] = median(baseline);
    state.counters["qtextedit_p99_ms"] = percentile(baseline, 0.99);
    state.counters["ratio_p50"] = median(ms) / std::max(1e-6, median(baseline));
    state.counters["ratio_p99"] = percentile(ms, 0.99) / std::max(1e-6, percentile(baseline, 0.99));
    view.reset();
    flush();
}

// Ordinary typing: words and spaces at the end of a text block of 200 words in the middle of the 500-block
// document, a key every `pace` ms (the argument; what the editor does between keys runs in the gaps, as it
// would for a person), against a bare QTextEdit holding the same text in the same run. Key-to-pixels is the
// time from the key to the end of its events; cpu_per_key is the thread's CPU over the whole burst (the
// writes between keys included) divided by the keys.
void typeChar(QWidget* target, QChar ch) {
    const int key = ch == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key_A + (ch.toLatin1() - 'a');
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// Waits without spinning, so that the thread's CPU counts only the work done meanwhile.
void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_OrdinaryTyping(benchmark::State& state) {
    const int pace = int(state.range(0));
    DocPtr doc = fixture().reopenDoc();
    auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
    view->resize(1100, 720);
    view->show();
    view->activateWindow();
    flush();
    view->toggleEditMode();
    flush();
    DocBlockPtr target;
    for (const auto& b : view->cachedBlocks())
        if (b->type() == DocBlockType::text && b->order() >= 250) {
            target = b;
            break;
        }
    view->scrollToBlock(target->id(), false);
    flush();
    ClickableTextView* text = view->rowFor(target->id())->textEditor()->textView();
    QTextEdit bare;
    benchbare::holdLikeTheEditor(bare, target->content(), target->richTextData(), text->width(), 720);
    bare.show();
    text->setFocus();
    text->moveCursor(QTextCursor::End);
    bare.moveCursor(QTextCursor::End);
    flush();
    const QString words = QStringLiteral("le projet avance bien sans retard ");
    std::vector<double> editor, baseline;
    double editorCpu = 0, bareCpu = 0;
    int i = 0;
    for (auto _ : state) {
        const QChar ch = words[i++ % words.size()];
        QElapsedTimer t;
        double c0 = threadCpuMs();
        t.start();
        typeChar(text, ch);
        QApplication::processEvents();
        editor.push_back(t.nsecsElapsed() / 1e6);
        idle(pace);
        editorCpu += threadCpuMs() - c0;
        c0 = threadCpuMs();
        t.restart();
        typeChar(&bare, ch);
        QApplication::processEvents();
        baseline.push_back(t.nsecsElapsed() / 1e6);
        idle(pace);
        bareCpu += threadCpuMs() - c0;
    }
    // The burst ends: what is still waiting is written, as on leaving the block.
    view->saveEverything();
    const double n = double(editor.size());
    state.counters["editor_p50_ms"] = median(editor);
    state.counters["editor_p99_ms"] = percentile(editor, 0.99);
    state.counters["qtextedit_p50_ms"] = median(baseline);
    state.counters["qtextedit_p99_ms"] = percentile(baseline, 0.99);
    state.counters["ratio_p50"] = median(editor) / std::max(1e-6, median(baseline));
    state.counters["ratio_p99"] = percentile(editor, 0.99) / std::max(1e-6, percentile(baseline, 0.99));
    state.counters["editor_cpu_per_key_ms"] = editorCpu / n;
    state.counters["qtextedit_cpu_per_key_ms"] = bareCpu / n;
    view.reset();
    flush();
}

// Typing code in the middle of a code block of 300 lines (a new line every few words), the page following
// the caret, against a bare QPlainTextEdit holding the same code, in the same font, margin and wrap mode,
// with a viewport of the same size, fed the same keys. A key is timed from its event to the end of the
// frame that shows it (key-to-pixels, the p50/p99 and their ratios), and apart from that to the end of
// everything it queued (the turn: what runs behind the frame, the save of the code, included).
void typeCodeKey(QWidget* target, QChar ch) {
    if (ch == QLatin1Char('\n')) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
        return;
    }
    typeChar(target, ch);
}

// Stops a clock when its window has painted and flushed a frame: the window's update request is handled
// here, then the time is read.
class FrameClock : public QObject {
public:
    explicit FrameClock(QWidget* window) { window->installEventFilter(this); }
    QElapsedTimer clock;
    double paintedMs = -1;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::UpdateRequest || m_inside)
            return false;
        m_inside = true;
        QEvent again(QEvent::UpdateRequest);
        QApplication::sendEvent(watched, &again);
        m_inside = false;
        paintedMs = clock.nsecsElapsed() / 1e6;
        return true;
    }

private:
    bool m_inside = false;
};

void BM_CodeBlockTyping(benchmark::State& state) {
    fixture().reopenDoc();
    DocPtr doc = fixture().container->mainContext().object<Doc>(fixture().codeDocId);
    auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
    view->resize(1100, 720);
    view->show();
    view->activateWindow();
    flush();
    view->toggleEditMode();
    flush();
    ImprovedCodeBlockView* code = nullptr;
    for (ImprovedBlockRowView* row : view->rows())
        if (row->codeEditor())
            code = row->codeEditor();
    QPlainTextEdit* editor = code->editor();
    // The page shows a window's height of the code: the bare editor's viewport gets that size.
    const QAbstractScrollArea* page = nullptr;
    for (QWidget* w = editor->parentWidget(); w && !page; w = w->parentWidget())
        page = qobject_cast<QAbstractScrollArea*>(w);
    QPlainTextEdit bare;
    bare.setFont(editor->font());
    bare.setLineWrapMode(QPlainTextEdit::NoWrap);
    bare.document()->setDocumentMargin(editor->document()->documentMargin());
    // Earlier runs typed into the stored block: the same code as the block shows now.
    bare.setPlainText(editor->toPlainText());
    bare.setFrameShape(QFrame::NoFrame);
    bare.resize(editor->viewport()->width() + bare.verticalScrollBar()->sizeHint().width(),
                page ? page->viewport()->height() : 720);
    bare.show();
    for (QPlainTextEdit* e : {editor, &bare}) {
        QTextCursor c(e->document()->findBlockByNumber(150));
        c.movePosition(QTextCursor::EndOfBlock);
        e->setFocus();
        e->setTextCursor(c);
        flush();
    }
    editor->setFocus();
    flush();
    FrameClock editorFrame(view.get()), bareFrame(&bare);
    const QString keys = QStringLiteral("let total = sum\n");
    std::vector<double> ms, baseline, turn, baselineTurn;
    auto type = [&](QWidget* target, FrameClock& frame, QChar ch, std::vector<double>& pixels,
                    std::vector<double>& whole) {
        frame.paintedMs = -1;
        frame.clock.start();
        typeCodeKey(target, ch);
        QApplication::processEvents();
        const double all = frame.clock.nsecsElapsed() / 1e6;
        pixels.push_back(frame.paintedMs >= 0 ? frame.paintedMs : all);
        whole.push_back(all);
    };
    int i = 0;
    // The new lines apart: they move every line below them.
    std::vector<double> newLine, baselineNewLine;
    for (auto _ : state) {
        const QChar ch = keys[i++ % keys.size()];
        type(editor, editorFrame, ch, ms, turn);
        type(&bare, bareFrame, ch, baseline, baselineTurn);
        if (ch == QLatin1Char('\n')) {
            newLine.push_back(ms.back());
            baselineNewLine.push_back(baseline.back());
        }
    }
    state.counters["editor_p50_ms"] = median(ms);
    state.counters["editor_p99_ms"] = percentile(ms, 0.99);
    state.counters["qplaintextedit_p50_ms"] = median(baseline);
    state.counters["qplaintextedit_p99_ms"] = percentile(baseline, 0.99);
    state.counters["ratio_p50"] = median(ms) / std::max(1e-6, median(baseline));
    state.counters["ratio_p99"] = percentile(ms, 0.99) / std::max(1e-6, percentile(baseline, 0.99));
    state.counters["new_line_p50_ms"] = median(newLine);
    state.counters["new_line_ratio_p50"] = median(newLine) / std::max(1e-6, median(baselineNewLine));
    state.counters["new_line_p99_ms"] = percentile(newLine, 0.99);
    state.counters["new_line_ratio_p99"] =
        percentile(newLine, 0.99) / std::max(1e-6, percentile(baselineNewLine, 0.99));
    state.counters["turn_ratio_p50"] = median(turn) / std::max(1e-6, median(baselineTurn));
    state.counters["turn_ratio_p99"] = percentile(turn, 0.99) / std::max(1e-6, percentile(baselineTurn, 0.99));
    view.reset();
    flush();
}

// Switching to edit mode: the rows near the view get their editors at once, the others when they come near.
// Baseline: the same texts in a plain page of QTextEdits made editable.
// « Éditer » until painted, in ms; its own function so that an instruction count can single it out
// (valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*enterEditModeAndPaint*').
[[gnu::noinline]] double enterEditModeAndPaint(ImprovedDocEditorView& view) {
    QElapsedTimer t;
    t.start();
    view.toggleEditMode();
    view.repaint();
    return t.nsecsElapsed() / 1e6;
}

// Each iteration opens the document and clicks « Éditer » (the first iteration's click is the run's first);
// again_ms: « Éditer » once more after « Voir ». The dictionary is loaded before, as the application loads it
// once its window is first idle. A second baseline builds as many editable QTextEdits, with the
// same texts, as the editor builds editors: the flip alone makes the first ratio a bound from above.
void BM_EnterEditMode(benchmark::State& state) {
    std::vector<double> ms, again, baseline, built;
    PlainPage plain(fixture().blockTexts);
    SpellDictionary& spelling = fixture().spelling;
    spelling.ensureLoading();
    QElapsedTimer wait;
    wait.start();
    while (!spelling.isLoaded() && wait.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    double first = -1;
    int editors = 0;
    for (auto _ : state) {
        DocPtr doc = fixture().reopenDoc();
        auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
        view->resize(1100, 720);
        view->show();
        flush();
        ms.push_back(enterEditModeAndPaint(*view));
        // « Voir », then « Éditer » again: the rows in view have their editors already.
        flush();
        view->toggleEditMode();
        while (view->isEditMode())
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        flush();
        again.push_back(enterEditModeAndPaint(*view));
        if (first < 0)
            first = ms.back();
        editors = int(view->findChildren<ClickableTextView*>().size());
        view.reset();
        flush();
        baseline.push_back(plain.switchTo(true));
        plain.switchTo(false);
        flush();
        built.push_back(plain.buildEditable(editors));
        flush();
    }
    state.counters["first_ms"] = first;
    state.counters["median_ms"] = median(ms);
    state.counters["again_ms"] = median(again);
    state.counters["editors"] = editors;
    state.counters["qtextedits_ms"] = median(baseline);
    state.counters["ratio"] = median(ms) / std::max(1e-6, median(baseline));
    state.counters["built_qtextedits_ms"] = median(built);
    state.counters["built_ratio"] = median(ms) / std::max(1e-6, median(built));
}

// Leaving edit mode ("Voir") in the middle of the document, reached in edit mode (so the rows in view
// have only their editors), until the view mode is painted; the pause before the closing save is not
// counted. The row under the pointer must not move: its drift is printed. Beside it: entering edit mode
// ("Éditer") in view mode at the top. Baseline: the same texts in a plain page of QTextEdits, scrolled
// to its middle, made read-only.
void BM_LeaveEditMode(benchmark::State& state) {
    std::vector<double> leave, enter, drift, baseline;
    PlainPage plain(fixture().blockTexts);
    plain.area.verticalScrollBar()->setValue(plain.area.verticalScrollBar()->maximum() / 2);
    flush();
    for (auto _ : state) {
        DocPtr doc = fixture().reopenDoc();
        auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
        view->resize(1100, 720);
        view->show();
        flush();
        QElapsedTimer t;
        t.start();
        view->toggleEditMode();
        view->repaint();
        enter.push_back(t.nsecsElapsed() / 1e6);
        flush();
        QScrollBar* bar = view->scrollArea()->verticalScrollBar();
        while (bar->value() < bar->maximum() / 2) {
            bar->setValue(bar->value() + 600);
            flush();
        }
        QWidget* viewport = view->scrollArea()->viewport();
        const QPoint pointer(450, 300);
        QCursor::setPos(viewport->mapToGlobal(pointer));
        QWidget* under = viewport->childAt(viewport->mapFromGlobal(QCursor::pos()));
        while (under && !qobject_cast<ImprovedBlockRowView*>(under))
            under = under->parentWidget();
        const int before = under ? under->mapTo(viewport, QPoint(0, 0)).y() : 0;
        t.restart();
        view->toggleEditMode();
        while (view->isEditMode())
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        view->repaint();
        leave.push_back(t.nsecsElapsed() / 1e6 - ImprovedDocEditorView::leaveDelayMs);
        if (under)
            drift.push_back(std::abs(under->mapTo(viewport, QPoint(0, 0)).y() - before));
        view.reset();
        flush();
        plain.switchTo(true);
        flush();
        baseline.push_back(plain.switchTo(false));
        flush();
    }
    state.counters["voir_ms"] = median(leave);
    state.counters["editer_ms"] = median(enter);
    state.counters["ratio"] = median(leave) / std::max(1e-6, median(enter));
    state.counters["qtextedits_ms"] = median(baseline);
    state.counters["ratio_qtextedits"] = median(leave) / std::max(1e-6, median(baseline));
    state.counters["row_drift_px"] = drift.empty() ? -1 : *std::max_element(drift.begin(), drift.end());
}

// Wheel scrolling from top to bottom, as a mouse wheel does it: notches of 120 sent to the page's viewport
// from a cold start (the document just opened, nothing built beyond the first screen, no picture decoded),
// one frame per notch, until the page has painted. The first pass is the one a person meets; the second
// runs once every picture has been decoded. Baseline: a QTextEdit holding the same text, wheeled the same
// way. Frame times are wall clock (the decoding threads run beside); cpu_max is the GUI thread's own.
void wheelOnce(QWidget* viewport) {
    const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
}

struct WheelPass {
    std::vector<double> frames;
    double cpuMax = 0;
    double p99() const { return percentile(frames, 0.99); }
    double max() const { return frames.empty() ? 0 : *std::max_element(frames.begin(), frames.end()); }
    double over() const {
        return double(std::count_if(frames.begin(), frames.end(), [](double f) { return f > 16.7; }));
    }
};

WheelPass wheelPass(QAbstractScrollArea* area) {
    WheelPass pass;
    QScrollBar* bar = area->verticalScrollBar();
    int stuck = 0;
    while (bar->value() < bar->maximum() && stuck < 3) {
        const int before = bar->value();
        QElapsedTimer t;
        t.start();
        const double c0 = threadCpuMs();
        wheelOnce(area->viewport());
        QApplication::processEvents();
        pass.cpuMax = std::max(pass.cpuMax, threadCpuMs() - c0);
        pass.frames.push_back(t.nsecsElapsed() / 1e6);
        stuck = bar->value() == before ? stuck + 1 : 0;
    }
    return pass;
}

void BM_WheelScroll(benchmark::State& state) {
    WheelPass first, second, bare;
    for (auto _ : state) {
        DocPtr doc = fixture().reopenDoc();
        auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
        view->resize(1100, 720);
        QElapsedTimer open;
        open.start();
        untilPainted(view.get(), open);
        first = wheelPass(view->scrollArea());
        // Let the worker threads finish decoding the pictures.
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 3000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        view->scrollArea()->verticalScrollBar()->setValue(0);
        flush();
        second = wheelPass(view->scrollArea());
        view.reset();
        flush();
        QTextEdit edit;
        edit.setPlainText(fixture().allText);
        edit.resize(1100, 720);
        edit.show();
        flush();
        bare = wheelPass(&edit);
    }
    state.counters["frames"] = double(first.frames.size());
    state.counters["first_p99_ms"] = first.p99();
    state.counters["first_max_ms"] = first.max();
    state.counters["first_over_16_7ms"] = first.over();
    state.counters["first_cpu_max_ms"] = first.cpuMax;
    state.counters["second_p99_ms"] = second.p99();
    state.counters["second_max_ms"] = second.max();
    state.counters["second_over_16_7ms"] = second.over();
    state.counters["qtextedit_p99_ms"] = bare.p99();
    state.counters["ratio_first_p99"] = first.p99() / std::max(1e-6, bare.p99());
    if (qEnvironmentVariableIsSet("BENCH_EDITOR_SLOW_FRAMES"))
        for (size_t i = 0; i < first.frames.size(); ++i)
            if (first.frames[i] > 16.7)
                std::fprintf(stderr, "slow frame %zu: %.1f ms\n", i, first.frames[i]);
}

// Bytes this process has read through system calls so far.
qint64 bytesReadSoFar() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return 0;
}

// The document of 30 photographs (each a TIFF of several MB) and 30 texts, from a cold context: the first
// painted frame against a QTextEdit holding its text, the bytes read until then, a wheel pass from top to
// bottom, and the memory held after it (above an empty window).
void BM_PictureDocument(benchmark::State& state) {
    double editorMs = 0, baselineMs = 0;
    qint64 readAtOpen = 0;
    long above = 0;
    WheelPass pass;
    for (auto _ : state) {
        const long before = residentWithAnEmptyWindow();
        QElapsedTimer t;
        DocPtr doc = fixture().reopenDoc(fixture().picturesDocId);
        flush();
        const qint64 read0 = bytesReadSoFar();
        t.restart();
        auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
        view->resize(1100, 720);
        editorMs = untilPainted(view.get(), t);
        // What was read for the first frame, and by the workers while it showed (pictures in view).
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 500)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        readAtOpen = bytesReadSoFar() - read0;
        QStringList texts;
        for (const auto& b : doc->blocks())
            texts << b->content();
        pass = wheelPass(view->scrollArea());
        // The pictures decoded on the way, then what stays.
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        flush();
        above = residentKb() - before;
        view.reset();
        flush();
        t.restart();
        QTextEdit edit;
        edit.setPlainText(texts.join(QStringLiteral("\n\n")));
        edit.resize(1100, 720);
        baselineMs = untilPainted(&edit, t);
    }
    state.counters["picture_mb"] = double(fixture().pictureSize) / (1024 * 1024);
    state.counters["first_frame_ms"] = editorMs;
    state.counters["qtextedit_ms"] = baselineMs;
    state.counters["ratio"] = editorMs / std::max(0.001, baselineMs);
    state.counters["read_at_open_mb"] = double(readAtOpen) / (1024 * 1024);
    state.counters["wheel_p99_ms"] = pass.p99();
    state.counters["wheel_max_ms"] = pass.max();
    state.counters["wheel_over_16_7ms"] = pass.over();
    state.counters["after_pass_above_empty_mb"] = above / 1024.0;
}

// Whether the caret of `edit` is inside the visible part of `area`.
bool caretShown(QTextEdit* edit, QAbstractScrollArea* area) {
    const QRect caret = edit->cursorRect();
    const QRect inArea(edit->viewport()->mapTo(area->viewport(), caret.topLeft()), caret.size());
    return area->viewport()->rect().contains(inArea);
}

// A keystroke at the end of a block of 10,000 words taller than the window, until the page has followed
// the caret (the block's new height, the layout, the scroll), against a bare QTextEdit with the same text
// scrolling to its own caret. Argument: the number of paragraphs of the 10,000 words.
void BM_CaretFollowKeystroke(benchmark::State& state) {
    const int paragraphs = int(state.range(0));
    fixture().reopenDoc();
    DocPtr doc = fixture().container->mainContext().object<Doc>(fixture().longTextDocs[paragraphs]);
    auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
    view->resize(1100, 720);
    view->show();
    view->activateWindow();
    flush();
    view->toggleEditMode();
    flush();
    RichTextBlockEditor* textEditor = view->rows().front()->textEditor();
    ClickableTextView* text = textEditor->textView();
    // The toolbar's slide at the start of editing, frame by frame: each frame's layout and paint.
    auto* slide = textEditor->findChild<QVariantAnimation*>();
    text->setFocus();
    std::vector<double> slideFrames;
    if (slide) {
        slide->pause();
        for (int ms = 16; ms <= slide->duration(); ms += 16) {
            QElapsedTimer t;
            t.start();
            slide->setCurrentTime(ms);
            QCoreApplication::sendPostedEvents();
            QApplication::processEvents();
            slideFrames.push_back(t.nsecsElapsed() / 1e6);
        }
        slide->setCurrentTime(slide->duration());
        slide->stop();
    }
    text->moveCursor(QTextCursor::End);
    flush();
    QTextEdit bare;
    const DocBlockPtr block = view->cachedBlocks().front();
    benchbare::holdLikeTheEditor(bare, block->content(), block->richTextData(), text->width(), 720);
    bare.show();
    bare.moveCursor(QTextCursor::End);
    flush();
    // What a frame that paints all the text in view costs.
    std::vector<double> wholePaints;
    for (int i = 0; i < 12; ++i) {
        QElapsedTimer t;
        t.start();
        bare.viewport()->repaint();
        wholePaints.push_back(t.nsecsElapsed() / 1e6);
    }
    // The plain editor's window took the focus when shown: the keys go to the editor's, active again, as
    // when a person types into it (its row keeps the toolbar it shows while the focus is inside).
    view->activateWindow();
    text->setFocus();
    flush();
    std::vector<double> editor, baseline;
    int hidden = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        typeOne(text);
        QApplication::processEvents();
        editor.push_back(t.nsecsElapsed() / 1e6);
        hidden += caretShown(text, view->scrollArea()) ? 0 : 1;
        t.restart();
        typeOne(&bare);
        QApplication::processEvents();
        baseline.push_back(t.nsecsElapsed() / 1e6);
    }
    state.counters["editor_p50_ms"] = median(editor);
    state.counters["editor_p99_ms"] = percentile(editor, 0.99);
    state.counters["qtextedit_p50_ms"] = median(baseline);
    state.counters["qtextedit_p99_ms"] = percentile(baseline, 0.99);
    state.counters["ratio_p50"] = median(editor) / std::max(1e-6, median(baseline));
    state.counters["ratio_p99"] = percentile(editor, 0.99) / std::max(1e-6, percentile(baseline, 0.99));
    state.counters["caret_hidden"] = hidden;
    state.counters["slide_frame_p50_ms"] = median(slideFrames);
    state.counters["slide_frame_max_ms"] = percentile(slideFrames, 1);
    state.counters["qtextedit_repaint_ms"] = median(wholePaints);
    view.reset();
    flush();
}

// One QTextEdit holding `text` (read-only): opened to its first frame, made editable, and fed keys
// in its middle; the plain Qt beside the editor's large and many-block documents.
struct BareTimes {
    double openMs = 0, editMs = 0, leaveMs = 0;
    std::vector<double> keys;
};

BareTimes bareTextEdit(const QString& text, int keys) {
    BareTimes out;
    QElapsedTimer t;
    t.start();
    QTextEdit edit;
    edit.setReadOnly(true);
    edit.setPlainText(text);
    edit.resize(1100, 720);
    out.openMs = untilPainted(&edit, t);
    flush();
    t.restart();
    edit.setReadOnly(false);
    edit.repaint();
    out.editMs = t.nsecsElapsed() / 1e6;
    QTextCursor c = edit.textCursor();
    c.setPosition(edit.document()->characterCount() / 2);
    edit.setTextCursor(c);
    edit.setFocus();
    flush();
    for (int i = 0; i < keys; ++i) {
        QElapsedTimer k;
        k.start();
        typeOne(&edit);
        QApplication::processEvents();
        out.keys.push_back(k.nsecsElapsed() / 1e6);
    }
    t.restart();
    edit.setReadOnly(true);
    edit.repaint();
    out.leaveMs = t.nsecsElapsed() / 1e6;
    return out;
}

double ratio(double a, double b) { return a / std::max(1e-6, b); }

// A document of one text block of 1 MB: opening it to its first frame, switching to edit mode, and a
// keystroke in the middle of the block of the window over the second after opening. Baseline: one
// QTextEdit holding the same text.
void BM_LargeTextBlock(benchmark::State& state) {
    double openMs = 0, editMs = 0;
    std::vector<double> keys;
    BareTimes bare;
    for (auto _ : state) {
        DocPtr doc = fixture().reopenDoc(fixture().largeBlockDocId);
        QElapsedTimer t;
        t.start();
        auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
        view->resize(1100, 720);
        openMs = untilPainted(view.get(), t);
        flush();
        t.restart();
        view->toggleEditMode();
        view->repaint();
        editMs = t.nsecsElapsed() / 1e6;
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1500)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        ClickableTextView* text = view->rows().first()->textEditor()->textView();
        text->setFocus();
        QTextCursor c = text->textCursor();
        c.setPosition(text->document()->characterCount() / 2);
        text->setTextCursor(c);
        flush();
        for (int i = 0; i < 200; ++i) {
            QElapsedTimer k;
            k.start();
            typeOne(text);
            QApplication::processEvents();
            keys.push_back(k.nsecsElapsed() / 1e6);
        }
        view.reset();
        flush();
        bare = bareTextEdit(fixture().largeText, 200);
        flush();
    }
    state.counters["open_ms"] = openMs;
    state.counters["edit_ms"] = editMs;
    state.counters["key_p50_ms"] = median(keys);
    state.counters["key_p99_ms"] = percentile(keys, 0.99);
    state.counters["qtextedit_open_ms"] = bare.openMs;
    state.counters["qtextedit_edit_ms"] = bare.editMs;
    state.counters["qtextedit_key_p99_ms"] = percentile(bare.keys, 0.99);
    state.counters["ratio_open"] = ratio(openMs, bare.openMs);
    state.counters["ratio_edit"] = ratio(editMs, bare.editMs);
    state.counters["ratio_key_p99"] = ratio(percentile(keys, 0.99), percentile(bare.keys, 0.99));
}

// A document of 5,000 blocks with the accessibility layer active (a screen reader running): opening it,
// entering and leaving edit mode. Baseline: one QTextEdit holding the 5,000 texts as paragraphs, with
// the accessibility layer active too.
void BM_ManyBlocksWithAccessibility(benchmark::State& state) {
    QAccessible::setActive(true);
    double openMs = 0, editMs = 0, leaveMs = 0;
    BareTimes bare;
    for (auto _ : state) {
        DocPtr doc = fixture().reopenDoc(fixture().manyBlocksDocId);
        QElapsedTimer t;
        t.start();
        auto view = std::make_unique<ImprovedDocEditorView>(*fixture().services, doc);
        view->resize(1100, 720);
        openMs = untilPainted(view.get(), t);
        flush();
        t.restart();
        view->toggleEditMode();
        view->repaint();
        flush();
        editMs = t.nsecsElapsed() / 1e6;
        t.restart();
        view->toggleEditMode();
        while (view->isEditMode())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        view->repaint();
        flush();
        // The delay before the save that ends edit mode is a pause, not work.
        leaveMs = t.nsecsElapsed() / 1e6 - ImprovedDocEditorView::leaveDelayMs;
        view.reset();
        flush();
        bare = bareTextEdit(fixture().manyTexts.join(QLatin1Char('\n')), 0);
        flush();
    }
    QAccessible::setActive(false);
    state.counters["open_ms"] = openMs;
    state.counters["edit_ms"] = editMs;
    state.counters["leave_ms"] = leaveMs;
    state.counters["qtextedit_open_ms"] = bare.openMs;
    state.counters["qtextedit_edit_ms"] = bare.editMs;
    state.counters["qtextedit_leave_ms"] = bare.leaveMs;
    state.counters["ratio_open"] = ratio(openMs, bare.openMs);
    state.counters["ratio_edit"] = ratio(editMs, bare.editMs);
    state.counters["ratio_leave"] = ratio(leaveMs, bare.leaveMs);
}

} // namespace

BENCHMARK(BM_ResidentMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OpenToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_OrdinaryTyping)->Arg(15)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_CodeBlockTyping)->Unit(benchmark::kMillisecond)->Iterations(1000);
BENCHMARK(BM_EnterEditMode)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LeaveEditMode)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WheelScroll)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PictureDocument)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LargeTextBlock)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ManyBlocksWithAccessibility)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_CaretFollowKeystroke)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(300);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fixture(); // the store is written before anything is measured
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
