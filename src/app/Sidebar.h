#pragma once

#include "app/ShellState.h"
#include "ui/ShapedText.h"

#include <QAbstractButton>
#include <QList>
#include <QPointer>
#include <QWidget>

class HoverAnimator;
class ThemeManager;

// The header above the sidebar's list: the logo, "Tolmek" and the current section's title.
class SidebarHeader : public QWidget {
    Q_OBJECT
public:
    explicit SidebarHeader(QWidget* parent = nullptr);
    QString activeTitle() const { return m_activeTitle; }
    void setActiveTitle(const QString& title);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_activeTitle;
    // Drawn from one shaping each (the sidebar repaints with every hover frame of its rows).
    ElidedLine m_name, m_title;
};

// One section row. The widget spans the row's insets; only the inner rounded shape reacts to the
// pointer and to clicks.
class SidebarNavRow : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int insetTop = 6, insetLeading = 2, insetBottom = 6, insetTrailing = 6;

    SidebarNavRow(SidebarItem item, QWidget* parent = nullptr);
    SidebarItem item() const { return m_item; }
    QString title() const;
    QString systemImage() const;
    bool isSelectedRow() const { return m_selected; }
    bool isHoveredRow() const { return m_hovered; }
    void setSelectedRow(bool selected, bool animated = true);
    void setHoveredRow(bool hovered, bool animated = true);
    // The rounded shape inside the insets.
    QRect shapeRect() const;
    // Painted scale about the centre (1.02 when hovered, animated).
    qreal currentScale() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void pointerEntered(SidebarItem item);
    void pointerLeft(SidebarItem item);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setPointerInside(bool inside);

    SidebarItem m_item;
    bool m_selected = false;
    bool m_hovered = false;
    bool m_pointerInside = false;
    HoverAnimator* m_hoverAnim;
    HoverAnimator* m_selectAnim;
    ElidedLine m_titleLine;
};

// A hairline between groups of rows; not selectable, not hoverable.
class SidebarSeparator : public QWidget {
    Q_OBJECT
public:
    explicit SidebarSeparator(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The "Quitter" button at the foot of the sidebar.
class QuitButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit QuitButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    mutable ElidedLine m_label;
};

// The sidebar column: header, rows and quit button, over the shell's state.
class Sidebar : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumWidth = 220, idealWidth = 260, maximumWidth = 360;
    static constexpr int topInset = 28;
    static constexpr int minRowHeight = 44;
    static constexpr int listMargin = 8; // the list's own side margin around its rows

    // Repaints itself and its rows when `theme` changes the appearance.
    Sidebar(ShellState* state, ThemeManager& theme, QWidget* parent = nullptr);

    SidebarHeader* header() const { return m_header; }
    SidebarNavRow* row(SidebarItem item) const;
    const QList<SidebarNavRow*>& rows() const { return m_rows; }
    QList<SidebarSeparator*> separators() const;
    QuitButton* quitButton() const { return m_quit; }

    // A tap on a row: closes whatever is open and shows the section's first screen, even when
    // the section is the current one.
    void tap(SidebarItem item);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void sync(bool animated);

    ShellState* m_state;
    SidebarHeader* m_header;
    QList<SidebarNavRow*> m_rows;
    QuitButton* m_quit;
};
