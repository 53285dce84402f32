#pragma once

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QWidget;

// One running Tolmek per store. The first process holds a lock file beside the store for as long as it
// runs (a lock left by a process that died is taken over); a later launch on the same store asks that
// process, over the session bus, to bring its window forward, and ends.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.tolmek.Tolmek")
public:
    static const QString alreadyOpenText;

    explicit SingleInstance(const QString& storePath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock (creating the store's folder first). False only when another live process holds it;
    // a lock that cannot be made at all (a folder that cannot be written) does not stop the start.
    bool acquire();
    QString lockPath() const { return m_storePath + QStringLiteral(".lock"); }

    // Answers later launches on the same store by raising `window`. Nothing happens without a session bus.
    void listen(QWidget* window);
    // In a later launch: asks the running process to come forward, trying for up to `waitMs` while it is
    // still starting (its lock held, its name not yet on the bus). False when it could not be reached.
    bool activateRunning(int waitMs = 2000) const;

    // The bus name of the process that runs the store at `storePath`.
    static QString serviceName(const QString& storePath);

public slots:
    Q_SCRIPTABLE void activate();

signals:
    void activated();

private:
    QString m_storePath;
    std::unique_ptr<QLockFile> m_lock;
    QPointer<QWidget> m_window;
    bool m_registered = false;
};
