#include "core/store/ModelContext.h"

#include "core/store/SqliteDb.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace {

const char* kMetaTable = "TolmekStoreMetadata";

QByteArray sqlType(ColumnKind k) {
    switch (k) {
    case ColumnKind::Uuid: return "TEXT NOT NULL UNIQUE COLLATE NOCASE";   // ids match in any case
    case ColumnKind::Text: return "TEXT NOT NULL";
    case ColumnKind::OptText: return "TEXT";
    case ColumnKind::Int:
    case ColumnKind::Bool:
    case ColumnKind::Date: return "INTEGER NOT NULL";
    case ColumnKind::OptDate: return "INTEGER";
    case ColumnKind::OptBlob: return "BLOB";
    case ColumnKind::Link: return "TEXT COLLATE NOCASE";
    }
    return "TEXT";
}

// The delete rule of the owner's to-many side, as the child's foreign key carries it.
const char* onDelete(const EntityInfo& child, const EntityInfo& owner) {
    // Checklists outlive their project (nullify); every other owner cascades.
    if (QByteArray(child.name) == "Checklist" && QByteArray(owner.name) == "Project")
        return "SET NULL";
    return "CASCADE";
}

bool createSchema(SqliteDb& db, const std::vector<ModelContainer::Type>& schema, const QString& version,
                  QString* error) {
    if (!db.exec("BEGIN", error))
        return false;
    QByteArray sql = QByteArray("CREATE TABLE \"") + kMetaTable + "\" (\"key\" TEXT PRIMARY KEY, \"value\" TEXT)";
    bool ok = db.exec(sql.constData(), error);
    for (const auto& t : schema) {
        if (!ok)
            break;
        const EntityInfo& e = *t.info;
        QByteArray create = QByteArray("CREATE TABLE \"") + e.name + "\" (";
        QByteArrayList indexes;
        for (size_t i = 0; i < e.columns.size(); ++i) {
            const ColumnInfo& c = e.columns[i];
            if (i)
                create += ", ";
            create += QByteArray("\"") + c.name + "\" " + sqlType(c.kind);
            if (c.kind == ColumnKind::Link) {
                const EntityInfo& owner = *schema[size_t(c.linkEntity)].info;
                create += QByteArray(" REFERENCES \"") + owner.name + "\"(\"id\") ON DELETE " + onDelete(e, owner) +
                          " DEFERRABLE INITIALLY DEFERRED";
                indexes << QByteArray("CREATE INDEX \"") + e.name + "_" + c.name + "\" ON \"" + e.name + "\"(\"" +
                               c.name + "\")";
            }
        }
        create += ")";
        ok = db.exec(create.constData(), error);
        for (const auto& ix : indexes)
            ok = ok && db.exec(ix.constData(), error);
    }
    if (ok) {
        sqlite3_stmt* st = db.prepare(QByteArray("INSERT INTO \"") + kMetaTable + "\" VALUES ('schemaVersion', ?)", error);
        ok = st != nullptr;
        if (ok) {
            const QByteArray v = version.toUtf8();
            sqlite3_bind_text(st, 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
            ok = sqlite3_step(st) == SQLITE_DONE;
            sqlite3_reset(st);
            if (!ok && error)
                *error = db.lastError();
        }
    }
    if (ok && db.exec("COMMIT", error))
        return true;
    db.exec("ROLLBACK");
    return false;
}

// Reads without writing: is this our store, at this version, with every table and column?
bool checkSchema(SqliteDb& db, const std::vector<ModelContainer::Type>& schema, const QString& version,
                 bool& empty, QString* error) {
    sqlite3_stmt* st = db.prepare("SELECT name FROM sqlite_master WHERE type='table'", error);
    if (!st)
        return false;
    QStringList tables;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) {
        if (error)
            *error = db.lastError();
        return false;
    }
    empty = tables.isEmpty();
    if (empty)
        return true;
    if (!tables.contains(QString::fromLatin1(kMetaTable))) {
        if (error)
            *error = QStringLiteral("the file is not a Tolmek store");
        return false;
    }
    st = db.prepare(QByteArray("SELECT value FROM \"") + kMetaTable + "\" WHERE key='schemaVersion'", error);
    if (!st)
        return false;
    QString found;
    if (sqlite3_step(st) == SQLITE_ROW)
        found = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_reset(st);
    if (found != version) {
        if (error)
            *error = QStringLiteral("the store records schema version %1, expected %2")
                         .arg(found.isEmpty() ? QStringLiteral("(none)") : found, version);
        return false;
    }
    for (const auto& t : schema) {
        const EntityInfo& e = *t.info;
        sqlite3_stmt* info = db.prepare(QByteArray("PRAGMA table_info(\"") + e.name + "\")", error);
        if (!info)
            return false;
        QSet<QString> columns;
        while (sqlite3_step(info) == SQLITE_ROW)
            columns.insert(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info, 1))));
        sqlite3_reset(info);
        for (const auto& c : e.columns)
            if (!columns.contains(QString::fromLatin1(c.name))) {
                if (error)
                    *error = QStringLiteral("the store lacks %1.%2").arg(QString::fromLatin1(e.name),
                                                                          QString::fromLatin1(c.name));
                return false;
            }
    }
    return true;
}

} // namespace

std::unique_ptr<ModelContainer> ModelContainer::open(const QString& path, const std::vector<Type>& schema,
                                                     const QString& version, QString* error) {
    QString err;
    const bool exists = QFileInfo::exists(path);
    if (exists && !QFileInfo(path).isFile()) {
        if (error)
            *error = QStringLiteral("%1 is not a file").arg(path);
        return nullptr;
    }
    // An existing file is checked through a read-only connection, so that a refused one (another
    // program's, another version's) is left exactly as it was, its write-ahead log included.
    bool empty = !exists;
    std::unique_ptr<SqliteDb> db;
    if (exists) {
        db = SqliteDb::open(path, SqliteDb::Mode::ReadOnly, &err);
        const bool ok = db && checkSchema(*db, schema, version, empty, &err);
        db.reset();
        if (ok)
            db = SqliteDb::open(path, SqliteDb::Mode::ReadWrite, &err);
    } else {
        db = SqliteDb::open(path, SqliteDb::Mode::Create, &err);
    }
    // Only a validated store is touched: the journal mode is written into the file's header.
    if (db && (!db->exec("PRAGMA journal_mode=WAL", &err) || !db->exec("PRAGMA synchronous=FULL", &err) ||
               !db->exec("PRAGMA foreign_keys=ON", &err)))
        db.reset();
    if (db && empty && !createSchema(*db, schema, version, &err))
        db.reset();
    if (!db) {
        if (error)
            *error = err;
        return nullptr;
    }
    std::vector<const EntityInfo*> infos;
    std::vector<std::function<std::shared_ptr<PersistentModel>(const QUuid&)>> factories;
    for (const auto& t : schema) {
        infos.push_back(t.info);
        factories.push_back(t.make);
    }
    std::unique_ptr<ModelContainer> c(new ModelContainer);
    c->m_path = path;
    c->m_context.reset(new ModelContext(std::move(db), infos, std::move(factories)));
    return c;
}

ModelContainer::~ModelContainer() = default;
