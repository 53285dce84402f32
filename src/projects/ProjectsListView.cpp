#include "projects/ProjectsListView.h"

#include "projects/EditProjectSheet.h"
#include "projects/Items.h"
#include "projects/ListLogic.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "ui/lists/Paging.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QTimerEvent>
#include <QVBoxLayout>

using namespace projectsui;

namespace {

// The empty state's folder tile: 64 × 64, corner 18, card fill and a light border.
class EmptyTile : public QWidget {
public:
    EmptyTile() { setFixedSize(64, 64); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Paint::fillRoundedRect(p, QRectF(rect()), 18, AppPalette::cardBackground());
        Paint::strokeRoundedRect(p, QRectF(rect()), 18, withOpacity(AppPalette::separator(), 0.35));
        Symbols::paint(p, QRectF(21, 21, 22, 22), QStringLiteral("folder"), AppPalette::secondaryText());
    }
};

// "Créer un projet": white 13 semibold on the blue of every primary button, padding 14 × 10, corner 12.
class CreateProjectButton : public QAbstractButton {
public:
    CreateProjectButton() {
        setText(QStringLiteral("Créer un projet"));
        setCursor(Qt::PointingHandCursor);
        setFixedSize(sizeHint());
    }
    QSize sizeHint() const override {
        const QFontMetrics fm(Fonts::rounded(13, 600));
        return {fm.horizontalAdvance(text()) + 28, fm.height() + 20};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor fill = AppPalette::accentFill(AppPalette::brandBlue());
        if (isDown())
            fill = fill.darker(112);
        Paint::fillRoundedRect(p, QRectF(rect()), 12, fill);
        p.setFont(Fonts::rounded(13, 600));
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, text());
    }
};

lists::PagedListScreen::Options options() {
    lists::PagedListScreen::Options o;
    o.searchPlaceholder = QStringLiteral("Rechercher un projet…");
    o.background = [] { return AppPalette::screenBackground(); };
    // The items stand 22 from the sides and 8 below the search, as before; part of that room lies inside
    // the scrolled page, so that a hovered card's growth and shadow are not cut by the page's edges.
    const int room = 12;
    o.contentMargins = {22 - room, 0, 22 - room, 0};
    o.list.cardRadius = 16;
    o.list.dividers = true;
    o.list.margins = {room, 8, room, 0};
    o.list.cardInset = o.list.margins;
    o.grid = {220, 260, 14, {room, 8, room, 6}};
    return o;
}

} // namespace

ProjectsListView::ProjectsListView(const Services& services, std::function<void()> onCreateProject, int refreshToken,
                                   std::function<void(const ProjectPtr&)> onOpenProject, QWidget* parent)
    : PagedList(services.prefs, services.theme, options(), parent),
      m_services(services),
      m_edits(services.context),
      m_onCreateProject(std::move(onCreateProject)),
      m_refreshToken(refreshToken) {
    setOpenHandler(std::move(onOpenProject));
    // A project added, removed or edited since the fetch: the next keystroke fetches again, and no
    // remembered search stands for the projects as they are now.
    connect(&services.context, &ModelContext::entityChanged, this, [this](int entity) {
        if (entity == Project::entityInfo().index) {
            m_loaded.reset();
            m_memo.clear();
        }
    });
    // Header: title block and layout switch, then the search field.
    auto* header = new QVBoxLayout;
    header->setContentsMargins(22, 18, 22, 14);
    header->setSpacing(10);
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    auto* title = new ClampedText(
        Fonts::rounded(28, 700), [] { return AppPalette::primaryText(); }, 0, this);
    title->setText(QStringLiteral("Projets"));
    auto* subtitle = new ClampedText(
        Fonts::rounded(13), [] { return AppPalette::secondaryText(); }, 0, this);
    subtitle->setText(QStringLiteral("Retrouvez et organisez votre documentation."));
    titles->addWidget(title);
    titles->addWidget(subtitle);
    top->addLayout(titles, 1);
    top->addWidget(layoutSwitch(), 0, Qt::AlignTop);
    auto* searchRow = new QHBoxLayout;
    searchRow->setSpacing(10);
    searchRow->addWidget(searchField(), 1);
    searchRow->addStretch(0);
    header->addLayout(top);
    header->addLayout(searchRow);
    rootLayout()->addLayout(header);

    // A 30-high blank above the tile, and 6 more above the button.
    const lists::EmptyState::Style style{.titleFont = Fonts::rounded(16, 700),
                                         .messageFont = Fonts::rounded(13),
                                         .margins = {22, 10, 22, 0},
                                         .spacing = 10,
                                         .topSpace = 30,
                                         .buttonTopGap = 6};
    auto* create = new CreateProjectButton;
    setEmptyState(new lists::EmptyState(style,
                                        {QStringLiteral("Aucun projet pour l’instant"),
                                         QStringLiteral("Crée ton premier projet pour organiser tes documents."),
                                         QStringLiteral("Aucun projet ne correspond à votre recherche"),
                                         QStringLiteral("Essaie un autre terme, ou crée un nouveau projet.")},
                                        new EmptyTile, create));
    connect(create, &QAbstractButton::clicked, this, [this] {
        if (m_onCreateProject)
            m_onCreateProject();
    });
    finishLayout();
}

