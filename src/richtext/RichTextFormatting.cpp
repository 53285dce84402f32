#include "richtext/RichTextFormatting.h"

#include "ui/Palette.h"
#include "ui/Fonts.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <functional>
#include <vector>

namespace richtext {

namespace {

struct Run {
    int start;
    int end;
    QTextCharFormat format;
};

// The runs of equal character format inside the selection, clipped to it, in text order.
std::vector<Run> selectedRuns(const QTextCursor& cursor) {
    std::vector<Run> runs;
    const QTextDocument* doc = cursor.document();
    if (!doc)
        return runs;
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    for (QTextBlock block = doc->findBlock(start); block.isValid() && block.position() < end; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int a = std::max(start, fragment.position());
            const int b = std::min(end, fragment.position() + fragment.length());
            if (a < b)
                runs.push_back({a, b, fragment.charFormat()});
        }
    }
    return runs;
}

bool hasSelection(const QTextCursor& cursor) {
    return cursor.document() && cursor.selectionEnd() - cursor.selectionStart() >= 1;
}

// Rewrites the format of every run of the selection with `edit`, as one undo step.
void editRuns(QTextCursor& cursor, const std::function<void(QTextCharFormat&)>& edit) {
    if (!hasSelection(cursor))
        return;
    const std::vector<Run> runs = selectedRuns(cursor);
    if (runs.empty())
        return;
    QTextCursor c(cursor.document());
    c.beginEditBlock();
    for (const Run& run : runs) {
        QTextCharFormat f = run.format;
        edit(f);
        if (f == run.format)
            continue;
        c.setPosition(run.start);
        c.setPosition(run.end, QTextCursor::KeepAnchor);
        c.setCharFormat(f);
    }
    c.endEditBlock();
}

// Replaces the whole font of a format: family, pixel size, weight, and no italic.
void setFont(QTextCharFormat& f, const QString& family, int pixelSize, int weight) {
    f.clearProperty(QTextFormat::FontFamily);
    f.clearProperty(QTextFormat::FontStyleName);
    f.clearProperty(QTextFormat::FontPointSize);
    f.clearProperty(QTextFormat::FontSizeAdjustment);
    f.clearProperty(QTextFormat::FontFixedPitch);
    f.setFontFamilies(QStringList{family});
    f.setProperty(QTextFormat::FontPixelSize, pixelSize);
    f.setFontWeight(weight);
    f.setFontItalic(false);
}

bool hasUnderline(const QTextCharFormat& f) {
    return f.hasProperty(QTextFormat::TextUnderlineStyle) &&
        f.intProperty(QTextFormat::TextUnderlineStyle) != QTextCharFormat::NoUnderline;
}

template <typename Op>
void onView(QTextEdit* view, Op op) {
    if (!view)
        return;
    QTextCursor cursor = view->textCursor();
    op(cursor);
}

} // namespace

void applyNormalStyle(QTextCursor& cursor) {
    editRuns(cursor, [](QTextCharFormat& f) {
        setFont(f, Fonts::systemFamily(), kBodySize, QFont::Normal);
        f.clearProperty(QTextFormat::TextUnderlineStyle);
        f.clearProperty(QTextFormat::FontUnderline);
        f.clearProperty(QTextFormat::FontStrikeOut);
    });
}

void applyHeading(QTextCursor& cursor, int pixelSize, int weight) {
    editRuns(cursor, [&](QTextCharFormat& f) { setFont(f, Fonts::systemFamily(), pixelSize, weight); });
}

void toggleBold(QTextCursor& cursor) {
    editRuns(cursor, [](QTextCharFormat& f) {
        f.setFontWeight(f.fontWeight() >= QFont::DemiBold ? QFont::Normal : QFont::Bold);
    });
}

void toggleItalic(QTextCursor& cursor) {
    editRuns(cursor, [](QTextCharFormat& f) { f.setFontItalic(!f.fontItalic()); });
}

