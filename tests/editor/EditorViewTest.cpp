#include "EditorFixture.h"
#include "../richtext/ForeignRtf.h"

#include "core/store/SqliteDb.h"
#include "editor/AttributedTextView.h"
#include "editor/BlockRow.h"
#include "editor/CodeBlockView.h"
#include "editor/DocEditorView.h"
#include "editor/EditorChrome.h"
#include "editor/EditorWidgets.h"
#include "editor/RowTransitions.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextToolbar.h"
#include "rtf/Rtf.h"
#include "support/Accessibility.h"
#include "ui/Components.h"

#include <QApplication>
#include <QFontMetrics>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <QTextBlock>
#include <QTextList>
#include <QTextDocument>

#include <cmath>

namespace {

QByteArray boldRtf(const QString& text) {
    QTextDocument d;
    QTextCursor c(&d);
    QTextCharFormat f;
    f.setFontWeight(QFont::Bold);
    c.insertText(text, f);
    return rtf::write(d);
}

bool hasBold(const QByteArray& data) {
    QTextDocument d;
    if (!rtf::read(data, d))
        return false;
    for (QTextBlock b = d.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().fontWeight() >= QFont::DemiBold)
                return true;
    return false;
}

} // namespace

class EditorViewTest : public EditorFixture {
protected:
    ImprovedDocEditorView* open() {
        view = std::make_unique<ImprovedDocEditorView>(services(), doc);
        view->resize(1000, 800);
        view->show();
        view->activateWindow();
        testsupport::flushEvents();
        return view.get();
    }
    void close() {
        view.reset();
        testsupport::flushEvents();
    }
    void TearDown() override {
        view.reset();
        EditorFixture::TearDown();
    }
    void enterEditMode() {
        QTest::mouseClick(view->header()->toggleButton(), Qt::LeftButton);
        testsupport::flushEvents();
        ASSERT_TRUE(view->isEditMode());
    }
    void leaveEditMode() {
        QTest::mouseClick(view->header()->toggleButton(), Qt::LeftButton);
        ASSERT_TRUE(testsupport::waitFor([this] { return !view->isEditMode(); }, 2000));
    }
    // Makes the block's text bold in its editor, as if the formatting had not reached storage yet.
    void boldUnstored(const DocBlockPtr& b) {
        ClickableTextView* text = textViewOf(b);
        ASSERT_TRUE(text);
        text->selectAll();
        view->rowFor(b->id())->textEditor()->toolbar()->toggleBold();
        b->setRichTextData(std::nullopt);
    }
    ClickableTextView* textViewOf(const DocBlockPtr& b) {
        auto* row = view->rowFor(b->id());
        return row && row->textEditor() ? row->textEditor()->textView() : nullptr;
    }

    std::unique_ptr<ImprovedDocEditorView> view;
};

TEST_F(EditorViewTest, OpeningADocumentWithoutVisibleBlocksAddsATextBlock) {
    block(4, QStringLiteral("code"), {}, /*hidden=*/true);
    context().save();
    const QDateTime before = doc->updatedAt();
    open();
    ASSERT_EQ(view->cachedBlocks().size(), 1u);
    const DocBlockPtr added = view->cachedBlocks().front();
    EXPECT_EQ(added->order(), 5);
    EXPECT_EQ(added->typeRaw(), QStringLiteral("text"));
    EXPECT_FALSE(added->codeLanguage());
    EXPECT_GT(doc->updatedAt(), before);
    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(view->header()->countText(), QStringLiteral("1 bloc"));
    EXPECT_FALSE(view->emptyState()->isVisible());
    EXPECT_FALSE(view->addBlockButton()->isVisible());
}

TEST_F(EditorViewTest, HeaderStoresTheTitleAsTypedAndCountsVisibleBlocks) {
    block(0);
    block(1, QStringLiteral("text"), {}, true);
    block(2, QStringLiteral("text"), {}, true);
    block(3, QStringLiteral("text"), {}, true);
    context().save();
    open();
    EXPECT_EQ(view->header()->countText(), QStringLiteral("1 bloc"));
    EXPECT_TRUE(view->header()->dateText().startsWith(QStringLiteral("Modifié ")));

    QLineEdit* title = view->header()->titleField();
    title->selectAll();
    QTest::keyClick(title, Qt::Key_Delete);
    EXPECT_EQ(doc->title(), QString());
    const QDateTime cleared = doc->updatedAt();
    QTest::keyClicks(title, QStringLiteral(" Plan "));
    EXPECT_EQ(doc->title(), QStringLiteral(" Plan "));
    EXPECT_GT(doc->updatedAt(), cleared);
    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(view->header()->dateText(), modifiedText(doc->updatedAt()));

    const QDateTime beforeStatus = doc->updatedAt();
    view->header()->statusPicker()->setCurrentIndex(1);
    EXPECT_EQ(doc->statusRaw(), QStringLiteral("done"));
    EXPECT_EQ(doc->updatedAt(), beforeStatus.addSecs(1)); // one stamp

    enterEditMode();
    view->addBlock(DocBlockType::code);
    EXPECT_EQ(view->header()->countText(), QStringLiteral("2 blocs"));
    EXPECT_EQ(blockCountText(0), QStringLiteral("0 bloc"));

    view.reset();
    const DocPtr back = reopened();
    EXPECT_EQ(back->title(), QStringLiteral(" Plan "));
    EXPECT_EQ(back->statusRaw(), QStringLiteral("done"));
}

