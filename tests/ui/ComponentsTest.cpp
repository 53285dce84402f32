#include "ui/Components.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class ComponentsTest : public ::testing::Test {
protected:
    void SetUp() override { ThemeManager::shared().setTheme(AppTheme::light); }
    void TearDown() override { ThemeManager::shared().setTheme(AppTheme::system); }
};

// Renders the widget alone on a clear image (no window background).
QImage renderClear(QWidget& w) {
    if (w.layout())
        w.layout()->activate();
    QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    return img.convertToFormat(QImage::Format_ARGB32);
}

QColor pixel(QWidget& w, QPoint at) { return renderClear(w).pixelColor(at); }

int colorDistance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

} // namespace

TEST_F(ComponentsTest, StatusBadgeTintAndName) {
    StatusBadge badge(QStringLiteral("Terminé"), StandardColor::green);
    badge.resize(badge.sizeHint());
    EXPECT_EQ(badge.accessibleName(), QStringLiteral("Terminé"));
    // Painted text reads as text, not as an empty area.
    QAccessibleInterface* badgeText = QAccessible::queryAccessibleInterface(&badge);
    ASSERT_NE(badgeText, nullptr);
    EXPECT_EQ(badgeText->role(), QAccessible::StaticText);
    EXPECT_EQ(badgeText->text(QAccessible::Name), QStringLiteral("Terminé"));
    // Tinted capsule: the middle of the left end shows the status colour at 0.18 over nothing.
    const QColor tint = pixel(badge, QPoint(4, badge.height() / 2));
    EXPECT_NEAR(tint.alphaF(), 0.18, 0.02);
    EXPECT_LT(colorDistance(QColor(tint.rgb()), standardColor(StandardColor::green, false)), 12);
    // Capsule corners are clear.
    EXPECT_EQ(pixel(badge, QPoint(0, 0)).alpha(), 0);

    const QSize doneSize = badge.sizeHint();
    badge.setStatus(QStringLiteral("À modifier"), StandardColor::orange);
    EXPECT_EQ(badge.accessibleName(), QStringLiteral("À modifier"));
    EXPECT_NE(badge.sizeHint().width(), doneSize.width());
}

TEST_F(ComponentsTest, PrimaryButtonClicksFromTheKeyboardAndNamesItself) {
    PrimaryButton button(QStringLiteral("Nouveau document"), QStringLiteral("plus"));
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    button.resize(button.sizeHint());
    button.show();
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(clicks, 1);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&button);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Nouveau document"));
    button.setTitle(QStringLiteral("Créer"));
    EXPECT_EQ(button.accessibleName(), QStringLiteral("Créer"));
}

TEST_F(ComponentsTest, PrimaryButtonGrowsWithItsTitleAndIsFilledBlue) {
    PrimaryButton plain(QStringLiteral("Créer"));
    // A long title grows the button instead of being cut.
    const QString longTitle = QStringLiteral("Un titre vraiment très long pour un bouton d’action principal");
    PrimaryButton wide(longTitle);
    EXPECT_GE(wide.sizeHint().width(), QFontMetrics(wide.font()).horizontalAdvance(longTitle) + 28);

    // Filled brand blue with rounded corners.
    plain.resize(plain.sizeHint());
    EXPECT_LT(colorDistance(pixel(plain, QPoint(6, plain.height() / 2)),
                            AppPalette::accentFill(AppPalette::brandBlue())),
              6);
    EXPECT_LT(pixel(plain, QPoint(0, 0)).alpha(), 128);
}

TEST_F(ComponentsTest, AppCardPaintsItsBackgroundAndShadowInEachTheme) {
    auto* label = new QLabel(QStringLiteral("Contenu"));
    label->setFixedSize(100, 40);
    AppCard card(label);
    card.resize(card.sizeHint());
    const QImage light = renderClear(card);
    const QPoint inside = card.cardRect().topLeft() + QPoint(8, 30);
    EXPECT_EQ(QColor(light.pixel(inside)).rgb(), AppPalette::cardBackground(false).rgb());
    // A faint shadow below the card, none far away from it.
    const QPoint below(card.cardRect().center().x(), card.cardRect().bottom() + 5);
    EXPECT_GT(qAlpha(light.pixel(below)), 0);
    EXPECT_EQ(qAlpha(light.pixel(0, 0)), 0);

    ThemeManager::shared().setTheme(AppTheme::dark);
    const QImage dark = renderClear(card);
    EXPECT_EQ(QColor(dark.pixel(inside)).rgb(), AppPalette::cardBackground(true).rgb());
}

// A part of a tall card painted alone (what a key in a text on it repaints) looks as in the whole card.
TEST_F(ComponentsTest, APartOfAnAppCardPaintedAloneLooksAsInTheWhole) {
    AppCard card(new QWidget);
    card.resize(320, 900);
    for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        ThemeManager::shared().setTheme(theme);
        const QImage whole = card.grab().toImage();
        for (const QRect part : {QRect(40, 300, 200, 40), QRect(0, 400, 320, 30), QRect(30, 10, 100, 50)}) {
            const QImage alone = card.grab(part).toImage();
            EXPECT_EQ(alone, whole.copy(QRect(part.topLeft() * whole.devicePixelRatio(), alone.size()))) << part.y();
        }
    }
}

