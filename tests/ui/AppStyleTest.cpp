#include "ui/AppStyle.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/lists/ListChrome.h"
#include "ui/lists/ListWidgets.h"
#include "ui/Components.h"
#include "support/TestSupport.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOption>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class AppStyleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ThemeManager::shared().setTheme(AppTheme::light);
        applyAppearance();
    }
    void TearDown() override { ThemeManager::shared().setTheme(AppTheme::system); }
};

QImage renderClear(QWidget& w) {
    QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    return img.convertToFormat(QImage::Format_ARGB32);
}

void flushEvents() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

int paintedPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qAlpha(img.pixel(x, y)) > 0;
    return n;
}

} // namespace

TEST_F(AppStyleTest, FieldsAreRoundedWithRoomInside) {
    QLineEdit field(QStringLiteral("Ada"));
    field.resize(200, field.sizeHint().height());
    EXPECT_GE(field.sizeHint().height(), TolmekStyle::controlHeight);

    QStyleOptionFrame opt;
    opt.initFrom(&field);
    opt.lineWidth = 1;
    opt.rect = field.rect();
    const QRect text = field.style()->subElementRect(QStyle::SE_LineEditContents, &opt, &field);
    EXPECT_GE(text.left(), 8); // the field's own 2-pixel margin comes on top

    const QImage img = renderClear(field);
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0) << "square corner";
    EXPECT_GT(qAlpha(img.pixel(field.width() / 2, 0)), 0) << "no border";
    EXPECT_EQ(qAlpha(img.pixel(field.width() / 2, field.height() / 2)), 255) << "no fill";

    // A frameless field (the search fields) draws nothing behind its text and keeps no padding.
    QLineEdit bare;
    bare.setFrame(false);
    bare.resize(200, 24);
    EXPECT_EQ(qAlpha(renderClear(bare).pixel(3, 12)), 0);
    opt.lineWidth = 0;
    EXPECT_EQ(bare.style()->subElementRect(QStyle::SE_LineEditContents, &opt, &bare), opt.rect);

    // A framed text editor keeps its text clear of the rounded corners.
    QPlainTextEdit notes;
    notes.resize(200, 80);
    notes.show();
    EXPECT_GE(notes.viewport()->geometry().left(), 6);
}

TEST_F(AppStyleTest, ButtonsAndComboBoxesHaveRoomAroundTheirText) {
    QPushButton remove(QStringLiteral("Supprimer"));
    const int textWidth = remove.fontMetrics().horizontalAdvance(remove.text());
    EXPECT_GE(remove.sizeHint().height(), TolmekStyle::controlHeight);
    EXPECT_GE(remove.sizeHint().width(), textWidth + 2 * TolmekStyle::buttonPaddingH);
    // A short title still makes a comfortable target.
    QPushButton ok(QStringLiteral("OK"));
    EXPECT_GE(ok.sizeHint().width(), TolmekStyle::buttonMinWidth);

    QComboBox themes;
    for (const char* t : {"Système", "Clair", "Sombre"})
        themes.addItem(QString::fromUtf8(t));
    themes.resize(180, themes.sizeHint().height());
    EXPECT_GE(themes.sizeHint().height(), TolmekStyle::controlHeight);
    QStyleOptionComboBox opt;
    opt.initFrom(&themes);
    opt.rect = themes.rect();
    const QRect label =
        themes.style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, &themes);
    const QRect arrow = themes.style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxArrow, &themes);
    EXPECT_GE(label.left(), 8);
    EXPECT_LE(label.right(), arrow.left());
    EXPECT_EQ(arrow.right(), themes.rect().right());
}

