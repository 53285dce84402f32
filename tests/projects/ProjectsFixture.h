#pragma once

#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "services/Services.h"
#include "support/TestServices.h"

#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

// A private store, preferences, theme and a clock that ticks one second per reading, handed to the
// screens as the router does.
class ProjectsFixture : public ::testing::Test {
protected:
    void TearDown() override {
        widgets.clear();
        flush();
    }

    static void flush() { testsupport::flushEvents(); }

    Services& services() { return env.services(); }
    ModelContext& context() { return env.context(); }

    QDateTime at(int minutes) const { return QDateTime(QDate(2025, 6, 1), QTime(8, 0), Qt::UTC).addSecs(minutes * 60); }

    ProjectPtr makeProject(const QString& name, int minutes, OptText details = std::nullopt,
                           OptText colorKey = std::nullopt, OptText colorHex = std::nullopt,
                           const QString& icon = QStringLiteral("folder.fill")) {
        auto p = std::make_shared<Project>(ProjectFields{QUuid::createUuid(), name, details, icon, colorKey, colorHex,
                                                         at(minutes), at(minutes), std::nullopt});
        context().insert(p);
        return p;
    }

    DocPtr makeDoc(const ProjectPtr& project, const QString& title, int minutes,
                   const QString& status = QStringLiteral("in_progress"), OptText colorKey = std::nullopt,
                   OptText colorHex = std::nullopt, const QString& icon = QStringLiteral("doc.text.fill")) {
        auto d = std::make_shared<Doc>(DocFields{QUuid::createUuid(), title, status, icon, colorKey, colorHex,
                                                 at(minutes), at(minutes), std::nullopt, project});
        context().insert(d);
        return d;
    }

    template <class W>
    W* keep(W* w) {
        widgets.emplace_back(w);
        return w;
    }

    testsupport::TestServices env;
    std::vector<std::unique_ptr<QWidget>> widgets;
};

// Types like a person, one key at a time (non-ASCII letters are inserted as typed text).
inline void typeText(QLineEdit* edit, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClicks(edit, QString(c));
        else
            edit->insert(QString(c));
    }
}
