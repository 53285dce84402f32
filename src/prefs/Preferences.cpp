#include "prefs/Preferences.h"

#include "prefs/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {
Preferences* g_override = nullptr;

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// A key as the file writes it: %XX and %UXXXX for other characters than letters, digits and a few signs.
QString unescapedKey(const QByteArray& raw) {
    QByteArray bytes;
    QString out;
    auto flush = [&] {
        out += QString::fromUtf8(bytes);
        bytes.clear();
    };
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '%' && i + 5 < raw.size() && raw.at(i + 1) == 'U') {
            bool ok = false;
            const uint u = raw.mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                flush();
                out += QChar(char16_t(u));
                i += 5;
                continue;
            }
        }
        if (c == '%' && i + 2 < raw.size()) {
            bool ok = false;
            const uint b = raw.mid(i + 1, 2).toUInt(&ok, 16);
            if (ok) {
                bytes += char(b);
                i += 2;
                continue;
            }
        }
        bytes += c == '\\' ? '/' : c;
    }
    flush();
    return out;
}

// A value as the file writes it, read as one text: quotes go, escapes are read, and commas stay
// where they are instead of splitting the text into a list.
QString unescapedText(const QString& raw) {
    QString out;
    const QString in = raw.trimmed();
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in.at(i);
        if (c == u'"')
            continue;
        if (c != u'\\' || i + 1 >= in.size()) {
            out += c;
            continue;
        }
        const char16_t n = in.at(++i).unicode();
        switch (n) {
        case 'a': out += QChar(u'\a'); break;
        case 'b': out += QChar(u'\b'); break;
        case 'f': out += QChar(u'\f'); break;
        case 'n': out += QChar(u'\n'); break;
        case 'r': out += QChar(u'\r'); break;
        case 't': out += QChar(u'\t'); break;
        case 'v': out += QChar(u'\v'); break;
        case '\n': break; // a line continued on the next
        case '\r':
            if (i + 1 < in.size() && in.at(i + 1) == u'\n')
                ++i;
            break;
        case 'x': {
            uint value = 0;
            int digits = 0;
            while (i + 1 < in.size() && digits < 4 && hexDigit(in.at(i + 1)) >= 0) {
                value = value * 16 + uint(hexDigit(in.at(++i)));
                ++digits;
            }
            out += QChar(char16_t(value));
            break;
        }
        default:
            if (n >= '0' && n <= '7') {
                uint value = n - '0';
                for (int k = 0; k < 2 && i + 1 < in.size() && in.at(i + 1) >= u'0' && in.at(i + 1) <= u'7'; ++k)
                    value = value * 8 + uint(in.at(++i).unicode() - '0');
                out += QChar(char16_t(value));
            } else {
                out += QChar(n);
            }
            break;
        }
    }
    return out;
}

// The text of `key` in the INI file at `path`, as written (the last entry wins, as for QSettings).
std::optional<QString> fileText(const QString& path, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    std::optional<QString> found;
    QString section;
    qsizetype start = 0;
    while (start < data.size()) {
        // A line ends at a new line that no backslash continues.
        qsizetype end = start;
        while (end < data.size() && data.at(end) != '\n')
            ++end;
        while (end < data.size()) {
            qsizetype slashes = 0;
            for (qsizetype k = end - 1; k >= start && data.at(k) == '\\'; --k)
                ++slashes;
            if (slashes % 2 == 0)
                break;
            ++end;
            while (end < data.size() && data.at(end) != '\n')
                ++end;
        }
        const QByteArray line = data.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            section = unescapedKey(line.mid(1, close < 0 ? -1 : close - 1));
            if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                section.clear();
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QString name = unescapedKey(line.left(eq).trimmed());
        if ((section.isEmpty() ? name : section + u'/' + name) == key)
            found = unescapedText(QString::fromUtf8(line.mid(eq + 1)));
    }
    return found;
}

// One entry as QSettings spells it in an INI file: its section's header line and its own line.
struct EntryText {
    QByteArray header; // "[General]" for keys without a group
    QByteArray key; // the escaped key, before '='
    QByteArray line; // "key=value"
};

// A folder for scratch files, in memory where the system has one (writing there costs no disk flush).
QString scratchFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
}

