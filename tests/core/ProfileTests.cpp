#include "prefs/Preferences.h"
#include "core/model/UserProfile.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>

#include <functional>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QJsonObject>

namespace {
const QString kKey = QString::fromLatin1(UserPreferencesStore::key);
}

TEST(ProfileTest, AMissingEntryStaysMissing) {
    testsupport::ScopedPreferences prefs;
    UserPreferencesStore store(prefs.prefs());
    EXPECT_TRUE(store.profile().firstName.isEmpty());
    EXPECT_FALSE(store.profile().avatarData);
    EXPECT_FALSE(prefs.prefs().contains(kKey));
}

TEST(ProfileTest, AValidEntryIsReadAtStartAndWrittenBackInOurEncoding) {
    testsupport::ScopedPreferences prefs;
    const QByteArray stored = R"({ "lastName" : "Durand", "extra":1,"firstName":"Léa"})";
    prefs.prefs().setValue(kKey, stored);
    QSignalSpy writes(&prefs.prefs(), &Preferences::changed);
    UserPreferencesStore store(prefs.prefs());
    EXPECT_EQ(store.profile().firstName, "Léa");
    EXPECT_EQ(store.profile().lastName, "Durand");
    EXPECT_EQ(prefs.prefs().value(kKey).toByteArray(), QByteArray(R"({"firstName":"Léa","lastName":"Durand"})"))
        << "the extra key is gone, the keys in our order";
    EXPECT_EQ(writes.count(), 1);
    store.setLastName("Martin");
    EXPECT_EQ(prefs.prefs().value(kKey).toByteArray(), QByteArray(R"({"firstName":"Léa","lastName":"Martin"})"));
}

TEST(ProfileTest, AnUndecodableEntryIsLeftUntouched) {
    for (const QByteArray& bad :
         {QByteArray(R"({"firstName":"A"})"), QByteArray(R"({"firstName":3,"lastName":"B"})"),
          QByteArray(R"({"firstName":"A","lastName":"B","avatarData":"%%%"})"), QByteArray("not json")}) {
        testsupport::ScopedPreferences prefs;
        prefs.prefs().setValue(kKey, bad);
        UserPreferencesStore store(prefs.prefs());
        EXPECT_TRUE(store.profile().firstName.isEmpty()) << bad.constData();
        EXPECT_EQ(prefs.prefs().value(kKey).toByteArray(), bad);
    }
    // Text instead of bytes is not a profile either.
    testsupport::ScopedPreferences prefs;
    prefs.prefs().setValue(kKey, QString("{\"firstName\":\"A\",\"lastName\":\"B\"}"));
    UserPreferencesStore store(prefs.prefs());
    EXPECT_TRUE(store.profile().firstName.isEmpty());
}

TEST(ProfileTest, EveryEditWritesTheWholeProfileAndTheAvatarKeyOnlyWhenThereIsOne) {
    testsupport::ScopedPreferences prefs;
    UserPreferencesStore store(prefs.prefs());
    store.setAvatarData(QByteArray("\xff\xd8jpeg", 6));
    store.setFirstName(" L"); // stored as typed
    const auto o = QJsonDocument::fromJson(prefs.prefs().value(kKey).toByteArray()).object();
    EXPECT_EQ(o.value("firstName").toString(), " L");
    EXPECT_EQ(QByteArray::fromBase64(o.value("avatarData").toString().toLatin1()), QByteArray("\xff\xd8jpeg", 6));
    store.setAvatarData(std::nullopt);
    EXPECT_EQ(prefs.prefs().value(kKey).toByteArray(), QByteArray(R"({"firstName":" L","lastName":""})"));
    // A null avatar reads as none.
    EXPECT_TRUE(UserProfile::fromJson(R"({"firstName":"a","lastName":"b","avatarData":null})"));
}

