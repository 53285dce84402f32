#include "ui/Palette.h"

#include "ui/Theme.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

bool currentDark() { return ThemeManager::shared().isDark(); }

QColor rgb(double r, double g, double b, double a = 1.0) {
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

struct Pair {
    QColor light;
    QColor dark;
    const QColor& operator()(bool isDark) const { return isDark ? dark : light; }
};

} // namespace

namespace AppPalette {

// Each pair is built once and shared; the choice between its two colours is made at paint time.
#define TOLMEK_ADAPTIVE(name, lr, lg, lb, dr, dg, db)             \
    QColor name(bool dark) {                                      \
        static const Pair pair{rgb(lr, lg, lb), rgb(dr, dg, db)}; \
        return pair(dark);                                        \
    }                                                             \
    QColor name() { return name(currentDark()); }

TOLMEK_ADAPTIVE(canvasBackground, 0.94, 0.94, 0.945, 0.07, 0.10, 0.16)
TOLMEK_ADAPTIVE(screenBackground, 0.965, 0.965, 0.97, 0.09, 0.12, 0.18)
// The red is a shade darker than (0.80, 0.20, 0.25) so that it reads at 4.5:1 on its own background.
TOLMEK_ADAPTIVE(dangerRed, 0.75, 0.16, 0.21, 0.95, 0.35, 0.38)
TOLMEK_ADAPTIVE(dangerBackground, 0.98, 0.92, 0.93, 0.20, 0.12, 0.14)
TOLMEK_ADAPTIVE(dangerBorder, 0.92, 0.74, 0.76, 0.35, 0.18, 0.20)
TOLMEK_ADAPTIVE(tintedBackground, 0.92, 0.94, 0.98, 0.12, 0.16, 0.24)
TOLMEK_ADAPTIVE(tintedBorder, 0.80, 0.86, 0.96, 0.20, 0.26, 0.38)
TOLMEK_ADAPTIVE(sidebarBackground, 0.975, 0.975, 0.98, 0.06, 0.08, 0.13)
TOLMEK_ADAPTIVE(cardBackground, 1.0, 1.0, 1.0, 0.10, 0.13, 0.20)
TOLMEK_ADAPTIVE(mutedBorder, 0.78, 0.80, 0.84, 0.20, 0.26, 0.36)
TOLMEK_ADAPTIVE(buttonBackground, 0.99, 0.99, 0.995, 0.14, 0.17, 0.25)

#undef TOLMEK_ADAPTIVE

QColor brandBlue() {
    static const QColor c = rgb(0.10, 0.55, 0.95);
    return c;
}

QColor brandPink() {
    static const QColor c = rgb(0.80, 0.25, 0.55);
    return c;
}

QColor cardShadow() {
    static const QColor c = rgb(0, 0, 0, 0.08);
    return c;
}

QColor primaryText(bool dark) { return dark ? rgb(1, 1, 1, 0.85) : rgb(0, 0, 0, 0.85); }
QColor primaryText() { return primaryText(currentDark()); }
// Black at 0.5 reads at only 3.9:1 on the light backgrounds; 0.58 reaches 5:1 on every one.
QColor secondaryText(bool dark) { return dark ? rgb(1, 1, 1, 0.55) : rgb(0, 0, 0, 0.58); }
QColor secondaryText() { return secondaryText(currentDark()); }
QColor separator(bool dark) { return dark ? rgb(1, 1, 1, 0.1) : rgb(0, 0, 0, 0.1); }
QColor separator() { return separator(currentDark()); }

namespace {
const QList<QColor>& themeBackgrounds(bool dark) {
    static const QList<QColor> light{canvasBackground(false), screenBackground(false), cardBackground(false),
                                     tintedBackground(false), sidebarBackground(false)};
    static const QList<QColor> darkOnes{canvasBackground(true), screenBackground(true), cardBackground(true),
                                        tintedBackground(true), sidebarBackground(true)};
    return dark ? darkOnes : light;
}

// Painting asks for the same few shades again and again: each is worked out once.
template <typename Make>
QColor cachedShade(QRgb key, quint32 kind, Make make) {
    static QHash<quint64, QRgb> cache;
    const quint64 k = (quint64(kind) << 32) | key;
    const auto it = cache.constFind(k);
    if (it != cache.constEnd())
        return QColor::fromRgba(*it);
    const QColor c = make();
    cache.insert(k, c.rgba());
    return c;
}
} // namespace

QColor accentText(const QColor& accent, bool dark) {
    return cachedShade(accent.rgba(), dark ? 1 : 0, [&] { return Contrast::readable(accent, themeBackgrounds(dark)); });
}
QColor accentText(const QColor& accent) { return accentText(accent, currentDark()); }

QColor tintText(const QColor& hue, qreal tintOpacity, bool dark) {
    const quint32 kind = 2 + (dark ? 1 : 0) + 2 * quint32(std::lround(tintOpacity * 1000));
    return cachedShade(hue.rgba(), kind, [&] {
        const QColor tint = withOpacity(hue, tintOpacity);
        QList<QColor> tinted;
        for (const QColor& bg : themeBackgrounds(dark))
            tinted.append(Contrast::over(tint, bg));
        return Contrast::readable(hue, tinted);
    });
}
QColor tintText(const QColor& hue, qreal tintOpacity) { return tintText(hue, tintOpacity, currentDark()); }

QColor accentFill(const QColor& accent) {
    return cachedShade(accent.rgba(), 0xFFFFFFFFu, [&] { return Contrast::readable(accent, {QColor(Qt::white)}); });
}

// Black at 0.5 over white is #808080, 3.9:1; the white of dark mode reaches 3:1 on the darkest fill.
QColor fieldOutline(bool dark) { return dark ? rgb(1, 1, 1, 0.42) : rgb(0, 0, 0, 0.5); }
QColor fieldOutline() { return fieldOutline(currentDark()); }

// The brand blue reaches only 3.0:1 on the light tinted background; the primary buttons' shade of it
// reaches 3.1:1 on the dark bordered button: each theme takes the one that reads best.
QColor focusRing(bool dark) { return dark ? brandBlue() : accentFill(brandBlue()); }
QColor focusRing() { return focusRing(currentDark()); }

QColor destructiveText(bool dark) {
    return cachedShade(dangerRed(dark).rgba(), dark ? 0xFFFFFFFDu : 0xFFFFFFFEu, [&] {
        QList<QColor> backgrounds = themeBackgrounds(dark);
        // A bordered button at rest and hovered (0.03 / 0.06 towards the text); pressed lasts an instant.
        const QColor toward = dark ? QColor(255, 255, 255) : QColor(0, 0, 0);
        for (const qreal shade : {0.0, dark ? 0.06 : 0.03})
            backgrounds.append(Contrast::over(withOpacity(toward, shade), buttonBackground(dark)));
        return Contrast::readable(dangerRed(dark), backgrounds);
    });
}
QColor destructiveText() { return destructiveText(currentDark()); }

QColor whiteTextOn(const QColor& fill, qreal opacity, double minimum) {
    const QColor bg = QColor::fromRgb(fill.rgb());
    int alpha = std::clamp(int(std::lround(opacity * 255)), 0, 255);
    // Measured as the screen shows it, at 8 bits per channel.
    while (alpha < 255 &&
           Contrast::ratio(QColor::fromRgb(Contrast::over(QColor(255, 255, 255, alpha), bg).rgb()), bg) < minimum)
        ++alpha;
    return QColor(255, 255, 255, alpha);
}

} // namespace AppPalette

