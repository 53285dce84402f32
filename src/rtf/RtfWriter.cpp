#include "rtf/Rtf.h"
#include "rtf/RtfInternal.h"

#include <QColor>
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace rtf {

namespace detail {

// A character format as a paragraph's bytes were written with it.
struct WrittenFormat {
    int index;
    QByteArray attributes;
    QString href;
};

enum class Alignment { left, centre, justify, right };

} // namespace detail

struct ParagraphCache::Entries {
    struct Entry {
        int revision = 0;
        int length = 0;
        detail::Alignment alignment = detail::Alignment::left;
        int style = -1;
        bool inTable = false;
        // In the order of their first use, which is the order they take their fonts and colours in.
        QList<detail::WrittenFormat> formats;
        QByteArray bytes;
        quint32 generation = 0;
    };
    // By the paragraph's block. The document tells every change of text or format, and the paragraphs
    // it touched are dropped; an index Qt gives again to a new block is dropped by the change that made it.
    QHash<int, Entry> byBlock;
    quint32 generation = 0;
    const QTextDocument* doc = nullptr;
    QMetaObject::Connection changes;
    QMetaObject::Connection destroyed;

    ~Entries() { unbind(); }

    void bind(const QTextDocument& document) {
        unbind();
        doc = &document;
        // A document tells its changes only once it has a layout.
        doc->documentLayout();
        changes = QObject::connect(doc, &QTextDocument::contentsChange, [this](int from, int, int added) {
            for (QTextBlock b = doc->findBlock(from); b.isValid() && b.position() <= from + added; b = b.next())
                byBlock.remove(b.fragmentIndex());
        });
        destroyed = QObject::connect(doc, &QObject::destroyed, [this] { unbind(); });
    }

    void unbind() {
        QObject::disconnect(changes);
        QObject::disconnect(destroyed);
        doc = nullptr;
        byBlock.clear();
    }
};

ParagraphCache::ParagraphCache() : m_entries(std::make_unique<Entries>()) {}
ParagraphCache::~ParagraphCache() = default;
void ParagraphCache::clear() { m_entries->byBlock.clear(); }
qsizetype ParagraphCache::size() const { return m_entries->byBlock.size(); }

namespace {

using namespace detail;

void appendInt(QByteArray& out, int value) {
    char buf[16];
    char* p = buf + sizeof buf;
    const bool negative = value < 0;
    unsigned v = negative ? 0u - unsigned(value) : unsigned(value);
    do {
        *--p = char('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative)
        *--p = '-';
    out.append(p, buf + sizeof buf - p);
}

void appendWord(QByteArray& out, const char* word, int value) {
    out += '\\';
    out += word;
    appendInt(out, value);
}

const char kHex[] = "0123456789abcdef";

// Appends `text` as RTF text. Non-ASCII characters are written as \uN with a cp1252 fallback
// (or '?') for readers without Unicode; UTF-16 surrogates are written one by one, as RTF wants.
void appendEscaped(QByteArray& out, QStringView text) {
    // Plain characters are gathered and appended by the chunk: the whole text is written at every key.
    char chunk[256];
    int used = 0;
    auto flush = [&] {
        out.append(chunk, used);
        used = 0;
    };
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c >= 0x20 && c < 0x7F) {
            if (used > int(sizeof chunk) - 2)
                flush();
            if (c == u'\\' || c == u'{' || c == u'}')
                chunk[used++] = '\\';
            chunk[used++] = char(c);
            continue;
        }
        flush();
        switch (c) {
        case u'\t': out += "\\tab "; continue;
        case 0x2028: out += "\\line "; continue;
        case 0x00A0: out += "\\~"; continue;
        case 0x00AD: out += "\\-"; continue;
        case 0x2011: out += "\\_"; continue;
        default: break;
        }
        if (isDroppedChar(c))
            continue;
        appendWord(out, "u", c > 0x7FFF ? int(c) - 0x10000 : int(c));
        if (const unsigned char b = unicodeToCp1252(c); b >= 0x80) {
            out += "\\'";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        } else {
            out += '?';
        }
    }
    flush();
}

bool looksMonospaced(const QString& family) {
    return family.contains(QLatin1String("Mono"), Qt::CaseInsensitive) ||
        family.contains(QLatin1String("Courier"), Qt::CaseInsensitive) ||
        family.contains(QLatin1String("Code"), Qt::CaseInsensitive) ||
        family.contains(QLatin1String("Consol"), Qt::CaseInsensitive) ||
        family.compare(QLatin1String("monospace"), Qt::CaseInsensitive) == 0;
}

QString familyOf(const QTextCharFormat& f) {
    if (f.hasProperty(QTextFormat::FontFamilies)) {
        const QStringList families = f.property(QTextFormat::FontFamilies).toStringList();
        if (!families.isEmpty())
            return families.first();
    }
    if (f.hasProperty(QTextFormat::FontFamily))
        return f.stringProperty(QTextFormat::FontFamily);
    return {};
}

// A table's width when it does not say: about a page's text.
constexpr int kTableTwips = 9000;

// Colour words whose number names an entry of the colour table.
bool isColourWord(std::string_view w) {
    for (const char* c : {"cf", "cb", "highlight", "chcbpat", "chcfpat", "cbpat", "cfpat", "brdrcf", "clcbpat",
                          "clcfpat", "trcbpat", "trcfpat", "ulc"})
        if (w == c)
            return true;
    return false;
}

// Empty footnotes written to keep the numbers of the notes after them: a few at most in real texts.
constexpr int kMaxEmptyNotes = 1000;

int clampPixels(int px) { return std::clamp(px, kMinPixelSize, kMaxPixelSize); }

// Whether appendEscaped writes anything of `text`.
bool writesText(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return !isDroppedChar(c.unicode()); });
}

