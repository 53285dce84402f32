#include "ui/lists/ListItem.h"

#include "ui/BoundedText.h"

#include "ui/Paint.h"
#include "ui/Theme.h"
#include "ui/lists/ListAccessibility.h"
#include "ui/lists/ListWidgets.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace lists {

namespace {
constexpr int kHoverMs = 120;
}

ShadowHost::ShadowHost(QWidget* parent) : QWidget(parent) {}

void ShadowHost::setBackground(qreal radius, ColorFn fill, ColorFn stroke, QMargins inset) {
    m_radius = radius;
    m_inset = inset;
    m_fill = std::move(fill);
    m_stroke = std::move(stroke);
    update();
}

void ShadowHost::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_fill) {
        const QRectF r = QRectF(rect().marginsRemoved(m_inset));
        Paint::fillRoundedRect(p, r, m_radius, m_fill());
        if (m_stroke)
            Paint::strokeRoundedRect(p, r, m_radius, m_stroke());
    }
    for (QObject* o : children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || !w->isVisible())
            continue;
        if (auto* caster = dynamic_cast<ShadowCaster*>(w)) {
            caster->paintShadow(p, w->geometry());
            if (showsFocusRing(w))
                paintFocusRing(p, QRectF(w->geometry()), caster->focusRadius());
        }
    }
}

// ---------------------------------------------------------------------------------------------
ListItem::ListItem(ThemeManager& theme, Callbacks callbacks, QWidget* parent)
    : QWidget(parent), m_theme(theme), m_cb(std::move(callbacks)), m_hover(new HoverAnimator(this, kHoverMs)) {
    installListAccessibility();
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab (Return or Space opens it); a click opens it without focusing it.
    setFocusPolicy(Qt::TabFocus);
    // Only the background painted by paintShadow grows with the hover: the texts and symbols stay
    // drawn at whole pixels, where a scaled picture of them would blur and pale every hovered row.
    connect(m_hover, &HoverAnimator::progressChanged, this, [this](qreal t) {
        hoverProgressChanged(t);
        repaintHost();
    });
    connect(&m_theme, &ThemeManager::appearanceChanged, this, [this] { repaintHost(); });
}

bool ListItem::isDark() const { return m_theme.isDark(); }

void ListItem::resetHover() {
    m_pressed = false;
    m_hover->setHoveredImmediately(false);
    hoverProgressChanged(0);
}

void ListItem::repaintHost() {
    if (QWidget* host = parentWidget())
        host->update(geometry().adjusted(-30, -30, 30, 36));
    update();
}

void ListItem::rebind(QMetaObject::Connection observer, Callbacks callbacks) {
    disconnect(m_observer);
    m_observer = observer;
    m_cb = std::move(callbacks);
    resetHover();
    refresh();
}

void ListItem::setAccessibleTexts(const QString& fullName, const QString& fullDescription) {
    // A screen reader gets what a person can read of an item, not a whole 100,000-character name.
    const QString name = BoundedText::bounded(fullName, 1000);
    const QString description = BoundedText::bounded(fullDescription, 1000);
    if (accessibleName() != name)
        setAccessibleName(name);
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
}

void ListItem::installEllipsis(EllipsisButton* button) {
    m_ellipsis = button;
    connect(button, &EllipsisButton::editRequested, this, [this] {
        if (m_cb.onEdit)
            m_cb.onEdit();
    });
    connect(button, &EllipsisButton::deleteRequested, this, [this] {
        if (m_cb.onDelete)
            m_cb.onDelete();
    });
    connect(button, &EllipsisButton::menuHidden, this, &ListItem::followPointerAfterMenu);
}

void ListItem::followPointerAfterMenu() {
    // The menu held the pointer: a click elsewhere that closed it sent this item no leave. Once the menu
    // is gone, the item looks hovered only if the pointer is on it.
    QTimer::singleShot(0, this, [this] {
        if (!QApplication::activePopupWidget())
            m_hover->setHovered(isVisible() && rect().contains(mapFromGlobal(QCursor::pos())));
    });
}

void ListItem::activate() {
    if (m_cb.onOpen)
        m_cb.onOpen();
}

void ListItem::showActionsMenu() {
    if (m_ellipsis && m_ellipsis->isVisible()) {
        m_ellipsis->ensureMenu();
        m_ellipsis->showMenu();
        return;
    }
    if (m_cb.onEdit || m_cb.onDelete) {
        showEditDeleteMenu(mapToGlobal(rect().center()));
    }
}

void ListItem::mousePressEvent(QMouseEvent* e) {
    m_pressed = e->button() == Qt::LeftButton;
    e->accept();
}

void ListItem::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = m_pressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    m_pressed = false;
    if (click)
        activate();
}

void ListItem::keyPressEvent(QKeyEvent* e) {
    if (e->modifiers() == Qt::NoModifier &&
        (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space)) {
        activate();
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void ListItem::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    repaintHost();
}

void ListItem::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    repaintHost();
}

void ListItem::contextMenuEvent(QContextMenuEvent* e) {
    if (!m_cb.onEdit && !m_cb.onDelete) {
        e->ignore();
        return;
    }
    showEditDeleteMenu(e->globalPos());
}

void ListItem::showEditDeleteMenu(const QPoint& globalPos) {
    // Copies: the menu's actions may destroy this row.
    auto onEdit = m_cb.onEdit, onDelete = m_cb.onDelete;
    QMenu* menu = execContextMenu(
        this, globalPos,
        [onEdit] {
            if (onEdit)
                onEdit();
        },
        [onDelete] {
            if (onDelete)
                onDelete();
        },
        m_plainContextDelete);
    connect(menu, &QMenu::aboutToHide, this, &ListItem::followPointerAfterMenu);
}

} // namespace lists
