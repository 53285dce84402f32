#include "board/BoardColumns.h"

#include "board/BoardWidgets.h"
#include "board/CardTile.h"
#include "board/ChecklistDetailView.h"
#include "checklists/ChecklistLogic.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/KeyboardFocus.h"
#include "ui/Symbols.h"
#include "ui/AppStyle.h"
#include "ui/Boxes.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPaintEvent>
#include <QVBoxLayout>

#include <QHash>

using namespace ChecklistLogic;

namespace {

constexpr int kPad = AppCard::padding; // 16
constexpr int kStack = 10;
constexpr int kIconTile = 38;
constexpr int kSlot = 10;
constexpr int kSlotMarked = 18;
constexpr int kZone = 140;
constexpr int kRowSpacing = 14;
constexpr int kRowInset = 2;
constexpr int kAddTileWidth = 260;
constexpr int kAddTileMinHeight = 160;
constexpr int kHeaderGap = 16;

QMargins shadow() { return AppCard::shadowMargins(); }

QString countLine(qint64 n) { return QString::number(n) + QStringLiteral(" carte(s)"); }

// Paint::strokeRoundedRect of a tall card, drawn in pieces: a translucent shape is laid on through an
// image as large as its bounds, and a column's sides run thousands of pixels. The rounded ends are
// short shapes, the sides plain bars, with the same coverage.
void strokeTallRoundedRect(QPainter& p, const QRectF& r, qreal radius, const QColor& color, qreal width = 1) {
    const qreal cap = std::ceil(radius + width);
    if (r.height() <= 4 * cap || color.alpha() == 0) {
        Paint::strokeRoundedRect(p, r, radius, color, width);
        return;
    }
    for (const bool top : {true, false}) {
        p.save();
        p.setClipRect(top ? QRectF(r.left() - 1, r.top() - 1, r.width() + 2, cap + 1)
                          : QRectF(r.left() - 1, r.bottom() - cap, r.width() + 2, cap + 1),
                      Qt::IntersectClip);
        Paint::strokeRoundedRect(p,
                                 top ? QRectF(r.left(), r.top(), r.width(), 2 * cap)
                                     : QRectF(r.left(), r.bottom() - 2 * cap, r.width(), 2 * cap),
                                 radius, color, width);
        p.restore();
    }
    const qreal side = r.height() - 2 * cap;
    p.fillRect(QRectF(r.left(), r.top() + cap, width, side), color);
    p.fillRect(QRectF(r.right() - width, r.top() + cap, width, side), color);
}

} // namespace

// ---------------------------------------------------------------------------------------------
BoardHeader::BoardHeader(ChecklistDetailView* board, QWidget* parent) : QWidget(parent), m_board(board) {
    auto* content = new QWidget;
    auto* row = Boxes::row(content, 12, QMargins());
    auto* texts = Boxes::column(nullptr, 6);
    // One line each, cut with an ellipsis: a long name never pushes the button out of the window.
    m_name = new ElidedText(TintLabel::primary, Fonts::rounded(20, 600), 1);
    m_project = new ElidedText(TintLabel::secondary, Fonts::rounded(13, 400), 1);
    texts->addWidget(m_name);
    texts->addWidget(m_project);
    row->addLayout(texts, 1);
    auto* actions = Boxes::row(nullptr, 10);
    m_counts = new PillLabel;
    m_button = new PrimaryButton(QStringLiteral("Colonne"), QStringLiteral("plus"));
    m_button->setAccessibleName(QStringLiteral("Colonne"));
    connect(m_button, &QAbstractButton::clicked, board, &ChecklistDetailView::openNewColumnSheet);
    // As tall as the columns' badges, not stretched to the button beside it.
    actions->addWidget(m_counts, 0, Qt::AlignVCenter);
    actions->addWidget(m_button);
    row->addLayout(actions);
    auto* outer = new QVBoxLayout(this);
    const QMargins sm = shadow();
    outer->setContentsMargins(sm.left() + kPad, sm.top() + kPad, sm.right() + kPad, sm.bottom() + kPad);
    outer->addWidget(content);
    setAttribute(Qt::WA_TranslucentBackground);
    sync();
}

void BoardHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).marginsRemoved(QMarginsF(shadow()));
    Paint::drawShadow(p, card, AppCard::cornerRadius, AppPalette::cardShadow(), 10, QPointF(0, 4));
    Paint::fillRoundedRect(p, card, AppCard::cornerRadius, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, card, AppCard::cornerRadius, withOpacity(AppPalette::separator(), 0.6));
}

