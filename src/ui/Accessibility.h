#pragma once

#include <QAccessible>
#include <QAccessibleWidget>

#include <functional>

class QWidget;

// Accessibility of our custom-painted widgets.
namespace Accessibility {

// Screen readers see `widget` with `role` (static text for painted text, a graphic for a symbol, a
// grouping for a card, a separator for a line) under its accessible name.
void setRole(QWidget* widget, QAccessible::Role role);

// Text a widget paints, read as static text: named by `text` unless the widget has an accessible name
// of its own, and not read while `readable` says there is nothing to read (blank, fully transparent).
class PaintedText : public QAccessibleWidget {
public:
    PaintedText(QWidget* widget, std::function<QString()> text, std::function<bool()> readable);
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

private:
    std::function<QString()> m_text;
    std::function<bool()> m_readable;
};

} // namespace Accessibility
