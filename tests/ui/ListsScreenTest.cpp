#include "prefs/Preferences.h"
#include "support/Accessibility.h"
#include "support/TestServices.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/lists/AdaptiveGridLayout.h"
#include "ui/lists/Paging.h"
#include "ui/lists/PagedList.h"

#include <QAccessibleEditableTextInterface>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace lists;

namespace {

TEST(ListsPaging, PageCountLabelNextAndClamp) {
    EXPECT_EQ(pageCount(0, 12), 1);
    EXPECT_EQ(pageCount(12, 12), 1);
    EXPECT_EQ(pageCount(13, 12), 2);
    EXPECT_EQ(pageLabel(0, 12, std::nullopt), QStringLiteral("Page 1"));
    EXPECT_EQ(pageLabel(0, 12, 0), QStringLiteral("Page 1 / 1"));
    EXPECT_EQ(pageLabel(4, 12, 13), QStringLiteral("Page 2 / 2")); // never past the count
    EXPECT_FALSE(canGoNext(0, 12, 12));
    EXPECT_TRUE(canGoNext(0, 12, 13));
    // Past the end with matches: back to the last page; without matches: unchanged.
    EXPECT_EQ(clampedPage(2, 12, 24), 1);
    EXPECT_EQ(clampedPage(1, 12, 13), 1);
    EXPECT_EQ(clampedPage(3, 12, 0), 3);
    EXPECT_EQ(pageRange(1, 2, 5).start, 2);
    EXPECT_EQ(pageRange(2, 2, 5).size(), 1);
    EXPECT_EQ(pageRange(3, 2, 5).size(), 0);
    EXPECT_EQ(trimmed(QStringLiteral(" \t\n\u2028 Alpha \r\n")), QStringLiteral("Alpha"));
}

// A row showing one word.
class WordItem : public ListItem {
public:
    WordItem(ThemeManager& theme, QString word, Callbacks cb, QWidget* parent)
        : ListItem(theme, std::move(cb), parent) {
        auto* col = new QVBoxLayout(this);
        m_label = new ClampedText(Fonts::rounded(13), {}, 1, this);
        col->addWidget(m_label);
        bind(std::move(word), m_cb);
    }
    void bind(QString word, Callbacks cb) {
        m_word = std::move(word);
        rebind({}, std::move(cb));
    }
    QString word() const { return m_word; }
    void paintShadow(QPainter&, const QRect&) const override {}

private:
    void refresh() override {
        m_label->setText(m_word);
        setAccessibleTexts(m_word);
    }
    QString m_word;
    ClampedText* m_label;
};

// A list screen over plain words: matches contain the trimmed search, in order.
class WordsScreen : public PagedList<QString> {
public:
    WordsScreen(Preferences& prefs, ThemeManager& theme, Options options, std::vector<QString> list)
        : PagedList(prefs, theme, std::move(options), nullptr), words(std::move(list)) {
        auto* header = new QHBoxLayout;
        header->addWidget(searchField(), 1);
        header->addWidget(layoutSwitch());
        rootLayout()->addLayout(header);
        setEmptyState(new EmptyState({Fonts::rounded(16), Fonts::rounded(13)},
                                     {QStringLiteral("Rien"), QStringLiteral("Ajoutez un mot."),
                                      QStringLiteral("Aucun résultat"), QStringLiteral("Essayez autre chose.")},
                                     nullptr, nullptr));
        finishLayout();
    }
    QList<QString> shownWords() const {
        QList<QString> out;
        for (ListItem* item : shownItems())
            out << static_cast<WordItem*>(item)->word();
        return out;
    }

    std::vector<QString> words, opened;
    int made = 0;

protected:
    std::vector<QString> matches(const QString& text) override {
        std::vector<QString> out;
        for (const QString& w : words)
            if (w.contains(trimmed(text), Qt::CaseInsensitive))
                out.push_back(w);
        return out;
    }
    void openValue(const QString& w) override { opened.push_back(w); }
    bool hasItemActions() const override { return true; }
    void deleteValue(const QString& w) override {
        words.erase(std::find(words.begin(), words.end(), w));
        reload(false);
    }
    ListItem* itemFor(bool, const QString& word, QWidget* host) override {
        ++made;
        return new WordItem(*themePtr, word, callbacksFor(word), host);
    }
    void rebindItem(ListItem* item, const QString& word) override {
        static_cast<WordItem*>(item)->bind(word, callbacksFor(word));
    }

public:
    ThemeManager* themePtr = nullptr;
};

class ListsScreenTest : public ::testing::Test {
protected:
    WordsScreen* make(int count, PagedListScreen::Options options = {}) {
        std::vector<QString> words;
        for (int i = 0; i < count; ++i)
            words.push_back(QStringLiteral("mot %1").arg(i));
        options.searchPlaceholder = QStringLiteral("Rechercher un mot…");
        screen = std::make_unique<WordsScreen>(env.prefs(), env.theme(), options, words);
        screen->themePtr = &env.theme();
        screen->resize(800, 600);
        return screen.get();
    }
    void show() {
        screen->show();
        testsupport::flushEvents();
    }
    void TearDown() override {
        screen.reset();
        testsupport::flushEvents();
    }

