#include "projects/Items.h"

#include "ui/BoundedText.h"
#include "ui/Boxes.h"

#include "projects/DocStatusBadge.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Theme.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLocale>
#include <QPainter>
#include <QVBoxLayout>

namespace projectsui {

using lists::EllipsisButton;

namespace {

// How much a hovered row grows, its background and its contents alike.
constexpr qreal kRowScale = 1.008;
constexpr qreal kDocRowScale = 1.01;

bool hasText(const OptText& t) { return t && !t->trimmed().isEmpty(); }

ClampedText* primaryText(QWidget* parent, int px, int weight, int maxLines) {
    return new ClampedText(
        Fonts::rounded(px, weight), [] { return AppPalette::primaryText(); }, maxLines, parent);
}
ClampedText* secondaryText(QWidget* parent, int maxLines) {
    return new ClampedText(
        Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, maxLines, parent);
}

// A row: the leading tile, the texts centred against it, then the trailing widgets.
QHBoxLayout* rowLayout(QWidget* row, QMargins margins, QWidget* tile, QVBoxLayout* texts,
                       std::initializer_list<QWidget*> trailing) {
    auto* layout = Boxes::row(row, 12, margins);
    layout->addWidget(tile);
    // The free height goes above and below the texts, not into them: a lone line sits centred.
    texts->setContentsMargins(0, 0, 0, 0);
    texts->insertStretch(0, 1);
    texts->addStretch(1);
    layout->addLayout(texts, 1);
    for (QWidget* w : trailing)
        layout->addWidget(w);
    return layout;
}

QVBoxLayout* textColumn(int spacing, std::initializer_list<QWidget*> texts) {
    auto* col = Boxes::column(nullptr, spacing);
    for (QWidget* w : texts)
        col->addWidget(w);
    return col;
}

// A card: the header (leading picture, space, menu), the texts, flexible space, an optional footer,
// in a column of spacing 10 at least 120 high. The flexible space is an item of the column, so the
// spacing applies before it (and, through the layout, before the footer).
void cardLayout(QWidget* card, QWidget* leading, EllipsisButton* menu, std::initializer_list<QWidget*> texts,
                QLayout* footer = nullptr) {
    auto* col = Boxes::column(card, 10, QMargins(14, 14, 14, 14));
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(leading);
    header->addStretch(1);
    header->addWidget(menu);
    col->addLayout(header);
    for (QWidget* w : texts)
        col->addWidget(w);
    col->addSpacing(10);
    col->addStretch(1);
    if (footer)
        col->addLayout(footer);
    card->setMinimumHeight(120);
}

// A card's background with its hover: a shadow in the card's tint, a slight scale, a firmer stroke.
void paintCard(QPainter& p, const QRect& rect, const HoverAnimator& hover, bool dark, const QColor& tint,
               qreal darkShadow, qreal lightShadow) {
    const qreal t = hover.progress();
    if (t <= 0) {
        // At rest, a page of cards looks alike: drawn once, laid on each (a keystroke repaints them all).
        const QColor fill = AppPalette::cardBackground();
        const QColor stroke = withOpacity(AppPalette::separator(), hover.value(0.25, 0.45));
        lists::paintCachedLook(p, rect, QStringLiteral("card/%1/%2").arg(fill.rgba(), 0, 16).arg(stroke.rgba(), 0, 16),
                               [&](QPainter& cp, const QRectF& r) {
                                   Paint::fillRoundedRect(cp, r, 16, fill);
                                   Paint::strokeRoundedRect(cp, r, 16, stroke);
                               });
        return;
    }
    p.save();
    Paint::drawShadowBetween(p, QRectF(rect), 16, {},
                             {withOpacity(tint, dark ? darkShadow : lightShadow), dark ? 18.0 : 14.0, QPointF(0, 6)},
                             t);
    Paint::scaleAbout(p, QRectF(rect), hover.scale(1.015));
    Paint::fillRoundedRect(p, QRectF(rect), 16, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, QRectF(rect), 16, withOpacity(AppPalette::separator(), hover.value(0.25, 0.45)));
    p.restore();
}

} // namespace

// ---------------------------------------------------------------------------------------------
QColor ProjectItem::projectTint() const { return displayColor(m_object->colorKey(), m_object->colorHex()); }

void ProjectItem::refreshProject(const QString& placeholder) {
    m_tile->setSymbol(m_object->iconName(), projectTint());
    // A name wraps without a line limit, up to a length no one names a project with.
    m_name->setText(BoundedText::bounded(m_object->name()));
    const bool shown = hasText(m_object->details());
    m_details->setText(shown ? *m_object->details() : placeholder);
    setAccessibleTexts(m_object->name(), shown ? *m_object->details() : QString());
}

ProjectRow::ProjectRow(ThemeManager& theme, ProjectPtr project, Callbacks callbacks, QWidget* parent)
    : ProjectItem(theme, std::move(project), std::move(callbacks), parent) {
    m_tile = new TileView(36, 10, 15, this);
    m_name = primaryText(this, 14, 600, 0);
    m_details = secondaryText(this, 1);
    m_details->setCollapsible(3);
    auto* menu = new EllipsisButton(QSize(30, 28), 13, 0.7, this);
    installEllipsis(menu);
    auto* chevron = new SymbolView(12, this);
    chevron->setSymbol(QStringLiteral("chevron.right"), QColor());
    chevron->setColorFn([] { return AppPalette::secondaryText(); });
    rowLayout(this, {14, 12, 14, 12}, m_tile, textColumn(0, {m_name, m_details}), {menu, chevron});
    bind(m_object, m_cb);
}

void ProjectRow::refresh() { refreshProject(QString()); }

void ProjectRow::paintShadow(QPainter& p, const QRect& rect) const {
    const qreal t = m_hover->progress();
    if (t <= 0)
        return;
    const bool dark = isDark();
    p.save();
    Paint::scaleAbout(p, QRectF(rect), m_hover->scale(kRowScale));
    const Paint::Shadow shadow{QColor::fromRgbF(0, 0, 0, 0.33 * t), 10 * t, {}};
    if (dark) {
        Paint::fillRoundedRectWithShadow(p, QRectF(rect), 14, withOpacity(AppPalette::tintedBackground(), 0.55 * t),
                                         shadow);
    } else {
        // In light the row stays all but clear and its shadow lies around it, at its full strength.
        const QPainterPath shape = Paint::roundedRect(QRectF(rect), 14);
        QPainterPath around;
        around.addRect(QRectF(rect).adjusted(-30, -30, 30, 30));
        p.save();
        p.setClipPath(around.subtracted(shape), Qt::IntersectClip);
        Paint::drawShadow(p, QRectF(rect), 14, shadow.color, shadow.blur);
        p.restore();
        Paint::fillRoundedRect(p, QRectF(rect), 14, withOpacity(AppPalette::cardBackground(), 0.01 * t));
    }
    Paint::strokeRoundedRect(p, QRectF(rect), 14, withOpacity(AppPalette::separator(), (dark ? 0.4 : 0.22) * t));
    p.restore();
}

// ---------------------------------------------------------------------------------------------
ProjectCard::ProjectCard(ThemeManager& theme, ProjectPtr project, Callbacks callbacks, QWidget* parent)
    : ProjectItem(theme, std::move(project), std::move(callbacks), parent) {
    m_tile = new TileView(42, 12, 16, this);
    auto* menu = new EllipsisButton(QSize(30, 28), 13, 0.8, this);
    installEllipsis(menu);
    auto* effect = new QGraphicsOpacityEffect(menu);
    effect->setOpacity(0);
    menu->setGraphicsEffect(effect);
    QSizePolicy keep = menu->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    menu->setSizePolicy(keep);
    menu->hide();
    m_name = primaryText(this, 15, 700, 0);
    m_details = secondaryText(this, 2);
    cardLayout(this, m_tile, menu, {m_name, m_details});
    bind(m_object, m_cb);
}

void ProjectCard::hoverProgressChanged(qreal t) {
    // The menu fades in and out with the hover; it is unreachable while fully hidden.
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(m_ellipsis->graphicsEffect()))
        effect->setOpacity(t);
    m_ellipsis->setVisible(t > 0);
}