TEST_F(EditorViewTest, EmptyStateAddsBlocksInBothModesAndTheMenuOnlyInEditMode) {
    auto only = block(0);
    context().save();
    open();
    enterEditMode();
    view->rowFor(only->id())->confirmDelete();
    testsupport::flushEvents();
    EXPECT_TRUE(view->cachedBlocks().empty());
    EXPECT_TRUE(view->emptyState()->isVisible());
    EXPECT_TRUE(view->addBlockButton()->isVisible());
    EXPECT_EQ(view->header()->countText(), QStringLiteral("0 bloc"));

    leaveEditMode();
    EXPECT_FALSE(view->addBlockButton()->isVisible());
    const auto buttons = view->emptyState()->quickAddButtons();
    ASSERT_EQ(buttons.size(), 3);
    QTest::mouseClick(buttons[1], Qt::LeftButton);
    ASSERT_EQ(view->cachedBlocks().size(), 1u);
    EXPECT_EQ(view->cachedBlocks().front()->codeLanguage(), OptText(QStringLiteral("bash")));
    EXPECT_EQ(view->cachedBlocks().front()->order(), 1); // after the hidden block

    enterEditMode();
    QMenu* menu = view->addBlockButton()->menu();
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Bloc de texte"));
    menu->actions()[2]->trigger();
    EXPECT_EQ(view->cachedBlocks().back()->typeRaw(), QStringLiteral("image"));
}

TEST_F(EditorViewTest, TheEditedRowIsNeverRebuilt) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("Début"));
    auto b = block(1, QStringLiteral("text"), QStringLiteral("Autre"));
    auto c = block(2, QStringLiteral("code"), QStringLiteral("ls"));
    context().save();
    open();
    enterEditMode();
    ImprovedBlockRowView* row = view->rowFor(a->id());
    ClickableTextView* text = textViewOf(a);
    ASSERT_TRUE(text);
    text->setFocus();
    QTextCursor cursor = text->textCursor();
    cursor.movePosition(QTextCursor::End);
    text->setTextCursor(cursor);
    const QDateTime docStamp = doc->updatedAt();
    QTest::keyClicks(text, QStringLiteral(" suite"));
    // Typing is stored as it is typed.
    EXPECT_TRUE(QTest::qWaitFor([&] { return a->content() == QStringLiteral("Début suite"); }, 2000));
    testsupport::flushEvents();
    EXPECT_EQ(doc->updatedAt(), docStamp); // typing stamps only the block
    EXPECT_FALSE(context().hasChanges());

    // Select a word, make it bold, then move another block and add one: the same row and editor stay.
    cursor = text->textCursor();
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    text->setTextCursor(cursor);
    row->textEditor()->toolbar()->toggleBold();
    view->rowFor(c->id())->moveUp();
    view->addBlock(DocBlockType::text);
    view->rowFor(b->id())->duplicateBlock();
    testsupport::flushEvents();

    EXPECT_EQ(view->rowFor(a->id()), row);
    EXPECT_EQ(textViewOf(a), text);
    EXPECT_TRUE(text->hasFocus());
    EXPECT_TRUE(text->textCursor().hasSelection());
    EXPECT_TRUE(text->document()->isUndoAvailable());
    EXPECT_EQ(view->rows().indexOf(view->rowFor(c->id())), 1);
}

TEST_F(EditorViewTest, LeavingEditModeStoresTheRtfOfEveryTextOnce) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("gras"));
    context().save();
    open();
    enterEditMode();
    ASSERT_NO_FATAL_FAILURE(boldUnstored(a));
    context().save();

    const bool flag = view->forceSaveRTF();
    QTest::mouseClick(view->header()->toggleButton(), Qt::LeftButton);
    QTest::mouseClick(view->header()->toggleButton(), Qt::LeftButton); // double press: leaves once
    EXPECT_TRUE(view->isEditMode());
    EXPECT_TRUE(view->isLeaving());
    EXPECT_EQ(view->forceSaveRTF(), !flag);
    EXPECT_EQ(view->header()->toggleButton()->text(), QStringLiteral("Voir"));
    ASSERT_TRUE(a->richTextData()); // written at once, saved with the leave
    ASSERT_TRUE(testsupport::waitFor([this] { return !view->isEditMode(); }, 2000));
    EXPECT_EQ(view->header()->toggleButton()->text(), QStringLiteral("Éditer"));
    QTest::qWait(ImprovedDocEditorView::leaveDelayMs + 50);
    EXPECT_FALSE(view->isEditMode()); // no second leave

    const QUuid id = a->id();
    view.reset();
    const DocPtr back = reopened();
    ASSERT_TRUE(back);
    const DocBlockPtr stored = byId(back, id);
    ASSERT_TRUE(stored && stored->richTextData());
    EXPECT_TRUE(hasBold(*stored->richTextData()));
}

