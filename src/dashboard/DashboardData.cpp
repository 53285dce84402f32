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

    // Opening the application shows this first: the documents are summed up from the file rather than
    // all made into objects before the window can show.
    if (!summarizeDocs())
        readAll(m_docs);
    readAll(m_projects);
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
    // Each row's list and date, as snapshot() derives them from the object: the status compared as stored
    // (any other text is in progress), the date in milliseconds rounded down as the object's date is.
    const std::vector<int> columns{Doc::columnOf(&DocFields::statusRaw), Doc::columnOf(&DocFields::updatedAt),
                                   Doc::columnOf(&DocFields::deletedAt)};
    std::vector<std::pair<QByteArray, int>> known;
    for (DocStatus s : DocStatusInfo::allCases())
        known.emplace_back(DocStatusInfo::rawValue(s).toUtf8(), int(s));
    struct Row {
        qint64 key;
        qint64 rowid;
    };
    std::vector<std::vector<Row>> lists(m_docs.buckets.size());
    using PeekedRow = ModelContext::PeekedRow;
    const bool read = m_context->peekRows(m_docs.entity, columns, [&](const PeekedRow& row) {
        if (!row.isNull(2))
            return; // hidden
        const QByteArrayView raw = row.text(0);
        int bucket = int(DocStatus::inProgress);
        for (const auto& [utf8, status] : known)
            if (raw == QByteArrayView(utf8))
                bucket = status;
        const qint64 us = row.integer(1);
        constexpr qint64 kPlainDates = qint64(1) << 52; // well inside the dates QDateTime holds
        const qint64 key =
            us > -kPlainDates && us < kPlainDates ? store::microsToMillis(us) : keyOf(store::fromMicros(us));
        lists[size_t(bucket)].push_back({key, row.rowid()});
    });
    if (!read)
        return false;
    m_docs.summary = true;
    m_docs.summaryCounts.assign(lists.size(), 0);
    for (size_t b = 0; b < lists.size(); ++b) {
        auto& rows = lists[b];
        m_docs.summaryCounts[b] = int(rows.size());
        const size_t top = std::min(rows.size(), size_t(kDocWindow));
        std::partial_sort(rows.begin(), rows.begin() + qsizetype(top), rows.end(), [](const Row& x, const Row& y) {
            return x.key != y.key ? x.key > y.key : x.rowid < y.rowid;
        });
        std::vector<qint64> rowids;
        for (size_t i = 0; i < top; ++i)
            rowids.push_back(rows[i].rowid);
        for (auto& o : m_context->preloadRows(m_docs.entity, rowids)) {
            const Snapshot s = snapshot(m_docs, o.get());
            m_docs.known.insert(o.get(), {o, s});
            m_docs.buckets[b].push_back({s.key, std::move(o)});
        }
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

int DashboardData::count(DocStatus status) const {
    return m_docs.summary ? m_docs.summaryCounts[size_t(status)] : int(m_docs.buckets[size_t(status)].size());
}

std::vector<DocPtr> DashboardData::docs(DocStatus status, int limit) {
    if (m_docs.summary && limit > kDocWindow)
        readAll(m_docs);
    return topOf<Doc>(m_docs.buckets[size_t(status)], limit);
}

std::vector<ProjectPtr> DashboardData::recentProjects(int limit) const {
    return topOf<Project>(m_projects.buckets[0], limit);
}

std::vector<ChecklistPtr> DashboardData::recentChecklists(int limit) const {
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
