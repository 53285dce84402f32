#pragma once

// A private store and a clock that ticks one second per reading, with builders for boards.

#include "checklists/ChecklistEdits.h"
#include "checklists/ChecklistLogic.h"
#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class ChecklistStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::setNowForTesting([this] { return base.addSecs(++ticks); });
        open();
    }
    void TearDown() override {
        Clock::setNowForTesting({});
        container.reset();
    }

    void open() {
        container.reset();
        QString err;
        container = openModelContainer(dir.path() + "/t.store", &err);
        ASSERT_TRUE(container) << err.toStdString();
    }
    // Saves, closes and opens the file again: what a restart would read.
    void reopen() {
        ASSERT_TRUE(ctx().save());
        open();
    }

    ModelContext& ctx() { return container->mainContext(); }
    ChecklistEdits edits() { return ChecklistEdits(ctx()); }
    QDateTime at(int s) const { return QDateTime(QDate(2025, 1, 1), QTime(8, 0), Qt::UTC).addSecs(s); }

    ProjectPtr project(const QString& name, OptText key = std::nullopt, OptText hex = std::nullopt) {
        auto p = std::make_shared<Project>(ProjectFields{.name = name,
                                                         .iconName = "folder",
                                                         .colorKey = key,
                                                         .colorHex = hex,
                                                         .createdAt = at(0),
                                                         .updatedAt = at(0)});
        ctx().insert(p);
        return p;
    }
    ChecklistPtr checklist(const QString& name, const ProjectPtr& p = nullptr, OptText key = std::nullopt,
                           OptText hex = std::nullopt) {
        auto c = std::make_shared<Checklist>(ChecklistFields{.name = name,
                                                             .iconName = "checklist",
                                                             .colorKey = key,
                                                             .colorHex = hex,
                                                             .createdAt = at(0),
                                                             .updatedAt = at(0),
                                                             .project = p});
        ctx().insert(c);
        return c;
    }
    ChecklistColumnPtr column(const ChecklistPtr& c, const QString& name, qint64 index, bool hidden = false) {
        auto col =
            std::make_shared<ChecklistColumn>(ChecklistColumnFields{.name = name,
                                                                    .iconName = "circle",
                                                                    .orderIndex = index,
                                                                    .createdAt = at(0),
                                                                    .updatedAt = at(0),
                                                                    .deletedAt = hidden ? OptDate(at(1)) : std::nullopt,
                                                                    .checklist = c});
        ctx().insert(col);
        return col;
    }
    ChecklistCardPtr card(const ChecklistColumnPtr& col, const QString& title, qint64 index, bool hidden = false) {
        auto card =
            std::make_shared<ChecklistCard>(ChecklistCardFields{.title = title,
                                                                .orderIndex = index,
                                                                .createdAt = at(0),
                                                                .updatedAt = at(0),
                                                                .deletedAt = hidden ? OptDate(at(1)) : std::nullopt,
                                                                .column = col});
        ctx().insert(card);
        return card;
    }
    // Adds `n` visible cards named prefix1..prefixN with order indices 0..n-1.
    void cards(const ChecklistColumnPtr& col, int n, const QString& prefix = QStringLiteral("c")) {
        for (int i = 0; i < n; ++i)
            card(col, prefix + QString::number(i + 1), i);
    }

    template <class T>
    static QStringList names(const std::vector<std::shared_ptr<T>>& list) {
        QStringList out;
        for (const auto& o : list) {
            if constexpr (std::is_same_v<T, ChecklistCard>)
                out << o->title();
            else
                out << o->name();
        }
        return out;
    }
    template <class T>
    static std::vector<int> orders(const std::vector<std::shared_ptr<T>>& list) {
        std::vector<int> out;
        for (const auto& o : list)
            out.push_back(o->orderIndex());
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
    QDateTime base = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
    int ticks = 0;
};
