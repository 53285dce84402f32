#include "core/store/ModelContext.h"

#include "core/store/LogSync.h"
#include "core/store/Logging.h"
#include "core/store/SqliteDb.h"

#include <QDebug>
#include <QMetaObject>
#include <QFileInfo>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace {

QByteArray quoted(const char* name) { return QByteArray("\"") + name + '"'; }

QString columnText(sqlite3_stmt* s, int c) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
    return t ? QString::fromUtf8(t, sqlite3_column_bytes(s, c)) : QString();
}

// A text column as SQLite holds it (UTF-8), without making a QString.
QByteArrayView columnBytes(sqlite3_stmt* s, int c) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
    return t ? QByteArrayView(t, sqlite3_column_bytes(s, c)) : QByteArrayView();
}

// The value of each byte as a hex digit, or -1.
constexpr auto kHexValues = [] {
    std::array<qint8, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[size_t(c)] = qint8(c >= '0' && c <= '9'       ? c - '0'
                                 : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                 : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                        : -1);
    return t;
}();

// An id read from a row. The usual spelling (8-4-4-4-12 hex digits) is decoded straight from the row's
// bytes, since opening a large store reads tens of thousands of them; any other goes through QUuid.
// `canonical` (optional): spelt as the store writes ids, 36 characters without lower-case letters.
QUuid rowUuid(QByteArrayView text, bool* canonical = nullptr) {
    if (text.size() == 36 && text[8] == '-' && text[13] == '-' && text[18] == '-' && text[23] == '-') {
        static constexpr int kDigitPairs[16] = {0, 2, 4, 6, 9, 11, 14, 16, 19, 21, 24, 26, 28, 30, 32, 34};
        const auto* p = reinterpret_cast<const uchar*>(text.data());
        uchar b[16];
        int bad = 0;
        bool lower = false;
        for (int n = 0; n < 16; ++n) {
            const uchar c1 = p[kDigitPairs[n]];
            const uchar c2 = p[kDigitPairs[n] + 1];
            const int hi = kHexValues[c1];
            const int lo = kHexValues[c2];
            bad |= hi | lo; // negative when either is not a digit
            lower |= c1 >= 'a' || c2 >= 'a'; // among hex digits, only a to f
            b[n] = uchar((hi & 15) << 4 | (lo & 15));
        }
        const bool valid = bad >= 0;
        if (valid) {
            const QUuid id(uint(b[0]) << 24 | uint(b[1]) << 16 | uint(b[2]) << 8 | b[3], ushort(b[4] << 8 | b[5]),
                           ushort(b[6] << 8 | b[7]), b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
            if (canonical)
                *canonical = !id.isNull() && !lower;
            return id;
        }
    }
    const QString s = QString::fromUtf8(text);
    const QUuid id = store::parseUuid(s);
    if (canonical)
        *canonical =
            !id.isNull() && s.size() == 36 && std::none_of(s.cbegin(), s.cend(), [](QChar c) { return c.isLower(); });
    return id;
}

} // namespace

namespace storeread {

// The short texts of one table read, per column: values that repeat from row to row (a status, a symbol's
// name, a colour key) are converted from UTF-8 once and then shared. A column whose values do not repeat
// (titles) soon stops being looked up.
class RecentTexts {
public:
    QString text(sqlite3_stmt* s, int c) {
        const QByteArrayView bytes = columnBytes(s, c);
        if (!bytes.data())
            return QString();
        if (size_t(c) >= m_columns.size())
            m_columns.resize(size_t(c) + 1);
        Column& col = m_columns[size_t(c)];
        if (col.off || bytes.size() > kMaxLength)
            return QString::fromUtf8(bytes);
        for (const auto& [utf8, text] : col.seen) {
            if (QByteArrayView(utf8) == bytes) {
                ++col.hits;
                return text;
            }
        }
        QString text = QString::fromUtf8(bytes);
        if (col.seen.size() < kPerColumn)
            col.seen.emplace_back(bytes.toByteArray(), text);
        else if (++col.misses > int(4 * kPerColumn) && col.hits < col.misses)
            col.off = true;
        return text;
    }

private:
    static constexpr qsizetype kMaxLength = 32;
    static constexpr size_t kPerColumn = 16;
    struct Column {
        std::vector<std::pair<QByteArray, QString>> seen;
        int hits = 0;
        int misses = 0;
        bool off = false;
    };
    std::vector<Column> m_columns;
};

// How a read per owner leaves out the columns after the large values of large rows.
struct TailPlan {
    std::vector<int> lazy; // the lazy columns, in order
    int first = -1; // the position in `cols` of the first column stored after a lazy one; -1 when none
};

} // namespace storeread

