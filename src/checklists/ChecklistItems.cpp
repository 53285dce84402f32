#include "checklists/ChecklistItems.h"

#include "checklists/ChecklistLogic.h"
#include "ui/Boxes.h"
#include "ui/BoundedText.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace checklistsui {

namespace {
// A row's or card's text, drawn in the primary or the secondary text colour.
ClampedText* rowText(const QFont& font, bool primary, int maxLines, QWidget* parent) {
    return new ClampedText(
        font, [primary] { return primary ? AppPalette::primaryText() : AppPalette::secondaryText(); }, maxLines,
        parent);
}

QFont nameFont() { return Fonts::rounded(14, 600); }
QFont lineFont() { return Fonts::rounded(12); }
QFont titleFont() { return Fonts::rounded(15, 700); }

// The natural width of a short one-line text, kept: the layout asks it of every checklist at every reload.
// Nothing when only laying the text out can tell how many lines it takes (breaks, end blanks, length).
enum class Face { name, line, title };
std::optional<qreal> advanceOf(const QString& text, Face face) {
    if (text.size() > 300 || text.contains(QLatin1Char('\n')) || (!text.isEmpty() && text.back().isSpace()))
        return std::nullopt;
    static QHash<QString, qreal> kept[3];
    QHash<QString, qreal>& widths = kept[int(face)];
    if (auto it = widths.constFind(text); it != widths.constEnd())
        return *it;
    if (widths.size() > 20000)
        widths.clear();
    static const QFontMetricsF metrics[3] = {QFontMetricsF(nameFont()), QFontMetricsF(lineFont()),
                                             QFontMetricsF(titleFont())};
    const qreal w = metrics[int(face)].horizontalAdvance(text);
    widths.insert(text, w);
    return w;
}
} // namespace

// ---- texts ----

QColor accentOf(const Checklist& c) { return displayColor(c.colorKey(), c.colorHex()); }

QString projectLine(const Checklist& c) {
    const ProjectPtr p = c.project();
    return p ? QStringLiteral("Projet : ") + p->name() : QStringLiteral("Globale");
}

QString cardTitle(const Checklist& c) { return c.name().trimmed().isEmpty() ? QStringLiteral("Sans titre") : c.name(); }

QString cardSubtitle(const Checklist& c) {
    const ProjectPtr p = c.project();
    return p ? p->name() : QStringLiteral("Checklist globale");
}

// ---- CountBadge ----

CountBadge::CountBadge(QWidget* parent) : QLabel(parent) {
    setFont(Fonts::rounded(12, 600));
    setContentsMargins(10, 6, 10, 6);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CountBadge::setCount(qint64 count, const QString& suffix) {
    const QString text = QString::number(count) + suffix;
    if (text == this->text())
        return;
    setText(text);
    setAccessibleName(text);
}

void CountBadge::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Paint::fillCapsule(p, QRectF(rect()), withOpacity(AppPalette::tintedBackground(), 0.7));
        Paint::strokeCapsule(p, QRectF(rect()), withOpacity(AppPalette::separator(), 0.35));
    }
    QPalette pal = palette();
    if (pal.color(QPalette::WindowText) != AppPalette::secondaryText()) {
        pal.setColor(QPalette::WindowText, AppPalette::secondaryText());
        setPalette(pal);
    }
    QLabel::paintEvent(event);
}

// ---- items ----

ChecklistRow::ChecklistRow(ThemeManager& theme, ChecklistPtr checklist, Callbacks callbacks, QWidget* parent)
    : ChecklistEntry(theme, std::move(checklist), std::move(callbacks), parent) {
    m_tile = new TileView(42, 12, 16, this);
    // Both wrap as long as they need (a stored name is cut a few hundred characters in).
    m_name = rowText(nameFont(), true, 0, this);
    m_project = rowText(lineFont(), false, 0, this);
    m_toDo = new CountBadge(this);
    m_done = new CountBadge(this);
    auto* row = Boxes::row(this, 12, QMargins(padding, padding, padding, padding));
    row->addWidget(m_tile);
    auto* texts = Boxes::column(nullptr, 3);
    texts->addStretch(1);
    texts->addWidget(m_name);
    texts->addWidget(m_project);
    texts->addStretch(1);
    row->addLayout(texts, 1);
    row->addWidget(m_toDo);
    row->addWidget(m_done);
    bind(m_object, m_cb);
}

void ChecklistRow::refresh() {
    const Checklist& c = *m_object;
    m_tile->setSymbol(c.iconName(), accentOf(c));
    m_name->setText(BoundedText::bounded(c.name()));
    m_project->setText(BoundedText::bounded(projectLine(c)));
    // Both spellings of the two columns, as the board's header counts them.
    const ChecklistLogic::StatusCounts counts = ChecklistLogic::listCounts(c);
    m_toDo->setCount(counts.toDo, QStringLiteral(" à faire"));
    m_done->setCount(counts.done, QStringLiteral(" terminée(s)"));
    // A blank name shows blank, but a screen reader still needs a name for the row.
    setAccessibleTexts(cardTitle(c), projectLine(c));
}

