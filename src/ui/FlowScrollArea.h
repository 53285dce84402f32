#pragma once

#include <QAbstractScrollArea>
#include <QPointer>

// A scroll area for a content whose height follows its width (wrapped text, grids of cards): the content
// takes the viewport's width, or its own minimum width below which the area scrolls sideways, and the height
// it asks for at that width, at least the viewport's. QScrollArea measures such a content at its natural
// width and at two viewport widths each time anything in it changes, which lays every text out again; this
// area measures it once per change, at the one width it gets. Tabbing to a child out of view scrolls to it.
class FlowScrollArea : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit FlowScrollArea(QWidget* parent = nullptr);

    // Takes `content` into the viewport (the area owns it), filling its background as a QScrollArea does.
    void setWidget(QWidget* content);
    QWidget* widget() const { return m_content; }
    // Scrolls as little as needed for `child` (inside the content) to be in view with `margin` around it.
    void ensureWidgetVisible(QWidget* child, int margin = 50);

protected:
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

private:
    void fit();

    QPointer<QWidget> m_content;
    bool m_fitting = false;
};
