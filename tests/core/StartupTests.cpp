#include "StoreFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

namespace {
QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}
void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

TEST(StartupTest, RefusesWhatIsNotOurStoreAndLeavesItsBytesAlone) {
    QTemporaryDir dir;
    QString err;

    const QString text = dir.path() + "/text.store";
    writeFile(text, "just some notes, not a database\n");
    const QByteArray before = fileHash(text);
    EXPECT_FALSE(openModelContainer(text, &err));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(fileHash(text), before);

    // Another program's SQLite database.
    const QString foreign = dir.path() + "/foreign.store";
    {
        sqlite3* db = nullptr;
        sqlite3_open(foreign.toUtf8().constData(), &db);
        sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const QByteArray foreignBefore = fileHash(foreign);
    EXPECT_FALSE(openModelContainer(foreign, &err));
    EXPECT_EQ(fileHash(foreign), foreignBefore);

    // Our store at another schema version.
    const QString other = dir.path() + "/other.store";
    {
        auto c = openModelContainer(other, &err);
        ASSERT_TRUE(c);
    }
    {
        sqlite3* db = nullptr;
        sqlite3_open(other.toUtf8().constData(), &db);
        sqlite3_exec(db, "UPDATE TolmekStoreMetadata SET value='2.0.0'; PRAGMA wal_checkpoint(TRUNCATE);", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
    }
    const QByteArray otherBefore = fileHash(other);
    EXPECT_FALSE(openModelContainer(other, &err));
    EXPECT_TRUE(err.contains("2.0.0")) << err.toStdString();
    EXPECT_EQ(fileHash(other), otherBefore);

    // A data folder that cannot be created (a file stands in its place).
    writeFile(dir.path() + "/blocked", "x");
    EXPECT_FALSE(openModelContainer(dir.path() + "/blocked/Tolmek/default.store", &err));
}

TEST(StartupDeathTest, AFailedOpenStopsTheProcessWithTheMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir dir;
    const QString path = dir.path() + "/default.store";
    writeFile(path, "not a store");
    EXPECT_EXIT(makeModelContainer(path), ::testing::ExitedWithCode(1), "SwiftData: container impossible: ");
    EXPECT_EQ(fileHash(path), QCryptographicHash::hash("not a store", QCryptographicHash::Sha256));
}

TEST_F(StoreTest, LoadsWhatAStoredFileMayHold) {
    auto p = project("P");
    auto d = doc(p, "d");
    reopen();
    container.reset();
    setCurrentModelContainer(nullptr);
    const QString lower = "0a1b2c3d-0000-4000-8000-00000000abcd";
    // A lower-case id, unknown status and kind texts, absent optional fields.
    sql(QStringLiteral("INSERT INTO Doc (id,title,statusRaw,iconName,createdAt,updatedAt,project) VALUES "
                       "('%1','x','archived','doc',0,0,'%2')")
            .arg(lower, store::uuidText(p->id())));
    sql(QStringLiteral("INSERT INTO DocBlock (id,typeRaw,\"order\",content,isCompleted,createdAt,updatedAt,doc) VALUES "
                       "('%1','Code',3,'c',0,0,0,'%2')")
            .arg(store::uuidText(QUuid::createUuid()), lower.toUpper()));
    sql(QStringLiteral("UPDATE Doc SET statusRaw='' WHERE title='d'"));
    open();
    auto x = ctx().object<Doc>(QUuid::fromString(lower));
    ASSERT_TRUE(x);
    EXPECT_EQ(x->status(), DocStatus::inProgress);
    EXPECT_EQ(x->statusRaw(), "archived") << "kept as stored";
    EXPECT_FALSE(x->colorKey().has_value());
    EXPECT_FALSE(x->deletedAt().has_value());
    ASSERT_EQ(x->blocks().size(), 1u);
    EXPECT_EQ(x->blocks()[0]->type(), DocBlockType::text);
    EXPECT_FALSE(x->blocks()[0]->richTextData().has_value());
    EXPECT_EQ(ctx().object<Doc>(d->id())->status(), DocStatus::inProgress);
    EXPECT_EQ(x->project()->name(), "P");
    // Ids are written back upper-case.
    x->setTitle("y");
    reopen();
    EXPECT_EQ(sql("SELECT count(*) FROM Doc WHERE title='y'").value(0), "1") << "a lower-case id is still found";
}

TEST(EnumTest, RawTextRules) {
    EXPECT_EQ(DocStatusInfo::fromRaw("needs_changes"), DocStatus::needsChanges);
    EXPECT_FALSE(DocStatusInfo::fromRaw("in progress"));
    EXPECT_FALSE(DocStatusInfo::fromRaw("in_progress "));
    EXPECT_FALSE(DocStatusInfo::fromRaw("Done"));
    ASSERT_EQ(DocStatusInfo::allCases().size(), 3);
    EXPECT_EQ(DocStatusInfo::allCases().first(), DocStatus::inProgress);
    EXPECT_EQ(DocBlockTypeInfo::fromRaw("image"), DocBlockType::image);
    EXPECT_FALSE(DocBlockTypeInfo::fromRaw("Image"));
    auto b = std::make_shared<DocBlock>(QUuid::createUuid(), "IMAGE", 0, "", std::nullopt, std::nullopt, std::nullopt,
                                        std::nullopt, false, QDateTime(), QDateTime(), std::nullopt, nullptr);
    EXPECT_EQ(b->type(), DocBlockType::text);
    b->setTypeRaw("image");
    EXPECT_EQ(b->type(), DocBlockType::image);
}

TEST(CrashTest, KilledWhileSavingTheStoreStaysWholeAndKeepsEveryAcknowledgedSave) {
    const QString child = qEnvironmentVariable("TOLMEK_CRASH_CHILD");
    if (child.isEmpty())
        GTEST_SKIP() << "TOLMEK_CRASH_CHILD not set";
    QTemporaryDir dir;
    const QString path = dir.path() + "/crash.store";
    const int rounds = qEnvironmentVariableIsSet("TOLMEK_SANITIZED") ? 50 : 60;
    int lastAcknowledged = -1;
    for (int round = 0; round < rounds; ++round) {
        QProcess proc;
        proc.start(child, {path});
        ASSERT_TRUE(proc.waitForStarted());
        QThread::msleep(QRandomGenerator::global()->bounded(20, 120));
        proc.kill();   // SIGKILL
        proc.waitForFinished();
        const QList<QByteArray> lines = proc.readAllStandardOutput().split('\n');
        for (const auto& l : lines)
            if (!l.isEmpty())
                lastAcknowledged = std::max(lastAcknowledged, l.toInt());

        QString err;
        auto c = openModelContainer(path, &err);
        ASSERT_TRUE(c) << "round " << round << ": " << err.toStdString();
        {
            sqlite3* db = nullptr;
            sqlite3_open(path.toUtf8().constData(), &db);
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
            ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
            EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
            sqlite3_finalize(st);
            sqlite3_close(db);
        }
        QSet<QString> names;
        for (const auto& p : c->mainContext().fetch<Project>())
            names.insert(p->name());
        for (int i = 0; i <= lastAcknowledged; ++i)
            ASSERT_TRUE(names.contains(QStringLiteral("p%1").arg(i))) << "save " << i << " acknowledged but lost";
    }
    EXPECT_GT(lastAcknowledged, 0);
}

TEST(StartupTest, ARefusedStoreKeepsItsUncheckpointedJournal) {
    // Another version left its last writes in the write-ahead log: refusing it must not fold them in.
    QTemporaryDir dir;
    const QString path = dir.path() + "/other.store";
    QString err;
    ASSERT_TRUE(openModelContainer(path, &err));
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_exec(db, "UPDATE TolmekStoreMetadata SET value='2.0.0'", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_TRUE(QFile::exists(path + "-wal"));
    const QByteArray before = fileHash(path), walBefore = fileHash(path + "-wal");
    EXPECT_FALSE(openModelContainer(path, &err));
    EXPECT_TRUE(err.contains("2.0.0")) << err.toStdString();
    EXPECT_EQ(fileHash(path), before);
    EXPECT_EQ(fileHash(path + "-wal"), walBefore);
}