    testsupport::TestServices env;
    std::unique_ptr<WordsScreen> screen;
};

TEST_F(ListsScreenTest, NothingLoadsBeforeItAppearsAndTheEmptyStateFollowsTheSearch) {
    make(0);
    EXPECT_EQ(screen->reloadCount(), 0);
    EXPECT_EQ(screen->pageLabel(), QStringLiteral("Page 1"));
    screen->setSearchText(QStringLiteral("x")); // before appearing: kept, no reload
    EXPECT_EQ(screen->reloadCount(), 0);
    show();
    EXPECT_EQ(screen->reloadCount(), 1);
    EXPECT_EQ(screen->pageLabel(), QStringLiteral("Page 1 / 1"));
    EXPECT_EQ(screen->emptyState()->title()->text(), QStringLiteral("Aucun résultat"));
    screen->setSearchText(QStringLiteral("  "));
    EXPECT_EQ(screen->emptyState()->title()->text(), QStringLiteral("Rien"));
    EXPECT_TRUE(screen->emptyState()->isVisibleTo(screen.get()));
    EXPECT_FALSE(screen->canGoNext());
    EXPECT_FALSE(screen->canGoPrevious());
}

TEST_F(ListsScreenTest, PagingSearchAndLayoutKeepOrResetThePageAndReuseItems) {
    make(30);
    show();
    EXPECT_EQ(screen->pageLabel(), QStringLiteral("Page 1 / 3"));
    EXPECT_EQ(screen->shownWords().size(), 12);
    QTest::mouseClick(screen->pagerBar()->nextButton(), Qt::LeftButton);
    QTest::mouseClick(screen->pagerBar()->nextButton(), Qt::LeftButton);
    EXPECT_EQ(screen->shownWords(), (QList<QString>{"mot 24", "mot 25", "mot 26", "mot 27", "mot 28", "mot 29"}));
    EXPECT_TRUE(screen->pagerBar()->nextButton()->isDimmed());
    QTest::mouseClick(screen->pagerBar()->nextButton(), Qt::LeftButton); // dimmed: nothing
    EXPECT_EQ(screen->currentPage(), 2);
    EXPECT_EQ(screen->made, 12); // later pages rebind the first page's rows

    // A layout change, here or from elsewhere, keeps the page.
    QTest::mouseClick(screen->layoutSwitch()->gridButton(), Qt::LeftButton);
    EXPECT_EQ(env.prefs().value(DisplayLayouts::preferenceKey).toString(), QStringLiteral("grid"));
    EXPECT_TRUE(screen->isGrid());
    EXPECT_EQ(screen->currentPage(), 2);
    EXPECT_EQ(screen->shownItems().size(), 6);
    env.prefs().setValue(DisplayLayouts::preferenceKey, QStringLiteral("anything"));
    EXPECT_FALSE(screen->isGrid());
    EXPECT_EQ(screen->layoutSwitch()->current(), DisplayLayout::list);

    // Typing returns to the first page; a page size too.
    QTest::keyClicks(screen->searchField()->lineEdit(), QStringLiteral("mot"));
    EXPECT_EQ(screen->currentPage(), 0);
    screen->goNext();
    screen->pickPageSize(24);
    EXPECT_EQ(screen->currentPage(), 0);
    EXPECT_EQ(screen->pagerBar()->sizeButton()->text(), QStringLiteral("24 / page"));
}

TEST_F(ListsScreenTest, DeletingTheLastItemsOfTheLastPageShowsThePreviousPageFromTheItemsOwnMenu) {
    make(13);
    show();
    screen->goNext();
    ASSERT_EQ(screen->shownItems().size(), 1);
    ListItem* last = screen->shownItems().front();
    // The reload runs inside the item's own callback: the item must survive it.
    last->callbacks().onDelete();
    EXPECT_EQ(screen->currentPage(), 0);
    EXPECT_EQ(screen->shownItems().size(), 12);
    EXPECT_EQ(screen->pageLabel(), QStringLiteral("Page 1 / 1"));
    EXPECT_FALSE(screen->emptyState()->isVisibleTo(screen.get()));
}

TEST_F(ListsScreenTest, SamePageSizeCanBeIgnoredAndAnUnpagedScreenShowsEveryMatch) {
    PagedListScreen::Options paged;
    paged.samePageSizeReloads = false;
    paged.totalKnownBeforeReload = true;
    make(5, paged);
    EXPECT_EQ(screen->pageLabel(), QStringLiteral("Page 1 / 1"));
    show();
    const int reloads = screen->reloadCount();
    screen->pickPageSize(12);
    EXPECT_EQ(screen->reloadCount(), reloads);

    PagedListScreen::Options unpaged;
    unpaged.paged = false;
    make(40, unpaged);
    show();
    EXPECT_EQ(screen->pagerBar(), nullptr);
    EXPECT_EQ(screen->shownItems().size(), 40);
    EXPECT_FALSE(screen->canGoNext());
}

TEST_F(ListsScreenTest, AScreenReaderReadsAndOperatesEveryPart) {
    make(3);
    show();
    EXPECT_EQ(testsupport::unnamedAccessibleElements(screen.get()), QStringList());
    const QStringList names = testsupport::accessibleNames(screen.get());
    for (const char* text : {"Rechercher un mot…", "Liste", "Grille", "Page précédente", "Page suivante", "Page 1 / 1",
                             "12 / page", "mot 0", "mot 2"})
        EXPECT_TRUE(names.contains(QString::fromUtf8(text))) << text;

    // Each row is one item named by its word; pressing it opens it.
    QAccessibleInterface* row =
        testsupport::findAccessible(screen.get(), QStringLiteral("mot 1"), QAccessible::ListItem);
    ASSERT_TRUE(row);
    EXPECT_TRUE(testsupport::pressAccessible(row));
    EXPECT_EQ(screen->opened, (std::vector<QString>{QStringLiteral("mot 1")}));

    // Toggling "Grille" is stored like a click; toggling the current layout off changes nothing.
    QAccessibleInterface* grid = testsupport::findAccessible(screen.get(), QStringLiteral("Grille"));
    ASSERT_TRUE(grid);
    EXPECT_TRUE(testsupport::pressAccessible(grid));
    EXPECT_EQ(env.prefs().value(DisplayLayouts::preferenceKey).toString(), QStringLiteral("grid"));
    EXPECT_TRUE(grid->state().checked);
    EXPECT_TRUE(testsupport::pressAccessible(grid));
    EXPECT_TRUE(screen->isGrid());
    EXPECT_TRUE(grid->state().checked);

    // Text set through the accessibility interface searches like typing.
    QAccessibleInterface* field =
        testsupport::findAccessible(screen.get(), QStringLiteral("Rechercher un mot…"), QAccessible::EditableText);
    ASSERT_TRUE(field && field->editableTextInterface());
    field->editableTextInterface()->insertText(0, QStringLiteral("2"));
    EXPECT_EQ(screen->shownWords(), (QList<QString>{"mot 2"}));
}

TEST_F(ListsScreenTest, TheSearchPlaceholderFollowsTheAppearance) {
    make(1);
    show();
    QLineEdit* field = screen->searchField()->lineEdit();
    for (AppTheme theme : {AppTheme::dark, AppTheme::light}) {
        ThemeManager::shared().setTheme(theme);
        testsupport::flushEvents();
        const bool dark = theme == AppTheme::dark;
        EXPECT_EQ(field->palette().color(QPalette::PlaceholderText), AppPalette::secondaryText(dark)) << dark;
        EXPECT_EQ(field->palette().color(QPalette::Text), AppPalette::primaryText(dark)) << dark;
    }
    ThemeManager::shared().setTheme(AppTheme::system);
}

TEST_F(ListsScreenTest, ALongTextClampedToLinesShowsOnlyThoseLinesAndABlankOneIsNotRead) {
    ClampedText twoLines(Fonts::rounded(12), {}, 2);
    const QString huge = QString(QStringLiteral("mot ")).repeated(25000);
    twoLines.setText(huge);
    const QStringList lines = twoLines.visibleLines(300);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.last().endsWith(QChar(0x2026)));
    EXPECT_EQ(twoLines.heightForWidth(300), 2 * int(std::ceil(QFontMetricsF(Fonts::rounded(12)).lineSpacing())));
    ClampedText oneLine(Fonts::rounded(12), {}, 1);
    oneLine.setText(QString(100000, QLatin1Char('x')));
    ASSERT_EQ(oneLine.visibleLines(200).size(), 1);
    EXPECT_TRUE(oneLine.visibleLines(200).front().endsWith(QChar(0x2026)));
    EXPECT_LE(QFontMetrics(Fonts::rounded(12)).horizontalAdvance(oneLine.visibleLines(200).front()), 200);

