#include "editor/DocEditorView.h"

#include "editor/BlockImages.h"
#include "editor/BlockRow.h"
#include "editor/CodeBlockView.h"
#include "editor/EditorChrome.h"
#include "editor/RowTransitions.h"
#include "richtext/RichTextEditorWrapper.h"
#include "ui/Components.h"
#include "ui/DialogSeam.h"
#include "ui/KeyboardFocus.h"
#include "ui/Palette.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QEasingCurve>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpacerItem>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>
#include <QVariantAnimation>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kColumnWidth = 900;
// Set on the text and code editors whose caret the page follows.
constexpr const char* kFollowsCaret = "tolmekFollowsCaret";

// The scroll area's content: the centred column, and a target for picture files dropped on the document.
class Canvas : public QWidget {
public:
    std::function<void()> resized;
    std::function<void(const QString&)> fileDropped;
    std::function<void()> pressed;

    explicit Canvas(QWidget* parent) : QWidget(parent) { setAcceptDrops(true); }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        QWidget::mousePressEvent(event);
        if (pressed)
            pressed();
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (resized)
            resized();
    }
    static bool takes(const QMimeData* data) {
        return data && data->hasUrls() && !data->hasFormat(QLatin1String(kBlockMimeType)) && !data->urls().isEmpty() &&
            data->urls().first().isLocalFile();
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (takes(event->mimeData()))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        if (takes(event->mimeData()))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dropEvent(QDropEvent* event) override {
        if (!takes(event->mimeData())) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        const QString path = event->mimeData()->urls().first().toLocalFile();
        QTimer::singleShot(0, this, [this, path] {
            if (fileDropped)
                fileDropped(path);
        });
    }
};

// The nearest widget of type T holding `widget`, below `top`.
template <class T>
T* enclosing(QWidget* widget, const QWidget* top) {
    for (QWidget* w = widget->parentWidget(); w && w != top; w = w->parentWidget())
        if (auto* found = qobject_cast<T*>(w))
            return found;
    return nullptr;
}

// The page's scroll area. A scroll bar laid over the viewport keeps Qt from copying the scrolled pixels
// (every scroll would repaint the whole page): the viewport stops where that bar begins, and the page
// beside it is painted as the content paints itself.
class PageScroll : public QScrollArea {
public:
    explicit PageScroll(QWidget* parent) : QScrollArea(parent) {}

    // The width the bar takes from the content's right margin.
    int keepClearOfTheBar() {
        const int overlap = style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, verticalScrollBar())
            ? style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarOverlap, nullptr, verticalScrollBar())
            : 0;
        setViewportMargins(0, 0, overlap, 0);
        return overlap;
    }
};

} // namespace

