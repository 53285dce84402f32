#include "core/model/DocBlock.h"

#include "core/model/Doc.h"
#include "core/model/Relations.h"

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

const std::vector<Field<DocBlockFields>>& DocBlock::fieldTable() {
    using F = DocBlockFields;
    static const std::vector<Field<F>> table{
        field("id", &F::id),
        field("typeRaw", &F::typeRaw),
        field("order", &F::order),
        field("content", &F::content),
        field("stepTitle", &F::stepTitle),
        field("codeLanguage", &F::codeLanguage),
        lazyField("richTextData", &F::richTextData),
        lazyField("imageData", &F::imageData),
        field("isCompleted", &F::isCompleted),
        field("createdAt", &F::createdAt),
        field("updatedAt", &F::updatedAt),
        field("deletedAt", &F::deletedAt),
        link("doc", &F::doc, entity::Doc, DeleteRule::cascade),
    };
    return table;
}

DocBlock::DocBlock(LoadedRow, QUuid id) : StoredModel(DocBlockFields{id}) {
    m_richLoaded = m_imageLoaded = false; // a loaded block reads its data on first access
}

DocBlockType DocBlock::type() const {
    if (m_f.typeRaw == QLatin1String("code"))
        return DocBlockType::code;
    if (m_f.typeRaw == QLatin1String("image"))
        return DocBlockType::image;
    return DocBlockType::text;
}

const OptData& DocBlock::richTextData() const {
    ensureLoaded(columnOf(&DocBlockFields::richTextData), m_richLoaded);
    return m_f.richTextData;
}

void DocBlock::setRichTextData(const OptData& data) {
    m_richLoaded = true;
    write(&DocBlockFields::richTextData, data);
}

const OptData& DocBlock::imageData() const {
    ensureLoaded(columnOf(&DocBlockFields::imageData), m_imageLoaded);
    return m_f.imageData;
}

void DocBlock::setImageData(const OptData& data) {
    m_imageLoaded = true;
    write(&DocBlockFields::imageData, data);
}

void DocBlock::setColumnValue(int column, const ColumnValue& value) {
    StoredModel::setColumnValue(column, value);
    if (column == columnOf(&DocBlockFields::richTextData))
        m_richLoaded = true;
    else if (column == columnOf(&DocBlockFields::imageData))
        m_imageLoaded = true;
}

TOLMEK_DEFINE_OWNER_LINK(DocBlock, Doc, doc, setDoc, blocks)

void DocBlock::onInserted() { relations::joinOwner(*this, m_f.doc); }

void DocBlock::onDeleted(std::vector<std::shared_ptr<PersistentModel>>&) { leaveOwner(&Fields::doc); }
