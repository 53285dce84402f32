#include "StoreFixture.h"

#include "core/store/SqliteDb.h"

#include <QSignalSpy>

namespace {

// Makes the first page of `table` unreadable (an invalid page type), as a bad disk sector would.
void corruptTable(const QString& path, const char* table) {
    const int page =
        rawSql(path, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name='%1'").arg(table)).value(0).toInt();
    const int pageSize = rawSql(path, "PRAGMA page_size").value(0).toInt();
    ASSERT_GT(page, 1);
    ASSERT_FALSE(QFile::exists(path + "-wal")) << "the store is closed and its log folded in";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(qint64(page - 1) * pageSize);
    f.write(QByteArray(16, '\xff'));
}

QStringList g_warnings;
void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg)
        g_warnings << message;
}

} // namespace

TEST_F(StoreTest, AStoreThatCannotBeReadIsRefusedAndLeftAsItIs) {
    for (int i = 0; i < 3; ++i)
        doc(project(QStringLiteral("P%1").arg(i)), "d");
    ASSERT_TRUE(ctx().save());
    container.reset();
    corruptTable(path(), "Doc");
    const QByteArray before = fileHash(path());
    const QStringList files = filesIn(QFileInfo(path()).absolutePath());

    QString err;
    EXPECT_FALSE(openModelContainer(path(), &err)) << "never half-loaded: the projects are readable, the documents not";
    EXPECT_TRUE(err.contains("ne peut pas être lu")) << err.toStdString();
    EXPECT_EQ(fileHash(path()), before);
    EXPECT_EQ(filesIn(QFileInfo(path()).absolutePath()), files);
}

TEST_F(StoreTest, AReadErrorAfterOpeningStopsEverySave) {
    auto p = project("P");
    auto d = doc(p, "d");
    block(d, 0, "first");
    block(d, 1, "second");
    ASSERT_TRUE(ctx().save());
    container.reset();
    corruptTable(path(), "DocBlock");
    const QByteArray before = fileHash(path());

    open(); // blocks are read per document, later
    QSignalSpy damaged(&ctx(), &ModelContext::damaged);
    QSignalSpy failed(&ctx(), &ModelContext::saveFailed);
    EXPECT_FALSE(ctx().isDamaged());
    ctx().object<Doc>(d->id())->blocks();
    EXPECT_TRUE(ctx().isDamaged());
    EXPECT_EQ(damaged.count(), 1);

    ctx().object<Project>(p->id())->setName("renamed");
    QString err;
    EXPECT_FALSE(ctx().save(&err));
    EXPECT_TRUE(err.contains("n’a pas pu être lu")) << err.toStdString();
    EXPECT_EQ(failed.count(), 1);
    EXPECT_TRUE(ctx().hasChanges()) << "kept, not dropped";
    container.reset();
    EXPECT_EQ(fileHash(path()), before);

    // The whole-file check finds the same damage without any block being read.
    open();
    QString problem;
    EXPECT_FALSE(ctx().quickCheck(&problem));
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_TRUE(ctx().isDamaged());
}

