#include "core/store/ModelContext.h"

#include "core/store/SqliteDb.h"

#include <QDebug>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

QByteArray quoted(const char* name) { return QByteArray("\"") + name + '"'; }

QByteArray selectSql(const EntityInfo& e, std::vector<int>& cols, const char* where) {
    QByteArray sql = "SELECT ";
    bool first = true;
    for (size_t i = 0; i < e.columns.size(); ++i) {
        if (e.columns[i].lazy)
            continue;
        if (!first)
            sql += ',';
        first = false;
        sql += quoted(e.columns[i].name);
        cols.push_back(int(i));
    }
    sql += " FROM " + quoted(e.name);
    if (where)
        sql += QByteArray(" WHERE ") + where;
    sql += " ORDER BY rowid";
    return sql;
}

} // namespace

ModelContext::ModelContext(std::unique_ptr<SqliteDb> db, const std::vector<const EntityInfo*>& schema,
                           std::vector<std::function<std::shared_ptr<PersistentModel>(const QUuid&)>> factories)
    : m_db(std::move(db)), m_schema(schema), m_factories(std::move(factories)), m_tables(schema.size()) {}

ModelContext::~ModelContext() {
    // Objects may outlive the context through views' references; detach them, deleted ones included.
    auto detach = [](PersistentModel* o) {
        o->m_context = nullptr;
        o->m_detached = true;
    };
    for (auto& t : m_tables)
        for (auto& o : t.ordered)
            detach(o.get());
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

std::shared_ptr<PersistentModel> ModelContext::materialize(int entity, sqlite3_stmt* stmt,
                                                           const std::vector<int>& cols) {
    const EntityInfo& e = *m_schema[size_t(entity)];
    auto& table = m_tables[size_t(entity)];
    const auto* idText = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    const QUuid id = store::parseUuid(QString::fromUtf8(idText ? idText : ""));
    if (table.byId.contains(id) || table.pendingDeletion.contains(id))
        return nullptr;   // already live (its in-memory state wins), or deleted and not saved yet
    auto object = m_factories[size_t(entity)](id);
    object->m_context = this;
    object->m_stored = true;
    for (size_t k = 1; k < cols.size(); ++k) {
        const int c = cols[k];
        const ColumnInfo& info = e.columns[size_t(c)];
        if (info.kind == ColumnKind::Link) {
            std::shared_ptr<PersistentModel> owner;
            if (sqlite3_column_type(stmt, int(k)) != SQLITE_NULL) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, int(k)));
                owner = lookup(info.linkEntity, store::parseUuid(QString::fromUtf8(t)));
            }
            object->resolveLink(c, owner);
        } else {
            object->readColumn(c, stmt, int(k));
        }
    }
    table.byId.insert(id, object);
    table.ordered.push_back(object);
    return object;
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
    std::vector<int> cols;
    const QByteArray sql = selectSql(e, cols, nullptr);
    sqlite3_stmt* stmt = m_db->prepare(sql);
    if (!stmt) {
        qWarning("Store: cannot read %s: %s", e.name, qPrintable(m_db->lastError()));
        return;
    }
    StatementScope scope(stmt);
    int rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        materialize(entity, stmt, cols);
        ++rows;
    }
    m_rowsRead[QString::fromLatin1(e.name)] += rows;
}

void ModelContext::loadChildren(PersistentModel* owner, int childEntity, int linkColumn) {
    auto& table = m_tables[size_t(childEntity)];
    if (table.loaded || !owner->m_stored)
        return;
    const EntityInfo& e = *m_schema[size_t(childEntity)];
    std::vector<int> cols;
    const QByteArray where = quoted(e.columns[size_t(linkColumn)].name) + "=?";
    const QByteArray sql = selectSql(e, cols, where.constData());
    sqlite3_stmt* stmt = m_db->prepare(sql);
    if (!stmt) {
        qWarning("Store: cannot read %s: %s", e.name, qPrintable(m_db->lastError()));
        return;
    }
    StatementScope scope(stmt);
    const QByteArray idText = store::uuidText(owner->id()).toLatin1();
    sqlite3_bind_text(stmt, 1, idText.constData(), int(idText.size()), SQLITE_TRANSIENT);
    int rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        materialize(childEntity, stmt, cols);
        ++rows;
    }
    m_rowsRead[QString::fromLatin1(e.name)] += rows;
}

void ModelContext::loadLazyColumn(PersistentModel* object, int column) {
    const EntityInfo& e = object->entity();
    const QByteArray sql =
        "SELECT " + quoted(e.columns[size_t(column)].name) + " FROM " + quoted(e.name) + " WHERE \"id\"=?";
    sqlite3_stmt* stmt = m_db->prepare(sql);
    if (!stmt)
        return;
    StatementScope scope(stmt);
    const QByteArray idText = store::uuidText(object->id()).toLatin1();
    sqlite3_bind_text(stmt, 1, idText.constData(), int(idText.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        object->readColumn(column, stmt, 0);
        ++m_blobsRead;
    }
}

void ModelContext::noteWrite(PersistentModel* object, int column) {
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
}

void ModelContext::noteArrayChange(PersistentModel* object) { emit entityChanged(object->entity().index); }

void ModelContext::insert(const std::shared_ptr<PersistentModel>& object) {
    if (!object || object->m_context == this || object->m_deleted)
        return;
    if (object->m_context || object->m_detached) {
        qWarning("Store: an object of %s from another or a closed store is not inserted", object->entity().name);
        return;
    }
    const int entity = object->entity().index;
    if (object->entity().loadPerOwnerLink < 0)
        loadEntity(entity);   // keeps store order ahead of new objects
    auto& table = m_tables[size_t(entity)];
    if (table.byId.contains(object->id()) || table.pendingDeletion.contains(object->id())) {
        qWarning("Store: an object of %s with id %s is already in the store", object->entity().name,
                 qPrintable(store::uuidText(object->id())));
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
    if (!m_db->exec("BEGIN IMMEDIATE", &err) || !writePending(&err) || !m_db->exec("COMMIT", &err)) {
        m_db->exec("ROLLBACK");
        m_lastError = err;
        qWarning("Store: save failed, changes kept for the next save: %s", qPrintable(err));
        if (error)
            *error = err;
        emit saveFailed(err);
        return false;
    }
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
    m_inserted.clear();
    m_changed.clear();
    m_deleted.clear();
    m_lastError.clear();
    emit saved();
    return true;
}

bool ModelContext::writePending(QString* error) {
    bool injected = false;
    auto step = [&](sqlite3_stmt* stmt) -> bool {
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE) {
            *error = m_db->lastError();
            return false;
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
    auto bindId = [](sqlite3_stmt* stmt, int param, const QUuid& id) {
        const QByteArray t = store::uuidText(id).toLatin1();
        sqlite3_bind_text(stmt, param, t.constData(), int(t.size()), SQLITE_TRANSIENT);
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
        bindId(stmt, 1, o->id());
        for (size_t i = 1; i < e.columns.size(); ++i)
            o->bindColumn(int(i), stmt, int(i + 1));
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
            o->bindColumn(c, stmt, param++);
        bindId(stmt, param, o->id());
        if (!step(stmt))
            return false;
    }

    // Deletions last: the file's cascades must not reach a child that a change above moved to another owner.
    for (const auto& o : m_deleted) {
        if (!o->m_stored)
            continue;
        const QByteArray sql = "DELETE FROM " + quoted(o->entity().name) + " WHERE \"id\"=?";
        sqlite3_stmt* stmt = m_db->prepare(sql, error);
        if (!stmt)
            return false;
        bindId(stmt, 1, o->id());
        if (!step(stmt))
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
