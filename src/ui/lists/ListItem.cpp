#include "ui/lists/ListItem.h"

#include "ui/BoundedText.h"

#include "ui/Paint.h"
#include "ui/Theme.h"
#include "ui/lists/ListAccessibility.h"
#include "ui/lists/ListWidgets.h"

#include <QContextMenuEvent>
#include <QGraphicsEffect>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

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

// Draws the item and its children scaled about their centre; off while the scale is 1.
class ScaleEffect : public QGraphicsEffect {
public:
    explicit ScaleEffect(QObject* parent) : QGraphicsEffect(parent) { setEnabled(false); }
    void setScale(qreal scale) {
        if (scale == m_scale)
            return;
        m_scale = scale;
        setEnabled(scale != 1);
        updateBoundingRect();
        update();
    }
    QRectF boundingRectFor(const QRectF& r) const override {
        const QPointF c = r.center();
        return QRectF(c.x() - r.width() * m_scale / 2, c.y() - r.height() * m_scale / 2, r.width() * m_scale,
                      r.height() * m_scale)
            .adjusted(-1, -1, 1, 1);
    }

protected:
    void draw(QPainter* p) override {
        if (m_scale == 1) {
            drawSource(p);
            return;
        }
        QPoint offset;
        const QPixmap pm = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        const QPointF c = sourceBoundingRect(Qt::LogicalCoordinates).center();
        p->save();
        p->setRenderHint(QPainter::SmoothPixmapTransform);
        p->translate(c);
        p->scale(m_scale, m_scale);
        p->translate(-c);
        p->drawPixmap(offset, pm);
        p->restore();
    }

private:
    qreal m_scale = 1;
};

// ---------------------------------------------------------------------------------------------
ListItem::ListItem(ThemeManager& theme, Callbacks callbacks, QWidget* parent)
    : QWidget(parent), m_theme(theme), m_cb(std::move(callbacks)), m_hover(new HoverAnimator(this, kHoverMs)) {
    installListAccessibility();
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab (Return or Space opens it); a click opens it without focusing it.
    setFocusPolicy(Qt::TabFocus);
    connect(m_hover, &HoverAnimator::progressChanged, this, [this](qreal t) {
        if (m_scaleEffect)
            m_scaleEffect->setScale(m_hover->scale(m_contentScale));
        hoverProgressChanged(t);
        repaintHost();
    });
    connect(&m_theme, &ThemeManager::appearanceChanged, this, [this] { repaintHost(); });
}

bool ListItem::isDark() const { return m_theme.isDark(); }

void ListItem::setContentScale(qreal hovered) {
    m_contentScale = hovered;
    if (!m_scaleEffect) {
        m_scaleEffect = new ScaleEffect(this);
        setGraphicsEffect(m_scaleEffect);
    }
}

void ListItem::resetHover() {
    m_pressed = false;
    m_hover->setHoveredImmediately(false);
    if (m_scaleEffect)
        m_scaleEffect->setScale(1);
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
    connect(button, &EllipsisButton::editRequested, this, [this] { if (m_cb.onEdit) m_cb.onEdit(); });
    connect(button, &EllipsisButton::deleteRequested, this, [this] { if (m_cb.onDelete) m_cb.onDelete(); });
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
        auto onEdit = m_cb.onEdit, onDelete = m_cb.onDelete;
        execContextMenu(this, mapToGlobal(rect().center()), [onEdit] { if (onEdit) onEdit(); },
                        [onDelete] { if (onDelete) onDelete(); });
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
    auto onEdit = m_cb.onEdit, onDelete = m_cb.onDelete;
    execContextMenu(this, e->globalPos(), [onEdit] { if (onEdit) onEdit(); }, [onDelete] { if (onDelete) onDelete(); });
}

} // namespace lists
