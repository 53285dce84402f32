#pragma once

#include "ui/lists/PagedListScreen.h"

#include <functional>
#include <unordered_map>
#include <vector>

namespace lists {

// A PagedListScreen over values of T (object references): the screen says which values match the
// search, and makes or rebinds the row or card of one value; keeping the page is done here.
template <class T>
class PagedList : public PagedListScreen {
public:
    // The values of the shown page, in order.
    const std::vector<T>& page() const { return m_page; }

protected:
    using PagedListScreen::PagedListScreen;

    // Every value that matches `searchText` (as typed), in display order.
    virtual std::vector<T> matches(const QString& searchText) = 0;
    // A new row (grid false) or card showing `value`, parented to `host`.
    virtual ListItem* itemFor(bool grid, const T& value, QWidget* host) = 0;
    // Shows `value` in a reused row or card.
    virtual void rebindItem(ListItem* item, const T& value) = 0;

    // What a click does with a value: the router's callback given here, unless openValue() says otherwise.
    void setOpenHandler(std::function<void(const T&)> open) { m_open = std::move(open); }
    // What a click, "Modifier" and "Supprimer" do with a value. A screen whose items offer no menu
    // leaves hasItemActions() false, and its items get no edit or delete callback.
    virtual void openValue(const T& value) {
        if (m_open)
            m_open(value);
    }
    virtual bool hasItemActions() const { return false; }
    virtual void editValue(const T&) {}
    virtual void deleteValue(const T&) {}
    // The callbacks of the row or card of `value`. Safe from inside an item's own menu: items are
    // rebound, never destroyed, by a reload.
    ListItem::Callbacks callbacksFor(const T& value) {
        ListItem::Callbacks cb;
        cb.onOpen = [this, value] { openValue(value); };
        if (hasItemActions()) {
            cb.onEdit = [this, value] { editValue(value); };
            cb.onDelete = [this, value] { deleteValue(value); };
        }
        return cb;
    }

private:
    int loadMatches(const QString& searchText) final {
        m_matches = matches(searchText);
        return int(m_matches.size());
    }
    void keepPage(int start, int end) final {
        m_page.assign(m_matches.begin() + start, m_matches.begin() + end);
        m_matches = {};
    }
    ListItem* makeItem(bool grid, int index, QWidget* host) final {
        ListItem* item = itemFor(grid, m_page[size_t(index)], host);
        m_bound[item] = m_page[size_t(index)];
        return item;
    }
    void bindItem(bool, ListItem* item, int index) final {
        // An item already showing the value follows its changes: typing on in the search keeps most
        // of the page, and rebinding it would lay out and paint it again for nothing.
        T& bound = m_bound[item];
        if (bound == m_page[size_t(index)])
            return;
        bound = m_page[size_t(index)];
        rebindItem(item, bound);
    }

    std::vector<T> m_matches;
    std::vector<T> m_page;
    std::unordered_map<const ListItem*, T> m_bound; // what each item shows
    std::function<void(const T&)> m_open;
};

} // namespace lists
