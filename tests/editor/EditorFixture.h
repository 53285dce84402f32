#pragma once

#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "support/TestServices.h"
#include "support/TestSupport.h"
#include "ui/DialogSeam.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

// A private store with one project and one document; blocks are added by hand.
class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        DialogSeam::reset();
        DialogSeam::setNonInteractive(true);
        env = std::make_unique<testsupport::TestServices>();
        project = std::make_shared<Project>(ProjectFields{.name = QStringLiteral("Projet"),
                                                          .iconName = QStringLiteral("folder.fill"),
                                                          .createdAt = at(0),
                                                          .updatedAt = at(0)});
        context().insert(project);
        doc = std::make_shared<Doc>(DocFields{.title = QStringLiteral("Guide"),
                                              .statusRaw = QStringLiteral("in_progress"),
                                              .iconName = QStringLiteral("doc.text.fill"),
                                              .createdAt = at(0),
                                              .updatedAt = at(0),
                                              .project = project});
        context().insert(doc);
        ASSERT_TRUE(context().save());
    }

    void TearDown() override {
        testsupport::flushEvents();
        doc.reset();
        project.reset();
        env.reset();
        DialogSeam::reset();
    }

    ModelContext& context() { return env->context(); }
    const Services& services() { return env->services(); }

    static QDateTime at(int minutes) {
        return QDateTime(QDate(2025, 6, 1), QTime(8, 0), Qt::UTC).addSecs(qint64(minutes) * 60);
    }

    DocBlockPtr block(qint64 order, const QString& type = QStringLiteral("text"), const QString& content = {},
                      bool hidden = false) {
        auto b = std::make_shared<DocBlock>(DocBlockFields{.typeRaw = type,
                                                           .order = order,
                                                           .content = content,
                                                           .createdAt = at(1),
                                                           .updatedAt = at(1),
                                                           .deletedAt = hidden ? OptDate(at(2)) : std::nullopt,
                                                           .doc = doc});
        context().insert(b);
        return b;
    }

    // Closes and reopens the store; returns the document as read back from the file.
    DocPtr reopened() {
        const QUuid id = doc->id();
        doc.reset();
        project.reset();
        env->reopenStore();
        return context().object<Doc>(id);
    }

    static DocBlockPtr byId(const DocPtr& d, const QUuid& id) {
        for (const auto& b : d->blocks())
            if (b->id() == id)
                return b;
        return nullptr;
    }

    std::unique_ptr<testsupport::TestServices> env;
    ProjectPtr project;
    DocPtr doc;
};
