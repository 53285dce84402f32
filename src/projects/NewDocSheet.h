#pragma once

#include "core/model/Models.h"
#include "projects/SheetFields.h"

// Creates a document in a project, with a status, a colour (taken from the project) and an icon.
class NewDocSheet : public DocFieldsSheet {
    Q_OBJECT
public:
    NewDocSheet(const Services& services, ProjectPtr project, QWidget* parent = nullptr);

    static const QStringList& docIconChoices();

    ProjectPtr project() const { return m_project; }
    DocPtr createdDoc() const { return m_created; }

protected:
    void confirm() override;
    void showEvent(QShowEvent* event) override;

private:
    void applyProjectDefaults();

    ProjectPtr m_project;
    bool m_didInitDefaults = false;
    DocPtr m_created;
};
