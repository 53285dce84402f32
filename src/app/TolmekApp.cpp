#include "app/TolmekApp.h"

#include "app/AppDelegate.h"
#include "app/AppShellView.h"
#include "core/model/UserProfile.h"
#include "prefs/Preferences.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "core/model/SwiftDataContainer.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "updater/Updater.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>

#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>

#ifndef TOLMEK_VERSION
#define TOLMEK_VERSION "0.0.0"
#endif

MainWindow::MainWindow(Updater* updater, const Services& services, QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Tolmek"));
    m_shell = new AppShellView(services, this);
    setCentralWidget(m_shell);
    QMenu* menu = menuBar()->addMenu(QStringLiteral("Tolmek"));
    // Never disabled: the command works from the first instant, also before the background check.
    m_checkForUpdates = menu->addAction(QStringLiteral("Vérifier les mises à jour…"));
    connect(m_checkForUpdates, &QAction::triggered, updater, &Updater::checkForUpdates);
    resize(defaultWidth, defaultHeight);
}

void installFrenchLocale(QApplication& app) {
    const QLocale french(QLocale::French, QLocale::France);
    QLocale::setDefault(french);
    auto* translator = new QTranslator(&app);
    if (translator->load(french, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}

namespace {

// Fusion, except for the menu bar's overflow arrow: Fusion loads it as a bitmap, which makes the image
// reader scan every image-format plugin before the first frame; our symbol needs none of them.
class AppStyle : public QProxyStyle {
public:
    AppStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    QIcon standardIcon(StandardPixmap sp, const QStyleOption* option, const QWidget* widget) const override {
        if (sp == SP_ToolBarHorizontalExtensionButton)
            return Symbols::icon(QStringLiteral("chevron.right"), AppPalette::secondaryText(), 14);
        if (sp == SP_ToolBarVerticalExtensionButton)
            return Symbols::icon(QStringLiteral("chevron.down"), AppPalette::secondaryText(), 14);
        return QProxyStyle::standardIcon(sp, option, widget);
    }
};

// For start-up measurements: ends the run once the window has painted its first frame.
class ExitAfterFirstPaint : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_done = false;
};

bool hasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

int tolmekMain(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tolmek"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tolmek"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLMEK_VERSION));
    installFrenchLocale(app);
    QApplication::setStyle(new AppStyle);
    // Standard widgets (menus, plain buttons, text fields) use the interface font too.
    QApplication::setFont(Fonts::system(13));

    // The delegate first (it creates the updater), then the store; a store that cannot be opened
    // stops the process here.
    AppDelegate delegate;
    setFatalErrorPresenter([](const QString& message) {
        // Only where a person can see and dismiss it; headless runs have the message on standard error.
        if (!hasDisplay())
            return;
        DialogSeam::Message m;
        m.icon = QMessageBox::Critical;
        m.text = message;
        DialogSeam::exec(nullptr, m);
    });
    auto container = makeModelContainer();
    setCurrentModelContainer(container.get());

    int rc = 0;
    {
        // The entry creates the long-lived objects; screens receive them from the router.
        Services services{container->mainContext(), Preferences::shared(), ThemeManager::shared(),
                          UserPreferencesStore::shared()};
        MainWindow window(delegate.updater(), services);
        delegate.updater()->setDialogParent(&window);
        applyAppearance();
        ExitAfterFirstPaint exitAfterPaint;
        if (qEnvironmentVariableIntValue("TOLMEK_EXIT_AFTER_FIRST_PAINT") == 1)
            window.shell()->installEventFilter(&exitAfterPaint);
        window.show();
        QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
        rc = app.exec();
        AppDelegate::saveBeforeExit(nullptr);
    }
    setCurrentModelContainer(nullptr);
    return rc;
}
