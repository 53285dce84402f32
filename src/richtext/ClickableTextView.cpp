#include "richtext/ClickableTextView.h"

#include "richtext/RichTextPaste.h"
#include "rtf/Rtf.h"

#include <QFocusEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextDocument>
#include <QTextDocumentFragment>

ClickableTextView::ClickableTextView(QWidget* parent) : QTextEdit(parent) {}

void ClickableTextView::toggleUnderline() { toggleAttribute(richtext::ToggledAttribute::underline); }

void ClickableTextView::toggleStrikethrough() { toggleAttribute(richtext::ToggledAttribute::strikethrough); }

void ClickableTextView::toggleAttribute(richtext::ToggledAttribute attribute) {
    richtext::toggleAttribute(this, attribute);
}

void ClickableTextView::mousePressEvent(QMouseEvent* event) {
    QTextEdit::mousePressEvent(event);
    if (clickHandler)
        clickHandler();
}

void ClickableTextView::focusInEvent(QFocusEvent* event) {
    QTextEdit::focusInEvent(event);
    emit editingBegan(event->reason());
}

void ClickableTextView::focusOutEvent(QFocusEvent* event) {
    QTextEdit::focusOutEvent(event);
    emit editingEnded(event->reason());
}

void ClickableTextView::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    emit resized();
}

bool ClickableTextView::canInsertFromMimeData(const QMimeData* source) const { return richtext::canPaste(source); }

void ClickableTextView::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly())
        return;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    richtext::paste(cursor, source);
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData* ClickableTextView::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return QTextEdit::createMimeDataFromSelection();
    // Qt's own data lists a fixed set of formats; ours adds RTF, first in line for our own paste,
    // so every kept attribute survives a copy.
    const QTextDocumentFragment fragment = cursor.selection();
    auto* mime = new QMimeData;
    mime->setText(fragment.toPlainText());
    mime->setHtml(fragment.toHtml());
    QTextDocument selection;
    selection.setDefaultFont(document()->defaultFont());
    QTextCursor(&selection).insertFragment(fragment);
    mime->setData(richtext::rtfMimeTypes().first(), rtf::write(selection));
    return mime;
}
