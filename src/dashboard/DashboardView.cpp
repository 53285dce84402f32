#include "dashboard/DashboardView.h"

#include "core/model/UserProfile.h"
#include "dashboard/DashboardData.h"
#include "dashboard/DashboardLogic.h"
#include "dashboard/DashboardWidgets.h"
#include "prefs/Preferences.h"
#include "projects/DocStatusBadge.h"
#include "ui/lists/AdaptiveGridLayout.h"
#include "ui/lists/ListItem.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/KeyboardFocus.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include "ui/FlowScrollArea.h"
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

using namespace dashboard;

namespace {

ColorFn primary() {
    return [] { return AppPalette::primaryText(); };
}
ColorFn secondary() {
    return [] { return AppPalette::secondaryText(); };
}

QColor accentOf(DocStatus status) {
    switch (status) {
    case DocStatus::done: return standardColor(StandardColor::green);
    case DocStatus::needsChanges: return standardColor(StandardColor::orange);
    case DocStatus::inProgress: break;
    }
    return AppPalette::brandBlue();
}

// The count of the panel's header: a capsule behind the number.
class CountCapsule : public DashLabel {
public:
    explicit CountCapsule(QWidget* parent) : DashLabel({}, Fonts::rounded(13, 600), secondary(), parent) {
        setContentsMargins(10, 6, 10, 6);
        setAlignment(Qt::AlignCenter);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        Paint::fillCapsule(p, r, withOpacity(AppPalette::tintedBackground(), 0.7));
        Paint::strokeCapsule(p, r, withOpacity(AppPalette::separator(), 0.35));
        p.end();
        DashLabel::paintEvent(event);
    }
};

// The panel's list: the screen background behind the rows, clipped to rounded corners.
class PanelList : public QWidget {
public:
    explicit PanelList(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Paint::fillRoundedRect(p, QRectF(rect()), 12, AppPalette::screenBackground());
    }
    void resizeEvent(QResizeEvent*) override {
        // The rows are plain rectangles; the rounded corners cut them.
        setMask(QRegion(Paint::roundedRect(QRectF(rect()), 12).toFillPolygon().toPolygon()));
    }
};

// The "Modules" menu's button: the sliders symbol on a tinted rounded square.
class ModulesButton : public QToolButton {
public:
    explicit ModulesButton(QWidget* parent) : QToolButton(parent) {
        setPopupMode(QToolButton::InstantPopup);
        setFixedSize(14 + 16, 14 + 16);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(QStringLiteral("Modules"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        Paint::fillRoundedRect(p, r, 10, withOpacity(AppPalette::tintedBackground(), 0.55));
        Paint::strokeRoundedRect(p, r, 10, withOpacity(AppPalette::separator(), 0.3));
        Symbols::paint(p, QRectF(8, 8, 14, 14), QStringLiteral("slider.horizontal.3"), AppPalette::secondaryText());
        if (KeyboardFocus::showsRing(this))
            Paint::focusRing(p, r, 10);
    }
};

// The modules side by side while two columns of 320 fit, one above the other otherwise, so that a narrow
// window never scrolls sideways. Each is as tall as its own content and sits at the top of its row: a
// collapsed note is no taller than its header, whatever the checklists beside it. The modules keep their
// shadow room (AppCard::shadowMargins) inside their frames; the gaps are measured between visible edges.
class ModulesLayout : public QLayout {
public:
    static constexpr int minColumn = 320;
    static constexpr int gap = 14;

    ~ModulesLayout() override {
        while (QLayoutItem* item = takeAt(0))
            delete item;
    }
    void addItem(QLayoutItem* item) override { m_items.append(item); }
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override {
        return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize sizeHint() const override {
        const QMargins m = AppCard::shadowMargins();
        const int w = 2 * minColumn + gap + m.left() + m.right();
        return {w, heightForWidth(w)};
    }
    QSize minimumSize() const override {
        int w = 0;
        for (QLayoutItem* item : m_items)
            w = std::max(w, item->minimumSize().width());
        return {w, 0};
    }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        arrange(rect, true);
    }
    static bool sideBySide(int width, int shown) {
        const QMargins m = AppCard::shadowMargins();
        return shown > 1 && width - m.left() - m.right() >= 2 * minColumn + gap;
    }

private:
    // Places the shown modules in `rect` (when `apply`); returns the height they take.
    int arrange(const QRect& rect, bool apply) const {
        QList<QLayoutItem*> shown;
        for (QLayoutItem* item : m_items)
            if (!item->isEmpty())
                shown << item;
        const QMargins m = AppCard::shadowMargins();
        auto heightAt = [](QLayoutItem* item, int w) {
            const int h = item->hasHeightForWidth() ? item->heightForWidth(w) : item->sizeHint().height();
            return std::max(h, item->minimumSize().height());
        };
        if (sideBySide(rect.width(), int(shown.size()))) {
            const int column = (rect.width() - m.left() - m.right() - gap) / 2;
            const int w = column + m.left() + m.right();
            int height = 0;
            for (int i = 0; i < shown.size(); ++i) {
                const int h = heightAt(shown[i], w);
                if (apply)
                    shown[i]->setGeometry(QRect(rect.x() + i * (column + gap), rect.y(), w, h));
                height = std::max(height, h);
            }
            return height;
        }
        int y = 0;
        for (int i = 0; i < shown.size(); ++i) {
            const int h = heightAt(shown[i], rect.width());
            if (apply)
                shown[i]->setGeometry(QRect(rect.x(), rect.y() + y, rect.width(), h));
            y += h;
            if (i + 1 < shown.size())
                y += gap - m.top() - m.bottom();
        }
        return y;
    }

    QList<QLayoutItem*> m_items;
};

} // namespace

DashboardView::DashboardView(const Services& services, std::function<void()> onCreateProject,
                             std::function<void()> onOpenProjects, std::function<void(const ProjectPtr&)> onOpenProject,
                             std::function<void(const DocPtr&)> onOpenDoc, std::function<void()> onOpenChecklists,
                             std::function<void(const ChecklistPtr&)> onOpenChecklist, DashboardData* readAhead,
                             QWidget* parent)
    : QWidget(parent),
      m_services(services),
      m_onCreateProject(std::move(onCreateProject)),
      m_onOpenProjects(std::move(onOpenProjects)),
      m_onOpenProject(std::move(onOpenProject)),
      m_onOpenDoc(std::move(onOpenDoc)),
      m_onOpenChecklists(std::move(onOpenChecklists)),
      m_onOpenChecklist(std::move(onOpenChecklist)),
      m_data(readAhead ? readAhead : new DashboardData(services.context, this)),
      m_note(services.prefs) {
    m_data->setParent(this);
    installAccessibility();
    setAccessibleName(QStringLiteral("Tableau de bord"));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new FlowScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    // Everything fits the narrowest screen; only a screen narrower still (never in the window) scrolls sideways.
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(m_scroll);

    m_content = new lists::ShadowHost;
    m_content->setAutoFillBackground(false);
    m_main = new QVBoxLayout(m_content);
    // Cards keep room for their shadows inside their own frames (AppCard::shadowMargins); the other
    // blocks get the same room from their layouts, so that every visible edge sits 24 from the sides
    // and the visible gaps between blocks are 18.
    const QMargins shadow = AppCard::shadowMargins();
    m_main->setContentsMargins(24 - shadow.left(), 24 - shadow.top(), 24 - shadow.right(), 24 - shadow.bottom());
    m_main->setSpacing(0);
    m_main->addWidget(buildHeader());
    m_main->addLayout(buildRecentProjects());
    m_main->addLayout(buildModules());
    m_main->addStretch(1);
    m_scroll->setWidget(m_content);

    connect(m_data, &DashboardData::docsChanged, this, [this] {
        refreshCounts();
        refreshPanel();
    });
    connect(m_data, &DashboardData::projectsChanged, this, [this] {
        refreshProjects();
        // Project names show on the document rows and the checklist cards.
        for (auto* row : m_rows)
            row->refresh();
        for (auto* card : m_checklistCards)
            card->refresh();
    });
    connect(m_data, &DashboardData::checklistsChanged, this, &DashboardView::refreshChecklists);
    connect(&services.profile, &UserPreferencesStore::profileChanged, this, &DashboardView::refreshHeader);
    connect(&services.prefs, &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String(showQuickNoteKey) || key == QLatin1String(showChecklistKey))
            syncModules();
    });
    connect(&services.theme, &ThemeManager::appearanceChanged, this, &DashboardView::refreshAppearance);
    // Quitting with the note open: its editor writes out what it holds.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &DashboardView::flushQuickNote);

