#include "cardsheet/CardEdits.h"

#include "cardsheet/AttachmentFiles.h"
#include "checklists/ChecklistEdits.h"

CardEdits::CardEdits(ModelContext& context, ChecklistPtr checklist)
    : m_context(context), m_checklist(std::move(checklist)) {}

std::optional<QString> CardEdits::acceptedLink(const QString& text) {
    const QString t = text.trimmed();
    if (!attachmentfiles::isLinkPath(t))
        return std::nullopt;
    return t;
}

ChecklistCardPtr CardEdits::createCard(const ChecklistColumnPtr& column, const QString& title, const QString& notes) {
    if (!column)
        return nullptr;
    return ChecklistEdits(m_context).createCard(m_checklist, column, title, notes);
}

bool CardEdits::updateCard(const ChecklistCardPtr& card, const QString& title, const OptText& notes) {
    if (!card)
        return false;
    return ChecklistEdits(m_context).updateCard(m_checklist, card, title, notes);
}

void CardEdits::deleteCard(const ChecklistCardPtr& card) {
    if (card)
        ChecklistEdits(m_context).deleteCard(m_checklist, card);
}

bool CardEdits::markCardDone(const ChecklistCardPtr& card) {
    return card && ChecklistEdits(m_context).markCardDone(m_checklist, card);
}

ChecklistAttachmentPtr CardEdits::addLink(const ChecklistCardPtr& card, const QString& text) {
    const auto link = acceptedLink(text);
    if (!card || card->isDeleted() || !link)
        return nullptr;
    return ChecklistEdits(m_context).addAttachment(m_checklist, card, QStringLiteral("Lien"),
                                                   QStringLiteral("text/url"), *link);
}

ChecklistAttachmentPtr CardEdits::addFile(const ChecklistCardPtr& card, const QString& fileName,
                                          const QString& copyPath) {
    if (!card || card->isDeleted())
        return nullptr;
    return ChecklistEdits(m_context).addAttachment(m_checklist, card, fileName, std::nullopt, copyPath);
}

void CardEdits::removeAttachment(const ChecklistAttachmentPtr& attachment) {
    if (attachment)
        ChecklistEdits(m_context).removeAttachment(m_checklist, attachment);
}
