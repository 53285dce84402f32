#include "projects/ProjectDocumentsView.h"

#include "projects/EditDocSheet.h"
#include "projects/Items.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "ui/lists/Paging.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

using namespace projectsui;

namespace {
QColor white(qreal o) { return QColor::fromRgbF(1, 1, 1, float(o)); }
constexpr int kSide = 16; // the card's outer padding on each side
}

// The project's header: icon tile, name, description and "Documents" on a gradient of its colour.
class ProjectHeader : public QWidget {
public:
    ProjectHeader(ProjectPtr project, QWidget* parent) : QWidget(parent), m_project(std::move(project)) {
        setObjectName(QStringLiteral("projectHeader"));
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(kSide + 20, 10 + 18, kSide + 20, 16);
        outer->setSpacing(10);
        auto* row = new QHBoxLayout;
        row->setSpacing(12);
        row->setContentsMargins(0, 0, 0, 0);
        m_icon = new QWidget(this);
        m_icon->setFixedSize(46, 46);
        m_icon->installEventFilter(this);
        // Name, description (4 above it, when there is one), then "Documents" 4 + 4 below.
        auto* texts = new QVBoxLayout;
        texts->setSpacing(0);
        texts->setContentsMargins(0, 0, 0, 0);
        // At most two lines: a long name never pushes the documents out of a short window.
        m_name = new ClampedText(
            Fonts::rounded(22, 600), [] { return white(1); }, 2, this);
        // The texts' opacities, raised where the project's colour is light, so that they read on the fill.
        m_details = new ClampedText(
            Fonts::rounded(13), [this] { return AppPalette::whiteTextOn(fill(), 0.85); }, 2, this);
        m_details->setCollapsible(4);
        m_label = new ClampedText(
            Fonts::rounded(12, 600), [this] { return AppPalette::whiteTextOn(fill(), 0.75); }, 1, this);
        m_label->setText(QStringLiteral("Documents"));
        texts->addWidget(m_name);
        texts->addWidget(m_details);
        texts->addSpacing(8);
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
        m_details->setText(show ? *details : QString());
        update();
        m_icon->update();
    }

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
        const QRectF r = QRectF(rect()).adjusted(kSide, 10, -kSide, 0);
        const QColor accent = displayColor(m_project->colorKey(), m_project->colorHex());
        const QPainterPath path = Paint::roundedRect(r, 18);
        // Opaque shades of the accent, dark enough for the white texts on them.
        const QColor light = fill();
        Paint::fillLinearGradient(p, path, r.topLeft(), r.bottomRight(),
                                  {{0.0, light.darker(115)}, {0.5, light.darker(107)}, {1.0, light}});
        p.save();
        p.setCompositionMode(QPainter::CompositionMode_Overlay);
        Paint::fillLinearGradient(p, path, r.topLeft(), r.bottomRight(),
                                  {{0.0, white(0.12)}, {0.5, white(0.04)}, {1.0, white(0)}});
        p.restore();
        Paint::strokeRoundedRect(p, r, 18, withOpacity(accent, 0.28));
    }

private:
    // The lightest shade of the header's gradient.
    QColor fill() const { return AppPalette::accentFill(displayColor(m_project->colorKey(), m_project->colorHex())); }

    ProjectPtr m_project;
    QWidget* m_icon;
    ClampedText* m_name;
    ClampedText* m_details;
    ClampedText* m_label;
};

namespace {

lists::PagedListScreen::Options options() {
    lists::PagedListScreen::Options o;
    o.searchPlaceholder = QStringLiteral("Rechercher un document…");
    o.totalKnownBeforeReload = true;
    o.samePageSizeReloads = false;
    o.background = [] { return AppPalette::canvasBackground(); };
    o.emptyFillsHeight = true;
    o.list = {{12 + 10, 8, 12 + 10, 8}, 16, 0, false, true};
    o.grid = {240, 0, 14, {22, 12, 22, 18}};
    return o;
}

} // namespace