    // Without a limit, a long text is broken at spaces (a word longer than a line anywhere), loses
    // nothing, and no line is wider than the width.
    ClampedText free(Fonts::rounded(14, 600), {}, 0);
    const QString text =
        QStringLiteral("Nom très long ").repeated(300) + QLatin1Char('\n') + QString(3000, QLatin1Char('x'));
    free.setText(text);
    const QStringList all = free.visibleLines(300);
    EXPECT_EQ(all.join(QString()), QString(text).remove(QLatin1Char('\n')));
    const QFontMetricsF fm(Fonts::rounded(14, 600));
    int words = 0;
    for (const QString& line : all) {
        EXPECT_LE(fm.horizontalAdvance(line.trimmed()), 300.5) << line.toStdString();
        if (line.startsWith(QLatin1String("Nom")))
            ++words;
    }
    EXPECT_GT(words, 20); // word lines start at a word
    EXPECT_EQ(free.heightForWidth(300), int(std::ceil(fm.lineSpacing() * all.size())));

    // Texts shown by several widgets share their shaping: each still measures in its own font, and one
    // given back an earlier text shows it again.
    ClampedText small(Fonts::rounded(12), {}, 1), large(Fonts::rounded(20, 700), {}, 1);
    small.setText(QStringLiteral("Projet partagé"));
    large.setText(QStringLiteral("Projet partagé"));
    EXPECT_LT(small.sizeHint().width(), large.sizeHint().width());
    EXPECT_NEAR(small.sizeHint().width(),
                QFontMetrics(Fonts::rounded(12)).horizontalAdvance(QStringLiteral("Projet partagé")) + 2, 1);
    small.setText(QStringLiteral("Autre projet, bien plus long que le premier"));
    EXPECT_EQ(small.visibleLines(2000), QStringList{QStringLiteral("Autre projet, bien plus long que le premier")});
    small.setText(QStringLiteral("Projet partagé"));
    EXPECT_EQ(small.visibleLines(2000), QStringList{QStringLiteral("Projet partagé")});
    EXPECT_LT(small.sizeHint().width(), large.sizeHint().width());

