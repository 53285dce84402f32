// Qt asks fontconfig for the rendering settings (hinting, antialiasing, sub-pixel order) of every font
// engine it makes, one per face and size: a pattern naming the face's file, given to FcFontMatch. The
// match scores every installed font against a long substituted family list to find, first of all, that
// same file: a tenth of the first frame with the nine engines of the first screen. Since the file decides
// the match (it is the first of fontconfig's criteria), the face is looked up here by file and index and
// its settings prepared exactly as the full match prepares them. Any other pattern takes the full match.
//
// This definition in the executable takes precedence over the library's for Qt's calls.
#include <fontconfig/fontconfig.h>

#include <dlfcn.h>

#include <cstring>
#include <initializer_list>

namespace {

using MatchFn = FcPattern* (*)(FcConfig*, FcPattern*, FcResult*);

MatchFn libraryMatch() {
    static const MatchFn fn = reinterpret_cast<MatchFn>(dlsym(RTLD_NEXT, "FcFontMatch"));
    return fn;
}

FcPattern* faceOfFile(FcConfig* config, const FcChar8* file, int index) {
    for (FcSetName which : {FcSetSystem, FcSetApplication}) {
        FcFontSet* set = FcConfigGetFonts(config, which);
        if (!set)
            continue;
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* candidate = nullptr;
            int candidateIndex = 0;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &candidate) == FcResultMatch &&
                FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &candidateIndex) == FcResultMatch &&
                candidateIndex == index && std::strcmp(reinterpret_cast<const char*>(candidate),
                                                       reinterpret_cast<const char*>(file)) == 0)
                return set->fonts[i];
        }
    }
    return nullptr;
}

} // namespace

extern "C" __attribute__((visibility("default"))) FcPattern* FcFontMatch(FcConfig* config, FcPattern* pattern,
                                                                        FcResult* result) {
    FcChar8* file = nullptr;
    int index = 0;
    if (pattern && FcPatternGetString(pattern, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetInteger(pattern, FC_INDEX, 0, &index) == FcResultMatch) {
        if (FcPattern* face = faceOfFile(config, file, index)) {
            if (FcPattern* prepared = FcFontRenderPrepare(config, pattern, face)) {
                if (result)
                    *result = FcResultMatch;
                return prepared;
            }
        }
    }
    const MatchFn match = libraryMatch();
    if (!match) {
        if (result)
            *result = FcResultNoMatch;
        return nullptr;
    }
    return match(config, pattern, result);
}
