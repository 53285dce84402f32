#include "ui/DialogSeam.h"
#include "updater/Updater.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

// A one-route HTTP server on 127.0.0.1 that answers every request the same way.
class FeedServer : public QObject {
public:
    enum class Mode { normal, silent, streamTooMuch, redirectLoop };

    FeedServer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray bytes = s->readAll();
                    request += bytes;
                    // Each request on a connection is answered once, whole.
                    pending[s] += bytes;
                    while (pending[s].contains("\r\n\r\n")) {
                        pending[s] = pending[s].mid(pending[s].indexOf("\r\n\r\n") + 4);
                        ++requests;
                        respond(s);
                    }
                });
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(server.serverPort())); }

    void respond(QTcpSocket* s) {
        if (mode == Mode::silent)
            return; // never answers
        if (mode == Mode::redirectLoop) {
            // Always elsewhere, and back: a redirect that never ends.
            const QByteArray next = requests % 2 ? "/b.xml" : "/appcast.xml";
            s->write("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + QByteArray::number(server.serverPort()) +
                     next + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            s->disconnectFromHost();
            return;
        }
        if (mode == Mode::streamTooMuch) {
            // No length announced: the cap must hold while the data flows.
            s->write("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nConnection: close\r\n\r\n");
            const QByteArray chunk(64 * 1024, 'x');
            for (int i = 0; i < 40; ++i)
                s->write(chunk);
            s->disconnectFromHost();
            return;
        }
        s->write("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
    }

    QTcpServer server;
    QByteArray body;
    Mode mode = Mode::normal;
    QByteArray request;
    QHash<QTcpSocket*, QByteArray> pending;
    int requests = 0;
};

QByteArray appcast(const QString& version, const QString& link) {
    return QStringLiteral(R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Tolmek</title>
    <item><title>Ancienne</title><sparkle:version>0.9.0</sparkle:version><link>https://example.org/0.9</link></item>
    <item><title>Nouvelle</title><sparkle:version>%1</sparkle:version><link>%2</link></item>
  </channel>
</rss>)")
        .arg(version, link)
        .toUtf8();
}

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        DialogSeam::reset();
        DialogSeam::setNonInteractive(true);
        updater.setCurrentVersion("1.0.0");
        updater.setFeedUrl(server.url());
    }
    void TearDown() override { DialogSeam::reset(); }

    // Runs one check to its end and lets any dialog answer arrive.
    QString run(bool user) {
        QSignalSpy done(&updater, &Updater::checkFinished);
        user ? updater.checkForUpdates() : updater.checkForUpdatesInBackground();
        EXPECT_TRUE(done.count() > 0 || done.wait(5000));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return done.isEmpty() ? QString("<none>") : done.first().at(1).toString();
    }
    QStringList shownTexts() const {
        QStringList out;
        for (const auto& m : DialogSeam::shownMessages())
            out << m.text + " / " + m.informativeText;
        return out;
    }

    FeedServer server;
    Updater updater{UpdatePresenter::dialogSeam()};
};

} // namespace

TEST_F(UpdaterTest, UpToDateIsShownOnlyToAPersonWhoAsked) {
    server.body = appcast("1.0.0", "https://example.org/1.0");
    EXPECT_EQ(run(true), "");
    EXPECT_EQ(shownTexts(), QStringList({"Tolmek est à jour. / Vous utilisez la version 1.0.0."}));
    DialogSeam::reset();
    EXPECT_EQ(run(false), "");
    EXPECT_TRUE(shownTexts().isEmpty());
    EXPECT_TRUE(server.request.startsWith("GET /appcast.xml HTTP/1.1"));
}

