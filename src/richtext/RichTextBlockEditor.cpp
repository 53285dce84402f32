#include "richtext/RichTextBlockEditor.h"

#include "richtext/ClickableTextView.h"
#include "richtext/RichTextEditorWrapper.h"
#include "richtext/RichTextToolbar.h"
#include "ui/Components.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/Paint.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QResizeEvent>
#include <QVariantAnimation>

#include <cmath>

namespace {
constexpr int kToolbarSpacing = 8;
constexpr int kToolbarHeight = 44; // 28 controls + 8 above and below
constexpr qreal kFrameRadius = 8;

// The text area's frame around `area`, as far as `exposedRect` reaches.
void paintFrame(QPainter& p, const QRectF& area, const QRect& exposedRect, bool focused) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF exposed = QRectF(exposedRect).adjusted(-2, -2, 2, 2);
    const bool whole = exposed.contains(area);
    const QColor outline =
        focused ? withOpacity(AppPalette::brandBlue(), 0.3) : withOpacity(AppPalette::separator(), 0.2);
    constexpr qreal radius = kFrameRadius;
    if (!whole && exposed.top() >= area.top() + radius && exposed.bottom() <= area.bottom() - radius) {
        // Between the corners (what a key repaints under the text): the same pixels from rectangles, as
        // the paths cost far more than the text they lie under.
        const QRectF band = exposed.intersected(area);
        if (focused)
            p.fillRect(band, AppPalette::screenBackground());
        for (const qreal x : {area.left(), area.right() - 1})
            p.fillRect(QRectF(x, band.top(), 1, band.height()).intersected(band), outline);
        return;
    }
    // Elsewhere (a corner, the frame's top or bottom edge, all of it) the whole shapes are painted and the
    // painter keeps to the repainted part: a part painted alone has the pixels it has in the whole frame.
    if (focused)
        Paint::fillRoundedRect(p, area, radius, AppPalette::screenBackground());
    Paint::strokeRoundedRect(p, area, radius, outline);
}
} // namespace

int RichTextBlockEditor::toolbarBlockHeight() { return kToolbarHeight + kToolbarSpacing; }

RichTextBlockEditor::RichTextBlockEditor(const RichTextEnvironment& environment, TextBinding content,
                                         RtfBinding richTextData, bool forceSaveRTF, std::function<void()> onChange,
                                         std::function<void()> onFocus, QWidget* parent, int width)
    : QWidget(parent), m_onFocus(std::move(onFocus)), m_forceSaveRTF(forceSaveRTF) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // A line more or less repaints the frame's bottom corners, not the whole text.
    keepPaintingOnResize(this);
    m_wrapper = new RichTextEditorWrapper(environment, std::move(content), std::move(richTextData), std::move(onChange),
                                          m_onFocus, this, width);

    m_toolbarSlot = new QWidget(this);
    m_toolbarSlot->hide();
    m_toolbar = new RichTextToolbar(environment.theme, m_wrapper->textView(), m_toolbarSlot);
    // A click on the toolbar (a button, its label, the gap below it) would otherwise hand the
    // keyboard to the nearest focusable ancestor, a scroll area for instance, and end editing.
    setFocusProxy(m_wrapper->textView());

    m_animation = new QVariantAnimation(this);
    m_animation->setDuration(200);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { setToolbarProgress(v.toReal()); });

    connect(m_wrapper, &RichTextEditorWrapper::focusedChanged, this, [this](bool f) { focusChanged(f); });
    connect(m_wrapper, &RichTextEditorWrapper::calculatedHeightChanged, this, [this](qreal h) {
        layoutChildren();
        emit calculatedHeightChanged(h);
    });
    connect(&environment.theme, &ThemeManager::appearanceChanged, this, [this] {
        updateBackdrop();
        update();
    });
    layoutChildren();
}

RichTextBlockEditor::~RichTextBlockEditor() {
    // The wrapper, a child, still signals focus and height changes while QWidget's destructor removes it.
    disconnect(m_wrapper, nullptr, this, nullptr);
}

ClickableTextView* RichTextBlockEditor::textView() const { return m_wrapper->textView(); }
bool RichTextBlockEditor::isFocused() const { return m_wrapper->isFocused(); }
qreal RichTextBlockEditor::calculatedHeight() const { return m_wrapper->calculatedHeight(); }

