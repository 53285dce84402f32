#pragma once

#include "core/model/Models.h"
#include "projects/SheetFields.h"

// Changes a document's title, status, colour and icon.
class EditDocSheet : public DocFieldsSheet {
    Q_OBJECT
public:
    EditDocSheet(const Services& services, DocPtr doc, QWidget* parent = nullptr);

    static const QStringList& editDocIconChoices();

    DocPtr doc() const { return m_doc; }

protected:
    void confirm() override;

private:
    DocPtr m_doc;
};
