// The checklist board: empty, seeded, full, a drag in progress, and the column sheet.
#include "render-screens/RenderScreens.h"

#include "board/BoardColumns.h"
#include "board/CardTile.h"
#include "board/ChecklistDetailView.h"
#include "board/NewChecklistColumnSheet.h"
#include "checklists/ChecklistEdits.h"
#include "checklists/ChecklistLogic.h"
#include "core/model/Models.h"
#include "core/store/ModelContext.h"

#include <QTextDocument>

namespace {

ProjectPtr project(const Services& s, const QString& name) {
    auto p = std::make_shared<Project>(ProjectFields{.name = name,
                                                     .iconName = QStringLiteral("folder.fill"),
                                                     .colorKey = QStringLiteral("purple"),
                                                     .createdAt = QDateTime::currentDateTimeUtc(),
                                                     .updatedAt = QDateTime::currentDateTimeUtc()});
    s.context.insert(p);
    return p;
}

ChecklistPtr bare(const Services& s, const QString& name, const ProjectPtr& p = nullptr) {
    auto c = std::make_shared<Checklist>(ChecklistFields{.name = name,
                                                         .iconName = QStringLiteral("checklist"),
                                                         .colorKey = QStringLiteral("blue"),
                                                         .createdAt = QDateTime::currentDateTimeUtc(),
                                                         .updatedAt = QDateTime::currentDateTimeUtc(),
                                                         .project = p});
    s.context.insert(c);
    return c;
}

ChecklistPtr seeded(const Services& s) {
    ChecklistEdits e(s.context);
    auto c = e.createChecklist(QStringLiteral("Lancement v2"), project(s, QStringLiteral("Site vitrine")));
    const auto cols = ChecklistLogic::sortedColumns(*c);
    auto doing = e.createColumn(c,
                                {QStringLiteral("En cours"), QStringLiteral("bolt.fill"), QStringLiteral("orange"),
                                 std::nullopt});
    e.moveColumn(c, doing, cols[1]);
    e.createCard(c, cols[0], QStringLiteral("Relire les textes de la page d’accueil"),
                 QStringLiteral("Vérifier les accents et la ponctuation."));
    e.createCard(c, cols[0], QStringLiteral("Exporter les icônes"), std::nullopt);
    e.createCard(c, doing, QStringLiteral("Formulaire de contact"),
                 QStringLiteral("Brancher l’envoi des messages.\nAjouter un message de confirmation.\nTester sur "
                                "mobile.\nPrévenir l’équipe support."));
    e.createCard(c, cols[1], QStringLiteral("Nom de domaine"), std::nullopt);
    return c;
}

ChecklistPtr full(const Services& s) {
    ChecklistEdits e(s.context);
    auto c = e.createChecklist(QStringLiteral("Refonte de l’application mobile"), nullptr);
    const auto cols = ChecklistLogic::sortedColumns(*c);
    auto review = e.createColumn(c,
                                 {QStringLiteral("En review"), QStringLiteral("sparkles"), QStringLiteral("purple"),
                                  std::nullopt});
    auto bugs = e.createColumn(c,
                               {QStringLiteral("Bugs"), QStringLiteral("ladybug.fill"), std::nullopt,
                                QStringLiteral("#E0483E")});
    e.moveColumn(c, review, cols[1]);
    e.moveColumn(c, bugs, cols[1]);
    const QStringList titles{QStringLiteral("Écran de connexion"), QStringLiteral("Mode sombre des réglages"),
                             QStringLiteral("Notifications push : regrouper les rappels du matin et du soir"),
                             QStringLiteral("Accessibilité des boutons"), QStringLiteral("Traductions")};
    for (int i = 0; i < 5; ++i)
        e.createCard(c, cols[0], titles[i],
                     i % 2 ? OptText()
                           : OptText(QStringLiteral("Maquettes validées, reste "
                                                    "l’intégration et les tests.")));
    e.createCard(c, review, QStringLiteral("Paiement intégré"), QStringLiteral("Revue de sécurité demandée."));
    e.createCard(c, review, QStringLiteral("Écran de profil"), std::nullopt);
    e.createCard(c, bugs, QStringLiteral("Crash au démarrage sur tablette"),
                 QStringLiteral("Reproduit deux fois sur dix."));
    for (int i = 0; i < 3; ++i)
        e.createCard(c, cols[1], QStringLiteral("Version %1 publiée").arg(i + 1), std::nullopt);
    return c;
}

ChecklistDetailView* board(const Services& s, const ChecklistPtr& c) {
    return new ChecklistDetailView(s, c, [] {});
}

const bool registered = registerScreenShots({
    ScreenShot{"board-empty", QSize(900, 560),
               [](const Services& s) -> QWidget* { return board(s, bare(s, QStringLiteral("Nouvelle checklist"))); }},
    ScreenShot{"board-seeded", QSize(1100, 720), [](const Services& s) -> QWidget* { return board(s, seeded(s)); }},
    ScreenShot{"board-full", QSize(1400, 820), [](const Services& s) -> QWidget* { return board(s, full(s)); }},
    ScreenShot{"board-drag", QSize(1400, 820), [](const Services& s) -> QWidget* { return board(s, full(s)); },
               [](QWidget* w) {
                   auto* b = static_cast<ChecklistDetailView*>(w);
                   const auto cols = b->columnViews();
                   BoardDrag::Marks m;
                   // A card dragged over the slot in front of the second card of the first column,
                   // the pointer having passed over a tile of the second column.
                   m.dropTargetColumnId = cols[0]->columnId();
                   m.dropTargetCardId = cols[0]->tiles()[1]->cardId();
                   m.hoverCardId = cols[1]->tiles()[0]->cardId();
                   b->setMarks(m);
               }},
    ScreenShot{"board-column-reorder", QSize(1400, 820),
               [](const Services& s) -> QWidget* { return board(s, full(s)); },
               [](QWidget* w) {
                   auto* b = static_cast<ChecklistDetailView*>(w);
                   BoardDrag::Marks m;
                   m.dropTargetColumnReorderId = b->columnViews()[2]->columnId();
                   b->setMarks(m);
               }},
    ScreenShot{"board-column-sheet", QSize(720, 470),
               [](const Services& s) -> QWidget* {
                   auto c = bare(s, QStringLiteral("Sprint"));
                   c->setColorKey(QStringLiteral("orange"));
                   return new NewChecklistColumnSheet(s, c, nullptr);
               }},
    ScreenShot{"board-column-sheet-edit", QSize(720, 470),
               [](const Services& s) -> QWidget* {
                   auto c = seeded(s);
                   auto col = ChecklistLogic::sortedColumns(*c)[1];
                   col->setColorHex(QStringLiteral("#7A5AF8"));
                   return new NewChecklistColumnSheet(s, c, col);
               }},
});

} // namespace
