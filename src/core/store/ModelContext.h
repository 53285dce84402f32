#pragma once

#include "core/store/PersistentModel.h"

#include <QHash>
#include <QSet>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// The store's vocabulary (ModelContainer, ModelContext, PersistentModel, FetchDescriptor, SortDescriptor,
// a live Query) keeps the names of the persistence layer the screens were designed against; here each is
// our own small class over one SQLite file.

struct sqlite3_stmt;
class QTimer;
class SqliteDb;
class LogSync;
namespace storeread {
class RecentTexts;
struct TailPlan;
}

enum class SortOrder { forward, reverse };

// Sorts by one property, read through its getter.
template <class T>
struct SortDescriptor {
    std::function<bool(const T&, const T&)> less;

    template <class V>
    SortDescriptor(V (T::*getter)() const, SortOrder order = SortOrder::forward) {
        if (order == SortOrder::forward)
            less = [getter](const T& a, const T& b) { return (a.*getter)() < (b.*getter)(); };
        else
            less = [getter](const T& a, const T& b) { return (b.*getter)() < (a.*getter)(); };
    }
};

template <class T>
struct FetchDescriptor {
    std::function<bool(const T&)> predicate; // none: every object
    std::optional<SortDescriptor<T>> sortBy; // none: store order
};

// The one object context of the store: an identity map over the file, with pending inserts,
// changes and deletions written by `save()` in one transaction. GUI thread only.
class ModelContext : public QObject {
    Q_OBJECT
public:
    ~ModelContext() override;

    // Registers a newly constructed object (and links it into its owners' arrays).
    void insert(const std::shared_ptr<PersistentModel>& object);
    // Removes the object at the next save and applies the delete rules at once, recursively.
    void deleteObject(const std::shared_ptr<PersistentModel>& object);
    // Writes every pending change in one transaction. On failure everything stays pending,
    // the failure is logged and signalled (`saveFailed`), and the next save writes it all.
    // An update or deletion whose row is no longer in the file (removed by something else) is dropped,
    // and the rest saved: the object stays in memory as not stored, and `changesDropped` says so.
    // A failed save is tried again by itself (a disk that was full has room again), first `retryFirstMs` later,
    // then after twice the wait each time up to `retryMostMs`, until one goes through; not once damaged.
    bool save(QString* error = nullptr);
    static constexpr int retryFirstMs = 500, retryMostMs = 5000;
    bool hasChanges() const;
    QString lastSaveError() const { return m_lastError; }

    // A read from the file failed after opening (corruption, I/O error): what was loaded may be incomplete,
    // so from then on every save is refused (and signalled through `saveFailed`) to leave the file as it is.
    bool isDamaged() const { return !m_damage.isEmpty(); }
    QString damage() const { return m_damage; }
    // What makes the saves durable (nullptr for a store without a log); says when a sync of the log fails.
    LogSync* logSync() const { return m_logSync.get(); }
    // Reads the whole file through SQLite's quick check; a problem found makes the context damaged, as a
    // failed read does. Blocks the calling thread for as long as the file takes to read.
    bool quickCheck(QString* problem = nullptr);
    // The same check on a worker thread with its own read-only connection, so the window keeps running
    // (hundreds of milliseconds on a large store, more on a cold disk). The outcome arrives on this
    // context's thread as `quickCheckFinished`, after `damaged` when a problem was found. Does nothing
    // while a check runs. Closing the store stops the check and drops its result.
    void startQuickCheck();
    bool isQuickCheckRunning() const { return m_quickCheck != nullptr; }
    // Test seam: run on the worker thread once its connection is open, before the check reads the file.
    static void setQuickCheckHookForTesting(std::function<void()> hook);

