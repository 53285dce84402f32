#include "BoardFixture.h"

#include "board/NewChecklistColumnSheet.h"
#include "support/Accessibility.h"
#include "ui/Components.h"
#include "ui/Palette.h"

#include <QLineEdit>

using ColumnSheetTest = BoardTest;

namespace {
std::unique_ptr<NewChecklistColumnSheet> sheetFor(const Services& s, const ChecklistPtr& c,
                                                  const ChecklistColumnPtr& col = nullptr) {
    auto sheet = std::make_unique<NewChecklistColumnSheet>(s, c, col);
    sheet->show();
    return sheet;
}
} // namespace

TEST_F(ColumnSheetTest, ANewColumnStartsInTheChecklistsColourAndGoesLast) {
    auto p = std::make_shared<Project>(
        ProjectFields{.name = "P", .iconName = "folder", .createdAt = epoch(), .updatedAt = epoch()});
    ctx().insert(p);
    auto board = checklist("B", p);
    board->setColorKey(QStringLiteral("orange"));
    column(board, "one", 1);
    column(board, "hidden", 5, true);
    auto sheet = sheetFor(env.services(), board);
    EXPECT_EQ(sheet->titleText(), "Nouvelle colonne");
    EXPECT_EQ(sheet->confirmButton()->title(), "Creer");
    EXPECT_TRUE(sheet->isChipSelected("orange"));
    EXPECT_EQ(sheet->displayColor(), colorForKey(QStringLiteral("orange")));
    EXPECT_FALSE(sheet->confirmButton()->isEnabled());

    QTest::keyClicks(sheet->nameField(), QStringLiteral("   "));
    EXPECT_FALSE(sheet->confirmButton()->isEnabled());
    EXPECT_FALSE(sheet->save());
    EXPECT_TRUE(sheet->isVisible());
    QTest::keyClicks(sheet->nameField(), QStringLiteral("QA  "));
    EXPECT_TRUE(sheet->confirmButton()->isEnabled());
    QTest::mouseClick(sheet->iconButton(QStringLiteral("bolt.fill")), Qt::LeftButton);
    QTest::mouseClick(sheet->confirmButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());

    const auto cols = ChecklistLogic::sortedColumns(*board);
    ASSERT_EQ(cols.size(), 2u);
    const auto& made = cols[1];
    EXPECT_EQ(made->name(), "QA");
    EXPECT_EQ(made->iconName(), "bolt.fill");
    EXPECT_EQ(made->colorKey(), OptText("orange"));
    EXPECT_FALSE(made->colorHex());
    EXPECT_EQ(made->orderIndex(), 6);
    EXPECT_EQ(p->updatedAt(), board->updatedAt().addSecs(1));
    EXPECT_FALSE(ctx().hasChanges());
}

