#pragma once

#include "ui/lists/ListWidgets.h"

#include <QMargins>
#include <QMetaObject>
#include <QWidget>

#include <functional>

class HoverAnimator;
class ThemeManager;

namespace lists {

// A widget whose hover look casts a shadow outside its own rectangle: its container paints it.
class ShadowCaster {
public:
    virtual ~ShadowCaster() = default;
    // `rect` is the widget's geometry in the container's coordinates.
    virtual void paintShadow(QPainter& p, const QRect& rect) const = 0;
    // The corner radius of the focus ring drawn around the caster when it has the keyboard focus.
    virtual qreal focusRadius() const { return 16; }
};

// Paints the shadows of its ShadowCaster children under them, then an optional rounded background.
class ShadowHost : public QWidget {
    Q_OBJECT
public:
    explicit ShadowHost(QWidget* parent = nullptr);
    // A rounded rectangle behind the children (list container): radius, fill and stroke at paint time.
    void setBackground(qreal radius, ColorFn fill, ColorFn stroke, QMargins inset = {});

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal m_radius = 0;
    QMargins m_inset;
    ColorFn m_fill;
    ColorFn m_stroke;
};

// One row or card of a list screen, showing one object. It animates its hover (0.12 s ease-in-out),
// opens on a click anywhere (or Return / Space when focused), and, when it has edit or delete
// callbacks, shows "Modifier" / "Supprimer" on a secondary click. Its background is painted by the
// container (ShadowHost, through paintShadow) so the hover scale and shadow are not clipped.
// Items are reused from one page to the next: a subclass binds a new object with rebind().
// Accessibility: one list item named by setAccessibleTexts() (its title), whose press action opens it.
class ListItem : public QWidget, public ShadowCaster {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void()> onOpen;
        std::function<void()> onEdit; // optional
        std::function<void()> onDelete; // optional
    };
    ListItem(ThemeManager& theme, Callbacks callbacks, QWidget* parent);

    HoverAnimator* hover() const { return m_hover; }
    EllipsisButton* ellipsis() const { return m_ellipsis; }
    const Callbacks& callbacks() const { return m_cb; }
    // Starts unhovered (a new page binds reused items).
    void resetHover();
    // What a click does.
    void activate();
    // The actions menu, as the ellipsis button or a secondary click shows it.
    void showActionsMenu();
    bool isDark() const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void installEllipsis(EllipsisButton* button);
    void repaintHost();
    void showEditDeleteMenu(const QPoint& globalPos);
    void followPointerAfterMenu();
    virtual void hoverProgressChanged(qreal) {}
    // Follows a new object: `observer` is the connection of its change signal to refresh(); the
    // previous one is cut. Takes the new callbacks, starts unhovered, and reads the object.
    void rebind(QMetaObject::Connection observer, Callbacks callbacks);
    // Reads the bound object into the widgets.
    virtual void refresh() = 0;
    // The name a screen reader gives the item (its title) and its description.
    void setAccessibleTexts(const QString& name, const QString& description = {});

    ThemeManager& m_theme;
    Callbacks m_cb;
    QMetaObject::Connection m_observer;
    HoverAnimator* m_hover;
    EllipsisButton* m_ellipsis = nullptr;
    bool m_pressed = false;
    // The context menu's "Supprimer" as a plain item (the "…" menu's keeps its destructive look).
    bool m_plainContextDelete = false;
};

} // namespace lists
