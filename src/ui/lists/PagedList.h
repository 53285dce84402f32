#pragma once

#include "ui/KeyboardFocus.h"
#include "ui/lists/ListChrome.h"
#include "ui/lists/PagedListScreen.h"

#include <QLineEdit>

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

    void beforeBinding() final {
        // The window's focus, also while a sheet or a menu over it has the keyboard.
        m_focus = {};
        QWidget* focus = window()->focusWidget();
        for (const auto& [item, value] : m_bound) {
            if (!item->isVisible() || !(focus == item || item->isAncestorOf(focus)))
                continue;
            m_focus = {true, value, focus == item ? -1 : int(KeyboardFocus::controls(item).indexOf(focus))};
            return;
        }
    }
    void afterBinding() final {
        if (!std::exchange(m_focus.held, false))
            return;
        QWidget* target = nullptr;
        for (const auto& [item, value] : m_bound) {
            if (value != m_focus.value || !item->isVisible())
                continue;
            const QList<QWidget*> controls = KeyboardFocus::controls(item);
            target = m_focus.control >= 0 && m_focus.control < controls.size() ? controls[m_focus.control]
                                                                               : const_cast<ListItem*>(item);
        }
        // Its object gone (deleted, or out of the page): the search field.
        if (!target)
            target = searchField()->lineEdit();
        if (window()->focusWidget() != target)
            target->setFocus(Qt::OtherFocusReason);
        m_focus.value = {};
    }

    struct HeldFocus {
        bool held = false;
        T value{};
        int control = -1; // which control of the item, -1 the item itself
    };
    HeldFocus m_focus;
    std::vector<T> m_matches;
    std::vector<T> m_page;
    std::unordered_map<const ListItem*, T> m_bound; // what each item shows
    std::function<void(const T&)> m_open;
};

} // namespace lists
