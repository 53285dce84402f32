#include "StoreFixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>

namespace {
template <class T>
std::vector<QString> ids(const std::vector<std::shared_ptr<T>>& list) {
    std::vector<QString> out;
    for (const auto& o : list)
        out.push_back(store::uuidText(o->id()));
    return out;
}
} // namespace

TEST_F(StoreTest, ChildLinkAndOwnerArrayStayConsistentFromEitherSide) {
    auto p = project("P");
    auto q = project("Q");
    // From the child's side.
    auto d1 = doc(p, "d1");
    // From the owner's side, with a child constructed without a link.
    auto d2 = std::make_shared<Doc>(DocFields{.title = "d2", .statusRaw = "done", .iconName = "doc"});
    p->appendDoc(d2); // brings it into the context too
    EXPECT_EQ(d2->modelContext(), &ctx());
    EXPECT_EQ(d2->project(), p);
    EXPECT_EQ(ids(p->docs()), ids(std::vector<DocPtr>{d1, d2}));

    d1->setProject(q);
    EXPECT_EQ(ids(p->docs()), ids(std::vector<DocPtr>{d2}));
    EXPECT_EQ(ids(q->docs()), ids(std::vector<DocPtr>{d1}));
    p->removeDoc(d2);
    EXPECT_FALSE(d2->project());
    EXPECT_TRUE(p->docs().empty());

    auto c = checklist("C");
    p->appendChecklist(c);
    EXPECT_EQ(c->project(), p);
    auto col = column(c, "À faire", 0);
    auto cardA = card(col, "a", 0);
    auto other = column(c, "Terminé", 1);
    cardA->setColumn(other);
    EXPECT_TRUE(col->cards().empty());
    EXPECT_EQ(other->cards().size(), 1u);
    auto att = attachment(cardA, "/tmp/x");
    EXPECT_EQ(att->card(), cardA);

    d2->setProject(p);
    reopen();
    auto projects = ctx().fetch<Project>(SortDescriptor<Project>(&Project::name));
    ASSERT_EQ(projects.size(), 2u);
    EXPECT_EQ(projects[0]->docs().size(), 1u);
    EXPECT_EQ(projects[0]->docs()[0]->title(), "d2");
    EXPECT_EQ(projects[1]->docs()[0]->title(), "d1");
    ASSERT_EQ(projects[0]->checklists().size(), 1u);
    auto cl = projects[0]->checklists()[0];
    ASSERT_EQ(cl->columns().size(), 2u);
    for (const auto& k : cl->columns())
        EXPECT_EQ(k->cards().size(), k->name() == "Terminé" ? 1u : 0u);
}

TEST_F(StoreTest, DeletingAProjectCascadesToDocsAndBlocksAndLeavesChecklistsGlobal) {
    auto p = project("P");
    auto d = doc(p, "d");
    auto b1 = block(d, 0, "visible");
    auto b2 = block(d, 1, "hidden");
    b2->setDeletedAt(at(5));
    auto keep = project("Keep");
    auto kd = doc(keep, "kd");
    block(kd, 0);
    auto c = checklist("C", p);
    reopen();

    // Delete after a reopen: the blocks are not loaded yet and must still go.
    auto loaded = ctx().object<Project>(p->id());
    ASSERT_TRUE(loaded);
    auto cl = ctx().object<Checklist>(c->id());
    ctx().deleteObject(loaded);
    EXPECT_TRUE(ctx().fetch<Doc>({[](const Doc& x) { return x.title() == "d"; }}).empty()) << "gone at once";
    EXPECT_EQ(ctx().fetch<DocBlock>().size(), 1u) << "rows deleted but not saved yet are not loaded again";
    EXPECT_FALSE(cl->project());
    EXPECT_TRUE(cl->isStored() && !cl->isDeleted());
    reopen();
    EXPECT_EQ(count("Project"), 1);
    EXPECT_EQ(count("Doc"), 1);
    EXPECT_EQ(count("DocBlock"), 1);
    EXPECT_EQ(count("Checklist"), 1);
    EXPECT_EQ(sql("SELECT project IS NULL FROM Checklist").value(0), "1");
}

