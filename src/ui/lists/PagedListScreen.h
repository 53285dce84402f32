#pragma once

#include "ui/DisplayLayout.h"
#include "ui/FlowScrollArea.h"
#include "ui/lists/ListChrome.h"
#include "ui/lists/ListItem.h"

#include <QMargins>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class Preferences;

class QVBoxLayout;
class ThemeManager;

namespace lists {

// The machinery of a list screen (projects, documents, checklists): a search field, the list / grid
// switch on the shared preference "prefs.defaultLayout", the current page of the matches shown as
// reused rows (list) or cards (grid), an empty state, and an optional pager bar with its page-size
// menu. It knows nothing of the model: a concrete screen derives from it and supplies the matches
// and the item widgets through the virtual functions below.
//
// Building a screen:
//   1. Derive, pass Options to the constructor (it builds every part, nothing is placed yet).
//   2. Place the header in rootLayout() (or in pageTopLayout() for a header that scrolls with the
//      items), putting searchField() and layoutSwitch() where the screen wants them.
//   3. setEmptyState(new EmptyState(...)) and call finishLayout(): it adds the content (empty state or
//      items), the pager bar and the filler below.
//   4. Implement loadMatches(), keepPage(), makeItem() and bindItem(); call reload() when the data
//      change (a refresh token, a live query, a stamp …).
//
// Behaviour it gives every screen:
//   - The first non-spontaneous show ("appear") reloads from the first page; nothing reloads before.
//   - Every change of the search text (typed, set, or set through accessibility) returns to the first
//     page and reloads.
//   - A change of the layout preference (here or by another screen) reloads and keeps the page; the
//     list starts again at its top, the grid keeps its scroll position.
//   - Previous / next move one page when their flag allows (dimmed controls stay clickable and do
//     nothing); a page size returns to the first page (or does nothing when it is the current size
//     and Options::samePageSizeReloads is false).
//   - A reload whose page lies past the last one while matches exist shows the last page.
//   - Items are created once per position and rebound on later pages, so a reload started from an
//     item's own menu never deletes that item.
class PagedListScreen : public QWidget {
    Q_OBJECT
public:
    struct ListStyle {
        QMargins margins; // around the rows, inside the container
        int spacing = 0; // between rows
        qreal cardRadius = 0; // > 0: the rows stand on one rounded card
        bool dividers = false; // a hairline after each row
        bool trailingStretch = false; // rows keep their height at the top
        QMargins cardInset; // the card inside the container: room for the hover around it
    };
    struct GridStyle {
        int minWidth = 220;
        int maxWidth = 260; // 0: no maximum
        int spacing = 14;
        QMargins margins;
    };
    struct Options {
        QString searchPlaceholder;
        bool paged = true; // false: no pager bar, every match shown
        int pageSize = 12;
        bool totalKnownBeforeReload = false; // false: "Page 1" (no count) before the first reload
        bool samePageSizeReloads = true;
        std::function<QColor()> background; // the screen's fill, read at paint time
        QMargins contentMargins; // around the scroll area
        bool emptyInScroll = false; // the empty state scrolls with the page (under pageTopLayout)
        bool emptyFillsHeight = false; // the empty state takes the content's height
        // Unpaged: only the items near the viewport are made and bound, so a long list costs what a
        // screenful costs. Items of one height unless itemHeights; no dividers or trailing stretch.
        bool windowed = false;
        // Windowed: each row of the layout is as tall as itemHeight() says its tallest position is.
        bool itemHeights = false;
        ListStyle list;
        GridStyle grid;
    };

    ~PagedListScreen() override;

    // State.
    QString searchText() const;
    bool isSearching() const; // the trimmed search text is not empty
    DisplayLayout layout() const;
    bool isGrid() const { return layout() == DisplayLayout::grid; }
    int currentPage() const;
    int pageSize() const;
    std::optional<int> totalCount() const; // absent before the first reload (see Options)
    int shownCount() const; // items of the current page
    QString pageLabel() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    int reloadCount() const;
    int listIdentity() const; // renewed by each reload in the list layout
    bool hasAppeared() const;
    // The screen's fill; the shell paints it under its toolbar too, so the two meet without a seam.
    QColor background() const;

    // What a person does, as the controls do it.
    void setSearchText(const QString& text);
    void pickPageSize(int size);
    void goPrevious();
    void goNext();
    void reload(bool resetPage);

    // The parts (for placing them, and for tests).
    SearchField* searchField() const;
    LayoutSwitch* layoutSwitch() const;
    PagerBar* pagerBar() const; // null when not paged
    EmptyState* emptyState() const;
    FlowScrollArea* scrollArea() const;
    // The items of the page, in order, as shown in the current layout.
    QList<ListItem*> shownItems() const;

signals:
    void reloaded();

protected:
    PagedListScreen(Preferences& prefs, ThemeManager& theme, Options options, QWidget* parent);

    QVBoxLayout* rootLayout() const;
    QVBoxLayout* pageTopLayout() const;
    void setEmptyState(EmptyState* state);
    void finishLayout();

    // Recomputes the matches of `searchText` (as typed; trim as the screen needs) and returns their count.
    virtual int loadMatches(const QString& searchText) = 0;
    // Keeps the matches at positions [start, end) as the shown page.
    virtual void keepPage(int start, int end) = 0;
    // A new row (grid false) or card for position `index` of the page, parented to `host`.
    virtual ListItem* makeItem(bool grid, int index, QWidget* host) = 0;
    // Binds a reused row or card to position `index` of the page.
    virtual void bindItem(bool grid, ListItem* item, int index) = 0;
    // Around the binding of a reload: the keyboard follows the value it was on, not the reused item.
    virtual void beforeBinding() {}
    virtual void afterBinding() {}
    // With Options::itemHeights: the height the row or card of position `index` takes at `width`,
    // made or not; asked for every position, so it must be cheap.
    virtual int itemHeight(bool grid, int index, int width) const {
        (void)grid, (void)index, (void)width;
        return 0;
    }

    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace lists