Alignment alignmentOf(const QTextBlockFormat& format) {
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter)
        return Alignment::centre;
    if (align & Qt::AlignJustify)
        return Alignment::justify;
    if ((align & Qt::AlignRight) && !(align & Qt::AlignLeft))
        return Alignment::right;
    return Alignment::left;
}

class Writer {
public:
    Writer(const QTextDocument& doc, ParagraphCache::Entries* cache) : m_doc(doc), m_cache(cache) {
        QString family = cleanFontName(doc.defaultFont().family());
        if (family.isEmpty())
            family = QStringLiteral("Helvetica");
        m_fonts.append({family, looksMonospaced(family)});
        m_fontIndex.insert(family, 0);
    }

    QByteArray run() {
        m_body.reserve(qsizetype(m_doc.characterCount()) * 11 / 10 + 64);
        m_hasTables = !m_doc.rootFrame()->childFrames().isEmpty();
        if (m_cache)
            ++m_cache->generation;
        // Footnotes read from another program's RTF are written as footnotes again, at the end of the
        // text, where reading puts them back.
        QList<QTextBlock> notes;
        QTextBlock last;
        for (QTextBlock block = m_doc.begin(); block.isValid(); block = block.next()) {
            if (noteNumber(block) > 0)
                notes.append(block);
            else
                last = block;
        }
        bool firstBlock = true;
        Place previous;
        for (QTextBlock block = m_doc.begin(); block.isValid(); block = block.next()) {
            if (noteNumber(block) > 0)
                continue;
            const Place place = placeOf(block);
            if (previous.table && !(place == previous)) {
                // The end of a cell, and of its row when the next block is not in that row.
                if (place.table == previous.table && place.row == previous.row) {
                    m_body += "\\cell ";
                } else {
                    m_body += "\\cell\\row\n";
                    if (place.table)
                        writeRowDefinition(*place.table);
                }
            } else if (place.table && !previous.table) {
                if (!firstBlock)
                    m_body += "\\par\n";
                writeRowDefinition(*place.table);
            } else if (!firstBlock) {
                // The paragraph mark carries the format of the block it opens, which an empty line
                // shows (its height) and typing at its start takes.
                const QByteArray mark = written(block.charFormatIndex(), [&] { return block.charFormat(); }).attributes;
                if (mark.isEmpty()) {
                    m_body += "\\par\n";
                } else {
                    m_body += '{';
                    m_body += mark;
                    m_body += "\\par}\n";
                }
            }
            firstBlock = false;
            previous = place;
            writeBlock(block, place.table != nullptr);
            if (block == last)
                writeNotes(notes);
        }
        if (!last.isValid())
            writeNotes(notes);
        m_body += '}';
        writeStyleSheet();
        if (m_cache) {
            // Paragraphs gone from the text go from the cache.
            for (auto it = m_cache->byBlock.begin(); it != m_cache->byBlock.end();)
                it = it->generation == m_cache->generation ? std::next(it) : m_cache->byBlock.erase(it);
        }
        return header() + m_body;
    }

private:
    struct Font {
        QString name;
        bool modern;
    };