ProjectsListView::~ProjectsListView() = default;

void ProjectsListView::setRefreshToken(int token) {
    if (token == m_refreshToken)
        return;
    m_refreshToken = token;
    if (hasAppeared())
        reload(true);
}

std::vector<ProjectPtr> ProjectsListView::matches(const QString& searchText) {
    // A keystroke filters the projects already loaded; every other reload (appear, refresh, page,
    // layout, delete, edit), and the first keystroke after a change, fetches and sorts them again.
    if (!m_loaded || searchText == m_loadedSearch) {
        m_loaded = listlogic::newestFirst(m_services.context.fetch<Project>());
        m_memo.clear();
        // Folding 10,000 names takes some 10 ms: done in short turns once the page is shown, not at the
        // first key.
        m_prepared = 0;
        m_prepareTimer.start(0, this);
    }
    m_loadedSearch = searchText;
    const QString query = lists::trimmed(searchText).toCaseFolded();
    if (query.isEmpty())
        return *m_loaded;
    const std::vector<size_t>* positions = m_memo.find(query);
    if (!positions) {
        // Typing on can only match among the matches of a query it contains.
        std::vector<size_t> found = m_searchCache.searchPositions(*m_loaded, query, m_memo.narrowest(query));
        m_memo.remember(query, std::move(found));
        positions = m_memo.find(query);
    }
    std::vector<ProjectPtr> found;
    found.reserve(positions->size());
    for (size_t i : *positions)
        found.push_back((*m_loaded)[i]);
    return found;
}

void ProjectsListView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_prepareTimer.timerId())
        return PagedList::timerEvent(event);
    if (m_loaded)
        m_prepared = m_searchCache.prepare(*m_loaded, m_prepared, 500);
    if (!m_loaded || m_prepared >= m_loaded->size())
        m_prepareTimer.stop();
}

lists::ListItem* ProjectsListView::itemFor(bool grid, const ProjectPtr& p, QWidget* host) {
    if (grid)
        return new ProjectCard(m_services.theme, p, callbacksFor(p), host);
    return new ProjectRow(m_services.theme, p, callbacksFor(p), host);
}

void ProjectsListView::rebindItem(lists::ListItem* item, const ProjectPtr& p) {
    static_cast<ProjectItem*>(item)->bind(p, callbacksFor(p));
}

void ProjectsListView::editProject(const ProjectPtr& project) {
    if (!project)
        return;
    auto* sheet = new EditProjectSheet(m_services, project, this);
    // However the sheet closes, the page is read again: a saved project moves to the top.
    connect(sheet, &QDialog::finished, this, [this] { reload(false); });
    sheet->openAsSheet();
}

void ProjectsListView::requestDelete(const ProjectPtr& project) {
    if (!project)
        return;
    m_projectToDelete = project;
    DialogSeam::Message m;
    m.icon = QMessageBox::Warning;
    m.text = QStringLiteral("Supprimer ce projet ?");
    m.informativeText = QStringLiteral("Cette action est définitive. Les documents liés seront aussi supprimés.");
    m.buttons = {{QStringLiteral("Supprimer"), QMessageBox::DestructiveRole},
                 {QStringLiteral("Annuler"), QMessageBox::RejectRole}};
    m.escapeButton = 1;
    QPointer<ProjectsListView> self(this);
    DialogSeam::open(this, m, [self](int index) {
        if (self && index == 0)
            self->deleteConfirmed();
    });
}

void ProjectsListView::deleteConfirmed() {
    if (!m_projectToDelete)
        return;
    m_edits.deleteProject(m_projectToDelete);
    // The reference goes, so the deleted project is not kept alive by this screen.
    m_projectToDelete.reset();
    reload(false);
}