    // Loaded on every showing of the dashboard, whether the module is on or not.
    m_note.load();
    refreshHeader();
    refreshCounts();
    refreshProjects();
    syncModules();
}

DashboardView::~DashboardView() {
    flushQuickNote();
    // The editor's bindings point at the note: the widgets go while the note still exists.
    delete m_scroll;
}

// ---------------------------------------------------------------------------------------------
QWidget* DashboardView::buildHeader() {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 6, 0, 6);
    row->setSpacing(16);
    m_avatar = new DashboardAvatarLarge(std::nullopt, 104, box);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    // At most two lines, cut anywhere inside a word too long for a line: a long name neither widens
    // the screen nor pushes the counters' row down.
    m_greeting = new lists::ClampedText(Fonts::rounded(22, 600), primary(), 2, box);
    auto* subtitle = new DashLabel(QStringLiteral("Retrouvez vos projets récents et un aperçu de votre activité."),
                                   Fonts::rounded(13), secondary(), box);
    subtitle->setWordWrap(true);
    texts->addStretch(1);
    texts->addWidget(m_greeting);
    texts->addWidget(subtitle);
    texts->addStretch(1);
    auto* orbs = new QHBoxLayout;
    // The orbs keep room for their pulse inside their own frames: that room counts towards the spacing.
    orbs->setSpacing(0);
    for (DocStatus status : counterOrder()) {
        auto* orb = new MetricOrb(statusTitle(status), 0, accentOf(status), false, box);
        connect(orb, &QAbstractButton::clicked, this, [this, status] { toggleExpandedStatus(status); });
        orbs->addWidget(orb);
        m_orbs.push_back(orb);
    }
    row->addWidget(m_avatar, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    row->addLayout(orbs);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return new AppCard(box);
}

