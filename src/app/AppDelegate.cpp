#include "app/AppDelegate.h"

#include "app/LazyUpdater.h"
#include "core/store/ModelContext.h"
#include "ui/DialogSeam.h"

#include <QGuiApplication>
#include <QTimer>

const QString AppDelegate::unsavedChangesText = QStringLiteral("Les dernières modifications n’ont pas pu être enregistrées.");

AppDelegate::AppDelegate(QObject* parent) : QObject(parent), m_updater(new LazyUpdater(this)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    // `this` as context: the check is dropped if the delegate is destroyed first.
    QTimer::singleShot(backgroundCheckDelayMs, Qt::PreciseTimer, this, [this] { m_updater->checkForUpdatesInBackground(); });
}

bool AppDelegate::saveBeforeExit(ModelContext& context, QWidget* parent) {
    QString error;
    if (context.save(&error))
        return true;
    qWarning("Last save before exit failed: %s", qPrintable(error));
    // Without a display nobody could answer the box; the log above is all we can do.
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
    if (headless && !DialogSeam::isNonInteractive())
        return false;
    DialogSeam::Message m;
    m.icon = QMessageBox::Critical;
    m.text = unsavedChangesText;
    m.informativeText = error;
    DialogSeam::exec(parent, m);
    return false;
}
