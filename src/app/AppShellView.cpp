#include "app/AppShellView.h"

#include "app/Logging.h"
#include "ui/KeyboardFocus.h"

#include "app/AppDelegate.h"
#include "app/Placeholders.h"
#include "app/Router.h"
#include "app/Sidebar.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "core/model/UserProfile.h"
#include "ui/DialogSeam.h"
#include "projects/NewDocSheet.h"
#include "projects/NewProjectSheet.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QSplitter>
#include <QSplitterHandle>

const QString AppShellView::quitTitle = QStringLiteral("Quitter Tolmek ?");
const QString AppShellView::quitMessage = QStringLiteral("Toute modification non enregistrée sera perdue.");
const QString AppShellView::unsavedAdvice =
    QStringLiteral("Vous pouvez réessayer, ou quitter sans enregistrer : ces modifications seront alors perdues.");

namespace {

// The hairline between the sidebar and the detail column, which is also the grip to resize the sidebar.
class HairlineHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QColor back = AppPalette::sidebarBackground();
        const QColor line = withOpacity(AppPalette::separator(), 0.45);
        if (back.alpha() == 255) {
            // One opaque fill of the colour the two make: a translucent fill this tall goes through the
            // painting threads (see Paint::fill).
            QColor solid = line;
            solid.setAlpha(255);
            p.fillRect(rect(), Paint::mix(back, solid, line.alphaF()));
            return;
        }
        p.fillRect(rect(), back);
        p.fillRect(rect(), line);
    }
};

class ShellSplitter : public QSplitter {
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle* createHandle() override { return new HairlineHandle(orientation(), this); }
};

} // namespace

AppShellView::AppShellView(const Services& services, std::unique_ptr<DashboardData> dashboardReadAhead, QWidget* parent)
    : QWidget(parent), m_services(services), m_state(new ShellState(this)) {
    // A click hides the focus rings that Tab showed and takes the keyboard from a stale button.
    KeyboardFocus::install(qobject_cast<QApplication*>(QCoreApplication::instance()));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitter = new ShellSplitter(Qt::Horizontal, this);
    m_splitter->setHandleWidth(1);
    m_splitter->setChildrenCollapsible(false);
    m_sidebar = new Sidebar(m_state, m_services.theme, m_splitter);
    m_router = new Router(m_services, m_state, std::move(dashboardReadAhead), m_splitter);
    m_router->setMinimumWidth(screenMinimumWidth);
    m_splitter->addWidget(m_sidebar);
    m_splitter->addWidget(m_router);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    setSidebarWidth(Sidebar::idealWidth);
    layout->addWidget(m_splitter);
    connect(&m_services.theme, &ThemeManager::appearanceChanged, m_splitter, [this] {
        for (int i = 0; i < m_splitter->count(); ++i)
            m_splitter->handle(i)->update();
    });

    m_terminate = [](int exitCode) { QCoreApplication::exit(exitCode); };
    connect(m_state, &ShellState::changed, this, &AppShellView::sync);
}

AppShellView::~AppShellView() = default;

void AppShellView::setSidebarWidth(int width) {
    // QSplitter::setSizes honours minimum sizes but not maximum ones.
    const int w = std::clamp(width, Sidebar::minimumWidth, Sidebar::maximumWidth);
    const int total = qMax(m_splitter->width(), w + 1 + 400);
    m_splitter->setSizes({w, total - w - m_splitter->handleWidth()});
}

void AppShellView::sync() {
    presentSheets();
    if (m_state->isConfirmingQuit() && !m_quitAlertShown)
        presentQuitAlert();
}

void AppShellView::presentSheets() {
    QWidget* host = window();
    if (m_state->isPresentingNewProject() && !m_newProjectSheet) {
        auto* sheet = new NewProjectSheet(m_services, host);
        m_newProjectSheet = sheet;
        connect(sheet, &QDialog::finished, this, [this, sheet](int) {
            // Created or cancelled, the projects screen reloads once.
            m_newProjectSheet = nullptr;
            ShellState::Batch batch(*m_state);
            m_state->setPresentingNewProject(false);
            m_state->setProjectsRefreshToken(m_state->projectsRefreshToken() + 1);
            sheet->deleteLater();
        });
        sheet->open();
    }
    if (m_state->isPresentingNewDoc() && !m_newDocSheet) {
        const ProjectPtr project = m_state->selectedProjectForDocuments();
        if (!project) {
            // A document needs a project: never show an empty sheet.
            m_state->setPresentingNewDoc(false);
        } else {
            auto* sheet = new NewDocSheet(m_services, project, host);
            m_newDocSheet = sheet;
            connect(sheet, &QDialog::finished, this, [this, sheet](int) {
                m_newDocSheet = nullptr;
                m_state->setPresentingNewDoc(false);
                sheet->deleteLater();
            });
            sheet->open();
        }
    }
    if (m_state->isPresentingNewChecklist() && !m_newChecklistSheet) {
        auto* sheet = new NewChecklistSheet(m_services, host);
        m_newChecklistSheet = sheet;
        connect(sheet, &QDialog::finished, this, [this, sheet](int) {
            m_newChecklistSheet = nullptr;
            m_state->setPresentingNewChecklist(false);
            sheet->deleteLater();
        });
        sheet->open();
    }
}

DialogSeam::Message AppShellView::quitAlert() {
    DialogSeam::Message m;
    m.icon = QMessageBox::Warning;
    m.text = quitTitle;
    m.informativeText = quitMessage;
    m.buttons = {{QStringLiteral("Annuler"), QMessageBox::RejectRole},
                 {QStringLiteral("Quitter"), QMessageBox::DestructiveRole}};
    m.escapeButton = 0;
    m.defaultButton = 0;
    return m;
}

void AppShellView::presentQuitAlert() {
    m_quitAlertShown = true;
    const DialogSeam::Message m = quitAlert();
    QPointer<AppShellView> self(this);
    DialogSeam::open(window(), m, [self](int answer) {
        if (!self)
            return;
        self->m_quitAlertShown = false;
        self->m_state->setConfirmingQuit(false);
        if (answer == 1)
            self->quitWhenSaved();
    });
}

void AppShellView::quitWhenSaved() {
    QString error;
    if (m_services.context.save(&error)) {
        if (m_terminate)
            m_terminate(0);
        return;
    }
    presentUnsavedAlert(error);
}

void AppShellView::presentUnsavedAlert(const QString& error) {
    if (m_unsavedAlertShown)
        return;
    m_unsavedAlertShown = true;
    DialogSeam::Message m;
    m.icon = QMessageBox::Critical;
    m.text = AppDelegate::unsavedChangesText;
    m.informativeText = error.isEmpty() ? unsavedAdvice : error + QStringLiteral("\n\n") + unsavedAdvice;
    m.buttons = {{QStringLiteral("Annuler"), QMessageBox::RejectRole},
                 {QStringLiteral("Quitter sans enregistrer"), QMessageBox::DestructiveRole},
                 {QStringLiteral("Réessayer"), QMessageBox::AcceptRole}};
    m.escapeButton = 0;
    m.defaultButton = 2;
    QPointer<AppShellView> self(this);
    DialogSeam::open(window(), m, [self](int answer) {
        if (!self)
            return;
        self->m_unsavedAlertShown = false;
        if (answer == 1) {
            qCWarning(lcApp, "Quitting without saving the pending changes");
            if (self->m_terminate)
                self->m_terminate(1);
        } else if (answer == 2) {
            self->quitWhenSaved();
        }
    });
}
