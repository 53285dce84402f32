#pragma once

#include "ui/DisplayLayout.h"

#include <QAbstractButton>
#include <QLayout>
#include <QToolButton>
#include <QWidget>

#include <functional>

class QLineEdit;
class QLabel;
class QMenu;
class HoverAnimator;

// Small widgets shared by the projects and documents screens. Colours are read at paint time,
// so an appearance change only needs a repaint.
namespace projectsui {

using ColorFn = std::function<QColor()>;

// A symbol in a fixed frame, drawn at an opacity (dimmed controls stay clickable).
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

// Text wrapped to the width, cut after `maxLines` lines with an ellipsis (0: no limit).
class ClampedText : public QWidget {
    Q_OBJECT
public:
    ClampedText(const QFont& font, ColorFn color, int maxLines, QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return m_text; }
    void setAlignment(Qt::Alignment a) { m_align = a; update(); }
    void setTextOpacity(qreal o) { m_opacity = o; update(); }
    // Takes no height while the text is empty, and keeps `top` above the text otherwise. Cheaper than
    // hiding and showing: showing a child lays out every ancestor at once.
    void setCollapsible(int top) { m_collapsible = true; m_top = top; m_cachedWidth = -1; updateGeometry(); }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The lines shown at this width (tests).
    QStringList visibleLines(int width) const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_text;
    QFont m_font;
    ColorFn m_color;
    int m_maxLines;
    Qt::Alignment m_align = Qt::AlignLeft;
    qreal m_opacity = 1;
    bool m_collapsible = false;
    int m_top = 0;
    mutable int m_cachedWidth = -1;
    mutable int m_cachedHeight = 0;
    int m_paintWidth = -1;
    QStringList m_paintLines;
};

// The rounded search field with its magnifying glass; at most 520 wide.
class SearchField : public QWidget {
    Q_OBJECT
public:
    SearchField(const QString& placeholder, QWidget* parent = nullptr);
    QLineEdit* lineEdit() const { return m_edit; }

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QLineEdit* m_edit;
};

// The list / grid switch: two symbols in a capsule; the current one on a tinted capsule.
class LayoutSwitch : public QWidget {
    Q_OBJECT
public:
    explicit LayoutSwitch(QWidget* parent = nullptr);
    void setCurrent(DisplayLayout layout);
    DisplayLayout current() const { return m_current; }
    QAbstractButton* listButton() const { return m_list; }
    QAbstractButton* gridButton() const { return m_grid; }

signals:
    void picked(DisplayLayout layout);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QAbstractButton* m_list;
    QAbstractButton* m_grid;
    DisplayLayout m_current = DisplayLayout::list;
};

// Previous, "Page n / m", next, then the page-size menu.
class PagerBar : public QWidget {
    Q_OBJECT
public:
    explicit PagerBar(QWidget* parent = nullptr);
    void setState(const QString& label, bool canPrevious, bool canNext, int pageSize);
    SymbolButton* previousButton() const { return m_prev; }
    SymbolButton* nextButton() const { return m_next; }
    QString labelText() const;
    QToolButton* sizeButton() const { return m_size; }
    QMenu* sizeMenu() const { return m_menu; }

signals:
    void previousClicked();
    void nextClicked();
    void pageSizePicked(int size);

private:
    SymbolButton* m_prev;
    SymbolButton* m_next;
    ClampedText* m_label;
    QToolButton* m_size;
    QMenu* m_menu;
};

// The "…" menu of rows and cards: "Modifier", a divider, "Supprimer" (drawn as destructive).
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

// A context menu "Modifier", divider, "Supprimer" (no destructive look).
void execContextMenu(QWidget* owner, const QPoint& globalPos, const std::function<void()>& onEdit,
                     const std::function<void()>& onDelete);

// Adaptive columns: as many columns of at least `minWidth` as fit (at most `maxWidth` wide when > 0),
// `spacing` apart both ways, the grid centred, items top-aligned at their height for the column width.
class AdaptiveGridLayout : public QLayout {
public:
    AdaptiveGridLayout(int minWidth, int maxWidth, int spacing, QWidget* parent = nullptr);
    ~AdaptiveGridLayout() override;
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return int(m_items.size()); }
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    int columnCount(int width) const;

private:
    int doLayout(const QRect& rect, bool apply) const;
    QList<QLayoutItem*> m_items;
    int m_min, m_max, m_spacing;
};

// A widget whose hover look casts a shadow outside its own rectangle: its container paints it.
class ShadowCaster {
public:
    virtual ~ShadowCaster() = default;
    // `rect` is the widget's geometry in the container's coordinates.
    virtual void paintShadow(QPainter& p, const QRect& rect) const = 0;
};

// Paints the shadows of its ShadowCaster children under them, then an optional rounded background.
class ShadowHost : public QWidget {
    Q_OBJECT
public:
    explicit ShadowHost(QWidget* parent = nullptr);
    // A rounded rectangle behind the children (list container): radius, fill and stroke at paint time.
    void setBackground(qreal radius, ColorFn fill, ColorFn stroke);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal m_radius = 0;
    ColorFn m_fill;
    ColorFn m_stroke;
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

// Repaints `w` (and its children) whenever the effective appearance changes.
void repaintOnAppearanceChange(QWidget* w);

} // namespace projectsui
