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
        QByteArray::fromBase64Encoding(text.toLatin1(),
                                       QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
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
    if (text.startsWith(QLatin1String(rtfPrefix))) {
        // RTF spends a few bytes per character on its markup: four times the characters is plenty.
        qsizetype n = std::min<qsizetype>(text.size() - 4, (maxChars * 4 + 2) / 3 * 4);
        n -= n % 4;
        QStringView head = text.mid(4, n);
        qsizetype clean = 0;
        while (clean < head.size() && isBase64Char(head.at(clean).unicode()))
            ++clean;
        head = head.left(clean - clean % 4);
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
