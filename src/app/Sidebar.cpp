#include "app/Sidebar.h"

#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/KeyboardFocus.h"
#include "ui/Symbols.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <climits>
#include <cmath>

namespace SidebarItemInfo {

QString rawValue(SidebarItem item) {
    switch (item) {
    case SidebarItem::dashboard: return QStringLiteral("dashboard");
    case SidebarItem::projects: return QStringLiteral("projects");
    case SidebarItem::checklists: return QStringLiteral("checklists");
    case SidebarItem::settings: return QStringLiteral("settings");
    }
    return {};
}

std::optional<SidebarItem> fromRaw(const QString& raw) {
    for (SidebarItem item : allCases())
        if (rawValue(item) == raw)
            return item;
    return std::nullopt;
}

QString title(SidebarItem item) {
    switch (item) {
    case SidebarItem::dashboard: return QStringLiteral("Tableau de bord");
    case SidebarItem::projects: return QStringLiteral("Projets");
    case SidebarItem::checklists: return QStringLiteral("Checklists");
    case SidebarItem::settings: return QStringLiteral("Réglages");
    }
    return {};
}

QString systemImage(SidebarItem item) {
    switch (item) {
    case SidebarItem::dashboard: return QStringLiteral("rectangle.3.group");
    case SidebarItem::projects: return QStringLiteral("folder");
    case SidebarItem::checklists: return QStringLiteral("checklist");
    case SidebarItem::settings: return QStringLiteral("gearshape");
    }
    return {};
}

const QList<SidebarItem>& allCases() {
    static const QList<SidebarItem> all{SidebarItem::dashboard, SidebarItem::projects, SidebarItem::checklists,
                                        SidebarItem::settings};
    return all;
}

} // namespace SidebarItemInfo

namespace {

// Header metrics: padding 12 sides, 12 top, 10 bottom, a 34-point logo; then the divider (1 high, 8 below).
constexpr int kHeaderPadTop = 12, kHeaderPadBottom = 10, kHeaderPadH = 12, kLogo = 34;
constexpr int kDividerLeading = 12, kDividerTrailing = 10, kDividerBelow = 8;

} // namespace

// ---------------------------------------------------------------------------------------------
SidebarHeader::SidebarHeader(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void SidebarHeader::setActiveTitle(const QString& title) {
    if (title == m_activeTitle)
        return;
    m_activeTitle = title;
    setAccessibleDescription(title);
    update();
}

QSize SidebarHeader::sizeHint() const {
    return {Sidebar::idealWidth, kHeaderPadTop + kLogo + kHeaderPadBottom + 1 + kDividerBelow};
}

QSize SidebarHeader::minimumSizeHint() const { return {kHeaderPadH * 2 + kLogo, sizeHint().height()}; }

void SidebarHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    const QColor blue = AppPalette::brandBlue();

    const QRectF logo(kHeaderPadH, kHeaderPadTop, kLogo, kLogo);
    Paint::fillRoundedRect(p, logo, 12, withOpacity(blue, 0.12));
    Paint::strokeRoundedRect(p, logo, 12, withOpacity(blue, 0.25), 1);
    const qreal glyph = 16;
    Symbols::paint(p, QRectF(logo.center() - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph)),
                   QStringLiteral("doc.text.fill"), blue, Symbols::bold);

    // Two lines, spacing 2, centred on the logo.
    const QFont nameFont = Fonts::system(13, 600);
    const QFont titleFont = Fonts::system(12, 400);
    const QFontMetrics fmName(nameFont), fmTitle(titleFont);
    const int textH = fmName.height() + 2 + fmTitle.height();
    const int x = int(logo.right()) + 10;
    const int w = width() - x - kHeaderPadH;
    int y = int(logo.center().y()) - textH / 2;
    p.setPen(AppPalette::primaryText());
    m_name.draw(p, QRect(x, y, w, fmName.height()), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tolmek"),
                nameFont, w);
    y += fmName.height() + 2;
    p.setPen(AppPalette::secondaryText());
    m_title.draw(p, QRect(x, y, w, fmTitle.height()), Qt::AlignLeft | Qt::AlignVCenter, m_activeTitle, titleFont, w);

    const int dividerY = kHeaderPadTop + kLogo + kHeaderPadBottom;
    p.fillRect(QRect(kDividerLeading, dividerY, width() - kDividerLeading - kDividerTrailing, 1),
               AppPalette::mutedBorder());
}

