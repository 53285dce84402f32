#include "editor/AttributedTextView.h"

#include "editor/EditorWidgets.h"
#include "richtext/LargeText.h"
#include "rtf/Rtf.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QResizeEvent>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

AttributedTextViewWrapper::AttributedTextViewWrapper(QWidget* parent) : QTextEdit(parent) {
    makeReadOnlyTextView(this);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::ClickFocus);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    document()->setDefaultFont(Fonts::system(14));
    document()->setDocumentMargin(inset);
    setFixedHeight(minimumHeight);
    applyColors();
}

bool AttributedTextViewWrapper::setRtf(const QByteArray& bytes) {
    QTextDocument* doc = document();
    const bool tooLarge = largetext::isOversized(0, bytes.size());
    // A text of ordinary length keeps its shaping from the first layout on (RTF holds at least as many
    // bytes as the text has characters).
    if (bytes.size() <= largetext::boundedChars) {
        editorui::keepShapedText(doc);
        wrapAtPlacedWidth();
    }
    bool ok;
    if (tooLarge) {
        ok = bytes.startsWith("{\\rtf");
        if (ok)
            largetext::loadPreview(bytes, QString(), *doc);
    } else {
        ok = rtf::read(bytes, *doc);
    }
    doc->setDefaultFont(Fonts::system(14));
    doc->setDocumentMargin(inset);
    m_bounded = tooLarge;
    contentChanged();
    return ok;
}

void AttributedTextViewWrapper::setLongPlainText(const QString& text, const QFont& font) {
    QTextDocument* doc = document();
    m_bounded = largetext::isOversized(text.size(), 0);
    if (!largetext::isBounded(text.size())) {
        editorui::keepShapedText(doc);
        wrapAtPlacedWidth();
    }
    doc->setPlainText(m_bounded ? text.left(largetext::previewChars) : text);
    doc->setDefaultFont(font);
    doc->setDocumentMargin(0);
    contentChanged();
}

void AttributedTextViewWrapper::setCode(const QString& text, const QFont& font) {
    QTextDocument* doc = document();
    m_bounded = largetext::isOversized(text.size(), 0);
    if (!largetext::isBounded(text.size()))
        editorui::keepShapedText(doc);
    // Unwrapped lines take the same places at any width: laid out once, with the text.
    setLineWrapMode(QTextEdit::NoWrap);
    doc->setDefaultFont(font);
    doc->setDocumentMargin(0);
    doc->setPlainText(m_bounded ? text.left(largetext::previewChars) : text);
    contentChanged();
}

void AttributedTextViewWrapper::setTone(std::function<QColor()> tone) {
    m_tone = std::move(tone);
    applyColors();
}

void AttributedTextViewWrapper::contentChanged() {
    m_bounded = m_bounded || largetext::isBounded(document()->characterCount());
    setVerticalScrollBarPolicy(m_bounded ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (m_bounded) {
        // Scrolled inside: Qt lays it out in steps, from the top, at the view's width.
        if (lineWrapMode() != QTextEdit::WidgetWidth)
            setLineWrapMode(QTextEdit::WidgetWidth);
        // Read RTF leaves the caret at the end; showing it there would lay out the whole text.
        setTextCursor(QTextCursor(document()));
        largetext::paceLayout(*document());
        m_height = largetext::boundedHeight;
        setFixedHeight(m_height);
        return;
    }
    editorui::keepShapedText(document());
    m_measuredWidth = -1;
    remeasure();
}

int AttributedTextViewWrapper::measureHeight(int width) const {
    QTextDocument* doc = document();
    const bool laidOut = lineWrapMode() == QTextEdit::NoWrap ||
        (lineWrapMode() == QTextEdit::FixedPixelWidth && width == lineWrapColumnOrWidth());
    if (width > 0 && laidOut)
        return std::max(int(std::ceil(doc->documentLayout()->documentSize().height())), int(minimumHeight));
    const qreal saved = doc->textWidth();
    doc->setTextWidth(std::max(0, width));
    // The document size includes the margin (the inset) on both sides.
    const int h = int(std::ceil(doc->documentLayout()->documentSize().height()));
    if (saved != doc->textWidth())
        doc->setTextWidth(saved);
    return std::max(h, int(minimumHeight));
}

void AttributedTextViewWrapper::remeasure() {
    if (m_bounded)
        return;
    if (lineWrapMode() == QTextEdit::NoWrap) {
        m_height = measureHeight(std::max(1, viewport()->width()));
        setFixedHeight(m_height);
        return;
    }
    // Before a layout places the view its width is Qt's default, not the one it shows at.
    if (!testAttribute(Qt::WA_Resized))
        return;
    const int w = viewport()->width();
    if (w <= 0 || w == m_measuredWidth)
        return;
    m_measuredWidth = w;
    if (lineWrapMode() == QTextEdit::FixedPixelWidth)
        setLineWrapColumnOrWidth(w);
    const int h = measureHeight(w);
    m_height = h;
    if (height() != h)
        setFixedHeight(h);
}

void AttributedTextViewWrapper::wrapAtPlacedWidth() {
    // Qt lays a text out again, shaping it anew, at every resize, and first at the width of a view not
    // placed yet: a text of ordinary length is laid out once placed, at the width we give it.
    if (lineWrapMode() == QTextEdit::FixedPixelWidth)
        return;
    setLineWrapMode(QTextEdit::FixedPixelWidth);
    m_measuredWidth = -1;
    if (testAttribute(Qt::WA_Resized))
        setLineWrapColumnOrWidth(viewport()->width());
    else
        document()->setPageSize(QSizeF(0, 0));
}

void AttributedTextViewWrapper::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        remeasure();
}

void AttributedTextViewWrapper::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyColors();
}

void AttributedTextViewWrapper::applyColors() {
    QPalette p = palette();
    const QColor text = m_tone ? m_tone() : AppPalette::primaryText();
    if (p.color(QPalette::Text) == text && p.color(QPalette::Base) == Qt::transparent)
        return;
    p.setColor(QPalette::Base, Qt::transparent);
    p.setColor(QPalette::Text, text);
    setPalette(p);
}