QLayout* DashboardView::buildRecentProjects() {
    auto* col = new QVBoxLayout;
    const QMargins shadow = AppCard::shadowMargins();
    col->setContentsMargins(shadow.left(), 18 - shadow.bottom(), shadow.right(), 0);
    col->setSpacing(12);
    col->addWidget(new SectionHeader(QStringLiteral("Projets récents"), nullptr, m_services.theme, m_content));
    m_projectsGrid = new lists::AdaptiveGridLayout(220, 260, 14);
    m_projectsMore = new DashboardSeeMoreCard(
        QStringLiteral("Voir plus"), QStringLiteral("eye"), [this] { m_onOpenProjects(); }, m_content);
    m_projectsGrid->addWidget(m_projectsMore);
    col->addLayout(m_projectsGrid);
    return col;
}

QLayout* DashboardView::buildModules() {
    auto* col = new QVBoxLayout;
    col->setSpacing(12);
    m_modulesButton = new ModulesButton(m_content);
    m_modulesMenu = new QMenu(m_modulesButton);
    m_quickNoteAction = m_modulesMenu->addAction(QStringLiteral("Note rapide"));
    m_quickNoteAction->setCheckable(true);
    m_checklistAction = m_modulesMenu->addAction(QStringLiteral("Checklist"));
    m_checklistAction->setCheckable(true);
    connect(m_quickNoteAction, &QAction::toggled, this, &DashboardView::setShowQuickNote);
    connect(m_checklistAction, &QAction::toggled, this, &DashboardView::setShowChecklist);
    m_modulesButton->setMenu(m_modulesMenu);
    const QMargins shadow = AppCard::shadowMargins();
    col->setContentsMargins(0, 18, 0, 0);
    // The modules keep shadow room above them: the visible gap under the header stays 12.
    col->setSpacing(12 - shadow.top());
    auto* header = new QHBoxLayout;
    header->setContentsMargins(shadow.left(), 0, shadow.right(), 0);
    header->addWidget(new SectionHeader(QStringLiteral("Modules"), m_modulesButton, m_services.theme, m_content));
    col->addLayout(header);
    m_modulesGrid = new ModulesLayout;
    col->addLayout(m_modulesGrid);
    return col;
}

