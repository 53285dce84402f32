#pragma once

#include "checklists/ChecklistsListView.h"
#include "checklists/NewChecklistSheet.h"
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
