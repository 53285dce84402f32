#include "richtext/ClickableTextView.h"

#include "richtext/LargeText.h"
#include "richtext/RichTextPaste.h"
#include "ui/DialogSeam.h"
#include "rtf/Rtf.h"
#include "ui/Components.h"

#include <QAbstractTextDocumentLayout>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <algorithm>
#include <utility>

ClickableTextView::ClickableTextView(QWidget* parent) : QTextEdit(parent) {
    // The text stays where it is when the view grows or shrinks below it.
    keepPaintingOnResize(this);
    keepPaintingOnResize(viewport());
    // Qt scrolls the caret's new line into view before the view takes its new height, and back once it
    // has: the whole view would be repainted twice for one line.
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        if (m_growsWithText && maximum > 0)
            verticalScrollBar()->setRange(0, 0);
    });
}

void ClickableTextView::setGrowsWithText(bool grows) {
    if (grows == m_growsWithText)
        return;
    m_growsWithText = grows;
    if (grows) {
        verticalScrollBar()->setRange(0, 0);
    } else if (QAbstractTextDocumentLayout* layout = document()->documentLayout()) {
        // The range Qt works out from the text's size, given back.
        emit layout->documentSizeChanged(layout->documentSize());
    }
}

void ClickableTextView::toggleUnderline() { toggleAttribute(richtext::ToggledAttribute::underline); }

void ClickableTextView::toggleStrikethrough() { toggleAttribute(richtext::ToggledAttribute::strikethrough); }

void ClickableTextView::toggleAttribute(richtext::ToggledAttribute attribute) {
    richtext::toggleAttribute(this, attribute);
}

void ClickableTextView::keyPressEvent(QKeyEvent* event) {
    const bool typed = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const bool outer = std::exchange(m_handlingTypedKey, typed);
    QTextEdit::keyPressEvent(event);
    m_handlingTypedKey = outer;
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

void ClickableTextView::wrapAtWidth(int width) {
    setLineWrapMode(QTextEdit::FixedPixelWidth);
    setLineWrapColumnOrWidth(std::max(1, width));
}

void ClickableTextView::resizeEvent(QResizeEvent* event) {
    // A hidden view gets its resize when it shows, at its placed width.
    if (lineWrapMode() == QTextEdit::FixedPixelWidth && viewport()->width() > 0 &&
        viewport()->width() != lineWrapColumnOrWidth())
        setLineWrapColumnOrWidth(viewport()->width());
    QTextEdit::resizeEvent(event);
    // A new width wraps the text again.
    if (event->oldSize().width() != width())
        viewport()->update();
    emit resized();
}

bool ClickableTextView::canInsertFromMimeData(const QMimeData* source) const { return richtext::canPaste(source); }

void ClickableTextView::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly())
        return;
    QTextCursor cursor = textCursor();
    // What would take the text past the editable limit is refused whole, and said: pasting it would hold
    // the window for a minute, and the text could not be edited or written afterwards.
    const qsizetype kept = document()->characterCount() - 1 - (cursor.selectionEnd() - cursor.selectionStart());
    cursor.beginEditBlock();
    const richtext::PasteResult result =
        richtext::paste(cursor, source, std::max<qsizetype>(0, largetext::maxEditableChars - kept));
    cursor.endEditBlock();
    if (result == richtext::PasteResult::tooLarge) {
        DialogSeam::Message m;
        m.icon = QMessageBox::Warning;
        m.text = richtext::pasteTooLargeText();
        m.informativeText = richtext::pasteTooLargeDetail(largetext::maxEditableChars);
        DialogSeam::open(window(), m);
        return;
    }
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
