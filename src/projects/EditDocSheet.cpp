#include "projects/EditDocSheet.h"

#include <QLineEdit>

const QStringList& EditDocSheet::editDocIconChoices() {
    static const QStringList icons =
        QStringList{"doc.text", "doc.text.fill", "doc.plaintext", "doc.richtext", "doc.append", "doc.on.doc"} +
        projectsui::bookIcons() +
        QStringList{"rectangle.and.pencil.and.ellipsis",
                    "pencil.tip",
                    "signature",
                    "folder.fill",
                    "folder.badge.plus",
                    "tray.full.fill",
                    "archivebox.fill",
                    "shippingbox.fill",
                    "tag.fill",
                    "bookmark.fill",
                    "flag.fill",
                    "calendar",
                    "clock.fill",
                    "bell.fill"} +
        projectsui::toolIcons() +
        QStringList{"bolt.shield.fill",
                    "wifi",
                    "network",
                    "server.rack",
                    "globe.europe.africa.fill",
                    "link",
                    "icloud.fill",
                    "sparkles",
                    "wand.and.stars",
                    "star.fill",
                    "paperclip",
                    "camera.fill",
                    "photo.fill",
                    "chart.bar.fill",
                    "chart.line.uptrend.xyaxis"};
    return icons;
}

EditDocSheet::EditDocSheet(const Services& services, DocPtr doc, QWidget* parent)
    : DocFieldsSheet(services,
                     {QStringLiteral("Modifier le document"),
                      QStringLiteral("Mettez à jour le titre, le statut, la couleur et l’icône."),
                      QStringLiteral("Enregistrer"), 0},
                     editDocIconChoices(), doc->title(), doc->status(), parent),
      m_doc(std::move(doc)) {
    setInitialAppearance(*m_doc);
}

void EditDocSheet::confirm() { edits().editDoc(m_doc, titleField()->text(), status(), pickedLook()); }
