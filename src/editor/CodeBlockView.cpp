#include "editor/CodeBlockView.h"

#include "editor/AttributedTextView.h"
#include "editor/CodeLanguages.h"
#include "editor/CodeLineEndings.h"
#include "editor/EditorWidgets.h"
#include "richtext/LargeText.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "ui/AppStyle.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFontInfo>
#include <QHideEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegion>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

using editorui::PaintedButton;
using editorui::PaintedLabel;

namespace {

constexpr int kEditorPadding = 12;
constexpr int kMinEditorHeight = 180;
// How far the panel's rounded corners reach in from its edges.
constexpr int kPanelEdge = 12;

QColor black(qreal o) { return QColor::fromRgbF(0, 0, 0, float(o)); }
QColor white(qreal o) { return QColor::fromRgbF(1, 1, 1, float(o)); }
QColor green() { return standardColor(StandardColor::green); }

// A translucent rectangle in strips of a few rows: past about 96 rows the raster engine hands the fill
// to a pool of threads and waits for it, which costs more than the fill.
void fillInStrips(QPainter& p, const QRectF& rect, const QColor& color) {
    constexpr qreal rows = 80;
    for (qreal y = rect.top(); y < rect.bottom(); y += rows)
        p.fillRect(QRectF(rect.left(), y, rect.width(), std::min(rows, rect.bottom() - y)), color);
}

// A panel painted with one rounded fill and an optional outline.
class Panel : public QWidget {
public:
    // The painter gets the panel's rectangle and the part of it being repainted.
    using Painter = std::function<void(QPainter&, const QRectF&, const QRect&)>;
    Panel(Painter painter, QWidget* parent) : QWidget(parent), m_painter(std::move(painter)) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        m_painter(p, QRectF(rect()), event->rect());
    }

private:
    Painter m_painter;
};

