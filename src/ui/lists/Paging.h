#pragma once

#include <QString>

#include <optional>

// The arithmetic of the paged list screens: trimming the search, counting pages, the pager's label.
namespace lists {

// White space and line breaks removed at both ends (what a search and every sheet field trim).
QString trimmed(const QString& text);

// Number of pages: at least 1.
int pageCount(int total, int pageSize);
// "Page n / m"; without a total (before the first reload) "Page n".
QString pageLabel(int currentPage, int pageSize, std::optional<int> total);
bool canGoNext(int currentPage, int pageSize, int total);

// The page to show after a reload: a page past the last one while matches exist moves back to the last page.
int clampedPage(int currentPage, int pageSize, int total);

// Positions [start, end) of a page among `total` matches; empty when the start lies past the end.
struct PageRange {
    int start = 0;
    int end = 0;
    int size() const { return end - start; }
};
PageRange pageRange(int currentPage, int pageSize, int total);

} // namespace lists
