#include "rtf/Rtf.h"
#include "rtf/RtfInternal.h"

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QHash>
#include <QImage>
#include <QGuiApplication>
#include <QImageReader>
#include <QPointer>
#include <QPixmap>
#include <QThread>
#include <QTextTable>
#include <QUrl>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rtf {

namespace {

using namespace detail;

// Groups nested deeper than this are read as if they were part of their parent, so that hostile
// nesting costs neither stack nor memory.
constexpr int kMaxDepth = 1024;
constexpr int kMaxParameter = 1 << 30;
constexpr int kMaxColourEntries = 1 << 16;
constexpr int kMaxFontNumber = 1 << 16;
constexpr int kSymbolCodepage = -2; // \fcharset2: cp1252 with the bullet where Symbol draws it
constexpr int kMaxListLevel = 9;
constexpr int kMaxMarker = 64;
constexpr int kMaxColumns = 63; // as many as word processors allow
constexpr int kMaxEdge = 1 << 20;
// Pictures past this many pixels, all of a text's pictures together, are kept, and shown as a grey box,
// rather than decoded.
constexpr qint64 kMaxPicturePixels = 50'000'000;
constexpr int kMaxPictureSide = 10'000;

enum class Dest : unsigned char {
    Text, // visible text
    FontTable, // \fonttbl
    ColorTable,
    UprAnsi, // the ANSI half of \upr, superseded by its \ud half
    FieldInst, // a field's instruction: read for a link's target
    Footnote, // read as text and put after the document's text
    StyleSheet,
    Pn, // an old-style list's numbering: read for the list's style
    ListMarker, // \pntext, \listtext: the marker a reader without lists shows
};

enum class Kw : unsigned char {
    Unknown,
    // destinations
    SkipDest,
    FontTable,
    ColorTable,
    Field,
    FldInst,
    FldRslt,
    Footnote,
    Chftn,
    Upr,
    Ud,
    StyleSheet,
    // styles and lists
    ParaStyle,
    CharStyle,
    Pn,
    PnBullet,
    PnDecimal,
    PnLowerAlpha,
    PnUpperAlpha,
    PnLowerRoman,
    PnUpperRoman,
    ListText,
    Ls,
    Ilvl,
    ListLevel,
    ListId,
    // document
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    Uc,
    U,
    Bin,
    // fonts and colours in their tables
    F,
    FCharset,
    FModern,
    Cpg,
    Red,
    Green,
    Blue,
    // characters and paragraphs
    Par,
    Line,
    Tab,
    Cell,
    Row,
    Symbol,
    Plain,
    Pard,
    Ql,
    Qc,
    Qr,
    Qj,
    Fs,
    B,
    Weight,
    I,
    Ul,
    UlNone,
    Strike,
    Super,
    Sub,
    NoSuperSub,
    Cf,
    FgAlpha,
    Cb,
    BgAlpha,
    Hidden,
    // a picture attached the Cocoa way: {{\NeXTGraphic name \width… }¬}
    NeXTGraphic,
    // pictures and tables
    Pict,
    ShpPict,
    Trowd,
    Cellx,
    CellBorder,
    InTable,
    Itap,
    NestCell,
    NestRow,
    // a destination whose content is lost: what `ch` says
    LostDest,
};

struct KeywordInfo {
    Kw kw;
    char16_t ch = 0; // for Kw::Symbol; the Lost flag for Kw::LostDest
};

const std::unordered_map<std::string_view, KeywordInfo>& keywords() {
    static const std::unordered_map<std::string_view, KeywordInfo> table = [] {
        std::unordered_map<std::string_view, KeywordInfo> t;
        // Destinations whose content is not part of the visible text.
        for (const char* w : {"stylesheet",
                              "info",
                              "listtable",
                              "listoverridetable",
                              "rsidtbl",
                              "revtbl",
                              "filetbl",
                              "generator",
                              "xmlnstbl",
                              "themedata",
                              "colorschememapping",
                              "latentstyles",
                              "datastore",
                              "pntxta",
                              "pntxtb",
                              "shpinst",
                              "shptxt",
                              "nonshppict",
                              "template",
                              "userprops",
                              "docvar",
                              "bkmkstart",
                              "bkmkend",
                              "atnid",
                              "atnauthor",
                              "atndate",
                              "atnref",
                              "atrfstart",
                              "atrfend",
                              "txe",
                              "xe",
                              "tc",
                              "ftnsep",
                              "ftnsepc",
                              "ftncn",
                              "aftnsep",
                              "aftnsepc",
                              "aftncn",
                              "comment",
                              "author",
                              "title",
                              "subject",
                              "keywords",
                              "operator",
                              "company",
                              "doccomm",
                              "manager",
                              "category",
                              "hlinkbase",
                              "buptim",
                              "creatim",
                              "printim",
                              "revtim",
                              "objdata",
                              "result",
                              "panose",
                              "falt",
                              "expandedcolortbl",
                              "pgdsctbl",
                              "protusertbl",
                              "mmathPr",
                              "listpicture",
                              "private",
                              "blipuid",
                              "picprop",
                              "sp",
                              "sn",
                              "sv",
                              "fchars",
                              "lchars",
                              "wgrffmtfilter",
                              "pnseclvl",
                              "password",
                              "passwordhash",
                              "tsc"})
            t[w] = {Kw::SkipDest};
        t["fonttbl"] = {Kw::FontTable};
        t["stylesheet"] = {Kw::StyleSheet};
        t["s"] = {Kw::ParaStyle};
        for (const char* w : {"cs", "ds"})
            t[w] = {Kw::CharStyle};
        t["pn"] = {Kw::Pn};
        t["pnlvlblt"] = {Kw::PnBullet};
        for (const char* w : {"pnlvlbody", "pndec", "pnlvl"})
            t[w] = {Kw::PnDecimal};
        t["pnlcltr"] = {Kw::PnLowerAlpha};
        t["pnucltr"] = {Kw::PnUpperAlpha};
        t["pnlcrm"] = {Kw::PnLowerRoman};
        t["pnucrm"] = {Kw::PnUpperRoman};
        t["ls"] = {Kw::Ls};
        t["ilvl"] = {Kw::Ilvl};
        t[kListLevelWord] = {Kw::ListLevel};
        t[kListIdWord] = {Kw::ListId};
        t["colortbl"] = {Kw::ColorTable};
        t["field"] = {Kw::Field};
        t["fldinst"] = {Kw::FldInst};
        t["fldrslt"] = {Kw::FldRslt};
        t["footnote"] = {Kw::Footnote};
        t["chftn"] = {Kw::Chftn};
        t["upr"] = {Kw::Upr};
        t["ud"] = {Kw::Ud};
        for (const char* w : {"listtext", "pntext"})
            t[w] = {Kw::ListText};
        t["ansi"] = {Kw::Ansi};
        t["mac"] = {Kw::Mac};
        t["pc"] = {Kw::Pc};
        t["pca"] = {Kw::Pca};
        t["ansicpg"] = {Kw::AnsiCpg};
        t["deff"] = {Kw::Deff};
        t["uc"] = {Kw::Uc};
        t["u"] = {Kw::U};
        t["bin"] = {Kw::Bin};
        t["f"] = {Kw::F};
        t["fcharset"] = {Kw::FCharset};
        t["fmodern"] = {Kw::FModern};
        t["cpg"] = {Kw::Cpg};
        t["red"] = {Kw::Red};
        t["green"] = {Kw::Green};
        t["blue"] = {Kw::Blue};
        for (const char* w : {"par", "sect"})
            t[w] = {Kw::Par};
        for (const char* w : {"line", "lbr"})
            t[w] = {Kw::Line};
        t["tab"] = {Kw::Tab};
        t["cell"] = {Kw::Cell};
        t["row"] = {Kw::Row};
        const std::pair<const char*, char16_t> symbols[] = {
            {"emdash", 0x2014}, {"endash", 0x2013}, {"emspace", 0x2003}, {"enspace", 0x2002},   {"qmspace", 0x2005},
            {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
            {"zwj", 0x200D},    {"zwnj", 0x200C},   {"ltrmark", 0x200E}, {"rtlmark", 0x200F},   {"zwbo", 0x200B},
        };
        for (const auto& [w, c] : symbols)
            t[w] = {Kw::Symbol, c};
        t["plain"] = {Kw::Plain};
        t["pard"] = {Kw::Pard};
        t["ql"] = {Kw::Ql};
        t["qc"] = {Kw::Qc};
        t["qr"] = {Kw::Qr};
        for (const char* w : {"qj", "qd"})
            t[w] = {Kw::Qj};
        t["fs"] = {Kw::Fs};
        t["b"] = {Kw::B};
        t[kWeightWord] = {Kw::Weight};
        t["i"] = {Kw::I};
        for (const char* w :
             {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth", "ulthd", "ulthdash",
              "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t[w] = {Kw::Ul};
        t["ulnone"] = {Kw::UlNone};
        for (const char* w : {"strike", "striked"})
            t[w] = {Kw::Strike};
        t["super"] = {Kw::Super};
        t["sub"] = {Kw::Sub};
        t["nosupersub"] = {Kw::NoSuperSub};
        t["cf"] = {Kw::Cf};
        t[kForegroundAlphaWord] = {Kw::FgAlpha};
        for (const char* w : {"cb", "highlight", "chcbpat"})
            t[w] = {Kw::Cb};
        t[kBackgroundAlphaWord] = {Kw::BgAlpha};
        t["v"] = {Kw::Hidden};
        t["NeXTGraphic"] = {Kw::NeXTGraphic};
        t["pict"] = {Kw::Pict};
        t["shppict"] = {Kw::ShpPict};
        t["trowd"] = {Kw::Trowd};
        t["cellx"] = {Kw::Cellx};
        for (const char* w : {"clbrdrt", "clbrdrl", "clbrdrb", "clbrdrr", "trbrdrt", "trbrdrl", "trbrdrb", "trbrdrr",
                              "trbrdrh", "trbrdrv"})
            t[w] = {Kw::CellBorder};
        t["intbl"] = {Kw::InTable};
        t["itap"] = {Kw::Itap};
        t["nestcell"] = {Kw::NestCell};
        t["nestrow"] = {Kw::NestRow};
        t["object"] = {Kw::LostDest, lostObject};
        for (const char* w : {"shp", "shpgrp", "do"})
            t[w] = {Kw::LostDest, lostShape};
        for (const char* w : {"header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf"})
            t[w] = {Kw::LostDest, lostHeaderFooter};
        t["annotation"] = {Kw::LostDest, lostComment};
        return t;
    }();
    return table;
}

struct CharState {
    int font = -1; // font number; -1 is the document's default font
    int halfPoints = 0; // 0: no size
    int weight = 0; // 0: no weight
    int fg = -1; // colour table index; -1: none (follows the theme)
    int bg = -1;
    int fgAlpha = 0xFFFF; // 16-bit alpha
    int bgAlpha = 0xFFFF;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false; // \v: not shown, so not read
    int vertical = 0; // 1 superscript, 2 subscript
    QString href; // inside a link field's result
    bool operator==(const CharState&) const = default;
};

// What makes a paragraph a list item.
constexpr int kStyleFromMarker = 1; // a list whose marker text tells its style (\ls)
struct ListState {
    int style = 0; // a QTextListFormat::Style, kStyleFromMarker, or 0: not in a list
    int level = 1;
    int id = 0;
};

struct StyleInfo {
    CharState ch;
    int align = 0;
};

// Adds what a style sets to `to`: its properties count as written where the style is named.
void mergeStyle(CharState& to, const CharState& style) {
    if (style.font >= 0)
        to.font = style.font;
    if (style.halfPoints > 0)
        to.halfPoints = style.halfPoints;
    if (style.weight > 0)
        to.weight = style.weight;
    if (style.fg >= 0) {
        to.fg = style.fg;
        to.fgAlpha = style.fgAlpha;
    }
    if (style.bg >= 0) {
        to.bg = style.bg;
        to.bgAlpha = style.bgAlpha;
    }
    to.italic |= style.italic;
    to.underline |= style.underline;
    to.strike |= style.strike;
    if (style.vertical != 0)
        to.vertical = style.vertical;
}

// The list style a marker such as "•", "3.", "b)" or "iv." stands for.
int styleOfMarker(const QString& marker) {
    QString m;
    for (const QChar c : marker) {
        if (!c.isSpace() && c != u'.' && c != u')' && c != u'(')
            m += c;
    }
    auto all = [&m](auto test) { return !m.isEmpty() && std::all_of(m.begin(), m.end(), test); };
    if (all([](QChar c) { return c.isDigit(); }))
        return QTextListFormat::ListDecimal;
    if (m == u"o" || m == u"◦" || m == u"○")
        return QTextListFormat::ListCircle;
    if (m == u"▪" || m == u"■" || m == u"§")
        return QTextListFormat::ListSquare;
    if (all([](QChar c) { return QStringView(u"ivxlcdm").contains(c); }))
        return QTextListFormat::ListLowerRoman;
    if (all([](QChar c) { return QStringView(u"IVXLCDM").contains(c); }))
        return QTextListFormat::ListUpperRoman;
    if (m.size() == 1 && m[0].isLower())
        return QTextListFormat::ListLowerAlpha;
    if (m.size() == 1 && m[0].isUpper())
        return QTextListFormat::ListUpperAlpha;
    return QTextListFormat::ListDisc;
}

struct GroupState {
    CharState ch;
    ListState list;
    int align = 0; // 0 left, 1 centre, 2 right, 3 justified
    int style = -1; // the paragraph's style number (\s)
    bool inTable = false; // \intbl
    int uc = 1;
    Dest dest = Dest::Text;
    const char* open = nullptr; // the group's "{"
};

struct FontInfo {
    QString name;
    int codepage = 0;
    bool modern = false;
};

struct Colour {
    QRgb rgb = 0;
    bool isAuto = true;
};

constexpr int kMaxFieldInstruction = 8192;
// Shorter than an instruction can be, so that a target written again reads back whole.
constexpr int kMaxLinkTarget = 2048;

bool isTextual(Dest d) {
    return d == Dest::Text || d == Dest::FieldInst || d == Dest::Footnote || d == Dest::ListMarker;
}

// The target of a HYPERLINK field instruction (HYPERLINK "url", HYPERLINK url, HYPERLINK \l "mark"),
// or nothing for any other field.
QString linkTarget(const QString& instruction) {
    const QString in = instruction.trimmed();
    if (!in.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive))
        return {};
    qsizetype i = 9;
    QString prefix;
    while (i < in.size()) {
        while (i < in.size() && in.at(i).isSpace())
            ++i;
        if (i >= in.size())
            break;
        if (in.at(i) == u'\\') {
            // A switch; \l names a place in the document, \o \t take an argument of their own.
            const QChar sw = i + 1 < in.size() ? in.at(i + 1).toLower() : QChar();
            i += 2;
            if (sw == u'l')
                prefix = QStringLiteral("#");
            else if (sw == u'o' || sw == u't') {
                while (i < in.size() && in.at(i).isSpace())
                    ++i;
                if (i < in.size() && in.at(i) == u'"') {
                    const qsizetype end = in.indexOf(u'"', i + 1);
                    i = end < 0 ? in.size() : end + 1;
                } else {
                    while (i < in.size() && !in.at(i).isSpace())
                        ++i;
                }
            }
            continue;
        }
        QString target;
        if (in.at(i) == u'"') {
            const qsizetype end = in.indexOf(u'"', i + 1);
            target = in.mid(i + 1, end < 0 ? -1 : end - i - 1);
        } else {
            const qsizetype start = i;
            while (i < in.size() && !in.at(i).isSpace())
                ++i;
            target = in.mid(start, i - start);
        }
        if (target.isEmpty())
            return {};
        // A quote cannot stand inside the quoted target the writer gives.
        target.replace(u'"', QLatin1String("%22"));
        return (prefix + target).left(kMaxLinkTarget);
    }
    return {};
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Reader {
public:
    unsigned lost() const { return m_lost; }
    Reader(const QByteArray& data, QTextDocument& doc)
        : m_p(data.constData()),
          m_end(data.constData() + data.size()),
          m_cursor(&doc),
          m_ownDefaultFont(data.startsWith(kOwnHeader)) {
        m_stack.reserve(64);
        m_stack.push_back(GroupState{});
        // Where the data ends but for blanks, NULs and closing braces.
        m_contentEnd = m_end;
        while (m_contentEnd > m_p && isTrailer(m_contentEnd[-1]))
            --m_contentEnd;
    }

    void parse() {
        // The caller has checked that the data starts with "{\rtf" (after blanks): enter that group.
        while (m_p < m_end && *m_p != '{')
            ++m_p;
        ++m_p;
        while (!m_done && m_p < m_end) {
            const char c = *m_p;
            switch (c) {
            case '{':
                ++m_p;
                flushBytes();
                m_skip = 0;
                openGroup();
                break;
            case '}':
                ++m_p;
                flushBytes();
                m_skip = 0;
                closeGroup();
                break;
            case '\\':
                ++m_p;
                controlSequence();
                break;
            case '\r':
            case '\n': ++m_p; break;
            default: textBytes(); break;
            }
        }
        if (!m_done)
            finish();
    }

private:
    GroupState& state() { return m_stack.back(); }

    void openGroup() {
        m_star = false;
        m_attachmentMark = false;
        if (int(m_stack.size()) >= kMaxDepth) {
            ++m_flatDepth;
            return;
        }
        m_stack.push_back(m_stack.back());
        state().open = m_p - 1;
        if (state().dest == Dest::StyleSheet && m_stack.size() == m_styleSheetDepth + 1) {
            // An entry of the style sheet: it holds only what it sets itself.
            state().ch = CharState{};
            state().align = 0;
            m_styleNumber = 0;
            m_styleEntryOpen = true;
        }
    }

    void closeGroup() {
        m_star = false;
        m_attachmentMark = false;
        if (m_flatDepth > 0) {
            --m_flatDepth;
            return;
        }
        // A group inside an entry ({\*\panose …}, {\*\falt …}) ends before the entry's name.
        if (state().dest == Dest::FontTable && m_fontEntryOpen && m_stack.size() <= m_fontTableDepth + 1)
            commitFont();
        if (state().dest == Dest::StyleSheet && m_stack.size() == m_styleSheetDepth + 1)
            commitStyle();
        if (m_stack.size() == 1) {
            // A brace that would end the document before its data ends is a stray (word processors leave
            // one after a shape group now and then): read on, as they do.
            if (m_p < m_contentEnd)
                return;
            finish();
            return;
        }
        if (m_styleSheetOpen && m_stack.size() == m_styleSheetDepth) {
            // Kept as it came, to be written back, unless reading it gave text or changed what the
            // whole document reads by (a damaged one), which reading it again would repeat.
            if (m_styleSheetSafe && m_textCount == m_styleSheetTextCount)
                m_styleSheetRaw = '{' + QByteArray(m_styleSheetOpen, m_p - m_styleSheetOpen);
            m_styleSheetOpen = nullptr;
        }
        if (state().dest == Dest::Pn && m_stack[m_stack.size() - 2].dest != Dest::Pn) {
            // The numbering read: the paragraph it stands in is a list item.
            m_stack[m_stack.size() - 2].list = m_pn;
            m_listSetInParagraph = true;
        }
        m_stack.pop_back();
    }

    // Consumes the rest of the current group, including its closing brace. Returns whether there was one.
    bool skipGroup() {
        flushBytes();
        long long depth = 0;
        while (m_p < m_end) {
            const char c = *m_p++;
            if (c == '\\') {
                if (m_p >= m_end)
                    break;
                if (isLetter(*m_p)) {
                    std::string_view word;
                    bool hasParam;
                    int param;
                    readWord(word, hasParam, param);
                    if (word == "bin" && hasParam)
                        skipBinary(param);
                } else {
                    ++m_p;
                }
            } else if (c == '{') {
                ++depth;
            } else if (c == '}') {
                if (depth == 0) {
                    closeGroup();
                    return true;
                }
                --depth;
            }
        }
        return false;
    }

    void skipBinary(int length) {
        if (length > 0)
            m_p += std::min<long long>(length, m_end - m_p);
    }

    // Reads a control word at m_p (which points at its first letter), its parameter and delimiter.
    void readWord(std::string_view& word, bool& hasParam, int& param) {
        const char* start = m_p;
        while (m_p < m_end && isLetter(*m_p))
            ++m_p;
        word = std::string_view(start, std::size_t(m_p - start));
        hasParam = false;
        param = 0;
        bool negative = false;
        if (m_p + 1 < m_end && *m_p == '-' && isDigit(m_p[1])) {
            negative = true;
            ++m_p;
        }
        long long value = 0;
        while (m_p < m_end && isDigit(*m_p)) {
            hasParam = true;
            if (value < kMaxParameter)
                value = value * 10 + (*m_p - '0');
            ++m_p;
        }
        if (hasParam)
            param = int(std::min<long long>(value, kMaxParameter)) * (negative ? -1 : 1);
        if (m_p < m_end && *m_p == ' ')
            ++m_p;
    }

    void controlSequence() {
        if (m_p >= m_end)
            return;
        const char c = *m_p;
        if (isLetter(c)) {
            std::string_view word;
            bool hasParam;
            int param;
            m_wordStart = m_p - 1;
            readWord(word, hasParam, param);
            controlWord(word, hasParam, param);
            return;
        }
        ++m_p;
        if (c == '\'') {
            const int hi = m_p < m_end ? hexValue(m_p[0]) : -1;
            const int lo = m_p + 1 < m_end ? hexValue(m_p[1]) : -1;
            if (hi < 0 || lo < 0)
                return;
            m_p += 2;
            byteChar(char(hi * 16 + lo), true);
            return;
        }
        if (c == '\\' || c == '{' || c == '}') {
            byteChar(c, true);
            return;
        }
        flushBytes();
        if (m_skip > 0) {
            if (c != '\r' && c != '\n')
                --m_skip;
            return;
        }
        switch (c) {
        case '~': unicodeUnit(0x00A0); break;
        case '-': unicodeUnit(0x00AD); break;
        case '_': unicodeUnit(0x2011); break;
        case '\t': unicodeUnit(u'\t'); break;
        case '*': m_star = true; break;
        case '\r':
        case '\n': paragraphBreak(); break;
        default: break;
        }
    }

    void controlWord(std::string_view word, bool hasParam, int param) {
        flushBytes();
        m_attachmentMark = false;
        const auto& table = keywords();
        const auto found = table.find(word);
        const KeywordInfo info = found == table.end() ? KeywordInfo{Kw::Unknown} : found->second;
        if (m_skip > 0) {
            --m_skip;
            if (info.kw == Kw::Bin && hasParam)
                skipBinary(param);
            return;
        }
        const bool star = m_star;
        m_star = false;
        GroupState& s = state();
        const bool on = !hasParam || param != 0;
        if (m_styleSheetOpen) {
            switch (info.kw) {
            case Kw::Ansi:
            case Kw::Mac:
            case Kw::Pc:
            case Kw::Pca:
            case Kw::AnsiCpg:
            case Kw::Deff:
            case Kw::Bin:
            case Kw::FontTable:
            case Kw::ColorTable:
            case Kw::StyleSheet: m_styleSheetSafe = false; break;
            default: break;
            }
        }
        switch (info.kw) {
        case Kw::Unknown:
            // An ignorable destination we do not know: its content is not text.
            if (star)
                skipGroup();
            break;
        case Kw::SkipDest: skipGroup(); break;
        case Kw::LostDest:
            m_lost |= info.ch;
            skipGroup();
            break;
        case Kw::ShpPict: break; // the picture inside is read
        case Kw::Pict:
            if (s.dest == Dest::Text && s.open && m_stack.size() > 1 && m_flatDepth == 0) {
                readPicture(m_wordStart);
            } else {
                if (s.dest == Dest::Footnote)
                    m_lost |= lostPicture;
                skipGroup();
            }
            break;
        case Kw::Trowd:
            if (s.dest == Dest::Text) {
                m_rowEdges.clear();
                m_rowBorder = false;
            }
            break;
        case Kw::Cellx:
            if (s.dest == Dest::Text && int(m_rowEdges.size()) < kMaxColumns)
                m_rowEdges.push_back(std::clamp(param, -kMaxEdge, kMaxEdge));
            break;
        case Kw::CellBorder:
            if (s.dest == Dest::Text)
                m_rowBorder = true;
            break;
        case Kw::InTable:
            if (s.dest == Dest::Text)
                s.inTable = true;
            break;
        case Kw::Itap:
            if (s.dest == Dest::Text) {
                s.inTable = param >= 1;
                if (param > 1)
                    m_lost |= lostNestedTable;
            }
            break;
        case Kw::NestCell:
            if (s.dest == Dest::Text) {
                m_lost |= lostNestedTable;
                m_pendingTab = true;
            }
            break;
        case Kw::NestRow:
            if (s.dest == Dest::Text) {
                m_lost |= lostNestedTable;
                m_pendingTab = false;
                paragraphBreak();
            }
            break;
        case Kw::FontTable:
            s.dest = Dest::FontTable;
            m_fontTableDepth = m_stack.size();
            m_fontEntryOpen = false;
            break;
        case Kw::ColorTable:
            s.dest = Dest::ColorTable;
            m_colour = {};
            m_colourHasComponent = false;
            break;
        case Kw::Field:
            if (s.dest == Dest::Text || s.dest == Dest::Footnote)
                m_fieldInst.clear();
            break;
        case Kw::FldInst:
            if (s.dest == Dest::Text || s.dest == Dest::Footnote)
                s.dest = Dest::FieldInst;
            else
                skipGroup();
            break;
        case Kw::FldRslt:
            if (s.dest != Dest::Footnote) {
                s.dest = Dest::Text;
                s.ch.href = linkTarget(m_fieldInst);
            }
            m_fieldInst.clear();
            break;
        case Kw::Footnote:
            if (s.dest == Dest::Text) {
                s.dest = Dest::Footnote;
                m_footnotes.emplace_back();
            } else if (s.dest != Dest::Footnote) {
                skipGroup();
            }
            break;
        case Kw::Chftn:
            // The footnote's number where it is referred to; the note itself starts with it anyway.
            if (s.dest == Dest::Text) {
                for (const QChar c : QString::number(++m_footnoteRefs))
                    appendChar(c.unicode());
            }
            break;
        case Kw::Upr: s.dest = Dest::UprAnsi; break;
        case Kw::Ud:
            if (s.dest == Dest::UprAnsi)
                s.dest = Dest::Text;
            break;
        case Kw::StyleSheet:
            if (s.dest == Dest::Text) {
                s.dest = Dest::StyleSheet;
                m_styleSheetDepth = m_stack.size();
                m_styleEntryOpen = false;
                if (m_styleSheetRaw.isEmpty() && s.open && m_stack.size() > 1 && m_flatDepth == 0) {
                    m_styleSheetOpen = m_wordStart;
                    m_styleSheetSafe = true;
                    m_styleSheetTextCount = m_textCount;
                }
            } else {
                skipGroup();
            }
            break;
        case Kw::ParaStyle:
        case Kw::CharStyle:
            if (s.dest == Dest::StyleSheet) {
                m_styleNumber = std::clamp(param, 0, kMaxFontNumber);
                break;
            }
            if (info.kw == Kw::ParaStyle && s.dest == Dest::Text)
                s.style = std::clamp(param, 0, kMaxFontNumber);
            // Our own writer writes every property where it applies: a style it names is a name only.
            if (m_ownDefaultFont)
                break;
            if (const auto it = m_styles.constFind(param); it != m_styles.constEnd()) {
                mergeStyle(s.ch, it->ch);
                if (info.kw == Kw::ParaStyle && it->align != 0)
                    s.align = it->align;
            }
            break;
        case Kw::Pn:
            if (s.dest == Dest::Text) {
                s.dest = Dest::Pn;
                m_pn = ListState{QTextListFormat::ListDecimal, 1, 0};
            } else if (s.dest != Dest::Pn) {
                skipGroup();
            }
            break;
        case Kw::PnBullet:
        case Kw::PnDecimal:
        case Kw::PnLowerAlpha:
        case Kw::PnUpperAlpha:
        case Kw::PnLowerRoman:
        case Kw::PnUpperRoman:
            if (s.dest == Dest::Pn) {
                m_pn.style = info.kw == Kw::PnBullet ? QTextListFormat::ListDisc
                    : info.kw == Kw::PnLowerAlpha    ? QTextListFormat::ListLowerAlpha
                    : info.kw == Kw::PnUpperAlpha    ? QTextListFormat::ListUpperAlpha
                    : info.kw == Kw::PnLowerRoman    ? QTextListFormat::ListLowerRoman
                    : info.kw == Kw::PnUpperRoman    ? QTextListFormat::ListUpperRoman
                                                     : QTextListFormat::ListDecimal;
                if (word == "pnlvl" && hasParam)
                    m_pn.level = std::clamp(param, 1, kMaxListLevel);
            }
            break;
        case Kw::Ls:
            if (s.dest == Dest::Text) {
                s.list.style = param > 0 ? kStyleFromMarker : 0;
                s.list.id = param;
                m_listSetInParagraph = true;
            }
            break;
        case Kw::Ilvl:
        case Kw::ListLevel: {
            const int level = std::clamp(info.kw == Kw::Ilvl ? param + 1 : param, 1, kMaxListLevel);
            if (s.dest == Dest::Pn)
                m_pn.level = level;
            else
                s.list.level = level;
            break;
        }
        case Kw::ListId:
            if (s.dest == Dest::Pn)
                m_pn.id = std::max(param, 0);
            break;
        case Kw::ListText:
            if (s.dest == Dest::Text) {
                s.dest = Dest::ListMarker;
                m_marker.clear();
                m_markerPending = true;
            }
            break;
        case Kw::Ansi: m_ansiCodepage = 1252; break;
        case Kw::Mac: m_ansiCodepage = 10000; break;
        case Kw::Pc: m_ansiCodepage = 437; break;
        case Kw::Pca: m_ansiCodepage = 850; break;
        case Kw::AnsiCpg: m_ansiCodepage = hasParam && param > 0 ? param : 1252; break;
        case Kw::Deff: m_defaultFont = std::clamp(param, 0, kMaxFontNumber); break;
        case Kw::Uc: s.uc = std::clamp(param, 0, 255); break;
        case Kw::U:
            if (hasParam)
                unicode(param);
            break;
        case Kw::Bin:
            if (hasParam)
                skipBinary(param);
            break;
        case Kw::F:
            if (s.dest == Dest::FontTable) {
                if (m_fontEntryOpen)
                    commitFont();
                m_fontEntryOpen = true;
                m_fontNumber = std::clamp(param, 0, kMaxFontNumber);
                m_fontEntry = {};
                m_fontNameBytes.clear();
                m_fontCharsetCodepage = 0;
            } else {
                s.ch.font = std::clamp(param, 0, kMaxFontNumber);
            }
            break;
        case Kw::FCharset:
            if (s.dest == Dest::FontTable)
                m_fontCharsetCodepage = param == 2 ? kSymbolCodepage : codepageForCharset(param);
            break;
        case Kw::FModern:
            if (s.dest == Dest::FontTable)
                m_fontEntry.modern = true;
            break;
        case Kw::Cpg:
            if (s.dest == Dest::FontTable)
                m_fontEntry.codepage = std::max(param, 0);
            break;
        case Kw::Red:
        case Kw::Green:
        case Kw::Blue:
            if (s.dest == Dest::ColorTable) {
                const int shift = info.kw == Kw::Red ? 16 : info.kw == Kw::Green ? 8 : 0;
                m_colour.rgb = (m_colour.rgb & ~(0xFFu << shift)) | (QRgb(std::clamp(param, 0, 255)) << shift);
                m_colourHasComponent = true;
            }
            break;
        case Kw::Par: paragraphBreak(); break;
        case Kw::Line: unicodeUnit(0x2028); break;
        case Kw::Tab: unicodeUnit(u'\t'); break;
        case Kw::Symbol: unicodeUnit(info.ch); break;
        case Kw::Cell:
            if (s.dest == Dest::Text) {
                if (s.inTable)
                    endCell();
                else
                    m_pendingTab = true;
            }
            break;
        case Kw::Row:
            if (s.dest == Dest::Text) {
                m_pendingTab = false;
                if (m_table)
                    endRow();
                else
                    paragraphBreak();
            }
            break;
        case Kw::Plain: {
            const QString href = s.ch.href;
            s.ch = CharState{};
            s.ch.href = href;
            break;
        }
        case Kw::Pard:
            s.align = 0;
            s.style = -1;
            s.inTable = false;
            // Some writers put the list's numbering before the \pard that opens its paragraph.
            if (!m_listSetInParagraph || m_paragraphHasText)
                s.list = ListState{};
            break;
        case Kw::Ql: s.align = 0; break;
        case Kw::Qc: s.align = 1; break;
        case Kw::Qr: s.align = 2; break;
        case Kw::Qj: s.align = 3; break;
        case Kw::Fs: s.ch.halfPoints = hasParam ? std::clamp(param, 0, 2 * kMaxPixelSize) : 24; break;
        case Kw::B: s.ch.weight = on ? QFont::Bold : 0; break;
        case Kw::Weight: {
            const int weight = std::clamp(param, 1, 1000);
            s.ch.weight = weight == QFont::Normal ? 0 : weight;
            break;
        }
        case Kw::I: s.ch.italic = on; break;
        case Kw::Ul: s.ch.underline = on; break;
        case Kw::UlNone: s.ch.underline = false; break;
        case Kw::Strike: s.ch.strike = on; break;
        case Kw::Super: s.ch.vertical = on ? 1 : 0; break;
        case Kw::Sub: s.ch.vertical = on ? 2 : 0; break;
        case Kw::NoSuperSub: s.ch.vertical = 0; break;
        case Kw::Cf:
            s.ch.fg = std::clamp(param, -1, kMaxColourEntries);
            s.ch.fgAlpha = 0xFFFF;
            break;
        case Kw::FgAlpha: s.ch.fgAlpha = std::clamp(param, 0, 0xFFFF); break;
        case Kw::Cb:
            s.ch.bg = std::clamp(param, -1, kMaxColourEntries);
            s.ch.bgAlpha = 0xFFFF;
            break;
        case Kw::BgAlpha: s.ch.bgAlpha = std::clamp(param, 0, 0xFFFF); break;
        case Kw::Hidden: s.ch.hidden = on; break;
        case Kw::NeXTGraphic:
            // The group holds the file name and sizes; the byte 0xAC that follows it in the enclosing
            // group stands for the picture. Both go, as a {\pict} group does.
            skipGroup();
            m_attachmentMark = true;
            break;
        }
    }

    void unicode(int value) {
        if (value < 0 && value >= -32768)
            value += 0x10000;
        GroupState& s = state();
        if (value >= 0 && value <= 0xFFFF) {
            unicodeUnit(char16_t(value));
        } else if (value > 0xFFFF && value <= 0x10FFFF) {
            unicodeUnit(QChar::highSurrogate(char32_t(value)));
            unicodeUnit(QChar::lowSurrogate(char32_t(value)));
        } else {
            unicodeUnit(QChar::ReplacementCharacter);
        }
        m_skip = s.uc;
    }

    // A character given by a control word: text, or part of a font name.
    void unicodeUnit(char16_t c) {
        if (state().dest == Dest::FontTable) {
            if (m_fontEntryOpen) {
                flushFontName();
                if (m_fontEntry.name.size() < kMaxFontNameLength)
                    m_fontEntry.name += QChar(c);
            }
            return;
        }
        appendChar(c);
    }

    // A run of ordinary bytes.
    void textBytes() {
        if (m_attachmentMark) {
            m_attachmentMark = false;
            if (static_cast<unsigned char>(*m_p) == 0xAC && m_skip == 0) {
                ++m_p;
                return;
            }
        }
        const GroupState& s = state();
        if (isTextual(s.dest) && m_skip == 0) {
            const char* start = m_p;
            while (m_p < m_end) {
                const char c = *m_p;
                if (c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n')
                    break;
                ++m_p;
            }
            m_bytes.append(start, m_p - start);
            return;
        }
        byteChar(*m_p++);
    }

    // One byte of text in the current code page, written literally or (`escaped`) as \'hh, \{, \} or \\.
    // Only a literal ';' ends an entry of the font and colour tables.
    void byteChar(char c, bool escaped = false) {
        if (m_attachmentMark) {
            m_attachmentMark = false;
            if (static_cast<unsigned char>(c) == 0xAC && m_skip == 0)
                return;
        }
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        switch (state().dest) {
        case Dest::Text:
        case Dest::FieldInst:
        case Dest::Footnote:
        case Dest::ListMarker: m_bytes += c; break;
        case Dest::StyleSheet:
            if (c == ';' && !escaped)
                commitStyle();
            break;
        case Dest::Pn: break;
        case Dest::FontTable:
            if (!m_fontEntryOpen)
                break;
            if (c == ';' && !escaped)
                commitFont();
            else if (m_fontNameBytes.size() < kMaxFontNameLength)
                m_fontNameBytes += c;
            break;
        case Dest::ColorTable:
            if (c == ';' && !escaped) {
                if (int(m_colours.size()) < kMaxColourEntries) {
                    m_colour.isAuto = !m_colourHasComponent;
                    m_colours.push_back(m_colour);
                }
                m_colour = {};
                m_colourHasComponent = false;
            }
            break;
        case Dest::UprAnsi: break;
        }
    }

    int codepageOf(int font) const {
        const auto it = m_fonts.constFind(font < 0 ? m_defaultFont : font);
        return it != m_fonts.constEnd() && it->codepage != 0 ? it->codepage : m_ansiCodepage;
    }

    void decode(int codepage, const QByteArray& bytes, QString& out) {
        if (codepage == kSymbolCodepage) {
            for (const char b : bytes)
                out += QChar(b == char(0xB7) ? char16_t(0x2022) : cp1252ToUnicode(static_cast<unsigned char>(b)));
            return;
        }
        m_decoder.decode(codepage, bytes.constData(), int(bytes.size()), out);
    }

    void flushBytes() {
        if (m_bytes.isEmpty())
            return;
        m_decoded.clear();
        decode(codepageOf(state().ch.font), m_bytes, m_decoded);
        m_bytes.clear();
        for (const QChar c : std::as_const(m_decoded))
            appendChar(c.unicode());
    }

    void appendChar(char16_t c) {
        if (state().ch.hidden) {
            // Kept, hidden, in one object that takes no room; elsewhere than in the text it goes.
            if (state().dest == Dest::Text && (!isDroppedChar(c) || c == 0x2029)) {
                placeCursor();
                if (m_hidden.isEmpty())
                    m_hiddenState = state().ch;
                m_hidden += QChar(c);
                ++m_textCount;
            }
            return;
        }
        if (state().dest == Dest::FieldInst) {
            // Without the characters the writer leaves out, so that a target reads back the same.
            if (m_fieldInst.size() < kMaxFieldInstruction && !isDroppedChar(c))
                m_fieldInst += QChar(c);
            return;
        }
        if (state().dest == Dest::Footnote) {
            // One line of text: its paragraphs, lines and tabs become blanks.
            Footnote& note = m_footnotes.back();
            if (c == u'\t' || c == 0x2028 || c == 0x2029) {
                note.text += QChar(u' ');
            } else if (!isDroppedChar(c)) {
                // The note keeps the font and size of its first visible character.
                if (note.text.trimmed().isEmpty()) {
                    CharState plain = state().ch;
                    plain.vertical = 0;
                    plain.href.clear();
                    note.format = formatFor(plain);
                }
                note.text += QChar(c);
            }
            return;
        }
        if (state().dest == Dest::ListMarker) {
            if (!isDroppedChar(c) && m_marker.size() < kMaxMarker) {
                if (m_marker.isEmpty())
                    m_markerState = state().ch;
                m_marker += QChar(c);
            }
            return;
        }
        if (state().dest != Dest::Text)
            return;
        if (c == 0x2029) {
            paragraphBreak();
            return;
        }
        if (isDroppedChar(c))
            return;
        placeCursor();
        flushHidden();
        settleMarker();
        if (m_pendingTab) {
            m_pendingTab = false;
            appendChar(u'\t');
        }
        appendToRun(c, state().ch);
        m_paragraphHasText = true;
    }

    void appendToRun(char16_t c, const CharState& ch) {
        ++m_textCount;
        if (!m_runOpen || !(m_runState == ch)) {
            flushRun();
            m_runState = ch;
            m_runOpen = true;
        }
        m_run += QChar(c);
    }

    // A list item's marker goes, as the list draws its own; elsewhere it stays as the text it is.
    void settleMarker() {
        if (!m_markerPending)
            return;
        m_markerPending = false;
        m_paragraphMarker = m_marker;
        m_paragraphHasMarker = true;
        if (state().list.style == 0) {
            for (const QChar c : std::as_const(m_marker))
                appendToRun(c.unicode(), m_markerState);
            m_paragraphHasText = m_paragraphHasText || !m_marker.isEmpty();
        }
        m_marker.clear();
    }

    // Makes the paragraph just read an item of the list it belongs to, the one of the paragraphs
    // before it at the same level when they make one list.
    void placeInList() {
        const ListState l = state().list;
        const bool item = l.style != 0 && (m_paragraphHasText || m_paragraphHasMarker);
        int style = l.style == kStyleFromMarker ? styleOfMarker(m_paragraphMarker) : l.style;
        if (style == QTextListFormat::ListDisc && m_paragraphHasMarker) {
            // Numbering says "bullet"; its marker says which.
            const int marked = styleOfMarker(m_paragraphMarker);
            if (marked == QTextListFormat::ListCircle || marked == QTextListFormat::ListSquare)
                style = marked;
        }
        m_paragraphMarker.clear();
        m_paragraphHasMarker = false;
        m_paragraphHasText = false;
        m_listSetInParagraph = false;
        if (!item) {
            m_lists.clear();
            return;
        }
        QTextListFormat format;
        format.setStyle(QTextListFormat::Style(style));
        format.setIndent(l.level);
        if (l.id > 0) {
            // A list with a name goes on where it left off, after other paragraphs too; its deeper
            // levels start again under each of its items.
            for (int deeper = l.level + 1; deeper <= kMaxListLevel; ++deeper)
                m_namedLists.remove((qint64(l.id) << 4) | deeper);
            OpenList& named = m_namedLists[(qint64(l.id) << 4) | l.level];
            if (named.list && (l.style == kStyleFromMarker || named.style == style)) {
                named.list->add(m_cursor.block());
            } else {
                named = OpenList{l.level, l.id, style, m_cursor.createList(format)};
            }
            return;
        }
        while (!m_lists.empty() && m_lists.back().level > l.level)
            m_lists.pop_back();
        if (!m_lists.empty() && m_lists.back().level == l.level) {
            OpenList& open = m_lists.back();
            // A list told by its markers is the same list whatever the next marker looks like.
            if (open.list && open.id == l.id && (l.style == kStyleFromMarker || open.style == style)) {
                open.list->add(m_cursor.block());
                return;
            }
            m_lists.pop_back();
        }
        m_lists.push_back({l.level, l.id, style, m_cursor.createList(format)});
    }

    void flushRun() {
        if (!m_run.isEmpty())
            m_cursor.insertText(m_run, formatFor(m_runState));
        m_run.clear();
        m_runOpen = false;
    }

    QTextCharFormat formatFor(const CharState& s) const {
        QTextCharFormat f;
        const int fontNumber = s.font < 0 ? m_defaultFont : s.font;
        // Our own text in the default font follows the editor's font; another program's names its own.
        if (fontNumber != m_defaultFont || !m_ownDefaultFont) {
            const auto it = m_fonts.constFind(fontNumber);
            // A name with a leading dot is another system's name for its interface font: ours here.
            if (it != m_fonts.constEnd() && !it->name.isEmpty() && !it->name.startsWith(u'.')) {
                f.setFontFamilies(QStringList{it->name});
                if (it->modern)
                    f.setFontFixedPitch(true);
            }
        }
        if (s.halfPoints > 0)
            f.setProperty(QTextFormat::FontPixelSize, std::clamp((s.halfPoints + 1) / 2, kMinPixelSize, kMaxPixelSize));
        if (s.weight > 0)
            f.setFontWeight(s.weight);
        if (s.italic)
            f.setFontItalic(true);
        if (s.underline)
            f.setFontUnderline(true);
        if (s.strike)
            f.setFontStrikeOut(true);
        if (s.vertical != 0)
            f.setVerticalAlignment(s.vertical == 1 ? QTextCharFormat::AlignSuperScript
                                                   : QTextCharFormat::AlignSubScript);
        if (!s.href.isEmpty()) {
            f.setAnchor(true);
            f.setAnchorHref(s.href);
        }
        if (const QColor c = colour(s.fg, s.fgAlpha); c.isValid())
            f.setForeground(c);
        if (const QColor c = colour(s.bg, s.bgAlpha); c.isValid())
            f.setBackground(c);
        return f;
    }

    QColor colour(int index, int alpha) const {
        if (index < 0 || index >= int(m_colours.size()) || m_colours[std::size_t(index)].isAuto)
            return {};
        QRgba64 rgba = QRgba64::fromArgb32(m_colours[std::size_t(index)].rgb | 0xFF000000u);
        rgba.setAlpha(quint16(alpha));
        return QColor::fromRgba64(rgba);
    }

    void applyBlockFormat() {
        const int align = state().align;
        const int style = state().style;
        if (align == 0 && style < 0)
            return;
        QTextBlockFormat f;
        if (align != 0)
            f.setAlignment(align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignJustify);
        if (style >= 0)
            f.setProperty(styleProperty, style);
        m_cursor.setBlockFormat(f);
    }

    // Hidden text read so far, as one object.
    void flushHidden() {
        if (m_hidden.isEmpty())
            return;
        flushRun();
        CharState visible = m_hiddenState;
        visible.hidden = false;
        visible.href.clear();
        QTextCharFormat f = formatFor(visible);
        f.setObjectType(hiddenTextObject);
        f.setProperty(hiddenTextProperty, m_hidden);
        m_cursor.insertText(QString(QChar::ObjectReplacementCharacter), f);
        m_hidden.clear();
        m_paragraphHasText = true;
    }

    // A picture group, from its "{" at `open`: PNG and JPEG are shown, and every picture's group is kept
    // as it came, to be written back.
    // `from` is where its \pict starts: what its group held before was read already.
    void readPicture(const char* from) {
        flushBytes();
        // A group the data ends in cannot be written back whole.
        if (!skipGroup()) {
            m_lost |= lostPicture;
            return;
        }
        const QByteArray raw = '{' + QByteArray(from, m_p - from);
        struct {
            int type = 0; // 1 PNG, 2 JPEG, -1 another format
            int picw = 0, pich = 0, goalw = 0, goalh = 0, scalex = 100, scaley = 100;
        } pic;
        QByteArray bytes;
        int depth = 0;
        int nibble = -1;
        for (qsizetype i = 1; i < raw.size(); ++i) {
            const char c = raw[i];
            if (c == '{') {
                ++depth;
            } else if (c == '}') {
                --depth;
            } else if (c == '\\' && i + 1 < raw.size()) {
                qsizetype j = i + 1;
                if (!isLetter(raw[j])) {
                    i = j;
                    continue;
                }
                while (j < raw.size() && isLetter(raw[j]))
                    ++j;
                const std::string_view word(raw.constData() + i + 1, std::size_t(j - i - 1));
                const bool negative = j < raw.size() && raw[j] == '-';
                if (negative)
                    ++j;
                long long value = 0;
                while (j < raw.size() && isDigit(raw[j])) {
                    value = std::min<long long>(value * 10 + (raw[j] - '0'), kMaxParameter);
                    ++j;
                }
                const int param = int(negative ? -value : value);
                if (j < raw.size() && raw[j] == ' ')
                    ++j;
                i = j - 1;
                if (depth != 0)
                    continue;
                if (word == "pngblip")
                    pic.type = 1;
                else if (word == "jpegblip")
                    pic.type = 2;
                else if (word == "emfblip" || word == "wmetafile" || word == "macpict" || word == "pmmetafile" ||
                         word == "dibitmap" || word == "wbitmap")
                    pic.type = -1;
                else if (word == "picw")
                    pic.picw = param;
                else if (word == "pich")
                    pic.pich = param;
                else if (word == "picwgoal")
                    pic.goalw = param;
                else if (word == "pichgoal")
                    pic.goalh = param;
                else if (word == "picscalex")
                    pic.scalex = param;
                else if (word == "picscaley")
                    pic.scaley = param;
                else if (word == "bin" && param > 0) {
                    const qsizetype n = std::min<qsizetype>(param, raw.size() - j);
                    bytes.append(raw.constData() + j, n);
                    i = j + n - 1;
                }
            } else if (depth == 0) {
                const int h = hexValue(c);
                if (h < 0)
                    continue;
                if (nibble < 0) {
                    nibble = h;
                } else {
                    bytes += char(nibble * 16 + h);
                    nibble = -1;
                }
            }
        }
        if (pic.type <= 0 || bytes.isEmpty()) {
            m_lost |= lostPicture;
            return;
        }
        placeCursor();
        flushHidden();
        settleMarker();
        flushRun();
        QTextDocument* doc = m_cursor.document();
        const QUrl name(QStringLiteral("tolmek-rtf-picture:") +
                        QString::fromLatin1(QCryptographicHash::hash(raw, QCryptographicHash::Sha1).toHex()));
        doc->addResource(pictureResource, pictureGroupName(name.toString()), raw);
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer, pic.type == 1 ? "png" : "jpeg");
        reader.setAutoTransform(true);
        const QSize size = reader.size();
        QImage image;
        if (size.isValid() && qint64(size.width()) * size.height() <= kMaxPicturePixels - m_picturePixels) {
            m_picturePixels += qint64(size.width()) * size.height();
            image = reader.read();
        }
        // Its size as the text shows it: one pixel for a point, as our sizes are written.
        auto side = [](int goal, int pixels, int scale) {
            const double px = goal > 0 ? goal / 20.0 : pixels;
            return std::clamp(int(px * std::clamp(scale, 1, 1000) / 100.0 + 0.5), 1, kMaxPictureSide);
        };
        const QSize pixels = size.isValid() ? size : QSize(pic.picw, pic.pich);
        const int w = side(pic.goalw, pixels.width() > 0 ? pixels.width() : 100, pic.scalex);
        const int h = side(pic.goalh, pixels.height() > 0 ? pixels.height() : 100, pic.scaley);
        if (image.isNull()) {
            image = QImage(1, 1, QImage::Format_ARGB32);
            image.fill(QColor(128, 128, 128, 64));
        }
        // Qt paints a picture from a pixmap, made from an image at every paint: made once here on the
        // thread that paints.
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
            QThread::currentThread() == QCoreApplication::instance()->thread())
            doc->addResource(QTextDocument::ImageResource, name, QPixmap::fromImage(image));
        else
            doc->addResource(QTextDocument::ImageResource, name, image);
        QTextImageFormat f;
        f.setName(name.toString());
        f.setWidth(w);
        f.setHeight(h);
        m_cursor.insertText(QString(QChar::ObjectReplacementCharacter), f);
        m_paragraphHasText = true;
        ++m_textCount;
    }

    // Puts the cursor where the paragraph being read belongs: in a table's cell or after the table.
    void placeCursor() {
        if (state().dest != Dest::Text)
            return;
        if (state().inTable) {
            if (!m_inCell)
                enterCell();
        } else if (m_table) {
            leaveTable();
        }
    }

    // Cells are entered in order, each right after the one before (an empty cell takes one position), so
    // that no cell is looked up: Qt finds a cell by rebuilding the table's grid after every change, which
    // would cost each cell the whole table. Rows are added in growing batches for the same reason; what
    // is left of the last batch goes when the table ends.
    void enterCell() {
        ++m_textCount;
        flushHidden();
        flushRun();
        m_pendingTab = false;
        if (!m_table) {
            QTextTableFormat format;
            format.setCellPadding(4);
            format.setCellSpacing(0);
            format.setBorderCollapse(true);
            format.setBorder(m_rowBorder ? 1 : 0);
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setBorderBrush(QColor(128, 128, 128));
            // An empty paragraph opened by the mark before the table is where the table goes: the
            // paragraph before it stays the one before the table.
            const QTextBlock block = m_cursor.block();
            const bool opened = block.length() == 1 && block.previous().isValid() &&
                !QTextCursor(block.previous()).currentTable() && !QTextCursor(block).currentFrame()->parentFrame();
            const int position = block.position();
            const QTextBlockFormat before = opened ? block.previous().blockFormat() : QTextBlockFormat();
            m_columns = std::max<int>(1, int(m_rowEdges.size()));
            m_table = m_cursor.insertTable(1, m_columns, format);
            if (opened) {
                QTextCursor join(m_cursor.document());
                join.setPosition(position);
                join.deletePreviousChar();
                // The paragraph before keeps its own format, not the opened one's.
                join.setBlockFormat(before);
            }
            m_rowsMade = 1;
            m_row = 0;
            m_col = 0;
            m_rowOpen = true;
            m_edgesSet = false;
            m_inCell = true;
            return;
        }
        if (!m_rowOpen) {
            // The first cell of the next row, after the cells the last one left empty.
            m_nextCell += std::max(0, m_columns - m_col);
            ++m_row;
            m_col = 0;
            m_rowOpen = true;
            if (m_row >= m_rowsMade) {
                const int more = std::clamp(m_rowsMade, 1, 512);
                m_table->appendRows(more);
                m_rowsMade += more;
            }
        }
        if (m_col >= m_columns) {
            // More cells than the row's definition said: a column more, or the last cell again.
            if (m_columns < kMaxColumns) {
                m_table->appendColumns(m_col - m_columns + 1);
                m_columns = m_col + 1;
            } else {
                m_col = m_columns - 1;
            }
            m_cursor = m_table->cellAt(m_row, m_col).lastCursorPosition();
        } else {
            m_cursor.setPosition(m_nextCell);
        }
        m_inCell = true;
    }

    void endCell() {
        placeCursor();
        flushHidden();
        settleMarker();
        flushRun();
        applyBlockFormat();
        placeInList();
        m_pendingTab = false;
        m_inCell = false;
        m_nextCell = m_cursor.position() + 1;
        ++m_col;
    }

    void endRow() {
        if (m_inCell)
            endCell();
        if (!m_rowOpen)
            return;
        if (!m_edgesSet && !m_rowEdges.empty()) {
            // The first row's edges: the table's columns, and what is written back.
            m_edgesSet = true;
            QTextTableFormat format = m_table->format();
            QVariantList edges;
            QList<QTextLength> widths;
            int left = 0;
            const int total = m_rowEdges.back() > 0 ? m_rowEdges.back() : 0;
            for (const int edge : m_rowEdges) {
                edges.append(edge);
                widths.append(total > 0 && edge > left
                                  ? QTextLength(QTextLength::PercentageLength, 100.0 * (edge - left) / total)
                                  : QTextLength());
                left = std::max(left, edge);
            }
            format.setProperty(cellEdgesProperty, edges);
            if (int(widths.size()) == m_columns)
                format.setColumnWidthConstraints(widths);
            if (m_rowBorder)
                format.setBorder(1);
            m_table->setFormat(format);
        }
        m_rowOpen = false;
        m_inCell = false;
        m_cursor.setPosition(m_table->lastPosition() + 1);
    }

    void leaveTable() {
        flushHidden();
        flushRun();
        if (const int used = m_row + 1; m_rowsMade > used)
            m_table->removeRows(used, m_rowsMade - used);
        m_cursor.setPosition(m_table->lastPosition() + 1);
        m_table = nullptr;
        m_inCell = false;
        m_rowOpen = false;
    }

    void paragraphBreak() {
        // A hidden paragraph mark joins its paragraph to the next one, as it shows, and is kept hidden.
        if (state().ch.hidden) {
            appendChar(0x2029);
            return;
        }
        if (state().dest == Dest::Footnote) {
            appendChar(u' ');
            return;
        }
        if (state().dest != Dest::Text)
            return;
        placeCursor();
        flushHidden();
        ++m_textCount;
        m_pendingTab = false;
        settleMarker();
        flushRun();
        applyBlockFormat();
        placeInList();
        m_cursor.insertBlock(QTextBlockFormat(), formatFor(state().ch));
    }

    void flushFontName() {
        if (m_fontNameBytes.isEmpty())
            return;
        const int codepage = m_fontEntry.codepage ? m_fontEntry.codepage
            : m_fontCharsetCodepage               ? m_fontCharsetCodepage
                                                  : m_ansiCodepage;
        QString decoded;
        decode(codepage, m_fontNameBytes, decoded);
        m_fontNameBytes.clear();
        m_fontEntry.name += decoded.left(kMaxFontNameLength - m_fontEntry.name.size());
    }

    void commitStyle() {
        if (!m_styleEntryOpen)
            return;
        m_styles.insert(m_styleNumber, StyleInfo{state().ch, state().align});
        m_styleEntryOpen = false;
    }

    void commitFont() {
        flushFontName();
        m_fontEntry.name = cleanFontName(m_fontEntry.name);
        if (!m_fontEntry.codepage)
            m_fontEntry.codepage = m_fontCharsetCodepage;
        // Symbol draws its bullet at 0xB7 whether or not its entry names its character set.
        if (!m_fontEntry.codepage && m_fontEntry.name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
            m_fontEntry.codepage = kSymbolCodepage;
        m_fonts.insert(m_fontNumber, m_fontEntry);
        m_fontEntryOpen = false;
    }

    void finish() {
        flushBytes();
        flushHidden();
        if (m_table)
            leaveTable();
        settleMarker();
        flushRun();
        applyBlockFormat();
        placeInList();
        // Footnotes have no place of their own in the document: they follow its text, numbered, so
        // that nothing of them is lost when the text is written again.
        int number = 0;
        for (const Footnote& note : m_footnotes) {
            ++number;
            const QString text = note.text.simplified();
            if (text.isEmpty())
                continue;
            QTextBlockFormat block;
            block.setProperty(footnoteProperty, number);
            m_cursor.insertBlock(block, note.format);
            m_cursor.insertText(QString::number(number) + QStringLiteral(". ") + text, note.format);
        }
        if (!m_styleSheetRaw.isEmpty()) {
            // With the fonts and colours it names, which the writer numbers its own way.
            QVariantMap fonts;
            for (auto it = m_fonts.cbegin(); it != m_fonts.cend(); ++it)
                fonts.insert(QString::number(it.key()), it->name);
            QVariantList colours;
            for (const Colour& c : m_colours)
                colours.append(c.isAuto ? QVariant() : QVariant(uint(c.rgb)));
            const QVariantMap sheet{{QStringLiteral("raw"), m_styleSheetRaw},
                                    {QStringLiteral("fonts"), fonts},
                                    {QStringLiteral("colours"), colours}};
            m_cursor.document()->setProperty(kStyleSheetProperty, sheet);
        }
        m_done = true;
    }

    static bool isTrailer(char c) { return c == '}' || c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\0'; }

    const char* m_p;
    const char* m_wordStart = nullptr; // the backslash of the control word being read
    const char* const m_end;
    const char* m_contentEnd;
    QTextCursor m_cursor;
    std::vector<GroupState> m_stack;
    int m_flatDepth = 0;
    bool m_done = false;
    bool m_star = false;
    bool m_attachmentMark = false; // just after a \NeXTGraphic group: a 0xAC byte is its mark
    int m_skip = 0; // fallback characters still to skip after \u
    bool m_pendingTab = false;
    const bool m_ownDefaultFont;

    std::size_t m_styleSheetDepth = 0;
    const char* m_styleSheetOpen = nullptr;
    QByteArray m_styleSheetRaw;
    bool m_styleSheetSafe = false;
    qint64 m_styleSheetTextCount = 0;
    qint64 m_textCount = 0; // text, paragraphs and objects read so far
    unsigned m_lost = 0;
    qint64 m_picturePixels = 0; // decoded so far
    QString m_hidden; // hidden text read since the last visible character
    CharState m_hiddenState;
    std::vector<int> m_rowEdges; // the \cellx of the row being defined
    bool m_rowBorder = false;
    QTextTable* m_table = nullptr; // the table being read
    int m_row = 0; // the row being read, or the last one
    int m_col = 0;
    int m_columns = 0;
    int m_rowsMade = 0;
    int m_nextCell = 0; // where the cell after the last one read starts
    bool m_rowOpen = false;
    bool m_inCell = false;
    bool m_edgesSet = false;
    bool m_styleEntryOpen = false;
    int m_styleNumber = 0;
    QHash<int, StyleInfo> m_styles;

    ListState m_pn; // the numbering being read
    bool m_listSetInParagraph = false;
    bool m_paragraphHasText = false;
    bool m_paragraphHasMarker = false;
    bool m_markerPending = false;
    QString m_marker; // the marker being read
    CharState m_markerState;
    QString m_paragraphMarker;
    struct OpenList {
        int level = 0;
        int id = 0;
        int style = 0;
        // A list goes when its last item does (a paragraph joined to the one a table follows): not a list
        // to add to any more.
        QPointer<QTextList> list;
    };
    std::vector<OpenList> m_lists; // the unnamed ones, by level
    QHash<qint64, OpenList> m_namedLists;
    QString m_fieldInst;
    struct Footnote {
        QString text;
        QTextCharFormat format;
    };
    std::vector<Footnote> m_footnotes;
    int m_footnoteRefs = 0;

    int m_ansiCodepage = 1252;
    int m_defaultFont = 0;
    QHash<int, FontInfo> m_fonts;
    bool m_fontEntryOpen = false;
    std::size_t m_fontTableDepth = 0;
    int m_fontNumber = 0;
    int m_fontCharsetCodepage = 0;
    FontInfo m_fontEntry;
    QByteArray m_fontNameBytes;
    std::vector<Colour> m_colours;
    Colour m_colour;
    bool m_colourHasComponent = false;

    QByteArray m_bytes; // text bytes not yet decoded; a double-byte character may span two \'hh
    QString m_decoded;
    QString m_run;
    CharState m_runState;
    bool m_runOpen = false;
    CodepageDecoder m_decoder;
};

bool isRtf(const QByteArray& data) {
    const char* p = data.constData();
    const char* end = p + data.size();
    if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n'))
        ++p;
    return end - p >= 5 && std::memcmp(p, "{\\rtf", 5) == 0;
}

} // namespace

int endOfText(const QTextDocument& doc) {
    QTextBlock block = doc.lastBlock();
    while (block.isValid() && block.previous().isValid() && block.blockFormat().intProperty(footnoteProperty) > 0)
        block = block.previous();
    return block.position() + block.length() - 1;
}

QUrl pictureGroupName(const QString& imageName) {
    // Resources are kept by name whatever their type: the group's name is its own.
    return QUrl(QStringLiteral("tolmek-rtf-group:") + imageName);
}

QString plainText(const QTextDocument& doc) {
    QString text = doc.toPlainText();
    text.remove(QChar::ObjectReplacementCharacter);
    return text;
}

bool read(const QByteArray& data, QTextDocument& doc, ReadInfo* info) {
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    doc.setProperty(kStyleSheetProperty, QVariant());
    const bool ok = isRtf(data);
    if (ok) {
        // One edit block: the layout and the change signals follow once, at the end.
        QTextCursor batch(&doc);
        batch.beginEditBlock();
        Reader reader(data, doc);
        reader.parse();
        if (info)
            info->lost = reader.lost();
        batch.endEditBlock();
    }
    doc.setUndoRedoEnabled(undo);
    return ok;
}

} // namespace rtf
