#pragma once

#include <QLayout>
#include <QList>

#include <functional>
#include <utility>
#include <vector>

namespace lists {

// Adaptive columns: as many columns of at least `minWidth` as fit (at most `maxWidth` wide when > 0),
// `spacing` apart both ways, the grid centred; the items of a row share the height of its tallest.
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
    // How far the first column stands from the left of the content at this layout width (the grid is
    // centred): a label above the grid stands as far in to line up with it.
    int leadingOffset(int width) const;

    // Windowed: the items stand for positions [first, first + count()) of `total` items, and the layout
    // is as tall as all of them; total < 0 lays out the items alone. Rows are as tall as the tallest of
    // their positions by `heightOf` (position, column width) when given, else as tall as the first item.
    void setWindow(int first, int total);
    using HeightOf = std::function<int(int position, int columnWidth)>;
    void setHeightOf(HeightOf heightOf);
    // The positions' heights may have changed (new values): measured again at the next layout.
    void heightsChanged();
    // The positions (of `total`) whose rows meet [top, bottom) (layout coordinates) at this width, with `extra` rows
    // more on each side; before any item is made, rows of `guessHeight` are assumed.
    std::pair<int, int> positionsMeeting(int total, int width, int top, int bottom, int extra, int guessHeight) const;

private:
    int doLayout(const QRect& rect, bool apply) const;
    int columnWidth(int innerWidth, int columns) const;
    int uniformHeight(int colW, int guess) const;
    // The top of each row of the window's `total` positions and, last, the bottom of the last row
    // (relative to the first row's top); empty without `heightOf`.
    const std::vector<int>& rowTops(int colW, int columns, int total) const;
    QList<QLayoutItem*> m_items;
    HeightOf m_heightOf;
    // The row tops at the last few widths asked (a layout asks its size at several widths).
    struct Tops {
        int colW = -1, columns = -1, total = -1;
        std::vector<int> tops;
    };
    mutable Tops m_tops[4];
    mutable int m_nextTops = 0;
    int m_first = 0;
    int m_total = -1;
    int m_min, m_max, m_spacing;
};

} // namespace lists
