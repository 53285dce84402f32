#include "model/Models.h"

#include "platform/store/Columns.h"

using store::bind;
using store::bindLink;
using store::read;

namespace {

ColumnInfo col(const char* name, ColumnKind kind) { return ColumnInfo{name, kind, false, -1}; }
ColumnInfo lazyCol(const char* name, ColumnKind kind) { return ColumnInfo{name, kind, true, -1}; }
ColumnInfo link(const char* name, int owner) { return ColumnInfo{name, ColumnKind::Link, false, owner}; }

// Sets a child's owner link and keeps both owners' arrays in step.
template <class Child, class Owner>
void setOwner(Child& child, std::weak_ptr<Owner>& slot, const std::shared_ptr<Owner>& owner) {
    auto old = slot.lock();
    if (old == owner)
        return;
    if (old && child.modelContext())
        old->detachChild(&child);
    slot = owner;
    if (!owner)
        return;
    if (child.modelContext() || !owner->modelContext())
        owner->attachChild(child.template self<Child>());
    else
        owner->modelContext()->insert(child.shared_from_this());   // links it into the array
}

// Appends `child` to `list` once, bringing either side into the other's context.
template <class Owner, class Child>
bool attachTo(Owner& owner, std::vector<std::shared_ptr<Child>>& list, const std::shared_ptr<Child>& child) {
    if (!owner.modelContext() && child->modelContext())
        child->modelContext()->insert(owner.shared_from_this());
    if (store::contains(list, child.get()))
        return false;
    list.push_back(child);
    return true;
}

// After loading, a link is set silently and the child joins its owner's array.
template <class Child, class Owner>
void resolve(Child& child, std::weak_ptr<Owner>& slot, const std::shared_ptr<PersistentModel>& owner,
             std::vector<std::shared_ptr<Child>> Owner::*list) {
    auto o = std::static_pointer_cast<Owner>(owner);
    slot = o;
    if (o)
        ((*o).*list).push_back(child.template self<Child>());
}

template <class T>
void pushAll(std::vector<std::shared_ptr<PersistentModel>>& out, const std::vector<std::shared_ptr<T>>& list) {
    out.insert(out.end(), list.begin(), list.end());
}

enum SchemaIndex { I_Project, I_Doc, I_DocBlock, I_Checklist, I_ChecklistColumn, I_ChecklistCard, I_ChecklistAttachment };

} // namespace

// ---------------------------------------------------------------------------------------------
QString DocStatusInfo::rawValue(DocStatus s) {
    switch (s) {
    case DocStatus::inProgress: return QStringLiteral("in_progress");
    case DocStatus::done: return QStringLiteral("done");
    case DocStatus::needsChanges: return QStringLiteral("needs_changes");
    }
    return QStringLiteral("in_progress");
}

std::optional<DocStatus> DocStatusInfo::fromRaw(const QString& raw) {
    for (DocStatus s : allCases())
        if (rawValue(s) == raw)
            return s;
    return std::nullopt;
}

const QList<DocStatus>& DocStatusInfo::allCases() {
    static const QList<DocStatus> all{DocStatus::inProgress, DocStatus::done, DocStatus::needsChanges};
    return all;
}

QString DocBlockTypeInfo::rawValue(DocBlockType t) {
    switch (t) {
    case DocBlockType::text: return QStringLiteral("text");
    case DocBlockType::code: return QStringLiteral("code");
    case DocBlockType::image: return QStringLiteral("image");
    }
    return QStringLiteral("text");
}

std::optional<DocBlockType> DocBlockTypeInfo::fromRaw(const QString& raw) {
    for (DocBlockType t : allCases())
        if (rawValue(t) == raw)
            return t;
    return std::nullopt;
}

const QList<DocBlockType>& DocBlockTypeInfo::allCases() {
    static const QList<DocBlockType> all{DocBlockType::text, DocBlockType::code, DocBlockType::image};
    return all;
}

