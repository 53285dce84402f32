#include "checklists/ChecklistEdits.h"

#include "checklists/ChecklistLogic.h"
#include "core/model/Clock.h"
#include "core/store/ModelContext.h"

#include <algorithm>
#include <limits>

using namespace ChecklistLogic;

namespace {

// The one place that builds the board's persistent objects.
template <class T, class F>
std::shared_ptr<T> madeNow(F fields) {
    fields.createdAt = Clock::now();
    if constexpr (requires { fields.updatedAt; })
        fields.updatedAt = Clock::now();
    return std::make_shared<T>(std::move(fields));
}

// The name and look that checklists and their columns share.
template <class F>
F namedWithLook(const QString& name, const QString& icon, const OptText& colorKey, const OptText& colorHex) {
    F fields;
    fields.name = name;
    fields.iconName = icon;
    fields.colorKey = colorKey;
    fields.colorHex = colorHex;
    return fields;
}

ChecklistPtr makeChecklist(const QString& name, const OptText& colorKey, const OptText& colorHex,
                           const ProjectPtr& project) {
    auto fields = namedWithLook<ChecklistFields>(name, QStringLiteral("checklist"), colorKey, colorHex);
    fields.project = project;
    return madeNow<Checklist>(std::move(fields));
}

ChecklistColumnPtr makeColumn(const ChecklistPtr& checklist, const QString& name, const QString& icon,
                              const OptText& colorKey, const OptText& colorHex, qint64 orderIndex) {
    auto fields = namedWithLook<ChecklistColumnFields>(name, icon, colorKey, colorHex);
    fields.orderIndex = orderIndex;
    fields.checklist = checklist;
    return madeNow<ChecklistColumn>(std::move(fields));
}

ChecklistCardPtr makeCard(const ChecklistColumnPtr& column, const QString& title, const OptText& notes,
                          qint64 orderIndex) {
    // A new card was changed when it was made, to the tick.
    const QDateTime now = Clock::now();
    return std::make_shared<ChecklistCard>(ChecklistCardFields{.title = title,
                                                               .notes = notes,
                                                               .orderIndex = orderIndex,
                                                               .createdAt = now,
                                                               .updatedAt = now,
                                                               .column = column});
}

ChecklistAttachmentPtr makeAttachment(const ChecklistCardPtr& card, const QString& fileName, const OptText& mimeType,
                                      const QString& localPath) {
    return madeNow<ChecklistAttachment>(
        ChecklistAttachmentFields{.fileName = fileName, .mimeType = mimeType, .localPath = localPath, .card = card});
}

// Absent, or deleted since: nothing to edit.
template <class T>
bool gone(const std::shared_ptr<T>& object) {
    return !object || object->isDeleted();
}

// Writes only the numbers that change, so a drop rewrites the rows it moved and no others.
template <class T>
void numberInOrder(const std::vector<std::shared_ptr<T>>& list) {
    for (int i = 0; i < int(list.size()); ++i)
        if (list[size_t(i)]->orderIndex() != i)
            list[size_t(i)]->setOrderIndex(i);
}

QString trimmed(const QString& s) { return s.trimmed(); }

} // namespace

// ---------------------------------------------------------------------------------------------
void ChecklistEdits::touchChecklist(Checklist& checklist) {
    checklist.setUpdatedAt(Clock::now());
    if (const auto project = checklist.project())
        project->setUpdatedAt(Clock::now());
}

void ChecklistEdits::renumberCards(ChecklistColumn& column) { numberInOrder(sortedCards(column)); }

bool ChecklistEdits::save() {
    m_lastSaveOk = m_context.save();
    return m_lastSaveOk;
}

bool ChecklistEdits::touchAndSave(const ChecklistPtr& checklist) {
    if (checklist)
        touchChecklist(*checklist);
    return save();
}