TEST_F(EditorViewTest, EditAndViewWithoutTypingLeaveForeignRtfByteForByte) {
    const QByteArray foreign = rttest::foreignRtf();
    auto a = block(0, QStringLiteral("text"), QStringLiteral("E = mc2"));
    a->setRichTextData(foreign);
    auto b = block(1, QStringLiteral("text"), QStringLiteral("simple"));
    b->setRichTextData(foreign + "\n");
    ASSERT_TRUE(context().save());
    const QDateTime stamped = a->updatedAt();
    open();
    enterEditMode();
    // Focus alone (a click into the text) is no edit either.
    QTest::mouseClick(textViewOf(a)->viewport(), Qt::LeftButton, {}, QPoint(30, 20));
    leaveEditMode();
    enterEditMode();
    view->saveEverything();
    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(a->richTextData(), foreign);
    EXPECT_EQ(a->updatedAt(), stamped);
    const QUuid ida = a->id(), idb = b->id();
    view.reset(); // destroyed in edit mode, as when another document opens
    const DocPtr back = reopened();
    EXPECT_EQ(byId(back, ida)->richTextData(), foreign);
    EXPECT_EQ(byId(back, idb)->richTextData(), foreign + "\n");
    EXPECT_EQ(byId(back, ida)->content(), QStringLiteral("E = mc2"));
}

TEST_F(EditorViewTest, EditingForeignRtfKeepsFootnotesCellsAndLinkTargets) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("E = mc2"));
    a->setRichTextData(rttest::foreignRtf());
    ASSERT_TRUE(context().save());
    open();
    enterEditMode();
    ClickableTextView* text = textViewOf(a);
    text->setFocus();
    text->moveCursor(QTextCursor::Start);
    QTest::keyClicks(text, QStringLiteral("!"));
    leaveEditMode();
    const QUuid id = a->id();
    view.reset();
    const DocPtr back = reopened();
    const DocBlockPtr stored = byId(back, id);
    ASSERT_TRUE(stored->richTextData());
    EXPECT_NE(*stored->richTextData(), rttest::foreignRtf());
    QTextDocument d;
    ASSERT_TRUE(rtf::read(*stored->richTextData(), d));
    const QString plain = rtf::plainText(d);
    EXPECT_TRUE(plain.startsWith(QStringLiteral("!E = mc2"))) << plain.toStdString();
    for (const char* kept : {"Texte de la note.", "Cellule A1\nCellule B1", "Premier point", "le guide"})
        EXPECT_TRUE(plain.contains(QString::fromUtf8(kept))) << kept;
    EXPECT_TRUE(stored->richTextData()->contains("\\trowd"));
    EXPECT_TRUE(stored->richTextData()->contains("{\\pict\\pngblip"));
    EXPECT_TRUE(stored->richTextData()->contains("HYPERLINK \"https://exemple.fr/guide\""));
    EXPECT_TRUE(stored->richTextData()->contains("\\super"));
    EXPECT_TRUE(stored->richTextData()->contains("\\sub"));
    EXPECT_EQ(stored->content(), plain);
}

TEST_F(EditorViewTest, TypingAtTheEndOfForeignRtfStaysOutOfItsFootnotes) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("E = mc2"));
    a->setRichTextData(rttest::foreignRtf());
    ASSERT_TRUE(context().save());
    open();
    enterEditMode();
    // Reached with the keyboard, the caret where reading left it.
    ClickableTextView* text = textViewOf(a);
    text->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(text, QStringLiteral("Z"));
    leaveEditMode();
    QTextDocument d;
    ASSERT_TRUE(rtf::read(*a->richTextData(), d));
    EXPECT_TRUE(d.toPlainText().endsWith(QStringLiteral("Premier point\nZ\n1. Texte de la note.")))
        << d.toPlainText().toStdString();
    EXPECT_EQ(d.lastBlock().blockFormat().intProperty(rtf::footnoteProperty), 1);
    const QTextBlock item = d.findBlock(int(d.toPlainText().indexOf(QStringLiteral("Premier point"))));
    EXPECT_TRUE(item.textList());
}