namespace {

// A column as its kind is kept: text, integer or bytes; NULL as no value. Texts through `texts` when given.
ColumnValue readValue(sqlite3_stmt* s, int c, ColumnKind kind, storeread::RecentTexts* texts = nullptr) {
    if (sqlite3_column_type(s, c) == SQLITE_NULL)
        return {};
    switch (kind) {
    case ColumnKind::Uuid:
    case ColumnKind::Text:
    case ColumnKind::OptText:
    case ColumnKind::Link: return texts ? texts->text(s, c) : columnText(s, c);
    case ColumnKind::Int:
    case ColumnKind::Bool:
    case ColumnKind::Date:
    case ColumnKind::OptDate: return qint64(sqlite3_column_int64(s, c));
    case ColumnKind::OptBlob: {
        const void* b = sqlite3_column_blob(s, c);
        const int n = sqlite3_column_bytes(s, c);
        return b ? QByteArray(static_cast<const char*>(b), n) : QByteArray();
    }
    }
    return {};
}

void bindValue(sqlite3_stmt* s, int p, const ColumnValue& v) {
    if (const auto* t = std::get_if<QString>(&v)) {
        const QByteArray u = t->toUtf8();
        sqlite3_bind_text(s, p, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    } else if (const auto* i = std::get_if<qint64>(&v)) {
        sqlite3_bind_int64(s, p, *i);
    } else if (const auto* b = std::get_if<QByteArray>(&v)) {
        sqlite3_bind_blob64(s, p, b->isEmpty() ? "" : b->constData(), sqlite3_uint64(b->size()), SQLITE_TRANSIENT);
    } else {
        sqlite3_bind_null(s, p);
    }
}

void bindText(sqlite3_stmt* s, int p, const QString& text) { bindValue(s, p, text); }

// Rows whose large values hold more than this many bytes are read without the columns stored after those
// values: SQLite reaches them only through every page of the values before them (a picture of a few MB
// is a thousand pages). They follow from a worker thread (ModelContext::readTails).
constexpr qint64 kTailReadLimit = 256 * 1024;

// The bytes a lazy column holds, from the row's header alone (length() and typeof() of a blob read none of
// it): -1 when null; a text counts as large.
QByteArray storedSizeSql(const char* column) {
    const QByteArray c = quoted(column);
    return "(CASE typeof(" + c + ") WHEN 'null' THEN -1 WHEN 'blob' THEN length(" + c + ") ELSE 1000000000000 END)";
}

QByteArray selectSql(const EntityInfo& e, std::vector<int>& cols, const char* where,
                     storeread::TailPlan* tail = nullptr) {
    QByteArray sql = "SELECT ";
    QByteArray large; // the large values' bytes, for a row read per owner
    if (tail) {
        for (size_t i = 0; i < e.columns.size(); ++i)
            if (e.columns[i].lazy) {
                tail->lazy.push_back(int(i));
                large += (large.isEmpty() ? "" : "+") + QByteArray("max(") + storedSizeSql(e.columns[i].name) + ",0)";
            }
    }
    bool first = true;
    for (size_t i = 0; i < e.columns.size(); ++i) {
        if (e.columns[i].lazy)
            continue;
        if (!first)
            sql += ',';
        first = false;
        if (tail && !tail->lazy.empty() && int(i) > tail->lazy.front()) {
            if (tail->first < 0)
                tail->first = int(cols.size());
            sql += "CASE WHEN " + large + "<=" + QByteArray::number(kTailReadLimit) + " THEN " +
                quoted(e.columns[i].name) + " END";
        } else {
            sql += quoted(e.columns[i].name);
        }
        cols.push_back(int(i));
    }
    if (tail && tail->first >= 0)
        for (int c : tail->lazy)
            sql += ',' + storedSizeSql(e.columns[size_t(c)].name);
    else if (tail)
        tail->lazy.clear();
    sql += " FROM " + quoted(e.name);
    if (where)
        sql += QByteArray(" WHERE ") + where;
    sql += " ORDER BY rowid";
    return sql;
}

} // namespace

ModelContext::ModelContext(std::unique_ptr<SqliteDb> db, const std::vector<const EntityInfo*>& schema,
                           std::vector<std::function<std::shared_ptr<PersistentModel>(const QUuid&)>> factories)
    : m_db(std::move(db)), m_schema(schema), m_factories(std::move(factories)), m_tables(schema.size()) {
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (hasChanges()) {
            save();
            return;
        }
        // What failed was undone meanwhile (a new object deleted): nothing is left to write.
        m_retryDelay = 0;
        m_lastError.clear();
        emit saved();
    });
}

struct ModelContext::TailRun {
    std::thread thread;
    std::mutex mutex;
    sqlite3* db = nullptr; // while it reads, for an interruption
    std::atomic<bool> cancelled{false};
};

ModelContext::~ModelContext() {
    stopQuickCheck();
    for (auto& run : m_tailRuns) {
        run->cancelled = true;
        {
            std::lock_guard lock(run->mutex);
            if (run->db)
                sqlite3_interrupt(run->db);
        }
        run->thread.join();
    }
    // Objects may outlive the context through views' references; detach them, deleted ones included.
    auto detach = [](PersistentModel* o) {
        o->m_context = nullptr;
        o->m_detached = true;
    };
    for (auto& t : m_tables) {
        for (auto& o : t.ordered)
            detach(o.get());
        for (auto& o : t.byId)
            detach(o.get());
    }
    for (auto& o : m_inserted)
        detach(o.get());
    for (auto& o : m_deleted)
        detach(o.get());
    for (auto& w : m_released)
        if (auto o = w.lock())
            detach(o.get());
}

const std::vector<std::shared_ptr<PersistentModel>>& ModelContext::objects(int entity) {
    loadEntity(entity);
    compact(entity);
    return m_tables[size_t(entity)].ordered;
}

void ModelContext::compact(int entity) {
    auto& t = m_tables[size_t(entity)];
    if (!t.hasDeleted)
        return;
    std::erase_if(t.ordered, [](const auto& o) { return o->isDeleted(); });
    t.hasDeleted = false;
}

std::shared_ptr<PersistentModel> ModelContext::lookup(int entity, const QUuid& id) {
    if (m_schema[size_t(entity)]->loadPerOwnerLink < 0)
        loadEntity(entity);
    return m_tables[size_t(entity)].byId.value(id);
}

