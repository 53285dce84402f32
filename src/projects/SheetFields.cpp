#include "projects/SheetFields.h"

#include "ui/Fonts.h"
#include "ui/lists/Paging.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
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

const QStringList& bookIcons() {
    static const QStringList icons{"book.fill", "books.vertical.fill",   "text.book.closed.fill",
                                   "note.text", "list.bullet.rectangle", "checklist"};
    return icons;
}

const QStringList& toolIcons() {
    static const QStringList icons{"hammer.fill",
                                   "wrench.and.screwdriver.fill",
                                   "terminal.fill",
                                   "curlybraces",
                                   "chevron.left.forwardslash.chevron.right",
                                   "gearshape.fill",
                                   "slider.horizontal.3",
                                   "bolt.fill",
                                   "lock.fill",
                                   "key.fill",
                                   "shield.fill",
                                   "shield.lefthalf.filled"};
    return icons;
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

ProjectFieldsSheet::ProjectFieldsSheet(const Services& services, const Texts& texts, QStringList iconChoices,
                                       const QString& name, const QString& details, QWidget* parent)
    : ColorIconSheet(services, texts, std::move(iconChoices), parent) {
    m_name = addField(QStringLiteral("Nom du projet"), new QLineEdit(name, this), QStringLiteral("nameField"),
                      &QLineEdit::textChanged);
    m_details = addField(QStringLiteral("Description (optionnel)"), projectsui::makeDescriptionField(details, this),
                         QStringLiteral("detailsField"), &QPlainTextEdit::textChanged);
    m_name->setFocus();
}

QString ProjectFieldsSheet::requiredText() const { return m_name->text(); }

QString ProjectFieldsSheet::previewFirstLine() const {
    return lists::trimmed(m_name->text()).isEmpty() ? QStringLiteral("Nom du projet") : m_name->text();
}

QString ProjectFieldsSheet::previewSecondLine() const {
    const QString details = m_details->toPlainText();
    return lists::trimmed(details).isEmpty() ? QStringLiteral("Description (optionnel)") : details;
}

DocFieldsSheet::DocFieldsSheet(const Services& services, const Texts& texts, QStringList iconChoices,
                               const QString& title, DocStatus status, QWidget* parent)
    : ColorIconSheet(services, texts, std::move(iconChoices), parent) {
    m_title = addField(QStringLiteral("Titre"), new QLineEdit(title, this), QStringLiteral("titleField"),
                       &QLineEdit::textChanged);
    m_status = addField(QStringLiteral("Statut"), projectsui::makeStatusPicker(status, this),
                        QStringLiteral("statusField"), &QComboBox::currentIndexChanged);
    m_title->setFocus();
}

DocStatus DocFieldsSheet::status() const { return projectsui::pickedStatus(m_status); }

QString DocFieldsSheet::requiredText() const { return m_title->text(); }

QString DocFieldsSheet::previewFirstLine() const {
    return lists::trimmed(m_title->text()).isEmpty() ? QStringLiteral("Titre du document") : m_title->text();
}

QString DocFieldsSheet::previewSecondLine() const { return projectsui::statusLabel(status()); }
