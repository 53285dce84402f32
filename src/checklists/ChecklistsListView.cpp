#include "checklists/ChecklistsListView.h"

#include "checklists/ChecklistItems.h"
#include "ui/Boxes.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/lists/Paging.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

using namespace checklistsui;

namespace {

// The empty state stands on a card of its own, like the header.
class CardEmptyState : public lists::EmptyState {
public:
    using EmptyState::EmptyState;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        // Inside the shadow's side margins, and the content's spacing below.
        const QMargins m = AppCard::shadowMargins();
        const QRectF r = QRectF(rect()).adjusted(m.left(), 0, -m.right(), -14);
        Paint::drawShadow(p, r, AppCard::cornerRadius, AppPalette::cardShadow(), 10, QPointF(0, 4));
        Paint::fillRoundedRect(p, r, AppCard::cornerRadius, AppPalette::cardBackground());
        Paint::strokeRoundedRect(p, r, AppCard::cornerRadius, withOpacity(AppPalette::separator(), 0.6));
    }
};

lists::PagedListScreen::Options options() {
    lists::PagedListScreen::Options o;
    o.searchPlaceholder = QStringLiteral("Rechercher…");
    // One list of every checklist: this screen has no pager.
    o.paged = false;
    o.windowed = true;
    // A long name takes more lines: rows and cards are as tall as their texts.
    o.itemHeights = true;
    o.background = [] { return AppPalette::screenBackground(); };
    // The page's padding of 24 is measured to the cards' edges; their shadows reach into it.
    const QMargins s = AppCard::shadowMargins();
    o.contentMargins = {24 - s.left(), 0, 24 - s.right(), 0};
    o.emptyInScroll = true;
    o.list.spacing = 10;
    o.list.margins = {s.left(), 0, s.right(), 10};
    o.grid = {220, 260, 14, {s.left(), 0, s.right(), 10}};
    return o;
}

} // namespace

ChecklistsListView::ChecklistsListView(const Services& services, std::function<void()> onCreateChecklist,
                                       std::function<void(const ChecklistPtr&)> onOpenChecklist, QWidget* parent)
    : PagedListScreen(services.prefs, services.theme, options(), parent),
      m_services(services),
      m_onCreateChecklist(std::move(onCreateChecklist)),
      m_onOpenChecklist(std::move(onOpenChecklist)) {
    auto create = [this] {
        if (m_onCreateChecklist)
            m_onCreateChecklist();
    };

    // The header card: title and subtitle, then the search field, the layout switch and "Nouvelle".
    auto* header = new QWidget;
    auto* row = Boxes::row(header, 12, QMargins());
    auto* titles = Boxes::column(nullptr, 6);
    auto* title = new lists::ClampedText(
        Fonts::rounded(20, 600), [] { return AppPalette::primaryText(); }, 0, header);
    title->setText(QStringLiteral("Checklists"));
    // The title stays whole; the search field gives way first.
    title->setMinimumWidth(QFontMetrics(Fonts::rounded(20, 600)).horizontalAdvance(title->text()) + 2);
    // Wraps when the window is narrow: it gives way to the search field, not to an ellipsis.
    auto* subtitle = new lists::ClampedText(
        Fonts::rounded(13), [] { return AppPalette::secondaryText(); }, 0, header);
    subtitle->setText(QStringLiteral("Créez des checklists globales ou liées à un projet."));
    subtitle->setSizePolicy(QSizePolicy::Ignored, subtitle->sizePolicy().verticalPolicy());
    titles->addWidget(title);
    titles->addWidget(subtitle);
    row->addLayout(titles, 1);
    auto* tools = Boxes::row(nullptr, 10);
    // 260 wide; only a window too narrow for it and a whole title makes it narrower (the subtitle gives way first).
    searchField()->setMinimumWidth(140);
    searchField()->setMaximumWidth(260);
    searchField()->setPreferredWidth(260);
    searchField()->setSizePolicy(QSizePolicy::Preferred, searchField()->sizePolicy().verticalPolicy());
    // A plain field on the screen's colour, with the outline that fields draw for contrast.
    searchField()->setPlain([] { return withOpacity(AppPalette::screenBackground(), 0.75); });
    tools->addWidget(searchField());
    tools->addWidget(layoutSwitch());
    m_newButton = new PrimaryButton(QStringLiteral("Nouvelle"), QStringLiteral("plus"), header);
    connect(m_newButton, &QAbstractButton::clicked, this, create);
    tools->addWidget(m_newButton);
    row->addLayout(tools);
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* card = new AppCard(header);
    // The card's shadow margin lies outside the page's padding.
    const QMargins s = AppCard::shadowMargins();
    pageTopLayout()->setContentsMargins(0, 24 - s.top(), 0, 14 - s.bottom());
    pageTopLayout()->addWidget(card);

    lists::EmptyState::Style style;
    style.titleFont = Fonts::rounded(14, 600);
    style.messageFont = Fonts::rounded(13);
    style.margins = {AppCard::padding + AppCard::shadowMargins().left(), AppCard::padding,
                     AppCard::padding + AppCard::shadowMargins().right(), AppCard::padding + 14};
    style.spacing = 8;
    style.centred = false;
    style.buttonTopGap = 6;
    auto* createButton = new PrimaryButton(QStringLiteral("Créer une checklist"), QStringLiteral("plus"));
    connect(createButton, &QAbstractButton::clicked, this, create);
    const QString emptyTitle = QStringLiteral("Aucune checklist");
    const QString emptyMessage = QStringLiteral("Créez votre première checklist pour organiser vos étapes.");
    // A search without result shows the same texts.
    setEmptyState(
        new CardEmptyState(style, {emptyTitle, emptyMessage, emptyTitle, emptyMessage}, nullptr, createButton));
    finishLayout();
    // Tab follows the screen: search, the layout switch, then "Nouvelle" (set once every part has its
    // final parent: moving a widget into another moves it in the chain too).
    QWidget::setTabOrder(searchField()->lineEdit(), layoutSwitch()->listButton());
    QWidget::setTabOrder(layoutSwitch()->listButton(), layoutSwitch()->gridButton());
    QWidget::setTabOrder(layoutSwitch()->gridButton(), m_newButton);

    // The live query: a checklist created, changed or stamped elsewhere reloads the screen, once per turn.
    m_query =
        std::make_unique<LiveQuery<Checklist>>(services.context,
                                               SortDescriptor<Checklist>(&Checklist::updatedAt, SortOrder::reverse),
                                               this);
    auto* pending = new QTimer(this);
    pending->setSingleShot(true);
    pending->setInterval(0);
    connect(pending, &QTimer::timeout, this, [this] {
        if (hasAppeared())
            reload(false);
    });
    connect(m_query.get(), &LiveQueryBase::changed, pending, qOverload<>(&QTimer::start));
}

