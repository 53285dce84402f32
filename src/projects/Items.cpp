#include "projects/Items.h"

#include "projects/DocStatusBadge.h"
#include "ui/Components.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"

#include <QContextMenuEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace projectsui {

namespace {
constexpr int kHoverMs = 120;
bool isDark() { return ThemeManager::shared().isDark(); }
bool hasText(const OptText& t) { return t && !t->trimmed().isEmpty(); }

// A card's background with its hover: a shadow in the card's tint, a slight scale, a firmer stroke.
void paintCard(QPainter& p, const QRect& rect, const HoverAnimator& hover, const QColor& tint, qreal darkShadow,
               qreal lightShadow) {
    const qreal t = hover.progress();
    const bool dark = isDark();
    p.save();
    if (t > 0)
        Paint::drawShadow(p, QRectF(rect), 16, withOpacity(tint, (dark ? darkShadow : lightShadow) * t),
                          (dark ? 18 : 14) * t, QPointF(0, 6 * t));
    Paint::scaleAbout(p, QRectF(rect), hover.scale(1.015));
    Paint::fillRoundedRect(p, QRectF(rect), 16, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, QRectF(rect), 16, withOpacity(AppPalette::separator(), hover.value(0.25, 0.45)));
    p.restore();
}
} // namespace

// ---------------------------------------------------------------------------------------------
TileView::TileView(int size, qreal radius, qreal symbolPx, QWidget* parent)
    : QWidget(parent), m_radius(radius), m_px(symbolPx) {
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TileView::setSymbol(const QString& name, const QColor& tint) {
    m_symbol = name;
    m_tint = tint;
    update();
}

void TileView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    Paint::fillRoundedRect(p, r, m_radius, withOpacity(m_tint, 0.14));
    Paint::strokeRoundedRect(p, r, m_radius, withOpacity(m_tint, 0.22));
    Symbols::paint(p, QRectF((width() - m_px) / 2, (height() - m_px) / 2, m_px, m_px), m_symbol, m_tint);
}

SymbolView::SymbolView(qreal px, QWidget* parent) : QWidget(parent), m_px(px) {
    setFixedSize(int(std::ceil(px)), int(std::ceil(px)));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SymbolView::setSymbol(const QString& name, const QColor& color) {
    m_symbol = name;
    m_color = color;
    update();
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Symbols::paint(p, QRectF(rect()), m_symbol, m_color);
}

// ---------------------------------------------------------------------------------------------
ItemBase::ItemBase(Callbacks callbacks, QWidget* parent)
    : QWidget(parent), m_cb(std::move(callbacks)), m_hover(new HoverAnimator(this, kHoverMs)) {
    setCursor(Qt::PointingHandCursor);
    connect(m_hover, &HoverAnimator::progressChanged, this, [this](qreal t) {
        hoverProgressChanged(t);
        repaintHost();
    });
}

void ItemBase::resetHover() {
    m_pressed = false;
    m_hover->setHoveredImmediately(false);
    hoverProgressChanged(0);
}

void ItemBase::repaintHost() {
    if (QWidget* host = parentWidget())
        host->update(geometry().adjusted(-30, -30, 30, 36));
    update();
}

void ItemBase::rebind(PersistentModel* model, Callbacks callbacks) {
    disconnect(m_observer);
    m_cb = std::move(callbacks);
    m_observer = connect(model, &PersistentModel::changed, this, [this] { refresh(); });
    resetHover();
    refresh();
}

void ItemBase::installEllipsis(EllipsisButton* button) {
    m_ellipsis = button;
    connect(button, &EllipsisButton::editRequested, this, [this] { if (m_cb.onEdit) m_cb.onEdit(); });
    connect(button, &EllipsisButton::deleteRequested, this, [this] { if (m_cb.onDelete) m_cb.onDelete(); });
}

void ItemBase::mousePressEvent(QMouseEvent* e) {
    m_pressed = e->button() == Qt::LeftButton;
    e->accept();
}

void ItemBase::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = m_pressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    m_pressed = false;
    if (click && m_cb.onOpen)
        m_cb.onOpen();
}

void ItemBase::contextMenuEvent(QContextMenuEvent* e) {
    auto onEdit = m_cb.onEdit, onDelete = m_cb.onDelete;
    execContextMenu(this, e->globalPos(), [onEdit] { if (onEdit) onEdit(); }, [onDelete] { if (onDelete) onDelete(); });
}

// ---------------------------------------------------------------------------------------------
ProjectItem::ProjectItem(ProjectPtr project, Callbacks callbacks, QWidget* parent)
    : ItemBase(std::move(callbacks), parent), m_project(std::move(project)) {}

