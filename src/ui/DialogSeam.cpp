#include "ui/DialogSeam.h"

#include "ui/AppStyle.h"
#include "ui/Fonts.h"
#include "ui/Logging.h"
#include "ui/PortalFileChooser.h"
#include "ui/Symbols.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTranslator>
#include <QTreeView>
#include <QGridLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>

#include <algorithm>

namespace DialogSeam {

namespace {

struct SeamState {
    bool nonInteractive = false;
    QStringList answers;
    QList<QStringList> fileNames;
    QList<Message> shown;
    QList<QUrl> urls;
};

SeamState& state() {
    static SeamState s;
    return s;
}

bool isRejecting(QMessageBox::ButtonRole role) {
    return role == QMessageBox::RejectRole || role == QMessageBox::NoRole;
}

// Answer without a person: the queued button text, else the escape answer.
int scriptedAnswer(const Message& message) {
    auto& s = state();
    s.shown.append(message);
    if (!s.answers.isEmpty()) {
        const QString wanted = s.answers.takeFirst();
        for (int i = 0; i < message.buttons.size(); ++i)
            if (message.buttons[i].text == wanted)
                return i;
        qCWarning(lcUi, "the queued answer \"%s\" is no button of \"%s\"", qPrintable(wanted),
                  qPrintable(message.text));
    }
    return escapeIndex(message);
}

// Qt's French catalogue predates the context Qt 6 reads the file dialog's kinds from ("Folder", "Drive",
// "txt File"): those few words, so that the list is wholly French.
class FileKindsTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation, int n) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0 && qstrcmp(context, "QFileSystemModel") != 0)
            return {};
        static const struct {
            const char* source;
            const char* french;
        } words[] = {
            {"Folder", "Dossier"},     {"Drive", "Lecteur"}, {"File", "Fichier"},    {"%1 File", "Fichier %1"},
            {"Shortcut", "Raccourci"}, {"Alias", "Alias"},   {"Unknown", "Inconnu"},
        };
        if (qstrcmp(context, "QFileSystemModel") == 0)
            return {}; // complete in Qt's catalogue
        for (const auto& w : words)
            if (qstrcmp(source, w.source) == 0)
                return QString::fromUtf8(w.french);
        return {};
    }
};

// Symbols in the text colour instead of the platform's colour bitmaps.
class SymbolIconProvider : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override {
        return symbol(type == Folder || type == Desktop || type == Network ? "folder"
                          : type == Drive || type == Computer              ? "externaldrive.fill"
                                                                           : "doc");
    }
    QIcon icon(const QFileInfo& info) const override {
        if (info.isDir())
            return symbol(info.isRoot() ? "externaldrive.fill" : "folder");
        static const QStringList images{"png", "jpg", "jpeg", "gif", "webp", "heic", "heif", "tif", "tiff", "bmp"};
        return symbol(images.contains(info.suffix().toLower()) ? "photo" : "doc");
    }

private:
    static QIcon symbol(const char* name) {
        return Symbols::icon(QString::fromLatin1(name), QApplication::palette().color(QPalette::Text), 16);
    }
};

