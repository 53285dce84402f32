#pragma once

#include "core/model/Models.h"

#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

class ModelContext;

// Every change the document editor makes to a document and its blocks. Each operation writes the
// objects, stamps what it changes and saves; a failed save is logged by the store and stays pending.
class DocEdits {
public:
    DocEdits(ModelContext& context, DocPtr doc);

    const DocPtr& doc() const { return m_doc; }
    ModelContext& context() const { return m_context; }

    // The blocks without a deletion date, by ascending order; equal orders keep the relationship's order.
    static std::vector<DocBlockPtr> visibleBlocks(const Doc& doc);
    std::vector<DocBlockPtr> visibleBlocks() const { return visibleBlocks(*m_doc); }

    // A new block of `type` after every block, hidden ones included; code blocks start in "bash". Where a
    // number would leave the range (add, drop, duplicate), the blocks are first numbered afresh.
    // `saveAgain` saves once more after the first save (the block added when opening an empty document).
    DocBlockPtr addBlock(DocBlockType type, bool saveAgain = false);

    // Stamps the document and saves.
    void touchAndSave();
    // Saves without stamping anything; returns whether the store took the changes.
    bool save();

    void setTitle(const QString& title); // stored as typed
    void setStatus(DocStatus status);

    // Drops `dragged` onto `target`: the blocks between shift by one towards the dragged block's old
    // place and the dragged block takes the target's order. Returns whether anything changed.
    bool moveBlock(const DocBlockPtr& dragged, const DocBlockPtr& target);
    // Exchanges the order with the nearest visible neighbour above / below.
    bool moveUp(const DocBlockPtr& block);
    bool moveDown(const DocBlockPtr& block);
    bool isFirst(const DocBlockPtr& block) const;
    bool isLast(const DocBlockPtr& block) const;
    // A copy (never completed) directly below `block`; later visible blocks shift up by one.
    DocBlockPtr duplicate(const DocBlockPtr& block);
    // Hides the block; it stays in the store and in the document.
    void hide(const DocBlockPtr& block);
    // The first block of the document (hidden ones included) with this identifier.
    DocBlockPtr findBlock(const QUuid& id) const;

    // Edits of one block: each stamps only that block and saves.
    void touchBlockAndSave(const DocBlockPtr& block);
    void setCodeLanguage(const DocBlockPtr& block, const QString& language);
    void setImageData(const DocBlockPtr& block, const std::optional<QByteArray>& data);
    void toggleCompleted(const DocBlockPtr& block);

    // What a block's editor writes as the person edits: the field only. The editor's change callback then
    // stamps and saves once (touchBlockAndSave). Static: an editor torn down with the screen may still
    // write what it held, after the screen's edits are gone.
    static void writeContent(const DocBlockPtr& block, const QString& content);
    static void writeRichText(const DocBlockPtr& block, const std::optional<QByteArray>& rtf);
    static void writeCodeLanguage(const DocBlockPtr& block, const QString& language);
    static void writeImageData(const DocBlockPtr& block, const std::optional<QByteArray>& data);

    // The language a code block shows and edits: its own, or "bash" when it has none.
    static QString languageOf(const DocBlock& block);

private:
    DocBlockPtr makeBlock(const QString& typeRaw, qint64 order, const QString& content, const OptText& stepTitle,
                          const OptText& codeLanguage, const OptData& richTextData, const OptData& imageData);
    void swapOrder(const DocBlockPtr& block, const DocBlockPtr& other);
    // Numbers every block 0, 1, 2, … in the order they show, hidden ones in their place among them: for when
    // a new number would leave the 64-bit range. The blocks keep their stamps.
    void renumber();

    ModelContext& m_context;
    DocPtr m_doc;
};