    QWidget host;
    auto* blank = new ClampedText(Fonts::rounded(12), {}, 1, &host);
    blank->setText(QStringLiteral(" "));
    auto* shown = new ClampedText(Fonts::rounded(12), {}, 1, &host);
    shown->setText(QStringLiteral("Bonjour"));
    host.show();
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(blank)->state().invisible);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(shown)->role(), QAccessible::StaticText);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Name), QStringLiteral("Bonjour"));
}

} // namespace

namespace {

// The items of one grid row share the tallest one's height; the next row keeps its own. A label
// standing leadingOffset() in lines up with the first column of the centred grid.
TEST(AdaptiveGrid, ItemsOfARowShareItsHeightAndTheFirstColumnCanBeFound) {
    QWidget host;
    auto* grid = new AdaptiveGridLayout(220, 260, 14, &host);
    std::vector<QWidget*> items;
    for (int h : {50, 80, 60, 40}) {
        auto* w = new QWidget(&host);
        w->setMinimumHeight(h);
        grid->addWidget(w);
        items.push_back(w);
    }
    host.resize(3 * 260 + 2 * 14 + 100, 600); // three columns of 260, 50 to spare on each side
    grid->setGeometry(host.rect());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(items[size_t(i)]->height(), 80) << i;
    EXPECT_EQ(items[3]->height(), 40);
    EXPECT_EQ(grid->leadingOffset(host.width()), 50);
    EXPECT_EQ(items[0]->x(), 50);
}

// With nothing to show, the pager stays at the bottom of the screen, under the empty state's room.
TEST_F(ListsScreenTest, ThePagerStaysAtTheBottomWhenThePageIsEmpty) {
    make(3);
    show();
    QWidget* pager = screen->pagerBar();
    ASSERT_TRUE(pager);
    const int bottomWithItems = pager->geometry().bottom();
    screen->setSearchText(QStringLiteral("aucun mot ainsi"));
    testsupport::flushEvents();
    ASSERT_EQ(screen->shownCount(), 0);
    EXPECT_EQ(pager->geometry().bottom(), screen->height() - 1);
    EXPECT_EQ(pager->geometry().bottom(), bottomWithItems);
}

} // namespace
