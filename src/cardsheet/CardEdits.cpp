#include "cardsheet/CardEdits.h"

#include "cardsheet/AttachmentFiles.h"
#include "core/model/Clock.h"

#include <algorithm>
#include <climits>

// Board operations the card edits rely on; they move to the board's shared checklist logic.
namespace checklistlogic {
namespace {
std::vector<ChecklistCardPtr> sortedCards(const ChecklistColumn& column) {
    std::vector<ChecklistCardPtr> out;
    for (const auto& c : column.cards())
        if (!c->deletedAt())
            out.push_back(c);
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a->orderIndex() < b->orderIndex(); });
    return out;
}
std::vector<ChecklistColumnPtr> sortedColumns(const Checklist& checklist) {
    std::vector<ChecklistColumnPtr> out;
    for (const auto& c : checklist.columns())
        if (!c->deletedAt())
            out.push_back(c);
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a->orderIndex() < b->orderIndex(); });
    return out;
}
void renumberCards(ChecklistColumn& column) {
    int i = 0;
    for (const auto& c : sortedCards(column))
        c->setOrderIndex(i++);
}
void touchChecklist(Checklist& checklist) {
    checklist.setUpdatedAt(Clock::now());
    if (auto p = checklist.project())
        p->setUpdatedAt(Clock::now());
}
void moveCard(const ChecklistCardPtr& card, const ChecklistColumnPtr& target) {
    if (auto from = card->column()) {
        from->removeCard(card);
        renumberCards(*from);
    }
    card->setOrderIndex(INT_MAX);
    target->appendCard(card);
    renumberCards(*target);
}
} // namespace
} // namespace checklistlogic

CardEdits::CardEdits(ModelContext& context, ChecklistPtr checklist)
    : m_context(context), m_checklist(std::move(checklist)) {}

void CardEdits::touchAndSave() {
    if (m_checklist)
        checklistlogic::touchChecklist(*m_checklist);
    m_context.save();
}

std::optional<QString> CardEdits::acceptedLink(const QString& text) {
    const QString t = text.trimmed();
    if (!attachmentfiles::isLinkPath(t))
        return std::nullopt;
    return t;
}

ChecklistCardPtr CardEdits::createCard(const ChecklistColumnPtr& column, const QString& title, const QString& notes) {
    const QString t = title.trimmed();
    if (t.isEmpty() || !column)
        return nullptr;
    int next = 0;
    bool any = false;
    for (const ChecklistCardPtr& c : checklistlogic::sortedCards(*column)) {
        next = any ? std::max(next, c->orderIndex() + 1) : c->orderIndex() + 1;
        any = true;
    }
    const QDateTime now = Clock::now();
    ChecklistCardFields f;
    f.title = t;
    f.notes = notes;
    f.orderIndex = next;
    f.createdAt = now;
    f.updatedAt = now;
    f.column = column;
    auto card = std::make_shared<ChecklistCard>(std::move(f));
    m_context.insert(card);
    if (!store::contains(column->cards(), card.get()))
        column->appendCard(card);
    checklistlogic::renumberCards(*column);
    touchAndSave();
    return card;
}

bool CardEdits::updateCard(const ChecklistCardPtr& card, const QString& title, const QString& notes) {
    const QString t = title.trimmed();
    if (!card || t.isEmpty())
        return false;
    card->setTitle(t);
    card->setNotes(notes);
    touchAndSave();
    return true;
}

void CardEdits::deleteCard(const ChecklistCardPtr& card) {
    if (!card)
        return;
    if (const ChecklistColumnPtr column = card->column()) {
        column->removeCard(card);
        checklistlogic::renumberCards(*column);
    }
    // Its attachment records go with it; the copied files stay on disk.
    m_context.deleteObject(card);
    touchAndSave();
}

bool CardEdits::markCardDone(const ChecklistCardPtr& card) {
    if (!card || !m_checklist)
        return false;
    ChecklistColumnPtr done;
    for (const ChecklistColumnPtr& c : checklistlogic::sortedColumns(*m_checklist))
        if (isDoneColumn(*c)) {
            done = c;
            break;
        }
    if (!done)
        return false;
    const ChecklistColumnPtr current = card->column();
    if (current && current->id() == done->id())
        return false;
    checklistlogic::moveCard(card, done);
    touchAndSave();
    return true;
}

ChecklistAttachmentPtr CardEdits::addLink(const ChecklistCardPtr& card, const QString& text) {
    const auto link = acceptedLink(text);
    if (!card || !link || card->isDeleted())
        return nullptr;
    ChecklistAttachmentFields f;
    f.fileName = QStringLiteral("Lien");
    f.mimeType = QStringLiteral("text/url");
    f.localPath = *link;
    f.createdAt = Clock::now();
    f.card = card;
    auto a = std::make_shared<ChecklistAttachment>(std::move(f));
    m_context.insert(a);
    if (!store::contains(card->attachments(), a.get()))
        card->appendAttachment(a);
    touchAndSave();
    return a;
}

ChecklistAttachmentPtr CardEdits::addFile(const ChecklistCardPtr& card, const QString& fileName, const QString& copyPath) {
    if (!card || card->isDeleted())
        return nullptr;
    ChecklistAttachmentFields f;
    f.fileName = fileName;
    f.localPath = copyPath;
    f.createdAt = Clock::now();
    f.card = card;
    auto a = std::make_shared<ChecklistAttachment>(std::move(f));
    m_context.insert(a);
    if (!store::contains(card->attachments(), a.get()))
        card->appendAttachment(a);
    touchAndSave();
    return a;
}

void CardEdits::removeAttachment(const ChecklistAttachmentPtr& attachment, const ChecklistCardPtr& card) {
    if (!attachment)
        return;
    if (card) {
        // Every entry with the same id goes; the others keep their order.
        std::vector<ChecklistAttachmentPtr> same;
        for (const ChecklistAttachmentPtr& a : card->attachments())
            if (a->id() == attachment->id())
                same.push_back(a);
        for (const ChecklistAttachmentPtr& a : same)
            card->removeAttachment(a);
    }
    m_context.deleteObject(attachment);
    touchAndSave();
}

bool CardEdits::isDoneColumn(const ChecklistColumn& column) {
    const QString name = column.name().trimmed().toLower().normalized(QString::NormalizationForm_C);
    return name == QStringLiteral("terminé") || name == QLatin1String("termine");
}
