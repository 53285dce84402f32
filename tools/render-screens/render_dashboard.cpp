// The dashboard: empty, and full with and without avatar, modules collapsed and expanded, modules off.
#include "render-screens/RenderScreens.h"

#include "core/model/Models.h"
#include "core/model/UserProfile.h"
#include "dashboard/DashboardView.h"
#include "dashboard/DashboardWidgets.h"
#include "prefs/Preferences.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include "ui/FlowScrollArea.h"
#include <QScrollBar>

namespace {

QDateTime stamp(int minutes) { return QDateTime(QDate(2026, 3, 10), QTime(9, 0), Qt::UTC).addSecs(minutes * 60); }

void fill(const Services& s, bool avatar) {
    ModelContext& ctx = s.context;
    UserProfile profile{QStringLiteral("Camille"), QStringLiteral("Martin"), std::nullopt};
    if (avatar)
        profile.avatarData = samplePortraitJpeg();
    s.profile.setProfile(profile);
    struct P {
        const char* name;
        const char* details;
        const char* icon;
        const char* key;
    };
    const P projects[] = {
        {"Site vitrine", "Refonte des pages d’accueil et du blog, avec le nouveau guide de style.", "globe", "blue"},
        {"Application mobile", "", "hammer.fill", "pink"},
        {"Documentation API",
         "Référence des points d’accès, exemples et guides de migration pour la version 2, "
         "avec une description assez longue pour être coupée après deux lignes.",
         "book.fill", "green"},
        {"Infrastructure", nullptr, "server.rack", "orange"},
        {"Archives", "Ancien projet", "archivebox.fill", "gray"},
    };
    std::vector<ProjectPtr> made;
    int minute = 0;
    for (const P& p : projects) {
        auto project = std::make_shared<Project>(
            ProjectFields{.name = QString::fromUtf8(p.name),
                          .details = p.details ? OptText(QString::fromUtf8(p.details)) : std::nullopt,
                          .iconName = QString::fromUtf8(p.icon),
                          .colorKey = OptText(QString::fromUtf8(p.key)),
                          .createdAt = stamp(0),
                          .updatedAt = stamp(100 - minute)});
        ctx.insert(project);
        made.push_back(project);
        minute += 7;
    }
    const char* statuses[] = {"done", "in_progress", "needs_changes", "in_progress", "done", "in_progress"};
    const char* titles[] = {"Cahier des charges",         "Maquettes",      "Plan de tests",
                            "Notes de réunion",           "Guide de style", "   ",
                            "Checklist de mise en ligne", "Budget"};
    for (int i = 0; i < 14; ++i) {
        auto doc = std::make_shared<Doc>(
            DocFields{.title = QString::fromUtf8(titles[i % 8]),
                      .statusRaw = QString::fromUtf8(statuses[i % 6]),
                      .iconName = QStringLiteral("doc.text"),
                      .colorKey = OptText(i % 3 ? QStringLiteral("purple") : QStringLiteral("blue")),
                      .createdAt = stamp(0),
                      .updatedAt = stamp(200 - i * 13),
                      .project = i == 5 ? nullptr : made[size_t(i % 5)]});
        ctx.insert(doc);
    }
    const char* lists[] = {"Lancement", "Recette", "", "Courses du bureau", "Rentrée"};
    for (int i = 0; i < 5; ++i) {
        auto c = std::make_shared<Checklist>(ChecklistFields{.name = QString::fromUtf8(lists[i]),
                                                             .iconName = QStringLiteral("checklist"),
                                                             .colorKey = OptText(i % 2 ? "teal" : "indigo"),
                                                             .createdAt = stamp(0),
                                                             .updatedAt = stamp(300 - i * 5),
                                                             .project = i % 2 ? nullptr : made[size_t(i)]});
        ctx.insert(c);
    }
    s.prefs.setValue(QStringLiteral("dashboard.quickNoteNotes"),
                     QStringLiteral("Reprendre la relecture du plan de tests, puis appeler l’équipe mobile."));
}

QWidget* makeDashboard(const Services& s) { return new DashboardView(s, {}, {}, {}, {}, {}, {}); }

void expandAll(QWidget* w) {
    auto* view = static_cast<DashboardView*>(w);
    view->toggleExpandedStatus(DocStatus::inProgress);
    if (view->quickNoteAccordion())
        view->quickNoteAccordion()->setExpanded(true);
}

void scrollToModules(QWidget* w) {
    auto* view = static_cast<DashboardView*>(w);
    expandAll(w);
    QCoreApplication::processEvents();
    view->scrollArea()->verticalScrollBar()->setValue(view->scrollArea()->verticalScrollBar()->maximum());
}

} // namespace

static const bool registered = registerScreenShots({
    ScreenShot{"dashboard-empty", QSize(880, 900), [](const Services& s) { return makeDashboard(s); }},
    ScreenShot{"dashboard-full-avatar", QSize(880, 1000),
               [](const Services& s) {
                   fill(s, true);
                   return makeDashboard(s);
               }},
    ScreenShot{"dashboard-full-expanded", QSize(880, 1000),
               [](const Services& s) {
                   fill(s, true);
                   return makeDashboard(s);
               },
               expandAll},
    ScreenShot{"dashboard-expanded-modules", QSize(880, 800),
               [](const Services& s) {
                   fill(s, false);
                   return makeDashboard(s);
               },
               scrollToModules},
    ScreenShot{"dashboard-modules-off", QSize(880, 700),
               [](const Services& s) {
                   fill(s, false);
                   s.prefs.setValue(QStringLiteral("dashboard.showQuickNote"), false);
                   s.prefs.setValue(QStringLiteral("dashboard.showChecklist"), false);
                   return makeDashboard(s);
               }},
    ScreenShot{"dashboard-narrow", QSize(640, 900),
               [](const Services& s) {
                   fill(s, false);
                   s.prefs.setValue(QStringLiteral("dashboard.showQuickNote"), false);
                   return makeDashboard(s);
               }},
});
