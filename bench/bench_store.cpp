// Opening and fetching a large store, and stamping one block, against raw SQLite doing the same reads and
// writes with the application's settings (WAL, synchronous=NORMAL, foreign keys).
#include "LargeStore.h"
#include "core/model/SwiftDataContainer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <vector>
#include <string>

namespace {

// The raw update's median commit, in microseconds: the baseline of stamping a block and saving it.
double g_rawCommitUs = 0;

using benchstore::exec;

QTemporaryDir* g_dir = nullptr;

QString storePath() { return g_dir->path() + "/bench.store"; }

void buildStore() { benchstore::build(storePath(), true); }

void BM_OpenAndFetch(benchmark::State& state) {
    for (auto _ : state) {
        QString err;
        auto c = openModelContainer(storePath(), &err);
        auto& ctx = c->mainContext();
        auto p = ctx.fetch<Project>(SortDescriptor<Project>(&Project::updatedAt, SortOrder::reverse));
        auto d = ctx.fetch<Doc>(SortDescriptor<Doc>(&Doc::updatedAt, SortOrder::reverse));
        auto l = ctx.fetch<Checklist>(SortDescriptor<Checklist>(&Checklist::updatedAt, SortOrder::reverse));
        benchmark::DoNotOptimize(p.size() + d.size() + l.size());
    }
}

// What a whole-file check would add to the start: SQLite's quick check over the large store.
void BM_OpenAndQuickCheck(benchmark::State& state) {
    for (auto _ : state) {
        QString err;
        auto c = openModelContainer(storePath(), &err);
        auto& ctx = c->mainContext();
        if (!ctx.quickCheck(&err))
            state.SkipWithError(qPrintable(err));
        auto p = ctx.fetch<Project>(SortDescriptor<Project>(&Project::updatedAt, SortOrder::reverse));
        benchmark::DoNotOptimize(p.size());
    }
}

// The pause the check causes when run on the window's thread: the whole of it (the baseline of the next one).
void BM_QuickCheckOnGuiThread(benchmark::State& state) {
    QString err;
    auto c = openModelContainer(storePath(), &err);
    for (auto _ : state)
        if (!c->mainContext().quickCheck(&err))
            state.SkipWithError(qPrintable(err));
}

// The same check on its worker: the time reported is the longest gap between ticks of a 1 ms timer on the
// window's thread while the check runs.
void BM_QuickCheckInBackgroundLongestPause(benchmark::State& state) {
    QString err;
    auto c = openModelContainer(storePath(), &err);
    auto& ctx = c->mainContext();
    for (auto _ : state) {
        QEventLoop loop;
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        bool ok = true;
        QObject::connect(&ctx, &ModelContext::quickCheckFinished, &loop, [&](bool sound) {
            ok = sound;
            loop.quit();
        });
        timer.start(1);
        clock.start();
        ctx.startQuickCheck();
        loop.exec();
        longest = std::max(longest, clock.nsecsElapsed() - last);
        if (!ok)
            state.SkipWithError("the check found a problem");
        state.SetIterationTime(double(longest) / 1e9);
        state.counters["check_ms"] = double(clock.nsecsElapsed()) / 1e6;
    }
}

// Closing the store 50 ms into a background check: the time the close takes.
void BM_CloseDuringBackgroundCheck(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QString err;
        auto c = openModelContainer(storePath(), &err);
        c->mainContext().startQuickCheck();
        QThread::msleep(50);
        state.ResumeTiming();
        c.reset();
    }
}

void BM_RawSelect(benchmark::State& state) {
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(storePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        exec(db, "PRAGMA journal_mode=WAL");
        size_t bytes = 0;
        for (const char* sql :
             {"SELECT * FROM Project ORDER BY updatedAt DESC", "SELECT * FROM Doc ORDER BY updatedAt DESC",
              "SELECT * FROM Checklist ORDER BY updatedAt DESC"}) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW)
                for (int i = 0; i < sqlite3_column_count(st); ++i)
                    bytes += size_t(sqlite3_column_bytes(st, i)) + (sqlite3_column_text(st, i) ? 1 : 0);
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        benchmark::DoNotOptimize(bytes);
    }
}

void BM_StampBlockAndSave(benchmark::State& state) {
    QString err;
    auto c = openModelContainer(storePath(), &err);
    auto& ctx = c->mainContext();
    auto doc = ctx.fetch<Doc>()[42];
    auto block = doc->blocks()[0];
    const QString content(10 * 1024, QChar('a'));
    int n = 0;
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        block->setContent(content + QString::number(n++));
        block->setUpdatedAt(QDateTime::currentDateTimeUtc());
        if (!ctx.save())
            state.SkipWithError("save failed");
        samples.push_back(t.nsecsElapsed() / 1e3);
    }
    std::sort(samples.begin(), samples.end());
    const double p50 = samples.empty() ? 0 : samples[samples.size() / 2];
    state.counters["p50_us"] = p50;
    state.counters["raw_sqlite_p50_us"] = g_rawCommitUs;
    if (g_rawCommitUs > 0)
        state.counters["ratio_vs_raw_sqlite"] = p50 / g_rawCommitUs;
}

void BM_RawUpdateAndCommit(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(storePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    exec(db, "PRAGMA journal_mode=WAL");
    // As the application's store: the log is written at each commit and synced apart.
    exec(db, "PRAGMA synchronous=NORMAL");
    exec(db, "PRAGMA foreign_keys=ON");
    sqlite3_stmt* pick = nullptr;
    sqlite3_prepare_v2(db, "SELECT id FROM DocBlock LIMIT 1 OFFSET 420", -1, &pick, nullptr);
    sqlite3_step(pick);
    const std::string id = reinterpret_cast<const char*>(sqlite3_column_text(pick, 0));
    sqlite3_finalize(pick);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "UPDATE DocBlock SET content=?, updatedAt=? WHERE id=?", -1, &st, nullptr);
    const std::string content(10 * 1024, 'a');
    int n = 0;
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        exec(db, "BEGIN IMMEDIATE");
        const std::string c = content + std::to_string(n++);
        sqlite3_bind_text(st, 1, c.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 2, n);
        sqlite3_bind_text(st, 3, id.c_str(), -1, SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_reset(st);
        exec(db, "COMMIT");
        samples.push_back(t.nsecsElapsed() / 1e3);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    std::sort(samples.begin(), samples.end());
    g_rawCommitUs = samples.empty() ? 0 : samples[samples.size() / 2];
    state.counters["p50_us"] = g_rawCommitUs;
}

long rssKb() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void BM_ResidentMemoryAfterOpen(benchmark::State& state) {
    long before = 0, after = 0;
    for (auto _ : state) {
        state.PauseTiming();
        before = rssKb();
        state.ResumeTiming();
        QString err;
        auto c = openModelContainer(storePath(), &err);
        auto& ctx = c->mainContext();
        ctx.fetch<Project>();
        ctx.fetch<Doc>();
        ctx.fetch<Checklist>();
        after = rssKb();
    }
    state.counters["rss_added_MB"] = double(after - before) / 1024.0;
}

} // namespace

BENCHMARK(BM_ResidentMemoryAfterOpen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndFetch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndQuickCheck)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickCheckOnGuiThread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickCheckInBackgroundLongestPause)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloseDuringBackgroundCheck)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSelect)->Unit(benchmark::kMillisecond);
// The raw update runs first: it is the baseline of the stamp and save.
BENCHMARK(BM_RawUpdateAndCommit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StampBlockAndSave)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    buildStore();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
