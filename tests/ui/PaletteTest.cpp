#include "ui/AppStyle.h"
#include "ui/Palette.h"
#include "ui/Theme.h"

#include <QPalette>

#include <gtest/gtest.h>

#include <vector>

namespace {

QColor rgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b)); }

// Compares at 8-bit precision, which is what every caller sees.
::testing::AssertionResult sameColor(const QColor& a, const QColor& b) {
    if (a.rgba() == b.rgba())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a.name(QColor::HexArgb).toStdString() << " vs "
                                         << b.name(QColor::HexArgb).toStdString();
}

struct ThemeGuard {
    ~ThemeGuard() {
        ThemeManager::shared().setTheme(AppTheme::system);
        ThemeManager::setSystemDarkForTesting(std::nullopt);
    }
};

} // namespace

TEST(ColorFromHex, AcceptsSixDigitsWithOrWithoutHashCaseAndBlanks) {
    const QColor expected = rgb(0x1A / 255.0, 0x2B / 255.0, 0x3C / 255.0);
    for (const char* text : {"#1A2B3C", "1a2b3c", "#1a2B3c", "  #1a2b3c\n", "\t1A2B3C \r\n"}) {
        const std::optional<QColor> c = colorFromHex(QString::fromLatin1(text));
        ASSERT_TRUE(c.has_value()) << text;
        EXPECT_TRUE(sameColor(*c, expected)) << text;
        EXPECT_EQ(c->alpha(), 255);
    }
    EXPECT_TRUE(sameColor(*colorFromHex("#000000"), QColor(0, 0, 0)));
    EXPECT_TRUE(sameColor(*colorFromHex("#FFFFFF"), QColor(255, 255, 255)));
}

TEST(ColorFromHex, RejectsEverythingElse) {
    for (const char* text : {"", "#", "#123", "123", "##1A2B3C", "#1A2B3C4D", "1A2B3C4D", "#1A2B3G", "#1A 2B3C",
                             "#-1A2B3", "0x1A2B3C", "#1A2B3", "red", "# 1A2B3C"}) {
        EXPECT_FALSE(colorFromHex(QString::fromLatin1(text)).has_value()) << '"' << text << '"';
    }
    // Non-ASCII digits and letters are not hex digits.
    EXPECT_FALSE(colorFromHex(QStringLiteral("#１２３４５６")).has_value());
    EXPECT_FALSE(colorFromHex(QStringLiteral("#ÀBCDEF")).has_value());
}

TEST(ToHex, RoundsHalvesAwayFromZeroAndUsesUpperCase) {
    EXPECT_EQ(toHex(QColor::fromRgbF(0.0f, 0.5f, 1.0f)), QStringLiteral("#0080FF"));
    EXPECT_EQ(toHex(QColor(0xab, 0xcd, 0xef)), QStringLiteral("#ABCDEF"));
    EXPECT_EQ(toHex(QColor(0, 0, 0, 10)), QStringLiteral("#000000")); // alpha is not written
    EXPECT_EQ(toHex(QColor::fromHsv(0, 255, 255)), QStringLiteral("#FF0000"));
    EXPECT_FALSE(toHex(QColor()).has_value());
}

TEST(ToHex, RoundTripsEveryReadableText) {
    for (int v : {0x000000, 0x123456, 0x7F8081, 0xFFFFFF, 0x0080FF}) {
        const QString text = QStringLiteral("#%1").arg(v, 6, 16, QLatin1Char('0')).toUpper();
        EXPECT_EQ(toHex(*colorFromHex(text)), text);
    }
}

TEST(ColorForKey, FollowsTheKeyTable) {
    const bool light = false;
    EXPECT_TRUE(sameColor(colorForKey(std::optional<QString>(), light), AppPalette::brandBlue()));
    for (const char* k : {"blue", "BLUE", "Blue", " blue", "blue ", "violet", "", "bleu", "#FF0000"})
        EXPECT_TRUE(
            sameColor(colorForKey(std::optional<QString>(QString::fromLatin1(k)), light), AppPalette::brandBlue()))
            << k;
    EXPECT_TRUE(sameColor(colorForKey(std::optional<QString>("Pink"), light), AppPalette::brandPink()));
    EXPECT_TRUE(
        sameColor(colorForKey(std::optional<QString>("Grey"), light), standardColor(StandardColor::gray, light)));
    EXPECT_TRUE(
        sameColor(colorForKey(std::optional<QString>("GRAY"), light), standardColor(StandardColor::gray, light)));

    const std::pair<const char*, StandardColor> named[] = {
        {"red", StandardColor::red},     {"orange", StandardColor::orange}, {"yellow", StandardColor::yellow},
        {"green", StandardColor::green}, {"mint", StandardColor::mint},     {"teal", StandardColor::teal},
        {"cyan", StandardColor::cyan},   {"indigo", StandardColor::indigo}, {"purple", StandardColor::purple},
        {"brown", StandardColor::brown},
    };
    for (bool dark : {false, true}) {
        for (const auto& [key, c] : named)
            EXPECT_TRUE(sameColor(colorForKey(std::optional<QString>(key), dark), standardColor(c, dark))) << key;
    }
    // The convenience overloads agree with the optional one.
    ThemeGuard guard;
    ThemeManager::shared().setTheme(AppTheme::light);
    EXPECT_TRUE(sameColor(colorForKey("orange"), standardColor(StandardColor::orange, false)));
    EXPECT_TRUE(sameColor(colorForKey(QStringLiteral("pink")), AppPalette::brandPink()));
    EXPECT_TRUE(sameColor(colorForKey(std::nullopt), AppPalette::brandBlue()));
}