std::shared_ptr<PersistentModel> ModelContext::materialize(int entity, sqlite3_stmt* stmt, const std::vector<int>& cols,
                                                           storeread::RecentTexts& texts,
                                                           const storeread::TailPlan* tail,
                                                           const std::shared_ptr<PersistentModel>& readFor) {
    const EntityInfo& e = *m_schema[size_t(entity)];
    auto& table = m_tables[size_t(entity)];
    // The id's text as a QString only where it is kept or named.
    const QByteArrayView idBytes = columnBytes(stmt, 0);
    const bool idIsNull = idBytes.data() == nullptr;
    auto idText = [&] { return idIsNull ? QString() : QString::fromUtf8(idBytes); };
    bool canonical = false;
    const QUuid id = rowUuid(idBytes, &canonical);
    if (id.isNull())
        qCWarning(lcStore, "a row of %s has the id '%s', which is not a UUID", e.name, qPrintable(idText()));
    if (auto live = table.byId.value(id)) {
        if (live->m_preloaded && !m_preloading && live->storeIdText() == idText()) {
            adoptPreloaded(entity, live);
            return live;
        }
        // Already live: its in-memory state wins. Another row under the same id (written differently) is named.
        if (live->m_stored && live->storeIdText() != idText())
            qCWarning(lcStore, "rows of %s with the ids '%s' and '%s' are the same object; only the first is shown",
                      e.name, qPrintable(live->storeIdText()), qPrintable(idText()));
        return m_preloading ? live : nullptr;
    }
    if (table.pendingDeletion.contains(id))
        return nullptr; // deleted and not saved yet
    auto object = m_factories[size_t(entity)](id);
    object->m_context = this;
    object->m_stored = true;
    object->m_preloaded = m_preloading; // before its links are resolved: arrays take it later
    // Kept only when the row spells its id otherwise than the canonical 36 upper-case characters.
    if (!canonical)
        object->m_idText = idText();
    // A large row read per owner: what its large values hold, and whether the columns after them wait.
    bool pending = false;
    if (tail && tail->first >= 0) {
        qint64 large = 0;
        for (size_t j = 0; j < tail->lazy.size(); ++j) {
            const qint64 bytes = sqlite3_column_int64(stmt, int(cols.size() + j));
            const quint64 bit = quint64(1) << tail->lazy[j];
            object->m_lazyKnown |= bit;
            if (bytes > 0)
                object->m_lazyPresent |= bit;
            large += std::max<qint64>(bytes, 0);
        }
        pending = large > kTailReadLimit;
    }
    for (size_t k = 1; k < cols.size(); ++k) {
        const int c = cols[k];
        const ColumnInfo& info = e.columns[size_t(c)];
        if (pending && int(k) >= tail->first) {
            // The row was read for this owner: its link is known without reading it.
            if (info.kind == ColumnKind::Link)
                object->resolveLink(c, readFor);
            else
                object->m_tailPending |= quint64(1) << c;
            continue;
        }
        if (info.kind == ColumnKind::Link) {
            std::shared_ptr<PersistentModel> owner;
            if (sqlite3_column_type(stmt, int(k)) != SQLITE_NULL)
                owner = lookup(info.linkEntity, rowUuid(columnBytes(stmt, int(k))));
            object->resolveLink(c, owner);
        } else {
            object->setColumnValue(c, readValue(stmt, int(k), info.kind, &texts));
        }
    }
    table.byId.insert(id, object);
    if (!m_preloading)
        table.ordered.push_back(object);
    return object;
}

void ModelContext::adoptPreloaded(int entity, const std::shared_ptr<PersistentModel>& object) {
    object->m_preloaded = false;
    auto& table = m_tables[size_t(entity)];
    table.ordered.push_back(object);
    if (object->m_deleted) {
        table.hasDeleted = true;
        return;
    }
    // Its links as they are now (they may have been changed since it was read), into the owners' arrays.
    const EntityInfo& e = *m_schema[size_t(entity)];
    for (size_t c = 0; c < e.columns.size(); ++c) {
        if (e.columns[c].kind != ColumnKind::Link)
            continue;
        const ColumnValue owner = object->columnValue(int(c));
        const auto* ownerId = std::get_if<QString>(&owner);
        object->resolveLink(int(c), ownerId ? lookup(e.columns[c].linkEntity, store::parseUuid(*ownerId)) : nullptr);
    }
}

sqlite3_stmt* ModelContext::prepareRead(const EntityInfo& e, const QByteArray& sql) {
    QString err;
    sqlite3_stmt* stmt = m_db->prepare(sql, &err);
    if (!stmt)
        readFailed(QString::fromLatin1(e.name), err);
    return stmt;
}

bool ModelContext::readRows(int entity, const QByteArray& where, const PersistentModel* owner) {
    const EntityInfo& e = *m_schema[size_t(entity)];
    std::vector<int> cols;
    storeread::TailPlan tail;
    sqlite3_stmt* stmt =
        prepareRead(e, selectSql(e, cols, where.isEmpty() ? nullptr : where.constData(), owner ? &tail : nullptr));
    if (!stmt)
        return false;
    StatementScope scope(stmt);
    if (owner) {
        // Children may name their owner as its row does or in the canonical form.
        bindText(stmt, 1, owner->storeIdText());
        bindText(stmt, 2, store::uuidText(owner->id()));
    }
    int rows = 0;
    int rc;
    storeread::RecentTexts texts;
    const auto ownerRef = owner ? const_cast<PersistentModel*>(owner)->shared_from_this() : nullptr;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        materialize(entity, stmt, cols, texts, &tail, ownerRef);
        ++rows;
    }
    m_rowsRead[QString::fromLatin1(e.name)] += rows;
    if (rc != SQLITE_DONE) {
        readFailed(QString::fromLatin1(e.name), m_db->lastError());
        return false;
    }
    return true;
}

void ModelContext::readFailed(const QString& where, const QString& reason) {
    qCWarning(lcStore, "a read failed, saving is stopped to leave the file as it is: %s: %s", qPrintable(where),
              qPrintable(reason));
    if (!m_damage.isEmpty())
        return;
    // The person is told the reason; where it happened is for the log.
    m_damage = reason;
    emit damaged(reason);
}

void ModelContext::loadEntity(int entity) {
    auto& table = m_tables[size_t(entity)];
    if (table.loaded)
        return;
    table.loaded = true;
    const EntityInfo& e = *m_schema[size_t(entity)];
    for (const auto& c : e.columns)
        if (c.kind == ColumnKind::Link)
            loadEntity(c.linkEntity);
    readRows(entity, {}, nullptr);
}

bool ModelContext::checkTables(QString* error) {
    for (const EntityInfo* e : m_schema) {
        if (e->loadPerOwnerLink >= 0)
            continue;
        // Counting walks every page of the table without decoding its rows (not of a smaller index).
        QString err;
        sqlite3_stmt* stmt = m_db->prepare("SELECT count(*) FROM " + quoted(e->name) + " NOT INDEXED", &err);
        if (stmt) {
            StatementScope scope(stmt);
            if (sqlite3_step(stmt) != SQLITE_ROW)
                err = m_db->lastError();
        }
        if (!err.isEmpty()) {
            if (error)
                *error = QStringLiteral("le fichier de données ne peut pas être lu (%1 : %2)")
                             .arg(QString::fromLatin1(e->name), err);
            return false;
        }
    }
    return true;
}

