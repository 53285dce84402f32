#include "core/model/DocBlock.h"

#include "core/model/Doc.h"
#include "core/store/ModelContext.h"
#include "core/model/RawEnum.h"
#include "core/model/Relations.h"

TOLMEK_DEFINE_RAW_ENUM(DocBlockTypeInfo, DocBlockType, {DocBlockType::text, "text"}, {DocBlockType::code, "code"},
                       {DocBlockType::image, "image"})

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

const OptData& DocBlock::lazyData(OptData DocBlockFields::*member, bool& loaded) const {
    ensureLoaded(columnOf(member), loaded);
    return m_f.*member;
}

void DocBlock::writeData(OptData DocBlockFields::*member, bool& loaded, const OptData& data) {
    loaded = true;
    write(member, data);
}

const OptData& DocBlock::richTextData() const { return lazyData(&DocBlockFields::richTextData, m_richLoaded); }
void DocBlock::setRichTextData(const OptData& data) { writeData(&DocBlockFields::richTextData, m_richLoaded, data); }
const OptData& DocBlock::imageData() const { return lazyData(&DocBlockFields::imageData, m_imageLoaded); }
void DocBlock::setImageData(const OptData& data) { writeData(&DocBlockFields::imageData, m_imageLoaded, data); }

bool DocBlock::hasImageData() const {
    const int column = columnOf(&DocBlockFields::imageData);
    if (!m_imageLoaded)
        if (const auto present = storedBytesPresent(column))
            return *present;
    const OptData& data = imageData();
    return data && !data->isEmpty();
}

std::function<OptData()> DocBlock::imageDataReader() const {
    const int column = columnOf(&DocBlockFields::imageData);
    if (m_imageLoaded || isUnsaved(column) || !modelContext())
        return [data = m_f.imageData] { return data; };
    return modelContext()->storedBytesReader(*this, column);
}

void DocBlock::releaseImageData() {
    if (!m_imageLoaded || isUnsaved(columnOf(&DocBlockFields::imageData)) || !modelContext())
        return;
    m_f.imageData.reset();
    m_imageLoaded = false;
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
