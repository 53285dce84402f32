#include "board/BoardWidgets.h"

#include "ui/Fonts.h"
#include "ui/KeyboardFocus.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

#include <cmath>

TintLabel::TintLabel(const QString& text, Ink ink, const QFont& font, QWidget* parent)
    : QLabel(text, parent), m_ink(ink) {
    setFont(font);
    setTextFormat(Qt::PlainText);
}

void TintLabel::paintEvent(QPaintEvent* event) {
    // The colour follows the appearance at paint time (a theme change repaints every window).
    const QColor ink = m_ink == primary ? AppPalette::primaryText() : AppPalette::secondaryText();
    if (palette().color(QPalette::WindowText) != ink) {
        QPalette pal = palette();
        pal.setColor(QPalette::WindowText, ink);
        pal.setColor(QPalette::Text, ink);
        setPalette(pal);
    }
    QLabel::paintEvent(event);
}

// ---------------------------------------------------------------------------------------------
PillLabel::PillLabel(QWidget* parent) : QLabel(parent) {
    setFont(Fonts::rounded(12, 600));
    setAlignment(Qt::AlignCenter);
    setContentsMargins(10, 6, 10, 6);
}

QSize PillLabel::sizeHint() const {
    const QFontMetricsF fm(font());
    return QSize(int(std::ceil(fm.horizontalAdvance(text()))) + 20, int(std::ceil(fm.height())) + 12);
}

void PillLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    Paint::fillCapsule(p, r, withOpacity(AppPalette::tintedBackground(), 0.7));
    Paint::strokeCapsule(p, r, withOpacity(AppPalette::separator(), 0.35));
    p.setFont(font());
    p.setPen(AppPalette::secondaryText());
    p.drawText(rect(), Qt::AlignCenter, text());
}

// ---------------------------------------------------------------------------------------------
SymbolButton::SymbolButton(const QString& symbol, qreal symbolSize, int padding, const QString& help, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_symbolSize(symbolSize), m_padding(padding) {
    setToolTip(help);
    setAccessibleName(help);
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab; a click opens its menu without leaving it the keyboard.
    setFocusPolicy(Qt::TabFocus);
}

QSize SymbolButton::sizeHint() const {
    const int s = int(std::ceil(m_symbolSize)) + 2 * m_padding;
    return QSize(s, s);
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    if (isDown() || underMouse())
        Paint::fillRoundedRect(p, r, 6, withOpacity(AppPalette::tintedBackground(), isDown() ? 0.9 : 0.6));
    if (KeyboardFocus::showsRing(this))
        Paint::focusRing(p, r, 6);
    const QRectF icon(r.center().x() - m_symbolSize / 2, r.center().y() - m_symbolSize / 2, m_symbolSize, m_symbolSize);
    Symbols::paint(p, icon, m_symbol, AppPalette::secondaryText());
}

void SymbolButton::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((event->modifiers() & Qt::AltModifier) && onMoveKey &&
        (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down)) {
        onMoveKey(key);
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void SymbolButton::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    m_pressPos = event->position().toPoint();
    QAbstractButton::mousePressEvent(event);
}

void SymbolButton::mouseMoveEvent(QMouseEvent* event) {
    if (onDragStart && m_pressed && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_pressed = false;
        setDown(false);
        onDragStart();
        return;
    }
    QAbstractButton::mouseMoveEvent(event);
}

// ---------------------------------------------------------------------------------------------
SoftButton::SoftButton(const QString& symbol, const QString& title, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol) {
    setText(title);
    setFont(Fonts::rounded(13, 600));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QSize SoftButton::sizeHint() const {
    const QFontMetricsF fm(font());
    return QSize(12 + 13 + 8 + int(std::ceil(fm.horizontalAdvance(text()))) + 12,
                 int(std::ceil(std::max<qreal>(fm.height(), 13))) + 20);
}

void SoftButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The ring lies on what is behind the button, its fill a gap inside it.
    const bool ring = KeyboardFocus::showsRing(this);
    const qreal in = ring ? Paint::focusRingReach : 0.5;
    const QRectF r = QRectF(rect()).adjusted(in, in, -in, -in);
    Paint::fillRoundedRect(p, r, 12.5 - in, withOpacity(AppPalette::tintedBackground(), isDown() ? 0.8 : 0.45));
    Paint::strokeRoundedRect(p, r, 12.5 - in, withOpacity(AppPalette::separator(), 0.25));
    if (ring)
        Paint::focusRing(p, QRectF(rect()), 12.5);
    const QColor ink = AppPalette::primaryText();
    Symbols::paint(p, QRectF(12, (height() - 13) / 2.0, 13, 13), m_symbol, ink);
    p.setFont(font());
    p.setPen(ink);
    p.drawText(QRectF(12 + 13 + 8, 0, width(), height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}

void SoftButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
ElidedText::ElidedText(TintLabel::Ink ink, const QFont& font, int maxLines, QWidget* parent)
    : lists::ClampedText(
          font, [ink] { return ink == TintLabel::primary ? AppPalette::primaryText() : AppPalette::secondaryText(); },
          maxLines, parent) {
    // Hovered for its tooltip.
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
}

void ElidedText::setText(const QString& text) {
    lists::ClampedText::setText(text);
    updateToolTip();
}

bool ElidedText::isCut() const {
    const QStringList lines = visibleLines(width());
    return !lines.isEmpty() && lines.last().endsWith(QChar(0x2026)) && !text().endsWith(QChar(0x2026));
}

void ElidedText::resizeEvent(QResizeEvent* event) {
    lists::ClampedText::resizeEvent(event);
    updateToolTip();
}

void ElidedText::updateToolTip() {
    if (!isCut()) {
        setToolTip({});
        return;
    }
    // As rich text the tooltip wraps to the screen; a long word gets break points, which a tooltip
    // would otherwise show on one line running off the screen.
    QString html;
    int run = 0;
    for (const QChar c : text()) {
        switch (c.unicode()) {
        case u'<': html += QStringLiteral("&lt;"); break;
        case u'>': html += QStringLiteral("&gt;"); break;
        case u'&': html += QStringLiteral("&amp;"); break;
        default: html += c;
        }
        run = c.isSpace() ? 0 : run + 1;
        if (run >= 30) {
            html += QChar(0x200B);
            run = 0;
        }
    }
    setToolTip(QStringLiteral("<qt>") + html + QStringLiteral("</qt>"));
}