void ProjectCard::refresh() {
    // Without a description an invisible line keeps the card's height.
    refreshProject(QStringLiteral(" "));
    m_details->setTextOpacity(hasText(m_object->details()) ? 1 : 0);
    repaintHost();
}

void ProjectCard::paintShadow(QPainter& p, const QRect& rect) const {
    paintCard(p, rect, *m_hover, isDark(), projectTint(), 0.35, 0.22);
}

// ---------------------------------------------------------------------------------------------
QString modifiedLine(const QDateTime& updatedAt) {
    const QDateTime local = updatedAt.toLocalTime();
    const QLocale loc;
    return QStringLiteral("Modifié ") + loc.toString(local.date(), QStringLiteral("d MMM yyyy")) +
        QStringLiteral(" à ") + loc.toString(local.time(), QLocale::ShortFormat);
}

DocItem::DocItem(ThemeManager& theme, DocPtr doc, Callbacks callbacks, bool card, QWidget* parent)
    : BoundItem(theme, std::move(doc), std::move(callbacks), parent) {
    // A row's title wraps freely; a card's stops after two lines.
    m_title = card ? primaryText(this, 15, 700, 2) : primaryText(this, 14, 600, 0);
    m_date = secondaryText(this, 1);
    m_badge = makeStatusBadge(m_object->status(), this);
    m_badge->setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor DocItem::accent() const { return displayColor(m_object->colorKey(), m_object->colorHex()); }

void DocItem::refreshTexts() {
    m_title->setText(BoundedText::bounded(m_object->title()));
    m_date->setText(modifiedLine(m_object->updatedAt()));
    setBadgeStatus(m_badge, m_object->status());
    setAccessibleTexts(m_object->title(), DocStatusStyle::title(m_object->status()));
}

DocRow::DocRow(ThemeManager& theme, DocPtr doc, Callbacks callbacks, QWidget* parent)
    : DocItem(theme, std::move(doc), std::move(callbacks), false, parent) {
    m_tile = new TileView(36, 10, 15, this);
    auto* menu = new EllipsisButton(QSize(34, 28), 14, -1, this);
    installEllipsis(menu);
    rowLayout(this, {12, 10, 12, 10}, m_tile, textColumn(4, {m_title, m_date}), {m_badge, menu});
    bind(m_object, m_cb);
}

void DocRow::refresh() {
    m_tile->setSymbol(m_object->iconName(), accent());
    refreshTexts();
}

void DocRow::paintShadow(QPainter& p, const QRect& rect) const {
    const qreal t = m_hover->progress();
    const bool dark = isDark();
    p.save();
    Paint::scaleAbout(p, QRectF(rect), m_hover->scale(kDocRowScale));
    const QColor normal = AppPalette::cardBackground();
    const QColor hovered = dark ? AppPalette::tintedBackground() : withOpacity(AppPalette::cardBackground(), 0.75);
    Paint::fillRoundedRect(p, QRectF(rect), 14, Paint::mix(normal, hovered, t));
    Paint::strokeRoundedRect(p, QRectF(rect), 14, withOpacity(AppPalette::separator(), m_hover->value(0.2, 0.35)));
    p.restore();
}

// ---------------------------------------------------------------------------------------------
DocCard::DocCard(ThemeManager& theme, DocPtr doc, Callbacks callbacks, QWidget* parent)
    : DocItem(theme, std::move(doc), std::move(callbacks), true, parent) {
    m_icon = new SymbolView(16, this);
    auto* menu = new EllipsisButton(QSize(34, 28), 14, -1, this);
    installEllipsis(menu);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(0, 0, 0, 0);
    footer->addWidget(m_badge);
    footer->addStretch(1);
    cardLayout(this, m_icon, menu, {m_title, m_date}, footer);
    bind(m_object, m_cb);
}

void DocCard::refresh() {
    m_icon->setSymbol(m_object->iconName(), accent());
    refreshTexts();
    repaintHost();
}

void DocCard::paintShadow(QPainter& p, const QRect& rect) const {
    paintCard(p, rect, *m_hover, isDark(), accent(), 0.28, 0.18);
}

} // namespace projectsui
