#include "cardsheet/AttachmentJobs.h"
#include "cardsheet/CardEdits.h"
#include "richtext/NotesFormat.h"
#include "cardsheet/CardSheet.h"
#include "cardsheet/CardSheetWidgets.h"
#include "CardFixture.h"
#include "../richtext/ForeignRtf.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextEditorWrapper.h"
#include "rtf/Rtf.h"
#include "support/Accessibility.h"
#include "ui/Palette.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QGuiApplication>
#include <QClipboard>
#include "ui/lists/ListWidgets.h"

#include <QTextCursor>
#include <QTextDocument>

namespace {

using cardsheetui::AttachmentPreview;

// The strongest contrast inside `area` of `w`'s picture against the pixel at the area's right end, where a
// short text leaves its background.
double inkContrast(QWidget* w, QRect area = {}) {
    const QImage img = w->grab().toImage();
    if (area.isEmpty())
        area = QRect(QPoint(0, 0), img.size() / img.devicePixelRatio());
    const QColor bg = img.pixelColor(area.right() - 4, area.center().y());
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, Contrast::ratio(img.pixelColor(x, y), bg));
    return best;
}

class CardSheetTest : public CardFixture {
protected:
    void SetUp() override {
        CardFixture::SetUp();
        sheet = std::make_unique<CardSheet>(*services, checklist);
    }
    void TearDown() override {
        testsupport::waitFor([this] { return services->attachments.runningCount() == 0; }, 10000);
        sheet.reset();
        CardFixture::TearDown();
    }

    // The visible button named `name` (its title or its help text), or null.
    QAbstractButton* button(const QString& name) const {
        for (QAbstractButton* b : sheet->findChildren<QAbstractButton*>())
            if (b->isVisibleTo(sheet.get()) && (b->text() == name || b->accessibleName() == name))
                return b;
        return nullptr;
    }
    void click(const QString& name) {
        QAbstractButton* b = button(name);
        ASSERT_TRUE(b) << name.toStdString();
        QTest::mouseClick(b, Qt::LeftButton);
        flush();
    }
    QStringList labels() const {
        QStringList out;
        for (QLabel* l : sheet->findChildren<QLabel*>())
            if (l->isVisibleTo(sheet.get()))
                out << l->accessibleName();
        for (auto* l : sheet->findChildren<lists::ClampedText*>())
            if (l->isVisibleTo(sheet.get()))
                out << l->text();
        return out;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir.path() + "/picked/" + name;
        QDir().mkpath(dir.path() + "/picked");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    // Picks `path` through "Ajouter un fichier" and waits for the copy to end.
    void attach(const QString& path) {
        DialogSeam::pushFileName(path);
        click("Ajouter un fichier");
        ASSERT_TRUE(testsupport::waitFor([this] { return services->attachments.runningCount() == 0; }, 10000));
        flush();
    }

    std::unique_ptr<CardSheet> sheet;
};

TEST_F(CardSheetTest, NewCardIsCreatedAndShownInReadMode) {
    sheet->openNewCard(todo);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->heading(), "Nouvelle étape");
    EXPECT_FALSE(button("Modifier"));
    EXPECT_FALSE(button("Supprimer l’étape"));
    EXPECT_TRUE(labels().contains("Crée l’étape pour ajouter des liens."));
    EXPECT_TRUE(labels().contains("Crée l’étape pour ajouter des fichiers."));

    // A blank title: "Créer" does nothing.
    QTest::keyClicks(sheet->titleField(), "   ");
    click("Créer");
    EXPECT_EQ(todo->cards().size(), 2u);
    EXPECT_TRUE(sheet->isEditing());

