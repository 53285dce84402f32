#include "ui/BoundedText.h"

#include <gtest/gtest.h>

TEST(BoundedText, CutsLongTextsAtAGraphemeWithoutBlankBeforeTheEllipsis) {
    const QString e(QChar(0x2026));
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // one surrogate pair
    const QString accented = QStringLiteral("e") + QChar(0x0301); // e + combining acute
    const struct {
        QString text;
        int max;
        QString expected;
    } cases[] = {
        {"court", 10, "court"},
        {"exactement", 10, "exactement"},
        {"pour la version 2", 16, "pour la version" + e}, // the cut falls after a blank
        {"abcdefghij", 4, "abcd" + e},
        {"abc" + emoji + "d", 4, "abc" + e}, // never half a pair
        {"abc" + accented + "x", 4, "abc" + e}, // never an accent without its letter
        {"a" + QString(200, QLatin1Char(' ')) + "b", 100, "a" + e},
    };
    for (const auto& t : cases)
        EXPECT_EQ(BoundedText::bounded(t.text, t.max), t.expected) << t.text.left(20).toStdString();
    const QString huge = QStringLiteral("Nom très long ").repeated(8000);
    EXPECT_LE(BoundedText::bounded(huge).size(), 401);

    EXPECT_EQ(BoundedText::withoutBlankBeforeEllipsis("pour la version " + e), "pour la version" + e);
    EXPECT_EQ(BoundedText::withoutBlankBeforeEllipsis("sans coupure "), "sans coupure ");
}