// The list's sizes and dates in the French way ("07/12/2026 09:30", "4,0 Ko"), as the rest of the
// application writes them: Qt's model writes them in the system's locale.
class FrenchFileDetails : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (role == Qt::DisplayRole && files && index.isValid()) {
            const QModelIndex source = mapToSource(index);
            if (index.column() == 3)
                return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
            if (index.column() == 1 && !files->isDir(source))
                return QLocale().formattedDataSize(files->size(source));
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

void installFileDialogTranslations() {
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    QCoreApplication::installTranslator(new FileKindsTranslator(QCoreApplication::instance()));
}

namespace {

enum class Pick { open, openMany, save };

// The desktop's own chooser where the platform offers one (a platform theme or the portal); otherwise
// Qt's dialog, in French, with our symbols and a date column wide enough for its dates.
QStringList pickFiles(QWidget* parent, const QString& caption, const QString& dir, const QString& filter, Pick pick) {
    // The desktop's chooser, through the portal, wherever one answers.
    const PortalFileChooser::Mode mode = pick == Pick::save ? PortalFileChooser::Mode::save
        : pick == Pick::openMany                            ? PortalFileChooser::Mode::openMany
                                                            : PortalFileChooser::Mode::open;
    if (const std::optional<QStringList> chosen = PortalFileChooser::choose(parent, mode, caption, dir, filter))
        return *chosen;
    installFileDialogTranslations();
    SymbolIconProvider icons; // outlives the dialog, which does not own it
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setAcceptMode(pick == Pick::save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(pick == Pick::openMany   ? QFileDialog::ExistingFiles
                           : pick == Pick::open ? QFileDialog::ExistingFile
                                                : QFileDialog::AnyFile);
    dialog.setIconProvider(&icons);
    // Only Qt's own dialog has the list (a native one has no child widgets).
    if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        dialog.setProxyModel(new FrenchFileDetails(&dialog));
        {
            const QFontMetrics fm(tree->font());
            // "14/03/2026 09:30" whole, with room for the sort arrow.
            tree->header()->resizeSection(3, fm.horizontalAdvance(QStringLiteral("00/00/0000 00:00")) + 32);
            tree->header()->resizeSection(0, std::max(tree->header()->sectionSize(0), 260));
        }
        dialog.resize(std::max(dialog.width(), 760), std::max(dialog.height(), 460));
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QStringList scriptedFiles() {
    auto& s = state();
    return s.fileNames.isEmpty() ? QStringList() : s.fileNames.takeFirst();
}

QString pickOneFile(QWidget* parent, const QString& caption, const QString& dir, const QString& filter, Pick pick) {
    const QStringList files = state().nonInteractive ? scriptedFiles() : pickFiles(parent, caption, dir, filter, pick);
    return files.isEmpty() ? QString() : files.first();
}

} // namespace

Message deletion(const QString& text, const QString& informativeText) {
    Message m;
    m.icon = QMessageBox::Warning;
    m.text = text;
    m.informativeText = informativeText;
    m.buttons = {{QStringLiteral("Supprimer"), QMessageBox::DestructiveRole},
                 {QStringLiteral("Annuler"), QMessageBox::RejectRole}};
    m.escapeButton = 1;
    return m;
}

int escapeIndex(const Message& message) {
    if (message.escapeButton >= 0)
        return message.escapeButton;
    for (int i = 0; i < message.buttons.size(); ++i)
        if (isRejecting(message.buttons[i].role))
            return i;
    return message.buttons.isEmpty() ? 0 : int(message.buttons.size()) - 1;
}

QMessageBox* makeBox(QWidget* parent, const Message& message, QList<QAbstractButton*>& buttons) {
    auto* box = new QMessageBox(parent);
    // The kind of message is said by the title; the box shows no icon.
    box->setIcon(QMessageBox::NoIcon);
    box->setText(message.text);
    box->setInformativeText(message.informativeText);
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(QStringLiteral("Tolmek"));
    if (auto* title = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
        title->setFont(Fonts::system(14, 700));
    if (auto* detail = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        detail->setFont(Fonts::system(13));
        detail->setTextFormat(Qt::PlainText);
    }
    if (message.buttons.isEmpty()) {
        buttons.append(box->addButton(QMessageBox::Ok));
    } else {
        for (const auto& b : message.buttons) {
            QAbstractButton* button = box->addButton(b.text, b.role);
            // Quitting without saving, deleting: in red.
            if (b.role == QMessageBox::DestructiveRole)
                TolmekStyle::setDestructive(button);
            buttons.append(button);
        }
    }
    const int esc = escapeIndex(message);
    // Return must not confirm a destructive choice that the caller did not make the default.
    int defaultIndex = message.defaultButton;
    if (defaultIndex < 0 && std::any_of(message.buttons.begin(), message.buttons.end(), [](const Button& b) {
            return b.role == QMessageBox::DestructiveRole;
        }))
        defaultIndex = esc;
    if (defaultIndex >= 0 && defaultIndex < buttons.size())
        if (auto* pb = qobject_cast<QPushButton*>(buttons[defaultIndex]))
            box->setDefaultButton(pb);
    if (esc >= 0 && esc < buttons.size())
        box->setEscapeButton(buttons[esc]);
    // The box sizes itself to its minimum layout width when shown: a spacer across the grid keeps it
    // from shrinking to the width of a short title.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        // Without an icon Qt still indents the texts by a spacer in the icon's column: emptied, so that
        // the texts keep the margin the buttons keep on the right.
        for (int i = 0; i < grid->count(); ++i) {
            QSpacerItem* spacer = grid->itemAt(i)->spacerItem();
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            if (spacer && row == 0 && column == 0 && columnSpan == 1)
                spacer->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
        }
        grid->setColumnStretch(1, 1);
        grid->setHorizontalSpacing(0); // only the emptied column stands beside the texts
        grid->addItem(new QSpacerItem(alertMinimumWidth, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, std::max(1, grid->columnCount()));
        grid->invalidate();
    }
    return box;
}

int exec(QWidget* parent, const Message& message) {
    if (state().nonInteractive)
        return scriptedAnswer(message);
    QList<QAbstractButton*> buttons;
    QMessageBox* box = makeBox(parent, message, buttons);
    box->exec();
    const int index = int(buttons.indexOf(box->clickedButton()));
    delete box;
    return index >= 0 ? index : escapeIndex(message);
}

void open(QWidget* parent, const Message& message, std::function<void(int)> done) {
    if (state().nonInteractive) {
        const int answer = scriptedAnswer(message);
        // Answered on the next turn of the event loop, as a person would.
        QPointer<QWidget> guard(parent);
        const bool hadParent = parent != nullptr;
        QMetaObject::invokeMethod(
            qApp,
            [answer, done, guard, hadParent] {
                if (done && (!hadParent || guard))
                    done(answer);
            },
            Qt::QueuedConnection);
        return;
    }
    auto buttons = std::make_shared<QList<QAbstractButton*>>();
    QMessageBox* box = makeBox(parent, message, *buttons);
    box->setAttribute(Qt::WA_DeleteOnClose);
    const int esc = escapeIndex(message);
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, done, esc](int) {
        const int index = int(buttons->indexOf(box->clickedButton()));
        if (done)
            done(index >= 0 ? index : esc);
    });
    box->open();
}

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) {
    return pickOneFile(parent, caption, dir, filter, Pick::open);
}

QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) {
    if (state().nonInteractive)
        return scriptedFiles();
    return pickFiles(parent, caption, dir, filter, Pick::openMany);
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) {
    return pickOneFile(parent, caption, dir, filter, Pick::save);
}

bool openUrl(const QUrl& url) {
    if (state().nonInteractive) {
        state().urls.append(url);
        return true;
    }
    return QDesktopServices::openUrl(url);
}

void setNonInteractive(bool on) { state().nonInteractive = on; }
bool isNonInteractive() { return state().nonInteractive; }
void pushAnswer(const QString& buttonText) { state().answers.append(buttonText); }
void pushFileNames(const QStringList& paths) { state().fileNames.append(paths); }
void pushFileName(const QString& path) { state().fileNames.append(path.isEmpty() ? QStringList() : QStringList{path}); }
const QList<Message>& shownMessages() { return state().shown; }
const QList<QUrl>& openedUrls() { return state().urls; }

void reset() {
    auto& s = state();
    s.answers.clear();
    s.fileNames.clear();
    s.shown.clear();
    s.urls.clear();
}

} // namespace DialogSeam
