#include "richtext/RichTextEditorWrapper.h"

#include "richtext/ClickableTextView.h"
#include "richtext/LargeText.h"
#include "richtext/SpellChecker.h"
#include "ui/Components.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "rtf/Rtf.h"
#include "ui/Fonts.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextDocument>
#include <QTimer>

#include <cmath>

namespace {

QEvent::Type writeEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

} // namespace

RichTextEditorWrapper::RichTextEditorWrapper(const RichTextEnvironment& environment, TextBinding text,
                                             RtfBinding richTextData, std::function<void()> onChange,
                                             std::function<void()> onFocus, QWidget* parent, int textWidth)
    : QWidget(parent),
      m_environment(environment),
      m_text(std::move(text)),
      m_richTextData(std::move(richTextData)),
      m_onChange(std::move(onChange)),
      m_onFocus(std::move(onFocus)) {
    m_lastKnownText = m_text.value();
    // Paints nothing itself: a new height leaves its text view in place.
    keepPaintingOnResize(this);
    m_textView = new ClickableTextView(this);
    m_textView->installEventFilter(this);
    m_writeTimer = new QTimer(this);
    m_writeTimer->setSingleShot(true);
    m_writeTimer->setInterval(writeDelayMs);
    connect(m_writeTimer, &QTimer::timeout, this, [this] { writeBindings(true, true); });
    // Read into a document of its own, handed to the view afterwards: read into the view's laid-out
    // document, the same text types markedly slower.
    configure();
    loadContent(m_lastKnownText, false, new QTextDocument(m_textView), textWidth);
    connectDocument();
    recalculateHeight();
}

RichTextEditorWrapper::~RichTextEditorWrapper() {
    // What is typed is never dropped with the view; the embedder saves it with its next save.
    if (!m_writePending || m_oversized)
        return;
    QTextDocument* doc = m_textView->document();
    if (doc->isModified()) {
        const QByteArray bytes = rtf::write(*doc, m_rtfCache);
        if (!bytes.isEmpty())
            m_richTextData.write(bytes);
    }
    const QString s = rtf::plainText(*doc);
    if (s != m_lastKnownText)
        m_text.write(s);
}

void RichTextEditorWrapper::configure() {
    ClickableTextView* v = m_textView;
    v->clickHandler = [this] {
        if (m_isFocused)
            return;
        QPointer<RichTextEditorWrapper> self(this);
        setFocused(true);
        if (self && m_onFocus)
            m_onFocus();
    };
    v->setAcceptRichText(true);
    v->setUndoRedoEnabled(true);
    v->setReadOnly(false);
    v->setTextInteractionFlags(Qt::TextEditorInteraction);
    v->setTabChangesFocus(false);
    v->setFrameShape(QFrame::NoFrame);
    v->setAutoFillBackground(false);
    v->viewport()->setAutoFillBackground(false);
    v->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->setLineWrapMode(QTextEdit::WidgetWidth);
    v->setFont(Fonts::system(14));
    v->document()->setDefaultFont(Fonts::system(14));
    v->document()->setDocumentMargin(inset);
    applyAppearance();
    connect(&m_environment.theme, &ThemeManager::appearanceChanged, this, [this] { applyAppearance(); });
    connect(v, &ClickableTextView::editingBegan, this, [this](Qt::FocusReason r) {
        keepShapes(0, m_textView->document()->characterCount());
        beginEditing(r);
    });
    connect(v, &ClickableTextView::editingEnded, this, [this](Qt::FocusReason r) {
        if (!holdsKeyboard())
            keepShapes(-1, -1);
        endEditing(r);
    });
    connect(v, &ClickableTextView::resized, this, [this] { recalculateHeight(); });
    // Focus can move while the window is inactive, without a focus-out for the view: another
    // widget of the same window taking the keyboard ends editing all the same.
    m_appFocus = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (m_isFocused && now && now != m_textView && now->window() == m_textView->window())
            endEditing(Qt::OtherFocusReason);
    });
}

