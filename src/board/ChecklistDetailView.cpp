#include "board/ChecklistDetailView.h"

#include "board/BoardColumns.h"
#include "board/BoardWidgets.h"
#include "board/CardTile.h"
#include "board/NewChecklistColumnSheet.h"
#include "cardsheet/CardSheet.h"
#include "checklists/ChecklistLogic.h"
#include "core/store/ModelContext.h"
#include "services/Services.h"
#include "ui/Components.h"
#include "ui/DialogSeam.h"
#include "ui/AppStyle.h"
#include "ui/Palette.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

using namespace ChecklistLogic;

namespace {

// Where `item` goes when moved one place by `step` in `list`: the item it then stands before (null: the end).
// Nothing when it is not in the list or already at that end.
template <class T>
std::optional<std::shared_ptr<T>> placeAfterStep(const std::vector<std::shared_ptr<T>>& list,
                                                 const std::shared_ptr<T>& item, int step) {
    const auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return std::nullopt;
    const auto index = std::distance(list.begin(), it);
    const auto count = qsizetype(list.size());
    if (step < 0 && index > 0)
        return list[size_t(index - 1)];
    if (step > 0 && index + 1 < count)
        return index + 2 < count ? list[size_t(index + 2)] : nullptr;
    return std::nullopt;
}

// The sideways row: as tall as its content, its own scroll bar hidden (the board floats one at its
// foot); a horizontal wheel, or a vertical one with Shift, scrolls it.
class ColumnsScroller : public QScrollArea {
public:
    explicit ColumnsScroller(QWidget* parent) : QScrollArea(parent) {
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidgetResizable(false);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFocusPolicy(Qt::NoFocus);
        viewport()->setAutoFillBackground(false);
        setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    }
    QSize sizeHint() const override {
        return QSize(QScrollArea::sizeHint().width(), widget() ? widget()->sizeHint().height() : 0);
    }
    QSize minimumSizeHint() const override { return QSize(0, sizeHint().height()); }

protected:
    void wheelEvent(QWheelEvent* event) override {
        const QPoint d = event->angleDelta();
        if (d.x() != 0 || (event->modifiers() & Qt::ShiftModifier)) {
            const int delta = d.x() != 0 ? d.x() : d.y();
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta);
            event->accept();
            return;
        }
        event->ignore(); // the board's vertical scroll takes it
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == widget() && e->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QScrollArea::eventFilter(o, e);
    }
};

// The side of the row where more columns lie out of sight fades into the background.
class EdgeFade : public QWidget {
public:
    static constexpr int kWidth = 28;
    EdgeFade(Qt::Edge edge, QWidget* parent) : QWidget(parent), m_edge(edge) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QColor solid = AppPalette::screenBackground();
        QColor clear = solid;
        clear.setAlpha(0);
        QLinearGradient g(0, 0, width(), 0);
        g.setColorAt(0, m_edge == Qt::LeftEdge ? solid : clear);
        g.setColorAt(1, m_edge == Qt::LeftEdge ? clear : solid);
        p.fillRect(rect(), g);
    }

private:
    Qt::Edge m_edge;
};

// How fast a drag near an edge scrolls: nothing beyond kEdge from it, faster the closer it comes.
int edgeSpeed(int pos, int start, int end) {
    static constexpr int kEdge = 48, kMax = 24;
    if (end - start < 3 * kEdge)
        return 0;
    auto speed = [](int depth) { return std::clamp(kMax * depth / kEdge, 2, kMax); };
    if (pos < start + kEdge)
        return -speed(start + kEdge - pos);
    if (pos >= end - kEdge)
        return speed(pos - (end - kEdge) + 1);
    return 0;
}

ChecklistDetailView::DragLoop& dragLoop() {
    static ChecklistDetailView::DragLoop loop;
    return loop;
}

} // namespace

void ChecklistDetailView::setDragLoopForTesting(DragLoop loop) { dragLoop() = std::move(loop); }

