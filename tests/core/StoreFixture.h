#pragma once

#include "core/model/SwiftDataContainer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

inline QStringList rawSql(const QString& path, const QString& statement);

// A fresh store file per test, reopened on demand to check what reached the disk.
class StoreTest : public ::testing::Test {
public:
    ModelContext& ctxRef() { return container->mainContext(); }
    static QDateTime at(int seconds) { return QDateTime::fromSecsSinceEpoch(1'700'000'000 + seconds, Qt::UTC); }
    QString rawValue(const QString& statement) const { return rawSql(path(), statement).value(0); }

protected:
    void SetUp() override { open(); }

    void open() {
        container.reset();
        QString err;
        container = openModelContainer(path(), &err);
        ASSERT_TRUE(container) << err.toStdString();
    }
    void reopen() {
        ASSERT_TRUE(ctx().save());
        open();
    }
    ModelContext& ctx() { return container->mainContext(); }
    QString path() const { return dir.path() + "/Tolmek/default.store"; }

    ProjectPtr project(const QString& name, int updated = 0) {
        auto p = std::make_shared<Project>(
            ProjectFields{.name = name, .iconName = "folder", .createdAt = at(0), .updatedAt = at(updated)});
        ctx().insert(p);
        return p;
    }
    DocPtr doc(const ProjectPtr& p, const QString& title, int updated = 0) {
        auto d = std::make_shared<Doc>(DocFields{.title = title,
                                                 .statusRaw = "in_progress",
                                                 .iconName = "doc.text",
                                                 .createdAt = at(0),
                                                 .updatedAt = at(updated),
                                                 .project = p});
        ctx().insert(d);
        return d;
    }
    DocBlockPtr block(const DocPtr& d, int order, const QString& content = {}) {
        auto b = std::make_shared<DocBlock>(DocBlockFields{
            .typeRaw = "text", .order = order, .content = content, .createdAt = at(0), .updatedAt = at(0), .doc = d});
        ctx().insert(b);
        return b;
    }
    ChecklistPtr checklist(const QString& name, const ProjectPtr& p = nullptr) {
        auto c = std::make_shared<Checklist>(ChecklistFields{
            .name = name, .iconName = "checklist", .createdAt = at(0), .updatedAt = at(0), .project = p});
        ctx().insert(c);
        return c;
    }
    ChecklistColumnPtr column(const ChecklistPtr& c, const QString& name, int index) {
        auto col = std::make_shared<ChecklistColumn>(ChecklistColumnFields{.name = name,
                                                                           .iconName = "circle",
                                                                           .orderIndex = index,
                                                                           .createdAt = at(0),
                                                                           .updatedAt = at(0),
                                                                           .checklist = c});
        ctx().insert(col);
        c->appendColumn(col);
        return col;
    }
    ChecklistCardPtr card(const ChecklistColumnPtr& col, const QString& title, int index) {
        auto card = std::make_shared<ChecklistCard>(ChecklistCardFields{
            .title = title, .orderIndex = index, .createdAt = at(0), .updatedAt = at(0), .column = col});
        ctx().insert(card);
        col->appendCard(card);
        return card;
    }
    ChecklistAttachmentPtr attachment(const ChecklistCardPtr& card, const QString& path) {
        auto a = std::make_shared<ChecklistAttachment>(
            ChecklistAttachmentFields{.fileName = "f.txt", .localPath = path, .createdAt = at(0), .card = card});
        ctx().insert(a);
        card->appendAttachment(a);
        return a;
    }

    // Runs one SQL statement on the file through a second, raw connection; returns the first column of each row.
    QStringList sql(const QString& statement) const { return rawSql(path(), statement); }
    int count(const char* table) const {
        return sql(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)).value(0).toInt();
    }

    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
};

// Raw access to a file, as another program would have it.
inline QStringList rawSql(const QString& path, const QString& statement) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
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

// Runs statements (several, separated by semicolons) on a file through a raw connection.
inline void rawExec(const QString& path, const char* statements) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    char* err = nullptr;
    if (sqlite3_exec(db, statements, nullptr, nullptr, &err) != SQLITE_OK)
        ADD_FAILURE() << err;
    sqlite3_free(err);
    sqlite3_close(db);
}

inline QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The files of a folder, to see that nothing appeared beside a refused store.
inline QStringList filesIn(const QString& dir) { return QDir(dir).entryList(QDir::Files, QDir::Name); }
