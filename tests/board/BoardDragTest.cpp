#include "BoardFixture.h"

#include "board/BoardDrag.h"
#include "richtext/NotesFormat.h"
#include "ui/Fonts.h"
#include "rtf/Rtf.h"

#include <QElapsedTimer>
#include <QTextLayout>

#include <QLineEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QTextDocument>

using namespace BoardDrag;

namespace {
const QUuid kId = QUuid::fromString(QStringLiteral("{0f8a3c2e-1b2d-4e5f-8a9b-0c1d2e3f4a5b}"));
const QString kIdText = QStringLiteral("0F8A3C2E-1B2D-4E5F-8A9B-0C1D2E3F4A5B");
} // namespace

TEST(BoardPayloadTest, PayloadsAreReadStrictly) {
    EXPECT_EQ(cardPayload(kId), "card:" + kIdText);
    EXPECT_EQ(columnPayload(kId), "col:" + kIdText);
    EXPECT_EQ(parse("card:" + kIdText).kind, Payload::card);
    EXPECT_EQ(parse("card:" + kIdText.toLower()).id, kId);
    EXPECT_EQ(parse("col:" + kIdText).kind, Payload::column);
    for (const QString& bad :
         {"Card:" + kIdText, "card: " + kIdText, "card:{" + kIdText + "}", "card:" + kIdText + "0",
          "card:" + kIdText.left(35), "col:" + QString(kIdText).replace(8, 1, "_"), kIdText, QString()})
        EXPECT_EQ(parse(bad).kind, Payload::none) << bad.toStdString();
}

TEST(BoardPayloadTest, OurPrivateTypeWinsAndOnlyTheFirstItemCounts) {
    std::unique_ptr<QMimeData> mime(makeMime({Payload::card, kId}));
    EXPECT_EQ(mime->text(), "card:" + kIdText);
    EXPECT_TRUE(mime->hasFormat(kCardMime));
    // Text rewritten by someone else does not change what our targets read.
    mime->setText("col:" + kIdText);
    EXPECT_EQ(read(mime.get()).kind, Payload::card);

    QMimeData several;
    several.setText("card:" + kIdText + "\r\ncol:" + kIdText);
    EXPECT_EQ(read(&several).kind, Payload::card);
    QMimeData prose;
    prose.setText(QStringLiteral("Acheter du pain"));
    EXPECT_EQ(read(&prose).kind, Payload::none);
    EXPECT_FALSE(isBoardPayload(&prose));
    EXPECT_TRUE(isBoardPayload(&several));
}

TEST(BoardPayloadTest, MarksFollowEnteringAndLeavingTargets) {
    const QUuid col = QUuid::createUuid(), other = QUuid::createUuid(), cardId = QUuid::createUuid();
    Marks m;
    setCardSlotTarget(m, true, col, cardId);
    EXPECT_TRUE(isSlotMarked(m, col, cardId));
    // Leaving the slot forgets its card only: the column's end slot is then the marked one.
    setCardSlotTarget(m, false, col, cardId);
    EXPECT_EQ(m.dropTargetColumnId, col);
    EXPECT_TRUE(isSlotMarked(m, col, std::nullopt));
    // A late leave of another slot does not clear a newer mark.
    setCardSlotTarget(m, true, col, cardId);
    setCardSlotTarget(m, false, col, std::nullopt);
    EXPECT_EQ(m.dropTargetCardId, cardId);

    setColumnZoneTarget(m, true, other);
    EXPECT_TRUE(isSlotMarked(m, other, std::nullopt));
    setColumnZoneTarget(m, false, col);
    EXPECT_EQ(m.dropTargetColumnId, other);
    setColumnZoneTarget(m, false, other);
    EXPECT_FALSE(m.dropTargetColumnId);

    setColumnReorderTarget(m, true, col);
    setColumnReorderTarget(m, false, other); // whichever column it named
    EXPECT_FALSE(m.dropTargetColumnReorderId);
}