ChecklistDetailView::ChecklistDetailView(const Services& services, ChecklistPtr checklist, std::function<void()> onBack,
                                         QWidget* parent)
    : QWidget(parent),
      m_services(services),
      m_checklist(std::move(checklist)),
      m_onBack(std::move(onBack)),
      m_edits(services.context) {
    BoardDrag::refuseInTextFields();
    setAccessibleName(m_checklist->name());
    setAcceptDrops(true);
    m_scroll = addScreenScroll(this);

    auto* canvas = new ScreenBackground;
    auto* stack = new QVBoxLayout(canvas);
    // Cards carry their shadow margins: the stack's padding of 24 is counted to the cards' edges.
    // The row of columns runs to the window's edges, so that columns scroll out of sight there.
    const QMargins sm = AppCard::shadowMargins();
    stack->setContentsMargins(0, 24 - sm.top(), 0, 24);
    stack->setSpacing(0);
    m_header = new BoardHeader(this);
    auto* headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(24 - sm.left(), 0, 24 - sm.right(), 0);
    headerRow->addWidget(m_header);
    stack->addLayout(headerRow);
    m_columnsScroll = new ColumnsScroller(canvas);
    m_row = new ColumnsRow(this);
    m_row->setSideInset(24 - sm.left());
    m_columnsScroll->setWidget(m_row);
    m_row->installEventFilter(m_columnsScroll);
    // The row stops short of the window's right edge by the page's scroll bar, which floats there:
    // columns leave sight beside the bar rather than under it.
    auto* columnsRow = new QHBoxLayout;
    columnsRow->setContentsMargins(0, 0, SheetBody::gutter, 0);
    columnsRow->addWidget(m_columnsScroll);
    stack->addLayout(columnsRow);
    stack->addStretch(1);
    stack->addSpacing(10);
    m_scroll->setWidget(canvas);
    m_scroll->viewport()->installEventFilter(this);

    // The row continues out of sight: its edges fade there, and a scroll bar floats at the foot of
    // the board, shown like the board's own while the pointer is over it. It mirrors the row's own
    // (hidden) bar, which sits at the foot of the row, often far below.
    m_fades = {new EdgeFade(Qt::LeftEdge, m_columnsScroll), new EdgeFade(Qt::RightEdge, m_columnsScroll)};
    m_rowBarHolder = new QWidget(m_scroll);
    m_rowBar = new QScrollBar(Qt::Horizontal, m_rowBarHolder);
    m_rowBar->setAccessibleName(QStringLiteral("Colonnes"));
    m_rowBar->setSingleStep(48);
    m_rowBarHolder->hide();
    m_scroll->installEventFilter(this);
    m_columnsScroll->installEventFilter(this);
    QScrollBar* rowOwn = m_columnsScroll->horizontalScrollBar();
    connect(rowOwn, &QScrollBar::rangeChanged, this, [this](int min, int max) {
        m_rowBar->setRange(min, max);
        m_rowBar->setPageStep(m_columnsScroll->viewport()->width());
        placeRowEdges();
    });
    connect(rowOwn, &QScrollBar::valueChanged, this, [this](int value) {
        m_rowBar->setValue(value);
        placeRowEdges();
    });
    connect(m_rowBar, &QScrollBar::valueChanged, rowOwn, &QScrollBar::setValue);
    connect(rowOwn, &QScrollBar::valueChanged, this, &ChecklistDetailView::realizeNearView);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &ChecklistDetailView::realizeNearView);
    m_columnsScroll->viewport()->installEventFilter(this);

    m_autoScroll.setInterval(kAutoScrollInterval);
    connect(&m_autoScroll, &QTimer::timeout, this, &ChecklistDetailView::autoScrollTick);
    m_refine.setSingleShot(true);
    connect(&m_refine, &QTimer::timeout, this, &ChecklistDetailView::refineEstimates);

    connect(&services.context, &ModelContext::entityChanged, this, [this](int entity) {
        // What the board shows: the checklist, its project's name, columns and cards.
        if (entity == Project::kEntity || entity == Checklist::kEntity || entity == ChecklistColumn::kEntity ||
            entity == ChecklistCard::kEntity)
            scheduleSync();
    });
    connect(&services.theme, &ThemeManager::appearanceChanged, this, [this] { update(); });
    syncNow();
}

ChecklistDetailView::~ChecklistDetailView() = default;

void ChecklistDetailView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Every time the board comes on screen: a checklist without any column gets its two defaults.
    if (m_edits.ensureDefaultColumns(m_checklist))
        syncNow();
}

void ChecklistDetailView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        update();
}

void ChecklistDetailView::followFocus(QWidget* widget) { widget->installEventFilter(this); }

void ChecklistDetailView::placeRowEdges() {
    const QScrollBar* own = m_columnsScroll->horizontalScrollBar();
    const QSize area = m_columnsScroll->size();
    m_fades[0]->setGeometry(0, 0, EdgeFade::kWidth, area.height());
    m_fades[1]->setGeometry(area.width() - EdgeFade::kWidth, 0, EdgeFade::kWidth, area.height());
    m_fades[0]->setVisible(own->value() > own->minimum());
    m_fades[1]->setVisible(own->value() < own->maximum());
    const int extent = TolmekStyle::scrollBarExtent;
    m_rowBarHolder->setGeometry(0, m_scroll->height() - extent, m_scroll->viewport()->width(), extent);
    m_rowBar->setGeometry(m_rowBarHolder->rect());
    m_rowBarHolder->setVisible(own->maximum() > own->minimum());
    m_rowBarHolder->raise();
}

bool ChecklistDetailView::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == m_scroll->viewport() || watched == m_columnsScroll->viewport()) && event->type() == QEvent::Resize)
        realizeNearView();
    if (watched == m_scroll || watched == m_columnsScroll) {
        if (event->type() == QEvent::Resize)
            placeRowEdges();
        else if (event->type() == QEvent::Move && watched == m_columnsScroll)
            realizeNearView(); // the header above it changed height
        else if (event->type() == QEvent::Enter || event->type() == QEvent::Leave)
            m_rowBar->update(); // shown while the pointer is over the board
        return false;
    }
    // Keyboard focus brings its card or control into view, sideways and downwards; a click does
    // not (the board would slide away under a pointer about to drag).
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && m_row->isAncestorOf(widget) &&
            (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::OtherFocusReason ||
             reason == Qt::ShortcutFocusReason)) {
            m_columnsScroll->ensureWidgetVisible(widget, 24, 0);
            m_scroll->ensureWidgetVisible(widget, 0, 24);
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
            if (QWidget* target = tabTarget(qobject_cast<QWidget*>(watched), back)) {
                target->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
                return true;
            }
        }
    }
    // A plain wheel over a board that has nothing to scroll downwards scrolls it sideways.
    if (event->type() == QEvent::Wheel && watched == m_scroll->viewport()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint d = wheel->angleDelta();
        if (d.x() == 0 && d.y() != 0 && m_scroll->verticalScrollBar()->maximum() == 0) {
            QScrollBar* bar = m_columnsScroll->horizontalScrollBar();
            bar->setValue(bar->value() - d.y());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QWidget* ChecklistDetailView::tabTarget(QWidget* widget, bool backwards) {
    if (!widget || !m_row->isAncestorOf(widget))
        return nullptr;
    const auto columns = m_row->columns();
    auto lastCardOf = [](ColumnView* c) -> QWidget* {
        const auto last = c->slotCard(c->cardCount() - 1);
        return last ? c->ensureTile(*last) : nullptr;
    };
    if (auto* tile = qobject_cast<CardTile*>(widget)) {
        auto* column = qobject_cast<ColumnView*>(tile->parentWidget());
        const auto next = column ? column->cardBeside(tile->cardId(), backwards ? -1 : +1) : std::nullopt;
        return next ? column->ensureTile(*next) : nullptr;
    }
    if (!backwards)
        return nullptr;
    // Back from a column's first control, or from the add-column tile, to the last card before it.
    for (size_t i = 0; i < columns.size(); ++i)
        if (widget == columns[i]->menuButton())
            return i > 0 ? lastCardOf(columns[i - 1]) : nullptr;
    if (widget == m_row->addTile() && !columns.empty())
        return lastCardOf(columns.back());
    return nullptr;
}

void ChecklistDetailView::realizeNearView() {
    if (m_realizing)
        return;
    m_realizing = true;
    QWidget* down = m_scroll->viewport();
    QWidget* across = m_columnsScroll->viewport();
    // Tiles far out of sight go, so that a board scrolled through does not keep a tile for every card;
    // never during a drag, whose source may be one of them.
    if (!m_dragging) {
        for (ColumnView* c : m_row->columns()) {
            const int x = c->mapTo(across, QPoint()).x();
            const bool near =
                x + c->width() >= -3 * ColumnView::kWidth && x <= across->width() + 3 * ColumnView::kWidth;
            const int y = c->mapTo(down, QPoint()).y();
            if (near)
                c->release(-y - 4 * down->height(), -y + 5 * down->height());
            else
                c->release(1, 0);
        }
    }
    // Making tiles corrects the heights of their places, which may bring others near: a few rounds.
    for (int round = 0; round < 3; ++round) {
        bool made = false;
        for (ColumnView* c : m_row->columns()) {
            const int x = c->mapTo(across, QPoint()).x();
            if (x + c->width() < -ColumnView::kWidth || x > across->width() + ColumnView::kWidth)
                continue;
            const int y = c->mapTo(down, QPoint()).y();
            made = c->realize(-y - down->height(), -y + 2 * down->height()) || made;
        }
        if (!made)
            break;
    }
    m_realizing = false;
}

void ChecklistDetailView::scheduleSync() {
    if (m_syncQueued)
        return;
    m_syncQueued = true;
    QTimer::singleShot(0, this, [this] {
        if (m_syncQueued)
            syncNow();
    });
}

void ChecklistDetailView::syncNow() {
    m_syncQueued = false;
    if (m_checklist->isDeleted())
        return;
    setAccessibleName(m_checklist->name());
    m_header->sync();
    m_row->sync();
    m_columnsScroll->updateGeometry();
    realizeNearView();
    // Past the first frame: the cards in view measured themselves, the others' guesses wait until then.
    if (!m_refine.isActive())
        m_refine.start(kRefineDelayMs);
    emit synced();
}

void ChecklistDetailView::refineEstimates() {
    // Short slices, so that a key or a wheel notch in between waits for one at most.
    const QDeadlineTimer deadline(kRefineSliceMs);
    bool remain = false;
    for (ColumnView* c : m_row->columns()) {
        remain = c->refineEstimates(deadline);
        if (remain)
            break;
    }
    realizeNearView();
    if (remain)
        m_refine.start(0);
}

std::vector<ColumnView*> ChecklistDetailView::columnViews() const { return m_row->columns(); }

ColumnView* ChecklistDetailView::columnView(const QUuid& id) const {
    for (auto* c : m_row->columns())
        if (c->columnId() == id)
            return c;
    return nullptr;
}

AddColumnTile* ChecklistDetailView::addColumnTile() const { return m_row->addTile(); }

QWidget* ChecklistDetailView::keyboardStart() const {
    const auto& columns = m_row->columns();
    return columns.empty() ? nullptr : columns.front()->handle();
}

// ----- card sheet ---------------------------------------------------------------------------------
CardSheet* ChecklistDetailView::cardSheet() {
    if (!m_cardSheet)
        m_cardSheet = new CardSheet(m_services, m_checklist, this);
    return m_cardSheet;
}

void ChecklistDetailView::openCard(const ChecklistCardPtr& card) {
    if (card)
        m_cardHooks.openCard ? m_cardHooks.openCard(card) : cardSheet()->openCard(card);
}

void ChecklistDetailView::openNewCard(const ChecklistColumnPtr& column) {
    if (column)
        m_cardHooks.openNewCard ? m_cardHooks.openNewCard(column) : cardSheet()->openNewCard(column);
}

// ----- columns ------------------------------------------------------------------------------------
NewChecklistColumnSheet* ChecklistDetailView::columnSheet() const {
    return qobject_cast<NewChecklistColumnSheet*>(m_columnSheet.data());
}

void ChecklistDetailView::openNewColumnSheet() {
    m_editingColumn = nullptr;
    openEditColumnSheet(nullptr);
}

void ChecklistDetailView::openEditColumnSheet(const ChecklistColumnPtr& column) {
    m_editingColumn = column;
    if (m_columnSheet)
        m_columnSheet->close();
    auto* sheet = new NewChecklistColumnSheet(m_services, m_checklist, column, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_columnSheet = sheet;
    sheet->open();
}

void ChecklistDetailView::requestDeleteColumn(const ChecklistColumnPtr& column) {
    m_columnToDelete = column;
    const DialogSeam::Message m =
        DialogSeam::deletion(QStringLiteral("Supprimer la colonne ?"),
                             QStringLiteral("Les cartes de cette colonne seront aussi supprimees."));
    DialogSeam::open(this, m, [self = QPointer<ChecklistDetailView>(this)](int answer) {
        if (!self || answer != 0 || !self->m_columnToDelete)
            return;
        self->m_edits.deleteColumn(self->m_checklist, self->m_columnToDelete);
        self->syncNow();
    });
}

// ----- moves without a pointer ----------------------------------------------------------------------
void ChecklistDetailView::moveCardBy(const ChecklistCardPtr& card, int step) {
    const auto column = card ? card->column() : nullptr;
    if (!column || !findColumn(*m_checklist, column->id()))
        return;
    if (const auto before = placeAfterStep(sortedCards(*column), card, step))
        placeCard(card, column, *before);
}

void ChecklistDetailView::moveCardToNeighbour(const ChecklistCardPtr& card, int step) {
    const auto column = card ? card->column() : nullptr;
    if (!column)
        return;
    const auto columns = sortedColumns(*m_checklist);
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i]->id() != column->id())
            continue;
        const auto target = qsizetype(i) + step;
        if (target >= 0 && target < qsizetype(columns.size()))
            moveCardTo(card, columns[size_t(target)]);
        return;
    }
}

