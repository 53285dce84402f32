#include "RichTextTestUtil.h"

#include "ui/Fonts.h"
#include "richtext/RichTextFormatting.h"

#include <gtest/gtest.h>

using namespace richtext;
using namespace rttest;

namespace {

std::unique_ptr<QTextDocument> makeDoc(const QString& text) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(Fonts::system(14));
    doc->setPlainText(text);
    return doc;
}

} // namespace

TEST(RichTextFormatting, EmptySelectionChangesNothing) {
    auto doc = makeDoc(QStringLiteral("abcd"));
    QTextCursor bold = select(*doc, 0, 2);
    toggleBold(bold);
    const QByteArray before = rtf::write(*doc);
    QTextCursor caret(doc.get());
    caret.setPosition(1);
    applyNormalStyle(caret);
    applyHeading(caret, 28, QFont::Bold);
    toggleBold(caret);
    toggleItalic(caret);
    toggleAttribute(caret, ToggledAttribute::underline);
    toggleAttribute(caret, ToggledAttribute::strikethrough);
    applyTextColor(caret, Qt::red);
    applyDefaultTextColor(caret);
    applyHighlight(caret, Qt::yellow);
    removeHighlight(caret);
    applyInlineCode(caret);
    EXPECT_EQ(rtf::write(*doc), before);
    // The next typed character keeps what it would have had.
    caret.insertText(QStringLiteral("x"));
    EXPECT_EQ(formatAt(*doc, 1).fontWeight(), QFont::Bold);
}

TEST(RichTextFormatting, BoldAndItalicToggleRunByRun) {
    auto doc = makeDoc(QStringLiteral("abcd"));
    QTextCursor ab = select(*doc, 0, 2);
    toggleBold(ab);
    QTextCursor all = select(*doc, 0, 4);
    toggleBold(all);
    toggleItalic(all);
    auto back = reloaded(*doc);
    EXPECT_EQ(back->toPlainText(), QStringLiteral("abcd"));
    EXPECT_LT(formatAt(*back, 0).fontWeight(), QFont::DemiBold);
    EXPECT_LT(formatAt(*back, 1).fontWeight(), QFont::DemiBold);
    EXPECT_EQ(formatAt(*back, 2).fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(*back, 3).fontWeight(), QFont::Bold);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(formatAt(*back, i).fontItalic()) << i;
    // A semibold heading counts as bold: the toggle makes it regular.
    QTextCursor head = select(*doc, 0, 4);
    applyHeading(head, 22, QFont::DemiBold);
    toggleBold(head);
    EXPECT_EQ(formatAt(*reloaded(*doc), 0).fontWeight(), QFont::Normal);
}

TEST(RichTextFormatting, UnderlineAndStrikethroughFollowTheFirstCharacter) {
    auto doc = makeDoc(QStringLiteral("abcdef"));
    QTextCursor a = select(*doc, 0, 1);
    toggleAttribute(a, ToggledAttribute::underline);
    QTextCursor all = select(*doc, 0, 6);
    toggleAttribute(all, ToggledAttribute::underline); // first char underlined → removed everywhere
    auto back = reloaded(*doc);
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(formatAt(*back, i).fontUnderline()) << i;

    QTextCursor e = select(*doc, 4, 5);
    toggleAttribute(e, ToggledAttribute::underline);
    toggleAttribute(all, ToggledAttribute::underline); // first char not underlined → underlined everywhere
    toggleAttribute(all, ToggledAttribute::strikethrough);
    back = reloaded(*doc);
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(formatAt(*back, i).fontUnderline()) << i;
        EXPECT_TRUE(formatAt(*back, i).fontStrikeOut()) << i;
    }
    toggleAttribute(all, ToggledAttribute::strikethrough);
    EXPECT_FALSE(formatAt(*reloaded(*doc), 3).fontStrikeOut());
}

