#include "core/model/UserProfile.h"

#include "core/store/Logging.h"
#include "prefs/Preferences.h"

#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>

QByteArray UserProfile::toJson() const {
    // Written by hand to keep the key order firstName, lastName, avatarData (QJsonObject sorts keys).
    auto str = [](const QString& s) {
        const QJsonDocument d(QJsonArray{s});
        QByteArray a = d.toJson(QJsonDocument::Compact);
        return a.mid(1, a.size() - 2);
    };
    QByteArray out = "{\"firstName\":" + str(firstName) + ",\"lastName\":" + str(lastName);
    if (avatarData)
        out += ",\"avatarData\":\"" + avatarData->toBase64() + "\"";
    out += "}";
    return out;
}

std::optional<UserProfile> UserProfile::fromJson(const QByteArray& json) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    if (!o.value("firstName").isString() || !o.value("lastName").isString())
        return std::nullopt;
    UserProfile p;
    p.firstName = o.value("firstName").toString();
    p.lastName = o.value("lastName").toString();
    const QJsonValue avatar = o.value("avatarData");
    if (avatar.isString()) {
        const auto decoded =
            QByteArray::fromBase64Encoding(avatar.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        p.avatarData = *decoded;
    } else if (!avatar.isUndefined() && !avatar.isNull()) {
        return std::nullopt;
    }
    return p;
}

UserPreferencesStore::UserPreferencesStore(Preferences& prefs, QObject* parent) : QObject(parent), m_prefs(prefs) {
    load();
}

void UserPreferencesStore::setProfile(const UserProfile& profile) {
    emit profileWillChange();
    m_profile = profile;
    save();
    emit profileChanged();
}

void UserPreferencesStore::setFirstName(const QString& name) {
    UserProfile p = m_profile;
    p.firstName = name;
    setProfile(p);
}

void UserPreferencesStore::setLastName(const QString& name) {
    UserProfile p = m_profile;
    p.lastName = name;
    setProfile(p);
}

void UserPreferencesStore::setAvatarData(const std::optional<QByteArray>& data) {
    UserProfile p = m_profile;
    p.avatarData = data;
    setProfile(p);
}

void UserPreferencesStore::load() {
    const QVariant stored = m_prefs.value(QString::fromLatin1(key));
    if (stored.typeId() != QMetaType::QByteArray)
        return;
    auto profile = UserProfile::fromJson(stored.toByteArray());
    if (!profile)
        return;
    if (profile->avatarData && profile->avatarData->size() > kMaxAvatarBytes) {
        // Ours are small JPEGs; a huge picture would slow every start and every save of the profile.
        // It reads as no avatar, and the entry stays as it is until the user changes the profile.
        qCWarning(lcProfile, "the stored avatar (%lld bytes) is too large and is ignored",
                  qlonglong(profile->avatarData->size()));
        profile->avatarData.reset();
        m_profile = *profile;
        return;
    }
    // Written back in our encoding; an entry already in that form is left as it is (the preferences skip
    // an unchanged value).
    setProfile(*profile);
}

void UserPreferencesStore::save() { m_prefs.setValue(QString::fromLatin1(key), m_profile.toJson()); }
