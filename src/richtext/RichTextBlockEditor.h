#pragma once

#include "richtext/RichTextBindings.h"
#include "richtext/RichTextEnvironment.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class ClickableTextView;
class QVariantAnimation;
class RichTextEditorWrapper;
class RichTextToolbar;

// The rich-text editor every screen embeds: the formatting toolbar (while focused) above the
// editable text. It keeps the text in the embedder's two bindings (plain text and RTF), sizes its
// text area to the text, and never saves anything itself.
//
// Every change, typed or a change of format, writes the RTF, then (when it changed) the plain text,
// then calls onChange; a large text paces these writes (see RichTextEditorWrapper). Before its final save an embedder calls
// flushRtf() (or changes the forceSaveRTF value), which writes the RTF at once.
class RichTextBlockEditor : public QWidget {
    Q_OBJECT
public:
    // `width`, when known: the width the editor will be placed at, at which its text is laid out once.
    RichTextBlockEditor(const RichTextEnvironment& environment, TextBinding content, RtfBinding richTextData,
                        bool forceSaveRTF, std::function<void()> onChange, std::function<void()> onFocus,
                        QWidget* parent = nullptr, int width = 0);
    ~RichTextBlockEditor() override;

    // The flush request: every change of the value writes the RTF of the whole text at once.
    void setForceSaveRTF(bool value);
    bool forceSaveRTF() const { return m_forceSaveRTF; }
    // Writes the RTF of the whole text into the RTF binding now (the plain text is left alone,
    // onChange is not called). Text the user did not edit is not written: its stored RTF may hold
    // what our writer cannot. Returns whether it wrote.
    bool flushRtf();
    bool isEdited() const;

    // The embedder changed the bound plain text: reload when it differs from what the editor knows.
    void syncFromBindings();

    bool isFocused() const;
    bool isToolbarShown() const { return m_showToolbar; }
    qreal calculatedHeight() const;

    ClickableTextView* textView() const;
    RichTextToolbar* toolbar() const { return m_toolbar; }
    RichTextEditorWrapper* wrapper() const { return m_wrapper; }

    // Toolbar height plus its 8 of spacing, when shown.
    static int toolbarBlockHeight();
    // The editor, its toolbar included, is at least `height` tall: the text area takes what the toolbar
    // leaves, so that showing the toolbar moves nothing below and no empty band lies under the text.
    void setMinimumTotalHeight(int height);

signals:
    void focusedChanged(bool focused);
    // The text area took a new height (the measured text height plus insets, at least 100).
    void calculatedHeightChanged(qreal height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void focusChanged(bool focused);
    void setToolbarProgress(qreal progress);
    void updateBackdrop();
    void layoutChildren();

    std::function<void()> m_onFocus;
    bool m_forceSaveRTF;
    bool m_showToolbar = false;
    qreal m_toolbarProgress = 0;
    int m_minimumTotal = 0;
    QWidget* m_toolbarSlot = nullptr;
    RichTextToolbar* m_toolbar = nullptr;
    RichTextEditorWrapper* m_wrapper = nullptr;
    QVariantAnimation* m_animation = nullptr;
};
