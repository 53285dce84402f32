#pragma once

#include <QByteArray>
#include <QTextFormat>

#include <memory>

class QTextDocument;

// Our RTF codec for the rich-text editor's storage and for pasted or imported RTF.
//
// `write` keeps what the formatting toolbar can produce: the default and other font families,
// pixel sizes, weights (semibold included), italic, underline, strikethrough, text colours,
// highlights with their transparency, paragraphs, line breaks and alignment, and what other
// programs' RTF brings that the editor can keep: superscript, subscript, links, lists and footnotes. A format
// without a foreground colour stays without one, so that its text follows the theme.
// write(read(write(doc))) is byte-identical to write(doc).
namespace rtf {

QByteArray write(const QTextDocument& doc);

// What a write encoded for each paragraph, kept for the next write of the same document, so that
// writing it again after a key encodes only the paragraphs that changed. It follows the document's
// changes as the document tells them (contentsChange, which needs a layout: binding makes one), so a
// write must not come inside an edit block, nor the document be changed by a contentsChange handler. A
// paragraph's kept bytes are also dropped when its text's revision or length, its alignment or the
// numbers of the fonts and colours it names differ.
class ParagraphCache {
public:
    ParagraphCache();
    ~ParagraphCache();
    ParagraphCache(const ParagraphCache&) = delete;
    ParagraphCache& operator=(const ParagraphCache&) = delete;
    void clear();
    qsizetype size() const;

    struct Entries;
    Entries& entries() { return *m_entries; }

private:
    std::unique_ptr<Entries> m_entries;
};

// The same bytes as write(doc).
QByteArray write(const QTextDocument& doc, ParagraphCache& cache);

// Replaces the content of `doc` with the RTF in `data`. Returns false only when `data` is not RTF
// (it does not start with "{\rtf"); the document is then left empty. Damaged or hostile RTF
// yields what could be read. Text that has no place in a QTextDocument is kept as text: table
// cells separated by tabs, footnotes numbered after the document's text. Lists are read as lists,
// and what a style sheet's styles set is read where a paragraph or a run names them.
bool read(const QByteArray& data, QTextDocument& doc);

// On the block of a footnote that `read` put after the text ("2. Le texte de la note."): its number.
// `write` writes such a block, while it still starts with its number, as a footnote again.
inline constexpr int footnoteProperty = QTextFormat::UserProperty + 0x7201;

// The position where the text of `doc` ends, before the footnotes `read` put after it: where typing
// "at the end" belongs.
int endOfText(const QTextDocument& doc);

} // namespace rtf
