#pragma once

// Small painted pieces of the board, each readable through accessibility like a native control.

#include "ui/lists/ListWidgets.h"

#include <QAbstractButton>
#include <QLabel>

#include <functional>

// A text on a capsule (tinted fill at 0.7, separator outline at 0.35), 12 semibold, padded 10 × 6.
class PillLabel : public QLabel {
    Q_OBJECT
public:
    explicit PillLabel(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A symbol-only button in the secondary text colour, named by its help text.
class SymbolButton : public QAbstractButton {
    Q_OBJECT
public:
    SymbolButton(const QString& symbol, qreal symbolSize, int padding, const QString& help, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Alt + arrow keys while focused (moves without a pointer).
    std::function<void(int key)> onMoveKey;
    // A drag started on the button (the column handle).
    std::function<void()> onDragStart;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QString m_symbol;
    qreal m_symbolSize;
    int m_padding;
    QPoint m_pressPos;
    bool m_pressed = false;
};

// "plus" and a title on a soft rounded rectangle: the column's "Ajouter une étape".
class SoftButton : public QAbstractButton {
    Q_OBJECT
public:
    SoftButton(const QString& symbol, const QString& title, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString m_symbol;
};

// A label drawn in the primary or secondary text colour of the current appearance.
class TintLabel : public QLabel {
    Q_OBJECT
public:
    enum Ink { primary, secondary };
    TintLabel(const QString& text, Ink ink, const QFont& font, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ink m_ink;
};

// Plain text wrapped to its width in at most `maxLines` lines, a word too long for a line broken
// anywhere and the last line cut with an ellipsis, so that no text widens what holds it. The whole
// text is its accessible name and, when cut, its tooltip.
class ElidedText : public lists::ClampedText {
    Q_OBJECT
public:
    ElidedText(TintLabel::Ink ink, const QFont& font, int maxLines, QWidget* parent = nullptr);
    void setText(const QString& text);
    // Whether the text shown at the current width is cut.
    bool isCut() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();
};
