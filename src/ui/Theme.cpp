#include "ui/Theme.h"

#include "ui/AppStyle.h"
#include "ui/Palette.h"
#include "prefs/Preferences.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QStyle>
#include <QWidget>

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kColorSchemeKey = QStringLiteral("color-scheme");

std::optional<bool> g_forcedSystemDark;
QList<ThemeManager*> g_managers;

bool isHeadless() {
    const QString platform = QGuiApplication::platformName();
    return platform.isEmpty() || platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

// The platform's own window colour, read once before our palette replaces it.
bool platformWindowIsDark() {
    static const bool dark = [] {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return false;
        return QGuiApplication::palette().color(QPalette::Window).lightnessF() < 0.5;
    }();
    return dark;
}

} // namespace

QString appThemeRawValue(AppTheme theme) {
    switch (theme) {
    case AppTheme::light: return QStringLiteral("light");
    case AppTheme::dark: return QStringLiteral("dark");
    case AppTheme::system: break;
    }
    return QStringLiteral("system");
}

std::optional<AppTheme> appThemeFromRaw(const QString& raw) {
    if (raw == QLatin1String("system"))
        return AppTheme::system;
    if (raw == QLatin1String("light"))
        return AppTheme::light;
    if (raw == QLatin1String("dark"))
        return AppTheme::dark;
    return std::nullopt;
}

QList<AppTheme> allAppThemes() { return {AppTheme::system, AppTheme::light, AppTheme::dark}; }

AppTheme nextAppTheme(AppTheme theme) {
    switch (theme) {
    case AppTheme::system: return AppTheme::light;
    case AppTheme::light: return AppTheme::dark;
    case AppTheme::dark: break;
    }
    return AppTheme::system;
}

ThemeManager& ThemeManager::shared() {
    static ThemeManager* instance = [] {
        platformWindowIsDark(); // capture before our palette is installed
        auto* m = new ThemeManager;
        if (auto* app = QCoreApplication::instance())
            m->setParent(app);
        QObject::connect(m, &ThemeManager::appearanceChanged, m, [] { applyAppearance(); });
        return m;
    }();
    return *instance;
}

ThemeManager::ThemeManager(Preferences* prefs, QObject* parent) : QObject(parent), m_prefs(prefs) {
    g_managers.append(this);
    m_fallbackDark = platformWindowIsDark();

    if (!isHeadless() && !g_forcedSystemDark) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            QDBusMessage msg =
                QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInterface, QStringLiteral("Read"));
            msg << kAppearanceNamespace << kColorSchemeKey;
            // Asked without waiting: a slow or missing portal must not hold up the first window, which
            // follows the answer when it comes (the platform's colour until then).
            auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(msg, 2000), this);
            connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusMessage reply = call->reply();
                // A change announced meanwhile is newer than this answer.
                if (m_portalDark || reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
                    return;
                setSystemDark(darkFromPortalValue(reply.arguments().constFirst()));
            });
            bus.connect(kPortalService, kPortalPath, kPortalInterface, QStringLiteral("SettingChanged"), this,
                        SLOT(onPortalSettingChanged(QString, QString, QDBusVariant)));
        }
    }

    // Anything but exactly "light" or "dark" is read as system. Nothing is written until the person
    // chooses: a start leaves the preference file as it is.
    const QString stored = this->prefs().value(QString::fromLatin1(preferenceKey), QStringLiteral("system")).toString();
    m_theme = appThemeFromRaw(stored).value_or(AppTheme::system);
    m_lastDark = isDark();
}

ThemeManager::~ThemeManager() { g_managers.removeAll(this); }

Preferences& ThemeManager::prefs() const { return m_prefs ? *m_prefs : Preferences::shared(); }

void ThemeManager::setTheme(AppTheme theme) {
    m_theme = theme;
    prefs().setValue(QString::fromLatin1(preferenceKey), appThemeRawValue(theme));
    emit themeChanged(theme);
    reevaluate();
}

bool ThemeManager::systemIsDark() const {
    if (g_forcedSystemDark)
        return *g_forcedSystemDark;
    if (m_portalDark)
        return *m_portalDark;
    if (isHeadless())
        return false;
    return m_fallbackDark;
}