TEST_F(EditorViewTest, NavigatingAwayDuringTheLeaveStillStoresEverything) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("mot"));
    auto b = block(1, QStringLiteral("text"), QStringLiteral("autre"));
    context().save();
    open();
    enterEditMode();
    for (const auto& blk : {a, b})
        ASSERT_NO_FATAL_FAILURE(boldUnstored(blk));
    context().save();

    // Leave, then the router hides the screen within the delay.
    QTest::mouseClick(view->header()->toggleButton(), Qt::LeftButton);
    view->hide();
    EXPECT_FALSE(view->isEditMode());
    EXPECT_FALSE(context().hasChanges());

    // In edit mode again, the screen is destroyed without being hidden first (another document opens).
    view->show();
    enterEditMode();
    ClickableTextView* text = textViewOf(a);
    text->moveCursor(QTextCursor::End);
    text->setFocus();
    QTest::keyClicks(text, QStringLiteral("s"));
    text->selectAll();
    view->rowFor(a->id())->textEditor()->toolbar()->toggleItalic();
    a->setRichTextData(std::nullopt);
    view.reset();
    EXPECT_FALSE(context().hasChanges());

    const QUuid ida = a->id(), idb = b->id();
    const DocPtr back = reopened();
    EXPECT_EQ(byId(back, ida)->content(), QStringLiteral("mots"));
    ASSERT_TRUE(byId(back, ida)->richTextData());
    ASSERT_TRUE(byId(back, idb)->richTextData());
    EXPECT_TRUE(hasBold(*byId(back, idb)->richTextData()));
}

TEST_F(EditorViewTest, QuittingDuringTheLeaveStoresTheFormatting) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("fin"));
    context().save();
    open();
    enterEditMode();
    ASSERT_NO_FATAL_FAILURE(boldUnstored(a));
    context().save();
    view->toggleEditMode();
    // The application quits before the delayed leave runs.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    EXPECT_FALSE(context().hasChanges());
    const QUuid id = a->id();
    view.reset();
    const DocPtr back = reopened();
    ASSERT_TRUE(byId(back, id)->richTextData());
    EXPECT_TRUE(hasBold(*byId(back, id)->richTextData()));
}

TEST_F(EditorViewTest, RowMenuMovesDuplicatesAndHidesAfterConfirmation) {
    auto a = block(0), b = block(1);
    context().save();
    open();
    enterEditMode();
    ImprovedBlockRowView* first = view->rowFor(a->id());
    first->updateMenuState();
    EXPECT_FALSE(first->moveUpAction()->isEnabled());
    EXPECT_TRUE(first->moveDownAction()->isEnabled());
    ImprovedBlockRowView* last = view->rowFor(b->id());
    last->updateMenuState();
    EXPECT_FALSE(last->moveDownAction()->isEnabled());

    first->duplicateAction()->trigger();
    ASSERT_EQ(view->cachedBlocks().size(), 3u);
    EXPECT_EQ(view->cachedBlocks()[1]->order(), 1);
    EXPECT_EQ(b->order(), 2);

    DialogSeam::pushAnswer(QStringLiteral("Annuler"));
    last->deleteAction()->trigger();
    testsupport::flushEvents();
    EXPECT_FALSE(b->deletedAt());
    ASSERT_FALSE(DialogSeam::shownMessages().isEmpty());
    EXPECT_EQ(DialogSeam::shownMessages().last().text, QStringLiteral("Supprimer ce bloc ?"));
    EXPECT_EQ(DialogSeam::shownMessages().last().informativeText,
              QStringLiteral("Cette action masquera le bloc définitivement."));

    DialogSeam::pushAnswer(QStringLiteral("Supprimer"));
    last->deleteAction()->trigger();
    testsupport::flushEvents();
    EXPECT_TRUE(b->deletedAt());
    EXPECT_EQ(view->cachedBlocks().size(), 2u);
    EXPECT_FALSE(view->rowFor(b->id()));
}

