#pragma once

#include "richtext/RichTextBindings.h"

#include <QFont>
#include <QImage>
#include <QStaticText>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QMenu;
class QPlainTextEdit;
class QAction;
class QPainter;
class QRegion;

namespace editorui {
class PaintedButton;
class PaintedLabel;
}

// The editor of a code block: a dark panel with the language menu and a copy button above a
// monospaced editor with line numbers. It edits the code and the language through the embedder's
// bindings and reports edits and focus through two callbacks; it saves nothing itself.
class ImprovedCodeBlockView : public QWidget {
    Q_OBJECT
public:
    ImprovedCodeBlockView(TextBinding code, TextBinding language, std::function<void()> onChange,
                          std::function<void()> onFocus, QWidget* parent = nullptr);

    QPlainTextEdit* editor() const { return m_editor; }
    QMenu* languageMenu() const { return m_menu; }
    editorui::PaintedButton* languageButton() const { return m_languageButton; }
    editorui::PaintedButton* copyButton() const { return m_copyButton; }
    editorui::PaintedLabel* gutter() const { return m_gutter; }

    bool didCopy() const { return m_didCopy; }
    bool isFocused() const { return m_isFocused; }
    int lineNumberCount() const;
    // Where each line number sits, in the editor viewport's coordinates: the top, height and
    // baseline of the laid-out line that begins that line of code.
    struct NumberPlace {
        qreal top = 0;
        qreal height = 0;
        qreal baseline = 0;
    };
    QList<NumberPlace> lineNumberPlaces() const;
    void copyCode();
    void chooseLanguage(const QString& name);

signals:
    // The editor is about to grow by `growth` pixels with its code (a new line): the page can scroll
    // ahead of it.
    void aboutToGrow(int growth);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void codeEdited();
    // The embedder's onChange (stamp and save) for the edits so far, if one is waiting.
    void reportChange();
    // Keeps m_stored in step with one change of the editor's document.
    void followChange(int position, int removed, int added);
    // Works the stored code out again from the editor's whole text.
    void resyncStored(bool loaded);
    void countBreaksInBlocks();
    void refreshLanguage();
    void refreshGutter(bool force = false);
    // The code's panel (fill, gutter backing, outline) in its own coordinates, and the part of it
    // under one of its children (the gutter, the editor's viewport), which are opaque and paint it
    // themselves: a key repaints nothing behind them.
    void paintArea(QPainter& p, const QRectF& r, const QRect& dirty) const;
    void paintPanelUnder(const QWidget& child, QPainter& p, const QRect& dirty) const;
    // The panel's pixels along its outline (the sides and the rounded corners), in its coordinates, and
    // their repaint after the outline's look changed (focus, language).
    QRegion outlineRegion() const;
    void updateOutline();
    // The panel's pixels along its outline, painted once per look and kept: a typed line reaches the
    // side, and often a corner, where the rounded shape costs more to paint than the line. False
    // when the painter does not draw pixel for pixel.
    bool paintKeptEdges(QPainter& p, const QRect& inArea, const QPoint& at, const QColor& card) const;
    void fitEditorHeight();
    void applyColors();
    void paintGutter(QPainter& p, const editorui::PaintedLabel& gutter) const;
    QFont gutterFont() const;
    QList<NumberPlace> computePlaces() const;
    const QList<NumberPlace>& currentPlaces() const;
    // The editor laid lines out again: repaints the numbers of the lines that moved, and only those.
    void linesMayHaveMoved();
    qreal gutterShift() const;

    TextBinding m_code;
    TextBinding m_language;
    std::function<void()> m_onChange;
    std::function<void()> m_onFocus;
    QWidget* m_header = nullptr;
    QWidget* m_area = nullptr;
    QPlainTextEdit* m_editor = nullptr;
    QMenu* m_menu = nullptr;
    editorui::PaintedButton* m_languageButton = nullptr;
    editorui::PaintedButton* m_copyButton = nullptr;
    editorui::PaintedLabel* m_gutter = nullptr;
    bool m_didCopy = false;
    bool m_isFocused = false;
    bool m_loading = false;
    bool m_changeWaiting = false;
    int m_lines = 1;
    int m_gutterWidth = 32;
    // The code as stored, kept up to date change by change while all its lines end alike
    // (m_ending); with mixed endings, or a change it cannot follow, it is read from the whole text.
    QString m_stored;
    QString m_ending;
    int m_blockCount = 1;
    // Line breaks inside the editor's paragraphs (line separators, form feeds…): numbered lines too.
    int m_breaksInBlocks = 0;
    // Where the numbers go, kept from one layout change to the next: a key that leaves every line in
    // place repaints no number.
    mutable QList<NumberPlace> m_places;
    mutable bool m_placesDirty = true;
    bool m_linesMayHaveMoved = false;
    qreal m_layoutLines = -1;
    // The laid-out lines' height with the top margin, added up with the places.
    mutable qreal m_contentHeight = 0;
    // Each number shaped once, at the gutter's font.
    struct ShapedNumber {
        QStaticText text;
        qreal width = 0;
    };
    QFont m_numberFont;
    mutable std::vector<ShapedNumber> m_numbers;
    // What the kept outline was painted for, and its pieces: the top and bottom bands, the sides.
    struct EdgeLook {
        int width = 0;
        int gutter = 0;
        bool focused = false;
        QColor outline;
        QColor card;
        bool operator==(const EdgeLook&) const = default;
    };
    mutable EdgeLook m_edgeLook;
    mutable QImage m_edgeImages[4];
};

// A code block in view mode: language label, copy button and the code, read-only and selectable.
class CodeReadView : public QWidget {
    Q_OBJECT
public:
    CodeReadView(QWidget* parent = nullptr);
    void setCode(const QString& code, const std::optional<QString>& language);
    editorui::PaintedButton* copyButton() const { return m_copy; }
    QString languageLabel() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_code;
    class QLabel* m_language = nullptr;
    class AttributedTextViewWrapper* m_text = nullptr;
    editorui::PaintedButton* m_copy = nullptr;
    QWidget* m_headerRow = nullptr;
};
