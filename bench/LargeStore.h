#pragma once

// The large store the benchmarks open: 1,000 projects, 10,000 documents, 100,000 blocks and, on request,
// 200 checklists of two columns with 2,000 cards; written straight into a store made by the app's own code.

#include "core/model/SwiftDataContainer.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace benchstore {

inline void exec(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", err);
        std::abort();
    }
}

inline std::string uuid() { return store::uuidText(QUuid::createUuid()).toStdString(); }

inline void build(const QString& path, bool withChecklists) {
    QString err;
    if (!openModelContainer(path, &err)) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        std::abort();
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    exec(db, "BEGIN");
    std::vector<std::string> projects, docs;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Project VALUES (?,?,NULL,'folder','blue',NULL,0,?,NULL)", -1, &st, nullptr);
    for (int i = 0; i < 1000; ++i) {
        projects.push_back(uuid());
        sqlite3_bind_text(st, 1, projects.back().c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, ("Projet " + std::to_string(i)).c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 3, i * 1000LL);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "INSERT INTO Doc VALUES (?,?,'done','doc.text',NULL,NULL,0,?,NULL,?)", -1, &st, nullptr);
    for (int i = 0; i < 10000; ++i) {
        docs.push_back(uuid());
        sqlite3_bind_text(st, 1, docs.back().c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, ("Document " + std::to_string(i)).c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 3, i * 7000LL);
        sqlite3_bind_text(st, 4, projects[size_t(i % 1000)].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    const std::string content(200, 'x');
    const std::string rtf(2000, 'r');
    sqlite3_prepare_v2(db, "INSERT INTO DocBlock VALUES (?,'text',?,?,NULL,NULL,?,NULL,0,0,0,NULL,?)", -1, &st,
                       nullptr);
    for (int i = 0; i < 100000; ++i) {
        sqlite3_bind_text(st, 1, uuid().c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 2, i / 10000);
        sqlite3_bind_text(st, 3, content.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_blob(st, 4, rtf.data(), int(rtf.size()), SQLITE_STATIC);
        sqlite3_bind_text(st, 5, docs[size_t(i % 10000)].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    for (int c = 0; withChecklists && c < 200; ++c) {
        const std::string cl = uuid();
        exec(db,
             "INSERT INTO Checklist VALUES ('" + cl + "','Checklist " + std::to_string(c) +
                 "',NULL,'checklist',NULL,NULL,NULL,0," + std::to_string(c) + ",NULL,NULL)");
        for (int k = 0; k < 2; ++k) {
            const std::string col = uuid();
            exec(db,
                 "INSERT INTO ChecklistColumn VALUES ('" + col + "','" + (k ? "Terminé" : "À faire") +
                     "','circle',NULL,NULL," + std::to_string(k) + ",NULL,0,0,NULL,'" + cl + "')");
            for (int n = 0; n < 5; ++n)
                exec(db,
                     "INSERT INTO ChecklistCard VALUES ('" + uuid() + "','Carte',NULL," + std::to_string(n) +
                         ",NULL,0,0,NULL,'" + col + "')");
        }
    }
    exec(db, "COMMIT");
    exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
    sqlite3_close(db);
}

} // namespace benchstore