// ---------------------------------------------------------------------------------------------
ChecklistPtr ChecklistEdits::createChecklist(const QString& name, const ProjectPtr& project) {
    const QString n = trimmed(name);
    if (n.isEmpty())
        return nullptr;
    OptText key = QStringLiteral("blue");
    OptText hex;
    if (project) {
        key = project->colorKey().value_or(QStringLiteral("blue"));
        hex = project->colorHex();
    }
    auto checklist = makeChecklist(n, key, hex, project);
    m_context.insert(checklist);
    auto toDo = makeColumn(checklist, kToDoName, QStringLiteral("square.stack.3d.up"), checklist->colorKey(),
                           checklist->colorHex(), 0);
    auto done =
        makeColumn(checklist, kDoneName, QStringLiteral("checkmark.seal"), QStringLiteral("green"), std::nullopt, 1);
    m_context.insert(toDo);
    m_context.insert(done);
    checklist->appendColumn(toDo);
    checklist->appendColumn(done);
    touchChecklist(*checklist);
    save();
    return checklist;
}

bool ChecklistEdits::ensureDefaultColumns(const ChecklistPtr& checklist) {
    if (gone(checklist) || !checklist->columns().empty())
        return false;
    const OptText key = checklist->colorKey();
    const OptText hex = checklist->colorHex();
    auto toDo = makeColumn(checklist, kDefaultToDoName, QStringLiteral("square.stack.3d.up"), key, hex, 0);
    auto done = makeColumn(checklist, kDefaultDoneName, QStringLiteral("checkmark.seal"), QStringLiteral("green"),
                           std::nullopt, 1);
    m_context.insert(toDo);
    m_context.insert(done);
    checklist->appendColumn(toDo);
    checklist->appendColumn(done);
    touchChecklist(*checklist);
    save();
    return true;
}

// ---------------------------------------------------------------------------------------------
ChecklistColumnPtr ChecklistEdits::createColumn(const ChecklistPtr& checklist, const ColumnFields& fields) {
    const QString n = trimmed(fields.name);
    if (gone(checklist) || n.isEmpty())
        return nullptr;
    // Every column counts, hidden ones too, so a new column never shares a number with an old one.
    std::optional<qint64> highest;
    for (const auto& c : checklist->columns())
        highest = std::max(highest.value_or(c->orderIndex()), c->orderIndex());
    // At the top of the range every column, hidden ones in their place, is numbered afresh first.
    if (highest == std::numeric_limits<qint64>::max()) {
        auto all = checklist->columns();
        std::stable_sort(all.begin(), all.end(),
                         [](const auto& a, const auto& b) { return a->orderIndex() < b->orderIndex(); });
        numberInOrder(all);
        highest = qint64(all.size()) - 1;
    }
    const qint64 order = highest ? *highest + 1 : 0;
    auto column = makeColumn(checklist, n, fields.iconName, fields.colorKey, fields.colorHex, order);
    m_context.insert(column);
    checklist->appendColumn(column);
    touchChecklist(*checklist);
    save();
    return column;
}

bool ChecklistEdits::editColumn(const ChecklistPtr& checklist, const ChecklistColumnPtr& column,
                                const ColumnFields& fields) {
    const QString n = trimmed(fields.name);
    if (!checklist || gone(column) || n.isEmpty())
        return false;
    column->setName(n);
    column->setIconName(fields.iconName);
    column->setColorKey(fields.colorKey);
    column->setColorHex(fields.colorHex);
    touchChecklist(*checklist);
    save();
    return true;
}

void ChecklistEdits::deleteColumn(const ChecklistPtr& checklist, const ChecklistColumnPtr& column) {
    if (!checklist || gone(column))
        return;
    const auto cards = column->cards(); // deleting changes the list
    for (const auto& card : cards)
        m_context.deleteObject(card);
    checklist->removeColumn(column);
    m_context.deleteObject(column);
    numberInOrder(sortedColumns(*checklist));
    touchChecklist(*checklist);
    save();
}

bool ChecklistEdits::moveColumn(const ChecklistPtr& checklist, const ChecklistColumnPtr& dragged,
                                const ChecklistColumnPtr& target) {
    if (!checklist || gone(dragged) || dragged->checklist() != checklist || (target && dragged->id() == target->id()))
        return false;
    auto list = sortedColumns(*checklist);
    std::erase_if(list, [&](const ChecklistColumnPtr& c) { return c->id() == dragged->id(); });
    auto at = list.end();
    if (target)
        at = std::find_if(list.begin(), list.end(),
                          [&](const ChecklistColumnPtr& c) { return c->id() == target->id(); });
    list.insert(at, dragged);
    numberInOrder(list);
    touchChecklist(*checklist);
    save();
    return true;
}

