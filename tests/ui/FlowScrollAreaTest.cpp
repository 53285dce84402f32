#include "ui/FlowScrollArea.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <set>

namespace {

// Behaves as wrapped text: the narrower, the taller. Remembers the widths it was measured at.
class Flowing : public QWidget {
public:
    explicit Flowing(int area) : m_area(area) {
        QSizePolicy sp(QSizePolicy::Preferred, QSizePolicy::Preferred);
        sp.setHeightForWidth(true);
        setSizePolicy(sp);
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override {
        widths.insert(w);
        return m_area / std::max(1, w);
    }
    QSize sizeHint() const override { return {300, m_area / 300}; }
    QSize minimumSizeHint() const override { return {120, 20}; }
    void setArea(int area) {
        m_area = area;
        updateGeometry();
    }
    mutable std::set<int> widths;

private:
    int m_area;
};

struct Fixture {
    FlowScrollArea area;
    QWidget* content = new QWidget;
    Flowing* text = new Flowing(400 * 600);
    QLineEdit* bottomField = new QLineEdit;
    QLineEdit* topField = new QLineEdit;

    Fixture() {
        auto* col = new QVBoxLayout(content);
        col->setContentsMargins(10, 10, 10, 10);
        col->addWidget(topField);
        col->addWidget(text);
        col->addWidget(bottomField);
        // The bar always shown: its appearing would change the viewport's width (with a style whose bars
        // take room) and call for a second width.
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        area.setWidget(content);
        area.resize(420, 300);
    }
    int viewportWidth() const { return area.viewport()->width(); }
    // Lets the posted layout requests and resizes run.
    static void settle() {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
};

} // namespace

// The content takes the viewport's width and the height it asks for there, measured at that one width
// only; it follows later changes of its hint and of the area's size.
TEST(FlowScrollArea, ContentTakesTheViewportWidthAndItsHeightThere) {
    Fixture f;
    f.area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.area));
    f.settle();
    const int inner = f.viewportWidth() - 20;
    EXPECT_EQ(f.content->width(), f.viewportWidth());
    EXPECT_EQ(f.text->width(), inner);
    EXPECT_EQ(f.text->widths, std::set<int>{inner});
    EXPECT_EQ(f.content->height(), f.content->heightForWidth(f.viewportWidth()));
    EXPECT_GT(f.content->height(), f.area.viewport()->height());
    EXPECT_EQ(f.area.verticalScrollBar()->maximum(), f.content->height() - f.area.viewport()->height());

    f.area.verticalScrollBar()->setValue(100);
    EXPECT_EQ(f.content->y(), -100);

    // A taller hint, then a wider area: the content follows both.
    f.text->setArea(400 * 1200);
    f.settle();
    EXPECT_EQ(f.content->height(), f.content->heightForWidth(f.viewportWidth()));
    f.area.resize(620, 300);
    f.settle();
    EXPECT_EQ(f.content->width(), f.viewportWidth());
    EXPECT_EQ(f.text->width(), f.viewportWidth() - 20);

    // A short content still fills the viewport, and nothing scrolls.
    f.text->setArea(10);
    f.settle();
    EXPECT_EQ(f.content->height(), f.area.viewport()->height());
    EXPECT_EQ(f.area.verticalScrollBar()->maximum(), 0);
}

// Below the content's minimum width the area scrolls sideways; tabbing to a field out of view scrolls to it.
TEST(FlowScrollArea, NarrowAreasScrollSidewaysAndFocusIsKeptInView) {
    Fixture f;
    f.area.resize(100, 300);
    f.area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.area));
    f.settle();
    EXPECT_EQ(f.content->width(), f.content->minimumSizeHint().width());
    EXPECT_EQ(f.area.horizontalScrollBar()->maximum(), f.content->width() - f.area.viewport()->width());

    f.area.resize(420, 300);
    f.settle();
    f.topField->setFocus();
    ASSERT_EQ(f.area.verticalScrollBar()->value(), 0);
    QTest::keyClick(f.topField, Qt::Key_Tab);
    ASSERT_TRUE(f.bottomField->hasFocus());
    const QRect field(f.bottomField->mapTo(f.area.viewport(), QPoint(0, 0)), f.bottomField->size());
    EXPECT_TRUE(f.area.viewport()->rect().contains(field));
}
