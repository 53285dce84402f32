#include "projects/EditProjectSheet.h"

#include "core/model/Clock.h"
#include "core/model/SwiftDataContainer.h"
#include "projects/NewProjectSheet.h"

EditProjectSheet::EditProjectSheet(ProjectPtr project, QWidget* parent)
    : ProjectFieldsSheet({QStringLiteral("Modifier le projet"),
                          QStringLiteral("Mettez à jour le nom, la description, la couleur et l’icône."),
                          QStringLiteral("Enregistrer"), 2},
                         NewProjectSheet::projectIconChoices(), project->name(),
                         project->details().value_or(QString()), parent),
      m_project(std::move(project)) {
    setInitialAppearance(*m_project);
}

void EditProjectSheet::confirm() {
    m_project->setName(pickedName());
    m_project->setDetails(pickedDetails());
    writeAppearance(*m_project);
    m_project->setUpdatedAt(Clock::now());
    modelContext().save();   // a failure stays pending in the context, which logs it
}
