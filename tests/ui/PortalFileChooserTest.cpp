#include "ui/DialogSeam.h"
#include "ui/PortalFileChooser.h"

#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace {

// A file chooser portal on its own connection to the session bus: answers each request with `response`
// and `uris`, a moment later, as a person's choice comes.
class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(QDBusConnection connection) : m_bus(connection) {}

    uint response = 0;
    QStringList uris;
    QString lastMethod;
    QVariantMap lastOptions;
    QString lastTitle;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(3)))));
            return true;
        }
        if (message.interface() != QLatin1String("org.freedesktop.portal.FileChooser") ||
            message.arguments().size() != 3)
            return false;
        lastMethod = message.member();
        lastTitle = message.arguments().at(1).toString();
        lastOptions = qdbus_cast<QVariantMap>(message.arguments().at(2));
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, lastOptions.value(QStringLiteral("handle_token")).toString());
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
        QTimer::singleShot(20, this, [this, path] {
            QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                             QStringLiteral("Response"));
            signal << response << QVariantMap{{QStringLiteral("uris"), uris}};
            m_bus.send(signal);
        });
        return true;
    }

private:
    QDBusConnection m_bus;
};

class PortalFileChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
        m_bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")));
        ASSERT_TRUE(m_bus->isConnected());
        portal = std::make_unique<FakePortal>(*m_bus);
        // The portal answers from its own thread, as another process would while we wait.
        portal->moveToThread(&m_thread);
        m_thread.start();
        ASSERT_TRUE(m_bus->registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), portal.get()));
        ASSERT_TRUE(m_bus->registerService(kService));
        PortalFileChooser::setServiceForTesting(kService);
    }
    void TearDown() override {
        PortalFileChooser::setServiceForTesting({});
        if (m_bus) {
            m_bus->unregisterService(kService);
            m_bus->unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
            QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
        }
        m_thread.quit();
        m_thread.wait();
        portal.reset();
    }

    const QString kService = QStringLiteral("org.tolmek.TestPortal");
    QThread m_thread;
    std::unique_ptr<QDBusConnection> m_bus;
    std::unique_ptr<FakePortal> portal;
};

} // namespace

TEST(PortalFilters, QtFilterTextsBecomeNamedPatternLists) {
    using Filters = QList<QPair<QString, QStringList>>;
    const std::pair<const char*, Filters> cases[] = {
        {"", {}},
        {"Images (*.png *.jpg)", {{"Images", {"*.png", "*.jpg"}}}},
        {"Images (*.png);;Tous les fichiers (*)", {{"Images", {"*.png"}}, {"Tous les fichiers", {"*"}}}},
        {"*.txt *.md", {{"*.txt *.md", {"*.txt", "*.md"}}}},
        {"Vide ()", {}},
        {" ;; Texte (*.txt) ;;", {{"Texte", {"*.txt"}}}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(PortalFileChooser::parseFilters(QString::fromUtf8(text)), expected) << text;
}

TEST_F(PortalFileChooserTest, TheDesktopsChoiceIsTheAnswer) {
    portal->uris = {QStringLiteral("file:///home/moi/Images/photo%20de%20vacances.png")};
    const auto chosen = PortalFileChooser::choose(nullptr, PortalFileChooser::Mode::open, QStringLiteral("Choisir"),
                                                  QStringLiteral("/tmp"), QStringLiteral("Images (*.png *.jpg)"));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QStringList{QStringLiteral("/home/moi/Images/photo de vacances.png")});
    EXPECT_EQ(portal->lastMethod, QStringLiteral("OpenFile"));
    EXPECT_EQ(portal->lastTitle, QStringLiteral("Choisir"));
    EXPECT_FALSE(portal->lastOptions.value(QStringLiteral("multiple")).toBool());
    EXPECT_EQ(portal->lastOptions.value(QStringLiteral("current_folder")).toByteArray(), QByteArray("/tmp", 5));
    EXPECT_TRUE(portal->lastOptions.contains(QStringLiteral("filters")));
}

TEST_F(PortalFileChooserTest, CancelIsEmptyAndAFailedPortalLetsOurDialogShow) {
    portal->response = 1;
    auto chosen =
        PortalFileChooser::choose(nullptr, PortalFileChooser::Mode::save, {}, QStringLiteral("/tmp/notes.txt"), {});
    ASSERT_TRUE(chosen.has_value());
    EXPECT_TRUE(chosen->isEmpty());
    EXPECT_EQ(portal->lastMethod, QStringLiteral("SaveFile"));
    EXPECT_EQ(portal->lastTitle, QStringLiteral("Enregistrer"));
    EXPECT_EQ(portal->lastOptions.value(QStringLiteral("current_name")).toString(), QStringLiteral("notes.txt"));

    portal->response = 2;
    EXPECT_FALSE(PortalFileChooser::choose(nullptr, PortalFileChooser::Mode::openMany, {}, {}, {}).has_value());
    EXPECT_TRUE(portal->lastOptions.value(QStringLiteral("multiple")).toBool());

    // No portal on the bus: nothing, at once.
    PortalFileChooser::setServiceForTesting(QStringLiteral("org.tolmek.Nobody"));
    EXPECT_FALSE(PortalFileChooser::isAvailable());
    EXPECT_FALSE(PortalFileChooser::choose(nullptr, PortalFileChooser::Mode::open, {}, {}, {}).has_value());
}