// Nothing, with `ioFailed` set, when the scratch file could not be written or read back (a full disk: a later
// try may go through); nothing alone when QSettings cannot encode the value.
std::optional<EntryText> entryText(const QString& path, const QString& key, const QVariant& value, bool* ioFailed) {
    // QSettings' own encoding, through a scratch file: the same escapes, quotes and type markers. Each
    // entry gets a file name never used before, as QSettings keeps what it read of a file for later.
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(key, value);
        settings.sync();
        *ioFailed = settings.status() == QSettings::AccessError;
        if (settings.status() != QSettings::NoError)
            return std::nullopt;
    }
    const auto removeScratch = qScopeGuard([&] { QFile::remove(path); });
    QFile f(path);
    const QByteArray written = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    if (f.error() != QFileDevice::NoError) {
        *ioFailed = true;
        return std::nullopt;
    }
    EntryText out;
    for (QByteArray line : written.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('['))
            out.header = line;
        else if (const qsizetype eq = line.indexOf('='); eq > 0 && out.line.isEmpty()) {
            out.key = line.left(eq).trimmed();
            out.line = line;
        }
    }
    if (out.header.isEmpty() || out.line.isEmpty()) {
        // QSettings can report a sync whose write failed as done, leaving the file empty: a later try
        // writes the entry.
        *ioFailed = written.isEmpty();
        return std::nullopt;
    }
    return out;
}

// The file's bytes with the entry replaced (or added, or with `line` empty, removed); every other byte kept.
QByteArray withEntry(const QByteArray& file, const EntryText& entry, bool remove) {
    struct Line {
        qsizetype start, end; // without the line break
        qsizetype next; // start of the following line
    };
    std::vector<Line> lines;
    for (qsizetype at = 0; at < file.size();) {
        const qsizetype nl = file.indexOf('\n', at);
        const qsizetype next = nl < 0 ? file.size() : nl + 1;
        qsizetype end = nl < 0 ? file.size() : nl;
        if (end > at && file[end - 1] == '\r')
            --end;
        lines.push_back({at, end, next});
        at = next;
    }
    const QByteArray eol = file.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    const bool general = entry.header == "[General]";
    bool inSection = general; // keys before any header are in the general section
    qsizetype sectionEnd = -1; // after the last non-empty line of the entry's section
    struct Range {
        qsizetype from, to;
    };
    std::vector<Range> found;
    for (size_t i = 0; i < lines.size(); ++i) {
        const QByteArray text = file.mid(lines[i].start, lines[i].end - lines[i].start).trimmed();
        if (text.startsWith('[')) {
            inSection = text == entry.header;
            if (inSection)
                sectionEnd = lines[i].next;
            continue;
        }
        if (!inSection)
            continue;
        if (!text.isEmpty())
            sectionEnd = lines[i].next;
        const qsizetype eq = text.indexOf('=');
        if (eq <= 0 || text.left(eq).trimmed() != entry.key)
            continue;
        // A value continued on the next lines (a line ending in a backslash) goes with it.
        size_t last = i;
        while (last + 1 < lines.size() &&
               file.mid(lines[last].start, lines[last].end - lines[last].start).endsWith('\\'))
            ++last;
        found.push_back({lines[i].start, lines[last].next});
        sectionEnd = lines[last].next;
        i = last;
    }
    QByteArray out;
    qsizetype copied = 0;
    bool written = remove;
    for (const Range& r : found) {
        out += file.mid(copied, r.from - copied);
        if (!written) {
            out += entry.line + eol;
            written = true;
        }
        copied = r.to;
    }
    if (!written && sectionEnd >= 0) {
        out += file.mid(copied, sectionEnd - copied);
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += eol;
        out += entry.line + eol;
        copied = sectionEnd;
        written = true;
    }
    out += file.mid(copied);
    if (!written) {
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += eol;
        if (!out.isEmpty())
            out += eol;
        out += entry.header + eol + entry.line + eol;
    }
    return out;
}

// What a person can act on in French; the system's words for the rest.
QString errorText(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("le disque est plein");
    case EROFS: return QStringLiteral("le disque est en lecture seule");
    case EACCES:
    case EPERM: return QStringLiteral("l’accès est refusé");
    case EIO: return QStringLiteral("erreur de lecture ou d’écriture sur le disque");
    default: return QString::fromLocal8Bit(std::strerror(error));
    }
}

// The whole file into `bytes` (empty when there is no file). False, with the system's error, when a file is
// there and cannot be read to its end: what was read of it must not be taken for all of it.
bool readWhole(const QString& path, QByteArray* bytes, int* error) {
    bytes->clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return *error == ENOENT;
    }
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    constexpr qsizetype chunk = 64 * 1024;
    for (;;) {
        const qsizetype had = bytes->size();
        bytes->resize(had + chunk);
        const ssize_t n = ::read(fd, bytes->data() + had, size_t(chunk));
        bytes->resize(had + std::max<qsizetype>(n, 0));
        if (n > 0)
            continue;
        if (n == 0)
            return true;
        if (errno != EINTR) {
            *error = errno;
            bytes->clear();
            return false;
        }
    }
}

} // namespace

// Writes the values handed to it into the file, in this order, on its own thread.
class Preferences::Writer {
public:
    using Entries = std::vector<std::pair<QString, std::optional<QVariant>>>;
    static constexpr auto retryDelay = std::chrono::seconds(2);

    Writer(QString path, Preferences* owner) : m_path(std::move(path)), m_owner(owner), m_thread([this] { run(); }) {}

    // Writes what is waiting (one more try after a failure), then stops.
    ~Writer() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    void post(const QString& key, const std::optional<QVariant>& value) {
        {
            std::lock_guard lock(m_mutex);
            put(m_queue, key, value);
            ++m_posted;
        }
        m_wake.notify_all();
    }

    bool flush() {
        std::unique_lock lock(m_mutex);
        const quint64 target = m_posted;
        const quint64 failures = m_failures;
        if (m_done >= target)
            return true;
        m_hurry = true;
        m_wake.notify_all();
        m_wake.wait(lock, [&] { return m_done >= target || m_failures > failures; });
        return m_done >= target;
    }

    QString error() {
        std::lock_guard lock(m_mutex);
        return m_failing ? m_error : QString();
    }

private:
    // The newest value of each entry, in the order the entries first changed.
    static void put(Entries& entries, const QString& key, const std::optional<QVariant>& value) {
        for (auto& [k, v] : entries)
            if (k == key) {
                v = value;
                return;
            }
        entries.emplace_back(key, value);
    }

    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            Entries batch = std::exchange(m_queue, {});
            const quint64 upTo = m_posted;
            m_hurry = false;
            lock.unlock();
            QString error;
            const bool ok = write(batch, &error);
            lock.lock();
            if (ok) {
                m_done = upTo;
                if (std::exchange(m_failing, false))
                    QMetaObject::invokeMethod(
                        m_owner, [o = m_owner] { emit o->writeRecovered(); }, Qt::QueuedConnection);
                m_wake.notify_all();
                continue;
            }
            // Kept for the next try, under any newer value set meanwhile.
            Entries again = std::move(batch);
            for (const auto& [k, v] : m_queue)
                put(again, k, v);
            m_queue = std::move(again);
            ++m_failures;
            qCWarning(lcPrefs, "%s", qPrintable(error));
            m_error = error;
            if (!std::exchange(m_failing, true))
                QMetaObject::invokeMethod(
                    m_owner, [o = m_owner, error] { emit o->writeFailed(error); }, Qt::QueuedConnection);
            m_wake.notify_all();
            if (m_stop)
                return; // the last try at the end failed too
            m_wake.wait_for(lock, retryDelay, [&] { return m_stop || m_hurry || m_posted > upTo; });
        }
    }

    bool write(const Entries& entries, QString* error) {
        // Only these entries' lines change: QSettings would write the whole file again from what it read, and
        // an entry it cannot read back as it was (bytes that are not UTF-8) would be damaged.
        // A link (a dotfile manager's) stays a link: its target is written.
        const QString canonical = QFileInfo(m_path).canonicalFilePath();
        const QString path = canonical.isEmpty() ? m_path : canonical;
        auto failed = [&](const QString& why) {
            *error = QStringLiteral("les préférences n’ont pas pu être écrites dans %1 : %2").arg(path, why);
            return false;
        };
        if (!m_scratch || !m_scratch->isValid())
            m_scratch = std::make_unique<QTemporaryDir>(scratchFolder() + QStringLiteral("/tolmek-prefs-XXXXXX"));
        if (!m_scratch->isValid())
            return failed(QStringLiteral("le dossier temporaire ne peut pas être créé dans %1").arg(scratchFolder()));
        std::vector<std::pair<EntryText, bool>> lines;
        for (const auto& [key, value] : entries) {
            bool ioFailed = false;
            const auto entry = entryText(m_scratch->filePath(QStringLiteral("entry%1.conf").arg(++m_scratchFiles)), key,
                                         value.value_or(QVariant(QString())), &ioFailed);
            if (ioFailed)
                return failed(QStringLiteral("le dossier temporaire %1 ne peut pas être écrit").arg(m_scratch->path()));
            if (!entry) {
                // Not something a later try would write either.
                qCWarning(lcPrefs, "cannot write %s", qPrintable(key));
                continue;
            }
            lines.emplace_back(*entry, !value);
        }
        if (lines.empty())
            return true;
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return failed(QStringLiteral("le dossier ne peut pas être créé"));
        // The lock QSettings takes around its own reads and writes of the file. Only another holder makes it
        // "locked": a lock file that cannot be made (a full or read-only disk) says why.
        QLockFile lock(path + QStringLiteral(".lock"));
        errno = 0;
        if (!lock.tryLock(5000)) {
            const int why = errno;
            if (lock.error() == QLockFile::LockFailedError)
                return failed(QStringLiteral("le fichier est verrouillé"));
            return failed(why ? errorText(why) : QStringLiteral("le fichier de verrouillage ne peut pas être créé"));
        }
        // A file that cannot be read whole is not written: its other entries would be lost.
        QByteArray bytes;
        if (int why = 0; !readWhole(path, &bytes, &why))
            return failed(QStringLiteral("le fichier ne peut pas être lu (%1)").arg(errorText(why)));
        for (const auto& [entry, remove] : lines)
            bytes = withEntry(bytes, entry, remove);
        // A new file written beside and renamed over the old: a kill at any moment leaves one or the other.
        // Unbuffered: a write that fails is seen by the write itself. Buffered, it fails in the flush of
        // commit(), which does not see it and puts the short file in place of the whole one.
        QSaveFile out(path);
        errno = 0;
        if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(bytes) != bytes.size() ||
            !out.commit()) {
            const int why = errno;
            return failed(why ? errorText(why) : out.errorString());
        }
        return true;
    }

    const QString m_path;
    Preferences* const m_owner;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Entries m_queue;
    quint64 m_posted = 0; // values handed over
    quint64 m_done = 0; // values in the file
    quint64 m_failures = 0;
    bool m_failing = false;
    QString m_error; // the last failure's reason
    bool m_hurry = false; // a flush waits: no pause before the next try
    bool m_stop = false;
    // Writer thread only.
    std::unique_ptr<QTemporaryDir> m_scratch;
    int m_scratchFiles = 0;
    std::thread m_thread;
};

Preferences::Preferences(const QString& path, QObject* parent)
    : QObject(parent),
      m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat)),
      m_writer(std::make_unique<Writer>(m_settings->fileName(), this)) {}

Preferences::~Preferences() {
    m_writer.reset();
    if (g_override == this)
        g_override = nullptr;
}

Preferences& Preferences::shared() {
    if (g_override)
        return *g_override;
    static Preferences* instance = [] {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Tolmek";
        auto* p = new Preferences(dir + "/Tolmek.conf");
        if (auto* app = QCoreApplication::instance())
            p->setParent(app);
        return p;
    }();
    return *instance;
}

void Preferences::setShared(Preferences* prefs) { g_override = prefs; }

const std::optional<QVariant>* Preferences::pending(const QString& key) const {
    for (const auto& [k, v] : m_pending)
        if (k == key)
            return &v;
    return nullptr;
}

QVariant Preferences::value(const QString& key, const QVariant& defaultValue) const {
    if (const auto* p = pending(key))
        return p->value_or(defaultValue);
    return m_settings->value(key, defaultValue);
}

bool Preferences::contains(const QString& key) const {
    if (const auto* p = pending(key))
        return p->has_value();
    return m_settings->contains(key);
}

bool Preferences::holdsText(const QString& key) const {
    if (const auto* p = pending(key))
        return p->has_value() && (*p)->typeId() == QMetaType::QString;
    return m_settings->value(key).typeId() == QMetaType::QString;
}

std::optional<QString> Preferences::text(const QString& key) const {
    if (const auto* p = pending(key))
        return *p ? std::optional<QString>((*p)->toString()) : std::nullopt;
    if (!m_settings->contains(key))
        return std::nullopt;
    const QVariant value = m_settings->value(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    // Read from the file itself: what QSettings made of it (a list, an invalid variant) has lost it.
    if (std::optional<QString> written = fileText(m_settings->fileName(), key))
        return written;
    return value.toString();
}

void Preferences::setValue(const QString& key, const QVariant& value) {
    // An unchanged value is not written. The write is still announced, as every write is.
    bool same = false;
    if (contains(key)) {
        const QVariant old = this->value(key);
        same = old.metaType() == value.metaType() && old == value;
        // The file keeps numbers and booleans as text and reads them back as text.
        const int type = value.typeId();
        if (!same && old.typeId() == QMetaType::QString &&
            (type == QMetaType::Bool || type == QMetaType::Int || type == QMetaType::LongLong))
            same = old.toString() == value.toString();
    }
    if (!same)
        schedule(key, value);
    emit changed(key);
}

void Preferences::remove(const QString& key) {
    if (contains(key))
        schedule(key, std::nullopt);
    emit changed(key);
}

void Preferences::schedule(const QString& key, const std::optional<QVariant>& value) {
    bool found = false;
    for (auto& [k, v] : m_pending)
        if (k == key) {
            v = value;
            found = true;
        }
    if (!found)
        m_pending.emplace_back(key, value);
    m_writer->post(key, value);
}

bool Preferences::flush() { return m_writer->flush(); }

void Preferences::sync() {
    // Once the file holds what this run set, it is the one source again.
    if (flush())
        m_pending.clear();
    m_settings->sync();
}

QString Preferences::writeError() const { return m_writer->error(); }

QString Preferences::fileName() const { return m_settings->fileName(); }
