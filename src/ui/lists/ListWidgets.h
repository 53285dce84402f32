#pragma once

#include "ui/ShapedText.h"

#include <QAbstractButton>
#include <QToolButton>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QMenu;

// Small painted widgets of the list screens (projects, documents, checklists). Colours are read at
// paint time, so an appearance change needs only a repaint. Every one that shows text or takes a
// click is exposed to accessibility (see the comments of each).
class QPainter;

namespace lists {

using ColorFn = std::function<QColor()>;

// Names an icon-only control for a screen reader and for the pointer's help text.
void nameControl(QWidget* control, const QString& name);

// Whether the control shows its focus ring: it has the focus and the window was last moved through with
// the keyboard (a mouse click focuses nothing here, and leaves no ring).
bool showsFocusRing(const QWidget* control);
// The ring: 2 wide, in the accent blue, inside `r`.
void paintFocusRing(QPainter& p, const QRectF& r, qreal radius);

// Lays on `widget`'s whole rectangle what `draw` paints there, drawn once per `look` (with the size and
// the pixel ratio) and kept: a page repaints the same few looks dozens of times per keystroke.
void paintCachedLook(QPainter& p, const QWidget* widget, const QString& look,
                     const std::function<void(QPainter&)>& draw);
// The same in `target` (whole pixels, in the painter's coordinates): `draw` paints a rectangle of its
// size at the origin.
void paintCachedLook(QPainter& p, const QRect& target, const QString& look,
                     const std::function<void(QPainter&, const QRectF&)>& draw);

// A symbol in a fixed frame, drawn at an opacity: a dimmed control stays clickable and does nothing
// by itself (its owner checks). Name it with nameControl().
class SymbolButton : public QAbstractButton {
    Q_OBJECT
public:
    SymbolButton(QString symbol, qreal symbolPx, QSize frame, ColorFn color, QWidget* parent = nullptr);
    void setDimmed(bool dimmed);
    bool isDimmed() const { return m_dimmed; }
    qreal opacity() const { return m_dimmed ? 0.35 : 1.0; }
    QSize sizeHint() const override { return m_frame; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_symbol;
    qreal m_px;
    QSize m_frame;
    ColorFn m_color;
    bool m_dimmed = false;
};

// A bare symbol (decoration: not exposed), in a colour given or read at paint time.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    SymbolView(qreal px, QWidget* parent = nullptr);
    void setSymbol(const QString& name, const QColor& color);
    // The colour read at each paint (follows the appearance); overrides the fixed colour.
    void setColorFn(ColorFn color);
    QString symbol() const { return m_symbol; }
    QColor color() const { return m_colorFn ? m_colorFn() : m_color; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal m_px;
    QString m_symbol;
    QColor m_color;
    ColorFn m_colorFn;
};

// A coloured icon tile: rounded square filled with the tint at 0.14, stroked at 0.22, symbol in the tint.
class TileView : public QWidget {
    Q_OBJECT
public:
    TileView(int size, qreal radius, qreal symbolPx, QWidget* parent = nullptr);
    void setSymbol(const QString& name, const QColor& tint);
    QString symbol() const { return m_symbol; }
    QColor tint() const { return m_tint; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal m_radius, m_px;
    QString m_symbol;
    QColor m_tint;
};

// Text wrapped to the width and cut after `maxLines` lines with an ellipsis (0: no limit). Exposed as
// static text named by the whole text; a blank or transparent text is not exposed. A clamped text
// lays out only the part its lines can show, so a text of any length stays cheap.
class ClampedText : public QWidget {
    Q_OBJECT
public:
    ClampedText(const QFont& font, ColorFn color, int maxLines, QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return m_text; }
    void setAlignment(Qt::Alignment a) {
        m_align = a;
        update();
    }
    void setTextOpacity(qreal o) {
        m_opacity = o;
        update();
    }
    qreal textOpacity() const { return m_opacity; }
    // Takes no height while the text is empty, and keeps `top` above the text otherwise. Cheaper than
    // hiding and showing: showing a child lays out every ancestor at once.
    void setCollapsible(int top);
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The lines shown at this width (tests).
    QStringList visibleLines(int width) const;

    // One laid-out line: a range of the text.
    struct Line {
        int start = 0;
        int length = 0;
    };
    struct Layout {
        std::vector<Line> lines;
        QString elidedLast; // set when the last line was cut with an ellipsis
        int height = 0;
        int width = -1;
        mutable std::shared_ptr<ShapedText> elidedShaped; // the cut line, shaped when first drawn
    };

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const Layout& layoutFor(int width) const;
    QString lineText(const Layout& layout, size_t index) const;

    // The text shaped once, for a text short enough (see ShapedText); longer ones are laid out in parts.
    const ShapedText* shaped() const;

    QString m_text;
    QString m_source; // as given
    QFont m_font;
    QString m_fontKey;
    // Shared with the other texts showing the same words (see recentShape); null until first asked.
    mutable std::shared_ptr<const ShapedText> m_shaped;
    mutable bool m_shapedChecked = false;
    ColorFn m_color;
    int m_maxLines;
    Qt::Alignment m_align = Qt::AlignLeft;
    qreal m_opacity = 1;
    bool m_collapsible = false;
    int m_top = 0;
    // The last widths asked: layouts ask for the minimum, the hint, the offered and the final width in turn.
    static constexpr int kCachedWidths = 4;
    mutable Layout m_cache[kCachedWidths];
    mutable int m_nextSlot = 0;
};

// A hairline in a colour read at paint time.
class Divider : public QWidget {
    Q_OBJECT
public:
    Divider(ColorFn color, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {1, 1}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    ColorFn m_color;
};

// The "…" menu of rows and cards: "Modifier", a divider, "Supprimer" (drawn as destructive). Named
// "Actions" for a screen reader; pressing it opens the menu.
class EllipsisButton : public QToolButton {
    Q_OBJECT
public:
    // backgroundOpacity < 0: no background.
    EllipsisButton(QSize frame, qreal symbolPx, qreal backgroundOpacity, QWidget* parent = nullptr);
    QSize sizeHint() const override { return m_frame; }
    QAction* editAction() const { return m_edit; }
    QAction* deleteAction() const { return m_delete; }
    QMenu* ensureMenu();

signals:
    void editRequested();
    void deleteRequested();
    void menuHidden();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    QSize m_frame;
    qreal m_px;
    qreal m_bgOpacity;
    QAction* m_edit;
    QAction* m_delete;
};

// A context menu "Modifier", divider, "Supprimer" (in the destructive look unless `plainDelete`).
QMenu* execContextMenu(QWidget* owner, const QPoint& globalPos, const std::function<void()>& onEdit,
                       const std::function<void()>& onDelete, bool plainDelete = false);

} // namespace lists
