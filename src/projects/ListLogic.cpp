#include "projects/ListLogic.h"

#include <algorithm>
#include <limits>

namespace listlogic {

QString folded(const QString& text) {
    bool plain = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            plain = false;
            break;
        }
    if (plain)
        return text.toCaseFolded();
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const auto cat = c.category();
        if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining || cat == QChar::Mark_Enclosing)
            continue;
        out.append(c);
    }
    return out.toCaseFolded();
}

bool projectMatches(const Project& project, const QString& query) {
    if (project.name().contains(query, Qt::CaseInsensitive))
        return true;
    const auto& details = project.details();
    return details && details->contains(query, Qt::CaseInsensitive);
}

const QString& FoldedTitleCache::foldedTitle(const Doc& doc) {
    auto& e = m_entries[&doc];
    // Equal shared data is the common case and compares in constant time.
    if (e.title.isNull() || e.title != doc.title()) {
        e.title = doc.title();
        e.folded = folded(e.title);
    }
    return e.folded;
}

void FoldedTitleCache::prune(const std::vector<DocPtr>& keep) {
    if (m_entries.size() <= keep.size() * 2 + 64)
        return;
    std::unordered_map<const Doc*, Entry> kept;
    kept.reserve(keep.size());
    for (const auto& doc : keep) {
        auto it = m_entries.find(doc.get());
        if (it != m_entries.end())
            kept.emplace(it->first, std::move(it->second));
    }
    m_entries.swap(kept);
}

std::vector<DocPtr> visibleDocsNewestFirst(const Project& project) {
    const auto& docs = project.docs();
    // Sort on precomputed integer keys: much cheaper than comparing dates inside the sort.
    struct Keyed {
        qint64 key;
        const DocPtr* doc;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(docs.size());
    for (const auto& doc : docs)
        if (!doc->deletedAt())
            keyed.push_back({doc->updatedAt().toMSecsSinceEpoch(), &doc});
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key > b.key; });
    std::vector<DocPtr> out;
    out.reserve(keyed.size());
    for (const auto& k : keyed)
        out.push_back(*k.doc);
    return out;
}

std::vector<size_t> positionsContaining(const std::vector<QString>& foldedTexts, const QString& foldedQuery,
                                        const std::vector<size_t>* among) {
    std::vector<size_t> out;
    if (among) {
        for (size_t i : *among)
            if (i < foldedTexts.size() && foldedTexts[i].contains(foldedQuery))
                out.push_back(i);
        return out;
    }
    for (size_t i = 0; i < foldedTexts.size(); ++i)
        if (foldedTexts[i].contains(foldedQuery))
            out.push_back(i);
    return out;
}

std::vector<DocPtr> searchDocs(const std::vector<DocPtr>& docs, const QString& trimmedQuery, FoldedTitleCache& cache) {
    if (trimmedQuery.isEmpty())
        return docs;
    const QString q = folded(trimmedQuery);
    std::vector<DocPtr> out;
    for (const auto& doc : docs)
        if (cache.foldedTitle(*doc).contains(q))
            out.push_back(doc);
    cache.prune(docs);
    return out;
}

std::vector<ProjectPtr> newestFirst(std::vector<ProjectPtr> projects) {
    // Sorted on integer keys taken once: comparing dates inside the sort costs more than the search.
    struct Keyed {
        qint64 key;
        size_t index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(projects.size());
    for (size_t i = 0; i < projects.size(); ++i) {
        const QDateTime& at = projects[i]->updatedAt();
        // An unreadable date sorts as the oldest.
        keyed.push_back({at.isValid() ? at.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min(), i});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key > b.key; });
    std::vector<ProjectPtr> out;
    out.reserve(projects.size());
    for (const Keyed& k : keyed)
        out.push_back(std::move(projects[k.index]));
    return out;
}

