#include "projects/ProjectDocumentsView.h"

#include "ui/Components.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/DisplayLayout.h"
#include "core/model/Clock.h"
#include "prefs/Preferences.h"
#include "core/model/SwiftDataContainer.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"
#include "projects/EditDocSheet.h"
#include "projects/Items.h"
#include "projects/ListLogic.h"
#include "projects/ListWidgets.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

using namespace projectsui;

namespace {

QColor white(qreal o) { return QColor::fromRgbF(1, 1, 1, float(o)); }

// The project's header: icon tile, name, description and "Documents" on a gradient of its colour.
class ProjectHeader : public QWidget {
public:
    ProjectHeader(ProjectPtr project, QWidget* parent) : QWidget(parent), m_project(std::move(project)) {
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(16 + 20, 10 + 18, 16 + 20, 16);
        outer->setSpacing(10);
        auto* row = new QHBoxLayout;
        row->setSpacing(12);
        row->setContentsMargins(0, 0, 0, 0);
        m_icon = new QWidget(this);
        m_icon->setFixedSize(46, 46);
        m_icon->installEventFilter(this);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(4);
        texts->setContentsMargins(0, 0, 0, 0);
        m_name = new ClampedText(Fonts::rounded(22, 600), [] { return white(1); }, 0, this);
        m_details = new ClampedText(Fonts::rounded(13), [] { return white(0.85); }, 2, this);
        m_label = new ClampedText(Fonts::rounded(12, 600), [] { return white(0.75); }, 1, this);
        m_label->setText(QStringLiteral("Documents"));
        texts->addWidget(m_name);
        texts->addWidget(m_details);
        texts->addSpacing(4);
        texts->addWidget(m_label);
        row->addWidget(m_icon, 0, Qt::AlignTop);
        row->addLayout(texts, 1);
        outer->addLayout(row);
        refresh();
    }

    void refresh() {
        m_name->setText(m_project->name());
        const auto& details = m_project->details();
        const bool show = details && !details->trimmed().isEmpty();
        m_details->setVisible(show);
        m_details->setText(show ? *details : QString());
        update();
        m_icon->update();
    }

    ClampedText* nameText() const { return m_name; }
    ClampedText* detailsText() const { return m_details; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == m_icon && e->type() == QEvent::Paint) {
            QPainter p(m_icon);
            p.setRenderHint(QPainter::Antialiasing);
            const QRectF r(m_icon->rect());
            Paint::fillRoundedRect(p, r, 14, white(0.12));
            Paint::strokeRoundedRect(p, r, 14, white(0.18));
            Symbols::paint(p, QRectF(14, 14, 18, 18), m_project->iconName(), white(0.95));
            return true;
        }
        return QWidget::eventFilter(o, e);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(16, 10, -16, 0);
        const QColor accent = displayColor(m_project->colorKey(), m_project->colorHex());
        const QPainterPath path = Paint::roundedRect(r, 18);
        Paint::fillLinearGradient(p, path, r.topLeft(), r.bottomRight(),
                                  {{0.0, withOpacity(accent, 0.75)}, {0.5, withOpacity(accent, 0.55)},
                                   {1.0, withOpacity(accent, 0.35)}});
        p.save();
        p.setCompositionMode(QPainter::CompositionMode_Overlay);
        Paint::fillLinearGradient(p, path, r.topLeft(), r.bottomRight(),
                                  {{0.0, white(0.12)}, {0.5, white(0.04)}, {1.0, white(0)}});
        p.restore();
        Paint::strokeRoundedRect(p, r, 18, withOpacity(accent, 0.28));
    }

private:
    ProjectPtr m_project;
    QWidget* m_icon;
    ClampedText* m_name;
    ClampedText* m_details;
    ClampedText* m_label;
};

} // namespace

struct ProjectDocumentsView::Private {
    ProjectDocumentsView* q = nullptr;
    ProjectPtr project;
    std::function<void()> onBack, onCreateDoc;
    std::function<void(const DocPtr&)> onOpenDoc;

    QString searchText;
    QString layoutRaw;
    int pageSize = 12;
    int currentPage = 0;
    int totalCount = 0;
    std::vector<DocPtr> pageDocs;
    int listRenderToken = 0;
    bool appeared = false;
    int reloads = 0;
    QDateTime lastProjectStamp;
    bool activationQueued = false;
    listlogic::FoldedTitleCache titles;

