#include "cardsheet/AttachmentFiles.h"

#include "core/model/Models.h"
#include "core/model/SwiftDataContainer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMutex>
#include <QTemporaryFile>

#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <limits>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace attachmentfiles {

namespace {
QMutex g_rootMutex;
QString g_testRoot;
std::atomic<qint64> g_writeLimit{-1};
std::function<void()> g_chunkHook;
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

namespace {

// Removes whole characters from the end of `text` until its UTF-8 form takes at most `maxBytes`.
QString cutToBytes(const QString& text, qsizetype maxBytes) {
    QString out = text;
    while (!out.isEmpty() && out.toUtf8().size() > maxBytes)
        out.chop(out.size() >= 2 && out.at(out.size() - 1).isLowSurrogate() ? 2 : 1);
    return out;
}

// The extension, dot included, when it is short enough to be kept whole; empty otherwise.
QString keptExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {};
    const QString ext = name.mid(dot);
    return ext.toUtf8().size() <= 32 ? ext : QString();
}

// `stem` + `suffix` + `ext` within `maxBytes`, the stem shortened when needed.
QString fitted(const QString& stem, const QString& suffix, const QString& ext, qsizetype maxBytes) {
    const qsizetype room = maxBytes - (suffix + ext).toUtf8().size();
    return cutToBytes(stem, std::max<qsizetype>(room, 1)) + suffix + ext;
}

} // namespace

QString withoutFormatCharacters(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name.at(i).unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name.at(i), name.at(i + 1));
            units = 2;
        }
        if (QChar::category(c) != QChar::Other_Format || c == 0x200C || c == 0x200D)
            out.append(name.mid(i, units));
        i += units - 1;
    }
    return out;
}