    QTest::keyClicks(sheet->titleField(), "Logo ");
    QTest::keyClick(sheet->titleField(), Qt::Key_Return);
    EXPECT_EQ(todo->cards().size(), 2u); // Return saves nothing
    click("Créer");
    ASSERT_EQ(todo->cards().size(), 3u);
    const ChecklistCardPtr created = sheet->editingCard();
    ASSERT_TRUE(created);
    EXPECT_EQ(created->title(), "Logo");
    EXPECT_EQ(created->orderIndex(), 2);
    EXPECT_FALSE(sheet->targetColumn());
    EXPECT_FALSE(sheet->isEditing());
    EXPECT_EQ(sheet->heading(), "Détails de l’étape");
    // The title as typed, blanks included, until the card is opened again.
    EXPECT_TRUE(labels().contains("   Logo "));
    EXPECT_TRUE(labels().contains("Aucune description."));
    EXPECT_TRUE(button("Modifier"));
    EXPECT_TRUE(button("Supprimer l’étape"));
    EXPECT_TRUE(button("Marquer comme terminé"));
    EXPECT_FALSE(context().hasChanges());
    // The destructive text reads on its pill, in the red of every destructive command.
    sheet->resize(620, 760);
    sheet->show();
    flush();
    EXPECT_GE(inkContrast(button("Supprimer l’étape")), Contrast::text);
}

// The title and link fields show the focus outline every field shows, "Créer" the ring of every button:
// 3:1 against what is around them in both themes.
TEST_F(CardSheetTest, FocusIndicatorsReadInBothThemes) {
    for (const bool dark : {false, true}) {
        ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
        applyAppearance();
        sheet = std::make_unique<CardSheet>(*services, checklist);
        sheet->openNewCard(todo);
        sheet->titleField()->setText("Logo");
        QLineEdit* link = nullptr;
        for (QLineEdit* e : sheet->findChildren<QLineEdit*>())
            if (e->placeholderText() == QStringLiteral("https://…"))
                link = e;
        ASSERT_TRUE(link);
        // The fields' boxes are drawn by the frames around them.
        const std::pair<QWidget*, QWidget*> controls[] = {{sheet->titleField(), sheet->titleField()->parentWidget()},
                                                          {link, link->parentWidget()},
                                                          {button("Créer"), nullptr}};
        for (const auto& [control, frame] : controls) {
            const testsupport::FocusContrast c = testsupport::focusRingContrast(control, frame);
            EXPECT_GE(c.outside, Contrast::largeText) << dark << control->accessibleName().toStdString();
            EXPECT_GE(c.inside, Contrast::largeText) << dark << control->accessibleName().toStdString();
        }
    }
    ThemeManager::shared().setTheme(AppTheme::system);
}

// A paste that would take the title past its limit is refused whole and said, where the field alone cut it
// without a word; one that fits goes in.
TEST_F(CardSheetTest, ATitlePastePastTheLimitIsRefusedWithAMessage) {
    sheet->openNewCard(todo);
    QLineEdit* title = sheet->titleField();
    QTest::keyClicks(title, "Logo");
    DialogSeam::reset();
    QGuiApplication::clipboard()->setText(QString(10'000'000, QLatin1Char('x')));
    QTest::keyClick(title, Qt::Key_V, Qt::ControlModifier);
    flush();
    EXPECT_EQ(title->text(), "Logo");
    ASSERT_EQ(DialogSeam::shownMessages().size(), 1);
    EXPECT_EQ(DialogSeam::shownMessages().first().text, "Ce texte est trop long pour un titre.");
    EXPECT_EQ(DialogSeam::shownMessages().first().informativeText,
              "Un titre compte au plus 32\u202F767 caractères ; le texte n’a pas été ajouté.");
    QGuiApplication::clipboard()->setText(" final");
    QTest::keyClick(title, Qt::Key_V, Qt::ControlModifier);
    flush();
    EXPECT_EQ(title->text(), "Logo final");
    EXPECT_EQ(DialogSeam::shownMessages().size(), 1);
}

TEST_F(CardSheetTest, FormattingIsSavedWithoutTypingAfterIt) {
    auto maquette = todo->cards()[0];
    sheet->openCard(maquette);
    click("Modifier");
    EXPECT_EQ(sheet->heading(), "Modifier l’étape");
    ASSERT_TRUE(sheet->descriptionEditor());
    ClickableTextView* view = sheet->descriptionEditor()->textView();
    view->setFocus();
    QTest::keyClicks(view, "important");
    // Bold applied to the whole text, with no keystroke after it.
    view->selectAll();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    view->textCursor().mergeCharFormat(bold);
    click("Enregistrer");

    const notesformat::Decoded stored = notesformat::decode(maquette->notes());
    ASSERT_TRUE(stored.rtf);
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(*stored.rtf, doc));
    EXPECT_EQ(doc.toPlainText(), "important");
    QTextCursor c(&doc);
    c.setPosition(3);
    EXPECT_GE(c.charFormat().fontWeight(), QFont::DemiBold);
    EXPECT_FALSE(sheet->isEditing());
    EXPECT_TRUE(sheet->findChild<QWidget*>("readDescriptionRich"));
}