QWidget* DashboardView::buildChecklistsModule() {
    auto* module = new lists::ShadowHost;
    const QMargins m = AppCard::shadowMargins();
    auto* col = new QVBoxLayout(module);
    // Room for the cards' hover shadows, given back to the grid around it.
    col->setContentsMargins(m);
    col->setSpacing(12);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(
        new DashLabel(QStringLiteral("Checklists récentes"), Fonts::rounded(14, 600), primary(), module));
    titleRow->addStretch(1);
    col->addLayout(titleRow);
    // The title row stands at the stack's leading edge, whatever the centred grid below does.
    m_checklistsGrid = new lists::AdaptiveGridLayout(220, 260, 14);
    m_checklistsMore = new DashboardSeeMoreCard(
        QStringLiteral("Voir plus"), QStringLiteral("eye"), [this] { m_onOpenChecklists(); }, module);
    m_checklistsGrid->addWidget(m_checklistsMore);
    col->addLayout(m_checklistsGrid);
    col->addStretch(1);
    m_checklistCards.clear();
    return module;
}

QWidget* DashboardView::buildQuickNoteEditor() {
    auto* box = new QWidget;
    auto* col = new QVBoxLayout(box);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(10);
    auto* hint = new DashLabel(QStringLiteral("Écrivez une note pour vous aider à reprendre rapidement."),
                               Fonts::rounded(12), secondary(), box);
    hint->setWordWrap(true);
    col->addWidget(hint);
    TextBinding content{[this] { return m_note.plain(); }, [this](const QString& v) { m_note.setPlain(v); }};
    RtfBinding rtf{[this] { return m_note.rtf(); }, [this](const std::optional<QByteArray>& v) { m_note.setRtf(v); }};
    // Typed changes reach the note through the bindings, which write them after a pause.
    m_editor = new RichTextBlockEditor(
        {m_services.theme, m_services.spelling}, content, rtf, m_forceSaveQuickNoteRTF, {}, [] {}, box);
    // The whole editor, its toolbar included while shown: its own height follows its text.
    m_editor->setMinimumTotalHeight(160);
    // The field is named by the hint above it.
    m_editor->textView()->setAccessibleName(hint->text());
    col->addWidget(m_editor);
    return box;
}

// ---------------------------------------------------------------------------------------------
bool DashboardView::showQuickNote() const {
    return m_services.prefs.value(QString::fromLatin1(showQuickNoteKey), true).toBool();
}

bool DashboardView::showChecklist() const {
    return m_services.prefs.value(QString::fromLatin1(showChecklistKey), true).toBool();
}

void DashboardView::setShowQuickNote(bool on) {
    if (on != showQuickNote())
        m_services.prefs.setValue(QString::fromLatin1(showQuickNoteKey), on);
}

void DashboardView::setShowChecklist(bool on) {
    if (on != showChecklist())
        m_services.prefs.setValue(QString::fromLatin1(showChecklistKey), on);
}

void DashboardView::syncModules() {
    const bool note = showQuickNote();
    const bool checklists = showChecklist();
    {
        const QSignalBlocker b1(m_quickNoteAction), b2(m_checklistAction);
        m_quickNoteAction->setChecked(note);
        m_checklistAction->setChecked(checklists);
    }
    if (!note && m_accordion) {
        flushQuickNote();
        m_modulesGrid->removeWidget(m_accordion);
        delete m_accordion.data();
    } else if (note && !m_accordion) {
        m_accordion = new DashboardAccordion(
            QStringLiteral("Note rapide"), QStringLiteral("note.text"), [this] { return buildQuickNoteEditor(); },
            false, m_content);
        connect(m_accordion, &DashboardAccordion::aboutToCollapse, this, &DashboardView::flushQuickNote);
    }
    if (!checklists && m_checklistsModule) {
        m_modulesGrid->removeWidget(m_checklistsModule);
        delete m_checklistsModule.data();
        m_checklistCards.clear();
        m_checklistsGrid = nullptr;
        m_checklistsMore = nullptr;
    } else if (checklists && !m_checklistsModule) {
        m_checklistsModule = buildChecklistsModule();
        m_checklistsModule->setParent(m_content);
        refreshChecklists();
    }
    // Shown modules fill the cells from the left, in order.
    QList<QWidget*> shown;
    if (m_accordion)
        shown << m_accordion;
    if (m_checklistsModule)
        shown << m_checklistsModule;
    for (QWidget* w : shown)
        m_modulesGrid->removeWidget(w);
    for (QWidget* w : shown) {
        m_modulesGrid->addWidget(w);
        w->show();
    }
}