    // Where a block is: the cell of a table of the text's own (a table inside it counts as its cell's).
    struct Place {
        const QTextTable* table = nullptr;
        int row = 0;
        int col = 0;
        bool operator==(const Place&) const = default;
    };

    Place placeOf(const QTextBlock& block) const {
        if (!m_hasTables)
            return {};
        const QTextFrame* root = m_doc.rootFrame();
        QTextFrame* frame = m_doc.frameAt(block.position());
        while (frame && frame != root && frame->parentFrame() != root)
            frame = frame->parentFrame();
        const auto* table = qobject_cast<const QTextTable*>(frame);
        if (!table)
            return {};
        const QTextTableCell cell = table->cellAt(block.position());
        return cell.isValid() ? Place{table, cell.row(), cell.column()} : Place{table, 0, 0};
    }

    void writeRowDefinition(const QTextTable& table) {
        const QTextTableFormat format = table.format();
        const int columns = table.columns();
        const QVariantList read = format.property(cellEdgesProperty).toList();
        m_body += "\\trowd\\trgaph108";
        for (int i = 0; i < columns; ++i) {
            if (format.border() > 0)
                m_body +=
                    "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
            appendWord(m_body, "cellx",
                       read.size() == columns ? read.at(i).toInt() : int(qint64(kTableTwips) * (i + 1) / columns));
        }
        m_body += '\n';
    }

    // The style sheet read with the text, its fonts and colours numbered as this write numbers them.
    void writeStyleSheet() {
        const QVariant kept = m_doc.property(kStyleSheetProperty);
        if (!kept.isValid())
            return;
        const QVariantMap sheet = kept.toMap();
        const QByteArray raw = sheet.value(QStringLiteral("raw")).toByteArray();
        if (raw.isEmpty())
            return;
        const QVariantMap fonts = sheet.value(QStringLiteral("fonts")).toMap();
        const QVariantList colours = sheet.value(QStringLiteral("colours")).toList();
        QByteArray& out = m_styleSheet;
        out.reserve(raw.size() + 16);
        const qsizetype n = raw.size();
        for (qsizetype i = 0; i < n;) {
            if (raw[i] != '\\' || i + 1 >= n || !std::isalpha(uchar(raw[i + 1]))) {
                // A character, or an escaped one whole.
                const qsizetype len = raw[i] == '\\' && i + 1 < n ? 2 : 1;
                out.append(raw.constData() + i, len);
                i += len;
                continue;
            }
            qsizetype j = i + 1;
            while (j < n && std::isalpha(uchar(raw[j])))
                ++j;
            const std::string_view word(raw.constData() + i + 1, std::size_t(j - i - 1));
            qsizetype k = j;
            if (k < n && raw[k] == '-')
                ++k;
            while (k < n && std::isdigit(uchar(raw[k])))
                ++k;
            const QByteArray digits = raw.mid(j, k - j);
            bool ok = false;
            const int number = digits.toInt(&ok);
            // A font or colour the tables did not hold is the default one.
            int mapped = -1;
            if (ok && word == "f") {
                const QString name = cleanFontName(fonts.value(QString::number(number)).toString());
                mapped = name.isEmpty() ? 0 : fontIndex(name, false);
            } else if (ok && isColourWord(word)) {
                const QVariant rgb = number >= 0 && number < colours.size() ? colours.at(number) : QVariant();
                mapped = rgb.isNull() ? 0 : colourIndex(QRgb(rgb.toUInt()) | 0xFF000000u);
            }
            out.append(raw.constData() + i, j - i);
            if (mapped >= 0)
                appendInt(out, mapped);
            else
                out.append(digits);
            i = k;
        }
    }

