#include "ui/lists/AdaptiveGridLayout.h"

#include <QWidget>

#include <algorithm>

namespace lists {

AdaptiveGridLayout::AdaptiveGridLayout(int minWidth, int maxWidth, int spacing, QWidget* parent)
    : QLayout(parent), m_min(minWidth), m_max(maxWidth), m_spacing(spacing) {
    setContentsMargins(0, 0, 0, 0);
}

AdaptiveGridLayout::~AdaptiveGridLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void AdaptiveGridLayout::addItem(QLayoutItem* item) { m_items.append(item); }
QLayoutItem* AdaptiveGridLayout::itemAt(int index) const {
    return index >= 0 && index < m_items.size() ? m_items[index] : nullptr;
}
QLayoutItem* AdaptiveGridLayout::takeAt(int index) {
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

int AdaptiveGridLayout::columnCount(int width) const { return std::max(1, (width + m_spacing) / (m_min + m_spacing)); }

int AdaptiveGridLayout::leadingOffset(int width) const {
    const QMargins m = contentsMargins();
    const int W = std::max(1, width - m.left() - m.right());
    const int n = columnCount(W);
    return (W - (n * columnWidth(W, n) + (n - 1) * m_spacing)) / 2;
}

QSize AdaptiveGridLayout::sizeHint() const {
    const QMargins m = contentsMargins();
    const int w = m_min * 2 + m_spacing + m.left() + m.right();
    return {w, heightForWidth(w)};
}

QSize AdaptiveGridLayout::minimumSize() const {
    const QMargins m = contentsMargins();
    return {std::min(m_min, 120) + m.left() + m.right(), 0};
}

int AdaptiveGridLayout::heightForWidth(int width) const { return doLayout(QRect(0, 0, width, 0), false); }

void AdaptiveGridLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    doLayout(rect, true);
}

int AdaptiveGridLayout::columnWidth(int W, int n) const {
    const int colW = (W - (n - 1) * m_spacing) / n;
    return m_max > 0 ? std::min(colW, m_max) : colW;
}

int AdaptiveGridLayout::uniformHeight(int colW, int guess) const {
    for (QLayoutItem* item : m_items) {
        const int h = item->hasHeightForWidth() ? item->heightForWidth(colW) : item->sizeHint().height();
        return std::max(h, item->minimumSize().height());
    }
    return guess;
}

void AdaptiveGridLayout::setWindow(int first, int total) {
    if (first == m_first && total == m_total)
        return;
    m_first = first;
    m_total = total;
    invalidate();
}

void AdaptiveGridLayout::setHeightOf(HeightOf heightOf) {
    m_heightOf = std::move(heightOf);
    heightsChanged();
}

void AdaptiveGridLayout::heightsChanged() {
    for (Tops& t : m_tops)
        t = Tops();
    invalidate();
}

const std::vector<int>& AdaptiveGridLayout::rowTops(int colW, int columns, int total) const {
    static const std::vector<int> none;
    if (!m_heightOf)
        return none;
    for (const Tops& t : m_tops)
        if (t.colW == colW && t.columns == columns && t.total == total)
            return t.tops;
    Tops& t = m_tops[m_nextTops];
    m_nextTops = (m_nextTops + 1) % int(std::size(m_tops));
    t.colW = colW;
    t.columns = columns;
    t.total = total;
    const int rows = (total + columns - 1) / columns;
    t.tops.assign(size_t(rows) + 1, 0);
    int y = 0;
    for (int r = 0; r < rows; ++r) {
        t.tops[size_t(r)] = y;
        int h = 0;
        for (int p = r * columns; p < std::min(total, (r + 1) * columns); ++p)
            h = std::max(h, m_heightOf(p, colW));
        y += h + m_spacing;
    }
    t.tops[size_t(rows)] = rows > 0 ? y - m_spacing : 0;
    return t.tops;
}

std::pair<int, int> AdaptiveGridLayout::positionsMeeting(int total, int width, int top, int bottom, int extra,
                                                         int guessHeight) const {
    const QMargins m = contentsMargins();
    const int W = std::max(1, width - m.left() - m.right());
    const int n = columnCount(W);
    const int rows = (total + n - 1) / n;
    if (const std::vector<int>& tops = rowTops(columnWidth(W, n), n, total); !tops.empty()) {
        // The first row whose bottom reaches `top`, through the row that starts before `bottom`.
        auto rowAt = [&](int y) {
            return int(std::upper_bound(tops.begin(), tops.end() - 1, y - m.top()) - tops.begin()) - 1;
        };
        const int firstRow = std::clamp(rowAt(top) - extra, 0, rows);
        const int endRow = std::clamp(rowAt(bottom) + 1 + extra, firstRow, rows);
        return {firstRow * n, std::min(total, endRow * n)};
    }
    const int pitch = std::max(1, uniformHeight(columnWidth(W, n), guessHeight) + m_spacing);
    const int firstRow = std::clamp((top - m.top()) / pitch - extra, 0, rows);
    const int endRow = std::clamp((bottom - m.top()) / pitch + 1 + extra, firstRow, rows);
    return {firstRow * n, std::min(total, endRow * n)};
}

int AdaptiveGridLayout::doLayout(const QRect& outer, bool apply) const {
    const QMargins m = contentsMargins();
    const QRect rect = outer.marginsRemoved(m);
    const int W = std::max(1, rect.width());
    const int n = columnCount(W);
    const int colW = columnWidth(W, n);
    const int gridW = n * colW + (n - 1) * m_spacing;
    const int x0 = rect.x() + (W - gridW) / 2;
    int y = rect.y();
    if (m_total >= 0) {
        // Only the window's items are placed, the rest is room.
        if (const std::vector<int>& tops = rowTops(colW, n, m_total); !tops.empty()) {
            int p = m_first;
            for (QLayoutItem* item : m_items) {
                if (item->isEmpty())
                    continue;
                const size_t r = size_t(p / n);
                if (apply && r + 1 < tops.size())
                    item->setGeometry(QRect(x0 + (p % n) * (colW + m_spacing), y + tops[r], colW,
                                            tops[r + 1] - tops[r] - (r + 2 < tops.size() ? m_spacing : 0)));
                ++p;
            }
            return tops.back() + m.top() + m.bottom();
        }
        // Every row as tall as the first item.
        const int h = uniformHeight(colW, 0);
        int p = m_first;
        for (QLayoutItem* item : m_items) {
            if (item->isEmpty())
                continue;
            if (apply)
                item->setGeometry(QRect(x0 + (p % n) * (colW + m_spacing), y + (p / n) * (h + m_spacing), colW, h));
            ++p;
        }
        const int rows = (m_total + n - 1) / n;
        return rows > 0 ? rows * (h + m_spacing) - m_spacing + m.top() + m.bottom() : m.top() + m.bottom();
    }
    QList<QLayoutItem*> visible;
    for (QLayoutItem* item : m_items)
        if (!item->isEmpty())
            visible.append(item);
    for (int i = 0; i < visible.size(); i += n) {
        // The items of a row share the height of the tallest, so the row keeps one bottom edge.
        int rowH = 0;
        for (int c = 0; c < n && i + c < visible.size(); ++c) {
            QLayoutItem* item = visible[i + c];
            const int h = item->hasHeightForWidth() ? item->heightForWidth(colW) : item->sizeHint().height();
            rowH = std::max(rowH, std::max(h, item->minimumSize().height()));
        }
        if (apply)
            for (int c = 0; c < n && i + c < visible.size(); ++c) {
                QLayoutItem* item = visible[i + c];
                item->setGeometry(
                    QRect(x0 + c * (colW + m_spacing), y, colW, std::min(rowH, item->maximumSize().height())));
            }
        y += rowH + m_spacing;
    }
    if (!visible.isEmpty())
        y -= m_spacing;
    return y - rect.y() + m.top() + m.bottom();
}

} // namespace lists
