#pragma once

// What every persistent type shares: its stored values live in one plain struct (`Fields`), and one table
// lists them (name, member, lazy or not, link with its delete rule). The store's columns, binding, reading
// and the `changed` key of every setter all derive from that table.

#include "core/store/PersistentModel.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

class Project;
class Doc;
class DocBlock;
class Checklist;
class ChecklistColumn;
class ChecklistCard;
class ChecklistAttachment;

using ProjectPtr = std::shared_ptr<Project>;
using DocPtr = std::shared_ptr<Doc>;
using DocBlockPtr = std::shared_ptr<DocBlock>;
using ChecklistPtr = std::shared_ptr<Checklist>;
using ChecklistColumnPtr = std::shared_ptr<ChecklistColumn>;
using ChecklistCardPtr = std::shared_ptr<ChecklistCard>;
using ChecklistAttachmentPtr = std::shared_ptr<ChecklistAttachment>;

using OptText = std::optional<QString>;
using OptDate = std::optional<QDateTime>;
using OptData = std::optional<QByteArray>;

// Position of each type in the schema (owners before their children).
namespace entity {
enum : int { Project, Doc, DocBlock, Checklist, ChecklistColumn, ChecklistCard, ChecklistAttachment };
}

// One stored value of F: the member that holds it.
template <class F>
using FieldMember =
    std::variant<QUuid F::*, QString F::*, OptText F::*, qint64 F::*, bool F::*, QDateTime F::*, OptDate F::*,
                 OptData F::*, std::weak_ptr<Project> F::*, std::weak_ptr<Doc> F::*, std::weak_ptr<Checklist> F::*,
                 std::weak_ptr<ChecklistColumn> F::*, std::weak_ptr<ChecklistCard> F::*>;

// One entry of a type's field table.
template <class F>
struct Field {
    const char* name; // the column's name, spelled as the field
    FieldMember<F> member;
    bool lazy = false; // read from the file on first access
    int linkEntity = -1; // a link: the owner's type
    DeleteRule onOwnerDelete = DeleteRule::cascade;
};

template <class F, class V>
Field<F> field(const char* name, V F::*member) {
    return {name, member};
}
template <class F, class V>
Field<F> lazyField(const char* name, V F::*member) {
    return {name, member, true};
}
// A link to an owner of type `ownerEntity`; `rule` is what deleting the owner does to this object.
template <class F, class Owner>
Field<F> link(const char* name, std::weak_ptr<Owner> F::*member, int ownerEntity, DeleteRule rule) {
    return {name, member, false, ownerEntity, rule};
}

namespace fieldtable {
ColumnKind kindOf(QUuid*);
ColumnKind kindOf(QString*);
ColumnKind kindOf(OptText*);
ColumnKind kindOf(qint64*);
ColumnKind kindOf(bool*);
ColumnKind kindOf(QDateTime*);
ColumnKind kindOf(OptDate*);
ColumnKind kindOf(OptData*);
template <class T>
ColumnKind kindOf(std::weak_ptr<T>*) {
    return ColumnKind::Link;
}

ColumnValue toValue(const QUuid& v);
ColumnValue toValue(const QString& v);
ColumnValue toValue(const OptText& v);
ColumnValue toValue(qint64 v);
ColumnValue toValue(bool v);
ColumnValue toValue(const QDateTime& v);
ColumnValue toValue(const OptDate& v);
ColumnValue toValue(const OptData& v);
template <class T>
ColumnValue toValue(const std::weak_ptr<T>& v) {
    if (auto o = v.lock())
        return o->storeIdText();
    return {};
}

void fromValue(const ColumnValue& c, QUuid& v);
void fromValue(const ColumnValue& c, QString& v);
void fromValue(const ColumnValue& c, OptText& v);
void fromValue(const ColumnValue& c, qint64& v);
void fromValue(const ColumnValue& c, bool& v);
void fromValue(const ColumnValue& c, QDateTime& v);
void fromValue(const ColumnValue& c, OptDate& v);
void fromValue(const ColumnValue& c, OptData& v);
// Links are resolved by the context through the owner's identity, not read as values.
template <class T>
void fromValue(const ColumnValue&, std::weak_ptr<T>&) {}

// `loadsPerOwner`: rows are read per owner, through the type's one link.
template <class F>
EntityInfo makeEntityInfo(int index, const char* table, const std::vector<Field<F>>& fields, bool loadsPerOwner) {
    EntityInfo info{index, table, {}, -1};
    for (const auto& f : fields) {
        if (loadsPerOwner && f.linkEntity >= 0)
            info.loadPerOwnerLink = int(info.columns.size());
        const ColumnKind kind = std::visit(
            [](auto member) {
                using V = std::remove_reference_t<decltype(std::declval<F&>().*member)>;
                return kindOf(static_cast<V*>(nullptr));
            },
            f.member);
        info.columns.push_back(ColumnInfo{f.name, kind, f.lazy, f.linkEntity, f.onOwnerDelete});
    }
    return info;
}
} // namespace fieldtable

