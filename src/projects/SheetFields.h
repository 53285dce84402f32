#pragma once

#include "core/model/Models.h"
#include "projects/SheetForm.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace projectsui {

// The status picker's rows: "En cours", "Terminé", "À modifier", each carrying its raw value.
QComboBox* makeStatusPicker(DocStatus initial, QWidget* parent);
DocStatus pickedStatus(const QComboBox* picker);
QString statusLabel(DocStatus status);

// Runs of icons that several sheets offer, in the order they show them.
const QStringList& bookIcons(); // books, notes and lists
const QStringList& toolIcons(); // tools, code, settings and locks

// A description field that grows from 3 to 6 lines, then scrolls.
QPlainTextEdit* makeDescriptionField(const QString& text, QWidget* parent);

} // namespace projectsui

// The fields of the project sheets: the name (required) and the optional description.
class ProjectFieldsSheet : public ColorIconSheet {
    Q_OBJECT
public:
    QLineEdit* nameField() const { return m_name; }
    QPlainTextEdit* detailsField() const { return m_details; }

protected:
    ProjectFieldsSheet(const Services& services, const Texts& texts, QStringList iconChoices, const QString& name,
                       const QString& details, QWidget* parent);

    QString requiredText() const override;
    QString previewFirstLine() const override;
    QString previewSecondLine() const override;

private:
    QLineEdit* m_name;
    QPlainTextEdit* m_details;
};

// The fields of the document sheets: the title (required) and the status.
class DocFieldsSheet : public ColorIconSheet {
    Q_OBJECT
public:
    QLineEdit* titleField() const { return m_title; }
    QComboBox* statusField() const { return m_status; }
    DocStatus status() const;

protected:
    DocFieldsSheet(const Services& services, const Texts& texts, QStringList iconChoices, const QString& title,
                   DocStatus status, QWidget* parent);

    QString requiredText() const override;
    QString previewFirstLine() const override;
    QString previewSecondLine() const override;

private:
    QLineEdit* m_title;
    QComboBox* m_status;
};
