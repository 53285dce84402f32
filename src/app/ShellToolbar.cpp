#include "app/ShellToolbar.h"

#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/Paint.h"
#include "ui/KeyboardFocus.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>

// ---------------------------------------------------------------------------------------------
ToolbarIconButton::ToolbarIconButton(const QString& label, const QString& symbol, qreal symbolPx,
                                     std::function<QColor()> color, QWidget* parent)
    : QToolButton(parent), m_symbol(symbol), m_px(symbolPx), m_color(std::move(color)) {
    setText(label);
    setAccessibleName(label);
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(34, 30);
}

void ToolbarIconButton::setSymbol(const QString& symbol) {
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    update();
}

void ToolbarIconButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    if (isDown())
        p.setOpacity(0.6);
    const QRectF r = QRectF(rect());
    const bool ring = KeyboardFocus::showsRing(this);
    const qreal d = qMin(r.width(), r.height());
    const QRectF circle(r.center() - QPointF(d / 2, d / 2), QSizeF(d, d));
    if (m_circle) {
        // As on every filled button, the ring lies round the fill, a gap away.
        const qreal in = ring ? Paint::focusRingReach : 0;
        Paint::fillEllipse(p, circle.adjusted(in, in, -in, -in), m_circle());
    }
    if (ring)
        Paint::focusRing(p, m_circle ? circle : r, m_circle ? d / 2 : 8);
    Symbols::paint(p, QRectF(r.center() - QPointF(m_px / 2, m_px / 2), QSizeF(m_px, m_px)), m_symbol, m_color(),
                   m_weight);
}

// ---------------------------------------------------------------------------------------------
ToolbarPill::ToolbarPill(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(8);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToolbarPill::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The thin material: a semi-opaque card fill with a faint edge.
    Paint::fillCapsule(p, QRectF(rect()), withOpacity(AppPalette::cardBackground(), 0.72));
    Paint::strokeCapsule(p, QRectF(rect()), withOpacity(AppPalette::separator(), 0.35), 1);
}

// ---------------------------------------------------------------------------------------------
ShellToolbar::ShellToolbar(ShellState* state, ThemeManager& theme, QWidget* parent)
    : QWidget(parent), m_state(state), m_themeManager(theme) {
    setFixedHeight(height);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 0, 10, 0);
    row->setSpacing(0);

    m_back = new ToolbarIconButton(
        QString(), QStringLiteral("chevron.left"), 14, [] { return AppPalette::secondaryText(); }, this);
    m_back->setSymbolWeight(Symbols::semibold);
    connect(m_back, &QToolButton::clicked, this, &ShellToolbar::goBack);
    row->addWidget(m_back);
    row->addStretch(1);

    m_pill = new ToolbarPill(this);
    auto* pillRow = static_cast<QHBoxLayout*>(m_pill->layout());
    m_create = new ToolbarIconButton(
        QStringLiteral("Nouveau projet"), QStringLiteral("plus"), 14, [] { return QColor(Qt::white); }, m_pill);
    m_create->setCircleColor([] { return AppPalette::accentFill(AppPalette::brandBlue()); });
    m_create->setSymbolWeight(Symbols::bold);
    connect(m_create, &QToolButton::clicked, this, &ShellToolbar::create);
    pillRow->addWidget(m_create);

    m_theme = new ToolbarIconButton(
        QStringLiteral("Thème"), QString(), 14, [] { return AppPalette::secondaryText(); }, m_pill);
    m_theme->setToolTip(QStringLiteral("Changer le thème"));
    m_theme->setSymbolWeight(Symbols::semibold);
    connect(m_theme, &QToolButton::clicked, this, &ShellToolbar::cycleTheme);
    pillRow->addWidget(m_theme);

    m_account = new ToolbarIconButton(
        QStringLiteral("Compte"), QStringLiteral("person.crop.circle"), 15, [] { return AppPalette::secondaryText(); },
        m_pill);
    m_account->setToolTip(QStringLiteral("Compte"));
    m_account->setSymbolWeight(Symbols::semibold);
    m_accountMenu = new QMenu(m_account);
    // Both entries are placeholders: enabled, and choosing them changes nothing.
    m_accountMenu->addAction(QStringLiteral("Profil (bientôt)"));
    m_accountMenu->addSeparator();
    m_accountMenu->addAction(QStringLiteral("Déconnexion (bientôt)"));
    m_account->setMenu(m_accountMenu);
    m_account->setPopupMode(QToolButton::InstantPopup);
    pillRow->addWidget(m_account);
    row->addWidget(m_pill);

    connect(m_state, &ShellState::changed, this, &ShellToolbar::sync);
    connect(&m_themeManager, &ThemeManager::themeChanged, this, &ShellToolbar::sync);
    connect(&m_themeManager, &ThemeManager::appearanceChanged, this, [this] {
        for (QWidget* w : findChildren<QWidget*>())
            w->update();
    });
    sync();
}

QString ShellToolbar::backHelp(const ShellState& s) {
    switch (s.selection()) {
    case SidebarItem::dashboard: return s.openedDoc() ? QStringLiteral("Retour au tableau de bord") : QString();
    case SidebarItem::projects:
        return s.selectedProjectForDocuments() ? QStringLiteral("Retour aux projets") : QString();
    case SidebarItem::checklists:
        return s.selectedChecklistForDetail() ? QStringLiteral("Retour aux checklists") : QString();
    case SidebarItem::settings: return {};
    }
    return {};
}

QString ShellToolbar::themeSymbol(int theme) {
    switch (AppTheme(theme)) {
    case AppTheme::system: return QStringLiteral("circle.lefthalf.filled");
    case AppTheme::light: return QStringLiteral("sun.max.fill");
    case AppTheme::dark: return QStringLiteral("moon.stars.fill");
    }
    return {};
}

void ShellToolbar::sync() {
    const QString help = backHelp(*m_state);
    m_back->setToolTip(help);
    m_back->setText(help);
    m_back->setAccessibleName(help);
    // The space stays reserved so the pill does not move.
    QSizePolicy sp = m_back->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    m_back->setSizePolicy(sp);
    m_back->setVisible(!help.isEmpty());

    const SidebarItem sel = m_state->selection();
    m_create->setVisible(sel != SidebarItem::settings);
    m_create->setToolTip(sel == SidebarItem::checklists ? QStringLiteral("Nouvelle checklist")
                                                        : QStringLiteral("Nouveau projet"));
    m_pill->adjustSize();

    m_theme->setSymbol(themeSymbol(int(m_themeManager.theme())));
}

void ShellToolbar::goBack() {
    ShellState::Batch batch(*m_state);
    switch (m_state->selection()) {
    case SidebarItem::dashboard: m_state->setOpenedDoc(nullptr); break;
    case SidebarItem::projects:
        m_state->setOpenedDoc(nullptr);
        m_state->setSelectedProjectForDocuments(nullptr);
        break;
    case SidebarItem::checklists: m_state->setSelectedChecklistForDetail(nullptr); break;
    case SidebarItem::settings: break;
    }
}

void ShellToolbar::create() {
    const SidebarItem sel = m_state->selection();
    if (sel == SidebarItem::projects && m_state->selectedProjectForDocuments())
        m_state->setPresentingNewDoc(true);
    else if (sel == SidebarItem::checklists)
        m_state->setPresentingNewChecklist(true);
    else
        m_state->setPresentingNewProject(true);
}

void ShellToolbar::cycleTheme() { m_themeManager.setTheme(nextAppTheme(m_themeManager.theme())); }