void paintCopyButton(QPainter& p, const PaintedButton& b, bool didCopy) {
    const QRectF r = QRectF(b.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    Paint::fillRoundedRect(p, r, 8, didCopy ? withOpacity(green(), 0.2) : white(0.1));
    Paint::strokeRoundedRect(p, r, 8, didCopy ? withOpacity(green(), 0.4) : white(0.15));
    const QColor fg = didCopy ? AppPalette::tintText(green(), 0.2) : white(0.8);
    editorui::drawSymbolText(p, r, didCopy ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"), 12, fg,
                             b.text(), Fonts::rounded(12, 500), fg, 6);
}

QSize copyButtonSize(const QString& text) {
    const qreal w = editorui::symbolTextWidth(12, text, Fonts::rounded(12, 500), 6);
    return {int(std::ceil(w)) + 24, 28};
}

// The code editor, with the place of each laid-out block within its viewport readable from outside.
// The editor never scrolls inside itself and is as tall as its code, so Qt's painting would walk
// every block from the first one at each repaint: it paints from the first block in the repainted
// part instead, found among the blocks' tops kept from one layout change to the next. Its viewport
// is opaque and paints the panel under the code itself, so a key repaints nothing behind it.
class CodeTextEdit : public QPlainTextEdit {
public:
    explicit CodeTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
        auto* layout = document()->documentLayout();
        // A block that keeps its height (the usual key) moves no other block: only the other
        // changes of the layout are worth a new count.
        connect(layout, &QAbstractTextDocumentLayout::update, this, [this] { m_topsDirty = true; });
        // The plain-text layout's size is its widest line by its number of lines: a line growing
        // wider moves none.
        connect(layout, &QAbstractTextDocumentLayout::documentSizeChanged, this, [this](const QSizeF& size) {
            if (size.height() != std::exchange(m_lineCount, size.height()))
                m_topsDirty = true;
        });
    }

    QRectF placeOf(const QTextBlock& block) const { return blockBoundingGeometry(block).translated(contentOffset()); }

    std::function<void(QPainter&, const QRect&)> paintUnder;

protected:
    void paintEvent(QPaintEvent* event) override {
        if (paintUnder) {
            QPainter under(viewport());
            paintUnder(under, event->rect());
        }
        const bool placeholder = document()->isEmpty() && !placeholderText().isEmpty();
        if (placeholder || firstVisibleBlock().blockNumber() != 0) {
            QPlainTextEdit::paintEvent(event);
            return;
        }
        paintBlocks(event->rect());
    }

private:
    const std::vector<qreal>& tops() {
        const QTextDocument* doc = document();
        if (m_topsDirty || m_tops.size() != size_t(doc->blockCount()) + 1) {
            m_tops.clear();
            m_tops.reserve(size_t(doc->blockCount()) + 1);
            qreal y = 0;
            for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
                m_tops.push_back(y);
                y += blockBoundingRect(b).height();
            }
            m_tops.push_back(y);
            m_topsDirty = false;
        }
        return m_tops;
    }

    void paintBlocks(const QRect& dirty) {
        QPainter painter(viewport());
        const QPointF origin = contentOffset();
        painter.setBrushOrigin(origin);
        painter.setClipRect(dirty);
        const QAbstractTextDocumentLayout::PaintContext context = getPaintContext();
        painter.setPen(context.palette.text().color());
        const bool showsCursor = !isReadOnly() || (textInteractionFlags() & Qt::TextSelectableByKeyboard);

        // The last top at or above the repainted part is the first block that reaches into it.
        const std::vector<qreal>& top = tops();
        const auto after = std::upper_bound(top.begin(), top.end() - 1, dirty.top() - origin.y());
        const int first = std::max(0, int(after - top.begin()) - 1);
        QTextBlock block = document()->findBlockByNumber(first);
        for (int n = first; block.isValid() && origin.y() + top[size_t(n)] <= dirty.bottom();
             ++n, block = block.next()) {
            if (!block.isVisible())
                continue;
            const QPointF at(origin.x(), origin.y() + top[size_t(n)]);
            QTextLayout* layout = block.layout();
            const int start = block.position();
            const int length = block.length();
            QList<QTextLayout::FormatRange> selections;
            for (const auto& range : context.selections) {
                const int from = range.cursor.selectionStart() - start;
                const int to = range.cursor.selectionEnd() - start;
                if (from < length && to > 0 && to > from) {
                    QTextLayout::FormatRange selected;
                    selected.start = from;
                    selected.length = to - from;
                    selected.format = range.format;
                    selections.append(selected);
                }
            }
            keepShaped(block);
            layout->draw(&painter, at, selections, dirty);
            const int cursor = context.cursorPosition;
            if (showsCursor && cursor >= start && cursor < start + length)
                layout->drawCursor(&painter, at, cursor - start, cursorWidth());
            else if (!isReadOnly() && cursor < -1 && !layout->preeditAreaText().isEmpty())
                layout->drawCursor(&painter, at, layout->preeditAreaPosition() - (cursor + 2), cursorWidth());
        }
    }

    // The lines painted last keep their shaped glyphs, which Qt would otherwise shape again at each
    // paint, and for the caret's place: a key repaints its line (and the lines a new line moves) from
    // them. A few screens of lines at most; the oldest go back to Qt's way.
    void keepShaped(QTextBlock block) {
        std::vector<QTextBlock>& kept = *m_shaped;
        const auto found = std::find(kept.begin(), kept.end(), block);
        if (found != kept.end()) {
            std::rotate(found, found + 1, kept.end());
            return;
        }
        if (kept.size() >= maxShaped) {
            QTextBlock oldest = kept.front();
            kept.erase(kept.begin());
            oldest.layout()->setCacheEnabled(false);
            oldest.setUserData(nullptr);
        }
        block.layout()->setCacheEnabled(true);
        block.setUserData(new KeptShape(m_shaped, block));
        kept.push_back(block);
    }
    // Marks a block in the list; the document deletes it with its block, which then leaves the list
    // (a handle to a removed block would still look valid).
    class KeptShape : public QTextBlockUserData {
    public:
        KeptShape(std::weak_ptr<std::vector<QTextBlock>> list, const QTextBlock& block)
            : m_list(std::move(list)), m_block(block) {}
        ~KeptShape() override {
            if (const auto list = m_list.lock())
                list->erase(std::remove(list->begin(), list->end(), m_block), list->end());
        }

    private:
        std::weak_ptr<std::vector<QTextBlock>> m_list;
        QTextBlock m_block;
    };
    static constexpr size_t maxShaped = 160;

    std::vector<qreal> m_tops;
    bool m_topsDirty = true;
    qreal m_lineCount = -1;
    std::shared_ptr<std::vector<QTextBlock>> m_shaped = std::make_shared<std::vector<QTextBlock>>();
};

QEvent::Type changeEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

// Characters that start a new numbered line without starting a new paragraph of the editor.
bool breaksLineInsideBlock(QChar c) {
    switch (c.unicode()) {
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x85:
    case 0x2028: return true;
    default: return false;
    }
}

} // namespace