std::optional<QString> safeFileName(const QString& given, int maxBytes) {
    const QString name = withoutFormatCharacters(given);
    if (name.trimmed().isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return std::nullopt;
    for (QChar c : name)
        if (c == QLatin1Char('/') || c.unicode() == 0 || c.category() == QChar::Other_Control)
            return std::nullopt;
    // A name the file system cannot hold as such (a lone half of a surrogate pair has no UTF-8 form).
    if (QFile::decodeName(QFile::encodeName(name)) != name)
        return std::nullopt;
    // Hidden files are kept under a visible name: the leading dots go.
    qsizetype dots = 0;
    while (dots < name.size() && name.at(dots) == QLatin1Char('.'))
        ++dots;
    QString visible = name.mid(dots);
    if (visible.trimmed().isEmpty())
        return std::nullopt;
    // Too long for the file system: shortened, keeping the extension.
    if (visible.toUtf8().size() > maxBytes) {
        const QString ext = keptExtension(visible);
        visible = fitted(visible.left(visible.size() - ext.size()), QString(), ext, maxBytes);
    }
    return visible;
}

QString uniqueName(const QString& name, const std::function<bool(const QString&)>& taken, int maxBytes) {
    if (!taken(name))
        return name;
    const QString ext = keptExtension(name);
    const QString stem = name.left(name.size() - ext.size());
    for (int n = 2;; ++n) {
        const QString candidate = fitted(stem, QStringLiteral(" (%1)").arg(n), ext, maxBytes);
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

void setChunkHookForTesting(std::function<void()> hook) { g_chunkHook = std::move(hook); }

namespace {

// Writes all of `bytes` at `offset`.
bool writeAt(int fd, const char* bytes, qint64 size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, bytes, size_t(size), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= n;
        offset += n;
    }
    return true;
}

// Copies the open `in` into the empty `out`: a clone where the file system shares blocks, else the data
// ranges one by one, so that the holes of a sparse file stay holes. `copied`: the source's length as read.
CopyError copyData(int in, int out, const std::atomic_bool* cancel, qint64* copied) {
    const qint64 limit = g_writeLimit.load();
    if (limit < 0 && !g_chunkHook && ::ioctl(out, FICLONE, in) == 0) {
        struct stat st {};
        if (::fstat(out, &st) != 0)
            return CopyError::write;
        *copied = st.st_size;
        return CopyError::none;
    }
    QByteArray buffer(kChunk, Qt::Uninitialized);
    qint64 written = 0;
    off_t pos = 0;
    bool holes = true;
    for (;;) {
        off_t data = holes ? ::lseek(in, pos, SEEK_DATA) : pos;
        if (data < 0 && errno == ENXIO) {
            // Only a hole up to the end: the length is the file's.
            const off_t end = ::lseek(in, 0, SEEK_END);
            if (end < 0)
                return CopyError::unreadableSource;
            pos = std::max(pos, end);
            break;
        }
        if (data < 0) {
            if (errno != EINVAL)
                return CopyError::unreadableSource;
            holes = false; // no hole reporting here: everything is data
            data = pos;
        }
        off_t hole = holes ? ::lseek(in, data, SEEK_HOLE) : std::numeric_limits<off_t>::max();
        if (hole < 0)
            return CopyError::unreadableSource;
        off_t at = data;
        bool end = false;
        while (at < hole) {
            if (cancel && cancel->load())
                return CopyError::cancelled;
            const ssize_t n = ::pread(in, buffer.data(), size_t(std::min<off_t>(kChunk, hole - at)), at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return CopyError::unreadableSource;
            if (n == 0) {
                end = true; // the end of the file came first (it may have been shortened meanwhile)
                break;
            }
            if (limit >= 0 && written + n > limit)
                return CopyError::write;
            if (!writeAt(out, buffer.constData(), n, at))
                return CopyError::write;
            written += n;
            at += n;
            if (g_chunkHook)
                g_chunkHook();
        }
        pos = at;
        if (end || !holes)
            break;
    }
    // A hole at the end is made by the length alone.
    if (::ftruncate(out, pos) != 0)
        return CopyError::write;
    *copied = pos;
    return CopyError::none;
}

} // namespace

CopyResult copyIntoFolder(const QString& source, const QString& folder, const QString& name,
                          const std::atomic_bool* cancel) {
    CopyResult result;
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile() || !sourceInfo.isReadable()) {
        result.error = CopyError::unreadableSource;
        return result;
    }
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        result.error = CopyError::unreadableSource;
        return result;
    }
    const auto closeIn = qScopeGuard([in] { ::close(in); });
    struct stat before {};
    if (::fstat(in, &before) != 0 || !S_ISREG(before.st_mode)) {
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
    // The longest name this file system takes.
    const long nameMax = ::pathconf(QFile::encodeName(dir).constData(), _PC_NAME_MAX);
    const int maxBytes = nameMax > 0 ? int(std::min<long>(nameMax, 255)) : 255;
    const auto safe = safeFileName(name, maxBytes);
    if (!safe) {
        result.error = CopyError::unsafeName;
        return result;
    }

    QTemporaryFile out(dir + QStringLiteral("/.tolmek-copy-XXXXXX"));
    if (!out.open()) {
        result.error = CopyError::write;
        return result;
    }
    qint64 copied = 0;
    result.error = copyData(in, int(out.handle()), cancel, &copied);
    if (result.error != CopyError::none)
        return result; // the temporary file removes itself
    // Shortened or grown while it was read: the copy is not the file the person picked.
    struct stat after {};
    if (copied != before.st_size || ::fstat(in, &after) != 0 || after.st_size != before.st_size) {
        result.error = CopyError::changedSource;
        return result;
    }
    if (::fsync(out.handle()) != 0) {
        result.error = CopyError::write;
        return result;
    }
    out.close();

    // Rename into place; QFile::rename never replaces an existing file, so a name taken meanwhile
    // (another copy finishing at the same moment) moves on to the next candidate.
    const QString tmpPath = out.fileName();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString candidate = uniqueName(
            *safe,
            [&](const QString& n) {
                return QFileInfo::exists(dir + QLatin1Char('/') + n) ||
                    QFileInfo(dir + QLatin1Char('/') + n).isSymLink();
            },
            maxBytes);
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