    // The number of the footnote `block` holds, or 0 when it is not one (any more).
    static int noteNumber(const QTextBlock& block) {
        const int number = block.blockFormat().intProperty(footnoteProperty);
        return number > 0 && block.text().startsWith(QString::number(number) + QStringLiteral(". ")) ? number : 0;
    }

    void writeNotes(const QList<QTextBlock>& notes) {
        int written = 0;
        for (const QTextBlock& note : notes) {
            const int number = noteNumber(note);
            // Reading numbers the notes in order: empty ones stand for the numbers not shown.
            for (; written < number - 1 && written < notes.size() + kMaxEmptyNotes; ++written)
                m_body += "{\\footnote}";
            m_body += "{\\footnote\\pard\\plain ";
            collectRuns(note, int(QString::number(number).size()) + 2);
            writeRuns();
            m_body += '}';
            ++written;
        }
    }

    void writeListMarker(const QTextBlock& block, const QTextList& list) {
        const QTextListFormat format = list.format();
        const int level = std::clamp(format.indent(), 1, 9);
        const char* numbering = "\\pnlvlbody\\pndec";
        QString bullet;
        switch (format.style()) {
        case QTextListFormat::ListDisc: bullet = QStringLiteral("\u2022"); break;
        case QTextListFormat::ListCircle: bullet = QStringLiteral("\u25E6"); break;
        case QTextListFormat::ListSquare: bullet = QStringLiteral("\u25AA"); break;
        case QTextListFormat::ListLowerAlpha: numbering = "\\pnlvlbody\\pnlcltr"; break;
        case QTextListFormat::ListUpperAlpha: numbering = "\\pnlvlbody\\pnucltr"; break;
        case QTextListFormat::ListLowerRoman: numbering = "\\pnlvlbody\\pnlcrm"; break;
        case QTextListFormat::ListUpperRoman: numbering = "\\pnlvlbody\\pnucrm"; break;
        default: break;
        }
        // The marker as text, for readers without lists, then the numbering itself.
        m_body += "{\\pntext ";
        appendEscaped(m_body, bullet.isEmpty() ? list.itemText(block) : bullet);
        m_body += "\\tab}{\\*\\pn";
        m_body += bullet.isEmpty() ? numbering : "\\pnlvlblt";
        // Which list: two lists one after the other stay two, one list around other paragraphs one.
        const auto id = m_listIds.constFind(&list);
        appendWord(m_body, kListIdWord, id != m_listIds.constEnd() ? *id : int(m_listIds.size()) + 1);
        if (id == m_listIds.constEnd())
            m_listIds.insert(&list, int(m_listIds.size()) + 1);
        if (level > 1)
            appendWord(m_body, kListLevelWord, level);
        if (bullet.isEmpty()) {
            m_body += "{\\pntxta .}";
        } else {
            m_body += "{\\pntxtb ";
            appendEscaped(m_body, bullet);
            m_body += '}';
        }
        m_body += '}';
    }

