#pragma once

#include "core/model/Models.h"
#include "richtext/RichTextEnvironment.h"

#include <QByteArray>
#include <QDialog>
#include <QPointer>
#include <QString>

#include <optional>

struct Services;
class QBoxLayout;
class AttachmentImports;
class ThumbnailCache;
class QLineEdit;
class QVBoxLayout;
class RichTextBlockEditor;
class PrimaryButton;

namespace cardsheetui {
class PillButton;
class IconButton;
} // namespace cardsheetui

// The sheet in which one card ("étape") of a board is created, read, edited, deleted or marked done.
// Three situations: a new card (edit mode), an existing card in read mode, the same card in edit mode.
// The board builds one sheet per board and calls openNewCard or openCard; every edit goes through
// CardEdits and is saved at once.
class AppCard;

class CardSheet : public QDialog {
    Q_OBJECT
public:
    // The rows' block (their padding of 18 included); it stands in a card 18 inside the sheet.
    static constexpr int sheetWidth = 620;
    static constexpr int cardInset = 18;
    // From the sheet's edge to the rows' block: the card's inset and the card's own padding.
    static int frameMargin();

    CardSheet(const Services& services, ChecklistPtr checklist, QWidget* parent = nullptr);
    ~CardSheet() override;

    // A new card for `column`: empty form, edit mode; shows the sheet.
    void openNewCard(const ChecklistColumnPtr& column);
    // An existing card in read mode, the form filled from the card; shows the sheet.
    void openCard(const ChecklistCardPtr& card);

    // The form and its state.
    ChecklistCardPtr editingCard() const { return m_editingCard; }
    ChecklistColumnPtr targetColumn() const { return m_targetColumn; }
    bool isEditing() const { return m_editMode; }
    QString formTitle() const { return m_title; }
    QString formDescription() const { return m_description; }
    std::optional<QByteArray> formDescriptionRtf() const { return m_descriptionRtf; }
    QString formLink() const { return m_link; }
    QString heading() const;

    // The controls' actions.
    void startEditing(); // "Modifier"
    void requestSave(); // "Créer" / "Enregistrer": flushes the description's RTF, then stores
    void deleteShownCard(); // "Supprimer l’étape", then closes
    void markShownCardDone(); // "Marquer comme terminé", then closes
    void addLink(); // "Ajouter" of the links section
    void requestFileImport(); // "Ajouter un fichier"
    void removeAttachment(const ChecklistAttachmentPtr& attachment);
    void openLinkAttachment(const ChecklistAttachmentPtr& attachment);
    void openFileAttachment(const ChecklistAttachmentPtr& attachment);
    // The file picker's answer (empty: cancelled). Starts the copy off the GUI thread.
    void importAttachment(const QString& path);

    // Widgets of the current situation (tests and the board); null when not shown.
    QLineEdit* titleField() const { return m_titleField; }
    // The longest title the field takes; an edit past it is refused with a message.
    static constexpr int titleLimit = 32'767;
    QLineEdit* linkField() const { return m_linkField; }
    RichTextBlockEditor* descriptionEditor() const { return m_editor; }

signals:
    // After every stored change made from the sheet.
    void cardChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    void present();
    QWidget* buildHeader();
    QWidget* buildTitleField();
    QWidget* buildDescription();
    QWidget* buildDescriptionPreview();
    QWidget* buildLinks();
    QWidget* buildAttachments();
    QWidget* buildFooter();
    QWidget* buildFileRow(const ChecklistAttachmentPtr& attachment);
    // Ends an attachment's row with its "open" and "delete" buttons.
    void addRowButtons(QBoxLayout* row, const ChecklistAttachmentPtr& attachment, const QString& openSymbol,
                       const QString& openLabel, const QString& removeLabel,
                       void (CardSheet::*opens)(const ChecklistAttachmentPtr&));
    void refreshAttachments();
    void keepCaretInView();
    void saveCard();
    void showFileImporter();
    void importFinished(const QUuid& cardId, bool ok, const QString& fileName, const QString& reason);

    ModelContext& m_context;
    AttachmentImports& m_imports;
    ThumbnailCache& m_thumbnails;
    RichTextEnvironment m_richText;
    ChecklistPtr m_checklist;

    ChecklistCardPtr m_editingCard;
    ChecklistColumnPtr m_targetColumn;
    QString m_title;
    QString m_description;
    std::optional<QByteArray> m_descriptionRtf;
    // The description as the card holds it: unchanged, the stored notes stay as they are.
    QString m_storedDescription;
    std::optional<QByteArray> m_storedDescriptionRtf;
    QString m_link;
    bool m_editMode = false;
    // A description too large to edit: only its start is read, and shown read-only; the card keeps its notes.
    bool m_descriptionTooLarge = false;
    qsizetype m_storedNotesSize = 0;

    QVBoxLayout* m_outer = nullptr;
    AppCard* m_card = nullptr; // behind the rows
    QPointer<QWidget> m_headerBox;
    QPointer<QWidget> m_footerBox;
    QWidget* m_body = nullptr;
    QVBoxLayout* m_bodyLayout = nullptr;
    QWidget* m_attachments = nullptr;
    QLineEdit* m_titleField = nullptr;
    bool m_titleRefusalShown = false;
    QLineEdit* m_linkField = nullptr;
    RichTextBlockEditor* m_editor = nullptr;
    bool m_rebuildQueued = false;
};
