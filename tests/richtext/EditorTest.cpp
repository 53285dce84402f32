#include "ForeignRtf.h"
#include "RichTextTestUtil.h"

#include "richtext/ClickableTextView.h"
#include "richtext/LargeText.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextEditorWrapper.h"
#include "richtext/RichTextFormatting.h"
#include "richtext/RichTextToolbar.h"
#include "support/TestSupport.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextLayout>
#include <QTextTable>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace rttest;

namespace {

// An embedder's storage that records every write in order.
struct Store {
    QString content;
    std::optional<QByteArray> rtf;
    std::vector<std::string> log;
    int changes = 0;
    int focuses = 0;

    TextBinding contentBinding() {
        return {[this] { return content; },
                [this](const QString& v) {
                    content = v;
                    log.push_back("text");
                }};
    }
    RtfBinding rtfBinding() {
        return {[this] { return rtf; },
                [this](const std::optional<QByteArray>& v) {
                    rtf = v;
                    log.push_back(v ? "rtf" : "rtf-absent");
                }};
    }
};

// A window with the editor and a line edit to move the focus to.
struct Fixture {
    Store store;
    QWidget window;
    QLineEdit* other = nullptr;
    RichTextBlockEditor* editor = nullptr;

    explicit Fixture(const QString& content, std::optional<QByteArray> rtf = std::nullopt) {
        store.content = content;
        store.rtf = std::move(rtf);
        auto* layout = new QVBoxLayout(&window);
        editor = new RichTextBlockEditor(
            rttest::environment(), store.contentBinding(), store.rtfBinding(), false,
            [this] {
                store.changes++;
                store.log.push_back("change");
            },
            [this] { store.focuses++; }, &window);
        other = new QLineEdit(&window);
        layout->addWidget(editor);
        layout->addWidget(other);
        layout->addStretch();
        window.resize(600, 500);
        window.show();
        // The offscreen platform does not hand activation back after a popup: do it here.
        QApplication::setActiveWindow(&window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        QApplication::processEvents();
    }
    ClickableTextView* view() const { return editor->textView(); }
    // A click, as the user would: the window's activation alone does not begin editing.
    void focusEditor() {
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QApplication::processEvents();
        EXPECT_TRUE(editor->isFocused());
    }
    // Focused by a click, with its first `count` characters selected.
    void focusAndSelectFirst(int count) {
        focusEditor();
        QTextCursor c = view()->textCursor();
        c.setPosition(0);
        c.setPosition(count, QTextCursor::KeepAnchor);
        view()->setTextCursor(c);
    }
    std::unique_ptr<QTextDocument> stored() const {
        auto doc = std::make_unique<QTextDocument>();
        if (store.rtf)
            rtf::read(*store.rtf, *doc);
        return doc;
    }
};

} // namespace

TEST(RichTextEditor, LoadsPlainContentWithoutRtfAndWritesNothing) {
    Fixture f(QStringLiteral("bonjour\nà tous"));
    EXPECT_EQ(f.view()->toPlainText(), QStringLiteral("bonjour\nà tous"));
    const QTextCharFormat fmt = formatAt(*f.view()->document(), 1);
    EXPECT_FALSE(fmt.hasProperty(QTextFormat::ForegroundBrush)); // follows the theme
    EXPECT_EQ(f.view()->document()->defaultFont().pixelSize(), 14);
    EXPECT_TRUE(f.store.log.empty());
    EXPECT_EQ(f.store.changes, 0);
}

TEST(RichTextEditor, TypingWritesRtfThenTextThenChangeThenHeight) {
    Fixture f(QString{});
    QObject::connect(f.editor, &RichTextBlockEditor::calculatedHeightChanged,
                     [&](qreal) { f.store.log.push_back("height"); });
    f.focusEditor();
    // Make the text grow past one line so that the height changes.
    f.store.log.clear();
    QTest::keyClick(f.view(), Qt::Key_A);
    rttest::afterFrame();
    ASSERT_EQ(f.store.log, (std::vector<std::string>{"rtf", "text", "change"}));
    EXPECT_EQ(f.store.content, QStringLiteral("a"));
    EXPECT_EQ(f.stored()->toPlainText(), QStringLiteral("a"));
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(f.view(), Qt::Key_Return);
    rttest::afterFrame();
    ASSERT_TRUE(testsupport::waitFor([&] { return f.editor->calculatedHeight() > 100; }));
    // The new height is published in the key's own turn, ahead of the writes behind its frame.
    EXPECT_NE(std::find(f.store.log.begin(), f.store.log.end(), "height"), f.store.log.end());
    const qreal expected = std::ceil(f.view()->document()->documentLayout()->documentSize().height());
    EXPECT_EQ(f.editor->calculatedHeight(), expected);
    EXPECT_TRUE(testsupport::waitFor(
        [&] { return f.editor->height() == int(expected) + RichTextBlockEditor::toolbarBlockHeight(); }));
}

TEST(RichTextEditor, OneLineMeasuresExactlyTheMinimum) {
    Fixture f(QStringLiteral("une ligne"));
    QApplication::processEvents();
    EXPECT_EQ(f.editor->calculatedHeight(), 100);
    EXPECT_EQ(f.editor->height(), 100);
}

// A change of format is a change like a typed one: written and told at once, the plain text untouched.
TEST(RichTextEditor, FormattingReachesRtfAndIsToldAsAChange) {
    Fixture f(QStringLiteral("abcd"));
    f.focusAndSelectFirst(2);
    f.store.log.clear();
    f.editor->toolbar()->toggleBold();
    EXPECT_EQ(f.store.log, (std::vector<std::string>{"rtf", "change"}));
    EXPECT_EQ(f.store.changes, 1);
    EXPECT_EQ(formatAt(*f.stored(), 0).fontWeight(), QFont::Bold);
}

TEST(RichTextEditor, FlushWritesAtOnceBeforeTheSaveOnlyWhatWasEdited) {
    QTextDocument source;
    source.setPlainText(QStringLiteral("abcd"));
    const QByteArray stored = rtf::write(source) + "  "; // bytes our writer would not produce
    Fixture f(QStringLiteral("abcd"), stored);
    // Untouched text is never written, whatever the flag does.
    EXPECT_FALSE(f.editor->flushRtf());
    f.editor->setForceSaveRTF(true);
    f.editor->setForceSaveRTF(false);
    EXPECT_TRUE(f.store.log.empty());
    EXPECT_EQ(f.store.rtf, stored);

    // Formatting is an edit: each flush then writes at once (absent, then the bytes), even twice in a row.
    select(*f.view()->document(), 0, 2).mergeCharFormat([] {
        QTextCharFormat b;
        b.setFontItalic(true);
        return b;
    }());
    f.store.log.clear();
    ASSERT_TRUE(f.editor->flushRtf());
    EXPECT_EQ(f.store.log, (std::vector<std::string>{"rtf-absent", "rtf"}));
    EXPECT_TRUE(formatAt(*f.stored(), 0).fontItalic());
    EXPECT_EQ(f.store.changes, 1); // the change of format itself, told when it was made
    f.store.log.clear();
    f.editor->setForceSaveRTF(true);
    f.editor->setForceSaveRTF(false);
    EXPECT_EQ(f.store.log.size(), 4u);
    f.editor->setForceSaveRTF(false);
    EXPECT_EQ(f.store.log.size(), 4u);

    // Text changed without a report (the plain text is not touched by a flush).
    f.store.content = QStringLiteral("autre");
    f.editor->flushRtf();
    EXPECT_EQ(f.store.content, QStringLiteral("autre"));

    // Undoing every edit gives the stored bytes back, and flushing writes nothing again.
    f.view()->document()->undo();
    EXPECT_EQ(f.store.rtf, stored);
    EXPECT_FALSE(f.editor->flushRtf());
}

TEST(RichTextEditor, UnreadableRtfFallsBackToPlainAndWritesNothingUntilEdited) {
    const QByteArray garbage("not rtf at all");
    Fixture f(QStringLiteral("texte sûr"), garbage);
    EXPECT_EQ(f.view()->toPlainText(), QStringLiteral("texte sûr"));
    EXPECT_FALSE(f.editor->flushRtf());
    f.editor->setForceSaveRTF(true);
    EXPECT_EQ(f.store.rtf, garbage);
    EXPECT_TRUE(f.store.log.empty());
    f.focusEditor();
    QTextCursor c = f.view()->textCursor();
    c.movePosition(QTextCursor::End);
    f.view()->setTextCursor(c);
    QTest::keyClick(f.view(), Qt::Key_Exclam);
    rttest::afterFrame();
    EXPECT_EQ(f.store.content, QStringLiteral("texte sûr!"));
    EXPECT_EQ(f.stored()->toPlainText(), QStringLiteral("texte sûr!"));
}

// Another program's text is stored again with only what was typed: its pictures, table, hidden text and
// style sheet stay. One that holds what cannot be kept is not written until the person agrees.
TEST(RichTextEditor, TheFirstKeyInAForeignTextCostsOnlyTheKey) {
    const QByteArray png = pictureBytes("PNG", Qt::red);
    const QByteArray foreign = wordProcessorRtf(png, pictureBytes("JPEG", Qt::blue));
    Fixture f(QStringLiteral("ancien texte"), foreign);
    EXPECT_EQ(f.editor->wrapper()->pendingLoss(), 0u);
    f.focusEditor();
    QTextCursor c = f.view()->textCursor();
    c.setPosition(0);
    f.view()->setTextCursor(c);
    QTest::keyClick(f.view(), Qt::Key_X);
    rttest::afterFrame();
    ASSERT_TRUE(f.store.rtf);
    EXPECT_TRUE(f.store.rtf->contains(pictureGroup("pngblip", png)));
    EXPECT_TRUE(f.store.rtf->contains("\\trowd"));
    EXPECT_TRUE(f.store.rtf->contains("\\stylesheet"));
    EXPECT_TRUE(f.store.rtf->contains("remarque cach"));
    EXPECT_TRUE(f.store.content.startsWith(QStringLiteral("xCompte rendu\nLe texte visible continue.")));
    EXPECT_FALSE(f.store.content.contains(QChar::ObjectReplacementCharacter));

    const QByteArray lossy = "{\\rtf1\\ansi avant{\\object\\objemb{\\*\\objdata 0102}{\\result r}} apr\\'e8s}";
    Fixture g(QStringLiteral("avant après"), lossy);
    RichTextEditorWrapper* wrapper = g.editor->wrapper();
    EXPECT_EQ(wrapper->pendingLoss(), unsigned(rtf::lostObject));
    ASSERT_TRUE(wrapper->notice() && wrapper->notice()->isVisible());
    EXPECT_TRUE(wrapper->notice()->text().contains(QStringLiteral("un objet incorporé")));
    EXPECT_TRUE(g.view()->isReadOnly());
    QTest::mouseClick(g.view()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::keyClick(g.view(), Qt::Key_X);
    g.editor->setForceSaveRTF(true);
    EXPECT_FALSE(g.editor->flushRtf());
    EXPECT_EQ(g.store.rtf, lossy);
    EXPECT_TRUE(g.store.log.empty());
    auto* agree = wrapper->findChild<QPushButton*>();
    ASSERT_TRUE(agree && agree->isVisible());
    EXPECT_EQ(agree->text(), QStringLiteral("Modifier quand même"));
    QTest::mouseClick(agree, Qt::LeftButton);
    EXPECT_FALSE(wrapper->notice()->isVisible());
    EXPECT_FALSE(g.view()->isReadOnly());
    QTest::keyClick(g.view(), Qt::Key_X);
    rttest::afterFrame();
    ASSERT_TRUE(g.store.rtf);
    EXPECT_NE(*g.store.rtf, lossy);
    EXPECT_TRUE(g.store.content.contains(QLatin1Char('x')));
}

TEST(RichTextEditor, OutsideTextChanges) {
    QTextDocument bold;
    bold.setPlainText(QStringLiteral("gras"));
    QTextCursor all = select(bold, 0, 4);
    richtext::toggleBold(all);
    Fixture f(QStringLiteral("gras"), rtf::write(bold));
    EXPECT_EQ(formatAt(*f.view()->document(), 0).fontWeight(), QFont::Bold);

    // The same text from outside keeps formatting and selection.
    QTextCursor c = f.view()->textCursor();
    c.setPosition(1);
    c.setPosition(3, QTextCursor::KeepAnchor);
    f.view()->setTextCursor(c);
    f.editor->syncFromBindings();
    EXPECT_EQ(f.view()->textCursor().selectedText(), QStringLiteral("ra"));

    // A new text while the stored RTF still holds the old one: the new text is shown, not lost.
    f.store.content = QStringLiteral("nouveau");
    f.editor->syncFromBindings();
    EXPECT_EQ(f.view()->toPlainText(), QStringLiteral("nouveau"));
    EXPECT_TRUE(f.store.log.empty());
}

TEST(RichTextEditor, PastedHtmlTableIsStoredAsItsText) {
    Fixture f(QString{});
    f.focusEditor();
    QMimeData data;
    data.setHtml(
        QStringLiteral("<p><b>Titre</b> <a href='https://x.fr' style='color:#0000ff'>lien</a></p>"
                       "<table><tr><td>a1</td><td>b1</td></tr><tr><td>a2</td><td><span "
                       "style='color:#ff0000;background:#ffffff'>b2</span></td></tr></table>"
                       "<img src='file:///dev/zero'><p style='color:#000000'>fin</p>"));
    f.view()->pasteData(&data);
    const QString text = f.view()->toPlainText();
    // The image's paragraph stays, empty.
    EXPECT_EQ(text, QStringLiteral("Titre lien\na1\tb1\na2\tb2\n\nfin"));
    QTextCursor probe(f.view()->document());
    EXPECT_EQ(probe.currentTable(), nullptr);
    for (QTextBlock b = f.view()->document()->begin(); b.isValid(); b = b.next())
        EXPECT_EQ(QTextCursor(b).currentTable(), nullptr);
    auto stored = f.stored();
    EXPECT_EQ(stored->toPlainText(), text);
    EXPECT_EQ(f.store.content, text);
    EXPECT_EQ(formatAt(*stored, 0).fontWeight(), QFont::Bold);
    const int lien = text.indexOf(QStringLiteral("lien"));
    EXPECT_FALSE(formatAt(*stored, lien).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_FALSE(formatAt(*stored, lien).fontUnderline());
    const int b2 = text.indexOf(QStringLiteral("b2"));
    EXPECT_EQ(formatAt(*stored, b2).foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(formatAt(*stored, b2).hasProperty(QTextFormat::BackgroundBrush));
    EXPECT_FALSE(formatAt(*stored, text.indexOf(QStringLiteral("fin"))).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RichTextEditor, CopyAndPasteKeepEveryStoredAttribute) {
    Fixture f(QStringLiteral("titre"));
    QTextCursor c = f.view()->textCursor();
    c.select(QTextCursor::Document);
    richtext::applyHeading(c, 22, QFont::DemiBold);
    richtext::applyHighlight(c, Qt::yellow);
    f.view()->setTextCursor(c);
    f.view()->copy();
    c.movePosition(QTextCursor::End);
    f.view()->setTextCursor(c);
    f.view()->paste();
    auto stored = f.stored();
    EXPECT_EQ(stored->toPlainText(), QStringLiteral("titretitre"));
    const QTextCharFormat g = formatAt(*stored, 7);
    EXPECT_EQ(pixelSize(g), 22);
    EXPECT_EQ(g.fontWeight(), QFont::DemiBold);
    EXPECT_NEAR(g.background().color().alphaF(), 0.3, 0.01);

    // Unreadable RTF on the clipboard falls back to the plain text.
    QMimeData bad;
    bad.setData(QStringLiteral("text/rtf"), QByteArray("garbage"));
    bad.setText(QStringLiteral("!"));
    f.view()->pasteData(&bad);
    EXPECT_EQ(f.store.content, QStringLiteral("titretitre!"));
}

TEST(RichTextEditor, ToolbarFollowsFocusAndSurvivesToolbarClicks) {
    Fixture f(QStringLiteral("abc"));
    EXPECT_FALSE(f.editor->isToolbarShown());
    EXPECT_FALSE(f.editor->toolbar()->isVisible());
    QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_TRUE(f.editor->isFocused());
    EXPECT_TRUE(f.editor->isToolbarShown());
    EXPECT_GE(f.store.focuses, 2); // the begin of editing and the focus change
    ASSERT_TRUE(
        testsupport::waitFor([&] { return f.editor->height() == 100 + RichTextBlockEditor::toolbarBlockHeight(); }));
    EXPECT_TRUE(f.editor->toolbar()->isVisible());

    // A second click into the focused editor calls nothing.
    const int focuses = f.store.focuses;
    QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, QPoint(40, 20));
    EXPECT_EQ(f.store.focuses, focuses);

    // Buttons and menus of the toolbar keep it shown.
    QTest::mouseClick(f.editor->toolbar()->iconButtons().first(), Qt::LeftButton);
    EXPECT_TRUE(f.view()->hasFocus());
    EXPECT_TRUE(f.editor->isToolbarShown());
    QTest::mouseClick(f.editor->toolbar()->textColorButton(), Qt::LeftButton);
    ASSERT_TRUE(testsupport::waitFor([&] { return f.editor->toolbar()->textColorMenu()->isVisible(); }));
    EXPECT_TRUE(f.editor->isToolbarShown());
    f.editor->toolbar()->textColorMenu()->hide();
    QApplication::processEvents();
    EXPECT_TRUE(f.editor->isToolbarShown());

    // Focus elsewhere ends editing, without a focus callback.
    const int before = f.store.focuses;
    QApplication::setActiveWindow(&f.window); // offscreen: activation stays with the closed menu
    f.other->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    EXPECT_FALSE(f.editor->isFocused());
    EXPECT_FALSE(f.editor->isToolbarShown());
    EXPECT_EQ(f.store.focuses, before);
    ASSERT_TRUE(testsupport::waitFor([&] { return !f.editor->toolbar()->isVisible(); }));
    EXPECT_EQ(f.editor->height(), 100);
}

TEST(RichTextEditor, ToolbarClicksKeepEditingInsideAScrollArea) {
    // Embedders put the editor in a scroll area, which takes the keyboard on a click that no
    // focusable child of its own claims.
    Store store;
    store.content = QStringLiteral("abc");
    QScrollArea area;
    auto* inner = new QWidget;
    auto* layout = new QVBoxLayout(inner);
    auto* editor = new RichTextBlockEditor(rttest::environment(), store.contentBinding(), store.rtfBinding(), false, {},
                                           {}, inner);
    layout->addWidget(editor);
    layout->addStretch();
    area.setWidget(inner);
    area.setWidgetResizable(true);
    area.resize(600, 500);
    area.show();
    QApplication::setActiveWindow(&area);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&area));
    QTest::mouseClick(editor->textView()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    ASSERT_TRUE(editor->isFocused());
    ASSERT_TRUE(testsupport::waitFor([&] { return editor->toolbar()->isVisible() && editor->toolbar()->y() == 0; }));
    RichTextToolbar* bar = editor->toolbar();
    QTest::mouseClick(bar->findChild<QLabel*>(QStringLiteral("richTextLabel")), Qt::LeftButton);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 4));
    QTest::mouseClick(bar->iconButtons().first(), Qt::LeftButton);
    QTest::mouseClick(editor, Qt::LeftButton, {}, QPoint(100, RichTextBlockEditor::toolbarBlockHeight() - 3));
    QApplication::processEvents();
    EXPECT_TRUE(editor->textView()->hasFocus());
    EXPECT_TRUE(editor->isFocused());
    EXPECT_TRUE(editor->isToolbarShown());
}

TEST(RichTextEditor, CustomColourPopover) {
    Fixture f(QStringLiteral("abcd"));
    f.focusAndSelectFirst(2);
    RichTextToolbar* bar = f.editor->toolbar();
    const QByteArray before = rtf::write(*f.view()->document());
    // The colour dialog costs more than the rest of a toolbar: none until the picker is first opened.
    EXPECT_FALSE(bar->findChild<QColorDialog*>());
    bar->setShowColorPicker(true);
    EXPECT_TRUE(bar->colorPopover()->isVisible());
    EXPECT_EQ(rtf::write(*f.view()->document()), before); // opening changes nothing
    EXPECT_TRUE(f.editor->isToolbarShown());
    bar->colorPopover()->picker()->setCurrentColor(QColor(12, 200, 40));
    EXPECT_EQ(formatAt(*f.stored(), 0).foreground().color(), QColor(12, 200, 40));
    EXPECT_EQ(bar->selectedTextColor(), QColor(12, 200, 40));
    bar->colorPopover()->hide();
    EXPECT_FALSE(bar->showColorPicker());

    // Without a text view the controls do nothing but the popover still opens.
    RichTextToolbar lone(ThemeManager::shared(), nullptr);
    lone.show();
    lone.toggleBold();
    lone.applyTextColor(Qt::red);
    lone.setShowColorPicker(true);
    EXPECT_TRUE(lone.colorPopover()->isVisible());
    lone.colorPopover()->picker()->setCurrentColor(Qt::blue);
    lone.setShowColorPicker(false);
}

TEST(RichTextToolbar, LabelsMenusAndTooltips) {
    RichTextToolbar bar(ThemeManager::shared(), nullptr);
    QStringList tips;
    for (auto* b : bar.iconButtons())
        tips << b->toolTip();
    // The keys as this desktop names them.
    EXPECT_EQ(tips,
              (QStringList{QStringLiteral("Gras (Ctrl+B)"), QStringLiteral("Italique (Ctrl+I)"),
                           QStringLiteral("Souligné (Ctrl+U)"), QStringLiteral("Barré"),
                           QStringLiteral("Code inline")}));
    EXPECT_EQ(bar.textColorButton()->toolTip(), QStringLiteral("Couleur du texte"));
    EXPECT_EQ(bar.highlightButton()->toolTip(), QStringLiteral("Surligner le texte"));
    EXPECT_TRUE(bar.styleButton()->toolTip().isEmpty());
    auto texts = [](QMenu* m) {
        QStringList out;
        for (QAction* a : m->actions())
            out << (a->isSeparator() ? QStringLiteral("|") : a->text());
        return out;
    };
    EXPECT_EQ(texts(bar.styleMenu()), (QStringList{"Normal", "Titre 1", "Titre 2", "Titre 3"}));
    EXPECT_EQ(texts(bar.textColorMenu()),
              (QStringList{"Rouge", "Orange", "Jaune", "Vert", "Bleu", "Violet", "Rose", "|",
                           QStringLiteral("Couleur personnalisée..."), "|", QStringLiteral("Couleur par défaut")}));
    EXPECT_EQ(texts(bar.highlightMenu()),
              (QStringList{"Jaune", "Vert", "Bleu", "Orange", "Rose", "|", QStringLiteral("Retirer le surlignage")}));
    auto* label = bar.findChild<QLabel*>(QStringLiteral("richTextLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Texte enrichi"));
    for (QWidget* w : bar.findChildren<QWidget*>()) {
        if (w->window() == &bar) {
            EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << w->metaObject()->className();
        }
    }
}

TEST(RichTextToolbar, TheKeysOfTheToolTipsFormatTheSelection) {
    Fixture f(QStringLiteral("abcd"));
    f.focusAndSelectFirst(2);
    QTest::keyClick(f.view(), Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(f.view(), Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(f.view(), Qt::Key_U, Qt::ControlModifier);
    const QTextCharFormat fmt = formatAt(*f.stored(), 0);
    EXPECT_EQ(fmt.fontWeight(), QFont::Bold);
    EXPECT_TRUE(fmt.fontItalic());
    EXPECT_TRUE(fmt.fontUnderline());
    EXPECT_EQ(f.view()->toPlainText(), QStringLiteral("abcd")); // no letter typed
    QTest::keyClick(f.view(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_NE(formatAt(*f.stored(), 0).fontWeight(), QFont::Bold);
}

TEST(RichTextToolbar, FitsOrWrapsAtEveryWidthWithoutSqueezingAControl) {
    RichTextToolbar bar(ThemeManager::shared(), nullptr);
    bar.ensurePolished();
    const int full = bar.sizeHint().width();
    for (int width : {full + 40, full, full - 40, 320, 260, 200, 140}) {
        const QList<QRect> rects = bar.arrange(width);
        const int height = bar.heightForWidth(width);
        for (int i = 0; i < rects.size(); ++i) {
            EXPECT_GE(rects[i].left(), 0) << width;
            EXPECT_LE(rects[i].right(), width - 1) << width << " item " << i;
            EXPECT_LE(rects[i].bottom(), height - 1) << width;
            for (int j = 0; j < i; ++j)
                EXPECT_FALSE(rects[i].intersects(rects[j])) << width << " items " << j << ", " << i;
        }
        // One row where the controls fit side by side, more below that.
        EXPECT_EQ(height == 44, width >= full - 40) << width;
    }
    // Every control at its own size: "Style" whole, the caption whole.
    bar.resize(260, bar.heightForWidth(260));
    bar.show();
    QApplication::processEvents();
    EXPECT_EQ(bar.styleButton()->size(), bar.styleButton()->sizeHint());
    auto* label = bar.findChild<QLabel*>(QStringLiteral("richTextLabel"));
    EXPECT_EQ(label->size(), label->sizeHint());
}

// An editor destroyed while it holds the keyboard hands the focus on as it goes; the moves of the focus
// that its going causes, and later ones, never reach it (the sanitizers watch), and what was typed is kept.
TEST(RichTextEditor, DestroyedWhileFocusedKeepsWhatWasTyped) {
    Fixture f(QStringLiteral("abcd"));
    f.focusEditor();
    QTest::keyClicks(f.view(), QStringLiteral("xy"));
    delete f.editor;
    f.editor = nullptr;
    f.other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.store.content, QStringLiteral("axybcd"));
}

TEST(RichTextToolbar, EveryItemSitsOnItsRowsCentreLine) {
    RichTextToolbar bar(ThemeManager::shared(), nullptr);
    bar.ensurePolished();
    const int full = bar.sizeHint().width();
    for (int width : {full + 40, full, 320, 200}) {
        const QList<QRect> rects = bar.arrange(width);
        // Rows are 28 high, 6 apart, under an 8 margin: a divider is centred with the buttons beside it.
        for (int i = 0; i < rects.size(); ++i) {
            const QRect& r = rects[i];
            ASSERT_FALSE(r.isEmpty()) << width << " item " << i;
            const int row = (r.top() - 8) / 34;
            const double centre = r.top() + r.height() / 2.0;
            EXPECT_NEAR(centre, 8 + row * 34 + 14, 1.0) << width << " item " << i;
        }
    }
}

// Paragraphs keep their shaped glyphs only while the text holds the keyboard: new ones too, and those of
// a text loaded again meanwhile; a large text never does, for the memory it would hold.
TEST(RichTextEditor, ParagraphsKeepTheirShapesOnlyWhileTyping) {
    auto kept = [](QTextDocument* doc) {
        int n = 0;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            n += b.layout()->cacheEnabled() ? 1 : 0;
        return n;
    };
    Fixture f(QStringLiteral("un\ndeux"));
    QTextDocument* doc = f.view()->document();
    f.other->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(kept(doc), 0);
    f.focusEditor();
    EXPECT_EQ(kept(doc), 2);
    QTest::keyClick(f.view(), Qt::Key_Return);
    QTest::keyClicks(f.view(), QStringLiteral("trois"));
    EXPECT_EQ(kept(doc), 3);
    f.store.content = QStringLiteral("a\nb\nc\nd");
    f.editor->syncFromBindings();
    EXPECT_EQ(kept(doc), 4);
    f.other->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(kept(doc), 0);

    Fixture large(QString(largetext::boundedChars + 10, QLatin1Char('x')));
    large.focusEditor();
    EXPECT_EQ(kept(large.view()->document()), 0);
}

// The editor encodes only the paragraphs a change touched: what it stores after each key, format,
// new or joined paragraph, undo and reload is the whole text's RTF, on another program's RTF too.
TEST(RichTextEditor, EveryWriteIsTheWholeTextsRtf) {
    Fixture f(QStringLiteral(
                  "E = mc2 et H2O1\nVoir le guide en ligne.\nCellule A1\tCellule B1\n\nPremier point\n1. Texte "
                  "de la note."),
              rttest::foreignRtf());
    f.focusEditor();
    ClickableTextView* view = f.view();
    auto expectWhole = [&](const char* step) {
        rttest::afterFrame();
        ASSERT_TRUE(f.store.rtf) << step;
        EXPECT_EQ(f.store.rtf->toStdString(), rtf::write(*view->document()).toStdString()) << step;
    };
    auto caretAt = [&](int position) {
        QTextCursor c = view->textCursor();
        c.setPosition(position);
        view->setTextCursor(c);
    };
    caretAt(view->document()->findBlockByNumber(1).position() + 4);
    QTest::keyClicks(view, QStringLiteral("x {y}"));
    expectWhole("typed");
    f.focusAndSelectFirst(3);
    f.editor->toolbar()->toggleBold();
    expectWhole("bold");
    f.editor->toolbar()->applyTextColor(QColor(255, 59, 48));
    expectWhole("colour");
    caretAt(view->document()->findBlockByNumber(2).position());
    QTest::keyClick(view, Qt::Key_Backspace);
    expectWhole("paragraphs joined");
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClicks(view, QStringLiteral("neuf"));
    expectWhole("new paragraph");
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        expectWhole("undone");
    }
    // A text changed from outside is loaded again, and typing in it writes its own RTF.
    f.store.content = QStringLiteral("autre texte");
    f.store.rtf.reset();
    f.editor->syncFromBindings();
    caretAt(2);
    QTest::keyClick(view, Qt::Key_B);
    expectWhole("reloaded");
}

// A key repaints a band of the frame under the text, a new height its bottom edge, a scroll a strip over its
// top: painted alone, each looks as it does when the whole frame is painted, focused or not.
TEST(RichTextEditor, ABandOfTheFramePaintedAloneLooksAsInTheWhole) {
    QString text;
    for (int i = 0; i < 30; ++i)
        text += QStringLiteral("Ligne %1 du texte\n").arg(i);
    Fixture f(text);
    ASSERT_TRUE(testsupport::waitFor([&] { return f.editor->height() > 300; }));
    for (const bool focused : {false, true}) {
        if (focused)
            f.focusEditor();
        QApplication::processEvents();
        const QImage whole = f.editor->grab().toImage();
        const int w = f.editor->width();
        const int bottom = f.editor->height();
        const int top = f.editor->wrapper()->y();
        for (const QRect band : {QRect(0, 100, w, 40), QRect(0, 150, 30, 20), QRect(w - 20, 200, 20, 33),
                                 QRect(0, top, w, 17), QRect(0, bottom - 30, w, 30), QRect(0, bottom - 90, 300, 80)}) {
            const QImage part = f.editor->grab(band).toImage();
            EXPECT_EQ(part, whole.copy(QRect(band.topLeft() * whole.devicePixelRatio(), part.size())))
                << focused << " " << band.y();
        }
    }
}

// A text as tall as its area never scrolls inside it, not even between a new line and the area's new height
// (the whole text would be painted twice); the embedder hears of a new height before it is taken. Grown past
// the large-text limit, it scrolls inside again.
TEST(RichTextEditor, AGrowingTextNeverScrollsInsideItself) {
    Fixture f(QString{});
    QScrollBar* inner = f.view()->verticalScrollBar();
    int innerScrolls = 0;
    QObject::connect(inner, &QScrollBar::valueChanged, [&](int) { ++innerScrolls; });
    std::vector<std::pair<qreal, qreal>> told;
    std::vector<std::string> order;
    QObject::connect(f.editor->wrapper(), &RichTextEditorWrapper::calculatedHeightAboutToChange,
                     [&](qreal from, qreal to) {
                         told.emplace_back(from, to);
                         order.push_back("about");
                         // Still the old height: the embedder may scroll before anything moves.
                         EXPECT_EQ(f.editor->calculatedHeight(), from);
                     });
    QObject::connect(f.editor, &RichTextBlockEditor::calculatedHeightChanged, [&](qreal) { order.push_back("now"); });
    f.focusEditor();
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(f.view(), Qt::Key_Return);
        EXPECT_EQ(inner->value(), 0);
    }
    QTest::keyClicks(f.view(), QStringLiteral("fin"));
    ASSERT_TRUE(testsupport::waitFor([&] { return f.editor->calculatedHeight() > 200; }));
    EXPECT_EQ(innerScrolls, 0);
    EXPECT_EQ(inner->maximum(), 0);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.front().first, RichTextEditorWrapper::minimumHeight);
    EXPECT_EQ(told.back().second, f.editor->calculatedHeight());
    for (size_t i = 0; i < order.size(); i += 2) {
        EXPECT_EQ(order[i], "about");
        EXPECT_EQ(i + 1 < order.size() ? order[i + 1] : std::string(), "now");
    }

    auto* mime = new QMimeData;
    mime->setText(QString(QStringLiteral("mot ")).repeated(int(largetext::boundedChars / 4) + 500));
    f.view()->pasteData(mime);
    delete mime;
    EXPECT_TRUE(f.editor->wrapper()->isBounded());
    EXPECT_TRUE(testsupport::waitFor([&] { return inner->maximum() > 0; }));
}

// Told the width it will be placed at, a new editor lays its text out there before it shows, not at the
// widths it passes through; placed at another width, or resized later, it wraps at its own width and
// measures its height there.
TEST(RichTextEditor, ATextLaidOutAheadWrapsAtTheWidthItShowsAt) {
    Store store;
    store.content = QString(QStringLiteral("un mot de plus ")).repeated(40);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* editor = new RichTextBlockEditor(rttest::environment(), store.contentBinding(), store.rtfBinding(), false, {},
                                           {}, nullptr, 400);
    QTextDocument* doc = editor->textView()->document();
    ASSERT_GT(doc->begin().layout()->lineCount(), 0);
    EXPECT_EQ(doc->begin().layout()->lineAt(0).width(), 400 - 2 * RichTextEditorWrapper::inset);

    layout->addWidget(editor);
    layout->addStretch();
    window.resize(520, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto wrapsAtItsWidth = [&] {
        const int w = editor->textView()->viewport()->width();
        const qreal h = std::ceil(doc->documentLayout()->documentSize().height());
        return w > 0 && doc->textWidth() == w && editor->calculatedHeight() == std::max(h, 100.0);
    };
    EXPECT_TRUE(testsupport::waitFor(wrapsAtItsWidth));
    const int wide = doc->begin().layout()->lineCount();
    window.resize(260, 700);
    EXPECT_TRUE(testsupport::waitFor(wrapsAtItsWidth));
    EXPECT_GT(doc->begin().layout()->lineCount(), wide);
    EXPECT_TRUE(store.log.empty());
}