    void writeBlock(const QTextBlock& block, bool inTable) {
        const qsizetype begin = m_body.size();
        const QTextBlockFormat blockFormat = block.blockFormat();
        const Alignment alignment = alignmentOf(blockFormat);
        const int style = blockFormat.hasProperty(styleProperty) ? blockFormat.intProperty(styleProperty) : -1;
        const QTextList* list = block.textList();
        // A list item's marker depends on the items before it: it is written afresh.
        ParagraphCache::Entries::Entry* entry = m_cache && !list ? &m_cache->byBlock[block.fragmentIndex()] : nullptr;
        if (entry) {
            entry->generation = m_cache->generation;
            if (!entry->bytes.isEmpty() && entry->revision == block.revision() && entry->length == block.length() &&
                entry->alignment == alignment && entry->style == style && entry->inTable == inTable &&
                writtenAlike(entry->formats)) {
                m_body += entry->bytes;
                return;
            }
        }
        // Collecting the runs registers their fonts and colours, in the order a whole write does.
        collectRuns(block, 0);
        m_body += "\\pard";
        if (inTable)
            m_body += "\\intbl";
        if (style >= 0)
            appendWord(m_body, "s", style);
        switch (alignment) {
        case Alignment::centre: m_body += "\\qc"; break;
        case Alignment::justify: m_body += "\\qj"; break;
        case Alignment::right: m_body += "\\qr"; break;
        case Alignment::left: break;
        }
        if (list)
            writeListMarker(block, *list); // ends with a group: the text follows it directly
        else
            m_body += ' ';
        writeRuns();
        if (entry) {
            entry->revision = block.revision();
            entry->length = block.length();
            entry->alignment = alignment;
            entry->style = style;
            entry->inTable = inTable;
            entry->formats = m_formatsUsed;
            entry->bytes = m_body.sliced(begin);
        }
    }

    // Whether `formats` are written now as they were (the tables number fonts and colours by their first
    // use, so an edit before a paragraph can renumber them), registering them as its runs would.
    bool writtenAlike(const QList<WrittenFormat>& formats) {
        for (const WrittenFormat& used : formats) {
            const Format now = written(used.index, [&] {
                if (m_allFormats.isEmpty())
                    m_allFormats = m_doc.allFormats();
                return m_allFormats.value(used.index).toCharFormat();
            });
            if (now.attributes != used.attributes || now.href != used.href)
                return false;
        }
        return true;
    }

