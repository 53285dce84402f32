#include "projects/ProjectsListView.h"

#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/DisplayLayout.h"
#include "prefs/Preferences.h"
#include "core/model/SwiftDataContainer.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"
#include "projects/EditProjectSheet.h"
#include "projects/Items.h"
#include "projects/ListLogic.h"
#include "projects/ListWidgets.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

using namespace projectsui;

namespace {

// The empty state's folder tile: 64 × 64, corner 18, card fill and a light border.
class EmptyTile : public QWidget {
public:
    explicit EmptyTile(QWidget* parent) : QWidget(parent) { setFixedSize(64, 64); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Paint::fillRoundedRect(p, QRectF(rect()), 18, AppPalette::cardBackground());
        Paint::strokeRoundedRect(p, QRectF(rect()), 18, withOpacity(AppPalette::separator(), 0.35));
        Symbols::paint(p, QRectF(21, 21, 22, 22), QStringLiteral("folder"), AppPalette::secondaryText());
    }
};

// "Créer un projet": white 13 semibold on brand blue, padding 14 × 10, corner 12.
class CreateProjectButton : public QAbstractButton {
public:
    explicit CreateProjectButton(QWidget* parent) : QAbstractButton(parent) {
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
        QColor fill = AppPalette::brandBlue();
        if (isDown())
            fill = fill.darker(112);
        Paint::fillRoundedRect(p, QRectF(rect()), 12, fill);
        p.setFont(Fonts::rounded(13, 600));
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, text());
    }
};

QColor sep(qreal o) { return withOpacity(AppPalette::separator(), o); }

} // namespace

struct ProjectsListView::Private {
    ProjectsListView* q = nullptr;
    std::function<void()> onCreateProject;
    int refreshToken = 0;
    std::function<void(const ProjectPtr&)> onOpenProject;

    QString searchText;
    QString layoutRaw;
    int pageSize = 12;
    int currentPage = 0;
    std::optional<int> totalCount;
    std::vector<ProjectPtr> pageProjects;
    ProjectPtr projectToDelete;
    bool appeared = false;
    int reloads = 0;

    SearchField* search = nullptr;
    LayoutSwitch* layoutSwitch = nullptr;
    QWidget* empty = nullptr;
    ClampedText* emptyTitle = nullptr;
    ClampedText* emptyMessage = nullptr;
    QWidget* contentBox = nullptr;
    QScrollArea* scroll = nullptr;
    QWidget* bottomFill = nullptr;
    ShadowHost* listHost = nullptr;
    QVBoxLayout* listLayout = nullptr;
    ShadowHost* gridHost = nullptr;
    AdaptiveGridLayout* gridLayout = nullptr;
    ReusedItems<ProjectRow, ProjectCard, ProjectPtr> items;
    PagerBar* pager = nullptr;

    bool grid() const { return DisplayLayouts::fromStored(layoutRaw) == DisplayLayout::grid; }
    void rebuild();
    void updateChrome();
    QWidget* buildEmptyState();
    void setUpItems();
    ItemBase::Callbacks callbacksFor(const ProjectPtr& p);
};

QWidget* ProjectsListView::Private::buildEmptyState() {
    auto* box = new QWidget(q);
    box->setObjectName(QStringLiteral("emptyState"));
    auto* outer = new QVBoxLayout(box);
    outer->setContentsMargins(22, 10, 22, 0);
    outer->setSpacing(10);
    // A 30-high blank item, then the stack's spacing before the tile (a spacer gets no spacing of its own).
    outer->addSpacing(30 + 10);
    auto* tile = new EmptyTile(box);
    outer->addWidget(tile, 0, Qt::AlignHCenter);
    emptyTitle = new ClampedText(Fonts::rounded(16, 700), [] { return AppPalette::primaryText(); }, 0, box);
    emptyTitle->setObjectName(QStringLiteral("emptyTitle"));
    emptyTitle->setAlignment(Qt::AlignHCenter);
    emptyMessage = new ClampedText(Fonts::rounded(13), [] { return AppPalette::secondaryText(); }, 0, box);
    emptyMessage->setObjectName(QStringLiteral("emptyMessage"));
    emptyMessage->setAlignment(Qt::AlignHCenter);
    outer->addWidget(emptyTitle);
    outer->addWidget(emptyMessage);
    auto* button = new CreateProjectButton(box);
    button->setObjectName(QStringLiteral("createButton"));
    outer->addSpacing(6);
    outer->addWidget(button, 0, Qt::AlignHCenter);
    QObject::connect(button, &QAbstractButton::clicked, q, [this] {
        if (onCreateProject)
            onCreateProject();
    });
    return box;
}

