#pragma once

#include "core/model/Models.h"

#include <QString>

// The card sheet's edits on the model: storing a card, deleting it, marking it done, and adding or
// removing its links and files. Each edit stamps the board's checklist (and its project) and saves;
// a failed save is logged by the store and stays pending. Cards and attachments are created here only.
class CardEdits {
public:
    CardEdits(ModelContext& context, ChecklistPtr checklist);

    // A new card at the end of the column's visible cards; the column is renumbered. Nothing when the
    // trimmed title is empty or there is no column.
    ChecklistCardPtr createCard(const ChecklistColumnPtr& column, const QString& title, const QString& notes);
    // Title (trimmed) and notes of an existing card; its position and update date stay. False when the
    // trimmed title is empty.
    bool updateCard(const ChecklistCardPtr& card, const QString& title, const QString& notes);
    void deleteCard(const ChecklistCardPtr& card);
    // Moves the card to the end of the board's first done column. False when there is none or the card
    // is already in it.
    bool markCardDone(const ChecklistCardPtr& card);

    // A link record for text that, trimmed, begins with "http://" or "https://" (any case); nothing otherwise.
    ChecklistAttachmentPtr addLink(const ChecklistCardPtr& card, const QString& text);
    // The record of a file copied to `copyPath`, named `fileName`; nothing when the card is gone.
    ChecklistAttachmentPtr addFile(const ChecklistCardPtr& card, const QString& fileName, const QString& copyPath);
    // Removes the record (never the file on disk).
    void removeAttachment(const ChecklistAttachmentPtr& attachment, const ChecklistCardPtr& card);

    // "Terminé" or "Termine", trimmed, in any case, compared under canonical equivalence.
    static bool isDoneColumn(const ChecklistColumn& column);
    // The trimmed link text when acceptable.
    static std::optional<QString> acceptedLink(const QString& text);

private:
    void touchAndSave();

    ModelContext& m_context;
    ChecklistPtr m_checklist;
};
