#include "ui/ShapedText.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QRectF>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// Past this length the positions of every character cost more than shaping anew.
constexpr qsizetype kMaxLength = 600;

bool isHardBreak(QChar c) { return c == u'\n' || c == QChar::LineSeparator; }
// Korean is broken at spaces, never between the syllables of a word: Qt's layout tailors the Unicode rules
// so, where QTextBoundaryFinder keeps them.
bool isHangul(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0x1100 && u <= 0x11FF) || (u >= 0x3130 && u <= 0x318F) ||
        (u >= 0xA960 && u <= 0xA97F) || (u >= 0xD7B0 && u <= 0xD7FF);
}
// A space a line may end on (not a no-break space).
bool isBlank(QChar c) {
    return c == u' ' || (c.unicode() >= 0x80 && c.isSpace() && c.decompositionTag() != QChar::NoBreak);
}

} // namespace

ShapedText::ShapedText() = default;
ShapedText::ShapedText(const QString& text, const QFont& font) : m_text(text), m_font(font) {}
ShapedText::~ShapedText() = default;
ShapedText::ShapedText(ShapedText&&) noexcept = default;
ShapedText& ShapedText::operator=(ShapedText&&) noexcept = default;

void ShapedText::set(const QString& text, const QFont& font) {
    if (text == m_text && font == m_font && font.resolveMask() == m_font.resolveMask())
        return;
    m_text = text;
    m_font = font;
    m_shaped = false;
    m_layout.reset();
    m_x.clear();
    m_hardLine.clear();
}

bool ShapedText::isSupported() const {
    if (m_text.size() > kMaxLength)
        return false;
    for (QChar c : m_text) {
        switch (c.direction()) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
        case QChar::DirAN: return false;
        default: break;
        }
        // Tabs stop at positions and a soft hyphen shows only at a break: Qt's own path draws both.
        if (c == u'\t' || c == QChar::SoftHyphen || c == u'\r')
            return false;
    }
    return true;
}