ProjectsListView::ProjectsListView(std::function<void()> onCreateProject, int refreshToken,
                                   std::function<void(const ProjectPtr&)> onOpenProject, QWidget* parent)
    : QWidget(parent), d(std::make_unique<Private>()) {
    d->q = this;
    d->onCreateProject = std::move(onCreateProject);
    d->refreshToken = refreshToken;
    d->onOpenProject = std::move(onOpenProject);
    d->layoutRaw = Preferences::shared().value(DisplayLayouts::preferenceKey, QStringLiteral("list")).toString();

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Header: title block and layout switch, then the search field.
    auto* header = new QVBoxLayout;
    header->setContentsMargins(22, 18, 22, 14);
    header->setSpacing(10);
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    auto* title = new ClampedText(Fonts::rounded(28, 700), [] { return AppPalette::primaryText(); }, 0, this);
    title->setText(QStringLiteral("Projets"));
    auto* subtitle = new ClampedText(Fonts::rounded(13), [] { return AppPalette::secondaryText(); }, 0, this);
    subtitle->setText(QStringLiteral("Retrouvez et organisez votre documentation."));
    titles->addWidget(title);
    titles->addWidget(subtitle);
    d->layoutSwitch = new LayoutSwitch(this);
    d->layoutSwitch->setObjectName(QStringLiteral("layoutSwitch"));
    top->addLayout(titles, 1);
    top->addWidget(d->layoutSwitch, 0, Qt::AlignTop);
    auto* searchRow = new QHBoxLayout;
    searchRow->setSpacing(10);
    d->search = new SearchField(QStringLiteral("Rechercher un projet…"), this);
    d->search->lineEdit()->setObjectName(QStringLiteral("searchField"));
    searchRow->addWidget(d->search, 1);
    searchRow->addStretch(0);
    header->addLayout(top);
    header->addLayout(searchRow);
    root->addLayout(header);

    d->empty = d->buildEmptyState();
    root->addWidget(d->empty);

    d->contentBox = new QWidget(this);
    auto* contentLayout = new QVBoxLayout(d->contentBox);
    contentLayout->setContentsMargins(22, 8, 22, 0);
    d->scroll = new QScrollArea(d->contentBox);
    d->scroll->setObjectName(QStringLiteral("contentScroll"));
    d->scroll->setFrameShape(QFrame::NoFrame);
    d->scroll->setWidgetResizable(true);
    d->scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d->scroll->viewport()->setAutoFillBackground(false);
    d->scroll->setAutoFillBackground(false);
    contentLayout->addWidget(d->scroll);
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    d->listHost = new ShadowHost(page);
    d->listHost->setBackground(16, [] { return AppPalette::cardBackground(); }, [] { return sep(0.25); });
    d->listLayout = new QVBoxLayout(d->listHost);
    d->listLayout->setContentsMargins(0, 0, 0, 0);
    d->listLayout->setSpacing(0);
    d->gridHost = new ShadowHost(page);
    d->gridLayout = new AdaptiveGridLayout(220, 260, 14, d->gridHost);
    d->gridLayout->setContentsMargins(0, 0, 0, 6);
    pageLayout->addWidget(d->listHost);
    pageLayout->addWidget(d->gridHost);
    pageLayout->addStretch(1);
    d->scroll->setWidget(page);
    page->setAutoFillBackground(false);   // the scroll area turns it on
    d->setUpItems();
    root->addWidget(d->contentBox, 1);

    d->pager = new PagerBar(this);
    d->pager->setObjectName(QStringLiteral("pagerBar"));
    root->addWidget(d->pager);
    d->bottomFill = new QWidget(this);
    d->bottomFill->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    root->addWidget(d->bottomFill, 1);

    connect(d->search, &SearchField::textChanged, this, [this](const QString& text) {
        d->searchText = text;
        if (!d->appeared)
            return;
        d->currentPage = 0;
        reloadPage();
    });
    connect(d->layoutSwitch, &LayoutSwitch::picked, this, [](DisplayLayout layout) {
        Preferences::shared().setValue(DisplayLayouts::preferenceKey, DisplayLayouts::rawValue(layout));
    });
    connect(&Preferences::shared(), &Preferences::changed, this, [this](const QString& key) {
        if (key != QLatin1String(DisplayLayouts::preferenceKey))
            return;
        const QString raw = Preferences::shared().value(key, QStringLiteral("list")).toString();
        if (raw == d->layoutRaw)
            return;
        d->layoutRaw = raw;
        if (d->appeared)
            reloadPage();
        else
            d->updateChrome();
    });
    connect(d->pager, &PagerBar::previousClicked, this, &ProjectsListView::goPrevious);
    connect(d->pager, &PagerBar::nextClicked, this, &ProjectsListView::goNext);
    connect(d->pager, &PagerBar::pageSizePicked, this, &ProjectsListView::setPageSize);
    repaintOnAppearanceChange(this);

    d->rebuild();
}

ProjectsListView::~ProjectsListView() = default;

void ProjectsListView::setRefreshToken(int token) {
    if (token == d->refreshToken)
        return;
    d->refreshToken = token;
    if (!d->appeared)
        return;
    d->currentPage = 0;
    reloadPage();
}

