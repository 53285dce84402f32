#pragma once

#include <QString>
#include <QUuid>

#include <atomic>
#include <functional>
#include <optional>

class ChecklistAttachment;

// Where a card's attached files live and how they get there. Pure functions and a copy that is safe to
// run on a worker thread: it touches no widget and no model object.
namespace attachmentfiles {

// <generic data folder>/Tolmek/Attachments
QString attachmentsDirectory();
// The test seam: another root (empty: the real one).
void setAttachmentsDirectoryForTesting(const QString& path);
// <attachments>/<CHECKLIST-ID>/<CARD-ID>, identifiers in upper case.
QString cardDirectory(const QUuid& checklistId, const QUuid& cardId);

// `name` without the invisible format characters (Unicode category Cf: direction overrides and isolates,
// zero-width spaces, soft hyphens, …) that could make it read otherwise than it is, such as "facture\u202Efdp.exe"
// shown as "factureexe.pdf". The joiners that emoji and some scripts need (U+200C, U+200D) stay.
QString withoutFormatCharacters(const QString& name);

// The name a picked file is stored under, or nothing when its name is unsafe as one path component (empty
// or only blanks, "." or "..", a separator, a NUL or another control character, a form the file system
// cannot hold). Format characters are removed first. A hidden file's leading dots are dropped, so that its copy is visible; a name longer than
// `maxBytes` in UTF-8 is shortened on a character boundary, keeping its extension.
std::optional<QString> safeFileName(const QString& name, int maxBytes = 255);
// `name` itself or "stem (2).ext", "stem (3).ext", … : the first candidate for which `taken` is false,
// its stem shortened where the number would make it longer than `maxBytes`.
QString uniqueName(const QString& name, const std::function<bool(const QString&)>& taken, int maxBytes = 255);

// Whether `path` lies inside the attachments folder (after resolving links); used before opening a copy
// and never to delete anything.
bool isInsideAttachments(const QString& path);

// changedSource: the file was shortened or grew while it was copied.
enum class CopyError { none, unreadableSource, sameFile, unsafeName, folder, write, cancelled, changedSource };

struct CopyResult {
    CopyError error = CopyError::unreadableSource;
    QString path; // the final copy (only without error)
    bool ok() const { return error == CopyError::none; }
};

// Copies `source` into `folder` (created when missing) under a unique safe form of `name`: the bytes go
// to a hidden temporary file in that folder, which is then renamed into place without replacing any
// existing file. A sparse file keeps its holes (a clone where the file system can share blocks). A source
// whose length changes during the copy is refused. On any failure nothing is left behind. `cancel` is
// polled between chunks.
CopyResult copyIntoFolder(const QString& source, const QString& folder, const QString& name,
                          const std::atomic_bool* cancel = nullptr);

// Test seam: a copy fails as a full disk would once this many bytes are written (negative: never).
void setWriteLimitForTesting(qint64 bytes);
// Test seam: runs on the copying thread after each chunk is written (set it while no copy runs).
void setChunkHookForTesting(std::function<void()> hook);

// Link or file: a link's stored path begins with "http://" or "https://" in any case.
bool isLinkPath(const QString& localPath);
bool isLinkAttachment(const ChecklistAttachment& attachment);

// The extension of `fileName` (after the last dot), lower-cased; empty when none.
QString extensionOf(const QString& fileName);
// The MIME type name of an attachment: its stored type when known, else the one of its name's extension;
// empty when none is known.
QString attachmentType(const std::optional<QString>& mimeType, const QString& fileName);
bool isImageAttachment(const std::optional<QString>& mimeType, const QString& fileName);
// The symbol of a file attachment's tile.
QString attachmentIconName(const std::optional<QString>& mimeType, const QString& fileName);

} // namespace attachmentfiles
