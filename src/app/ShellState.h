#pragma once

#include "core/model/Models.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

// The four sections of the sidebar, in display order.
enum class SidebarItem { dashboard, projects, checklists, settings };

namespace SidebarItemInfo {
QString rawValue(SidebarItem item);
// Exactly one of the four raw values; anything else gives nothing.
std::optional<SidebarItem> fromRaw(const QString& raw);
QString title(SidebarItem item);
QString systemImage(SidebarItem item);
const QList<SidebarItem>& allCases();
} // namespace SidebarItemInfo

// The shell's navigation state, shared by the sidebar, the router and the toolbar. It lives as long as
// the window's content and is never stored: every launch starts on the dashboard with nothing open.
// Every write goes through a setter, which emits `changed` when the value really changes.
class ShellState : public QObject {
    Q_OBJECT
public:
    explicit ShellState(QObject* parent = nullptr) : QObject(parent) {}

    SidebarItem selection() const { return m_selection; }
    std::optional<SidebarItem> hoveredItem() const { return m_hoveredItem; }
    bool isPresentingNewProject() const { return m_presentingNewProject; }
    bool isConfirmingQuit() const { return m_confirmingQuit; }
    int projectsRefreshToken() const { return m_refreshToken; }
    ProjectPtr selectedProjectForDocuments() const { return m_project; }
    ChecklistPtr selectedChecklistForDetail() const { return m_checklist; }
    bool isPresentingNewChecklist() const { return m_presentingNewChecklist; }
    bool isPresentingNewDoc() const { return m_presentingNewDoc; }
    DocPtr openedDoc() const { return m_openedDoc; }

    void setSelection(SidebarItem item) { assign(m_selection, item); }
    void setHoveredItem(std::optional<SidebarItem> item) { assign(m_hoveredItem, item); }
    void setPresentingNewProject(bool on) { assign(m_presentingNewProject, on); }
    void setConfirmingQuit(bool on) { assign(m_confirmingQuit, on); }
    void setProjectsRefreshToken(int token) { assign(m_refreshToken, token); }
    void setSelectedProjectForDocuments(const ProjectPtr& project) { assign(m_project, project); }
    void setSelectedChecklistForDetail(const ChecklistPtr& checklist) { assign(m_checklist, checklist); }
    void setPresentingNewChecklist(bool on) { assign(m_presentingNewChecklist, on); }
    void setPresentingNewDoc(bool on) { assign(m_presentingNewDoc, on); }
    void setOpenedDoc(const DocPtr& doc) { assign(m_openedDoc, doc); }

    // Groups several writes of one user action into one `changed`, so no half-done state is routed.
    class Batch {
    public:
        explicit Batch(ShellState& s) : m_s(s) { ++m_s.m_batchDepth; }
        ~Batch() {
            if (--m_s.m_batchDepth == 0 && m_s.m_pending) {
                m_s.m_pending = false;
                emit m_s.changed();
            }
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        ShellState& m_s;
    };

signals:
    void changed();

private:
    template <class T>
    void assign(T& field, const T& value) {
        if (field == value)
            return;
        field = value;
        if (m_batchDepth > 0)
            m_pending = true;
        else
            emit changed();
    }

    int m_batchDepth = 0;
    bool m_pending = false;

    SidebarItem m_selection = SidebarItem::dashboard;
    std::optional<SidebarItem> m_hoveredItem;
    bool m_presentingNewProject = false;
    bool m_confirmingQuit = false;
    int m_refreshToken = 0;
    ProjectPtr m_project;
    ChecklistPtr m_checklist;
    bool m_presentingNewChecklist = false;
    bool m_presentingNewDoc = false;
    DocPtr m_openedDoc;
};