    ProjectHeader* header = nullptr;
    SearchField* search = nullptr;
    LayoutSwitch* layoutSwitch = nullptr;
    QWidget* empty = nullptr;
    ClampedText* emptyTitle = nullptr;
    ClampedText* emptyMessage = nullptr;
    QScrollArea* scroll = nullptr;
    PagerBar* pager = nullptr;
    ShadowHost* listHost = nullptr;
    QVBoxLayout* listLayout = nullptr;
    ShadowHost* gridHost = nullptr;
    AdaptiveGridLayout* gridLayout = nullptr;
    ReusedItems<DocRow, DocCard, DocPtr> items;

    bool grid() const { return DisplayLayouts::fromStored(layoutRaw) == DisplayLayout::grid; }
    void reloadPage();
    void rebuild();
    void updateChrome();
    QWidget* buildEmptyState();
    void setUpItems();
    ItemBase::Callbacks callbacksFor(const DocPtr& doc);
    void queueActivationReload();
};

QWidget* ProjectDocumentsView::Private::buildEmptyState() {
    auto* box = new QWidget(q);
    box->setObjectName(QStringLiteral("emptyState"));
    auto* col = new QVBoxLayout(box);
    col->setContentsMargins(24, 24, 24, 24);
    col->setSpacing(14);
    col->addStretch(1);
    auto* icon = new SymbolView(34, box);
    icon->setObjectName(QStringLiteral("emptyIcon"));
    col->addWidget(icon, 0, Qt::AlignHCenter);
    emptyTitle = new ClampedText(Fonts::rounded(16, 600), [] { return AppPalette::primaryText(); }, 0, box);
    emptyTitle->setObjectName(QStringLiteral("emptyTitle"));
    emptyTitle->setAlignment(Qt::AlignHCenter);
    emptyMessage = new ClampedText(Fonts::rounded(13), [] { return AppPalette::secondaryText(); }, 0, box);
    emptyMessage->setObjectName(QStringLiteral("emptyMessage"));
    emptyMessage->setAlignment(Qt::AlignHCenter);
    emptyMessage->setMaximumWidth(360);
    auto* button = new PrimaryButton(QStringLiteral("Créer un document"), QStringLiteral("plus"), box);
    button->setObjectName(QStringLiteral("createButton"));
    col->addWidget(emptyTitle);
    col->addWidget(emptyMessage, 0, Qt::AlignHCenter);
    col->addWidget(button, 0, Qt::AlignHCenter);
    col->addStretch(1);
    QObject::connect(button, &QAbstractButton::clicked, q, [this] {
        if (onCreateDoc)
            onCreateDoc();
    });
    auto recolor = [icon] { icon->setSymbol(QStringLiteral("doc.text"), AppPalette::secondaryText()); };
    recolor();
    QObject::connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, box, recolor);
    return box;
}