ImprovedCodeBlockView::ImprovedCodeBlockView(TextBinding code, TextBinding language, std::function<void()> onChange,
                                             std::function<void()> onFocus, QWidget* parent)
    : QWidget(parent),
      m_code(std::move(code)),
      m_language(std::move(language)),
      m_onChange(std::move(onChange)),
      m_onFocus(std::move(onFocus)) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(10);

    m_header =
        new Panel([](QPainter& p, const QRectF& r, const QRect&) { Paint::fillRoundedRect(p, r, 12, black(0.7)); },
                  this);
    auto* headerRow = new QHBoxLayout(m_header);
    headerRow->setContentsMargins(14, 10, 14, 10);
    headerRow->setSpacing(12);

    m_menu = new QMenu(this);
    // Each language's icon in its own colour.
    TolmekStyle::setKeepsIconColours(m_menu);
    for (const auto& l : codelang::languages()) {
        QAction* a = m_menu->addAction(Symbols::icon(l.icon, l.color(), 16), codelang::capitalized(l.name));
        a->setData(l.name);
        connect(a, &QAction::triggered, this, [this, name = l.name] { chooseLanguage(name); });
    }
    m_languageButton = new PaintedButton(QString(), {}, m_header);
    m_languageButton->setPainter([](QPainter& p, const PaintedButton& b) {
        const QRectF r = QRectF(b.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        Paint::fillRoundedRect(p, r, 8, black(0.25));
        Paint::strokeRoundedRect(p, r, 8, white(0.1));
        const auto& lang = codelang::current(b.property("language").toString());
        const QRectF inner = r.adjusted(12, 0, -12, 0);
        editorui::drawSymbolText(p, inner, lang.icon, 13, lang.color(), b.text(), Fonts::rounded(13, 500), white(0.95),
                                 8, Qt::AlignLeft);
        Symbols::paint(p, QRectF(inner.right() - 10, inner.center().y() - 5, 10, 10), QStringLiteral("chevron.down"),
                       AppPalette::secondaryText(true));
    });
    connect(m_languageButton, &QAbstractButton::clicked, this,
            [this] { Menus::popupBelow(*m_menu, m_languageButton); });
    headerRow->addWidget(m_languageButton);
    headerRow->addStretch(1);

    m_copyButton = new PaintedButton(QStringLiteral("Copier"), {}, m_header);
    m_copyButton->setPainter([this](QPainter& p, const PaintedButton& b) { paintCopyButton(p, b, m_didCopy); });
    m_copyButton->setHint(copyButtonSize(m_copyButton->text()));
    connect(m_copyButton, &QAbstractButton::clicked, this, &ImprovedCodeBlockView::copyCode);
    headerRow->addWidget(m_copyButton);
    outer->addWidget(m_header);

    m_area = new Panel([this](QPainter& p, const QRectF& r, const QRect& dirty) { paintArea(p, r, dirty); }, this);
    auto* areaRow = new QHBoxLayout(m_area);
    areaRow->setContentsMargins(0, 0, 0, 0);
    areaRow->setSpacing(0);

    m_gutter = new PaintedLabel(QString(), {}, m_area);
    m_gutter->setPainter([this](QPainter& p, const PaintedLabel& g) { paintGutter(p, g); });
    m_gutter->setAttribute(Qt::WA_OpaquePaintEvent);
    areaRow->addWidget(m_gutter, 0, Qt::AlignTop);
    areaRow->addSpacing(1);

    auto* editor = new CodeTextEdit(m_area);
    editor->paintUnder = [this](QPainter& p, const QRect& dirty) { paintPanelUnder(*m_editor->viewport(), p, dirty); };
    m_editor = editor;
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_editor->setFont(Fonts::mono(13));
    m_editor->document()->setDocumentMargin(kEditorPadding);
    m_editor->setPlaceholderText(QStringLiteral("// Écrivez votre code ici..."));
    m_editor->setAccessibleName(QStringLiteral("Code"));
    m_editor->setTabChangesFocus(false);
    m_editor->viewport()->setAutoFillBackground(false);
    m_editor->setAutoFillBackground(false);
    m_editor->installEventFilter(this);
    areaRow->addWidget(m_editor, 1);
    outer->addWidget(m_area);

    m_loading = true;
    m_editor->setPlainText(codelines::shownBreaks(m_code.value()));
    m_loading = false;
    resyncStored(true);
    connect(m_editor->document(), &QTextDocument::contentsChange, this, &ImprovedCodeBlockView::followChange);
    connect(m_editor, &QPlainTextEdit::textChanged, this, &ImprovedCodeBlockView::codeEdited);
    connect(m_editor->horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this] { fitEditorHeight(); });
    // The block grows with its code: the editor never scrolls its lines out of sight.
    connect(m_editor->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value != 0)
            fitEditorHeight();
    });
    // The numbers follow the lines where a layout moved them; a key that leaves every line where it
    // was (the editor then only repaints its block) repaints none.
    // An edit looks at the places once, when it is done (codeEdited); a layout change of another
    // kind (a font, a width) once its events are through.
    auto layoutChanged = [this] {
        if (m_linesMayHaveMoved)
            return;
        m_linesMayHaveMoved = true;
        QMetaObject::invokeMethod(
            this, [this] { linesMayHaveMoved(); }, Qt::QueuedConnection);
    };
    connect(m_editor->document()->documentLayout(), &QAbstractTextDocumentLayout::update, this, layoutChanged);
    // Lines move when their number changes; any other move (a taller line, a font) is an update.
    connect(m_editor->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this, layoutChanged](const QSizeF& size) {
                if (size.height() != std::exchange(m_layoutLines, size.height()))
                    layoutChanged();
            });
    connect(m_editor, &QPlainTextEdit::updateRequest, m_gutter, [this](const QRect&, int dy) {
        if (dy != 0) {
            m_placesDirty = true;
            m_gutter->update();
        }
    });

    applyColors();
    refreshLanguage();
    refreshGutter(true);
    fitEditorHeight();
}

