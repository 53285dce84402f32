#pragma once

#include <QByteArray>
#include <QTextFormat>
#include <QUrl>

#include <memory>

class QTextDocument;

// Our RTF codec for the rich-text editor's storage and for pasted or imported RTF.
//
// `write` keeps what the formatting toolbar can produce: the default and other font families,
// pixel sizes, weights (semibold included), italic, underline, strikethrough, text colours,
// highlights with their transparency, paragraphs, line breaks and alignment, and what other
// programs' RTF brings that the editor can keep: superscript, subscript, links, lists, footnotes, tables,
// pictures (their groups as they came), hidden text, paragraph style numbers and the style sheet. A format
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

// What a read had to leave out: writing the document would lose it.
enum Lost : unsigned {
    lostObject = 1, // an embedded object
    lostShape = 2, // a drawing, a text box
    lostHeaderFooter = 4,
    lostComment = 8,
    lostPicture = 16, // a picture in another format than PNG or JPEG
    lostNestedTable = 32, // a table inside a table's cell: its cells are read as text
};
struct ReadInfo {
    unsigned lost = 0; // Lost flags
};

// Replaces the content of `doc` with the RTF in `data`. Returns false only when `data` is not RTF
// (it does not start with "{\rtf"); the document is then left empty. Damaged or hostile RTF
// yields what could be read; a closing brace that would end the document before its data ends is
// read past. Footnotes are numbered after the document's text. Lists and tables are read as lists and
// tables, PNG and JPEG pictures as images, and what a style sheet's styles set is read where a
// paragraph or a run names them. What has no place in a QTextDocument is kept for `write`: the style
// sheet, each picture's own bytes, hidden text (an object that takes no room). What cannot be kept
// is told in `info`.
bool read(const QByteArray& data, QTextDocument& doc, ReadInfo* info = nullptr);

// The document's text as a person sees it: toPlainText() without the objects standing for pictures
// and hidden text.
QString plainText(const QTextDocument& doc);

// Hidden text (\v) is an object character of this type, its text in hiddenTextProperty.
inline constexpr int hiddenTextObject = QTextFormat::UserObject + 0x72;
inline constexpr int hiddenTextProperty = QTextFormat::UserProperty + 0x7202;
// A picture's RTF group as read: a document resource under pictureGroupName(its image's name).
inline constexpr int pictureResource = 0x7203;
QUrl pictureGroupName(const QString& imageName);
// A paragraph's style number (\s), written back with it.
inline constexpr int styleProperty = QTextFormat::UserProperty + 0x7204;
// A table's \cellx edges, in twips, written back as they were read.
inline constexpr int cellEdgesProperty = QTextFormat::UserProperty + 0x7205;

// On the block of a footnote that `read` put after the text ("2. Le texte de la note."): its number.
// `write` writes such a block, while it still starts with its number, as a footnote again.
inline constexpr int footnoteProperty = QTextFormat::UserProperty + 0x7201;

// The position where the text of `doc` ends, before the footnotes `read` put after it: where typing
// "at the end" belongs.
int endOfText(const QTextDocument& doc);

} // namespace rtf