TEST_F(EditorViewTest, ADraggedBlockMovesRowsAndNeverLandsAsText) {
    auto w = block(0, QStringLiteral("text"), QStringLiteral("premier")), x = block(1), y = block(2);
    auto hidden = block(3, QStringLiteral("text"), {}, true);
    context().save();
    open();
    enterEditMode();
    ImprovedBlockRowView* source = view->rowFor(w->id());
    std::unique_ptr<QMimeData> payload(source->makeDragData());
    EXPECT_EQ(payload->text(), w->id().toString(QUuid::WithoutBraces).toUpper());
    EXPECT_TRUE(payload->hasFormat(QLatin1String(kBlockMimeType)));

    // Dropped over the text of another block: a move, and the text is untouched.
    ClickableTextView* target = textViewOf(y);
    ASSERT_TRUE(target);
    const QString before = target->toPlainText();
    const QPoint at = target->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::MoveAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::MoveAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target->viewport(), &drop);
    EXPECT_EQ(w->order(), 0); // applied after the drag loop
    testsupport::flushEvents();
    EXPECT_EQ(target->toPlainText(), before);
    EXPECT_EQ(view->cachedBlocks(), (std::vector<DocBlockPtr>{x, y, w}));

    // Nor in the title.
    QLineEdit* title = view->header()->titleField();
    QDragEnterEvent overTitle(title->rect().center(), Qt::MoveAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(title, &overTitle);
    EXPECT_FALSE(overTitle.isAccepted());
    QDropEvent onTitle(title->rect().center(), Qt::MoveAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(title, &onTitle);
    EXPECT_EQ(title->text(), QStringLiteral("Guide"));

    // Not a block, its own id, a hidden block: no change.
    QMimeData junk;
    junk.setText(QStringLiteral("bonjour"));
    EXPECT_FALSE(view->rowFor(x->id())->handleBlockDrop(&junk));
    junk.setText(x->id().toString());
    EXPECT_FALSE(view->rowFor(x->id())->handleBlockDrop(&junk));
    junk.setText(hidden->id().toString(QUuid::WithoutBraces));
    EXPECT_TRUE(view->rowFor(x->id())->handleBlockDrop(&junk)); // handed over, then refused as hidden
    EXPECT_EQ(hidden->order(), 3);
    EXPECT_EQ(view->cachedBlocks(), (std::vector<DocBlockPtr>{x, y, w}));

    // In view mode rows take no drop, and a block payload is still not text.
    leaveEditMode();
    EXPECT_FALSE(view->rowFor(x->id())->acceptDrops());
}

TEST_F(EditorViewTest, CodeBlocksEditTheirLanguageAndCopy) {
    auto code = block(0, QStringLiteral("code"), QStringLiteral("echo 1"));
    context().save();
    open();
    ImprovedBlockRowView* row = view->rowFor(code->id());
    ASSERT_TRUE(row->codeView());
    EXPECT_EQ(row->codeView()->languageLabel(), QStringLiteral("Code"));

    enterEditMode();
    ImprovedCodeBlockView* editor = row->codeEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->languageButton()->text(), QStringLiteral("Bash"));
    EXPECT_FALSE(code->codeLanguage());
    QStringList names;
    for (QAction* a : editor->languageMenu()->actions())
        names << a->text();
    EXPECT_EQ(names.size(), 20);
    EXPECT_EQ(names[17], QStringLiteral("Cpp"));

    const QDateTime docStamp = doc->updatedAt();
    editor->languageMenu()->actions()[17]->trigger();
    EXPECT_EQ(code->codeLanguage(), OptText(QStringLiteral("cpp")));
    editor->editor()->moveCursor(QTextCursor::End);
    editor->editor()->setFocus();
    QTest::keyClick(editor->editor(), Qt::Key_Return);
    QTest::keyClicks(editor->editor(), QStringLiteral("ls"));
    EXPECT_EQ(code->content(), QStringLiteral("echo 1\nls"));
    EXPECT_EQ(editor->lineNumberCount(), 2);
    // Each key is saved before the next one; the last one right after its repaint.
    EXPECT_TRUE(context().hasChanges());
    QCoreApplication::processEvents();
    EXPECT_EQ(doc->updatedAt(), docStamp);
    EXPECT_FALSE(context().hasChanges());

    QTest::mouseClick(editor->copyButton(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("echo 1\nls"));
    EXPECT_EQ(editor->copyButton()->text(), QStringLiteral("Copié !"));
    ASSERT_TRUE(testsupport::waitFor([&] { return !editor->didCopy(); }, 2500));
    EXPECT_EQ(editor->copyButton()->text(), QStringLiteral("Copier"));

    leaveEditMode();
    ASSERT_TRUE(row->codeView());
    EXPECT_EQ(row->codeView()->languageLabel(), QStringLiteral("Cpp"));
}

TEST_F(EditorViewTest, CompletionIsAViewModeControlThatStampsOnlyTheBlock) {
    auto text = block(0, QStringLiteral("text"), QStringLiteral("étape")), image = block(1, QStringLiteral("image"));
    context().save();
    open();
    const QDateTime docStamp = doc->updatedAt();
    for (const auto& b : {text, image}) {
        auto* done = view->rowFor(b->id())->completionButton();
        ASSERT_TRUE(done && done->isVisible());
        QTest::mouseClick(done, Qt::LeftButton);
        EXPECT_TRUE(b->isCompleted());
        EXPECT_TRUE(done->isChecked());
    }
    QTest::mouseClick(view->rowFor(text->id())->completionButton(), Qt::LeftButton);
    EXPECT_FALSE(text->isCompleted());
    EXPECT_EQ(doc->updatedAt(), docStamp);
    EXPECT_FALSE(context().hasChanges());
    enterEditMode();
    EXPECT_FALSE(view->rowFor(image->id())->completionButton()->isVisible());
}

TEST_F(EditorViewTest, ViewModeShowsStoredRtfOrFallsBackToThePlainText) {
    auto rich = block(0, QStringLiteral("text"), QStringLiteral("riche"));
    rich->setRichTextData(boldRtf(QStringLiteral("riche")));
    auto broken = block(1, QStringLiteral("text"), QStringLiteral("texte brut"));
    broken->setRichTextData(QByteArray("pas du rtf"));
    auto odd = block(2, QStringLiteral("citation"), QStringLiteral("autre"));
    context().save();
    open();
    EXPECT_TRUE(view->rowFor(rich->id())->richTextView());
    EXPECT_FALSE(view->rowFor(broken->id())->richTextView());
    auto* plain = qobject_cast<QLabel*>(view->rowFor(broken->id())->plainTextView());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->text(), QStringLiteral("texte brut"));
    EXPECT_EQ(view->rowFor(odd->id())->badge()->text(), QStringLiteral("Texte"));
    enterEditMode();
    EXPECT_TRUE(view->rowFor(odd->id())->textEditor());
    // Unreadable RTF stays as stored until the user edits it.
    leaveEditMode();
    EXPECT_EQ(broken->richTextData(), OptData(QByteArray("pas du rtf")));
}