void ImprovedCodeBlockView::paintArea(QPainter& p, const QRectF& r, const QRect& dirty) const {
    Paint::fillRoundedRect(p, r, 12, black(0.7));
    // Gutter backing and the hairline beside it, inside the rounded corners; a repaint away
    // from the corners (a typed line) needs no clip to the rounded shape.
    const qreal gw = m_gutter->width();
    const bool nearCorner = dirty.top() < r.top() + 12 || dirty.bottom() + 1 > r.bottom() - 12;
    p.save();
    if (nearCorner)
        p.setClipPath(Paint::roundedRect(r, 12), Qt::IntersectClip);
    const QRectF rows = nearCorner ? r : QRectF(r.left(), dirty.top(), r.width(), dirty.height());
    fillInStrips(p, QRectF(r.left(), rows.top(), gw, rows.height()) & QRectF(dirty), black(0.25));
    fillInStrips(p, QRectF(r.left() + gw, rows.top(), 1, rows.height()) & QRectF(dirty), white(0.08));
    p.restore();
    if (m_isFocused)
        Paint::strokeRoundedRect(p, r, 12, withOpacity(codelang::current(m_language.value()).color(), 0.4), 2);
    else
        Paint::strokeRoundedRect(p, r, 12, white(0.1), 1);
}

QRegion ImprovedCodeBlockView::outlineRegion() const {
    const QRect area = m_area->rect();
    return QRegion(area) - QRegion(area.adjusted(2, kPanelEdge, -2, -kPanelEdge)) -
        QRegion(area.adjusted(kPanelEdge, 2, -kPanelEdge, -2));
}

void ImprovedCodeBlockView::updateOutline() {
    // The gutter and the editor's viewport are opaque: Qt repaints none of their pixels for an update
    // of the panel under them, so each repaints its part of the outline itself. Their own pending
    // updates move with them when the page scrolls before the repaint.
    const QRegion outline = outlineRegion();
    m_area->update(outline);
    for (QWidget* child : {static_cast<QWidget*>(m_gutter), m_editor->viewport()}) {
        const QRegion part = outline.translated(-child->mapTo(m_area, QPoint(0, 0))) & child->rect();
        if (!part.isEmpty())
            child->update(part);
    }
}

