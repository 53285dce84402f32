#pragma once

#include "model/Models.h"

class QComboBox;
class QPlainTextEdit;
class QWidget;

namespace projectsui {

// The status picker's rows: "En cours", "Terminé", "À modifier", each carrying its raw value.
QComboBox* makeStatusPicker(DocStatus initial, QWidget* parent);
DocStatus pickedStatus(const QComboBox* picker);
QString statusLabel(DocStatus status);

// A description field that grows from 3 to 6 lines, then scrolls.
QPlainTextEdit* makeDescriptionField(const QString& text, QWidget* parent);

} // namespace projectsui
