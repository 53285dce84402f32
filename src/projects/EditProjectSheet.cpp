#include "projects/EditProjectSheet.h"

#include "model/Clock.h"
#include "model/SwiftDataContainer.h"
#include "projects/NewProjectSheet.h"
#include "projects/SheetFields.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

EditProjectSheet::EditProjectSheet(ProjectPtr project, QWidget* parent)
    : ColorIconSheet({QStringLiteral("Modifier le projet"),
                      QStringLiteral("Mettez à jour le nom, la description, la couleur et l’icône."),
                      QStringLiteral("Enregistrer"), 2},
                     NewProjectSheet::projectIconChoices(), parent),
      m_project(std::move(project)) {
    m_name = new QLineEdit(m_project->name(), this);
    m_name->setObjectName(QStringLiteral("nameField"));
    m_details = projectsui::makeDescriptionField(m_project->details().value_or(QString()), this);
    m_details->setObjectName(QStringLiteral("detailsField"));
    fieldsLayout()->addRow(QStringLiteral("Nom du projet"), m_name);
    fieldsLayout()->addRow(QStringLiteral("Description (optionnel)"), m_details);
    connect(m_name, &QLineEdit::textChanged, this, [this] { fieldsChanged(); });
    connect(m_details, &QPlainTextEdit::textChanged, this, [this] { fieldsChanged(); });
    setInitialIcon(m_project->iconName());
    setInitialColors(m_project->colorKey().value_or(QStringLiteral("blue")), m_project->colorHex());
    m_name->setFocus();
}

QString EditProjectSheet::requiredText() const { return m_name->text(); }

QString EditProjectSheet::previewFirstLine() const {
    return trimmedText(m_name->text()).isEmpty() ? QStringLiteral("Nom du projet") : m_name->text();
}

QString EditProjectSheet::previewSecondLine() const {
    const QString details = m_details->toPlainText();
    return trimmedText(details).isEmpty() ? QStringLiteral("Description (optionnel)") : details;
}

void EditProjectSheet::confirm() {
    const QString name = trimmedText(m_name->text());
    const QString details = trimmedText(m_details->toPlainText());
    m_project->setName(name);
    m_project->setDetails(details.isEmpty() ? OptText() : OptText(details));
    m_project->setIconName(selectedIcon());
    m_project->setColorKey(selectedColorKey());
    m_project->setColorHex(selectedColorHex());
    m_project->setUpdatedAt(Clock::now());
    modelContext().save();   // a failure stays pending in the context, which logs it
}