// The card copies its look from one kept at a bounded height: at any size, the pixels are those its paths
// and shadow paint.
TEST_F(ComponentsTest, AnAppCardAtAnySizeLooksAsItsShapesPaintIt) {
    AppCard card(new QWidget);
    const int kept = 2 * AppCard::edgeReach + 64;
    for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        ThemeManager::shared().setTheme(theme);
        for (const int width : {300, 900})
            for (const int height : {60, kept - 1, kept, kept + 1, kept + 37, 1500}) {
                card.resize(width, height);
                QImage want(card.size(), QImage::Format_ARGB32_Premultiplied);
                want.fill(Qt::transparent);
                QPainter p(&want);
                const QRectF r = card.cardRect();
                Paint::fillRoundedRectWithShadow(p, r, AppCard::cornerRadius, AppPalette::cardBackground(),
                                                 {AppPalette::cardShadow(), 10, QPointF(0, 4)});
                Paint::strokeRoundedRect(p, r, AppCard::cornerRadius, withOpacity(AppPalette::separator(), 0.6), 1);
                p.end();
                EXPECT_EQ(renderClear(card), want.convertToFormat(QImage::Format_ARGB32)) << width << "x" << height;
            }
    }
}

namespace {

void settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// What the window shows: the pixels its repaints left, not a new painting (grab()).
QImage shown(QWidget& window) { return window.screen()->grabWindow(window.winId()).toImage(); }

// Collects the parts of one widget that get painted.
struct PaintedRegion : QObject {
    QWidget* watched;
    QRegion painted;
    explicit PaintedRegion(QWidget* w) : watched(w) { w->installEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == watched && e->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(e)->region();
        return false;
    }
};

} // namespace

// Growing or shrinking with its content, a card repaints its bottom edge and what it gained, and the window
// then shows what a whole new painting shows.
TEST_F(ComponentsTest, AResizedCardRepaintsOnlyItsBottomEdge) {
    for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        ThemeManager::shared().setTheme(theme);
        ScreenBackground window;
        window.resize(500, 700);
        // A content that keeps its painting too, as a text does.
        auto* content = new QWidget;
        keepPaintingOnResize(content);
        auto* card = new AppCard(content, &window);
        card->setGeometry(20, 20, 400, 500);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        settle();
        PaintedRegion region(card);
        for (const int change : {17, 3, -30, 120, -200}) {
            region.painted = QRegion();
            const int before = card->height();
            card->resize(card->width(), before + change);
            settle();
            const QRect r = region.painted.boundingRect();
            EXPECT_GE(r.top(), std::min(before, card->height()) - AppCard::edgeReach) << change;
            EXPECT_LE(r.height(), AppCard::edgeReach + std::max(change, 0)) << change;
            EXPECT_EQ(shown(window).convertToFormat(QImage::Format_RGB32),
                      window.grab().toImage().convertToFormat(QImage::Format_RGB32))
                << change;
        }
    }
}

TEST_F(ComponentsTest, AppCardStretchesOnlyWithItsContent) {
    QWidget column;
    auto* layout = new QVBoxLayout(&column);
    auto* snug = new AppCard(new QLabel(QStringLiteral("Court")));
    auto* inner = new QLabel(QStringLiteral("Large"));
    auto* wide = new AppCard(inner);
    layout->addWidget(snug);
    layout->addWidget(wide);
    // Set after the card was built: the card still follows.
    inner->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    column.resize(600, 400);
    column.show();
    QCoreApplication::processEvents();
    layout->activate();
    EXPECT_EQ(snug->width(), snug->sizeHint().width());
    EXPECT_EQ(wide->width(), layout->contentsRect().width());
}

TEST_F(ComponentsTest, WidgetsRepaintWhenTheAppearanceChanges) {
    StatusBadge badge(QStringLiteral("En cours"), StandardColor::blue);
    badge.resize(badge.sizeHint());
    badge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&badge));
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    badge.installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    ThemeManager::shared().setTheme(AppTheme::dark);
    QCoreApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
}