ProjectDocumentsView::ProjectDocumentsView(const Services& services, ProjectPtr project, std::function<void()> onBack,
                                           std::function<void()> onCreateDoc,
                                           std::function<void(const DocPtr&)> onOpenDoc, QWidget* parent)
    : PagedList(services.prefs, services.theme, options(), parent),
      m_services(services),
      m_edits(services.context),
      m_project(std::move(project)),
      m_onBack(std::move(onBack)),
      m_onCreateDoc(std::move(onCreateDoc)) {
    setOpenHandler(std::move(onOpenDoc));
    m_lastProjectStamp = m_project->updatedAt();

    m_header = new ProjectHeader(m_project, this);
    rootLayout()->addWidget(m_header);
    auto* toolbar = new QHBoxLayout;
    toolbar->setContentsMargins(22, 12, 22, 10);
    toolbar->setSpacing(12);
    toolbar->addWidget(searchField(), 1);
    toolbar->addStretch(0);
    toolbar->addWidget(layoutSwitch());
    rootLayout()->addLayout(toolbar);

    const lists::EmptyState::Style style{.titleFont = Fonts::rounded(16, 600),
                                         .messageFont = Fonts::rounded(13),
                                         .margins = {24, 24, 24, 24},
                                         .spacing = 14,
                                         .fillHeight = true,
                                         .messageMaxWidth = 360};
    auto* icon = new SymbolView(34);
    icon->setObjectName(QStringLiteral("emptyIcon"));
    icon->setSymbol(QStringLiteral("doc.text"), QColor());
    icon->setColorFn([] { return AppPalette::secondaryText(); });
    auto* create = new PrimaryButton(QStringLiteral("Créer un document"), QStringLiteral("plus"));
    setEmptyState(
        new lists::EmptyState(style,
                              {QStringLiteral("Aucun document"),
                               QStringLiteral("Créez votre premier document pour commencer à documenter ce projet."),
                               QStringLiteral("Aucun document ne correspond à votre recherche"),
                               QStringLiteral("Essayez un autre terme, ou créez un nouveau document.")},
                              icon, create));
    connect(create, &QAbstractButton::clicked, this, [this] {
        if (m_onCreateDoc)
            m_onCreateDoc();
    });
    finishLayout();

    // A document added, hidden, moved or renamed since the sort: the next keystroke sorts again.
    connect(&services.context, &ModelContext::entityChanged, this, [this](int entity) {
        if (entity == Doc::entityInfo().index)
            m_loaded.reset();
    });
    connect(m_project.get(), &PersistentModel::changed, this, [this](const char* key) {
        m_header->refresh();
        if (std::strcmp(key, "updatedAt") != 0)
            return;
        const QDateTime stamp = m_project->updatedAt();
        if (stamp == m_lastProjectStamp)
            return;
        m_lastProjectStamp = stamp;
        if (hasAppeared())
            reload(true);
    });
    // Not WindowActivate: the window is activated again whenever one of our own sheets closes, and
    // closing the edit sheet must keep the page. Only the application coming back counts.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            queueActivationReload();
    });
}

ProjectDocumentsView::~ProjectDocumentsView() = default;

std::vector<DocPtr> ProjectDocumentsView::matches(const QString& searchText) {
    // A keystroke filters the documents already sorted; every other reload sorts them again.
    if (!m_loaded || searchText == m_loadedSearch) {
        m_loaded = listlogic::visibleDocsNewestFirst(*m_project);
        m_loadedTitles.clear();
        m_memo.clear();
    }
    m_loadedSearch = searchText;
    const QString query = listlogic::folded(lists::trimmed(searchText));
    if (query.isEmpty())
        return *m_loaded;
    if (m_loadedTitles.size() != m_loaded->size()) {
        m_loadedTitles.clear();
        m_loadedTitles.reserve(m_loaded->size());
        for (const DocPtr& doc : *m_loaded)
            m_loadedTitles.push_back(m_titles.foldedTitle(*doc));
        m_titles.prune(*m_loaded);
    }
    const std::vector<size_t>* positions = m_memo.find(query);
    if (!positions) {
        // Typing on can only match among the matches of a query it contains.
        std::vector<size_t> found = listlogic::positionsContaining(m_loadedTitles, query, m_memo.narrowest(query));
        m_memo.remember(query, std::move(found));
        positions = m_memo.find(query);
    }
    std::vector<DocPtr> found;
    found.reserve(positions->size());
    for (size_t i : *positions)
        found.push_back((*m_loaded)[i]);
    return found;
}

lists::ListItem* ProjectDocumentsView::itemFor(bool grid, const DocPtr& doc, QWidget* host) {
    if (grid)
        return new DocCard(m_services.theme, doc, callbacksFor(doc), host);
    auto* row = new DocRow(m_services.theme, doc, callbacksFor(doc), host);
    row->setFocusPolicy(Qt::TabFocus);
    return row;
}

void ProjectDocumentsView::rebindItem(lists::ListItem* item, const DocPtr& doc) {
    static_cast<DocItem*>(item)->bind(doc, callbacksFor(doc));
}

void ProjectDocumentsView::softDeleteDoc(const DocPtr& doc) {
    if (!doc)
        return;
    m_edits.hideDoc(doc);
    reload(false);
}

void ProjectDocumentsView::deleteRows(const QList<int>& positions) {
    // The positions refer to the page as it was before the first hide.
    QList<int> sorted = positions;
    std::sort(sorted.begin(), sorted.end());
    std::vector<DocPtr> targets;
    for (int i : sorted)
        if (i >= 0 && i < int(page().size()) &&
            std::find(targets.begin(), targets.end(), page()[size_t(i)]) == targets.end())
            targets.push_back(page()[size_t(i)]);
    for (const auto& doc : targets)
        softDeleteDoc(doc);
}

void ProjectDocumentsView::editDoc(const DocPtr& doc) {
    if (doc)
        (new EditDocSheet(m_services, doc, this))->openAsSheet();
}

void ProjectDocumentsView::queueActivationReload() {
    if (!hasAppeared() || m_activationQueued)
        return;
    // Several activations in one turn of the event loop make one reload.
    m_activationQueued = true;
    QPointer<ProjectDocumentsView> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self)
            return;
        self->m_activationQueued = false;
        self->reload(true);
    });
}

bool ProjectDocumentsView::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            // The list's delete command: the focused row.
            if (auto* row = qobject_cast<DocRow*>(QApplication::focusWidget())) {
                const auto it = std::find(page().begin(), page().end(), row->doc());
                if (it != page().end()) {
                    deleteRows({int(it - page().begin())});
                    return true;
                }
            }
        }
    }
    return PagedListScreen::event(event);
}