TEST_F(ColumnSheetTest, HexAndPresetColoursReplaceEachOther) {
    auto board = checklist("B");
    board->setColorHex(QStringLiteral("#112233"));
    auto sheet = sheetFor(env.services(), board);
    // Key and hex of the checklist: no chip, the hex colour.
    EXPECT_FALSE(sheet->isChipSelected("blue"));
    EXPECT_EQ(sheet->displayColor(), QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(sheet->hexField()->text(), "#112233");

    QTest::mouseClick(sheet->chipButton("green"), Qt::LeftButton);
    EXPECT_TRUE(sheet->isChipSelected("green"));
    EXPECT_EQ(sheet->hexField()->text(), "");
    EXPECT_FALSE(sheet->selectedColorHex());

    // The first non-blank character clears the chip; a hex that does not read keeps the key's colour.
    sheet->hexField()->clear();
    QTest::keyClicks(sheet->hexField(), QStringLiteral(" "));
    EXPECT_TRUE(sheet->isChipSelected("green"));
    QTest::keyClicks(sheet->hexField(), QStringLiteral("ab12c"));
    EXPECT_FALSE(sheet->selectedColorKey());
    EXPECT_EQ(sheet->displayColor(), colorForKey(std::optional<QString>()));
    QTest::keyClicks(sheet->hexField(), QStringLiteral("f  "));
    EXPECT_EQ(sheet->selectedColorHex(), OptText("ab12cf"));
    EXPECT_EQ(sheet->displayColor(), QColor(0xab, 0x12, 0xcf));

    // Emptied without a chip: neither key nor hex is stored.
    sheet->hexField()->clear();
    EXPECT_FALSE(sheet->selectedColorKey());
    EXPECT_FALSE(sheet->selectedColorHex());
    sheet->nameField()->setText(QStringLiteral("Sans couleur"));
    ASSERT_TRUE(sheet->save());
    const auto made = ChecklistLogic::sortedColumns(*board).back();
    EXPECT_FALSE(made->colorKey());
    EXPECT_FALSE(made->colorHex());
}

TEST_F(ColumnSheetTest, EditingChangesNameSymbolAndColourOnly) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto b = column(board, "B", 1);
    b->setColorKey(QStringLiteral("pink"));
    auto sheet = sheetFor(env.services(), board, b);
    EXPECT_EQ(sheet->titleText(), "Modifier la colonne");
    EXPECT_EQ(sheet->confirmButton()->title(), "Enregistrer");
    EXPECT_EQ(sheet->nameField()->text(), "B");
    EXPECT_EQ(sheet->selectedIcon(), "flag.fill");
    EXPECT_TRUE(sheet->isChipSelected("pink"));

    sheet->nameField()->setText(QStringLiteral("  Bloqué "));
    QTest::keyClicks(sheet->hexField(), QStringLiteral("00ff00"));
    QTest::mouseClick(sheet->confirmButton(), Qt::LeftButton);
    EXPECT_EQ(b->name(), "Bloqué");
    EXPECT_EQ(b->colorHex(), OptText("00ff00"));
    EXPECT_FALSE(b->colorKey());
    EXPECT_EQ(b->orderIndex(), 1);
    EXPECT_EQ(b->updatedAt(), epoch());
    EXPECT_GT(board->updatedAt(), epoch());
    (void)a;
}

TEST_F(ColumnSheetTest, ClosingWritesNothing) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    ASSERT_TRUE(ctx().save());
    for (bool viaClose : {false, true}) {
        auto sheet = sheetFor(env.services(), board, a);
        sheet->nameField()->setText(QStringLiteral("Autre"));
        QTest::mouseClick(sheet->chipButton("purple"), Qt::LeftButton);
        QTest::mouseClick(viaClose ? sheet->closeButton() : sheet->cancelButton(), Qt::LeftButton);
        EXPECT_FALSE(sheet->isVisible());
        EXPECT_EQ(a->name(), "A");
        EXPECT_FALSE(a->colorKey());
        EXPECT_EQ(board->updatedAt(), epoch());
        EXPECT_FALSE(ctx().hasChanges());
    }
    // Return in the name field ends editing, it does not save.
    auto sheet = sheetFor(env.services(), board);
    sheet->nameField()->setFocus();
    QTest::keyClicks(sheet->nameField(), QStringLiteral("Nouvelle"));
    QTest::keyClick(sheet->nameField(), Qt::Key_Return);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(ChecklistLogic::sortedColumns(*board).size(), 1u);
}

TEST_F(ColumnSheetTest, FieldsRefuseBoardPayloadsAndEverythingIsNamed) {
    auto board = checklist("B");
    auto a = column(board, "A", 0);
    auto x = card(a, "X", 0);
    auto sheet = sheetFor(env.services(), board);
    std::unique_ptr<QMimeData> mime(BoardDrag::makeMime({BoardDrag::Payload::card, x->id()}));
    EXPECT_FALSE(dragTo(sheet->nameField(), QPoint(10, 10), mime.get()));
    EXPECT_EQ(sheet->nameField()->text(), "");
    QMimeData plain;
    plain.setText(QStringLiteral("Revue"));
    EXPECT_TRUE(dragTo(sheet->nameField(), QPoint(10, 10), &plain));

    EXPECT_EQ(testsupport::unnamedAccessibleElements(sheet.get()), QStringList());
    const QStringList names = testsupport::accessibleNames(sheet.get());
    for (const char* name :
         {"Nouvelle colonne", "Couleur et icone personnalisables", "Nom de la colonne", "Titre, icone, couleur", "Nom",
          "Icone", "Couleur", "Orange", "Annuler", "Creer", "Fermer"})
        EXPECT_TRUE(names.contains(QString::fromUtf8(name))) << name;
}
