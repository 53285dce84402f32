#include "board/CardTile.h"

#include "richtext/LargeText.h"
#include "richtext/NotesFormat.h"
#include "ui/BoundedText.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/ShapedText.h"
#include "ui/lists/ListWidgets.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTextDocument>

#include <cctype>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

constexpr int kPad = 12;
constexpr int kSpacing = 10;
const QString kSeeMore = QStringLiteral("Voir plus");

const QFont& titleFont() {
    static const QFont f = Fonts::rounded(13, 600);
    return f;
}
const QFont& previewFont() {
    static const QFont f = Fonts::rounded(12, 400);
    return f;
}
const QFont& seeMoreFont() {
    static const QFont f = Fonts::rounded(12, 600);
    return f;
}

// The text of RTF read roughly, for an estimate of its preview without building a document: groups
// that hold no text (tables, "\*" destinations, pictures) are skipped, other control words dropped,
// "\par" and "\line" break lines, "\'hh" and "\uN" give their character.
QString roughRtfText(const QByteArray& rtf) {
    static const QList<QByteArray> noText = {"fonttbl",   "colortbl",          "stylesheet", "info",   "pict",
                                             "listtable", "listoverridetable", "header",     "footer", "object"};
    QString out;
    int depth = 0;
    int skipFrom = -1; // depth of the group being skipped
    int skipFallback = 0; // characters standing for the last "\u"
    bool groupStart = false;
    const qsizetype n = rtf.size();
    auto put = [&](QChar c) {
        if (skipFrom >= 0)
            return;
        if (skipFallback > 0) {
            --skipFallback;
            return;
        }
        out += c;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char c = rtf[i];
        const bool atGroupStart = groupStart;
        groupStart = false;
        if (c == '{') {
            ++depth;
            groupStart = true;
        } else if (c == '}') {
            if (skipFrom == depth)
                skipFrom = -1;
            --depth;
        } else if (c == '\\' && i + 1 < n) {
            const char next = rtf[i + 1];
            if (std::isalpha(uchar(next))) {
                qsizetype j = i + 1;
                while (j < n && std::isalpha(uchar(rtf[j])))
                    ++j;
                const QByteArray word = rtf.mid(i + 1, j - i - 1);
                qsizetype k = j;
                if (k < n && rtf[k] == '-')
                    ++k;
                while (k < n && std::isdigit(uchar(rtf[k])))
                    ++k;
                const QByteArray param = rtf.mid(j, k - j);
                if (k < n && rtf[k] == ' ')
                    ++k;
                i = k - 1;
                if (atGroupStart && skipFrom < 0 && noText.contains(word))
                    skipFrom = depth;
                else if (word == "par" || word == "line")
                    put(QLatin1Char('\n'));
                else if (word == "tab")
                    put(QLatin1Char(' '));
                else if (word == "u" && !param.isEmpty()) {
                    put(QChar(char16_t(param.toInt())));
                    if (skipFrom < 0)
                        skipFallback = 1;
                }
            } else if (next == '*') {
                if (skipFrom < 0)
                    skipFrom = depth;
                ++i;
            } else if (next == '\'') {
                bool ok = false;
                const int code = rtf.mid(i + 2, 2).toInt(&ok, 16);
                if (ok)
                    put(QChar(char16_t(code)));
                i += 3;
            } else {
                if (next == '\\' || next == '{' || next == '}')
                    put(QLatin1Char(next));
                else if (next == '~')
                    put(QLatin1Char(' '));
                ++i;
            }
        } else if (c != '\r' && c != '\n') {
            put(QLatin1Char(c));
        }
    }
    return out;
}

// Notes past this length are previewed from their start only.
constexpr qsizetype kLongNotes = 64 * 1024;
// Four lines of the narrowest characters at the widest tile hold fewer: the cut is never seen.
constexpr int kWrapBudget = 600;

