#pragma once

#include "core/model/Models.h"
#include "projects/SheetFields.h"

// Changes a project's name, description, colour and icon.
class EditProjectSheet : public ProjectFieldsSheet {
    Q_OBJECT
public:
    EditProjectSheet(const Services& services, ProjectPtr project, QWidget* parent = nullptr);

    ProjectPtr project() const { return m_project; }

protected:
    void confirm() override;

private:
    ProjectPtr m_project;
};