TEST(DisplayColor, HexWinsWhenReadableElseKeyElseBlue) {
    const QColor green(0, 200, 0);
    EXPECT_TRUE(sameColor(displayColor(QStringLiteral("pink"), QStringLiteral("#00C800"), false), green));
    EXPECT_TRUE(
        sameColor(displayColor(QStringLiteral("pink"), QStringLiteral("#00C8"), false), AppPalette::brandPink()));
    EXPECT_TRUE(sameColor(displayColor(QStringLiteral("pink"), std::nullopt, false), AppPalette::brandPink()));
    EXPECT_TRUE(sameColor(displayColor(std::nullopt, QStringLiteral("nonsense"), false), AppPalette::brandBlue()));
    EXPECT_TRUE(sameColor(displayColor(std::nullopt, std::nullopt, false), AppPalette::brandBlue()));
    EXPECT_TRUE(sameColor(displayColor(std::nullopt, QStringLiteral(" 00c800 "), true), green));
}

TEST(AppPaletteColors, FollowTheThemeWithoutRebuilding) {
    ThemeGuard guard;
    for (bool dark : {false, true}) {
        ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
        EXPECT_TRUE(sameColor(AppPalette::screenBackground(), AppPalette::screenBackground(dark))) << dark;
        EXPECT_TRUE(sameColor(AppPalette::tintedBackground(), AppPalette::tintedBackground(dark))) << dark;
    }
    ThemeManager::shared().setTheme(AppTheme::system);
    ThemeManager::setSystemDarkForTesting(true);
    EXPECT_TRUE(sameColor(AppPalette::sidebarBackground(), AppPalette::sidebarBackground(true)));
    EXPECT_FALSE(sameColor(AppPalette::sidebarBackground(true), AppPalette::sidebarBackground(false)));
}

