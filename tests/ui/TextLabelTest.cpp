#include "ui/Fonts.h"
#include "ui/ShapedText.h"
#include "ui/TextLabel.h"
#include "ui/lists/ListWidgets.h"

#include <QAccessible>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QStringList kTexts = {
    QStringLiteral("Tableau de bord"),
    QStringLiteral("Retrouvez vos projets récents et un aperçu de votre activité."),
    QStringLiteral("Un titre bien plus long qui passe sur plusieurs lignes à cette largeur"),
    QStringLiteral("Anticonstitutionnellement-long-mot-sans-espace et puis la suite"),
    QStringLiteral("Deux  espaces,   puis trois ; « guillemets » et l’apostrophe"),
    QStringLiteral("Première ligne\nDeuxième ligne bien plus longue que la première"),
    QStringLiteral("Espaces en fin   "),
    QStringLiteral("   Espaces au début, puis des mots"),
    QStringLiteral("10000"),
    QString(),
};

} // namespace

// The label sizes itself as QLabel does for the same plain text, font, margins, alignment and wrapping:
// layouts get the same answers from one shaping.
TEST(TextLabel, SizesAsAQLabelDoes) {
    for (const QFont& font : {Fonts::rounded(13), Fonts::rounded(22, 600), Fonts::system(11, 700)}) {
        for (const QString& text : kTexts) {
            for (bool wrap : {true, false}) {
                for (Qt::Alignment align : {Qt::AlignLeft | Qt::AlignVCenter, Qt::Alignment(Qt::AlignCenter)}) {
                    SCOPED_TRACE(qPrintable(QStringLiteral("%1 | px %2 | wrap %3 | align %4")
                                                .arg(text)
                                                .arg(font.pixelSize())
                                                .arg(wrap)
                                                .arg(int(align))));
                    TextLabel label(text);
                    QLabel plain(text);
                    for (QWidget* w : {static_cast<QWidget*>(&label), static_cast<QWidget*>(&plain)}) {
                        w->setFont(font);
                        w->setContentsMargins(3, 6, 9, 2);
                    }
                    plain.setTextFormat(Qt::PlainText);
                    plain.setWordWrap(wrap);
                    plain.setAlignment(align);
                    label.setWordWrap(wrap);
                    label.setAlignment(align);
                    EXPECT_EQ(label.sizeHint(), plain.sizeHint());
                    EXPECT_EQ(label.minimumSizeHint(), plain.minimumSizeHint());
                    EXPECT_EQ(label.hasHeightForWidth(), plain.hasHeightForWidth());
                    if (wrap) {
                        for (int width : {20, 60, 120, 60, 300, 121, 1000})
                            EXPECT_EQ(label.heightForWidth(width), plain.heightForWidth(width)) << width;
                    }
                }
            }
        }
    }
}

// Remembered sizes follow every change of what the label shows.
TEST(TextLabel, SizesFollowTextFontAndMargins) {
    TextLabel label(QStringLiteral("Court"));
    label.setWordWrap(true);
    QLabel plain;
    plain.setTextFormat(Qt::PlainText);
    plain.setWordWrap(true);
    auto expectSame = [&](const char* what) {
        SCOPED_TRACE(what);
        plain.setText(label.text());
        plain.setFont(label.font());
        plain.setContentsMargins(label.contentsMargins());
        EXPECT_EQ(label.sizeHint(), plain.sizeHint());
        for (int width : {60, 120, 60, 300, 120})
            EXPECT_EQ(label.heightForWidth(width), plain.heightForWidth(width)) << width;
    };
    expectSame("short text");
    const int shortHeight = label.heightForWidth(60);
    label.setText(kTexts[2]);
    expectSame("long text");
    EXPECT_GT(label.heightForWidth(60), shortHeight);
    QFont big = label.font();
    big.setPixelSize(30);
    label.setFont(big);
    expectSame("larger font");
    label.setContentsMargins(0, 10, 0, 10);
    expectSame("margins");
}

// Drawn from its one shaping, the label looks as QLabel's text does; right-to-left text, which the
// shaping does not break, is drawn by Qt itself.
TEST(TextLabel, DrawsAsAQLabelDoes) {
    auto render = [](QWidget& w) {
        w.resize(180, 90);
        QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        return img;
    };
    for (const QString& text : {kTexts[1], kTexts[5], QStringLiteral("שלום עולם hello")}) {
        for (Qt::Alignment align : {Qt::AlignLeft | Qt::AlignVCenter, Qt::Alignment(Qt::AlignCenter)}) {
            SCOPED_TRACE(qPrintable(text));
            TextLabel label(text);
            QLabel plain(text);
            for (QWidget* w : {static_cast<QWidget*>(&label), static_cast<QWidget*>(&plain)})
                w->setFont(Fonts::rounded(13));
            plain.setTextFormat(Qt::PlainText);
            plain.setWordWrap(true);
            plain.setAlignment(align);
            label.setWordWrap(true);
            label.setAlignment(align);
            EXPECT_EQ(render(label), render(plain));
        }
    }
}

