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
class Preferences : public QObject {
    Q_OBJECT
public:
    // A preferences file at `path` (tests); the application uses `shared()`.
    explicit Preferences(const QString& path, QObject* parent = nullptr);
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
    // Reads what other processes wrote (every write here reaches the file at once).
    void sync();
    QString fileName() const;

signals:
    void changed(const QString& key);

private:
    // The entry's value (none: removed) on its way to the file, if any.
    const std::optional<QVariant>* pending(const QString& key) const;
    void schedule(const QString& key, const std::optional<QVariant>& value);
    // Writes the waiting entries into the file in place.
    void flush();

    std::unique_ptr<QSettings> m_settings;
    std::vector<std::pair<QString, std::optional<QVariant>>> m_pending;
};
