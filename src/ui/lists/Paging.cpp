#include "ui/lists/Paging.h"

#include <algorithm>
#include <cmath>

namespace lists {

QString trimmed(const QString& text) {
    // QString::trimmed() covers Unicode spaces and every line break (U+2028/2029 included).
    return text.trimmed();
}

int pageCount(int total, int pageSize) {
    if (pageSize <= 0)
        return 1;
    return std::max(1, int(std::ceil(double(total) / double(pageSize))));
}

QString pageLabel(int currentPage, int pageSize, std::optional<int> total) {
    if (!total)
        return QStringLiteral("Page ") + QString::number(currentPage + 1);
    const int m = pageCount(*total, pageSize);
    return QStringLiteral("Page ") + QString::number(std::min(m, currentPage + 1)) + QStringLiteral(" / ") +
        QString::number(m);
}

bool canGoNext(int currentPage, int pageSize, int total) { return qint64(currentPage + 1) * pageSize < total; }

int clampedPage(int currentPage, int pageSize, int total) {
    if (total > 0 && qint64(currentPage) * pageSize >= total)
        return pageCount(total, pageSize) - 1;
    return currentPage;
}

PageRange pageRange(int currentPage, int pageSize, int total) {
    const qint64 start = qint64(currentPage) * pageSize;
    if (start < 0 || start >= total)
        return {};
    return {int(start), int(std::min<qint64>(total, start + pageSize))};
}

} // namespace lists