    // Every live object of T (inserted ones included, deleted ones excluded).
    template <class T>
    std::vector<std::shared_ptr<T>> fetch(const FetchDescriptor<T>& descriptor = {}) {
        std::vector<std::shared_ptr<T>> out;
        const auto& all = objects(T::entityInfo().index);
        out.reserve(all.size());
        for (const auto& o : all) {
            if (o->isDeleted())
                continue;
            auto t = std::static_pointer_cast<T>(o);
            if (!descriptor.predicate || descriptor.predicate(*t))
                out.push_back(std::move(t));
        }
        if (descriptor.sortBy) {
            const auto& less = descriptor.sortBy->less;
            std::stable_sort(out.begin(), out.end(), [&](const auto& a, const auto& b) { return less(*a, *b); });
        }
        return out;
    }
    template <class T>
    std::vector<std::shared_ptr<T>> fetch(const SortDescriptor<T>& sort) {
        FetchDescriptor<T> d;
        d.sortBy = sort;
        return fetch<T>(d);
    }

    // The object of T with this id, if live in the context.
    template <class T>
    std::shared_ptr<T> object(const QUuid& id) {
        return std::static_pointer_cast<T>(lookup(T::entityInfo().index, id));
    }

    // Whether the table of `entity` has been read (tables are read on first use).
    bool isLoaded(int entity) const { return m_tables[size_t(entity)].loaded; }
    // Reads every table that is not read per owner; false (with the reason) when a read fails.
    bool loadTables(QString* error = nullptr);
    // One row as peekRows() reads it: the chosen columns by position, as the file holds them.
    class PeekedRow {
    public:
        qint64 rowid() const;
        bool isNull(int k) const;
        qint64 integer(int k) const;
        QByteArrayView text(int k) const; // UTF-8, valid during the call only

    private:
        friend class ModelContext;
        explicit PeekedRow(sqlite3_stmt* s) : m_stmt(s) {}
        sqlite3_stmt* m_stmt;
    };
    // For a summary of a large table before it is read: `columns` (indexes in the type's columns) of every
    // stored row, in store order, without making objects. False when the table is read already or has
    // objects inserted since (use fetch then), or when the read fails.
    bool peekRows(int entity, const std::vector<int>& columns, const std::function<void(const PeekedRow&)>& onRow);
    // The same kind of summary counted by SQLite on a worker thread, through a connection of its own, while the
    // caller goes on: of the stored rows whose `nullColumn` is null, how many hold each of `values` in
    // `textColumn` (compared as text, byte for byte), then how many there are in all, as the file is when the
    // read begins. No future where peekRows() would answer false; a future holding nothing when the worker
    // could not read the file (read the table then: that read reports what is wrong).
    using RowCounts = std::optional<std::vector<qint64>>;
    std::future<RowCounts> countRows(int entity, int nullColumn, int textColumn, std::vector<QByteArray> values);
    // Makes the objects of these rows (rowids from peekRows) live ahead of their table, in the order given;
    // rows gone or unreadable are left out. They join their owners' arrays and the store order once the
    // table is read, which any fetch of the type does first.
    std::vector<std::shared_ptr<PersistentModel>> preloadRows(int entity, const std::vector<qint64>& rowids);

    // Test seam: the next `count` saves fail inside their transaction with `message`.
    void failNextSaves(int count, const QString& message = QStringLiteral("disk I/O error (simulated)"));
    // Rows holding large values are read without the columns stored after those values (SQLite reaches them
    // only through every page of the values): the object reads as its defaults there, isColumnPending(),
    // until this asks for them. They are read on a worker thread, with the other rows asked for in the same
    // turn of the events, and given to their objects here (`changed`, then rowsCompleted), but for the
    // columns written meanwhile. For the rows a screen is about to show.
    void completeRow(const std::shared_ptr<PersistentModel>& object);
    // The same at once, on this thread: for a change computed from a column still to come.
    void completeRowNow(const std::shared_ptr<PersistentModel>& object);

    // Reads the stored bytes of large column `column` of `object` on any thread, through a connection of its
    // own (nullopt when there are none or they cannot be read): for pictures read off the window's thread.
    // The object's value in memory is the caller's to use while it differs from the file's.
    std::function<std::optional<QByteArray>()> storedBytesReader(const PersistentModel& object, int column) const;