std::vector<ProjectPtr> searchProjects(const std::vector<ProjectPtr>& newestFirst, const QString& trimmedQuery,
                                       FoldedProjectCache& cache) {
    if (trimmedQuery.isEmpty())
        return newestFirst;
    return cache.search(newestFirst, trimmedQuery.toCaseFolded());
}

namespace {

// Equal texts: the same shared data (the usual case, checked without reading the characters) or equal characters.
bool sameText(const QString& a, const QString& b) {
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

bool sameText(const OptText& a, const OptText& b) { return a.has_value() == b.has_value() && (!a || sameText(*a, *b)); }

} // namespace

void FoldedProjectCache::refresh(Entry& e, const Project& project) {
    if (!e.fresh || !sameText(e.name, project.name())) {
        e.name = project.name();
        e.foldedName = e.name.toCaseFolded();
    }
    if (!e.fresh || !sameText(e.details, project.details())) {
        e.details = project.details();
        e.foldedDetails = e.details ? e.details->toCaseFolded() : QString();
    }
    e.project = &project;
    e.fresh = true;
}

bool FoldedProjectCache::matches(Entry& e, const Project& project, const QString& foldedQuery) {
    refresh(e, project);
    return e.foldedName.contains(foldedQuery) || (e.details && e.foldedDetails.contains(foldedQuery));
}

size_t FoldedProjectCache::prepare(const std::vector<ProjectPtr>& all, size_t from, size_t count) {
    align(all);
    const size_t end = std::min(all.size(), from + count);
    for (size_t i = from; i < end; ++i)
        refresh(m_entries[i], *all[i]);
    return end;
}

std::vector<ProjectPtr> FoldedProjectCache::search(const std::vector<ProjectPtr>& all, const QString& foldedQuery) {
    std::vector<ProjectPtr> out;
    for (size_t i : searchPositions(all, foldedQuery))
        out.push_back(all[i]);
    return out;
}

void FoldedProjectCache::align(const std::vector<ProjectPtr>& all) {
    bool sameOrder = all.size() == m_entries.size();
    for (size_t i = 0; sameOrder && i < all.size(); ++i)
        sameOrder = m_entries[i].project == all[i].get();
    if (!sameOrder) {
        // Reorder the kept entries to the new list; projects new to it start empty.
        std::unordered_map<const Project*, size_t> at;
        at.reserve(m_entries.size());
        for (size_t i = 0; i < m_entries.size(); ++i)
            at.emplace(m_entries[i].project, i);
        std::vector<Entry> next(all.size());
        for (size_t i = 0; i < all.size(); ++i)
            if (auto it = at.find(all[i].get()); it != at.end())
                next[i] = std::move(m_entries[it->second]);
        m_entries.swap(next);
    }
}

std::vector<size_t> FoldedProjectCache::searchPositions(const std::vector<ProjectPtr>& all, const QString& foldedQuery,
                                                        const std::vector<size_t>* among) {
    align(all);
    std::vector<size_t> out;
    if (among) {
        for (size_t i : *among)
            if (i < all.size() && matches(m_entries[i], *all[i], foldedQuery))
                out.push_back(i);
        return out;
    }
    for (size_t i = 0; i < all.size(); ++i)
        if (matches(m_entries[i], *all[i], foldedQuery))
            out.push_back(i);
    return out;
}

const std::vector<size_t>* SearchMemo::find(const QString& query) const {
    for (const Entry& e : m_entries)
        if (e.query == query)
            return &e.positions;
    return nullptr;
}

const std::vector<size_t>* SearchMemo::narrowest(const QString& query) const {
    const std::vector<size_t>* best = nullptr;
    for (const Entry& e : m_entries)
        if ((!best || e.positions.size() < best->size()) && query.contains(e.query))
            best = &e.positions;
    return best;
}

void SearchMemo::remember(const QString& query, std::vector<size_t> positions) {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (it->query == query) {
            m_entries.erase(it);
            break;
        }
    if (m_entries.size() == capacity)
        m_entries.erase(m_entries.begin());
    m_entries.push_back({query, std::move(positions)});
}

} // namespace listlogic
