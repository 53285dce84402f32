#include "updater/Updater.h"

#include "updater/Logging.h"

#include <QApplication>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QXmlStreamReader>

#ifndef TOLMEK_UPDATE_FEED_URL
#define TOLMEK_UPDATE_FEED_URL ""
#endif
#ifndef TOLMEK_VERSION
#define TOLMEK_VERSION "0.0.0"
#endif

namespace {

const QString kNoFeed = QStringLiteral("Aucune adresse de mise à jour n’est configurée.");
const QString kFailed = QStringLiteral("Impossible de vérifier les mises à jour.");

// Text of an element, or of its attribute `version` for an enclosure; namespace prefixes ignored.
bool isVersionName(QStringView name) { return name == u"version"; }

QString tooLargeText() { return QStringLiteral("Le flux de mises à jour dépasse la taille permise (1 Mio)."); }

} // namespace

Updater::Updater(UpdatePresenter presenter, QObject* parent)
    : QObject(parent),
      m_presenter(std::move(presenter)),
      m_feedUrl(QUrl(QString::fromUtf8(TOLMEK_UPDATE_FEED_URL))),
      m_currentVersion(QString::fromUtf8(TOLMEK_VERSION)) {}

Updater::~Updater() {
    if (m_reply) {
        // Aborting reports `finished` at once; a check dropped at exit must not show a failure box.
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
    }
}

void Updater::checkForUpdates() { start(true); }

void Updater::checkForUpdatesInBackground() { start(false); }

void Updater::start(bool userInitiated) {
    if (m_reply) {
        // One check at a time; a person asking during a quiet check gets to see its outcome.
        m_userInitiated = m_userInitiated || userInitiated;
        return;
    }
    m_userInitiated = userInitiated;
    m_abortReason.clear();
    m_redirects = 0;
    if (m_feedUrl.isEmpty()) {
        if (userInitiated) {
            DialogSeam::Message m;
            m.icon = QMessageBox::Information;
            m.text = kNoFeed;
            m_presenter.open(dialogParent(), m, {});
        }
        emit checkFinished(false, kNoFeed);
        return;
    }
    if (!m_feedUrl.isValid() || !isAllowedAddress(m_feedUrl)) {
        finish(false, QStringLiteral("L’adresse du flux de mises à jour n’est pas une adresse https."));
        return;
    }

    fetch(m_feedUrl);
}

void Updater::fetch(const QUrl& url) {
    QNetworkRequest request(url);
    request.setTransferTimeout(m_timeoutMs);
    // Redirects are followed here, one request each (`onFinished`): counted, and only to allowed addresses.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Tolmek/%1").arg(m_currentVersion));
    // Created on the first check: its set-up (proxies, TLS) stays out of the application's start.
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_reply = m_network->get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64 total) {
        if (received > maxFeedBytes || total > maxFeedBytes) {
            m_abortReason = tooLargeText();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, &Updater::onFinished);
}