bool DashboardView::modulesSideBySide() const {
    const int shown = (m_accordion ? 1 : 0) + (m_checklistsModule ? 1 : 0);
    return ModulesLayout::sideBySide(m_modulesGrid->geometry().width(), shown);
}

// ---------------------------------------------------------------------------------------------
void DashboardView::flushQuickNote() {
    if (!m_editor) {
        m_note.save();
        return;
    }
    // The editor leaving the screen writes out only what the person edited (RTF nobody touched keeps
    // its bytes), and the note is stored, the empty text when there is none.
    m_note.holdWrites(true);
    m_forceSaveQuickNoteRTF = !m_forceSaveQuickNoteRTF;
    m_editor->setForceSaveRTF(m_forceSaveQuickNoteRTF);
    m_note.holdWrites(false);
    // Written now rather than on a later turn: the editor and the dashboard may be gone by then.
    m_note.store();
}

void DashboardView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    flushQuickNote();
}

void DashboardView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::screenBackground());
}

void DashboardView::refreshAppearance() {
    for (auto* label : findChildren<DashLabel*>())
        label->refreshColor();
    for (size_t i = 0; i < m_orbs.size(); ++i)
        m_orbs[i]->setAccent(accentOf(counterOrder()[qsizetype(i)]));
    update();
    for (auto* w : findChildren<QWidget*>())
        w->update();
}

// ---------------------------------------------------------------------------------------------
void DashboardView::refreshHeader() {
    const UserProfile& profile = m_services.profile.profile();
    m_greeting->setText(greetingTitle(profile));
    m_avatar->setAvatarData(profile.avatarData);
}

QString DashboardView::greetingText() const { return m_greeting->text(); }

MetricOrb* DashboardView::orb(DocStatus status) const {
    const qsizetype i = counterOrder().indexOf(status);
    return i >= 0 ? m_orbs[size_t(i)] : nullptr;
}

void DashboardView::refreshCounts() {
    for (size_t i = 0; i < m_orbs.size(); ++i) {
        const DocStatus s = counterOrder()[qsizetype(i)];
        m_orbs[i]->setValue(m_data->count(s));
        m_orbs[i]->setSelected(m_expandedStatus == s);
    }
}

void DashboardView::toggleExpandedStatus(DocStatus status) {
    if (m_expandedStatus == status)
        m_expandedStatus.reset();
    else
        m_expandedStatus = status;
    refreshCounts();
    refreshPanel();
}

void DashboardView::refreshPanel() {
    if (!m_expandedStatus) {
        // The panel goes now; its picture leaves in its place.
        if (m_panelReveal)
            m_panelReveal->leave();
        m_panelBox = nullptr;
        m_panelList = nullptr;
        m_rows.clear();
        m_rowDividers.clear();
        return;
    }
    const DocStatus status = *m_expandedStatus;
    if (!m_panel) {
        m_panelBox = new QWidget;
        m_panelBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        auto* col = new QVBoxLayout(m_panelBox);
        col->setContentsMargins(0, 0, 0, 0);
        col->setSpacing(12);
        auto* header = new QHBoxLayout;
        header->setSpacing(10);
        m_panelBadge = makeStatusBadge(status, m_panelBox);
        m_panelTitle = new DashLabel({}, Fonts::rounded(14, 600), primary(), m_panelBox);
        m_panelCount = new CountCapsule(m_panelBox);
        header->addWidget(m_panelBadge);
        header->addWidget(m_panelTitle);
        header->addStretch(1);
        header->addWidget(m_panelCount);
        col->addLayout(header);
        m_panelEmpty = new DashLabel(QStringLiteral("Aucun document dans ce statut."), Fonts::rounded(13), secondary(),
                                     m_panelBox);
        m_panelEmpty->setContentsMargins(0, 4, 0, 0);
        col->addWidget(m_panelEmpty);
        m_panelList = new PanelList(m_panelBox);
        auto* list = new QVBoxLayout(m_panelList);
        list->setContentsMargins(0, 0, 0, 0);
        list->setSpacing(0);
        col->addWidget(m_panelList);
        m_panel = new AppCard(m_panelBox);
        // Fades and moves in from the top edge over 0.18 s.
        m_panelReveal = new dashboard::Reveal(m_panel);
        m_main->insertWidget(1, m_panelReveal);
    }
    setBadgeStatus(m_panelBadge, status);
    m_panelTitle->setText(panelTitle(status));
    const int total = m_data->count(status);
    m_panelCount->setText(QString::number(total));
    const std::vector<DocPtr> docs = m_data->docs(status, panelLimit);
    m_panelEmpty->setVisible(docs.empty());
    m_panelList->setVisible(!docs.empty());
    auto* list = static_cast<QVBoxLayout*>(m_panelList->layout());
    // Rows are reused in place; only a longer list makes new ones.
    while (m_rows.size() < docs.size()) {
        auto* row = new DocRowLine(nullptr, {}, m_panelList);
        auto* divider = new lists::Divider([] { return withOpacity(AppPalette::separator(), 0.6); }, m_panelList);
        list->addWidget(row);
        list->addWidget(divider);
        m_rows.push_back(row);
        m_rowDividers.push_back(divider);
    }
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const bool used = i < docs.size();
        if (used) {
            const DocPtr doc = docs[i];
            m_rows[i]->setDoc(doc, [this, doc] { m_onOpenDoc(doc); });
        }
        m_rows[i]->setVisible(used);
        m_rowDividers[i]->setVisible(used);
    }
}