void ImprovedCodeBlockView::paintPanelUnder(const QWidget& child, QPainter& p, const QRect& dirty) const {
    // The panel's layers over the card, blended once per card colour the way the painter blends them.
    static QColor card;
    static QColor code;
    static QColor gutter;
    if (const QColor now = AppPalette::cardBackground(); now != card) {
        QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
        pixel.fill(now);
        QPainter blend(&pixel);
        blend.fillRect(pixel.rect(), black(0.7));
        code = pixel.pixelColor(0, 0);
        blend.fillRect(pixel.rect(), black(0.25));
        blend.end();
        gutter = pixel.pixelColor(0, 0);
        card = now;
    }
    p.fillRect(dirty, &child == m_gutter ? gutter : code);
    // Along the outline and in the rounded corners the layers are painted as the panel paints them.
    const QPoint at = child.mapTo(m_area, QPoint(0, 0));
    const QRect area = m_area->rect();
    const QRect inArea = dirty.translated(at);
    const QRegion edges = QRegion(inArea) & outlineRegion();
    if (edges.isEmpty())
        return;
    if (paintKeptEdges(p, inArea, at, card))
        return;
    p.save();
    p.translate(-at);
    p.setClipRegion(edges, Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(inArea, card);
    paintArea(p, QRectF(area), inArea);
    p.restore();
}

bool ImprovedCodeBlockView::paintKeptEdges(QPainter& p, const QRect& inArea, const QPoint& at,
                                           const QColor& card) const {
    // Kept pixels are only the painter's pixels one for one.
    const QTransform& t = p.transform();
    if (p.device()->devicePixelRatio() != 1.0 || t.type() > QTransform::TxTranslate || t.dx() != std::round(t.dx()) ||
        t.dy() != std::round(t.dy()))
        return false;
    const QRect area = m_area->rect();
    const int w = area.width();
    const int h = area.height();
    const int e = kPanelEdge;
    if (w < 2 * e + 2 || h < 2 * e + 2)
        return false;
    // Kept for a panel of a few rows: the corners do not change with the height and the sides are the
    // same on every row between them, so a new line paints nothing again.
    constexpr int sideRows = 256;
    EdgeLook look{w, m_gutter->width(), m_isFocused,
                  m_isFocused ? codelang::current(m_language.value()).color() : QColor(), card};
    if (!(look == m_edgeLook) || m_edgeImages[0].isNull()) {
        m_edgeLook = look;
        const QRect kept(0, 0, w, 2 * e + sideRows);
        // The bands along the top and the bottom, and the two sides between them.
        const QRect pieces[] = {QRect(0, 0, w, e), QRect(0, e + sideRows, w, e), QRect(0, e, 2, sideRows),
                                QRect(w - 2, e, 2, sideRows)};
        for (size_t i = 0; i < std::size(pieces); ++i) {
            QImage image(pieces[i].size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(card);
            QPainter q(&image);
            q.translate(-pieces[i].topLeft());
            q.setClipRect(pieces[i]);
            q.setRenderHint(QPainter::Antialiasing);
            paintArea(q, QRectF(kept), pieces[i]);
            q.end();
            m_edgeImages[i] = std::move(image);
        }
    }
    // The outline's pixels: the top and bottom rows, the corners' squares and the sides, these in
    // runs of the kept rows.
    const struct {
        QRect rect;
        int image;
        QPoint origin;
    } parts[] = {{QRect(0, 0, w, 2), 0, {0, 0}},
                 {QRect(0, 2, e, e - 2), 0, {0, 0}},
                 {QRect(w - e, 2, e, e - 2), 0, {0, 0}},
                 {QRect(0, h - 2, w, 2), 1, {0, h - e}},
                 {QRect(0, h - e, e, e - 2), 1, {0, h - e}},
                 {QRect(w - e, h - e, e, e - 2), 1, {0, h - e}}};
    for (const auto& part : parts) {
        const QRect shown = part.rect & inArea;
        if (!shown.isEmpty())
            p.drawImage(shown.topLeft() - at, m_edgeImages[size_t(part.image)], shown.translated(-part.origin));
    }
    for (const auto& [side, image] : {std::pair{QRect(0, e, 2, h - 2 * e), 2}, {QRect(w - 2, e, 2, h - 2 * e), 3}}) {
        const QRect shown = side & inArea;
        for (int y = shown.top(); y <= shown.bottom(); y += sideRows) {
            const int rows = std::min(sideRows, shown.bottom() + 1 - y);
            p.drawImage(QPoint(shown.left(), y) - at, m_edgeImages[size_t(image)],
                        QRect(shown.left() - side.left(), 0, shown.width(), rows));
        }
    }
    return true;
}

void ImprovedCodeBlockView::applyColors() {
    QPalette pal = m_editor->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, white(0.95));
    pal.setColor(QPalette::PlaceholderText, white(0.3));
    m_editor->setPalette(pal);
}

void ImprovedCodeBlockView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        update();
}

int ImprovedCodeBlockView::lineNumberCount() const { return m_lines; }

void ImprovedCodeBlockView::resyncStored(bool loaded) {
    const QString raw = m_editor->document()->toRawText();
    // The raw text: toPlainText() would also turn no-break spaces into blanks and line separators
    // into line feeds, and every CR LF of the stored code into a bare LF.
    m_stored = loaded ? m_code.value() : codelines::withStoredEndings(raw, m_code.value());
    m_ending = codelines::uniformEnding(m_stored);
    // Text the editor splits where the stored code does not (frame marks) is read whole each time.
    if (!m_ending.isEmpty() && codelines::withEnding(raw, m_ending) != codelines::shownBreaks(m_stored))
        m_ending.clear();
    m_blockCount = m_editor->document()->blockCount();
    countBreaksInBlocks();
}

void ImprovedCodeBlockView::countBreaksInBlocks() {
    m_breaksInBlocks = 0;
    for (QTextBlock b = m_editor->document()->begin(); b.isValid(); b = b.next())
        for (QChar c : b.text())
            m_breaksInBlocks += breaksLineInsideBlock(c) ? 1 : 0;
}

void ImprovedCodeBlockView::followChange(int position, int removed, int added) {
    if (m_loading)
        return;
    const QTextDocument* doc = m_editor->document();
    const int blocksBefore = std::exchange(m_blockCount, doc->blockCount());
    if (m_ending.isEmpty())
        return;
    // Only the code this view wrote last can be followed; anything else is read again.
    const QString model = m_code.value();
    if (model.constData() != m_stored.constData() && model != m_stored) {
        m_ending.clear();
        return;
    }
    const int length = doc->characterCount() - 1;
    // The document may count its own last paragraph end in a change.
    if (position + added > length) {
        const int over = position + added - length;
        added -= over;
        removed -= over;
    }
    QTextCursor range(m_editor->document());
    range.setPosition(std::clamp(position, 0, length));
    range.setPosition(std::clamp(position + added, 0, length), QTextCursor::KeepAnchor);
    const QString inserted = range.selectedText();
    const auto breaksAdded = int(inserted.count(QChar::ParagraphSeparator));
    const int breaksRemoved = blocksBefore - m_blockCount + breaksAdded;
    const auto extra = int(m_ending.size()) - 1;
    const int at = position + (extra > 0 ? extra * doc->findBlock(position).blockNumber() : 0);
    const int span = removed + extra * breaksRemoved;
    if (position < 0 || removed < 0 || added != inserted.size() || breaksRemoved < 0 || at + span > m_stored.size()) {
        m_ending.clear();
        return;
    }
    m_stored.replace(at, span, codelines::withEnding(inserted, m_ending));
    if (m_stored.size() != length + extra * (m_blockCount - 1)) {
        m_ending.clear();
        return;
    }
    if (m_breaksInBlocks > 0 || std::any_of(inserted.begin(), inserted.end(), breaksLineInsideBlock))
        countBreaksInBlocks();
}