int ProjectsListView::refreshToken() const { return d->refreshToken; }
int ProjectsListView::currentPage() const { return d->currentPage; }
int ProjectsListView::pageSize() const { return d->pageSize; }
std::optional<int> ProjectsListView::totalCount() const { return d->totalCount; }
const std::vector<ProjectPtr>& ProjectsListView::pageProjects() const { return d->pageProjects; }
QString ProjectsListView::pageLabel() const {
    return listlogic::pageLabel(d->currentPage, d->pageSize, d->totalCount);
}
bool ProjectsListView::canGoNext() const {
    if (!d->totalCount)
        return int(d->pageProjects.size()) == d->pageSize;
    return listlogic::canGoNext(d->currentPage, d->pageSize, *d->totalCount);
}
bool ProjectsListView::canGoPrevious() const { return d->currentPage > 0; }
bool ProjectsListView::isGrid() const { return d->grid(); }
int ProjectsListView::reloadCount() const { return d->reloads; }

void ProjectsListView::setSearchText(const QString& text) { d->search->lineEdit()->setText(text); }

void ProjectsListView::setPageSize(int size) {
    d->pageSize = size;
    d->currentPage = 0;
    reloadPage();
}

void ProjectsListView::goPrevious() {
    if (!canGoPrevious())
        return;
    --d->currentPage;
    reloadPage();
}

void ProjectsListView::goNext() {
    if (!canGoNext())
        return;
    ++d->currentPage;
    reloadPage();
}

void ProjectsListView::reloadPage() {
    ++d->reloads;
    const QString query = listlogic::trimmed(d->searchText);
    const auto all = modelContext().fetch<Project>(SortDescriptor<Project>(&Project::updatedAt, SortOrder::reverse));
    const auto matches = listlogic::searchProjects(all, query);
    const int total = int(matches.size());
    d->totalCount = total;
    // A page left past the end (its last projects deleted) moves back to the last page that has some.
    d->currentPage = listlogic::clampedPage(d->currentPage, d->pageSize, total);
    d->pageProjects = listlogic::slice(matches, d->currentPage, d->pageSize);
    d->rebuild();
}

void ProjectsListView::editProject(const ProjectPtr& project) {
    if (!project)
        return;
    auto* sheet = new EditProjectSheet(project, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    // Rows follow the edit through the project's change signal; order and membership wait for the next reload.
    sheet->open();
}

void ProjectsListView::requestDelete(const ProjectPtr& project) {
    if (!project)
        return;
    d->projectToDelete = project;
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
    if (!d->projectToDelete)
        return;
    ModelContext& ctx = modelContext();
    ctx.deleteObject(d->projectToDelete);
    ctx.save();   // a failure stays pending in the context, which logs it
    d->projectToDelete.reset();
    reloadPage();
}

void ProjectsListView::Private::updateChrome() {
    layoutSwitch->setCurrent(grid() ? DisplayLayout::grid : DisplayLayout::list);
    pager->setState(q->pageLabel(), q->canGoPrevious(), q->canGoNext(), pageSize);
    const bool searching = !listlogic::trimmed(searchText).isEmpty();
    emptyTitle->setText(searching ? QStringLiteral("Aucun projet ne correspond à votre recherche")
                                  : QStringLiteral("Aucun projet pour l’instant"));
    emptyMessage->setText(searching ? QStringLiteral("Essaie un autre terme, ou crée un nouveau projet.")
                                    : QStringLiteral("Crée ton premier projet pour organiser tes documents."));
}

ItemBase::Callbacks ProjectsListView::Private::callbacksFor(const ProjectPtr& p) {
    ItemBase::Callbacks cb;
    cb.onOpen = [this, p] { if (onOpenProject) onOpenProject(p); };
    cb.onEdit = [this, p] { q->editProject(p); };
    cb.onDelete = [this, p] { q->requestDelete(p); };
    return cb;
}

void ProjectsListView::Private::setUpItems() {
    items.screen = q;
    items.scroll = scroll;
    items.callbacksFor = [this](const ProjectPtr& p) { return callbacksFor(p); };
    items.rows = {.host = listHost, .bind = &ProjectRow::setProject,
                  .place = [this](ProjectRow* row) { listLayout->addWidget(row); },
                  // Each row is followed by a hairline.
                  .makeCompanion = [this] {
                      auto* divider = new Divider([] { return sep(0.25); }, listHost);
                      listLayout->addWidget(divider);
                      return static_cast<QWidget*>(divider);
                  }};
    items.cards = {.host = gridHost, .bind = &ProjectCard::setProject,
                   .place = [this](ProjectCard* card) { gridLayout->addWidget(card); }};
}

void ProjectsListView::Private::rebuild() {
    updateChrome();
    const bool isEmpty = pageProjects.empty();
    empty->setVisible(isEmpty);
    contentBox->setVisible(!isEmpty);
    bottomFill->setVisible(isEmpty);
    if (isEmpty)
        return;
    items.show(pageProjects, grid());
}

void ProjectsListView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    d->appeared = true;
    d->currentPage = 0;
    reloadPage();
}

void ProjectsListView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::screenBackground());
}

void ProjectsListView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        update();
}