// ---------------------------------------------------------------------------------------------
Project::Project(QUuid id, QString name, OptText details, QString iconName, OptText colorKey, OptText colorHex,
                 QDateTime createdAt, QDateTime updatedAt, OptDate deletedAt)
    : PersistentModel(id), m_name(std::move(name)), m_details(std::move(details)), m_iconName(std::move(iconName)),
      m_colorKey(std::move(colorKey)), m_colorHex(std::move(colorHex)), m_createdAt(std::move(createdAt)),
      m_updatedAt(std::move(updatedAt)), m_deletedAt(std::move(deletedAt)) {
    m_docsLoaded = m_checklistsLoaded = true;
}

Project::Project(QUuid id, QString name, OptText details, QString iconName, QDateTime createdAt,
                 QDateTime updatedAt, OptDate deletedAt)
    : Project(id, std::move(name), std::move(details), std::move(iconName), std::nullopt, std::nullopt,
              std::move(createdAt), std::move(updatedAt), std::move(deletedAt)) {}

const EntityInfo& Project::entityInfo() {
    static const EntityInfo info{I_Project, "Project",
                                 {col("id", ColumnKind::Uuid), col("name", ColumnKind::Text),
                                  col("details", ColumnKind::OptText), col("iconName", ColumnKind::Text),
                                  col("colorKey", ColumnKind::OptText), col("colorHex", ColumnKind::OptText),
                                  col("createdAt", ColumnKind::Date), col("updatedAt", ColumnKind::Date),
                                  col("deletedAt", ColumnKind::OptDate)}};
    return info;
}

void Project::bindColumn(int c, sqlite3_stmt* s, int p) const {
    switch (c) {
    case C_name: bind(s, p, m_name); break;
    case C_details: bind(s, p, m_details); break;
    case C_iconName: bind(s, p, m_iconName); break;
    case C_colorKey: bind(s, p, m_colorKey); break;
    case C_colorHex: bind(s, p, m_colorHex); break;
    case C_createdAt: bind(s, p, m_createdAt); break;
    case C_updatedAt: bind(s, p, m_updatedAt); break;
    case C_deletedAt: bind(s, p, m_deletedAt); break;
    }
}

void Project::readColumn(int c, sqlite3_stmt* s, int i) {
    switch (c) {
    case C_name: read(s, i, m_name); break;
    case C_details: read(s, i, m_details); break;
    case C_iconName: read(s, i, m_iconName); break;
    case C_colorKey: read(s, i, m_colorKey); break;
    case C_colorHex: read(s, i, m_colorHex); break;
    case C_createdAt: read(s, i, m_createdAt); break;
    case C_updatedAt: read(s, i, m_updatedAt); break;
    case C_deletedAt: read(s, i, m_deletedAt); break;
    }
}

const std::vector<DocPtr>& Project::docs() const {
    if (!m_docsLoaded) {
        m_docsLoaded = true;
        if (modelContext())
            modelContext()->ensureEntityLoaded(I_Doc);
    }
    return m_docs;
}

const std::vector<ChecklistPtr>& Project::checklists() const {
    if (!m_checklistsLoaded) {
        m_checklistsLoaded = true;
        if (modelContext())
            modelContext()->ensureEntityLoaded(I_Checklist);
    }
    return m_checklists;
}

void Project::appendDoc(const DocPtr& doc) {
    if (!doc)
        return;
    if (doc->project().get() != this)
        doc->setProject(self<Project>());
    else
        attachChild(doc);
}

void Project::removeDoc(const DocPtr& doc) {
    if (doc && doc->project().get() == this)
        doc->setProject(nullptr);
}

void Project::appendChecklist(const ChecklistPtr& checklist) {
    if (!checklist)
        return;
    if (checklist->project().get() != this)
        checklist->setProject(self<Project>());
    else
        attachChild(checklist);
}

void Project::removeChecklist(const ChecklistPtr& checklist) {
    if (checklist && checklist->project().get() == this)
        checklist->setProject(nullptr);
}

void Project::attachChild(const DocPtr& doc) {
    docs();
    if (attachTo(*this, m_docs, doc))
        didChangeArray("docs");
}

void Project::detachChild(Doc* doc) {
    if (store::removeFrom(m_docs, doc))
        didChangeArray("docs");
}

void Project::attachChild(const ChecklistPtr& checklist) {
    checklists();
    if (attachTo(*this, m_checklists, checklist))
        didChangeArray("checklists");
}

