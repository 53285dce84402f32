#pragma once

#include <QList>
#include <QString>

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

// An enumeration stored as text: its cases in order, each with its raw text.
template <class E>
class RawEnum {
public:
    RawEnum(std::initializer_list<std::pair<E, const char*>> cases) {
        for (const auto& [value, raw] : cases) {
            m_all << value;
            m_raw << QString::fromLatin1(raw);
        }
    }
    // A value that is none of the cases writes as the first.
    QString rawValue(E value) const { return m_raw.value(m_all.indexOf(value), m_raw.value(0)); }
    // Exact and case-sensitive.
    std::optional<E> fromRaw(const QString& raw) const {
        const qsizetype i = m_raw.indexOf(raw);
        return i < 0 ? std::nullopt : std::optional<E>(m_all[i]);
    }
    const QList<E>& allCases() const { return m_all; }

private:
    QList<E> m_all;
    QStringList m_raw;
};

// Defines the functions of the namespace `Info` (rawValue, fromRaw, allCases) of the enumeration E from its cases,
// given as `{value, "raw"}` pairs.
#define TOLMEK_DEFINE_RAW_ENUM(Info, E, ...)                                                  \
    namespace {                                                                               \
    const RawEnum<E>& Info##Cases() {                                                         \
        static const RawEnum<E> cases{__VA_ARGS__};                                           \
        return cases;                                                                         \
    }                                                                                         \
    }                                                                                         \
    QString Info::rawValue(E value) { return Info##Cases().rawValue(value); }                 \
    std::optional<E> Info::fromRaw(const QString& raw) { return Info##Cases().fromRaw(raw); } \
    const QList<E>& Info::allCases() { return Info##Cases().allCases(); }
