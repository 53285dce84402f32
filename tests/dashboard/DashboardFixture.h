#pragma once

#include "support/TestServices.h"

#include <QDateTime>
#include <QUuid>

#include <gtest/gtest.h>

// Makes the objects a dashboard reads, stamped `minutes` after a fixed morning.
class DashboardFixture : public ::testing::Test {
protected:
    static QDateTime at(int minutes) {
        return QDateTime(QDate(2025, 6, 1), QTime(8, 0), Qt::UTC).addSecs(qint64(minutes) * 60);
    }

    ModelContext& context() { return env.context(); }

    ProjectPtr makeProject(const QString& name, int minutes, OptText details = std::nullopt,
                           OptText colorKey = std::nullopt, OptText colorHex = std::nullopt) {
        auto p = std::make_shared<Project>(ProjectFields{.name = name,
                                                         .details = details,
                                                         .iconName = QStringLiteral("folder.fill"),
                                                         .colorKey = colorKey,
                                                         .colorHex = colorHex,
                                                         .createdAt = at(minutes),
                                                         .updatedAt = at(minutes)});
        context().insert(p);
        return p;
    }

    DocPtr makeDoc(const ProjectPtr& project, const QString& title, int minutes,
                   const QString& status = QStringLiteral("in_progress")) {
        auto d = std::make_shared<Doc>(DocFields{.title = title,
                                                 .statusRaw = status,
                                                 .iconName = QStringLiteral("doc.text"),
                                                 .createdAt = at(minutes),
                                                 .updatedAt = at(minutes),
                                                 .project = project});
        context().insert(d);
        return d;
    }

    ChecklistPtr makeChecklist(const QString& name, int minutes, const ProjectPtr& project = nullptr) {
        auto c = std::make_shared<Checklist>(ChecklistFields{.name = name,
                                                             .iconName = QStringLiteral("checklist"),
                                                             .createdAt = at(minutes),
                                                             .updatedAt = at(minutes),
                                                             .project = project});
        context().insert(c);
        return c;
    }

    testsupport::TestServices env;
};
