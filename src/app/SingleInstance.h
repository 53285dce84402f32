#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// One running Tolmek per store. The first process holds an advisory lock (flock) on the store's folder and
// on a file beside the store for as long as it runs; the system drops them when the process ends, however
// it ends, so whatever a file of that name holds (left by a crash, restored from a backup, made by another
// machine, emptied) never stops a start. The folder's lock holds whatever happens to the files in it (the
// lock file deleted, or replaced by a link or a pipe by a sync tool). A later launch on the same store asks
// the running process, over the session bus, to bring its window forward, and ends.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.tolmek.Tolmek")
public:
    static const QString alreadyOpenText;

    explicit SingleInstance(const QString& storePath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock (creating the store's folder first). False only when another live process holds it;
    // a lock that cannot be taken at all (a folder that cannot be written) does not stop the start.
    bool acquire();
    // Lets the locks go and removes the file this process made or used (not a folder of that name).
    void release();
    bool isHeld() const { return m_fd >= 0; }
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
    enum class Take { held, busy, failed, retry };
    Take tryTake();
    Take takeFolder();

    QString m_storePath;
    int m_fd = -1;
    int m_folderFd = -1; // the store's folder, locked first and let go last
    bool m_isFolder = false; // the lock's name is a folder: locked as it is, never removed
    QPointer<QWidget> m_window;
    bool m_registered = false;
};
