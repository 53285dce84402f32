// Attaching a 200 MB file to a card: how long the GUI thread goes without painting while the copy runs,
// against the same copy made on the GUI thread (the baseline, measured first in the same run). Then cards
// with large descriptions (plain text or RTF, 100 kB to 50 MB): opening the sheet, switching to edit mode,
// a keystroke, and what the window and the memory go through meanwhile.
#include "cardsheet/AttachmentJobs.h"
#include "richtext/SpellChecker.h"
#include <QApplication>
#include <QBasicTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTextCursor>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "FrameTicker.h"
#include "LargeText.h"

#include "cardsheet/AttachmentFiles.h"
#include "cardsheet/AttachmentJobs.h"
#include "cardsheet/CardEdits.h"
#include "cardsheet/CardSheet.h"
#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "richtext/ClickableTextView.h"
#include "richtext/NotesFormat.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/SpellChecker.h"
#include "services/Services.h"
#include "ui/DialogSeam.h"
#include "ui/Theme.h"

namespace {

QTemporaryDir* g_dir = nullptr;
Services* g_services = nullptr;
double g_baselineGapMs = 0;
// A smoke run (TOLMEK_BENCH_SMOKE=1) takes every path with a smaller file.
qint64 fileBytes() { return (qEnvironmentVariableIntValue("TOLMEK_BENCH_SMOKE") == 1 ? 8LL : 200LL) * 1024 * 1024; }

QString bigFile() {
    static QString path;
    if (!path.isEmpty())
        return path;
    path = g_dir->filePath(QStringLiteral("video-200mb.mov"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray chunk(1 << 20, '\0');
    for (int i = 0; i < chunk.size(); ++i)
        chunk[i] = char((i * 131) & 0xff);
    for (qint64 done = 0; done < fileBytes(); done += chunk.size())
        f.write(chunk);
    return path;
}

struct Board {
    ChecklistPtr checklist;
    ChecklistCardPtr card;
};

Board makeBoard() {
    ModelContext& ctx = g_services->context;
    const QDateTime now = Clock::now();
    Board b;
    b.checklist = std::make_shared<Checklist>(ChecklistFields{
        .name = "Bench", .iconName = "checklist", .colorKey = OptText("blue"), .createdAt = now, .updatedAt = now});
    ctx.insert(b.checklist);
    auto column = std::make_shared<ChecklistColumn>(ChecklistColumnFields{.name = "À faire",
                                                                          .iconName = "square.stack.3d.up",
                                                                          .colorKey = OptText("blue"),
                                                                          .orderIndex = 0,
                                                                          .createdAt = now,
                                                                          .updatedAt = now,
                                                                          .checklist = b.checklist});
    ctx.insert(column);
    b.card = CardEdits(ctx, b.checklist).createCard(column, "Vidéo", "");
    return b;
}

void removeCopies() { QDir(attachmentfiles::attachmentsDirectory()).removeRecursively(); }

// Control: the ticker alone for as long as an attach takes, to see the pauses the machine itself causes.
void BM_IdleWindow(benchmark::State& state) {
    FrameTicker ticker;
    ticker.resize(200, 200);
    ticker.show();
    qint64 worst = 0;
    for (auto _ : state) {
        ticker.start();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 400)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ticker.stop();
        worst = std::max(worst, ticker.longestGapMs);
    }
    state.counters["longest_gui_gap_ms"] = double(worst);
}
BENCHMARK(BM_IdleWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Baseline: the same copy made on the GUI thread, as a synchronous copy would.
void BM_CopyOnGuiThread(benchmark::State& state) {
    const QString source = bigFile();
    const Board b = makeBoard();
    FrameTicker ticker;
    ticker.resize(200, 200);
    ticker.show();
    qint64 worst = 0;
    for (auto _ : state) {
        ticker.start();
        QCoreApplication::processEvents();
        const auto r =
            attachmentfiles::copyIntoFolder(source, attachmentfiles::cardDirectory(b.checklist->id(), b.card->id()),
                                            QStringLiteral("video.mov"));
        QCoreApplication::processEvents();
        ticker.stop();
        if (!r.ok())
            state.SkipWithError("copy failed");
        worst = std::max(worst, ticker.longestGapMs);
        removeCopies();
    }
    g_baselineGapMs = double(worst);
    state.counters["longest_gui_gap_ms"] = double(worst);
}
BENCHMARK(BM_CopyOnGuiThread)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A person picks the file in the card sheet: time until the attachment is recorded, and the longest
// pause of the GUI thread meanwhile.
void BM_SheetAttach200MB(benchmark::State& state) {
    const QString source = bigFile();
    const Board b = makeBoard();
    CardSheet sheet(*g_services, b.checklist);
    sheet.openCard(b.card);
    sheet.startEditing();
    FrameTicker ticker;
    ticker.resize(200, 200);
    ticker.show();
    // The sheet's first layout and painting (and the spell checker's start) are not part of the copy.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    qint64 worst = 0;
    double totalMs = 0;
    int runs = 0;
    for (auto _ : state) {
        const size_t before = b.card->attachments().size();
        ticker.start();
        QElapsedTimer t;
        t.start();
        sheet.importAttachment(source);
        while (g_services->attachments.runningCount() > 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        QCoreApplication::processEvents();
        totalMs += double(t.nsecsElapsed()) / 1e6;
        ticker.stop();
        worst = std::max(worst, ticker.longestGapMs);
        ++runs;
        if (b.card->attachments().size() != before + 1)
            state.SkipWithError("no attachment recorded");
        removeCopies();
    }
    state.counters["stored_ms"] = runs ? totalMs / runs : 0;
    state.counters["longest_gui_gap_ms"] = double(worst);
    if (g_baselineGapMs > 0)
        state.counters["gap_ratio_vs_gui_copy"] = double(worst) / g_baselineGapMs;
}
BENCHMARK(BM_SheetAttach200MB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

long residentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// The notes of a card holding `kb` kB of prose, plain (0) or as RTF (1).
QString largeNotes(qint64 kb, bool rich) {
    const QString text = benchtext::prose(kb * 1024);
    return rich ? notesformat::encode(benchtext::rtfOf(text), text) : text;
}

void settle() {
    g_services->spelling.ensureLoading();
    QElapsedTimer wait;
    wait.start();
    while (!g_services->spelling.isLoaded() && wait.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// Runs `step` with the ticker watching, then events for `afterMs`; returns the longest pause.
template <typename Step>
qint64 watched(Step step, int afterMs) {
    FrameTicker ticker;
    ticker.resize(50, 50);
    ticker.show();
    QCoreApplication::processEvents();
    ticker.start();
    step();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < afterMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    ticker.stop();
    return ticker.longestGapMs;
}

// Arguments: the description's size in kB, 0 plain or 1 RTF. Opening the sheet in read mode to its first
// painted frame, then switching to edit mode; the longest pause of the window covers both and what follows.
void BM_OpenLargeDescription(benchmark::State& state) {
    settle();
    const Board b = makeBoard();
    b.card->setNotes(largeNotes(state.range(0), state.range(1)));
    double openMs = 0, editMs = 0;
    qint64 pause = 0;
    long grownKb = 0;
    for (auto _ : state) {
        const long before = residentKb();
        CardSheet sheet(*g_services, b.checklist);
        pause = watched(
            [&] {
                QElapsedTimer t;
                t.start();
                sheet.openCard(b.card);
                QCoreApplication::processEvents();
                sheet.repaint();
                openMs = t.nsecsElapsed() / 1e6;
                t.restart();
                sheet.startEditing();
                QCoreApplication::processEvents();
                sheet.repaint();
                editMs = t.nsecsElapsed() / 1e6;
            },
            1000);
        grownKb = residentKb() - before;
        sheet.reject();
    }
    state.counters["open_ms"] = openMs;
    state.counters["edit_ms"] = editMs;
    state.counters["longest_pause_ms"] = double(pause);
    state.counters["rss_growth_mb"] = grownKb / 1024.0;
}
BENCHMARK(BM_OpenLargeDescription)
    ->Args({100, 0})
    ->Args({1024, 0})
    ->Args({1024, 1})
    ->Args({51200, 0})
    ->Args({51200, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

// A keystroke in the middle of a 1 MB description, painted.
void BM_KeystrokeLargeDescription(benchmark::State& state) {
    settle();
    const Board b = makeBoard();
    b.card->setNotes(largeNotes(1024, state.range(0)));
    CardSheet sheet(*g_services, b.checklist);
    sheet.openCard(b.card);
    sheet.startEditing();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    ClickableTextView* view = sheet.descriptionEditor()->textView();
    QTextCursor c = view->textCursor();
    c.setPosition(view->document()->characterCount() / 2);
    view->setTextCursor(c);
    view->setFocus();
    view->ensureCursorVisible();
    QCoreApplication::processEvents();
    std::vector<double> ms;
    for (auto _ : state) {
        QElapsedTimer k;
        k.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(view, &press);
        QApplication::sendEvent(view, &release);
        QCoreApplication::processEvents();
        sheet.repaint();
        ms.push_back(k.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p99_ms"] = ms[std::min(ms.size() - 1, size_t(double(ms.size()) * 0.99))];
    sheet.reject();
}
BENCHMARK(BM_KeystrokeLargeDescription)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(200)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    Preferences prefs(dir.filePath(QStringLiteral("prefs.conf")));
    Preferences::setShared(&prefs);
    DialogSeam::setNonInteractive(true);
    attachmentfiles::setAttachmentsDirectoryForTesting(dir.filePath(QStringLiteral("Attachments")));
    QString err;
    auto container = openModelContainer(dir.filePath(QStringLiteral("bench.store")), &err);
    if (!container)
        return 1;
    {
        ThemeManager theme(&prefs);
        UserPreferencesStore profile(prefs);
        SpellDictionary spelling;
        AttachmentImports attachments;
        ThumbnailCache thumbnails;
        Services services{container->mainContext(), prefs, theme, profile, spelling, attachments, thumbnails};
        g_services = &services;
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        g_services = nullptr;
    }
    container.reset();
    Preferences::setShared(nullptr);
    return 0;
}
