#pragma once

#include "core/model/Models.h"
#include "dashboard/DashboardView.h"

#include <QDialog>
#include <QString>
#include <QWidget>

#include <functional>

// Stand-ins for the screens that are not written yet: each names its section, keeps what the shell
// handed it, and never navigates by itself.
class PlaceholderPanel : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderPanel(const QString& title, QWidget* parent = nullptr);
    QString title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
};

class ChecklistsListView : public PlaceholderPanel {
    Q_OBJECT
public:
    ChecklistsListView(std::function<void()> onCreateChecklist,
                       std::function<void(const ChecklistPtr&)> onOpenChecklist, QWidget* parent = nullptr);

private:
    std::function<void()> m_onCreateChecklist;
    std::function<void(const ChecklistPtr&)> m_onOpenChecklist;
};

class NewChecklistSheet : public QDialog {
    Q_OBJECT
public:
    explicit NewChecklistSheet(QWidget* parent = nullptr);
};