void RichTextEditorWrapper::connectDocument() {
    ClickableTextView* v = m_textView;
    v->setUndoRedoEnabled(true);
    connect(v->document(), &QTextDocument::contentsChanged, this, [this] { textDidChange(); });
    // Paragraphs made while typing (a new line, a paste) keep their shapes too.
    connect(v->document(), &QTextDocument::contentsChange, this, [this](int from, int, int added) {
        if (holdsKeyboard())
            keepShapes(from, from + added);
    });

    SpellDictionary& dictionary = m_environment.spelling;
    // Its first pass over the loaded text, now rather than in a later turn, is no edit.
    m_isUpdatingFromOutside = true;
    m_highlighter = new SpellHighlighter(v->document(), dictionary);
    m_highlighter->followView(v);
    m_highlighter->rehighlight();
    m_isUpdatingFromOutside = false;
    connect(&dictionary, &SpellDictionary::ready, this, [this] {
        // Underlines are drawing only: not a change of the text.
        m_isUpdatingFromOutside = true;
        m_highlighter->rehighlight();
        m_isUpdatingFromOutside = false;
    });
    dictionary.ensureLoading();
}

void RichTextEditorWrapper::applyAppearance() {
    QPalette p = m_textView->palette();
    const QColor text = AppPalette::primaryText();
    p.setColor(QPalette::Base, Qt::transparent);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::WindowText, text);
    m_textView->setPalette(p);
    m_textView->viewport()->update();
    if (m_notice) {
        QPalette n = m_notice->palette();
        n.setColor(QPalette::WindowText, AppPalette::secondaryText());
        m_notice->setPalette(n);
    }
}

void RichTextEditorWrapper::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeChildren();
    updateCornerMask();
    // The backdrop's bottom edge moves with a new height.
    if (m_backdrop)
        repaintResizedEdge(this, event->oldSize(), m_corner + 2);
}

void RichTextEditorWrapper::setOpaqueBackdrop(Backdrop backdrop, int corner) {
    const bool opaque = bool(backdrop);
    m_backdrop = std::move(backdrop);
    m_corner = opaque ? corner : 0;
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    updateCornerMask();
    update();
}

void RichTextEditorWrapper::updateCornerMask() {
    // The corners show what is behind the host: they stay the parent's to paint.
    if (!m_backdrop || m_corner <= 0) {
        if (!mask().isEmpty())
            clearMask();
        return;
    }
    const int c = m_corner;
    QRegion shown(rect());
    for (const QPoint& at :
         {QPoint(0, 0), QPoint(width() - c, 0), QPoint(0, height() - c), QPoint(width() - c, height() - c)})
        shown -= QRect(at, QSize(c, c));
    setMask(shown);
}

void RichTextEditorWrapper::paintEvent(QPaintEvent* event) {
    if (!m_backdrop)
        return;
    QPainter p(this);
    m_backdrop(p, event->rect());
}

int RichTextEditorWrapper::noticeHeight() const {
    if (!m_notice || !(m_oversized || m_pendingLoss))
        return 0;
    int h = m_notice->heightForWidth(std::max(1, width() - 2 * inset)) + inset;
    if (m_pendingLoss && m_noticeButton)
        h += m_noticeButton->sizeHint().height() + 8;
    return h;
}

void RichTextEditorWrapper::placeChildren() {
    int top = 0;
    if (m_notice && (m_oversized || m_pendingLoss)) {
        const int w = std::max(1, width() - 2 * inset);
        const int h = m_notice->heightForWidth(w);
        m_notice->setGeometry(inset, inset, w, h);
        top = h + inset;
        if (m_pendingLoss && m_noticeButton) {
            const QSize button = m_noticeButton->sizeHint();
            m_noticeButton->setGeometry(inset, top + 8, button.width(), button.height());
            top += button.height() + 8;
        }
    }
    m_textView->setGeometry(0, top, width(), std::max(0, height() - top));
}

QString RichTextEditorWrapper::lossMessage(unsigned lost) {
    const std::pair<unsigned, const char*> kinds[] = {
        {rtf::lostObject, "un objet incorporé"},
        {rtf::lostShape, "un dessin ou une zone de texte"},
        {rtf::lostHeaderFooter, "un en-tête ou un pied de page"},
        {rtf::lostComment, "un commentaire"},
        {rtf::lostPicture, "une image d’un format non pris en charge"},
        {rtf::lostNestedTable, "un tableau dans un tableau"},
    };
    QStringList names;
    for (const auto& [flag, name] : kinds)
        if (lost & flag)
            names.append(QString::fromUtf8(name));
    QString list = names.join(QStringLiteral(", "));
    if (names.size() > 1)
        list = QStringList(names.mid(0, names.size() - 1)).join(QStringLiteral(", ")) + QStringLiteral(" et ") +
            names.back();
    return QStringLiteral(
               "Ce texte vient d’un autre logiciel et contient des éléments que Tolmek ne sait pas "
               "conserver (%1). Il reste tel quel tant que vous ne le modifiez pas ; le modifier les "
               "supprimera.")
        .arg(list);
}

