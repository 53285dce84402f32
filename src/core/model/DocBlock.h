#pragma once

#include "core/model/StoredModel.h"

#include <QList>

#include <functional>

enum class DocBlockType { text, code, image };
namespace DocBlockTypeInfo {
QString rawValue(DocBlockType t);
std::optional<DocBlockType> fromRaw(const QString& raw);
const QList<DocBlockType>& allCases();
} // namespace DocBlockTypeInfo

#define TOLMEK_DOC_BLOCK_FIELDS(X)                       \
    X(field, QString, typeRaw, setTypeRaw)               \
    X(field, qint64, order, setOrder)                    \
    X(field, QString, content, setContent)               \
    X(field, OptText, stepTitle, setStepTitle)           \
    X(field, OptText, codeLanguage, setCodeLanguage)     \
    X(lazyField, OptData, richTextData, setRichTextData) \
    X(lazyField, OptData, imageData, setImageData)       \
    X(field, bool, isCompleted, setIsCompleted)          \
    TOLMEK_STAMP_FIELDS(X)                               \
    X(ownedBy, Doc, doc, setDoc)

// The stored values of a block.
TOLMEK_STORED_FIELDS(DocBlock, TOLMEK_DOC_BLOCK_FIELDS);

// One block of a document's body: text, code or image.
class DocBlock final : public StoredModel<DocBlock, DocBlockFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(DocBlock, TOLMEK_DOC_BLOCK_FIELDS)
    static constexpr bool kLoadsPerOwner = true;

    // "code" and "image" are their kinds; any other raw text is a text block.
    DocBlockType type() const;

    // Large data, read from the file on first access.
    const OptData& richTextData() const;
    void setRichTextData(const OptData& data);
    const OptData& imageData() const;
    // Whether the block holds a picture, read from the file only when its read did not tell.
    bool hasImageData() const;
    // Reads the picture's bytes on any thread: the value in memory when it is not in the file yet, else
    // the file's (for decoding off the window's thread, without keeping the bytes here).
    std::function<OptData()> imageDataReader() const;
    // Forgets the picture's bytes read from the file (read again on next access); kept while unsaved.
    void releaseImageData();
    void setImageData(const OptData& data);

protected:
    void setColumnValue(int column, const ColumnValue& value) override;

private:
    const OptData& lazyData(OptData DocBlockFields::*member, bool& loaded) const;
    void writeData(OptData DocBlockFields::*member, bool& loaded, const OptData& data);

    mutable bool m_richLoaded = true; // false only for stored blocks not read yet
    mutable bool m_imageLoaded = true;
};
