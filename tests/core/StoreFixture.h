#pragma once

#include "core/model/SwiftDataContainer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

// A fresh store file per test, reopened on demand to check what reached the disk.
class StoreTest : public ::testing::Test {
public:
    ModelContext& ctxRef() { return container->mainContext(); }

protected:
    void SetUp() override { open(); }
    void TearDown() override { setCurrentModelContainer(nullptr); }

    void open() {
        container.reset();
        QString err;
        container = openModelContainer(path(), &err);
        ASSERT_TRUE(container) << err.toStdString();
        setCurrentModelContainer(container.get());
    }
    void reopen() {
        ASSERT_TRUE(ctx().save());
        open();
    }
    ModelContext& ctx() { return container->mainContext(); }
    QString path() const { return dir.path() + "/Tolmek/default.store"; }

    static QDateTime at(int seconds) { return QDateTime::fromSecsSinceEpoch(1'700'000'000 + seconds, Qt::UTC); }

    ProjectPtr project(const QString& name, int updated = 0) {
        auto p = std::make_shared<Project>(QUuid::createUuid(), name, std::nullopt, "folder", at(0), at(updated));
        ctx().insert(p);
        return p;
    }
    DocPtr doc(const ProjectPtr& p, const QString& title, int updated = 0) {
        auto d = std::make_shared<Doc>(QUuid::createUuid(), title, "in_progress", "doc.text", std::nullopt,
                                       std::nullopt, at(0), at(updated), std::nullopt, p);
        ctx().insert(d);
        return d;
    }
    DocBlockPtr block(const DocPtr& d, int order, const QString& content = {}) {
        auto b = std::make_shared<DocBlock>(QUuid::createUuid(), "text", order, content, std::nullopt, std::nullopt,
                                            std::nullopt, std::nullopt, false, at(0), at(0), std::nullopt, d);
        ctx().insert(b);
        return b;
    }
    ChecklistPtr checklist(const QString& name, const ProjectPtr& p = nullptr) {
        auto c = std::make_shared<Checklist>(QUuid::createUuid(), name, std::nullopt, "checklist", std::nullopt,
                                             std::nullopt, std::nullopt, at(0), at(0), std::nullopt, p);
        ctx().insert(c);
        return c;
    }
    ChecklistColumnPtr column(const ChecklistPtr& c, const QString& name, int index) {
        auto col = std::make_shared<ChecklistColumn>(QUuid::createUuid(), name, "circle", std::nullopt, std::nullopt,
                                                     index, std::nullopt, at(0), at(0), std::nullopt, c);
        ctx().insert(col);
        c->appendColumn(col);
        return col;
    }
    ChecklistCardPtr card(const ChecklistColumnPtr& col, const QString& title, int index) {
        auto card = std::make_shared<ChecklistCard>(QUuid::createUuid(), title, std::nullopt, index, std::nullopt,
                                                    at(0), at(0), std::nullopt, col);
        ctx().insert(card);
        col->appendCard(card);
        return card;
    }
    ChecklistAttachmentPtr attachment(const ChecklistCardPtr& card, const QString& path) {
        auto a = std::make_shared<ChecklistAttachment>(QUuid::createUuid(), "f.txt", std::nullopt, path,
                                                       std::nullopt, at(0), card);
        ctx().insert(a);
        card->appendAttachment(a);
        return a;
    }

    // Runs one SQL statement on the file through a second, raw connection; returns the first column of each row.
    QStringList sql(const QString& statement) const {
        sqlite3* db = nullptr;
        sqlite3_open(path().toUtf8().constData(), &db);
        QStringList rows;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, statement.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        } else {
            rows << QStringLiteral("ERROR: ") + QString::fromUtf8(sqlite3_errmsg(db));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return rows;
    }
    int count(const char* table) const { return sql(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)).value(0).toInt(); }

    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
};
