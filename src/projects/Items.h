#pragma once

#include "model/Models.h"
#include "projects/ListWidgets.h"

#include <QWidget>

#include <functional>

class HoverAnimator;
class StatusBadge;

namespace projectsui {

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

// A bare symbol in a colour.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    SymbolView(qreal px, QWidget* parent = nullptr);
    void setSymbol(const QString& name, const QColor& color);
    QString symbol() const { return m_symbol; }
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal m_px;
    QString m_symbol;
    QColor m_color;
};

// Shared behaviour of rows and cards: hover animation (0.12 s ease-in-out), a click anywhere opens,
// a secondary click shows "Modifier" / "Supprimer"; the background is painted by the container
// (ShadowHost) so that the hover scale and shadow are not clipped.
class ItemBase : public QWidget, public ShadowCaster {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void()> onOpen;
        std::function<void()> onEdit;
        std::function<void()> onDelete;
    };
    ItemBase(Callbacks callbacks, QWidget* parent);
    HoverAnimator* hover() const { return m_hover; }
    EllipsisButton* ellipsis() const { return m_ellipsis; }
    const Callbacks& callbacks() const { return m_cb; }
    // Rows and cards are reused across reloads: rebinding starts them unhovered.
    void resetHover();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void installEllipsis(EllipsisButton* button);
    void repaintHost();
    virtual void hoverProgressChanged(qreal) {}

    Callbacks m_cb;
    QMetaObject::Connection m_observer;
    HoverAnimator* m_hover;
    EllipsisButton* m_ellipsis = nullptr;
    bool m_pressed = false;
};

class ProjectRow : public ItemBase {
    Q_OBJECT
public:
    ProjectRow(ProjectPtr project, Callbacks callbacks, QWidget* parent = nullptr);
    void setProject(ProjectPtr project, Callbacks callbacks);
    ProjectPtr project() const { return m_project; }
    QColor projectTint() const;
    ClampedText* nameText() const { return m_name; }
    ClampedText* detailsText() const { return m_details; }
    TileView* tile() const { return m_tile; }
    void paintShadow(QPainter& p, const QRect& rect) const override;

private:
    void refresh();
    ProjectPtr m_project;
    TileView* m_tile;
    ClampedText* m_name;
    ClampedText* m_details;
};

class ProjectCard : public ItemBase {
    Q_OBJECT
public:
    ProjectCard(ProjectPtr project, Callbacks callbacks, QWidget* parent = nullptr);
    void setProject(ProjectPtr project, Callbacks callbacks);
    ProjectPtr project() const { return m_project; }
    QColor projectTint() const;
    ClampedText* nameText() const { return m_name; }
    ClampedText* detailsText() const { return m_details; }
    TileView* tile() const { return m_tile; }
    void paintShadow(QPainter& p, const QRect& rect) const override;

protected:
    void hoverProgressChanged(qreal t) override;

private:
    void refresh();
    ProjectPtr m_project;
    TileView* m_tile;
    ClampedText* m_name;
    ClampedText* m_details;
};

// "Modifié " and the update date, abbreviated date and short time.
QString modifiedLine(const QDateTime& updatedAt);

class DocRow : public ItemBase {
    Q_OBJECT
public:
    DocRow(DocPtr doc, Callbacks callbacks, QWidget* parent = nullptr);
    void setDoc(DocPtr doc, Callbacks callbacks);
    DocPtr doc() const { return m_doc; }
    QColor accent() const;
    TileView* tile() const { return m_tile; }
    ClampedText* titleText() const { return m_title; }
    ClampedText* dateText() const { return m_date; }
    StatusBadge* badge() const { return m_badge; }
    void paintShadow(QPainter& p, const QRect& rect) const override;

private:
    void refresh();
    DocPtr m_doc;
    TileView* m_tile;
    ClampedText* m_title;
    ClampedText* m_date;
    StatusBadge* m_badge;
};

class DocCard : public ItemBase {
    Q_OBJECT
public:
    DocCard(DocPtr doc, Callbacks callbacks, QWidget* parent = nullptr);
    void setDoc(DocPtr doc, Callbacks callbacks);
    DocPtr doc() const { return m_doc; }
    QColor accent() const;
    SymbolView* icon() const { return m_icon; }
    ClampedText* titleText() const { return m_title; }
    ClampedText* dateText() const { return m_date; }
    StatusBadge* badge() const { return m_badge; }
    void paintShadow(QPainter& p, const QRect& rect) const override;

private:
    void refresh();
    DocPtr m_doc;
    SymbolView* m_icon;
    ClampedText* m_title;
    ClampedText* m_date;
    StatusBadge* m_badge;
};

} // namespace projectsui