qint64 ModelContext::PeekedRow::rowid() const { return sqlite3_column_int64(m_stmt, 0); }
bool ModelContext::PeekedRow::isNull(int k) const { return sqlite3_column_type(m_stmt, k + 1) == SQLITE_NULL; }
qint64 ModelContext::PeekedRow::integer(int k) const { return sqlite3_column_int64(m_stmt, k + 1); }
QByteArrayView ModelContext::PeekedRow::text(int k) const { return columnBytes(m_stmt, k + 1); }

bool ModelContext::canPeek(int entity) const {
    return !m_tables[size_t(entity)].loaded && std::none_of(m_inserted.cbegin(), m_inserted.cend(), [&](const auto& o) {
        return o->entity().index == entity;
    });
}

std::future<ModelContext::RowCounts> ModelContext::countRows(int entity, int nullColumn, int textColumn,
                                                             std::vector<QByteArray> values) {
    if (!canPeek(entity) || m_path.isEmpty())
        return {};
    const EntityInfo& e = *m_schema[size_t(entity)];
    // One row back: the table is walked inside SQLite, not row by row through the API.
    const QByteArray text = "CAST(" + quoted(e.columns[size_t(textColumn)].name) + " AS TEXT)=?";
    QByteArray sql = "SELECT ";
    for (size_t k = 0; k < values.size(); ++k)
        sql += "sum(" + text + "),";
    sql += "count(*) FROM " + quoted(e.name) + " WHERE " + quoted(e.columns[size_t(nullColumn)].name) + " IS NULL";
    return std::async(std::launch::async, [path = m_path, sql, values = std::move(values)]() -> RowCounts {
        // Read-only, like the quick check's: beside the context's connection, and never folding the log.
        QString err;
        const auto db = SqliteDb::open(path, SqliteDb::Mode::ReadOnly, &err);
        sqlite3_stmt* stmt = db ? db->prepare(sql, &err) : nullptr;
        if (!stmt)
            return std::nullopt;
        StatementScope scope(stmt);
        for (size_t k = 0; k < values.size(); ++k)
            sqlite3_bind_text(stmt, int(k) + 1, values[k].constData(), int(values[k].size()), SQLITE_TRANSIENT);
        if (sqlite3_step(stmt) != SQLITE_ROW)
            return std::nullopt;
        std::vector<qint64> counts;
        for (int k = 0; k <= int(values.size()); ++k)
            counts.push_back(sqlite3_column_int64(stmt, k));
        return counts;
    });
}

bool ModelContext::peekRows(int entity, const std::vector<int>& columns,
                            const std::function<void(const PeekedRow&)>& onRow) {
    if (!canPeek(entity))
        return false;
    const EntityInfo& e = *m_schema[size_t(entity)];
    QByteArray sql = "SELECT rowid";
    for (int c : columns)
        sql += ',' + quoted(e.columns[size_t(c)].name);
    sql += " FROM " + quoted(e.name) + " ORDER BY rowid";
    sqlite3_stmt* stmt = prepareRead(e, sql);
    if (!stmt)
        return false;
    StatementScope scope(stmt);
    const PeekedRow row(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        onRow(row);
    if (rc != SQLITE_DONE) {
        readFailed(QString::fromLatin1(e.name), m_db->lastError());
        return false;
    }
    return true;
}

std::vector<std::shared_ptr<PersistentModel>> ModelContext::preloadRows(int entity, const std::vector<qint64>& rowids) {
    std::vector<std::shared_ptr<PersistentModel>> out;
    if (rowids.empty())
        return out;
    const EntityInfo& e = *m_schema[size_t(entity)];
    // The owners first, so that the links resolve.
    for (const auto& c : e.columns)
        if (c.kind == ColumnKind::Link)
            loadEntity(c.linkEntity);
    std::vector<int> cols;
    sqlite3_stmt* stmt = prepareRead(e, selectSql(e, cols, "rowid=?"));
    if (!stmt)
        return out;
    StatementScope scope(stmt);
    // Made in the order of their rows, as a read of the whole table would make them.
    std::vector<qint64> rows = rowids;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QHash<qint64, std::shared_ptr<PersistentModel>> byRow;
    storeread::RecentTexts texts;
    m_preloading = true;
    int rc = SQLITE_DONE;
    for (qint64 row : rows) {
        sqlite3_bind_int64(stmt, 1, row);
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            if (auto o = materialize(entity, stmt, cols, texts))
                byRow.insert(row, std::move(o));
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE)
            break;
    }
    m_preloading = false;
    if (rc != SQLITE_DONE)
        readFailed(QString::fromLatin1(e.name), m_db->lastError());
    m_rowsRead[QString::fromLatin1(e.name)] += int(byRow.size());
    for (qint64 r : rowids)
        if (auto o = byRow.value(r))
            out.push_back(std::move(o));
    return out;
}

bool ModelContext::loadTables(QString* error) {
    for (size_t i = 0; i < m_schema.size() && m_damage.isEmpty(); ++i)
        if (m_schema[i]->loadPerOwnerLink < 0)
            loadEntity(int(i));
    if (m_damage.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("le fichier de données ne peut pas être lu (%1)").arg(m_damage);
    return false;
}

namespace {

std::function<void()> g_quickCheckHook;

// The problems SQLite's quick check reports, with any failure to run it.
QStringList runQuickCheck(SqliteDb& db) {
    QString err;
    QStringList found;
    sqlite3_stmt* st = db.prepare("PRAGMA quick_check", &err);
    if (st) {
        StatementScope scope(st);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const QString line = columnText(st, 0);
            if (line != QLatin1String("ok"))
                found << line;
        }
        if (rc != SQLITE_DONE)
            found << db.lastError();
    } else {
        found << err;
    }
    return found;
}

} // namespace

