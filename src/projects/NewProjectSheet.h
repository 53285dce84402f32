#pragma once

#include "model/Models.h"
#include "projects/SheetForm.h"

class QLineEdit;
class QPlainTextEdit;

// Creates a project from a name, a description, a colour and an icon.
class NewProjectSheet : public ColorIconSheet {
    Q_OBJECT
public:
    explicit NewProjectSheet(QWidget* parent = nullptr);

    static const QStringList& projectIconChoices();

    QLineEdit* nameField() const { return m_name; }
    QPlainTextEdit* detailsField() const { return m_details; }
    // The project made by the last confirm, if any.
    ProjectPtr createdProject() const { return m_created; }

protected:
    QString requiredText() const override;
    QString previewFirstLine() const override;
    QString previewSecondLine() const override;
    void confirm() override;

private:
    QLineEdit* m_name;
    QPlainTextEdit* m_details;
    ProjectPtr m_created;
};