namespace Contrast {

double luminance(const QColor& c) {
    auto channel = [](float v) {
        const double x = double(v);
        return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    const QColor rgbColor = c.toRgb();
    return 0.2126 * channel(rgbColor.redF()) + 0.7152 * channel(rgbColor.greenF()) + 0.0722 * channel(rgbColor.blueF());
}

QColor over(const QColor& fg, const QColor& bg) {
    const QColor f = fg.toRgb();
    const QColor b = bg.toRgb();
    const float a = f.alphaF();
    return QColor::fromRgbF(f.redF() * a + b.redF() * (1 - a), f.greenF() * a + b.greenF() * (1 - a),
                            f.blueF() * a + b.blueF() * (1 - a));
}

double ratio(const QColor& fg, const QColor& bg) {
    double a = luminance(over(fg, bg));
    double b = luminance(bg);
    if (a < b)
        std::swap(a, b);
    return (a + 0.05) / (b + 0.05);
}

QColor readable(const QColor& color, const QList<QColor>& backgrounds, double minimum) {
    if (backgrounds.isEmpty())
        return color;
    // Measured as the screen shows them, at 8 bits per channel.
    auto shown = [](const QColor& c) { return QColor::fromRgb(c.rgb()); };
    QList<QColor> bgs;
    for (const QColor& bg : backgrounds)
        bgs.append(shown(bg));
    const QColor start = shown(over(color, bgs.first()));
    auto worst = [&](const QColor& c) {
        double r = 21;
        for (const QColor& bg : bgs)
            r = std::min(r, ratio(shown(c), bg));
        return r;
    };
    if (worst(start) >= minimum)
        return start;
    double lum = 0;
    for (const QColor& bg : bgs)
        lum += luminance(bg);
    lum /= double(bgs.size());
    // Away from the backgrounds: darker on light ones, lighter on dark ones (0.18 is where black and white
    // text read equally well).
    const bool darken = lum > 0.18;
    float h = 0, s = 0, l = 0, a = 0;
    start.toHsl().getHslF(&h, &s, &l, &a);
    if (h < 0)
        h = 0;
    double near = l;
    double far = darken ? 0.0 : 1.0;
    // The extreme may still be too weak (a mid-grey background); it is the best there is.
    if (worst(QColor::fromHslF(h, s, float(far))) < minimum)
        return shown(QColor::fromHslF(h, s, float(far)));
    for (int i = 0; i < 24; ++i) {
        const double mid = (near + far) / 2;
        if (worst(QColor::fromHslF(h, s, float(mid))) >= minimum)
            far = mid;
        else
            near = mid;
    }
    return shown(QColor::fromHslF(h, s, float(far)));
}

} // namespace Contrast

QColor standardColor(StandardColor c, bool dark) {
    struct Entry {
        int lr, lg, lb, dr, dg, db;
    };
    // Light and dark variants of the desktop's named colours.
    static const Entry table[] = {
        {255, 59, 48, 255, 69, 58}, // red
        {255, 149, 0, 255, 159, 10}, // orange
        {255, 204, 0, 255, 214, 10}, // yellow
        {52, 199, 89, 48, 209, 88}, // green
        {0, 199, 190, 99, 230, 226}, // mint
        {48, 176, 199, 64, 200, 224}, // teal
        {50, 173, 230, 100, 210, 255}, // cyan
        {0, 122, 255, 10, 132, 255}, // blue
        {88, 86, 214, 94, 92, 230}, // indigo
        {175, 82, 222, 191, 90, 242}, // purple
        {162, 132, 94, 172, 142, 104}, // brown
        {142, 142, 147, 142, 142, 147} // gray
    };
    const Entry& e = table[int(c)];
    return dark ? QColor(e.dr, e.dg, e.db) : QColor(e.lr, e.lg, e.lb);
}

QColor standardColor(StandardColor c) { return standardColor(c, ThemeManager::shared().isDark()); }

QColor colorForKey(const std::optional<QString>& key, bool dark) {
    // Full lower-casing, no trimming: " blue" is not a key.
    const QString k = key.value_or(QStringLiteral("blue")).toLower();
    if (k == QLatin1String("blue"))
        return AppPalette::brandBlue();
    if (k == QLatin1String("pink"))
        return AppPalette::brandPink();
    static const struct {
        const char* key;
        StandardColor color;
    } named[] = {
        {"red", StandardColor::red},     {"orange", StandardColor::orange}, {"yellow", StandardColor::yellow},
        {"green", StandardColor::green}, {"mint", StandardColor::mint},     {"teal", StandardColor::teal},
        {"cyan", StandardColor::cyan},   {"indigo", StandardColor::indigo}, {"purple", StandardColor::purple},
        {"brown", StandardColor::brown}, {"gray", StandardColor::gray},     {"grey", StandardColor::gray},
    };
    for (const auto& n : named) {
        if (k == QLatin1String(n.key))
            return standardColor(n.color, dark);
    }
    return AppPalette::brandBlue();
}

QColor colorForKey(const std::optional<QString>& key) { return colorForKey(key, ThemeManager::shared().isDark()); }
QColor colorForKey(const QString& key) { return colorForKey(std::optional<QString>(key)); }
QColor colorForKey(const char* key) {
    return key ? colorForKey(std::optional<QString>(QString::fromUtf8(key))) : colorForKey(std::optional<QString>());
}

std::optional<QColor> colorFromHex(const QString& text) {
    QString s = text.trimmed().toUpper();
    if (s.startsWith(QLatin1Char('#')))
        s.remove(0, 1);
    if (s.size() != 6)
        return std::nullopt;
    for (QChar ch : s) {
        const bool hex =
            (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || (ch >= QLatin1Char('A') && ch <= QLatin1Char('F'));
        if (!hex)
            return std::nullopt;
    }
    const uint v = s.toUInt(nullptr, 16);
    const int r = int((v >> 16) & 255);
    const int g = int((v >> 8) & 255);
    const int b = int(v & 255);
    return QColor::fromRgbF(float(r / 255.0), float(g / 255.0), float(b / 255.0), 1.0f);
}

std::optional<QString> toHex(const QColor& color) {
    if (!color.isValid())
        return std::nullopt;
    const QColor c = color.toRgb();
    // std::lround rounds halves away from zero (0.5 × 255 = 127.5 → 128).
    auto channel = [](float f) { return int(std::lround(double(f) * 255.0)); };
    return QStringLiteral("#%1%2%3")
        .arg(channel(c.redF()), 2, 16, QLatin1Char('0'))
        .arg(channel(c.greenF()), 2, 16, QLatin1Char('0'))
        .arg(channel(c.blueF()), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QColor displayColor(const std::optional<QString>& colorKey, const std::optional<QString>& colorHex, bool dark) {
    if (colorHex) {
        if (const std::optional<QColor> c = colorFromHex(*colorHex))
            return *c;
    }
    return colorForKey(colorKey, dark);
}

QColor displayColor(const std::optional<QString>& colorKey, const std::optional<QString>& colorHex) {
    return displayColor(colorKey, colorHex, ThemeManager::shared().isDark());
}

QColor withOpacity(QColor c, qreal opacity) {
    c.setAlphaF(float(c.alphaF() * opacity));
    return c;
}

QColor thinMaterialFill(bool dark) { return withOpacity(AppPalette::cardBackground(dark), dark ? 0.78 : 0.72); }
QColor thinMaterialFill() { return thinMaterialFill(ThemeManager::shared().isDark()); }
