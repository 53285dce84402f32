#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class QWidget;

// The application's handle on the update check. The check itself lives in a module of its own that is
// loaded on the first check (the background one 3 s after launch, or the menu command), so the
// network stack stays out of the start. Same commands and outcome signal as the check.
class LazyUpdater : public QObject {
    Q_OBJECT
public:
    explicit LazyUpdater(QObject* parent = nullptr);
    ~LazyUpdater() override;

    // A check asked for by the person: every outcome is shown.
    void checkForUpdates();
    // A quiet check: shows something only when a newer version exists.
    void checkForUpdatesInBackground();

    // Window over which the dialogs appear (else the active window).
    void setDialogParent(QWidget* parent);
    // Replaces the feed address of the build (tests).
    void setFeedUrl(const QUrl& url);

    // Whether the module is loaded (it is loaded on the first check).
    bool isLoaded() const { return m_updater != nullptr; }
    // Where the module is looked for, first match wins: beside the executable, then where the
    // build wrote it.
    static QStringList moduleCandidates();

    static const QString failedText;

signals:
    // Outcome of every check, after any dialog was opened (tests, logs).
    void checkFinished(bool updateAvailable, const QString& error);

private:
    QObject* updater(QString* error);
    void run(const char* slot, bool userInitiated);

    QObject* m_updater = nullptr;
    QPointer<QWidget> m_dialogParent;
    std::optional<QUrl> m_feedUrl;
};
