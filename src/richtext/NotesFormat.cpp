#include "richtext/NotesFormat.h"

#include "rtf/Rtf.h"

#include <QTextDocument>

namespace notesformat {

namespace {
bool isBlank(QChar c) { return c.isSpace(); }

QString trimmed(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text.at(b)))
        ++b;
    while (e > b && isBlank(text.at(e - 1)))
        --e;
    return text.mid(b, e - b);
}

bool isBase64Char(char16_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}
} // namespace

QString encode(const std::optional<QByteArray>& rtf, const QString& plain) {
    if (rtf && !rtf->isEmpty())
        return QString::fromLatin1(rtfPrefix) + QString::fromLatin1(rtf->toBase64());
    return trimmed(plain);
}

std::optional<QByteArray> strictBase64(const QString& text) {
    const qsizetype n = text.size();
    if (n % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == '=') {
            // Padding only at the end, one or two characters.
            if (i < n - 2)
                return std::nullopt;
            ++padding;
            continue;
        }
        if (padding > 0 || !isBase64Char(c))
            return std::nullopt;
    }
    const auto result =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    // Canonical form only: the unused bits of the last group must be zero, so that re-encoding
    // gives the same text back.
    if (result.decoded.toBase64() != text.toLatin1())
        return std::nullopt;
    return result.decoded;
}

QString plainTextOf(const QByteArray& rtf) {
    QTextDocument doc;
    if (!rtf::read(rtf, doc))
        return {};
    return doc.toPlainText();
}

Decoded decode(const std::optional<QString>& stored) {
    const QString raw = stored.value_or(QString());
    const QString text = trimmed(raw);
    Decoded out;
    if (text.startsWith(QLatin1String(rtfPrefix)))
        out.rtf = strictBase64(text.mid(4));
    out.plain = out.rtf ? plainTextOf(*out.rtf) : raw;
    return out;
}

} // namespace notesformat