TEST_F(CardSheetTest, SavingWithoutTouchingTheDescriptionKeepsItAsStored) {
    const QString foreign = "\n  rtf:" + QString::fromLatin1(rttest::foreignRtf().toBase64()) + "  ";
    const struct {
        const char* name;
        OptText notes;
    } cases[] = {
        {"foreign RTF with blanks around it", foreign},
        {"plain text with blanks", QStringLiteral("  Acheter, du pain  \n")},
        {"absent", std::nullopt},
        {"unreadable RTF", QStringLiteral("rtf:") + QString::fromLatin1(QByteArray("pas du RTF").toBase64())},
    };
    for (const auto& c : cases) {
        auto target = card(todo, QStringLiteral("Carte"), 9, c.notes);
        ASSERT_TRUE(context().save());
        sheet->openCard(target);
        click("Modifier");
        ASSERT_TRUE(sheet->descriptionEditor());
        // Clicking into the description is no edit.
        QTest::mouseClick(sheet->descriptionEditor()->textView()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        sheet->titleField()->setText(QStringLiteral("Carte renommée"));
        click("Enregistrer");
        EXPECT_FALSE(sheet->isEditing()) << c.name;
        EXPECT_EQ(target->title(), QStringLiteral("Carte renommée")) << c.name;
        EXPECT_EQ(target->notes(), c.notes) << c.name;
    }
}

TEST_F(CardSheetTest, EditingAForeignDescriptionKeepsItsNotesCellsAndLinks) {
    auto target = card(todo, QStringLiteral("Carte"), 9, "rtf:" + QString::fromLatin1(rttest::foreignRtf().toBase64()));
    ASSERT_TRUE(context().save());
    sheet->openCard(target);
    click("Modifier");
    ClickableTextView* view = sheet->descriptionEditor()->textView();
    view->setFocus();
    view->moveCursor(QTextCursor::Start);
    QTest::keyClicks(view, "!");
    click("Enregistrer");
    const notesformat::Decoded stored = notesformat::decode(target->notes());
    ASSERT_TRUE(stored.rtf);
    EXPECT_TRUE(stored.plain.startsWith("!E = mc2"));
    for (const char* kept : {"Texte de la note.", "Cellule A1\nCellule B1", "le guide"})
        EXPECT_TRUE(stored.plain.contains(QString::fromUtf8(kept))) << kept;
    EXPECT_TRUE(stored.rtf->contains("\\trowd"));
    EXPECT_TRUE(stored.rtf->contains("HYPERLINK \"https://exemple.fr/guide\""));
}

// A description holding what the writer cannot keep is saved as stored, keys and all, until the person
// agrees to edit it anyway.
TEST_F(CardSheetTest, AForeignDescriptionThatCannotBeKeptIsNotWrittenUntilAgreed) {
    const QString notes = "rtf:" +
        QString::fromLatin1(QByteArray("{\\rtf1 avant{\\shp{\\*\\shpinst{\\shptxt zone}}} "
                                       "apr\\'e8s}")
                                .toBase64());
    auto target = card(todo, QStringLiteral("Carte"), 9, notes);
    ASSERT_TRUE(context().save());
    sheet->openCard(target);
    click("Modifier");
    RichTextEditorWrapper* wrapper = sheet->descriptionEditor()->wrapper();
    EXPECT_EQ(wrapper->pendingLoss(), unsigned(rtf::lostShape));
    ClickableTextView* view = sheet->descriptionEditor()->textView();
    view->setFocus();
    QTest::keyClicks(view, "!");
    sheet->titleField()->setText(QStringLiteral("Carte renommée"));
    click("Enregistrer");
    EXPECT_EQ(target->title(), QStringLiteral("Carte renommée"));
    EXPECT_EQ(target->notes(), notes);

    click("Modifier");
    wrapper = sheet->descriptionEditor()->wrapper();
    wrapper->acceptLoss();
    view = sheet->descriptionEditor()->textView();
    view->moveCursor(QTextCursor::Start);
    QTest::keyClicks(view, "!");
    click("Enregistrer");
    EXPECT_TRUE(notesformat::decode(target->notes()).plain.startsWith(QStringLiteral("!avant")));
}

TEST_F(CardSheetTest, ClosingDiscardsEditsAndReopeningShowsTheStoredCard) {
    auto textes = todo->cards()[1];
    textes->setNotes("  du texte brut  ");
    sheet->openCard(textes);
    EXPECT_FALSE(sheet->formDescriptionRtf());
    auto* plain = sheet->findChild<QLabel*>("readDescriptionPlain");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->text(), "  du texte brut  ");
    EXPECT_TRUE(plain->textInteractionFlags() & Qt::TextSelectableByMouse);

    click("Modifier");
    sheet->titleField()->clear();
    QTest::keyClicks(sheet->titleField(), "Abandon");
    click("Fermer");
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(textes->title(), "Textes");

    sheet->openCard(textes);
    EXPECT_FALSE(sheet->isEditing());
    EXPECT_EQ(sheet->formTitle(), "Textes");
    textes->setTitle(" \n");
    sheet->openCard(textes);
    EXPECT_TRUE(labels().contains("Sans titre"));
}