void ChecklistDetailView::moveCardTo(const ChecklistCardPtr& card, const ChecklistColumnPtr& column) {
    if (!card || !column || !findCard(*m_checklist, card->id()))
        return;
    placeCard(card, column, nullptr);
}

void ChecklistDetailView::placeCard(const ChecklistCardPtr& card, const ChecklistColumnPtr& column,
                                    const ChecklistCardPtr& before) {
    m_edits.placeCard(m_checklist, card, column, before);
    syncNow();
    if (auto* view = columnView(column->id()))
        if (auto* t = view->ensureTile(card->id()))
            t->setFocus(Qt::OtherFocusReason);
}

void ChecklistDetailView::moveColumnBy(const ChecklistColumnPtr& column, int step) {
    const auto before = placeAfterStep(sortedColumns(*m_checklist), column, step);
    if (!before)
        return;
    m_edits.moveColumn(m_checklist, column, *before);
    syncNow();
    if (auto* view = columnView(column->id())) {
        view->handle()->setFocus(Qt::OtherFocusReason);
        m_columnsScroll->ensureWidgetVisible(view, 24, 0);
    }
}

QMenu* ChecklistDetailView::cardMenu(const ChecklistCardPtr& card) {
    auto* menu = new QMenu(this);
    menu->addAction(QStringLiteral("Ouvrir"), this, [this, card] { openCard(card); });
    menu->addSeparator();
    auto* up = menu->addAction(QStringLiteral("Monter"), this, [this, card] { moveCardBy(card, -1); });
    up->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    auto* down = menu->addAction(QStringLiteral("Descendre"), this, [this, card] { moveCardBy(card, +1); });
    down->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Down));
    const auto column = card->column();
    if (column) {
        const auto cards = sortedCards(*column);
        up->setEnabled(!cards.empty() && cards.front() != card);
        down->setEnabled(!cards.empty() && cards.back() != card);
    }
    auto* to = menu->addMenu(QStringLiteral("Déplacer vers"));
    for (const auto& col : sortedColumns(*m_checklist)) {
        auto* a = to->addAction(col->name(), this, [this, card, col] { moveCardTo(card, col); });
        a->setEnabled(!column || col->id() != column->id());
    }
    return menu;
}