void ImprovedCodeBlockView::codeEdited() {
    if (m_loading)
        return;
    if (m_ending.isEmpty())
        resyncStored(false);
    m_code.write(m_stored);
    refreshGutter();
    linesMayHaveMoved();
    fitEditorHeight();
    // The stamp and the save wait behind the key's repaint (queued after it) so the key shows
    // sooner; the next key, the keyboard leaving or the block hiding runs them first if still waiting.
    if (!m_changeWaiting && m_onChange) {
        m_changeWaiting = true;
        QCoreApplication::postEvent(this, new QEvent(changeEventType()), Qt::LowEventPriority - 1);
    }
}

void ImprovedCodeBlockView::reportChange() {
    if (!std::exchange(m_changeWaiting, false))
        return;
    if (m_onChange)
        m_onChange();
}

bool ImprovedCodeBlockView::event(QEvent* event) {
    if (event->type() == changeEventType()) {
        reportChange();
        return true;
    }
    return QWidget::event(event);
}

void ImprovedCodeBlockView::hideEvent(QHideEvent* event) {
    reportChange();
    QWidget::hideEvent(event);
}

void ImprovedCodeBlockView::refreshLanguage() {
    const QString lang = m_language.value();
    m_languageButton->setProperty("language", lang);
    m_languageButton->setText(codelang::capitalized(lang));
    const qreal w = editorui::symbolTextWidth(13, m_languageButton->text(), Fonts::rounded(13, 500), 8) + 8 + 10;
    m_languageButton->setHint(QSize(int(std::ceil(w)) + 24, 30));
    m_languageButton->update();
    updateOutline();
}

QFont ImprovedCodeBlockView::gutterFont() const {
    // The numbers keep their size relative to the code when the editor's font is zoomed.
    const QFont code = m_editor->font();
    const int codePx = code.pixelSize() > 0 ? code.pixelSize() : int(std::lround(QFontInfo(code).pixelSize()));
    return Fonts::mono(std::max(6, int(std::lround(12.0 * codePx / 13.0))));
}

void ImprovedCodeBlockView::refreshGutter(bool force) {
    const int lines = m_blockCount + m_breaksInBlocks;
    const QFont font = force ? gutterFont() : m_numberFont;
    if (!force && lines == m_lines && font == m_numberFont)
        return;
    if (font != m_numberFont) {
        m_numberFont = font;
        m_numbers.clear();
    }
    m_lines = lines;
    const int digits = QString::number(m_lines).size();
    const int w = 12 + editorui::textWidth(m_numberFont, QString(std::max(digits, 1), QLatin1Char('8'))) + 8;
    // The numbers are the label's name, for screen readers: a new text would repaint every number
    // and lay the block out again, where a new line moves only the numbers below it.
    QString numbers;
    numbers.reserve(m_lines * (digits + 1));
    for (int i = 1; i <= m_lines; ++i) {
        if (i > 1)
            numbers += QLatin1Char('\n');
        numbers += QString::number(i);
    }
    m_gutter->setAccessibleName(numbers);
    // The numbers that moved or came are repainted once the lines are laid out (linesMayHaveMoved).
    if (force || w != m_gutterWidth)
        m_gutter->update();
    m_gutterWidth = w;
    m_gutter->setHint(QSize(m_gutterWidth, std::max(m_editor->height(), kMinEditorHeight)));
}

QList<ImprovedCodeBlockView::NumberPlace> ImprovedCodeBlockView::lineNumberPlaces() const { return currentPlaces(); }

const QList<ImprovedCodeBlockView::NumberPlace>& ImprovedCodeBlockView::currentPlaces() const {
    if (m_placesDirty) {
        m_places = computePlaces();
        m_placesDirty = false;
    }
    return m_places;
}