TEST_F(StoreTest, DeletingAChecklistOrColumnOrCardCascadesAndKeepsCopiedFiles) {
    QTemporaryDir files;
    const QString copied = files.path() + "/copy.txt";
    QFile f(copied);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();

    auto c = checklist("C");
    auto col1 = column(c, "À faire", 0);
    auto col2 = column(c, "Terminé", 1);
    auto card1 = card(col1, "a", 0);
    auto card2 = card(col2, "b", 0);
    attachment(card1, copied);
    auto a2 = attachment(card2, "https://example.org");
    auto a3 = attachment(card2, copied);
    reopen();

    // Removing one attachment keeps its card.
    auto card2l = ctx().object<ChecklistCard>(card2->id());
    ctx().deleteObject(ctx().object<ChecklistAttachment>(a2->id()));
    EXPECT_EQ(card2l->attachments().size(), 1u);
    // Deleting a card removes it from its column and deletes its attachments.
    ctx().deleteObject(card2l);
    EXPECT_TRUE(ctx().object<ChecklistColumn>(col2->id())->cards().empty());
    reopen();
    EXPECT_EQ(count("ChecklistCard"), 1);
    EXPECT_EQ(count("ChecklistAttachment"), 1);
    EXPECT_EQ(count("ChecklistColumn"), 2);

    // A column takes its cards and their attachments; the checklist stays.
    ctx().deleteObject(ctx().object<ChecklistColumn>(col1->id()));
    EXPECT_EQ(ctx().object<Checklist>(c->id())->columns().size(), 1u);
    reopen();
    EXPECT_EQ(count("ChecklistColumn"), 1);
    EXPECT_EQ(count("ChecklistCard"), 0);
    EXPECT_EQ(count("ChecklistAttachment"), 0);
    EXPECT_EQ(count("Checklist"), 1);

    ctx().deleteObject(ctx().object<Checklist>(c->id()));
    reopen();
    EXPECT_EQ(count("Checklist") + count("ChecklistColumn"), 0);
    EXPECT_TRUE(QFile::exists(copied)) << "the store manages records only";
    Q_UNUSED(a3);
}

TEST_F(StoreTest, IdentityAndEquality) {
    auto p = project("Same");
    auto twin = project("Same");
    reopen();
    auto a = ctx().fetch<Project>();
    auto b = ctx().fetch<Project>();
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0], b[0]) << "two fetches give the same object";
    EXPECT_NE(a[0], a[1]) << "equal names are still two objects";
    EXPECT_EQ(ctx().object<Project>(p->id()), a[0]);
    EXPECT_NE(a[0].get(), p.get()) << "the old container's objects are not this store's";
    Q_UNUSED(twin);
}

TEST_F(StoreTest, UnsavedInsertsShowInFetchesAndLiveQueriesAndDeletionsLeaveAtOnce) {
    LiveQuery<Project> query(ctx(), SortDescriptor<Project>(&Project::updatedAt, SortOrder::reverse));
    QSignalSpy spy(&query, &LiveQueryBase::changed);
    auto old = project("old", 1);
    auto mid = project("mid", 2);
    EXPECT_EQ(query.results().size(), 2u);
    EXPECT_EQ(query.results()[0], mid);
    old->setUpdatedAt(at(10));
    EXPECT_EQ(query.results()[0], old) << "re-sorted after a change";
    EXPECT_GE(spy.count(), 3);
    ctx().deleteObject(mid);
    EXPECT_EQ(query.results().size(), 1u);
    EXPECT_TRUE(ctx().hasChanges());
    ASSERT_TRUE(ctx().save());
    EXPECT_EQ(count("Project"), 1) << "the deleted, never saved project never reached the file";
}

TEST_F(StoreTest, EverySetterNotifiesEvenWithAnEqualValue) {
    auto p = project("P");
    QSignalSpy spy(p.get(), &PersistentModel::changed);
    p->setName("P");
    p->setName("P");
    ASSERT_EQ(spy.count(), 2);
    EXPECT_STREQ(spy.at(0).at(0).value<const char*>(), "name");

    // The context names the object of every write too, for views following thousands of objects.
    auto other = project("O");
    QSignalSpy named(&ctx(), &ModelContext::objectChanged);
    p->setName("Q");
    other->setUpdatedAt(QDateTime::currentDateTimeUtc());
    ASSERT_EQ(named.count(), 2);
    EXPECT_EQ(named.at(0).at(0).value<PersistentModel*>(), p.get());
    EXPECT_EQ(named.at(1).at(0).value<PersistentModel*>(), other.get());
}

TEST_F(StoreTest, AFailedSaveKeepsEverythingPendingAndTheNextSaveWritesIt) {
    auto p = project("P");
    auto gone = project("to delete");
    ASSERT_TRUE(ctx().save());
    p->setName("renamed");
    auto d = doc(p, "new doc");
    ctx().deleteObject(gone);

    ctx().failNextSaves(1);
    QSignalSpy failed(&ctx(), &ModelContext::saveFailed);
    QString err;
    EXPECT_FALSE(ctx().save(&err));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(failed.count(), 1);
    EXPECT_TRUE(ctx().hasChanges());
    // Nothing half-written: the file still has the state of the last good save.
    EXPECT_EQ(sql("SELECT name FROM Project ORDER BY name"), QStringList({"P", "to delete"}));
    EXPECT_EQ(count("Doc"), 0);

    EXPECT_TRUE(ctx().save());
    EXPECT_FALSE(ctx().hasChanges());
    EXPECT_EQ(sql("SELECT name FROM Project"), QStringList({"renamed"}));
    EXPECT_EQ(sql("SELECT title FROM Doc"), QStringList({"new doc"}));
    Q_UNUSED(d);
}

