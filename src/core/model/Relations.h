#pragma once

// How the persistent types keep a child's owner link and the owner's array in step. Used by the types'
// own sources only.

#include "core/store/Logging.h"
#include "core/store/ModelContext.h"
#include "core/model/StoredModel.h"

#include <QtGlobal>

namespace relations {

inline void refuseLink(const PersistentModel& child) {
    qCWarning(lcStore, "a %s is not linked to a deleted object or to one of another or a closed store",
              child.entity().name);
}

// Sets a child's owner link and keeps both owners' arrays in step; returns whether the link was set.
// A link that the store could never save (to a deleted owner, or across stores) is refused.
template <class Child, class Owner>
bool setOwner(Child& child, std::weak_ptr<Owner>& slot, const std::shared_ptr<Owner>& owner) {
    auto old = slot.lock();
    if (old == owner)
        return true;
    if (owner && !child.canLink(*owner)) {
        refuseLink(child);
        return false;
    }
    if (old)
        old->detachChild(&child);
    slot = owner;
    if (!owner)
        return true;
    if (child.modelContext() || !owner->modelContext())
        owner->attachChild(child.template self<Child>());
    else
        owner->modelContext()->insert(child.shared_from_this()); // links it into the array
    return true;
}

// On insertion, a child joins its owner's array; a link that could never be saved is cleared.
template <class Child, class Owner>
void joinOwner(Child& child, std::weak_ptr<Owner>& slot) {
    auto owner = slot.lock();
    if (!owner)
        return;
    if (!child.canLink(*owner)) {
        refuseLink(child);
        slot.reset();
        return;
    }
    owner->attachChild(child.template self<Child>());
}

// Appends `child` to `list` once, bringing either side into the other's context.
template <class Owner, class Child>
bool attachTo(Owner& owner, std::vector<std::shared_ptr<Child>>& list, const std::shared_ptr<Child>& child) {
    if (!owner.modelContext() && child->modelContext())
        child->modelContext()->insert(owner.shared_from_this());
    if (store::contains(list, child.get()))
        return false;
    list.push_back(child);
    return true;
}

// Links a child to `owner` from the owner's side: through the child's link, which keeps both sides in step.
template <class Owner, class Child>
void appendChild(Owner& owner, const std::shared_ptr<Child>& child, std::shared_ptr<Owner> (Child::*link)() const,
                 void (Child::*setLink)(const std::shared_ptr<Owner>&)) {
    if (!child)
        return;
    if (((*child).*link)().get() != &owner)
        ((*child).*setLink)(owner.template self<Owner>());
    else if (!child->canLink(owner))
        refuseLink(*child);
    else if (!child->modelContext() && owner.modelContext())
        owner.modelContext()->insert(child); // joins the array as it is inserted
    else
        owner.attachChild(child);
}

template <class Owner, class Child>
void removeChild(Owner& owner, const std::shared_ptr<Child>& child, std::shared_ptr<Owner> (Child::*link)() const,
                 void (Child::*setLink)(const std::shared_ptr<Owner>&)) {
    if (child && ((*child).*link)().get() == &owner)
        ((*child).*setLink)(nullptr);
}

// After loading, a link is set silently and the child joins its owner's array.
template <class Child, class Owner>
void resolve(Child& child, std::weak_ptr<Owner>& slot, const std::shared_ptr<PersistentModel>& owner,
             std::vector<std::shared_ptr<Child>> Owner::*list) {
    auto o = std::static_pointer_cast<Owner>(owner);
    slot = o;
    if (o && !child.isPreloaded())
        ((*o).*list).push_back(child.template self<Child>());
}

// Children appended to an owner before it was inserted are inserted with it.
template <class T>
void insertNewChildren(PersistentModel& owner, const std::vector<std::shared_ptr<T>>& list) {
    const auto children = list; // inserting may touch the list
    for (const auto& c : children)
        if (!c->modelContext() && owner.modelContext())
            owner.modelContext()->insert(c);
}

// Applies the delete rule of the children's link to `owner`: they go with it, or lose their link.
template <class Owner, class Child>
void ownerDeleted(const Owner&, std::vector<std::shared_ptr<PersistentModel>>& cascade,
                  const std::vector<std::shared_ptr<Child>>& children,
                  void (Child::*setLink)(const std::shared_ptr<Owner>&)) {
    if (Child::deleteRuleFor(Owner::kEntity) == DeleteRule::cascade) {
        cascade.insert(cascade.end(), children.begin(), children.end());
        return;
    }
    const auto linked = children; // clearing a link edits the array
    for (const auto& c : linked)
        ((*c).*setLink)(nullptr);
}

} // namespace relations

