#include "projects/EditDocSheet.h"

#include "model/Clock.h"
#include "model/SwiftDataContainer.h"
#include "projects/SheetFields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

const QStringList& EditDocSheet::editDocIconChoices() {
    static const QStringList icons{
        "doc.text", "doc.text.fill", "doc.plaintext", "doc.richtext", "doc.append",
        "doc.on.doc", "book.fill", "books.vertical.fill", "text.book.closed.fill", "note.text",
        "list.bullet.rectangle", "checklist", "rectangle.and.pencil.and.ellipsis", "pencil.tip", "signature",
        "folder.fill", "folder.badge.plus", "tray.full.fill", "archivebox.fill", "shippingbox.fill",
        "tag.fill", "bookmark.fill", "flag.fill", "calendar", "clock.fill",
        "bell.fill", "hammer.fill", "wrench.and.screwdriver.fill", "terminal.fill", "curlybraces",
        "chevron.left.forwardslash.chevron.right", "gearshape.fill", "slider.horizontal.3", "bolt.fill", "lock.fill",
        "key.fill", "shield.fill", "shield.lefthalf.filled", "bolt.shield.fill", "wifi",
        "network", "server.rack", "globe.europe.africa.fill", "link", "icloud.fill",
        "sparkles", "wand.and.stars", "star.fill", "paperclip", "camera.fill",
        "photo.fill", "chart.bar.fill", "chart.line.uptrend.xyaxis"};
    return icons;
}

EditDocSheet::EditDocSheet(DocPtr doc, QWidget* parent)
    : ColorIconSheet({QStringLiteral("Modifier le document"),
                      QStringLiteral("Mettez à jour le titre, le statut, la couleur et l’icône."),
                      QStringLiteral("Enregistrer"), 0},
                     editDocIconChoices(), parent),
      m_doc(std::move(doc)) {
    m_title = new QLineEdit(m_doc->title(), this);
    m_title->setObjectName(QStringLiteral("titleField"));
    m_status = projectsui::makeStatusPicker(m_doc->status(), this);
    m_status->setObjectName(QStringLiteral("statusField"));
    fieldsLayout()->addRow(QStringLiteral("Titre"), m_title);
    fieldsLayout()->addRow(QStringLiteral("Statut"), m_status);
    connect(m_title, &QLineEdit::textChanged, this, [this] { fieldsChanged(); });
    connect(m_status, &QComboBox::currentIndexChanged, this, [this] { fieldsChanged(); });
    setInitialIcon(m_doc->iconName());
    setInitialColors(m_doc->colorKey().value_or(QStringLiteral("blue")), m_doc->colorHex());
    m_title->setFocus();
}

DocStatus EditDocSheet::status() const { return projectsui::pickedStatus(m_status); }

QString EditDocSheet::requiredText() const { return m_title->text(); }

QString EditDocSheet::previewFirstLine() const {
    return trimmedText(m_title->text()).isEmpty() ? QStringLiteral("Titre du document") : m_title->text();
}

QString EditDocSheet::previewSecondLine() const { return projectsui::statusLabel(status()); }

void EditDocSheet::confirm() {
    m_doc->setTitle(trimmedText(m_title->text()));
    m_doc->setStatusRaw(DocStatusInfo::rawValue(status()));
    m_doc->setIconName(selectedIcon());
    m_doc->setColorKey(selectedColorKey());
    m_doc->setColorHex(selectedColorHex());
    m_doc->setUpdatedAt(Clock::now());
    if (const ProjectPtr project = m_doc->project())
        project->setUpdatedAt(Clock::now());
    modelContext().save();   // a failure stays pending in the context, which logs it
}