TEST(PaintKit, ShapesShadowsAndHover) {
    EXPECT_EQ(Paint::roundedRect(QRectF(0, 0, 10, 40), 99).boundingRect(), QRectF(0, 0, 10, 40));
    EXPECT_TRUE(Paint::capsule(QRectF(0, 0, 40, 10)).contains(QPointF(20, 5)));
    EXPECT_FALSE(Paint::capsule(QRectF(0, 0, 40, 10)).contains(QPointF(0.5, 0.5)));

    const QColor halfClear = Paint::mix(QColor(0, 0, 0, 0), QColor(255, 0, 0), 0.5);
    EXPECT_EQ(halfClear.red(), 255); // premultiplied: no darkening towards black
    EXPECT_NEAR(halfClear.alphaF(), 0.5, 0.01);

    // The shadow is drawn around and below its rect and fades out.
    QImage img(120, 120, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    Paint::drawShadow(p, QRectF(30, 30, 60, 60), 10, QColor(0, 0, 0, 255), 10, QPointF(0, 4));
    p.end();
    EXPECT_GT(qAlpha(img.pixel(60, 64)), 250);
    EXPECT_GT(qAlpha(img.pixel(60, 97)), qAlpha(img.pixel(60, 25)));
    EXPECT_EQ(qAlpha(img.pixel(2, 2)), 0);

    // Large shadows are stretched from a small mask: same edge and corner profile as a direct blur.
    auto shadowOf = [](QSizeF size) {
        QImage out(400, 200, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter sp(&out);
        Paint::drawShadow(sp, QRectF(QPointF(40, 40), size), 10, QColor(0, 0, 0, 255), 10);
        return out;
    };
    const QImage direct = shadowOf(QSizeF(52, 60)); // too small to stretch
    const QImage sliced = shadowOf(QSizeF(300, 120)); // stretched
    for (int d = -18; d <= 26; ++d) {
        EXPECT_NEAR(qAlpha(direct.pixel(40 + d, 70)), qAlpha(sliced.pixel(40 + d, 70)), 2) << d; // left edge
        EXPECT_NEAR(qAlpha(direct.pixel(66, 40 + d)), qAlpha(sliced.pixel(66, 40 + d)), 2) << d; // top edge
        EXPECT_NEAR(qAlpha(direct.pixel(40 + d, 40 + d)), qAlpha(sliced.pixel(40 + d, 40 + d)), 2) << d; // corner
    }
    EXPECT_EQ(qAlpha(sliced.pixel(190, 36)), qAlpha(sliced.pixel(100, 36)));

    // A wide, low shape (a section header) and a tall, narrow one are stretched along their long side
    // only: the same ends as a direct blur, and no seam along the length.
    auto headerShadow = [](QSizeF size) {
        QImage out(400, 400, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter sp(&out);
        Paint::drawShadow(sp, QRectF(QPointF(40, 40), size), 14, QColor(0, 0, 0, 255), 6, QPointF(0, 4));
        return out;
    };
    const QImage small = headerShadow(QSizeF(48, 44)); // too small to stretch either way
    const QImage narrow = headerShadow(QSizeF(44, 48));
    const QImage wide = headerShadow(QSizeF(300, 44));
    const QImage tall = headerShadow(QSizeF(44, 300));
    for (int d = -12; d <= 24; ++d) {
        for (int across = 28; across <= 98; across += 7) {
            EXPECT_NEAR(qAlpha(small.pixel(40 + d, across)), qAlpha(wide.pixel(40 + d, across)), 2)
                << d << " " << across;
            EXPECT_NEAR(qAlpha(narrow.pixel(across, 40 + d)), qAlpha(tall.pixel(across, 40 + d)), 2)
                << d << " " << across;
        }
    }
    for (int across = 28; across <= 98; ++across) {
        EXPECT_EQ(qAlpha(wide.pixel(120, across)), qAlpha(wide.pixel(260, across))) << across;
        EXPECT_EQ(qAlpha(tall.pixel(across, 120)), qAlpha(tall.pixel(across, 260))) << across;
    }
    EXPECT_GT(qAlpha(wide.pixel(190, 86)), 100) << "below the strip";

    // A shadow is as opaque as what casts it: a nearly clear fill casts a nearly clear shadow
    // instead of a grey slab seen through the fill.
    auto castBy = [](const QColor& fill) {
        QImage out(120, 120, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter cp(&out);
        Paint::fillRoundedRectWithShadow(cp, QRectF(30, 30, 60, 40), 14, fill,
                                         {QColor(0, 0, 0, 84), 10, QPointF(0, 4)});
        cp.end();
        return out;
    };
    const QImage solid = castBy(Qt::white);
    const QImage clear = castBy(QColor(255, 255, 255, 3));
    EXPECT_GT(qAlpha(solid.pixel(60, 76)), 20); // below the card
    EXPECT_LT(qAlpha(clear.pixel(60, 76)), 2);
    EXPECT_LT(qAlpha(clear.pixel(60, 50)), 6); // and through the fill
    EXPECT_EQ(Paint::castShadowColor(QColor(0, 0, 0, 200), QColor(255, 255, 255, 0)).alpha(), 0);

    QWidget w;
    HoverAnimator hover(&w, 50);
    EXPECT_DOUBLE_EQ(hover.scale(1.02), 1.0);
    hover.setHovered(true);
    EXPECT_TRUE(testsupport::waitFor([&] { return hover.progress() >= 1.0; }));
    EXPECT_DOUBLE_EQ(hover.scale(1.02), 1.02);
    hover.setHoveredImmediately(false);
    EXPECT_DOUBLE_EQ(hover.progress(), 0.0);
}
