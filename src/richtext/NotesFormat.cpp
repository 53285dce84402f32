#include "richtext/NotesFormat.h"

#include "richtext/LargeText.h"
#include "rtf/Rtf.h"

#include <QTextDocument>

#include <algorithm>

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

int base64Value(char16_t c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

bool isBase64Char(char16_t c) { return base64Value(c) >= 0; }

// Strict RFC 4648 Base64 in canonical form (the unused bits of the last group zero, so that re-encoding
// gives the same text back), checked without decoding: cheap at any length.
bool isStrictBase64(QStringView text) {
    const qsizetype n = text.size();
    if (n % 4 != 0)
        return false;
    qsizetype padding = 0;
    while (padding < 2 && padding < n && text.at(n - 1 - padding) == u'=')
        ++padding;
    for (qsizetype i = 0; i < n - padding; ++i) {
        if (!isBase64Char(text.at(i).unicode()))
            return false;
    }
    if (padding == 0)
        return true;
    const int last = base64Value(text.at(n - 1 - padding).unicode());
    return (last & (padding == 1 ? 0x3 : 0xF)) == 0;
}
} // namespace

QString encode(const std::optional<QByteArray>& rtf, const QString& plain) {
    if (rtf && !rtf->isEmpty())
        return QString::fromLatin1(rtfPrefix) + QString::fromLatin1(rtf->toBase64());
    return trimmed(plain);
}

std::optional<QByteArray> strictBase64(const QString& text) {
    if (!isStrictBase64(text))
        return std::nullopt;
    const auto result =
        QByteArray::fromBase64Encoding(text.toLatin1(),
                                       QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return result.decoded;
}

QString plainTextOf(const QByteArray& rtf) {
    QTextDocument doc;
    if (!rtf::read(rtf, doc))
        return {};
    return rtf::plainText(doc);
}

bool isOversized(const std::optional<QString>& stored) {
    if (!stored)
        return false;
    const qsizetype n = stored->size();
    // Base64 takes four characters for three bytes.
    const bool rtf = QStringView(*stored).trimmed().startsWith(QLatin1String(rtfPrefix));
    return rtf ? largetext::isOversized(0, (n - 4) / 4 * 3) : largetext::isOversized(n, 0);
}

Decoded preview(const std::optional<QString>& stored, qsizetype maxChars) {
    Decoded out;
    const QStringView raw = stored ? QStringView(*stored) : QStringView();
    const QStringView text = raw.trimmed();
    // The same rule as decode's, checked over the whole value: a value the card sheet reads as plain text
    // is plain text here too, whatever its length.
    if (text.startsWith(QLatin1String(rtfPrefix)) && isStrictBase64(text.mid(4))) {
        // RTF spends a few bytes per character on its markup: four times the characters is plenty.
        qsizetype n = std::min<qsizetype>(text.size() - 4, (maxChars * 4 + 2) / 3 * 4);
        n -= n % 4;
        // Whole groups of a value checked above: padding only where the window reaches its end.
        const QStringView head = text.mid(4, n);
        if (!head.isEmpty()) {
            out.rtf = QByteArray::fromBase64(head.toLatin1());
            return out;
        }
    }
    out.plain = raw.left(maxChars).toString();
    return out;
}

Decoded decode(const std::optional<QString>& stored) {
    const QString raw = stored.value_or(QString());
    const QString text = trimmed(raw);
    Decoded out;
    if (text.startsWith(QLatin1String(rtfPrefix)))
        out.rtf = strictBase64(text.mid(4));
    // RTF too large to edit is not read here: only its start is ever shown (largetext).
    out.plain = !out.rtf ? raw : largetext::isOversized(0, out.rtf->size()) ? QString() : plainTextOf(*out.rtf);
    return out;
}

} // namespace notesformat
