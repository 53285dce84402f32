// The card sheet: a new card, a card read and edited with links and files (an image and a PDF),
// and a done card with a plain description.
#include "render-screens/RenderScreens.h"

#include "cardsheet/AttachmentFiles.h"
#include "cardsheet/AttachmentJobs.h"
#include "cardsheet/CardEdits.h"
#include "richtext/NotesFormat.h"
#include "cardsheet/CardSheet.h"
#include "cardsheet/CardSheetWidgets.h"
#include "core/model/Clock.h"
#include "core/model/Models.h"
#include "rtf/Rtf.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

namespace {

struct Board {
    ChecklistPtr checklist;
    ChecklistColumnPtr todo, done;
    ChecklistCardPtr card, finished;
};

Board makeBoard(const Services& s) {
    ModelContext& ctx = s.context;
    const QDateTime now = Clock::now();
    auto project = std::make_shared<Project>(
        ProjectFields{.name = "Site vitrine", .iconName = "folder", .createdAt = now, .updatedAt = now});
    ctx.insert(project);
    Board b;
    b.checklist = std::make_shared<Checklist>(ChecklistFields{.name = "Lancement",
                                                              .iconName = "checklist",
                                                              .colorKey = OptText("blue"),
                                                              .createdAt = now,
                                                              .updatedAt = now,
                                                              .project = project});
    ctx.insert(b.checklist);
    b.todo = std::make_shared<ChecklistColumn>(ChecklistColumnFields{.name = "À faire",
                                                                     .iconName = "square.stack.3d.up",
                                                                     .colorKey = OptText("blue"),
                                                                     .orderIndex = 0,
                                                                     .createdAt = now,
                                                                     .updatedAt = now,
                                                                     .checklist = b.checklist});
    b.done = std::make_shared<ChecklistColumn>(ChecklistColumnFields{.name = "Terminé",
                                                                     .iconName = "checkmark.seal",
                                                                     .colorKey = OptText("green"),
                                                                     .orderIndex = 1,
                                                                     .createdAt = now,
                                                                     .updatedAt = now,
                                                                     .checklist = b.checklist});
    ctx.insert(b.todo);
    ctx.insert(b.done);

    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText("Préparer la ");
    c.insertText("maquette de la page d’accueil", bold);
    c.insertText(" et la faire valider par le client avant vendredi.", QTextCharFormat());
    CardEdits edits(ctx, b.checklist);
    b.card = edits.createCard(b.todo, "Maquette de l’accueil", notesformat::encode(rtf::write(doc), {}));
    edits.addLink(b.card, "https://exemple.fr/maquettes/accueil");
    edits.addLink(b.card, "https://docs.exemple.fr/charte-graphique");

    // Two files copied as the sheet copies them.
    static QTemporaryDir picked;
    QImage image(480, 320, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(image.rect(), QColor(40, 120, 200));
    p.fillRect(QRect(60, 60, 220, 160), QColor(250, 200, 60));
    p.end();
    const QString png = picked.filePath("capture-accueil.png");
    image.save(png);
    const QString pdf = picked.filePath("cahier des charges.pdf");
    QFile f(pdf);
    f.open(QIODevice::WriteOnly);
    f.write("%PDF-1.4\n");
    f.close();
    const QString folder = attachmentfiles::cardDirectory(b.checklist->id(), b.card->id());
    for (const QString& source : {png, pdf}) {
        const auto r = attachmentfiles::copyIntoFolder(source, folder, QFileInfo(source).fileName());
        if (r.ok())
            edits.addFile(b.card, QFileInfo(source).fileName(), r.path);
    }
    b.finished = edits.createCard(b.done, "Nom de domaine", "Réservé chez le registraire, renouvellement annuel.");
    ctx.save();
    return b;
}

// Waits for the thumbnails being decoded, so that the picture shows them.
void waitForThumbnails(QWidget* w) {
    for (int i = 0; i < 100; ++i) {
        bool pending = false;
        for (auto* preview : w->findChildren<cardsheetui::AttachmentPreview*>())
            if (preview->symbol() == QLatin1String("photo") && !preview->showsThumbnail())
                pending = true;
        if (!pending)
            return;
        QTest::qWait(20);
    }
}

const bool registered = registerScreenShots({
    ScreenShot{QStringLiteral("cardsheet-new"), QSize(620, 560),
               [](const Services& s) -> QWidget* {
                   Board b = makeBoard(s);
                   auto* sheet = new CardSheet(s, b.checklist);
                   sheet->openNewCard(b.todo);
                   return sheet;
               }},
    // Where the keyboard is: the link field, then "Créer".
    ScreenShot{QStringLiteral("cardsheet-new-focus-link"), QSize(620, 560),
               [](const Services& s) -> QWidget* {
                   Board b = makeBoard(s);
                   auto* sheet = new CardSheet(s, b.checklist);
                   sheet->openNewCard(b.todo);
                   return sheet;
               },
               focusAsTab(QStringLiteral("https://…"))},
    ScreenShot{QStringLiteral("cardsheet-new-focus-create"), QSize(620, 560),
               [](const Services& s) -> QWidget* {
                   Board b = makeBoard(s);
                   auto* sheet = new CardSheet(s, b.checklist);
                   sheet->openNewCard(b.todo);
                   return sheet;
               },
               focusAsTab(QStringLiteral("Créer"))},
    ScreenShot{QStringLiteral("cardsheet-read"), QSize(620, 760),
               [](const Services& s) -> QWidget* {
                   Board b = makeBoard(s);
                   auto* sheet = new CardSheet(s, b.checklist);
                   sheet->openCard(b.card);
                   return sheet;
               },
               waitForThumbnails},
    ScreenShot{QStringLiteral("cardsheet-edit"), QSize(620, 900),
               [](const Services& s) -> QWidget* {
                   Board b = makeBoard(s);
                   auto* sheet = new CardSheet(s, b.checklist);
                   sheet->openCard(b.card);
                   sheet->startEditing();
                   return sheet;
               },
               waitForThumbnails},
    ScreenShot{QStringLiteral("cardsheet-done"), QSize(620, 480),
               [](const Services& s) -> QWidget* {
                   Board b = makeBoard(s);
                   auto* sheet = new CardSheet(s, b.checklist);
                   sheet->openCard(b.finished);
                   return sheet;
               }},
});

} // namespace
