#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QMargins>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>

#include "ui/AppStyle.h"
#include "ui/Palette.h"

class QHBoxLayout;
class QKeyEvent;
class QTextEdit;
class QLineEdit;
class HoverAnimator;

// A rounded card around one content widget: 16 padding, card background, hairline border and a
// soft shadow. It keeps the size of its padded content, growing only in the directions where the
// content's size policy expands. The widget keeps a transparent margin (shadowMargins) around the
// card for the shadow; cardRect() is the visible card.
class AppCard : public QWidget {
    Q_OBJECT
public:
    explicit AppCard(QWidget* content = nullptr, QWidget* parent = nullptr);

    // Replaces the content (the previous one is deleted); the card takes ownership.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    static QMargins shadowMargins();
    static constexpr int padding = 16;
    static constexpr qreal cornerRadius = 18;
    QRect cardRect() const;

    // How far up from its bottom edge (and down from its top edge) the card's look changes along its
    // height: the rounded corners and the ends of the shadow. Between the two it repeats row after row.
    static constexpr int edgeReach = 80;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void followContentPolicy();

    QHBoxLayout* m_layout;
    QPointer<QWidget> m_content;
};

// The filled blue action button: optional symbol, 8 apart from the title, white on brand blue,
// padding 14 × 9, corner radius 10. The title is never elided.
class PrimaryButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PrimaryButton(const QString& title, const QString& systemImage = {}, QWidget* parent = nullptr);

    QString title() const { return text(); }
    void setTitle(const QString& title);
    QString systemImage() const { return m_systemImage; }
    void setSystemImage(const QString& name);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Position of the title's left edge inside the button (layout checks).
    int titleX() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_systemImage;
};

// A capsule naming a status in its colour (a document's "En cours", "Terminé", "À modifier").
class StatusBadge : public QWidget {
    Q_OBJECT
public:
    StatusBadge(const QString& text, StandardColor tone, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    StandardColor tone() const { return m_tone; }
    void setStatus(const QString& text, StandardColor tone);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    StandardColor m_tone;
};

// A plain page in the screen background colour (behind scroll areas and sheets' bodies).
class ScreenBackground : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// For a widget whose painting keeps to its top-left (text, or nothing at all): a new height repaints only
// the strip it gained (or nothing, when it shrank), not the whole widget. A widget that paints something
// along its bottom edge calls repaintResizedEdge() from its resizeEvent.
void keepPaintingOnResize(QWidget* widget);
// Completes keepPaintingOnResize for a widget whose look depends on its size: a new width repaints it
// whole; a new height repaints the band of `bottomReach` above its bottom edge, where the edge was and
// where it is now.
void repaintResizedEdge(QWidget* widget, const QSize& oldSize, int bottomReach);

// Fills a screen with a vertical scroll area: no frame, no sideways scrolling.
QScrollArea* addScreenScroll(QWidget* screen);

// A frameless line edit for a field that draws its own box; the placeholder is also its accessible name.
QLineEdit* newBareLineEdit(const QString& placeholder, QWidget* parent);
// Repaints `frame`, which draws the box of the frameless `field` (with Paint::fieldOutline), whenever the
// field gains or loses the focus.
void repaintOnFocusChange(QWidget* frame, QWidget* field);

// The scrolled body of a sheet, between its fixed header and footer: no frame, no sideways scrolling,
// transparent. The floating scroll bar lies over the content's right margin, so a body keeps at least
// `gutter` there and the bar never covers a field.
class SheetBody : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int gutter = TolmekStyle::scrollBarExtent + 4;

    explicit SheetBody(QWidget* parent = nullptr);
    // The content's height at the area's width (the whole of it, as if it did not scroll).
    int contentHeight(int width) const;
};

// Makes `view` show a whole text that can be selected but not edited: no frame, no scroll bars, nothing drawn
// behind its text, as wide as it is given and as tall as its owner sets it.
void makeReadOnlyTextView(QTextEdit* view);

namespace Sheets {
// How far a sheet stays inside the window it covers, above and below.
constexpr int windowMargin = 20;
// The tallest a sheet over `sheet`'s parent window may be: that window's height less the margins, and
// never more than the screen's available height. Never less than `floor`.
int maxHeight(const QWidget* sheet, int floor = 240);
// Gives a sheet of fixed width the height of its content, within maxHeight(): beyond it only `body`
// scrolls, and the header and footer around it stay in view. It follows the parent window's resizes.
void fit(QWidget* sheet, SheetBody* body);
// For a sheet with no default button: takes Return and Enter (true), so that they confirm nothing.
bool swallowReturn(QKeyEvent* event);
} // namespace Sheets
