#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QString>

#include <limits>
#include <memory>
#include <vector>

class QPainter;
class QTextLayout;

// One plain text in one font, shaped once, then broken into lines at any width from that one shaping.
// Layouts measure a label at several widths while a window is placed, and measuring through QFontMetrics,
// QLabel or QPainter::drawText shapes the whole text again at every question: most of what a short label
// costs. Lines break as Qt's word wrap breaks them: at line-break opportunities, trailing spaces hanging past
// the width, a word longer than the width overflowing (or cut between characters with `anywhere`); '\n'
// always starts a line. Right-to-left and very long texts are not handled (isSupported() is false): callers
// keep Qt's own text path for them.
class ShapedText {
public:
    ShapedText();
    ShapedText(const QString& text, const QFont& font);
    ~ShapedText();
    ShapedText(ShapedText&&) noexcept;
    ShapedText& operator=(ShapedText&&) noexcept;

    // Keeps the shaping while neither changes.
    void set(const QString& text, const QFont& font);
    const QString& text() const { return m_text; }
    const QFont& font() const { return m_font; }
    bool isSupported() const;

    // A range of the text on one line; `width` leaves out the spaces at its end.
    struct Line {
        int start = 0;
        int length = 0;
        qreal width = 0;
    };
    // The lines at `width`; a negative width breaks only at '\n'.
    std::vector<Line> lines(qreal width, bool anywhere = false) const;
    // The widest line when breaking only at '\n'.
    qreal naturalWidth() const;
    // The advance of a range within one line, its spaces included.
    qreal advance(int start, int length) const;
    // The size QFontMetrics::boundingRect(QRect(0, 0, width, big), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
    // text) gives (without TextWordWrap for a negative width): lines stacked on whole pixels, leading between.
    QSize boundingSize(int width) const;
    // Height of one line (ascent and descent), as the lines are stacked by boundingSize().
    qreal lineHeight() const;
    qreal ascent() const;

    // Draws `line` (from lines()) with its left edge at x and the top of its line box at y, with the pen.
    void drawLine(QPainter& p, const Line& line, const QPointF& topLeft) const;
    // Draws the text as QPainter::drawText(rect, flags, text) does, for flags made of an alignment and
    // Qt::TextWordWrap; a text not handled here is given to drawText itself.
    void draw(QPainter& p, const QRectF& rect, int flags) const;

private:
    void shape() const;
    qreal xAt(int position) const { return m_x[size_t(position)]; }

    QString m_text;
    QFont m_font;
    mutable bool m_shaped = false;
    // One line per hard line, at an unbounded width, glyphs kept.
    mutable std::unique_ptr<QTextLayout> m_layout;
    // For each position: its x within its hard line, and which hard line it is on.
    mutable std::vector<qreal> m_x;
    mutable std::vector<int> m_hardLine;
    mutable qreal m_lineHeight = 0;
    mutable qreal m_ascent = 0;
    mutable qreal m_leading = 0;
};

// Lines broken by Qt's own layout, for the texts ShapedText does not take (right-to-left, tabs): '\n'
// ends a line; at most `maxLines`.
std::vector<ShapedText::Line> qtLineBreaks(const QString& text, const QFont& font, qreal width,
                                           int maxLines = std::numeric_limits<int>::max());

// One line of text elided at the right to a width, drawn as QPainter::drawText would draw the elided
// text, shaped once per text and width: rows that repaint on every frame of a hover would shape it at
// every paint.
class ElidedLine {
public:
    // `elideWidth` as given to QFontMetrics::elidedText.
    void draw(QPainter& p, const QRectF& rect, int flags, const QString& text, const QFont& font, int elideWidth);
    // The text's advance on one line.
    qreal naturalWidth(const QString& text, const QFont& font);

private:
    ShapedText m_full;
    ShapedText m_elided;
    QString m_elidedFrom;
    int m_elidedWidth = -1;
};
