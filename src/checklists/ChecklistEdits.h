#pragma once

// Every change that the checklist screens make to checklists, columns, cards and attachments.
// Each edit ends like the board wants it: the affected order numbered 0, 1, 2, ..., the checklist
// (and its project, when it has one) stamped with touchChecklist, then one save of the context.
// A failed save is logged by the store and stays pending for the next save; lastSaveSucceeded()
// tells callers that need to know. Moves and deletions stamp only the checklist and its project,
// never the moved or renumbered columns and cards. GUI thread only.

#include "core/model/Models.h"

#include <QString>

class ModelContext;

// What the column sheet edits.
struct ColumnFields {
    QString name; // trimmed before it is stored; an empty result refuses the edit
    QString iconName;
    OptText colorKey;
    OptText colorHex;
};

class ChecklistEdits {
public:
    explicit ChecklistEdits(ModelContext& context) : m_context(context) {}

    ModelContext& context() const { return m_context; }
    bool lastSaveSucceeded() const { return m_lastSaveOk; }

    // ----- stamping, numbering, saving (no other edit needed) -----
    // Sets the checklist's updatedAt to now and, when it has a project, the project's to a second
    // reading of the clock. Does not save.
    static void touchChecklist(Checklist& checklist);
    // Numbers the column's visible cards 0, 1, 2, ... in their current order. Hidden cards keep
    // their number and their column. Neither stamps nor saves.
    static void renumberCards(ChecklistColumn& column);
    // touchChecklist, then save.
    bool touchAndSave(const ChecklistPtr& checklist);

    // ----- checklists -----
    // A new checklist named `name` (trimmed; nullptr when empty) with its columns "À faire" (the
    // checklist's colour) and "Terminé" ("green", no hex). With a project it takes the project's
    // colour key (or "blue") and hex, and the project is stamped; without, "blue" and no hex.
    ChecklistPtr createChecklist(const QString& name, const ProjectPtr& project);
    // When the checklist has no column at all (hidden ones count), adds "A faire" (the checklist's
    // colour) and "Termine" ("green"), stamps and saves; returns whether it did.
    bool ensureDefaultColumns(const ChecklistPtr& checklist);

    // ----- columns -----
    // A new column after every other (highest orderIndex of all columns, hidden ones included, + 1;
    // 0 for the first); nullptr when the trimmed name is empty.
    ChecklistColumnPtr createColumn(const ChecklistPtr& checklist, const ColumnFields& fields);
    // Writes name, symbol and colour; the column keeps its place and its own updatedAt.
    // False (nothing written) when the trimmed name is empty.
    bool editColumn(const ChecklistPtr& checklist, const ChecklistColumnPtr& column, const ColumnFields& fields);
    // Removes the column and all its cards (with their attachment records) from the store, and
    // numbers the remaining visible columns 0, 1, 2, ...
    void deleteColumn(const ChecklistPtr& checklist, const ChecklistColumnPtr& column);
    // Puts `dragged` just before `target` among the visible columns, or last when `target` is null
    // or not visible; numbers them 0, 1, 2, ... Dropping a column on itself changes nothing and
    // returns false.
    bool moveColumn(const ChecklistPtr& checklist, const ChecklistColumnPtr& dragged, const ChecklistColumnPtr& target);

    // ----- cards -----
    // A new card at the end of the column's visible cards; nullptr when the trimmed title is empty.
    ChecklistCardPtr createCard(const ChecklistPtr& checklist, const ChecklistColumnPtr& column, const QString& title,
                                const OptText& notes);
    // Writes the trimmed title and the notes; the card keeps its column, place and updatedAt.
    bool updateCard(const ChecklistPtr& checklist, const ChecklistCardPtr& card, const QString& title,
                    const OptText& notes);
    // Removes the card (and its attachment records) from the store and closes the gap.
    void deleteCard(const ChecklistPtr& checklist, const ChecklistCardPtr& card);
    // Places the card in `column` just before `before` (a visible card of that column), or at the end
    // when `before` is null or not there; before == card keeps its place. Within the card's own
    // column this reorders; from another column the card leaves it and that column closes the gap.
    void placeCard(const ChecklistPtr& checklist, const ChecklistCardPtr& card, const ChecklistColumnPtr& column,
                   const ChecklistCardPtr& before);
    // Moves the card to the end of the first done column ("Terminé"/"Termine", see isDoneColumn).
    // False, nothing changed, without a done column or when the card is already in it.
    bool markCardDone(const ChecklistPtr& checklist, const ChecklistCardPtr& card);

    // ----- attachments -----
    // A new record at the end of the card's attachments (the card's updatedAt is not stamped).
    ChecklistAttachmentPtr addAttachment(const ChecklistPtr& checklist, const ChecklistCardPtr& card,
                                         const QString& fileName, const OptText& mimeType, const QString& localPath);
    // Removes the record from its card and the store; files on disk are left alone.
    void removeAttachment(const ChecklistPtr& checklist, const ChecklistAttachmentPtr& attachment);

private:
    bool save();
    static void placeInColumn(const ChecklistCardPtr& card, ChecklistColumn& column, const ChecklistCardPtr& before);

    ModelContext& m_context;
    bool m_lastSaveOk = true;
};