TEST_F(StoreTest, RowsKeepTheIdTheyWereReadWithAndAnEditThatFindsNoRowIsDropped) {
    container.reset();
    const QString twin = store::uuidText(QUuid::createUuid());
    rawExec(path(),
            QStringLiteral("INSERT INTO Project (id,name,iconName,createdAt,updatedAt) VALUES "
                           "('not-a-uuid','odd','folder',0,0), ('{%1}','braced','folder',0,0), "
                           "('%1','plain twin','folder',0,0);")
                .arg(twin)
                .toUtf8()
                .constData());
    g_warnings.clear();
    const auto previous = qInstallMessageHandler(collectWarnings);
    open();
    const auto projects = ctx().fetch<Project>();
    qInstallMessageHandler(previous);
    ASSERT_EQ(projects.size(), 2u);
    EXPECT_TRUE(g_warnings.filter("not-a-uuid").size() == 1) << g_warnings.join('\n').toStdString();
    const QStringList twins = g_warnings.filter("{" + twin + "}");
    ASSERT_EQ(twins.size(), 1) << "the hidden twin is named";
    EXPECT_TRUE(twins[0].contains("'" + twin + "'"));

    for (const auto& p : projects)
        p->setName(p->name() + " renamed");
    QString err;
    ASSERT_TRUE(ctx().save(&err)) << err.toStdString();
    EXPECT_EQ(sql("SELECT name FROM Project WHERE id='not-a-uuid'"), QStringList({"odd renamed"}));
    EXPECT_EQ(sql(QStringLiteral("SELECT name FROM Project WHERE id='{%1}'").arg(twin)),
              QStringList({"braced renamed"}));
    EXPECT_EQ(sql(QStringLiteral("SELECT name FROM Project WHERE id='%1'").arg(twin)), QStringList({"plain twin"}));

    // A braced document id: its blocks are found whichever way they name it, and new ones link to its row.
    const QString docId = store::uuidText(QUuid::createUuid());
    sql(QStringLiteral("INSERT INTO Doc (id,title,statusRaw,iconName,createdAt,updatedAt,project) VALUES "
                       "('{%1}','d','done','doc',0,0,'{%2}')")
            .arg(docId, twin));
    sql(QStringLiteral("INSERT INTO DocBlock (id,typeRaw,\"order\",content,isCompleted,createdAt,updatedAt,doc) VALUES "
                       "('%1','text',0,'old',0,0,0,'%2')")
            .arg(store::uuidText(QUuid::createUuid()), docId));
    open();
    auto braced = ctx().object<Doc>(QUuid::fromString(docId));
    ASSERT_TRUE(braced);
    EXPECT_EQ(braced->blocks().size(), 1u);
    braced->appendBlock(std::make_shared<DocBlock>(DocBlockFields{.typeRaw = "text", .order = 1}));
    ASSERT_TRUE(ctx().save(&err)) << err.toStdString();
    EXPECT_EQ(count("DocBlock"), 2);
    const auto reloaded = ctx().fetch<Project>();

    // A row removed behind the store's back: its change is dropped, not kept failing every later save.
    sql("DELETE FROM Project WHERE id='not-a-uuid'");
    auto gone = reloaded[0]->name() == "odd renamed" ? reloaded[0] : reloaded[1];
    gone->setName("lost?");
    QSignalSpy dropped(&ctx(), &ModelContext::changesDropped);
    EXPECT_TRUE(ctx().save(&err)) << err.toStdString();
    EXPECT_EQ(dropped.count(), 1);
    EXPECT_FALSE(ctx().hasChanges());
}

