#include "StoreFixture.h"

namespace {
// A store made by the build that first wrote this schema.
const char* kMaster =
    R"(table TolmekStoreMetadata: CREATE TABLE "TolmekStoreMetadata" ("key" TEXT PRIMARY KEY, "value" TEXT)
index sqlite_autoindex_TolmekStoreMetadata_1
table Project: CREATE TABLE "Project" ("id" TEXT NOT NULL UNIQUE COLLATE NOCASE, "name" TEXT NOT NULL, "details" TEXT, "iconName" TEXT NOT NULL, "colorKey" TEXT, "colorHex" TEXT, "createdAt" INTEGER NOT NULL, "updatedAt" INTEGER NOT NULL, "deletedAt" INTEGER)
index sqlite_autoindex_Project_1
table Doc: CREATE TABLE "Doc" ("id" TEXT NOT NULL UNIQUE COLLATE NOCASE, "title" TEXT NOT NULL, "statusRaw" TEXT NOT NULL, "iconName" TEXT NOT NULL, "colorKey" TEXT, "colorHex" TEXT, "createdAt" INTEGER NOT NULL, "updatedAt" INTEGER NOT NULL, "deletedAt" INTEGER, "project" TEXT COLLATE NOCASE REFERENCES "Project"("id") ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED)
index sqlite_autoindex_Doc_1
index Doc_project: CREATE INDEX "Doc_project" ON "Doc"("project")
table DocBlock: CREATE TABLE "DocBlock" ("id" TEXT NOT NULL UNIQUE COLLATE NOCASE, "typeRaw" TEXT NOT NULL, "order" INTEGER NOT NULL, "content" TEXT NOT NULL, "stepTitle" TEXT, "codeLanguage" TEXT, "richTextData" BLOB, "imageData" BLOB, "isCompleted" INTEGER NOT NULL, "createdAt" INTEGER NOT NULL, "updatedAt" INTEGER NOT NULL, "deletedAt" INTEGER, "doc" TEXT COLLATE NOCASE REFERENCES "Doc"("id") ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED)
index sqlite_autoindex_DocBlock_1
index DocBlock_doc: CREATE INDEX "DocBlock_doc" ON "DocBlock"("doc")
table Checklist: CREATE TABLE "Checklist" ("id" TEXT NOT NULL UNIQUE COLLATE NOCASE, "name" TEXT NOT NULL, "details" TEXT, "iconName" TEXT NOT NULL, "colorKey" TEXT, "colorHex" TEXT, "remoteId" TEXT, "createdAt" INTEGER NOT NULL, "updatedAt" INTEGER NOT NULL, "deletedAt" INTEGER, "project" TEXT COLLATE NOCASE REFERENCES "Project"("id") ON DELETE SET NULL DEFERRABLE INITIALLY DEFERRED)
index sqlite_autoindex_Checklist_1
index Checklist_project: CREATE INDEX "Checklist_project" ON "Checklist"("project")
table ChecklistColumn: CREATE TABLE "ChecklistColumn" ("id" TEXT NOT NULL UNIQUE COLLATE NOCASE, "name" TEXT NOT NULL, "iconName" TEXT NOT NULL, "colorKey" TEXT, "colorHex" TEXT, "orderIndex" INTEGER NOT NULL, "remoteId" TEXT, "createdAt" INTEGER NOT NULL, "updatedAt" INTEGER NOT NULL, "deletedAt" INTEGER, "checklist" TEXT COLLATE NOCASE REFERENCES "Checklist"("id") ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED)
index sqlite_autoindex_ChecklistColumn_1
index ChecklistColumn_checklist: CREATE INDEX "ChecklistColumn_checklist" ON "ChecklistColumn"("checklist")
table ChecklistCard: CREATE TABLE "ChecklistCard" ("id" TEXT NOT NULL UNIQUE COLLATE NOCASE, "title" TEXT NOT NULL, "notes" TEXT, "orderIndex" INTEGER NOT NULL, "remoteId" TEXT, "createdAt" INTEGER NOT NULL, "updatedAt" INTEGER NOT NULL, "deletedAt" INTEGER, "column" TEXT COLLATE NOCASE REFERENCES "ChecklistColumn"("id") ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED)
index sqlite_autoindex_ChecklistCard_1
index ChecklistCard_column: CREATE INDEX "ChecklistCard_column" ON "ChecklistCard"("column")
table ChecklistAttachment: CREATE TABLE "ChecklistAttachment" ("id" TEXT NOT NULL UNIQUE COLLATE NOCASE, "fileName" TEXT NOT NULL, "mimeType" TEXT, "localPath" TEXT NOT NULL, "remoteId" TEXT, "createdAt" INTEGER NOT NULL, "card" TEXT COLLATE NOCASE REFERENCES "ChecklistCard"("id") ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED)
index sqlite_autoindex_ChecklistAttachment_1
index ChecklistAttachment_card: CREATE INDEX "ChecklistAttachment_card" ON "ChecklistAttachment"("card"))";