// Screen readers read the label by its text; a blank label is not read.
TEST(TextLabel, ReadAsStaticTextNamedByItsText) {
    TextLabel label(QStringLiteral("Projets récents"));
    label.show();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&label);
    ASSERT_TRUE(iface);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->text(QAccessible::Name), "Projets récents");
    EXPECT_FALSE(iface->state().invisible);
    label.setText(QStringLiteral("  "));
    EXPECT_TRUE(iface->state().invisible);
}

// Lines break where Qt's word wrap breaks them, from one shaping, at any width.
TEST(ShapedText, BreaksLinesAsQtDoes) {
    const QFont font = Fonts::rounded(13);
    for (const QString& text : kTexts) {
        ShapedText shaped(text, font);
        ASSERT_TRUE(shaped.isSupported());
        for (bool anywhere : {false, true})
            for (int width : {0, 40, 90, 150, 240, 500}) {
                if (anywhere && width == 0)
                    continue; // one character a line: never asked
                SCOPED_TRACE(qPrintable(QStringLiteral("%1 at %2, anywhere %3").arg(text).arg(width).arg(anywhere)));
                QTextLayout layout(QString(text).replace(QLatin1Char('\n'), QChar::LineSeparator), font);
                QTextOption option;
                option.setWrapMode(anywhere ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::WordWrap);
                layout.setTextOption(option);
                layout.beginLayout();
                QStringList expected;
                for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                    line.setLineWidth(width);
                    expected << text.mid(line.textStart(), line.textLength()).remove(QLatin1Char('\n')).trimmed();
                }
                layout.endLayout();
                QStringList got;
                for (const ShapedText::Line& line : shaped.lines(width, anywhere))
                    got << text.mid(line.start, line.length).trimmed();
                EXPECT_EQ(got, expected);
            }
    }
    EXPECT_FALSE(ShapedText(QStringLiteral("שלום"), font).isSupported());
    EXPECT_FALSE(ShapedText(QStringLiteral("a\tb"), font).isSupported());
}

// A clamped text draws its lines, the cut one too, as QPainter::drawText draws each line in its band.
TEST(ShapedText, ClampedTextDrawsItsLinesAsDrawTextDoes) {
    const QFont font = Fonts::rounded(12);
    for (int maxLines : {1, 2, 0}) {
        for (Qt::Alignment align : {Qt::Alignment(Qt::AlignLeft), Qt::Alignment(Qt::AlignHCenter)}) {
            SCOPED_TRACE(maxLines);
            lists::ClampedText text(
                font, [] { return QColor(Qt::black); }, maxLines);
            text.setText(kTexts[2] + QStringLiteral(" ") + kTexts[1]);
            text.setAlignment(align);
            text.resize(170, text.heightForWidth(170));
            QImage drawn(text.size(), QImage::Format_ARGB32_Premultiplied);
            drawn.fill(Qt::white);
            text.render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
            QImage expected(text.size(), QImage::Format_ARGB32_Premultiplied);
            expected.fill(Qt::white);
            QPainter p(&expected);
            p.setFont(font);
            p.setPen(Qt::black);
            const qreal lineH = QFontMetricsF(font).lineSpacing();
            qreal y = 0;
            for (const QString& line : text.visibleLines(170)) {
                p.drawText(QRectF(0, y, 170, lineH), int(align | Qt::AlignVCenter), line);
                y += lineH;
            }
            p.end();
            EXPECT_EQ(drawn, expected);
        }
    }
}

// Painted texts drawn from one shaping look as QPainter::drawText draws them, in any alignment, wrapped
// or not, overflowing or not; an elided line as the elided text drawn.
TEST(ShapedText, DrawsAsDrawTextDoes) {
    const QFont font = Fonts::rounded(12, 600);
    auto image = [](const std::function<void(QPainter&)>& paint) {
        QImage img(160, 80, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setPen(Qt::black);
        paint(p);
        return img;
    };
    const QRectF rects[] = {QRectF(4, 3, 150, 70), QRectF(10.5, 20.25, 60, 18)};
    const int flagSets[] = {Qt::AlignCenter, Qt::AlignHCenter | Qt::AlignTop, Qt::AlignLeft | Qt::AlignVCenter,
                            Qt::AlignRight | Qt::AlignBottom | Qt::TextWordWrap, Qt::AlignLeft | Qt::TextWordWrap};
    for (const QString& text : {kTexts[0], kTexts[1], kTexts[7]}) {
        const ShapedText shaped(text, font);
        for (const QRectF& rect : rects) {
            for (int flags : flagSets) {
                SCOPED_TRACE(qPrintable(QStringLiteral("%1 flags %2 width %3").arg(text).arg(flags).arg(rect.width())));
                const QImage drawn = image([&](QPainter& p) { shaped.draw(p, rect, flags); });
                const QImage expected = image([&](QPainter& p) {
                    p.setFont(font);
                    p.drawText(rect, flags, text);
                });
                EXPECT_EQ(drawn, expected);
            }
        }
    }
    ElidedLine line;
    for (int width : {200, 70, 30}) {
        SCOPED_TRACE(width);
        const QRectF rect(2, 2, width, 30);
        const QImage drawn =
            image([&](QPainter& p) { line.draw(p, rect, Qt::AlignLeft | Qt::AlignVCenter, kTexts[0], font, width); });
        const QImage expected = image([&](QPainter& p) {
            p.setFont(font);
            p.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter,
                       QFontMetrics(font).elidedText(kTexts[0], Qt::ElideRight, width));
        });
        EXPECT_EQ(drawn, expected);
    }
}

