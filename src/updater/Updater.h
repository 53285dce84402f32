#pragma once

#include "updater/UpdatePresenter.h"

#include <QObject>
#include <QWidget>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVersionNumber>

#include <optional>

#include <QNetworkReply>

class QNetworkAccessManager;
class QWidget;

// Checks an RSS appcast for a newer version of the application. It only reads the feed and, when the
// person asks for it, opens the release's https page in the browser; it never downloads or runs anything.
class Updater : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 maxFeedBytes = 1024 * 1024;
    static constexpr int defaultTimeoutMs = 15000;
    static constexpr int maxRedirects = 5;

    // The feed address and current version come from the build (TOLMEK_UPDATE_FEED_URL, TOLMEK_VERSION).
    // Outcomes are shown through `presenter`. No default: a default of UpdatePresenter::dialogSeam() would
    // make the module's meta-type refer to DialogSeam, which the module does not contain.
    explicit Updater(UpdatePresenter presenter, QObject* parent = nullptr);
    ~Updater() override;

public slots:
    // A check asked for by the person: every outcome is shown.
    void checkForUpdates();
    // A quiet check: shows something only when a newer version exists.
    void checkForUpdatesInBackground();

public:
    bool isChecking() const { return m_reply != nullptr; }

    QUrl feedUrl() const { return m_feedUrl; }
    Q_INVOKABLE void setFeedUrl(const QUrl& url) { m_feedUrl = url; }
    QString currentVersion() const { return m_currentVersion; }
    void setCurrentVersion(const QString& version) { m_currentVersion = version; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // Window over which the dialogs appear (else the active window).
    Q_INVOKABLE void setDialogParent(QWidget* parent) { m_dialogParent = parent; }

    // The newest entry of a feed.
    struct FeedEntry {
        QString version;
        QString link;
    };
    // Reads an appcast; nothing (with `error` set) when the XML is malformed or no item carries a version.
    static std::optional<FeedEntry> parseFeed(const QByteArray& xml, QString* error);
    // The dotted version at the start of `text` ("2.0-beta" is 2.0), without trailing zeros so that "1.0"
    // and "1.0.0" compare equal.
    static QVersionNumber parseVersion(const QString& text);
    // Whether `text` starts with a version we can order: dot-separated numbers of at most 9 digits each.
    static bool isComparableVersion(const QString& text);
    static QString tooManyRedirectsText() {
        return QStringLiteral("Le flux de mises à jour redirige trop de fois (boucle de redirections ?).");
    }
    // https, or http on the loopback interface (local test servers).
    static bool isAllowedAddress(const QUrl& url);

signals:
    // Outcome of every check, after any dialog was opened (tests, logs).
    void checkFinished(bool updateAvailable, const QString& error);

private:
    void start(bool userInitiated);
    void fetch(const QUrl& url);
    void onFinished();
    void finish(bool updateAvailable, const QString& error);
    void showFailure(const QString& reason);
    void showUpToDate();
    void showUpdate(const FeedEntry& entry);
    QWidget* dialogParent() const;

    UpdatePresenter m_presenter;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QUrl m_feedUrl;
    QString m_currentVersion;
    int m_timeoutMs = defaultTimeoutMs;
    bool m_userInitiated = false;
    QString m_abortReason;
    int m_redirects = 0;
    QPointer<QWidget> m_dialogParent;
};