namespace {
// Installs a preferences file with exactly these bytes as the shared preferences.
class RawPreferences {
public:
    explicit RawPreferences(const QByteArray& bytes) {
        QFile f(path());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        m_prefs = std::make_unique<Preferences>(path());
        m_previous = &Preferences::shared();
        Preferences::setShared(m_prefs.get());
    }
    ~RawPreferences() { Preferences::setShared(m_previous); }
    QString path() const { return m_dir.path() + "/Tolmek.conf"; }
    QByteArray bytes() {
        m_prefs->sync();
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    Preferences& prefs() { return *m_prefs; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
    Preferences* m_previous = nullptr;
};
} // namespace

TEST(ProfileTest, AStartLeavesAFileItCannotReadBackUntouched) {
    // A Latin-1 "é" where the file should hold UTF-8: writing anything back would re-encode it.
    const QByteArray file =
        "[General]\n"
        "dashboard.showQuickNote=false\n"
        "prefs.defaultLayout=grid\n"
        "tolmek.theme=dark\n"
        "tolmek.userProfile=@ByteArray({\"firstName\":\"L\xe9"
        "a\",\"lastName\":\"Durand\"})\n";
    RawPreferences raw(file);
    {
        UserPreferencesStore store(raw.prefs());
        // What the theme and the layout do at start: write back the value they read.
        raw.prefs().setValue("tolmek.theme", raw.prefs().value("tolmek.theme").toString());
        raw.prefs().setValue("prefs.defaultLayout", raw.prefs().value("prefs.defaultLayout").toString());
        raw.prefs().setValue("dashboard.showQuickNote", false);
        EXPECT_TRUE(store.profile().lastName.isEmpty()) << "not readable as JSON: no profile, and nothing written";
    }
    EXPECT_EQ(raw.bytes(), file);
    // A real change is written.
    raw.prefs().setValue("tolmek.theme", QStringLiteral("light"));
    EXPECT_TRUE(raw.bytes().contains("tolmek.theme=light"));
}

TEST(ProfileTest, AnOversizedAvatarReadsAsNoneAndStaysUntilTheProfileIsEdited) {
    UserProfile big{"Léa", "Durand", QByteArray(UserPreferencesStore::kMaxAvatarBytes + 1, 'j')};
    testsupport::ScopedPreferences prefs;
    prefs.prefs().setValue(kKey, big.toJson());
    const QByteArray stored = prefs.prefs().value(kKey).toByteArray();
    UserPreferencesStore store(prefs.prefs());
    EXPECT_EQ(store.profile().firstName, "Léa");
    EXPECT_FALSE(store.profile().avatarData);
    EXPECT_EQ(prefs.prefs().value(kKey).toByteArray(), stored);
    store.setFirstName("Lea");
    EXPECT_EQ(prefs.prefs().value(kKey).toByteArray(), QByteArray(R"({"firstName":"Lea","lastName":"Durand"})"));
    // At the limit, it is an avatar.
    big.avatarData = QByteArray(UserPreferencesStore::kMaxAvatarBytes, 'j');
    prefs.prefs().setValue(kKey, big.toJson());
    UserPreferencesStore again(prefs.prefs());
    EXPECT_TRUE(again.profile().avatarData);
}

// A write changes that entry's line alone: every other byte of the file stays, even bytes QSettings could
// not read back as they were (not UTF-8), and reading writes nothing.
TEST(PreferencesTest, AWriteChangesOnlyItsOwnLine) {
    const QByteArray base =
        "[General]\n"
        "dashboard.quickNoteNotes=\"  note  \"\n"
        "other=caf\xe9\n"
        "tolmek.theme=dark\n"
        "tolmek.userProfile=@ByteArray({\"lastName\":\"Ren\xe9\", \"firstName\":\"A\"})\n"
        "\n"
        "[window]\n"
        "size=@Size(10 20)\n";
    struct Case {
        const char* name;
        QByteArray file;
        std::function<void(Preferences&)> change;
        QByteArray expected;
    };
    const Case cases[] = {
        {"replace", base, [](Preferences& p) { p.setValue("tolmek.theme", QStringLiteral("light")); },
         QByteArray(base).replace("tolmek.theme=dark", "tolmek.theme=light")},
        {"same value", base, [](Preferences& p) { p.setValue("tolmek.theme", QStringLiteral("dark")); }, base},
        {"add to its section", base, [](Preferences& p) { p.setValue("prefs.defaultLayout", QStringLiteral("grid")); },
         QByteArray(base).replace("\n\n[window]", "\nprefs.defaultLayout=grid\n\n[window]")},
        {"add to a group", base, [](Preferences& p) { p.setValue("window/state", 3); }, base + "state=3\n"},
        {"new group", base, [](Preferences& p) { p.setValue("dock/open", true); }, base + "\n[dock]\nopen=true\n"},
        {"remove", base, [](Preferences& p) { p.remove("other"); }, QByteArray(base).replace("other=caf\xe9\n", "")},
        {"line ends kept", "[General]\r\na=1\r\nb=2\r\n", [](Preferences& p) { p.setValue("a", 5); },
         "[General]\r\na=5\r\nb=2\r\n"},
        {"new file", "", [](Preferences& p) { p.setValue("k", QStringLiteral(" espace ")); },
         "[General]\nk=\" espace \"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("Tolmek.conf");
        if (!c.file.isEmpty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.file);
        }
        {
            Preferences prefs(path);
            c.change(prefs);
            // The value read back is the one written, before and after it reaches the file.
            if (QByteArray(c.name) == "replace") {
                EXPECT_EQ(prefs.value("tolmek.theme").toString(), "light");
                prefs.sync();
                EXPECT_EQ(prefs.value("tolmek.theme").toString(), "light");
            }
        }
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly) || c.expected.isEmpty());
        const QByteArray got = f.readAll();
        EXPECT_EQ(got, c.expected) << c.name << "\n" << got.toStdString() << "\n---\n" << c.expected.toStdString();
        f.close();
        if (QByteArray(c.name) == "new group") {
            EXPECT_TRUE(Preferences(path).value("dock/open").toBool());
        }
    }
}

