#pragma once

#include "board/BoardDrag.h"
#include "checklists/ChecklistEdits.h"
#include "core/model/Models.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <map>
#include <optional>

#include "services/Services.h"
class AddColumnTile;
class QDrag;
class CardSheet;
class BoardHeader;
class ColumnView;
class ColumnsRow;
class NewChecklistColumnSheet;
class QMenu;
class QScrollArea;
class QScrollBar;

// The board of one checklist: its header with the counts and the "Colonne" button, then its columns
// side by side in a row that scrolls sideways, each with its cards, and the tile that adds a column.
// Cards and columns move by drag and drop, and through each tile's and column handle's menu or
// Alt + arrow keys. Every change goes through ChecklistEdits.
class ChecklistDetailView : public QWidget {
    Q_OBJECT
public:
    ChecklistDetailView(const Services& services, ChecklistPtr checklist, std::function<void()> onBack,
                        QWidget* parent = nullptr);
    ~ChecklistDetailView() override;

    const ChecklistPtr& checklist() const { return m_checklist; }
    ChecklistEdits& edits() { return m_edits; }
    const Services& services() const { return m_services; }
    // The shell's way back to the checklists; nothing on the board itself calls it.
    const std::function<void()>& onBack() const { return m_onBack; }

    // ----- the card sheet (opened from a tile and from a column's "Ajouter une étape") -----
    // The board's one card sheet, made on first use.
    CardSheet* cardSheet();
    // Replaces the card sheet (tests); empty hooks go back to it.
    struct CardSheetHooks {
        std::function<void(const ChecklistCardPtr&)> openCard;
        std::function<void(const ChecklistColumnPtr&)> openNewCard;
    };
    void setCardSheetHooks(CardSheetHooks hooks) { m_cardHooks = std::move(hooks); }
    void openCard(const ChecklistCardPtr& card);
    void openNewCard(const ChecklistColumnPtr& column);

    // ----- columns: sheet and deletion -----
    void openNewColumnSheet();
    void openEditColumnSheet(const ChecklistColumnPtr& column);
    NewChecklistColumnSheet* columnSheet() const;
    // Asks "Supprimer la colonne ?"; deletes the column and its cards only on "Supprimer".
    void requestDeleteColumn(const ChecklistColumnPtr& column);
    ChecklistColumnPtr columnToDelete() const { return m_columnToDelete; }

    // ----- moves without a pointer -----
    // One place up (-1) or down (+1) within the card's column.
    void moveCardBy(const ChecklistCardPtr& card, int step);
    // To the end of the visible column `step` places to the left (-1) or right (+1).
    void moveCardToNeighbour(const ChecklistCardPtr& card, int step);
    void moveCardTo(const ChecklistCardPtr& card, const ChecklistColumnPtr& column);
    // One place left (-1) or right (+1).
    void moveColumnBy(const ChecklistColumnPtr& column, int step);
    // A tile's menu ("Ouvrir", "Monter", "Descendre", "Déplacer vers"); the caller owns it.
    QMenu* cardMenu(const ChecklistCardPtr& card);

    // ----- drag and drop -----
    const BoardDrag::Marks& marks() const { return m_marks; }
    void setMarks(const BoardDrag::Marks& marks);
    void setHoveredCard(const QUuid& card, bool entered);
    // Called by the drop targets with a drop they took: runs after the drag loop has returned.
    void queueCardDrop(const BoardDrag::CardDrop& drop);
    void queueColumnDrop(const BoardDrag::ColumnDrop& drop);
    // However a drag ends (taken, refused, cancelled): no drop mark remains.
    void dragEnded();
    // While a drag hovers near an edge of what is visible, the board scrolls that way on a timer
    // (the pointer may rest there): pixels per tick, sideways and downwards (negative: back).
    QPoint autoScrollVelocity(const QPoint& boardPos) const;
    bool isAutoScrolling() const { return m_autoScroll.isActive(); }
    static constexpr int kAutoScrollInterval = 16; // ms
    // The guessed heights of the cards out of sight are corrected this long after a change, in slices.
    static constexpr int kRefineDelayMs = 150;
    static constexpr int kRefineSliceMs = 4;
    bool isRefiningEstimates() const { return m_refine.isActive(); }
    void startCardDrag(const ChecklistCardPtr& card, QWidget* source);
    void startColumnDrag(const ChecklistColumnPtr& column, QWidget* source);
    bool isDragging() const { return m_dragging; }
    // Replaces the window system's drag loop (tests): runs `drag` and returns how it ended.
    using DragLoop = std::function<Qt::DropAction(QDrag& drag)>;
    static void setDragLoopForTesting(DragLoop loop);