void RichTextBlockEditor::setForceSaveRTF(bool value) {
    if (value == m_forceSaveRTF)
        return;
    m_forceSaveRTF = value;
    flushRtf();
}

bool RichTextBlockEditor::flushRtf() { return m_wrapper->flushRtf(); }
bool RichTextBlockEditor::isEdited() const { return m_wrapper->isEdited(); }

void RichTextBlockEditor::syncFromBindings() { m_wrapper->syncFromBindings(); }

void RichTextBlockEditor::focusChanged(bool focused) {
    QPointer<RichTextBlockEditor> self(this);
    update();
    updateBackdrop();
    if (focused != m_showToolbar) {
        m_showToolbar = focused;
        if (focused)
            m_toolbar->resetState();
        else
            m_toolbar->setShowColorPicker(false);
        m_animation->stop();
        m_animation->setStartValue(m_toolbarProgress);
        m_animation->setEndValue(focused ? 1.0 : 0.0);
        m_animation->start();
    }
    emit focusedChanged(focused);
    if (self && focused && m_onFocus)
        m_onFocus();
}

void RichTextBlockEditor::updateBackdrop() {
    // Focused, the frame's fill is opaque: the text area paints the frame under its text itself, so that
    // the toolbar's slide copies the text down on screen and paints only what it uncovers.
    const bool opaque = m_wrapper->isFocused() && AppPalette::screenBackground().alpha() == 255;
    if (!opaque) {
        m_wrapper->setOpaqueBackdrop({}, 0);
        return;
    }
    m_wrapper->setOpaqueBackdrop(
        [this](QPainter& p, const QRect& exposed) {
            paintFrame(p, QRectF(m_wrapper->rect()), exposed, m_wrapper->isFocused());
        },
        int(kFrameRadius) + 1);
}

void RichTextBlockEditor::setToolbarProgress(qreal progress) {
    m_toolbarProgress = progress;
    const bool visible = progress > 0;
    if (visible && progress < 1) {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(m_toolbarSlot->graphicsEffect());
        if (!effect) {
            effect = new QGraphicsOpacityEffect(m_toolbarSlot);
            m_toolbarSlot->setGraphicsEffect(effect);
        }
        effect->setOpacity(progress);
    } else if (m_toolbarSlot->graphicsEffect()) {
        m_toolbarSlot->setGraphicsEffect(nullptr);
    }
    m_toolbarSlot->setVisible(visible);
    layoutChildren();
}

void RichTextBlockEditor::layoutChildren() {
    const int w = width();
    const int slotHeight = int(std::round(m_toolbarProgress * toolbarBlockHeight()));
    const int areaHeight = std::max(int(std::ceil(m_wrapper->calculatedHeight())), m_minimumTotal - slotHeight);
    const QRect before = m_wrapper->geometry();
    // The text area moves before the slot grows over where it was, and after the slot shrinks from where
    // it goes: Qt copies a move on screen only when nothing lies over the moved pixels.
    const bool down = slotHeight > m_toolbarSlot->height();
    if (down)
        m_wrapper->setGeometry(0, slotHeight, w, areaHeight);
    m_toolbarSlot->setGeometry(0, 0, w, slotHeight);
    // The toolbar slides in from the top edge.
    m_toolbar->setGeometry(0, slotHeight - toolbarBlockHeight(), w, kToolbarHeight);
    if (!down)
        m_wrapper->setGeometry(0, slotHeight, w, areaHeight);
    const int total = slotHeight + areaHeight;
    if (height() != total || minimumHeight() != total)
        setFixedHeight(total);
    // The frame moved with the toolbar; a new height alone is the resize's to repaint. A text area that
    // paints its own frame and only moved was copied or repainted by the move itself.
    const bool movedAlone = before.size() == m_wrapper->size() && m_wrapper->testAttribute(Qt::WA_OpaquePaintEvent);
    if ((before.top() != slotHeight && !movedAlone) || before.width() != w)
        update();
}

void RichTextBlockEditor::setMinimumTotalHeight(int height) {
    m_minimumTotal = height;
    layoutChildren();
}

void RichTextBlockEditor::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    repaintResizedEdge(this, event->oldSize(), int(kFrameRadius) + 2);
    layoutChildren();
}

void RichTextBlockEditor::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    paintFrame(p, m_wrapper->geometry(), event->rect(), m_wrapper->isFocused());
}
