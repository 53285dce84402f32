#include "dashboard/DashboardLogic.h"

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

QString shownTitle(const QString& stored) { return stored.trimmed().isEmpty() ? QStringLiteral("Sans titre") : stored; }

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

} // namespace dashboard