// The worker's connection is published under the mutex so that closing the store can interrupt its read.
struct ModelContext::QuickCheckRun {
    std::thread thread;
    std::mutex mutex;
    sqlite3* db = nullptr;
    std::atomic<bool> cancelled{false};
};

void ModelContext::setQuickCheckHookForTesting(std::function<void()> hook) { g_quickCheckHook = std::move(hook); }

bool ModelContext::quickCheck(QString* problem) { return applyQuickCheck(runQuickCheck(*m_db), problem); }

bool ModelContext::applyQuickCheck(const QStringList& found, QString* problem) {
    if (found.isEmpty())
        return true;
    qCWarning(lcStore, "the quick check found: %s", qPrintable(found.mid(0, 5).join(QStringLiteral("; "))));
    const QString what = QStringLiteral("le contrôle du fichier a relevé %1 problème(s)").arg(found.size());
    readFailed(QStringLiteral("quick check"), what);
    if (problem)
        *problem = what;
    return false;
}

void ModelContext::startQuickCheck() {
    if (m_quickCheck)
        return;
    auto run = std::make_shared<QuickCheckRun>();
    m_quickCheck = run;
    run->thread = std::thread([this, run, path = m_path, hook = g_quickCheckHook] {
        QStringList found;
        QString err;
        // Its own read-only connection: the write-ahead log lets it read beside the context's writes,
        // and closing it never folds the log into the file.
        auto db = SqliteDb::open(path, SqliteDb::Mode::ReadOnly, &err);
        if (db) {
            {
                std::lock_guard lock(run->mutex);
                run->db = db->handle();
            }
            if (hook)
                hook();
            if (!run->cancelled)
                found = runQuickCheck(*db);
            {
                std::lock_guard lock(run->mutex);
                run->db = nullptr;
            }
            db.reset();
        } else {
            found << err;
        }
        if (run->cancelled)
            return;
        // Queued to the context, so a result posted just before the context goes is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, run, found] {
                if (m_quickCheck != run)
                    return;
                run->thread.join();
                m_quickCheck.reset();
                QString problem;
                const bool ok = applyQuickCheck(found, &problem);
                emit quickCheckFinished(ok, problem);
            },
            Qt::QueuedConnection);
    });
}

void ModelContext::stopQuickCheck() {
    if (!m_quickCheck)
        return;
    auto run = std::move(m_quickCheck);
    run->cancelled = true;
    {
        std::lock_guard lock(run->mutex);
        if (run->db)
            sqlite3_interrupt(run->db);
    }
    run->thread.join();
}

void ModelContext::setConnection(std::unique_ptr<SqliteDb> db) { m_db = std::move(db); }

void ModelContext::loadChildren(PersistentModel* owner, int childEntity, int linkColumn) {
    auto& table = m_tables[size_t(childEntity)];
    if (table.loaded || !owner->m_stored)
        return;
    const EntityInfo& e = *m_schema[size_t(childEntity)];
    readRows(childEntity, quoted(e.columns[size_t(linkColumn)].name) + " IN (?,?)", owner);
}

void ModelContext::loadLazyColumn(PersistentModel* object, int column) {
    const EntityInfo& e = object->entity();
    const QByteArray sql =
        "SELECT " + quoted(e.columns[size_t(column)].name) + " FROM " + quoted(e.name) + " WHERE \"id\"=?";
    QString err;
    sqlite3_stmt* stmt = m_db->prepare(sql, &err);
    const QString where = QStringLiteral("%1.%2 of %3")
                              .arg(QString::fromLatin1(e.name), QString::fromLatin1(e.columns[size_t(column)].name),
                                   object->storeIdText());
    if (!stmt) {
        readFailed(where, err);
        return;
    }
    StatementScope scope(stmt);
    bindText(stmt, 1, object->storeIdText());
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        object->setColumnValue(column, readValue(stmt, 0, e.columns[size_t(column)].kind));
        ++m_blobsRead;
    } else {
        readFailed(where,
                   rc == SQLITE_DONE ? QStringLiteral("l’élément n’existe plus dans le fichier de données")
                                     : m_db->lastError());
    }
}

namespace {

// The values of `columns` of each row named in `ids` (nullopt for a row gone or unreadable).
std::vector<std::optional<std::vector<ColumnValue>>> readColumnsById(SqliteDb& db, const EntityInfo& e,
                                                                     const std::vector<int>& columns,
                                                                     const QStringList& ids,
                                                                     const std::atomic<bool>* cancelled) {
    QByteArray sql = "SELECT ";
    for (size_t k = 0; k < columns.size(); ++k)
        sql += (k ? "," : "") + quoted(e.columns[size_t(columns[k])].name);
    sql += " FROM " + quoted(e.name) + " WHERE \"id\"=?";
    std::vector<std::optional<std::vector<ColumnValue>>> out(size_t(ids.size()));
    QString err;
    sqlite3_stmt* stmt = db.prepare(sql, &err);
    if (!stmt)
        return out;
    StatementScope scope(stmt);
    for (qsizetype i = 0; i < ids.size() && !(cancelled && *cancelled); ++i) {
        sqlite3_reset(stmt);
        bindText(stmt, 1, ids[i]);
        if (sqlite3_step(stmt) != SQLITE_ROW)
            continue;
        std::vector<ColumnValue> values;
        for (size_t k = 0; k < columns.size(); ++k)
            values.push_back(readValue(stmt, int(k), e.columns[size_t(columns[k])].kind));
        out[size_t(i)] = std::move(values);
    }
    return out;
}

} // namespace

void ModelContext::completeRow(const std::shared_ptr<PersistentModel>& object) {
    if (!object || !object->m_tailPending || object->m_tailAsked || object->m_context != this)
        return;
    object->m_tailAsked = true;
    // The rows asked for in one turn of the events are read together.
    if (m_tailQueue.empty())
        QMetaObject::invokeMethod(
            this,
            [this] {
                auto queue = std::move(m_tailQueue);
                m_tailQueue.clear();
                std::map<std::pair<int, quint64>, std::vector<std::shared_ptr<PersistentModel>>> groups;
                for (auto& weak : queue)
                    if (auto o = weak.lock(); o && o->m_tailPending)
                        groups[{o->entity().index, o->m_tailPending}].push_back(std::move(o));
                for (auto& [key, objects] : groups)
                    readTails(key.first, std::move(objects));
            },
            Qt::QueuedConnection);
    m_tailQueue.push_back(object);
}