namespace {

// The scripts people write their titles and notes in, alone and mixed.
const struct {
    const char* what;
    QString text;
} kScripts[] = {
    {"latin", QStringLiteral("Préparer la réunion de lancement avec l’équipe, puis envoyer le compte rendu")},
    {"cjk", QStringLiteral("设计评审会议的准备工作和材料整理，日本語の文章も少し、한국어 문장도 조금")},
    {"latin and cjk", QStringLiteral("Relire le plan 设计评审会议的准备工作 puis valider 日本語の文章も少し")},
    {"arabic", QStringLiteral("مراجعة خطة المشروع مع الفريق وإرسال التقرير النهائي إلى المدير")},
    {"latin and arabic", QStringLiteral("Envoyer le rapport تقرير المشروع النهائي avant vendredi")},
    {"devanagari", QStringLiteral("परियोजना योजना की समीक्षा करें और अंतिम रिपोर्ट प्रबंधक को भेजें")},
    {"emoji", QStringLiteral("Fêter la sortie 🎉🎉 avec l’équipe 🚀 et les clients 😀 demain 🍰🍰🍰")},
};

QStringList qtLines(const QString& text, const QFont& font, int width) {
    QTextLayout layout(QString(text).replace(QLatin1Char('\n'), QChar::LineSeparator), font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength()).remove(QLatin1Char('\n'));
    }
    layout.endLayout();
    return lines;
}

} // namespace

// In every script a label sizes and draws as QLabel does, and the shaping breaks as Qt breaks.
TEST(TextLabel, SizesAndDrawsAsAQLabelDoesInEveryScript) {
    const QFont font = Fonts::rounded(13);
    for (const auto& s : kScripts) {
        SCOPED_TRACE(s.what);
        TextLabel label(s.text);
        QLabel plain(s.text);
        for (QWidget* w : {static_cast<QWidget*>(&label), static_cast<QWidget*>(&plain)})
            w->setFont(font);
        plain.setTextFormat(Qt::PlainText);
        plain.setWordWrap(true);
        label.setWordWrap(true);
        EXPECT_EQ(label.sizeHint(), plain.sizeHint());
        for (int width : {50, 97, 160, 233, 400})
            EXPECT_EQ(label.heightForWidth(width), plain.heightForWidth(width)) << width;
        auto render = [](QWidget& w) {
            w.resize(170, 110);
            QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::white);
            w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
            return img;
        };
        const QImage drawn = render(label), qlabel = render(plain);
        EXPECT_EQ(drawn, qlabel);
        if (drawn != qlabel && qEnvironmentVariableIsSet("TOLMEK_TEST_KEEP_IMAGES")) {
            drawn.save(QStringLiteral("/tmp/label-%1-drawn.png").arg(QLatin1String(s.what)));
            qlabel.save(QStringLiteral("/tmp/label-%1-expected.png").arg(QLatin1String(s.what)));
        }

        const ShapedText shaped(s.text, font);
        if (!shaped.isSupported())
            continue; // right to left: Qt's own path
        for (int width = 30; width <= 420; width += 13) {
            QStringList got;
            for (const ShapedText::Line& line : shaped.lines(width, true))
                got << s.text.mid(line.start, line.length).trimmed();
            QStringList expected = qtLines(s.text, font, width);
            for (QString& line : expected)
                line = line.trimmed();
            EXPECT_EQ(got, expected) << width;
        }
    }
}

// A long unclamped text (pages of it) breaks into the lines Qt's layout gives, in every script.
TEST(ClampedText, LongTextsBreakAsQtDoesInEveryScript) {
    const QFont font = Fonts::rounded(14, 600);
    for (const auto& s : kScripts) {
        SCOPED_TRACE(s.what);
        const QString text = (s.text + QLatin1Char(' ')).repeated(60) + QLatin1Char('\n') + s.text;
        ASSERT_GE(text.size(), 2000);
        lists::ClampedText clamped(font, {}, 0);
        clamped.setText(text);
        for (int width : {180, 333}) {
            const QStringList expected = qtLines(text, font, width);
            EXPECT_EQ(clamped.visibleLines(width), expected) << width;
            EXPECT_EQ(clamped.heightForWidth(width),
                      int(std::ceil(QFontMetricsF(font).lineSpacing() * expected.size())));
        }
    }
}