void ProjectItem::setProject(ProjectPtr project, Callbacks callbacks) {
    m_project = std::move(project);
    rebind(m_project.get(), std::move(callbacks));
}

QColor ProjectItem::projectTint() const { return displayColor(m_project->colorKey(), m_project->colorHex()); }

ProjectRow::ProjectRow(ProjectPtr project, Callbacks callbacks, QWidget* parent)
    : ProjectItem(std::move(project), std::move(callbacks), parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 12, 14, 12);
    row->setSpacing(12);
    m_tile = new TileView(36, 10, 15, this);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->setContentsMargins(0, 0, 0, 0);
    m_name = new ClampedText(Fonts::rounded(14, 600), [] { return AppPalette::primaryText(); }, 0, this);
    m_details = new ClampedText(Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, 1, this);
    m_details->setCollapsible(3);
    texts->addWidget(m_name);
    texts->addWidget(m_details);
    auto* ell = new EllipsisButton(QSize(30, 28), 13, 0.7, this);
    installEllipsis(ell);
    auto* chevron = new SymbolView(12, this);
    row->addWidget(m_tile);
    row->addLayout(texts, 1);
    row->addWidget(ell);
    row->addWidget(chevron);
    chevron->setSymbol(QStringLiteral("chevron.right"), QColor());
    // The chevron follows the separator colour of the current appearance.
    auto recolor = [this, chevron] {
        chevron->setSymbol(QStringLiteral("chevron.right"), withOpacity(AppPalette::separator(), 0.9));
        refresh();
    };
    recolor();
    connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, this, recolor);
    setProject(m_project, m_cb);
}

void ProjectRow::refresh() {
    m_tile->setSymbol(m_project->iconName(), projectTint());
    m_name->setText(m_project->name());
    const bool show = hasText(m_project->details());
    m_details->setText(show ? *m_project->details() : QString());
}

void ProjectRow::paintShadow(QPainter& p, const QRect& rect) const {
    const qreal t = m_hover->progress();
    if (t <= 0)
        return;
    const bool dark = isDark();
    p.save();
    Paint::drawShadow(p, QRectF(rect), 14, QColor::fromRgbF(0, 0, 0, 0.33 * t), 10 * t);
    Paint::scaleAbout(p, QRectF(rect), m_hover->scale(1.008));
    const QColor fill = dark ? withOpacity(AppPalette::tintedBackground(), 0.55 * t)
                             : withOpacity(AppPalette::cardBackground(), 0.01 * t);
    Paint::fillRoundedRect(p, QRectF(rect), 14, fill);
    Paint::strokeRoundedRect(p, QRectF(rect), 14, withOpacity(AppPalette::separator(), (dark ? 0.4 : 0.22) * t));
    p.restore();
}

// ---------------------------------------------------------------------------------------------
ProjectCard::ProjectCard(ProjectPtr project, Callbacks callbacks, QWidget* parent)
    : ProjectItem(std::move(project), std::move(callbacks), parent) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(14, 14, 14, 14);
    col->setSpacing(10);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    m_tile = new TileView(42, 12, 16, this);
    auto* ell = new EllipsisButton(QSize(30, 28), 13, 0.8, this);
    installEllipsis(ell);
    auto* effect = new QGraphicsOpacityEffect(ell);
    effect->setOpacity(0);
    ell->setGraphicsEffect(effect);
    QSizePolicy keep = ell->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    ell->setSizePolicy(keep);
    ell->hide();
    header->addWidget(m_tile);
    header->addStretch(1);
    header->addWidget(ell);
    m_name = new ClampedText(Fonts::rounded(15, 700), [] { return AppPalette::primaryText(); }, 0, this);
    m_details = new ClampedText(Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, 2, this);
    col->addLayout(header);
    col->addWidget(m_name);
    col->addWidget(m_details);
    col->addStretch(1);
    setMinimumHeight(120);
    setProject(m_project, m_cb);
}

void ProjectCard::hoverProgressChanged(qreal t) {
    // The menu fades in and out with the hover; it is unreachable while fully hidden.
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(m_ellipsis->graphicsEffect()))
        effect->setOpacity(t);
    m_ellipsis->setVisible(t > 0);
}

void ProjectCard::refresh() {
    m_tile->setSymbol(m_project->iconName(), projectTint());
    m_name->setText(m_project->name());
    if (hasText(m_project->details())) {
        m_details->setText(*m_project->details());
        m_details->setTextOpacity(1);
    } else {
        // An invisible line keeps the card's height.
        m_details->setText(QStringLiteral(" "));
        m_details->setTextOpacity(0);
    }
    repaintHost();
}