void ModelContext::completeRowNow(const std::shared_ptr<PersistentModel>& object) {
    if (!object || !object->m_tailPending || object->m_context != this)
        return;
    const EntityInfo& e = object->entity();
    std::vector<int> columns;
    for (size_t c = 0; c < e.columns.size(); ++c)
        if (object->m_tailPending & (quint64(1) << c))
            columns.push_back(int(c));
    applyTails(e.index, {object}, columns, readColumnsById(*m_db, e, columns, {object->storeIdText()}, nullptr));
}

void ModelContext::readTails(int entity, std::vector<std::shared_ptr<PersistentModel>> objects) {
    const EntityInfo& e = *m_schema[size_t(entity)];
    std::vector<int> columns;
    for (size_t c = 0; c < e.columns.size(); ++c)
        if (objects.front()->m_tailPending & (quint64(1) << c))
            columns.push_back(int(c));
    QStringList ids;
    std::vector<std::weak_ptr<PersistentModel>> weak;
    for (const auto& o : objects) {
        ids << o->storeIdText();
        weak.push_back(o);
    }
    if (m_path.isEmpty()) {
        applyTails(entity, weak, columns, readColumnsById(*m_db, e, columns, ids, nullptr));
        return;
    }
    auto run = std::make_shared<TailRun>();
    m_tailRuns.push_back(run);
    run->thread = std::thread([this, run, entity, &e, path = m_path, columns, ids, weak] {
        QString err;
        // Its own read-only connection, as the quick check's: it never folds the log.
        auto db = SqliteDb::open(path, SqliteDb::Mode::ReadOnly, &err);
        std::vector<std::optional<std::vector<ColumnValue>>> values;
        bool read = false;
        if (db) {
            {
                std::lock_guard lock(run->mutex);
                run->db = db->handle();
            }
            values = readColumnsById(*db, e, columns, ids, &run->cancelled);
            read = std::all_of(values.begin(), values.end(), [](const auto& v) { return v.has_value(); });
            {
                std::lock_guard lock(run->mutex);
                run->db = nullptr;
            }
        }
        if (run->cancelled)
            return;
        // Joined by the destructor before the context goes, so the event cannot outlive it.
        QMetaObject::invokeMethod(
            this,
            [this, run, entity, &e, columns, ids, weak, values = std::move(values), read] {
                run->thread.join();
                std::erase(m_tailRuns, run);
                // Rows the worker could not read are read here: a row removed from the file keeps its defaults.
                applyTails(entity, weak, columns, read ? values : readColumnsById(*m_db, e, columns, ids, nullptr));
            },
            Qt::QueuedConnection);
    });
}

void ModelContext::applyTails(int entity, const std::vector<std::weak_ptr<PersistentModel>>& objects,
                              const std::vector<int>& columns,
                              const std::vector<std::optional<std::vector<ColumnValue>>>& values) {
    const EntityInfo& e = *m_schema[size_t(entity)];
    for (size_t i = 0; i < objects.size(); ++i) {
        const auto object = objects[i].lock();
        if (!object)
            continue;
        for (size_t k = 0; k < columns.size(); ++k) {
            const quint64 bit = quint64(1) << columns[k];
            // A column written since keeps what was written.
            if (!(object->m_tailPending & bit))
                continue;
            object->m_tailPending &= ~bit;
            if (values[i]) {
                object->setColumnValue(columns[k], (*values[i])[k]);
                emit object->changed(e.columns[size_t(columns[k])].name);
            }
        }
    }
    emit rowsCompleted(entity);
}

std::function<std::optional<QByteArray>()> ModelContext::storedBytesReader(const PersistentModel& object,
                                                                           int column) const {
    const EntityInfo& e = object.entity();
    const QByteArray sql =
        "SELECT " + quoted(e.columns[size_t(column)].name) + " FROM " + quoted(e.name) + " WHERE \"id\"=?";
    return [path = m_path, sql, id = object.storeIdText()]() -> std::optional<QByteArray> {
        QString err;
        const auto db = path.isEmpty() ? nullptr : SqliteDb::open(path, SqliteDb::Mode::ReadOnly, &err);
        sqlite3_stmt* stmt = db ? db->prepare(sql, &err) : nullptr;
        if (!stmt)
            return std::nullopt;
        StatementScope scope(stmt);
        bindText(stmt, 1, id);
        if (sqlite3_step(stmt) != SQLITE_ROW || sqlite3_column_type(stmt, 0) == SQLITE_NULL)
            return std::nullopt;
        return std::get<QByteArray>(readValue(stmt, 0, ColumnKind::OptBlob));
    };
}

void ModelContext::noteWrite(PersistentModel* object, int column) {
    object->m_tailPending &= ~(quint64(1) << column);
    if (object->m_stored && !object->m_deleted) {
        if (object->m_dirty == 0) {
            // Find the shared owner of this object through the identity map.
            auto& table = m_tables[size_t(object->entity().index)];
            if (auto p = table.byId.value(object->id()); p.get() == object)
                m_changed.push_back(p);
        }
        object->m_dirty |= (quint64(1) << column);
    }
    emit entityChanged(object->entity().index);
    emit objectChanged(object);
}

void ModelContext::noteArrayChange(PersistentModel* object) {
    emit entityChanged(object->entity().index);
    emit objectChanged(object);
}

