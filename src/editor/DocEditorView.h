#pragma once

#include "core/model/Models.h"
#include "editor/DocEdits.h"
#include "services/Services.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class QScrollArea;
class QSpacerItem;
class QVBoxLayout;
class QTimer;
class QVariantAnimation;
class ImprovedBlockRowView;
class EditorHeader;
class EmptyStateView;
class AddBlockButton;

// The editor of one document: the header above a scrolling column of its visible blocks, in view or
// edit mode. It edits and saves the document by itself and never navigates. Whatever is typed is
// stored when edit mode is left, when the screen is hidden or destroyed, and when the application quits.
class ImprovedDocEditorView : public QWidget {
    Q_OBJECT
public:
    // Delay between leaving edit mode (the RTF of every text is written at once) and the save that
    // switches to view mode.
    static constexpr int leaveDelayMs = 200;
    // Documents up to this many blocks build every row at once; longer ones build rows as they come
    // near the visible area.
    static constexpr int eagerRowLimit = 12;
    // A long document opened gets the rows of its first blocks at once, and those of the others a few
    // milliseconds at a time after its first frame; until then one space of their estimated height
    // stands for them.
    static constexpr int rowsMadeAtOnce = 40;
    static constexpr int makeSliceMs = 3;

    ImprovedDocEditorView(const Services& services, DocPtr doc, QWidget* parent = nullptr);
    ~ImprovedDocEditorView() override;

    const DocPtr& doc() const { return m_doc; }
    DocEdits& edits() { return m_edits; }

    bool isEditMode() const { return m_isEditMode; }
    // Leaving edit mode: the save that ends it is queued.
    bool isLeaving() const { return m_leaving; }
    bool forceSaveRTF() const { return m_forceSaveRTF; }
    const std::vector<DocBlockPtr>& cachedBlocks() const { return m_cachedBlocks; }

    void toggleEditMode();
    DocBlockPtr addBlock(DocBlockType type, bool saveAgain = false);
    void refreshBlocks();
    // Writes the RTF of every text the user edited and saves.
    void saveEverything();
    // Creates an image block from a picture file, when it decodes (off the GUI thread).
    void addImageFromFile(const QString& path);

    ImprovedBlockRowView* rowFor(const QUuid& id) const { return m_rows.value(id); }
    QList<ImprovedBlockRowView*> rows() const;
    EditorHeader* header() const { return m_header; }
    EmptyStateView* emptyState() const { return m_empty; }
    AddBlockButton* addBlockButton() const { return m_addButton; }
    QScrollArea* scrollArea() const { return m_scroll; }
    // Builds the rows that reach into the visible area now, and those around it a few at a time while
    // the window is idle.
    void materializeVisible();
    // How far beyond the visible area rows are built at once.
    static constexpr int nearMargin = 60;
    // How far beyond the visible area rows are built ahead, in idle time, below and above it (in
    // viewport heights), and how long one turn of that work may hold the window.
    static constexpr qreal prefetchBelow = 3.0;
    static constexpr qreal prefetchAbove = 1.0;
    static constexpr int prefetchSliceMs = 2;
    // Centres the row of `id` (animated over 0.25 s unless `animated` is false); a row taller than the
    // view that holds the caret is scrolled only as far as the caret needs.
    void scrollToBlock(const QUuid& id, bool animated = true);
    // Scrolls the least that shows the caret of the focused text or code editor, with a small margin,
    // once its block has taken its new height. Runs after every caret move (queued).
    void followCaret();
    // Space kept between the caret and the edges of the visible area.
    static constexpr int caretMargin = 24;
    // How long after a switch of mode the row that was in view is held in place while rows measure.
    static constexpr int anchorHoldMs = 1000;

signals:
    void imageDropFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    ImprovedBlockRowView* makeRow(const DocBlockPtr& block);
    // Makes the rows still missing, until `budgetMs` is spent (all of them below zero); true when none is left.
    bool makeRows(int budgetMs);
    void fitTail();
    void finishLeave();
    void fitContent();
    // Builds the rows reaching into [top - above, bottom + below] of the visible area, nearest the view
    // first, keeping the first row in view in place; with a budget (ms), stops once it is spent. True
    // when every such row is built.
    bool buildRowsAround(int above, int below, int budgetMs);
    void prefetchRows();
    void applyMode();
    void reorder(const DocBlockPtr& dragged, const DocBlockPtr& target);
    void watchEditor(QWidget* widget);
    bool isFollowed(const QWidget* widget) const;
    void scheduleCaretFollow();
    // Publishes the pending heights and lays out the page from `widget` up, synchronously.
    void settleAround(QWidget* widget);
    // Scrolls as followCaret will, before the text of `editor` grows by `growth`.
    void scrollAheadOfGrowth(QWidget* editor, int growth);
    QRect caretRectInContent(QWidget* editor) const;
    int revealTarget(const QRect& rect, int from) const;
    int scrollTargetFor(ImprovedBlockRowView* row) const;
    void pageCaret(QWidget* editor, bool down, bool select);
    int rowTop(const QWidget* row) const;
    void captureAnchor();
    void restoreAnchor();
    void releaseAnchor();
    void keepFocusOnThePage();

    Services m_services;
    DocPtr m_doc;
    DocEdits m_edits;
    std::vector<DocBlockPtr> m_cachedBlocks;
    QHash<QUuid, ImprovedBlockRowView*> m_rows;
    bool m_isEditMode = false;
    bool m_forceSaveRTF = false;
    bool m_leaving = false;
    QUuid m_pendingScroll;

    EditorHeader* m_header = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_content = nullptr;
    QWidget* m_column = nullptr;
    QWidget* m_rowsBox = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    // Stands for the blocks from m_cachedBlocks[m_rowCount] on, which have no row yet.
    QSpacerItem* m_tail = nullptr;
    size_t m_rowCount = 0;
    QTimer* m_makeTimer = nullptr;
    EmptyStateView* m_empty = nullptr;
    AddBlockButton* m_addButton = nullptr;
    QTimer* m_leaveTimer = nullptr;
    QVariantAnimation* m_scrollAnimation = nullptr;
    QPointer<ImprovedBlockRowView> m_scrollRow;
    int m_scrollStart = 0;
    bool m_materializing = false;
    QTimer* m_prefetchTimer = nullptr;
    bool m_followPending = false;
    QPointer<QWidget> m_followEditor;
    QPointer<ImprovedBlockRowView> m_anchorRow;
    int m_anchorOffset = 0;
    QElapsedTimer m_anchorClock;
    bool m_restoring = false;
    bool m_restoreQueued = false;
};