void toggleAttribute(QTextCursor& cursor, ToggledAttribute attribute) {
    if (!hasSelection(cursor))
        return;
    const std::vector<Run> runs = selectedRuns(cursor);
    if (runs.empty())
        return;
    const QTextCharFormat& first = runs.front().format;
    if (attribute == ToggledAttribute::underline) {
        const bool present = hasUnderline(first);
        editRuns(cursor, [present](QTextCharFormat& f) {
            f.clearProperty(QTextFormat::FontUnderline);
            if (present)
                f.clearProperty(QTextFormat::TextUnderlineStyle);
            else
                f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        });
    } else {
        const bool present = first.fontStrikeOut();
        editRuns(cursor, [present](QTextCharFormat& f) {
            if (present)
                f.clearProperty(QTextFormat::FontStrikeOut);
            else
                f.setFontStrikeOut(true);
        });
    }
}

void applyTextColor(QTextCursor& cursor, const QColor& color) {
    if (!color.isValid())
        return;
    QColor c = color.toRgb();
    c.setAlpha(255);
    editRuns(cursor, [&](QTextCharFormat& f) { f.setForeground(c); });
}

void applyDefaultTextColor(QTextCursor& cursor) {
    editRuns(cursor, [](QTextCharFormat& f) { f.clearForeground(); });
}

void applyHighlight(QTextCursor& cursor, const QColor& color) {
    if (!color.isValid())
        return;
    QColor c = color.toRgb();
    c.setAlphaF(0.3f);
    editRuns(cursor, [&](QTextCharFormat& f) { f.setBackground(c); });
}

void removeHighlight(QTextCursor& cursor) {
    editRuns(cursor, [](QTextCharFormat& f) { f.clearBackground(); });
}

void applyInlineCode(QTextCursor& cursor) {
    // The appearance the palette paints with now.
    QColor grey = standardColor(StandardColor::gray);
    grey.setAlphaF(0.2f);
    editRuns(cursor, [&](QTextCharFormat& f) {
        setFont(f, Fonts::monoFamily(), kInlineCodeSize, QFont::Normal);
        f.setBackground(grey);
    });
}

void applyNormalStyle(QTextEdit* view) {
    onView(view, [](QTextCursor& c) { applyNormalStyle(c); });
}
void applyHeading(QTextEdit* view, int pixelSize, int weight) {
    onView(view, [&](QTextCursor& c) { applyHeading(c, pixelSize, weight); });
}
void toggleBold(QTextEdit* view) {
    onView(view, [](QTextCursor& c) { toggleBold(c); });
}
void toggleItalic(QTextEdit* view) {
    onView(view, [](QTextCursor& c) { toggleItalic(c); });
}
void toggleAttribute(QTextEdit* view, ToggledAttribute attribute) {
    onView(view, [&](QTextCursor& c) { toggleAttribute(c, attribute); });
}
void applyTextColor(QTextEdit* view, const QColor& color) {
    onView(view, [&](QTextCursor& c) { applyTextColor(c, color); });
}
void applyDefaultTextColor(QTextEdit* view) {
    onView(view, [](QTextCursor& c) { applyDefaultTextColor(c); });
}
void applyHighlight(QTextEdit* view, const QColor& color) {
    onView(view, [&](QTextCursor& c) { applyHighlight(c, color); });
}
void removeHighlight(QTextEdit* view) {
    onView(view, [](QTextCursor& c) { removeHighlight(c); });
}
void applyInlineCode(QTextEdit* view) {
    onView(view, [](QTextCursor& c) { applyInlineCode(c); });
}

QColor namedColor(NamedColor c, bool dark) {
    switch (c) {
    case NamedColor::red: return standardColor(StandardColor::red, dark);
    case NamedColor::orange: return standardColor(StandardColor::orange, dark);
    case NamedColor::yellow: return standardColor(StandardColor::yellow, dark);
    case NamedColor::green: return standardColor(StandardColor::green, dark);
    case NamedColor::blue: return standardColor(StandardColor::blue, dark);
    case NamedColor::purple: return standardColor(StandardColor::purple, dark);
    // The kit's standard set has no pink; the desktop's usual values.
    case NamedColor::pink: return dark ? QColor(255, 55, 95) : QColor(255, 45, 85);
    case NamedColor::gray: return standardColor(StandardColor::gray, dark);
    }
    return {};
}

} // namespace richtext