    // ----- looking at it -----
    BoardHeader* header() const { return m_header; }
    std::vector<ColumnView*> columnViews() const;
    ColumnView* columnView(const QUuid& id) const;
    // Where the keyboard starts on a board opened from the keyboard: the first column's handle.
    QWidget* keyboardStart() const;
    AddColumnTile* addColumnTile() const;
    QScrollArea* columnsScroller() const { return m_columnsScroll; }
    QScrollArea* verticalScroller() const { return m_scroll; }
    // At the foot of the board while the row is wider than the window; moves with the row.
    QScrollBar* rowScrollBar() const { return m_rowBar; }
    // Whether the row's left or right edge fades, more columns lying beyond it.
    bool fadesEdge(Qt::Edge edge) const { return m_fades[edge == Qt::LeftEdge ? 0 : 1]->isVisible(); }
    // Keyboard focus on `widget`, a control or card of the row, brings it into view.
    void followFocus(QWidget* widget);
    // Re-reads the model now (it is otherwise re-read on the next turn of the event loop after a change).
    void syncNow();
    // Makes the card tiles near what the board shows (the columns within a column's width of it
    // sideways, the cards within a screen's height of it downwards), and lets go of those far from it;
    // run on every scroll and resize.
    void realizeNearView();

signals:
    void synced();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The whole board is one drop target: a board payload is taken on entering anywhere, and each
    // position then decides (a card slot, a column's zone, a column, or nothing there).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Places `card` in `column` before `before` (null: at the end), saves, and gives its tile the focus.
    void placeCard(const ChecklistCardPtr& card, const ChecklistColumnPtr& column, const ChecklistCardPtr& before);

    struct DropTarget {
        QUuid column;
        int spot = 0; // ColumnView::Spot::Region
        int slot = -1;
        std::optional<QUuid> card; // a slot's card; none for the end slot
        bool operator==(const DropTarget&) const = default;
    };
    DropTarget targetAt(const QPoint& boardPos, BoardDrag::Payload::Kind kind) const;
    void setDropTarget(const DropTarget& target); // the targeted callbacks: leave the old, enter the new
    void dragHover(const QPoint& boardPos, BoardDrag::Payload::Kind kind);
    void autoScrollTick();
    void placeRowEdges();
    // Where Tab or Shift+Tab goes from `widget` when that is a card not made yet: the next card of
    // its column, or the last card of the column before; nothing when Qt's own order has it.
    QWidget* tabTarget(QWidget* widget, bool backwards);
    void scheduleSync();
    // Applies a drop's change and shows it, leaving the view where the person was.
    void applyDrop(const std::function<void()>& action);
    void runDrop(std::function<void()> action);
    void startDrag(const BoardDrag::Payload& payload, QWidget* source);

    Services m_services;
    ChecklistPtr m_checklist;
    std::function<void()> m_onBack; // kept for the shell; nothing on the board leaves it
    ChecklistEdits m_edits;
    CardSheetHooks m_cardHooks;

    BoardDrag::Marks m_marks;
    DropTarget m_target;
    QPoint m_dragPos;
    BoardDrag::Payload::Kind m_dragKind = BoardDrag::Payload::none;
    QTimer m_autoScroll;
    // Corrects the guessed heights of cards out of sight, a slice at a time once the board is shown.
    QTimer m_refine;
    void refineEstimates();
    bool m_dragging = false;
    std::vector<std::function<void()>> m_afterDrag;
    bool m_syncQueued = false;
    bool m_realizing = false;

    QPointer<QWidget> m_columnSheet;
    CardSheet* m_cardSheet = nullptr;
    ChecklistColumnPtr m_editingColumn;
    ChecklistColumnPtr m_columnToDelete;

    QScrollArea* m_scroll = nullptr;
    QScrollArea* m_columnsScroll = nullptr;
    QScrollBar* m_rowBar = nullptr;
    QWidget* m_rowBarHolder = nullptr;
    std::array<QWidget*, 2> m_fades{}; // left, right
    BoardHeader* m_header = nullptr;
    ColumnsRow* m_row = nullptr;

    friend class ColumnView;
};