TEST_F(CardSheetTest, FooterDependsOnTheCardsColumn) {
    sheet->openCard(done->cards()[0]);
    EXPECT_FALSE(button("Marquer comme terminé"));
    EXPECT_TRUE(button("Supprimer l’étape"));

    auto photos = doing->cards()[0];
    sheet->openCard(photos);
    click("Marquer comme terminé");
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(photos->column(), done);
    EXPECT_EQ(titles(done), (QStringList{"0:Nom de domaine", "1:Photos"}));

    sheet->openCard(todo->cards()[0]);
    click("Supprimer l’étape");
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(titles(todo), QStringList{"0:Textes"});
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(CardSheetTest, LinksAreAddedOpenedAndRemoved) {
    // On a card being created, "Ajouter" stores the card and then the link, on the same press.
    sheet->openNewCard(doing);
    QTest::keyClicks(sheet->linkField(), "  https://exemple.fr/a  ");
    click("Ajouter");
    EXPECT_FALSE(sheet->editingCard()); // no title: nothing happens
    EXPECT_EQ(sheet->formLink(), "  https://exemple.fr/a  ");
    QTest::keyClicks(sheet->titleField(), "Sources");
    click("Ajouter");
    const ChecklistCardPtr c = sheet->editingCard();
    ASSERT_TRUE(c);
    ASSERT_EQ(c->attachments().size(), 1u);
    EXPECT_EQ(c->attachments()[0]->localPath(), "https://exemple.fr/a");
    EXPECT_EQ(sheet->formLink(), "");

    click("Modifier");
    QTest::keyClicks(sheet->linkField(), "exemple.fr");
    click("Ajouter");
    EXPECT_EQ(sheet->linkField()->text(), "exemple.fr");
    EXPECT_EQ(c->attachments().size(), 1u);

    click("Ouvrir le lien");
    ASSERT_EQ(DialogSeam::openedUrls().size(), 1);
    EXPECT_EQ(DialogSeam::openedUrls()[0], QUrl("https://exemple.fr/a"));
    // A stored link that is not a valid address opens nothing.
    c->attachments()[0]->setLocalPath("http://exa mple/%%");
    sheet->openCard(c);
    click("Ouvrir le lien");
    EXPECT_EQ(DialogSeam::openedUrls().size(), 1);

    click("Supprimer le lien");
    EXPECT_TRUE(c->attachments().empty());
    EXPECT_FALSE(button("Supprimer le lien"));
}

TEST_F(CardSheetTest, FilesAreCopiedListedOpenedAndRemoved) {
    auto maquette = todo->cards()[0];
    const QDateTime cardDate = maquette->updatedAt();
    sheet->openCard(maquette);
    EXPECT_FALSE(button("Ajouter un fichier")); // read mode
    click("Modifier");

    QImage img(400, 200, QImage::Format_RGB32);
    img.fill(Qt::red);
    const QString png = dir.path() + "/picked/PHOTO.PNG";
    QDir().mkpath(dir.path() + "/picked");
    ASSERT_TRUE(img.save(png, "PNG"));
    attach(png);
    attach(file("notes.pdf", "%PDF-1.4"));
    DialogSeam::pushFileNames({}); // cancelled
    click("Ajouter un fichier");
    flush();

    ASSERT_EQ(maquette->attachments().size(), 2u);
    const auto photo = maquette->attachments()[0];
    EXPECT_EQ(photo->fileName(), "PHOTO.PNG");
    EXPECT_FALSE(photo->mimeType());
    EXPECT_EQ(photo->localPath(),
              QDir(attachmentfiles::cardDirectory(checklist->id(), maquette->id())).canonicalPath() + "/PHOTO.PNG");
    EXPECT_TRUE(QFile::exists(png));
    EXPECT_EQ(maquette->updatedAt(), cardDate);
    EXPECT_GT(checklist->updatedAt(), old);

    // The image row gets its thumbnail off the GUI thread; the PDF its symbol.
    auto previews = sheet->findChildren<AttachmentPreview*>();
    ASSERT_EQ(previews.size(), 2);
    EXPECT_TRUE(testsupport::waitFor(
        [&] { return std::any_of(previews.begin(), previews.end(), [](auto* p) { return p->showsThumbnail(); }); }));
    QStringList symbols;
    for (auto* p : sheet->findChildren<AttachmentPreview*>())
        symbols << p->symbol();
    EXPECT_TRUE(symbols.contains("doc.richtext"));

    // A click on the row opens the copy, not the picked file.
    QWidget* row = sheet->findChildren<QWidget*>("fileRow").value(0);
    ASSERT_TRUE(row);
    // The row shows the name over the stored path; a path too long for the row is cut in its middle,
    // so that where it starts and the file's own name both stay readable. The tooltip has it whole.
    auto* nameLabel = row->findChild<QLabel*>("fileName");
    auto* pathLabel = row->findChild<QLabel*>("filePath");
    ASSERT_TRUE(pathLabel);
    EXPECT_EQ(nameLabel->text(), "PHOTO.PNG");
    EXPECT_LT(nameLabel->geometry().bottom(), pathLabel->geometry().top());
    EXPECT_EQ(pathLabel->accessibleName(), photo->localPath());
    pathLabel->resize(140, pathLabel->height());
    const QString cut = pathLabel->text();
    EXPECT_TRUE(cut.contains(QChar(0x2026))) << cut.toStdString();
    EXPECT_TRUE(cut.startsWith(photo->localPath().left(4))) << cut.toStdString();
    EXPECT_TRUE(cut.endsWith(".PNG")) << cut.toStdString();
    EXPECT_LE(pathLabel->fontMetrics().horizontalAdvance(cut), 140);
    pathLabel->resize(4000, pathLabel->height());
    EXPECT_EQ(pathLabel->text(), photo->localPath());
    EXPECT_EQ(row->toolTip(), photo->localPath());
    EXPECT_EQ(row->findChild<QLabel*>("fileName")->accessibleDescription(), photo->localPath());
    // An image's name is quieter than a file's, and still reads.
    sheet->resize(620, 760);
    sheet->show();
    flush();
    QLabel* name = row->findChild<QLabel*>("fileName");
    EXPECT_GE(inkContrast(row, QRect(name->mapTo(row, QPoint(0, 0)), name->size())), Contrast::text);
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() / 2, 4));
    ASSERT_EQ(DialogSeam::openedUrls().size(), 1);
    EXPECT_EQ(DialogSeam::openedUrls()[0], QUrl::fromLocalFile(photo->localPath()));

    // Removing the record leaves the copy on disk; the trash button opens nothing.
    button("Supprimer le fichier")->click();
    flush();
    EXPECT_EQ(maquette->attachments().size(), 1u);
    EXPECT_TRUE(QFile::exists(photo->localPath()));
    EXPECT_EQ(DialogSeam::openedUrls().size(), 1);
}

