#pragma once

#include "core/model/StoredModel.h"

#include <QList>

enum class DocBlockType { text, code, image };
namespace DocBlockTypeInfo {
QString rawValue(DocBlockType t);
std::optional<DocBlockType> fromRaw(const QString& raw);
const QList<DocBlockType>& allCases();
} // namespace DocBlockTypeInfo

// The stored values of a block; a new block is built from them.
struct DocBlockFields {
    QUuid id = QUuid::createUuid();
    QString typeRaw;
    qint64 order = 0;
    QString content;
    OptText stepTitle;
    OptText codeLanguage;
    OptData richTextData;
    OptData imageData;
    bool isCompleted = false;
    QDateTime createdAt;
    QDateTime updatedAt;
    OptDate deletedAt;
    std::weak_ptr<Doc> doc;
};

// One block of a document's body: text, code or image.
class DocBlock final : public StoredModel<DocBlock, DocBlockFields> {
    Q_OBJECT
public:
    TOLMEK_STORED_TYPE(DocBlock)
    static constexpr bool kLoadsPerOwner = true;

    TOLMEK_FIELD(QString, typeRaw, setTypeRaw)
    TOLMEK_FIELD(qint64, order, setOrder)
    TOLMEK_FIELD(QString, content, setContent)
    TOLMEK_FIELD(OptText, stepTitle, setStepTitle)
    TOLMEK_FIELD(OptText, codeLanguage, setCodeLanguage)
    TOLMEK_FIELD(bool, isCompleted, setIsCompleted)
    TOLMEK_FIELD(QDateTime, createdAt, setCreatedAt)
    TOLMEK_FIELD(QDateTime, updatedAt, setUpdatedAt)
    TOLMEK_FIELD(OptDate, deletedAt, setDeletedAt)

public:
    // "code" and "image" are their kinds; any other raw text is a text block.
    DocBlockType type() const;

    // Large data, read from the file on first access.
    const OptData& richTextData() const;
    void setRichTextData(const OptData& data);
    const OptData& imageData() const;
    void setImageData(const OptData& data);

    TOLMEK_OWNER_LINK(Doc, doc, setDoc)

protected:
    void setColumnValue(int column, const ColumnValue& value) override;

private:
    mutable bool m_richLoaded = true; // false only for stored blocks not read yet
    mutable bool m_imageLoaded = true;
};