TEST_F(AppStyleTest, ScrollBarsAreThinFloatOverTheContentAndHaveNoArrows) {
    QScrollArea area;
    area.setFrameShape(QFrame::NoFrame);
    area.setWidgetResizable(true);
    auto* content = new QWidget;
    content->setMinimumHeight(600);
    area.setWidget(content);
    area.resize(300, 200);
    area.show();
    flushEvents();
    QScrollBar* bar = area.verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    // The content keeps the full width: its right edge lines up with what is above and below it.
    EXPECT_EQ(area.viewport()->width(), area.width());
    EXPECT_EQ(content->width(), area.width());
    EXPECT_EQ(bar->width(), TolmekStyle::scrollBarExtent);

    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = Qt::Vertical;
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.pageStep = bar->pageStep();
    opt.sliderPosition = bar->maximum();
    opt.rect = bar->rect();
    for (auto sub : {QStyle::SC_ScrollBarAddLine, QStyle::SC_ScrollBarSubLine})
        EXPECT_TRUE(bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, sub, bar).isEmpty());
    const QRect slider = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar);
    EXPECT_NEAR(slider.bottom(), bar->rect().bottom() - 2, 1); // at the end of the range
    EXPECT_NEAR(slider.height(), (bar->height() - 4) * 200 / 600, 3);

    // At rest with the pointer elsewhere, the bar leaves the content uncovered; a scroll shows it.
    bar->setProperty("_tolmek_scrollbar_shown", QVariant());
    area.setAttribute(Qt::WA_UnderMouse, false);
    EXPECT_EQ(paintedPixels(renderClear(*bar)), 0);
    bar->setValue(300);
    const QImage shown = renderClear(*bar);
    EXPECT_GT(paintedPixels(shown), 50);
    // The thumb is a thin line at the far edge, not a full-width bar.
    EXPECT_EQ(qAlpha(shown.pixel(1, bar->height() / 2)), 0);
}

TEST_F(AppStyleTest, AlertsHaveABoldTitleNoIconAndRoomForTheMessage) {
    DialogSeam::Message m;
    m.icon = QMessageBox::Warning;
    m.text = QStringLiteral("Quitter Tolmek ?");
    m.informativeText = QStringLiteral("Toute modification non enregistrée sera perdue.");
    m.buttons = {{QStringLiteral("Annuler"), QMessageBox::RejectRole},
                 {QStringLiteral("Quitter"), QMessageBox::DestructiveRole}};
    QList<QAbstractButton*> buttons;
    std::unique_ptr<QMessageBox> box(DialogSeam::makeBox(nullptr, m, buttons));
    box->show();
    flushEvents();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("Annuler"));
    // Beside a destructive choice that was not made the default, Return cancels.
    EXPECT_EQ(box->defaultButton(), buttons[0]);
    EXPECT_GE(box->width(), DialogSeam::alertMinimumWidth);
    EXPECT_TRUE(box->iconPixmap().isNull());
    auto* title = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* detail = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_TRUE(title && detail);
    EXPECT_GE(title->font().weight(), QFont::Bold);
    EXPECT_LT(detail->font().weight(), QFont::DemiBold);
    EXPECT_LT(title->geometry().bottom(), detail->geometry().top());
    // The message reads on one line, or two at most, never word by word.
    EXPECT_LE(detail->height(), 2 * detail->fontMetrics().lineSpacing() + 4);
    // No empty icon column: the texts stand as far from the left edge as the buttons from the right.
    int buttonsRight = 0;
    for (QAbstractButton* b : buttons)
        buttonsRight = std::max(buttonsRight, b->mapTo(box.get(), QPoint(b->width() - 1, 0)).x());
    const int right = box->width() - 1 - buttonsRight;
    EXPECT_NEAR(title->geometry().left(), right, 1);
    EXPECT_EQ(detail->geometry().left(), title->geometry().left());
    // No bitmap icon, even for Qt's own message boxes.
    EXPECT_TRUE(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning).isNull());
}

TEST_F(AppStyleTest, StyledFieldsFollowTheNewPaletteWhenTheThemeChanges) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* search = new QLineEdit;
    search->setPlaceholderText(QStringLiteral("Rechercher un projet…"));
    search->setFrame(false);
    search->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; padding: 0; }"));
    layout->addWidget(search);
    window.show();
    flushEvents();
    const QColor lightPlaceholder = search->palette().color(QPalette::PlaceholderText);
    ThemeManager::shared().setTheme(AppTheme::dark);
    flushEvents();
    const QColor darkPlaceholder = search->palette().color(QPalette::PlaceholderText);
    EXPECT_NE(darkPlaceholder, lightPlaceholder);
    EXPECT_EQ(darkPlaceholder, QApplication::palette().color(QPalette::PlaceholderText));
    EXPECT_EQ(search->palette().color(QPalette::Text), QApplication::palette().color(QPalette::Text));
}