void Project::detachChild(Checklist* checklist) {
    if (store::removeFrom(m_checklists, checklist))
        didChangeArray("checklists");
}

void Project::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    pushAll(cascade, docs());
    // Linked checklists stay, as global ones.
    const auto linked = checklists();
    for (const auto& c : linked)
        c->setProject(nullptr);
}

// ---------------------------------------------------------------------------------------------
Doc::Doc(QUuid id, QString title, QString statusRaw, QString iconName, OptText colorKey, OptText colorHex,
         QDateTime createdAt, QDateTime updatedAt, OptDate deletedAt, const ProjectPtr& project)
    : PersistentModel(id), m_title(std::move(title)), m_statusRaw(std::move(statusRaw)),
      m_iconName(std::move(iconName)), m_colorKey(std::move(colorKey)), m_colorHex(std::move(colorHex)),
      m_createdAt(std::move(createdAt)), m_updatedAt(std::move(updatedAt)), m_deletedAt(std::move(deletedAt)),
      m_project(project) {
    m_blocksLoaded = true;
}

const EntityInfo& Doc::entityInfo() {
    static const EntityInfo info{I_Doc, "Doc",
                                 {col("id", ColumnKind::Uuid), col("title", ColumnKind::Text),
                                  col("statusRaw", ColumnKind::Text), col("iconName", ColumnKind::Text),
                                  col("colorKey", ColumnKind::OptText), col("colorHex", ColumnKind::OptText),
                                  col("createdAt", ColumnKind::Date), col("updatedAt", ColumnKind::Date),
                                  col("deletedAt", ColumnKind::OptDate), link("project", I_Project)}};
    return info;
}

DocStatus Doc::status() const { return DocStatusInfo::fromRaw(m_statusRaw).value_or(DocStatus::inProgress); }

void Doc::bindColumn(int c, sqlite3_stmt* s, int p) const {
    switch (c) {
    case C_title: bind(s, p, m_title); break;
    case C_statusRaw: bind(s, p, m_statusRaw); break;
    case C_iconName: bind(s, p, m_iconName); break;
    case C_colorKey: bind(s, p, m_colorKey); break;
    case C_colorHex: bind(s, p, m_colorHex); break;
    case C_createdAt: bind(s, p, m_createdAt); break;
    case C_updatedAt: bind(s, p, m_updatedAt); break;
    case C_deletedAt: bind(s, p, m_deletedAt); break;
    case C_project: bindLink(s, p, m_project); break;
    }
}

void Doc::readColumn(int c, sqlite3_stmt* s, int i) {
    switch (c) {
    case C_title: read(s, i, m_title); break;
    case C_statusRaw: read(s, i, m_statusRaw); break;
    case C_iconName: read(s, i, m_iconName); break;
    case C_colorKey: read(s, i, m_colorKey); break;
    case C_colorHex: read(s, i, m_colorHex); break;
    case C_createdAt: read(s, i, m_createdAt); break;
    case C_updatedAt: read(s, i, m_updatedAt); break;
    case C_deletedAt: read(s, i, m_deletedAt); break;
    }
}

void Doc::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_project, owner, &Project::m_docs);
}

void Doc::setProject(const ProjectPtr& project) {
    setOwner(*this, m_project, project);
    didWrite(C_project);
}

void Doc::onInserted() {
    if (auto p = project())
        p->attachChild(self<Doc>());
}

void Doc::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    pushAll(cascade, blocks());
    if (auto p = project())
        p->detachChild(this);
}

const std::vector<DocBlockPtr>& Doc::blocks() const {
    if (!m_blocksLoaded) {
        m_blocksLoaded = true;
        if (modelContext())
            modelContext()->loadChildren(const_cast<Doc*>(this), I_DocBlock, DocBlock::C_doc);
    }
    return m_blocks;
}

void Doc::appendBlock(const DocBlockPtr& block) {
    if (!block)
        return;
    if (block->doc().get() != this)
        block->setDoc(self<Doc>());
    else
        attachChild(block);
}

void Doc::removeBlock(const DocBlockPtr& block) {
    if (block && block->doc().get() == this)
        block->setDoc(nullptr);
}

void Doc::attachChild(const DocBlockPtr& block) {
    blocks();
    if (attachTo(*this, m_blocks, block))
        didChangeArray("blocks");
}

void Doc::detachChild(DocBlock* block) {
    if (store::removeFrom(m_blocks, block))
        didChangeArray("blocks");
}

// ---------------------------------------------------------------------------------------------
DocBlock::DocBlock(QUuid id, QString typeRaw, int order, QString content, OptText stepTitle, OptText codeLanguage,
                   OptData richTextData, OptData imageData, bool isCompleted, QDateTime createdAt,
                   QDateTime updatedAt, OptDate deletedAt, const DocPtr& doc)
    : PersistentModel(id), m_typeRaw(std::move(typeRaw)), m_order(order), m_content(std::move(content)),
      m_stepTitle(std::move(stepTitle)), m_codeLanguage(std::move(codeLanguage)), m_isCompleted(isCompleted),
      m_createdAt(std::move(createdAt)), m_updatedAt(std::move(updatedAt)), m_deletedAt(std::move(deletedAt)),
      m_richTextData(std::move(richTextData)), m_imageData(std::move(imageData)), m_doc(doc) {}

const EntityInfo& DocBlock::entityInfo() {
    static const EntityInfo info{
        I_DocBlock,
        "DocBlock",
        {col("id", ColumnKind::Uuid), col("typeRaw", ColumnKind::Text), col("order", ColumnKind::Int),
         col("content", ColumnKind::Text), col("stepTitle", ColumnKind::OptText),
         col("codeLanguage", ColumnKind::OptText), lazyCol("richTextData", ColumnKind::OptBlob),
         lazyCol("imageData", ColumnKind::OptBlob), col("isCompleted", ColumnKind::Bool),
         col("createdAt", ColumnKind::Date), col("updatedAt", ColumnKind::Date), col("deletedAt", ColumnKind::OptDate),
         link("doc", I_Doc)},
        C_doc};
    return info;
}

DocBlockType DocBlock::type() const {
    if (m_typeRaw == QLatin1String("code"))
        return DocBlockType::code;
    if (m_typeRaw == QLatin1String("image"))
        return DocBlockType::image;
    return DocBlockType::text;
}

const OptData& DocBlock::richTextData() const {
    ensureLoaded(C_richTextData, m_richLoaded);
    return m_richTextData;
}

void DocBlock::setRichTextData(const OptData& data) {
    m_richTextData = data;
    m_richLoaded = true;
    didWrite(C_richTextData);
}

const OptData& DocBlock::imageData() const {
    ensureLoaded(C_imageData, m_imageLoaded);
    return m_imageData;
}

void DocBlock::setImageData(const OptData& data) {
    m_imageData = data;
    m_imageLoaded = true;
    didWrite(C_imageData);
}

void DocBlock::bindColumn(int c, sqlite3_stmt* s, int p) const {
    switch (c) {
    case C_typeRaw: bind(s, p, m_typeRaw); break;
    case C_order: bind(s, p, m_order); break;
    case C_content: bind(s, p, m_content); break;
    case C_stepTitle: bind(s, p, m_stepTitle); break;
    case C_codeLanguage: bind(s, p, m_codeLanguage); break;
    case C_richTextData: bind(s, p, richTextData()); break;
    case C_imageData: bind(s, p, imageData()); break;
    case C_isCompleted: bind(s, p, m_isCompleted); break;
    case C_createdAt: bind(s, p, m_createdAt); break;
    case C_updatedAt: bind(s, p, m_updatedAt); break;
    case C_deletedAt: bind(s, p, m_deletedAt); break;
    case C_doc: bindLink(s, p, m_doc); break;
    }
}

void DocBlock::readColumn(int c, sqlite3_stmt* s, int i) {
    switch (c) {
    case C_typeRaw: read(s, i, m_typeRaw); break;
    case C_order: read(s, i, m_order); break;
    case C_content: read(s, i, m_content); break;
    case C_stepTitle: read(s, i, m_stepTitle); break;
    case C_codeLanguage: read(s, i, m_codeLanguage); break;
    case C_richTextData: read(s, i, m_richTextData); m_richLoaded = true; break;
    case C_imageData: read(s, i, m_imageData); m_imageLoaded = true; break;
    case C_isCompleted: read(s, i, m_isCompleted); break;
    case C_createdAt: read(s, i, m_createdAt); break;
    case C_updatedAt: read(s, i, m_updatedAt); break;
    case C_deletedAt: read(s, i, m_deletedAt); break;
    }
}

void DocBlock::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    m_richLoaded = m_imageLoaded = false;   // a loaded block reads its data on first access
    resolve(*this, m_doc, owner, &Doc::m_blocks);
}

void DocBlock::setDoc(const DocPtr& doc) {
    setOwner(*this, m_doc, doc);
    didWrite(C_doc);
}

void DocBlock::onInserted() {
    if (auto d = doc())
        d->attachChild(self<DocBlock>());
}

void DocBlock::onDeleted(std::vector<std::shared_ptr<PersistentModel>>&) {
    if (auto d = doc())
        d->detachChild(this);
}

// ---------------------------------------------------------------------------------------------
Checklist::Checklist(QUuid id, QString name, OptText details, QString iconName, OptText colorKey, OptText colorHex,
                     OptText remoteId, QDateTime createdAt, QDateTime updatedAt, OptDate deletedAt,
                     const ProjectPtr& project)
    : PersistentModel(id), m_name(std::move(name)), m_details(std::move(details)), m_iconName(std::move(iconName)),
      m_colorKey(std::move(colorKey)), m_colorHex(std::move(colorHex)), m_remoteId(std::move(remoteId)),
      m_createdAt(std::move(createdAt)), m_updatedAt(std::move(updatedAt)), m_deletedAt(std::move(deletedAt)),
      m_project(project) {}

const EntityInfo& Checklist::entityInfo() {
    static const EntityInfo info{I_Checklist, "Checklist",
                                 {col("id", ColumnKind::Uuid), col("name", ColumnKind::Text),
                                  col("details", ColumnKind::OptText), col("iconName", ColumnKind::Text),
                                  col("colorKey", ColumnKind::OptText), col("colorHex", ColumnKind::OptText),
                                  col("remoteId", ColumnKind::OptText), col("createdAt", ColumnKind::Date),
                                  col("updatedAt", ColumnKind::Date), col("deletedAt", ColumnKind::OptDate),
                                  link("project", I_Project)}};
    return info;
}

void Checklist::bindColumn(int c, sqlite3_stmt* s, int p) const {
    switch (c) {
    case C_name: bind(s, p, m_name); break;
    case C_details: bind(s, p, m_details); break;
    case C_iconName: bind(s, p, m_iconName); break;
    case C_colorKey: bind(s, p, m_colorKey); break;
    case C_colorHex: bind(s, p, m_colorHex); break;
    case C_remoteId: bind(s, p, m_remoteId); break;
    case C_createdAt: bind(s, p, m_createdAt); break;
    case C_updatedAt: bind(s, p, m_updatedAt); break;
    case C_deletedAt: bind(s, p, m_deletedAt); break;
    case C_project: bindLink(s, p, m_project); break;
    }
}

void Checklist::readColumn(int c, sqlite3_stmt* s, int i) {
    switch (c) {
    case C_name: read(s, i, m_name); break;
    case C_details: read(s, i, m_details); break;
    case C_iconName: read(s, i, m_iconName); break;
    case C_colorKey: read(s, i, m_colorKey); break;
    case C_colorHex: read(s, i, m_colorHex); break;
    case C_remoteId: read(s, i, m_remoteId); break;
    case C_createdAt: read(s, i, m_createdAt); break;
    case C_updatedAt: read(s, i, m_updatedAt); break;
    case C_deletedAt: read(s, i, m_deletedAt); break;
    }
}

void Checklist::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_project, owner, &Project::m_checklists);
}

void Checklist::setProject(const ProjectPtr& project) {
    setOwner(*this, m_project, project);
    didWrite(C_project);
}

void Checklist::onInserted() {
    if (auto p = project())
        p->attachChild(self<Checklist>());
}