// Base of the persistent types: T's values in one `F`, described by `T::fieldTable()`.
// T provides: static constexpr int kEntity, static constexpr const char* kTable, and fieldTable(),
// whose first entry is the id.
template <class T, class F>
class StoredModel : public PersistentModel {
public:
    using Fields = F;
    static constexpr bool kLoadsPerOwner = false; // large tables: read per owner, on first access

    static const EntityInfo& entityInfo() {
        static const EntityInfo info =
            fieldtable::makeEntityInfo<F>(T::kEntity, T::kTable, T::fieldTable(), T::kLoadsPerOwner);
        return info;
    }
    const EntityInfo& entity() const override { return entityInfo(); }

    // The column of a member of F.
    template <class V>
    static int columnOf(V F::*member) {
        const auto& table = T::fieldTable();
        for (size_t i = 0; i < table.size(); ++i)
            if (const auto* m = std::get_if<V F::*>(&table[i].member); m && *m == member)
                return int(i);
        Q_UNREACHABLE();
        return 0;
    }
    // What deleting an owner of type `ownerEntity` does to objects of T linked to it.
    static DeleteRule deleteRuleFor(int ownerEntity) {
        for (const auto& c : entityInfo().columns)
            if (c.kind == ColumnKind::Link && c.linkEntity == ownerEntity)
                return c.onOwnerDelete;
        return DeleteRule::nullify;
    }

protected:
    explicit StoredModel(F fields) : PersistentModel(fields.id), m_f(std::move(fields)) {}

    // Stores a value and notifies, also when it is unchanged.
    template <class V>
    void write(V F::*member, const V& value) {
        m_f.*member = value;
        didWrite(columnOf(member));
    }

    // For an owner: adds `child` once to its to-many side `list` named `key`, or removes it, notifying on a change.
    // Defined with the relationship helpers (Relations.h).
    template <class Child>
    void attachToList(std::vector<std::shared_ptr<Child>>& list, const std::shared_ptr<Child>& child, const char* key);
    template <class Child>
    void detachFromList(std::vector<std::shared_ptr<Child>>& list, Child* child, const char* key);

    // For an owner: its array `list`, once the children's table is read; with `loaded`, only while it is false
    // (it is set then). Defined with the relationship helpers (Relations.h).
    template <class Child>
    const std::vector<std::shared_ptr<Child>>& loadedChildren(const std::vector<std::shared_ptr<Child>>& list,
                                                              bool* loaded = nullptr) const;

    // For a child: sets its owner link `member`, keeping both owners' arrays in step (Relations.h).
    template <class Owner>
    void setOwnerLink(std::weak_ptr<Owner> F::*member, const std::shared_ptr<Owner>& owner);
    // For a child being deleted: leaves its owner's array.
    template <class Owner>
    void leaveOwner(std::weak_ptr<Owner> F::*member) {
        if (auto owner = (m_f.*member).lock())
            owner->detachChild(static_cast<T*>(this));
    }

    // Defined beside the explicit instantiations (FieldTable.cpp), where every linked type is complete.
    ColumnValue columnValue(int column) const override;
    void setColumnValue(int column, const ColumnValue& value) override;

    F m_f;
};

// A plain stored field: getter, and setter that always notifies.
#define TOLMEK_FIELD(Type, name, Setter)          \
public:                                           \
    const Type& name() const { return m_f.name; } \
    void Setter(const Type& value) { write(&Fields::name, value); }

// A type lists its stored values once, in column order after the id, as `X(kind, Type, name, Setter)`
// entries of one macro; its `…Fields` struct (TOLMEK_MEMBER), its accessors and its field table (by
// TOLMEK_STORED_TYPE) all come from that list. `kind` is
// - `field`: a plain value, with TOLMEK_FIELD's getter and setter;
// - `lazyField`: a large value read from the file on first access, whose accessors the type writes;
// - `ownedBy` / `linkedTo`: the link to an owner of type `Type` (TOLMEK_OWNER_LINK), deleting the owner deletes
//   the object, or only clears its link.

// The stored values of `Type` in `Type##Fields`: the id, then the fields of the list `FIELDS`. A new object is
// built from one.
#define TOLMEK_STORED_FIELDS(Type, FIELDS) \
    struct Type##Fields {                  \
        QUuid id = QUuid::createUuid();    \
        FIELDS(TOLMEK_MEMBER)              \
    }

// What one entry of a list becomes: a member of the struct, an entry of the field table, the accessors.
#define TOLMEK_MEMBER(kind, Type, name, Setter) TOLMEK_MEMBER_##kind(Type, name)
#define TOLMEK_MEMBER_field(Type, name) Type name{};
#define TOLMEK_MEMBER_lazyField(Type, name) Type name{};
#define TOLMEK_MEMBER_ownedBy(Owner, name) std::weak_ptr<Owner> name;
#define TOLMEK_MEMBER_linkedTo(Owner, name) std::weak_ptr<Owner> name;

