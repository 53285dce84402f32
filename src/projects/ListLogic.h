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

// The visible documents whose title contains the query (folded), in order.
std::vector<DocPtr> searchDocs(const std::vector<DocPtr>& docs, const QString& trimmedQuery,
                               FoldedTitleCache& cache);

// Every project, newest update first, that passes the search.
std::vector<ProjectPtr> searchProjects(const std::vector<ProjectPtr>& newestFirst, const QString& trimmedQuery);

} // namespace listlogic