TEST_F(UpdaterTest, NewerVersionOffersTheLinkAndOpensItOnlyWhenAsked) {
    server.body = appcast("1.10.0", "https://example.org/download/1.10");
    DialogSeam::pushAnswer("Plus tard");
    EXPECT_EQ(run(false), "");
    ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
    const auto m = DialogSeam::shownMessages().first();
    EXPECT_EQ(m.text, "Une nouvelle version de Tolmek est disponible.");
    EXPECT_EQ(m.informativeText, "La version 1.10.0 est disponible. Vous utilisez la version 1.0.0.");
    ASSERT_EQ(m.buttons.size(), 2);
    EXPECT_EQ(m.buttons[0].text, "Télécharger");
    EXPECT_EQ(m.buttons[1].text, "Plus tard");
    EXPECT_TRUE(DialogSeam::openedUrls().isEmpty());

    DialogSeam::reset();
    DialogSeam::pushAnswer("Télécharger");
    EXPECT_EQ(run(true), "");
    EXPECT_EQ(DialogSeam::openedUrls(), QList<QUrl>({QUrl("https://example.org/download/1.10")}));
    // Only the feed was fetched, once per check: nothing downloaded.
    EXPECT_EQ(server.requests, 2);
}

TEST_F(UpdaterTest, FailuresAreShownToAPersonAndSilentInBackground) {
    struct Case {
        const char* name;
        QByteArray body;
        FeedServer::Mode mode;
        const char* reasonPart;
    };
    const QList<Case> cases{
        {"malformed", "<rss><channel><item><version>2.0</version></item>", FeedServer::Mode::normal, "illisible"},
        {"no version",
         appcast("", "https://example.org")
             .replace("<sparkle:version></sparkle:version>", "")
             .replace("<sparkle:version>0.9.0</sparkle:version>", ""),
         FeedServer::Mode::normal, "aucune version"},
        {"not rss", "<html><body>bonjour</body></html>", FeedServer::Mode::normal, "illisible"},
        {"http link", appcast("2.0.0", "http://example.org/2.0"), FeedServer::Mode::normal, "https"},
        {"script link", appcast("2.0.0", "javascript:alert(1)"), FeedServer::Mode::normal, "https"},
        {"too large", QByteArray(), FeedServer::Mode::streamTooMuch, "1 Mio"},
        {"silent", QByteArray(), FeedServer::Mode::silent, "pas répondu"},
        {"redirect loop", QByteArray(), FeedServer::Mode::redirectLoop, "redirige trop de fois"},
    };
    updater.setTimeoutMs(400);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.body = c.body;
        server.mode = c.mode;
        DialogSeam::reset();
        const QString reason = run(true);
        EXPECT_TRUE(reason.contains(QString::fromUtf8(c.reasonPart))) << reason.toStdString();
        ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
        EXPECT_EQ(DialogSeam::shownMessages().first().text, "Impossible de vérifier les mises à jour.");
        EXPECT_EQ(DialogSeam::shownMessages().first().informativeText, reason);

        DialogSeam::reset();
        EXPECT_FALSE(run(false).isEmpty());
        EXPECT_TRUE(DialogSeam::shownMessages().isEmpty());
        EXPECT_TRUE(DialogSeam::openedUrls().isEmpty());
    }
}

// A version too long to be read whole is no newer version (and not an error), even beside a comparable one.
TEST_F(UpdaterTest, AVersionThatCannotBeComparedIsNoNewerVersion) {
    for (const QString& version :
         {QStringLiteral("99999999999999999999.0"), QStringLiteral("1.99999999999999999999")}) {
        SCOPED_TRACE(version.toStdString());
        server.body = appcast(version, "https://example.org/x");
        DialogSeam::reset();
        EXPECT_EQ(run(true), QString());
        ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
        EXPECT_EQ(DialogSeam::shownMessages().first().text, "Tolmek est à jour.");
    }
    // The comparable item of the feed still counts.
    server.body = appcast("2.0.0", "https://example.org/2.0")
                      .replace("<sparkle:version>0.9.0</sparkle:version>",
                               "<sparkle:version>77777777777777777777</sparkle:version>");
    DialogSeam::reset();
    DialogSeam::pushAnswer("Plus tard");
    EXPECT_EQ(run(true), QString());
    ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
    EXPECT_EQ(DialogSeam::shownMessages().first().text, "Une nouvelle version de Tolmek est disponible.");
}

