// Turning a 24-megapixel photo into the profile avatar: the conversion time, compared with a plain
// full decode followed by a resize, and how long the GUI thread goes without painting meanwhile.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include "FrameTicker.h"

#include "settings/AvatarPicker.h"
#include "prefs/Preferences.h"
#include "core/model/UserProfile.h"
#include "ui/DialogSeam.h"
#include "ui/ImageConversion.h"

namespace {
// The profile over the program's preferences, as the entry makes one for the run.
UserPreferencesStore& benchProfile() {
    static auto* profile = new UserPreferencesStore(Preferences::shared());
    return *profile;
}

QTemporaryDir* g_dir = nullptr;
double g_baselineMs = 0; // full decode then resize, measured first in the same run

// A photo-like 6000 × 4000 JPEG: gradients with fine noise, so the decoder has real work to do.
QString photo24mp() {
    static QString path;
    if (!path.isEmpty())
        return path;
    QImage image(6000, 4000, QImage::Format_RGB32);
    QRandomGenerator rng(42);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x * 255 / 6000 + n) & 255, (y * 255 / 4000 + n) & 255, ((x + y) / 40 + n) & 255);
        }
    }
    path = g_dir->filePath(QStringLiteral("photo-24mp.jpg"));
    image.save(path, "JPEG", 90);
    return path;
}

// Baseline: decode every pixel, then resize.
void BM_FullDecodeThenResize(benchmark::State& state) {
    const QString path = photo24mp();
    QElapsedTimer t;
    t.start();
    int runs = 0;
    for (auto _ : state) {
        ++runs;
        QImage image(path);
        image = image.scaled(512, 512, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QByteArray out = ImageConversion::encodeJpeg(image, 82);
        benchmark::DoNotOptimize(out);
    }
    g_baselineMs = double(t.nsecsElapsed()) / 1e6 / std::max(1, runs);
}
BENCHMARK(BM_FullDecodeThenResize)->Unit(benchmark::kMillisecond)->Iterations(5);

// The avatar conversion itself (decodes at reduced size).
void BM_MakeAvatarData24MP(benchmark::State& state) {
    const QString path = photo24mp();
    QElapsedTimer t;
    t.start();
    int runs = 0;
    for (auto _ : state) {
        ++runs;
        ImageConversion::Result r = ImageConversion::makeAvatarData(path, 512, 0.82);
        if (!r.ok())
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(r.jpeg);
    }
    const double ms = double(t.nsecsElapsed()) / 1e6 / std::max(1, runs);
    if (g_baselineMs > 0)
        state.counters["ratio_vs_full_decode"] = ms / g_baselineMs;
}
BENCHMARK(BM_MakeAvatarData24MP)->Unit(benchmark::kMillisecond)->Iterations(10);

// A person clicks "Choisir une image": time until the avatar is stored, and the longest pause between
// two ticks of a 4 ms repaint timer on the GUI thread meanwhile.
void BM_PickerKeepsWindowPainting(benchmark::State& state) {
    const QString path = photo24mp();
    DialogSeam::setNonInteractive(true);
    AvatarPicker picker(benchProfile());
    FrameTicker ticker;
    ticker.resize(200, 200);
    ticker.show();
    qint64 worstGap = 0;
    double totalMs = 0;
    int runs = 0;
    for (auto _ : state) {
        benchProfile().setAvatarData(std::nullopt);
        DialogSeam::pushFileName(path);
        ticker.longestGapMs = 0;
        ticker.start();
        QElapsedTimer t;
        t.start();
        picker.chooseImage();
        while (picker.isConverting())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        totalMs += double(t.nsecsElapsed()) / 1e6;
        ticker.stop();
        worstGap = std::max(worstGap, ticker.longestGapMs);
        ++runs;
        if (!benchProfile().profile().avatarData)
            state.SkipWithError("no avatar stored");
    }
    state.counters["stored_ms"] = runs ? totalMs / runs : 0;
    state.counters["longest_gui_gap_ms"] = double(worstGap);
}
BENCHMARK(BM_PickerKeepsWindowPainting)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    Preferences prefs(dir.filePath(QStringLiteral("prefs.conf")));
    Preferences::setShared(&prefs);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Preferences::setShared(nullptr);
    return 0;
}