// A picked file whose name hides its type behind a direction override is recorded and listed without it.
TEST_F(CardSheetTest, AFileNameIsStoredAndShownWithoutItsFormatCharacters) {
    auto maquette = todo->cards()[0];
    sheet->openCard(maquette);
    click("Modifier");
    attach(file(QStringLiteral("facture\u202Efdp.exe"), "MZ"));
    ASSERT_EQ(maquette->attachments().size(), 1u);
    EXPECT_EQ(maquette->attachments()[0]->fileName(), "facturefdp.exe");
    EXPECT_TRUE(maquette->attachments()[0]->localPath().endsWith("/facturefdp.exe"));
    // A name stored earlier, or by another program, is shown without them too.
    maquette->attachments()[0]->setFileName(QStringLiteral("devis\u202Efdp.exe"));
    sheet->openCard(maquette);
    flush();
    auto* shown = sheet->findChild<QLabel*>("fileName");
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->accessibleName(), "devisfdp.exe");
    EXPECT_FALSE(shown->text().contains(QChar(0x202E)));
}

TEST_F(CardSheetTest, AFileForANewCardWaitsForTheCard) {
    sheet->openNewCard(todo);
    DialogSeam::pushFileName(file("a.txt", "a"));
    click("Ajouter un fichier"); // no title: no picker, no card
    QTest::qWait(80);
    EXPECT_FALSE(sheet->editingCard());
    QTest::keyClicks(sheet->titleField(), "Annexe");
    click("Ajouter un fichier");
    const ChecklistCardPtr c = sheet->editingCard();
    ASSERT_TRUE(c);
    ASSERT_TRUE(testsupport::waitFor([&] { return c->attachments().size() == 1; }, 5000));
    EXPECT_EQ(c->attachments()[0]->fileName(), "a.txt");
}

