#include "editor/DocEdits.h"

#include "core/model/Clock.h"

#include <algorithm>
#include <limits>

namespace {
constexpr qint64 kHighest = std::numeric_limits<qint64>::max();
constexpr qint64 kLowest = std::numeric_limits<qint64>::min();
} // namespace

DocEdits::DocEdits(ModelContext& context, DocPtr doc) : m_context(context), m_doc(std::move(doc)) {}

std::vector<DocBlockPtr> DocEdits::visibleBlocks(const Doc& doc) {
    std::vector<DocBlockPtr> out;
    for (const auto& b : doc.blocks())
        if (!b->deletedAt())
            out.push_back(b);
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a->order() < b->order(); });
    return out;
}

DocBlockPtr DocEdits::makeBlock(const QString& typeRaw, qint64 order, const QString& content, const OptText& stepTitle,
                                const OptText& codeLanguage, const OptData& richTextData, const OptData& imageData) {
    const QDateTime now = Clock::now();
    auto block = std::make_shared<DocBlock>(DocBlockFields{.typeRaw = typeRaw,
                                                           .order = order,
                                                           .content = content,
                                                           .stepTitle = stepTitle,
                                                           .codeLanguage = codeLanguage,
                                                           .richTextData = richTextData,
                                                           .imageData = imageData,
                                                           .createdAt = now,
                                                           .updatedAt = now,
                                                           .doc = m_doc});
    m_context.insert(block);
    m_doc->appendBlock(block);
    return block;
}

DocBlockPtr DocEdits::addBlock(DocBlockType type, bool saveAgain) {
    std::optional<qint64> highest;
    for (const auto& b : m_doc->blocks())
        highest = highest ? std::max(*highest, b->order()) : b->order();
    if (highest == kHighest) {
        renumber();
        highest = qint64(m_doc->blocks().size()) - 1;
    }
    const qint64 order = highest ? *highest + 1 : 0;
    const QString raw = DocBlockTypeInfo::rawValue(type);
    const OptText language = type == DocBlockType::code ? OptText(QStringLiteral("bash")) : std::nullopt;
    auto block = makeBlock(raw, order, QString(), std::nullopt, language, std::nullopt, std::nullopt);
    touchAndSave();
    if (saveAgain)
        save();
    return block;
}

void DocEdits::touchAndSave() {
    m_doc->setUpdatedAt(Clock::now());
    save();
}

bool DocEdits::save() { return m_context.save(); }

void DocEdits::setTitle(const QString& title) {
    m_doc->setTitle(title);
    touchAndSave();
}

void DocEdits::setStatus(DocStatus status) {
    m_doc->setStatusRaw(DocStatusInfo::rawValue(status));
    touchAndSave();
}

bool DocEdits::moveBlock(const DocBlockPtr& dragged, const DocBlockPtr& target) {
    if (!dragged || !target || dragged->id() == target->id())
        return false;
    const auto list = visibleBlocks();
    auto indexOf = [&](const QUuid& id) -> int {
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i]->id() == id)
                return int(i);
        return -1;
    };
    const int from = indexOf(dragged->id());
    const int to = indexOf(target->id());
    if (from < 0 || to < 0)
        return false;
    // The blocks between shift by one: at an end of the range, the list is numbered afresh first.
    const bool down = from < to;
    for (int i = down ? from + 1 : to; i <= (down ? to : from - 1); ++i)
        if (list[size_t(i)]->order() == (down ? kLowest : kHighest)) {
            renumber();
            break;
        }
    const qint64 targetOrder = target->order();
    if (from < to) {
        for (int i = from + 1; i <= to; ++i)
            list[size_t(i)]->setOrder(list[size_t(i)]->order() - 1);
    } else {
        for (int i = to; i <= from - 1; ++i)
            list[size_t(i)]->setOrder(list[size_t(i)]->order() + 1);
    }
    dragged->setOrder(targetOrder);
    dragged->setUpdatedAt(Clock::now());
    m_doc->setUpdatedAt(Clock::now());
    save();
    return true;
}

