#include "editor/CodeLanguages.h"

namespace codelang {

namespace {
struct Row {
    const char* name;
    const char* icon;
    StandardColor color;
};
constexpr Row kRows[] = {
    {"bash", "terminal.fill", StandardColor::green},
    {"php", "doc.text.fill", StandardColor::purple},
    {"javascript", "curlybraces", StandardColor::yellow},
    {"typescript", "curlybraces.square.fill", StandardColor::blue},
    {"swift", "swift", StandardColor::orange},
    {"python", "chevron.left.forwardslash.chevron.right", StandardColor::blue},
    {"sql", "cylinder.fill", StandardColor::cyan},
    {"json", "doc.plaintext", StandardColor::gray},
    {"html", "chevron.left.slash.chevron.right", StandardColor::orange},
    {"css", "paintpalette.fill", StandardColor::blue},
    {"yaml", "doc.text", StandardColor::purple},
    {"markdown", "text.alignleft", StandardColor::gray},
    {"xml", "chevron.left.slash.chevron.right", StandardColor::red},
    {"ruby", "gem.fill", StandardColor::red},
    {"go", "arrow.triangle.capsulepath", StandardColor::cyan},
    {"rust", "gearshape.2.fill", StandardColor::orange},
    {"c", "text.cursor", StandardColor::blue},
    {"cpp", "plusminus.circle.fill", StandardColor::purple},
    {"java", "cup.and.saucer.fill", StandardColor::red},
    {"kotlin", "k.square.fill", StandardColor::purple},
};
} // namespace

const QList<Language>& languages() {
    static const QList<Language> list = [] {
        QList<Language> l;
        for (const Row& r : kRows)
            l.append({QString::fromLatin1(r.name), QString::fromLatin1(r.icon), r.color});
        return l;
    }();
    return list;
}

const Language& current(const QString& language) {
    const QString lower = language.toLower();
    const auto& list = languages();
    for (const auto& l : list)
        if (l.name == lower)
            return l;
    return list.front();
}

QString capitalized(const QString& text) {
    QString out = text.toLower();
    bool start = true;
    for (QChar& c : out) {
        if (!c.isSpace()) {
            if (start)
                c = c.toUpper();
            start = false;
        } else {
            start = true;
        }
    }
    return out;
}

int lineCount(const QString& code) {
    int n = 1;
    for (QChar c : code) {
        switch (c.unicode()) {
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x85:
        case 0x2028:
        case 0x2029: ++n; break;
        default: break;
        }
    }
    return n;
}

} // namespace codelang