// A check still waiting when the application ends is dropped without a word: no "timed out" box at exit.
TEST_F(UpdaterTest, CheckInFlightAtExitShowsNothing) {
    server.mode = FeedServer::Mode::silent;
    auto doomed = std::make_unique<Updater>(UpdatePresenter::dialogSeam());
    doomed->setFeedUrl(server.url());
    QSignalSpy done(doomed.get(), &Updater::checkFinished);
    doomed->checkForUpdates();
    ASSERT_TRUE(testsupport::waitFor([&] { return server.requests == 1; }));
    doomed.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(done.isEmpty());
    EXPECT_TRUE(DialogSeam::shownMessages().isEmpty());
}

TEST_F(UpdaterTest, NoFeedAddress) {
    updater.setFeedUrl(QUrl());
    run(false);
    EXPECT_TRUE(DialogSeam::shownMessages().isEmpty());
    run(true);
    ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
    EXPECT_EQ(DialogSeam::shownMessages().first().text, "Aucune adresse de mise à jour n’est configurée.");
    EXPECT_EQ(server.requests, 0);
}

TEST_F(UpdaterTest, RefusesPlainHttpBeyondLoopback) {
    EXPECT_TRUE(Updater::isAllowedAddress(QUrl("https://updates.example.org/appcast.xml")));
    EXPECT_TRUE(Updater::isAllowedAddress(QUrl("http://127.0.0.1:8080/a")));
    EXPECT_TRUE(Updater::isAllowedAddress(QUrl("http://[::1]:8080/a")));
    EXPECT_FALSE(Updater::isAllowedAddress(QUrl("http://updates.example.org/appcast.xml")));
    EXPECT_FALSE(Updater::isAllowedAddress(QUrl("http://127.0.0.1.example.org/a")));
    EXPECT_FALSE(Updater::isAllowedAddress(QUrl("ftp://updates.example.org/a")));
    EXPECT_FALSE(Updater::isAllowedAddress(QUrl("file:///etc/passwd")));

    updater.setFeedUrl(QUrl("http://updates.example.org/appcast.xml"));
    const QString reason = run(true);
    EXPECT_TRUE(reason.contains("https"));
    EXPECT_EQ(DialogSeam::shownMessages().size(), 1);
}

TEST(UpdaterParse, VersionsAndFeedForms) {
    const auto v = &Updater::parseVersion;
    EXPECT_GT(v("1.10"), v("1.9"));
    EXPECT_EQ(v("1.0"), v("1.0.0"));
    EXPECT_GT(v("1.0.1"), v("1.0"));
    EXPECT_LT(v("0.9.9"), v("1.0.0"));
    EXPECT_EQ(v("2.0-beta"), v("2.0"));
    EXPECT_EQ(v(" 1.2 "), v("1.2"));
    EXPECT_LE(v("nouvelle"), v("0.0.1"));
    for (const char* ok : {"1", "1.2.3", "2.0-beta", " 10.4 ", "999999999.1"})
        EXPECT_TRUE(Updater::isComparableVersion(ok)) << ok;
    for (const char* odd :
         {"", "nouvelle", "v2", ".1", "99999999999999999999", "1.4294967296", "1.2.99999999999999999999"})
        EXPECT_FALSE(Updater::isComparableVersion(odd)) << odd;

    QString err;
    // Plain <version> element, and the version as an enclosure attribute; the highest wins.
    const QByteArray feed = R"(<rss xmlns:sparkle="urn:s"><channel>
        <item><version>1.2.0</version><link>https://e.org/1.2</link></item>
        <item><enclosure url="https://e.org/f" sparkle:version="1.3.0"/><link>https://e.org/1.3</link></item>
        <item><title>sans version</title><link>https://e.org/x</link></item>
      </channel></rss>)";
    const auto entry = Updater::parseFeed(feed, &err);
    ASSERT_TRUE(entry) << err.toStdString();
    EXPECT_EQ(entry->version, "1.3.0");
    EXPECT_EQ(entry->link, "https://e.org/1.3");
    EXPECT_FALSE(Updater::parseFeed("", &err));
}
