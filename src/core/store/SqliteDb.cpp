#include "core/store/SqliteDb.h"

#include <sqlite3.h>

namespace {
bool g_refuseWrites = false;
}

SqliteDb::~SqliteDb() {
    for (auto* s : std::as_const(m_statements))
        sqlite3_finalize(s);
    if (m_db)
        sqlite3_close_v2(m_db);
}

void SqliteDb::setWritesRefusedForTesting(bool refused) { g_refuseWrites = refused; }

std::unique_ptr<SqliteDb> SqliteDb::open(const QString& path, Mode mode, QString* error) {
    std::unique_ptr<SqliteDb> db(new SqliteDb);
    int flags = SQLITE_OPEN_NOMUTEX;
    const bool readOnly = mode == Mode::ReadOnly || (mode == Mode::ReadWrite && g_refuseWrites);
    flags |= readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (mode == Mode::Create)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db->m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = db->m_db ? db->lastError() : reasonText(rc, QString::fromUtf8(sqlite3_errstr(rc)));
        return nullptr;
    }
    sqlite3_extended_result_codes(db->m_db, 1);
    if (mode == Mode::ReadOnly)
        sqlite3_db_config(db->m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(db->m_db, 2000);
    return db;
}

bool SqliteDb::exec(const char* sql, QString* error) {
    char* msg = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        if (error)
            *error = reasonText(sqlite3_extended_errcode(m_db), QString::fromUtf8(msg ? msg : sqlite3_errmsg(m_db)));
        sqlite3_free(msg);
        return false;
    }
    return true;
}

std::optional<QString> SqliteDb::queryText(const char* sql, QString* error) {
    sqlite3_stmt* st = prepare(sql, error);
    if (!st)
        return std::nullopt;
    StatementScope scope(st);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        return QString::fromUtf8(t ? t : "");
    }
    if (error)
        *error = rc == SQLITE_DONE ? QStringLiteral("no answer to %1").arg(QString::fromUtf8(sql)) : lastError();
    return std::nullopt;
}

sqlite3_stmt* SqliteDb::prepare(const QByteArray& sql, QString* error) {
    auto it = m_statements.constFind(sql);
    if (it != m_statements.constEnd()) {
        sqlite3_reset(*it);
        sqlite3_clear_bindings(*it);
        return *it;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK) {
        if (error)
            *error = lastError();
        return nullptr;
    }
    m_statements.insert(sql, stmt);
    return stmt;
}

QString SqliteDb::lastError() const {
    return reasonText(sqlite3_extended_errcode(m_db), QString::fromUtf8(sqlite3_errmsg(m_db)));
}

QString SqliteDb::reasonText(int extendedCode, const QString& sqliteText) {
    if (extendedCode == SQLITE_CONSTRAINT_FOREIGNKEY)
        return QStringLiteral("un élément lié n’existe plus dans le fichier de données");
    switch (extendedCode & 0xff) {
    case SQLITE_FULL: return QStringLiteral("le disque est plein");
    case SQLITE_READONLY: return QStringLiteral("le fichier de données est en lecture seule");
    case SQLITE_PERM: return QStringLiteral("l’accès au fichier de données est refusé");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return QStringLiteral("des données illisibles ont été trouvées dans le fichier");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("le fichier de données est utilisé par un autre programme");
    case SQLITE_IOERR:
        if (extendedCode == SQLITE_IOERR_NOMEM)
            return QStringLiteral("la mémoire est insuffisante");
        return QStringLiteral("erreur de lecture ou d’écriture sur le disque");
    case SQLITE_CANTOPEN: return QStringLiteral("le fichier de données ne peut pas être ouvert");
    case SQLITE_NOMEM: return QStringLiteral("la mémoire est insuffisante");
    default: return sqliteText;
    }
}

int SqliteDb::changes() const { return sqlite3_changes(m_db); }

bool SqliteDb::isReadOnly() const { return sqlite3_db_readonly(m_db, "main") == 1; }

StatementScope::~StatementScope() {
    if (m_stmt)
        sqlite3_reset(m_stmt);
}
