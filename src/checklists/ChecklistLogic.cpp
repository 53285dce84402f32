#include "checklists/ChecklistLogic.h"

#include <QSet>

#include <algorithm>

namespace ChecklistLogic {

namespace {

template <class T>
std::vector<std::shared_ptr<T>> visibleSorted(const std::vector<std::shared_ptr<T>>& all) {
    std::vector<std::shared_ptr<T>> out;
    out.reserve(all.size());
    for (const auto& o : all)
        if (o && !o->deletedAt())
            out.push_back(o);
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a->orderIndex() < b->orderIndex(); });
    return out;
}

QString nfc(const QString& s) { return s.normalized(QString::NormalizationForm_C); }

qint64 visibleCardCount(const ChecklistColumn& column) {
    qint64 n = 0;
    for (const auto& c : column.cards())
        if (c && !c->deletedAt())
            ++n;
    return n;
}

ChecklistColumnPtr firstNamed(const std::vector<ChecklistColumnPtr>& columns, const QString& name) {
    const QString wanted = nfc(name);
    for (const auto& col : columns)
        if (nfc(col->name()) == wanted)
            return col;
    return nullptr;
}

} // namespace

std::vector<ChecklistColumnPtr> sortedColumns(const Checklist& checklist) { return visibleSorted(checklist.columns()); }

std::vector<ChecklistCardPtr> sortedCards(const ChecklistColumn& column) { return visibleSorted(column.cards()); }

ChecklistCardPtr findCard(const Checklist& checklist, const QUuid& id) {
    if (id.isNull())
        return nullptr;
    for (const auto& col : sortedColumns(checklist))
        for (const auto& card : col->cards())
            if (card && card->id() == id && !card->deletedAt())
                return card;
    return nullptr;
}

ChecklistColumnPtr findColumn(const Checklist& checklist, const QUuid& id) {
    if (id.isNull())
        return nullptr;
    for (const auto& col : sortedColumns(checklist))
        if (col->id() == id)
            return col;
    return nullptr;
}

bool sameName(const QString& a, const QString& b) { return a == b || nfc(a) == nfc(b); }

qint64 countCards(const Checklist& checklist, const QString& name) {
    const auto col = firstNamed(sortedColumns(checklist), name);
    return col ? visibleCardCount(*col) : 0;
}

StatusCounts boardCounts(const Checklist& checklist) {
    const auto columns = sortedColumns(checklist);
    auto count = [&](const QString& name) -> qint64 {
        const auto col = firstNamed(columns, name);
        return col ? visibleCardCount(*col) : 0;
    };
    return {count(kDefaultToDoName) + count(kToDoName), count(kDefaultDoneName) + count(kDoneName)};
}

StatusCounts listCounts(const Checklist& checklist) {
    const auto columns = sortedColumns(checklist);
    const StatusCounts header = boardCounts(checklist);
    if (firstNamed(columns, kToDoName) || firstNamed(columns, kDefaultToDoName))
        return header;
    // Without a to-do column, every active card outside the done columns is still to do.
    // A card counts for the column whose list holds it; the same card listed twice counts by id.
    QSet<QUuid> doneIds;
    for (const QString& name : {kDoneName, kDefaultDoneName})
        if (const auto done = firstNamed(columns, name))
            for (const auto& c : done->cards())
                if (c && !c->deletedAt())
                    doneIds.insert(c->id());
    StatusCounts out{0, header.done};
    for (const auto& col : columns)
        for (const auto& c : col->cards())
            if (c && !c->deletedAt() && !doneIds.contains(c->id()))
                ++out.toDo;
    return out;
}

bool isDoneColumn(const ChecklistColumn& column) {
    const QString n = nfc(column.name().trimmed().toLower());
    return n == nfc(QStringLiteral("terminé")) || n == QStringLiteral("termine");
}

ChecklistColumnPtr doneColumn(const Checklist& checklist) {
    for (const auto& col : sortedColumns(checklist))
        if (isDoneColumn(*col))
            return col;
    return nullptr;
}

ChecklistCardPtr nextCard(const ChecklistCard& card, const std::vector<ChecklistCardPtr>& cards) {
    for (size_t i = 0; i < cards.size(); ++i)
        if (cards[i]->id() == card.id())
            return i + 1 < cards.size() ? cards[i + 1] : nullptr;
    return nullptr;
}

ChecklistPtr checklistOf(const ChecklistCard& card) {
    const auto col = card.column();
    return col ? col->checklist() : nullptr;
}

} // namespace ChecklistLogic
