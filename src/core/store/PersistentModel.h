#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

class ModelContext;
struct EntityInfo;

// How one stored column is kept.
enum class ColumnKind { Uuid, Text, OptText, Int, Bool, Date, OptDate, OptBlob, Link };

// What deleting an owner does to the objects linked to it: delete them too, or clear their link.
enum class DeleteRule { cascade, nullify };

struct ColumnInfo {
    const char* name;
    ColumnKind kind;
    bool lazy = false; // loaded on first read (large blobs)
    int linkEntity = -1; // for Link: the owner's entity index in the schema
    DeleteRule onOwnerDelete = DeleteRule::cascade; // for Link
};

// Describes one persistent type: its table and columns in declaration order.
struct EntityInfo {
    int index; // position in the schema (0-based)
    const char* name; // table name
    std::vector<ColumnInfo> columns;
    // Rows are read per owner on first access of the owner's array (large tables), not all at once.
    int loadPerOwnerLink = -1;
};

// One column's value on its way to or from the file: null, text, integer or bytes.
// Dates travel as microseconds since the epoch, links and ids as text.
using ColumnValue = std::variant<std::monostate, QString, qint64, QByteArray>;

// Selects the constructor the store uses for a row it reads: the values follow from the file.
struct LoadedRow {};

// Base of every persistent object. Objects are shared (std::shared_ptr) and unique per stored row:
// two references are equal exactly when they point to the same object. Every setter emits `changed`,
// also when the value is unchanged, and marks the column for the next save.
class PersistentModel : public QObject, public std::enable_shared_from_this<PersistentModel> {
    Q_OBJECT
public:
    ~PersistentModel() override;

    virtual const EntityInfo& entity() const = 0;

    QUuid id() const { return m_id; }
    // The id as the file holds it: the text it was read with, else the canonical upper-case form.
    QString storeIdText() const;
    ModelContext* modelContext() const { return m_context; }
    // Deleted through the context (pending or saved); the object stays readable.
    bool isDeleted() const { return m_deleted; }
    // Known to the store file (loaded, or inserted and saved).
    bool isStored() const { return m_stored; }
    // Read ahead of the rest of its table (for a summary shown before the table is read): it joins its
    // owners' arrays and the store order when the table is read.
    bool isPreloaded() const { return m_preloaded; }
    // Whether this object may take `owner` as its owner: neither is deleted nor left over from a closed
    // store, and they do not belong to two different contexts (an object not inserted yet joins the other's).
    bool canLink(const PersistentModel& owner) const;
    // Whether the stored value of lazy column `column` holds bytes, when the read of its row told
    // (without reading them); nullopt when it did not.
    std::optional<bool> storedBytesPresent(int column) const {
        if (!(m_lazyKnown & (quint64(1) << column)))
            return std::nullopt;
        return bool(m_lazyPresent & (quint64(1) << column));
    }
    // Whether column `column` is still to come from the file (a row read without the columns after its
    // large values): it reads as its default until then.
    bool isColumnPending(int column) const { return m_tailPending & (quint64(1) << column); }

    template <class T>
    std::shared_ptr<T> self() {
        return std::static_pointer_cast<T>(shared_from_this());
    }

signals:
    // After every write of a stored property or a relationship array; `key` is the field's name.
    void changed(const char* key);

protected:
    explicit PersistentModel(QUuid id) : m_id(id) {}

    // Records a write of column `column` (index in entity().columns) and notifies observers.
    void didWrite(int column);
    // Notifies observers of a to-many array change (arrays are derived, not stored).
    void didChangeArray(const char* key);

    // Column values for the store layer; setting one (while loading) does not notify.
    virtual ColumnValue columnValue(int column) const = 0;
    virtual void setColumnValue(int column, const ColumnValue& value) = 0;
    // Relationship maintenance hooks, called by the context.
    virtual void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner);
    virtual void onInserted();
    virtual void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade);

    // Ensures a lazy column is loaded before it is read.
    void ensureLoaded(int column, bool& loaded) const;
    // Whether column `column` was written since the last save (its value is not in the file yet).
    bool isUnsaved(int column) const { return !m_stored || (m_dirty & (quint64(1) << column)); }

private:
    friend class ModelContext;
    QUuid m_id;
    QString m_idText; // as the file spells it, when not in the canonical form
    ModelContext* m_context = nullptr;
    bool m_deleted = false;
    bool m_stored = false;
    bool m_detached = false; // its context is gone
    bool m_preloaded = false;
    quint64 m_dirty = 0; // bit per column written since the last save
    quint64 m_tailPending = 0; // columns not read yet (see ModelContext::completeRow)
    bool m_tailAsked = false;
    quint64 m_lazyKnown = 0, m_lazyPresent = 0; // lazy columns whose presence the row's read told
};

// Helpers shared by the persistent types.
namespace store {
QString uuidText(const QUuid& id); // upper-case, 36 characters
QUuid parseUuid(const QString& text);
qint64 toMicros(const QDateTime& dt);
QDateTime fromMicros(qint64 us);
qint64 microsToMillis(qint64 us); // rounded down, as fromMicros() does

// Removes `item` from `list` (by identity); returns whether it was there.
template <class T>
bool removeFrom(std::vector<std::shared_ptr<T>>& list, const T* item) {
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->get() == item) {
            list.erase(it);
            return true;
        }
    return false;
}
template <class T>
bool contains(const std::vector<std::shared_ptr<T>>& list, const T* item) {
    for (const auto& p : list)
        if (p.get() == item)
            return true;
    return false;
}
} // namespace store