void RichTextEditorWrapper::updateNotice(qsizetype storedSize) {
    const bool readOnly = m_oversized || m_pendingLoss;
    m_textView->setReadOnly(readOnly);
    m_textView->setTextInteractionFlags(readOnly ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                                 : Qt::TextEditorInteraction);
    if (readOnly && !m_notice) {
        m_notice = new QLabel(this);
        m_notice->setWordWrap(true);
        m_notice->setFont(Fonts::rounded(12));
        applyAppearance();
    }
    if (m_pendingLoss && !m_noticeButton) {
        m_noticeButton = new QPushButton(QStringLiteral("Modifier quand même"), this);
        connect(m_noticeButton, &QPushButton::clicked, this, [this] { acceptLoss(); });
    }
    if (m_notice) {
        m_notice->setText(m_oversized ? largetext::tooLargeMessage(storedSize) : lossMessage(m_pendingLoss));
        m_notice->setVisible(readOnly);
    }
    if (m_noticeButton)
        m_noticeButton->setVisible(m_pendingLoss && !m_oversized);
}

void RichTextEditorWrapper::acceptLoss() {
    if (!m_pendingLoss)
        return;
    m_pendingLoss = 0;
    updateNotice(0);
    placeChildren();
    recalculateHeight();
    m_textView->setFocus(Qt::OtherFocusReason);
}

