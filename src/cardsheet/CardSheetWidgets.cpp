#include "cardsheet/CardSheetWidgets.h"

#include "richtext/LargeText.h"
#include "ui/Boxes.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/KeyboardFocus.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QVBoxLayout>

#include <cmath>

namespace cardsheetui {

namespace {
int ceilInt(qreal v) { return int(std::ceil(v - 1e-6)); }

void setTextColor(QWidget* w, QPalette::ColorRole role, const QColor& c) {
    QPalette pal = w->palette();
    if (pal.color(role) == c)
        return;
    pal.setColor(role, c);
    w->setPalette(pal);
}
} // namespace

// ---- ColorLabel ----

ColorLabel::ColorLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent)
    : QLabel(text, parent), m_color(std::move(color)), m_full(text) {
    setFont(font);
    setTextFormat(Qt::PlainText);
    setAccessibleName(text);
}

void ColorLabel::setElided(bool elided, Qt::TextElideMode mode) {
    m_elided = elided;
    m_elideMode = mode;
    setWordWrap(!elided);
    if (elided)
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    applyElision();
}

QSize ColorLabel::minimumSizeHint() const {
    if (m_elided)
        return {0, QLabel::minimumSizeHint().height()};
    return QLabel::minimumSizeHint();
}

void ColorLabel::applyElision() {
    if (!m_elided)
        return;
    const QString shown = fontMetrics().elidedText(m_full, m_elideMode, std::max(0, width()));
    if (shown != text())
        QLabel::setText(shown);
}

void ColorLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    applyElision();
}

void ColorLabel::paintEvent(QPaintEvent* event) {
    setTextColor(this, QPalette::WindowText, withOpacity(m_color(), m_opacity));
    QLabel::paintEvent(event);
}

// ---- SheetSection ----

SheetSection::SheetSection(const QString& title, QWidget* parent) : QWidget(parent), m_title(title) {
    auto* outer = Boxes::column(this, 10, QMargins(12, 12, 12, 12));
    outer->addWidget(new ColorLabel(
        title, Fonts::rounded(12, 600), [] { return AppPalette::secondaryText(); }, this));
    m_content = Boxes::column(nullptr, 10, QMargins());
    outer->addLayout(m_content);
}

void SheetSection::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Paint::fillRoundedRect(p, rect(), 14, withOpacity(AppPalette::screenBackground(), 0.65));
    Paint::strokeRoundedRect(p, rect(), 14, withOpacity(AppPalette::separator(), 0.28));
}

// ---- FieldFrame ----

FieldFrame::FieldFrame(const QString& placeholder, qreal fillOpacity, QWidget* parent)
    : QWidget(parent), m_fill(fillOpacity) {
    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(12, 10, 12, 10);
    m_edit = newBareLineEdit(placeholder, this);
    QPalette pal = m_edit->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    m_edit->setPalette(pal);
    l->addWidget(m_edit);
    setFocusProxy(m_edit);
    repaintOnFocusChange(this, m_edit);
}

void FieldFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Paint::fillRoundedRect(p, rect(), 12, withOpacity(AppPalette::cardBackground(), m_fill));
    Paint::fieldOutline(p, rect(), 12, m_edit->hasFocus());
    setTextColor(m_edit, QPalette::Text, AppPalette::primaryText());
}

// ---- PillButton ----

PillButton::PillButton(const QString& symbol, const QString& title, Look look, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_look(look) {
    setText(title);
    setAccessibleName(title);
    setFont(Fonts::rounded(look.textPx, 600));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize PillButton::sizeHint() const {
    const QFontMetricsF fm(font());
    const int w = m_look.padH * 2 + int(m_look.symbolPx) + m_look.spacing + ceilInt(fm.horizontalAdvance(text()));
    const int h = m_look.padV * 2 + std::max(ceilInt(fm.height()), int(m_look.symbolPx));
    return {w, h};
}

void PillButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Paint::beginPlainButton(p, *this);
    const QRectF r = rect();
    const bool ring = KeyboardFocus::showsRing(this);
    const qreal in = ring ? Paint::focusRingReach : 0;
    const QRectF pill = r.adjusted(in, in, -in, -in);
    Paint::fillRoundedRect(p, pill, 12 - in,
                           withOpacity(AppPalette::tintedBackground(), m_look.destructive ? 0.35 : 0.45));
    Paint::strokeRoundedRect(p, pill, 12 - in, withOpacity(AppPalette::separator(), 0.25));
    const QColor fg = m_look.destructive ? AppPalette::destructiveText() : AppPalette::primaryText();
    const QFontMetricsF fm(font());
    const qreal textW = fm.horizontalAdvance(text());
    const qreal contentW = m_look.symbolPx + m_look.spacing + textW;
    qreal x = (r.width() - contentW) / 2;
    Symbols::paint(p, QRectF(x, (r.height() - m_look.symbolPx) / 2, m_look.symbolPx, m_look.symbolPx), m_symbol, fg);
    x += m_look.symbolPx + m_look.spacing;
    p.setPen(fg);
    p.setFont(font());
    p.drawText(QRectF(x, 0, textW + 1, r.height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    if (ring)
        Paint::focusRing(p, r, 12);
}

// ---- IconButton ----

IconButton::IconButton(const QString& symbol, const QString& helpText, qreal symbolPx, int padding, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_px(symbolPx), m_pad(padding) {
    setToolTip(helpText);
    setAccessibleName(helpText);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize IconButton::sizeHint() const { return QSize(int(m_px) + 2 * m_pad, int(m_px) + 2 * m_pad); }

void IconButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        p.setOpacity(0.6);
    const QRectF r = rect();
    Symbols::paint(p, QRectF((r.width() - m_px) / 2, (r.height() - m_px) / 2, m_px, m_px), m_symbol,
                   AppPalette::secondaryText());
    if (KeyboardFocus::showsRing(this))
        Paint::focusRing(p, r, 6);
}

// ---- ReadOnlyRichText ----

ReadOnlyRichText::ReadOnlyRichText(QWidget* parent) : QTextEdit(parent) {
    makeReadOnlyTextView(this);
    document()->setDocumentMargin(12);
    setAttribute(Qt::WA_TranslucentBackground);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this, [this] {
        if (!m_bounded)
            updateGeometry();
    });
}

void ReadOnlyRichText::contentChanged(bool bounded) {
    m_heights.clear();
    m_bounded = bounded || largetext::isBounded(document()->characterCount());
    setVerticalScrollBarPolicy(m_bounded ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (m_bounded) {
        // Read RTF leaves the caret at the end; showing it there would lay out the whole text.
        setTextCursor(QTextCursor(document()));
        setFixedHeight(largetext::boundedHeight);
        largetext::paceLayout(*document());
    }
    updateGeometry();
}

void ReadOnlyRichText::setPlainLabelText(const QString& text, const QFont& font, ColorFn color) {
    document()->setDocumentMargin(0);
    document()->setDefaultFont(font);
    setFont(font);
    m_color = std::move(color);
    setPlainText(text);
    m_minimum = 0;
    contentChanged();
}

int ReadOnlyRichText::heightForWidth(int width) const {
    if (m_bounded)
        return largetext::boundedHeight;
    // Layouts ask for the same few widths again and again, and each answer lays out the whole text.
    for (const auto& [w, h] : m_heights)
        if (w == width)
            return h;
    QTextDocument* doc = document()->clone();
    doc->setTextWidth(std::max(1, width));
    const int h = std::max(m_minimum, ceilInt(doc->size().height()));
    delete doc;
    m_heights.emplace_back(width, h);
    return h;
}

QSize ReadOnlyRichText::sizeHint() const {
    const int w = width() > 0 ? width() : 584;
    return {w, heightForWidth(w)};
}

void ReadOnlyRichText::paintEvent(QPaintEvent* event) {
    if (m_color)
        cardsheetui::setTextColor(this, QPalette::Text, m_color());
    QTextEdit::paintEvent(event);
}

void ReadOnlyRichText::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    const int h = heightForWidth(width());
    if (h != height())
        setFixedHeight(h);
}

// ---- RowFrame ----

RowFrame::RowFrame(qreal radius, ColorFn fill, qreal strokeOpacity, QWidget* parent)
    : QWidget(parent), m_radius(radius), m_fill(std::move(fill)), m_stroke(strokeOpacity) {}

void RowFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Paint::fillRoundedRect(p, rect(), m_radius, m_fill());
    Paint::strokeRoundedRect(p, rect(), m_radius, withOpacity(AppPalette::separator(), m_stroke));
}

void RowFrame::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}

// ---- AttachmentPreview ----

AttachmentPreview::AttachmentPreview(const QString& symbol, QWidget* parent) : QWidget(parent), m_symbol(symbol) {
    setFixedSize(56, 56);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void AttachmentPreview::setThumbnail(const QImage& image) {
    m_image = image;
    update();
}

void AttachmentPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF r = rect();
    const QPainterPath clip = Paint::roundedRect(r, 12);
    if (!m_image.isNull()) {
        p.save();
        p.setClipPath(clip);
        // Scaled to fill: proportions kept, the overflow cut by the rounded clip.
        const QSizeF s = QSizeF(m_image.size()).scaled(r.size(), Qt::KeepAspectRatioByExpanding);
        p.drawImage(QRectF(r.center().x() - s.width() / 2, r.center().y() - s.height() / 2, s.width(), s.height()),
                    m_image);
        p.restore();
    } else {
        Paint::fill(p, clip, withOpacity(AppPalette::tintedBackground(), 0.45));
        Symbols::paint(p, QRectF((r.width() - 18) / 2, (r.height() - 18) / 2, 18, 18), m_symbol,
                       AppPalette::secondaryText());
    }
    Paint::strokeRoundedRect(p, r, 12, withOpacity(AppPalette::separator(), 0.25));
}

} // namespace cardsheetui
