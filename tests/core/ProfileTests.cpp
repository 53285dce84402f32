#include "prefs/Preferences.h"
#include "core/model/UserProfile.h"
#include "support/TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString kKey = QString::fromLatin1(UserPreferencesStore::key);
}

TEST(ProfileTest, AMissingEntryStaysMissing) {
    testsupport::ScopedPreferences prefs;
    UserPreferencesStore store;
    EXPECT_TRUE(store.profile().firstName.isEmpty());
    EXPECT_FALSE(store.profile().avatarData);
    EXPECT_FALSE(prefs.prefs().contains(kKey));
}

TEST(ProfileTest, AValidEntryIsRewrittenAtStartWithoutExtraKeys) {
    testsupport::ScopedPreferences prefs;
    prefs.prefs().setValue(kKey, QByteArray(R"({"lastName":"Durand","extra":1,"firstName":"Léa"})"));
    UserPreferencesStore store;
    EXPECT_EQ(store.profile().firstName, "Léa");
    EXPECT_EQ(store.profile().lastName, "Durand");
    EXPECT_EQ(prefs.prefs().value(kKey).toByteArray(), QByteArray(R"({"firstName":"Léa","lastName":"Durand"})"));
}

TEST(ProfileTest, AnUndecodableEntryIsLeftUntouched) {
    for (const QByteArray& bad : {QByteArray(R"({"firstName":"A"})"), QByteArray(R"({"firstName":3,"lastName":"B"})"),
                                  QByteArray(R"({"firstName":"A","lastName":"B","avatarData":"%%%"})"),
                                  QByteArray("not json")}) {
        testsupport::ScopedPreferences prefs;
        prefs.prefs().setValue(kKey, bad);
        UserPreferencesStore store;
        EXPECT_TRUE(store.profile().firstName.isEmpty()) << bad.constData();
        EXPECT_EQ(prefs.prefs().value(kKey).toByteArray(), bad);
    }
    // Text instead of bytes is not a profile either.
    testsupport::ScopedPreferences prefs;
    prefs.prefs().setValue(kKey, QString("{\"firstName\":\"A\",\"lastName\":\"B\"}"));
    UserPreferencesStore store;
    EXPECT_TRUE(store.profile().firstName.isEmpty());
}

TEST(ProfileTest, EveryEditWritesTheWholeProfileAndTheAvatarKeyOnlyWhenThereIsOne) {
    testsupport::ScopedPreferences prefs;
    UserPreferencesStore store;
    store.setAvatarData(QByteArray("\xff\xd8jpeg", 6));
    store.setFirstName(" L");   // stored as typed
    const auto o = QJsonDocument::fromJson(prefs.prefs().value(kKey).toByteArray()).object();
    EXPECT_EQ(o.value("firstName").toString(), " L");
    EXPECT_EQ(QByteArray::fromBase64(o.value("avatarData").toString().toLatin1()), QByteArray("\xff\xd8jpeg", 6));
    store.setAvatarData(std::nullopt);
    EXPECT_EQ(prefs.prefs().value(kKey).toByteArray(), QByteArray(R"({"firstName":" L","lastName":""})"));
    // A null avatar reads as none.
    EXPECT_TRUE(UserProfile::fromJson(R"({"firstName":"a","lastName":"b","avatarData":null})"));
}