void ProjectCard::paintShadow(QPainter& p, const QRect& rect) const {
    paintCard(p, rect, *m_hover, projectTint(), 0.35, 0.22);
}

// ---------------------------------------------------------------------------------------------
QString modifiedLine(const QDateTime& updatedAt) {
    const QDateTime local = updatedAt.toLocalTime();
    const QLocale loc;
    return QStringLiteral("Modifié ") + loc.toString(local.date(), QStringLiteral("d MMM yyyy")) +
           QStringLiteral(" à ") + loc.toString(local.time(), QLocale::ShortFormat);
}

DocItem::DocItem(DocPtr doc, Callbacks callbacks, QWidget* parent)
    : ItemBase(std::move(callbacks), parent), m_doc(std::move(doc)) {}

void DocItem::setDoc(DocPtr doc, Callbacks callbacks) {
    m_doc = std::move(doc);
    rebind(m_doc.get(), std::move(callbacks));
}

QColor DocItem::accent() const { return displayColor(m_doc->colorKey(), m_doc->colorHex()); }

void DocItem::refreshTexts() {
    m_title->setText(m_doc->title());
    m_date->setText(modifiedLine(m_doc->updatedAt()));
    setBadgeStatus(m_badge, m_doc->status());
}

DocRow::DocRow(DocPtr doc, Callbacks callbacks, QWidget* parent)
    : DocItem(std::move(doc), std::move(callbacks), parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(12);
    m_tile = new TileView(36, 10, 15, this);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->setContentsMargins(0, 0, 0, 0);
    m_title = new ClampedText(Fonts::rounded(14, 600), [] { return AppPalette::primaryText(); }, 0, this);
    m_date = new ClampedText(Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, 1, this);
    texts->addWidget(m_title);
    texts->addWidget(m_date);
    m_badge = makeStatusBadge(m_doc->status(), this);
    m_badge->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* ell = new EllipsisButton(QSize(34, 28), 14, -1, this);
    installEllipsis(ell);
    row->addWidget(m_tile);
    row->addLayout(texts, 1);
    row->addWidget(m_badge);
    row->addWidget(ell);
    setDoc(m_doc, m_cb);
}

void DocRow::refresh() {
    m_tile->setSymbol(m_doc->iconName(), accent());
    refreshTexts();
}

void DocRow::paintShadow(QPainter& p, const QRect& rect) const {
    const qreal t = m_hover->progress();
    const bool dark = isDark();
    p.save();
    Paint::scaleAbout(p, QRectF(rect), m_hover->scale(1.01));
    const QColor normal = AppPalette::cardBackground();
    const QColor hovered = dark ? AppPalette::tintedBackground() : withOpacity(AppPalette::cardBackground(), 0.75);
    Paint::fillRoundedRect(p, QRectF(rect), 14, Paint::mix(normal, hovered, t));
    Paint::strokeRoundedRect(p, QRectF(rect), 14, withOpacity(AppPalette::separator(), m_hover->value(0.2, 0.35)));
    p.restore();
}

// ---------------------------------------------------------------------------------------------
DocCard::DocCard(DocPtr doc, Callbacks callbacks, QWidget* parent)
    : DocItem(std::move(doc), std::move(callbacks), parent) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(14, 14, 14, 14);
    col->setSpacing(10);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    m_icon = new SymbolView(16, this);
    auto* ell = new EllipsisButton(QSize(34, 28), 14, -1, this);
    installEllipsis(ell);
    header->addWidget(m_icon);
    header->addStretch(1);
    header->addWidget(ell);
    m_title = new ClampedText(Fonts::rounded(15, 700), [] { return AppPalette::primaryText(); }, 2, this);
    m_date = new ClampedText(Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, 1, this);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(0, 0, 0, 0);
    m_badge = makeStatusBadge(m_doc->status(), this);
    m_badge->setAttribute(Qt::WA_TransparentForMouseEvents);
    footer->addWidget(m_badge);
    footer->addStretch(1);
    col->addLayout(header);
    col->addWidget(m_title);
    col->addWidget(m_date);
    // The flexible space is an item of the stack: the spacing applies on both of its sides.
    col->addSpacing(10);
    col->addStretch(1);
    col->addLayout(footer);
    setMinimumHeight(120);
    setDoc(m_doc, m_cb);
}

void DocCard::refresh() {
    m_icon->setSymbol(m_doc->iconName(), accent());
    refreshTexts();
    repaintHost();
}

void DocCard::paintShadow(QPainter& p, const QRect& rect) const {
    paintCard(p, rect, *m_hover, accent(), 0.28, 0.18);
}

} // namespace projectsui