#define TOLMEK_TABLE_ENTRY(kind, Type, name, Setter) TOLMEK_TABLE_ENTRY_##kind(Type, name),
#define TOLMEK_TABLE_ENTRY_field(Type, name) field(#name, &F::name)
#define TOLMEK_TABLE_ENTRY_lazyField(Type, name) lazyField(#name, &F::name)
#define TOLMEK_TABLE_ENTRY_ownedBy(Owner, name) link(#name, &F::name, entity::Owner, DeleteRule::cascade)
#define TOLMEK_TABLE_ENTRY_linkedTo(Owner, name) link(#name, &F::name, entity::Owner, DeleteRule::nullify)

#define TOLMEK_ACCESSORS(kind, Type, name, Setter) TOLMEK_ACCESSORS_##kind(Type, name, Setter)
#define TOLMEK_ACCESSORS_field(Type, name, Setter) TOLMEK_FIELD(Type, name, Setter)
#define TOLMEK_ACCESSORS_lazyField(Type, name, Setter)
#define TOLMEK_ACCESSORS_ownedBy(Owner, name, Setter) TOLMEK_OWNER_LINK(Owner, name, Setter)
#define TOLMEK_ACCESSORS_linkedTo(Owner, name, Setter) TOLMEK_OWNER_LINK(Owner, name, Setter)

// The fields that several types share, in the order their tables hold them.
#define TOLMEK_LOOK_FIELDS(X)                \
    X(field, QString, iconName, setIconName) \
    X(field, OptText, colorKey, setColorKey) \
    X(field, OptText, colorHex, setColorHex)
#define TOLMEK_STAMP_FIELDS(X)                   \
    X(field, QDateTime, createdAt, setCreatedAt) \
    X(field, QDateTime, updatedAt, setUpdatedAt) \
    X(field, OptDate, deletedAt, setDeletedAt)

// What every persistent type declares alike, from its field list `FIELDS`: its place in the schema, its table
// (named as the type), its field table and accessors, its two constructors (from its values; empty, for a row
// the store reads in, defined by the type) and the store's hooks on insertion and deletion.
#define TOLMEK_STORED_TYPE(Type, FIELDS)                                                           \
public:                                                                                            \
    static constexpr int kEntity = entity::Type;                                                   \
    static constexpr const char* kTable = #Type;                                                   \
    static const std::vector<Field<Type##Fields>>& fieldTable() {                                  \
        using F = Type##Fields;                                                                    \
        static const std::vector<Field<F>> table{field("id", &F::id), FIELDS(TOLMEK_TABLE_ENTRY)}; \
        return table;                                                                              \
    }                                                                                              \
                                                                                                   \
    explicit Type(Type##Fields fields) : StoredModel(std::move(fields)) {}                         \
    Type(LoadedRow, QUuid id);                                                                     \
    FIELDS(TOLMEK_ACCESSORS)                                                                       \
                                                                                                   \
protected:                                                                                         \
    void onInserted() override;                                                                    \
    void onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) override;               \
                                                                                                   \
public:

// A child's link to its owner, the member `link` of its values: the owner, and the setter that keeps both
// owners' arrays in step; `resolveLink` sets it as the store reads the row. Defined by
// TOLMEK_DEFINE_OWNER_LINK (Relations.h).
#define TOLMEK_OWNER_LINK(Owner, link, setLink)                                           \
public:                                                                                   \
    std::shared_ptr<Owner> link() const { return m_f.link.lock(); }                       \
    void setLink(const std::shared_ptr<Owner>& owner);                                    \
                                                                                          \
protected:                                                                                \
    void resolveLink(int column, const std::shared_ptr<PersistentModel>& owner) override; \
                                                                                          \
public:

// An owner's to-many side, the `Child` objects linked to it, in the array `m_<name>`: `name()` (defined by the
// type: it knows when the children's table is read), `append` and `remove`, which link or unlink one through
// its link, and, store-internal, `attachChild` and `detachChild`, which keep the array in step with the
// children's links. Defined by TOLMEK_DEFINE_CHILDREN (Relations.h).
#define TOLMEK_CHILDREN(Child, name, append, remove)           \
public:                                                        \
    const std::vector<std::shared_ptr<Child>>& name() const;   \
    void append(const std::shared_ptr<Child>& child);          \
    void remove(const std::shared_ptr<Child>& child);          \
    void attachChild(const std::shared_ptr<Child>& child);     \
    void detachChild(Child* child);                            \
                                                               \
private:                                                       \
    friend class Child; /* its link resolves into the array */ \
    std::vector<std::shared_ptr<Child>> m_##name;              \
                                                               \
public:
