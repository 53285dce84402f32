#include "core/model/Models.h"

#include "core/store/Columns.h"

using store::bind;
using store::read;

namespace {

ColumnInfo col(const char* name, ColumnKind kind) { return ColumnInfo{name, kind, false, -1}; }
ColumnInfo lazyCol(const char* name, ColumnKind kind) { return ColumnInfo{name, kind, true, -1}; }
ColumnInfo link(const char* name, int owner) { return ColumnInfo{name, ColumnKind::Link, false, owner}; }

void refuseLink(const PersistentModel& child) {
    qWarning("Store: a %s is not linked to a deleted object or to one of another or a closed store",
             child.entity().name);
}

// Sets a child's owner link and keeps both owners' arrays in step; returns whether the link was set.
// A link that the store could never save (to a deleted owner, or across stores) is refused.
template <class Child, class Owner>
bool setOwner(Child& child, std::weak_ptr<Owner>& slot, const std::shared_ptr<Owner>& owner) {
    auto old = slot.lock();
    if (old == owner)
        return true;
    if (owner && !child.canLink(*owner)) {
        refuseLink(child);
        return false;
    }
    if (old)
        old->detachChild(&child);
    slot = owner;
    if (!owner)
        return true;
    if (child.modelContext() || !owner->modelContext())
        owner->attachChild(child.template self<Child>());
    else
        owner->modelContext()->insert(child.shared_from_this());   // links it into the array
    return true;
}

// On insertion, a child joins its owner's array; a link that could never be saved is cleared.
template <class Child, class Owner>
void joinOwner(Child& child, std::weak_ptr<Owner>& slot) {
    auto owner = slot.lock();
    if (!owner)
        return;
    if (!child.canLink(*owner)) {
        refuseLink(child);
        slot.reset();
        return;
    }
    owner->attachChild(child.template self<Child>());
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

// Links a child to `owner` from the owner's side: through the child's link, which keeps both sides in step.
template <class Owner, class Child>
void appendChild(Owner& owner, const std::shared_ptr<Child>& child, std::shared_ptr<Owner> (Child::*link)() const,
                 void (Child::*setLink)(const std::shared_ptr<Owner>&)) {
    if (!child)
        return;
    if (((*child).*link)().get() != &owner)
        ((*child).*setLink)(owner.template self<Owner>());
    else if (!child->canLink(owner))
        refuseLink(*child);
    else if (!child->modelContext() && owner.modelContext())
        owner.modelContext()->insert(child);   // joins the array as it is inserted
    else
        owner.attachChild(child);
}

template <class Owner, class Child>
void removeChild(Owner& owner, const std::shared_ptr<Child>& child, std::shared_ptr<Owner> (Child::*link)() const,
                 void (Child::*setLink)(const std::shared_ptr<Owner>&)) {
    if (child && ((*child).*link)().get() == &owner)
        ((*child).*setLink)(nullptr);
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

// Children appended to an owner before it was inserted are inserted with it.
template <class T>
void insertNewChildren(PersistentModel& owner, const std::vector<std::shared_ptr<T>>& list) {
    const auto children = list;   // inserting may touch the list
    for (const auto& c : children)
        if (!c->modelContext() && owner.modelContext())
            owner.modelContext()->insert(c);
}

template <class T>
void pushAll(std::vector<std::shared_ptr<PersistentModel>>& out, const std::vector<std::shared_ptr<T>>& list) {
    out.insert(out.end(), list.begin(), list.end());
}

enum SchemaIndex {
    I_Project, I_Doc, I_DocBlock, I_Checklist, I_ChecklistColumn, I_ChecklistCard, I_ChecklistAttachment
};

} // namespace

template <class T>
void StoredModel<T>::bindColumn(int column, sqlite3_stmt* stmt, int param) const {
    std::visit(
        [&](auto member) {
            if constexpr (!std::is_same_v<decltype(member), std::monostate>)
                bind(stmt, param, static_cast<const T*>(this)->*member);
        },
        T::fields()[size_t(column)]);
}

template <class T>
void StoredModel<T>::readColumn(int column, sqlite3_stmt* stmt, int col) {
    std::visit(
        [&](auto member) {
            if constexpr (!std::is_same_v<decltype(member), std::monostate>)
                read(stmt, col, static_cast<T*>(this)->*member);
        },
        T::fields()[size_t(column)]);
}

template class StoredModel<Project>;
template class StoredModel<Doc>;
template class StoredModel<DocBlock>;
template class StoredModel<Checklist>;
template class StoredModel<ChecklistColumn>;
template class StoredModel<ChecklistCard>;
template class StoredModel<ChecklistAttachment>;

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
    : StoredModel(id), m_name(std::move(name)), m_details(std::move(details)), m_iconName(std::move(iconName)),
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

const std::vector<FieldRef<Project>>& Project::fields() {
    static const std::vector<FieldRef<Project>> f{
        std::monostate{}, &Project::m_name, &Project::m_details, &Project::m_iconName, &Project::m_colorKey,
        &Project::m_colorHex, &Project::m_createdAt, &Project::m_updatedAt, &Project::m_deletedAt};
    return f;
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

void Project::appendDoc(const DocPtr& doc) { appendChild(*this, doc, &Doc::project, &Doc::setProject); }

void Project::removeDoc(const DocPtr& doc) { removeChild(*this, doc, &Doc::project, &Doc::setProject); }

void Project::appendChecklist(const ChecklistPtr& checklist) {
    appendChild(*this, checklist, &Checklist::project, &Checklist::setProject);
}

void Project::removeChecklist(const ChecklistPtr& checklist) {
    removeChild(*this, checklist, &Checklist::project, &Checklist::setProject);
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

void Project::onInserted() {
    insertNewChildren(*this, m_docs);
    insertNewChildren(*this, m_checklists);
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
    : StoredModel(id), m_title(std::move(title)), m_statusRaw(std::move(statusRaw)),
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

const std::vector<FieldRef<Doc>>& Doc::fields() {
    static const std::vector<FieldRef<Doc>> f{
        std::monostate{}, &Doc::m_title, &Doc::m_statusRaw, &Doc::m_iconName, &Doc::m_colorKey, &Doc::m_colorHex,
        &Doc::m_createdAt, &Doc::m_updatedAt, &Doc::m_deletedAt, &Doc::m_project};
    return f;
}

void Doc::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_project, owner, &Project::m_docs);
}

void Doc::setProject(const ProjectPtr& project) {
    if (setOwner(*this, m_project, project))
        didWrite(C_project);
}

void Doc::onInserted() {
    joinOwner(*this, m_project);
    insertNewChildren(*this, m_blocks);
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

void Doc::appendBlock(const DocBlockPtr& block) { appendChild(*this, block, &DocBlock::doc, &DocBlock::setDoc); }

void Doc::removeBlock(const DocBlockPtr& block) { removeChild(*this, block, &DocBlock::doc, &DocBlock::setDoc); }

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
    : StoredModel(id), m_typeRaw(std::move(typeRaw)), m_order(order), m_content(std::move(content)),
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

const std::vector<FieldRef<DocBlock>>& DocBlock::fields() {
    static const std::vector<FieldRef<DocBlock>> f{
        std::monostate{}, &DocBlock::m_typeRaw, &DocBlock::m_order, &DocBlock::m_content, &DocBlock::m_stepTitle,
        &DocBlock::m_codeLanguage, &DocBlock::m_richTextData, &DocBlock::m_imageData, &DocBlock::m_isCompleted,
        &DocBlock::m_createdAt, &DocBlock::m_updatedAt, &DocBlock::m_deletedAt, &DocBlock::m_doc};
    return f;
}

void DocBlock::readColumn(int c, sqlite3_stmt* s, int i) {
    StoredModel::readColumn(c, s, i);
    if (c == C_richTextData)
        m_richLoaded = true;
    else if (c == C_imageData)
        m_imageLoaded = true;
}

void DocBlock::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    m_richLoaded = m_imageLoaded = false;   // a loaded block reads its data on first access
    resolve(*this, m_doc, owner, &Doc::m_blocks);
}

void DocBlock::setDoc(const DocPtr& doc) {
    if (setOwner(*this, m_doc, doc))
        didWrite(C_doc);
}

void DocBlock::onInserted() { joinOwner(*this, m_doc); }

void DocBlock::onDeleted(std::vector<std::shared_ptr<PersistentModel>>&) {
    if (auto d = doc())
        d->detachChild(this);
}

// ---------------------------------------------------------------------------------------------
Checklist::Checklist(QUuid id, QString name, OptText details, QString iconName, OptText colorKey, OptText colorHex,
                     OptText remoteId, QDateTime createdAt, QDateTime updatedAt, OptDate deletedAt,
                     const ProjectPtr& project)
    : StoredModel(id), m_name(std::move(name)), m_details(std::move(details)), m_iconName(std::move(iconName)),
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

const std::vector<FieldRef<Checklist>>& Checklist::fields() {
    static const std::vector<FieldRef<Checklist>> f{
        std::monostate{}, &Checklist::m_name, &Checklist::m_details, &Checklist::m_iconName,
        &Checklist::m_colorKey, &Checklist::m_colorHex, &Checklist::m_remoteId, &Checklist::m_createdAt,
        &Checklist::m_updatedAt, &Checklist::m_deletedAt, &Checklist::m_project};
    return f;
}

void Checklist::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_project, owner, &Project::m_checklists);
}

void Checklist::setProject(const ProjectPtr& project) {
    if (setOwner(*this, m_project, project))
        didWrite(C_project);
}

void Checklist::onInserted() {
    joinOwner(*this, m_project);
    insertNewChildren(*this, m_columns);
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
    appendChild(*this, column, &ChecklistColumn::checklist, &ChecklistColumn::setChecklist);
}

void Checklist::removeColumn(const ChecklistColumnPtr& column) {
    removeChild(*this, column, &ChecklistColumn::checklist, &ChecklistColumn::setChecklist);
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
    : StoredModel(id), m_name(std::move(name)), m_iconName(std::move(iconName)), m_colorKey(std::move(colorKey)),
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

const std::vector<FieldRef<ChecklistColumn>>& ChecklistColumn::fields() {
    static const std::vector<FieldRef<ChecklistColumn>> f{
        std::monostate{}, &ChecklistColumn::m_name, &ChecklistColumn::m_iconName, &ChecklistColumn::m_colorKey,
        &ChecklistColumn::m_colorHex, &ChecklistColumn::m_orderIndex, &ChecklistColumn::m_remoteId,
        &ChecklistColumn::m_createdAt, &ChecklistColumn::m_updatedAt, &ChecklistColumn::m_deletedAt,
        &ChecklistColumn::m_checklist};
    return f;
}

void ChecklistColumn::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_checklist, owner, &Checklist::m_columns);
}

void ChecklistColumn::setChecklist(const ChecklistPtr& checklist) {
    if (setOwner(*this, m_checklist, checklist))
        didWrite(C_checklist);
}

void ChecklistColumn::onInserted() {
    joinOwner(*this, m_checklist);
    insertNewChildren(*this, m_cards);
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
    appendChild(*this, card, &ChecklistCard::column, &ChecklistCard::setColumn);
}

void ChecklistColumn::removeCard(const ChecklistCardPtr& card) {
    removeChild(*this, card, &ChecklistCard::column, &ChecklistCard::setColumn);
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
    : StoredModel(id), m_title(std::move(title)), m_notes(std::move(notes)), m_orderIndex(orderIndex),
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

const std::vector<FieldRef<ChecklistCard>>& ChecklistCard::fields() {
    static const std::vector<FieldRef<ChecklistCard>> f{
        std::monostate{}, &ChecklistCard::m_title, &ChecklistCard::m_notes, &ChecklistCard::m_orderIndex,
        &ChecklistCard::m_remoteId, &ChecklistCard::m_createdAt, &ChecklistCard::m_updatedAt,
        &ChecklistCard::m_deletedAt, &ChecklistCard::m_column};
    return f;
}

void ChecklistCard::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_column, owner, &ChecklistColumn::m_cards);
}