// A write costs the caller no disk access: the value reads back at once, a run of large values does not
// wait for the file, and the file ends with the newest value.
TEST(PreferencesTest, WritesReachTheFileWithoutTheCallerWaiting) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Tolmek.conf");
    QString big(2 * 1024 * 1024, QChar(u'x'));
    {
        Preferences prefs(path);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 40; ++i) {
            big[i] = QChar(u'a' + i % 26);
            prefs.setValue("dashboard.quickNoteNotes", big);
            EXPECT_EQ(prefs.value("dashboard.quickNoteNotes").toString(), big);
        }
        EXPECT_LT(t.elapsed(), 3000) << "40 values of 2 MB (each took about 160 ms when written by the caller)";
        // Ending writes what waits.
    }
    EXPECT_EQ(Preferences(path).value("dashboard.quickNoteNotes").toString(), big);
}

// A write that fails keeps its value (read back, written later) and says so once; once the file can be
// written, everything kept reaches it and the failure is over.
TEST(PreferencesTest, AFailedWriteIsSaidKeptAndWrittenLater) {
    QTemporaryDir dir;
    // Its folder is a file: no write can go through, whoever runs the test.
    QFile blocker(dir.filePath("Tolmek"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Preferences prefs(dir.filePath("Tolmek/Tolmek.conf"));
    QSignalSpy failed(&prefs, &Preferences::writeFailed);
    QSignalSpy recovered(&prefs, &Preferences::writeRecovered);
    prefs.setValue("tolmek.theme", QStringLiteral("dark"));
    EXPECT_FALSE(prefs.flush());
    prefs.setValue("dashboard.quickNoteNotes", QStringLiteral("note"));
    EXPECT_FALSE(prefs.flush());
    EXPECT_TRUE(prefs.writeError().contains("préférences")) << prefs.writeError().toStdString();
    ASSERT_TRUE(testsupport::waitFor([&] { return failed.count() == 1; }));
    EXPECT_EQ(prefs.value("tolmek.theme").toString(), "dark");
    testsupport::waitFor([] { return false; }, 50);
    EXPECT_EQ(failed.count(), 1) << "once per streak";

    ASSERT_TRUE(QFile::remove(dir.filePath("Tolmek")));
    EXPECT_TRUE(prefs.flush());
    EXPECT_TRUE(prefs.writeError().isEmpty());
    ASSERT_TRUE(testsupport::waitFor([&] { return recovered.count() == 1; }));
    Preferences again(prefs.fileName());
    EXPECT_EQ(again.value("tolmek.theme").toString(), "dark");
    EXPECT_EQ(again.value("dashboard.quickNoteNotes").toString(), "note");
}
