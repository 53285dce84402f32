#include "dashboard/DashboardData.h"

#include <algorithm>

namespace {

template <class T>
std::vector<std::shared_ptr<PersistentModel>> fetchAs(ModelContext& context) {
    auto typed = context.fetch<T>();
    return {std::make_move_iterator(typed.begin()), std::make_move_iterator(typed.end())};
}

template <class T>
std::vector<std::shared_ptr<T>> topOf(const DashboardData::Ranked& list, int limit) {
    std::vector<std::shared_ptr<T>> out;
    const size_t n = std::min(list.size(), size_t(std::max(limit, 0)));
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        out.push_back(std::static_pointer_cast<T>(list[i].object));
    return out;
}

qint64 keyOf(const QDateTime& updatedAt) { return updatedAt.isValid() ? updatedAt.toMSecsSinceEpoch() : 0; }

// keyOf() of a date as the file holds it (microseconds), without making the date where it is plain.
qint64 keyOfStored(qint64 us) {
    constexpr qint64 kPlainDates = qint64(1) << 52; // well inside the dates QDateTime holds
    return us > -kPlainDates && us < kPlainDates ? store::microsToMillis(us) : keyOf(store::fromMicros(us));
}

constexpr int kDocWindow = 12;
constexpr int kRecentWindow = 4;

} // namespace

DashboardData::DashboardData(ModelContext& context, QObject* parent) : QObject(parent), m_context(&context) {
    m_docs.entity = Doc::entityInfo().index;
    m_docs.buckets.resize(3);
    m_docs.fetchAll = [this] { return fetchAs<Doc>(*m_context); };
    m_projects.entity = Project::entityInfo().index;
    m_projects.buckets.resize(1);
    m_projects.fetchAll = [this] { return fetchAs<Project>(*m_context); };
    m_checklists.entity = Checklist::entityInfo().index;
    m_checklists.buckets.resize(1);
    m_checklists.fetchAll = [this] { return fetchAs<Checklist>(*m_context); };

    // Opening the application shows this first: it is summed up from the file rather than every object
    // made before the window can show.
    if (!summarizeDocs())
        readAll(m_docs);
    if (!summarizeRecent(m_projects, Project::columnOf(&ProjectFields::updatedAt),
                         Project::columnOf(&ProjectFields::deletedAt)))
        readAll(m_projects);
    if (!summarizeRecent(m_checklists, Checklist::columnOf(&ChecklistFields::updatedAt),
                         Checklist::columnOf(&ChecklistFields::deletedAt)))
        readAll(m_checklists);
    connect(&context, &ModelContext::objectChanged, this, &DashboardData::onObjectChanged);
    connect(&context, &ModelContext::entityChanged, this, [this](int entity) {
        if (Tracker* t = trackerFor(entity)) {
            ++t->storeSignals;
            schedule();
        }
    });
}

DashboardData::~DashboardData() = default;

void DashboardData::readAll(Tracker& t) {
    t.summary = false;
    t.known.clear();
    for (auto& b : t.buckets)
        b.clear();
    const auto all = t.fetchAll();
    t.known.reserve(qsizetype(all.size()));
    for (const auto& o : all) {
        const Snapshot s = snapshot(t, o.get());
        t.known.insert(o.get(), {o, s});
        if (s.bucket >= 0)
            t.buckets[size_t(s.bucket)].push_back({s.key, o});
    }
    // One sort per list; the store's order decides between equal dates.
    for (auto& b : t.buckets)
        std::stable_sort(b.begin(), b.end(), [](const Entry& a, const Entry& c) { return a.key > c.key; });
    t.dirty.clear();
    t.storeSignals = t.objectSignals = 0;
}

bool DashboardData::summarizeDocs() {
    // The first frame shows only the counts: SQLite counts the rows not hidden per stored status (any other
    // text is in progress), beside the making of the window. The lists are read when first asked for.
    std::vector<QByteArray> raws;
    for (DocStatus s : DocStatusInfo::allCases())
        raws.push_back(DocStatusInfo::rawValue(s).toUtf8());
    m_docCounts = m_context->countRows(m_docs.entity, Doc::columnOf(&DocFields::deletedAt),
                                       Doc::columnOf(&DocFields::statusRaw), std::move(raws));
    if (!m_docCounts.valid())
        return false;
    m_docs.summary = true;
    return true;
}

