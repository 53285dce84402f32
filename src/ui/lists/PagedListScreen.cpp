#include "ui/lists/PagedListScreen.h"

#include "prefs/Preferences.h"
#include "ui/FlowScrollArea.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/lists/AdaptiveGridLayout.h"
#include "ui/lists/Paging.h"

#include <QApplication>
#include <QLineEdit>
#include <QToolButton>
#include <QPainter>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <vector>

namespace lists {

namespace {

// The rows or the cards of the page, created once per position and rebound afterwards.
struct Pool {
    bool grid = false;
    ShadowHost* host = nullptr;
    QVBoxLayout* listLayout = nullptr; // rows
    AdaptiveGridLayout* gridLayout = nullptr; // cards
    std::vector<ListItem*> items;
    std::vector<QWidget*> dividers;
    size_t shown = 0;
    int first = 0; // windowed: the position of items[0]
};

} // namespace

struct PagedListScreen::Private {
    PagedListScreen* q = nullptr;
    Preferences& prefs;
    ThemeManager& theme;
    Options options;

    QString searchText;
    QString layoutRaw;
    int pageSize = 12;
    int currentPage = 0;
    std::optional<int> totalCount;
    int shown = 0;
    int reloads = 0;
    int listIdentity = 0;
    bool appeared = false;

    QVBoxLayout* root = nullptr;
    QVBoxLayout* pageTop = nullptr;
    QVBoxLayout* pageLayout = nullptr;
    SearchField* search = nullptr;
    LayoutSwitch* layoutSwitch = nullptr;
    PagerBar* pager = nullptr;
    EmptyState* empty = nullptr;
    QWidget* contentBox = nullptr;
    FlowScrollArea* scroll = nullptr;
    QWidget* bottomFill = nullptr;
    Pool rows, cards;

    Private(Preferences& p, ThemeManager& t, Options o) : prefs(p), theme(t), options(std::move(o)) {}