ImprovedDocEditorView::ImprovedDocEditorView(const Services& services, DocPtr doc, QWidget* parent)
    : QWidget(parent), m_services(services), m_doc(std::move(doc)), m_edits(services.context, m_doc) {
    setAccessibleName(m_doc->title());
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);

    EditorHeader::Actions actions;
    actions.titleChanged = [this](const QString& title) { m_edits.setTitle(title); };
    actions.toggle = [this] { toggleEditMode(); };
    actions.statusPicked = [this](DocStatus status) { m_edits.setStatus(status); };
    m_header = new EditorHeader(m_doc, actions, this);
    v->addWidget(m_header);

    auto* scroll = new PageScroll(this);
    m_scroll = scroll;
    m_scroll->setFrameShape(QFrame::NoFrame);
    // A click on a button of the page ("Ajouter un bloc", a row's menu) leaves the keyboard where it
    // was: taking it here would end the editing of a text and collapse its toolbar under the menu.
    // A click on the page itself still takes it (below). Tab never stops on it: nothing shows it.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* canvas = new Canvas(m_scroll);
    m_content = canvas;
    m_content->setAutoFillBackground(false);
    auto* h = new QHBoxLayout(m_content);
    // The column stays centred in the whole width, the bar's included.
    const int bar = scroll->keepClearOfTheBar();
    h->setContentsMargins(20, 20, 20 - bar, 60);
    h->setSpacing(0);
    h->addStretch(0);
    m_column = new QWidget(m_content);
    m_column->setMaximumWidth(kColumnWidth);
    m_column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    h->addWidget(m_column, 1);
    h->addStretch(0);
    auto* col = new QVBoxLayout(m_column);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(16);
    m_empty = new EmptyStateView(
        m_doc, [this](DocBlockType type) { addBlock(type); }, m_column);
    col->addWidget(m_empty);
    m_rowsBox = new QWidget(m_column);
    m_rowsLayout = new QVBoxLayout(m_rowsBox);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(ImprovedBlockRowView::rowSpacing());
    // Rows keep to the top while a shorter row is laid out before its box: spread over the room it
    // left, the rows above it would move twice.
    m_rowsLayout->setAlignment(Qt::AlignTop);
    // A row shown lays out the rows around it before their box has grown for it: squeezed into the old
    // height, the tallest rows (code) would shrink and grow back, moving every row below them twice.
    m_rowsLayout->setSizeConstraint(QLayout::SetMinimumSize);
    col->addWidget(m_rowsBox);
    m_addButton = new AddBlockButton(
        m_doc, [this](DocBlockType type) { addBlock(type); }, m_column);
    col->addWidget(m_addButton);
    col->addStretch(1);
    m_scroll->setWidget(m_content);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setBackgroundRole(m_content->backgroundRole());
    m_scroll->setAutoFillBackground(bar > 0);
    // The page and its column paint nothing that depends on their height: a block growing by a line
    // repaints that line and the blocks it moves, not the whole page.
    for (QWidget* w : {m_content, m_column, m_rowsBox})
        keepPaintingOnResize(w);
    v->addWidget(m_scroll, 1);

    canvas->resized = [this] {
        materializeVisible();
        restoreAnchor();
    };
    canvas->fileDropped = [this](const QString& path) { addImageFromFile(path); };
    canvas->pressed = [this] { m_scroll->setFocus(Qt::MouseFocusReason); };
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { materializeVisible(); });
    // The user scrolling lets go of the row held in place after a switch of mode.
    connect(m_scroll->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] { releaseAnchor(); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { watchEditor(now); });

    m_leaveTimer = new QTimer(this);
    m_leaveTimer->setSingleShot(true);
    m_leaveTimer->setInterval(leaveDelayMs);
    connect(m_leaveTimer, &QTimer::timeout, this, &ImprovedDocEditorView::finishLeave);

    m_makeTimer = new QTimer(this);
    m_makeTimer->setSingleShot(true);
    m_makeTimer->setInterval(0);
    connect(m_makeTimer, &QTimer::timeout, this, [this] {
        if (!makeRows(makeSliceMs))
            m_makeTimer->start();
    });

    m_prefetchTimer = new QTimer(this);
    m_prefetchTimer->setSingleShot(true);
    m_prefetchTimer->setInterval(0);
    connect(m_prefetchTimer, &QTimer::timeout, this, &ImprovedDocEditorView::prefetchRows);

    m_scrollAnimation = new QVariantAnimation(this);
    m_scrollAnimation->setDuration(250);
    m_scrollAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    m_scrollAnimation->setStartValue(0.0);
    m_scrollAnimation->setEndValue(1.0);
    // The target is read again at every step: rows laid out or measured meanwhile move it.
    connect(m_scrollAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        if (!m_scrollRow) {
            m_scrollAnimation->stop();
            return;
        }
        const int target = scrollTargetFor(m_scrollRow);
        m_scroll->verticalScrollBar()->setValue(
            int(std::lround(m_scrollStart + (target - m_scrollStart) * value.toReal())));
    });

    connect(m_doc.get(), &PersistentModel::changed, this, [this](const char*) { m_header->refresh(); });
    // Blocks holding large pictures learn their last columns a moment after they are read: one found
    // hidden then leaves the page.
    connect(&m_services.context, &ModelContext::rowsCompleted, this, [this](int entity) {
        if (entity == entity::DocBlock &&
            std::any_of(m_cachedBlocks.begin(), m_cachedBlocks.end(), [](const auto& b) { return b->deletedAt(); }))
            refreshBlocks();
    });
    connect(&m_services.theme, &ThemeManager::appearanceChanged, this, [this] {
        update();
        for (QWidget* w : findChildren<QWidget*>())
            w->update();
    });
    // Quitting saves what is typed, even during the delayed leave of edit mode.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &ImprovedDocEditorView::saveEverything);

    refreshBlocks();
    applyMode();
}