// ----- drag and drop ------------------------------------------------------------------------------
void ChecklistDetailView::setMarks(const BoardDrag::Marks& marks) {
    if (marks == m_marks)
        return;
    m_marks = marks;
    for (auto* c : m_row->columns())
        c->marksChanged();
}

void ChecklistDetailView::setHoveredCard(const QUuid& card, bool entered) {
    BoardDrag::Marks m = m_marks;
    if (entered)
        m.hoverCardId = card;
    else
        m.hoverCardId.reset(); // whichever card it named
    setMarks(m);
}

void ChecklistDetailView::queueCardDrop(const BoardDrag::CardDrop& drop) {
    BoardDrag::Marks m = m_marks;
    m.dropTargetCardId.reset();
    m.dropTargetColumnId.reset();
    setMarks(m);
    runDrop([this, drop] {
        if (drop.card->isDeleted() || drop.column->isDeleted())
            return;
        m_edits.placeCard(m_checklist, drop.card, drop.column, drop.before);
    });
}

void ChecklistDetailView::queueColumnDrop(const BoardDrag::ColumnDrop& drop) {
    BoardDrag::Marks m = m_marks;
    m.dropTargetColumnReorderId.reset();
    setMarks(m);
    runDrop([this, drop] {
        if (drop.dragged->isDeleted() || drop.target->isDeleted())
            return;
        m_edits.moveColumn(m_checklist, drop.dragged, drop.target);
    });
}

void ChecklistDetailView::applyDrop(const std::function<void()>& action) {
    // The person stays where they were: a tile that goes away passes the focus down the chain, and
    // the scroll areas would slide to whatever takes it.
    QScrollBar* across = m_columnsScroll->horizontalScrollBar();
    QScrollBar* down = m_scroll->verticalScrollBar();
    const int x = across->value(), y = down->value();
    std::optional<QUuid> focusedCard;
    if (auto* tile = qobject_cast<CardTile*>(QApplication::focusWidget()); tile && m_row->isAncestorOf(tile))
        focusedCard = tile->cardId();
    action();
    syncNow();
    if (focusedCard) {
        for (auto* c : m_row->columns())
            if (auto* t = c->ensureTile(*focusedCard); t && t->isVisible())
                t->setFocus(Qt::OtherFocusReason);
    }
    across->setValue(x);
    down->setValue(y);
}

void ChecklistDetailView::runDrop(std::function<void()> action) {
    // Never change the model inside the drag loop: widgets under the pointer would be replaced.
    if (m_dragging) {
        m_afterDrag.push_back(std::move(action));
        return;
    }
    QTimer::singleShot(0, this, [this, action = std::move(action)] { applyDrop(action); });
}