QList<ImprovedCodeBlockView::NumberPlace> ImprovedCodeBlockView::computePlaces() const {
    QList<NumberPlace> out;
    out.reserve(m_editor->document()->blockCount());
    const auto* editor = static_cast<const CodeTextEdit*>(m_editor);
    const QTextDocument* doc = m_editor->document();
    const QAbstractTextDocumentLayout* layout = doc->documentLayout();
    // The editor finds a block's place by adding up the heights of the blocks before it: asking it
    // block by block would add them up again for each. The first block's place, then each height.
    qreal top = editor->placeOf(doc->begin()).top();
    m_contentHeight = doc->documentMargin();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (!block.isVisible())
            continue;
        const qreal height = layout->blockBoundingRect(block).height();
        m_contentHeight += height;
        const QTextLayout* lines = block.layout();
        if (lines && lines->lineCount() > 0) {
            auto place = [&](int position) {
                const QTextLine line = lines->lineForTextPosition(position);
                if (line.isValid())
                    out.push_back({top + line.y(), line.height(), top + line.y() + line.ascent()});
            };
            place(0);
            // A line of its own inside the block is a line of the layout: a block laid out on one
            // line has none.
            if (lines->lineCount() > 1) {
                const QString text = block.text();
                for (int i = 0; i < text.size(); ++i)
                    if (breaksLineInsideBlock(text[i]))
                        place(i + 1);
            }
        }
        top += height;
    }
    return out;
}

qreal ImprovedCodeBlockView::gutterShift() const {
    return m_editor->viewport()->mapTo(m_area, QPoint(0, 0)).y() - m_gutter->mapTo(m_area, QPoint(0, 0)).y();
}

void ImprovedCodeBlockView::linesMayHaveMoved() {
    if (!m_linesMayHaveMoved)
        return;
    m_linesMayHaveMoved = false;
    const QList<NumberPlace> before = std::move(m_places);
    const bool known = !m_placesDirty;
    m_placesDirty = true;
    const QList<NumberPlace>& after = currentPlaces();
    if (!known) {
        m_gutter->update();
        return;
    }
    auto same = [](const NumberPlace& a, const NumberPlace& b) {
        return qFuzzyCompare(a.top + 1, b.top + 1) && qFuzzyCompare(a.height + 1, b.height + 1) &&
            qFuzzyCompare(a.baseline + 1, b.baseline + 1);
    };
    const qsizetype common = std::min(before.size(), after.size());
    qsizetype first = 0;
    while (first < common && same(before[first], after[first]))
        ++first;
    if (first == before.size() && first == after.size())
        return;
    // From the first number that moved down to the lowest place a moved number had or has.
    qreal top = std::numeric_limits<qreal>::max();
    qreal bottom = std::numeric_limits<qreal>::lowest();
    for (const QList<NumberPlace>* list : {&before, &after})
        if (first < list->size()) {
            top = std::min(top, (*list)[first].top);
            bottom = std::max(bottom, list->back().top + list->back().height);
        }
    const qreal shift = gutterShift();
    m_gutter->update(QRect(0, int(std::floor(top + shift)) - 1, m_gutter->width(), int(std::ceil(bottom - top)) + 3));
}

void ImprovedCodeBlockView::paintGutter(QPainter& p, const PaintedLabel& g) const {
    paintPanelUnder(g, p, g.paintedRect().isValid() ? g.paintedRect() : g.rect());
    p.setFont(m_numberFont);
    p.setPen(white(0.55));
    // Numbers sit on the baselines of the lines the editor has laid out, wherever they are drawn; only
    // those inside the painted part are drawn.
    const qreal shift = gutterShift();
    const QFontMetricsF metrics(m_numberFont);
    const QList<NumberPlace>& places = currentPlaces();
    const QRect area = g.paintedRect().isValid() ? g.paintedRect() : g.rect();
    const qreal from = area.top() - shift - metrics.descent();
    const qreal to = std::min<qreal>(area.bottom() + 1, g.height()) - shift + metrics.ascent();
    auto it =
        std::partition_point(places.begin(), places.end(), [&](const NumberPlace& n) { return n.baseline < from; });
    if (m_numbers.size() < size_t(places.size()))
        m_numbers.resize(size_t(places.size()));
    for (; it != places.end() && it->baseline <= to; ++it) {
        const auto index = size_t(it - places.begin());
        ShapedNumber& number = m_numbers[index];
        if (number.text.text().isEmpty()) {
            const QString digits = QString::number(index + 1);
            number.text = QStaticText(digits);
            number.text.setTextFormat(Qt::PlainText);
            number.text.prepare(QTransform(), m_numberFont);
            number.width = metrics.horizontalAdvance(digits);
        }
        // A static text is placed by its top-left corner.
        p.drawStaticText(QPointF(g.width() - 8 - number.width, it->baseline + shift - metrics.ascent()), number.text);
    }
}