TEST_F(EditorViewTest, ReadOnlyTextsWrapAtTheWidthTheyShowAtAndFollowIt) {
    QStringList words;
    for (int i = 0; i < 120; ++i)
        words << QStringLiteral("mot%1").arg(i);
    auto rich = block(0, QStringLiteral("text"), words.join(QLatin1Char(' ')));
    rich->setRichTextData(boldRtf(rich->content()));
    context().save();
    open();
    AttributedTextViewWrapper* text = view->rowFor(rich->id())->richTextView();
    ASSERT_TRUE(text);
    // Whole lines at the view's width: the height fits them, and no line reaches past the view.
    auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        testsupport::flushEvents();
        QTextDocument* d = text->document();
        EXPECT_LE(d->idealWidth(), text->viewport()->width());
        EXPECT_EQ(text->height(), text->measureHeight(text->viewport()->width()));
        EXPECT_EQ(text->height(), int(std::ceil(d->size().height())));
        return text->height();
    };
    const int wide = check("wide");
    EXPECT_GT(wide, 3 * QFontMetrics(text->document()->defaultFont()).lineSpacing());
    view->resize(700, 800);
    const int narrow = check("narrow");
    EXPECT_GT(narrow, wide);
    // Measuring at another width leaves the shown text as it was.
    EXPECT_GT(text->measureHeight(300), narrow);
    EXPECT_EQ(text->measureHeight(text->viewport()->width()), narrow);
    view->resize(1000, 800);
    EXPECT_EQ(check("wide again"), wide);
}

TEST_F(EditorViewTest, ReadOnlyCodeShowsEveryLineUnwrappedAtItsFullHeight) {
    QStringList lines;
    for (int i = 0; i < 25; ++i)
        lines << QStringLiteral("let valeur%1 = étape(%1)").arg(i);
    lines << QString(200, QLatin1Char('x'));
    auto code = block(0, QStringLiteral("code"), lines.join(QLatin1Char('\n')));
    context().save();
    open();
    CodeReadView* read = view->rowFor(code->id())->codeView();
    ASSERT_TRUE(read);
    auto* text = read->findChild<AttributedTextViewWrapper*>();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->document()->toPlainText(), code->content());
    for (int width : {1000, 700}) {
        SCOPED_TRACE(width);
        view->resize(width, 800);
        testsupport::flushEvents();
        for (QTextBlock b = text->document()->begin(); b.isValid(); b = b.next())
            EXPECT_EQ(b.layout()->lineCount(), 1) << b.blockNumber();
        EXPECT_GE(text->height(), int(std::ceil(text->document()->size().height())));
        EXPECT_GE(text->height(), 26 * QFontMetrics(text->document()->defaultFont()).lineSpacing());
        EXPECT_LE(text->geometry().bottom(), read->height());
    }
}