    // Test seam: counts rows read from the file, per table.
    int rowsRead(const QString& table) const { return m_rowsRead.value(table); }
    int blobsRead() const { return m_blobsRead; }

    // Store-layer internals used by the persistent types.
    void loadChildren(PersistentModel* owner, int childEntity, int linkColumn);
    void ensureEntityLoaded(int entity) { loadEntity(entity); }
    void loadLazyColumn(PersistentModel* object, int column);
    void noteWrite(PersistentModel* object, int column);
    void noteArrayChange(PersistentModel* object);
    std::shared_ptr<PersistentModel> lookup(int entity, const QUuid& id);

signals:
    // Any insert, deletion or write of an object of the schema's type at `entity`.
    void entityChanged(int entity);
    // A write of one of its objects' stored properties or relationship arrays (with entityChanged): one
    // connection here follows every object, where thousands of per-object connections slow the start.
    void objectChanged(PersistentModel* object);
    void saveFailed(const QString& error);
    void saved();
    // After `saved`: changes that found no row, in a sentence for the person (French).
    void changesDropped(const QString& message);
    // Emitted once, on the first failed read, with the reason for the person (French); see isDamaged().
    void damaged(const QString& reason);
    // Rows of `entity` read without their last columns (after large values) have them now.
    void rowsCompleted(int entity);
    // The end of a check begun by startQuickCheck(); `problem` is empty when the file is sound.
    void quickCheckFinished(bool ok, const QString& problem);

private:
    friend class ModelContainer;
    ModelContext(std::unique_ptr<SqliteDb> db, const std::vector<const EntityInfo*>& schema,
                 std::vector<std::function<std::shared_ptr<PersistentModel>(const QUuid&)>> factories);

    const std::vector<std::shared_ptr<PersistentModel>>& objects(int entity);
    void loadEntity(int entity);
    // Reads the first page of every table that is not read per owner (opening refuses a file whose tables
    // cannot be read); false with the reason.
    bool checkTables(QString* error);
    // A preloaded object met while its table is read: it takes its place in the store order and arrays.
    void adoptPreloaded(int entity, const std::shared_ptr<PersistentModel>& object);
    // Whether the file alone still tells what the table holds (not read yet, nothing inserted since).
    bool canPeek(int entity) const;
    void setConnection(std::unique_ptr<SqliteDb> db);
    // Reads the rows of `entity` (those of `owner`, with a WHERE naming it twice), materializing each one;
    // false when a step fails.
    bool readRows(int entity, const QByteArray& where, const PersistentModel* owner);
    // The statement, or null once the failed read of `e` is reported.
    sqlite3_stmt* prepareRead(const EntityInfo& e, const QByteArray& sql);
    std::shared_ptr<PersistentModel> materialize(int entity, sqlite3_stmt* stmt, const std::vector<int>& cols,
                                                 storeread::RecentTexts& texts,
                                                 const storeread::TailPlan* tail = nullptr,
                                                 const std::shared_ptr<PersistentModel>& readFor = nullptr);
    // Reads, on a worker thread, the columns the rows of `objects` were read without, and gives them to the
    // objects on this thread, but for those written meanwhile (rowsCompleted).
    void readTails(int entity, std::vector<std::shared_ptr<PersistentModel>> objects);
    void applyTails(int entity, const std::vector<std::weak_ptr<PersistentModel>>& objects,
                    const std::vector<int>& columns,
                    const std::vector<std::optional<std::vector<ColumnValue>>>& values);
    void readFailed(const QString& where, const QString& reason);
    bool applyQuickCheck(const QStringList& found, QString* problem);
    void stopQuickCheck();
    void deleteRecursive(const std::shared_ptr<PersistentModel>& object);
    bool writePending(QString* error);
    // Commits; a new object whose owner's row is gone (removed by something else) is taken out of the
    // transaction and dropped, and the commit tried again. False when the commit fails otherwise.
    bool commitDroppingOrphans(QString* error);
    // What happened to a change the save had to drop.
    enum class Drop { update, deletion, orphan };
    // The sentence for changes dropped by the last save.
    static QString droppedMessage(const std::vector<std::pair<std::shared_ptr<PersistentModel>, Drop>>& dropped);
    void compact(int entity);

