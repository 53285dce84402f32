#include "projects/NewProjectSheet.h"

#include <QLineEdit>
#include <QPlainTextEdit>

const QStringList& NewProjectSheet::projectIconChoices() {
    static const QStringList icons =
        QStringList{"folder.fill",        "folder.badge.plus", "tray.full.fill", "archivebox.fill", "shippingbox.fill",
                    "externaldrive.fill", "doc.text.fill",     "doc.plaintext",  "doc.richtext"} +
        projectsui::bookIcons() + QStringList{"calendar", "clock.fill"} + projectsui::toolIcons() +
        QStringList{"wifi",
                    "antenna.radiowaves.left.and.right",
                    "chart.bar.fill",
                    "chart.line.uptrend.xyaxis",
                    "briefcase.fill",
                    "building.2.fill",
                    "person.2.fill",
                    "paintbrush.fill",
                    "wand.and.stars",
                    "sparkles",
                    "camera.fill",
                    "photo.fill",
                    "globe.europe.africa.fill",
                    "link",
                    "icloud.fill",
                    "network",
                    "server.rack",
                    "star.fill",
                    "flag.fill",
                    "bookmark.fill",
                    "tag.fill",
                    "paperclip",
                    "bell.fill",
                    "bolt.shield.fill"};
    return icons;
}

NewProjectSheet::NewProjectSheet(const Services& services, QWidget* parent)
    : ProjectFieldsSheet(services,
                         {QStringLiteral("Nouveau projet"),
                          QStringLiteral("Créez un espace pour organiser votre documentation."),
                          QStringLiteral("Créer"), 2},
                         projectIconChoices(), QString(), QString(), parent) {
    setInitialIcon(QStringLiteral("folder.fill"));
    setInitialColors(QStringLiteral("blue"), std::nullopt);
}

void NewProjectSheet::confirm() {
    m_created = edits().createProject(nameField()->text(), detailsField()->toPlainText(), pickedLook());
}
