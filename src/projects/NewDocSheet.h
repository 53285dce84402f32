#pragma once

#include "model/Models.h"
#include "projects/SheetForm.h"

class QComboBox;
class QLineEdit;

// Creates a document in a project, with a status, a colour (taken from the project) and an icon.
class NewDocSheet : public ColorIconSheet {
    Q_OBJECT
public:
    NewDocSheet(ProjectPtr project, QWidget* parent = nullptr);

    static const QStringList& docIconChoices();

    ProjectPtr project() const { return m_project; }
    QLineEdit* titleField() const { return m_title; }
    QComboBox* statusField() const { return m_status; }
    DocStatus status() const;
    DocPtr createdDoc() const { return m_created; }

protected:
    QString requiredText() const override;
    QString previewFirstLine() const override;
    QString previewSecondLine() const override;
    void confirm() override;
    void showEvent(QShowEvent* event) override;

private:
    void applyProjectDefaults();

    ProjectPtr m_project;
    QLineEdit* m_title;
    QComboBox* m_status;
    bool m_didInitDefaults = false;
    DocPtr m_created;
};
