#include "ui/PortalFileChooser.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>
#include <QVariantMap>
#include <QWidget>

namespace {

const QString kDesktopService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.FileChooser");

QString g_testService;
std::optional<bool> g_available;

QString service() { return g_testService.isEmpty() ? kDesktopService : g_testService; }

// The portal's filter: a name and its patterns, each (0, glob) or (1, MIME type).
struct FilterPattern {
    uint kind = 0;
    QString pattern;
};
struct Filter {
    QString name;
    QList<FilterPattern> patterns;
};

} // namespace

Q_DECLARE_METATYPE(FilterPattern)
Q_DECLARE_METATYPE(Filter)

namespace {

// A D-Bus structure of two members, written or read in order.
template <class A, class B>
QDBusArgument& writePair(QDBusArgument& arg, const A& a, const B& b) {
    arg.beginStructure();
    arg << a << b;
    arg.endStructure();
    return arg;
}
template <class A, class B>
const QDBusArgument& readPair(const QDBusArgument& arg, A& a, B& b) {
    arg.beginStructure();
    arg >> a >> b;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const FilterPattern& p) { return writePair(arg, p.kind, p.pattern); }
const QDBusArgument& operator>>(const QDBusArgument& arg, FilterPattern& p) { return readPair(arg, p.kind, p.pattern); }
QDBusArgument& operator<<(QDBusArgument& arg, const Filter& f) { return writePair(arg, f.name, f.patterns); }
const QDBusArgument& operator>>(const QDBusArgument& arg, Filter& f) { return readPair(arg, f.name, f.patterns); }

void registerTypes() {
    static const bool done = [] {
        qDBusRegisterMetaType<FilterPattern>();
        qDBusRegisterMetaType<QList<FilterPattern>>();
        qDBusRegisterMetaType<Filter>();
        qDBusRegisterMetaType<QList<Filter>>();
        return true;
    }();
    Q_UNUSED(done);
}

// Waits for the request's one answer.
class ResponseWaiter : public QObject {
    Q_OBJECT
public:
    bool answered = false;
    uint response = 2;
    QVariantMap results;

signals:
    void finished();

public slots:
    void onResponse(uint code, const QVariantMap& values) {
        if (answered)
            return;
        answered = true;
        response = code;
        results = values;
        emit finished();
    }
};

QString parentHandle(QWidget* parent) {
    // The portal places its window over ours when it knows it (X11 only: Wayland needs an exported handle).
    if (!parent || QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    return QStringLiteral("x11:%1").arg(parent->window()->winId(), 0, 16);
}

} // namespace

namespace PortalFileChooser {

QList<QPair<QString, QStringList>> parseFilters(const QString& filter) {
    QList<QPair<QString, QStringList>> out;
    static const QRegularExpression withPatterns(QStringLiteral("^(.*)\\(([^()]*)\\)\\s*$"));
    for (const QString& part : filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
        const QString text = part.trimmed();
        if (text.isEmpty())
            continue;
        const QRegularExpressionMatch m = withPatterns.match(text);
        // "Images (*.png *.jpg)", or patterns alone ("*.png *.jpg") named after themselves.
        const QString name = m.hasMatch() ? m.captured(1).trimmed() : text;
        const QStringList globs = (m.hasMatch() ? m.captured(2) : text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (globs.isEmpty())
            continue;
        out.append({name.isEmpty() ? globs.join(QLatin1Char(' ')) : name, globs});
    }
    return out;
}

bool isAvailable() {
    if (g_available)
        return *g_available;
    bool ok = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage msg =
            QDBusMessage::createMethodCall(service(), kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("Get"));
        msg << kInterface << QStringLiteral("version");
        // Starting the portal by activation takes a moment; a bus without one answers at once.
        const QDBusMessage reply = bus.call(msg, QDBus::Block, 2500);
        ok = reply.type() == QDBusMessage::ReplyMessage;
    }
    g_available = ok;
    return ok;
}

std::optional<QStringList> choose(QWidget* parent, Mode mode, const QString& caption, const QString& dir,
                                  const QString& filter) {
    if (!isAvailable())
        return std::nullopt;
    registerTypes();
    QDBusConnection bus = QDBusConnection::sessionBus();
    static int counter = 0;
    const QString token = QStringLiteral("tolmek%1").arg(++counter);
    // The request's path is known before asking, so that no answer can come before we listen.
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    QString requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    ResponseWaiter waiter;
    const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
    const QString responseSignal = QStringLiteral("Response");
    bus.connect(service(), requestPath, requestInterface, responseSignal, &waiter, SLOT(onResponse(uint, QVariantMap)));

    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("modal"), true);
    if (mode == Mode::openMany)
        options.insert(QStringLiteral("multiple"), true);
    if (!dir.isEmpty()) {
        const QFileInfo info(dir);
        const bool isFolder = info.isDir();
        const QString folder = isFolder ? info.absoluteFilePath() : info.absolutePath();
        QByteArray bytes = folder.toUtf8();
        bytes.append('\0');
        options.insert(QStringLiteral("current_folder"), bytes);
        if (mode == Mode::save && !isFolder)
            options.insert(QStringLiteral("current_name"), info.fileName());
    }
    QList<Filter> filters;
    for (const auto& [name, globs] : parseFilters(filter)) {
        Filter f;
        f.name = name;
        for (const QString& g : globs)
            f.patterns.append({0, g});
        filters.append(f);
    }
    if (!filters.isEmpty()) {
        options.insert(QStringLiteral("filters"), QVariant::fromValue(filters));
        options.insert(QStringLiteral("current_filter"), QVariant::fromValue(filters.first()));
    }

