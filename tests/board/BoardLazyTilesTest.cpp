#include "BoardFixture.h"

#include "board/BoardWidgets.h"
#include "rtf/Rtf.h"
#include "support/TestSupport.h"

#include <QScrollArea>
#include <QScrollBar>

using namespace ChecklistLogic;

namespace {

ChecklistCardPtr cardOf(const ChecklistColumnPtr& column, int index) { return sortedCards(*column)[size_t(index)]; }

// Notes as the card sheet stores rich text.
QString rtfNotes(const QString& plain) {
    QTextDocument doc;
    doc.setPlainText(plain);
    return QStringLiteral("rtf:") + QString::fromLatin1(rtf::write(doc).toBase64());
}

} // namespace

// A card's place before its tile is made must be the tile's height: the cards below would jump when
// it is made.
TEST_F(BoardTest, ThePlaceOfACardNotYetMadeIsItsTilesHeight) {
    const QString longWord = QString(QStringLiteral("Mnopqrstuv")).repeated(20);
    struct Case {
        const char* what;
        QString title;
        OptText notes;
    } cases[] = {
        {"a short title", QStringLiteral("Relire"), std::nullopt},
        {"blank notes", QStringLiteral("Relire"), QStringLiteral("   \n ")},
        {"a title of many lines", QStringLiteral("Vérifier ").repeated(30), std::nullopt},
        {"a word longer than the tile", longWord, std::nullopt},
        {"notes of several paragraphs", QStringLiteral("Plan"), QStringLiteral("Un\nDeux\nTrois\nQuatre")},
        {"long notes", QStringLiteral("Plan"),
         QStringLiteral("Une note assez longue pour passer à la ligne ").repeated(5)},
        {"notes of one long word", QStringLiteral("Plan"), longWord},
        {"rich notes of one line", QStringLiteral("Plan"), rtfNotes(QStringLiteral("Été à l’atelier"))},
        {"rich notes of several paragraphs", QStringLiteral("Plan"),
         rtfNotes(QStringLiteral("Un {deux}\nTrois \\ quatre"))},
        {"long rich notes", QStringLiteral("Plan"), rtfNotes(QStringLiteral("Une note – assez longue ").repeated(9))},
        {"notes that only look rich", QStringLiteral("Plan"), QStringLiteral("rtf:pas du Base64")},
    };
    auto board = checklist("B");
    auto col = column(board, "A", 0);
    const int width = ColumnView::kWidth - 32;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CardTile tile(card(col, c.title, 0, false, c.notes));
        EXPECT_EQ(CardTile::estimateHeight(c.title, c.notes, width), tile.heightForTileWidth(width));
    }
}