TEST(RichTextFormatting, HeadingsAndNormalStyle) {
    auto doc = makeDoc(QStringLiteral("un deux trois"));
    QTextCursor un = select(*doc, 0, 2);
    QTextCursor deux = select(*doc, 3, 7);
    QTextCursor trois = select(*doc, 8, 13);
    toggleAttribute(un, ToggledAttribute::underline);
    applyHeading(un, 28, QFont::Bold);
    applyHeading(deux, 22, QFont::DemiBold);
    applyHeading(trois, 18, QFont::DemiBold);
    auto back = reloaded(*doc);
    EXPECT_EQ(pixelSize(formatAt(*back, 0)), 28);
    EXPECT_EQ(formatAt(*back, 0).fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatAt(*back, 0).fontUnderline()); // a heading changes nothing but the font
    EXPECT_EQ(pixelSize(formatAt(*back, 3)), 22);
    EXPECT_EQ(formatAt(*back, 3).fontWeight(), QFont::DemiBold);
    EXPECT_EQ(pixelSize(formatAt(*back, 8)), 18);
    EXPECT_EQ(formatAt(*back, 8).fontWeight(), QFont::DemiBold);

    // "Normal" on an italic, underlined, struck, coloured, highlighted heading.
    QTextCursor all = select(*doc, 0, 13);
    toggleItalic(all);
    toggleAttribute(all, ToggledAttribute::strikethrough);
    applyTextColor(all, namedColor(NamedColor::red, false));
    applyHighlight(all, namedColor(NamedColor::yellow, false));
    applyNormalStyle(all);
    back = reloaded(*doc);
    for (int i : {0, 4, 10}) {
        const QTextCharFormat f = formatAt(*back, i);
        EXPECT_EQ(pixelSize(f), 14) << i;
        EXPECT_EQ(f.fontWeight(), QFont::Normal) << i;
        EXPECT_FALSE(f.fontItalic()) << i;
        EXPECT_FALSE(f.fontUnderline()) << i;
        EXPECT_FALSE(f.fontStrikeOut()) << i;
        EXPECT_EQ(f.foreground().color().rgb(), namedColor(NamedColor::red, false).rgb()) << i;
        EXPECT_EQ(f.background().color().rgb(), namedColor(NamedColor::yellow, false).rgb()) << i;
    }
}

TEST(RichTextFormatting, ColoursAndHighlightsKeepTheirTransparency) {
    auto doc = makeDoc(QStringLiteral("rouge défaut jaune"));
    QTextCursor all = select(*doc, 0, 18);
    applyTextColor(all, QColor(10, 20, 30, 40)); // a picked colour is stored opaque
    QTextCursor def = select(*doc, 6, 12);
    applyDefaultTextColor(def);
    QTextCursor jaune = select(*doc, 13, 18);
    applyHighlight(jaune, namedColor(NamedColor::yellow, false));
    auto back = reloaded(*doc);
    EXPECT_EQ(formatAt(*back, 0).foreground().color(), QColor(10, 20, 30));
    // The default colour is no colour at all: the text follows the theme.
    EXPECT_FALSE(formatAt(*back, 7).hasProperty(QTextFormat::ForegroundBrush));
    const QColor h = formatAt(*back, 14).background().color();
    EXPECT_EQ(h.rgb(), namedColor(NamedColor::yellow, false).rgb());
    EXPECT_NEAR(h.alphaF(), 0.3, 0.01);
    EXPECT_FALSE(formatAt(*back, 0).hasProperty(QTextFormat::BackgroundBrush));
}

TEST(RichTextFormatting, InlineCodeThenHighlightChanges) {
    auto doc = makeDoc(QStringLiteral("code ici"));
    QTextCursor code = select(*doc, 0, 4);
    toggleItalic(code);
    applyInlineCode(code);
    const QByteArray once = rtf::write(*doc);
    applyInlineCode(code);
    EXPECT_EQ(rtf::write(*doc), once); // no toggle back
    auto back = reloaded(*doc);
    QTextCharFormat f = formatAt(*back, 1);
    EXPECT_EQ(family(f), Fonts::monoFamily());
    EXPECT_EQ(pixelSize(f), 13);
    EXPECT_FALSE(f.fontItalic());
    EXPECT_EQ(f.background().color().rgb(), namedColor(NamedColor::gray, ThemeManager::shared().isDark()).rgb());
    EXPECT_NEAR(f.background().color().alphaF(), 0.2, 0.01);
    EXPECT_FALSE(formatAt(*back, 6).hasProperty(QTextFormat::FontFamilies));

    applyHighlight(code, namedColor(NamedColor::green, false)); // replaces the grey
    EXPECT_EQ(formatAt(*reloaded(*doc), 1).background().color().rgb(), namedColor(NamedColor::green, false).rgb());
    removeHighlight(code);
    back = reloaded(*doc);
    f = formatAt(*back, 1);
    EXPECT_EQ(family(f), Fonts::monoFamily());
    EXPECT_EQ(pixelSize(f), 13);
    EXPECT_FALSE(f.hasProperty(QTextFormat::BackgroundBrush));
}

TEST(RichTextFormatting, SelectionAcrossParagraphs) {
    auto doc = makeDoc(QStringLiteral("un\n\ndeux"));
    QTextCursor all = select(*doc, 0, doc->characterCount() - 1);
    toggleBold(all);
    auto back = reloaded(*doc);
    EXPECT_EQ(back->toPlainText(), QStringLiteral("un\n\ndeux"));
    EXPECT_EQ(formatAt(*back, 0).fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(*back, 5).fontWeight(), QFont::Bold);
}
