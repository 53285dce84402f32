#pragma once

#include "cardsheet/AttachmentFiles.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>

class ModelContext;

// File copies of attachments, run on worker threads. The record is made on the GUI thread once the
// copy is in place, and only when the card still exists; otherwise the fresh copy is taken away again.
// One for the whole run (the entry makes it): a copy outlives the sheet that started it.
class AttachmentImports : public QObject {
    Q_OBJECT
public:
    explicit AttachmentImports(QObject* parent = nullptr);
    // Stops the copies and waits for the workers, which post back to this object.
    ~AttachmentImports() override;

    struct Request {
        QUuid checklistId;
        QUuid cardId;
        QString source;
    };
    // Makes the record once the copy is in place; returns false when the card is gone (the copy is then
    // removed). Runs on the GUI thread.
    using Finish = std::function<bool(const QString& fileName, const QString& copyPath)>;

    // Starts copying; `finish` runs on the GUI thread after a successful copy.
    void start(const Request& request, Finish finish);

    bool isCopying(const QUuid& cardId) const { return m_running.value(cardId) > 0; }
    // The names being copied for a card, oldest first.
    QStringList copyingNames(const QUuid& cardId) const;
    int runningCount() const;
    // Stops every copy at its next chunk (application quit); their temporary files go away.
    void cancelAll();

signals:
    void started(const QUuid& cardId);
    // `ok` false: nothing was attached; `reason` says why in French (empty when cancelled).
    void finished(const QUuid& cardId, bool ok, const QString& fileName, const QString& reason);

private:
    QHash<QUuid, int> m_running;
    QHash<QUuid, QStringList> m_names;
    std::shared_ptr<std::atomic_bool> m_cancel = std::make_shared<std::atomic_bool>(false);
};

// Thumbnails of attached images (at most 240 pixels on the longer side), decoded on worker threads with
// the image guards, cached per file (path, size and modification time). One for the whole run (the entry
// makes it), so a card opened again shows its thumbnails at once.
class ThumbnailCache : public QObject {
    Q_OBJECT
public:
    static constexpr int maxPixelSize = 240;

    explicit ThumbnailCache(QObject* parent = nullptr);
    // Waits for the decodes, which post back to this object.
    ~ThumbnailCache() override;

    // The cached thumbnail, or a null image while it is unknown; starts decoding when needed.
    // `ready` is called on the GUI thread when the decode ends, as long as `receiver` lives.
    QImage request(const QString& path, QObject* receiver, std::function<void(const QImage&)> ready);
    // Whether a decode of `path` is known to have failed (missing, not an image, refused).
    bool hasFailed(const QString& path) const;
    void clear();
    int decodeCount() const { return m_decodes; }

private:
    static QString keyFor(const QString& path);
    struct Entry {
        QImage image;
        bool failed = false;
    };
    QHash<QString, Entry> m_cache;
    QHash<QString, QList<std::pair<QPointer<QObject>, std::function<void(const QImage&)>>>> m_waiting;
    int m_decodes = 0;
};