TEST_F(BoardTest, ALongColumnMakesTheTilesNearTheViewAndTakesDropsAnywhere) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    for (int i = 0; i < 400; ++i)
        card(a, QStringLiteral("Carte %1").arg(i), i);
    auto* v = show(board);
    auto* col = v->columnView(a->id());
    ASSERT_EQ(col->cardCount(), 400);
    const size_t made = col->tiles().size();
    EXPECT_GT(made, 5u);
    EXPECT_LT(made, 100u);
    for (auto* t : col->tiles())
        EXPECT_EQ(t->geometry(), col->cardGeometry(t->cardId()));
    EXPECT_EQ(col->tile(cardOf(a, 399)->id()), nullptr);

    // Scrolled to the foot, the last cards are made and those at the top let go, but for the one
    // with the focus; a card dropped on the end slot goes last.
    v->activateWindow();
    col->tile(cardOf(a, 2)->id())->setFocus(Qt::TabFocusReason);
    testsupport::flushEvents();
    QScrollBar* bar = v->verticalScroller()->verticalScrollBar();
    bar->setValue(bar->maximum());
    testsupport::flushEvents();
    auto* last = col->tile(cardOf(a, 399)->id());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(col->tile(cardOf(a, 1)->id()), nullptr);
    EXPECT_NE(col->tile(cardOf(a, 2)->id()), nullptr);
    EXPECT_LT(col->tiles().size(), 150u);
    EXPECT_TRUE(v->rect().contains(QRect(last->mapTo(v, QPoint()), last->size())));
    const auto first = cardOf(a, 0);
    std::unique_ptr<QMimeData> mime(BoardDrag::makeMime({BoardDrag::Payload::card, first->id()}));
    EXPECT_TRUE(dragTo(col, col->slotRects().back().center(), mime.get()));
    testsupport::flushEvents();
    EXPECT_EQ(sortedCards(*a).back(), first);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(BoardTest, TheKeyboardReachesEveryCardOfALongColumn) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    for (int i = 0; i < 120; ++i)
        card(a, QStringLiteral("Carte %1").arg(i), i);
    for (int i = 0; i < 200; ++i)
        card(b, QStringLiteral("Autre %1").arg(i), i);
    auto* v = show(board);
    v->activateWindow();
    testsupport::flushEvents();
    auto* colA = v->columnView(a->id());
    auto* colB = v->columnView(b->id());
    colA->tile(cardOf(a, 0)->id())->setFocus(Qt::TabFocusReason);
    for (int i = 1; i < 120; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        auto* tile = qobject_cast<CardTile*>(QApplication::focusWidget());
        ASSERT_NE(tile, nullptr) << i;
        ASSERT_EQ(tile->cardId(), cardOf(a, i)->id());
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), colB->menuButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), colA->tile(cardOf(a, 119)->id()));

    // Back at the top, a card moved to the end of the long column keeps the focus there, in sight.
    v->verticalScroller()->verticalScrollBar()->setValue(0);
    testsupport::flushEvents();
    colA->tile(cardOf(a, 0)->id())->setFocus(Qt::TabFocusReason);
    const auto moved = cardOf(a, 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right, Qt::AltModifier);
    testsupport::flushEvents();
    EXPECT_EQ(sortedCards(*b).back(), moved);
    auto* tile = qobject_cast<CardTile*>(QApplication::focusWidget());
    ASSERT_NE(tile, nullptr);
    EXPECT_EQ(tile->cardId(), moved->id());
    EXPECT_TRUE(v->rect().contains(QRect(tile->mapTo(v, QPoint()), tile->size())));
}

// A long column opens with its cards out of sight guessed from their texts' lengths; once shown, the
// board corrects the guesses, so that a card keeps its place when its tile is made.
TEST_F(BoardTest, GuessedPlacesAreCorrectedOnceTheBoardIsShown) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    for (int i = 0; i < 300; ++i) {
        // Titles of one to several lines, some notes: guesses from lengths alone miss some of them.
        const QString title = i % 7 ? QStringLiteral("Carte %1").arg(i) : QStringLiteral("Mi ").repeated(i % 40 + 1);
        card(a, title, i, false, i % 5 ? OptText() : OptText(QStringLiteral("iiii ").repeated(i % 30 + 1)));
    }
    auto* v = show(board);
    auto* col = v->columnView(a->id());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !v->isRefiningEstimates(); }, 5000));
    const int width = ColumnView::kWidth - 32;
    int checked = 0;
    for (const auto& c : sortedCards(*a)) {
        if (col->tile(c->id()))
            continue;
        EXPECT_EQ(col->cardGeometry(c->id()).height(), CardTile::estimateHeight(c->title(), c->notes(), width))
            << c->title().toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 200);
    // Made where it was placed.
    const auto far = cardOf(a, 280);
    const QRect placed = col->cardGeometry(far->id());
    v->verticalScroller()->verticalScrollBar()->setValue(placed.top());
    testsupport::flushEvents();
    ASSERT_TRUE(col->tile(far->id()));
    EXPECT_EQ(col->tile(far->id())->geometry(), placed);
}