ProjectDocumentsView::ProjectDocumentsView(ProjectPtr project, std::function<void()> onBack,
                                           std::function<void()> onCreateDoc,
                                           std::function<void(const DocPtr&)> onOpenDoc, QWidget* parent)
    : QWidget(parent), d(std::make_unique<Private>()) {
    d->q = this;
    d->project = std::move(project);
    d->onBack = std::move(onBack);
    d->onCreateDoc = std::move(onCreateDoc);
    d->onOpenDoc = std::move(onOpenDoc);
    d->layoutRaw = Preferences::shared().value(DisplayLayouts::preferenceKey, QStringLiteral("list")).toString();
    d->lastProjectStamp = d->project->updatedAt();

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    d->header = new ProjectHeader(d->project, this);
    d->header->setObjectName(QStringLiteral("projectHeader"));
    root->addWidget(d->header);

    auto* toolbar = new QHBoxLayout;
    toolbar->setContentsMargins(22, 12, 22, 10);
    toolbar->setSpacing(12);
    d->search = new SearchField(QStringLiteral("Rechercher un document…"), this);
    d->search->lineEdit()->setObjectName(QStringLiteral("searchField"));
    d->layoutSwitch = new LayoutSwitch(this);
    d->layoutSwitch->setObjectName(QStringLiteral("layoutSwitch"));
    toolbar->addWidget(d->search, 1);
    toolbar->addStretch(0);
    toolbar->addWidget(d->layoutSwitch);
    root->addLayout(toolbar);

    d->empty = d->buildEmptyState();
    root->addWidget(d->empty, 1);

    d->scroll = new QScrollArea(this);
    d->scroll->setObjectName(QStringLiteral("contentScroll"));
    d->scroll->setFrameShape(QFrame::NoFrame);
    d->scroll->setWidgetResizable(true);
    d->scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d->scroll->viewport()->setAutoFillBackground(false);
    d->scroll->setAutoFillBackground(false);
    root->addWidget(d->scroll, 1);
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    d->listHost = new ShadowHost(page);
    d->listLayout = new QVBoxLayout(d->listHost);
    d->listLayout->setContentsMargins(12 + 10, 8, 12 + 10, 8);
    d->listLayout->setSpacing(16);
    d->listLayout->addStretch(1);
    d->gridHost = new ShadowHost(page);
    d->gridLayout = new AdaptiveGridLayout(240, 0, 14, d->gridHost);
    d->gridLayout->setContentsMargins(22, 12, 22, 18);
    pageLayout->addWidget(d->listHost);
    pageLayout->addWidget(d->gridHost);
    pageLayout->addStretch(1);
    d->scroll->setWidget(page);
    page->setAutoFillBackground(false);   // the scroll area turns it on
    d->setUpItems();

    d->pager = new PagerBar(this);
    d->pager->setObjectName(QStringLiteral("pagerBar"));
    root->addWidget(d->pager);

    connect(d->search, &SearchField::textChanged, this, [this](const QString& text) {
        d->searchText = text;
        if (d->appeared)
            reload(true);
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
            reload(false);
        else
            d->updateChrome();
    });
    connect(d->project.get(), &PersistentModel::changed, this, [this](const char* key) {
        d->header->refresh();
        if (std::strcmp(key, "updatedAt") != 0)
            return;
        const QDateTime stamp = d->project->updatedAt();
        if (stamp == d->lastProjectStamp)
            return;
        d->lastProjectStamp = stamp;
        if (d->appeared)
            reload(true);
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            d->queueActivationReload();
    });
    connect(d->pager, &PagerBar::previousClicked, this, &ProjectDocumentsView::goPrevious);
    connect(d->pager, &PagerBar::nextClicked, this, &ProjectDocumentsView::goNext);
    connect(d->pager, &PagerBar::pageSizePicked, this, &ProjectDocumentsView::setPageSize);
    repaintOnAppearanceChange(this);

    d->updateChrome();
    d->empty->show();
    d->scroll->hide();
}

ProjectDocumentsView::~ProjectDocumentsView() = default;

ProjectPtr ProjectDocumentsView::project() const { return d->project; }
int ProjectDocumentsView::currentPage() const { return d->currentPage; }
int ProjectDocumentsView::pageSize() const { return d->pageSize; }
int ProjectDocumentsView::totalCount() const { return d->totalCount; }
const std::vector<DocPtr>& ProjectDocumentsView::pageDocs() const { return d->pageDocs; }
QString ProjectDocumentsView::pageLabel() const {
    return listlogic::pageLabel(d->currentPage, d->pageSize, d->totalCount);
}
bool ProjectDocumentsView::canGoNext() const { return listlogic::canGoNext(d->currentPage, d->pageSize, d->totalCount); }
bool ProjectDocumentsView::canGoPrevious() const { return d->currentPage > 0; }
bool ProjectDocumentsView::isGrid() const { return d->grid(); }
int ProjectDocumentsView::reloadCount() const { return d->reloads; }
int ProjectDocumentsView::listRenderToken() const { return d->listRenderToken; }

void ProjectDocumentsView::setSearchText(const QString& text) { d->search->lineEdit()->setText(text); }

void ProjectDocumentsView::setPageSize(int size) {
    if (size == d->pageSize)
        return;
    d->pageSize = size;
    reload(true);
}

void ProjectDocumentsView::goPrevious() {
    if (!canGoPrevious())
        return;
    --d->currentPage;
    reload(false);
}

void ProjectDocumentsView::goNext() {
    if (!canGoNext())
        return;
    ++d->currentPage;
    reload(false);
}

void ProjectDocumentsView::reload(bool resetPage) {
    if (resetPage)
        d->currentPage = 0;
    if (!d->grid())
        ++d->listRenderToken;
    d->reloadPage();
}

void ProjectDocumentsView::Private::reloadPage() {
    ++reloads;
    const auto all = listlogic::visibleDocsNewestFirst(*project);
    const auto matches = listlogic::searchDocs(all, listlogic::trimmed(searchText), titles);
    totalCount = int(matches.size());
    // A page left past the end (its last documents hidden) moves back to the last page that has some.
    currentPage = listlogic::clampedPage(currentPage, pageSize, totalCount);
    pageDocs = listlogic::slice(matches, currentPage, pageSize);
    rebuild();
}