    DisplayLayout layout() const { return DisplayLayouts::fromStored(layoutRaw); }
    void updateChrome();
    void showItems();
    void fill(Pool& pool, Pool& other, size_t n, bool keepHost = false);
    std::pair<int, int> window(Pool& pool) const;
    void updateWindow();
};

PagedListScreen::PagedListScreen(Preferences& prefs, ThemeManager& theme, Options options, QWidget* parent)
    : QWidget(parent), d(std::make_unique<Private>(prefs, theme, std::move(options))) {
    d->q = this;
    d->pageSize = d->options.pageSize;
    if (d->options.totalKnownBeforeReload)
        d->totalCount = 0;
    d->layoutRaw = prefs.value(DisplayLayouts::preferenceKey, QStringLiteral("list")).toString();

    d->root = new QVBoxLayout(this);
    d->root->setContentsMargins(0, 0, 0, 0);
    d->root->setSpacing(0);

    d->search = new SearchField(d->options.searchPlaceholder, this);
    d->search->lineEdit()->setObjectName(QStringLiteral("searchField"));
    d->layoutSwitch = new LayoutSwitch(this);
    d->layoutSwitch->setObjectName(QStringLiteral("layoutSwitch"));
    if (d->options.paged) {
        d->pager = new PagerBar(this);
        d->pager->setObjectName(QStringLiteral("pagerBar"));
    }

    // The scrolled page: an optional header, the empty state when it scrolls too, rows, cards.
    d->contentBox = new QWidget(this);
    auto* contentLayout = new QVBoxLayout(d->contentBox);
    contentLayout->setContentsMargins(d->options.contentMargins);
    contentLayout->setSpacing(0);
    // Measures the page once per change, at the viewport's width (a QScrollArea lays every row's text out
    // at several widths after each keystroke of the search).
    d->scroll = new FlowScrollArea(d->contentBox);
    d->scroll->setObjectName(QStringLiteral("contentScroll"));
    d->scroll->setFrameShape(QFrame::NoFrame);
    // A stop on the way with nothing to show: Tab goes from the header to the items.
    d->scroll->setFocusPolicy(Qt::NoFocus);
    d->scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d->scroll->viewport()->setAutoFillBackground(false);
    d->scroll->setAutoFillBackground(false);
    contentLayout->addWidget(d->scroll);
    auto* page = new QWidget;
    d->pageLayout = new QVBoxLayout(page);
    d->pageLayout->setContentsMargins(0, 0, 0, 0);
    d->pageLayout->setSpacing(0);
    d->pageTop = new QVBoxLayout;
    d->pageTop->setContentsMargins(0, 0, 0, 0);
    d->pageLayout->addLayout(d->pageTop);

    const ListStyle& ls = d->options.list;
    d->rows.host = new ShadowHost(page);
    d->rows.host->setObjectName(QStringLiteral("listHost"));
    if (ls.cardRadius > 0)
        d->rows.host->setBackground(
            ls.cardRadius, [] { return AppPalette::cardBackground(); },
            [] { return withOpacity(AppPalette::separator(), 0.25); }, ls.cardInset);
    if (d->options.windowed) {
        // One column: a grid whose cells are never narrower than the page.
        d->rows.gridLayout = new AdaptiveGridLayout(1 << 20, 0, ls.spacing, d->rows.host);
        d->rows.gridLayout->setContentsMargins(ls.margins);
    } else {
        d->rows.listLayout = new QVBoxLayout(d->rows.host);
        d->rows.listLayout->setContentsMargins(ls.margins);
        d->rows.listLayout->setSpacing(ls.spacing);
        if (ls.trailingStretch)
            d->rows.listLayout->addStretch(1);
    }

    const GridStyle& gs = d->options.grid;
    d->cards.grid = true;
    d->cards.host = new ShadowHost(page);
    d->cards.host->setObjectName(QStringLiteral("gridHost"));
    d->cards.gridLayout = new AdaptiveGridLayout(gs.minWidth, gs.maxWidth, gs.spacing, d->cards.host);
    d->cards.gridLayout->setContentsMargins(gs.margins);
    d->rows.host->hide();
    d->cards.host->hide();
    d->pageLayout->addWidget(d->rows.host);
    d->pageLayout->addWidget(d->cards.host);
    d->pageLayout->addStretch(1);
    d->scroll->setWidget(page);
    page->setAutoFillBackground(false); // the scroll area turns it on

    if (d->options.windowed && d->options.itemHeights) {
        d->rows.gridLayout->setHeightOf([this](int p, int w) { return itemHeight(false, p, w); });
        d->cards.gridLayout->setHeightOf([this](int p, int w) { return itemHeight(true, p, w); });
    }
    if (d->options.windowed) {
        connect(d->scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { d->updateWindow(); });
        d->scroll->viewport()->installEventFilter(this);
    }

    d->bottomFill = new QWidget(this);
    d->bottomFill->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    connect(d->search, &SearchField::textChanged, this, [this](const QString& text) {
        d->searchText = text;
        if (d->appeared)
            reload(true);
        else
            d->updateChrome();
    });
    connect(d->layoutSwitch, &LayoutSwitch::picked, this, [this](DisplayLayout layout) {
        d->prefs.setValue(DisplayLayouts::preferenceKey, DisplayLayouts::rawValue(layout));
    });
    connect(&prefs, &Preferences::changed, this, [this](const QString& key) {
        if (key != QLatin1String(DisplayLayouts::preferenceKey))
            return;
        const QString raw = d->prefs.value(key, QStringLiteral("list")).toString();
        if (raw == d->layoutRaw)
            return;
        d->layoutRaw = raw;
        if (d->appeared)
            reload(false);
        else
            d->updateChrome();
    });
    if (d->pager) {
        connect(d->pager, &PagerBar::previousClicked, this, &PagedListScreen::goPrevious);
        connect(d->pager, &PagerBar::nextClicked, this, &PagedListScreen::goNext);
        connect(d->pager, &PagerBar::pageSizePicked, this, &PagedListScreen::pickPageSize);
    }
    connect(&theme, &ThemeManager::appearanceChanged, this, [this] { update(); });
}

PagedListScreen::~PagedListScreen() = default;

QVBoxLayout* PagedListScreen::rootLayout() const { return d->root; }
QVBoxLayout* PagedListScreen::pageTopLayout() const { return d->pageTop; }

void PagedListScreen::setEmptyState(EmptyState* state) {
    d->empty = state;
    if (d->options.emptyInScroll) {
        state->setParent(d->scroll->widget());
        d->pageLayout->insertWidget(1, state, d->options.emptyFillsHeight ? 1 : 0);
    } else {
        state->setParent(this);
    }
}

void PagedListScreen::finishLayout() {
    if (d->empty && !d->options.emptyInScroll)
        d->root->addWidget(d->empty, d->options.emptyFillsHeight ? 1 : 0);
    d->root->addWidget(d->contentBox, 1);
    // The filler takes the room of the hidden items, so the pager stays at the bottom when the page is empty.
    d->root->addWidget(d->bottomFill, 1);
    if (d->pager)
        d->root->addWidget(d->pager);
    d->updateChrome();
    if (d->empty && d->pager) {
        // The empty state's button reads before the pager at the foot: Tab reaches it first.
        QWidget* last = nullptr;
        for (QWidget* w : d->empty->findChildren<QWidget*>())
            if (w->focusPolicy() & Qt::TabFocus)
                last = w;
        if (last) {
            QWidget::setTabOrder(last, d->pager->previousButton());
            QWidget::setTabOrder(d->pager->previousButton(), d->pager->nextButton());
            QWidget::setTabOrder(d->pager->nextButton(), d->pager->sizeButton());
        }
    }
    if (d->empty)
        d->empty->show();
    d->contentBox->setVisible(d->options.emptyInScroll);
    d->bottomFill->setVisible(!d->options.emptyFillsHeight && !d->options.emptyInScroll);
}

QString PagedListScreen::searchText() const { return d->searchText; }
bool PagedListScreen::isSearching() const { return !trimmed(d->searchText).isEmpty(); }
DisplayLayout PagedListScreen::layout() const { return d->layout(); }
int PagedListScreen::currentPage() const { return d->currentPage; }
int PagedListScreen::pageSize() const { return d->pageSize; }
std::optional<int> PagedListScreen::totalCount() const { return d->totalCount; }
int PagedListScreen::shownCount() const { return d->shown; }
QString PagedListScreen::pageLabel() const { return lists::pageLabel(d->currentPage, d->pageSize, d->totalCount); }
bool PagedListScreen::canGoNext() const {
    if (!d->options.paged)
        return false;
    if (!d->totalCount)
        return d->shown == d->pageSize;
    return lists::canGoNext(d->currentPage, d->pageSize, *d->totalCount);
}
bool PagedListScreen::canGoPrevious() const { return d->options.paged && d->currentPage > 0; }
int PagedListScreen::reloadCount() const { return d->reloads; }
int PagedListScreen::listIdentity() const { return d->listIdentity; }
bool PagedListScreen::hasAppeared() const { return d->appeared; }

SearchField* PagedListScreen::searchField() const { return d->search; }
LayoutSwitch* PagedListScreen::layoutSwitch() const { return d->layoutSwitch; }
PagerBar* PagedListScreen::pagerBar() const { return d->pager; }
EmptyState* PagedListScreen::emptyState() const { return d->empty; }
FlowScrollArea* PagedListScreen::scrollArea() const { return d->scroll; }

QList<ListItem*> PagedListScreen::shownItems() const {
    const Pool& pool = isGrid() ? d->cards : d->rows;
    QList<ListItem*> out;
    for (size_t i = 0; i < std::min(pool.shown, pool.items.size()); ++i)
        out << pool.items[i];
    return out;
}

void PagedListScreen::setSearchText(const QString& text) { d->search->lineEdit()->setText(text); }

void PagedListScreen::pickPageSize(int size) {
    if (size == d->pageSize && !d->options.samePageSizeReloads)
        return;
    d->pageSize = size;
    reload(true);
}

void PagedListScreen::goPrevious() {
    if (!canGoPrevious())
        return;
    --d->currentPage;
    reload(false);
}

void PagedListScreen::goNext() {
    if (!canGoNext())
        return;
    ++d->currentPage;
    reload(false);
}

void PagedListScreen::reload(bool resetPage) {
    if (resetPage)
        d->currentPage = 0;
    ++d->reloads;
    if (!isGrid())
        ++d->listIdentity;
    const int total = loadMatches(d->searchText);
    d->totalCount = total;
    PageRange range{0, total};
    if (d->options.paged) {
        // A page left past the end (its last items deleted) moves back to the last page that has some.
        d->currentPage = clampedPage(d->currentPage, d->pageSize, total);
        range = pageRange(d->currentPage, d->pageSize, total);
    }
    beforeBinding();
    keepPage(range.start, range.end);
    d->shown = range.size();
    d->showItems();
    afterBinding();
    d->updateChrome();
    emit reloaded();
}

void PagedListScreen::Private::updateChrome() {
    layoutSwitch->setCurrent(layout());
    if (pager)
        pager->setState(q->pageLabel(), q->canGoPrevious(), q->canGoNext(), pageSize);
    if (empty)
        empty->setSearching(q->isSearching());
}

void PagedListScreen::Private::showItems() {
    const bool isEmpty = shown == 0;
    if (empty)
        empty->setVisible(isEmpty);
    if (options.emptyInScroll) {
        contentBox->show();
    } else {
        contentBox->setVisible(!isEmpty);
        bottomFill->setVisible(isEmpty && !options.emptyFillsHeight);
    }
    if (isEmpty) {
        rows.host->hide();
        cards.host->hide();
        return;
    }
    const int keepScroll = scroll->verticalScrollBar()->value();
    const bool grid = layout() == DisplayLayout::grid;
    if (options.windowed) {
        Pool& pool = grid ? cards : rows;
        if (!grid)
            scroll->verticalScrollBar()->setValue(0);
        // New values: their heights are asked again.
        pool.gridLayout->heightsChanged();
        const auto [start, end] = window(pool);
        pool.first = start;
        pool.gridLayout->setWindow(start, shown);
        fill(pool, grid ? rows : cards, size_t(end - start));
        if (grid)
            scroll->verticalScrollBar()->setValue(keepScroll);
    } else if (grid) {
        fill(cards, rows, size_t(shown));
        // The grid keeps its scroll position.
        scroll->verticalScrollBar()->setValue(keepScroll);
    } else {
        fill(rows, cards, size_t(shown));
        // A new list identity: it starts again at its top.
        scroll->verticalScrollBar()->setValue(0);
    }
}

std::pair<int, int> PagedListScreen::Private::window(Pool& pool) const {
    // The viewport in the host's coordinates, a screenful more on each side for smooth scrolling.
    const QWidget* page = scroll->widget();
    const int top = -(page->y() + pool.host->y());
    const int h = scroll->viewport()->height();
    return pool.gridLayout->positionsMeeting(shown, scroll->viewport()->width(), top - h, top + 2 * h, 1, 40);
}

void PagedListScreen::Private::updateWindow() {
    if (!appeared || shown == 0)
        return;
    Pool& pool = layout() == DisplayLayout::grid ? cards : rows;
    if (!pool.host->isVisibleTo(q))
        return;
    const auto [start, end] = window(pool);
    if (start == pool.first && size_t(end - start) == pool.shown)
        return;
    // The focused item keeps showing the same value: focus follows its position into the new window.
    int focused = -1;
    for (size_t i = 0; i < pool.shown && i < pool.items.size(); ++i)
        if (pool.items[i]->isAncestorOf(QApplication::focusWidget()) || pool.items[i]->hasFocus())
            focused = pool.first + int(i);
    pool.first = start;
    pool.gridLayout->setWindow(start, shown);
    fill(pool, layout() == DisplayLayout::grid ? rows : cards, size_t(end - start), true);
    if (focused >= start && focused < end)
        pool.items[size_t(focused - start)]->setFocus(Qt::OtherFocusReason);
}

bool PagedListScreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == d->scroll->viewport())
        d->updateWindow();
    return QWidget::eventFilter(watched, event);
}