void BoardHeader::sync() {
    const auto& c = *m_board->checklist();
    m_name->setText(c.name());
    const auto project = c.project();
    m_project->setText(project ? QStringLiteral("Projet : ") + project->name() : QStringLiteral("Checklist globale"));
    const StatusCounts counts = boardCounts(c);
    m_counts->setText(QString::number(counts.toDo) + QStringLiteral(" a faire • ") + QString::number(counts.done) +
                      QStringLiteral(" terminee(s)"));
    m_counts->updateGeometry();
}

QString BoardHeader::nameText() const { return m_name->text(); }
QString BoardHeader::projectText() const { return m_project->text(); }
QString BoardHeader::countsText() const { return m_counts->text(); }

// ---------------------------------------------------------------------------------------------
ColumnView::ColumnView(ChecklistColumnPtr column, ChecklistDetailView* board, QWidget* parent)
    : QWidget(parent), m_board(board), m_column(std::move(column)) {
    m_id = m_column->id();
    setAttribute(Qt::WA_TranslucentBackground);

    m_name = new ElidedText(TintLabel::primary, Fonts::rounded(14, 600), 3, this);
    m_count = new TintLabel({}, TintLabel::secondary, Fonts::rounded(12, 400), this);
    m_badge = new PillLabel(this);
    m_menuButton = new SymbolButton(QStringLiteral("ellipsis"), 14, 6, QStringLiteral("Options de la colonne"), this);
    m_handle =
        new SymbolButton(QStringLiteral("line.3.horizontal"), 14, 2, QStringLiteral("Déplacer la colonne"), this);
    m_handle->setCursor(Qt::OpenHandCursor);
    m_addCard = new SoftButton(QStringLiteral("plus"), QStringLiteral("Ajouter une étape"), this);
    m_empty = new TintLabel(QStringLiteral("Glisser une carte ici ou ajoutez-en une."), TintLabel::secondary,
                            Fonts::rounded(13, 400), this);
    m_empty->setWordWrap(true);

    m_menu = new QMenu(this);
    m_menu->addAction(QStringLiteral("Modifier"), this, [this] { m_board->openEditColumnSheet(m_column); });
    m_menu->addSeparator();
    TolmekStyle::setDestructive(
        m_menu->addAction(QStringLiteral("Supprimer"), this, [this] { m_board->requestDeleteColumn(m_column); }));
    connect(m_menuButton, &QAbstractButton::clicked, this, [this] { Menus::popupBelow(*m_menu, m_menuButton); });

    m_moveMenu = new QMenu(this);
    auto* left = m_moveMenu->addAction(QStringLiteral("Déplacer à gauche"), this,
                                       [this] { m_board->moveColumnBy(m_column, -1); });
    left->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    auto* right = m_moveMenu->addAction(QStringLiteral("Déplacer à droite"), this,
                                        [this] { m_board->moveColumnBy(m_column, +1); });
    right->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    connect(m_moveMenu, &QMenu::aboutToShow, this, [this, left, right] {
        const auto cols = sortedColumns(*m_board->checklist());
        left->setEnabled(!cols.empty() && cols.front()->id() != m_id);
        right->setEnabled(!cols.empty() && cols.back()->id() != m_id);
    });
    connect(m_handle, &QAbstractButton::clicked, this, [this] { Menus::popupBelow(*m_moveMenu, m_handle); });
    m_handle->onMoveKey = [this](int key) {
        if (key == Qt::Key_Left || key == Qt::Key_Right)
            m_board->moveColumnBy(m_column, key == Qt::Key_Left ? -1 : +1);
    };
    m_handle->onDragStart = [this] { m_board->startColumnDrag(m_column, m_handle); };
    connect(m_addCard, &QAbstractButton::clicked, this, [this] { m_board->openNewCard(m_column); });
    for (QWidget* w : std::initializer_list<QWidget*>{m_menuButton, m_handle, m_addCard})
        m_board->followFocus(w);

    sync();
}

CardTile* ColumnView::tile(const QUuid& card) const {
    const auto it = m_index.constFind(card);
    return it == m_index.constEnd() ? nullptr : m_entries[*it].tile;
}

ChecklistCardPtr ColumnView::card(const QUuid& id) const {
    const auto it = m_index.constFind(id);
    return it == m_index.constEnd() ? nullptr : m_entries[*it].card;
}

