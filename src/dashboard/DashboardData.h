#pragma once

#include "core/model/Models.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>
#include <memory>
#include <vector>

// What the dashboard shows of the store, kept up to date change by change: the documents that are not
// hidden, per status, and the projects and checklists that are not hidden, each most recently updated
// first. It reads every type once when made; afterwards a change of one object moves only that object,
// and only an insertion or a deletion looks over its type again (in memory, not the file).
class DashboardData : public QObject {
    Q_OBJECT
public:
    // Reads what the dashboard shows at once. Made before its view (the start makes one while the fonts
    // load), it keeps up to date until a view takes it over.
    explicit DashboardData(ModelContext& context, QObject* parent = nullptr);
    ~DashboardData() override;

    int count(DocStatus status);
    // At most `limit` documents of the status, most recently updated first.
    std::vector<DocPtr> docs(DocStatus status, int limit);
    std::vector<ProjectPtr> recentProjects(int limit);
    std::vector<ChecklistPtr> recentChecklists(int limit);

    // Applies the changes noted since the last call (normally queued to the next turn of the event loop).
    void processPending();

signals:
    // The counts or the order of the documents changed, or a document near the top changed.
    void docsChanged();
    // The recent projects changed, or a project changed (its name shows on rows and cards).
    void projectsChanged();
    void checklistsChanged();

public:
    // One sorted list: newest update first; objects with equal dates keep the order they came in.
    struct Entry {
        qint64 key;
        std::shared_ptr<PersistentModel> object;
    };
    using Ranked = std::vector<Entry>;

private:
    // The state of one object that decides where it is listed.
    struct Snapshot {
        qint64 key = 0;
        int bucket = -1; // -1: not listed (hidden or deleted)
    };
    struct Known {
        std::shared_ptr<PersistentModel> object; // held, so a deleted object is not freed under us
        Snapshot snapshot;
    };
    struct Tracker {
        int entity = -1;
        std::function<std::vector<std::shared_ptr<PersistentModel>>()> fetchAll;
        std::vector<Ranked> buckets;
        QHash<PersistentModel*, Known> known;
        QSet<PersistentModel*> dirty;
        int storeSignals = 0; // change notices of the type from the store since the last pass
        int objectSignals = 0; // of which from objects already known
        bool reconcile = false;
        // Read from the file without reading the whole table: the counts are kept apart and only the top
        // of each list is live, if any. The first change of the type reads the table and leaves this state.
        bool summary = false;
        std::vector<int> summaryCounts;
    };

    Snapshot snapshot(const Tracker& t, PersistentModel* object) const;
    void track(Tracker& t, const std::shared_ptr<PersistentModel>& object);
    void place(Tracker& t, const std::shared_ptr<PersistentModel>& object, const Snapshot& s);
    void unplace(Tracker& t, PersistentModel* object, const Snapshot& s);
    // Applies the pending changes of one type; returns whether something that shows changed.
    bool apply(Tracker& t, int topWindow);
    void reconcile(Tracker& t);
    // Every object of the type, each listed where it belongs (the state any change keeps up).
    void readAll(Tracker& t);
    // The documents' counts from a summary of their table, when it is not read yet; no list is read.
    bool summarizeDocs();
    // The counts summarizeDocs() asked for, once they are needed.
    void takeDocCounts();
    // The top of a recent list from a summary of its table (`updatedAt`, `deletedAt`: its columns).
    bool summarizeRecent(Tracker& t, int updatedAt, int deletedAt);
    // Index in its bucket, or -1.
    int position(const Tracker& t, PersistentModel* object, const Snapshot& s) const;
    void schedule();
    void onObjectChanged(PersistentModel* object);
    Tracker* trackerFor(int entity);

    QPointer<ModelContext> m_context;
    Tracker m_docs, m_projects, m_checklists;
    std::future<ModelContext::RowCounts> m_docCounts;
    bool m_scheduled = false;
};
