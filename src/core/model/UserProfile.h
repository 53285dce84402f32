#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

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

// Holds the current profile for the whole run: loads it at creation, writes it back after every change.
class UserPreferencesStore : public QObject {
    Q_OBJECT
public:
    static constexpr const char* key = "tolmek.userProfile";
    // A stored avatar larger than this reads as none.
    static constexpr qsizetype kMaxAvatarBytes = 4 * 1024 * 1024;

    explicit UserPreferencesStore(QObject* parent = nullptr);
    // The application's store, created on first use.
    static UserPreferencesStore& shared();

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

    UserProfile m_profile;
};