ChecklistDetailView::DropTarget ChecklistDetailView::targetAt(const QPoint& pos, BoardDrag::Payload::Kind kind) const {
    if (kind == BoardDrag::Payload::none)
        return {};
    // Only what is in sight counts: not the part of the row under the foot scroll bar or beyond.
    for (QWidget* area : {m_scroll->viewport(), m_columnsScroll->viewport()})
        if (!area->rect().contains(area->mapFrom(this, pos)))
            return {};
    const QPoint p = m_row->mapFrom(this, pos);
    if (p.y() < 0 || p.y() >= m_row->height())
        return {};
    // Nothing beyond the last column, in the gaps between columns or below a shorter one takes a drop.
    ColumnView* view = m_row->columnAt(p.x(), false);
    if (!view)
        return {};
    const ColumnView::Spot spot = view->spotAt(view->mapFromParent(p));
    if (spot.region == ColumnView::Spot::none)
        return {};
    DropTarget t{view->columnId(), spot.region, spot.index, std::nullopt};
    if (spot.region == ColumnView::Spot::slot)
        t.card = view->slotCard(spot.index);
    return t;
}

void ChecklistDetailView::setDropTarget(const DropTarget& target) {
    if (target == m_target)
        return;
    BoardDrag::Marks m = m_marks;
    auto mark = [&m](const DropTarget& t, bool targeted) {
        switch (t.spot) {
        case ColumnView::Spot::slot: BoardDrag::setCardSlotTarget(m, targeted, t.column, t.card); break;
        case ColumnView::Spot::zone: BoardDrag::setColumnZoneTarget(m, targeted, t.column); break;
        case ColumnView::Spot::reorder: BoardDrag::setColumnReorderTarget(m, targeted, t.column); break;
        default: break;
        }
    };
    mark(m_target, false);
    mark(target, true);
    m_target = target;
    setMarks(m);
}

void ChecklistDetailView::dragHover(const QPoint& pos, BoardDrag::Payload::Kind kind) {
    m_dragPos = pos;
    m_dragKind = kind;
    setDropTarget(targetAt(pos, kind));
    if (autoScrollVelocity(pos).isNull())
        m_autoScroll.stop();
    else if (!m_autoScroll.isActive())
        m_autoScroll.start();
}

void ChecklistDetailView::dragEnterEvent(QDragEnterEvent* event) {
    // Taken wherever it enters: the window system sends no more moves to a target that refused
    // to be entered, and the pointer usually enters over a margin, a header or a tile.
    const auto payload = BoardDrag::read(event->mimeData());
    if (payload.kind == BoardDrag::Payload::none) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    dragHover(event->position().toPoint(), payload.kind);
}

void ChecklistDetailView::dragMoveEvent(QDragMoveEvent* event) {
    const auto payload = BoardDrag::read(event->mimeData());
    dragHover(event->position().toPoint(), payload.kind);
    // A target marks itself for any payload, but takes only its own kind: a card over a column's
    // reorder target (its header, a tile) or a column over a slot or a zone is refused.
    const bool forCards = m_target.spot == ColumnView::Spot::slot || m_target.spot == ColumnView::Spot::zone;
    const bool taken = forCards
        ? payload.kind == BoardDrag::Payload::card
        : m_target.spot == ColumnView::Spot::reorder && payload.kind == BoardDrag::Payload::column;
    if (!taken)
        event->ignore();
    else
        event->acceptProposedAction();
}

void ChecklistDetailView::dragLeaveEvent(QDragLeaveEvent*) {
    // Out of the window, or Escape: nothing on the board is targeted any more.
    setDropTarget({});
    dragEnded();
}

