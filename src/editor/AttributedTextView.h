#pragma once

#include <QTextEdit>

#include <functional>

// Read-only rich text that takes exactly the height its text needs at its width: text inset 12 on
// every side, at least 44 high. Selectable and copyable, never editable; the background shows through.
// A large text (largetext) is not measured: it keeps a fixed height and scrolls inside it; RTF too large
// to edit shows only its start.
class AttributedTextViewWrapper : public QTextEdit {
    Q_OBJECT
public:
    static constexpr int inset = 12;
    static constexpr int minimumHeight = 44;

    explicit AttributedTextViewWrapper(QWidget* parent = nullptr);

    // Replaces the shown text with the RTF in `data`; false (and nothing shown) when it is not RTF.
    bool setRtf(const QByteArray& data);
    // Shows a long plain text as a label would: no inset, in `font`, cut at largetext's preview when too
    // large to edit.
    void setLongPlainText(const QString& text, const QFont& font);
    // Shows code as written, in `font`: lines never wrap (a longer one is cut at the edge), no inset.
    void setCode(const QString& text, const QFont& font);
    // The colour of the text, read again at every change of palette (primary text unless set).
    void setTone(std::function<QColor()> tone);
    bool isBounded() const { return m_bounded; }
    // The height the text takes at `width`.
    int measureHeight(int width) const;
    int calculatedHeight() const { return m_height; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void remeasure();
    void wrapAtPlacedWidth();
    void contentChanged();
    void applyColors();
    std::function<QColor()> m_tone;
    int m_height = minimumHeight;
    int m_measuredWidth = -1;
    bool m_bounded = false;
};