QString DashboardView::panelTitleText() const { return m_panel ? m_panelTitle->text() : QString(); }
QString DashboardView::panelCountText() const { return m_panel ? m_panelCount->text() : QString(); }
QString DashboardView::panelEmptyText() const {
    return m_panel && !m_panelEmpty->isHidden() ? m_panelEmpty->text() : QString();
}

std::vector<DocRowLine*> DashboardView::panelRows() const {
    std::vector<DocRowLine*> out;
    for (auto* row : m_rows)
        if (!row->isHidden())
            out.push_back(row);
    return out;
}

void DashboardView::refreshProjects() {
    const std::vector<ProjectPtr> projects = m_data->recentProjects(recentLimit);
    while (m_projectCards.size() < projects.size()) {
        auto* card = new DashboardProjectCard(nullptr, {}, m_services.theme, m_content);
        // Cards go before the see-more card, which stays last.
        m_projectsGrid->removeWidget(m_projectsMore);
        m_projectsGrid->addWidget(card);
        m_projectsGrid->addWidget(m_projectsMore);
        m_projectCards.push_back(card);
    }
    for (size_t i = 0; i < m_projectCards.size(); ++i) {
        const bool used = i < projects.size();
        if (used) {
            const ProjectPtr project = projects[i];
            m_projectCards[i]->setProject(project, [this, project] { m_onOpenProject(project); });
        }
        m_projectCards[i]->setVisible(used);
    }
    m_content->update();
}

std::vector<DashboardProjectCard*> DashboardView::projectCards() const {
    std::vector<DashboardProjectCard*> out;
    for (auto* card : m_projectCards)
        if (!card->isHidden())
            out.push_back(card);
    return out;
}

void DashboardView::refreshChecklists() {
    if (!m_checklistsModule)
        return;
    const std::vector<ChecklistPtr> checklists = m_data->recentChecklists(recentLimit);
    while (m_checklistCards.size() < checklists.size()) {
        auto* card = new DashboardChecklistCard(nullptr, {}, m_services.theme, m_checklistsModule);
        m_checklistsGrid->removeWidget(m_checklistsMore);
        m_checklistsGrid->addWidget(card);
        m_checklistsGrid->addWidget(m_checklistsMore);
        m_checklistCards.push_back(card);
    }
    for (size_t i = 0; i < m_checklistCards.size(); ++i) {
        const bool used = i < checklists.size();
        if (used) {
            const ChecklistPtr checklist = checklists[i];
            m_checklistCards[i]->setChecklist(checklist, [this, checklist] { m_onOpenChecklist(checklist); });
        }
        m_checklistCards[i]->setVisible(used);
    }
    m_checklistsModule->update();
}

std::vector<DashboardChecklistCard*> DashboardView::checklistCards() const {
    std::vector<DashboardChecklistCard*> out;
    for (auto* card : m_checklistCards)
        if (!card->isHidden())
            out.push_back(card);
    return out;
}