void ImprovedCodeBlockView::fitEditorHeight() {
    // Tall enough for every laid-out line (the plain-text layout counts lines, not pixels): the top
    // margin, each block's height (the last one with the bottom margin) and the pixel the editor
    // keeps free below its last line before it scrolls.
    // The heights are added up with the places of the numbers, once per change of the layout.
    currentPlaces();
    const qreal content = m_contentHeight;
    int h = int(std::ceil(content)) + 1 + 2 * m_editor->frameWidth();
    // The sideways bar counts once the editor has the width its layout gives it: at its first, default
    // width most lines overflow, and the block would be a bar taller until it is laid out, moving every
    // block below it twice.
    if (m_editor->testAttribute(Qt::WA_Resized) && m_editor->horizontalScrollBar()->maximum() > 0)
        h += m_editor->horizontalScrollBar()->sizeHint().height();
    h = std::max(h, kMinEditorHeight);
    if (h > m_editor->height() && m_editor->isVisible()) {
        QPointer<ImprovedCodeBlockView> self(this);
        emit aboutToGrow(h - m_editor->height());
        if (!self)
            return;
    }
    if (m_editor->height() != h || m_editor->minimumHeight() != h)
        m_editor->setFixedHeight(h);
    m_gutter->setHint(QSize(m_gutterWidth, h));
    if (m_editor->verticalScrollBar()->value() != 0)
        m_editor->verticalScrollBar()->setValue(0);
}

void ImprovedCodeBlockView::copyCode() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_code.value());
    m_didCopy = true;
    m_copyButton->setText(QStringLiteral("Copié !"));
    m_copyButton->setHint(copyButtonSize(m_copyButton->text()));
    m_copyButton->update();
    // Each copy schedules its own reset; none is cancelled.
    QTimer::singleShot(1500, this, [this] {
        m_didCopy = false;
        m_copyButton->setText(QStringLiteral("Copier"));
        m_copyButton->setHint(copyButtonSize(m_copyButton->text()));
        m_copyButton->update();
    });
}

void ImprovedCodeBlockView::chooseLanguage(const QString& name) {
    m_language.write(name);
    refreshLanguage();
    if (m_onChange)
        m_onChange();
}

bool ImprovedCodeBlockView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor) {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::FocusOut)
            reportChange();
        if (event->type() == QEvent::FocusIn && !m_isFocused) {
            m_isFocused = true;
            updateOutline();
            if (m_onFocus)
                m_onFocus();
        } else if (event->type() == QEvent::FocusOut && m_isFocused) {
            m_isFocused = false;
            updateOutline();
        } else if (event->type() == QEvent::FontChange) {
            // The editor lays its text out again once it has the event.
            QTimer::singleShot(0, this, [this] {
                refreshGutter(true);
                m_placesDirty = true;
                m_gutter->update();
                fitEditorHeight();
            });
        } else if (event->type() == QEvent::Resize) {
            // A new width may wrap the lines differently; a new height moves none of them.
            const auto* resize = static_cast<QResizeEvent*>(event);
            if (resize->size().width() != resize->oldSize().width()) {
                m_placesDirty = true;
                m_gutter->update();
            }
            QTimer::singleShot(0, this, [this] { fitEditorHeight(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------

CodeReadView::CodeReadView(QWidget* parent) : QWidget(parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(8);
    m_headerRow = new QWidget(this);
    auto* header = new QHBoxLayout(m_headerRow);
    header->setContentsMargins(14, 10, 14, 10);
    m_language = new editorui::ToneLabel(
        QString(), Fonts::rounded(12, 600), [] { return white(0.7); }, m_headerRow);
    header->addWidget(m_language);
    header->addStretch(1);
    m_copy = new PaintedButton(
        QString(),
        [](QPainter& p, const PaintedButton& b) {
            Symbols::paint(p, QRectF(QRectF(b.rect()).center() - QPointF(6, 6), QSizeF(12, 12)),
                           QStringLiteral("doc.on.doc"), white(b.isHovered() ? 1.0 : 0.8));
        },
        m_headerRow);
    m_copy->setHint(QSize(20, 20));
    m_copy->setToolTip(QStringLiteral("Copier"));
    m_copy->setAccessibleName(QStringLiteral("Copier"));
    connect(m_copy, &QAbstractButton::clicked, this, [this] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(m_code);
    });
    header->addWidget(m_copy);
    outer->addWidget(m_headerRow);

    // A selectable label lays its text out several times over when it is measured and first painted.
    m_text = new AttributedTextViewWrapper(this);
    m_text->setAccessibleName(QStringLiteral("Code"));
    m_text->setTone([] { return white(0.95); });
    auto* textBox = new QVBoxLayout;
    textBox->setContentsMargins(14, 6, 14, 14);
    textBox->addWidget(m_text);
    outer->addLayout(textBox);
}

void CodeReadView::setCode(const QString& code, const std::optional<QString>& language) {
    m_code = code;
    m_language->setText(language ? codelang::capitalized(*language) : QStringLiteral("Code"));
    // Rows end where the editor ends them.
    m_text->setCode(codelines::shownBreaks(code), Fonts::mono(13));
}

QString CodeReadView::languageLabel() const { return m_language->text(); }

void CodeReadView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    const QPainterPath shape = Paint::roundedRect(r, 12);
    Paint::fill(p, shape, black(0.7));
    p.setClipPath(shape);
    p.fillRect(QRectF(m_headerRow->geometry()), black(0.7));
}
