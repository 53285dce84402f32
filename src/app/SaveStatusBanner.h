#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <map>

class ModelContext;
class Preferences;
class QLabel;

// A strip under the toolbar that says the store could not save, with the store's reason. It appears
// at the first failure of a streak and stays, without blocking anything, until a save goes through
// again; the store keeps the changes pending and tries them again by itself. A store found
// damaged refuses every save from then on: the strip says so at once, and stays. A change the store had
// to drop (its row was removed by something else) is said there too, for a while, until a later save.
// A sync of the store's log that fails, or a preferences write that fails, is said the same way, until
// a later sync or write goes through.
class SaveStatusBanner : public QWidget {
    Q_OBJECT
public:
    // %1: the store's reason.
    static const QString messageTemplate;
    static const QString damagedTemplate;
    // How long the note of a dropped change stays at least, whatever is saved meanwhile.
    static constexpr int droppedNoteMs = 10000;

    SaveStatusBanner(ModelContext& context, Preferences& prefs, QWidget* parent = nullptr);

    // The reason of the streak's first failure (empty when no streak is running).
    QString reason() const { return m_reason; }
    QLabel* label() const { return m_label; }
    // Streaks shown since creation (tests).
    int streaksShown() const { return m_streaks; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void onSaveFailed(const QString& error);
    void onSaved();
    void onDamaged(const QString& reason);
    void onChangesDropped(const QString& message);
    // Failures of the writes beside the saves: the log's sync, the preferences.
    enum class Writer { log, prefs };
    void onWriterFailed(Writer writer, const QString& reason);
    void onWriterRecovered(Writer writer);
    // Hides the strip, or shows what is still failing.
    void showRemaining();
    void present(const QString& text);

    QLabel* m_label;
    QString m_reason;
    bool m_damaged = false;
    QElapsedTimer m_droppedShown; // running while the note of a dropped change is on screen
    int m_streaks = 0;
    std::map<Writer, QString> m_writerFailures;
};
