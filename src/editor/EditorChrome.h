#pragma once

#include "core/model/Models.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLineEdit;
class QMenu;
class QAction;
namespace editorui {
class PaintedButton;
class PaintedLabel;
class PaintedWidget;
}

// The document's colour: its hex when it reads, else its key's colour ("blue" when it has none).
QColor docAccentColor(const Doc& doc);

// "Modifié " and the date in the French abbreviated style with the short time.
QString modifiedText(const QDateTime& date);
// "0 bloc", "1 bloc", "2 blocs" …
QString blockCountText(qsizetype count);

// The editor's header: icon, title field, edit/view toggle, status picker, update date and block count.
class EditorHeader : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(const QString&)> titleChanged;
        std::function<void()> toggle;
        std::function<void(DocStatus)> statusPicked;
    };
    EditorHeader(DocPtr doc, Actions actions, QWidget* parent = nullptr);

    // Re-reads the document's fields (the title only when it differs from what the field shows).
    void refresh();
    void setEditMode(bool editMode);
    void setBlockCount(qsizetype count);

    QLineEdit* titleField() const { return m_title; }
    editorui::PaintedButton* toggleButton() const { return m_toggle; }
    QComboBox* statusPicker() const { return m_status; }
    QString dateText() const;
    QString countText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showTitleStart();

    DocPtr m_doc;
    Actions m_actions;
    bool m_syncing = false;
    bool m_editMode = false;
    editorui::PaintedWidget* m_icon = nullptr;
    QLineEdit* m_title = nullptr;
    editorui::PaintedButton* m_toggle = nullptr;
    QComboBox* m_status = nullptr;
    editorui::PaintedLabel* m_date = nullptr;
    editorui::PaintedLabel* m_count = nullptr;
};

// Shown in place of the rows when the document has no visible block, with the three quick-add buttons.
class EmptyStateView : public QWidget {
    Q_OBJECT
public:
    EmptyStateView(DocPtr doc, std::function<void(DocBlockType)> add, QWidget* parent = nullptr);
    QList<editorui::PaintedButton*> quickAddButtons() const { return m_buttons; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DocPtr m_doc;
    QList<editorui::PaintedButton*> m_buttons;
};

// "Ajouter un bloc" with its menu of the three block kinds (edit mode only).
class AddBlockButton : public QWidget {
    Q_OBJECT
public:
    AddBlockButton(DocPtr doc, std::function<void(DocBlockType)> add, QWidget* parent = nullptr);
    editorui::PaintedButton* button() const { return m_button; }
    QMenu* menu() const { return m_menu; }

private:
    DocPtr m_doc;
    editorui::PaintedButton* m_button = nullptr;
    QMenu* m_menu = nullptr;
};
