#pragma once

#include "core/model/Models.h"
#include "projects/SheetFields.h"

// Creates a project from a name, a description, a colour and an icon.
class NewProjectSheet : public ProjectFieldsSheet {
    Q_OBJECT
public:
    explicit NewProjectSheet(const Services& services, QWidget* parent = nullptr);

    static const QStringList& projectIconChoices();

    // The project made by the last confirm, if any.
    ProjectPtr createdProject() const { return m_created; }

protected:
    void confirm() override;

private:
    ProjectPtr m_created;
};