ImprovedDocEditorView::~ImprovedDocEditorView() {
    // Destroyed by the router (another screen, another document): nothing typed is left behind.
    saveEverything();
    // Hiding our children while QWidget's destructor runs moves the focus: this half-destroyed view must
    // not hear of it.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

QList<ImprovedBlockRowView*> ImprovedDocEditorView::rows() const {
    QList<ImprovedBlockRowView*> out;
    for (const auto& b : m_cachedBlocks)
        if (auto* r = m_rows.value(b->id()))
            out << r;
    return out;
}

ImprovedBlockRowView* ImprovedDocEditorView::makeRow(const DocBlockPtr& block) {
    ImprovedBlockRowView::Callbacks cb;
    cb.onFocus = [this](const QUuid& id) { scrollToBlock(id); };
    cb.onContentChanged = [this](const QUuid&) { refreshBlocks(); };
    cb.onReorder = [this](const DocBlockPtr& dragged, const DocBlockPtr& target) { reorder(dragged, target); };
    auto* row = new ImprovedBlockRowView(m_edits, {m_services.theme, m_services.spelling}, block, m_isEditMode,
                                         m_forceSaveRTF, cb, m_rowsBox);
    // A row waits hidden until it is built, keeping its place: showing hundreds of empty rows would cost
    // the opening frame a show event and an accessibility notice each.
    QSizePolicy policy = row->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    row->setSizePolicy(policy);
    row->hide();
    return row;
}

void ImprovedDocEditorView::refreshBlocks() {
    std::vector<DocBlockPtr> blocks = m_edits.visibleBlocks();
    // Rows still to be made are made before the list is compared with them, unless it did not change.
    if (m_tail && blocks != m_cachedBlocks)
        makeRows(-1);
    m_cachedBlocks = std::move(blocks);

    // Rows are kept per block: only new blocks get a row, only vanished ones lose theirs.
    QHash<QUuid, ImprovedBlockRowView*> next;
    next.reserve(qsizetype(m_cachedBlocks.size()));
    const bool eager = m_cachedBlocks.size() <= size_t(eagerRowLimit);
    // Opening: the first blocks get their rows now, the others after the first frame.
    const size_t count = m_rows.isEmpty() && !m_tail && !eager && !isVisible()
        ? std::min(m_cachedBlocks.size(), size_t(rowsMadeAtOnce))
        : m_tail ? m_rowCount
                 : m_cachedBlocks.size();
    bool structureChanged = false;
    for (size_t i = 0; i < count; ++i) {
        const DocBlockPtr& block = m_cachedBlocks[i];
        ImprovedBlockRowView* row = m_rows.take(block->id());
        if (!row) {
            structureChanged = true;
            row = makeRow(block);
            if (eager)
                row->materialize();
            // A block added, duplicated or shown again comes in, built at once (the transition knows
            // its parts); the rows of the opening do not.
            if (isVisible()) {
                row->materialize();
                rowtransition::appear(row);
            }
        }
        next.insert(block->id(), row);
    }
    structureChanged = structureChanged || !m_rows.isEmpty();
    for (ImprovedBlockRowView* gone : std::as_const(m_rows)) {
        if (isVisible())
            rowtransition::disappear(gone, m_content);
        m_rowsLayout->removeWidget(gone);
        gone->hide();
        gone->deleteLater();
    }
    m_rows = std::move(next);

    // Re-lay out only when the order changed, so that a kept row is never taken out needlessly.
    bool same = m_rowsLayout->count() == int(count) + (m_tail ? 1 : 0);
    for (int i = 0; same && i < int(count); ++i)
        same = m_rowsLayout->itemAt(i)->widget() == m_rows.value(m_cachedBlocks[size_t(i)]->id());
    if (!same) {
        structureChanged = true;
        if (m_tail)
            m_rowsLayout->removeItem(m_tail);
        while (m_rowsLayout->count() > 0)
            delete m_rowsLayout->takeAt(0);
        for (size_t i = 0; i < count; ++i)
            m_rowsLayout->addWidget(m_rows.value(m_cachedBlocks[i]->id()));
        m_rowCount = count;
        if (count < m_cachedBlocks.size()) {
            if (!m_tail)
                m_tail = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
            m_rowsLayout->addItem(m_tail);
            fitTail();
            m_makeTimer->start();
        }
    }

    m_empty->setVisible(m_cachedBlocks.empty());
    m_rowsBox->setVisible(!m_cachedBlocks.empty());
    m_header->setBlockCount(qsizetype(m_cachedBlocks.size()));
    // Typing re-reads the list without changing it: nothing new to build then.
    if (!eager && structureChanged)
        QTimer::singleShot(0, this, [this] { materializeVisible(); });
}

void ImprovedDocEditorView::applyMode() {
    m_header->setEditMode(m_isEditMode);
    m_addButton->setVisible(m_isEditMode);
    const bool eager = m_cachedBlocks.size() <= size_t(eagerRowLimit);
    // Only the rows in view switch now; the others when they come near it (materializeVisible).
    const bool placed = !eager && m_rowsBox->isVisible() && m_content->width() > 0;
    if (placed)
        fitContent();
    const int top = m_scroll->verticalScrollBar()->value() - nearMargin;
    const int bottom = top + m_scroll->viewport()->height() + 2 * nearMargin;
    for (ImprovedBlockRowView* row : std::as_const(m_rows)) {
        const int y = placed ? rowTop(row) : 0;
        row->setEditMode(m_isEditMode, !placed || (y <= bottom && y + row->height() >= top));
        if (eager)
            row->materialize();
    }
    fitTail();
    materializeVisible();
}

bool ImprovedDocEditorView::makeRows(int budgetMs) {
    if (!m_tail)
        return true;
    QElapsedTimer clock;
    clock.start();
    int at = m_rowsLayout->indexOf(m_tail);
    while (m_rowCount < m_cachedBlocks.size() && (budgetMs < 0 || clock.elapsed() < budgetMs)) {
        const DocBlockPtr& block = m_cachedBlocks[m_rowCount++];
        ImprovedBlockRowView* row = makeRow(block);
        m_rows.insert(block->id(), row);
        m_rowsLayout->insertWidget(at++, row);
    }
    if (m_rowCount < m_cachedBlocks.size()) {
        fitTail();
        return false;
    }
    m_rowsLayout->removeItem(m_tail);
    delete m_tail;
    m_tail = nullptr;
    return true;
}

void ImprovedDocEditorView::fitTail() {
    if (!m_tail)
        return;
    // As tall as the rows it stands for, the spaces between them included: making them moves nothing.
    int height = 0;
    for (size_t i = m_rowCount; i < m_cachedBlocks.size(); ++i)
        height += ImprovedBlockRowView::estimatedHeight(*m_cachedBlocks[i], m_isEditMode, 860);
    height += int(m_cachedBlocks.size() - m_rowCount - 1) * m_rowsLayout->spacing();
    m_tail->changeSize(0, height, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_rowsLayout->invalidate();
}

DocBlockPtr ImprovedDocEditorView::addBlock(DocBlockType type, bool saveAgain) {
    DocBlockPtr block = m_edits.addBlock(type, saveAgain);
    refreshBlocks();
    m_pendingScroll = block->id();
    QTimer::singleShot(0, this, [this] {
        const QUuid id = m_pendingScroll;
        m_pendingScroll = QUuid();
        if (!id.isNull())
            scrollToBlock(id);
    });
    return block;
}

void ImprovedDocEditorView::toggleEditMode() {
    if (!m_isEditMode) {
        captureAnchor();
        keepFocusOnThePage();
        m_isEditMode = true;
        applyMode();
        restoreAnchor();
        return;
    }
    // A second press while leaving does not leave twice.
    if (m_leaving)
        return;
    m_leaving = true;
    m_forceSaveRTF = !m_forceSaveRTF;
    for (ImprovedBlockRowView* row : std::as_const(m_rows))
        row->setForceSaveRTF(m_forceSaveRTF);
    m_leaveTimer->start();
}

void ImprovedDocEditorView::finishLeave() {
    m_leaveTimer->stop();
    if (!m_leaving)
        return;
    m_leaving = false;
    saveEverything();
    captureAnchor();
    keepFocusOnThePage();
    m_isEditMode = false;
    applyMode();
    restoreAnchor();
}

void ImprovedDocEditorView::saveEverything() {
    for (ImprovedBlockRowView* row : std::as_const(m_rows))
        row->flushRtf();
    m_edits.save();
}

void ImprovedDocEditorView::reorder(const DocBlockPtr& dragged, const DocBlockPtr& target) {
    m_edits.moveBlock(dragged, target);
    refreshBlocks();
}

void ImprovedDocEditorView::addImageFromFile(const QString& path) {
    blockimage::storedFromFileAsync(path, this, [this](const blockimage::Stored& result) {
        if (result.ok()) {
            DocBlockPtr block = m_edits.addBlock(DocBlockType::image);
            m_edits.setImageData(block, result.data);
            refreshBlocks();
            scrollToBlock(block->id());
        } else if (result.outcome == ImageConversion::Outcome::tooLarge) {
            DialogSeam::Message m;
            m.icon = QMessageBox::Warning;
            m.text = blockimage::tooLargeMessage();
            DialogSeam::open(this, m);
        }
        emit imageDropFinished();
    });
}

void ImprovedDocEditorView::fitContent() {
    // The scroll area grows its content in a later event; rows are placed now, at their full heights.
    layout()->activate();
    m_rowsLayout->activate();
    m_column->layout()->activate();
    m_content->layout()->activate();
    // Only grown here: the scroll area sizes it too, by its own measure (wrapped texts and minimum
    // sizes make the two differ), and each undoing the other would resize it for ever.
    const int height = std::max(m_scroll->viewport()->height(), m_content->sizeHint().height());
    if (m_content->height() < height)
        m_content->resize(m_scroll->viewport()->width(), height);
    // The scroll bar shows as soon as the page is longer than the view: shown in a later event, it would
    // narrow the page and every row built meanwhile would be laid out again.
    const auto bar =
        m_content->height() > m_scroll->viewport()->height() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
    if (m_scroll->verticalScrollBarPolicy() != bar) {
        m_scroll->setVerticalScrollBarPolicy(bar);
        if (m_content->width() != m_scroll->viewport()->width())
            m_content->resize(m_scroll->viewport()->width(), m_content->height());
    }
    m_content->layout()->activate();
}

void ImprovedDocEditorView::materializeVisible() {
    // A wheel step beyond the view is built with it; the rest comes in idle time.
    buildRowsAround(nearMargin, nearMargin, -1);
    if (!m_rows.isEmpty() && m_rowsBox->isVisible() && m_content->width() && !m_prefetchTimer->isActive())
        m_prefetchTimer->start();
}

void ImprovedDocEditorView::prefetchRows() {
    const int viewportHeight = std::max(m_scroll->viewport()->height(), 200);
    if (!buildRowsAround(int(viewportHeight * prefetchAbove), int(viewportHeight * prefetchBelow), prefetchSliceMs))
        m_prefetchTimer->start();
}

bool ImprovedDocEditorView::buildRowsAround(int above, int below, int budgetMs) {
    // Row positions are known only once the column is laid out on screen.
    if (m_materializing || m_rows.isEmpty() || !m_rowsBox->isVisible() || !m_content->width())
        return false;
    m_materializing = true;
    QElapsedTimer clock;
    clock.start();
    fitContent();
    QScrollBar* bar = m_scroll->verticalScrollBar();
    const int viewportHeight = std::max(m_scroll->viewport()->height(), 200);
    // Rows wanted where no row is made yet (a jump far down just after opening): all are made now.
    if (m_tail &&
        m_tail->geometry().top() + m_rowsBox->mapTo(m_content, QPoint(0, 0)).y() <=
            bar->value() + viewportHeight + below) {
        makeRows(-1);
        fitContent();
    }
    bool done = false;
    for (int round = 0; round < 4; ++round) {
        const int top = bar->value();
        const int wantedTop = top - above;
        const int wantedBottom = top + viewportHeight + below;
        // The first row reaching into the view keeps its place while rows above it grow or shrink.
        ImprovedBlockRowView* anchor = nullptr;
        int anchorY = 0;
        std::vector<ImprovedBlockRowView*> inView, ahead, behind;
        for (const auto& block : m_cachedBlocks) {
            ImprovedBlockRowView* row = m_rows.value(block->id());
            if (!row)
                break;
            const int y = row->mapTo(m_content, QPoint(0, 0)).y();
            const int bottom = y + row->height();
            if (!anchor && bottom >= top) {
                anchor = row;
                anchorY = y;
            }
            if (y > wantedBottom)
                break;
            if (row->isMaterialized() || bottom < wantedTop)
                continue;
            if (bottom < top)
                behind.push_back(row);
            else if (y > top + viewportHeight)
                ahead.push_back(row);
            else
                inView.push_back(row);
        }
        if (inView.empty() && ahead.empty() && behind.empty()) {
            done = true;
            break;
        }
        // Nearest the view first: what shows, what comes next going down, what is above.
        std::vector<ImprovedBlockRowView*> build = std::move(inView);
        build.insert(build.end(), ahead.begin(), ahead.end());
        build.insert(build.end(), behind.rbegin(), behind.rend());
        bool spent = false;
        for (ImprovedBlockRowView* row : build) {
            row->materialize();
            if (budgetMs >= 0 && clock.elapsed() >= budgetMs) {
                spent = true;
                break;
            }
        }
        fitContent();
        if (anchor && top > 0) {
            const int delta = anchor->mapTo(m_content, QPoint(0, 0)).y() - anchorY;
            if (delta != 0)
                bar->setValue(bar->value() + delta);
        }
        if (spent)
            break;
    }
    m_materializing = false;
    return done;
}

int ImprovedDocEditorView::rowTop(const QWidget* row) const { return row->mapTo(m_content, QPoint(0, 0)).y(); }

int ImprovedDocEditorView::scrollTargetFor(ImprovedBlockRowView* row) const {
    QScrollBar* bar = m_scroll->verticalScrollBar();
    const int viewportHeight = m_scroll->viewport()->height();
    if (row->height() > viewportHeight) {
        QWidget* focus = QApplication::focusWidget();
        if (isFollowed(focus) && row->isAncestorOf(focus))
            return revealTarget(caretRectInContent(focus), bar->value());
    }
    const int center = rowTop(row) + row->height() / 2;
    return std::clamp(center - viewportHeight / 2, bar->minimum(), bar->maximum());
}

void ImprovedDocEditorView::scrollToBlock(const QUuid& id, bool animated) {
    if (!m_rows.contains(id))
        makeRows(-1);
    ImprovedBlockRowView* row = m_rows.value(id);
    if (!row)
        return;
    releaseAnchor();
    if (!row->isMaterialized())
        row->materialize();
    // Rows re-read or moved are placed now, so that the row is found where it is going to be.
    fitContent();
    QScrollBar* bar = m_scroll->verticalScrollBar();
    const int target = scrollTargetFor(row);
    m_scrollAnimation->stop();
    m_scrollRow = row;
    if (!animated || target == bar->value()) {
        bar->setValue(target);
        return;
    }
    m_scrollStart = bar->value();
    m_scrollAnimation->start();
}

bool ImprovedDocEditorView::isFollowed(const QWidget* widget) const {
    return widget && widget->property(kFollowsCaret).toBool() && m_content->isAncestorOf(widget);
}

void ImprovedDocEditorView::watchEditor(QWidget* widget) {
    if (!widget || widget->property(kFollowsCaret).toBool() || !m_content->isAncestorOf(widget))
        return;
    if (auto* text = qobject_cast<QTextEdit*>(widget)) {
        connect(text, &QTextEdit::cursorPositionChanged, this, &ImprovedDocEditorView::scheduleCaretFollow);
        if (auto* wrapper = enclosing<RichTextEditorWrapper>(text, m_content))
            connect(wrapper, &RichTextEditorWrapper::calculatedHeightAboutToChange, this,
                    [this, editor = QPointer<QWidget>(text)](qreal from, qreal to) {
                        if (editor)
                            scrollAheadOfGrowth(editor, int(std::ceil(to) - std::ceil(from)));
                    });
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        connect(plain, &QPlainTextEdit::cursorPositionChanged, this, &ImprovedDocEditorView::scheduleCaretFollow);
        if (auto* code = enclosing<ImprovedCodeBlockView>(plain, m_content))
            connect(code, &ImprovedCodeBlockView::aboutToGrow, this,
                    [this, editor = QPointer<QWidget>(plain)](int growth) {
                        if (editor)
                            scrollAheadOfGrowth(editor, growth);
                    });
    } else
        return;
    widget->setProperty(kFollowsCaret, true);
    widget->installEventFilter(this);
}

void ImprovedDocEditorView::scheduleCaretFollow() {
    if (auto* editor = qobject_cast<QWidget*>(sender()))
        m_followEditor = editor;
    if (m_followPending)
        return;
    m_followPending = true;
    // After the edit has run its course: the text's height is measured in the same turn.
    QMetaObject::invokeMethod(this, &ImprovedDocEditorView::followCaret, Qt::QueuedConnection);
}

void ImprovedDocEditorView::settleAround(QWidget* widget) {
    for (QWidget* w = widget; w && w != m_content; w = w->parentWidget())
        if (auto* wrapper = qobject_cast<RichTextEditorWrapper*>(w))
            wrapper->settleHeight();
    // Each layout activated passes its new size to the one above it.
    for (QWidget* w = widget; w && w != m_content; w = w->parentWidget())
        if (w->layout())
            w->layout()->activate();
    fitContent();
}

void ImprovedDocEditorView::scrollAheadOfGrowth(QWidget* editor, int growth) {
    // A scroll copies on screen what it moves, unless something in view waits to be repainted: scrolled
    // once the rows have taken the new height, the whole page would be painted again. So the page
    // scrolls first (the caret's place is known before the rows move) and the new height then repaints
    // only what it changes.
    if (growth <= 0 || m_restoring || m_materializing || !isFollowed(editor) || !editor->isVisible() ||
        editor->window()->focusWidget() != editor || m_scrollAnimation->state() == QAbstractAnimation::Running)
        return;
    QScrollBar* bar = m_scroll->verticalScrollBar();
    const QRect caret = caretRectInContent(editor);
    // The page's end comes down with the text: its room is made first.
    if (caret.bottom() + caretMargin >= bar->maximum() + m_scroll->viewport()->height())
        m_content->resize(m_content->width(), m_content->height() + growth);
    const int target = revealTarget(caret, bar->value());
    if (target == bar->value())
        return;
    releaseAnchor();
    bar->setValue(target);
}

QRect ImprovedDocEditorView::caretRectInContent(QWidget* editor) const {
    QRect caret;
    QWidget* viewport = nullptr;
    if (auto* text = qobject_cast<QTextEdit*>(editor)) {
        caret = text->cursorRect();
        viewport = text->viewport();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(editor)) {
        caret = plain->cursorRect();
        viewport = plain->viewport();
    } else {
        return {};
    }
    return {viewport->mapTo(m_content, caret.topLeft()), caret.size()};
}

int ImprovedDocEditorView::revealTarget(const QRect& rect, int from) const {
    QScrollBar* bar = m_scroll->verticalScrollBar();
    const int viewportHeight = m_scroll->viewport()->height();
    const int margin = std::clamp((viewportHeight - rect.height()) / 2, 0, caretMargin);
    int value = from;
    if (rect.bottom() + margin >= value + viewportHeight)
        value = rect.bottom() + margin - viewportHeight + 1;
    if (rect.top() - margin < value)
        value = rect.top() - margin;
    return std::clamp(value, bar->minimum(), bar->maximum());
}

void ImprovedDocEditorView::followCaret() {
    m_followPending = false;
    // The editor whose caret moved, while it has the keyboard of its window.
    QWidget* editor = m_followEditor ? m_followEditor.data() : QApplication::focusWidget();
    if (!isFollowed(editor) || !editor->isVisible() || editor->window()->focusWidget() != editor)
        return;
    releaseAnchor();
    settleAround(editor);
    const QRect caret = caretRectInContent(editor);
    QScrollBar* bar = m_scroll->verticalScrollBar();
    if (m_scrollAnimation->state() == QAbstractAnimation::Running && m_scrollRow) {
        // A scroll on its way (the focused block coming to the centre) that shows the caret at its end
        // is left to finish, even when the caret is near an edge now (a click low in the window).
        const int end = scrollTargetFor(m_scrollRow);
        if (revealTarget(caret, end) == end)
            return;
        m_scrollAnimation->stop();
    }
    const int target = revealTarget(caret, bar->value());
    if (target != bar->value())
        bar->setValue(target);
}

void ImprovedDocEditorView::pageCaret(QWidget* editor, bool down, bool select) {
    auto* text = qobject_cast<QTextEdit*>(editor);
    auto* plain = qobject_cast<QPlainTextEdit*>(editor);
    if (!text && !plain)
        return;
    settleAround(editor);
    // The block shows all its text, so a page is the visible part of the document, not the editor.
    QWidget* viewport = text ? text->viewport() : plain->viewport();
    QTextCursor cursor = text ? text->textCursor() : plain->textCursor();
    const QRect before = text ? text->cursorRect() : plain->cursorRect();
    const int page = std::max(m_scroll->viewport()->height() - 2 * before.height(), before.height());
    const QPoint aim(before.center().x(), before.center().y() + (down ? page : -page));
    int position = 0;
    if (aim.y() >= viewport->height()) {
        QTextCursor end(cursor.document());
        end.movePosition(QTextCursor::End);
        position = end.position();
    } else if (aim.y() >= 0) {
        position = (text ? text->cursorForPosition(aim) : plain->cursorForPosition(aim)).position();
    }
    cursor.setPosition(position, select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    if (text)
        text->setTextCursor(cursor);
    else
        plain->setTextCursor(cursor);
    // The page moves with the caret, which keeps its place on the screen where it can.
    const QRect after = text ? text->cursorRect() : plain->cursorRect();
    m_scrollAnimation->stop();
    QScrollBar* bar = m_scroll->verticalScrollBar();
    bar->setValue(bar->value() + after.top() - before.top());
    m_followEditor = editor;
    scheduleCaretFollow();
}

void ImprovedDocEditorView::captureAnchor() {
    releaseAnchor();
    if (m_rows.isEmpty() || !m_rowsBox->isVisible() || !m_content->width())
        return;
    fitContent();
    const int top = m_scroll->verticalScrollBar()->value();
    QWidget* viewport = m_scroll->viewport();
    const QPoint pointer = viewport->mapFromGlobal(QCursor::pos());
    const int pointerY = viewport->rect().contains(pointer) ? top + pointer.y() : -1;
    ImprovedBlockRowView* underPointer = nullptr;
    ImprovedBlockRowView* firstVisible = nullptr;
    for (const auto& block : m_cachedBlocks) {
        ImprovedBlockRowView* row = m_rows.value(block->id());
        if (!row)
            break;
        const int y = rowTop(row);
        if (y > top + viewport->height())
            break;
        if (!firstVisible && y + row->height() > top)
            firstVisible = row;
        if (pointerY >= y && pointerY < y + row->height()) {
            underPointer = row;
            break;
        }
    }
    m_anchorRow = underPointer ? underPointer : firstVisible;
    if (!m_anchorRow)
        return;
    m_anchorOffset = rowTop(m_anchorRow) - top;
    m_anchorClock.start();
    // Rows above it may settle their heights in a later event without the page changing size.
    m_anchorRow->installEventFilter(this);
}

void ImprovedDocEditorView::restoreAnchor() {
    if (!m_anchorRow || m_restoring)
        return;
    if (m_anchorClock.elapsed() > anchorHoldMs) {
        releaseAnchor();
        return;
    }
    m_restoring = true;
    QScrollBar* bar = m_scroll->verticalScrollBar();
    // Scrolling builds the rows that come into view, which may move the anchor again.
    for (int round = 0; round < 4 && m_anchorRow; ++round) {
        fitContent();
        const int target = std::clamp(rowTop(m_anchorRow) - m_anchorOffset, bar->minimum(), bar->maximum());
        if (bar->value() == target)
            break;
        bar->setValue(target);
    }
    m_restoring = false;
}

bool ImprovedDocEditorView::focusNextPrevChild(bool next) {
    // Tab follows the page as it reads: the header, the blocks in their order (rows are made in any
    // order), then "Ajouter un bloc".
    const QList<QWidget*> all = KeyboardFocus::controls(this);
    const auto inAdd = [this](QWidget* w) { return w == m_addButton || m_addButton->isAncestorOf(w); };
    QList<QWidget*> order;
    for (QWidget* w : all)
        if (!m_rowsBox->isAncestorOf(w) && !inAdd(w))
            order.append(w);
    for (int i = 0; i < m_rowsLayout->count(); ++i)
        if (QWidget* row = m_rowsLayout->itemAt(i)->widget())
            for (QWidget* w : all)
                if (row->isAncestorOf(w))
                    order.append(w);
    for (QWidget* w : all)
        if (inAdd(w))
            order.append(w);
    if (!KeyboardFocus::moveThrough(order, this, next))
        return QWidget::focusNextPrevChild(next);
    if (QWidget* focus = QApplication::focusWidget(); focus && m_content->isAncestorOf(focus))
        m_scroll->ensureWidgetVisible(focus, 0, 40);
    return true;
}

void ImprovedDocEditorView::releaseAnchor() {
    if (m_anchorRow)
        m_anchorRow->removeEventFilter(this);
    m_anchorRow = nullptr;
}

void ImprovedDocEditorView::keepFocusOnThePage() {
    // A focused face about to be hidden would hand the keyboard to the next editor in the chain, which
    // would begin editing and scroll its block to the centre.
    QWidget* focus = QApplication::focusWidget();
    if (focus && m_content->isAncestorOf(focus))
        m_scroll->setFocus(Qt::OtherFocusReason);
}

void ImprovedDocEditorView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    refreshBlocks();
    if (m_cachedBlocks.empty())
        addBlock(DocBlockType::text, true);
    materializeVisible();
}

void ImprovedDocEditorView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    // Hidden by the router (navigating away): store everything now, the pending leave included.
    if (m_leaving)
        finishLeave();
    else
        saveEverything();
}

void ImprovedDocEditorView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::canvasBackground());
}

bool ImprovedDocEditorView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move && watched == m_anchorRow && !m_restoring && !m_restoreQueued) {
        // Moved while the rows' layout runs: put it back once that is done.
        m_restoreQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_restoreQueued = false;
            restoreAnchor();
        });
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        const bool page = key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp;
        if (page && isFollowed(widget) && !(key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
            pageCaret(widget, key->key() == Qt::Key_PageDown, key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