void ShapedText::shape() const {
    if (m_shaped)
        return;
    m_shaped = true;
    QString laid = m_text;
    for (QChar& c : laid)
        if (c == u'\n')
            c = QChar::LineSeparator;
    m_layout = std::make_unique<QTextLayout>(laid, m_font);
    m_layout->setCacheEnabled(true);
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    m_layout->setTextOption(option);
    m_layout->beginLayout();
    qreal y = 0;
    for (;;) {
        QTextLine line = m_layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    m_layout->endLayout();

    const QFontMetricsF fm(m_font);
    m_leading = fm.leading();
    if (m_layout->lineCount() > 0) {
        const QTextLine first = m_layout->lineAt(0);
        m_ascent = first.ascent();
        m_lineHeight = first.ascent() + first.descent();
    } else {
        m_ascent = fm.ascent();
        m_lineHeight = fm.ascent() + fm.descent();
    }
    const int n = int(m_text.size());
    m_x.assign(size_t(n) + 1, 0);
    m_hardLine.assign(size_t(n) + 1, 0);
    for (int i = 0; i < m_layout->lineCount(); ++i) {
        const QTextLine line = m_layout->lineAt(i);
        const int end = line.textStart() + line.textLength();
        for (int pos = line.textStart(); pos <= std::min(end, n); ++pos) {
            // A position just past a hard break starts the next line.
            if (pos == end && pos < n && i + 1 < m_layout->lineCount())
                break;
            m_x[size_t(pos)] = line.cursorToX(pos);
            m_hardLine[size_t(pos)] = i;
        }
    }
}

qreal ShapedText::lineHeight() const {
    shape();
    return m_lineHeight;
}

qreal ShapedText::ascent() const {
    shape();
    return m_ascent;
}

std::vector<ShapedText::Line> ShapedText::lines(qreal width, bool anywhere) const {
    shape();
    std::vector<Line> out;
    const int n = int(m_text.size());
    auto visibleEnd = [&](int start, int end) {
        while (end > start && isBlank(m_text[end - 1]))
            --end;
        return end;
    };
    auto push = [&](int start, int end, bool keepSpaces) {
        const int shown = keepSpaces ? end : visibleEnd(start, end);
        out.push_back({start, end - start, xAt(shown) - xAt(start)});
    };
    // Qt's layout counts what the last glyph of a piece joining a line overhangs its advance (a negative
    // right bearing).
    const QFontMetricsF metrics(m_font);
    auto needed = [&](int start, int end) {
        const int shown = visibleEnd(start, end);
        qreal overhang = 0;
        if (shown > start && !m_text[shown - 1].isSurrogate())
            overhang = std::max<qreal>(0, -metrics.rightBearing(m_text[shown - 1]));
        return xAt(shown) - xAt(start) + overhang;
    };
    int hardStart = 0;
    for (int i = 0; i <= n; ++i) {
        if (i < n && !isHardBreak(m_text[i]))
            continue;
        const int hardEnd = i;
        if (width < 0 || hardEnd == hardStart) {
            push(hardStart, hardEnd, true);
            hardStart = i + 1;
            continue;
        }
        // Where a line may start, inside this hard line: the Unicode line-break opportunities, and, as in
        // Qt's layout, after any run of spaces (French puts one before « ; » and « : »).
        std::vector<int> breaks;
        QTextBoundaryFinder finder(QTextBoundaryFinder::Line, m_text.constData() + hardStart, hardEnd - hardStart);
        for (qsizetype p = finder.toNextBoundary(); p > 0; p = finder.toNextBoundary()) {
            const int at = hardStart + int(p);
            if (at < hardEnd && isHangul(m_text[at - 1]) && isHangul(m_text[at]))
                continue;
            breaks.push_back(at);
        }
        for (int p = hardStart + 1; p < hardEnd; ++p)
            if (isBlank(m_text[p - 1]) && !isBlank(m_text[p]))
                breaks.push_back(p);
        breaks.push_back(hardEnd);
        std::sort(breaks.begin(), breaks.end());
        breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());

        int start = hardStart;
        int fitEnd = -1;
        for (size_t k = 0; k < breaks.size(); ++k) {
            const int p = breaks[k];
            if (p <= start)
                continue;
            // A piece joining a line that holds something already must fit with its overhang; the first
            // piece of a line is measured by its advance.
            if ((fitEnd > start ? needed(start, p) : xAt(visibleEnd(start, p)) - xAt(start)) <= width) {
                fitEnd = p;
                continue;
            }
            // Leading spaces stay with what follows them, unless they alone are wider than the line.
            if (fitEnd > start && (visibleEnd(start, fitEnd) > start || xAt(fitEnd) - xAt(start) > width)) {
                push(start, fitEnd, false);
                start = fitEnd;
                fitEnd = -1;
                --k; // the same piece, on the new line
                continue;
            }
            if (!anywhere) {
                // A word longer than the line overflows it.
                fitEnd = p;
                continue;
            }
            // Cut between characters: as many as fit, at least one; spaces after the last hang past the
            // width, as they do after a word.
            QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, m_text.constData() + start, p - start);
            int cut = start + int(graphemes.toNextBoundary());
            for (qsizetype g = graphemes.toNextBoundary(); g > 0; g = graphemes.toNextBoundary()) {
                if (xAt(start + int(g)) - xAt(start) > width)
                    break;
                cut = start + int(g);
            }
            while (cut < p && isBlank(m_text[cut]))
                ++cut;
            push(start, cut, false);
            start = cut;
            fitEnd = -1;
            --k;
        }
        // The last line of a paragraph counts its trailing spaces, as Qt does.
        if (start < hardEnd)
            push(start, hardEnd, true);
        hardStart = i + 1;
    }
    return out;
}

qreal ShapedText::naturalWidth() const {
    qreal widest = 0;
    for (const Line& line : lines(-1))
        widest = std::max(widest, line.width);
    return widest;
}

qreal ShapedText::advance(int start, int length) const {
    shape();
    return xAt(start + length) - xAt(start);
}

QSize ShapedText::boundingSize(int width) const {
    shape();
    if (m_text.isEmpty())
        return {0, int(std::ceil(QFontMetricsF(m_font).height()))};
    const std::vector<Line> broken = lines(width < 0 ? -1 : std::max(0, width));
    qreal height = -m_leading;
    qreal widest = 0;
    for (const Line& line : broken) {
        height += m_leading;
        // Lines sit on whole pixels.
        height = std::ceil(height);
        height += m_lineHeight;
        widest = std::max(widest, line.width);
    }
    return QRectF(0, 0, widest, height).toAlignedRect().size();
}

