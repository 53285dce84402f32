#include "ui/KeyboardFocus.h"

#include "support/TestSupport.h"
#include "ui/Components.h"
#include "ui/FlowScrollArea.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
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

// Tab types a tab in a text; Ctrl+Tab and Ctrl+Shift+Tab leave it, forwards and back, with the ring
// showing. Scroll areas take no Tab stop of their own.
TEST(KeyboardFocus, CtrlTabLeavesATextAndScrollAreasTakeNoStop) {
    std::unique_ptr<QObject> watch(KeyboardFocus::install(qApp));
    QWidget window;
    auto* row = new QHBoxLayout(&window);
    auto* before = new QPushButton(QStringLiteral("Avant"));
    auto* text = new QTextEdit;
    auto* sheetBody = new SheetBody;
    auto* flow = new FlowScrollArea;
    auto* after = new QPushButton(QStringLiteral("Après"));
    for (QWidget* w : std::initializer_list<QWidget*>{before, text, sheetBody, flow, after})
        row->addWidget(w);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(sheetBody->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(flow->focusPolicy(), Qt::NoFocus);

    text->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(text, Qt::Key_Tab);
    EXPECT_TRUE(text->hasFocus());
    EXPECT_EQ(text->toPlainText(), QStringLiteral("\t"));
    QTest::keyClick(text, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(after->hasFocus());
    EXPECT_TRUE(KeyboardFocus::showsRing(after));
    EXPECT_EQ(KeyboardFocus::firstControl(&window), before);

    text->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(text, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(before->hasFocus());
    // The text still types its tabs afterwards.
    EXPECT_FALSE(text->tabChangesFocus());
    EXPECT_EQ(text->toPlainText(), QStringLiteral("\t"));
}

} // namespace
