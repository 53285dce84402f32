#include "ui/KeyboardFocus.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Tab shows the ring; a click anywhere hides it again, and takes the keyboard from a button that only
// Tab can focus, so a Space typed next activates nothing stale. A field focused by the click keeps it.
TEST(KeyboardFocus, AClickHidesTheRingAndTakesTheKeyboardFromAStaleButton) {
    std::unique_ptr<QObject> watch(KeyboardFocus::install(qApp));
    QWidget window;
    auto* row = new QHBoxLayout(&window);
    auto* first = new QPushButton(QStringLiteral("Projets"));
    auto* second = new QPushButton(QStringLiteral("Checklists"));
    auto* field = new QLineEdit;
    for (QPushButton* b : {first, second})
        b->setFocusPolicy(Qt::TabFocus);
    row->addWidget(field);
    row->addWidget(first);
    row->addWidget(second);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    field->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(field, Qt::Key_Tab);
    ASSERT_TRUE(first->hasFocus());
    EXPECT_TRUE(KeyboardFocus::showsRing(first));

    QSignalSpy firstClicks(first, &QAbstractButton::clicked);
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_FALSE(first->hasFocus());
    EXPECT_FALSE(second->hasFocus());
    EXPECT_FALSE(window.testAttribute(Qt::WA_KeyboardFocusChange));
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(firstClicks.count(), 0);

    // The button a click lands on gives the keyboard up too.
    first->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(first, Qt::LeftButton);
    EXPECT_EQ(firstClicks.count(), 1);
    EXPECT_FALSE(first->hasFocus());

    // A click in a field gives it the keyboard, without a ring.
    QTest::keyClick(&window, Qt::Key_Tab);
    QTest::mouseClick(field, Qt::LeftButton);
    EXPECT_TRUE(field->hasFocus());
    EXPECT_FALSE(KeyboardFocus::showsRing(field));
}

} // namespace