void ProjectDocumentsView::softDeleteDoc(const DocPtr& doc) {
    if (!doc)
        return;
    doc->setDeletedAt(Clock::now());
    doc->setUpdatedAt(Clock::now());
    modelContext().save();   // a failure stays pending in the context, which logs it
    reload(false);
}

void ProjectDocumentsView::deleteRows(const QList<int>& positions) {
    // The positions refer to the page as it was before the first hide.
    QList<int> sorted = positions;
    std::sort(sorted.begin(), sorted.end());
    std::vector<DocPtr> targets;
    for (int i : sorted)
        if (i >= 0 && i < int(d->pageDocs.size()) &&
            std::find(targets.begin(), targets.end(), d->pageDocs[size_t(i)]) == targets.end())
            targets.push_back(d->pageDocs[size_t(i)]);
    for (const auto& doc : targets)
        softDeleteDoc(doc);
}

void ProjectDocumentsView::editDoc(const DocPtr& doc) {
    if (!doc)
        return;
    auto* sheet = new EditDocSheet(doc, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
}

void ProjectDocumentsView::Private::updateChrome() {
    layoutSwitch->setCurrent(grid() ? DisplayLayout::grid : DisplayLayout::list);
    pager->setState(q->pageLabel(), q->canGoPrevious(), q->canGoNext(), pageSize);
    const bool searching = !listlogic::trimmed(searchText).isEmpty();
    emptyTitle->setText(searching ? QStringLiteral("Aucun document ne correspond à votre recherche")
                                  : QStringLiteral("Aucun document"));
    emptyMessage->setText(searching ? QStringLiteral("Essayez un autre terme, ou créez un nouveau document.")
                                    : QStringLiteral("Créez votre premier document pour commencer à documenter ce projet."));
}

ItemBase::Callbacks ProjectDocumentsView::Private::callbacksFor(const DocPtr& doc) {
    ItemBase::Callbacks cb;
    cb.onOpen = [this, doc] { if (onOpenDoc) onOpenDoc(doc); };
    cb.onEdit = [this, doc] { q->editDoc(doc); };
    // Safe from inside the row's own menu: rows are rebound, never destroyed, by a reload.
    cb.onDelete = [this, doc] { q->softDeleteDoc(doc); };
    return cb;
}

void ProjectDocumentsView::Private::setUpItems() {
    items.screen = q;
    items.scroll = scroll;
    items.callbacksFor = [this](const DocPtr& doc) { return callbacksFor(doc); };
    items.rows = {.host = listHost, .bind = &DocRow::setDoc, .place = [this](DocRow* row) {
                      row->setFocusPolicy(Qt::TabFocus);
                      listLayout->insertWidget(listLayout->count() - 1, row);   // before the trailing stretch
                  }};
    items.cards = {.host = gridHost, .bind = &DocCard::setDoc,
                   .place = [this](DocCard* card) { gridLayout->addWidget(card); }};
}

void ProjectDocumentsView::Private::rebuild() {
    updateChrome();
    const bool isEmpty = pageDocs.empty();
    empty->setVisible(isEmpty);
    scroll->setVisible(!isEmpty);
    if (isEmpty)
        return;
    items.show(pageDocs, grid());
}

void ProjectDocumentsView::Private::queueActivationReload() {
    if (!appeared || activationQueued)
        return;
    // Several activations in one turn of the event loop make one reload.
    activationQueued = true;
    QPointer<ProjectDocumentsView> self(q);
    QTimer::singleShot(0, q, [self] {
        if (!self)
            return;
        self->d->activationQueued = false;
        self->reload(true);
    });
}

void ProjectDocumentsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    d->appeared = true;
    reload(true);
}

bool ProjectDocumentsView::event(QEvent* event) {
    // Not WindowActivate: the window is activated again whenever one of our own sheets closes, and
    // closing the edit sheet must keep the page. Only the application coming back counts.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            // The list's delete command: the focused row.
            if (auto* row = qobject_cast<DocRow*>(QApplication::focusWidget())) {
                const auto it = std::find(d->pageDocs.begin(), d->pageDocs.end(), row->doc());
                if (it != d->pageDocs.end()) {
                    deleteRows({int(it - d->pageDocs.begin())});
                    return true;
                }
            }
        }
    }
    return QWidget::event(event);
}

void ProjectDocumentsView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::canvasBackground());
}

void ProjectDocumentsView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        update();
}
