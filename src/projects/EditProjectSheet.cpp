#include "projects/EditProjectSheet.h"

#include "projects/NewProjectSheet.h"

#include <QLineEdit>
#include <QPlainTextEdit>

EditProjectSheet::EditProjectSheet(const Services& services, ProjectPtr project, QWidget* parent)
    : ProjectFieldsSheet(services,
                         {QStringLiteral("Modifier le projet"),
                          QStringLiteral("Mettez à jour le nom, la description, la couleur et l’icône."),
                          QStringLiteral("Enregistrer"), 2},
                         NewProjectSheet::projectIconChoices(), project->name(), project->details().value_or(QString()),
                         parent),
      m_project(std::move(project)) {
    setInitialAppearance(*m_project);
}

void EditProjectSheet::confirm() {
    edits().editProject(m_project, nameField()->text(), detailsField()->toPlainText(), pickedLook());
}