TEST(Contrast, MatchesTheWcagFormula) {
    EXPECT_NEAR(Contrast::ratio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(Contrast::ratio(Qt::white, Qt::white), 1.0, 1e-9);
    // Published pairs: #767676 on white is the lightest grey at 4.5:1, #777777 is just under.
    EXPECT_NEAR(Contrast::ratio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.01);
    EXPECT_LT(Contrast::ratio(QColor(0x77, 0x77, 0x77), Qt::white), 4.5);
    // Order does not matter; a translucent colour is measured over the background.
    EXPECT_DOUBLE_EQ(Contrast::ratio(Qt::white, QColor(0x76, 0x76, 0x76)),
                     Contrast::ratio(QColor(0x76, 0x76, 0x76), Qt::white));
    EXPECT_NEAR(Contrast::ratio(QColor(0, 0, 0, 128), Qt::white), Contrast::ratio(QColor(127, 127, 127), Qt::white),
                0.05);
}

TEST(Contrast, ReadableKeepsTheHueAndMovesAwayFromTheBackground) {
    const QColor green = standardColor(StandardColor::green, false);
    const QColor onWhite = Contrast::readable(green, {Qt::white});
    EXPECT_GE(Contrast::ratio(onWhite, Qt::white), Contrast::text);
    EXPECT_LT(onWhite.lightnessF(), green.lightnessF());
    EXPECT_NEAR(onWhite.hslHueF(), green.hslHueF(), 0.01);
    // Only as far as needed: a shade lighter no longer reaches the ratio.
    EXPECT_LT(Contrast::ratio(onWhite.lighter(106), Qt::white), Contrast::text);

    const QColor blue = standardColor(StandardColor::blue, true);
    const QColor dark = Contrast::over(withOpacity(blue, 0.18), AppPalette::cardBackground(true));
    const QColor onDark = Contrast::readable(blue, {dark});
    EXPECT_GE(Contrast::ratio(onDark, dark), Contrast::text);
    EXPECT_GT(onDark.lightnessF(), standardColor(StandardColor::blue, true).lightnessF());
    // A colour that already reads is kept.
    EXPECT_EQ(Contrast::readable(Qt::black, {Qt::white}).rgb(), QColor(Qt::black).rgb());
}

// Every text and meaningful symbol on the backgrounds it is drawn on, in both themes.
TEST(Contrast, EveryPaletteTextReadsOnItsBackgrounds) {
    using namespace AppPalette;
    for (const bool dark : {false, true}) {
        const QList<QColor> backgrounds{canvasBackground(dark), screenBackground(dark), cardBackground(dark),
                                        tintedBackground(dark), sidebarBackground(dark)};
        const QPalette qt = appQPalette(dark);
        struct Case {
            const char* what;
            QColor fg;
            QList<QColor> bgs;
            double minimum;
        };
        std::vector<Case> cases{
            {"primary text", primaryText(dark), backgrounds, Contrast::text},
            {"secondary text", secondaryText(dark), backgrounds, Contrast::text},
            {"danger red on its background", dangerRed(dark), {dangerBackground(dark)}, Contrast::text},
            {"white on the primary button", Qt::white, {accentFill(brandBlue())}, Contrast::text},
            {"highlighted text", qt.color(QPalette::HighlightedText), {qt.color(QPalette::Highlight)}, Contrast::text},
            {"link", qt.color(QPalette::Link), backgrounds, Contrast::text},
            {"placeholder", qt.color(QPalette::PlaceholderText), {qt.color(QPalette::Base)}, Contrast::text},
            {"button text", qt.color(QPalette::ButtonText), {qt.color(QPalette::Button)}, Contrast::text},
            {"tooltip", qt.color(QPalette::ToolTipText), {qt.color(QPalette::ToolTipBase)}, Contrast::text},
        };
        const std::pair<const char*, QColor> hues[] = {{"brand blue", brandBlue()}, {"brand pink", brandPink()}};
        for (const auto& [name, hue] : hues) {
            cases.push_back({name, accentText(hue, dark), backgrounds, Contrast::text});
            cases.push_back({name, Qt::white, {accentFill(hue)}, Contrast::text});
        }
        for (int i = 0; i <= int(StandardColor::gray); ++i) {
            const QColor hue = standardColor(StandardColor(i), dark);
            QList<QColor> tints;
            for (const QColor& bg : backgrounds)
                tints.append(Contrast::over(withOpacity(hue, 0.18), bg));
            cases.push_back({"badge text on its tint", tintText(hue, 0.18, dark), tints, Contrast::text});
            cases.push_back({"accent text", accentText(hue, dark), backgrounds, Contrast::text});
            cases.push_back({"white on accent", Qt::white, {accentFill(hue)}, Contrast::text});
        }
        // Outlines of fields and buttons: 3:1 against the control's own fill and the backgrounds around it.
        for (const QColor& fill : {qt.color(QPalette::Base), qt.color(QPalette::Button)}) {
            const QColor edge = Contrast::over(TolmekStyle::controlOutline(dark), fill);
            QList<QColor> around = backgrounds;
            around.append(fill);
            cases.push_back({"control outline", edge, around, Contrast::largeText});
        }
        for (const Case& c : cases) {
            for (const QColor& bg : c.bgs) {
                // Measured as the screen shows it: 8 bits per channel.
                const QColor shown = QColor::fromRgb(Contrast::over(c.fg, bg).rgb());
                EXPECT_GE(Contrast::ratio(shown, QColor::fromRgb(bg.rgb())), c.minimum)
                    << (dark ? "dark: " : "light: ") << c.what << ' ' << c.fg.name(QColor::HexArgb).toStdString()
                    << " on " << bg.name().toStdString();
            }
        }
    }
}

// The pairs a review measured on the screens, each with the colours its screen draws.
TEST(Contrast, FieldsHeadersRedsAndQuietTextsReadOnWhatTheyAreDrawnOn) {
    using namespace AppPalette;
    auto shown = [](const QColor& fg, const QColor& bg) {
        return Contrast::ratio(QColor::fromRgb(Contrast::over(fg, bg).rgb()), QColor::fromRgb(bg.rgb()));
    };
    for (const bool dark : {false, true}) {
        const char* theme = dark ? "dark: " : "light: ";
        const QColor card = cardBackground(dark);
        // A card sheet's section: the screen colour at 0.65 over the card.
        const QColor section = Contrast::over(withOpacity(screenBackground(dark), 0.65), card);
        const QList<QColor> backgrounds{canvasBackground(dark), screenBackground(dark),  card,
                                        tintedBackground(dark), sidebarBackground(dark), section};

        // Text fields (the lists' search, the card sheet's title and link, the settings' fields): one
        // outline, seen against the field's fill and the background around it.
        for (const QColor& around : backgrounds) {
            for (const qreal fillOpacity : {1.0, 0.95}) {
                const QColor fill = Contrast::over(withOpacity(card, fillOpacity), around);
                const QColor edge = Contrast::over(fieldOutline(dark), fill);
                EXPECT_GE(shown(edge, fill), Contrast::largeText) << theme << "field outline on its fill";
                EXPECT_GE(shown(edge, around), Contrast::largeText)
                    << theme << "field outline on " << around.name().toStdString();
            }
        }
        EXPECT_EQ(TolmekStyle::controlOutline(dark).rgba(), fieldOutline(dark).rgba());
        // Every focus indicator, on every background, on a section and on the fills it lies against (fields,
        // bordered buttons, a card sheet's field at 0.95 and the new-checklist field at 0.75 over a card).
        QList<QColor> aroundRing = backgrounds;
        aroundRing << appQPalette(dark).color(QPalette::Base) << appQPalette(dark).color(QPalette::Button)
                   << Contrast::over(withOpacity(card, 0.95), section)
                   << Contrast::over(withOpacity(screenBackground(dark), 0.75), card);
        for (const QColor& around : aroundRing)
            EXPECT_GE(shown(focusRing(dark), around), Contrast::largeText)
                << theme << "focus on " << around.name().toStdString();

        // Destructive texts ("Supprimer l’étape" on its tinted pill, "Supprimer" of an image block and
        // of the menus): one red, readable on each.
        for (const QColor& bg : backgrounds) {
            EXPECT_GE(shown(destructiveText(dark), bg), Contrast::text) << theme << bg.name().toStdString();
            for (const qreal tint : {0.35, 0.45}) {
                const QColor pill = Contrast::over(withOpacity(tintedBackground(dark), tint), bg);
                EXPECT_GE(shown(destructiveText(dark), pill), Contrast::text) << theme << "red on a pill";
            }
        }
        EXPECT_GE(shown(destructiveText(dark), appQPalette(dark).color(QPalette::Base)), Contrast::text);
        // The bordered buttons ("Supprimer" of an image block, "Quitter" of an alert), also hovered.
        const QColor toward = dark ? Qt::white : Qt::black;
        for (const qreal shade : {0.0, dark ? 0.06 : 0.03}) {
            const QColor button = Contrast::over(withOpacity(toward, shade), appQPalette(dark).color(QPalette::Button));
            EXPECT_GE(shown(destructiveText(dark), button), Contrast::text) << theme << "red on a button";
        }

        // A project's header: white name, description (0.85) and "Documents" (0.75) on the lightest
        // shade of its colour, for every colour a project can take.
        QList<QColor> hues{brandBlue(), brandPink()};
        for (int i = 0; i <= int(StandardColor::gray); ++i)
            hues.append(standardColor(StandardColor(i), dark));
        for (const QColor& hue : hues) {
            const QColor fill = accentFill(hue);
            for (const qreal opacity : {1.0, 0.85, 0.75}) {
                const QColor text = whiteTextOn(fill, opacity);
                EXPECT_GE(shown(text, fill), Contrast::text)
                    << theme << "header text at " << opacity << " on " << fill.name().toStdString();
                EXPECT_GE(text.alphaF(), opacity - 0.01); // never fainter than asked
            }
        }
        // Where the colour is dark enough the asked opacity is kept.
        EXPECT_EQ(whiteTextOn(QColor(0x20, 0x30, 0x60), 0.75).alpha(), std::lround(0.75 * 255));

        // White on the blue of every primary button, "Créer un projet" included.
        EXPECT_GE(shown(Qt::white, accentFill(brandBlue())), Contrast::text);
        EXPECT_LT(shown(Qt::white, brandBlue()), Contrast::text); // why the brand blue is not a fill

        // An image attachment's name (secondary text) and the blocks' drag handle (a symbol).
        for (const QColor& bg : backgrounds) {
            EXPECT_GE(shown(secondaryText(dark), bg), Contrast::text) << theme << "attachment name";
            EXPECT_GE(shown(secondaryText(dark), bg), Contrast::largeText) << theme << "drag handle";
        }
    }
    // Light mode's destructive red is the danger red itself, the menus' one.
    EXPECT_EQ(AppPalette::destructiveText(false).rgb(), QColor(0xBF, 0x29, 0x36).rgb());
}