void DocEdits::renumber() {
    std::vector<DocBlockPtr> all(m_doc->blocks().begin(), m_doc->blocks().end());
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->order() < b->order(); });
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i]->order() != qint64(i))
            all[i]->setOrder(qint64(i));
}

void DocEdits::swapOrder(const DocBlockPtr& block, const DocBlockPtr& other) {
    const qint64 a = block->order();
    const qint64 b = other->order();
    block->setOrder(b);
    other->setOrder(a);
    block->setUpdatedAt(Clock::now());
    other->setUpdatedAt(Clock::now());
    m_doc->setUpdatedAt(Clock::now());
    save();
}

bool DocEdits::moveUp(const DocBlockPtr& block) {
    const auto list = visibleBlocks();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i]->id() != block->id())
            continue;
        if (i == 0)
            return false;
        swapOrder(block, list[i - 1]);
        return true;
    }
    return false;
}

bool DocEdits::moveDown(const DocBlockPtr& block) {
    const auto list = visibleBlocks();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i]->id() != block->id())
            continue;
        if (i + 1 >= list.size())
            return false;
        swapOrder(block, list[i + 1]);
        return true;
    }
    return false;
}

bool DocEdits::isFirst(const DocBlockPtr& block) const {
    const auto list = visibleBlocks();
    return !list.empty() && list.front()->id() == block->id();
}

bool DocEdits::isLast(const DocBlockPtr& block) const {
    const auto list = visibleBlocks();
    return !list.empty() && list.back()->id() == block->id();
}

DocBlockPtr DocEdits::duplicate(const DocBlockPtr& block) {
    // The copy and the blocks after it take the next numbers: none may go past the top of the range.
    const auto list = visibleBlocks();
    if (std::any_of(list.begin(), list.end(), [](const DocBlockPtr& b) { return b->order() == kHighest; }))
        renumber();
    const qint64 newOrder = block->order() + 1;
    for (const auto& b : list) {
        if (b->order() >= newOrder) {
            b->setOrder(b->order() + 1);
            b->setUpdatedAt(Clock::now());
        }
    }
    auto copy = makeBlock(DocBlockTypeInfo::rawValue(block->type()), newOrder, block->content(), block->stepTitle(),
                          block->codeLanguage(), block->richTextData(), block->imageData());
    m_doc->setUpdatedAt(Clock::now());
    save();
    return copy;
}

void DocEdits::hide(const DocBlockPtr& block) {
    block->setDeletedAt(Clock::now());
    block->setUpdatedAt(Clock::now());
    m_doc->setUpdatedAt(Clock::now());
    save();
}

DocBlockPtr DocEdits::findBlock(const QUuid& id) const {
    if (id.isNull())
        return nullptr;
    for (const auto& b : m_doc->blocks())
        if (b->id() == id)
            return b;
    return nullptr;
}

void DocEdits::touchBlockAndSave(const DocBlockPtr& block) {
    block->setUpdatedAt(Clock::now());
    save();
}

void DocEdits::setCodeLanguage(const DocBlockPtr& block, const QString& language) {
    writeCodeLanguage(block, language);
    touchBlockAndSave(block);
}

void DocEdits::setImageData(const DocBlockPtr& block, const std::optional<QByteArray>& data) {
    writeImageData(block, data);
    touchBlockAndSave(block);
}

void DocEdits::writeContent(const DocBlockPtr& block, const QString& content) { block->setContent(content); }

void DocEdits::writeRichText(const DocBlockPtr& block, const std::optional<QByteArray>& rtf) {
    block->setRichTextData(rtf);
}

void DocEdits::writeCodeLanguage(const DocBlockPtr& block, const QString& language) {
    block->setCodeLanguage(language);
}

void DocEdits::writeImageData(const DocBlockPtr& block, const std::optional<QByteArray>& data) {
    block->setImageData(data);
}

void DocEdits::toggleCompleted(const DocBlockPtr& block) {
    // A block holding a large picture may not have its stored state yet: the toggle turns that one.
    m_context.completeRowNow(block);
    block->setIsCompleted(!block->isCompleted());
    touchBlockAndSave(block);
}

QString DocEdits::languageOf(const DocBlock& block) { return block.codeLanguage().value_or(QStringLiteral("bash")); }
