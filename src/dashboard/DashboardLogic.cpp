#include "dashboard/DashboardLogic.h"

#include "rtf/Rtf.h"

#include <QTextDocument>

namespace dashboard {

QString greetingTitle(const UserProfile& profile) {
    QStringList parts;
    for (const QString& name : {profile.firstName.trimmed(), profile.lastName.trimmed()})
        if (!name.isEmpty())
            parts << name;
    if (parts.isEmpty())
        return QStringLiteral("Tableau de bord");
    return QStringLiteral("Bienvenue ") + parts.join(QLatin1Char(' '));
}

QString shownTitle(const QString& stored) {
    return stored.trimmed().isEmpty() ? QStringLiteral("Sans titre") : stored;
}

QString statusTitle(DocStatus status) {
    switch (status) {
    case DocStatus::done: return QStringLiteral("Terminé");
    case DocStatus::needsChanges: return QStringLiteral("À modifier");
    case DocStatus::inProgress: break;
    }
    return QStringLiteral("En cours");
}

QString panelTitle(DocStatus status) { return QStringLiteral("Documents ") + statusTitle(status).toLower(); }

const QList<DocStatus>& counterOrder() {
    static const QList<DocStatus> order{DocStatus::done, DocStatus::inProgress, DocStatus::needsChanges};
    return order;
}

std::optional<QByteArray> decodeStrictBase64(const QString& text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        const bool alpha = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
                           c == u'+' || c == u'/';
        if (alpha)
            continue;
        // "=" only as the last one or two characters.
        if (c == u'=' && (i == n - 1 || (i == n - 2 && text.at(n - 1) == u'=')))
            continue;
        return std::nullopt;
    }
    const auto result = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return *result;
}

NoteState decodeStoredNote(const QString& stored) {
    const QString t = stored.trimmed();
    if (t.startsWith(QLatin1String("rtf:"))) {
        if (auto bytes = decodeStrictBase64(t.mid(4))) {
            QTextDocument doc;
            const bool readable = !bytes->isEmpty() && rtf::read(*bytes, doc);
            return {std::move(bytes), readable ? doc.toPlainText() : QString()};
        }
    }
    return {std::nullopt, stored};
}

QString encodeNote(const NoteState& note) {
    if (note.rtf && !note.rtf->isEmpty())
        return QStringLiteral("rtf:") + QString::fromLatin1(note.rtf->toBase64());
    return note.plain.trimmed();
}

} // namespace dashboard