void ShapedText::drawLine(QPainter& p, const Line& line, const QPointF& topLeft) const {
    shape();
    if (line.length <= 0 || !m_layout)
        return;
    const QTextLine hard = m_layout->lineAt(m_hardLine[size_t(line.start)]);
    // The position in Qt's fixed point (1/64 pixel, cut as QTextLine::draw cuts it), so that every glyph
    // lands on the same sub-pixel position as drawText would put it.
    auto fixed = [](qreal v) { return std::trunc(v * 64) / 64; };
    const QPointF offset(fixed(topLeft.x()) - xAt(line.start), fixed(topLeft.y()) - hard.y());
    // Blanks at the end draw nothing, as in Qt's own lines (with a font that lacks them, a box would show).
    int end = line.start + line.length;
    while (end > line.start && isBlank(m_text[end - 1]))
        --end;
    if (end == line.start)
        return;
    for (const QGlyphRun& run : m_layout->glyphRuns(line.start, end - line.start))
        p.drawGlyphRun(offset, run);
}

void ShapedText::draw(QPainter& p, const QRectF& rect, int flags) const {
    const bool wrap = flags & Qt::TextWordWrap;
    if (!isSupported() ||
        (flags & ~(Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask | Qt::TextWordWrap | Qt::TextSingleLine)) ||
        ((flags & Qt::TextSingleLine) && m_text.contains(QLatin1Char('\n')))) {
        p.save();
        p.setFont(m_font);
        p.drawText(rect, flags, m_text);
        p.restore();
        return;
    }
    shape();
    // As drawText places lines: on whole pixels from the top of the block, the block aligned in the
    // rectangle, each line aligned on its own advance; clipped when the block overflows it.
    const std::vector<Line> broken = lines(wrap ? rect.width() : -1);
    std::vector<qreal> tops;
    tops.reserve(broken.size());
    qreal height = -m_leading;
    qreal width = 0;
    for (const Line& line : broken) {
        height += m_leading;
        height = std::ceil(height);
        tops.push_back(height);
        height += m_lineHeight;
        width = std::max(width, line.width);
        // Lines past the one that fills the rectangle are not drawn (nor aligned).
        if (height >= rect.height())
            break;
    }
    qreal y = 0;
    if (flags & Qt::AlignBottom)
        y = rect.height() - height;
    else if (flags & Qt::AlignVCenter)
        y = (rect.height() - height) / 2;
    qreal x = 0;
    if (flags & Qt::AlignRight)
        x = rect.width() - width;
    else if (flags & Qt::AlignHCenter)
        x = (rect.width() - width) / 2;
    const bool clip = !rect.contains(QRectF(rect.x() + x, rect.y() + y, width, height));
    if (clip) {
        p.save();
        p.setClipRect(rect, Qt::IntersectClip);
    }
    for (size_t i = 0; i < tops.size(); ++i) {
        qreal lineX = 0;
        if (flags & Qt::AlignRight)
            lineX = rect.width() - broken[i].width;
        else if (flags & Qt::AlignHCenter)
            lineX = (rect.width() - broken[i].width) / 2;
        drawLine(p, broken[i], QPointF(rect.x() + lineX, rect.y() + y + tops[i]));
    }
    if (clip)
        p.restore();
}

void ElidedLine::draw(QPainter& p, const QRectF& rect, int flags, const QString& text, const QFont& font,
                      int elideWidth) {
    m_full.set(text, font);
    if (m_full.isSupported() && m_full.naturalWidth() <= elideWidth) {
        m_full.draw(p, rect, flags);
        return;
    }
    if (elideWidth != m_elidedWidth || text != m_elidedFrom || m_elided.font() != font) {
        m_elided.set(QFontMetrics(font).elidedText(text, Qt::ElideRight, elideWidth), font);
        m_elidedWidth = elideWidth;
        m_elidedFrom = text;
    }
    m_elided.draw(p, rect, flags);
}

qreal ElidedLine::naturalWidth(const QString& text, const QFont& font) {
    m_full.set(text, font);
    return m_full.isSupported() ? m_full.naturalWidth() : QFontMetricsF(font).horizontalAdvance(text);
}

std::vector<ShapedText::Line> qtLineBreaks(const QString& text, const QFont& font, qreal width, int maxLines) {
    std::vector<ShapedText::Line> lines;
    QString laid = text;
    laid.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laid, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (int(lines.size()) < maxLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        lines.push_back({line.textStart(), line.textLength(), 0});
    }
    layout.endLayout();
    return lines;
}