TEST_F(EditorViewTest, CardsStandSixteenApartAndTextsStartAtOnePlace) {
    auto rich = block(0, QStringLiteral("text"), QStringLiteral("riche"));
    rich->setRichTextData(boldRtf(QStringLiteral("riche")));
    auto plain = block(1, QStringLiteral("text"), QStringLiteral("texte brut"));
    auto code = block(2, QStringLiteral("code"), QStringLiteral("int x;"));
    auto last = block(3, QStringLiteral("text"), QStringLiteral("fin"));
    context().save();
    open();
    for (bool edit : {false, true}) {
        SCOPED_TRACE(edit ? "edit" : "view");
        if (edit)
            enterEditMode();
        testsupport::flushEvents();
        auto cardOf = [&](const DocBlockPtr& b) {
            AppCard* c = view->rowFor(b->id())->card();
            return c->cardRect().translated(c->mapTo(view.get(), QPoint()));
        };
        const std::vector<DocBlockPtr> order{rich, plain, code, last};
        for (size_t i = 1; i < order.size(); ++i)
            EXPECT_EQ(cardOf(order[i]).top() - cardOf(order[i - 1]).bottom() - 1, ImprovedBlockRowView::cardGap) << i;
    }
    leaveEditMode();
    testsupport::flushEvents();
    // A plain text and a rich text begin at the same place in their cards.
    QWidget* richView = view->rowFor(rich->id())->richTextView();
    auto* plainView = qobject_cast<QLabel*>(view->rowFor(plain->id())->plainTextView());
    ASSERT_TRUE(richView && plainView);
    const int richLeft = richView->mapTo(view.get(), QPoint(AttributedTextViewWrapper::inset, 0)).x();
    const int plainLeft = plainView->mapTo(view.get(), plainView->contentsRect().topLeft()).x();
    EXPECT_EQ(plainLeft, richLeft);
}

TEST_F(EditorViewTest, EveryTextAndControlIsNamedInBothModes) {
    doc->setColorKey(QStringLiteral("orange"));
    auto t = block(0, QStringLiteral("text"), QStringLiteral("Un texte"));
    t->setRichTextData(boldRtf(QStringLiteral("Un texte")));
    block(1, QStringLiteral("code"), QStringLiteral("make"));
    block(2, QStringLiteral("image"));
    block(3, QStringLiteral("text"), QStringLiteral("simple"));
    context().save();
    open();
    EXPECT_EQ(testsupport::unnamedAccessibleElements(view.get()).join(QStringLiteral("; ")).toStdString(), "");
    const QStringList names = testsupport::accessibleNames(view.get());
    EXPECT_TRUE(names.contains(QStringLiteral("FAIT")));
    EXPECT_TRUE(names.contains(QStringLiteral("Image non disponible")));
    EXPECT_TRUE(names.contains(QStringLiteral("Éditer")));
    enterEditMode();
    for (auto* row : view->rows()) { // the pointer over each row shows its toolbar
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(row, &enter);
    }
    EXPECT_EQ(testsupport::unnamedAccessibleElements(view.get()).join(QStringLiteral("; ")).toStdString(), "");
    const QStringList editNames = testsupport::accessibleNames(view.get());
    EXPECT_TRUE(editNames.contains(QStringLiteral("Ajouter un bloc")));
    EXPECT_TRUE(editNames.contains(QStringLiteral("Sélectionner une image")));
    EXPECT_TRUE(editNames.contains(QStringLiteral("Copier")));
    QAccessibleInterface* toggle = testsupport::findAccessible(view.get(), QStringLiteral("Voir"), QAccessible::Button);
    ASSERT_TRUE(toggle);
    EXPECT_TRUE(testsupport::pressAccessible(toggle));
    EXPECT_TRUE(testsupport::waitFor([this] { return view->isLeaving() || !view->isEditMode(); }));
}

namespace {

// What a fresh connection reads from the file: what a killed process would leave behind.
QString storedContent(const QString& path, const QUuid& id) {
    auto db = SqliteDb::open(path, SqliteDb::Mode::ReadOnly, nullptr);
    if (!db)
        return QStringLiteral("<no store>");
    const QByteArray sql = "SELECT \"content\" FROM \"DocBlock\" WHERE \"id\" = '" +
        id.toString(QUuid::WithoutBraces).toUpper().toLatin1() + "'";
    return db->queryText(sql.constData()).value_or(QStringLiteral("<no row>"));
}

} // namespace

