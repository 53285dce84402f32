#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// A value the embedder owns, read and written by the rich-text editor.
template <typename T>
struct RichTextBinding {
    std::function<T()> get;
    std::function<void(const T&)> set;

    T value() const { return get ? get() : T{}; }
    void write(const T& v) const {
        if (set)
            set(v);
    }
};

// The plain-text copy of the edited text.
using TextBinding = RichTextBinding<QString>;
// The RTF of the whole edited text; absent when the embedder has none.
using RtfBinding = RichTextBinding<std::optional<QByteArray>>;
