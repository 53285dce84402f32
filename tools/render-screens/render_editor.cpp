// The document editor in view and edit mode: empty, and with a text, a code and an image block.
#include "render-screens/RenderScreens.h"

#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "editor/BlockImages.h"
#include "editor/BlockRow.h"
#include "editor/DocEditorView.h"
#include "editor/DocEdits.h"
#include "rtf/Rtf.h"

#include <QLinearGradient>
#include <QPainter>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

namespace {

DocPtr makeDoc(const Services& s, const QString& colorKey) {
    const QDateTime at = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
    auto project = std::make_shared<Project>(ProjectFields{.name = QStringLiteral("Site vitrine"),
                                                           .iconName = QStringLiteral("folder.fill"),
                                                           .createdAt = at,
                                                           .updatedAt = at});
    s.context.insert(project);
    auto doc = std::make_shared<Doc>(DocFields{.title = QStringLiteral("Guide d’installation"),
                                               .statusRaw = QStringLiteral("in_progress"),
                                               .iconName = QStringLiteral("doc.text.fill"),
                                               .colorKey = colorKey,
                                               .createdAt = at,
                                               .updatedAt = at,
                                               .project = project});
    s.context.insert(doc);
    return doc;
}

QByteArray sampleRtf() {
    QTextDocument d;
    QTextCursor c(&d);
    QTextCharFormat heading;
    heading.setFontPointSize(0);
    heading.setFontWeight(QFont::DemiBold);
    QFont f = heading.font();
    f.setPixelSize(20);
    heading.setFont(f);
    c.insertText(QStringLiteral("Prérequis"), heading);
    c.insertBlock();
    QTextCharFormat plain;
    c.insertText(QStringLiteral("Installez les dépendances avant de lancer le serveur. Le fichier "), plain);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral(".env"), bold);
    c.insertText(QStringLiteral(" doit exister à la racine du projet."), plain);
    return rtf::write(d);
}

QByteArray sampleImage() {
    QImage image(1200, 600, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 1200, 600);
    g.setColorAt(0, QColor(0x4f, 0x7c, 0xff));
    g.setColorAt(1, QColor(0xff, 0x8a, 0x5c));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::white);
    QFont font;
    font.setPixelSize(64);
    p.setFont(font);
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Schéma"));
    p.end();
    return blockimage::storedFromImage(image).data;
}

QWidget* editorWith(const Services& s, bool blocks, bool completed = false) {
    DocPtr doc = makeDoc(s, QStringLiteral("orange"));
    if (blocks) {
        DocEdits edits(s.context, doc);
        auto text = edits.addBlock(DocBlockType::text);
        text->setContent(QStringLiteral("Prérequis\nInstallez les dépendances avant de lancer le serveur."));
        text->setRichTextData(sampleRtf());
        text->setIsCompleted(completed);
        auto code = edits.addBlock(DocBlockType::code);
        code->setContent(QStringLiteral("npm install\ncp .env.example .env\nnpm run dev"));
        auto image = edits.addBlock(DocBlockType::image);
        image->setImageData(sampleImage());
        if (!completed)
            edits.addBlock(DocBlockType::image); // an image block still waiting for its picture
        edits.save();
    }
    auto* view = new ImprovedDocEditorView(s, doc);
    return view;
}

void settle(QWidget* w) {
    for (int i = 0; i < 20; ++i)
        QTest::qWait(25); // image decoding runs on a worker thread
    w->update();
}

void toEditMode(QWidget* w) {
    auto* view = static_cast<ImprovedDocEditorView*>(w);
    view->toggleEditMode();
    settle(w);
}

// An empty document (the appearance adds a text block): hide it to show the empty state.
void emptied(QWidget* w, bool edit) {
    auto* view = static_cast<ImprovedDocEditorView*>(w);
    if (!view->cachedBlocks().empty())
        view->edits().hide(view->cachedBlocks().front());
    view->refreshBlocks();
    if (edit)
        view->toggleEditMode();
    settle(w);
}

const bool registered = registerScreenShots({
    ScreenShot{QStringLiteral("editor-view"), QSize(1000, 900),
               [](const Services& s) { return editorWith(s, true, true); }, [](QWidget* w) { settle(w); }},
    ScreenShot{QStringLiteral("editor-edit"), QSize(1000, 1100), [](const Services& s) { return editorWith(s, true); },
               [](QWidget* w) {
                   toEditMode(w);
                   auto* view = static_cast<ImprovedDocEditorView*>(w);
                   // The pointer over the code block shows its toolbar.
                   if (auto* row = view->rowFor(view->cachedBlocks()[1]->id())) {
                       QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
                       QCoreApplication::sendEvent(row, &enter);
                   }
                   settle(w);
               }},
    ScreenShot{QStringLiteral("editor-edit-image"), QSize(1000, 640),
               [](const Services& s) { return editorWith(s, true); },
               [](QWidget* w) {
                   toEditMode(w);
                   auto* view = static_cast<ImprovedDocEditorView*>(w);
                   view->scrollToBlock(view->cachedBlocks().back()->id(), false);
                   settle(w);
               }},
    ScreenShot{QStringLiteral("editor-empty-view"), QSize(1000, 560),
               [](const Services& s) { return editorWith(s, false); }, [](QWidget* w) { emptied(w, false); }},
    ScreenShot{QStringLiteral("editor-empty-edit"), QSize(1000, 640),
               [](const Services& s) { return editorWith(s, false); }, [](QWidget* w) { emptied(w, true); }},
});

} // namespace
