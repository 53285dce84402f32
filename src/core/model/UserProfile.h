#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class Preferences;

// The user's profile, kept as JSON in one preference entry.
struct UserProfile {
    QString firstName;
    QString lastName;
    std::optional<QByteArray> avatarData;

    // Compact JSON with "firstName", "lastName" and, only when there is an avatar, "avatarData" (Base64).
    QByteArray toJson() const;
    // Requires both names as strings; "avatarData" may be missing or null, else must be valid Base64.
    static std::optional<UserProfile> fromJson(const QByteArray& json);
};

// Holds the current profile for the whole run: loads it at creation and writes it back at once (in our
// encoding: keys we do not know are dropped), then writes it after every change.
class UserPreferencesStore : public QObject {
    Q_OBJECT
public:
    static constexpr const char* key = "tolmek.userProfile";
    // A stored avatar larger than this reads as none.
    static constexpr qsizetype kMaxAvatarBytes = 4 * 1024 * 1024;

    // Over the preferences it reads and writes; the entry creates one for the run.
    explicit UserPreferencesStore(Preferences& prefs, QObject* parent = nullptr);

    const UserProfile& profile() const { return m_profile; }
    // Announces the change, stores the value, then saves.
    void setProfile(const UserProfile& profile);
    void setFirstName(const QString& name);
    void setLastName(const QString& name);
    void setAvatarData(const std::optional<QByteArray>& data);

signals:
    void profileWillChange();
    void profileChanged();

private:
    void load();
    void save();

    Preferences& m_prefs;
    UserProfile m_profile;
};
