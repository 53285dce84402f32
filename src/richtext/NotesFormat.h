#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>

// Rich text kept in one text value (a card's `notes`, the dashboard's quick note): either plain text
// (trimmed) or "rtf:" followed by the standard Base64 of the RTF bytes.
namespace notesformat {

inline constexpr const char* rtfPrefix = "rtf:";

// RTF of at least one byte wins; otherwise the trimmed plain text (never absent, possibly "").
QString encode(const std::optional<QByteArray>& rtf, const QString& plain);

struct Decoded {
    std::optional<QByteArray> rtf; // present only for a well-formed "rtf:" value
    QString plain; // the RTF's text ("" for RTF too large to edit), or the stored value as it was
};
// Never fails: a value whose Base64 does not decode strictly reads as plain text, prefix included.
Decoded decode(const std::optional<QString>& stored);

// Strict RFC 4648 Base64 (standard alphabet, "=" padding, no blanks or line breaks); nothing otherwise.
std::optional<QByteArray> strictBase64(const QString& text);

// The character content of `rtf` read as an RTF document; "" when it does not read as RTF.
QString plainTextOf(const QByteArray& rtf);

// Whether a stored value is too large to be decoded and edited whole (largetext's limits).
bool isOversized(const std::optional<QString>& stored);
// The start of a stored value, cheap at any size: the RTF of the first bytes of an "rtf:" value (Base64
// read as far as it is clean), else the plain text cut at `maxChars`.
Decoded preview(const std::optional<QString>& stored, qsizetype maxChars);

} // namespace notesformat
