#pragma once

#include "core/model/Models.h"

#include <QString>

#include <unordered_map>
#include <vector>

// The pure parts of the two list screens: searching and sorting (paging is in ui/lists/Paging.h).
namespace listlogic {

// Case- and diacritic-insensitive form of a text: decomposed, marks dropped, case-folded.
QString folded(const QString& text);

// A project matches when its name, or else its description, contains the query ignoring case only.
bool projectMatches(const Project& project, const QString& query);

// Remembers each document's folded title, computed again only when the title changes.
class FoldedTitleCache {
public:
    const QString& foldedTitle(const Doc& doc);
    void prune(const std::vector<DocPtr>& keep);
    size_t size() const { return m_entries.size(); }

private:
    struct Entry {
        QString title;
        QString folded;
    };
    std::unordered_map<const Doc*, Entry> m_entries;
};

// The project's documents without a deletion date, latest update first; equal dates keep their order.
std::vector<DocPtr> visibleDocsNewestFirst(const Project& project);

// The positions of the texts of `foldedTexts` that contain `foldedQuery`; with `among` (ascending
// positions), only those are tried.
std::vector<size_t> positionsContaining(const std::vector<QString>& foldedTexts, const QString& foldedQuery,
                                        const std::vector<size_t>* among = nullptr);

// The visible documents whose title contains the query (folded), in order.
std::vector<DocPtr> searchDocs(const std::vector<DocPtr>& docs, const QString& trimmedQuery, FoldedTitleCache& cache);

// Remembers each project's case-folded name and description, computed again only when they change:
// a search then compares plain characters, where a case-insensitive search folds every character again.
// Kept in the order of the last list searched, which the next keystroke usually searches again.
class FoldedProjectCache {
public:
    // The projects of `all` whose folded name or description contains `foldedQuery`, in order.
    std::vector<ProjectPtr> search(const std::vector<ProjectPtr>& all, const QString& foldedQuery);
    // The same as positions in `all`; with `among` (ascending positions), only those are tried.
    std::vector<size_t> searchPositions(const std::vector<ProjectPtr>& all, const QString& foldedQuery,
                                        const std::vector<size_t>* among = nullptr);
    // Folds the projects of `all` at [from, from + count) ahead of a search; returns where to go on.
    size_t prepare(const std::vector<ProjectPtr>& all, size_t from, size_t count);
    size_t size() const { return m_entries.size(); }

private:
    struct Entry {
        const Project* project = nullptr;
        QString name;
        OptText details;
        QString foldedName;
        QString foldedDetails;
        bool fresh = false;
    };
    static void refresh(Entry& e, const Project& project);
    static bool matches(Entry& e, const Project& project, const QString& foldedQuery);
    // Puts the entries in the order of `all`.
    void align(const std::vector<ProjectPtr>& all);
    std::vector<Entry> m_entries;
};

// The matches of the last few queries over one list, as positions in it: erasing a character gives back
// the matches of the shorter query without searching again, and typing one narrows the matches of the
// longest query it contains. Forget them whenever the list itself changes.
class SearchMemo {
public:
    // The positions remembered for exactly `query`, or null.
    const std::vector<size_t>* find(const QString& query) const;
    // The fewest positions remembered for a query that `query` contains (every match of `query` is
    // among them), or null when none is remembered.
    const std::vector<size_t>* narrowest(const QString& query) const;
    void remember(const QString& query, std::vector<size_t> positions);
    void clear() { m_entries.clear(); }
    static constexpr size_t capacity = 24;

private:
    struct Entry {
        QString query;
        std::vector<size_t> positions;
    };
    std::vector<Entry> m_entries; // oldest first
};

// The projects newest update first; equal dates keep the given order.
std::vector<ProjectPtr> newestFirst(std::vector<ProjectPtr> projects);

// Every project of `newestFirst` that passes the search (projectMatches), in order.
std::vector<ProjectPtr> searchProjects(const std::vector<ProjectPtr>& newestFirst, const QString& trimmedQuery,
                                       FoldedProjectCache& cache);

} // namespace listlogic