void ChecklistDetailView::dropEvent(QDropEvent* event) {
    const auto payload = BoardDrag::read(event->mimeData());
    const DropTarget t = targetAt(event->position().toPoint(), payload.kind);
    ColumnView* view = columnView(t.column);
    const auto& board = *m_checklist;
    bool taken = false;
    if (view && (t.spot == ColumnView::Spot::slot || t.spot == ColumnView::Spot::zone)) {
        ChecklistCardPtr before;
        if (t.card)
            before = view->card(*t.card);
        if (auto drop = BoardDrag::resolveCardDrop(board, payload, view->column(), before)) {
            queueCardDrop(*drop);
            taken = true;
        }
    } else if (view && t.spot == ColumnView::Spot::reorder) {
        if (auto drop = BoardDrag::resolveColumnDrop(board, payload, view->column())) {
            queueColumnDrop(*drop);
            taken = true;
        }
    }
    if (taken)
        event->acceptProposedAction();
    else
        event->ignore();
    dragEnded();
}

QPoint ChecklistDetailView::autoScrollVelocity(const QPoint& pos) const {
    if (m_dragKind == BoardDrag::Payload::none)
        return {};
    const QRect across(m_columnsScroll->viewport()->mapTo(this, QPoint()), m_columnsScroll->viewport()->size());
    const QRect down(m_scroll->viewport()->mapTo(this, QPoint()), m_scroll->viewport()->size());
    QPoint v(edgeSpeed(pos.x(), across.left(), across.right() + 1), edgeSpeed(pos.y(), down.top(), down.bottom() + 1));
    // Only towards something out of sight.
    auto room = [](const QScrollBar* bar, int d) {
        return (d < 0 && bar->value() > bar->minimum()) || (d > 0 && bar->value() < bar->maximum());
    };
    if (!room(m_columnsScroll->horizontalScrollBar(), v.x()))
        v.setX(0);
    if (!room(m_scroll->verticalScrollBar(), v.y()))
        v.setY(0);
    return v;
}

void ChecklistDetailView::autoScrollTick() {
    const QPoint v = autoScrollVelocity(m_dragPos);
    if (v.isNull()) {
        m_autoScroll.stop();
        return;
    }
    QScrollBar* across = m_columnsScroll->horizontalScrollBar();
    QScrollBar* down = m_scroll->verticalScrollBar();
    across->setValue(across->value() + v.x());
    down->setValue(down->value() + v.y());
    // The pointer may rest while the board moves under it: what lies under it now is the target.
    setDropTarget(targetAt(m_dragPos, m_dragKind));
}

void ChecklistDetailView::dragEnded() {
    m_autoScroll.stop();
    m_target = {};
    m_dragKind = BoardDrag::Payload::none;
    BoardDrag::Marks m = m_marks;
    m.clearDropTargets();
    setMarks(m);
}

void ChecklistDetailView::startCardDrag(const ChecklistCardPtr& card, QWidget* source) {
    startDrag({BoardDrag::Payload::card, card->id()}, source);
}

void ChecklistDetailView::startColumnDrag(const ChecklistColumnPtr& column, QWidget* source) {
    startDrag({BoardDrag::Payload::column, column->id()}, source);
}

void ChecklistDetailView::startDrag(const BoardDrag::Payload& payload, QWidget* source) {
    if (m_dragging)
        return;
    auto* drag = new QDrag(source);
    drag->setMimeData(BoardDrag::makeMime(payload));
    if (payload.kind == BoardDrag::Payload::card) {
        const QPixmap image = source->grab();
        drag->setPixmap(image);
        drag->setHotSpot(source->mapFromGlobal(QCursor::pos()));
    }
    m_dragging = true;
    if (dragLoop())
        dragLoop()(*drag);
    else
        drag->exec(Qt::MoveAction);
    m_dragging = false;
    // However the drag ended (taken, refused, Escape): no mark stays.
    dragEnded();
    auto actions = std::move(m_afterDrag);
    m_afterDrag.clear();
    if (!actions.empty()) {
        QTimer::singleShot(0, this, [this, actions = std::move(actions)] {
            applyDrop([&actions] {
                for (const auto& a : actions)
                    a();
            });
        });
    }
}