TEST(BoardPayloadTest, NotesPreviewFollowsTheStoredForm) {
    EXPECT_FALSE(notesPreviewText(std::nullopt));
    EXPECT_FALSE(notesPreviewText(QStringLiteral("  \n\t ")));
    EXPECT_EQ(notesPreviewText(QStringLiteral("  plain\n")), QStringLiteral("  plain\n"));

    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.insertText(QStringLiteral("abc"), bold);
    const QString encoded = QString::fromLatin1(rtf::write(doc).toBase64());
    EXPECT_EQ(notesPreviewText("rtf:" + encoded), QStringLiteral("abc"));
    EXPECT_EQ(notesPreviewText(" rtf:" + encoded + "\n"), QStringLiteral("abc"));

    EXPECT_EQ(notesPreviewText(QStringLiteral("rtf:pas du base64")), QStringLiteral("rtf:pas du base64"));
    EXPECT_EQ(notesPreviewText(QStringLiteral("rtf:YWJj")), QString()); // Base64 of "abc", not RTF
    EXPECT_EQ(notesPreviewText(QStringLiteral("rtf:YWJ")), QStringLiteral("rtf:YWJ"));

    // The card sheet reads the notes with the same rule: Base64 whose last group has bits that
    // re-encoding would not give back is plain text on the tile too, and its height is worked out so.
    QString loose = encoded;
    while (loose.endsWith(QLatin1Char('=')))
        loose.chop(1);
    ASSERT_LT(loose.size(), encoded.size()) << "the RTF's length must leave unused bits";
    const QChar last = loose.back();
    loose.back() = last == QLatin1Char('A') ? QLatin1Char('B')
        : last == QLatin1Char('w')          ? QLatin1Char('x')
                                            : QChar(last.unicode() + 1);
    loose += QString(encoded.size() - loose.size(), QLatin1Char('='));
    const QString stored = "rtf:" + loose;
    ASSERT_EQ(QByteArray::fromBase64(loose.toLatin1()), QByteArray::fromBase64(encoded.toLatin1()));
    EXPECT_EQ(notesPreviewText(stored), notesformat::decode(stored).plain);
    EXPECT_EQ(notesPreviewText(stored), stored);
    CardTile tile(std::make_shared<ChecklistCard>(ChecklistCardFields{.title = QStringLiteral("T"), .notes = stored}));
    EXPECT_EQ(CardTile::estimateHeight(QStringLiteral("T"), stored, 300), tile.heightForTileWidth(300));

    // Notes of megabytes are previewed from their start, without reading them whole.
    const QByteArray big = "{\\rtf1\\ansi d\\'e9but " + QByteArray("mot mot\\par ").repeated(1'000'000) + "}";
    for (const QString& notes :
         {"rtf:" + QString::fromLatin1(big.toBase64()), QStringLiteral("début ").repeated(2'000'000)}) {
        const std::optional<QString> preview = notesPreviewText(notes);
        ASSERT_TRUE(preview);
        EXPECT_TRUE(preview->startsWith(QStringLiteral("début")));
        EXPECT_LT(preview->size(), 20'000);
    }
}

// Notes past the length the tile previews from its start follow the sheet's rule too: Base64 broken into
// lines is plain text on both, well-formed Base64 the RTF's text on both.
TEST(BoardPayloadTest, LongNotesReadAlikeOnTileAndSheet) {
    const QByteArray rtf = "{\\rtf1\\ansi d\\'e9but " + QByteArray("mot mot\\par ").repeated(5000) + "}";
    const QString wellFormed = "rtf:" + QString::fromLatin1(rtf.toBase64());
    QString wrapped = QString::fromLatin1(rtf.toBase64());
    for (qsizetype at = 76; at < wrapped.size(); at += 77)
        wrapped.insert(at, QLatin1Char('\n'));
    wrapped.prepend(QLatin1String("rtf:"));
    for (const QString& stored : {wellFormed, wrapped}) {
        ASSERT_GT(stored.size(), 64 * 1024);
        const QString sheet = notesformat::decode(stored).plain;
        const std::optional<QString> tile = notesPreviewText(stored);
        ASSERT_TRUE(tile);
        EXPECT_GT(tile->size(), 1000);
        EXPECT_TRUE(sheet.startsWith(*tile)) << tile->left(40).toStdString() << " / " << sheet.left(40).toStdString();
    }
    EXPECT_TRUE(notesPreviewText(wrapped)->startsWith(QStringLiteral("rtf:e1xydGYx")));
}

using BoardDropRulesTest = BoardTest;

TEST_F(BoardDropRulesTest, DropsNameOnlyThisBoardsVisibleObjects) {
    auto board = checklist("B");
    auto col = column(board, "c", 0);
    auto hiddenCol = column(board, "h", 1, true);
    auto x = card(col, "x", 0);
    auto foreign = card(column(checklist("O"), "o", 0), "f", 0);

    EXPECT_TRUE(resolveCardDrop(*board, {Payload::card, x->id()}, col, nullptr));
    EXPECT_FALSE(resolveCardDrop(*board, {Payload::card, foreign->id()}, col, nullptr));
    EXPECT_FALSE(resolveCardDrop(*board, {Payload::column, col->id()}, col, nullptr));
    EXPECT_FALSE(resolveCardDrop(*board, {Payload::card, x->id()}, hiddenCol, nullptr));
    EXPECT_TRUE(resolveColumnDrop(*board, {Payload::column, col->id()}, col));
    EXPECT_FALSE(resolveColumnDrop(*board, {Payload::card, x->id()}, col));
    EXPECT_FALSE(resolveColumnDrop(*board, {Payload::column, hiddenCol->id()}, col));
}

TEST(CardTileTextTest, TitlesAndPreviewsStopAtTheirLineLimit) {
    QFont font;
    font.setPixelSize(13);
    const qreal width = 200;
    const QString longTitle = QString("Une étape au titre très long ").repeated(12);
    const WrappedText title = wrapText(longTitle, font, width, 4);
    ASSERT_EQ(title.lines.size(), 4);
    const QFontMetricsF fm(font);
    for (const QString& line : title.lines)
        EXPECT_LE(fm.horizontalAdvance(line), width + 2) << line.toStdString();
    EXPECT_TRUE(title.lines.last().endsWith(QChar(0x2026)));

    // Lines past the third are left out, and the third says so with an ellipsis.
    const WrappedText notes = wrapText(QStringLiteral("un\ndeux\ntrois\nquatre\ncinq"), font, width, 3);
    EXPECT_EQ(notes.lines, QStringList({"un", "deux", QStringLiteral("trois\u2026")}));
    EXPECT_EQ(wrapText(QStringLiteral("un\ndeux\ntrois"), font, width, 3).lines, QStringList({"un", "deux", "trois"}));
    const WrappedText longThird =
        wrapText(QStringLiteral("un\ndeux\n") + QString(300, QLatin1Char('m')) + "\nquatre", font, width, 3);
    EXPECT_TRUE(longThird.lines.last().endsWith(QChar(0x2026)));
    EXPECT_LE(fm.horizontalAdvance(longThird.lines.last()), width + 1);
    EXPECT_EQ(wrapText(QStringLiteral("court"), font, width, 3).lines, QStringList({"court"}));
    // A word wider than the line is broken rather than overflowing.
    const WrappedText word = wrapText(QString(60, QLatin1Char('m')), font, width, 3);
    EXPECT_GT(word.lines.size(), 1);
    EXPECT_LE(fm.horizontalAdvance(word.lines.first()), width + 2);
}

TEST(BoardPayloadTest, NoTextFieldTakesACardOrColumnAsText) {
    refuseInTextFields();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* line = new QLineEdit;
    auto* text = new QTextEdit;
    layout->addWidget(line);
    layout->addWidget(text);
    window.show();
    std::unique_ptr<QMimeData> card(makeMime({Payload::card, kId}));
    QMimeData words;
    words.setText(QStringLiteral("Relire"));
    for (QWidget* target : {static_cast<QWidget*>(line), text->viewport()}) {
        EXPECT_FALSE(BoardTest::dragTo(target, QPoint(5, 5), card.get()));
        EXPECT_TRUE(BoardTest::dragTo(target, QPoint(5, 5), &words));
    }
    EXPECT_EQ(line->text(), "Relire");
    EXPECT_EQ(text->toPlainText(), "Relire");
}

namespace {
// The lines of `text` as Qt's own layout breaks it at `width` (without trailing blanks).
QStringList qtLines(const QString& text, const QFont& font, qreal width) {
    QString laid = text;
    laid.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laid, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList out;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        QString part = laid.mid(line.textStart(), line.textLength());
        while (!part.isEmpty() && (part.back().isSpace() || part.back() == QChar::LineSeparator))
            part.chop(1);
        out << part;
    }
    layout.endLayout();
    return out;
}
} // namespace

