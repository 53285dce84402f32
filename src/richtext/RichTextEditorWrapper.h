#pragma once

#include "richtext/RichTextBindings.h"
#include "richtext/RichTextEnvironment.h"
#include "rtf/Rtf.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <functional>

class ClickableTextView;
class QLabel;
class QPushButton;
class QPainter;
class QTimer;
class SpellHighlighter;

// Disconnects when it goes: as a member, before the widget's own destructor deletes its children (whose
// going moves the focus and signals again).
class ScopedConnection {
public:
    ScopedConnection() = default;
    explicit ScopedConnection(QMetaObject::Connection c) : m_connection(std::move(c)) {}
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;
    ScopedConnection& operator=(QMetaObject::Connection c) {
        QObject::disconnect(m_connection);
        m_connection = std::move(c);
        return *this;
    }
    ~ScopedConnection() { QObject::disconnect(m_connection); }

private:
    QMetaObject::Connection m_connection;
};

// Hosts the editable text view and connects it to the embedder's bindings: loads the text, turns
// every change of the view into writes of the RTF and the plain text, measures the height, and
// keeps the editing (focus) state.
//
// Every change, a change of format included, reaches the bindings and onChange when it is made; a typed
// key, right after the frame that shows it, and always before the next key is handled. A large text
// (largetext) is not measured: the area keeps a fixed height and the text scrolls inside it, and, as
// encoding it costs more than a key, its changes reach the bindings at most writeDelayMs after the first of
// them (a key handled once the wait is over writes first, however many keys are queued), and at once when
// the keyboard leaves it or at flushRtf().
// A text too large to edit shows only its start, read-only, under a notice, and never writes. So does a text
// from another program holding what our writer cannot keep, until the person agrees to edit it anyway.
class RichTextEditorWrapper : public QWidget {
    Q_OBJECT
public:
    // Inner spacing between the text and the edge of the text area, on every side.
    static constexpr int inset = 12;
    static constexpr qreal minimumHeight = 100;

    RichTextEditorWrapper(const RichTextEnvironment& environment, TextBinding text, RtfBinding richTextData,
                          std::function<void()> onChange, std::function<void()> onFocus, QWidget* parent = nullptr,
                          int textWidth = 0);
    ~RichTextEditorWrapper() override;

    ClickableTextView* textView() const { return m_textView; }
    bool isFocused() const { return m_isFocused; }
    qreal calculatedHeight() const { return m_calculatedHeight; }

    // Re-reads the bound text: when it differs from the last text this host wrote or loaded, the
    // content is loaded again (the stored RTF only when it still holds that same text).
    void syncFromBindings();

    // Writes the RTF of the whole text into the RTF binding now (absent, then the bytes); the plain
    // text and onChange are left alone. Writes nothing unless the text was edited since it was
    // loaded (typing, pasting, formatting; undoing every edit counts as unedited). Returns whether
    // it wrote.
    bool flushRtf();
    // Whether the text differs from what was loaded, by the document's own modified state.
    bool isEdited() const;
    // A large text: fixed height, scrolls inside, its writes paced.
    bool isBounded() const { return m_bounded; }
    // Too large to edit: its start is shown read-only under a notice.
    bool isOversized() const { return m_oversized; }
    QLabel* notice() const { return m_notice; }
    // Read from RTF holding what a write would lose (rtf::Lost flags), not yet agreed to: read-only.
    unsigned pendingLoss() const { return m_pendingLoss; }
    // The person agrees to edit it anyway.
    void acceptLoss();
    // "Ce texte vient d’un autre logiciel et contient des éléments que Tolmek ne sait pas conserver (…). …"
    static QString lossMessage(unsigned lost);
    // Changes not yet written into the bindings.
    bool hasPendingWrite() const { return m_writePending; }
    // The longest a change of a large text waits before it is written, counted from the first change
    // not yet written; further keys never push the write back.
    static constexpr int writeDelayMs = 500;

    // Measures the text at the view's width; the new height reaches calculatedHeight in a later
    // event-loop turn. Nothing is measured while the view has no width.
    void recalculateHeight();
    // Publishes a measured height still waiting for its event-loop turn now, so that a page laying
    // itself out around the caret sees the text's real height.
    void settleHeight();

    // The RTF the editor would store now.
    QByteArray currentRtf() const;

    // What lies behind the text, painted by the host itself. Given a painter that covers every pixel
    // but those within `corner` of each corner, the host is opaque there: moving it copies its pixels
    // on screen instead of painting the whole text again. Empty: the host paints nothing.
    using Backdrop = std::function<void(QPainter&, const QRect& exposed)>;
    void setOpaqueBackdrop(Backdrop backdrop, int corner);

signals:
    void focusedChanged(bool focused);
    // The text is about to take its new height: an embedder that scrolls may do so first.
    void calculatedHeightAboutToChange(qreal from, qreal to);
    void calculatedHeightChanged(qreal height);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void configure();
    // The text's signals and its spell checker, once it is loaded.
    void connectDocument();
    // Loads into `fresh`, then shows it, when given; else into the view's document. `textWidth`, when known:
    // the width the text will show at.
    void loadContent(const QString& text, bool requireMatchingRtf, QTextDocument* fresh = nullptr, int textWidth = 0);
    void keepShapes(int from, int to);
    bool holdsKeyboard() const;
    void textDidChange();
    // Writes the plain text (then onChange, when `notify`) and, unless `withRtf` is false, the RTF.
    void writeBindings(bool notify, bool withRtf);
    void placeChildren();
    // The notice over the text: its height, 0 when none shows.
    int noticeHeight() const;
    void updateNotice(qsizetype storedSize);
    void beginEditing(Qt::FocusReason reason);
    void endEditing(Qt::FocusReason reason);
    void setFocused(bool focused);
    void applyAppearance();
    void writeHeight();
    void updateCornerMask();

    RichTextEnvironment m_environment;
    TextBinding m_text;
    RtfBinding m_richTextData;
    std::function<void()> m_onChange;
    std::function<void()> m_onFocus;

    ClickableTextView* m_textView = nullptr;
    SpellHighlighter* m_highlighter = nullptr;
    QString m_lastKnownText;
    bool m_isUpdatingFromOutside = false;
    // The RTF binding's value when the text was loaded: it stays stored until the user edits, and
    // comes back when every edit is undone.
    std::optional<QByteArray> m_storedRtf;
    // Each paragraph's RTF from the last write: a key encodes only its own paragraph again.
    mutable rtf::ParagraphCache m_rtfCache;
    bool m_isFocused = false;
    qreal m_calculatedHeight = minimumHeight;
    qreal m_measuredHeight = minimumHeight;
    bool m_heightWritePending = false;
    bool m_bounded = false;
    bool m_oversized = false;
    unsigned m_pendingLoss = 0;
    QPushButton* m_noticeButton = nullptr;
    bool m_writePending = false;
    // A write is queued behind the frame of the change.
    bool m_writePosted = false;
    // Since the first change not yet written.
    QElapsedTimer m_pendingSince;
    QTimer* m_writeTimer = nullptr;
    QLabel* m_notice = nullptr;
    Backdrop m_backdrop;
    int m_corner = 0;
    // Declared last, so it is gone before anything else of the wrapper.
    ScopedConnection m_appFocus;
};
