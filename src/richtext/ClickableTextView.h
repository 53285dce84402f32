#pragma once

#include "richtext/RichTextFormatting.h"

#include <QTextEdit>

#include <functional>

class QMimeData;

// The editable rich-text view: reports clicks and the begin and end of editing, pastes only what
// the stored RTF can keep, and copies RTF beside the usual formats.
class ClickableTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit ClickableTextView(QWidget* parent = nullptr);

    // Called after the view has handled a mouse press.
    std::function<void()> clickHandler;

    void toggleUnderline();
    void toggleStrikethrough();
    void toggleAttribute(richtext::ToggledAttribute attribute);

    // Pastes `source` at the cursor (what Ctrl+V and drops do).
    void pasteData(const QMimeData* source) { insertFromMimeData(source); }

    // A view that its owner makes as tall as its text never scrolls inside itself, not even for the
    // moment between a new line and its new height; a new height repaints only the rows it gained.
    void setGrowsWithText(bool grows);
    bool growsWithText() const { return m_growsWithText; }

    // Wraps the text at `width` from now on, and at the view's own width from its first resize on: a view
    // given the width it will be placed at lays its text out once, at that width, instead of at each
    // width it passes through before it shows.
    void wrapAtWidth(int width);

    // While a key typed into the text (no Ctrl, Alt or Meta: a character, a deletion, a new line) is
    // being handled.
    bool isHandlingTypedKey() const { return m_handlingTypedKey; }

signals:
    // Focus came in or went out for `reason`; the host decides what counts as editing.
    void editingBegan(Qt::FocusReason reason);
    void editingEnded(Qt::FocusReason reason);
    void resized();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    bool m_growsWithText = false;
    bool m_handlingTypedKey = false;
};
