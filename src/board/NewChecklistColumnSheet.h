#pragma once

#include "core/model/Models.h"

#include <QColor>
#include <QDialog>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

#include "services/Services.h"
class PrimaryButton;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QWidget;

// The sheet that creates a column of a board (no column given) or edits one: name, one of ten
// symbols, and a colour, a preset key or a typed hex. Saving writes, stamps the checklist and its
// project, saves and closes; closing or "Annuler" writes nothing.
class NewChecklistColumnSheet : public QDialog {
    Q_OBJECT
public:
    static const QStringList& iconChoices();
    // (key, label) in the order shown.
    static const std::vector<std::pair<QString, QString>>& presetColors();

    NewChecklistColumnSheet(const Services& services, ChecklistPtr checklist, ChecklistColumnPtr editingColumn,
                            QWidget* parent = nullptr);

    bool isEditing() const { return bool(m_editingColumn); }
    QString name() const;
    QString selectedIcon() const { return m_selectedIcon; }
    OptText selectedColorKey() const { return m_selectedColorKey; }
    OptText selectedColorHex() const { return m_selectedColorHex; }
    QColor displayColor() const;
    bool isChipSelected(const QString& key) const;

    void selectIcon(const QString& icon);
    void selectColorKey(const QString& key);
    // The hex field's binding: trimmed, empty is none; a hex empties the key.
    void setHexText(const QString& text);
    // The primary button's action; returns false (sheet stays open) for a blank name.
    bool save();

    QLineEdit* nameField() const { return m_nameField; }
    QLineEdit* hexField() const { return m_hexField; }
    PrimaryButton* confirmButton() const { return m_confirm; }
    QAbstractButton* cancelButton() const { return m_cancel; }
    QAbstractButton* closeButton() const { return m_close; }
    QString titleText() const;
    QAbstractButton* iconButton(const QString& icon) const;
    QAbstractButton* chipButton(const QString& key) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    Services m_services;
    ChecklistPtr m_checklist;
    ChecklistColumnPtr m_editingColumn;
    QString m_selectedIcon;
    OptText m_selectedColorKey;
    OptText m_selectedColorHex;

    QLabel* m_title = nullptr;
    QLineEdit* m_nameField = nullptr;
    QLineEdit* m_hexField = nullptr;
    PrimaryButton* m_confirm = nullptr;
    QAbstractButton* m_cancel = nullptr;
    QAbstractButton* m_close = nullptr;
    std::vector<QAbstractButton*> m_iconButtons;
    std::vector<QAbstractButton*> m_chips;
    std::vector<QWidget*> m_colored; // repainted when the colour changes
};