void RichTextEditorWrapper::loadContent(const QString& text, bool requireMatchingRtf, QTextDocument* fresh,
                                        int textWidth) {
    QTextDocument* doc = fresh ? fresh : m_textView->document();
    m_isUpdatingFromOutside = true;
    m_rtfCache.clear();
    m_writeTimer->stop();
    m_writePending = false;
    bool loaded = false;
    const std::optional<QByteArray> bytes = m_richTextData.value();
    m_storedRtf = bytes;
    m_pendingLoss = 0;
    m_oversized = largetext::isOversized(text.size(), bytes ? bytes->size() : 0);
    if (m_oversized) {
        largetext::loadPreview(bytes, text, *doc);
        loaded = true;
    } else if (rtf::ReadInfo info; bytes && !bytes->isEmpty() && rtf::read(*bytes, *doc, &info)) {
        // RTF that no longer holds the bound text is stale: the text wins.
        loaded = !requireMatchingRtf || rtf::plainText(*doc) == text;
        // What our writer cannot keep stays stored until the person agrees to lose it.
        m_pendingLoss = loaded ? info.lost : 0;
    }
    if (!loaded)
        doc->setPlainText(text);
    doc->setDefaultFont(Fonts::system(14));
    doc->setDocumentMargin(inset);
    doc->clearUndoRedoStacks();
    doc->setModified(false);
    m_bounded = m_oversized || largetext::isBounded(doc->characterCount());
    if (fresh && !m_bounded) {
        // Qt drops a paragraph's shaped glyphs once it is laid out: a new editor's paragraphs keep them until
        // it has shown, so that its first paint and caret do not shape them again.
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            b.layout()->setCacheEnabled(true);
        QTimer::singleShot(0, this, [this] {
            if (!holdsKeyboard())
                keepShapes(-1, 0);
        });
    }
    // Laid out at once at the width it shows at; a large text is laid out in steps as Qt does it.
    if (fresh && textWidth > 0 && !m_bounded)
        m_textView->wrapAtWidth(textWidth);
    if (fresh) {
        // Without a page size the document is not laid out as the view takes it, only at the view's width.
        doc->setPageSize(QSizeF(0, 0));
        m_textView->setDocument(fresh);
    }
    // Read RTF leaves the caret at the end, and showing the caret there would lay out the whole text.
    if (m_bounded) {
        m_textView->setTextCursor(QTextCursor(doc));
        largetext::paceLayout(*doc);
    } else if (const int end = rtf::endOfText(*doc); end < doc->characterCount() - 1) {
        // Footnotes follow the text: typing at the end goes to the text, not into the last note.
        QTextCursor caret(doc);
        caret.setPosition(end);
        m_textView->setTextCursor(caret);
    } else if (fresh) {
        // Where reading into the view's own document leaves it.
        m_textView->moveCursor(QTextCursor::End);
    }
    // Only a large text scrolls inside its area; a shorter one grows with it.
    m_textView->setVerticalScrollBarPolicy(m_bounded ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    m_textView->setGrowsWithText(!m_bounded);
    updateNotice(std::max<qsizetype>(text.size(), bytes ? bytes->size() : 0));
    placeChildren();
    if (holdsKeyboard())
        keepShapes(0, doc->characterCount());
    m_isUpdatingFromOutside = false;
}

bool RichTextEditorWrapper::holdsKeyboard() const {
    // A menu or another window taking the keyboard for a while leaves it to the text on return.
    return m_textView->window()->focusWidget() == m_textView;
}

void RichTextEditorWrapper::keepShapes(int from, int to) {
    // Qt drops a paragraph's shaped glyphs once it is laid out, so the caret, the paint and the
    // spell check after each key would shape the paragraph again, several times. While the text
    // has the keyboard its paragraphs keep them; a large text would hold too much memory.
    QTextDocument* doc = m_textView->document();
    const bool keep = from >= 0 && !m_bounded;
    if (!keep)
        from = 0, to = doc->characterCount();
    for (QTextBlock b = doc->findBlock(from); b.isValid() && b.position() <= to; b = b.next())
        if (QTextLayout* layout = b.layout(); layout && layout->cacheEnabled() != keep)
            layout->setCacheEnabled(keep);
}

void RichTextEditorWrapper::syncFromBindings() {
    const QString text = m_text.value();
    if (text == m_lastKnownText)
        return;
    loadContent(text, true);
    m_lastKnownText = text;
    recalculateHeight();
}

void RichTextEditorWrapper::textDidChange() {
    // The spell checker re-drawing its underlines is no edit.
    if (m_isUpdatingFromOutside || m_oversized || m_pendingLoss || (m_highlighter && m_highlighter->isRechecking()))
        return;
    QPointer<RichTextEditorWrapper> self(this);
    if (!m_isFocused && m_textView->hasFocus()) {
        beginEditing(Qt::OtherFocusReason);
        if (!self)
            return;
    }
    if (!m_bounded && largetext::isBounded(m_textView->document()->characterCount())) {
        // Grown past the limit (a large paste): from now on it scrolls inside a fixed height.
        m_bounded = true;
        m_textView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_textView->setGrowsWithText(false);
        largetext::paceLayout(*m_textView->document());
    }
    if (!m_writePending) {
        m_writePending = true;
        m_pendingSince.start();
    }
    if (m_bounded) {
        // Copying and encoding the whole text at every key would cost more than the key itself: the
        // first unwritten change starts the wait, the next ones ride on it.
        const qint64 waited = m_pendingSince.elapsed();
        if (waited >= writeDelayMs) {
            writeBindings(true, true);
            return;
        }
        if (!m_writeTimer->isActive())
            m_writeTimer->start(int(writeDelayMs - waited));
        recalculateHeight();
        return;
    }
    // A typed key: the new height is known before the frame; the copy, the encoding and the embedder's
    // save wait behind the frame's repaint (queued after it), and the next key runs them first if still
    // waiting. Other changes (formats, pastes, undo) are written as they are made.
    if (!m_textView->isHandlingTypedKey()) {
        writeBindings(true, true);
        return;
    }
    recalculateHeight();
    if (!m_writePosted) {
        m_writePosted = true;
        QCoreApplication::postEvent(this, new QEvent(writeEventType()), Qt::LowEventPriority - 1);
    }
}

bool RichTextEditorWrapper::event(QEvent* event) {
    if (event->type() == writeEventType()) {
        m_writePosted = false;
        if (m_writePending && !m_bounded)
            writeBindings(true, true);
        return true;
    }
    return QWidget::event(event);
}

bool RichTextEditorWrapper::eventFilter(QObject* watched, QEvent* event) {
    // Every key finds the one before it written; in a large text, once the wait is over, even when the
    // keys come faster than they are handled and the timer never gets its turn.
    if (watched == m_textView && m_writePending &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod) &&
        (!m_bounded || m_pendingSince.elapsed() >= writeDelayMs)) {
        QPointer<RichTextEditorWrapper> self(this);
        writeBindings(true, true);
        if (!self)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void RichTextEditorWrapper::writeBindings(bool notify, bool withRtf) {
    m_writeTimer->stop();
    m_writePending = false;
    QPointer<RichTextEditorWrapper> self(this);
    QTextDocument* doc = m_textView->document();
    const QString s = rtf::plainText(*doc);
    // A change of format alone is a change too: it is told like typed text.
    bool changed = false;
    if (withRtf) {
        // Undone back to what was loaded: the stored bytes come back as they were. A text the writer
        // could not encode keeps what is stored.
        std::optional<QByteArray> bytes = m_storedRtf;
        if (doc->isModified())
            bytes = rtf::write(*doc, m_rtfCache);
        const bool encoded = !doc->isModified() || !bytes->isEmpty();
        if (encoded && bytes != m_richTextData.value()) {
            m_richTextData.write(bytes);
            changed = true;
        }
    }
    if (!self)
        return;
    if (s != m_lastKnownText) {
        m_lastKnownText = s;
        m_text.write(s);
        changed = true;
    }
    if (changed) {
        if (self && m_onChange) {
            if (notify)
                m_onChange();
            else
                QTimer::singleShot(0, this, [this] {
                    if (m_onChange)
                        m_onChange();
                });
        }
    }
    if (self)
        recalculateHeight();
}

bool RichTextEditorWrapper::flushRtf() {
    // The plain text waiting for the pause is written first; onChange follows in a later turn, as the
    // embedder may be walking its editors.
    if (m_writePending)
        writeBindings(false, !isEdited());
    // Text nobody changed keeps its stored bytes: our writer knows fewer constructs than the RTF it
    // may have been read from. Nor is a text written that would lose some before the person agreed.
    if (!isEdited() || m_pendingLoss)
        return false;
    const QByteArray bytes = rtf::write(*m_textView->document(), m_rtfCache);
    if (bytes.isEmpty())
        return false;
    // Two writes, so that a watcher sees a change even when the bytes are the same.
    m_richTextData.write(std::nullopt);
    m_richTextData.write(bytes);
    return true;
}

bool RichTextEditorWrapper::isEdited() const { return m_textView->document()->isModified(); }

QByteArray RichTextEditorWrapper::currentRtf() const { return rtf::write(*m_textView->document(), m_rtfCache); }

void RichTextEditorWrapper::beginEditing(Qt::FocusReason reason) {
    // The keyboard coming back from a menu, or arriving with the window, does not begin editing;
    // the first typed change then does.
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
        return;
    QPointer<RichTextEditorWrapper> self(this);
    setFocused(true);
    if (self && m_onFocus)
        m_onFocus();
}

void RichTextEditorWrapper::endEditing(Qt::FocusReason reason) {
    // The keyboard leaving the text, for whatever reason, stores what was typed.
    if (m_writePending) {
        QPointer<RichTextEditorWrapper> self(this);
        writeBindings(true, true);
        if (!self)
            return;
    }
    // A toolbar menu, the colour popover or another window taking the keyboard does not end editing.
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
        return;
    setFocused(false);
}

void RichTextEditorWrapper::setFocused(bool focused) {
    if (m_isFocused == focused)
        return;
    m_isFocused = focused;
    emit focusedChanged(focused);
}

void RichTextEditorWrapper::recalculateHeight() {
    const QTextDocument* doc = m_textView->document();
    if (m_bounded) {
        // Measuring would lay out the whole text, at every width.
        m_measuredHeight = largetext::boundedHeight + noticeHeight();
    } else {
        if (m_textView->width() <= 0 || doc->textWidth() <= 0)
            return;
        const qreal h = std::ceil(doc->documentLayout()->documentSize().height());
        m_measuredHeight = std::max(h, minimumHeight) + noticeHeight();
    }
    if (m_heightWritePending)
        return;
    m_heightWritePending = true;
    QTimer::singleShot(0, this, [this] { writeHeight(); });
}

void RichTextEditorWrapper::settleHeight() {
    if (m_heightWritePending)
        writeHeight();
}

void RichTextEditorWrapper::writeHeight() {
    m_heightWritePending = false;
    if (m_measuredHeight == m_calculatedHeight)
        return;
    QPointer<RichTextEditorWrapper> self(this);
    emit calculatedHeightAboutToChange(m_calculatedHeight, m_measuredHeight);
    if (!self)
        return;
    m_calculatedHeight = m_measuredHeight;
    emit calculatedHeightChanged(m_calculatedHeight);
}