void DashboardData::takeDocCounts() {
    if (!m_docCounts.valid())
        return;
    const ModelContext::RowCounts counts = m_docCounts.get();
    if (!m_docs.summary)
        return; // read meanwhile
    if (!counts) {
        readAll(m_docs);
        return;
    }
    m_docs.summaryCounts.assign(m_docs.buckets.size(), 0);
    qint64 others = counts->back();
    const auto& statuses = DocStatusInfo::allCases();
    for (qsizetype k = 0; k < statuses.size(); ++k) {
        m_docs.summaryCounts[size_t(statuses[k])] = int((*counts)[size_t(k)]);
        others -= (*counts)[size_t(k)];
    }
    m_docs.summaryCounts[size_t(DocStatus::inProgress)] += int(others);
}

bool DashboardData::summarizeRecent(Tracker& t, int updatedAt, int deletedAt) {
    // The few most recent rows not hidden, by the date snapshot() derives from the object (milliseconds,
    // rounded down), ties in store order; only those are made.
    struct Row {
        qint64 key;
        qint64 rowid;
    };
    std::vector<Row> rows;
    const bool read = m_context->peekRows(t.entity, {updatedAt, deletedAt}, [&](const ModelContext::PeekedRow& row) {
        if (row.isNull(1))
            rows.push_back({keyOfStored(row.integer(0)), row.rowid()});
    });
    if (!read)
        return false;
    const size_t top = std::min(rows.size(), size_t(kRecentWindow));
    std::partial_sort(rows.begin(), rows.begin() + qsizetype(top), rows.end(),
                      [](const Row& x, const Row& y) { return x.key != y.key ? x.key > y.key : x.rowid < y.rowid; });
    std::vector<qint64> rowids;
    for (size_t i = 0; i < top; ++i)
        rowids.push_back(rows[i].rowid);
    t.summary = true;
    t.summaryCounts.assign(t.buckets.size(), int(rows.size()));
    for (auto& o : m_context->preloadRows(t.entity, rowids)) {
        const Snapshot s = snapshot(t, o.get());
        t.known.insert(o.get(), {o, s});
        if (s.bucket >= 0)
            t.buckets[size_t(s.bucket)].push_back({s.key, std::move(o)});
    }
    return true;
}

DashboardData::Tracker* DashboardData::trackerFor(int entity) {
    if (entity == m_docs.entity)
        return &m_docs;
    if (entity == m_projects.entity)
        return &m_projects;
    if (entity == m_checklists.entity)
        return &m_checklists;
    return nullptr;
}

DashboardData::Snapshot DashboardData::snapshot(const Tracker& t, PersistentModel* object) const {
    Snapshot s;
    if (object->isDeleted())
        return s;
    if (t.entity == m_docs.entity) {
        auto* d = static_cast<Doc*>(object);
        s.key = keyOf(d->updatedAt());
        if (!d->deletedAt())
            s.bucket = int(d->status());
    } else if (t.entity == m_projects.entity) {
        auto* p = static_cast<Project*>(object);
        s.key = keyOf(p->updatedAt());
        if (!p->deletedAt())
            s.bucket = 0;
    } else {
        auto* c = static_cast<Checklist*>(object);
        s.key = keyOf(c->updatedAt());
        if (!c->deletedAt())
            s.bucket = 0;
    }
    return s;
}

int DashboardData::count(DocStatus status) {
    takeDocCounts();
    return m_docs.summary ? m_docs.summaryCounts[size_t(status)] : int(m_docs.buckets[size_t(status)].size());
}

std::vector<DocPtr> DashboardData::docs(DocStatus status, int limit) {
    if (m_docs.summary)
        readAll(m_docs);
    return topOf<Doc>(m_docs.buckets[size_t(status)], limit);
}

std::vector<ProjectPtr> DashboardData::recentProjects(int limit) {
    if (m_projects.summary && limit > kRecentWindow)
        readAll(m_projects);
    return topOf<Project>(m_projects.buckets[0], limit);
}

std::vector<ChecklistPtr> DashboardData::recentChecklists(int limit) {
    if (m_checklists.summary && limit > kRecentWindow)
        readAll(m_checklists);
    return topOf<Checklist>(m_checklists.buckets[0], limit);
}

void DashboardData::onObjectChanged(PersistentModel* o) {
    Tracker* t = trackerFor(o->entity().index);
    if (!t || !t->known.contains(o))
        return;
    ++t->objectSignals;
    t->dirty.insert(o);
    schedule();
}

