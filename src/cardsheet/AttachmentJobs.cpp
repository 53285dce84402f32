#include "cardsheet/AttachmentJobs.h"

#include "ui/BackgroundJobs.h"
#include "ui/ImageConversion.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

// ---- AttachmentImports ----

AttachmentImports::AttachmentImports(QObject* parent) : QObject(parent) {
    if (auto* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &AttachmentImports::cancelAll);
}

AttachmentImports::~AttachmentImports() {
    // A cancelled copy stops at its next chunk; what the workers posted goes with this object.
    cancelAll();
    if (m_running.isEmpty())
        return;
    backgroundJobs().waitForDone();
}

QStringList AttachmentImports::copyingNames(const QUuid& cardId) const { return m_names.value(cardId); }

int AttachmentImports::runningCount() const {
    int n = 0;
    for (int v : m_running)
        n += v;
    return n;
}

void AttachmentImports::cancelAll() { m_cancel->store(true); }

namespace {
QString reasonText(attachmentfiles::CopyError error) {
    using attachmentfiles::CopyError;
    switch (error) {
    case CopyError::none:
    case CopyError::cancelled: return {};
    case CopyError::unreadableSource: return QStringLiteral("Le fichier n’a pas pu être lu.");
    case CopyError::sameFile:
    case CopyError::unsafeName: return QStringLiteral("Le nom de ce fichier ne peut pas être utilisé.");
    case CopyError::folder: return QStringLiteral("Le dossier des pièces jointes n’est pas accessible.");
    case CopyError::write:
        return QStringLiteral("La copie n’a pas pu être écrite (disque plein ou protégé en écriture ?).");
    case CopyError::changedSource:
        return QStringLiteral(
            "Le fichier a changé pendant la copie : il n’a pas été joint. Réessayez une fois "
            "qu’il ne change plus.");
    }
    return {};
}
} // namespace

void AttachmentImports::start(const Request& request, Finish finish) {
    if (m_cancel->load())
        m_cancel = std::make_shared<std::atomic_bool>(false);
    // Stored, shown and copied without the characters that could disguise its type.
    const QString name = attachmentfiles::withoutFormatCharacters(QFileInfo(request.source).fileName());
    m_running[request.cardId] += 1;
    m_names[request.cardId].append(name);
    emit started(request.cardId);

    const QString folder = attachmentfiles::cardDirectory(request.checklistId, request.cardId);
    // The registry waits for its workers when destroyed, so the worker may post back to it at any time.
    AttachmentImports* self = this;
    auto cancel = m_cancel;
    const QUuid cardId = request.cardId;
    const QString source = request.source;
    backgroundJobs().start([self, cancel, folder, name, source, cardId, finish] {
        const attachmentfiles::CopyResult result = attachmentfiles::copyIntoFolder(source, folder, name, cancel.get());
        QMetaObject::invokeMethod(
            self,
            [self, result, name, cardId, finish] {
                bool ok = result.ok();
                QString reason = reasonText(result.error);
                if (ok && !(finish && finish(name, result.path))) {
                    // The card went away meanwhile: the copy we just made belongs to no record.
                    QFile::remove(result.path);
                    ok = false;
                    reason.clear();
                }
                self->m_running[cardId] -= 1;
                if (self->m_running[cardId] <= 0)
                    self->m_running.remove(cardId);
                self->m_names[cardId].removeOne(name);
                if (self->m_names[cardId].isEmpty())
                    self->m_names.remove(cardId);
                emit self->finished(cardId, ok, name, reason);
            },
            Qt::QueuedConnection);
    });
}

// ---- ThumbnailCache ----

ThumbnailCache::ThumbnailCache(QObject* parent) : QObject(parent) {}

ThumbnailCache::~ThumbnailCache() {
    if (!m_waiting.isEmpty())
        backgroundJobs().waitForDone();
}

QString ThumbnailCache::keyFor(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return path + QStringLiteral("|missing");
    return QStringLiteral("%1|%2|%3").arg(path).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
}

bool ThumbnailCache::hasFailed(const QString& path) const {
    const auto it = m_cache.constFind(keyFor(path));
    return it != m_cache.constEnd() && it->failed;
}

void ThumbnailCache::clear() { m_cache.clear(); }

QImage ThumbnailCache::request(const QString& path, QObject* receiver, std::function<void(const QImage&)> ready) {
    const QString key = keyFor(path);
    const auto it = m_cache.constFind(key);
    if (it != m_cache.constEnd())
        return it->image;
    auto& waiting = m_waiting[key];
    waiting.append({QPointer<QObject>(receiver), std::move(ready)});
    if (waiting.size() > 1)
        return {}; // a decode of this file is already running
    ++m_decodes;
    // The cache waits for its decodes when destroyed, so the worker may post back to it at any time.
    ThumbnailCache* self = this;
    backgroundJobs().start([self, key, path] {
        QImage image = ImageConversion::decodeThumbnail(path, maxPixelSize);
        QMetaObject::invokeMethod(
            self,
            [self, key, image] {
                ThumbnailCache& cache = *self;
                // A small cache: attachments of the cards opened in this session.
                if (cache.m_cache.size() > 256)
                    cache.m_cache.clear();
                cache.m_cache.insert(key, Entry{image, image.isNull()});
                const auto waiters = cache.m_waiting.take(key);
                for (const auto& [who, fn] : waiters)
                    if (who && fn)
                        fn(image);
            },
            Qt::QueuedConnection);
    });
    return {};
}
