#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// One SQLite connection with a cache of prepared statements.
class SqliteDb {
public:
    ~SqliteDb();
    enum class Mode { ReadOnly, ReadWrite, Create };
    // Opens a file; only Create makes a missing one. Opening changes nothing in the file.
    // A read-only connection never folds the write-ahead log into the file when it closes.
    static std::unique_ptr<SqliteDb> open(const QString& path, Mode mode, QString* error);
    // Test seam: read-write opens get a read-only connection, as for a file the user may not write.
    static void setWritesRefusedForTesting(bool refused);

    sqlite3* handle() const { return m_db; }
    bool exec(const char* sql, QString* error = nullptr);
    // The first column of the first row of a statement that returns one (a pragma's answer).
    std::optional<QString> queryText(const char* sql, QString* error = nullptr);
    // A prepared statement, reset and with cleared bindings, owned by the cache.
    sqlite3_stmt* prepare(const QByteArray& sql, QString* error = nullptr);
    // The last failure's reason, in French for what a person can meet (see reasonText).
    QString lastError() const;
    // A failure's reason for the person: French for the result codes a person can meet (a full disk, a file
    // that cannot be written or is damaged, locked by another program, a disk error), SQLite's own text else.
    static QString reasonText(int extendedCode, const QString& sqliteText);
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int changes() const;
    // Whether the connection may not write (file permissions, or a read-only open).
    bool isReadOnly() const;

private:
    SqliteDb() = default;
    sqlite3* m_db = nullptr;
    QHash<QByteArray, sqlite3_stmt*> m_statements;
};

// Resets a cached statement when leaving scope.
class StatementScope {
public:
    explicit StatementScope(sqlite3_stmt* s) : m_stmt(s) {}
    ~StatementScope();
    StatementScope(const StatementScope&) = delete;
    StatementScope& operator=(const StatementScope&) = delete;

private:
    sqlite3_stmt* m_stmt;
};
