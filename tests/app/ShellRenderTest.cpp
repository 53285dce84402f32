#include "ShellFixture.h"

#include <QMouseEvent>
#include <QSplitter>

namespace {
// Drags the grip between sidebar and detail by `dx`, as a person would.
void dragHandle(QSplitter* splitter, int dx) {
    QSplitterHandle* handle = splitter->handle(1);
    const QPoint start = handle->rect().center();
    const auto send = [&](QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
        QMouseEvent e(type, pos, handle->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(handle, &e);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    send(QEvent::MouseMove, start + QPoint(dx / 2, 0), Qt::LeftButton);
    send(QEvent::MouseMove, start + QPoint(dx, 0), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, start + QPoint(dx, 0), Qt::NoButton);
}
} // namespace

// Dragging the grip past either end leaves the sidebar within its limits, the detail beside it.
TEST_F(ShellTest, SidebarWidthStaysWithinLimits) {
    for (int target : {100, 600}) {
        SCOPED_TRACE(target);
        shell->setSidebarWidth(260);
        QCoreApplication::processEvents();
        dragHandle(shell->splitter(), target - 260);
        QCoreApplication::processEvents();
        EXPECT_EQ(router()->geometry().left(), sidebar()->geometry().right() + 2);
        EXPECT_GE(sidebar()->width(), Sidebar::minimumWidth);
        EXPECT_LE(sidebar()->width(), Sidebar::maximumWidth);
    }
}