// Its types as that build described them.
const char* kTypes =
    R"(0 Project: id uuid, name text, details optText, iconName text, colorKey optText, colorHex optText, createdAt date, updatedAt date, deletedAt optDate
1 Doc: id uuid, title text, statusRaw text, iconName text, colorKey optText, colorHex optText, createdAt date, updatedAt date, deletedAt optDate, project link to 0 cascade
2 DocBlock per doc: id uuid, typeRaw text, order int, content text, stepTitle optText, codeLanguage optText, richTextData optBlob lazy, imageData optBlob lazy, isCompleted bool, createdAt date, updatedAt date, deletedAt optDate, doc link to 1 cascade
3 Checklist: id uuid, name text, details optText, iconName text, colorKey optText, colorHex optText, remoteId optText, createdAt date, updatedAt date, deletedAt optDate, project link to 0 nullify
4 ChecklistColumn: id uuid, name text, iconName text, colorKey optText, colorHex optText, orderIndex int, remoteId optText, createdAt date, updatedAt date, deletedAt optDate, checklist link to 3 cascade
5 ChecklistCard: id uuid, title text, notes optText, orderIndex int, remoteId optText, createdAt date, updatedAt date, deletedAt optDate, column link to 4 cascade
6 ChecklistAttachment: id uuid, fileName text, mimeType optText, localPath text, remoteId optText, createdAt date, card link to 5 cascade)";

const char* kindName(ColumnKind k) {
    switch (k) {
    case ColumnKind::Uuid: return "uuid";
    case ColumnKind::Text: return "text";
    case ColumnKind::OptText: return "optText";
    case ColumnKind::Int: return "int";
    case ColumnKind::Bool: return "bool";
    case ColumnKind::Date: return "date";
    case ColumnKind::OptDate: return "optDate";
    case ColumnKind::OptBlob: return "optBlob";
    case ColumnKind::Link: return "link";
    }
    return "?";
}

// What the store knows of each type, a line each: how its rows are read, its columns' kinds, laziness and links.
QStringList describeTypes() {
    QStringList lines;
    for (const auto& t : tolmekSchema()) {
        const EntityInfo& e = *t.info;
        QStringList columns;
        for (const auto& c : e.columns) {
            QString column = QStringLiteral("%1 %2").arg(c.name, kindName(c.kind));
            if (c.lazy)
                column += " lazy";
            if (c.kind == ColumnKind::Link)
                column += QStringLiteral(" to %1 %2")
                              .arg(c.linkEntity)
                              .arg(c.onOwnerDelete == DeleteRule::cascade ? "cascade" : "nullify");
            columns << column;
        }
        const QString perOwner = e.loadPerOwnerLink < 0
            ? QString()
            : QStringLiteral(" per %1").arg(e.columns[size_t(e.loadPerOwnerLink)].name);
        lines << QStringLiteral("%1 %2%3: %4").arg(e.index).arg(e.name, perOwner, columns.join(", "));
    }
    return lines;
}
} // namespace

// Stores written by earlier builds must open, and the store refuses any file that is not exactly our
// schema: a change to a field list must not change what is written by one byte.
TEST_F(StoreTest, TheSchemaIsExactlyTheOneEarlierBuildsWrote) {
    const QString master =
        sql("SELECT type || ' ' || name || coalesce(': ' || sql, '') FROM sqlite_master ORDER BY rowid").join('\n');
    EXPECT_EQ(master.toStdString(), kMaster);
    EXPECT_EQ(describeTypes().join('\n').toStdString(), kTypes);
}
