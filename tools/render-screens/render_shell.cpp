// The whole window on each section, over a small store.
#include "render-screens/RenderScreens.h"

#include "app/AppShellView.h"
#include "app/Sidebar.h"
#include "core/model/Models.h"
#include "core/store/ModelContext.h"

namespace {

QWidget* shellOn(const Services& s, SidebarItem item) {
    auto* shell = new AppShellView(s);
    shell->sidebar()->tap(item);
    return shell;
}

ScreenShot section(const char* name, SidebarItem item) {
    return {QString::fromLatin1(name), QSize(1100, 720), [item](const Services& s) { return shellOn(s, item); }};
}

const bool registered = registerScreenShots({
    section("shell-dashboard", SidebarItem::dashboard),
    section("shell-projects", SidebarItem::projects),
    section("shell-checklists", SidebarItem::checklists),
    section("shell-settings", SidebarItem::settings),
    // The banner a failed save leaves under the toolbar.
    {QStringLiteral("shell-save-failed"), QSize(1100, 720),
     [](const Services& s) {
         QWidget* shell = shellOn(s, SidebarItem::projects);
         emit s.context.saveFailed(QStringLiteral("database or disk is full"));
         return shell;
     }},
});

} // namespace
