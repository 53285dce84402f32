#include "editor/EditorWidgets.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace {

// The same text in a plain label, measured afresh.
int fresh(const editorui::ToneLabel& label, int width) {
    QLabel plain;
    plain.setFont(label.font());
    plain.setTextFormat(label.textFormat());
    plain.setWordWrap(label.wordWrap());
    plain.setContentsMargins(label.contentsMargins());
    plain.setMargin(label.margin());
    plain.setIndent(label.indent());
    plain.setText(label.text());
    return plain.heightForWidth(width);
}

} // namespace

TEST(ToneLabelTest, RemeasuresWhateverChangesItsWrappedHeight) {
    QStringList words;
    for (int i = 0; i < 200; ++i)
        words << QStringLiteral("mot%1").arg(i);
    QFont font;
    font.setPixelSize(14);
    editorui::ToneLabel label(words.join(QLatin1Char(' ')), font, [] { return QColor(Qt::black); });
    label.setTextFormat(Qt::PlainText);
    label.setWordWrap(true);

    // More widths than it keeps, asked in turn and again: each answer is the one for its width.
    const QList<int> widths{200, 300, 400, 500, 600, 700};
    for (int pass = 0; pass < 2; ++pass)
        for (int w : widths)
            EXPECT_EQ(label.heightForWidth(w), fresh(label, w)) << w;
    EXPECT_GT(label.heightForWidth(200), label.heightForWidth(700));

    auto same = [&](const char* after) {
        SCOPED_TRACE(after);
        for (int w : {300, 600})
            EXPECT_EQ(label.heightForWidth(w), fresh(label, w));
    };
    const int before = label.heightForWidth(300);
    label.setText(label.text() + label.text());
    same("a longer text");
    EXPECT_GT(label.heightForWidth(300), before);
    font.setPixelSize(20);
    label.setFont(font);
    same("a larger font");
    label.setContentsMargins(40, 10, 40, 10);
    same("wider margins");
    label.setIndent(30);
    same("an indent");
    label.setWordWrap(false);
    same("no wrapping");
    label.setText(QStringLiteral("court"));
    label.setWordWrap(true);
    same("a short text");
}
