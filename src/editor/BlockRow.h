#pragma once

#include "core/model/Models.h"
#include "richtext/RichTextEnvironment.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class DocEdits;
class QMenu;
class QAction;
class QMimeData;
class AppCard;
class RichTextBlockEditor;
class ImprovedCodeBlockView;
class ImageBlockEditor;
class CodeReadView;
class AttributedTextViewWrapper;
class BlockImageView;
namespace editorui {
class PaintedButton;
class PaintedLabel;
}

// The private drag type of a block; the plain-text payload is the block's identifier.
inline constexpr const char* kBlockMimeType = "application/x-tolmek-block";

// One block of the document editor. It is built light (a placeholder of the estimated height) and
// gets its card when it first comes near the visible area; from then on it is kept for its block
// across reloads, so the editor inside keeps its focus, caret, selection and undo.
class ImprovedBlockRowView : public QWidget {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void(const QUuid&)> onFocus;
        std::function<void(const QUuid&)> onContentChanged;
        // Absent: no hover toolbar, no drag and drop.
        std::function<void(const DocBlockPtr& dragged, const DocBlockPtr& target)> onReorder;
    };

    // Consecutive cards stand `cardGap` apart. Their shadows need more room than that between them, so
    // each card reaches `shadowOverhang` beyond its row above and below (losing only the faint end of
    // its shadow) and the rows stand `rowSpacing()` apart.
    static constexpr int cardGap = 16;
    static constexpr int shadowOverhang = 2;
    static int rowSpacing();

    // `richText`: what the text editor of a text block takes from the application.
    ImprovedBlockRowView(DocEdits& edits, const RichTextEnvironment& richText, DocBlockPtr block, bool isEditMode,
                         bool forceSaveRTF, Callbacks callbacks, QWidget* parent = nullptr);
    ~ImprovedBlockRowView() override;

    const DocBlockPtr& block() const { return m_block; }
    bool isEditMode() const { return m_isEditMode; }
    // Away from the view (`nearView` false) the face of the new mode is built or shown only when the
    // row comes near it; meanwhile the row keeps that face's last height, else an estimate.
    void setEditMode(bool editMode, bool nearView = true);
    void setForceSaveRTF(bool value);
    // Builds the card, and the face of the current mode, now (no-op when both are built).
    void materialize();
    bool isMaterialized() const { return m_card != nullptr && !m_facePending; }
    // Writes the RTF of the text editor into the block, when one was built.
    void flushRtf();

    // Row actions, as the menu runs them.
    void duplicateBlock();
    void moveUp();
    void moveDown();
    void requestDelete(); // asks first
    void confirmDelete();
    void toggleCompleted();
    // Reads a dropped block identifier and hands the block to onReorder; false when nothing applies.
    bool handleBlockDrop(const QMimeData* data);
    // The drag payload of this row.
    QMimeData* makeDragData() const;

    bool isHovering() const { return m_isHovering; }
    bool isConfirmingDelete() const { return m_isConfirmingDelete; }
    bool hasHoverToolbar() const;

    // The parts, for tests and the editor.
    AppCard* card() const { return m_card; }
    RichTextBlockEditor* textEditor() const { return m_textEditor; }
    ImprovedCodeBlockView* codeEditor() const { return m_codeEditor; }
    ImageBlockEditor* imageEditor() const { return m_imageEditor; }
    AttributedTextViewWrapper* richTextView() const { return m_richView; }
    QWidget* plainTextView() const;
    CodeReadView* codeView() const { return m_codeView; }
    BlockImageView* imageView() const { return m_imageView; }
    QWidget* imagePlaceholder() const { return m_imagePlaceholder; }
    editorui::PaintedButton* completionButton() const { return m_completion; }
    editorui::PaintedButton* menuButton() const { return m_menuButton; }
    editorui::PaintedLabel* badge() const { return m_badge; }
    QMenu* rowMenu() const { return m_menu; }
    QAction* duplicateAction() const { return m_duplicate; }
    QAction* moveUpAction() const { return m_moveUp; }
    QAction* moveDownAction() const { return m_moveDown; }
    QAction* deleteAction() const { return m_delete; }
    void updateMenuState();

    // Height used before the card exists.
    int estimatedHeight(int width) const;
    static int estimatedHeight(const DocBlock& block, bool editMode, int width);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Reads the block list again, then focuses the row of `id`.
    void rereadAndFocus(const QUuid& id);
    void buildFace();
    void buildViewContent();
    void buildEditContent();
    void applyMode();
    void setHovering(bool hovering);
    void refreshHoverToolbar();
    void blockContentChanged();
    void blockFocused();
    void guardTextTarget(QWidget* target);
    bool dndEnabled() const;

    DocEdits& m_edits;
    RichTextEnvironment m_richText;
    DocBlockPtr m_block;
    bool m_isEditMode;
    bool m_forceSaveRTF;
    Callbacks m_callbacks;
    bool m_isHovering = false;
    bool m_isConfirmingDelete = false;
    bool m_viewStale = false;
    // The mode changed while the row was away from the view: its face is built when it comes near.
    bool m_facePending = false;
    // The row's height when last shown with its view face and with its edit face (0: never).
    int m_faceHeight[2] = {0, 0};
    QPoint m_pressPos;
    bool m_pressed = false;

    AppCard* m_card = nullptr;
    QWidget* m_face = nullptr;
    QWidget* m_body = nullptr; // the face's part below its header: the mode's content
    QWidget* m_viewContent = nullptr;
    QWidget* m_editContent = nullptr;
    editorui::PaintedLabel* m_badge = nullptr;
    editorui::PaintedButton* m_completion = nullptr;
    QWidget* m_hoverToolbar = nullptr;
    editorui::PaintedLabel* m_handle = nullptr;
    editorui::PaintedButton* m_menuButton = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_duplicate = nullptr;
    QAction* m_moveUp = nullptr;
    QAction* m_moveDown = nullptr;
    QAction* m_delete = nullptr;

    RichTextBlockEditor* m_textEditor = nullptr;
    ImprovedCodeBlockView* m_codeEditor = nullptr;
    ImageBlockEditor* m_imageEditor = nullptr;
    AttributedTextViewWrapper* m_richView = nullptr;
    class QLabel* m_plainView = nullptr;
    CodeReadView* m_codeView = nullptr;
    BlockImageView* m_imageView = nullptr;
    QWidget* m_imagePlaceholder = nullptr;
};