// A tile breaks its texts where Qt's own layout breaks them, in every script, at every width.
TEST(CardTileTextTest, LinesBreakAsQtBreaksThemInEveryScript) {
    const QFont font = Fonts::rounded(13, 600);
    const struct {
        const char* what;
        QString text;
    } texts[] = {
        {"latin", QStringLiteral("Préparer la réunion de lancement avec l’équipe, puis envoyer le compte rendu")},
        {"latin and CJK",
         QStringLiteral("Relire le plan 设计评审会议的准备工作和材料整理 puis valider 日本語の文章も少し")},
        {"arabic", QStringLiteral("مراجعة خطة المشروع مع الفريق وإرسال التقرير النهائي إلى المدير قبل نهاية الأسبوع")},
        {"latin and arabic", QStringLiteral("Envoyer le rapport تقرير المشروع النهائي avant vendredi إلى المدير")},
        {"devanagari", QStringLiteral("परियोजना योजना की समीक्षा करें और अंतिम रिपोर्ट प्रबंधक को भेजें")},
        {"emoji", QStringLiteral("Fêter la sortie 🎉🎉 avec l’équipe 🚀 et les clients 😀 demain 🍰")},
    };
    for (const auto& t : texts) {
        for (qreal width = 40; width <= 340; width += 2.5) {
            SCOPED_TRACE(qPrintable(QStringLiteral("%1 at %2").arg(t.what).arg(width)));
            EXPECT_EQ(wrapText(t.text, font, width, 100).lines, qtLines(t.text, font, width))
                << wrapText(t.text, font, width, 100).lines.join("|").toStdString() << "\n"
                << qtLines(t.text, font, width).join("|").toStdString();
        }
    }
}

