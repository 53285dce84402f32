#pragma once

#include "core/model/Models.h"

#include <QString>

#include <unordered_map>
#include <vector>

// The pure parts of the two list screens: trimming, searching, sorting and paging.
namespace listlogic {

// White space and line breaks removed at both ends.
QString trimmed(const QString& text);

// Case- and diacritic-insensitive form of a text: decomposed, marks dropped, case-folded.
QString folded(const QString& text);

// Number of pages: at least 1.
int pageCount(int total, int pageSize);
// "Page n / m"; without a total (before the first reload) "Page n".
QString pageLabel(int currentPage, int pageSize, std::optional<int> total);
bool canGoNext(int currentPage, int pageSize, int total);

// The page to show after a reload: a page past the last one while matches exist moves back to the last page.
int clampedPage(int currentPage, int pageSize, int total);

// The slice [page × size, min(total, page × size + size)), empty when the start is past the end.
template <class T>
std::vector<T> slice(const std::vector<T>& matches, int page, int pageSize) {
    const qsizetype start = qsizetype(page) * pageSize;
    if (start >= qsizetype(matches.size()) || start < 0)
        return {};
    const qsizetype end = std::min<qsizetype>(qsizetype(matches.size()), start + pageSize);
    return std::vector<T>(matches.begin() + start, matches.begin() + end);
}

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

// The visible documents whose title contains the query (folded), in order.
std::vector<DocPtr> searchDocs(const std::vector<DocPtr>& docs, const QString& trimmedQuery,
                               FoldedTitleCache& cache);

// Every project, newest update first, that passes the search.
std::vector<ProjectPtr> searchProjects(const std::vector<ProjectPtr>& newestFirst, const QString& trimmedQuery);

} // namespace listlogic
