#include "ui/lists/AdaptiveGridLayout.h"

#include <QWidget>

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

int AdaptiveGridLayout::doLayout(const QRect& outer, bool apply) const {
    const QMargins m = contentsMargins();
    const QRect rect = outer.marginsRemoved(m);
    const int W = std::max(1, rect.width());
    const int n = columnCount(W);
    int colW = (W - (n - 1) * m_spacing) / n;
    if (m_max > 0)
        colW = std::min(colW, m_max);
    const int gridW = n * colW + (n - 1) * m_spacing;
    const int x0 = rect.x() + (W - gridW) / 2;
    int y = rect.y();
    QList<QLayoutItem*> visible;
    for (QLayoutItem* item : m_items)
        if (!item->isEmpty())
            visible.append(item);
    for (int i = 0; i < visible.size(); i += n) {
        int rowH = 0;
        for (int c = 0; c < n && i + c < visible.size(); ++c) {
            QLayoutItem* item = visible[i + c];
            const int h = item->hasHeightForWidth() ? item->heightForWidth(colW) : item->sizeHint().height();
            const int hh = std::max(h, item->minimumSize().height());
            if (apply)
                item->setGeometry(QRect(x0 + c * (colW + m_spacing), y, colW, hh));
            rowH = std::max(rowH, hh);
        }
        y += rowH + m_spacing;
    }
    if (!visible.isEmpty())
        y -= m_spacing;
    return y - rect.y() + m.top() + m.bottom();
}

} // namespace lists