// Widths of words in one of the tile's fonts, remembered: the board estimates the height of every card it
// has not made a tile for, thousands at a time, and the same words come back from card to card.
class WordWidths {
public:
    explicit WordWidths(const QFont& font) : m_metrics(font) {}
    // The word's advance, and how far its last glyph reaches past it (what Qt's layout counts when the
    // word joins a line).
    struct Width {
        qreal advance = 0;
        qreal overhang = 0;
    };
    Width width(QStringView word) {
        const std::u16string_view key(word.utf16(), size_t(word.size()));
        if (const auto it = m_widths.find(key); it != m_widths.end())
            return it->second;
        if (m_widths.size() >= kMaxWords)
            m_widths.clear(); // bounded: a board of unique words costs no more than a few
        Width w{m_metrics.horizontalAdvance(word.toString()), 0};
        if (!word.isEmpty() && !word.back().isSurrogate())
            w.overhang = std::max<qreal>(0, -m_metrics.rightBearing(word.back()));
        m_widths.emplace(std::u16string(key), w);
        return w;
    }
    qreal exact(QStringView line) const { return m_metrics.horizontalAdvance(line.toString()); }

private:
    static constexpr size_t kMaxWords = 20000;
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>()(s); }
    };
    QFontMetricsF m_metrics;
    std::unordered_map<std::u16string, Width, Hash, std::equal_to<>> m_widths;
};

WordWidths& titleWords() {
    static WordWidths widths(titleFont());
    return widths;
}
WordWidths& previewWords() {
    static WordWidths widths(previewFont());
    return widths;
}

// Whether Qt's line breaking puts opportunities only after the spaces of a text made of these characters.
bool breaksOnlyAtSpaces(QChar c) {
    if (c.unicode() < 0x250 && c.isLetterOrNumber())
        return true;
    return QStringView(u".,;:!?\u2019'\"()\u00ab\u00bb%&").contains(c);
}

// The number of lines of `text` at `width` (at most maxLines + 1) from the widths of its words, for a text
// whose lines Qt breaks only at its spaces: Latin words and punctuation between single spaces, none wider
// than the line. A line that comes within a couple of pixels of the width is measured whole (kerning
// across its spaces decides). Nothing for other texts.
std::optional<int> quickLineCount(const QString& text, WordWidths& widths, qreal width, int maxLines) {
    constexpr qreal kSlack = 1.25; // kerning across the spaces of a line is worth less than this
    if (text.size() > kWrapBudget)
        return std::nullopt;
    const qreal space = widths.width(u" ").advance;
    int lines = 0;
    for (const QStringView paragraph : QStringView(text).split(QLatin1Char('\n'))) {
        ++lines;
        if (paragraph.isEmpty())
            continue;
        qsizetype lineStart = 0;
        qreal x = -1;
        qsizetype wordStart = 0;
        while (wordStart <= paragraph.size()) {
            qsizetype wordEnd = paragraph.indexOf(QLatin1Char(' '), wordStart);
            if (wordEnd < 0)
                wordEnd = paragraph.size();
            const QStringView word = paragraph.mid(wordStart, wordEnd - wordStart);
            if (word.isEmpty())
                return std::nullopt; // leading, trailing or doubled spaces
            for (const QChar c : word)
                if (!breaksOnlyAtSpaces(c))
                    return std::nullopt;
            const auto [w, overhang] = widths.width(word);
            if (w > width - kSlack)
                return std::nullopt; // cut inside the word, or close to it
            if (x < 0) {
                x = w;
            } else {
                qreal next = x + space + w;
                if (std::abs(next + overhang - width) <= kSlack)
                    next = widths.exact(paragraph.mid(lineStart, wordEnd - lineStart));
                if (next + overhang <= width) {
                    x = next;
                } else {
                    ++lines;
                    lineStart = wordStart;
                    x = w;
                }
            }
            wordStart = wordEnd + 1;
        }
        if (lines > maxLines)
            return maxLines + 1;
    }
    return lines;
}

// Lines a text takes in a tile, at most maxLines: cheaply when quickLineCount can tell, else shaped.
int lineCount(const QString& text, const QFont& font, WordWidths& words, qreal width, int maxLines) {
    if (const std::optional<int> quick = quickLineCount(text, words, width, maxLines))
        return std::max(1, std::min(*quick, maxLines));
    return int(wrapText(text, font, width, maxLines).lines.size());
}

} // namespace

