#pragma once

#include "board/BoardDrag.h"
#include "core/model/Models.h"

#include <QAbstractButton>
#include <QColor>
#include <QDeadlineTimer>
#include <QHash>
#include <QWidget>

#include <optional>
#include <vector>

class CardTile;
class ChecklistDetailView;
class ElidedText;
class PillLabel;
class PrimaryButton;
class QLabel;
class QMenu;
class SoftButton;
class SymbolButton;

// The board's header card: name, project line, counts pill and the "Colonne" button.
class BoardHeader : public QWidget {
    Q_OBJECT
public:
    BoardHeader(ChecklistDetailView* board, QWidget* parent = nullptr);
    void sync();
    QString nameText() const;
    QString projectText() const;
    QString countsText() const;
    PrimaryButton* columnButton() const { return m_button; }
    ElidedText* nameLabel() const { return m_name; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ChecklistDetailView* m_board;
    ElidedText* m_name;
    ElidedText* m_project;
    PillLabel* m_counts;
    PrimaryButton* m_button;
};

// One column of the board, 360 wide: header (symbol tile, name, count line, badge, menu, handle),
// "Ajouter une étape", then its cards with a drop slot in front of each and one at the end, and a
// drop zone below; an empty column shows a hint instead of the cards. The column lays its children
// out itself, so that a growing slot moves only what is below it.
// A card's tile is made when the card comes near the view (`realize`), gets the focus or is asked
// for (`ensureTile`); until then its place has the height its texts are reckoned to take, and the
// slots, the drop targets and the keyboard moves work from the cards and those places.
class ColumnView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 360;

    ColumnView(ChecklistColumnPtr column, ChecklistDetailView* board, QWidget* parent = nullptr);

    const ChecklistColumnPtr& column() const { return m_column; }
    QUuid columnId() const { return m_id; }
    QColor displayColor() const { return m_color; }

    // Re-reads the column and its visible cards, reusing the tiles of cards still there.
    void sync();
    // Redraws the slots and outline from the board's marks.
    void marksChanged();

    // The tiles made so far, in the cards' order.
    const std::vector<CardTile*>& tiles() const { return m_tiles; }
    // The card's tile if made; `ensureTile` makes it.
    CardTile* tile(const QUuid& card) const;
    CardTile* ensureTile(const QUuid& card);
    // Makes the tiles of the cards whose places reach into [top, bottom] (this widget's
    // coordinates); whether any was made.
    bool realize(int top, int bottom);
    // Lets go of the tiles of cards whose places lie wholly outside [top, bottom], but for the one
    // with the focus or the pointer; their places keep the tiles' heights.
    void release(int top, int bottom);
    // Replaces guessed heights of cards without a tile by estimates until `deadline`; whether some remain.
    bool refineEstimates(const QDeadlineTimer& deadline);
    int cardCount() const { return int(m_entries.size()); }
    ChecklistCardPtr card(const QUuid& id) const;
    // Where the card's tile stands, or will stand, in this widget.
    QRect cardGeometry(const QUuid& id) const;
    // The card `step` places after (negative: before) `card` in this column, if any.
    std::optional<QUuid> cardBeside(const QUuid& card, int step) const;
    QString nameText() const;
    QString countText() const;
    QString badgeText() const;
    bool showsEmptyText() const;
    // The drop slots (n + 1 for n cards, none when empty) and the drop zone, in this widget.
    std::vector<QRect> slotRects() const { return m_slots; }
    QRect zoneRect() const { return m_zone; }
    QRect cardRect() const;
    bool isReorderTarget() const;

    // The drop target at `pos` (in this widget): a slot, the drop zone, or elsewhere on the column's
    // card its reorder target; nothing outside the card. What each takes is the drop's business.
    struct Spot {
        enum Region { none, slot, zone, reorder };
        Region region = none;
        int index = -1; // of the slot
        bool operator==(const Spot&) const = default;
    };
    Spot spotAt(const QPoint& pos) const;
    // The card in front of which slot `slot` stands; nothing for the end slot.
    std::optional<QUuid> slotCard(int slot) const;

    QMenu* menu() const { return m_menu; } // "Modifier", "Supprimer"
    QMenu* moveMenu() const { return m_moveMenu; } // "Déplacer à gauche", "Déplacer à droite"
    SymbolButton* menuButton() const { return m_menuButton; }
    SymbolButton* handle() const { return m_handle; }
    SoftButton* addCardButton() const { return m_addCard; }
    ElidedText* nameLabel() const { return m_name; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // One card: its tile once made, else the height its tile is reckoned to take.
    struct Entry {
        ChecklistCardPtr card;
        QUuid id;
        CardTile* tile = nullptr;
        QString title; // what the estimate was made from
        OptText notes;
        int estimate = 0;
        bool guessed = false; // from the texts' lengths only (CardTile::guessHeight)
    };
    void relayout();
    void updateTexts();
    CardTile* makeTile(size_t index);
    void collectTiles();

    ChecklistDetailView* m_board;
    ChecklistColumnPtr m_column;
    QUuid m_id;
    QColor m_color;
    std::vector<Entry> m_entries;
    QHash<QUuid, size_t> m_index; // card id -> entry
    std::vector<QRect> m_places; // of each entry's tile, made or not
    std::vector<CardTile*> m_tiles;

    ElidedText* m_name;
    QLabel* m_count;
    PillLabel* m_badge;
    SymbolButton* m_menuButton;
    SymbolButton* m_handle;
    SoftButton* m_addCard;
    QLabel* m_empty;
    QMenu* m_menu;
    QMenu* m_moveMenu;

    QRect m_iconTile;
    int m_dividerY = 0;
    std::vector<QRect> m_slots;
    QRect m_zone;
    int m_height = 0; // to the card's foot, marked slot included
    int m_widgetHeight = 0;
    bool m_outlined = false;
};

// The trailing "Ajouter une colonne" tile: a click opens the column sheet for a new column.
class AddColumnTile : public QAbstractButton {
    Q_OBJECT
public:
    explicit AddColumnTile(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

// The row of columns then the add-column tile, top-aligned, 14 apart, 2 in from each end (plus
// `sideInset`, so that the row can scroll up to the edges of the window).
class ColumnsRow : public QWidget {
    Q_OBJECT
public:
    ColumnsRow(ChecklistDetailView* board, QWidget* parent = nullptr);
    // Matches the board's visible columns, reusing the views of columns still there.
    void sync();
    const std::vector<ColumnView*>& columns() const { return m_columns; }
    AddColumnTile* addTile() const { return m_add; }
    // The column whose card, or half of a gap on either side of it, lies at `x`; beyond the ends
    // (the row's insets, the add-column tile) the first or the last when `nearest`, else none.
    ColumnView* columnAt(int x, bool nearest) const;
    void setSideInset(int inset);
    void relayout();
    QSize sizeHint() const override;

private:
    ChecklistDetailView* m_board;
    std::vector<ColumnView*> m_columns;
    AddColumnTile* m_add;
    QSize m_size;
    int m_sideInset = 0;
};
