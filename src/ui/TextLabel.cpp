#include "ui/TextLabel.h"

#include "ui/Accessibility.h"

#include <QAccessible>
#include <QEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace {

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TextLabel::staticMetaObject.className()))
        if (auto* label = qobject_cast<TextLabel*>(object))
            // A blank label only keeps its place: there is nothing to read.
            return new Accessibility::PaintedText(
                label, [label] { return label->text(); }, [label] { return !label->text().trimmed().isEmpty(); });
    return nullptr;
}

constexpr int kRememberedWidths = 4;

} // namespace

TextLabel::TextLabel(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) {
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void TextLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    invalidate();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void TextLabel::setWordWrap(bool on) {
    if (on == m_wrap)
        return;
    m_wrap = on;
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(on);
    setSizePolicy(policy);
    invalidate();
}

void TextLabel::setAlignment(Qt::Alignment alignment) {
    if (alignment == m_align)
        return;
    m_align = alignment;
    invalidate();
}

void TextLabel::invalidate() {
    m_hintsValid = false;
    m_heights.clear();
    updateGeometry();
    update();
}

int TextLabel::flags() const { return int(m_align) | (m_wrap ? Qt::TextWordWrap : 0) | Qt::TextExpandTabs; }

QSize TextLabel::textSize(int width) const {
    m_shaped.set(m_text, font());
    if (m_shaped.isSupported())
        return m_shaped.boundingSize(m_wrap ? width : -1);
    // Centring is left out of a measure, as QLabel does (it only rounds).
    const int measureFlags = flags() & ~(Qt::AlignVCenter | Qt::AlignHCenter);
    return QFontMetrics(font()).boundingRect(0, 0, width, 2000, measureFlags, m_text).size();
}

QSize TextLabel::sizeForWidth(int w) const {
    if (minimumWidth() > 0)
        w = std::max(w, minimumWidth());
    const QMargins m = contentsMargins();
    const QSize margins(m.left() + m.right(), m.top() + m.bottom());
    QSize text;
    if (m_text.isEmpty()) {
        // An empty label keeps room for one character, as QLabel does.
        const QFontMetrics fm(font());
        text = QSize(fm.averageCharWidth(), fm.lineSpacing());
    } else if (m_wrap && w >= 0) {
        text = textSize(std::max(w - margins.width(), 0));
    } else {
        // QLabel's preferred shape for wrapped text: about eighty characters wide, narrower while that
        // leaves it short and wide.
        const bool tryWidth = w < 0 && m_wrap;
        if (tryWidth)
            w = std::min(QFontMetrics(font()).averageCharWidth() * 80, maximumSize().width());
        else if (w < 0)
            w = 2000;
        w -= margins.width();
        text = textSize(w);
        const int lineSpacing = QFontMetrics(font()).lineSpacing();
        if (tryWidth && text.height() < 4 * lineSpacing && text.width() > w / 2)
            text = textSize(w / 2);
        if (tryWidth && text.height() < 2 * lineSpacing && text.width() > w / 4)
            text = textSize(w / 4);
    }
    return (text + margins).expandedTo(minimumSize());
}

QSize TextLabel::sizeHint() const {
    if (!m_hintsValid)
        (void)minimumSizeHint();
    return m_hint;
}

QSize TextLabel::minimumSizeHint() const {
    if (m_hintsValid)
        return m_minimumHint;
    ensurePolished();
    m_hint = sizeForWidth(-1);
    if (m_text.isEmpty()) {
        m_minimumHint = m_hint;
    } else {
        QSize minimum(sizeForWidth(0).width(), sizeForWidth(QWIDGETSIZE_MAX).height());
        minimum.setHeight(std::min(minimum.height(), m_hint.height()));
        m_minimumHint = minimum;
    }
    m_hintsValid = true;
    return m_minimumHint;
}

int TextLabel::heightForWidth(int width) const {
    if (m_text.isEmpty())
        return QWidget::heightForWidth(width);
    for (const auto& [w, h] : m_heights)
        if (w == width)
            return h;
    const int h = sizeForWidth(width).height();
    if (m_heights.size() >= kRememberedWidths)
        m_heights.erase(m_heights.begin());
    m_heights.emplace_back(width, h);
    return h;
}

QColor TextLabel::textColor() const { return palette().color(foregroundRole()); }

void TextLabel::paintEvent(QPaintEvent*) {
    if (m_text.isEmpty())
        return;
    QPainter p(this);
    p.setPen(textColor());
    p.setFont(font());
    const QRect r = contentsRect();
    m_shaped.set(m_text, font());
    if (!m_shaped.isSupported()) {
        // As QLabel draws it: a right-to-left text mirrors the horizontal alignment.
        const bool rtl = m_text.isRightToLeft();
        const int drawFlags = int(QStyle::visualAlignment(rtl ? Qt::RightToLeft : Qt::LeftToRight, m_align)) |
            (m_wrap ? Qt::TextWordWrap : 0) | Qt::TextExpandTabs |
            (rtl ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight);
        p.drawText(r, drawFlags, m_text);
        return;
    }
    m_shaped.draw(p, r, int(m_align) | (m_wrap ? Qt::TextWordWrap : 0));
}

void TextLabel::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::ApplicationFontChange:
    case QEvent::ContentsRectChange:
    case QEvent::StyleChange: invalidate(); break;
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange: update(); break;
    default: break;
    }
    QWidget::changeEvent(event);
}