TEST_F(CardSheetTest, AFailedCopyOrADeletedCardLeavesNoRecordAndNoFile) {
    auto maquette = todo->cards()[0];
    sheet->openCard(maquette);
    click("Modifier");
    attachmentfiles::setWriteLimitForTesting(10);
    attach(file("gros.bin", QByteArray(100, 'x')));
    EXPECT_TRUE(maquette->attachments().empty());
    const QString folder = attachmentfiles::cardDirectory(checklist->id(), maquette->id());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
    ASSERT_FALSE(DialogSeam::shownMessages().isEmpty());
    EXPECT_EQ(DialogSeam::shownMessages().last().text, "« gros.bin » n’a pas pu être joint.");
    attachmentfiles::setWriteLimitForTesting(-1);

    // The card is deleted while its file is being copied: the copy is taken away again.
    // (The end of a copy is handled by the event loop, so it cannot end before the next line.)
    sheet->importAttachment(file("tard.bin", QByteArray(4 << 20, 'y')));
    ASSERT_TRUE(services->attachments.isCopying(maquette->id()));
    EXPECT_FALSE(button("Ajouter un fichier")->isEnabled()); // one copy at a time for this card
    button("Supprimer l’étape")->click();
    ASSERT_TRUE(testsupport::waitFor([this] { return services->attachments.runningCount() == 0; }, 10000));
    EXPECT_TRUE(context().fetch<ChecklistAttachment>().empty());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(CardSheetTest, EveryControlIsNamedForAccessibility) {
    auto c = todo->cards()[0];
    CardEdits(context(), checklist).addLink(c, "https://exemple.fr");
    sheet->openCard(c);
    for (bool edit : {false, true}) {
        if (edit)
            click("Modifier");
        const QStringList unnamed = testsupport::unnamedAccessibleElements(sheet.get());
        EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(", ").toStdString();
    }
    QStringList names;
    for (QAbstractButton* b : sheet->findChildren<QAbstractButton*>())
        if (b->isVisibleTo(sheet.get()))
            names << QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name);
    for (const char* expected : {"Fermer", "Ajouter", "Ouvrir le lien", "Supprimer le lien", "Ajouter un fichier",
                                 "Supprimer l’étape", "Enregistrer"})
        EXPECT_TRUE(names.contains(expected)) << expected;
}