// One focus look per kind of control, reaching 3:1 against what is around it: the fields' outline against
// the window and the field's fill, a button's ring against the window and the gap inside it.
TEST_F(AppStyleTest, EveryFocusIndicatorReadsAgainstWhatIsAroundItInBothThemes) {
    for (const bool dark : {false, true}) {
        ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
        applyAppearance();
        QWidget window;
        window.setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(20, 20, 20, 20);
        auto* field = new QLineEdit;
        auto* search = new lists::SearchField(QStringLiteral("Rechercher"));
        auto* plain = new QPushButton(QStringLiteral("Annuler"));
        auto* byDefault = new QPushButton(QStringLiteral("Créer"));
        byDefault->setDefault(true);
        auto* primary = new PrimaryButton(QStringLiteral("Créer un document"), QStringLiteral("plus"));
        const std::pair<const char*, QWidget*> controls[] = {{"field", field},
                                                             {"search field", search->lineEdit()},
                                                             {"button", plain},
                                                             {"default button", byDefault},
                                                             {"primary button", primary}};
        for (const auto& [name, control] : controls)
            layout->addWidget(control == search->lineEdit() ? search : control, 0, Qt::AlignLeft);
        for (const auto& [name, control] : controls) {
            const testsupport::FocusContrast c =
                testsupport::focusRingContrast(control, control == search->lineEdit() ? search : nullptr);
            EXPECT_GE(c.outside, Contrast::largeText) << (dark ? "dark " : "light ") << name;
            EXPECT_GE(c.inside, Contrast::largeText) << (dark ? "dark " : "light ") << name;
        }
    }
}

