// The rich-text block editor with its formats, unfocused and focused (toolbar shown).
#include "render-screens/RenderScreens.h"

#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextFormatting.h"
#include "services/Services.h"
#include "ui/Theme.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <memory>

namespace {

QWidget* editorPage(const Services& s) {
    struct Page : QWidget {
        QString content = QStringLiteral(
            "Titre du bloc\nDu texte en gras, en rouge, surligné et du code inline.\n"
            "Une faute d’ortografe ici.");
        std::optional<QByteArray> data;
    };
    auto* page = new Page;
    page->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 24, 24, 24);
    auto* editor =
        new RichTextBlockEditor({s.theme, s.spelling},
                                {[page] { return page->content; }, [page](const QString& v) { page->content = v; }},
                                {[page] { return page->data; },
                                 [page](const std::optional<QByteArray>& v) { page->data = v; }},
                                false, {}, {}, page);
    editor->setObjectName(QStringLiteral("editor"));
    layout->addWidget(editor);
    layout->addStretch();
    QTextDocument& doc = *editor->textView()->document();
    auto select = [&](const QString& word) {
        const int at = doc.toPlainText().indexOf(word);
        QTextCursor c(&doc);
        c.setPosition(at);
        c.setPosition(at + int(word.size()), QTextCursor::KeepAnchor);
        return c;
    };
    QTextCursor c = select(QStringLiteral("Titre du bloc"));
    richtext::applyHeading(c, 22, QFont::DemiBold);
    c = select(QStringLiteral("en gras"));
    richtext::toggleBold(c);
    c = select(QStringLiteral("en rouge"));
    richtext::applyTextColor(c, richtext::namedColor(richtext::NamedColor::red, s.theme.isDark()));
    c = select(QStringLiteral("surligné"));
    richtext::applyHighlight(c, richtext::namedColor(richtext::NamedColor::yellow, s.theme.isDark()));
    c = select(QStringLiteral("code inline"));
    richtext::applyInlineCode(c);
    return page;
}

const bool registered = registerScreenShots({
    ScreenShot{QStringLiteral("richtext-unfocused"), QSize(720, 320), [](const Services& s) { return editorPage(s); }},
    ScreenShot{QStringLiteral("richtext-focused"), QSize(720, 320), [](const Services& s) { return editorPage(s); },
               [](QWidget* page) {
                   auto* editor = page->findChild<RichTextBlockEditor*>(QStringLiteral("editor"));
                   QTest::mouseClick(editor->textView()->viewport(), Qt::LeftButton, {}, QPoint(200, 60));
                   QTest::qWait(300);
               }},
});

} // namespace