// ---------------------------------------------------------------------------------------------
SidebarNavRow::SidebarNavRow(SidebarItem item, QWidget* parent)
    : QAbstractButton(parent),
      m_item(item),
      m_hoverAnim(new HoverAnimator(this, 150, false)),
      m_selectAnim(new HoverAnimator(this, 180, false)) {
    setText(title());
    setAccessibleName(title());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QString SidebarNavRow::title() const { return SidebarItemInfo::title(m_item); }
QString SidebarNavRow::systemImage() const { return SidebarItemInfo::systemImage(m_item); }

void SidebarNavRow::setSelectedRow(bool selected, bool animated) {
    if (selected == m_selected && m_selectAnim->isHovered() == selected)
        return;
    m_selected = selected;
    animated ? m_selectAnim->setHovered(selected) : m_selectAnim->setHoveredImmediately(selected);
    update();
}

void SidebarNavRow::setHoveredRow(bool hovered, bool animated) {
    if (hovered == m_hovered && m_hoverAnim->isHovered() == hovered)
        return;
    m_hovered = hovered;
    animated ? m_hoverAnim->setHovered(hovered) : m_hoverAnim->setHoveredImmediately(hovered);
    update();
}

QRect SidebarNavRow::shapeRect() const { return rect().adjusted(insetLeading, insetTop, -insetTrailing, -insetBottom); }

qreal SidebarNavRow::currentScale() const { return m_hoverAnim->scale(1.02); }

QSize SidebarNavRow::sizeHint() const {
    // Padding 10 above and below the tallest of: bar 18, symbol 16, title line.
    const int content = qMax(18, QFontMetrics(Fonts::rounded(13, 600)).height());
    const int h = qMax(Sidebar::minRowHeight, content + 20 + insetTop + insetBottom);
    return {Sidebar::idealWidth - 2 * Sidebar::listMargin, h};
}

QSize SidebarNavRow::minimumSizeHint() const { return {80, sizeHint().height()}; }

bool SidebarNavRow::hitButton(const QPoint& pos) const { return shapeRect().contains(pos); }

void SidebarNavRow::mouseMoveEvent(QMouseEvent* event) {
    setPointerInside(shapeRect().contains(event->position().toPoint()));
    QAbstractButton::mouseMoveEvent(event);
}

void SidebarNavRow::leaveEvent(QEvent* event) {
    setPointerInside(false);
    QAbstractButton::leaveEvent(event);
}

void SidebarNavRow::hideEvent(QHideEvent* event) {
    setPointerInside(false);
    QAbstractButton::hideEvent(event);
}

void SidebarNavRow::setPointerInside(bool inside) {
    if (inside == m_pointerInside)
        return;
    m_pointerInside = inside;
    if (inside)
        emit pointerEntered(m_item);
    else
        emit pointerLeft(m_item);
}

void SidebarNavRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    const QRectF shape = shapeRect();
    Paint::scaleAbout(p, shape, currentScale());

    const qreal sel = m_selectAnim->progress();
    const qreal hov = m_hoverAnim->progress();
    const QColor blue = AppPalette::brandBlue();
    const QColor clear(0, 0, 0, 0);
    // Selected colours win over hover colours.
    const QColor hoverFill = Paint::mix(clear, AppPalette::tintedBackground(), hov);
    const QColor hoverStroke = Paint::mix(clear, AppPalette::tintedBorder(), hov);
    const QColor fill = Paint::mix(hoverFill, withOpacity(blue, 0.14), sel);
    const QColor stroke = Paint::mix(hoverStroke, withOpacity(blue, 0.3), sel);
    if (fill.alpha() > 0)
        Paint::fillRoundedRect(p, shape, 12, fill);
    if (stroke.alpha() > 0)
        Paint::strokeRoundedRect(p, shape, 12, stroke, 1);
    if (KeyboardFocus::showsRing(this))
        Paint::focusRing(p, shape, 12);

    // Content: padding 6 sides; bar 4×18, spacing 10, symbol in a 26-wide frame, spacing 10, title.
    const QRectF content = shape.adjusted(6, 10, -6, -10);
    qreal x = content.left();
    const qreal cy = content.center().y();
    if (sel > 0)
        Paint::fillCapsule(p, QRectF(x, cy - 9, 4, 18), withOpacity(blue, sel));
    x += 4 + 10;
    const qreal glyph = 16;
    Symbols::paint(p, QRectF(x + (26 - glyph) / 2, cy - glyph / 2, glyph, glyph), systemImage(),
                   Paint::mix(AppPalette::secondaryText(), blue, sel), Symbols::semibold);
    x += 26 + 10;
    p.setPen(AppPalette::primaryText());
    const QRectF textRect(x, content.top(), content.right() - x, content.height());
    m_titleLine.draw(p, textRect, Qt::AlignLeft | Qt::AlignVCenter, title(), Fonts::rounded(13, 600),
                     int(textRect.width()));
}

// ---------------------------------------------------------------------------------------------
SidebarSeparator::SidebarSeparator(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize SidebarSeparator::sizeHint() const { return {Sidebar::idealWidth, Sidebar::minRowHeight}; }

void SidebarSeparator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Insets 8 above and below inside a row of at least 44: the line sits in the middle.
    p.fillRect(QRect(14, height() / 2, width() - 14 - 12, 1), AppPalette::mutedBorder());
}

