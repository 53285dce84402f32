#pragma once

#include "core/model/Models.h"
#include "projects/ListWidgets.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>

#include <functional>
#include <vector>

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
    // Follows `model` (whose pointer the subclass already holds) with new callbacks, unhovered.
    void rebind(PersistentModel* model, Callbacks callbacks);
    // Reads the bound object into the widgets.
    virtual void refresh() = 0;

    Callbacks m_cb;
    QMetaObject::Connection m_observer;
    HoverAnimator* m_hover;
    EllipsisButton* m_ellipsis = nullptr;
    bool m_pressed = false;
};

// What a project's row and card share: the bound project, its tile, its name and description.
class ProjectItem : public ItemBase {
    Q_OBJECT
public:
    void setProject(ProjectPtr project, Callbacks callbacks);
    ProjectPtr project() const { return m_project; }
    QColor projectTint() const;
    ClampedText* nameText() const { return m_name; }
    ClampedText* detailsText() const { return m_details; }
    TileView* tile() const { return m_tile; }

protected:
    ProjectItem(ProjectPtr project, Callbacks callbacks, QWidget* parent);

    ProjectPtr m_project;
    TileView* m_tile = nullptr;
    ClampedText* m_name = nullptr;
    ClampedText* m_details = nullptr;
};

class ProjectRow : public ProjectItem {
    Q_OBJECT
public:
    ProjectRow(ProjectPtr project, Callbacks callbacks, QWidget* parent = nullptr);
    void paintShadow(QPainter& p, const QRect& rect) const override;

private:
    void refresh() override;
};

class ProjectCard : public ProjectItem {
    Q_OBJECT
public:
    ProjectCard(ProjectPtr project, Callbacks callbacks, QWidget* parent = nullptr);
    void paintShadow(QPainter& p, const QRect& rect) const override;

protected:
    void hoverProgressChanged(qreal t) override;

private:
    void refresh() override;
};

// "Modifié " and the update date, abbreviated date and short time.
QString modifiedLine(const QDateTime& updatedAt);

// What a document's row and card share: the bound document, its title, date line and status badge.
class DocItem : public ItemBase {
    Q_OBJECT
public:
    void setDoc(DocPtr doc, Callbacks callbacks);
    DocPtr doc() const { return m_doc; }
    QColor accent() const;
    ClampedText* titleText() const { return m_title; }
    ClampedText* dateText() const { return m_date; }
    StatusBadge* badge() const { return m_badge; }

protected:
    DocItem(DocPtr doc, Callbacks callbacks, QWidget* parent);
    // Title, date line and badge from the document.
    void refreshTexts();

    DocPtr m_doc;
    ClampedText* m_title = nullptr;
    ClampedText* m_date = nullptr;
    StatusBadge* m_badge = nullptr;
};

class DocRow : public DocItem {
    Q_OBJECT
public:
    DocRow(DocPtr doc, Callbacks callbacks, QWidget* parent = nullptr);
    TileView* tile() const { return m_tile; }
    void paintShadow(QPainter& p, const QRect& rect) const override;

private:
    void refresh() override;
    TileView* m_tile;
};

class DocCard : public DocItem {
    Q_OBJECT
public:
    DocCard(DocPtr doc, Callbacks callbacks, QWidget* parent = nullptr);
    SymbolView* icon() const { return m_icon; }
    void paintShadow(QPainter& p, const QRect& rect) const override;

private:
    void refresh() override;
    SymbolView* m_icon;
};

// Rows (list) or cards (grid) reused from one reload to the next: only the page's objects are bound,
// so a reload never destroys the item whose menu started it.
template <class Row, class Card, class Ptr>
class ReusedItems {
public:
    template <class Item>
    struct Pool {
        QWidget* host = nullptr;
        void (Item::*bind)(Ptr, ItemBase::Callbacks) = nullptr;
        std::function<void(Item*)> place;          // adds a new item to the host's layout
        std::function<QWidget*()> makeCompanion;   // optional: made after each new item, shown and hidden with it
        std::vector<Item*> items;
        std::vector<QWidget*> companions;
        size_t shown = 0;
    };

    QWidget* screen = nullptr;   // the screen that holds both hosts
    QScrollArea* scroll = nullptr;
    std::function<ItemBase::Callbacks(const Ptr&)> callbacksFor;
    Pool<Row> rows;
    Pool<Card> cards;

    // Shows `page` as cards or rows and hides the other host.
    void show(const std::vector<Ptr>& page, bool grid) {
        const int keepScroll = scroll->verticalScrollBar()->value();
        if (grid) {
            fill(cards, rows.host, page);
            // The grid keeps its scroll position.
            scroll->verticalScrollBar()->setValue(keepScroll);
        } else {
            fill(rows, cards.host, page);
            // A new list identity: it starts again at its top.
            scroll->verticalScrollBar()->setValue(0);
        }
        rows.host->update();
        cards.host->update();
    }

private:
    template <class Item>
    void fill(Pool<Item>& pool, QWidget* otherHost, const std::vector<Ptr>& page) {
        const size_t n = page.size();
        // Showing a child lays out every visible ancestor at once: change the set of shown items while
        // their host is hidden, so the page is laid out once.
        otherHost->hide();
        if (pool.shown != n || !pool.host->isVisibleTo(screen))
            pool.host->hide();
        pool.shown = n;
        for (size_t i = 0; i < n; ++i) {
            if (i == pool.items.size()) {
                pool.items.push_back(new Item(page[i], callbacksFor(page[i]), pool.host));
                pool.place(pool.items.back());
                if (pool.makeCompanion)
                    pool.companions.push_back(pool.makeCompanion());
            } else {
                (pool.items[i]->*pool.bind)(page[i], callbacksFor(page[i]));
            }
            pool.items[i]->show();
            if (i < pool.companions.size())
                pool.companions[i]->show();
        }
        for (size_t i = n; i < pool.items.size(); ++i) {
            pool.items[i]->hide();
            if (i < pool.companions.size())
                pool.companions[i]->hide();
        }
        pool.host->show();
    }
};

} // namespace projectsui