// A disk that was full has room again: what failed is saved without a further change, the waits between
// tries growing.
TEST_F(StoreTest, AFailedSaveIsTriedAgainByItselfUntilItGoesThrough) {
    auto p = project("P");
    ASSERT_TRUE(ctx().save());
    p->setName("gardé");
    ctx().failNextSaves(2, "database or disk is full");
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> tries;
    QObject::connect(&ctx(), &ModelContext::saveFailed, [&] { tries.push_back(clock.elapsed()); });
    QSignalSpy saved(&ctx(), &ModelContext::saved);
    EXPECT_FALSE(ctx().save());
    ASSERT_TRUE(saved.wait(4000)) << "no save went through by itself";
    EXPECT_FALSE(ctx().hasChanges());
    EXPECT_EQ(sql("SELECT name FROM Project"), QStringList({"gardé"}));
    ASSERT_EQ(tries.size(), 2u);
    const qint64 second = clock.elapsed() - tries[1];
    EXPECT_GE(tries[1] - tries[0], ModelContext::retryFirstMs - 50);
    EXPECT_GE(second, 2 * ModelContext::retryFirstMs - 50) << "the wait grows";
}

TEST_F(StoreTest, BlocksAndBlobsLoadOnFirstAccessOnly) {
    auto p = project("P");
    auto d = doc(p, "d");
    auto b = block(d, 0, "plain");
    b->setRichTextData(QByteArray("{\\rtf1 x}"));
    b->setImageData(QByteArray(1000, 'i'));
    reopen();
    auto docs = ctx().fetch<Doc>();
    EXPECT_EQ(ctx().rowsRead("DocBlock"), 0);
    ASSERT_EQ(docs[0]->blocks().size(), 1u);
    EXPECT_EQ(ctx().rowsRead("DocBlock"), 1);
    EXPECT_EQ(ctx().blobsRead(), 0);
    const auto& blockL = docs[0]->blocks()[0];
    EXPECT_EQ(blockL->content(), "plain");
    EXPECT_EQ(blockL->richTextData().value(), "{\\rtf1 x}");
    EXPECT_EQ(ctx().blobsRead(), 1);
    EXPECT_EQ(blockL->imageData()->size(), 1000);
    EXPECT_EQ(ctx().blobsRead(), 2);
    // A write of one field leaves the unread blob intact on disk.
    reopen();
    ctx().fetch<Doc>()[0]->blocks()[0]->setContent("changed");
    reopen();
    EXPECT_EQ(ctx().fetch<Doc>()[0]->blocks()[0]->imageData()->size(), 1000);
}

TEST_F(StoreTest, NewBlockOrderingAndHiddenBlocksStayListed) {
    auto p = project("P");
    auto d = doc(p, "d");
    auto a = block(d, 0);
    auto b = block(d, 1);
    b->setDeletedAt(at(3));
    reopen();
    auto dl = ctx().object<Doc>(d->id());
    ASSERT_EQ(dl->blocks().size(), 2u);
    EXPECT_EQ(dl->blocks()[0]->id(), a->id()) << "store order is insertion order";
    EXPECT_TRUE(dl->blocks()[1]->deletedAt().has_value());
    // Appending to a loaded document's blocks, before its blocks were read, keeps the stored ones.
    reopen();
    auto dl2 = ctx().object<Doc>(d->id());
    auto c = std::make_shared<DocBlock>(DocBlockFields{.typeRaw = "code", .order = 2, .content = "x"});
    ctx().insert(c);
    dl2->appendBlock(c);
    EXPECT_EQ(dl2->blocks().size(), 3u);
    reopen();
    EXPECT_EQ(ctx().object<Doc>(d->id())->blocks().size(), 3u);
}

