#pragma once

#include "core/model/Models.h"

#include <QString>

#include <optional>

// The card sheet's edits on one board, on top of the checklist edits: storing a card, deleting it,
// marking it done, and adding or removing its links and files. Each edit stamps the board's checklist
// (and its project) and saves; a failed save is logged by the store and stays pending.
class CardEdits {
public:
    CardEdits(ModelContext& context, ChecklistPtr checklist);

    // A new card at the end of the column's visible cards; nothing when the trimmed title is empty.
    ChecklistCardPtr createCard(const ChecklistColumnPtr& column, const QString& title, const QString& notes);
    // Title (trimmed) and notes; the card keeps its column, place and update date.
    bool updateCard(const ChecklistCardPtr& card, const QString& title, const OptText& notes);
    void deleteCard(const ChecklistCardPtr& card);
    // To the end of the board's first done column; false when there is none or the card is in it.
    bool markCardDone(const ChecklistCardPtr& card);

    // A link ("Lien", "text/url") for text that, trimmed, begins with "http://" or "https://" in any
    // case; nothing otherwise.
    ChecklistAttachmentPtr addLink(const ChecklistCardPtr& card, const QString& text);
    // The record of a file copied to `copyPath`; nothing when the card is gone.
    ChecklistAttachmentPtr addFile(const ChecklistCardPtr& card, const QString& fileName, const QString& copyPath);
    // Removes the record, never the file on disk.
    void removeAttachment(const ChecklistAttachmentPtr& attachment);

    // The trimmed link text when it is acceptable.
    static std::optional<QString> acceptedLink(const QString& text);

private:
    ModelContext& m_context;
    ChecklistPtr m_checklist;
};