QRect ColumnView::cardGeometry(const QUuid& id) const {
    const auto it = m_index.constFind(id);
    return it == m_index.constEnd() || *it >= m_places.size() ? QRect() : m_places[*it];
}

std::optional<QUuid> ColumnView::cardBeside(const QUuid& card, int step) const {
    const auto it = m_index.constFind(card);
    if (it == m_index.constEnd())
        return std::nullopt;
    const qsizetype i = qsizetype(*it) + step;
    if (i < 0 || i >= qsizetype(m_entries.size()))
        return std::nullopt;
    return m_entries[size_t(i)].id;
}

CardTile* ColumnView::ensureTile(const QUuid& card) {
    const auto it = m_index.constFind(card);
    if (it == m_index.constEnd())
        return nullptr;
    if (CardTile* t = m_entries[*it].tile)
        return t;
    CardTile* t = makeTile(*it);
    collectTiles();
    relayout();
    return t;
}

bool ColumnView::realize(int top, int bottom) {
    if (m_places.size() != m_entries.size())
        return false;
    // Places stand top to bottom: the first reaching below `top`.
    auto it =
        std::lower_bound(m_places.begin(), m_places.end(), top, [](const QRect& r, int y) { return r.bottom() < y; });
    bool made = false;
    for (; it != m_places.end() && it->top() <= bottom; ++it) {
        const auto i = size_t(it - m_places.begin());
        if (!m_entries[i].tile) {
            makeTile(i);
            made = true;
        }
    }
    if (made) {
        collectTiles();
        relayout(); // the tiles' own heights replace the estimates
    }
    return made;
}

void ColumnView::release(int top, int bottom) {
    bool released = false;
    for (size_t i = 0; i < m_entries.size() && i < m_places.size(); ++i) {
        Entry& e = m_entries[i];
        const QRect& r = m_places[i];
        if (!e.tile || (r.bottom() >= top && r.top() <= bottom) || e.tile->hasFocus() || e.tile->underMouse() ||
            m_board->marks().hoverCardId == e.id)
            continue;
        e.estimate = r.height();
        e.guessed = false;
        e.title = e.card->title();
        e.notes = e.card->notes();
        e.tile->hide();
        e.tile->deleteLater();
        e.tile = nullptr;
        released = true;
    }
    if (released)
        collectTiles();
}

bool ColumnView::refineEstimates(const QDeadlineTimer& deadline) {
    const int tileWidth = kWidth - 2 * kPad;
    bool changed = false;
    bool remain = false;
    for (Entry& e : m_entries) {
        if (e.tile || !e.guessed)
            continue;
        if (deadline.hasExpired()) {
            remain = true;
            break;
        }
        const int estimate = CardTile::estimateHeight(e.title, e.notes, tileWidth);
        e.guessed = false;
        changed = changed || estimate != e.estimate;
        e.estimate = estimate;
    }
    if (changed)
        relayout();
    return remain;
}

CardTile* ColumnView::makeTile(size_t index) {
    Entry& e = m_entries[index];
    const ChecklistCardPtr card = e.card;
    const QUuid id = e.id;
    auto* t = new CardTile(card, this);
    e.tile = t;
    m_board->followFocus(t);
    connect(t, &QAbstractButton::clicked, this, [this, card] { m_board->openCard(card); });
    connect(t, &CardTile::hoverProgressChanged, this, [this, t] { update(t->geometry().adjusted(-24, -24, 24, 24)); });
    t->onHover = [this, id](bool entered) { m_board->setHoveredCard(id, entered); };
    t->onDragStart = [this, card, t] { m_board->startCardDrag(card, t); };
    t->onMoveKey = [this, card](int key) {
        if (key == Qt::Key_Up || key == Qt::Key_Down)
            m_board->moveCardBy(card, key == Qt::Key_Up ? -1 : +1);
        else
            m_board->moveCardToNeighbour(card, key == Qt::Key_Left ? -1 : +1);
    };
    t->onMenu = [this, card](const QPoint& pos) {
        QMenu* menu = m_board->cardMenu(card);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(pos);
    };
    t->setAccent(m_color);
    t->setHovered(m_board->marks().hoverCardId == id);
    // In the keyboard order after the tile made before it in the column.
    QWidget* prev = m_addCard;
    for (size_t i = index; i-- > 0;) {
        if (m_entries[i].tile) {
            prev = m_entries[i].tile;
            break;
        }
    }
    setTabOrder(prev, t);
    if (index < m_places.size()) {
        const QRect& r = m_places[index];
        t->setGeometry(r.x(), r.y(), r.width(), t->heightForTileWidth(r.width() - 2 * CardTile::kMargin));
    }
    if (isVisible())
        t->show(); // otherwise shown with the column
    return t;
}

