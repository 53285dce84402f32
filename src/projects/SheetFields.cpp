#include "projects/SheetFields.h"

#include "platform/ui/Fonts.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace projectsui {

QString statusLabel(DocStatus status) {
    switch (status) {
    case DocStatus::done: return QStringLiteral("Terminé");
    case DocStatus::needsChanges: return QStringLiteral("À modifier");
    case DocStatus::inProgress: break;
    }
    return QStringLiteral("En cours");
}

QComboBox* makeStatusPicker(DocStatus initial, QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (DocStatus s : DocStatusInfo::allCases())
        box->addItem(statusLabel(s), DocStatusInfo::rawValue(s));
    box->setCurrentIndex(box->findData(DocStatusInfo::rawValue(initial)));
    return box;
}

DocStatus pickedStatus(const QComboBox* picker) {
    return DocStatusInfo::fromRaw(picker->currentData().toString()).value_or(DocStatus::inProgress);
}

QPlainTextEdit* makeDescriptionField(const QString& text, QWidget* parent) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setPlainText(text);
    edit->setTabChangesFocus(true);
    auto fit = [edit] {
        const QFontMetrics fm(edit->font());
        int lines = 0;
        // Count wrapped lines, so that long paragraphs grow the field too.
        for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next())
            lines += std::max(1, b.layout() ? b.layout()->lineCount() : 1);
        lines = std::clamp(lines, 3, 6);
        const int frame = 2 * edit->frameWidth() + int(2 * edit->document()->documentMargin());
        edit->setFixedHeight(lines * fm.lineSpacing() + frame);
    };
    QObject::connect(edit->document(), &QTextDocument::contentsChanged, edit, fit);
    fit();
    return edit;
}

} // namespace projectsui
