#include "core/store/ModelContext.h"

#include "core/store/LogSync.h"
#include "core/store/SqliteDb.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

#include <cstdio>

namespace {

const char* kMetaTable = "TolmekStoreMetadata";

QByteArray sqlType(ColumnKind k) {
    switch (k) {
    case ColumnKind::Uuid: return "TEXT NOT NULL UNIQUE COLLATE NOCASE"; // ids match in any case
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

QByteArray indexName(const EntityInfo& e, const ColumnInfo& c) { return QByteArray(e.name) + "_" + c.name; }

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
                create += QByteArray(" REFERENCES \"") + owner.name + "\"(\"id\") ON DELETE " +
                    (c.onOwnerDelete == DeleteRule::cascade ? "CASCADE" : "SET NULL") +
                    " DEFERRABLE INITIALLY DEFERRED";
                indexes << QByteArray("CREATE INDEX \"") + indexName(e, c) + "\" ON \"" + e.name + "\"(\"" + c.name +
                        "\")";
            }
        }
        create += ")";
        ok = db.exec(create.constData(), error);
        for (const auto& ix : indexes)
            ok = ok && db.exec(ix.constData(), error);
    }
    if (ok) {
        sqlite3_stmt* st =
            db.prepare(QByteArray("INSERT INTO \"") + kMetaTable + "\" VALUES ('schemaVersion', ?)", error);
        ok = st != nullptr;
        if (ok) {
            StatementScope scope(st);
            const QByteArray v = version.toUtf8();
            sqlite3_bind_text(st, 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
            ok = sqlite3_step(st) == SQLITE_DONE;
            if (!ok && error)
                *error = db.lastError();
        }
    }
    if (ok && db.exec("COMMIT", error))
        return true;
    db.exec("ROLLBACK");
    return false;
}

// Steps a statement to its end, handing each row to `row`; false (with the error) when a step fails.
template <class Row>
bool eachRow(SqliteDb& db, sqlite3_stmt* st, QString* error, Row row) {
    StatementScope scope(st);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        row(st);
    if (rc == SQLITE_DONE)
        return true;
    if (error)
        *error = db.lastError();
    return false;
}

QString text(sqlite3_stmt* st, int c) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
    return QString::fromUtf8(t ? t : "");
}

bool refuse(QString* error, const QString& why) {
    if (error)
        *error = why;
    return false;
}

// Reads without writing: is this exactly our store, at this version? Another program's file (tables,
// views, triggers or indexes of its own, or none of ours) is not ours, even if it holds no data.
bool checkSchema(SqliteDb& db, const std::vector<ModelContainer::Type>& schema, const QString& version,
                 QString* error) {
    const QString notOurs = QStringLiteral("ce fichier n’est pas un fichier de données Tolmek");
    QSet<QString> expectedTables{QString::fromLatin1(kMetaTable)};
    QSet<QString> expectedIndexes;
    for (const auto& t : schema) {
        expectedTables.insert(QString::fromLatin1(t.info->name));
        for (const auto& c : t.info->columns)
            if (c.kind == ColumnKind::Link)
                expectedIndexes.insert(QString::fromLatin1(indexName(*t.info, c)));
    }
    sqlite3_stmt* st = db.prepare("SELECT type, name FROM sqlite_master", error);
    if (!st)
        return false;
    QSet<QString> tables, indexes;
    QStringList foreign;
    const bool read = eachRow(db, st, error, [&](sqlite3_stmt* s) {
        const QString type = text(s, 0), name = text(s, 1);
        if (type == QLatin1String("table") && expectedTables.contains(name))
            tables.insert(name);
        else if (type == QLatin1String("index") && expectedIndexes.contains(name))
            indexes.insert(name);
        else if (!name.startsWith(QLatin1String("sqlite_"))) // SQLite's own (unique-key indexes, statistics)
            foreign << QStringLiteral("%1 %2").arg(type, name);
    });
    if (!read)
        return false;
    if (!foreign.isEmpty() || tables != expectedTables || indexes != expectedIndexes)
        return refuse(error,
                      foreign.isEmpty() ? notOurs
                                        : notOurs + QStringLiteral(" (il contient %1)").arg(foreign.join(", ")));

    st = db.prepare(QByteArray("SELECT value FROM \"") + kMetaTable + "\" WHERE key='schemaVersion'", error);
    if (!st)
        return false;
    QString found;
    if (!eachRow(db, st, error, [&](sqlite3_stmt* s) { found = text(s, 0); }))
        return false;
    if (found != version)
        return refuse(error,
                      QStringLiteral("le fichier de données est à la version %1, Tolmek attend la version %2")
                          .arg(found.isEmpty() ? QStringLiteral("(aucune)") : found, version));

    for (const auto& t : schema) {
        const EntityInfo& e = *t.info;
        sqlite3_stmt* info = db.prepare(QByteArray("PRAGMA table_info(\"") + e.name + "\")", error);
        if (!info)
            return false;
        QStringList columns;
        if (!eachRow(db, info, error, [&](sqlite3_stmt* s) { columns << text(s, 1); }))
            return false;
        QStringList expected;
        for (const auto& c : e.columns)
            expected << QString::fromLatin1(c.name);
        if (columns != expected)
            return refuse(error,
                          QStringLiteral("la table %1 du fichier de données a les colonnes %2, Tolmek attend %3")
                              .arg(QString::fromLatin1(e.name), columns.join(", "), expected.join(", ")));
    }
    return true;
}