// In a window shorter than the sheet's content, the sheet keeps to the window, its footer in view, and a
// description that grows with its text is never clipped: the body between header and footer scrolls.
// The description's editor fills its 160 with or without its toolbar (nothing empty lies under it), and
// in read mode a formatted description keeps the read-only text's inset of 12 from the title's edge.
TEST_F(CardSheetTest, DescriptionLinesUpInBothModes) {
    QWidget window;
    window.resize(900, 700);
    window.show();
    CardSheet inWindow(*services, checklist, &window);
    auto maquette = todo->cards()[0];
    QTextDocument formatted;
    QTextCursor(&formatted).insertText(QStringLiteral("Texte mis en forme"));
    maquette->setNotes(notesformat::encode(rtf::write(formatted), QString()));
    inWindow.openCard(maquette);
    flush();
    auto* title = inWindow.findChild<QWidget*>("readTitle");
    auto* rich = inWindow.findChild<QTextEdit*>("readDescriptionRich");
    ASSERT_TRUE(title && rich);
    const QRect first = rich->cursorRect(QTextCursor(rich->document()));
    EXPECT_EQ(rich->viewport()->mapTo(&inWindow, first.topLeft()).x(), title->mapTo(&inWindow, QPoint()).x() + 12);
    EXPECT_EQ(first.top(), 12);

    inWindow.startEditing();
    flush();
    RichTextBlockEditor* editor = inWindow.descriptionEditor();
    QWidget* frame = editor->parentWidget();
    EXPECT_FALSE(editor->isToolbarShown());
    EXPECT_EQ(editor->height(), 160);
    EXPECT_EQ(frame->height(), editor->height());
    EXPECT_EQ(editor->wrapper()->height(), 160);
    editor->textView()->setFocus();
    EXPECT_TRUE(testsupport::waitFor([&] { return editor->isToolbarShown(); }, 2000));
    EXPECT_TRUE(
        testsupport::waitFor([&] { return editor->wrapper()->y() == RichTextBlockEditor::toolbarBlockHeight(); },
                             2000));
    EXPECT_EQ(editor->height(), 160);
    EXPECT_EQ(editor->wrapper()->geometry().bottom(), editor->rect().bottom());
    inWindow.reject();
}

TEST_F(CardSheetTest, GrowingDescriptionScrollsTheBodyNotTheSheet) {
    QWidget window;
    window.resize(900, 480);
    window.show();
    CardSheet inWindow(*services, checklist, &window);
    inWindow.openCard(todo->cards()[0]);
    inWindow.startEditing();
    flush();
    const int height = inWindow.height();
    EXPECT_LE(height, window.height());
    for (int i = 0; i < 30; ++i) {
        QTest::keyClicks(inWindow.descriptionEditor()->textView(), QString("Ligne %1").arg(i));
        QTest::keyClick(inWindow.descriptionEditor()->textView(), Qt::Key_Return);
    }
    RichTextBlockEditor* editor = inWindow.descriptionEditor();
    QWidget* frame = editor->parentWidget();
    // The editor takes its height on a timer; the body follows.
    EXPECT_TRUE(testsupport::waitFor([&] { return editor->height() > window.height(); }, 2000));
    EXPECT_TRUE(testsupport::waitFor([&] { return frame->height() >= editor->height(); }, 2000));
    EXPECT_EQ(inWindow.height(), height);
    QWidget* save = nullptr;
    for (QAbstractButton* b : inWindow.findChildren<QAbstractButton*>())
        if (b->isVisible() && b->text() == "Enregistrer")
            save = b;
    ASSERT_TRUE(save);
    EXPECT_TRUE(inWindow.rect().contains(QRect(save->mapTo(&inWindow, QPoint(0, 0)), save->size())));
    inWindow.reject();
}

} // namespace

namespace {

struct LargeDescription {
    const char* name;
    QString notes;
    bool tooLarge;
    const char* shownStart;
};

const QString kLine = QStringLiteral("une étape de vérification avant la livraison du projet\n");

} // namespace