// ---------------------------------------------------------------------------------------------
ChecklistCardPtr ChecklistEdits::createCard(const ChecklistPtr& checklist, const ChecklistColumnPtr& column,
                                            const QString& title, const OptText& notes) {
    const QString t = trimmed(title);
    if (gone(column) || t.isEmpty())
        return nullptr;
    std::optional<qint64> highest;
    for (const auto& c : sortedCards(*column))
        highest = std::max(highest.value_or(c->orderIndex()), c->orderIndex());
    // At the top of the range a new one shares the highest number and comes after it (ties keep their order).
    const qint64 order = !highest ? 0 : *highest < std::numeric_limits<qint64>::max() ? *highest + 1 : *highest;
    auto card = makeCard(column, t, notes, order);
    m_context.insert(card);
    column->appendCard(card);
    renumberCards(*column);
    touchAndSave(checklist);
    return card;
}

bool ChecklistEdits::updateCard(const ChecklistPtr& checklist, const ChecklistCardPtr& card, const QString& title,
                                const OptText& notes) {
    const QString t = trimmed(title);
    if (gone(card) || t.isEmpty())
        return false;
    card->setTitle(t);
    card->setNotes(notes);
    touchAndSave(checklist);
    return true;
}

void ChecklistEdits::deleteCard(const ChecklistPtr& checklist, const ChecklistCardPtr& card) {
    if (gone(card))
        return;
    const auto column = card->column();
    m_context.deleteObject(card); // leaves the column's list and takes its attachment records
    if (column)
        renumberCards(*column);
    touchAndSave(checklist);
}

void ChecklistEdits::placeInColumn(const ChecklistCardPtr& card, ChecklistColumn& column,
                                   const ChecklistCardPtr& before) {
    auto list = sortedCards(column);
    const auto own =
        std::find_if(list.begin(), list.end(), [&](const ChecklistCardPtr& c) { return c->id() == card->id(); });
    const auto ownIndex = own == list.end() ? -1 : std::distance(list.begin(), own);
    std::erase_if(list, [&](const ChecklistCardPtr& c) { return c->id() == card->id(); });
    auto at = list.end();
    if (before && before->id() == card->id()) {
        if (ownIndex >= 0)
            at = list.begin() + ownIndex; // dropped in front of itself: it keeps its place
    } else if (before) {
        at = std::find_if(list.begin(), list.end(), [&](const ChecklistCardPtr& c) { return c->id() == before->id(); });
    }
    list.insert(at, card);
    numberInOrder(list);
}

void ChecklistEdits::placeCard(const ChecklistPtr& checklist, const ChecklistCardPtr& card,
                               const ChecklistColumnPtr& column, const ChecklistCardPtr& before) {
    if (gone(card) || gone(column))
        return;
    const auto source = card->column();
    if (!source || source->id() != column->id()) {
        card->setColumn(column); // leaves the source column's list
        if (source)
            renumberCards(*source);
    }
    placeInColumn(card, *column, before);
    touchAndSave(checklist);
}

bool ChecklistEdits::markCardDone(const ChecklistPtr& checklist, const ChecklistCardPtr& card) {
    if (!checklist || !card)
        return false;
    const auto done = doneColumn(*checklist);
    if (!done)
        return false;
    if (const auto col = card->column(); col && col->id() == done->id())
        return false;
    placeCard(checklist, card, done, nullptr);
    return true;
}

// ---------------------------------------------------------------------------------------------
ChecklistAttachmentPtr ChecklistEdits::addAttachment(const ChecklistPtr& checklist, const ChecklistCardPtr& card,
                                                     const QString& fileName, const OptText& mimeType,
                                                     const QString& localPath) {
    if (gone(card))
        return nullptr;
    auto attachment = makeAttachment(card, fileName, mimeType, localPath);
    m_context.insert(attachment);
    card->appendAttachment(attachment);
    touchAndSave(checklist);
    return attachment;
}

void ChecklistEdits::removeAttachment(const ChecklistPtr& checklist, const ChecklistAttachmentPtr& attachment) {
    if (gone(attachment))
        return;
    if (const auto card = attachment->card())
        card->removeAttachment(attachment);
    m_context.deleteObject(attachment);
    touchAndSave(checklist);
}