std::optional<QString> notesPreviewText(const OptText& notes) {
    if (!notes)
        return std::nullopt;
    if (notes->size() > kLongNotes) {
        // Three lines are shown: decoding and reading a description of megabytes would hold the window
        // for seconds and take gigabytes, and its start is all the tile needs.
        const notesformat::Decoded start = notesformat::preview(notes, kLongNotes / 4);
        QTextDocument doc;
        largetext::loadPreview(start.rtf, start.plain, doc);
        const QString text = doc.toPlainText().left(kLongNotes / 4);
        return text.trimmed().isEmpty() ? std::nullopt : std::optional<QString>(text);
    }
    if (notes->trimmed().isEmpty())
        return std::nullopt;
    // The card sheet reads the same value: one decoder, so that both show the same text.
    return notesformat::decode(notes).plain;
}

WrappedText wrapText(const QString& text, const QFont& font, qreal width, int maxLines) {
    WrappedText out;
    const QFontMetricsF fm(font);
    out.lineHeight = fm.lineSpacing();
    if (text.isEmpty() || maxLines <= 0) {
        out.lines << QString();
        return out;
    }
    // A tile shows a few hundred characters at most: the rest of a long text never reaches a layout.
    const QString bounded = BoundedText::bounded(text, kWrapBudget);
    struct Range {
        int start;
        int length;
    };
    std::vector<Range> ranges; // up to maxLines + 1: one more tells that the text goes on
    ShapedText shaped(bounded, font);
    if (shaped.isSupported()) {
        for (const ShapedText::Line& l : shaped.lines(width, true)) {
            ranges.push_back({l.start, l.length});
            if (int(ranges.size()) > maxLines)
                break;
        }
    } else {
        // Right-to-left and tabbed texts: Qt's own layout.
        for (const ShapedText::Line& l : qtLineBreaks(bounded, font, width, maxLines + 1))
            ranges.push_back({l.start, l.length});
    }
    auto lineText = [&](const Range& r) {
        QString part = bounded.mid(r.start, r.length);
        while (!part.isEmpty() && (part.back().isSpace() || part.back() == QChar::LineSeparator))
            part.chop(1);
        return part;
    };
    const bool truncated = int(ranges.size()) > maxLines;
    if (truncated)
        ranges.resize(size_t(maxLines));
    for (const Range& r : ranges)
        out.lines << lineText(r);
    if (truncated) {
        // The last line shown ends with an ellipsis: cut inside a paragraph, the rest of it elided onto
        // the line; at the end of one, the line itself followed by the ellipsis.
        const Range& last = ranges.back();
        // (Qt's layout keeps the break on the line, the shaping leaves it to the next.)
        const qsizetype end = last.start + last.length;
        const bool paragraphEnds = (end < bounded.size() && bounded.at(end) == QLatin1Char('\n')) ||
            (end > 0 && bounded.at(end - 1) == QLatin1Char('\n'));
        QString rest = paragraphEnds ? lineText(last) + QChar(0x2026) : bounded.mid(last.start);
        rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
        QString elided = BoundedText::withoutBlankBeforeEllipsis(fm.elidedText(rest, Qt::ElideRight, width));
        if (!elided.endsWith(QChar(0x2026)))
            elided += QChar(0x2026); // the rest fits only because the next line begins with a break
        out.lines.last() = elided;
    }
    if (out.lines.isEmpty())
        out.lines << QString();
    return out;
}

// ---------------------------------------------------------------------------------------------
CardTile::CardTile(ChecklistCardPtr card, QWidget* parent) : QAbstractButton(parent), m_card(std::move(card)) {
    m_id = m_card->id();
    // A click focuses the tile too, so that the keyboard moves the card whose sheet was just closed.
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    refresh();
}

Paint::Shadow CardTile::shadow(bool hovered) {
    static const QColor black = QColor::fromRgbF(0, 0, 0, 0.33f);
    return hovered ? Paint::Shadow{black, 10, QPointF(0, 6)} : Paint::Shadow{black, 6, QPointF(0, 3)};
}