void ColumnView::collectTiles() {
    m_tiles.clear();
    for (const Entry& e : m_entries)
        if (e.tile)
            m_tiles.push_back(e.tile);
}

QString ColumnView::nameText() const { return m_name->text(); }
QString ColumnView::countText() const { return m_count->text(); }
QString ColumnView::badgeText() const { return m_badge->text(); }
bool ColumnView::showsEmptyText() const { return m_empty->isVisible(); }

QRect ColumnView::cardRect() const {
    return QRect(shadow().left(), shadow().top(), kWidth, m_height - shadow().top() - shadow().bottom());
}

bool ColumnView::isReorderTarget() const { return m_board->marks().dropTargetColumnReorderId == m_id; }

void ColumnView::updateTexts() {
    m_name->setText(m_column->name());
    const QString count = QString::number(qint64(m_entries.size()));
    m_count->setText(countLine(qint64(m_entries.size())));
    m_badge->setText(count);
    m_badge->setAccessibleName(count + QStringLiteral(" carte(s)"));
    setAccessibleName(m_column->name());
    setAccessibleDescription(m_count->text());
}

void ColumnView::sync() {
    m_color = ::displayColor(m_column->colorKey(), m_column->colorHex());
    const int tileWidth = kWidth - 2 * kPad;
    QHash<QUuid, size_t> old = std::move(m_index);
    m_index.clear();
    std::vector<Entry> entries;
    const auto cards = sortedCards(*m_column);
    entries.reserve(cards.size());
    m_index.reserve(qsizetype(cards.size()));
    bool reordered = false; // tiles kept, in another order
    qsizetype lastKept = -1;
    for (const auto& card : cards) {
        Entry e;
        if (auto it = old.find(card->id()); it != old.end() && m_entries[*it].card == card) {
            e = std::move(m_entries[*it]);
            if (e.tile) {
                reordered = reordered || qsizetype(*it) < lastKept;
                lastKept = qsizetype(*it);
            }
            old.erase(it);
        } else {
            e.card = card;
            e.id = card->id();
        }
        if (e.tile) {
            e.tile->refresh();
            e.tile->setAccent(m_color);
            e.tile->setHovered(m_board->marks().hoverCardId == e.id);
        } else {
            QString title = card->title();
            OptText notes = card->notes();
            if (e.estimate == 0 || title != e.title || notes != e.notes) {
                // Guessed at first: the board corrects the guesses once it is shown (refineEstimates),
                // and the cards in view get their tiles, which measure themselves.
                e.estimate = CardTile::guessHeight(title, notes, tileWidth);
                e.guessed = true;
                e.title = std::move(title);
                e.notes = std::move(notes);
            }
        }
        m_index.insert(e.id, entries.size());
        entries.push_back(std::move(e));
    }
    for (const size_t i : std::as_const(old)) {
        if (CardTile* t = m_entries[i].tile) {
            t->hide();
            t->deleteLater();
        }
    }
    m_entries = std::move(entries);
    collectTiles();
    // Keyboard order follows the cards' order; tiles made later are put in it as they are made.
    if (reordered) {
        QWidget* prev = m_addCard;
        for (auto* t : m_tiles) {
            setTabOrder(prev, t);
            prev = t;
        }
    }
    updateTexts();
    relayout();
    update();
}

std::optional<QUuid> ColumnView::slotCard(int slot) const {
    if (slot >= 0 && slot < int(m_entries.size()))
        return m_entries[size_t(slot)].id;
    return std::nullopt;
}