void Checklist::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    pushAll(cascade, columns());
    if (auto p = project())
        p->detachChild(this);
}

const std::vector<ChecklistColumnPtr>& Checklist::columns() const {
    if (modelContext())
        modelContext()->ensureEntityLoaded(I_ChecklistColumn);
    return m_columns;
}

void Checklist::appendColumn(const ChecklistColumnPtr& column) {
    if (!column)
        return;
    if (column->checklist().get() != this)
        column->setChecklist(self<Checklist>());
    else
        attachChild(column);
}

void Checklist::removeColumn(const ChecklistColumnPtr& column) {
    if (column && column->checklist().get() == this)
        column->setChecklist(nullptr);
}

void Checklist::attachChild(const ChecklistColumnPtr& column) {
    columns();
    if (attachTo(*this, m_columns, column))
        didChangeArray("columns");
}

void Checklist::detachChild(ChecklistColumn* column) {
    if (store::removeFrom(m_columns, column))
        didChangeArray("columns");
}

// ---------------------------------------------------------------------------------------------
ChecklistColumn::ChecklistColumn(QUuid id, QString name, QString iconName, OptText colorKey, OptText colorHex,
                                 int orderIndex, OptText remoteId, QDateTime createdAt, QDateTime updatedAt,
                                 OptDate deletedAt, const ChecklistPtr& checklist)
    : PersistentModel(id), m_name(std::move(name)), m_iconName(std::move(iconName)), m_colorKey(std::move(colorKey)),
      m_colorHex(std::move(colorHex)), m_orderIndex(orderIndex), m_remoteId(std::move(remoteId)),
      m_createdAt(std::move(createdAt)), m_updatedAt(std::move(updatedAt)), m_deletedAt(std::move(deletedAt)),
      m_checklist(checklist) {}

const EntityInfo& ChecklistColumn::entityInfo() {
    static const EntityInfo info{I_ChecklistColumn, "ChecklistColumn",
                                 {col("id", ColumnKind::Uuid), col("name", ColumnKind::Text),
                                  col("iconName", ColumnKind::Text), col("colorKey", ColumnKind::OptText),
                                  col("colorHex", ColumnKind::OptText), col("orderIndex", ColumnKind::Int),
                                  col("remoteId", ColumnKind::OptText), col("createdAt", ColumnKind::Date),
                                  col("updatedAt", ColumnKind::Date), col("deletedAt", ColumnKind::OptDate),
                                  link("checklist", I_Checklist)}};
    return info;
}

void ChecklistColumn::bindColumn(int c, sqlite3_stmt* s, int p) const {
    switch (c) {
    case C_name: bind(s, p, m_name); break;
    case C_iconName: bind(s, p, m_iconName); break;
    case C_colorKey: bind(s, p, m_colorKey); break;
    case C_colorHex: bind(s, p, m_colorHex); break;
    case C_orderIndex: bind(s, p, m_orderIndex); break;
    case C_remoteId: bind(s, p, m_remoteId); break;
    case C_createdAt: bind(s, p, m_createdAt); break;
    case C_updatedAt: bind(s, p, m_updatedAt); break;
    case C_deletedAt: bind(s, p, m_deletedAt); break;
    case C_checklist: bindLink(s, p, m_checklist); break;
    }
}

void ChecklistColumn::readColumn(int c, sqlite3_stmt* s, int i) {
    switch (c) {
    case C_name: read(s, i, m_name); break;
    case C_iconName: read(s, i, m_iconName); break;
    case C_colorKey: read(s, i, m_colorKey); break;
    case C_colorHex: read(s, i, m_colorHex); break;
    case C_orderIndex: read(s, i, m_orderIndex); break;
    case C_remoteId: read(s, i, m_remoteId); break;
    case C_createdAt: read(s, i, m_createdAt); break;
    case C_updatedAt: read(s, i, m_updatedAt); break;
    case C_deletedAt: read(s, i, m_deletedAt); break;
    }
}

void ChecklistColumn::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_checklist, owner, &Checklist::m_columns);
}

void ChecklistColumn::setChecklist(const ChecklistPtr& checklist) {
    setOwner(*this, m_checklist, checklist);
    didWrite(C_checklist);
}

