#pragma once

#include "ui/ShapedText.h"

#include <QWidget>

#include <utility>
#include <vector>

// A label of plain text, sized, wrapped and drawn as a QLabel with plain text is, but measured and drawn
// from one shaping of its text (ShapedText): a QLabel shapes its text again for every size a layout asks
// and for every paint. Texts ShapedText does not handle (right to left, tabs, very long) take Qt's own
// text path. Screen readers read it as static text named by its text; a blank label is not read.
class TextLabel : public QWidget {
    Q_OBJECT
public:
    explicit TextLabel(const QString& text = {}, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    void setWordWrap(bool on);
    bool wordWrap() const { return m_wrap; }
    // As QLabel: left and vertically centred by default.
    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const { return m_align; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // As QLabel: an empty label has no height for width.
    bool hasHeightForWidth() const override { return m_wrap && !m_text.isEmpty(); }
    int heightForWidth(int width) const override;

protected:
    // The colour of the text; by default the palette's colour for the foreground role.
    virtual QColor textColor() const;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The size of the text at `width` (no wrapping below zero), as QFontMetrics::boundingRect gives it.
    QSize textSize(int width) const;
    // QLabel's size for a width: -1 its preferred size, 0 its narrowest.
    QSize sizeForWidth(int width) const;
    void invalidate();
    int flags() const;

    QString m_text;
    bool m_wrap = false;
    Qt::Alignment m_align = Qt::AlignLeft | Qt::AlignVCenter;
    mutable ShapedText m_shaped;
    mutable QSize m_hint, m_minimumHint;
    mutable bool m_hintsValid = false;
    mutable std::vector<std::pair<int, int>> m_heights; // width, height: the last few asked
};