void Updater::onFinished() {
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();

    if (!m_abortReason.isEmpty()) {
        finish(false, m_abortReason);
        return;
    }
    if (reply->error() == QNetworkReply::OperationCanceledError) {
        // Only the transfer timeout cancels without a reason of ours.
        finish(false, QStringLiteral("Le serveur de mises à jour n’a pas répondu à temps."));
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (status >= 300 && status < 400 && target.isValid()) {
        const QUrl next = reply->url().resolved(target.toUrl());
        if (++m_redirects > maxRedirects) {
            finish(false, tooManyRedirectsText());
        } else if (!next.isValid() || !isAllowedAddress(next)) {
            finish(false, QStringLiteral("Le flux de mises à jour redirige vers une adresse non sécurisée."));
        } else {
            fetch(next);
        }
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        finish(false, reply->errorString());
        return;
    }
    const QByteArray body = reply->read(maxFeedBytes + 1);
    if (body.size() > maxFeedBytes || reply->bytesAvailable() > 0) {
        finish(false, tooLargeText());
        return;
    }
    QString error;
    const auto entry = parseFeed(body, &error);
    if (!entry) {
        finish(false, error);
        return;
    }
    if (!isComparableVersion(entry->version)) {
        // Nothing to offer from a version we cannot order; said in the log, not to the person.
        qCInfo(lcUpdater, "the feed's version '%s' cannot be compared with ours; no newer version",
               qPrintable(entry->version.left(80)));
    }
    if (!isComparableVersion(entry->version) || parseVersion(entry->version) <= parseVersion(m_currentVersion)) {
        if (m_userInitiated)
            showUpToDate();
        emit checkFinished(false, {});
        return;
    }
    const QUrl link(entry->link, QUrl::StrictMode);
    if (!link.isValid() || link.scheme() != QLatin1String("https") || link.host().isEmpty()) {
        finish(false, QStringLiteral("Le lien de la nouvelle version n’est pas une adresse https."));
        return;
    }
    showUpdate(*entry);
    emit checkFinished(true, {});
}

void Updater::finish(bool updateAvailable, const QString& error) {
    if (!error.isEmpty()) {
        qCInfo(lcUpdater, "the check failed: %s", qPrintable(error));
        if (m_userInitiated)
            showFailure(error);
    }
    emit checkFinished(updateAvailable, error);
}

void Updater::showFailure(const QString& reason) {
    DialogSeam::Message m;
    m.icon = QMessageBox::Warning;
    m.text = kFailed;
    m.informativeText = reason;
    m_presenter.open(dialogParent(), m, {});
}

void Updater::showUpToDate() {
    DialogSeam::Message m;
    m.icon = QMessageBox::Information;
    m.text = QStringLiteral("Tolmek est à jour.");
    m.informativeText = QStringLiteral("Vous utilisez la version %1.").arg(m_currentVersion);
    m_presenter.open(dialogParent(), m, {});
}

void Updater::showUpdate(const FeedEntry& entry) {
    DialogSeam::Message m;
    m.icon = QMessageBox::Information;
    m.text = QStringLiteral("Une nouvelle version de Tolmek est disponible.");
    m.informativeText = QStringLiteral("La version %1 est disponible. Vous utilisez la version %2.")
                            .arg(entry.version, m_currentVersion);
    m.buttons = {{QStringLiteral("Télécharger"), QMessageBox::AcceptRole},
                 {QStringLiteral("Plus tard"), QMessageBox::RejectRole}};
    m.defaultButton = 0;
    m.escapeButton = 1;
    const QUrl link(entry.link);
    const auto openUrl = m_presenter.openUrl;
    m_presenter.open(dialogParent(), m, [link, openUrl](int answer) {
        if (answer == 0)
            openUrl(link);
    });
}

QWidget* Updater::dialogParent() const {
    if (m_dialogParent)
        return m_dialogParent;
    return QApplication::activeWindow();
}

std::optional<Updater::FeedEntry> Updater::parseFeed(const QByteArray& xml, QString* error) {
    QXmlStreamReader reader(xml);
    std::optional<FeedEntry> best;
    bool inItem = false;
    FeedEntry current;
    bool sawRss = false;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            if (!sawRss) {
                if (name != u"rss") {
                    reader.raiseError();
                    break;
                }
                sawRss = true;
                continue;
            }
            if (name == u"item") {
                inItem = true;
                current = {};
            } else if (inItem && isVersionName(name)) {
                current.version = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (inItem && name == u"link") {
                current.link = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (inItem && name == u"enclosure") {
                for (const auto& attr : reader.attributes())
                    if (isVersionName(attr.name()) && current.version.isEmpty())
                        current.version = attr.value().toString().trimmed();
            }
        } else if (token == QXmlStreamReader::EndElement && reader.name() == u"item") {
            inItem = false;
            // A version that can be compared wins over one that cannot; among them, the highest.
            if (!current.version.isEmpty() &&
                (!best ||
                 (isComparableVersion(current.version) &&
                  (!isComparableVersion(best->version) ||
                   parseVersion(current.version) > parseVersion(best->version)))))
                best = current;
        }
    }
    if (reader.hasError()) {
        if (error)
            *error = QStringLiteral("Le flux de mises à jour est illisible (ligne %1).").arg(reader.lineNumber());
        return std::nullopt;
    }
    if (!best) {
        if (error)
            *error = QStringLiteral("Le flux de mises à jour ne contient aucune version.");
        return std::nullopt;
    }
    return best;
}

QVersionNumber Updater::parseVersion(const QString& text) {
    return QVersionNumber::fromString(text.trimmed()).normalized();
}

bool Updater::isComparableVersion(const QString& text) {
    // Numbers separated by dots, each small enough to be read whole, then any suffix ("2.0-beta").
    const QString t = text.trimmed();
    auto digit = [&t](qsizetype at) { return at < t.size() && t.at(at) >= u'0' && t.at(at) <= u'9'; };
    qsizetype i = 0;
    for (;;) {
        const qsizetype start = i;
        while (digit(i))
            ++i;
        if (i == start || i - start > 9)
            return false;
        if (i < t.size() && t.at(i) == u'.' && digit(i + 1)) {
            ++i;
            continue;
        }
        return true;
    }
}

bool Updater::isAllowedAddress(const QUrl& url) {
    if (url.scheme() == QLatin1String("https"))
        return !url.host().isEmpty();
    if (url.scheme() == QLatin1String("http")) {
        const QString host = url.host();
        if (host == QLatin1String("localhost"))
            return true;
        const QHostAddress address(host);
        return !address.isNull() && address.isLoopback();
    }
    return false;
}
