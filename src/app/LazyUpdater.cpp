#include "app/LazyUpdater.h"

#include "app/Logging.h"
#include "ui/DialogSeam.h"
#include "updater/UpdaterModule.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#ifndef TOLMEK_UPDATER_MODULE_PATH
#define TOLMEK_UPDATER_MODULE_PATH ""
#endif

const QString LazyUpdater::failedText = QStringLiteral("Impossible de vérifier les mises à jour.");

LazyUpdater::LazyUpdater(QObject* parent) : QObject(parent) {}

// The module stays loaded until the process ends (QLibrary never unloads here), so the updater, a child
// of this object, is always destroyed while its code is still mapped.
LazyUpdater::~LazyUpdater() = default;

QStringList LazyUpdater::moduleCandidates() {
    const QString file = QStringLiteral("lib%1.so").arg(QLatin1String(tolmekUpdaterModuleName));
    QStringList out;
    if (QCoreApplication::instance())
        out << QDir(QCoreApplication::applicationDirPath()).filePath(file);
    const QString built = QString::fromUtf8(TOLMEK_UPDATER_MODULE_PATH);
    if (!built.isEmpty() && !out.contains(built))
        out << built;
    return out;
}

QObject* LazyUpdater::updater(QString* error) {
    if (m_updater)
        return m_updater;
    QStringList tried;
    for (const QString& path : moduleCandidates()) {
        if (!QFileInfo::exists(path))
            continue;
        QLibrary module(path);
        auto create = reinterpret_cast<TolmekCreateUpdaterFn>(module.resolve(tolmekCreateUpdaterSymbol));
        if (!create) {
            tried << module.errorString();
            continue;
        }
        const UpdatePresenter presenter = UpdatePresenter::dialogSeam();
        m_updater = create(&presenter, this);
        connect(m_updater, SIGNAL(checkFinished(bool, QString)), this, SIGNAL(checkFinished(bool, QString)));
        if (m_dialogParent)
            QMetaObject::invokeMethod(m_updater, "setDialogParent", Q_ARG(QWidget*, m_dialogParent.data()));
        if (m_feedUrl)
            QMetaObject::invokeMethod(m_updater, "setFeedUrl", Q_ARG(QUrl, *m_feedUrl));
        return m_updater;
    }
    if (error)
        *error = tried.isEmpty() ? QStringLiteral("Le module de mise à jour est introuvable.")
                                 : QStringLiteral("Le module de mise à jour ne peut pas être chargé : %1")
                                       .arg(tried.join(QStringLiteral(" ; ")));
    return nullptr;
}

void LazyUpdater::run(const char* slot, bool userInitiated) {
    QString error;
    QObject* u = updater(&error);
    if (u) {
        QMetaObject::invokeMethod(u, slot);
        return;
    }
    qCWarning(lcApp, "Update check unavailable: %s", qPrintable(error));
    if (userInitiated) {
        DialogSeam::Message m;
        m.icon = QMessageBox::Warning;
        m.text = failedText;
        m.informativeText = error;
        DialogSeam::open(m_dialogParent ? m_dialogParent.data() : QApplication::activeWindow(), m);
    }
    emit checkFinished(false, error);
}

void LazyUpdater::checkForUpdates() { run("checkForUpdates", true); }

void LazyUpdater::checkForUpdatesInBackground() { run("checkForUpdatesInBackground", false); }

void LazyUpdater::setDialogParent(QWidget* parent) {
    m_dialogParent = parent;
    if (m_updater)
        QMetaObject::invokeMethod(m_updater, "setDialogParent", Q_ARG(QWidget*, parent));
}

void LazyUpdater::setFeedUrl(const QUrl& url) {
    m_feedUrl = url;
    if (m_updater)
        QMetaObject::invokeMethod(m_updater, "setFeedUrl", Q_ARG(QUrl, url));
}