template <class T, class F>
template <class Child>
void StoredModel<T, F>::attachToList(std::vector<std::shared_ptr<Child>>& list, const std::shared_ptr<Child>& child,
                                     const char* key) {
    if (relations::attachTo(*this, list, child))
        didChangeArray(key);
}

template <class T, class F>
template <class Child>
void StoredModel<T, F>::detachFromList(std::vector<std::shared_ptr<Child>>& list, Child* child, const char* key) {
    if (store::removeFrom(list, child))
        didChangeArray(key);
}

template <class T, class F>
template <class Owner>
void StoredModel<T, F>::setOwnerLink(std::weak_ptr<Owner> F::*member, const std::shared_ptr<Owner>& owner) {
    if (relations::setOwner(static_cast<T&>(*this), m_f.*member, owner))
        didWrite(columnOf(member));
}

template <class T, class F>
template <class Child>
const std::vector<std::shared_ptr<Child>>& StoredModel<T, F>::loadedChildren(
    const std::vector<std::shared_ptr<Child>>& list, bool* loaded) const {
    if (loaded) {
        if (*loaded)
            return list;
        *loaded = true;
    }
    if (modelContext())
        modelContext()->ensureEntityLoaded(Child::kEntity);
    return list;
}

// What TOLMEK_OWNER_LINK declares, for a `Type` whose owner keeps it in `Owner::m_<name>`.
#define TOLMEK_DEFINE_OWNER_LINK(Type, Owner, link, setLink, name)                                  \
    void Type::setLink(const std::shared_ptr<Owner>& owner) { setOwnerLink(&Fields::link, owner); } \
    void Type::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {                    \
        relations::resolve(*this, m_f.link, owner, &Owner::m_##name);                               \
    }

// What TOLMEK_CHILDREN declares but `name()`; `link` and `setLink` are the child's link to its owner.
#define TOLMEK_DEFINE_CHILDREN(Owner, Child, name, append, remove, link, setLink) \
    void Owner::append(const std::shared_ptr<Child>& child) {                     \
        relations::appendChild(*this, child, &Child::link, &Child::setLink);      \
    }                                                                             \
    void Owner::remove(const std::shared_ptr<Child>& child) {                     \
        relations::removeChild(*this, child, &Child::link, &Child::setLink);      \
    }                                                                             \
    void Owner::attachChild(const std::shared_ptr<Child>& child) {                \
        name();                                                                   \
        attachToList(m_##name, child, #name);                                     \
    }                                                                             \
    void Owner::detachChild(Child* child) { detachFromList(m_##name, child, #name); }

// TOLMEK_DEFINE_CHILDREN with `name()` reading the children's whole table on first use.
#define TOLMEK_DEFINE_TABLE_CHILDREN(Owner, Child, name, append, remove, link, setLink)                 \
    const std::vector<std::shared_ptr<Child>>& Owner::name() const { return loadedChildren(m_##name); } \
    TOLMEK_DEFINE_CHILDREN(Owner, Child, name, append, remove, link, setLink)

// The store's hooks of a `Type` linked to its owner by `link` and owning the `Child` objects of `name()` (linked back
// by `setChildLink`): inserted, it joins its owner's array and brings its new children in; deleted, it applies their
// delete rule and leaves its owner's array.
#define TOLMEK_DEFINE_STORE_HOOKS(Type, link, Child, name, setChildLink)           \
    void Type::onInserted() {                                                      \
        relations::joinOwner(*this, m_f.link);                                     \
        relations::insertNewChildren(*this, m_##name);                             \
    }                                                                              \
    void Type::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) { \
        relations::ownerDeleted(*this, cascade, name(), &Child::setChildLink);     \
        leaveOwner(&Fields::link);                                                 \
    }