// Another program removed rows this context still shows: each change to such a row is dropped with a
// French note, the other changes of the same save are written, and later saves work.
TEST_F(StoreTest, AChangeToARowRemovedElsewhereIsDroppedAndTheRestSaved) {
    struct Case {
        const char* name;
        bool deletion;
        const char* expected;
    };
    const Case cases[] = {
        {"update", false, "Une modification d’une carte n’a pas été enregistrée"},
        {"deletion", true, "La suppression d’une carte n’a pas été enregistrée"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto list = checklist("L");
        auto col = column(list, "C", 0);
        auto gone = card(col, "partie", 0);
        auto kept = card(col, "reste", 1);
        ASSERT_TRUE(ctx().save());
        sql(QStringLiteral("DELETE FROM ChecklistCard WHERE id='%1'").arg(gone->storeIdText()));

        QSignalSpy dropped(&ctx(), &ModelContext::changesDropped);
        QSignalSpy failed(&ctx(), &ModelContext::saveFailed);
        if (c.deletion)
            ctx().deleteObject(gone);
        else
            gone->setTitle("modifiée");
        kept->setTitle("enregistrée");
        auto added = project(QStringLiteral("nouveau %1").arg(c.name));
        QString err;
        ASSERT_TRUE(ctx().save(&err)) << err.toStdString();
        EXPECT_EQ(failed.count(), 0);
        ASSERT_EQ(dropped.count(), 1);
        const QString message = dropped.first().first().toString();
        EXPECT_TRUE(message.startsWith(QString::fromUtf8(c.expected))) << message.toStdString();
        EXPECT_TRUE(message.contains("Les autres modifications ont été enregistrées.")) << message.toStdString();
        EXPECT_EQ(sql(QStringLiteral("SELECT title FROM ChecklistCard WHERE id='%1'").arg(kept->storeIdText())),
                  QStringList({"enregistrée"}));
        EXPECT_EQ(sql(QStringLiteral("SELECT count(*) FROM Project WHERE id='%1'").arg(added->storeIdText())),
                  QStringList({"1"}));
        EXPECT_EQ(count("ChecklistCard"), 1);

        // Nothing stays pending, later edits save, and the dropped object is not written again.
        EXPECT_FALSE(ctx().hasChanges());
        kept->setTitle("encore");
        if (!c.deletion)
            gone->setTitle("toujours");
        ASSERT_TRUE(ctx().save(&err)) << err.toStdString();
        EXPECT_EQ(dropped.count(), 1);
        EXPECT_EQ(count("ChecklistCard"), 1);
        ctx().deleteObject(list);
        ASSERT_TRUE(ctx().save(&err)) << err.toStdString();
    }
}

// The reasons a person can meet are given in French, whatever SQLite says in English.
TEST(StoreReasons, FailuresAPersonCanMeetAreSaidInFrench) {
    const struct {
        int code;
        const char* expected;
    } cases[] = {
        {SQLITE_FULL, "le disque est plein"},
        {SQLITE_IOERR_WRITE, "erreur de lecture ou d’écriture sur le disque"},
        {SQLITE_READONLY, "le fichier de données est en lecture seule"},
        {SQLITE_READONLY_DBMOVED, "le fichier de données est en lecture seule"},
        {SQLITE_CORRUPT, "des données illisibles ont été trouvées dans le fichier"},
        {SQLITE_NOTADB, "des données illisibles ont été trouvées dans le fichier"},
        {SQLITE_BUSY, "le fichier de données est utilisé par un autre programme"},
        {SQLITE_LOCKED, "le fichier de données est utilisé par un autre programme"},
        {SQLITE_CONSTRAINT_FOREIGNKEY, "un élément lié n’existe plus dans le fichier de données"},
        {SQLITE_ERROR, "SQL logic error"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SqliteDb::reasonText(c.code, QStringLiteral("SQL logic error")), QString::fromUtf8(c.expected))
            << c.code;

    // A real full file, through the connection: the reason comes in French.
    QTemporaryDir dir;
    auto db = SqliteDb::open(dir.filePath("full.db"), SqliteDb::Mode::Create, nullptr);
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->exec("CREATE TABLE t (b BLOB)"));
    ASSERT_TRUE(db->exec("PRAGMA max_page_count=3"));
    QString err;
    EXPECT_FALSE(db->exec("INSERT INTO t VALUES (zeroblob(100000))", &err));
    EXPECT_EQ(err, "le disque est plein");
}

// A new attachment for a card another program removed: the attachment is dropped with a note (its owner is
// gone) instead of every later save failing on the link.
TEST_F(StoreTest, ANewObjectWhoseOwnerWasRemovedElsewhereIsDropped) {
    auto list = checklist("L");
    auto col = column(list, "C", 0);
    auto gone = card(col, "supprimée ailleurs", 0);
    auto kept = card(col, "gardée", 1);
    ASSERT_TRUE(ctx().save());
    sql(QStringLiteral("DELETE FROM ChecklistCard WHERE id='%1'").arg(gone->storeIdText()));

    QSignalSpy dropped(&ctx(), &ModelContext::changesDropped);
    attachment(gone, "/tmp/orphan.txt");
    auto ok = attachment(kept, "/tmp/kept.txt");
    kept->setTitle("renommée");
    QString err;
    ASSERT_TRUE(ctx().save(&err)) << err.toStdString();
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_TRUE(dropped.first().first().toString().startsWith("L’ajout d’une pièce jointe n’a pas été enregistré"))
        << dropped.first().first().toString().toStdString();
    EXPECT_EQ(sql("SELECT localPath FROM ChecklistAttachment"), QStringList({"/tmp/kept.txt"}));
    EXPECT_EQ(sql(QStringLiteral("SELECT title FROM ChecklistCard WHERE id='%1'").arg(kept->storeIdText())),
              QStringList({"renommée"}));
    EXPECT_FALSE(ctx().hasChanges());
    kept->setTitle("encore");
    ASSERT_TRUE(ctx().save(&err)) << err.toStdString();
    EXPECT_EQ(dropped.count(), 1);
}
