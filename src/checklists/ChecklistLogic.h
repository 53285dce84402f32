#pragma once

// Read-only rules of a checklist board, shared by the board, the card sheet, the checklists list and
// the dashboard. Nothing here writes to an object; edits live in ChecklistEdits.
//
// Visibility: a column or card is visible while its deletedAt is unset. Only visible columns and
// cards are shown, counted and renumbered.
// Order: visible children by ascending orderIndex, stable, with no second key: equal values keep the
// order of the stored relationship.

#include "core/model/Models.h"

#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

namespace ChecklistLogic {

// The names the new-checklist sheet gives its two first columns.
inline const QString kToDoName = QStringLiteral("À faire");
inline const QString kDoneName = QStringLiteral("Terminé");
// The names the board gives a checklist that has no column at all (written without accents).
inline const QString kDefaultToDoName = QStringLiteral("A faire");
inline const QString kDefaultDoneName = QStringLiteral("Termine");

// The checklist's visible columns, ordered.
std::vector<ChecklistColumnPtr> sortedColumns(const Checklist& checklist);
// The column's visible cards, ordered.
std::vector<ChecklistCardPtr> sortedCards(const ChecklistColumn& column);

// The first visible card with this id, walking sortedColumns and each column's stored card list;
// nullptr when no visible column holds one (a card of another board is never found).
ChecklistCardPtr findCard(const Checklist& checklist, const QUuid& id);
// The first column of sortedColumns with this id, or nullptr.
ChecklistColumnPtr findColumn(const Checklist& checklist, const QUuid& id);

// Whether two names are the same Unicode text under canonical equivalence (NFC): a precomposed
// "é" equals "e" + combining acute. Case, accents and surrounding blanks all count.
bool sameName(const QString& a, const QString& b);

// Visible cards of the first column of sortedColumns named `name` (sameName); 0 without one.
qint64 countCards(const Checklist& checklist, const QString& name);

struct StatusCounts {
    qint64 toDo = 0;
    qint64 done = 0;
    bool operator==(const StatusCounts&) const = default;
};

// The counts of the board's header: to do = countCards("A faire") + countCards("À faire"),
// done = countCards("Termine") + countCards("Terminé").
StatusCounts boardCounts(const Checklist& checklist);

// The counts of the checklists screen's rows: the header's counts (both spellings, so a row agrees
// with its board); without any to-do column, every visible card of the visible columns outside the
// done columns is to do.
StatusCounts listCounts(const Checklist& checklist);

// A done column: its name, trimmed and lower-cased, is "terminé" or "termine" (NFC).
bool isDoneColumn(const ChecklistColumn& column);
// The first column of sortedColumns that isDoneColumn, or nullptr.
ChecklistColumnPtr doneColumn(const Checklist& checklist);

// The card that follows `card` (by id) in `cards`; nullptr for the last one or an unknown card.
ChecklistCardPtr nextCard(const ChecklistCard& card, const std::vector<ChecklistCardPtr>& cards);

// The checklist that holds the card, through its column; nullptr for a card without column.
ChecklistPtr checklistOf(const ChecklistCard& card);

} // namespace ChecklistLogic