TEST(MenuPlacement, BelowItsButtonAndInsideTheWindow) {
    const QRect window(100, 50, 800, 600); // x 100..899, y 50..649
    struct Case {
        const char* what;
        QRect anchor;
        QSize menu;
        QPoint expected;
    };
    const Case cases[] = {
        {"room everywhere: below, left edges aligned", {200, 100, 30, 28}, {180, 90}, {200, 130}},
        {"near the right edge: right edges aligned", {850, 60, 30, 28}, {180, 90}, {880 - 180, 90}},
        {"wider than the space left of the button's right edge: at the window's left",
         {150, 60, 30, 28},
         {900, 90},
         {100, 90}},
        {"near the bottom: above the button", {200, 600, 30, 28}, {180, 90}, {200, 600 - 3 - 90}},
        {"too tall for either side: below", {200, 300, 30, 28}, {180, 500}, {200, 330}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Menus::placeBelow(c.menu, c.anchor, window), c.expected) << c.what;
}

TEST_F(AppStyleTest, DestructiveButtonsAndMenuEntriesAreRed) {
    QPushButton button(QStringLiteral("Supprimer"));
    TolmekStyle::setDestructive(&button);
    button.resize(button.sizeHint());
    const QImage image = button.grab().toImage();
    // Some text pixel is the danger red: clearly more red than green or blue.
    bool red = false;
    for (int y = 0; y < image.height() && !red; ++y)
        for (int x = 0; x < image.width() && !red; ++x) {
            const QColor c = image.pixelColor(x, y);
            red = c.red() > 120 && c.red() - c.green() > 60 && c.red() - c.blue() > 50;
        }
    EXPECT_TRUE(red);

    // The alerts' destructive buttons get the mark.
    DialogSeam::Message m;
    m.text = QStringLiteral("Quitter Tolmek ?");
    m.buttons = {{QStringLiteral("Quitter"), QMessageBox::DestructiveRole},
                 {QStringLiteral("Annuler"), QMessageBox::RejectRole}};
    QList<QAbstractButton*> buttons;
    std::unique_ptr<QMessageBox> box(DialogSeam::makeBox(nullptr, m, buttons));
    EXPECT_TRUE(TolmekStyle::isDestructive(buttons[0]));
    EXPECT_FALSE(TolmekStyle::isDestructive(buttons[1]));
}

TEST_F(AppStyleTest, FileDialogKindsReadInFrench) {
    DialogSeam::installFileDialogTranslations();
    DialogSeam::installFileDialogTranslations(); // once is enough, twice does no harm
    QAbstractFileIconProvider provider;
    const QTemporaryDir dir;
    EXPECT_EQ(provider.type(QFileInfo(dir.path())), QStringLiteral("Dossier"));
    // Other contexts are left to Qt's own catalogue.
    EXPECT_EQ(QCoreApplication::translate("Nowhere", "Folder"), QStringLiteral("Folder"));
}

TEST_F(AppStyleTest, TheApplicationsStandardWidgetsUseOurStyleAndTheInterfaceFont) {
    const QFont before = QApplication::font();
    TolmekStyle::installOnApplication();
    EXPECT_TRUE(qobject_cast<TolmekStyle*>(QApplication::style()));
    EXPECT_EQ(QApplication::font().family(), Fonts::system(13).family());
    EXPECT_EQ(QApplication::font().pixelSize(), 13);
    QPushButton button(QStringLiteral("Annuler"));
    EXPECT_EQ(button.font().family(), Fonts::system(13).family());
    QApplication::setFont(before);
}

TEST_F(AppStyleTest, AButtonsMenuOpensBelowItInsideTheWindow) {
    QWidget window;
    window.setGeometry(100, 100, 400, 300);
    auto* button = new QToolButton(&window);
    button->setText(QStringLiteral("Compte"));
    button->setGeometry(360, 10, 30, 28); // at the window's right edge
    button->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(button);
    menu->addAction(QStringLiteral("Profil (bientôt)"));
    menu->addAction(QStringLiteral("Déconnexion (bientôt)"));
    button->setMenu(menu);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QRect shown;
    QTimer::singleShot(0, menu, [&] {
        shown = menu->geometry();
        menu->close();
    });
    button->showMenu();
    ASSERT_TRUE(shown.isValid());
    const QRect windowGlobal(window.mapToGlobal(QPoint(0, 0)), window.size());
    const QRect buttonGlobal(button->mapToGlobal(QPoint(0, 0)), button->size());
    EXPECT_LE(shown.right(), windowGlobal.right());
    EXPECT_EQ(shown.right(), buttonGlobal.right()); // right edges aligned
    EXPECT_GT(shown.top(), buttonGlobal.bottom());
    EXPECT_LE(shown.top(), buttonGlobal.bottom() + 4);
}

namespace {
// The first column of `band` that holds ink: a pixel clearly darker than the band's right end.
int firstInk(const QImage& img, const QRect& band) {
    const int paper = qGray(img.pixel(band.right() - 2, band.center().y()));
    for (int x = band.left(); x <= band.right(); ++x)
        for (int y = band.top(); y <= band.bottom(); ++y)
            if (paper - qGray(img.pixel(x, y)) > 80)
                return x;
    return -1;
}
} // namespace

TEST_F(AppStyleTest, EveryMenuAlignsItsEntriesLeft) {
    QMenu texts;
    texts.addAction(QStringLiteral("Modifier"));
    texts.addSeparator();
    TolmekStyle::setDestructive(texts.addAction(QStringLiteral("Supprimer")));
    QMenu icons;
    icons.addAction(Symbols::icon(QStringLiteral("arrow.up"), Qt::black, 16), QStringLiteral("Déplacer vers le haut"));
    icons.addAction(Symbols::icon(QStringLiteral("trash"), Qt::black, 16), QStringLiteral("Supprimer"));
    auto grabbed = [](QMenu& m) {
        m.ensurePolished();
        m.resize(m.sizeHint());
        return m.grab().toImage();
    };
    const QImage textImage = grabbed(texts);
    const QImage iconImage = grabbed(icons);
    const int textStart = firstInk(textImage, texts.actionGeometry(texts.actions().first()));
    const int iconStart = firstInk(iconImage, icons.actionGeometry(icons.actions().first()));
    ASSERT_GT(textStart, 0);
    ASSERT_GT(iconStart, 0);
    // A menu of texts keeps no empty column: its texts start where another menu's icons do.
    EXPECT_NEAR(textStart, iconStart, 3);
    const int end = textImage.width() - 1 - texts.actionGeometry(texts.actions().first()).left();
    EXPECT_LT(textStart, end / 4);
    EXPECT_NEAR(firstInk(textImage, texts.actionGeometry(texts.actions().last())), textStart, 2);

    // The rows' "…" menu, whose "Supprimer" is a widget of its own, lines up the same way.
    lists::EllipsisButton button(QSize(28, 28), 14, -1);
    QMenu* rowMenu = button.ensureMenu();
    const QImage rowImage = grabbed(*rowMenu);
    const int editStart = firstInk(rowImage, rowMenu->actionGeometry(rowMenu->actions().first()));
    EXPECT_NEAR(editStart, textStart, 2);
    EXPECT_NEAR(firstInk(rowImage, rowMenu->actionGeometry(rowMenu->actions().last())), editStart, 2);
}

// A menu's icons take their entry's text colour whatever colour they were drawn in: the text's on the menu,
// the destructive red on a destructive entry, the highlighted text's on the highlight; in both themes.
TEST_F(AppStyleTest, MenuIconsFollowTheirTextsColourInEveryState) {
    QList<int> iconStart; // found in light, where both icons show before and after
    for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        ThemeManager::shared().setTheme(theme);
        applyAppearance();
        QMenu menu;
        // Drawn in the other theme's colours, as an icon made before a theme change is.
        menu.addAction(Symbols::icon(QStringLiteral("plus.square.on.square"), QColor(29, 29, 31), 16),
                       QStringLiteral("Dupliquer"));
        QAction* remove = menu.addAction(Symbols::icon(QStringLiteral("trash"), QColor(0xBF, 0x29, 0x36), 16),
                                         QStringLiteral("Supprimer"));
        TolmekStyle::setDestructive(remove);
        menu.ensurePolished();
        menu.resize(menu.sizeHint());
        for (QAction* highlighted : {static_cast<QAction*>(nullptr), menu.actions().first(), remove}) {
            menu.setActiveAction(highlighted);
            const QImage img = menu.grab().toImage();
            for (int i = 0; i < menu.actions().size(); ++i) {
                QAction* a = menu.actions()[i];
                const QRect band = menu.actionGeometry(a);
                const QColor paper = img.pixelColor(band.right() - 8, band.center().y());
                if (iconStart.size() <= i)
                    iconStart << firstInk(img, band);
                // The strongest pixel of the icon (its first 18 columns) and of the text after it.
                auto ink = [&](int from, int to) {
                    QColor best = paper;
                    for (int x = from; x < to; ++x)
                        for (int y = band.top() + 3; y <= band.bottom() - 3; ++y) // inside the highlight
                            if (Contrast::ratio(img.pixelColor(x, y), paper) > Contrast::ratio(best, paper))
                                best = img.pixelColor(x, y);
                    return best;
                };
                const QColor icon = ink(iconStart[i], iconStart[i] + 18);
                const QColor text = ink(iconStart[i] + 22, band.right() - 10);
                const std::string what = std::string(theme == AppTheme::dark ? "dark " : "light ") +
                    a->text().toStdString() + (a == highlighted ? " highlighted" : "");
                EXPECT_GE(Contrast::ratio(icon, paper), Contrast::largeText) << what;
                // A thin icon covers no pixel whole: its ink lies between the menu and the text's colour.
                const int channels[3][3] = {{paper.red(), text.red(), icon.red()},
                                            {paper.green(), text.green(), icon.green()},
                                            {paper.blue(), text.blue(), icon.blue()}};
                const auto* main = std::max_element(std::begin(channels), std::end(channels), [](auto& l, auto& r) {
                    return std::abs(l[1] - l[0]) < std::abs(r[1] - r[0]);
                });
                const double k = double((*main)[2] - (*main)[0]) / ((*main)[1] - (*main)[0]);
                int off = 0;
                for (const auto& c : channels)
                    off += std::abs(c[2] - int(std::lround(c[0] + k * (c[1] - c[0]))));
                EXPECT_TRUE(k > 0.6 && off <= 30) << what << ": icon " << icon.name().toStdString() << ", text "
                                                  << text.name().toStdString() << " on " << paper.name().toStdString();
            }
        }
    }
    // A menu whose icons carry their own colours keeps them.
    QMenu languages;
    TolmekStyle::setKeepsIconColours(&languages);
    languages.addAction(Symbols::icon(QStringLiteral("terminal.fill"), QColor(0, 200, 0), 16), QStringLiteral("Bash"));
    languages.resize(languages.sizeHint());
    const QImage img = languages.grab().toImage();
    bool green = false;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            green = green || img.pixelColor(x, y) == QColor(0, 200, 0);
    EXPECT_TRUE(green);
}
