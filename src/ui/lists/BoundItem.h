#pragma once

#include "ui/lists/ListItem.h"

#include <memory>

namespace lists {

// A list item that shows one stored object (of a type with a `changed` signal): it reads the object again on
// every change, and a reused item follows another object through bind().
template <class T>
class BoundItem : public ListItem {
public:
    // Follows `object` from now on, with its callbacks; starts unhovered and reads it.
    void bind(std::shared_ptr<T> object, Callbacks callbacks) {
        m_object = std::move(object);
        rebind(connect(m_object.get(), &T::changed, this, [this] { refresh(); }), std::move(callbacks));
    }

protected:
    BoundItem(ThemeManager& theme, std::shared_ptr<T> object, Callbacks callbacks, QWidget* parent)
        : ListItem(theme, std::move(callbacks), parent), m_object(std::move(object)) {}

    std::shared_ptr<T> m_object;
};

} // namespace lists
