#pragma once

#include <QList>
#include <QObject>
#include <QPalette>
#include <QString>
#include <QDBusVariant>

#include <optional>

class Preferences;

// The user's choice of appearance. Raw values are stored as they are.
enum class AppTheme { system, light, dark };

QString appThemeRawValue(AppTheme theme);
// Exactly "system", "light" or "dark" (whole text, case-sensitive); anything else gives nothing.
std::optional<AppTheme> appThemeFromRaw(const QString& raw);
// In display order: system, light, dark.
QList<AppTheme> allAppThemes();
// The toolbar's cycle: system → light → dark → system.
AppTheme nextAppTheme(AppTheme theme);

// Holds the one live theme choice, kept under "tolmek.theme", and the effective appearance
// (the choice combined with the desktop's own light/dark setting).
class ThemeManager : public QObject {
    Q_OBJECT
public:
    static constexpr const char* preferenceKey = "tolmek.theme";

    // The application's manager, created on first use. It re-applies the appearance to the
    // application (applyAppearance) every time the effective appearance changes.
    static ThemeManager& shared();

    // A manager over `prefs` (tests); nullptr uses Preferences::shared() at each access.
    // Creation reads the key and writes the normalised value back at once.
    explicit ThemeManager(Preferences* prefs = nullptr, QObject* parent = nullptr);
    ~ThemeManager() override;

    AppTheme theme() const { return m_theme; }
    // Stores the key on every call, even when unchanged, and emits themeChanged every time.
    void setTheme(AppTheme theme);

    // Effective appearance: dark for `dark`, light for `light`, the desktop's for `system`.
    bool isDark() const;
    // The desktop's own appearance (portal setting, else platform window colour, headless light).
    bool systemIsDark() const;

    // Forces the desktop's appearance for every manager (tests); nullopt goes back to detection.
    static void setSystemDarkForTesting(std::optional<bool> dark);

    // Reads a portal "color-scheme" value (1 dark, 2 light, 0 no preference → light); nothing if unreadable.
    static std::optional<bool> darkFromPortalValue(const QVariant& value);

signals:
    void themeChanged(AppTheme theme);
    void appearanceChanged(bool dark);

private slots:
    void onPortalSettingChanged(const QString& ns, const QString& key, const QDBusVariant& value);

private:
    Preferences& prefs() const;
    void setSystemDark(std::optional<bool> dark);
    void reevaluate();

    Preferences* m_prefs = nullptr;
    AppTheme m_theme = AppTheme::system;
    std::optional<bool> m_portalDark;
    bool m_fallbackDark = false;
    bool m_lastDark = false;
};

// Our own palette for standard widgets (Fusion style).
QPalette appQPalette(bool dark);

// Sets our style (TolmekStyle, over Fusion) and our palette for the current effective appearance on
// the application and repaints every window at once. ThemeManager::shared() calls it on every
// appearance change; the entry point calls it once at start.
void applyAppearance();
