#include "ui/FlowScrollArea.h"

#include <QEvent>
#include <QScrollBar>

#include <algorithm>

FlowScrollArea::FlowScrollArea(QWidget* parent) : QAbstractScrollArea(parent) {
    // As a QScrollArea: the viewport has no background of its own, and the steps.
    viewport()->setBackgroundRole(QPalette::NoRole);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    // Tab goes through the controls inside; the area itself would be a stop with nothing drawn.
    setFocusPolicy(Qt::NoFocus);
}

void FlowScrollArea::setWidget(QWidget* content) {
    if (content == m_content)
        return;
    delete m_content;
    m_content = content;
    if (!content)
        return;
    content->setParent(viewport());
    content->setAutoFillBackground(true);
    // A hidden area shows the content with itself, once fitted (its viewport is resized first). Showing a
    // child lays it out at once at its current size: before that size is the viewport's, every text in it
    // would be laid out for nothing.
    if (isVisible()) {
        fit();
        content->show();
    }
}

bool FlowScrollArea::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::LayoutRequest: // the content's size hint changed
    case QEvent::Show: fit(); break;
    default: break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void FlowScrollArea::fit() {
    // A hidden area is fitted when shown, at its real size.
    if (!m_content || m_fitting || !isVisible())
        return;
    m_fitting = true;
    // A scroll bar that shows or hides can change the viewport (with a style whose bars take room): a
    // second pass then fits the new width.
    for (int pass = 0; pass < 2; ++pass) {
        const QSize view = viewport()->size();
        const QSize minimum = m_content->minimumSizeHint().expandedTo(m_content->minimumSize());
        const int width = std::max(view.width(), minimum.width());
        const int wanted =
            m_content->hasHeightForWidth() ? m_content->heightForWidth(width) : m_content->sizeHint().height();
        const int height = std::max({wanted, view.height(), minimum.height()});
        horizontalScrollBar()->setPageStep(view.width());
        horizontalScrollBar()->setRange(0, width - view.width());
        verticalScrollBar()->setPageStep(view.height());
        verticalScrollBar()->setRange(0, height - view.height());
        m_content->setGeometry(-horizontalScrollBar()->value(), -verticalScrollBar()->value(), width, height);
        if (viewport()->size() == view)
            break;
    }
    m_fitting = false;
}

void FlowScrollArea::scrollContentsBy(int, int) {
    if (m_content)
        m_content->move(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
}

void FlowScrollArea::ensureWidgetVisible(QWidget* child, int margin) {
    if (!m_content || !child || !m_content->isAncestorOf(child))
        return;
    const QRect r(child->mapTo(m_content, QPoint(0, 0)), child->size());
    auto scrollTo = [margin](QScrollBar* bar, int start, int length, int view) {
        const int m = std::min(margin, std::max(0, (view - length) / 2));
        if (start - m < bar->value())
            bar->setValue(start - m);
        else if (start + length + m > bar->value() + view)
            bar->setValue(std::min(start - m, start + length + m - view));
    };
    scrollTo(horizontalScrollBar(), r.x(), r.width(), viewport()->width());
    scrollTo(verticalScrollBar(), r.y(), r.height(), viewport()->height());
}

bool FlowScrollArea::focusNextPrevChild(bool next) {
    if (!QWidget::focusNextPrevChild(next))
        return false;
    if (QWidget* focused = focusWidget())
        ensureWidgetVisible(focused);
    return true;
}