    const QString title = !caption.isEmpty() ? caption
        : mode == Mode::save                 ? QStringLiteral("Enregistrer")
                                             : QStringLiteral("Ouvrir");
    QDBusMessage call =
        QDBusMessage::createMethodCall(service(), kPath, kInterface,
                                       mode == Mode::save ? QStringLiteral("SaveFile") : QStringLiteral("OpenFile"));
    call << parentHandle(parent) << title << options;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        bus.disconnect(service(), requestPath, requestInterface, responseSignal, &waiter,
                       SLOT(onResponse(uint, QVariantMap)));
        return std::nullopt;
    }
    // An older portal may choose its own path.
    const QString answeredPath = qvariant_cast<QDBusObjectPath>(reply.arguments().first()).path();
    if (!answeredPath.isEmpty() && answeredPath != requestPath) {
        bus.disconnect(service(), requestPath, requestInterface, responseSignal, &waiter,
                       SLOT(onResponse(uint, QVariantMap)));
        requestPath = answeredPath;
        bus.connect(service(), requestPath, requestInterface, responseSignal, &waiter,
                    SLOT(onResponse(uint, QVariantMap)));
    }

    if (!waiter.answered) {
        // Modal while the chooser is open, as Qt's own native dialogs are: an invisible dialog blocks our
        // windows until the answer comes.
        QDialog blocker(parent ? parent->window() : nullptr);
        blocker.setAttribute(Qt::WA_DontShowOnScreen);
        blocker.setModal(true);
        QObject::connect(&waiter, &ResponseWaiter::finished, &blocker, [&blocker] { blocker.done(0); });
        if (!waiter.answered)
            blocker.exec();
    }
    bus.disconnect(service(), requestPath, requestInterface, responseSignal, &waiter,
                   SLOT(onResponse(uint, QVariantMap)));

    // 0: chosen, 1: cancelled, 2: the portal could not show its chooser (ours is shown instead).
    if (waiter.response == 1)
        return QStringList();
    if (waiter.response != 0)
        return std::nullopt;
    QStringList files;
    for (const QString& uri : waiter.results.value(QStringLiteral("uris")).toStringList()) {
        const QUrl url(uri);
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

void setServiceForTesting(const QString& name) {
    g_testService = name;
    g_available.reset();
}

} // namespace PortalFileChooser

#include "PortalFileChooser.moc"
