// Writes every registered screen in light and dark to PNG files, for looking at what users see.
//   render-screens [output folder] [name filter]
#include "cardsheet/AttachmentJobs.h"
#include "richtext/SpellChecker.h"
#include "render-screens/RenderScreens.h"

#include "core/model/Clock.h"
#include "core/model/SwiftDataContainer.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "app/LazyUpdater.h"
#include "app/TolmekApp.h"
#include "ui/AppStyle.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <vector>

namespace {
std::vector<ScreenShot>& registry() {
    static std::vector<ScreenShot> shots;
    return shots;
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}
} // namespace

QByteArray samplePortraitJpeg() {
    QImage img(512, 512, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 512, 512);
    g.setColorAt(0, QColor(240, 160, 60));
    g.setColorAt(1, QColor(60, 120, 200));
    p.fillRect(img.rect(), g);
    p.setBrush(QColor(250, 230, 210));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(256, 210), 110, 120);
    p.drawEllipse(QPointF(256, 560), 200, 190);
    p.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", 82);
    return jpeg;
}

QWidget* applicationWindow(const Services& services) {
    // The window the application builds, menu bar included; its update command is never used here.
    auto* updater = new LazyUpdater;
    auto* window = new MainWindow(updater, services);
    updater->setParent(window);
    return window;
}

AppShellView* shellOf(QWidget* window) {
    auto* main = qobject_cast<MainWindow*>(window);
    return main ? main->shell() : nullptr;
}

std::function<void(QWidget*)> focusAsTab(const QString& name) {
    return [name](QWidget* shot) {
        for (QWidget* w : shot->findChildren<QWidget*>()) {
            auto* button = qobject_cast<QAbstractButton*>(w);
            if (!w->isVisible() || (w->accessibleName() != name && !(button && button->text() == name)))
                continue;
            shot->activateWindow();
            (void)QTest::qWaitForWindowActive(shot);
            shot->setAttribute(Qt::WA_KeyboardFocusChange);
            w->setFocus(Qt::TabFocusReason);
            return;
        }
        std::fprintf(stderr, "no control named %s\n", qPrintable(name));
    };
}

bool registerScreenShots(std::initializer_list<ScreenShot> shots) {
    for (const ScreenShot& s : shots)
        registry().push_back(s);
    return true;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    // The application's own start: French locale and Qt's French texts, the interface font for standard
    // widgets, our style, then the palette (below, for each theme).
    Fonts::loadSystemConfiguration();
    QApplication app(argc, argv);
    installFrenchLocale(app);
    Fonts::readFamilies();
    TolmekStyle::installOnApplication();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screens");
    const QString filter = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(out);
    DialogSeam::setNonInteractive(true);
    ThemeManager::setSystemDarkForTesting(false);
    // Fixed dates, so that pictures compare from one run to the next.
    const QDateTime base(QDate(2026, 3, 14), QTime(9, 30), Qt::UTC);
    int written = 0;
    for (const ScreenShot& shot : registry()) {
        if (!filter.isEmpty() && !shot.name.contains(filter))
            continue;
        for (const bool dark : {false, true}) {
            QTemporaryDir dir;
            Preferences prefs(dir.path() + "/prefs.conf");
            Preferences::setShared(&prefs);
            QString err;
            auto container = openModelContainer(dir.path() + "/t.store", &err);
            if (!container) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(shot.name), qPrintable(err));
                return 1;
            }
            int ticks = 0;
            Clock::setNowForTesting([&] { return base.addSecs(++ticks); });
            {
                ThemeManager theme(&prefs);
                UserPreferencesStore profile(prefs);
                theme.setTheme(dark ? AppTheme::dark : AppTheme::light);
                ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
                applyAppearance();
                SpellDictionary spelling;
                AttachmentImports attachments;
                ThumbnailCache thumbnails;
                const Services services{
                    container->mainContext(), prefs, theme, profile, spelling, attachments, thumbnails};
                std::unique_ptr<QWidget> w(shot.build(services));
                w->resize(shot.size);
                w->show();
                (void)QTest::qWaitForWindowExposed(w.get());
                settle();
                if (shot.prepare)
                    shot.prepare(w.get());
                // Let hover and selection animations finish.
                QTest::qWait(250);
                settle();
                const QString file = QStringLiteral("%1/%2-%3.png").arg(out, shot.name, dark ? "dark" : "light");
                if (!w->grab().save(file)) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                    return 1;
                }
                std::printf("%s\n", qPrintable(file));
                ++written;
            }
            settle();
            Clock::setNowForTesting({});
            container.reset();
            ThemeManager::shared().setTheme(AppTheme::system);
        }
    }
    std::printf("%d pictures\n", written);
    return 0;
}
