#pragma once

#include <QLayout>
#include <QList>

namespace lists {

// Adaptive columns: as many columns of at least `minWidth` as fit (at most `maxWidth` wide when > 0),
// `spacing` apart both ways, the grid centred, items top-aligned at their height for the column width.
class AdaptiveGridLayout : public QLayout {
public:
    AdaptiveGridLayout(int minWidth, int maxWidth, int spacing, QWidget* parent = nullptr);
    ~AdaptiveGridLayout() override;
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return int(m_items.size()); }
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    int columnCount(int width) const;

private:
    int doLayout(const QRect& rect, bool apply) const;
    QList<QLayoutItem*> m_items;
    int m_min, m_max, m_spacing;
};

} // namespace lists