// A new store is built under a temporary name and renamed into place once complete, so that an
// interrupted creation never leaves a half-made file that the next start would refuse.
bool createStore(const QString& path, const std::vector<ModelContainer::Type>& schema, const QString& version,
                 QString* error) {
    const QString temp = path + QStringLiteral(".new");
    for (const char* leftover : {"", "-journal", "-wal", "-shm"}) // of a creation cut short
        QFile::remove(temp + QLatin1String(leftover));
    bool ok = false;
    {
        auto db = SqliteDb::open(temp, SqliteDb::Mode::Create, error);
        ok = db && db->exec("PRAGMA synchronous=FULL", error) && createSchema(*db, schema, version, error);
        if (ok) {
            const auto mode = db->queryText("PRAGMA journal_mode=WAL", error);
            ok = mode && mode->compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
            if (mode && !ok && error)
                *error = QStringLiteral("the store cannot use a write-ahead log (journal mode %1)").arg(*mode);
        }
    } // closing folds the log into the file and removes it
    if (ok && std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0) {
        ok = false;
        if (error)
            *error = QStringLiteral("cannot create %1").arg(path);
    }
    if (!ok) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-wal"));
        QFile::remove(temp + QStringLiteral("-shm"));
    }
    return ok;
}

// Only a file of zero length (and no log beside it) is an empty store to create; anything else must be ours.
bool isEmptyFile(const QString& path) {
    const QFileInfo wal(path + QStringLiteral("-wal"));
    return QFileInfo(path).size() == 0 && (!wal.exists() || wal.size() == 0);
}

} // namespace

std::unique_ptr<ModelContainer> ModelContainer::open(const QString& named, const std::vector<Type>& schema,
                                                     const QString& version, QString* error) {
    QString err;
    auto fail = [&](const QString& why) -> std::unique_ptr<ModelContainer> {
        if (error)
            *error = why;
        return nullptr;
    };
    QString path = named;
    if (const QFileInfo link(named); link.isSymLink()) {
        // A store kept elsewhere through a link. One whose target is missing (a drive not mounted) is refused:
        // a new store made in its place would replace the link and start empty.
        if (!QFileInfo::exists(named))
            return fail(QStringLiteral("le fichier de données %1 est un lien vers %2, qui est introuvable (un "
                                       "disque qui n’est pas branché ?)")
                            .arg(named, link.symLinkTarget()));
        // Opened where it is, so that its log, and a new store made for an empty file, stay beside it and the
        // link stays a link.
        path = link.canonicalFilePath();
    }
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile())
        return fail(QStringLiteral("%1 n’est pas un fichier").arg(path));
    if ((!QFileInfo::exists(path) || isEmptyFile(path)) && !createStore(path, schema, version, &err))
        return fail(err);

    std::vector<const EntityInfo*> infos;
    std::vector<std::function<std::shared_ptr<PersistentModel>(const QUuid&)>> factories;
    for (const auto& t : schema) {
        infos.push_back(t.info);
        factories.push_back(t.make);
    }

    // The file is checked and read through a read-only connection, so that a refused or damaged one is left
    // exactly as it was, its write-ahead log included; log files that only this reading made are removed.
    const QString walPath = path + QStringLiteral("-wal"), shmPath = path + QStringLiteral("-shm");
    const bool hadWal = QFileInfo::exists(walPath), hadShm = QFileInfo::exists(shmPath);
    std::unique_ptr<ModelContext> context;
    {
        auto reader = SqliteDb::open(path, SqliteDb::Mode::ReadOnly, &err);
        // Each page is read once here: a small cache keeps the memory this costs small.
        if (reader && reader->exec("PRAGMA cache_size=-256", &err) && checkSchema(*reader, schema, version, &err)) {
            context.reset(new ModelContext(std::move(reader), infos, std::move(factories)));
            if (!context->checkTables(&err))
                context.reset();
        }
    }
    std::unique_ptr<SqliteDb> db;
    if (context) {
        db = SqliteDb::open(path, SqliteDb::Mode::ReadWrite, &err);
        if (db && db->isReadOnly()) {
            err = QStringLiteral("le fichier de données %1 ne peut pas être modifié").arg(path);
            db.reset();
        }
    }
    if (!db) {
        context.reset();
        if (!hadWal)
            QFile::remove(walPath);
        if (!hadShm)
            QFile::remove(shmPath);
        return fail(err);
    }
    // Only a validated, writable store is touched: the journal mode is written into the file's header.
    const auto mode = db->queryText("PRAGMA journal_mode=WAL", &err);
    if (!mode)
        return fail(err);
    if (mode->compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return fail(QStringLiteral("the store cannot use a write-ahead log (journal mode %1)").arg(*mode));
    // A save does not wait for the disk: the log is synced on LogSync's thread (see LogSync.h).
    if (!db->exec("PRAGMA synchronous=NORMAL", &err) || !db->exec("PRAGMA foreign_keys=ON", &err))
        return fail(err);
    context->setConnection(std::move(db));
    context->m_logSync = std::make_unique<LogSync>(walPath, std::chrono::seconds(1), path);
    context->m_logSync->watch(context->m_db->handle());
    context->m_path = path;

    std::unique_ptr<ModelContainer> c(new ModelContainer);
    c->m_path = path;
    c->m_context = std::move(context);
    return c;
}

ModelContainer::~ModelContainer() = default;