    // The runs of `block` from its `from`th character that write any text, into m_runs, and its text
    // into m_blockText.
    void collectRuns(const QTextBlock& block, int from) {
        m_runs.clear();
        m_formatsUsed.clear();
        m_blockText = block.text();
        int offset = 0;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const int start = std::max(offset, from);
            offset += fragment.length();
            if (start >= offset)
                continue;
            const int index = fragment.charFormatIndex();
            if (const int object = objectTypeOf(index, fragment)) {
                collectObjects(fragment, index, object, offset - start);
                continue;
            }
            if (!writesText(QStringView(m_blockText).sliced(start, offset - start)))
                continue;
            const Format format = written(index, [&] { return fragment.charFormat(); });
            m_runs.append({start, offset - start, format.attributes, format.href});
            if (std::none_of(m_formatsUsed.cbegin(), m_formatsUsed.cend(),
                             [&](const WrittenFormat& f) { return f.index == index; }))
                m_formatsUsed.append({index, format.attributes, format.href});
        }
    }

    int objectTypeOf(int index, const QTextFragment& fragment) {
        if (const auto it = m_objectTypes.constFind(index); it != m_objectTypes.constEnd())
            return *it;
        const int type = fragment.charFormat().objectType();
        m_objectTypes.insert(index, type);
        return type;
    }

    // Pictures as they were read, hidden text as hidden text; other objects have no RTF of ours.
    void collectObjects(const QTextFragment& fragment, int index, int type, int count) {
        QByteArray bytes;
        if (type == QTextFormat::ImageObject) {
            const QString name = fragment.charFormat().toImageFormat().name();
            bytes = m_doc.resource(pictureResource, pictureGroupName(name)).toByteArray();
        } else if (type == hiddenTextObject) {
            const QTextCharFormat f = fragment.charFormat();
            const Format format = written(index, [&] { return f; });
            if (std::none_of(m_formatsUsed.cbegin(), m_formatsUsed.cend(),
                             [&](const WrittenFormat& w) { return w.index == index; }))
                m_formatsUsed.append({index, format.attributes, format.href});
            bytes = "{\\v";
            bytes += format.attributes;
            bytes += ' ';
            const QStringList paragraphs = f.stringProperty(hiddenTextProperty).split(QChar::ParagraphSeparator);
            for (qsizetype i = 0; i < paragraphs.size(); ++i) {
                if (i > 0)
                    bytes += "\\par ";
                appendEscaped(bytes, paragraphs.at(i));
            }
            bytes += '}';
        }
        if (bytes.isEmpty())
            return;
        for (int i = 0; i < count; ++i)
            m_runs.append({0, 0, {}, {}, bytes});
    }

    // The runs collected last.
    void writeRuns() {
        // Adjacent fragments whose emitted attributes are equal are written as one run, so that
        // reading them back (as one run) writes the same bytes.
        bool open = false;
        QByteArray openAttrs;
        QString openHref;
        for (const Run& run : m_runs) {
            const QString& href = run.href;
            if (!run.object.isEmpty()) {
                if (open && !openAttrs.isEmpty())
                    m_body += '}';
                if (!openHref.isEmpty())
                    m_body += "}}";
                open = false;
                openHref.clear();
                m_body += run.object;
                continue;
            }
            if (href != openHref) {
                // A link is a field whose result holds its runs.
                if (open && !openAttrs.isEmpty())
                    m_body += '}';
                if (!openHref.isEmpty())
                    m_body += "}}";
                if (!href.isEmpty())
                    openLink(href);
                open = false;
                openHref = href;
            }
            const QByteArray& attrs = run.attributes;
            if (!open || openAttrs != attrs) {
                if (open && !openAttrs.isEmpty())
                    m_body += '}';
                if (!attrs.isEmpty()) {
                    m_body += '{';
                    m_body += attrs;
                    m_body += ' ';
                }
                open = true;
                openAttrs = attrs;
            }
            appendEscaped(m_body, QStringView(m_blockText).sliced(run.start, run.length));
        }
        if (open && !openAttrs.isEmpty())
            m_body += '}';
        if (!openHref.isEmpty())
            m_body += "}}";
    }

    void openLink(const QString& href) {
        QString target = href;
        target.replace(u'"', QLatin1String("%22"));
        m_body += "{\\field{\\*\\fldinst{HYPERLINK \"";
        appendEscaped(m_body, target);
        m_body += "\"}}{\\fldrslt ";
    }

    struct Format {
        QByteArray attributes;
        QString href;
    };

    // What the format of index `index` writes; `fetch` gives the format the first time.
    template <typename Fetch>
    Format written(int index, Fetch fetch) {
        if (const auto it = m_formats.constFind(index); it != m_formats.constEnd())
            return *it;
        const QTextCharFormat format = fetch();
        Format f{attributes(format), format.isAnchor() ? format.anchorHref() : QString()};
        m_formats.insert(index, f);
        return f;
    }

    QByteArray attributes(const QTextCharFormat& f) {
        QByteArray a;
        const QString family = cleanFontName(familyOf(f));
        if (!family.isEmpty()) {
            const int index = fontIndex(family, f.fontFixedPitch());
            if (index != 0)
                appendWord(a, "f", index);
        }
        if (f.hasProperty(QTextFormat::FontPixelSize)) {
            const int px = f.intProperty(QTextFormat::FontPixelSize);
            if (px > 0)
                appendWord(a, "fs", 2 * clampPixels(px));
        } else if (f.hasProperty(QTextFormat::FontPointSize)) {
            const double pt = f.doubleProperty(QTextFormat::FontPointSize);
            if (pt > 0)
                appendWord(a, "fs", 2 * clampPixels(int(pt + 0.5)));
        }
        if (f.hasProperty(QTextFormat::FontWeight)) {
            const int weight = std::clamp(f.intProperty(QTextFormat::FontWeight), 1, 1000);
            if (weight >= QFont::DemiBold)
                a += "\\b";
            if (weight != QFont::Normal && weight != QFont::Bold)
                appendWord(a, kWeightWord, weight);
        }
        if (f.fontItalic())
            a += "\\i";
        const QTextCharFormat::UnderlineStyle underline = f.underlineStyle();
        if (underline != QTextCharFormat::NoUnderline && underline != QTextCharFormat::SpellCheckUnderline)
            a += "\\ul";
        if (f.fontStrikeOut())
            a += "\\strike";
        if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            a += "\\super";
        else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
            a += "\\sub";
        appendColour(a, f, QTextFormat::ForegroundBrush, {"cf"}, kForegroundAlphaWord);
        appendColour(a, f, QTextFormat::BackgroundBrush, {"highlight", "cb"}, kBackgroundAlphaWord);
        return a;
    }

    void appendColour(QByteArray& a, const QTextCharFormat& f, QTextFormat::Property property,
                      std::initializer_list<const char*> words, const char* alphaWord) {
        if (!f.hasProperty(property))
            return;
        const QBrush brush = f.brushProperty(property);
        if (brush.style() == Qt::NoBrush)
            return;
        const QColor colour = brush.color();
        const int index = colourIndex(colour.rgb() | 0xFF000000u);
        for (const char* word : words)
            appendWord(a, word, index);
        // The full 16 bits of QColor's alpha, so that an alpha set as a fraction (0.3) reads back equal.
        if (const int alpha = colour.rgba64().alpha(); alpha != 0xFFFF)
            appendWord(a, alphaWord, alpha);
    }

    int fontIndex(const QString& family, bool fixedPitch) {
        auto it = m_fontIndex.constFind(family);
        if (it != m_fontIndex.constEnd()) {
            if (fixedPitch && *it != 0) // the default family is read back without properties
                m_fonts[*it].modern = true;
            return *it;
        }
        const int index = int(m_fonts.size());
        m_fonts.append({family, fixedPitch || looksMonospaced(family)});
        m_fontIndex.insert(family, index);
        return index;
    }

    int colourIndex(QRgb rgb) {
        auto it = m_colourIndex.constFind(rgb);
        if (it != m_colourIndex.constEnd())
            return *it;
        m_colours.append(rgb);
        const int index = int(m_colours.size()); // index 0 is "auto"
        m_colourIndex.insert(rgb, index);
        return index;
    }

    QByteArray header() const {
        QByteArray h = kOwnHeader;
        for (int i = 0; i < m_fonts.size(); ++i) {
            h += '{';
            appendWord(h, "f", i);
            h += m_fonts[i].modern ? "\\fmodern" : "\\fswiss";
            h += "\\fcharset0 ";
            QByteArray name;
            appendEscaped(name, m_fonts[i].name);
            h += name.replace(';', "\\'3b");
            h += ";}";
        }
        h += "}\n{\\colortbl;";
        for (const QRgb rgb : m_colours) {
            appendWord(h, "red", qRed(rgb));
            appendWord(h, "green", qGreen(rgb));
            appendWord(h, "blue", qBlue(rgb));
            h += ';';
        }
        h += "}\n";
        if (!m_styleSheet.isEmpty()) {
            h += m_styleSheet;
            h += '\n';
        }
        return h;
    }

    const QTextDocument& m_doc;
    ParagraphCache::Entries* m_cache;
    QByteArray m_body;
    QString m_blockText;
    struct Run {
        int start;
        int length;
        QByteArray attributes;
        QString href;
        QByteArray object; // written as it is: a picture, hidden text
    };
    QList<Run> m_runs;
    QList<WrittenFormat> m_formatsUsed;
    QList<QTextFormat> m_allFormats;
    QList<Font> m_fonts;
    QHash<QString, int> m_fontIndex;
    QList<QRgb> m_colours;
    QHash<QRgb, int> m_colourIndex;
    QHash<int, Format> m_formats;
    QHash<const QTextList*, int> m_listIds;
    QHash<int, int> m_objectTypes;
    QByteArray m_styleSheet;
    bool m_hasTables = false;
};

} // namespace

QByteArray write(const QTextDocument& doc) { return Writer(doc, nullptr).run(); }

QByteArray write(const QTextDocument& doc, ParagraphCache& cache) {
    ParagraphCache::Entries& entries = cache.entries();
    if (entries.doc != &doc)
        entries.bind(doc);
    return Writer(doc, &entries).run();
}

} // namespace rtf
