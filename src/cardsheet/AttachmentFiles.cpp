#include "cardsheet/AttachmentFiles.h"

#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMutex>
#include <QTemporaryFile>

#include <unistd.h>

namespace attachmentfiles {

namespace {
QMutex g_rootMutex;
QString g_testRoot;
std::atomic<qint64> g_writeLimit{-1};
constexpr qint64 kChunk = 1 << 20;

QString canonicalDir(const QString& path) {
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? QString() : c;
}
} // namespace

QString attachmentsDirectory() {
    {
        QMutexLocker lock(&g_rootMutex);
        if (!g_testRoot.isEmpty())
            return g_testRoot;
    }
    return attachmentsRootPath();
}

void setAttachmentsDirectoryForTesting(const QString& path) {
    QMutexLocker lock(&g_rootMutex);
    g_testRoot = path;
}

QString cardDirectory(const QUuid& checklistId, const QUuid& cardId) {
    return attachmentsDirectory() + QLatin1Char('/') + store::uuidText(checklistId) + QLatin1Char('/') +
           store::uuidText(cardId);
}

std::optional<QString> safeFileName(const QString& name) {
    if (name.trimmed().isEmpty() || name.startsWith(QLatin1Char('.')))
        return std::nullopt;
    for (QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() == 0 || c.category() == QChar::Other_Control)
            return std::nullopt;
    // A name longer than the file system takes cannot be stored as such.
    if (name.toUtf8().size() > 200)
        return std::nullopt;
    return name;
}

QString uniqueName(const QString& name, const std::function<bool(const QString&)>& taken) {
    if (!taken(name))
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(ext);
        if (!taken(candidate))
            return candidate;
    }
}

bool isInsideAttachments(const QString& path) {
    const QString root = canonicalDir(attachmentsDirectory());
    const QString target = QFileInfo(path).canonicalFilePath();
    return !root.isEmpty() && !target.isEmpty() && target.startsWith(root + QLatin1Char('/'));
}

void setWriteLimitForTesting(qint64 bytes) { g_writeLimit = bytes; }

CopyResult copyIntoFolder(const QString& source, const QString& folder, const QString& name,
                          const std::atomic_bool* cancel) {
    CopyResult result;
    const auto safe = safeFileName(name);
    if (!safe) {
        result.error = CopyError::unsafeName;
        return result;
    }
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile() || !sourceInfo.isReadable()) {
        result.error = CopyError::unreadableSource;
        return result;
    }
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        result.error = CopyError::unreadableSource;
        return result;
    }

    // The card's folder must be a real folder inside the attachments folder (no link leading out of it).
    QDir().mkpath(folder);
    const QString dir = canonicalDir(folder);
    const QString root = canonicalDir(attachmentsDirectory());
    if (dir.isEmpty() || root.isEmpty() || !QFileInfo(dir).isDir() || !dir.startsWith(root + QLatin1Char('/'))) {
        result.error = CopyError::folder;
        return result;
    }

    QTemporaryFile out(dir + QStringLiteral("/.tolmek-copy-XXXXXX"));
    if (!out.open()) {
        result.error = CopyError::write;
        return result;
    }
    const qint64 limit = g_writeLimit.load();
    qint64 written = 0;
    QByteArray buffer;
    for (;;) {
        if (cancel && cancel->load()) {
            result.error = CopyError::cancelled;
            return result;   // the temporary file removes itself
        }
        buffer = in.read(kChunk);
        if (buffer.isEmpty()) {
            if (in.error() != QFileDevice::NoError) {
                result.error = CopyError::unreadableSource;
                return result;
            }
            break;
        }
        if (limit >= 0 && written + buffer.size() > limit) {
            result.error = CopyError::write;
            return result;
        }
        if (out.write(buffer) != buffer.size()) {
            result.error = CopyError::write;
            return result;
        }
        written += buffer.size();
    }
    if (!out.flush() || ::fsync(out.handle()) != 0) {
        result.error = CopyError::write;
        return result;
    }
    out.close();

    // Rename into place; QFile::rename never replaces an existing file, so a name taken meanwhile
    // (another copy finishing at the same moment) moves on to the next candidate.
    const QString tmpPath = out.fileName();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString candidate = uniqueName(*safe, [&](const QString& n) {
            return QFileInfo::exists(dir + QLatin1Char('/') + n) || QFileInfo(dir + QLatin1Char('/') + n).isSymLink();
        });
        const QString dest = dir + QLatin1Char('/') + candidate;
        if (QFile::rename(tmpPath, dest)) {
            out.setAutoRemove(false);
            result.error = CopyError::none;
            result.path = dest;
            return result;
        }
        if (!QFileInfo::exists(dest))
            break;
    }
    result.error = CopyError::write;
    return result;
}

bool isLinkPath(const QString& localPath) {
    return localPath.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           localPath.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

bool isLinkAttachment(const ChecklistAttachment& attachment) { return isLinkPath(attachment.localPath()); }

QString extensionOf(const QString& fileName) {
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const QString base = fileName.mid(slash + 1);
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {};
    return base.mid(dot + 1).toLower();
}

QString attachmentType(const std::optional<QString>& mimeType, const QString& fileName) {
    static const QMimeDatabase db;
    if (mimeType && !mimeType->isEmpty()) {
        const QMimeType t = db.mimeTypeForName(*mimeType);
        if (t.isValid() && !t.isDefault())
            return t.name();
    }
    if (extensionOf(fileName).isEmpty())
        return {};
    const QMimeType t = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!t.isValid() || t.isDefault())
        return {};
    return t.name();
}

bool isImageAttachment(const std::optional<QString>& mimeType, const QString& fileName) {
    static const QMimeDatabase db;
    const QString type = attachmentType(mimeType, fileName);
    if (!type.isEmpty()) {
        if (type.startsWith(QLatin1String("image/")))
            return true;
        const QStringList parents = db.mimeTypeForName(type).allAncestors();
        for (const QString& p : parents)
            if (p.startsWith(QLatin1String("image/")))
                return true;
        return false;
    }
    static const QStringList images{"png", "jpg", "jpeg", "gif", "webp", "heic", "tiff", "bmp"};
    return images.contains(extensionOf(fileName));
}

QString attachmentIconName(const std::optional<QString>& mimeType, const QString& fileName) {
    if (isImageAttachment(mimeType, fileName))
        return QStringLiteral("photo");
    const QString ext = extensionOf(fileName);
    struct Row {
        QStringList exts;
        const char* symbol;
    };
    static const Row rows[] = {
        {{"pdf"}, "doc.richtext"},
        {{"doc", "docx", "rtf"}, "doc.text"},
        {{"xls", "xlsx", "csv"}, "tablecells"},
        {{"ppt", "pptx"}, "rectangle.on.rectangle.angled"},
        {{"zip", "rar", "7z"}, "doc.zipper"},
        {{"mp4", "mov", "m4v"}, "film"},
        {{"mp3", "wav", "m4a"}, "music.note"},
    };
    for (const Row& r : rows)
        if (r.exts.contains(ext))
            return QString::fromLatin1(r.symbol);
    return QStringLiteral("doc");
}

} // namespace attachmentfiles
