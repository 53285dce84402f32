#include "rtf/RtfInternal.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace rtf::detail {

namespace {

// 0x80..0x9F of Windows-1252; the five unassigned bytes map to the C1 control of the same value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const char* iconvName(int codepage) {
    switch (codepage) {
    case 437: return "IBM437";
    case 850: return "IBM850";
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "GBK";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    default: return nullptr;
    }
}

void decodeCp1252(const char* bytes, int size, QString& out) {
    const qsizetype start = out.size();
    out.resize(start + size);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data()) + start;
    for (int i = 0; i < size; ++i)
        dst[i] = cp1252ToUnicode(static_cast<unsigned char>(bytes[i]));
}

} // namespace

char16_t cp1252ToUnicode(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char16_t(byte);
}

unsigned char unicodeToCp1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<unsigned char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == c && (c < 0x80 || c > 0x9F))
            return static_cast<unsigned char>(0x80 + i);
    }
    return 0;
}

int codepageForCharset(int charset) {
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0; // ANSI, default, symbol and unknown charsets
    }
}

CodepageDecoder::~CodepageDecoder() {
    for (int i = 0; i < m_count; ++i) {
        if (m_converters[i].handle != reinterpret_cast<void*>(-1))
            iconv_close(static_cast<iconv_t>(m_converters[i].handle));
    }
}

void* CodepageDecoder::converterFor(int codepage) {
    for (int i = 0; i < m_count; ++i) {
        if (m_converters[i].codepage == codepage)
            return m_converters[i].handle;
    }
    const char* name = iconvName(codepage);
    void* handle = name ? reinterpret_cast<void*>(iconv_open("UTF-16LE", name)) : reinterpret_cast<void*>(-1);
    // A document naming more code pages than we keep converters for decodes the rest as cp1252.
    if (m_count < int(std::size(m_converters)))
        m_converters[m_count++] = {codepage, handle};
    else if (handle != reinterpret_cast<void*>(-1)) {
        iconv_close(static_cast<iconv_t>(handle));
        handle = reinterpret_cast<void*>(-1);
    }
    return handle;
}

void CodepageDecoder::decode(int codepage, const char* bytes, int size, QString& out) {
    if (size <= 0)
        return;
    if (codepage == 65001) {
        out += QString::fromUtf8(bytes, size);
        return;
    }
    if (codepage == 1252 || codepage == 0) {
        decodeCp1252(bytes, size, out);
        return;
    }
    void* handle = converterFor(codepage);
    if (handle == reinterpret_cast<void*>(-1)) {
        decodeCp1252(bytes, size, out);
        return;
    }
    auto cd = static_cast<iconv_t>(handle);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    char buffer[1024];
    char* in = const_cast<char*>(bytes);
    size_t inLeft = size_t(size);
    while (inLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        const int err = rc == size_t(-1) ? errno : 0;
        const size_t produced = sizeof buffer - dstLeft;
        const qsizetype start = out.size();
        out.resize(start + qsizetype(produced / 2));
        auto* target = reinterpret_cast<char16_t*>(out.data()) + start;
        for (size_t i = 0; i + 1 < produced; i += 2)
            target[i / 2] =
                char16_t(static_cast<unsigned char>(buffer[i]) | (static_cast<unsigned char>(buffer[i + 1]) << 8));
        if (err == E2BIG)
            continue;
        if (err == EILSEQ) {
            out += QChar::ReplacementCharacter;
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        if (err != 0) { // an incomplete sequence at the end, or any other failure
            out += QChar::ReplacementCharacter;
            break;
        }
    }
}

} // namespace rtf::detail
