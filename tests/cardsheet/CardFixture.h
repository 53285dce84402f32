#pragma once

#include "cardsheet/AttachmentFiles.h"
#include "core/model/Models.h"
#include "support/TestServices.h"
#include "support/TestSupport.h"
#include "ui/DialogSeam.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

// A private store with one board: "À faire" (two cards), "En cours" (one card, one hidden card) and
// "Terminé" (one card), linked to a project. The clock ticks one second per reading.
class CardFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ts = std::make_unique<testsupport::TestServices>(base);
        services = &ts->services();
        attachmentfiles::setAttachmentsDirectoryForTesting(dir.path() + "/Attachments");
        DialogSeam::setNonInteractive(true);
        DialogSeam::reset();

        project = std::make_shared<Project>(
            ProjectFields{.name = "Site", .iconName = "folder", .createdAt = old, .updatedAt = old});
        context().insert(project);
        checklist = std::make_shared<Checklist>(ChecklistFields{.name = "Lancement",
                                                                .iconName = "checklist",
                                                                .colorKey = OptText("blue"),
                                                                .createdAt = old,
                                                                .updatedAt = old,
                                                                .project = project});
        context().insert(checklist);
        todo = column("À faire", 0);
        doing = column("En cours", 1);
        done = column("Terminé", 2);
        card(todo, "Maquette", 0);
        card(todo, "Textes", 1);
        card(doing, "Photos", 0);
        card(doing, "Caché", 1)->setDeletedAt(old);
        card(done, "Nom de domaine", 0);
        ASSERT_TRUE(context().save());
    }

    void TearDown() override {
        flush();
        attachmentfiles::setWriteLimitForTesting(-1);
        attachmentfiles::setAttachmentsDirectoryForTesting({});
        DialogSeam::reset();
        project.reset();
        checklist.reset();
        todo.reset();
        doing.reset();
        done.reset();
        ts.reset();
    }

    ModelContext& context() { return ts->context(); }

    ChecklistColumnPtr column(const QString& name, int order) {
        auto c = std::make_shared<ChecklistColumn>(ChecklistColumnFields{.name = name,
                                                                         .iconName = "circle",
                                                                         .orderIndex = order,
                                                                         .createdAt = old,
                                                                         .updatedAt = old,
                                                                         .checklist = checklist});
        context().insert(c);
        return c;
    }
    ChecklistCardPtr card(const ChecklistColumnPtr& col, const QString& title, int order,
                          OptText notes = std::nullopt) {
        auto c = std::make_shared<ChecklistCard>(ChecklistCardFields{
            .title = title, .notes = notes, .orderIndex = order, .createdAt = old, .updatedAt = old, .column = col});
        context().insert(c);
        return c;
    }
    // "order:title" of a column's visible cards, by order.
    static QStringList titles(const ChecklistColumnPtr& col) {
        std::vector<ChecklistCardPtr> cards;
        for (const auto& c : col->cards())
            if (!c->deletedAt())
                cards.push_back(c);
        std::stable_sort(cards.begin(), cards.end(),
                         [](const auto& a, const auto& b) { return a->orderIndex() < b->orderIndex(); });
        QStringList out;
        for (const auto& c : cards)
            out << QStringLiteral("%1:%2").arg(c->orderIndex()).arg(c->title());
        return out;
    }

    static void flush() { testsupport::flushEvents(); }

    QDateTime base = QDateTime(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC);
    QDateTime old = QDateTime(QDate(2025, 1, 1), QTime(8, 0), Qt::UTC);
    std::unique_ptr<testsupport::TestServices> ts;
    Services* services = nullptr;
    QTemporaryDir dir;
    ProjectPtr project;
    ChecklistPtr checklist;
    ChecklistColumnPtr todo, doing, done;
};
