// The application's own FcFontMatch (linked into this program as into the application) must give Qt the
// rendering settings fontconfig's full match gives, for every installed face and for patterns it leaves
// to the full match.
#include <fontconfig/fontconfig.h>

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using MatchFn = FcPattern* (*)(FcConfig*, FcPattern*, FcResult*);

MatchFn fullMatch() { return reinterpret_cast<MatchFn>(dlsym(RTLD_NEXT, "FcFontMatch")); }

// A pattern as Qt builds it for a font engine: the face's family, its file and index, a pixel size,
// then fontconfig's substitutions.
FcPattern* enginePattern(const char* family, const char* file, int index, double pixelSize) {
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    if (file) {
        FcPatternAddString(p, FC_FILE, reinterpret_cast<const FcChar8*>(file));
        FcPatternAddInteger(p, FC_INDEX, index);
    }
    FcPatternAddDouble(p, FC_PIXEL_SIZE, pixelSize);
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    return p;
}

// What Qt reads of the match.
std::string settings(FcPattern* match) {
    std::string out;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
        out += reinterpret_cast<const char*>(file);
    for (const char* object : {FC_ANTIALIAS, FC_HINTING, FC_AUTOHINT, FC_EMBOLDEN}) {
        FcBool b = FcFalse;
        out += std::string("|") + object + '=' +
               (FcPatternGetBool(match, object, 0, &b) == FcResultMatch ? std::to_string(b) : "-");
    }
    for (const char* object : {FC_HINT_STYLE, FC_RGBA, FC_LCD_FILTER, FC_INDEX}) {
        int i = 0;
        out += std::string("|") + object + '=' +
               (FcPatternGetInteger(match, object, 0, &i) == FcResultMatch ? std::to_string(i) : "-");
    }
    return out;
}

void expectSameAsFullMatch(FcPattern* pattern, const std::string& what) {
    SCOPED_TRACE(what);
    FcResult ours = FcResultNoMatch, theirs = FcResultNoMatch;
    FcPattern* a = FcFontMatch(nullptr, pattern, &ours);
    FcPattern* b = fullMatch()(nullptr, pattern, &theirs);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(ours, theirs);
    EXPECT_EQ(settings(a), settings(b));
    FcPatternDestroy(a);
    FcPatternDestroy(b);
}

} // namespace

TEST(FontMatch, GivesTheSettingsOfTheFullMatch) {
    ASSERT_TRUE(fullMatch());
    ASSERT_NE(reinterpret_cast<void*>(&FcFontMatch), reinterpret_cast<void*>(fullMatch()));
    FcFontSet* installed = FcConfigGetFonts(nullptr, FcSetSystem);
    ASSERT_TRUE(installed && installed->nfont > 0);
    for (int i = 0; i < installed->nfont; ++i) {
        FcChar8 *family = nullptr, *file = nullptr;
        int index = 0;
        FcPattern* face = installed->fonts[i];
        if (FcPatternGetString(face, FC_FAMILY, 0, &family) != FcResultMatch ||
            FcPatternGetString(face, FC_FILE, 0, &file) != FcResultMatch ||
            FcPatternGetInteger(face, FC_INDEX, 0, &index) != FcResultMatch)
            continue;
        for (double size : {9.0, 13.0, 22.0}) {
            FcPattern* p = enginePattern(reinterpret_cast<const char*>(family), reinterpret_cast<const char*>(file),
                                         index, size);
            expectSameAsFullMatch(p, reinterpret_cast<const char*>(file) + std::string(" at ") + std::to_string(size));
            FcPatternDestroy(p);
        }
    }
    // Without a file, or with one that is not installed, the full match decides.
    FcPattern* noFile = enginePattern("Sans", nullptr, 0, 13);
    expectSameAsFullMatch(noFile, "no file");
    FcPatternDestroy(noFile);
    FcPattern* missing = enginePattern("Sans", "/nonexistent/font.ttf", 0, 13);
    expectSameAsFullMatch(missing, "missing file");
    FcPatternDestroy(missing);
}
