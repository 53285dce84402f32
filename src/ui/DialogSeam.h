#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QWidget;

// Every modal message box, file picker and hand-off of a link to the desktop goes through here,
// so that tests can answer them without a person: queue the next answers, then read what was shown.
namespace DialogSeam {

struct Button {
    QString text;
    QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
};

struct Message {
    QMessageBox::Icon icon = QMessageBox::Information;
    QString text; // the main line
    QString informativeText; // the detail below it
    QList<Button> buttons; // empty: one "OK"
    int defaultButton = -1; // index in buttons; -1: the platform's choice (the escape one beside a destructive one)
    int escapeButton = -1; // index answered by Escape or closing; -1: the first reject role, else the last
};

// Asks before a deletion: a warning with "Supprimer" (0, destructive) and "Annuler" (1, answered by Escape).
Message deletion(const QString& text, const QString& informativeText);

// Shows `message` modally and returns the index of the chosen button.
int exec(QWidget* parent, const Message& message);
// Shows `message` window-modal (does not block) and calls `done` with the chosen button's index.
void open(QWidget* parent, const Message& message, std::function<void(int)> done = {});

// The index that Escape or closing the box answers.
int escapeIndex(const Message& message);

// Alerts are at least this wide (their content, margins apart), so a short message is not wrapped
// word by word under a short title.
constexpr int alertMinimumWidth = 320;

// The box that exec and open show: the main line as a bold title over the detail, no bitmap icon,
// buttons with their roles. `buttons` receives the buttons in the order of `message.buttons`.
// The caller owns the box.
QMessageBox* makeBox(QWidget* parent, const Message& message, QList<QAbstractButton*>& buttons);

// File pickers. An empty result means cancelled.
QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir = {}, const QString& filter = {});
QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir = {},
                             const QString& filter = {});
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir = {}, const QString& filter = {});

// The few words of Qt's file dialog that Qt's French catalogue lacks ("Dossier" for "Folder"…); the
// pickers install them on first use.
void installFileDialogTranslations();

// Hands a link or a file to the desktop (browser, default application).
bool openUrl(const QUrl& url);

// ----- tests -----
// With non-interactive mode on, nothing is ever shown: message boxes take the next queued answer or,
// without one, their escape answer; pickers take the next queued file name(s) or cancel; links are recorded.
void setNonInteractive(bool on);
bool isNonInteractive();
// The next message box answers with the button of this text.
void pushAnswer(const QString& buttonText);
// The next file picker answers with these paths (an empty list cancels).
void pushFileNames(const QStringList& paths);
void pushFileName(const QString& path);
// Everything shown since the last reset, oldest first, and links handed over.
const QList<Message>& shownMessages();
const QList<QUrl>& openedUrls();
// Clears the queues and the records.
void reset();

} // namespace DialogSeam
