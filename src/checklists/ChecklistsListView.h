#pragma once

#include "core/model/Models.h"
#include "services/Services.h"
#include "ui/lists/PagedListScreen.h"

#include <functional>
#include <memory>
#include <vector>

class PrimaryButton;

// The "Checklists" screen: every checklist not marked deleted, most recently updated first, searched
// by name, as rows with their counters or as cards. Creating and opening are handed back to the shell.
class ChecklistsListView : public lists::PagedListScreen {
    Q_OBJECT
public:
    ChecklistsListView(const Services& services, std::function<void()> onCreateChecklist,
                       std::function<void(const ChecklistPtr&)> onOpenChecklist, QWidget* parent = nullptr);
    ~ChecklistsListView() override;

    // Visible (no deletion date) and, for a search that is not blank once trimmed, named with the
    // search text as typed, ignoring case; in the given order.
    static std::vector<ChecklistPtr> visibleChecklists(const std::vector<ChecklistPtr>& all, const QString& searchText);

    const std::vector<ChecklistPtr>& pageChecklists() const { return m_page; }
    PrimaryButton* newButton() const { return m_newButton; }

protected:
    int loadMatches(const QString& searchText) override;
    void keepPage(int start, int end) override;
    lists::ListItem* makeItem(bool grid, int index, QWidget* host) override;
    void bindItem(bool grid, lists::ListItem* item, int index) override;
    int itemHeight(bool grid, int index, int width) const override;

private:
    lists::ListItem::Callbacks callbacksFor(const ChecklistPtr& checklist);
    // The height of the row or card of `checklist` at `width`, laid out by an item kept for measuring.
    int measure(bool grid, const ChecklistPtr& checklist, int width) const;

    Services m_services;
    std::function<void()> m_onCreateChecklist;
    std::function<void(const ChecklistPtr&)> m_onOpenChecklist;
    std::unique_ptr<LiveQuery<Checklist>> m_query;
    std::vector<ChecklistPtr> m_matches;
    std::vector<ChecklistPtr> m_page;
    PrimaryButton* m_newButton = nullptr;
    // Measuring: a hidden row and card, stand-ins for texts of one line (and, on a card, of two), and
    // the height each of those takes at the last width asked.
    mutable std::unique_ptr<lists::ListItem> m_measuring[2];
    mutable ChecklistPtr m_standIns[2];
    mutable std::pair<int, int> m_kept[2][2] = {{{-1, 0}, {-1, 0}}, {{-1, 0}, {-1, 0}}};
};
