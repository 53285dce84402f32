#pragma once

#include <QAbstractButton>
#include <QLabel>

#include <array>
#include <functional>
#include <utility>

class QTextDocument;

// Small painted controls of the editor. Each keeps its text in the standard widget property (a
// button's text, a label's text), so the accessibility layer reads it as it reads any button or label.
namespace editorui {

// A button drawn by a paint function; its size is fixed by the caller's size hint.
class PaintedButton : public QAbstractButton {
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter&, const PaintedButton&)>;
    PaintedButton(const QString& text, Painter painter, QWidget* parent = nullptr);

    void setPainter(Painter painter);
    void setHint(const QSize& size);
    QSize sizeHint() const override { return m_hint; }
    QSize minimumSizeHint() const override { return m_hint; }
    bool isHovered() const { return m_hovered; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Painter m_painter;
    QSize m_hint{28, 28};
    bool m_hovered = false;
};

// A label drawn by a paint function (symbols beside the text, capsules); the text stays readable.
class PaintedLabel : public QLabel {
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter&, const PaintedLabel&)>;
    PaintedLabel(const QString& text, Painter painter, QWidget* parent = nullptr);
    void setPainter(Painter painter);
    void setHint(const QSize& size);
    QSize sizeHint() const override { return m_hint; }
    QSize minimumSizeHint() const override { return m_hint; }
    // While the painter runs: the part of the label being painted (the rest is clipped away).
    const QRect& paintedRect() const { return m_paintedRect; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Painter m_painter;
    QSize m_hint{28, 28};
    QRect m_paintedRect;
};

// A decorative picture (a symbol in a circle): no text, so nothing for a screen reader to read.
class PaintedWidget : public QWidget {
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter&, const QWidget&)>;
    PaintedWidget(const QSize& size, Painter painter, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Painter m_painter;
};

// A label whose text colour is recomputed from `tone` whenever the application's palette changes
// (a theme switch), so secondary and tinted texts follow light and dark.
class ToneLabel : public QLabel {
    Q_OBJECT
public:
    ToneLabel(const QString& text, const QFont& font, std::function<QColor()> tone, QWidget* parent = nullptr);
    void applyTone();
    int heightForWidth(int width) const override;

protected:
    void changeEvent(QEvent* event) override;

private:
    std::function<QColor()> m_tone;
    bool m_applying = false;
    // QLabel lays a wrapped text out twice at every ask, and the nested layouts of a page ask again and
    // again, at a few widths, in each pass.
    struct Measured {
        QString text;
        QFont font;
        QMargins margins;
        int margin = 0;
        int indent = 0;
        bool wrap = false;
        Qt::TextFormat format = Qt::AutoText;
        bool operator==(const Measured&) const = default;
    };
    mutable Measured m_measured;
    mutable std::array<std::pair<int, int>, 4> m_heights{{{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}};
    mutable size_t m_nextHeight = 0;
};

// Keeps the shaped glyphs of every paragraph of `doc`, and of those added later (before they are laid
// out), from one layout and paint to the next: Qt shapes a paragraph again at every layout and paint
// otherwise, which costs a read-only text most of its frame when the page scrolls. For texts of
// ordinary length only (the glyphs take memory).
void keepShapedText(QTextDocument* doc);

// Width of `text` in `font`, rounded up.
int textWidth(const QFont& font, const QString& text);

// Symbol (left) + text in a rect, vertically centred; returns the drawn width.
void drawSymbolText(QPainter& p, const QRectF& rect, const QString& symbol, qreal symbolPx, const QColor& symbolColor,
                    const QString& text, const QFont& font, const QColor& textColor, qreal spacing,
                    Qt::Alignment align = Qt::AlignCenter);
qreal symbolTextWidth(qreal symbolPx, const QString& text, const QFont& font, qreal spacing);

} // namespace editorui