void ModelContext::insert(const std::shared_ptr<PersistentModel>& object) {
    if (!object || object->m_context == this || object->m_deleted)
        return;
    if (object->m_context || object->m_detached) {
        qCWarning(lcStore, "an object of %s from another or a closed store is not inserted", object->entity().name);
        return;
    }
    const int entity = object->entity().index;
    if (object->entity().loadPerOwnerLink < 0)
        loadEntity(entity); // keeps store order ahead of new objects
    auto& table = m_tables[size_t(entity)];
    if (table.byId.contains(object->id()) || table.pendingDeletion.contains(object->id())) {
        qCWarning(lcStore, "an object of %s with id %s is already in the store", object->entity().name,
                  qPrintable(object->storeIdText()));
        return;
    }
    object->m_context = this;
    table.byId.insert(object->id(), object);
    table.ordered.push_back(object);
    m_inserted.push_back(object);
    object->onInserted();
    emit entityChanged(entity);
}

void ModelContext::deleteObject(const std::shared_ptr<PersistentModel>& object) {
    if (!object || object->m_context != this || object->m_deleted)
        return;
    deleteRecursive(object);
}

void ModelContext::deleteRecursive(const std::shared_ptr<PersistentModel>& object) {
    if (object->m_deleted)
        return;
    object->m_deleted = true;
    const int entity = object->entity().index;
    // The rules run first: they may load children, which must still find their owner.
    std::vector<std::shared_ptr<PersistentModel>> cascade;
    object->onDeleted(cascade);
    auto& table = m_tables[size_t(entity)];
    table.byId.remove(object->id());
    table.hasDeleted = true;
    if (!store::removeFrom(m_inserted, object.get())) {
        m_deleted.push_back(object);
        table.pendingDeletion.insert(object->id());
    }
    m_released.push_back(object);
    for (const auto& child : cascade)
        deleteRecursive(child);
    emit entityChanged(entity);
}

bool ModelContext::hasChanges() const { return !m_inserted.empty() || !m_deleted.empty() || !m_changed.empty(); }

void ModelContext::failNextSaves(int count, const QString& message) {
    m_failSaves = count;
    m_failMessage = message;
}

bool ModelContext::save(QString* error) {
    if (!hasChanges())
        return true;
    QString err;
    if (isDamaged())
        err =
            QStringLiteral("le fichier de données n’a pas pu être lu, plus rien n’y est enregistré (%1)").arg(m_damage);
    if (!err.isEmpty() || !m_db->exec("BEGIN IMMEDIATE", &err) || !writePending(&err) || !commitDroppingOrphans(&err)) {
        if (!isDamaged())
            m_db->exec("ROLLBACK");
        m_dropped.clear();
        m_lastError = err;
        qCWarning(lcStore, "save failed, changes kept for the next save: %s", qPrintable(err));
        if (error)
            *error = err;
        if (!isDamaged())
            scheduleRetry();
        emit saveFailed(err);
        return false;
    }
    m_retry->stop();
    m_retryDelay = 0;
    if (m_logSync)
        m_logSync->logChanged();
    for (auto& o : m_inserted) {
        o->m_stored = true;
        o->m_dirty = 0;
    }
    for (auto& o : m_changed)
        o->m_dirty = 0;
    for (auto& o : m_deleted)
        o->m_stored = false;
    for (auto& t : m_tables)
        t.pendingDeletion.clear();
    std::erase_if(m_released, [](const auto& w) { return w.expired(); });
    // A row that was gone stays gone: its object is no longer stored, so later edits of it are not written.
    for (auto& [o, drop] : m_dropped) {
        o->m_stored = false;
        o->m_dirty = 0;
    }
    const auto dropped = std::exchange(m_dropped, {});
    m_inserted.clear();
    m_changed.clear();
    m_deleted.clear();
    m_lastError.clear();
    emit saved();
    if (!dropped.empty())
        emit changesDropped(droppedMessage(dropped));
    return true;
}

void ModelContext::scheduleRetry() {
    // Keys typed meanwhile save (and fail) by themselves: they neither bring the next try closer nor push it back.
    if (m_retry->isActive())
        return;
    m_retryDelay = m_retryDelay == 0 ? retryFirstMs : std::min(2 * m_retryDelay, retryMostMs);
    m_retry->start(m_retryDelay);
}

bool ModelContext::commitDroppingOrphans(QString* error) {
    for (int round = 0;; ++round) {
        if (m_db->exec("COMMIT", error))
            return true;
        // A deferred link check keeps the transaction open: only new rows whose owner is gone are taken out.
        if (sqlite3_extended_errcode(m_db->handle()) != SQLITE_CONSTRAINT_FOREIGNKEY || round >= 8)
            return false;
        QSet<int> entities;
        for (const auto& o : m_inserted)
            entities.insert(o->entity().index);
        bool dropped = false;
        for (int entity : std::as_const(entities)) {
            const EntityInfo& e = *m_schema[size_t(entity)];
            sqlite3_stmt* check = m_db->prepare("PRAGMA foreign_key_check(" + quoted(e.name) + ")", error);
            if (!check)
                return false;
            std::vector<qint64> rows;
            {
                StatementScope scope(check);
                while (sqlite3_step(check) == SQLITE_ROW)
                    rows.push_back(sqlite3_column_int64(check, 1));
            }
            for (qint64 row : rows) {
                sqlite3_stmt* find = m_db->prepare("SELECT \"id\" FROM " + quoted(e.name) + " WHERE rowid=?", error);
                if (!find)
                    return false;
                QString id;
                {
                    StatementScope scope(find);
                    sqlite3_bind_int64(find, 1, row);
                    if (sqlite3_step(find) == SQLITE_ROW)
                        id = columnText(find, 0);
                }
                const auto it = std::find_if(m_inserted.cbegin(), m_inserted.cend(), [&](const auto& o) {
                    return o->entity().index == entity && o->storeIdText().compare(id, Qt::CaseInsensitive) == 0;
                });
                if (it == m_inserted.cend())
                    continue; // a stored row: not ours to take out
                sqlite3_stmt* del = m_db->prepare("DELETE FROM " + quoted(e.name) + " WHERE rowid=?", error);
                if (!del)
                    return false;
                sqlite3_bind_int64(del, 1, row);
                const int rc = sqlite3_step(del);
                sqlite3_reset(del);
                if (rc != SQLITE_DONE) {
                    *error = m_db->lastError();
                    return false;
                }
                qCWarning(lcStore, "the owner of a new %s is gone; it is not saved", e.name);
                m_dropped.emplace_back(*it, Drop::orphan);
                dropped = true;
            }
        }
        if (!dropped)
            return false;
    }
}

