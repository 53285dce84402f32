#include "projects/EditDocSheet.h"

#include <QLineEdit>

const QStringList& EditDocSheet::editDocIconChoices() {
    static const QStringList icons{"doc.text",
                                   "doc.text.fill",
                                   "doc.plaintext",
                                   "doc.richtext",
                                   "doc.append",
                                   "doc.on.doc",
                                   "book.fill",
                                   "books.vertical.fill",
                                   "text.book.closed.fill",
                                   "note.text",
                                   "list.bullet.rectangle",
                                   "checklist",
                                   "rectangle.and.pencil.and.ellipsis",
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
                                   "bell.fill",
                                   "hammer.fill",
                                   "wrench.and.screwdriver.fill",
                                   "terminal.fill",
                                   "curlybraces",
                                   "chevron.left.forwardslash.chevron.right",
                                   "gearshape.fill",
                                   "slider.horizontal.3",
                                   "bolt.fill",
                                   "lock.fill",
                                   "key.fill",
                                   "shield.fill",
                                   "shield.lefthalf.filled",
                                   "bolt.shield.fill",
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