void PagedListScreen::Private::fill(Pool& pool, Pool& other, size_t n, bool keepHost) {
    // Showing a child lays out every visible ancestor at once: change the set of shown items while
    // their host is hidden, so the page is laid out once.
    other.host->hide();
    if (!keepHost && (pool.shown != n || !pool.host->isVisibleTo(q)))
        pool.host->hide();
    // The host paints what the items cast outside their rectangles: items leaving or joining change it.
    if (pool.shown != n)
        pool.host->update();
    pool.shown = n;
    for (size_t i = 0; i < n; ++i) {
        const int index = pool.first + int(i);
        if (i == pool.items.size()) {
            ListItem* item = q->makeItem(pool.grid, index, pool.host);
            pool.items.push_back(item);
            if (pool.gridLayout) {
                pool.gridLayout->addWidget(item);
            } else {
                // Before the trailing stretch, when there is one.
                const int at = options.list.trailingStretch ? pool.listLayout->count() - 1 : pool.listLayout->count();
                pool.listLayout->insertWidget(at, item);
                if (options.list.dividers) {
                    auto* divider = new Divider([] { return withOpacity(AppPalette::separator(), 0.25); }, pool.host);
                    pool.listLayout->insertWidget(at + 1, divider);
                    pool.dividers.push_back(divider);
                }
            }
        } else {
            q->bindItem(pool.grid, pool.items[i], index);
        }
        pool.items[i]->show();
        if (i < pool.dividers.size())
            pool.dividers[i]->show();
    }
    for (size_t i = n; i < pool.items.size(); ++i) {
        pool.items[i]->hide();
        if (i < pool.dividers.size())
            pool.dividers[i]->hide();
    }
    pool.host->show();
    // The pager was made before the items: Tab reaches it after them.
    if (pager && n > 0) {
        QWidget* last = pool.items[n - 1];
        for (QWidget* w : last->findChildren<QWidget*>())
            if (w->focusPolicy() & Qt::TabFocus)
                last = w;
        QWidget::setTabOrder(last, pager->previousButton());
        QWidget::setTabOrder(pager->previousButton(), pager->nextButton());
        QWidget::setTabOrder(pager->nextButton(), pager->sizeButton());
    }
}

void PagedListScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    d->appeared = true;
    reload(true);
}

QColor PagedListScreen::background() const {
    return d->options.background ? d->options.background() : AppPalette::screenBackground();
}

void PagedListScreen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background());
}

} // namespace lists