    void scheduleRetry();

    std::unique_ptr<SqliteDb> m_db;
    std::unique_ptr<LogSync> m_logSync; // after m_db: the last sync runs before the connection closes
    QString m_path;
    struct QuickCheckRun;
    std::shared_ptr<QuickCheckRun> m_quickCheck; // the check under way, if any
    struct TailRun;
    std::vector<std::shared_ptr<TailRun>> m_tailRuns; // reads of rows' last columns under way
    std::vector<std::weak_ptr<PersistentModel>> m_tailQueue; // rows asked for in this turn of the events
    std::vector<const EntityInfo*> m_schema;
    std::vector<std::function<std::shared_ptr<PersistentModel>(const QUuid&)>> m_factories;

    struct Table {
        bool loaded = false;
        bool hasDeleted = false;
        std::vector<std::shared_ptr<PersistentModel>> ordered; // store order, then insertion order
        QHash<QUuid, std::shared_ptr<PersistentModel>> byId;
        QSet<QUuid> pendingDeletion; // stored rows deleted since the last save: never loaded again
    };
    std::vector<Table> m_tables;

    std::vector<std::shared_ptr<PersistentModel>> m_inserted;
    std::vector<std::shared_ptr<PersistentModel>> m_deleted; // stored objects to remove
    std::vector<std::shared_ptr<PersistentModel>> m_changed; // stored objects with dirty columns
    std::vector<std::weak_ptr<PersistentModel>> m_released; // deleted objects, detached with the context
    // Of the save under way: objects whose change could not be written, and what that change was.
    std::vector<std::pair<std::shared_ptr<PersistentModel>, Drop>> m_dropped;

    QTimer* m_retry = nullptr; // the next try of a failed save
    int m_retryDelay = 0;
    bool m_preloading = false;
    int m_failSaves = 0;
    QString m_failMessage;
    QString m_lastError;
    QString m_damage;
    QHash<QString, int> m_rowsRead;
    int m_blobsRead = 0;
};

// The on-disk store with its one main context.
class ModelContainer {
public:
    struct Type {
        const EntityInfo* info;
        std::function<std::shared_ptr<PersistentModel>(const QUuid&)> make; // an empty object for loading
    };
    // Opens or creates the store at `path` for `schema` at `version`. On failure returns nullptr
    // with `error` set; an existing file is never modified then.
    static std::unique_ptr<ModelContainer> open(const QString& path, const std::vector<Type>& schema,
                                                const QString& version, QString* error);
    ~ModelContainer();

    ModelContext& mainContext() { return *m_context; }
    QString path() const { return m_path; }

private:
    ModelContainer() = default;
    QString m_path;
    std::unique_ptr<ModelContext> m_context;
};

// A view-held query of all objects of T sorted by one property, re-evaluated after every
// insert, change or deletion of a T in the context.
class LiveQueryBase : public QObject {
    Q_OBJECT
public:
    LiveQueryBase(ModelContext& context, int entity, QObject* parent);
signals:
    void changed();

protected:
    bool m_dirty = true;
};

template <class T>
class LiveQuery : public LiveQueryBase {
public:
    LiveQuery(ModelContext& context, SortDescriptor<T> sort, QObject* parent = nullptr)
        : LiveQueryBase(context, T::entityInfo().index, parent), m_context(&context) {
        m_descriptor.sortBy = std::move(sort);
    }
    // Empty once the store is closed.
    const std::vector<std::shared_ptr<T>>& results() {
        if (!m_context)
            m_results.clear();
        else if (m_dirty) {
            m_results = m_context->template fetch<T>(m_descriptor);
            m_dirty = false;
        }
        return m_results;
    }

private:
    QPointer<ModelContext> m_context;
    FetchDescriptor<T> m_descriptor;
    std::vector<std::shared_ptr<T>> m_results;
};