void ChecklistColumn::onInserted() {
    if (auto c = checklist())
        c->attachChild(self<ChecklistColumn>());
}

void ChecklistColumn::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    pushAll(cascade, cards());
    if (auto c = checklist())
        c->detachChild(this);
}

const std::vector<ChecklistCardPtr>& ChecklistColumn::cards() const {
    if (modelContext())
        modelContext()->ensureEntityLoaded(I_ChecklistCard);
    return m_cards;
}

void ChecklistColumn::appendCard(const ChecklistCardPtr& card) {
    if (!card)
        return;
    if (card->column().get() != this)
        card->setColumn(self<ChecklistColumn>());
    else
        attachChild(card);
}

void ChecklistColumn::removeCard(const ChecklistCardPtr& card) {
    if (card && card->column().get() == this)
        card->setColumn(nullptr);
}

void ChecklistColumn::attachChild(const ChecklistCardPtr& card) {
    cards();
    if (attachTo(*this, m_cards, card))
        didChangeArray("cards");
}

void ChecklistColumn::detachChild(ChecklistCard* card) {
    if (store::removeFrom(m_cards, card))
        didChangeArray("cards");
}

// ---------------------------------------------------------------------------------------------
ChecklistCard::ChecklistCard(QUuid id, QString title, OptText notes, int orderIndex, OptText remoteId,
                             QDateTime createdAt, QDateTime updatedAt, OptDate deletedAt,
                             const ChecklistColumnPtr& column)
    : PersistentModel(id), m_title(std::move(title)), m_notes(std::move(notes)), m_orderIndex(orderIndex),
      m_remoteId(std::move(remoteId)), m_createdAt(std::move(createdAt)), m_updatedAt(std::move(updatedAt)),
      m_deletedAt(std::move(deletedAt)), m_column(column) {}

const EntityInfo& ChecklistCard::entityInfo() {
    static const EntityInfo info{I_ChecklistCard, "ChecklistCard",
                                 {col("id", ColumnKind::Uuid), col("title", ColumnKind::Text),
                                  col("notes", ColumnKind::OptText), col("orderIndex", ColumnKind::Int),
                                  col("remoteId", ColumnKind::OptText), col("createdAt", ColumnKind::Date),
                                  col("updatedAt", ColumnKind::Date), col("deletedAt", ColumnKind::OptDate),
                                  link("column", I_ChecklistColumn)}};
    return info;
}

void ChecklistCard::bindColumn(int c, sqlite3_stmt* s, int p) const {
    switch (c) {
    case C_title: bind(s, p, m_title); break;
    case C_notes: bind(s, p, m_notes); break;
    case C_orderIndex: bind(s, p, m_orderIndex); break;
    case C_remoteId: bind(s, p, m_remoteId); break;
    case C_createdAt: bind(s, p, m_createdAt); break;
    case C_updatedAt: bind(s, p, m_updatedAt); break;
    case C_deletedAt: bind(s, p, m_deletedAt); break;
    case C_column: bindLink(s, p, m_column); break;
    }
}

void ChecklistCard::readColumn(int c, sqlite3_stmt* s, int i) {
    switch (c) {
    case C_title: read(s, i, m_title); break;
    case C_notes: read(s, i, m_notes); break;
    case C_orderIndex: read(s, i, m_orderIndex); break;
    case C_remoteId: read(s, i, m_remoteId); break;
    case C_createdAt: read(s, i, m_createdAt); break;
    case C_updatedAt: read(s, i, m_updatedAt); break;
    case C_deletedAt: read(s, i, m_deletedAt); break;
    }
}

void ChecklistCard::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_column, owner, &ChecklistColumn::m_cards);
}

void ChecklistCard::setColumn(const ChecklistColumnPtr& column) {
    setOwner(*this, m_column, column);
    didWrite(C_column);
}

void ChecklistCard::onInserted() {
    if (auto c = column())
        c->attachChild(self<ChecklistCard>());
}

void ChecklistCard::onDeleted(std::vector<std::shared_ptr<PersistentModel>>& cascade) {
    pushAll(cascade, attachments());
    if (auto c = column())
        c->detachChild(this);
}