bool ThemeManager::isDark() const {
    switch (m_theme) {
    case AppTheme::light: return false;
    case AppTheme::dark: return true;
    case AppTheme::system: break;
    }
    return systemIsDark();
}

void ThemeManager::setSystemDarkForTesting(std::optional<bool> dark) {
    g_forcedSystemDark = dark;
    for (ThemeManager* m : std::as_const(g_managers))
        m->reevaluate();
}

std::optional<bool> ThemeManager::darkFromPortalValue(const QVariant& value) {
    QVariant v = value;
    // The portal wraps the value in one or two variants depending on its version.
    for (int i = 0; i < 3 && v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>(); ++i)
        v = v.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = v.toUInt(&ok);
    if (!ok)
        return std::nullopt;
    return scheme == 1;
}

void ThemeManager::onPortalSettingChanged(const QString& ns, const QString& key, const QDBusVariant& value) {
    if (ns != kAppearanceNamespace || key != kColorSchemeKey)
        return;
    setSystemDark(darkFromPortalValue(QVariant::fromValue(value)));
}

void ThemeManager::setSystemDark(std::optional<bool> dark) {
    if (dark)
        m_portalDark = dark;
    reevaluate();
}

void ThemeManager::reevaluate() {
    const bool dark = isDark();
    if (dark == m_lastDark)
        return;
    m_lastDark = dark;
    emit appearanceChanged(dark);
}

QPalette appQPalette(bool dark) {
    // Opaque versions of the translucent text colours, as standard widgets expect.
    const QColor window = AppPalette::screenBackground(dark);
    const QColor base = AppPalette::cardBackground(dark);
    auto over = [](const QColor& fg, const QColor& bg) {
        const qreal a = fg.alphaF();
        return QColor::fromRgbF(fg.redF() * a + bg.redF() * (1 - a), fg.greenF() * a + bg.greenF() * (1 - a),
                                fg.blueF() * a + bg.blueF() * (1 - a));
    };
    const QColor text = over(AppPalette::primaryText(dark), base);
    const QColor secondary = over(AppPalette::secondaryText(dark), base);
    const QColor button = AppPalette::buttonBackground(dark);
    const QColor alternate = AppPalette::tintedBackground(dark);

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, alternate);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, secondary);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, dark ? Qt::white : Qt::black);
    // Shades of the brand colours that white text, and the backgrounds, read against.
    p.setColor(QPalette::Highlight, AppPalette::accentFill(AppPalette::brandBlue()));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, AppPalette::accentText(AppPalette::brandBlue(), dark));
    p.setColor(QPalette::LinkVisited, AppPalette::accentText(AppPalette::brandPink(), dark));
    // Bevel shades used by the Fusion style.
    p.setColor(QPalette::Light, dark ? button.lighter(130) : Qt::white);
    p.setColor(QPalette::Midlight, dark ? button.lighter(115) : button.darker(105));
    p.setColor(QPalette::Mid, dark ? button.darker(130) : button.darker(130));
    p.setColor(QPalette::Dark, dark ? button.darker(160) : button.darker(160));
    p.setColor(QPalette::Shadow, dark ? QColor(0, 0, 0) : QColor(0, 0, 0, 120));

    const QColor disabledText = over(withOpacity(AppPalette::primaryText(dark), 0.35), base);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, dark ? QColor(70, 80, 100) : QColor(180, 185, 195));
    return p;
}

void applyAppearance() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    const bool dark = ThemeManager::shared().isDark();
    if (!qobject_cast<TolmekStyle*>(QApplication::style()))
        QApplication::setStyle(new TolmekStyle);
    QApplication::setPalette(appQPalette(dark));
    const QList<QWidget*> widgets = QApplication::allWidgets();
    for (QWidget* w : widgets) {
        // A style sheet fixes the palette it was polished with (a field's placeholder colour among
        // others); setting it again polishes the widget with the new palette.
        if (!w->styleSheet().isEmpty())
            w->setStyleSheet(w->styleSheet());
        w->update();
    }
}
