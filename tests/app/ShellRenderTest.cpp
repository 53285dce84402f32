#include "ShellFixture.h"

#include <QDir>
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

// Renders the shell to PNG files for a person to look at (set TOLMEK_SHOTS_DIR); also checks the
// sidebar's width limits hold when the splitter is dragged past them.
TEST_F(ShellTest, SidebarWidthStaysWithinLimitsAndRenders) {
    auto p = project("Refonte du site");
    doc(p, "Cahier des charges");
    project("Application mobile");
    const QString out = qEnvironmentVariable("TOLMEK_SHOTS_DIR");
    if (!out.isEmpty())
        QDir().mkpath(out);

    struct Shot {
        const char* name;
        int sidebar;
    };
    for (bool dark : {false, true}) {
        ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
        for (const Shot& shot : {Shot{"ideal", 260}, Shot{"min", 100}, Shot{"max", 600}}) {
            shell->setSidebarWidth(260);
            QCoreApplication::processEvents();
            if (shot.sidebar != 260)
                dragHandle(shell->splitter(), shot.sidebar - 260);
            QCoreApplication::processEvents();
            EXPECT_EQ(router()->geometry().left(), sidebar()->geometry().right() + 2);
            const int w = sidebar()->width();
            EXPECT_GE(w, Sidebar::minimumWidth);
            EXPECT_LE(w, Sidebar::maximumWidth);
            clickRow(SidebarItem::projects);
            state().setHoveredItem(SidebarItem::checklists);
            QTest::qWait(250);
            if (!out.isEmpty())
                shell->grab().save(QStringLiteral("%1/shell-%2-%3.png").arg(out, dark ? "dark" : "light", shot.name));
            state().setHoveredItem(std::nullopt);
        }
    }
    if (!out.isEmpty()) {
        clickRow(SidebarItem::settings);
        QTest::qWait(250);
        shell->grab().save(out + "/shell-dark-settings.png");
        ThemeManager::shared().setTheme(AppTheme::light);
        router()->callbacks().onOpenProject(p);
        clickRow(SidebarItem::dashboard);
        QTest::qWait(250);
        shell->grab().save(out + "/shell-light-dashboard.png");
    }
    ThemeManager::shared().setTheme(AppTheme::system);
}