// ---------------------------------------------------------------------------------------------
QuitButton::QuitButton(QWidget* parent) : QAbstractButton(parent) {
    setText(QStringLiteral("Quitter"));
    setAccessibleName(text());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize QuitButton::sizeHint() const {
    const QFont font = Fonts::rounded(13, 600);
    const QFontMetrics fm(font);
    return {12 + 26 + 10 + int(std::lround(m_label.naturalWidth(text(), font))) + 12, 10 + qMax(16, fm.height()) + 10};
}

void QuitButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    if (isDown())
        p.setOpacity(0.7);
    const QRectF r = QRectF(rect());
    // The ring lies on what is behind the button, its fill a gap inside it.
    const bool ring = KeyboardFocus::showsRing(this);
    const qreal in = ring ? Paint::focusRingReach : 0;
    Paint::fillRoundedRect(p, r.adjusted(in, in, -in, -in), 12 - in, AppPalette::dangerBackground());
    Paint::strokeRoundedRect(p, r.adjusted(in, in, -in, -in), 12 - in, AppPalette::dangerBorder(), 1);
    if (ring)
        Paint::focusRing(p, r, 12);
    const QColor red = AppPalette::dangerRed();
    const qreal cy = r.center().y();
    const qreal glyph = 16;
    Symbols::paint(p, QRectF(12 + (26 - glyph) / 2, cy - glyph / 2, glyph, glyph), QStringLiteral("power"), red,
                   Symbols::semibold);
    p.setPen(red);
    m_label.draw(p, QRectF(12 + 26 + 10, 0, r.width() - 48 - 12, r.height()), Qt::AlignLeft | Qt::AlignVCenter, text(),
                 Fonts::rounded(13, 600), INT_MAX);
}

// ---------------------------------------------------------------------------------------------
Sidebar::Sidebar(ShellState* state, ThemeManager& theme, QWidget* parent) : QWidget(parent), m_state(state) {
    setMinimumWidth(minimumWidth);
    setMaximumWidth(maximumWidth);
    setAutoFillBackground(false);
    connect(&theme, &ThemeManager::appearanceChanged, this, [this] {
        update();
        for (QWidget* w : findChildren<QWidget*>())
            w->update();
    });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, topInset, 0, 0);
    column->setSpacing(0);

    m_header = new SidebarHeader(this);
    column->addWidget(m_header);

    auto* list = new QVBoxLayout;
    list->setContentsMargins(listMargin, 0, listMargin, 0);
    list->setSpacing(0);
    const auto addRow = [&](SidebarItem item) {
        auto* row = new SidebarNavRow(item, this);
        connect(row, &QAbstractButton::clicked, this, [this, item] { tap(item); });
        connect(row, &SidebarNavRow::pointerEntered, this, [this](SidebarItem i) { m_state->setHoveredItem(i); });
        connect(row, &SidebarNavRow::pointerLeft, this, [this](SidebarItem i) {
            // Only this row's own hover is cleared: the next row may already have claimed it.
            if (m_state->hoveredItem() == i)
                m_state->setHoveredItem(std::nullopt);
        });
        m_rows.append(row);
        list->addWidget(row);
    };
    addRow(SidebarItem::dashboard);
    list->addWidget(new SidebarSeparator(this));
    addRow(SidebarItem::projects);
    addRow(SidebarItem::checklists);
    list->addWidget(new SidebarSeparator(this));
    addRow(SidebarItem::settings);
    column->addLayout(list);
    column->addStretch(1);

    m_quit = new QuitButton(this);
    connect(m_quit, &QAbstractButton::clicked, this, [this] { m_state->setConfirmingQuit(true); });
    auto* foot = new QHBoxLayout;
    foot->setContentsMargins(12, 12, 12, 12);
    foot->addStretch(1);
    foot->addWidget(m_quit);
    foot->addStretch(1);
    column->addLayout(foot);

    connect(m_state, &ShellState::changed, this, [this] { sync(true); });
    sync(false);
}

SidebarNavRow* Sidebar::row(SidebarItem item) const {
    for (auto* r : m_rows)
        if (r->item() == item)
            return r;
    return nullptr;
}

QList<SidebarSeparator*> Sidebar::separators() const { return findChildren<SidebarSeparator*>(); }

void Sidebar::tap(SidebarItem item) {
    ShellState::Batch batch(*m_state);
    m_state->setOpenedDoc(nullptr);
    m_state->setSelectedProjectForDocuments(nullptr);
    m_state->setSelectedChecklistForDetail(nullptr);
    m_state->setSelection(item);
}

void Sidebar::sync(bool animated) {
    m_header->setActiveTitle(SidebarItemInfo::title(m_state->selection()));
    for (auto* r : m_rows) {
        r->setSelectedRow(r->item() == m_state->selection(), animated);
        r->setHoveredRow(m_state->hoveredItem() == r->item(), animated);
    }
}

void Sidebar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::sidebarBackground());
}