void DashboardData::schedule() {
    if (m_scheduled)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &DashboardData::processPending, Qt::QueuedConnection);
}

int DashboardData::position(const Tracker& t, PersistentModel* object, const Snapshot& s) const {
    if (s.bucket < 0)
        return -1;
    const Ranked& b = t.buckets[size_t(s.bucket)];
    auto it = std::partition_point(b.begin(), b.end(), [&](const Entry& e) { return e.key > s.key; });
    for (; it != b.end() && it->key == s.key; ++it)
        if (it->object.get() == object)
            return int(it - b.begin());
    return -1;
}

void DashboardData::place(Tracker& t, const std::shared_ptr<PersistentModel>& object, const Snapshot& s) {
    if (s.bucket < 0)
        return;
    Ranked& b = t.buckets[size_t(s.bucket)];
    // After the objects with the same date: a stamped object goes below one stamped before it at that time.
    auto it = std::partition_point(b.begin(), b.end(), [&](const Entry& e) { return e.key >= s.key; });
    b.insert(it, {s.key, object});
}

void DashboardData::unplace(Tracker& t, PersistentModel* object, const Snapshot& s) {
    const int i = position(t, object, s);
    if (i >= 0) {
        Ranked& b = t.buckets[size_t(s.bucket)];
        b.erase(b.begin() + i);
    }
}

void DashboardData::reconcile(Tracker& t) {
    const auto all = t.fetchAll();
    QSet<PersistentModel*> live;
    live.reserve(qsizetype(all.size()));
    for (const auto& o : all) {
        live.insert(o.get());
        if (!t.known.contains(o.get())) {
            const Snapshot s = snapshot(t, o.get());
            t.known.insert(o.get(), {o, s});
            place(t, o, s);
        }
    }
    for (auto it = t.known.begin(); it != t.known.end();) {
        if (live.contains(it.key())) {
            ++it;
            continue;
        }
        unplace(t, it.key(), it->snapshot);
        t.dirty.remove(it.key());
        it = t.known.erase(it);
    }
}

bool DashboardData::apply(Tracker& t, int topWindow) {
    if (t.summary) {
        // The first change since the summary: the whole type from memory, as it now is.
        if (t.dirty.isEmpty() && t.storeSignals == 0)
            return false;
        readAll(t);
        return true;
    }
    bool shows = false;
    if (t.storeSignals != t.objectSignals) {
        // Something was inserted or deleted: look over the type once (in memory).
        auto outline = [&] {
            // Per list: its length and the objects that show.
            std::vector<std::pair<size_t, std::vector<PersistentModel*>>> o;
            for (const Ranked& b : t.buckets) {
                std::vector<PersistentModel*> top;
                for (size_t k = 0; k < std::min(b.size(), size_t(topWindow)); ++k)
                    top.push_back(b[k].object.get());
                o.emplace_back(b.size(), std::move(top));
            }
            return o;
        };
        const auto before = outline();
        reconcile(t);
        shows = before != outline();
    }
    for (PersistentModel* o : std::as_const(t.dirty)) {
        auto it = t.known.find(o);
        if (it == t.known.end())
            continue;
        const Snapshot old = it->snapshot;
        const Snapshot now = snapshot(t, o);
        const int oldPos = position(t, o, old);
        if (old.key != now.key || old.bucket != now.bucket) {
            unplace(t, o, old);
            place(t, it->object, now);
            it->snapshot = now;
            const int newPos = position(t, o, now);
            if (old.bucket != now.bucket || (oldPos >= 0 && oldPos < topWindow) || (newPos >= 0 && newPos < topWindow))
                shows = true;
        } else if (oldPos >= 0 && oldPos < topWindow) {
            shows = true; // a listed object's title, icon or colour
        }
    }
    t.dirty.clear();
    t.storeSignals = t.objectSignals = 0;
    return shows;
}

void DashboardData::processPending() {
    m_scheduled = false;
    if (!m_context)
        return;
    const bool projectsPending = !m_projects.dirty.isEmpty() || m_projects.storeSignals != 0;
    const bool docs = apply(m_docs, kDocWindow);
    const bool projects = apply(m_projects, kRecentWindow) || projectsPending;
    const bool checklists = apply(m_checklists, kRecentWindow);
    if (docs)
        emit docsChanged();
    if (projects)
        emit projectsChanged();
    if (checklists)
        emit checklistsChanged();
}
