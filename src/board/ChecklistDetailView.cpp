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
#include "ui/Palette.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QDrag>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

using namespace ChecklistLogic;

namespace {

// The sideways row: as tall as its content, no scroll bars, a vertical wheel with Shift (or a
// horizontal wheel) scrolls it.
class ColumnsScroller : public QScrollArea {
public:
    explicit ColumnsScroller(QWidget* parent) : QScrollArea(parent) {
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidgetResizable(false);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
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
        event->ignore();   // the board's vertical scroll takes it
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == widget() && e->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QScrollArea::eventFilter(o, e);
    }
};


ChecklistDetailView::DragLoop& dragLoop() {
    static ChecklistDetailView::DragLoop loop;
    return loop;
}

} // namespace

void ChecklistDetailView::setDragLoopForTesting(DragLoop loop) { dragLoop() = std::move(loop); }

ChecklistDetailView::ChecklistDetailView(const Services& services, ChecklistPtr checklist,
                                         std::function<void()> onBack, QWidget* parent)
    : QWidget(parent), m_services(services), m_checklist(std::move(checklist)), m_onBack(std::move(onBack)),
      m_edits(services.context) {
    BoardDrag::refuseInTextFields();
    setAccessibleName(m_checklist->name());
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(m_scroll);

    auto* canvas = new ScreenBackground;
    auto* stack = new QVBoxLayout(canvas);
    // Cards carry their shadow margins: the stack's padding of 24 is counted to the cards' edges.
    const QMargins sm = AppCard::shadowMargins();
    stack->setContentsMargins(24 - sm.left(), 24 - sm.top(), 24 - sm.right(), 24);
    stack->setSpacing(0);
    m_header = new BoardHeader(this);
    stack->addWidget(m_header);
    m_columnsScroll = new ColumnsScroller(canvas);
    m_row = new ColumnsRow(this);
    m_columnsScroll->setWidget(m_row);
    m_row->installEventFilter(m_columnsScroll);
    stack->addWidget(m_columnsScroll);
    stack->addStretch(1);
    stack->addSpacing(10);
    m_scroll->setWidget(canvas);

    connect(&services.context, &ModelContext::entityChanged, this, [this](int entity) {
        // What the board shows: the checklist, its project's name, columns and cards.
        if (entity == Project::kEntity || entity == Checklist::kEntity || entity == ChecklistColumn::kEntity ||
            entity == ChecklistCard::kEntity)
            scheduleSync();
    });
    connect(&services.theme, &ThemeManager::appearanceChanged, this, [this] { update(); });
    // Keyboard focus brings its card or control into view, sideways and downwards.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && m_row->isAncestorOf(now)) {
            m_columnsScroll->ensureWidgetVisible(now, 24, 0);
            m_scroll->ensureWidgetVisible(now, 0, 24);
        }
    });
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
    emit synced();
}

std::vector<ColumnView*> ChecklistDetailView::columnViews() const { return m_row->columns(); }

ColumnView* ChecklistDetailView::columnView(const QUuid& id) const {
    for (auto* c : m_row->columns())
        if (c->columnId() == id)
            return c;
    return nullptr;
}

AddColumnTile* ChecklistDetailView::addColumnTile() const { return m_row->addTile(); }

// ----- card sheet ---------------------------------------------------------------------------------
CardSheet* ChecklistDetailView::cardSheet() {
    if (!m_cardSheet)
        m_cardSheet = new CardSheet(m_services, m_checklist, this);
    return m_cardSheet;
}

void ChecklistDetailView::openCard(const ChecklistCardPtr& card) {
    if (!card)
        return;
    if (m_cardHooks.openCard)
        m_cardHooks.openCard(card);
    else
        cardSheet()->openCard(card);
}

void ChecklistDetailView::openNewCard(const ChecklistColumnPtr& column) {
    if (!column)
        return;
    if (m_cardHooks.openNewCard)
        m_cardHooks.openNewCard(column);
    else
        cardSheet()->openNewCard(column);
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
    DialogSeam::Message m;
    m.icon = QMessageBox::Warning;
    m.text = QStringLiteral("Supprimer la colonne ?");
    m.informativeText = QStringLiteral("Les cartes de cette colonne seront aussi supprimees.");
    m.buttons = {{QStringLiteral("Supprimer"), QMessageBox::DestructiveRole},
                 {QStringLiteral("Annuler"), QMessageBox::RejectRole}};
    m.escapeButton = 1;
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
    const auto cards = sortedCards(*column);
    const auto it = std::find(cards.begin(), cards.end(), card);
    if (it == cards.end())
        return;
    const auto index = std::distance(cards.begin(), it);
    if (step < 0 && index > 0)
        m_edits.placeCard(m_checklist, card, column, cards[size_t(index - 1)]);
    else if (step > 0 && index + 1 < qsizetype(cards.size()))
        m_edits.placeCard(m_checklist, card, column, index + 2 < qsizetype(cards.size()) ? cards[size_t(index + 2)] : nullptr);
    else
        return;
    syncNow();
    if (auto* view = columnView(column->id()))
        if (auto* t = view->tile(card->id()))
            t->setFocus(Qt::OtherFocusReason);
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
    m_edits.placeCard(m_checklist, card, column, nullptr);
    syncNow();
    if (auto* view = columnView(column->id()))
        if (auto* t = view->tile(card->id()))
            t->setFocus(Qt::OtherFocusReason);
}

void ChecklistDetailView::moveColumnBy(const ChecklistColumnPtr& column, int step) {
    const auto columns = sortedColumns(*m_checklist);
    const auto it = std::find(columns.begin(), columns.end(), column);
    if (it == columns.end())
        return;
    const auto index = std::distance(columns.begin(), it);
    if (step < 0 && index > 0)
        m_edits.moveColumn(m_checklist, column, columns[size_t(index - 1)]);
    else if (step > 0 && index + 1 < qsizetype(columns.size()))
        m_edits.moveColumn(m_checklist, column,
                           index + 2 < qsizetype(columns.size()) ? columns[size_t(index + 2)] : nullptr);
    else
        return;
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
        m.hoverCardId.reset();   // whichever card it named
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

void ChecklistDetailView::runDrop(std::function<void()> action) {
    // Never change the model inside the drag loop: widgets under the pointer would be replaced.
    if (m_dragging) {
        m_afterDrag.push_back(std::move(action));
        return;
    }
    QTimer::singleShot(0, this, [this, action = std::move(action)] {
        action();
        syncNow();
    });
}

void ChecklistDetailView::autoScroll(const QPoint& globalPos) {
    // Near an edge of the visible part, a drag scrolls the board towards the columns out of sight.
    constexpr int kEdge = 48, kStep = 24;
    auto nudge = [&](QScrollArea* area, Qt::Orientation o) {
        const QPoint p = area->viewport()->mapFromGlobal(globalPos);
        const int pos = o == Qt::Horizontal ? p.x() : p.y();
        const int length = o == Qt::Horizontal ? area->viewport()->width() : area->viewport()->height();
        QScrollBar* bar = o == Qt::Horizontal ? area->horizontalScrollBar() : area->verticalScrollBar();
        if (pos < kEdge)
            bar->setValue(bar->value() - kStep);
        else if (pos > length - kEdge)
            bar->setValue(bar->value() + kStep);
    };
    nudge(m_columnsScroll, Qt::Horizontal);
    nudge(m_scroll, Qt::Vertical);
}

void ChecklistDetailView::dragEnded() {
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
            for (const auto& a : actions)
                a();
            syncNow();
        });
    }
}