bool CardTile::refresh() {
    const QString title = m_card->title();
    const OptText notes = m_card->notes();
    if (title == m_title && notes == m_notes && m_layoutWidth >= 0)
        return false;
    m_title = title;
    m_notes = notes;
    m_preview = notesPreviewText(notes);
    // A title of megabytes is read, laid out and handed to screen readers only as far as a tile shows it.
    const QString shown = BoundedText::bounded(m_title, kWrapBudget);
    setText(shown);
    setAccessibleName(shown);
    setAccessibleDescription(m_preview && !m_preview->isEmpty() ? *m_preview + QLatin1Char('\n') + kSeeMore : kSeeMore);
    m_layoutWidth = -1;
    update();
    return true;
}

void CardTile::setAccent(const QColor& accent) {
    if (accent == m_accent)
        return;
    m_accent = accent;
    update();
}

void CardTile::layoutTexts(int tileWidth) {
    if (tileWidth == m_layoutWidth)
        return;
    m_layoutWidth = tileWidth;
    const qreal inner = std::max(1, tileWidth - 2 * kPad);
    m_titleLines = wrapText(text(), titleFont(), inner, 4);
    m_previewLines = m_preview ? wrapText(*m_preview, previewFont(), inner, 3) : WrappedText{};
    m_height = heightFor(int(m_titleLines.lines.size()), m_preview ? int(m_previewLines.lines.size()) : -1);
}

int CardTile::heightFor(int titleLines, int previewLines) {
    static const qreal titleLine = QFontMetricsF(titleFont()).lineSpacing();
    static const qreal previewLine = QFontMetricsF(previewFont()).lineSpacing();
    static const qreal seeMoreLine = QFontMetricsF(seeMoreFont()).lineSpacing();
    qreal h = kPad + titleLines * titleLine;
    if (previewLines >= 0)
        h += kSpacing + previewLines * previewLine;
    h += kSpacing + seeMoreLine + kPad;
    return int(std::ceil(h)) + 2 * kMargin;
}

int CardTile::estimateHeight(const QString& title, const OptText& notes, int tileWidth) {
    const qreal inner = std::max(1, tileWidth - 2 * kPad);
    const int titleLines = lineCount(title, titleFont(), titleWords(), inner, 4);
    int previewLines = -1;
    if (notes && notes->size() > kLongNotes) {
        // Previewed from its start only, as the tile itself does.
        const std::optional<QString> preview = notesPreviewText(notes);
        if (preview)
            previewLines = int(wrapText(*preview, previewFont(), inner, 3).lines.size());
        return heightFor(titleLines, previewLines);
    }
    const QString trimmed = notes ? notes->trimmed() : QString();
    if (!trimmed.isEmpty()) {
        QString preview = *notes;
        // The same Base64 rule as the tile's (notesformat), the RTF read roughly.
        if (trimmed.startsWith(QLatin1String(notesformat::rtfPrefix)))
            if (const auto decoded = notesformat::strictBase64(trimmed.mid(4)))
                preview = roughRtfText(*decoded);
        previewLines = lineCount(preview, previewFont(), previewWords(), inner, 3);
    }
    return heightFor(titleLines, previewLines);
}

int CardTile::guessHeight(const QString& title, const OptText& notes, int tileWidth) {
    // The mean advance of a character of running French text in each font.
    auto meanAdvance = [](const QFont& font) {
        const QString sample =
            QStringLiteral("Préparer la maquette de l’accueil et la faire valider avant vendredi 12.");
        return QFontMetricsF(font).horizontalAdvance(sample) / qreal(sample.size());
    };
    static const qreal titleAdvance = meanAdvance(titleFont());
    static const qreal previewAdvance = meanAdvance(previewFont());
    const qreal inner = std::max(1, tileWidth - 2 * kPad);
    auto lines = [inner](qsizetype chars, qreal advance, int maxLines) {
        return std::clamp(int(std::ceil(qreal(std::min<qsizetype>(chars, kWrapBudget)) * advance / inner)), 1,
                          maxLines);
    };
    const int titleLines = lines(title.size(), titleAdvance, 4);
    if (!notes)
        return heightFor(titleLines, -1);
    const QStringView text(*notes);
    // Blank notes show no preview: a look at their start tells, for all but pathological ones.
    const auto firstInk = std::find_if(text.begin(), text.begin() + std::min<qsizetype>(text.size(), 64),
                                       [](QChar c) { return !c.isSpace(); });
    if (firstInk == text.begin() + std::min<qsizetype>(text.size(), 64) && text.size() <= 64)
        return heightFor(titleLines, -1);
    // RTF in Base64 holds about a quarter of its length as text.
    const bool rtf = QStringView(firstInk, text.end()).startsWith(QLatin1String(notesformat::rtfPrefix));
    return heightFor(titleLines, lines(rtf ? text.size() / 4 : text.size(), previewAdvance, 3));
}

