#pragma once

#include "model/Models.h"
#include "projects/SheetForm.h"

class QLineEdit;
class QPlainTextEdit;

// Changes a project's name, description, colour and icon.
class EditProjectSheet : public ColorIconSheet {
    Q_OBJECT
public:
    EditProjectSheet(ProjectPtr project, QWidget* parent = nullptr);

    ProjectPtr project() const { return m_project; }
    QLineEdit* nameField() const { return m_name; }
    QPlainTextEdit* detailsField() const { return m_details; }

protected:
    QString requiredText() const override;
    QString previewFirstLine() const override;
    QString previewSecondLine() const override;
    void confirm() override;

private:
    ProjectPtr m_project;
    QLineEdit* m_name;
    QPlainTextEdit* m_details;
};
