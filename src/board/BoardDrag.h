#pragma once

// Drag and drop on the board, without widgets: what a drag carries, how a drop is read, the marks
// that the drop targets leave in the board's state while a drag hovers them, and what each drop
// target takes or refuses.
//
// A drag carries one plain-text item, "card:" or "col:" followed by the upper-case 36-character id,
// and the bare id under a private MIME type that our own targets read first.

#include "core/model/Models.h"

#include <QString>
#include <QUuid>

#include <optional>

class QMimeData;

namespace BoardDrag {

inline constexpr const char* kCardMime = "application/x-tolmek-card";
inline constexpr const char* kColumnMime = "application/x-tolmek-column";

struct Payload {
    enum Kind { none, card, column };
    Kind kind = none;
    QUuid id;
};

QString cardPayload(const QUuid& id); // "card:" + id
QString columnPayload(const QUuid& id); // "col:" + id
// The prefix compared exactly; the rest must be a 36-character UUID, any case.
Payload parse(const QString& text);
// A drop's payload: the private types first, else the first line-free plain text.
Payload read(const QMimeData* mime);
// Whether `mime` carries one of our card or column payloads (text fields refuse those).
bool isBoardPayload(const QMimeData* mime);
// A new drag's data (the caller's QDrag takes ownership).
QMimeData* makeMime(const Payload& payload);
// From the first call on, no text field of the application (line edits, text edits and their
// viewports) takes a card or column payload as text. The board and its sheets call it.
void refuseInTextFields();

// The board's view state that drags and the pointer write, and from which the columns draw.
struct Marks {
    std::optional<QUuid> hoverCardId;
    std::optional<QUuid> dropTargetColumnId;
    std::optional<QUuid> dropTargetCardId;
    std::optional<QUuid> dropTargetColumnReorderId;

    void clearDropTargets() {
        dropTargetColumnId.reset();
        dropTargetCardId.reset();
        dropTargetColumnReorderId.reset();
    }
    bool operator==(const Marks&) const = default;
};

// The targeting callbacks (entered: true, left: false).
void setColumnReorderTarget(Marks& m, bool targeted, const QUuid& column);
// `card`: the slot's card; nullopt for the end slot.
void setCardSlotTarget(Marks& m, bool targeted, const QUuid& column, const std::optional<QUuid>& card);
void setColumnZoneTarget(Marks& m, bool targeted, const QUuid& column);

// Whether the slot in front of `card` (nullopt: the end slot) of `column` is the marked one.
bool isSlotMarked(const Marks& m, const QUuid& column, const std::optional<QUuid>& card);

// What a drop does once taken; refused drops give nothing and change nothing.
struct CardDrop {
    ChecklistCardPtr card;
    ChecklistColumnPtr column;
    ChecklistCardPtr before; // null: at the end
};
struct ColumnDrop {
    ChecklistColumnPtr dragged;
    ChecklistColumnPtr target;
};
// A card slot (before = its card, null for the end slot) or a column's drop zone (before = null).
std::optional<CardDrop> resolveCardDrop(const Checklist& board, const Payload& payload,
                                        const ChecklistColumnPtr& column, const ChecklistCardPtr& before);
// A column's reorder target.
std::optional<ColumnDrop> resolveColumnDrop(const Checklist& board, const Payload& payload,
                                            const ChecklistColumnPtr& column);

} // namespace BoardDrag