void ChecklistCard::setColumn(const ChecklistColumnPtr& column) {
    if (setOwner(*this, m_column, column))
        didWrite(C_column);
}

void ChecklistCard::onInserted() {
    joinOwner(*this, m_column);
    insertNewChildren(*this, m_attachments);
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
    appendChild(*this, attachment, &ChecklistAttachment::card, &ChecklistAttachment::setCard);
}

void ChecklistCard::removeAttachment(const ChecklistAttachmentPtr& attachment) {
    removeChild(*this, attachment, &ChecklistAttachment::card, &ChecklistAttachment::setCard);
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
    : StoredModel(id), m_fileName(std::move(fileName)), m_mimeType(std::move(mimeType)),
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

const std::vector<FieldRef<ChecklistAttachment>>& ChecklistAttachment::fields() {
    static const std::vector<FieldRef<ChecklistAttachment>> f{
        std::monostate{}, &ChecklistAttachment::m_fileName, &ChecklistAttachment::m_mimeType,
        &ChecklistAttachment::m_localPath, &ChecklistAttachment::m_remoteId, &ChecklistAttachment::m_createdAt,
        &ChecklistAttachment::m_card};
    return f;
}

void ChecklistAttachment::resolveLink(int, const std::shared_ptr<PersistentModel>& owner) {
    resolve(*this, m_card, owner, &ChecklistCard::m_attachments);
}

void ChecklistAttachment::setCard(const ChecklistCardPtr& card) {
    if (setOwner(*this, m_card, card))
        didWrite(C_card);
}

void ChecklistAttachment::onInserted() { joinOwner(*this, m_card); }

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
