// The checklists screen over a large store: 2,000 checklists and 50,000 cards. A reload (fetch, filter,
// count, sort, page) and a repaint of the screen, against counting every checklist once
// (the baseline, measured first in the same run), and a plain Qt scroll area of 20 labels repainted.
// TOLMEK_BENCH_CHECKLISTS sets the number of checklists (2,000 by default; the cards follow, 25 each).
#include "cardsheet/AttachmentJobs.h"
#include "richtext/SpellChecker.h"
#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "checklists/ChecklistLogic.h"
#include "checklists/ChecklistsListView.h"
#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "services/Services.h"
#include "ui/Theme.h"

namespace {

Services* g_services = nullptr;
ChecklistsListView* g_screen = nullptr;
double g_baselineMs = 0;

// Written through the model and saved once, then read back from the file like at start-up.
void buildStore(ModelContext& ctx) {
    const QDateTime start(QDate(2025, 1, 1), QTime(8, 0), Qt::UTC);
    std::vector<ProjectPtr> projects;
    for (int i = 0; i < 50; ++i) {
        ProjectFields f;
        f.name = QStringLiteral("Projet %1").arg(i);
        f.iconName = "folder";
        f.createdAt = f.updatedAt = start;
        projects.push_back(std::make_shared<Project>(std::move(f)));
        ctx.insert(projects.back());
    }
    const int count = qEnvironmentVariableIntValue("TOLMEK_BENCH_CHECKLISTS") > 0
        ? qEnvironmentVariableIntValue("TOLMEK_BENCH_CHECKLISTS")
        : 2000;
    for (int i = 0; i < count; ++i) {
        ChecklistFields f;
        f.name = QStringLiteral("Checklist %1").arg(i);
        f.iconName = "checklist";
        f.colorKey = QStringLiteral("blue");
        f.createdAt = start;
        f.updatedAt = start.addSecs(i);
        if (i % 3)
            f.project = projects[size_t(i % 50)];
        auto c = std::make_shared<Checklist>(std::move(f));
        ctx.insert(c);
        const QString names[2] = {i % 2 ? QStringLiteral("A faire") : QStringLiteral("À faire"),
                                  i % 2 ? QStringLiteral("Termine") : QStringLiteral("Terminé")};
        for (int k = 0; k < 2; ++k) {
            ChecklistColumnFields cf;
            cf.name = names[k];
            cf.iconName = "circle";
            cf.orderIndex = k;
            cf.createdAt = cf.updatedAt = start;
            cf.checklist = c;
            auto col = std::make_shared<ChecklistColumn>(std::move(cf));
            ctx.insert(col);
            for (int n = 0; n < (k == 0 ? 15 : 10); ++n) {
                ChecklistCardFields kf;
                kf.title = QStringLiteral("Carte %1").arg(n);
                kf.orderIndex = n;
                kf.createdAt = kf.updatedAt = start;
                kf.column = col;
                ctx.insert(std::make_shared<ChecklistCard>(std::move(kf)));
            }
        }
    }
    if (!ctx.save())
        std::abort();
}

double msSince(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Baseline: the counts of every checklist, as a screen without paging would compute them.
void BM_CountEveryChecklist(benchmark::State& state) {
    const auto all = g_services->context.fetch<Checklist>();
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        qint64 sum = 0;
        for (const auto& c : all)
            sum += ChecklistLogic::boardCounts(*c).toDo;
        benchmark::DoNotOptimize(sum);
        total += msSince(t);
        ++runs;
    }
    g_baselineMs = total / std::max(1, runs);
}
BENCHMARK(BM_CountEveryChecklist)->Unit(benchmark::kMillisecond)->Iterations(20);

// Plain Qt: a scroll area holding a screenful of labels, repainted.
void BM_PlainQtScreenful(benchmark::State& state) {
    QScrollArea area;
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    for (int i = 0; i < 20; ++i)
        column->addWidget(new QLabel(QStringLiteral("Checklist %1").arg(i)));
    area.setWidget(page);
    area.setWidgetResizable(true);
    area.resize(1000, 760);
    area.show();
    QCoreApplication::processEvents();
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        area.repaint();
        total += msSince(t);
        ++runs;
    }
    state.counters["ms"] = total / std::max(1, runs);
}
BENCHMARK(BM_PlainQtScreenful)->Unit(benchmark::kMillisecond)->Iterations(40);

void report(benchmark::State& state, double total, int runs) {
    const double ms = total / std::max(1, runs);
    state.counters["ms"] = ms;
    if (g_baselineMs > 0)
        state.counters["ratio_vs_count_all"] = ms / g_baselineMs;
}

// A reload as a stamped checklist causes it: the live query fetches again, then filter, sort, count, page.
void BM_Reload(benchmark::State& state) {
    g_screen->setSearchText(state.range(0) ? QStringLiteral("checklist 1") : QString());
    auto first = g_services->context.fetch<Checklist>().front();
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        first->setUpdatedAt(Clock::now()); // marks the live query stale
        QElapsedTimer t;
        t.start();
        g_screen->reload(false);
        total += msSince(t);
        ++runs;
    }
    report(state, total, runs);
}
BENCHMARK(BM_Reload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(50);

// The screen shows every match (it has no pages): one repaint of it as it stands, every row or card bound
// and laid out already. The baseline is counting every checklist once, as for the reload.
void BM_Repaint(benchmark::State& state) {
    g_screen->setSearchText(QString());
    g_services->prefs.setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    QCoreApplication::processEvents();
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        g_screen->repaint();
        total += msSince(t);
        ++runs;
    }
    report(state, total, runs);
}
BENCHMARK(BM_Repaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(40);

// Scrolling by a screenful and back: the rows that come into view are bound, laid out and painted.
void BM_ScrollScreenful(benchmark::State& state) {
    g_screen->setSearchText(QString());
    g_services->prefs.setValue("prefs.defaultLayout", state.range(0) ? "grid" : "list");
    QCoreApplication::processEvents();
    QScrollBar* bar = g_screen->scrollArea()->verticalScrollBar();
    const int step = g_screen->scrollArea()->viewport()->height();
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        bar->setValue(runs % 2 ? 0 : bar->value() + 3 * step);
        g_screen->repaint();
        total += msSince(t);
        ++runs;
    }
    report(state, total, runs);
}
BENCHMARK(BM_ScrollScreenful)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    Preferences prefs(dir.filePath(QStringLiteral("prefs.conf")));
    Preferences::setShared(&prefs);
    const QString path = dir.filePath(QStringLiteral("bench.store"));
    QString err;
    {
        auto build = openModelContainer(path, &err);
        if (!build)
            return 1;
        buildStore(build->mainContext());
    }
    auto container = openModelContainer(path, &err);
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
        ChecklistsListView screen(services, {}, {});
        screen.resize(1000, 760);
        screen.show();
        QCoreApplication::processEvents();
        g_screen = &screen;
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        g_screen = nullptr;
        g_services = nullptr;
    }
    container.reset();
    Preferences::setShared(nullptr);
    return 0;
}