bool ChecklistRow::fitsOneLine(const Checklist& c, int width) {
    // The texts' room beside the tile and two counters of seven digits, the widest they can be here.
    static const int counters = [] {
        const QFontMetricsF fm(Fonts::rounded(12, 600));
        return int(std::ceil(fm.horizontalAdvance(QStringLiteral("0000000 à faire")) +
                             fm.horizontalAdvance(QStringLiteral("0000000 terminée(s)")))) +
            2 * (20 + 12 + 2);
    }();
    const qreal room = width - 2 * padding - 42 - 12 - counters - 1;
    const auto name = advanceOf(c.name(), Face::name);
    const ProjectPtr p = c.project();
    const auto line = p ? advanceOf(p->name(), Face::line) : std::optional<qreal>(0);
    // "Projet : " before the project's name.
    static const qreal prefix = QFontMetricsF(lineFont()).horizontalAdvance(QStringLiteral("Projet : ")) + 1;
    return name && line && *name <= room && *line + prefix <= room;
}

void ChecklistRow::mousePressEvent(QMouseEvent* e) {
    // The card's padding is not part of the click area.
    if (!rect().adjusted(padding, padding, -padding, -padding).contains(e->position().toPoint())) {
        e->ignore();
        return;
    }
    ChecklistEntry::mousePressEvent(e);
}

namespace {
// The card of a row with its outline at `outline` opacity, at `r`.
void paintRowCard(QPainter& p, const QRectF& r, qreal outline) {
    Paint::drawShadow(p, r, 18, AppPalette::cardShadow(), 10, QPointF(0, 4));
    Paint::fillRoundedRect(p, r, 18, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, r, 18, withOpacity(AppPalette::separator(), 0.6));
    Paint::strokeRoundedRect(p, r, 16, withOpacity(AppPalette::separator(), outline));
}
} // namespace

void ChecklistRow::paintShadow(QPainter& p, const QRect& rect) const {
    const qreal t = m_hover->progress();
    if (t > 0) {
        p.save();
        Paint::scaleAbout(p, QRectF(rect), m_hover->scale(1.01));
        paintRowCard(p, QRectF(rect), 0.25 + 0.2 * t);
        p.restore();
        return;
    }
    // At rest every row of a page looks the same: its card is drawn once per size and appearance and
    // then copied, which keeps a page turn cheap.
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    // The blurred edge of the shadow (blur 10) runs 16 past the card, moved 4 down.
    const int reach = 20;
    const QString key =
        QStringLiteral("checklist-row|%1x%2|%3|%4").arg(rect.width()).arg(rect.height()).arg(isDark()).arg(dpr);
    QPixmap pm;
    if (!QPixmapCache::find(key, &pm)) {
        const QSize logical = rect.size() + QSize(2 * reach, 2 * reach);
        pm = QPixmap(logical * dpr);
        pm.setDevicePixelRatio(dpr);
        pm.fill(Qt::transparent);
        QPainter pp(&pm);
        pp.setRenderHint(QPainter::Antialiasing);
        paintRowCard(pp, QRectF(reach, reach, rect.width(), rect.height()), 0.25);
        pp.end();
        QPixmapCache::insert(key, pm);
    }
    p.drawPixmap(rect.topLeft() - QPoint(reach, reach), pm);
}

ChecklistCardGrid::ChecklistCardGrid(ThemeManager& theme, ChecklistPtr checklist, Callbacks callbacks, QWidget* parent)
    : ChecklistEntry(theme, std::move(checklist), std::move(callbacks), parent) {
    m_tile = new TileView(42, 12, 16, this);
    m_title = rowText(titleFont(), true, 2, this);
    m_subtitle = rowText(lineFont(), false, 1, this);
    auto* col = Boxes::column(this, 10, QMargins(14, 14, 14, 14));
    auto* header = new QHBoxLayout;
    header->addWidget(m_tile);
    header->addStretch(1);
    col->addLayout(header);
    col->addWidget(m_title);
    col->addWidget(m_subtitle);
    col->addStretch(1);
    setMinimumHeight(120);
    bind(m_object, m_cb);
}

int ChecklistCardGrid::titleLines(const Checklist& c, int width) {
    const QString& name = c.name();
    if (name.isEmpty())
        return 1; // "Sans titre"
    // A name with blanks around it is laid out (a blank one shows "Sans titre").
    const auto w = name.isEmpty() || name.back().isSpace() || name.front().isSpace() ? std::optional<qreal>()
                                                                                     : advanceOf(name, Face::title);
    const int room = width - 2 * 14;
    if (!w || std::abs(*w - room) <= 1)
        return 0;
    return *w < room ? 1 : 2;
}

void ChecklistCardGrid::refresh() {
    const Checklist& c = *m_object;
    m_tile->setSymbol(c.iconName(), accentOf(c));
    m_title->setText(cardTitle(c));
    m_subtitle->setText(cardSubtitle(c));
    setAccessibleTexts(cardTitle(c), cardSubtitle(c));
}

void ChecklistCardGrid::mousePressEvent(QMouseEvent* e) {
    // The card's rounded outline is its hit shape: its corners outside it open nothing.
    if (!Paint::roundedRect(QRectF(rect()), 16).contains(e->position())) {
        e->ignore();
        return;
    }
    ChecklistEntry::mousePressEvent(e);
}

void ChecklistCardGrid::paintShadow(QPainter& p, const QRect& rect) const {
    const qreal t = m_hover->progress();
    const bool dark = isDark();
    const QRectF r(rect);
    p.save();
    Paint::drawShadowBetween(p, r, 16, {},
                             {withOpacity(accentOf(*m_object), dark ? 0.35 : 0.22), dark ? 18.0 : 14.0, QPointF(0, 6)},
                             t);
    Paint::scaleAbout(p, r, m_hover->scale(1.015));
    Paint::fillRoundedRect(p, r, 16, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, r, 16, withOpacity(AppPalette::separator(), 0.25 + 0.2 * t));
    p.restore();
}

} // namespace checklistsui