const std::vector<ChecklistAttachmentPtr>& ChecklistCard::attachments() const {
    if (modelContext())
        modelContext()->ensureEntityLoaded(I_ChecklistAttachment);
    return m_attachments;
}

void ChecklistCard::appendAttachment(const ChecklistAttachmentPtr& attachment) {
    if (!attachment)
        return;
    if (attachment->card().get() != this)
        attachment->setCard(self<ChecklistCard>());
    else
        attachChild(attachment);
}

void ChecklistCard::removeAttachment(const ChecklistAttachmentPtr& attachment) {
    if (attachment && attachment->card().get() == this)
        attachment->setCard(nullptr);
}

void ChecklistCard::attachChild(const ChecklistAttachmentPtr& attachment) {
    attachments();
    if (attachTo(*this, m_attachments, attachment))
        didChangeArray("attachments");
}

void ChecklistCard::detachChild(ChecklistAttachment* attachment) {
    if (store::removeFrom(m_attachments, attachment))
        didChangeArray("attachments");
}

// ---------------------------------------------------------------------------------------------
ChecklistAttachment::ChecklistAttachment(QUuid id, QString fileName, OptText mimeType, QString localPath,
                                         OptText remoteId, QDateTime createdAt, const ChecklistCardPtr& card)
    : PersistentModel(id), m_fileName(std::move(fileName)), m_mimeType(std::move(mimeType)),
      m_localPath(std::move(localPath)), m_remoteId(std::move(remoteId)), m_createdAt(std::move(createdAt)),
      m_card(card) {}

const EntityInfo& ChecklistAttachment::entityInfo() {
    static const EntityInfo info{I_ChecklistAttachment, "ChecklistAttachment",
                                 {col("id", ColumnKind::Uuid), col("fileName", ColumnKind::Text),
                                  col("mimeType", ColumnKind::OptText), col("localPath", ColumnKind::Text),
                                  col("remoteId", ColumnKind::OptText), col("createdAt", ColumnKind::Date),
                                  link("card", I_ChecklistCard)}};
    return info;
}

void ChecklistAttachment::bindColumn(int c, sqlite3_stmt* s, int p) const {
    switch (c) {
    case C_fileName: bind(s, p, m_fileName); break;
    case C_mimeType: bind(s, p, m_mimeType); break;
    case C_localPath: bind(s, p, m_localPath); break;
    case C_remoteId: bind(s, p, m_remoteId); break;
    case C_createdAt: bind(s, p, m_createdAt); break;
    case C_card: bindLink(s, p, m_card); break;
    }
}

void ChecklistAttachment::readColumn(int c, sqlite3_stmt* s, int i) {
    switch (c) {
    case C_fileName: read(s, i, m_fileName); break;
    case C_mimeType: read(s, i, m_mimeType); break;
    case C_localPath: read(s, i, m_localPath); break;
    case C_remoteId: read(s, i, m_remoteId); break;
    case C_createdAt: read(s, i, m_createdAt); break;
    }
}

void ChecklistAttachment::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_card, owner, &ChecklistCard::m_attachments);
}

void ChecklistAttachment::setCard(const ChecklistCardPtr& card) {
    setOwner(*this, m_card, card);
    didWrite(C_card);
}

void ChecklistAttachment::onInserted() {
    if (auto c = card())
        c->attachChild(self<ChecklistAttachment>());
}

void ChecklistAttachment::onDeleted(std::vector<std::shared_ptr<PersistentModel>>&) {
    if (auto c = card())
        c->detachChild(this);
}

// ---------------------------------------------------------------------------------------------
const EntityInfo& ChecklistItem::entityInfo() {
    static const EntityInfo info{-1, "ChecklistItem",
                                 {col("id", ColumnKind::Uuid), col("title", ColumnKind::Text),
                                  col("notes", ColumnKind::OptText), col("isDone", ColumnKind::Bool),
                                  col("orderIndex", ColumnKind::Int), col("dueDate", ColumnKind::OptDate),
                                  col("remoteId", ColumnKind::OptText), col("createdAt", ColumnKind::Date),
                                  col("updatedAt", ColumnKind::Date), link("checklist", I_Checklist)}};
    return info;
}