TEST_F(StoreTest, OpeningALargeStoreReadsNoBlockAndNoImage) {
    auto p = project("P");
    auto d = doc(p, "d");
    auto other = doc(p, "other");
    reopen();
    container.reset();
    {
        sqlite3* db = nullptr;
        sqlite3_open(path().toUtf8().constData(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO DocBlock (id,typeRaw,\"order\",content,imageData,isCompleted,createdAt,"
                           "updatedAt,doc) VALUES (?,?,?,'',?,0,0,0,?)",
                           -1, &st, nullptr);
        const QByteArray image(1 << 20, 'i');
        const QByteArray dId = store::uuidText(d->id()).toLatin1();
        const QByteArray oId = store::uuidText(other->id()).toLatin1();
        for (int i = 0; i < 100000; ++i) {
            const QByteArray id = store::uuidText(QUuid::createUuid()).toLatin1();
            sqlite3_bind_text(st, 1, id.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, i < 100 ? "image" : "text", -1, SQLITE_STATIC);
            sqlite3_bind_int(st, 3, i);
            if (i < 100)
                sqlite3_bind_blob(st, 4, image.constData(), int(image.size()), SQLITE_STATIC);
            else
                sqlite3_bind_null(st, 4);
            sqlite3_bind_text(st, 5, i < 100 ? dId.constData() : oId.constData(), -1, SQLITE_STATIC);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    open();
    EXPECT_EQ(ctx().fetch<Project>().size(), 1u);
    EXPECT_EQ(ctx().fetch<Doc>().size(), 2u);
    EXPECT_EQ(ctx().rowsRead("DocBlock"), 0);
    EXPECT_EQ(ctx().blobsRead(), 0);
    auto dl = ctx().object<Doc>(d->id());
    ASSERT_EQ(dl->blocks().size(), 100u);
    EXPECT_EQ(ctx().rowsRead("DocBlock"), 100) << "only this document's blocks";
    EXPECT_EQ(ctx().blobsRead(), 0);
    EXPECT_EQ(dl->blocks()[7]->imageData()->size(), 1 << 20);
    EXPECT_EQ(ctx().blobsRead(), 1);
}

namespace {
// Links a child to its owner from one side only and checks both sides, now and after a reopen.
template <class OwnerPtr, class MakeChild, class Link, class Children, class Append>
void checkBothSides(StoreTest& t, const OwnerPtr& owner, MakeChild make, Link link, Children children, Append append) {
    auto fromChild = make();
    t.ctxRef().insert(fromChild);
    ((*fromChild).*link)(owner);
    auto fromOwner = make(); // no link, not inserted: appending brings it in
    ((*owner).*append)(fromOwner);
    for (const auto& c : {fromChild, fromOwner}) {
        EXPECT_EQ(c->modelContext(), &t.ctxRef());
        EXPECT_TRUE(store::contains(((*owner).*children)(), c.get()));
    }
    EXPECT_EQ(((*owner).*children)().size(), 2u);
}
} // namespace

TEST_F(StoreTest, EveryRelationshipCanBeSetFromEitherSide) {
    const QDateTime t0 = at(0);
    auto p = project("P");
    checkBothSides(
        *this, p, [&] { return std::make_shared<Doc>(DocFields{.title = "d", .createdAt = t0}); }, &Doc::setProject,
        &Project::docs, &Project::appendDoc);
    checkBothSides(
        *this, p, [&] { return std::make_shared<Checklist>(ChecklistFields{.name = "c", .createdAt = t0}); },
        &Checklist::setProject, &Project::checklists, &Project::appendChecklist);
    auto d = p->docs()[0];
    checkBothSides(
        *this, d, [&] { return std::make_shared<DocBlock>(DocBlockFields{.typeRaw = "text"}); }, &DocBlock::setDoc,
        &Doc::blocks, &Doc::appendBlock);
    auto c = p->checklists()[0];
    checkBothSides(
        *this, c, [&] { return std::make_shared<ChecklistColumn>(ChecklistColumnFields{.name = "col"}); },
        &ChecklistColumn::setChecklist, &Checklist::columns, &Checklist::appendColumn);
    auto col = c->columns()[0];
    checkBothSides(
        *this, col, [&] { return std::make_shared<ChecklistCard>(ChecklistCardFields{.title = "card"}); },
        &ChecklistCard::setColumn, &ChecklistColumn::cards, &ChecklistColumn::appendCard);
    auto card = col->cards()[0];
    checkBothSides(
        *this, card,
        [&] {
            return std::make_shared<ChecklistAttachment>(ChecklistAttachmentFields{.fileName = "Lien",
                                                                                   .mimeType = QString("text/url"),
                                                                                   .localPath = "https://x"});
        },
        &ChecklistAttachment::setCard, &ChecklistCard::attachments, &ChecklistCard::appendAttachment);
    reopen();
    auto pl = ctx().object<Project>(p->id());
    ASSERT_EQ(pl->docs().size(), 2u);
    ASSERT_EQ(pl->checklists().size(), 2u);
    auto dl = ctx().object<Doc>(d->id());
    EXPECT_EQ(dl->blocks().size(), 2u);
    auto cl = ctx().object<Checklist>(c->id());
    ASSERT_EQ(cl->columns().size(), 2u);
    auto coll = ctx().object<ChecklistColumn>(col->id());
    ASSERT_EQ(coll->cards().size(), 2u);
    EXPECT_EQ(ctx().object<ChecklistCard>(card->id())->attachments().size(), 2u);
    for (const auto& k : coll->cards())
        EXPECT_EQ(k->column(), coll);
}

TEST_F(StoreTest, AChildMovedAwayFromAnOwnerSurvivesTheOwnersDeletionInTheSameSave) {
    auto p = project("P");
    auto q = project("Q");
    auto d = doc(p, "moved");
    block(d, 0, "kept");
    auto c = checklist("C");
    auto from = column(c, "À faire", 0);
    auto to = column(c, "Terminé", 1);
    auto k = card(from, "moved", 0);
    attachment(k, "https://example.org");
    reopen();

    ctx().object<Doc>(d->id())->setProject(ctx().object<Project>(q->id()));
    ctx().deleteObject(ctx().object<Project>(p->id()));
    ctx().object<ChecklistCard>(k->id())->setColumn(ctx().object<ChecklistColumn>(to->id()));
    ctx().deleteObject(ctx().object<ChecklistColumn>(from->id()));
    reopen();
    ASSERT_TRUE(ctx().object<Doc>(d->id()));
    EXPECT_EQ(ctx().object<Doc>(d->id())->project()->name(), "Q");
    EXPECT_EQ(ctx().object<Doc>(d->id())->blocks().size(), 1u);
    auto kl = ctx().object<ChecklistCard>(k->id());
    ASSERT_TRUE(kl);
    EXPECT_EQ(kl->column()->id(), to->id());
    EXPECT_EQ(kl->attachments().size(), 1u);
}

TEST_F(StoreTest, InsertingAnOwnerInsertsTheChildrenAppendedBeforeIt) {
    auto p = std::make_shared<Project>(ProjectFields{.name = "P", .iconName = "folder"});
    p->appendDoc(std::make_shared<Doc>(DocFields{.title = "d", .statusRaw = "done", .iconName = "doc"}));
    auto c = std::make_shared<Checklist>(ChecklistFields{.name = "C", .iconName = "list"});
    c->appendColumn(std::make_shared<ChecklistColumn>(ChecklistColumnFields{.name = "À faire", .checklist = c}));
    ctx().insert(p);
    ctx().insert(c);
    reopen();
    EXPECT_EQ(count("Doc"), 1);
    EXPECT_EQ(count("ChecklistColumn"), 1);
}

TEST_F(StoreTest, LinksToDeletedObjectsAreRefusedAndNeverBlockLaterSaves) {
    auto c = checklist("C");
    auto gone = column(c, "gone", 0);
    auto live = column(c, "live", 1);
    auto kept = card(live, "kept", 0);
    auto dropped = card(live, "dropped", 1);
    ASSERT_TRUE(ctx().save());
    ctx().deleteObject(gone);
    ctx().deleteObject(dropped);
    ASSERT_TRUE(ctx().save());

    kept->setColumn(gone);
    live->appendCard(dropped);
    dropped->setTitle("changed after deletion");
    auto late = std::make_shared<ChecklistCard>(ChecklistCardFields{.title = "late", .column = gone});
    ctx().insert(late);
    EXPECT_EQ(kept->column(), live);
    EXPECT_EQ(ids(live->cards()), ids(std::vector<ChecklistCardPtr>{kept}));
    EXPECT_TRUE(ctx().save()) << ctx().lastSaveError().toStdString();
    kept->setTitle("still saved");
    reopen();
    EXPECT_EQ(sql("SELECT title FROM ChecklistCard ORDER BY title"), QStringList({"late", "still saved"}));
}

TEST_F(StoreTest, ObjectsOutlivingTheirContainerAreDetachedAndNeverLinkedIntoAnother) {
    auto p = project("P");
    auto d = doc(p, "d");
    auto b = block(d, 0, "b");
    b->setImageData(QByteArray(100, 'i'));
    auto saved = project("deleted after a save");
    reopen();
    auto pOld = ctx().object<Project>(p->id());
    auto dOld = ctx().object<Doc>(d->id());
    auto bOld = dOld->blocks()[0]; // its image is not read
    auto savedOld = ctx().object<Project>(saved->id());
    ctx().deleteObject(savedOld);
    ASSERT_TRUE(ctx().save());
    auto unsaved = project("never saved");
    ctx().deleteObject(unsaved);
    EXPECT_EQ(ctx().fetch<Project>().size(), 1u);
    open(); // the old container is gone; the views still hold its objects

    for (PersistentModel* o : {static_cast<PersistentModel*>(savedOld.get()),
                               static_cast<PersistentModel*>(unsaved.get()), static_cast<PersistentModel*>(pOld.get())})
        EXPECT_EQ(o->modelContext(), nullptr);
    savedOld->setName("x");
    EXPECT_TRUE(savedOld->docs().empty());

    auto pNew = ctx().object<Project>(p->id());
    auto dNew = ctx().object<Doc>(d->id());
    dNew->appendBlock(bOld);
    dNew->setProject(pOld);
    ctx().insert(pOld);
    EXPECT_EQ(dNew->project(), pNew);
    EXPECT_EQ(ids(pNew->docs()), ids(std::vector<DocPtr>{dNew}));
    ASSERT_EQ(dNew->blocks().size(), 1u);
    EXPECT_NE(dNew->blocks()[0], bOld);
    dNew->setTitle("changed");
    EXPECT_TRUE(ctx().save()) << ctx().lastSaveError().toStdString();
    reopen();
    EXPECT_EQ(ctx().object<Doc>(d->id())->blocks()[0]->imageData()->size(), 100);
    EXPECT_EQ(count("Project"), 1);
}

TEST_F(StoreTest, ALiveQueryOutlivingItsStoreIsEmpty) {
    project("P");
    LiveQuery<Project> query(ctx(), SortDescriptor<Project>(&Project::updatedAt, SortOrder::reverse));
    EXPECT_EQ(query.results().size(), 1u);
    container.reset();
    EXPECT_TRUE(query.results().empty());
}

namespace {
// Every text field holds its own name, the dates 1, 2 and 3 seconds in; the file must show each under its column.
template <class T>
void expectColumnsMatchFields(StoreTest& t, const std::shared_ptr<T>& object, const QString& ownerId = {}) {
    const EntityInfo& e = T::entityInfo();
    SCOPED_TRACE(e.name);
    const QString where = QStringLiteral(" FROM \"%1\" WHERE id='%2'").arg(e.name, store::uuidText(object->id()));
    for (const ColumnInfo& c : e.columns) {
        const QString value = t.rawValue("SELECT \"" + QString::fromLatin1(c.name) + "\"" + where);
        switch (c.kind) {
        case ColumnKind::Text:
        case ColumnKind::OptText: EXPECT_EQ(value, QString::fromLatin1(c.name)); break;
        case ColumnKind::Link: EXPECT_EQ(value, ownerId) << c.name; break;
        case ColumnKind::Date:
        case ColumnKind::OptDate: {
            const QByteArray n(c.name);
            const int second = n == "createdAt" ? 1 : n == "updatedAt" ? 2 : 3;
            EXPECT_EQ(value.toLongLong(), store::toMicros(StoreTest::at(second))) << c.name;
            break;
        }
        default: break;
        }
    }
}
} // namespace

TEST_F(StoreTest, EveryFieldIsStoredUnderItsOwnColumn) {
    const QDateTime c = at(1), u = at(2), d = at(3);
    auto p = std::make_shared<Project>(ProjectFields{.name = "name",
                                                     .details = "details",
                                                     .iconName = "iconName",
                                                     .colorKey = "colorKey",
                                                     .colorHex = "colorHex",
                                                     .createdAt = c,
                                                     .updatedAt = u,
                                                     .deletedAt = d});
    auto doc = std::make_shared<Doc>(DocFields{.title = "title",
                                               .statusRaw = "statusRaw",
                                               .iconName = "iconName",
                                               .colorKey = "colorKey",
                                               .colorHex = "colorHex",
                                               .createdAt = c,
                                               .updatedAt = u,
                                               .deletedAt = d,
                                               .project = p});
    auto b = std::make_shared<DocBlock>(DocBlockFields{.typeRaw = "typeRaw",
                                                       .order = 7,
                                                       .content = "content",
                                                       .stepTitle = "stepTitle",
                                                       .codeLanguage = "codeLanguage",
                                                       .richTextData = QByteArray("rtf"),
                                                       .imageData = QByteArray("png"),
                                                       .isCompleted = true,
                                                       .createdAt = c,
                                                       .updatedAt = u,
                                                       .deletedAt = d,
                                                       .doc = doc});
    auto list = std::make_shared<Checklist>(ChecklistFields{.name = "name",
                                                            .details = "details",
                                                            .iconName = "iconName",
                                                            .colorKey = "colorKey",
                                                            .colorHex = "colorHex",
                                                            .remoteId = "remoteId",
                                                            .createdAt = c,
                                                            .updatedAt = u,
                                                            .deletedAt = d,
                                                            .project = p});
    auto col = std::make_shared<ChecklistColumn>(ChecklistColumnFields{.name = "name",
                                                                       .iconName = "iconName",
                                                                       .colorKey = "colorKey",
                                                                       .colorHex = "colorHex",
                                                                       .orderIndex = 5,
                                                                       .remoteId = "remoteId",
                                                                       .createdAt = c,
                                                                       .updatedAt = u,
                                                                       .deletedAt = d,
                                                                       .checklist = list});
    auto card = std::make_shared<ChecklistCard>(ChecklistCardFields{.title = "title",
                                                                    .notes = "notes",
                                                                    .orderIndex = 6,
                                                                    .remoteId = "remoteId",
                                                                    .createdAt = c,
                                                                    .updatedAt = u,
                                                                    .deletedAt = d,
                                                                    .column = col});
    auto att = std::make_shared<ChecklistAttachment>(ChecklistAttachmentFields{.fileName = "fileName",
                                                                               .mimeType = "mimeType",
                                                                               .localPath = "localPath",
                                                                               .remoteId = "remoteId",
                                                                               .createdAt = c,
                                                                               .card = card});
    for (const std::shared_ptr<PersistentModel>& o :
         std::vector<std::shared_ptr<PersistentModel>>{p, doc, b, list, col, card, att})
        ctx().insert(o);
    ASSERT_TRUE(ctx().save());

    expectColumnsMatchFields(*this, p);
    expectColumnsMatchFields(*this, doc, store::uuidText(p->id()));
    expectColumnsMatchFields(*this, b, store::uuidText(doc->id()));
    expectColumnsMatchFields(*this, list, store::uuidText(p->id()));
    expectColumnsMatchFields(*this, col, store::uuidText(list->id()));
    expectColumnsMatchFields(*this, card, store::uuidText(col->id()));
    expectColumnsMatchFields(*this, att, store::uuidText(card->id()));
    EXPECT_EQ(sql("SELECT \"order\" || isCompleted || CAST(richTextData AS TEXT) || CAST(imageData AS TEXT) "
                  "FROM DocBlock"),
              QStringList({"71rtfpng"}));
    EXPECT_EQ(sql("SELECT orderIndex FROM ChecklistColumn UNION ALL SELECT orderIndex FROM ChecklistCard"),
              QStringList({"5", "6"}));

    // Read back, each value comes to its own field.
    reopen();
    auto bl = ctx().object<Doc>(doc->id())->blocks()[0];
    EXPECT_EQ(bl->stepTitle(), "stepTitle");
    EXPECT_EQ(bl->codeLanguage(), "codeLanguage");
    EXPECT_EQ(bl->order(), 7);
    EXPECT_TRUE(bl->isCompleted());
    EXPECT_EQ(bl->imageData(), QByteArray("png"));
    EXPECT_EQ(bl->deletedAt(), d);
    auto cardL = ctx().object<ChecklistCard>(card->id());
    EXPECT_EQ(cardL->notes(), "notes");
    EXPECT_EQ(cardL->attachments()[0]->mimeType(), "mimeType");
    EXPECT_EQ(ctx().object<Checklist>(list->id())->colorHex(), "colorHex");
}

// Rows read ahead of their table (the dashboard's summary) end up exactly where a plain read puts them.
TEST_F(StoreTest, PreloadedRowsTakeTheirPlaceWhenTheTableIsRead) {
    auto p = project("P");
    auto q = project("Q");
    std::vector<QUuid> ids;
    for (int i = 0; i < 6; ++i)
        ids.push_back(doc(i % 2 ? q : p, QString("d%1").arg(i), i)->id());
    reopen();
    const int doc = Doc::entityInfo().index;
    auto titlesOf = [](const std::vector<DocPtr>& docs) {
        QStringList out;
        for (const auto& d : docs)
            out << d->title();
        return out;
    };

    std::vector<qint64> rowids;
    ASSERT_TRUE(ctx().peekRows(doc, {Doc::columnOf(&DocFields::title)},
                               [&](const ModelContext::PeekedRow& row) { rowids.push_back(row.rowid()); }));
    ASSERT_EQ(rowids.size(), 6u);
    const auto early = ctx().preloadRows(doc, {rowids[4], rowids[1], rowids[5]});
    ASSERT_EQ(early.size(), 3u);
    EXPECT_EQ(std::static_pointer_cast<Doc>(early[0])->title(), "d4") << "in the order asked";
    EXPECT_FALSE(ctx().isLoaded(doc));
    // d5 moves to P before its table is read; d1 is edited.
    auto d5 = std::static_pointer_cast<Doc>(early[2]);
    auto d1 = std::static_pointer_cast<Doc>(early[1]);
    auto P = ctx().object<Project>(p->id());
    d1->setTitle("d1 edited");
    d5->setProject(P);

    const auto all = ctx().fetch<Doc>();
    EXPECT_EQ(titlesOf(all), QStringList({"d0", "d1 edited", "d2", "d3", "d4", "d5"})) << "store order";
    EXPECT_EQ(all[4].get(), early[0].get()) << "one object per row";
    EXPECT_EQ(titlesOf(P->docs()), QStringList({"d0", "d2", "d4", "d5"}));
    EXPECT_EQ(titlesOf(ctx().object<Project>(q->id())->docs()), QStringList({"d1 edited", "d3"}));
    EXPECT_FALSE(ctx().peekRows(doc, {0}, [](const ModelContext::PeekedRow&) {})) << "read already";

    reopen();
    EXPECT_EQ(titlesOf(ctx().object<Project>(p->id())->docs()), QStringList({"d0", "d2", "d4", "d5"}));
}

// The documents' row ids, in store order, read without making any object.
static std::vector<qint64> docRowids(ModelContext& context) {
    std::vector<qint64> rowids;
    context.peekRows(Doc::entityInfo().index, {},
                     [&](const ModelContext::PeekedRow& row) { rowids.push_back(row.rowid()); });
    return rowids;
}

TEST_F(StoreTest, APreloadedRowDeletedBeforeItsTableIsReadStaysDeleted) {
    auto p = project("P");
    doc(p, "a");
    doc(p, "b");
    reopen();
    const int doc = Doc::entityInfo().index;
    const std::vector<qint64> rowids = docRowids(ctx());
    auto b = ctx().preloadRows(doc, {rowids[1]});
    ASSERT_EQ(b.size(), 1u);
    ctx().deleteObject(b[0]);
    ASSERT_EQ(ctx().fetch<Doc>().size(), 1u);
    EXPECT_EQ(ctx().object<Project>(p->id())->docs().size(), 1u);
    reopen();
    EXPECT_EQ(ctx().fetch<Doc>().size(), 1u);
}

TEST_F(StoreTest, PreloadingSkipsMissingRowsAndGivesARepeatedRowItsOneObject) {
    auto p = project("P");
    doc(p, "a");
    doc(p, "b");
    reopen();
    const int doc = Doc::entityInfo().index;
    const std::vector<qint64> rowids = docRowids(ctx());
    ASSERT_EQ(rowids.size(), 2u);
    const auto got = ctx().preloadRows(doc, {rowids[1], rowids[1] + 1000, rowids[0], rowids[1]});
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(std::static_pointer_cast<Doc>(got[0])->title(), "b");
    EXPECT_EQ(std::static_pointer_cast<Doc>(got[1])->title(), "a");
    EXPECT_EQ(got[2].get(), got[0].get());
    EXPECT_EQ(ctx().fetch<Doc>().size(), 2u);
}

// Counted aside from the file: statuses compared byte for byte, hidden rows left out, and no answer once the
// file alone no longer tells what the table holds.
TEST_F(StoreTest, RowsCountedAsideFollowTheFileAndStepBackOnceTheTableIsLive) {
    auto p = project("P");
    const QStringList raws{"done", "done", "Done", "needs_changes", "", "done"};
    for (int i = 0; i < raws.size(); ++i)
        doc(p, QString("d%1").arg(i))->setStatusRaw(raws[i]);
    ctx().fetch<Doc>().back()->setDeletedAt(at(9));
    reopen();
    const int docs = Doc::entityInfo().index;
    const int deletedAt = Doc::columnOf(&DocFields::deletedAt), status = Doc::columnOf(&DocFields::statusRaw);
    auto counted = ctx().countRows(docs, deletedAt, status, {"in_progress", "done", "needs_changes"});
    ASSERT_TRUE(counted.valid());
    EXPECT_EQ(counted.get(), ModelContext::RowCounts({0, 2, 1, 5}));
    EXPECT_FALSE(ctx().isLoaded(docs));

    // A document saved since is counted; one inserted and not saved, or a table already read, gives no answer.
    doc(ctx().object<Project>(p->id()), "new");
    EXPECT_FALSE(ctx().countRows(docs, deletedAt, status, {"done"}).valid());
    ASSERT_TRUE(ctx().save());
    reopen();
    counted = ctx().countRows(docs, deletedAt, status, {"in_progress"});
    ASSERT_TRUE(counted.valid());
    EXPECT_EQ(counted.get(), ModelContext::RowCounts({1, 6}));
    ctx().fetch<Doc>();
    EXPECT_FALSE(ctx().countRows(docs, deletedAt, status, {"done"}).valid());
}