QString ModelContext::droppedMessage(const std::vector<std::pair<std::shared_ptr<PersistentModel>, Drop>>& dropped) {
    // What the person calls each stored type.
    static const QHash<QByteArray, QString> kinds{
        {"Project", QStringLiteral("d’un projet")},
        {"Doc", QStringLiteral("d’un document")},
        {"DocBlock", QStringLiteral("d’un bloc de document")},
        {"Checklist", QStringLiteral("d’une checklist")},
        {"ChecklistColumn", QStringLiteral("d’une colonne")},
        {"ChecklistCard", QStringLiteral("d’une carte")},
        {"ChecklistAttachment", QStringLiteral("d’une pièce jointe")},
    };
    const auto& [first, drop] = dropped.front();
    const QString what = kinds.value(QByteArray(first->entity().name), QStringLiteral("d’un élément"));
    QString text = drop == Drop::deletion ? QStringLiteral("La suppression %1 n’a pas été enregistrée").arg(what)
        : drop == Drop::orphan            ? QStringLiteral("L’ajout %1 n’a pas été enregistré").arg(what)
                               : QStringLiteral("Une modification %1 n’a pas été enregistrée").arg(what);
    if (dropped.size() > 1)
        text += QStringLiteral(" (et %1 autre(s))").arg(dropped.size() - 1);
    const QString why = drop == Drop::orphan
        ? QStringLiteral(
              "l’élément auquel il appartenait n’existe plus dans le fichier de données, "
              "un autre programme l’a supprimé")
        : QStringLiteral(
              "cet élément n’existe plus dans le fichier de données, un autre programme "
              "l’a supprimé");
    return text + QStringLiteral(" : ") + why + QStringLiteral(". Les autres modifications ont été enregistrées.");
}

bool ModelContext::writePending(QString* error) {
    bool injected = false;
    // `target`: the row an UPDATE or DELETE must find; one that matches nothing is a failure, not a success.
    m_dropped.clear();
    auto step = [&](sqlite3_stmt* stmt, const std::shared_ptr<PersistentModel>& target = nullptr,
                    bool deletion = false) -> bool {
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE) {
            *error = m_db->lastError();
            return false;
        }
        if (target && m_db->changes() == 0) {
            // Removed from the file by something else: this one change cannot be written, the others can.
            qCWarning(lcStore, "no row of %s has the id '%s'; the change is dropped", target->entity().name,
                      qPrintable(target->storeIdText()));
            m_dropped.emplace_back(target, deletion ? Drop::deletion : Drop::update);
            return true;
        }
        if (m_failSaves > 0 && !injected) {
            // Fail after a first write, so that a failed save is seen to leave nothing half-written.
            injected = true;
            --m_failSaves;
            *error = m_failMessage;
            return false;
        }
        return true;
    };

    // Owners before children (the schema lists owners first).
    std::vector<std::shared_ptr<PersistentModel>> inserts = m_inserted;
    std::stable_sort(inserts.begin(), inserts.end(),
                     [](const auto& a, const auto& b) { return a->entity().index < b->entity().index; });
    for (const auto& o : inserts) {
        const EntityInfo& e = o->entity();
        QByteArray sql = "INSERT INTO " + quoted(e.name) + " (";
        QByteArray values;
        for (size_t i = 0; i < e.columns.size(); ++i) {
            if (i) {
                sql += ',';
                values += ',';
            }
            sql += quoted(e.columns[i].name);
            values += '?';
        }
        sql += ") VALUES (" + values + ")";
        sqlite3_stmt* stmt = m_db->prepare(sql, error);
        if (!stmt)
            return false;
        for (size_t i = 0; i < e.columns.size(); ++i)
            bindValue(stmt, int(i + 1), o->columnValue(int(i)));
        if (!step(stmt))
            return false;
    }

    for (const auto& o : m_changed) {
        if (o->m_deleted || !o->m_dirty)
            continue;
        const EntityInfo& e = o->entity();
        QByteArray sql = "UPDATE " + quoted(e.name) + " SET ";
        std::vector<int> cols;
        for (size_t i = 1; i < e.columns.size(); ++i)
            if (o->m_dirty & (quint64(1) << i)) {
                if (!cols.empty())
                    sql += ',';
                sql += quoted(e.columns[i].name) + "=?";
                cols.push_back(int(i));
            }
        if (cols.empty())
            continue;
        sql += " WHERE \"id\"=?";
        sqlite3_stmt* stmt = m_db->prepare(sql, error);
        if (!stmt)
            return false;
        int param = 1;
        for (int c : cols)
            bindValue(stmt, param++, o->columnValue(c));
        bindText(stmt, param, o->storeIdText()); // the row as it was read, whatever the id's spelling
        if (!step(stmt, o))
            return false;
    }

    // Deletions last: the file's cascades must not reach a child that a change above moved to another owner.
    // Children go before their owners, so that each deletion still finds its row.
    std::vector<std::shared_ptr<PersistentModel>> deletions = m_deleted;
    std::stable_sort(deletions.begin(), deletions.end(),
                     [](const auto& a, const auto& b) { return a->entity().index > b->entity().index; });
    for (const auto& o : deletions) {
        if (!o->m_stored)
            continue;
        const QByteArray sql = "DELETE FROM " + quoted(o->entity().name) + " WHERE \"id\"=?";
        sqlite3_stmt* stmt = m_db->prepare(sql, error);
        if (!stmt)
            return false;
        bindText(stmt, 1, o->storeIdText());
        if (!step(stmt, o, true))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

LiveQueryBase::LiveQueryBase(ModelContext& context, int entity, QObject* parent) : QObject(parent) {
    connect(&context, &ModelContext::entityChanged, this, [this, entity](int changed) {
        if (changed != entity)
            return;
        m_dirty = true;
        emit this->changed();
    });
}
