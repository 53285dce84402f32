#pragma once

#include <QObject>
#include <QSettings>
#include <QVariant>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// The application's preference entries (a QSettings file). Every write signals `changed`, so that screens
// sharing one entry (such as the list layout) follow it live. A write changes only that entry's line in the
// file, and only when the value differs: reading writes nothing, and other entries keep their exact bytes.
// The file is written on a thread of its own, so a write costs the caller no disk access: a value set is
// read back at once, and reaches the file as soon as the writer is free (values set meanwhile go together,
// the newest of each entry). A write that fails is kept and tried again, and `writeFailed` says so.
class Preferences : public QObject {
    Q_OBJECT
public:
    // A preferences file at `path` (tests); the application uses `shared()`.
    explicit Preferences(const QString& path, QObject* parent = nullptr);
    // Writes what is waiting.
    ~Preferences() override;

    // The application's preferences: ~/.config/Tolmek/Tolmek.conf, or the instance set for tests.
    static Preferences& shared();
    // Replaces what `shared()` returns (tests); pass nullptr to go back to the default.
    static void setShared(Preferences* prefs);

    QVariant value(const QString& key, const QVariant& defaultValue = {}) const;
    // The entry as one text, whatever the file holds: where QSettings reads something else than a
    // string (a list for commas outside quotes, a variant for a leading "@"), the text the file
    // gives, unescaped but otherwise as written. Nothing when the entry is absent.
    std::optional<QString> text(const QString& key) const;
    // Whether the entry is held as a string, so that QSettings writes it back as it was read.
    bool holdsText(const QString& key) const;
    bool contains(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    // Returns once every value set so far is in the file, or its write failed; whether all are in.
    bool flush();
    // Writes what is waiting, then reads what other processes wrote.
    void sync();
    QString fileName() const;
    // Why the last write failed; empty while the file holds every value set.
    QString writeError() const;

signals:
    void changed(const QString& key);
    // A write did not reach the file (first failure of a streak). The values stay and are written later.
    void writeFailed(const QString& reason);
    // After a failure, the file holds every value again.
    void writeRecovered();

private:
    class Writer;
    // The entry's value (none: removed) as set during this run, if it was.
    const std::optional<QVariant>* pending(const QString& key) const;
    void schedule(const QString& key, const std::optional<QVariant>& value);

    std::unique_ptr<QSettings> m_settings;
    // What this run set, newer than what m_settings read from the file.
    std::vector<std::pair<QString, std::optional<QVariant>>> m_pending;
    std::unique_ptr<Writer> m_writer;
};
