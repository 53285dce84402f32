#pragma once

#include "model/Models.h"
#include "projects/SheetForm.h"

class QComboBox;
class QLineEdit;

// Changes a document's title, status, colour and icon.
class EditDocSheet : public ColorIconSheet {
    Q_OBJECT
public:
    EditDocSheet(DocPtr doc, QWidget* parent = nullptr);

    static const QStringList& editDocIconChoices();

    DocPtr doc() const { return m_doc; }
    QLineEdit* titleField() const { return m_title; }
    QComboBox* statusField() const { return m_status; }
    DocStatus status() const;

protected:
    QString requiredText() const override;
    QString previewFirstLine() const override;
    QString previewSecondLine() const override;
    void confirm() override;

private:
    DocPtr m_doc;
    QLineEdit* m_title;
    QComboBox* m_status;
};