// A title of megabytes costs a tile what a short one does.
TEST(CardTileTextTest, AHugeTitleIsLaidOutOnlyAsFarAsTheTileShowsIt) {
    const QString huge = QStringLiteral("Titre immense ").repeated(400'000);
    QElapsedTimer timer;
    timer.start();
    CardTile tile(std::make_shared<ChecklistCard>(ChecklistCardFields{.title = huge}));
    const int height = tile.heightForTileWidth(300);
    EXPECT_EQ(CardTile::estimateHeight(huge, std::nullopt, 300), height);
    EXPECT_LT(timer.elapsed(), 500);
    EXPECT_LT(tile.accessibleName().size(), 1000);
    EXPECT_TRUE(tile.accessibleName().startsWith(QStringLiteral("Titre immense")));
}

// The height worked out for a card without its tile (from remembered word widths) is the tile's own, at
// every width, for texts whose lines end right at the edge too.
TEST(CardTileTextTest, EstimatedHeightsAreTheTilesAtEveryWidth) {
    const QString notes[] = {
        QStringLiteral("Une description de l’étape 98, sur deux lignes environ pour remplir la carte."),
        QStringLiteral("« Tâche » : Vérifier AVANT Tout. Yves, Wagner, Tom ; Voilà ! (Ya) Vw. 7, 4 Fait : oui ; non ?"),
        QStringLiteral("Un\nDeux lignes de texte\n\nQuatre et cinq, puis la suite qui déborde de la carte"),
        QStringLiteral("设计评审会议的准备工作 et la suite"),
    };
    const QString titles[] = {QStringLiteral("Étape 12 de la colonne 3"),
                              QStringLiteral("TAVERNE Voyage Lyon Paris « Te » (Ya) Vw. AVANT Tout, Wagner ; Yves")};
    for (const QString& title : titles) {
        for (const QString& note : notes) {
            CardTile tile(std::make_shared<ChecklistCard>(ChecklistCardFields{.title = title, .notes = note}));
            for (int width = 120; width <= 340; ++width) {
                ASSERT_EQ(CardTile::estimateHeight(title, note, width), tile.heightForTileWidth(width))
                    << title.toStdString() << " | " << note.toStdString() << " at " << width;
            }
        }
    }
}
