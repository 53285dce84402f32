#pragma once

#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

// A private store, preferences and a clock that ticks one second per reading.
class ProjectsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QString err;
        container = openModelContainer(dir.path() + "/t.store", &err);
        ASSERT_TRUE(container) << err.toStdString();
        setCurrentModelContainer(container.get());
        Clock::setNowForTesting([this] { return base.addSecs(++ticks); });
    }

    void TearDown() override {
        widgets.clear();
        flush();
        Clock::setNowForTesting({});
        setCurrentModelContainer(nullptr);
        container.reset();
    }

    static void flush() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    QDateTime at(int minutes) const { return QDateTime(QDate(2025, 6, 1), QTime(8, 0), Qt::UTC).addSecs(minutes * 60); }

    ProjectPtr makeProject(const QString& name, int minutes, OptText details = std::nullopt,
                           OptText colorKey = std::nullopt, OptText colorHex = std::nullopt,
                           const QString& icon = QStringLiteral("folder.fill")) {
        auto p = std::make_shared<Project>(QUuid::createUuid(), name, details, icon, colorKey, colorHex, at(minutes),
                                           at(minutes));
        modelContext().insert(p);
        return p;
    }

    DocPtr makeDoc(const ProjectPtr& project, const QString& title, int minutes,
                   const QString& status = QStringLiteral("in_progress"), OptText colorKey = std::nullopt,
                   OptText colorHex = std::nullopt, const QString& icon = QStringLiteral("doc.text.fill")) {
        auto d = std::make_shared<Doc>(QUuid::createUuid(), title, status, icon, colorKey, colorHex, at(minutes),
                                       at(minutes), std::nullopt, project);
        modelContext().insert(d);
        return d;
    }

    template <class W>
    W* keep(W* w) {
        widgets.emplace_back(w);
        return w;
    }

    testsupport::ScopedPreferences prefs;
    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
    QDateTime base = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
    int ticks = 0;
    std::vector<std::unique_ptr<QWidget>> widgets;
};

#include <QLineEdit>
#include <QTest>

// Types like a person, one key at a time (non-ASCII letters are inserted as typed text).
inline void typeText(QLineEdit* edit, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClicks(edit, QString(c));
        else
            edit->insert(QString(c));
    }
}
