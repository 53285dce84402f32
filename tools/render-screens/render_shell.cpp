// The whole window on each section, over a small store.
#include "render-screens/RenderScreens.h"

#include "app/AppShellView.h"
#include "app/Sidebar.h"
#include "core/model/Models.h"
#include "core/store/ModelContext.h"
#include "core/store/SqliteDb.h"
#include "projects/ProjectEdits.h"

#include <sqlite3.h>

namespace {

QWidget* windowOn(const Services& s, SidebarItem item) {
    QWidget* window = applicationWindow(s);
    shellOf(window)->sidebar()->tap(item);
    return window;
}

ScreenShot section(const char* name, SidebarItem item) {
    return {QString::fromLatin1(name), QSize(1100, 720), [item](const Services& s) { return windowOn(s, item); }};
}

const bool registered = registerScreenShots({
    section("shell-dashboard", SidebarItem::dashboard),
    section("shell-projects", SidebarItem::projects),
    section("shell-checklists", SidebarItem::checklists),
    section("shell-settings", SidebarItem::settings),
    // The banner a failed save leaves under the toolbar: a save that meets a full disk, with the reason
    // the store gives for it.
    {QStringLiteral("shell-save-failed"), QSize(1100, 720),
     [](const Services& s) {
         QWidget* window = windowOn(s, SidebarItem::projects);
         s.context.failNextSaves(1, SqliteDb::reasonText(SQLITE_FULL, QString::fromUtf8(sqlite3_errstr(SQLITE_FULL))));
         ProjectEdits(s.context).createProject(QStringLiteral("Projet"), QString(),
                                               {QStringLiteral("folder"), QStringLiteral("blue"), std::nullopt});
         return window;
     }},
});

} // namespace