// A long description is read and edited in an area of fixed height and written at the save; one too
// large to edit shows only its start, read-only, under a notice, opens without holding the window, and
// the card keeps its notes through an edit of its title.
class LargeDescriptionTest : public CardSheetTest {
protected:
    void check(const LargeDescription& c) {
        SCOPED_TRACE(c.name);
        auto maquette = todo->cards()[0];
        maquette->setNotes(c.notes);
        ASSERT_TRUE(context().save());
        QElapsedTimer t;
        t.start();
        sheet->openCard(maquette);
        flush();
        EXPECT_LT(t.elapsed(), 1000);
        auto* notice = sheet->findChild<QLabel*>("descriptionNotice");
        EXPECT_EQ(notice != nullptr, c.tooLarge);
        if (notice) {
            EXPECT_TRUE(notice->text().startsWith(QStringLiteral("Ce texte est trop volumineux")));
        }
        bool shown = false;
        for (auto* view : sheet->findChildren<cardsheetui::ReadOnlyRichText*>())
            shown = shown || (view->isBounded() && view->toPlainText().startsWith(QString::fromUtf8(c.shownStart)));
        EXPECT_TRUE(shown);

        click("Modifier");
        sheet->titleField()->setText("Maquette révisée");
        if (c.tooLarge) {
            EXPECT_FALSE(sheet->descriptionEditor());
        } else {
            ASSERT_TRUE(sheet->descriptionEditor());
            EXPECT_TRUE(sheet->descriptionEditor()->wrapper()->isBounded());
            ClickableTextView* view = sheet->descriptionEditor()->textView();
            view->setFocus();
            view->moveCursor(QTextCursor::Start);
            QTest::keyClicks(view, "Relu : ");
        }
        click("Enregistrer");
        EXPECT_EQ(maquette->title(), "Maquette révisée");
        if (c.tooLarge) {
            EXPECT_TRUE(maquette->notes() == c.notes);
        } else {
            const notesformat::Decoded stored = notesformat::decode(maquette->notes());
            EXPECT_TRUE(stored.plain.trimmed() == "Relu : " + c.notes.trimmed());
        }
        sheet->reject();
        flush();
    }
};

TEST_F(LargeDescriptionTest, ALongDescriptionScrollsInsideItsAreaAndIsSaved) {
    check({"long plain", kLine.repeated(4'000), false, "une étape"});
}

// The sheet goes while its description editor still holds a write (typed text, paced as large texts are):
// the editor lets it go while the sheet's form still lives, and the card's notes, which that form shared,
// stay whole for the next save.
TEST_F(LargeDescriptionTest, ASheetDestroyedWithAWritePendingLeavesTheCardWhole) {
    auto maquette = todo->cards()[0];
    const QString notes = kLine.repeated(4'000);
    maquette->setNotes(notes);
    ASSERT_TRUE(context().save());
    sheet->openCard(maquette);
    flush();
    click("Modifier");
    ASSERT_TRUE(sheet->descriptionEditor());
    ClickableTextView* view = sheet->descriptionEditor()->textView();
    view->setFocus();
    view->moveCursor(QTextCursor::End);
    QTest::keyClicks(view, " fin");
    // A screen rebuilt under the sheet, with a change of the card still pending.
    maquette->setTitle("Maquette renommée");
    sheet.reset();
    EXPECT_TRUE(maquette->notes() == notes);
    EXPECT_TRUE(context().save());
    EXPECT_TRUE(maquette->notes() == notes);
    sheet = std::make_unique<CardSheet>(*services, checklist);
}

// Slow: tens of megabytes go through the store.
TEST_F(LargeDescriptionTest, DescriptionsTooLargeToEditShowTheirStartAndAreKept) {
    const QByteArray rtf = "{\\rtf1\\ansi {\\b d\\'e9but} " + QByteArray("mot mot\\par ").repeated(600'000) + "}";
    check({"50 MB plain", kLine.repeated(50'000'000 / kLine.size()), true, "une étape"});
    check({"7 MB rtf", notesformat::encode(rtf, {}), true, "début"});
}

namespace {

// The rows stand on the screen's colour in a card 18 inside the sheet, itself on the screen's colour:
// outside the card, on the card's padding and among the rows, the sheet shows those two colours.
TEST_F(CardSheetTest, TheRowsStandInACardOnTheScreensColour) {
    sheet->openCard(todo->cards()[0]);
    testsupport::flushEvents();
    EXPECT_EQ(sheet->width(), CardSheet::sheetWidth + 2 * (18 + 16));
    const QImage img = sheet->grab().toImage();
    const int y = img.height() / 2;
    auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <= 6;
    };
    EXPECT_TRUE(near(img.pixelColor(8, y), AppPalette::screenBackground())); // outside the card
    EXPECT_TRUE(near(img.pixelColor(18 + 8, y), AppPalette::cardBackground())); // the card's padding
    EXPECT_TRUE(near(img.pixelColor(18 + 16 + 4, y), AppPalette::screenBackground())); // under the rows
    // Every row lies inside the card's padding.
    auto* heading = sheet->findChild<QWidget*>(QStringLiteral("heading"));
    ASSERT_TRUE(heading);
    EXPECT_GE(heading->mapTo(sheet.get(), QPoint()).x(), 18 + 16);
}

} // namespace