void ColumnView::relayout() {
    const QMargins sm = shadow();
    const int x0 = sm.left() + kPad;
    const int w = kWidth - 2 * kPad;
    int y = sm.top() + kPad;

    // Header: symbol tile, title block, spacer, badge, menu, handle.
    const QSize badge = m_badge->sizeHint();
    const QSize menu = m_menuButton->sizeHint();
    const QSize handle = m_handle->sizeHint();
    const int rightWidth = badge.width() + kStack + menu.width() + kStack + handle.width();
    const int titleX = x0 + kIconTile + kStack;
    const int titleW = std::max(20, x0 + w - rightWidth - kStack - titleX);
    const int nameH = m_name->heightForWidth(titleW);
    const int countH = m_count->sizeHint().height();
    const int titleH = nameH + 2 + countH;
    const int headerH = std::max({kIconTile, titleH, badge.height(), menu.height(), handle.height()});
    m_iconTile = QRect(x0, y + (headerH - kIconTile) / 2, kIconTile, kIconTile);
    const int ty = y + (headerH - titleH) / 2;
    m_name->setGeometry(titleX, ty, titleW, nameH);
    m_count->setGeometry(titleX, ty + nameH + 2, titleW, countH);
    int rx = x0 + w;
    rx -= handle.width();
    m_handle->setGeometry(rx, y + (headerH - handle.height()) / 2, handle.width(), handle.height());
    rx -= kStack + menu.width();
    m_menuButton->setGeometry(rx, y + (headerH - menu.height()) / 2, menu.width(), menu.height());
    rx -= kStack + badge.width();
    m_badge->setGeometry(rx, y + (headerH - badge.height()) / 2, badge.width(), badge.height());
    y += headerH + kStack;
    m_dividerY = y;
    y += 1 + kStack;
    const QSize add = m_addCard->sizeHint();
    m_addCard->setGeometry(x0, y, add.width(), add.height());
    y += add.height() + kStack;

    m_slots.clear();
    const auto& marks = m_board->marks();
    int grown = 0; // by the marked slot
    m_places.clear();
    if (m_entries.empty()) {
        m_empty->show();
        const int h = m_empty->heightForWidth(w);
        m_empty->setGeometry(x0, y + 2, w, h);
        y += 2 + h + kStack;
    } else {
        m_empty->hide();
        auto slot = [&](int index) {
            const bool marked = BoardDrag::isSlotMarked(marks, m_id, slotCard(index));
            const int h = marked ? kSlotMarked : kSlot;
            grown += h - kSlot;
            m_slots.emplace_back(x0, y, w, h);
            y += h + kStack;
        };
        m_places.reserve(m_entries.size());
        for (int i = 0; i < int(m_entries.size()); ++i) {
            slot(i);
            CardTile* t = m_entries[size_t(i)].tile;
            const int h = t ? t->heightForTileWidth(w) : m_entries[size_t(i)].estimate;
            const QRect place(x0 - CardTile::kMargin, y - CardTile::kMargin, w + 2 * CardTile::kMargin, h);
            m_places.push_back(place);
            if (t)
                t->setGeometry(place);
            y += h - 2 * CardTile::kMargin + kStack;
        }
        slot(int(m_entries.size()));
    }
    m_zone = QRect(x0, y, w, kZone);
    y += kZone + kPad;
    m_height = y + sm.bottom();
    // The widget keeps room for a marked slot: a drag hovering the column resizes neither it nor the
    // row, which would repaint them whole.
    const int widgetHeight = m_height - grown + (kSlotMarked - kSlot);
    if (widgetHeight != m_widgetHeight) {
        m_widgetHeight = widgetHeight;
        resize(sizeHint());
        updateGeometry();
        if (auto* row = qobject_cast<ColumnsRow*>(parentWidget()))
            row->relayout();
    }
}

QSize ColumnView::sizeHint() const { return QSize(kWidth + shadow().left() + shadow().right(), m_widgetHeight); }