int CardTile::heightForTileWidth(int tileWidth) {
    layoutTexts(tileWidth);
    return m_height;
}

QRectF CardTile::tileRect() const { return QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin); }

void CardTile::setHovered(bool hovered) {
    if (!m_hover) {
        if (!hovered)
            return;
        // Made on the first hover: a board of a thousand cards needs no thousand animations.
        m_hover = new HoverAnimator(this, 120, false);
        connect(m_hover, &HoverAnimator::progressChanged, this, &CardTile::hoverProgressChanged);
    }
    m_hover->setHovered(hovered);
}
bool CardTile::isHovered() const { return m_hover && m_hover->isHovered(); }
qreal CardTile::hoverProgress() const { return m_hover ? m_hover->progress() : 0; }

bool CardTile::hitButton(const QPoint& pos) const {
    return Paint::roundedRect(tileRect(), kRadius).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void CardTile::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    if (onHover)
        onHover(true);
}

void CardTile::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    if (onHover)
        onHover(false);
}

void CardTile::mousePressEvent(QMouseEvent* event) {
    // The pointer took over from the keyboard: no focus ring until the keyboard moves the focus again.
    window()->setAttribute(Qt::WA_KeyboardFocusChange, false);
    m_pressed = event->button() == Qt::LeftButton && hitButton(event->position().toPoint());
    m_pressPos = event->position().toPoint();
    QAbstractButton::mousePressEvent(event);
}

void CardTile::mouseMoveEvent(QMouseEvent* event) {
    if (m_pressed && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_pressed = false;
        setDown(false); // a drag is not a click
        if (onDragStart)
            onDragStart();
        return;
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CardTile::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((event->modifiers() & Qt::AltModifier) &&
        (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right)) {
        window()->setAttribute(Qt::WA_KeyboardFocusChange, true); // the moved card shows where it went
        if (onMoveKey)
            onMoveKey(key);
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        click();
        return;
    }
    if (key == Qt::Key_F10 && (event->modifiers() & Qt::ShiftModifier)) {
        if (onMenu)
            onMenu(mapToGlobal(tileRect().center().toPoint()));
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CardTile::contextMenuEvent(QContextMenuEvent* event) {
    if (onMenu)
        onMenu(event->globalPos());
}

void CardTile::paintEvent(QPaintEvent*) {
    layoutTexts(int(tileRect().width()));
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r = tileRect();
    const qreal t = hoverProgress();
    Paint::scaleAbout(p, r, 1 + 0.01 * t);
    Paint::fillRoundedRect(p, r, kRadius, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, r, kRadius, withOpacity(m_accent, Paint::lerp(0.12, 0.22, t)));
    if (lists::showsFocusRing(this))
        lists::paintFocusRing(p, r, kRadius);

    const qreal x = r.left() + kPad;
    const qreal w = r.width() - 2 * kPad;
    qreal y = r.top() + kPad;
    auto drawLines = [&](const WrappedText& text, const QFont& font, const QColor& color) {
        p.setFont(font);
        p.setPen(color);
        const QFontMetricsF fm(font);
        for (const QString& line : text.lines) {
            p.drawText(QPointF(x, y + fm.ascent()), line);
            y += text.lineHeight;
        }
    };
    drawLines(m_titleLines, titleFont(), AppPalette::primaryText());
    if (m_preview) {
        y += kSpacing;
        drawLines(m_previewLines, previewFont(), AppPalette::secondaryText());
    }
    y += kSpacing;
    p.setFont(seeMoreFont());
    p.setPen(AppPalette::secondaryText());
    const QFontMetricsF fm(seeMoreFont());
    p.drawText(QRectF(x, y, w, fm.lineSpacing()), Qt::AlignRight | Qt::AlignVCenter, kSeeMore);
}
