#pragma once

// Binding and reading of column values, shared by the persistent types.

#include "core/store/PersistentModel.h"

#include <sqlite3.h>

namespace store {

inline void bind(sqlite3_stmt* s, int p, const QString& v) {
    const QByteArray u = v.toUtf8();
    sqlite3_bind_text(s, p, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}
inline void bind(sqlite3_stmt* s, int p, const std::optional<QString>& v) {
    if (v)
        bind(s, p, *v);
    else
        sqlite3_bind_null(s, p);
}
inline void bind(sqlite3_stmt* s, int p, int v) { sqlite3_bind_int64(s, p, v); }
inline void bind(sqlite3_stmt* s, int p, bool v) { sqlite3_bind_int(s, p, v ? 1 : 0); }
inline void bind(sqlite3_stmt* s, int p, const QDateTime& v) { sqlite3_bind_int64(s, p, toMicros(v)); }
inline void bind(sqlite3_stmt* s, int p, const std::optional<QDateTime>& v) {
    if (v)
        bind(s, p, *v);
    else
        sqlite3_bind_null(s, p);
}
inline void bind(sqlite3_stmt* s, int p, const std::optional<QByteArray>& v) {
    if (v)
        sqlite3_bind_blob64(s, p, v->isEmpty() ? "" : v->constData(), sqlite3_uint64(v->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(s, p);
}
template <class T>
inline void bind(sqlite3_stmt* s, int p, const std::weak_ptr<T>& link) {
    if (auto o = link.lock())
        bind(s, p, uuidText(o->id()));
    else
        sqlite3_bind_null(s, p);
}

inline bool isNull(sqlite3_stmt* s, int c) { return sqlite3_column_type(s, c) == SQLITE_NULL; }
inline void read(sqlite3_stmt* s, int c, QString& v) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
    v = t ? QString::fromUtf8(t, sqlite3_column_bytes(s, c)) : QString();
}
inline void read(sqlite3_stmt* s, int c, std::optional<QString>& v) {
    if (isNull(s, c)) {
        v.reset();
        return;
    }
    QString t;
    read(s, c, t);
    v = t;
}
inline void read(sqlite3_stmt* s, int c, int& v) { v = int(sqlite3_column_int64(s, c)); }
inline void read(sqlite3_stmt* s, int c, bool& v) { v = sqlite3_column_int64(s, c) != 0; }
inline void read(sqlite3_stmt* s, int c, QDateTime& v) { v = fromMicros(sqlite3_column_int64(s, c)); }
inline void read(sqlite3_stmt* s, int c, std::optional<QDateTime>& v) {
    if (isNull(s, c))
        v.reset();
    else
        v = fromMicros(sqlite3_column_int64(s, c));
}
inline void read(sqlite3_stmt* s, int c, std::optional<QByteArray>& v) {
    if (isNull(s, c)) {
        v.reset();
        return;
    }
    const void* b = sqlite3_column_blob(s, c);
    const int n = sqlite3_column_bytes(s, c);
    v = b ? QByteArray(static_cast<const char*>(b), n) : QByteArray();
}

// Links are resolved by the context through the owner's identity, not read as values.
template <class T>
inline void read(sqlite3_stmt*, int, std::weak_ptr<T>&) {}

} // namespace store
