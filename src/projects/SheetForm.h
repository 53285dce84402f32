#pragma once

#include "projects/ProjectEdits.h"

#include <QColor>
#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QPushButton;
struct Services;

// The layout shared by the project and document sheets: header, preview card, the sheet's own
// fields, colour swatches with a free colour picker, icon grid, and "Annuler" / confirm buttons.
// The sheet edits copies; the object changes only in `confirm()`.
class ColorIconSheet : public QDialog {
    Q_OBJECT
public:
    // Answers the free colour picker: the picked colour, or nothing when cancelled.
    using ColorPicker = std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;
    // Replaces the colour dialog (tests); an empty function goes back to QColorDialog.
    static void setColorPickerForTesting(ColorPicker picker);

    static const QStringList& colorChoices();
    // What a screen reader calls a colour key ("Bleu") and an icon ("Dossier").
    static QString colorLabel(const QString& key);
    static QString iconLabel(const QString& name);

    ~ColorIconSheet() override;

    // Opens over its parent's window, window-modal, and deletes itself when closed.
    void openAsSheet();

    QString selectedIcon() const;
    QString selectedColorKey() const;
    std::optional<QString> selectedColorHex() const;
    QColor customColor() const;
    QColor accentColor() const;
    const QStringList& iconChoices() const;
    // A swatch is selected when no hex is set and its key is the selected key.
    bool isSwatchSelected(const QString& key) const;

    // The swatch action: the key, no hex, the picker shows the key's colour.
    void selectColorKey(const QString& key);
    // A pick in the free colour picker: the hex of the colour, the key unchanged.
    void customColorChanged(const QColor& color);
    void selectIcon(const QString& name);
    // Opens the free colour picker (the picker button's action).
    void pickCustomColor();

    QPushButton* confirmButton() const;
    QPushButton* cancelButton() const;
    // Whether the trimmed name or title is not empty.
    bool canConfirm() const;

protected:
    struct Texts {
        QString title;
        QString subtitle;
        QString confirmLabel;
        int previewSecondLineMaxLines = 0; // 0: no limit
    };
    ColorIconSheet(const Services& services, const Texts& texts, QStringList iconChoices, QWidget* parent);

    // Sets the colour state without a pick (initial values): key, hex as stored, and the picker's colour.
    void setInitialColors(const QString& key, const std::optional<QString>& hex);
    void setInitialIcon(const QString& icon);
    // The icon and colour of an existing project or document, as the sheet starts.
    template <class Model>
    void setInitialAppearance(const Model& object) {
        setInitialIcon(object.iconName());
        setInitialColors(object.colorKey().value_or(QStringLiteral("blue")), object.colorHex());
    }
    // The picked icon and colour, as the edits write them.
    ProjectEdits::Look pickedLook() const;
    ProjectEdits& edits() { return m_edits; }

    // Call after any edit of the fields: re-evaluates the confirm button and the preview.
    void fieldsChanged();
    // Adds `field`, named `objectName`, as a row of the form under `label`; each `changed` calls fieldsChanged().
    template <class Field, class Signal>
    Field* addField(const QString& label, Field* field, const QString& objectName, Signal changed) {
        field->setObjectName(objectName);
        addFieldRow(label, field);
        connect(field, changed, this, [this] { fieldsChanged(); });
        return field;
    }

    virtual QString requiredText() const = 0; // the name or title, untrimmed
    virtual QString previewFirstLine() const = 0;
    virtual QString previewSecondLine() const = 0;
    virtual void confirm() = 0; // writes, stamps, saves; then accept() is called

    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void addFieldRow(const QString& label, QWidget* field);
    void onConfirm();

    struct Private;
    std::unique_ptr<Private> d;
    ProjectEdits m_edits;
};