// Every key reaches the store when it is typed (the text and its RTF), and stays there whatever ends
// the typing.
TEST_F(EditorViewTest, TypedTextReachesTheStoreAtEveryKeyAndStaysAtEveryExit) {
    enum class Exit { window, otherBlock, leaveMode, quit, destroyed };
    const struct {
        const char* name;
        Exit exit;
    } cases[] = {
        {"nothing else", Exit::window},       {"focus to another block", Exit::otherBlock},
        {"leave edit mode", Exit::leaveMode}, {"quit", Exit::quit},
        {"view destroyed", Exit::destroyed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto a = block(0, QStringLiteral("text"), QStringLiteral("Début"));
        auto b = block(1, QStringLiteral("text"), QStringLiteral("Autre"));
        ASSERT_TRUE(context().save());
        open();
        enterEditMode();
        ClickableTextView* text = textViewOf(a);
        ASSERT_TRUE(text);
        text->setFocus();
        text->moveCursor(QTextCursor::End);
        int rtfWrites = 0;
        QObject::connect(a.get(), &PersistentModel::changed, view.get(),
                         [&](const char* key) { rtfWrites += qstrcmp(key, "richTextData") == 0; });
        QTest::keyClick(text, Qt::Key_Space);
        // Stored right after the key's frame.
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(storedContent(env->storePath(), a->id()), QStringLiteral("Début "));
        // Each key stored before the next is handled; the last one waits for its frame or an exit.
        QTest::keyClicks(text, QStringLiteral("suite"));
        EXPECT_EQ(storedContent(env->storePath(), a->id()), QStringLiteral("Début suit"));
        EXPECT_EQ(rtfWrites, 5);

        switch (c.exit) {
        case Exit::window: testsupport::flushEvents(); break;
        case Exit::otherBlock: textViewOf(b)->setFocus(); break;
        case Exit::leaveMode: leaveEditMode(); break;
        case Exit::quit: QMetaObject::invokeMethod(qApp, "aboutToQuit", Qt::DirectConnection); break;
        case Exit::destroyed: view.reset(); break;
        }
        EXPECT_EQ(storedContent(env->storePath(), a->id()), QStringLiteral("Début suite"));
        EXPECT_TRUE(a->richTextData().has_value());
        view.reset();
        testsupport::flushEvents();
        for (const auto& x : {a, b})
            context().deleteObject(x);
        ASSERT_TRUE(context().save());
    }
}

// A change of format alone is a change of the block: stamped and in the store at once, the block still
// being edited.
TEST_F(EditorViewTest, BoldAloneIsStoredAtOnce) {
    auto a = block(0, QStringLiteral("text"), QStringLiteral("Début"));
    ASSERT_TRUE(context().save());
    open();
    enterEditMode();
    ClickableTextView* text = textViewOf(a);
    ASSERT_TRUE(text);
    text->setFocus();
    QTextCursor cursor = text->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    text->setTextCursor(cursor);
    const QDateTime stamp = a->updatedAt();
    QTest::keyClick(text, Qt::Key_B, Qt::ControlModifier);
    auto db = SqliteDb::open(env->storePath(), SqliteDb::Mode::ReadOnly, nullptr);
    ASSERT_TRUE(db);
    const QByteArray sql = "SELECT CAST(\"richTextData\" AS TEXT) FROM \"DocBlock\" WHERE \"id\" = '" +
        a->id().toString(QUuid::WithoutBraces).toUpper().toLatin1() + "'";
    EXPECT_TRUE(db->queryText(sql.constData()).value_or(QString()).contains(QStringLiteral("\\b")));
    EXPECT_GT(a->updatedAt(), stamp);
    EXPECT_EQ(storedContent(env->storePath(), a->id()), QStringLiteral("Début"));
}

// A row comes in scaled from 0.95 and faded, and a hidden block's row leaves the same way, painted only:
// the block is stored before its row has come in. With TOLMEK_REDUCE_MOTION=1 nothing moves.
TEST_F(EditorViewTest, RowsComeAndGoScaledAndFadedWithoutHoldingTheirWrites) {
    block(0, QStringLiteral("text"), QStringLiteral("Premier"));
    context().save();
    open();
    ASSERT_FALSE(view->rowFor(view->cachedBlocks()[0]->id())->graphicsEffect()); // the opening's rows stay still
    enterEditMode();
    auto leaving = [&] {
        int n = 0;
        for (QWidget* w : view->findChildren<QWidget*>())
            n += rowtransition::isLeaving(w) ? 1 : 0;
        return n;
    };
    const DocBlockPtr added = view->addBlock(DocBlockType::code);
    EXPECT_FALSE(context().hasChanges());
    QPointer<ImprovedBlockRowView> row = view->rowFor(added->id());
    ASSERT_TRUE(row && row->graphicsEffect());
    EXPECT_TRUE(testsupport::waitFor([&] { return !row->graphicsEffect(); }, 2000));

    row->confirmDelete();
    testsupport::flushEvents();
    EXPECT_EQ(view->cachedBlocks().size(), 1u);
    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(leaving(), 1);
    EXPECT_TRUE(testsupport::waitFor([&] { return leaving() == 0; }, 2000));

    qputenv("TOLMEK_REDUCE_MOTION", "1");
    const DocBlockPtr still = view->addBlock(DocBlockType::text);
    EXPECT_FALSE(view->rowFor(still->id())->graphicsEffect());
    view->rowFor(still->id())->confirmDelete();
    testsupport::flushEvents();
    EXPECT_EQ(leaving(), 0);
    qunsetenv("TOLMEK_REDUCE_MOTION");
}