ChecklistsListView::~ChecklistsListView() = default;

std::vector<ChecklistPtr> ChecklistsListView::visibleChecklists(const std::vector<ChecklistPtr>& all,
                                                                const QString& searchText) {
    const bool searching = !lists::trimmed(searchText).isEmpty();
    std::vector<ChecklistPtr> out;
    out.reserve(all.size());
    for (const ChecklistPtr& c : all) {
        if (c->deletedAt())
            continue;
        // The text as typed (blanks count), any case; accents count.
        if (searching && !c->name().contains(searchText, Qt::CaseInsensitive))
            continue;
        out.push_back(c);
    }
    return out;
}

int ChecklistsListView::loadMatches(const QString& searchText) {
    m_matches = visibleChecklists(m_query->results(), searchText);
    return int(m_matches.size());
}

void ChecklistsListView::keepPage(int start, int end) {
    m_page.assign(m_matches.begin() + start, m_matches.begin() + end);
    m_matches.clear();
}

lists::ListItem::Callbacks ChecklistsListView::callbacksFor(const ChecklistPtr& checklist) {
    return {[this, checklist] {
                if (m_onOpenChecklist)
                    m_onOpenChecklist(checklist);
            },
            {},
            {}};
}

lists::ListItem* ChecklistsListView::makeItem(bool grid, int index, QWidget* host) {
    const ChecklistPtr& c = m_page[size_t(index)];
    if (grid)
        return new ChecklistCardGrid(m_services.theme, c, callbacksFor(c), host);
    return new ChecklistRow(m_services.theme, c, callbacksFor(c), host);
}

void ChecklistsListView::bindItem(bool, lists::ListItem* item, int index) {
    const ChecklistPtr& c = m_page[size_t(index)];
    static_cast<ChecklistEntry*>(item)->bind(c, callbacksFor(c));
}

int ChecklistsListView::measure(bool grid, const ChecklistPtr& checklist, int width) const {
    auto& item = m_measuring[grid];
    if (!item) {
        if (grid)
            item = std::make_unique<ChecklistCardGrid>(m_services.theme, checklist, lists::ListItem::Callbacks{});
        else
            item = std::make_unique<ChecklistRow>(m_services.theme, checklist, lists::ListItem::Callbacks{});
    } else {
        static_cast<ChecklistEntry*>(item.get())->bind(checklist, {});
    }
    // Never shown, its texts tell no layout of their change: the layouts' kept heights go by hand.
    for (QLayout* l : item->findChildren<QLayout*>())
        l->invalidate();
    return std::max(item->heightForWidth(width), item->minimumHeight());
}

int ChecklistsListView::itemHeight(bool grid, int index, int width) const {
    const ChecklistPtr& c = m_page[size_t(index)];
    // Most texts show whole on one line (a card's title on one or two): every such item is as tall as a
    // stand-in of the same lines, measured once per width. The others are laid out one by one.
    const int lines = grid ? ChecklistCardGrid::titleLines(*c, width) : int(ChecklistRow::fitsOneLine(*c, width));
    if (lines == 0)
        return measure(grid, c, width);
    auto& kept = m_kept[grid][lines - 1];
    if (kept.first != width) {
        ChecklistPtr& standIn = m_standIns[lines - 1];
        if (!standIn)
            standIn = std::make_shared<Checklist>(
                ChecklistFields{.name = lines == 1 ? QStringLiteral("x") : QStringLiteral("mm ").repeated(200)});
        kept = {width, measure(grid, standIn, width)};
    }
    return kept.second;
}
