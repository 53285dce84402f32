#pragma once

#include "core/model/Models.h"
#include "services/Services.h"

#include <QDialog>

#include <memory>
#include <vector>

class PrimaryButton;
class QAbstractButton;
class QComboBox;
class QLineEdit;

// The sheet that creates a checklist: a name and, optionally, the project it belongs to. "Créer" makes
// the checklist with its columns "À faire" and "Terminé", saves and closes; "Annuler" (or Escape)
// closes without writing anything.
class NewChecklistSheet : public QDialog {
    Q_OBJECT
public:
    explicit NewChecklistSheet(const Services& services, QWidget* parent = nullptr);
    ~NewChecklistSheet() override;

    // The projects offered: not marked deleted, most recently updated first.
    std::vector<ProjectPtr> activeProjects() const;
    // "Créer": nothing while the trimmed name is empty; a chosen project that is no longer offered
    // gives a global checklist.
    void create();

    QLineEdit* nameField() const { return m_name; }
    QComboBox* projectPicker() const { return m_picker; }
    PrimaryButton* createButton() const { return m_create; }
    QAbstractButton* cancelButton() const { return m_cancel; }
    ChecklistPtr createdChecklist() const { return m_created; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fillPicker();

    Services m_services;
    std::unique_ptr<LiveQuery<Project>> m_projects;
    QLineEdit* m_name = nullptr;
    QComboBox* m_picker = nullptr;
    PrimaryButton* m_create = nullptr;
    QAbstractButton* m_cancel = nullptr;
    ChecklistPtr m_created;
};
