#pragma once

#include <QString>

#include <cstdint>

// Details shared by the RTF writer and reader.
namespace rtf::detail {

// Sizes: the application works in pixels, RTF in half-points. One pixel is written as one point
// (\fs = 2 × pixels), which keeps every whole pixel size exact; odd half-points from other
// programs round up to the next pixel.
constexpr int kMinPixelSize = 1;
constexpr int kMaxPixelSize = 1600;

// Private control words. Other readers ignore unknown control words, and still see \b for a
// semibold run and an opaque \highlight/\cb for a translucent one.
inline constexpr const char* kWeightWord = "tolmekweight"; // exact weight, 1..1000
inline constexpr const char* kForegroundAlphaWord = "tolmekfga"; // 16-bit alpha of \cf, 0..65534
inline constexpr const char* kBackgroundAlphaWord = "tolmekbga"; // 16-bit alpha of \cb, 0..65534
inline constexpr const char* kListLevelWord = "tolmeklistlevel"; // a list item's nesting, 2..9
inline constexpr const char* kListIdWord = "tolmeklist"; // which list of the document, 1..

// How the writer's output starts. Text in its default font has no family of its own: it follows
// the editor's font. Another program's default font is a family it chose.
inline constexpr const char kOwnHeader[] = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";

// Characters that neither the writer emits nor the reader inserts: they stand for structure
// (paragraph and frame separators, embedded objects) or are control characters.
inline bool isDroppedChar(char16_t c) {
    if (c < 0x20)
        return c != u'\t';
    return c == 0x2029 || c == 0xFFFC || c == 0xFDD0 || c == 0xFDD1 || c == 0x7F;
}

constexpr int kMaxFontNameLength = 256;

// The style sheet as read: a property of the document holding a map of "raw" (its group as it came),
// "fonts" (number → name) and "colours" (the colour table's RGB values, null for auto). A property rather
// than a resource: the writer asks for it at every write, and a resource that is not there is looked for
// in files.
inline constexpr char kStyleSheetProperty[] = "_tolmek_rtf_stylesheet";

// A font family name as written in and read from the font table: without the characters above,
// at most kMaxFontNameLength long, without surrounding blanks.
inline QString cleanFontName(const QString& name) {
    QString clean;
    clean.reserve(name.size());
    for (const QChar c : name) {
        if (!isDroppedChar(c.unicode()))
            clean += c;
    }
    return clean.left(kMaxFontNameLength).trimmed();
}

// Windows-1252, the code page of RTF's \ansi and of our own fallback characters.
char16_t cp1252ToUnicode(unsigned char byte);
// The cp1252 byte for `c`, or 0 when there is none.
unsigned char unicodeToCp1252(char16_t c);

// Decodes the bytes of one code page to UTF-16. Other code pages than 1252 and UTF-8 go through
// the C library's iconv; converters are opened lazily and kept for the life of the decoder.
class CodepageDecoder {
public:
    CodepageDecoder() = default;
    ~CodepageDecoder();
    CodepageDecoder(const CodepageDecoder&) = delete;
    CodepageDecoder& operator=(const CodepageDecoder&) = delete;

    // Appends the text of `bytes` in code page `codepage` to `out`. Invalid bytes become U+FFFD.
    void decode(int codepage, const char* bytes, int size, QString& out);

private:
    struct Converter {
        int codepage;
        void* handle; // iconv_t, or (void*)-1 when the code page is unavailable
    };
    void* converterFor(int codepage);
    Converter m_converters[8] = {};
    int m_count = 0;
};

// The code page of an RTF \fcharset value, or 0 when the charset uses the document's code page.
int codepageForCharset(int charset);

} // namespace rtf::detail