void ColumnView::marksChanged() {
    // Only the slot sizes and the outline depend on the marks.
    int first = -1, last = -1;
    const auto& marks = m_board->marks();
    for (int i = 0; i < int(m_slots.size()); ++i) {
        const bool marked = BoardDrag::isSlotMarked(marks, m_id, slotCard(i));
        if ((m_slots[size_t(i)].height() == kSlotMarked) != marked) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    for (auto* t : m_tiles)
        t->setHovered(marks.hoverCardId == t->cardId());
    // Every column hears of every change: only one whose slots or outline changed repaints, and only
    // from its first changed slot down to where the cards stand as before.
    const bool outlined = isReorderTarget();
    if (outlined != m_outlined) {
        m_outlined = outlined;
        update();
    }
    if (first < 0)
        return;
    const int before = m_height;
    const int top = m_slots[size_t(first)].top();
    const int oldBottom = m_slots[size_t(last)].bottom();
    relayout();
    const int bottom =
        m_height != before ? std::max(before, m_height) : std::max(oldBottom, m_slots[size_t(last)].bottom());
    constexpr int kShadowReach = 24; // of the tiles' and the marked slot's painting
    update(QRect(0, top - kShadowReach, width(), bottom - top + 2 * kShadowReach));
}

void ColumnView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect();
    Paint::drawShadow(p, card, AppCard::cornerRadius, AppPalette::cardShadow(), 10, QPointF(0, 4));
    Paint::fillRoundedRect(p, card, AppCard::cornerRadius, AppPalette::cardBackground());
    strokeTallRoundedRect(p, card, AppCard::cornerRadius, withOpacity(AppPalette::separator(), 0.6));

    // Symbol tile.
    Paint::fillRoundedRect(p, m_iconTile, 12, withOpacity(m_color, 0.14));
    Paint::strokeRoundedRect(p, m_iconTile, 12, withOpacity(m_color, 0.22));
    const QRectF sym(m_iconTile.center().x() - 6.5, m_iconTile.center().y() - 6.5, 14, 14);
    Symbols::paint(p, sym, m_column->iconName(), m_color);

    // Divider at half opacity.
    p.fillRect(QRectF(card.left() + kPad, m_dividerY, kWidth - 2 * kPad, 1), withOpacity(AppPalette::separator(), 0.5));

    // The marked slot.
    for (const QRect& s : m_slots) {
        if (s.height() != kSlotMarked)
            continue;
        Paint::fillRoundedRect(p, s, 10, withOpacity(AppPalette::tintedBackground(), 0.6));
        Paint::strokeRoundedRect(p, s, 10, withOpacity(AppPalette::separator(), 0.45));
    }

    // Tile shadows beneath the tiles, only where they show.
    const QRect shadows = event->rect().adjusted(-24, -24, 24, 24);
    for (auto* t : m_tiles) {
        const QRect g = t->geometry();
        if (!g.intersects(shadows))
            continue;
        const qreal h = t->hoverProgress();
        const QRectF r =
            QRectF(g).adjusted(CardTile::kMargin, CardTile::kMargin, -CardTile::kMargin, -CardTile::kMargin);
        // A hovered tile lifts: its shadow spreads wider and falls further.
        Paint::drawShadowBetween(p, r, CardTile::kRadius, CardTile::shadow(false), CardTile::shadow(true), h);
    }

    // Outline: the reorder target in its own colour.
    if (isReorderTarget())
        strokeTallRoundedRect(p, card, 16, withOpacity(m_color, 0.45), 2);
    else
        strokeTallRoundedRect(p, card, 16, withOpacity(AppPalette::separator(), 0.18), 1);
}

// ----- drops -----------------------------------------------------------------------------------
ColumnView::Spot ColumnView::spotAt(const QPoint& pos) const {
    // Only the column's card is a target; inside it the slots and the zone are targets of their own,
    // and the rest (header, tiles, the gaps around them) is the column's reorder target.
    if (!cardRect().contains(pos))
        return {};
    for (size_t i = 0; i < m_slots.size(); ++i)
        if (m_slots[i].contains(pos))
            return {Spot::slot, int(i)};
    if (m_zone.contains(pos))
        return {Spot::zone, -1};
    return {Spot::reorder, -1};
}

