#include "ProjectsFixture.h"

#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "projects/EditDocSheet.h"
#include "projects/EditProjectSheet.h"
#include "ui/lists/PagedListScreen.h"
#include "projects/NewDocSheet.h"
#include "projects/NewProjectSheet.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QImage>
#include <QSet>
#include <QTest>

using namespace projectsui;
using namespace lists;

namespace {

class SheetsTest : public ProjectsFixture {
protected:
    void TearDown() override {
        ColorIconSheet::setColorPickerForTesting({});
        ProjectsFixture::TearDown();
    }
    template <class S>
    S* present(S* sheet) {
        keep(sheet);
        sheet->open();
        flush();
        return sheet;
    }
    static QAbstractButton* swatch(QWidget* sheet, const QString& key) {
        return sheet->findChild<QAbstractButton*>(QStringLiteral("swatch-") + key);
    }
    static bool tagShown(QWidget* sheet) {
        return sheet->findChild<ClampedText*>(QStringLiteral("customTag"))->isVisibleTo(sheet);
    }
    static QString preview(QWidget* sheet, bool first) {
        return sheet
            ->findChild<ClampedText*>(first ? QStringLiteral("previewFirstLine") : QStringLiteral("previewSecondLine"))
            ->text();
    }
    void answerPicker(std::optional<QColor> c) {
        ColorIconSheet::setColorPickerForTesting([c](const QColor&, QWidget*) { return c; });
    }
};

TEST_F(SheetsTest, NewProjectTrimsAndOnlyConfirmsWithAName) {
    auto* sheet = present(new NewProjectSheet(services()));
    EXPECT_FALSE(sheet->confirmButton()->isEnabled());
    EXPECT_EQ(preview(sheet, true), QStringLiteral("Nom du projet"));
    EXPECT_EQ(preview(sheet, false), QStringLiteral("Description (optionnel)"));
    QTest::keyClicks(sheet->nameField(), QStringLiteral("   "));
    EXPECT_FALSE(sheet->confirmButton()->isEnabled());
    QTest::keyClick(sheet->nameField(), Qt::Key_Return); // Return does nothing while disabled
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(context().fetch<Project>().empty());

    QTest::keyClicks(sheet->nameField(), QStringLiteral("Alpha "));
    EXPECT_TRUE(sheet->confirmButton()->isEnabled());
    EXPECT_EQ(preview(sheet, true), QStringLiteral("   Alpha "));
    sheet->detailsField()->setPlainText(QStringLiteral("  ligne 1\nligne 2 \n "));
    QTest::keyClick(sheet->nameField(), Qt::Key_Return);
    flush();
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    const auto projects = context().fetch<Project>();
    ASSERT_EQ(projects.size(), 1u);
    const ProjectPtr p = projects.front();
    EXPECT_EQ(p->name(), QStringLiteral("Alpha"));
    EXPECT_EQ(p->details(), OptText(QStringLiteral("ligne 1\nligne 2")));
    EXPECT_EQ(p->iconName(), QStringLiteral("folder.fill"));
    EXPECT_EQ(p->colorKey(), OptText(QStringLiteral("blue")));
    EXPECT_FALSE(p->colorHex());
    EXPECT_FALSE(p->deletedAt());
    EXPECT_TRUE(p->docs().empty());
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(SheetsTest, EscapeAndCancelInsertNothing) {
    auto* sheet = present(new NewProjectSheet(services()));
    QTest::keyClicks(sheet->nameField(), QStringLiteral("Beta"));
    sheet->detailsField()->setPlainText(QStringLiteral("   "));
    EXPECT_EQ(preview(sheet, false), QStringLiteral("Description (optionnel)"));
    QTest::keyClick(sheet->nameField(), Qt::Key_Escape);
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    auto* second = present(new NewProjectSheet(services()));
    QTest::keyClicks(second->nameField(), QStringLiteral("Beta"));
    second->cancelButton()->click();
    EXPECT_TRUE(context().fetch<Project>().empty());
}

TEST_F(SheetsTest, ColourKeyIsAlwaysWrittenAndAHexOnlyAfterAPick) {
    auto* sheet = present(new NewProjectSheet(services()));
    EXPECT_FALSE(tagShown(sheet));
    EXPECT_EQ(sheet->accentColor(), AppPalette::brandBlue());
    QTest::mouseClick(swatch(sheet, QStringLiteral("pink")), Qt::LeftButton);
    EXPECT_EQ(sheet->selectedColorKey(), QStringLiteral("pink"));

    // A cancelled pick changes nothing.
    answerPicker(std::nullopt);
    QTest::mouseClick(sheet->findChild<QAbstractButton*>(QStringLiteral("colorWell")), Qt::LeftButton);
    EXPECT_FALSE(sheet->selectedColorHex());

    answerPicker(QColor(0x12, 0x34, 0x56));
    QTest::mouseClick(sheet->findChild<QAbstractButton*>(QStringLiteral("colorWell")), Qt::LeftButton);
    EXPECT_EQ(sheet->selectedColorHex(), OptText(QStringLiteral("#123456")));
    EXPECT_EQ(sheet->selectedColorKey(), QStringLiteral("pink")); // the key stays
    EXPECT_TRUE(tagShown(sheet));
    EXPECT_EQ(sheet->accentColor(), QColor(0x12, 0x34, 0x56));
    QTest::mouseClick(sheet->findChild<QAbstractButton*>(QStringLiteral("icon-star.fill")), Qt::LeftButton);
    QTest::keyClicks(sheet->nameField(), QStringLiteral("Gamma"));
    sheet->confirmButton()->click();
    ProjectPtr p = context().fetch<Project>().front();
    EXPECT_EQ(p->colorKey(), OptText(QStringLiteral("pink")));
    EXPECT_EQ(p->colorHex(), OptText(QStringLiteral("#123456")));
    EXPECT_EQ(p->iconName(), QStringLiteral("star.fill"));

    // Tapping a swatch after a pick clears the hex and sets the picker to the swatch's colour.
    auto* again = present(new NewProjectSheet(services()));
    again->customColorChanged(QColor(1, 2, 3));
    QTest::mouseClick(swatch(again, QStringLiteral("green")), Qt::LeftButton);
    EXPECT_FALSE(again->selectedColorHex());
    EXPECT_FALSE(tagShown(again));
    EXPECT_TRUE(again->isSwatchSelected(QStringLiteral("green")));
    EXPECT_EQ(again->customColor(), colorForKey(QStringLiteral("green")));
}

TEST_F(SheetsTest, EditProjectKeepsWhatItDoesNotTouchAndStampsEverySave) {
    auto p = makeProject(QStringLiteral(" Projet "), 1, QStringLiteral("Notes"), std::nullopt, QStringLiteral("zzz"),
                         QStringLiteral("custom.icon"));
    ASSERT_TRUE(context().save());
    auto* cancelled = present(new EditProjectSheet(services(), p));
    cancelled->nameField()->setText(QStringLiteral("Autre"));
    QTest::mouseClick(swatch(cancelled, QStringLiteral("orange")), Qt::LeftButton);
    cancelled->cancelButton()->click();
    EXPECT_EQ(p->name(), QStringLiteral(" Projet "));
    EXPECT_EQ(p->updatedAt(), at(1));

    auto* sheet = present(new EditProjectSheet(services(), p));
    EXPECT_EQ(sheet->nameField()->text(), QStringLiteral(" Projet "));
    EXPECT_TRUE(tagShown(sheet)); // an unreadable hex still counts as custom
    EXPECT_EQ(sheet->accentColor(), AppPalette::brandBlue());
    for (const QString& key : ColorIconSheet::colorChoices())
        EXPECT_FALSE(sheet->isSwatchSelected(key));
    sheet->detailsField()->setPlainText(QStringLiteral(" \n "));
    sheet->confirmButton()->click();
    EXPECT_EQ(p->name(), QStringLiteral("Projet"));
    EXPECT_FALSE(p->details());
    EXPECT_EQ(p->iconName(), QStringLiteral("custom.icon"));
    EXPECT_EQ(p->colorKey(), OptText(QStringLiteral("blue")));
    EXPECT_EQ(p->colorHex(), OptText(QStringLiteral("zzz")));
    EXPECT_GT(p->updatedAt(), at(1));
    EXPECT_FALSE(context().hasChanges());

    // Emptied to blanks, the name disables the save.
    auto* blank = present(new EditProjectSheet(services(), p));
    blank->nameField()->setText(QStringLiteral("  "));
    EXPECT_FALSE(blank->confirmButton()->isEnabled());
}

TEST_F(SheetsTest, NewDocumentTakesTheProjectColourOnceAndStampsTheProject) {
    auto pink = makeProject(QStringLiteral("Rose"), 1, std::nullopt, QStringLiteral("pink"), QStringLiteral("#00FF00"));
    auto* sheet = present(new NewDocSheet(services(), pink));
    EXPECT_EQ(sheet->selectedColorKey(), QStringLiteral("pink"));
    EXPECT_EQ(sheet->selectedColorHex(), OptText(QStringLiteral("#00FF00")));
    EXPECT_TRUE(tagShown(sheet));
    EXPECT_EQ(sheet->selectedIcon(), QStringLiteral("doc.text.fill"));
    EXPECT_EQ(preview(sheet, true), QStringLiteral("Titre du document"));
    EXPECT_EQ(preview(sheet, false), QStringLiteral("En cours"));
    EXPECT_FALSE(sheet->confirmButton()->isEnabled());

    sheet->statusField()->setCurrentIndex(2);
    EXPECT_EQ(preview(sheet, false), QStringLiteral("À modifier"));
    QTest::keyClicks(sheet->titleField(), QStringLiteral("  Guide  "));
    QTest::keyClick(sheet->titleField(), Qt::Key_Return);
    const DocPtr doc = sheet->createdDoc();
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->title(), QStringLiteral("Guide"));
    EXPECT_EQ(doc->statusRaw(), QStringLiteral("needs_changes"));
    EXPECT_EQ(doc->colorKey(), OptText(QStringLiteral("pink")));
    EXPECT_EQ(doc->colorHex(), OptText(QStringLiteral("#00FF00")));
    EXPECT_EQ(doc->project(), pink);
    EXPECT_TRUE(doc->blocks().empty());
    EXPECT_FALSE(doc->deletedAt());
    EXPECT_GE(pink->updatedAt(), doc->updatedAt());
    EXPECT_EQ(pink->docs().size(), 1u);

    // A project without colours gives "blue" and no hex; a swatch after opening clears the hex.
    auto bare = makeProject(QStringLiteral("Nu"), 2);
    auto* plain = present(new NewDocSheet(services(), bare));
    EXPECT_EQ(plain->selectedColorKey(), QStringLiteral("blue"));
    EXPECT_FALSE(tagShown(plain));
    QTest::keyClicks(plain->titleField(), QStringLiteral("Note"));
    plain->confirmButton()->click();
    EXPECT_EQ(plain->createdDoc()->colorKey(), OptText(QStringLiteral("blue")));
    EXPECT_EQ(plain->createdDoc()->statusRaw(), QStringLiteral("in_progress"));

    const QDateTime stamp = bare->updatedAt();
    auto* cancelled = present(new NewDocSheet(services(), bare));
    QTest::keyClicks(cancelled->titleField(), QStringLiteral("Rien"));
    QTest::keyClick(cancelled, Qt::Key_Escape);
    EXPECT_EQ(bare->updatedAt(), stamp);
    EXPECT_EQ(bare->docs().size(), 1u);
}

TEST_F(SheetsTest, EditDocumentWritesEveryFieldAndStampsDocumentAndProject) {
    auto p = makeProject(QStringLiteral("P"), 1);
    auto doc = makeDoc(p, QStringLiteral(" Titre "), 2, QStringLiteral("archived"), std::nullopt, std::nullopt,
                       QStringLiteral("mic.fill"));
    auto* sheet = present(new EditDocSheet(services(), doc));
    EXPECT_EQ(sheet->titleField()->text(), QStringLiteral(" Titre "));
    EXPECT_EQ(sheet->status(), DocStatus::inProgress);
    EXPECT_EQ(sheet->selectedColorKey(), QStringLiteral("blue"));
    EXPECT_FALSE(tagShown(sheet));
    sheet->confirmButton()->click();
    EXPECT_EQ(doc->title(), QStringLiteral("Titre"));
    EXPECT_EQ(doc->statusRaw(), QStringLiteral("in_progress"));
    EXPECT_EQ(doc->iconName(), QStringLiteral("mic.fill")); // not in the table, kept
    EXPECT_EQ(doc->colorKey(), OptText(QStringLiteral("blue")));
    EXPECT_GT(doc->updatedAt(), at(2));
    EXPECT_GT(p->updatedAt(), doc->updatedAt());

    // A document without a project stamps only itself.
    auto orphan = std::make_shared<Doc>(DocFields{.title = QStringLiteral("Seul"),
                                                  .statusRaw = QStringLiteral("done"),
                                                  .iconName = QStringLiteral("doc.text"),
                                                  .createdAt = at(3),
                                                  .updatedAt = at(3)});
    context().insert(orphan);
    auto* second = present(new EditDocSheet(services(), orphan));
    second->titleField()->setText(QStringLiteral(" \t"));
    EXPECT_FALSE(second->confirmButton()->isEnabled());
    EXPECT_EQ(preview(second, true), QStringLiteral("Titre du document"));
    second->titleField()->setText(QStringLiteral("Seul 2"));
    second->confirmButton()->click();
    EXPECT_EQ(orphan->title(), QStringLiteral("Seul 2"));
    EXPECT_EQ(orphan->statusRaw(), QStringLiteral("done"));
}

TEST_F(SheetsTest, IconTablesHoldDistinctNamesAndPictures) {
    const std::vector<std::pair<QStringList, int>> tables{{NewProjectSheet::projectIconChoices(), 53},
                                                          {NewDocSheet::docIconChoices(), 41},
                                                          {EditDocSheet::editDocIconChoices(), 53}};
    for (const auto& [table, size] : tables) {
        EXPECT_EQ(table.size(), size);
        QSet<QString> names, files;
        QSet<QByteArray> pictures;
        for (const QString& n : table) {
            names.insert(n);
            files.insert(Symbols::fileFor(n));
            EXPECT_TRUE(Symbols::isKnown(n)) << n.toStdString();
            // Distinct names must also draw distinct pictures.
            const QImage img = Symbols::pixmap(n, Qt::black, 32).toImage().convertToFormat(QImage::Format_ARGB32);
            pictures.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()));
        }
        EXPECT_EQ(names.size(), size);
        EXPECT_EQ(files.size(), size);
        EXPECT_EQ(pictures.size(), size);
    }
}

} // namespace
