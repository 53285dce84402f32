#include "editor/EditorWidgets.h"

#include "ui/KeyboardFocus.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"

#include <QEnterEvent>
#include <QEvent>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <cmath>

namespace editorui {

PaintedButton::PaintedButton(const QString& text, Painter painter, QWidget* parent)
    : QAbstractButton(parent), m_painter(std::move(painter)) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

void PaintedButton::setPainter(Painter painter) {
    m_painter = std::move(painter);
    update();
}

void PaintedButton::setHint(const QSize& size) {
    if (m_hint == size)
        return;
    m_hint = size;
    setFixedSize(size);
    updateGeometry();
}

void PaintedButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (m_painter)
        m_painter(p, *this);
    if (KeyboardFocus::showsRing(this))
        Paint::focusRing(p, QRectF(rect()), 6);
}

void PaintedButton::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PaintedButton::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

PaintedLabel::PaintedLabel(const QString& text, Painter painter, QWidget* parent)
    : QLabel(text, parent), m_painter(std::move(painter)) {}

void PaintedLabel::setPainter(Painter painter) {
    m_painter = std::move(painter);
    update();
}

void PaintedLabel::setHint(const QSize& size) {
    if (m_hint == size)
        return;
    m_hint = size;
    setFixedSize(size);
    updateGeometry();
}

void PaintedLabel::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    m_paintedRect = event->rect();
    if (m_painter)
        m_painter(p, *this);
    m_paintedRect = rect();
}

PaintedWidget::PaintedWidget(const QSize& size, Painter painter, QWidget* parent)
    : QWidget(parent), m_painter(std::move(painter)) {
    setFixedSize(size);
}

void PaintedWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_painter)
        m_painter(p, *this);
}

ToneLabel::ToneLabel(const QString& text, const QFont& font, std::function<QColor()> tone, QWidget* parent)
    : QLabel(text, parent), m_tone(std::move(tone)) {
    setFont(font);
    applyTone();
}

void ToneLabel::applyTone() {
    if (!m_tone || m_applying)
        return;
    m_applying = true;
    QPalette p = palette();
    const QColor c = m_tone();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    setPalette(p);
    m_applying = false;
}

int ToneLabel::heightForWidth(int width) const {
    Measured now{text(), font(), contentsMargins(), margin(), indent(), wordWrap(), textFormat()};
    if (!(now == m_measured)) {
        m_measured = std::move(now);
        m_heights.fill({-1, 0});
    }
    for (const auto& [w, h] : m_heights)
        if (w == width && width >= 0)
            return h;
    const int height = QLabel::heightForWidth(width);
    m_heights[m_nextHeight] = {width, height};
    m_nextHeight = (m_nextHeight + 1) % m_heights.size();
    return height;
}

void ToneLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
        applyTone();
}

void keepShapedText(QTextDocument* doc) {
    if (!doc)
        return;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        if (QTextLayout* layout = block.layout())
            layout->setCacheEnabled(true);
    if (doc->property("tolmekKeepsShapes").toBool())
        return;
    doc->setProperty("tolmekKeepsShapes", true);
    // The document reports a change before its layout lays the new paragraphs out.
    QObject::connect(doc, &QTextDocument::contentsChange, doc, [doc](int from, int, int added) {
        const QTextBlock last = doc->findBlock(from + added);
        for (QTextBlock block = doc->findBlock(from); block.isValid(); block = block.next()) {
            if (QTextLayout* layout = block.layout())
                layout->setCacheEnabled(true);
            if (block == last)
                break;
        }
    });
}

int textWidth(const QFont& font, const QString& text) {
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

qreal symbolTextWidth(qreal symbolPx, const QString& text, const QFont& font, qreal spacing) {
    const qreal tw = text.isEmpty() ? 0 : QFontMetricsF(font).horizontalAdvance(text);
    return symbolPx + (text.isEmpty() ? 0 : spacing + tw);
}

void drawSymbolText(QPainter& p, const QRectF& rect, const QString& symbol, qreal symbolPx, const QColor& symbolColor,
                    const QString& text, const QFont& font, const QColor& textColor, qreal spacing,
                    Qt::Alignment align) {
    const qreal total = symbolTextWidth(symbolPx, text, font, spacing);
    qreal x = rect.left();
    if (align & Qt::AlignHCenter)
        x = rect.center().x() - total / 2;
    else if (align & Qt::AlignRight)
        x = rect.right() - total;
    const QRectF symbolRect(x, rect.center().y() - symbolPx / 2, symbolPx, symbolPx);
    Symbols::paint(p, symbolRect, symbol, symbolColor);
    if (text.isEmpty())
        return;
    p.setFont(font);
    p.setPen(textColor);
    const QRectF textRect(x + symbolPx + spacing, rect.top(), rect.right() - (x + symbolPx + spacing), rect.height());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
}

} // namespace editorui