// ---------------------------------------------------------------------------------------------
AddColumnTile::AddColumnTile(QWidget* parent) : QAbstractButton(parent) {
    setText(QStringLiteral("Ajouter une colonne"));
    setAccessibleName(text());
    setAccessibleDescription(QStringLiteral("Personnalise tes statuts."));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QSize AddColumnTile::sizeHint() const {
    const int content = 14 + 46 + 10 + QFontMetrics(Fonts::rounded(13, 600)).height() + 10 +
        QFontMetrics(Fonts::rounded(12, 400)).height() + 14;
    return QSize(kAddTileWidth, std::max(kAddTileMinHeight, content));
}

bool AddColumnTile::hitButton(const QPoint& pos) const {
    return Paint::roundedRect(QRectF(rect()), 16).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void AddColumnTile::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void AddColumnTile::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    Paint::fillRoundedRect(p, r, 16, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, r, 16, withOpacity(AppPalette::separator(), 0.25));
    if (KeyboardFocus::showsRing(this))
        Paint::focusRing(p, r, 16);
    const QFont titleFont = Fonts::rounded(13, 600);
    const QFont subFont = Fonts::rounded(12, 400);
    const int th = QFontMetrics(titleFont).height();
    const int sh = QFontMetrics(subFont).height();
    const int total = 46 + 10 + th + 10 + sh;
    qreal y = (height() - total) / 2.0;
    const QRectF icon(width() / 2.0 - 23, y, 46, 46);
    Paint::fillRoundedRect(p, icon, 16, withOpacity(AppPalette::tintedBackground(), 0.55));
    Paint::strokeRoundedRect(p, icon, 16, withOpacity(AppPalette::separator(), 0.3));
    Symbols::paint(p, QRectF(icon.center().x() - 9, icon.center().y() - 9, 18, 18), QStringLiteral("plus"),
                   AppPalette::secondaryText());
    y += 46 + 10;
    p.setFont(titleFont);
    p.setPen(AppPalette::primaryText());
    p.drawText(QRectF(14, y, width() - 28, th), Qt::AlignCenter, text());
    y += th + 10;
    p.setFont(subFont);
    p.setPen(AppPalette::secondaryText());
    p.drawText(QRectF(14, y, width() - 28, sh), Qt::AlignCenter, accessibleDescription());
}

// ---------------------------------------------------------------------------------------------
ColumnsRow::ColumnsRow(ChecklistDetailView* board, QWidget* parent) : QWidget(parent), m_board(board) {
    m_add = new AddColumnTile(this);
    board->followFocus(m_add);
    connect(m_add, &QAbstractButton::clicked, board, &ChecklistDetailView::openNewColumnSheet);
}

void ColumnsRow::sync() {
    QHash<QUuid, ColumnView*> old;
    for (auto* c : m_columns)
        old[c->columnId()] = c;
    std::vector<ColumnView*> columns;
    for (const auto& col : sortedColumns(*m_board->checklist())) {
        ColumnView* v = nullptr;
        if (auto it = old.find(col->id()); it != old.end() && it.value()->column() == col) {
            v = it.value();
            old.erase(it);
            v->sync();
        } else {
            v = new ColumnView(col, m_board, this);
            if (isVisible())
                v->show(); // otherwise shown with the row
        }
        columns.push_back(v);
    }
    for (auto* v : std::as_const(old)) {
        v->hide();
        v->deleteLater();
    }
    m_columns = std::move(columns);
    QWidget* prev = nullptr;
    for (auto* c : m_columns) {
        if (prev)
            setTabOrder(prev, c->menuButton());
        prev = c->tiles().empty() ? static_cast<QWidget*>(c->addCardButton()) : c->tiles().back(); // made so far
    }
    if (prev)
        setTabOrder(prev, m_add);
    relayout();
}

ColumnView* ColumnsRow::columnAt(int x, bool nearest) const {
    if (m_columns.empty())
        return nullptr;
    const int pitch = ColumnView::kWidth + kRowSpacing;
    const int start = m_columns.front()->x() + shadow().left() - kRowSpacing / 2;
    const int index = x < start ? -1 : (x - start) / pitch;
    if (index >= 0 && index < int(m_columns.size()))
        return m_columns[size_t(index)];
    if (!nearest)
        return nullptr;
    return index < 0 ? m_columns.front() : m_columns.back();
}

void ColumnsRow::setSideInset(int inset) {
    m_sideInset = inset;
    relayout();
}

void ColumnsRow::relayout() {
    // The board's stack leaves room for the cards' shadows; the cards stand 16 below the header's card.
    const QMargins sm = AppCard::shadowMargins();
    const int top = kHeaderGap - sm.top() - sm.bottom();
    int x = m_sideInset + kRowInset;
    int height = 0;
    for (auto* c : m_columns) {
        const QSize s = c->sizeHint();
        c->setGeometry(x, top, s.width(), s.height());
        height = std::max(height, top + s.height());
        x += ColumnView::kWidth + kRowSpacing;
    }
    const QSize a = m_add->sizeHint();
    m_add->setGeometry(x + sm.left(), top + sm.top(), a.width(), a.height());
    x += sm.left() + a.width() + kRowInset + sm.right() + m_sideInset;
    height = std::max(height, top + sm.top() + a.height());
    const QSize size(x, height);
    if (size != m_size) {
        m_size = size;
        resize(size);
        updateGeometry();
    }
}

QSize ColumnsRow::sizeHint() const { return m_size; }
