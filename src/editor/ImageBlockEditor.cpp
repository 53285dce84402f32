#include "editor/ImageBlockEditor.h"

#include "editor/EditorWidgets.h"
#include "ui/AppStyle.h"
#include "ui/Components.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

namespace {

constexpr int kDropZoneHeight = 200;
constexpr int kDecodeWidth = 900; // the column's widest content, before the view is placed

QSize declaredSize(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QSize s = reader.size();
    if (s.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        s.transpose();
    return s;
}

QString firstLocalFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    return urls.first().toLocalFile();
}

// The empty zone: symbol, title, line and button over a dashed outline; brand blue while a file hovers.
class DropZone : public QWidget {
public:
    DropZone(ImageBlockEditor* owner, QWidget* parent) : QWidget(parent), m_owner(owner) {
        setFixedHeight(kDropZoneHeight);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool over = m_owner->isDragOver();
        const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
        Paint::fillRoundedRect(p, r, 12,
                               over ? withOpacity(AppPalette::brandBlue(), 0.1) : AppPalette::screenBackground());
        QPen pen(over ? AppPalette::brandBlue() : withOpacity(AppPalette::separator(), 0.3), 2);
        pen.setDashPattern({4, 2}); // 8 on, 4 off at a 2-wide pen
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPath(Paint::roundedRect(r, 12));
        const QRectF symbol(width() / 2.0 - 24, m_symbolTop, 48, 48);
        Symbols::paint(p, symbol, QStringLiteral("photo.badge.plus"),
                       over ? AppPalette::brandBlue() : AppPalette::secondaryText());
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            QMetaObject::invokeMethod(
                m_owner,
                [o = QPointer<ImageBlockEditor>(m_owner)] {
                    if (o)
                        o->pickImage();
                },
                Qt::QueuedConnection);
    }

public:
    int m_symbolTop = 16;

private:
    ImageBlockEditor* m_owner;
};

} // namespace

// ---------------------------------------------------------------------------------------------

// The decoded pictures of every view, bounded: past the bound, the views out of sight longest give theirs up.
class PictureBudget {
public:
    static constexpr qint64 bound = 64 * 1024 * 1024;

    static PictureBudget& instance() {
        static PictureBudget budget;
        return budget;
    }

    // What `view` holds now.
    void update(BlockImageView* view) {
        auto bytesOf = [](const QPixmap& p) { return qint64(p.width()) * p.height() * 4; };
        const qint64 held = bytesOf(view->m_image) +
            (view->m_scaled.cacheKey() == view->m_image.cacheKey() ? 0 : bytesOf(view->m_scaled));
        m_bytes += held - m_held.value(view);
        if (held == 0) {
            m_held.remove(view);
            return;
        }
        m_held.insert(view, held);
        if (m_bytes <= bound)
            return;
        std::vector<BlockImageView*> out;
        for (auto it = m_held.cbegin(); it != m_held.cend(); ++it)
            if (it.key() != view && it.key()->visibleRegion().isEmpty())
                out.push_back(it.key());
        std::sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->m_lastPaint < b->m_lastPaint; });
        for (BlockImageView* v : out) {
            if (m_bytes <= bound)
                break;
            v->forget();
        }
    }
    qint64 bytes() const { return m_bytes; }

private:
    QHash<BlockImageView*, qint64> m_held;
    qint64 m_bytes = 0;
};

BlockImageView::BlockImageView(int maxHeight, qreal shadowOpacity, QWidget* parent)
    : QWidget(parent), m_maxHeight(maxHeight), m_shadowOpacity(shadowOpacity) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(0);
}

BlockImageView::~BlockImageView() { forget(); }

qint64 BlockImageView::keptBytes() { return PictureBudget::instance().bytes(); }

void BlockImageView::keep(QPixmap image) {
    m_image = std::move(image);
    m_scaled = {};
    PictureBudget::instance().update(this);
}

void BlockImageView::forget() {
    m_image = {};
    m_scaled = {};
    PictureBudget::instance().update(this);
    // Decoded again when next painted, at the size it keeps meanwhile.
    if (m_state == State::ready || m_state == State::decoding)
        m_state = State::idle;
}

void BlockImageView::setData(const std::optional<QByteArray>& bytes) {
    const bool present = bytes && !bytes->isEmpty();
    setSource([present, bytes] {
        blockimage::Source source{present, {}};
        if (present)
            source.read = [bytes] { return bytes; };
        return source;
    });
    // The header tells the picture's proportions before it decodes.
    if (present) {
        m_declared = declaredSize(*bytes);
        fitHeight();
    }
}

void BlockImageView::setSource(std::function<blockimage::Source()> source) {
    ++m_generation;
    forget();
    m_source = std::move(source);
    m_present = m_source && m_source().present;
    m_declared = {};
    if (!m_present) {
        m_state = State::failed;
        fitHeight();
        emit stateChanged(m_state);
        return;
    }
    m_state = State::idle;
    fitHeight();
    if (isVisible())
        startDecode();
}

void BlockImageView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_state == State::idle)
        startDecode();
}

void BlockImageView::startDecode() {
    if (!m_present)
        return;
    m_state = State::decoding;
    const int generation = m_generation;
    const qreal dpr = devicePixelRatioF();
    // At the width shown, once known: the worker scales it, not the first paint.
    m_decodeWidth = width() > 0 ? width() : kDecodeWidth;
    const QSize box(int(std::ceil(m_decodeWidth * dpr)), int(m_maxHeight * dpr));
    QPointer<BlockImageView> self(this);
    blockimage::decodeAsync(m_source(), box, this, [self, generation](const QImage& image) {
        if (!self || generation != self->m_generation)
            return;
        if (image.isNull()) {
            self->forget();
            self->m_state = State::failed;
        } else {
            QPixmap pixmap = QPixmap::fromImage(image);
            pixmap.setDevicePixelRatio(1);
            self->keep(std::move(pixmap));
            self->m_declared = image.size();
            self->m_state = State::ready;
        }
        self->fitHeight();
        self->update();
        emit self->stateChanged(self->m_state);
    });
}

void BlockImageView::fitHeight() {
    int h = 0;
    // Before the first layout the width is not known yet: assume the column's usual content width.
    const int w = width() > 0 ? width() : 820;
    if (m_state != State::failed && m_declared.isValid() && m_declared.width() > 0) {
        const double aspect = double(m_declared.height()) / m_declared.width();
        h = std::min(m_maxHeight, int(std::lround(w * aspect)));
        h = std::max(h, 1);
    } else if (m_state != State::failed && (!m_declared.isValid())) {
        h = std::min(m_maxHeight, kDropZoneHeight);
    }
    if (height() != h)
        setFixedHeight(h);
}

void BlockImageView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_scaled = {};
    PictureBudget::instance().update(this);
    fitHeight();
    // Shown wider than it was decoded for: decoded again, the smaller one shown meanwhile.
    if (m_state == State::ready && width() > m_decodeWidth && isVisible())
        startDecode();
}

void BlockImageView::paintEvent(QPaintEvent*) {
    m_lastPaint = QDateTime::currentMSecsSinceEpoch();
    if (m_image.isNull()) {
        if (m_state == State::idle) // given up while out of sight
            startDecode();
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF fitted = QSizeF(m_image.size()).scaled(QSizeF(width(), height()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
    if (m_shadowOpacity > 0)
        Paint::drawShadow(p, target, 8, QColor::fromRgbF(0, 0, 0, float(m_shadowOpacity)), 4, QPointF(0, 2));
    const qreal dpr = devicePixelRatioF();
    const QSize device = (fitted * dpr).toSize();
    if (m_scaled.isNull() || m_scaled.size() != device) {
        // Decoded for this width: a pixel of rounding is not worth a scaling on the GUI thread.
        const QSize off = m_image.size() - device;
        const bool fits = std::abs(off.width()) <= 1 && std::abs(off.height()) <= 1;
        m_scaled = fits ? m_image : m_image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_scaled.setDevicePixelRatio(dpr);
        PictureBudget::instance().update(this);
    }
    p.setClipPath(Paint::roundedRect(target, 8));
    p.drawPixmap(target.topLeft(), m_scaled);
}

// ---------------------------------------------------------------------------------------------

ImageBlockEditor::ImageBlockEditor(DataBinding imageData, std::function<void()> onChange,
                                   std::function<blockimage::Source()> stored, QWidget* parent)
    : QWidget(parent), m_imageData(std::move(imageData)), m_onChange(std::move(onChange)) {
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(12);

    m_previewBox = new QWidget(this);
    auto* pv = new QVBoxLayout(m_previewBox);
    pv->setContentsMargins(0, 0, 0, 0);
    pv->setSpacing(12);
    m_preview = new BlockImageView(400, 0, m_previewBox);
    pv->addWidget(m_preview);
    auto* actions = new QHBoxLayout;
    actions->setSpacing(12);
    actions->addStretch(1);
    m_change = new QPushButton(QStringLiteral("Changer l'image"), m_previewBox);
    m_remove = new QPushButton(QStringLiteral("Supprimer"), m_previewBox);
    TolmekStyle::setDestructive(m_remove);
    actions->addWidget(m_change);
    actions->addWidget(m_remove);
    actions->addStretch(1);
    pv->addLayout(actions);
    connect(m_change, &QPushButton::clicked, this, &ImageBlockEditor::pickImage);
    connect(m_remove, &QPushButton::clicked, this, &ImageBlockEditor::removeImage);
    outer->addWidget(m_previewBox);

    auto* zone = new DropZone(this, this);
    m_dropZone = zone;
    auto* zv = new QVBoxLayout(zone);
    zv->setContentsMargins(16, 16 + 48 + 16, 16, 16);
    zv->setSpacing(0);
    m_title = new editorui::ToneLabel(
        QStringLiteral("Ajouter une image"), Fonts::rounded(16, 600), [] { return AppPalette::primaryText(); }, zone);
    m_title->setAlignment(Qt::AlignCenter);
    m_line = new editorui::ToneLabel(
        QStringLiteral("Glissez une image ici ou cliquez pour sélectionner"), Fonts::rounded(13),
        [] { return AppPalette::secondaryText(); }, zone);
    m_line->setAlignment(Qt::AlignCenter);
    m_select = new PrimaryButton(QStringLiteral("Sélectionner une image"), QString(), zone);
    connect(m_select, &QAbstractButton::clicked, this, &ImageBlockEditor::pickImage);
    zv->addWidget(m_title);
    zv->addSpacing(4);
    zv->addWidget(m_line);
    zv->addSpacing(12);
    zv->addWidget(m_select, 0, Qt::AlignHCenter);
    zv->addStretch(1);
    // Centre the stack (symbol 48, 16, title, line, 16, button) in the 200 height.
    const int stack =
        48 + 16 + m_title->sizeHint().height() + 4 + m_line->sizeHint().height() + 12 + m_select->sizeHint().height();
    zone->m_symbolTop = std::max(8, (kDropZoneHeight - stack) / 2);
    zv->setContentsMargins(16, zone->m_symbolTop + 48 + 16, 16, 8);
    outer->addWidget(zone);

    m_message = new editorui::ToneLabel(
        QString(), Fonts::rounded(12, 500), [] { return AppPalette::destructiveText(); }, this);
    m_message->hide();
    outer->addWidget(m_message);

    connect(m_preview, &BlockImageView::stateChanged, this, [this] { reload(); });
    if (stored)
        m_preview->setSource(std::move(stored));
    else
        m_preview->setData(m_imageData.value());
    reload();
}

bool ImageBlockEditor::showsPreview() const { return m_previewBox->isVisibleTo(this); }

QString ImageBlockEditor::message() const { return m_message->isVisibleTo(this) ? m_message->text() : QString(); }

void ImageBlockEditor::reload() {
    // The preview while the picture decodes or shows; the drop zone when there is none or it does not decode.
    const bool preview = m_preview->state() != BlockImageView::State::failed;
    // The button that had the keyboard may go with its half: the keyboard goes to the other half's first
    // button, not down the window's chain (to the sidebar, where Space leaves the document).
    QWidget* focus = QApplication::focusWidget();
    const bool hadFocus = focus && isAncestorOf(focus);
    m_previewBox->setVisible(preview);
    m_dropZone->setVisible(!preview);
    if (hadFocus && (!QApplication::focusWidget() || !isAncestorOf(QApplication::focusWidget())))
        (preview ? static_cast<QWidget*>(m_change) : m_select)->setFocus(Qt::TabFocusReason);
    // Stored bytes that do not decode are said so, as the read-only view does, above the zone that replaces them.
    static const QString unavailable = QStringLiteral("Image non disponible");
    if (!preview && m_preview->hasSource())
        setMessage(unavailable);
    else if (m_message->text() == unavailable)
        setMessage({});
}

void ImageBlockEditor::setMessage(const QString& text) {
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

void ImageBlockEditor::pickImage() {
    const QString path =
        DialogSeam::getOpenFileName(this, QStringLiteral("Sélectionnez une image"), QString(),
                                    QStringLiteral(
                                        "Images (*.png *.jpg *.jpeg *.heic *.heif *.gif *.bmp *.tif *.tiff *.webp)"));
    if (path.isEmpty())
        return;
    convertFile(path);
}

void ImageBlockEditor::removeImage() {
    ++m_generation; // a conversion still running no longer applies
    setMessage({});
    m_imageData.write(std::nullopt);
    m_preview->setData(std::nullopt);
    reload();
    if (m_onChange)
        m_onChange();
}

bool ImageBlockEditor::handleDrop(const QMimeData* mime) {
    const QString path = firstLocalFile(mime);
    if (path.isEmpty())
        return false;
    convertFile(path);
    return true;
}

bool ImageBlockEditor::paste(const QMimeData* mime) {
    if (!mime)
        return false;
    if (handleDrop(mime))
        return true;
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (image.isNull())
            return false;
        convertImage(image);
        return true;
    }
    return false;
}

void ImageBlockEditor::convertFile(const QString& path) {
    const int generation = ++m_generation;
    ++m_pending;
    setMessage({});
    QPointer<ImageBlockEditor> self(this);
    blockimage::storedFromFileAsync(path, this, [self, generation](const blockimage::Stored& r) {
        if (self)
            self->finish(generation, r);
    });
}

void ImageBlockEditor::convertImage(const QImage& image) {
    const int generation = ++m_generation;
    ++m_pending;
    setMessage({});
    QPointer<ImageBlockEditor> self(this);
    blockimage::storedFromImageAsync(image, this, [self, generation](const blockimage::Stored& r) {
        if (self)
            self->finish(generation, r);
    });
}

void ImageBlockEditor::finish(int generation, const blockimage::Stored& result) {
    --m_pending;
    if (generation == m_generation) {
        if (result.ok()) {
            m_imageData.write(result.data);
            m_preview->setData(result.data);
            reload();
            if (m_onChange)
                m_onChange();
        } else if (result.outcome == ImageConversion::Outcome::tooLarge) {
            setMessage(blockimage::tooLargeMessage());
        }
    }
    emit conversionFinished();
}

void ImageBlockEditor::setDragOver(bool over) {
    if (m_dragOver == over)
        return;
    m_dragOver = over;
    m_title->setText(over ? QStringLiteral("Déposer l'image") : QStringLiteral("Ajouter une image"));
    m_dropZone->update();
}

void ImageBlockEditor::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        paste(QGuiApplication::clipboard()->mimeData());
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

namespace {
bool takesFiles(const QMimeData* data) {
    return data && data->hasUrls() && !data->hasFormat(QStringLiteral("application/x-tolmek-block"));
}
} // namespace

// Qt sends no further moves to a widget that turned the enter down, so a picture is taken on entering
// anywhere over the editor, and whether it may land is decided at each position: over the drop zone.
bool ImageBlockEditor::overDropZone(const QPointF& position) const {
    return m_dropZone->isVisible() && m_dropZone->geometry().contains(position.toPoint());
}

void ImageBlockEditor::dragEnterEvent(QDragEnterEvent* event) {
    if (!takesFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setDragOver(overDropZone(event->position()));
}

void ImageBlockEditor::dragMoveEvent(QDragMoveEvent* event) {
    const bool over = takesFiles(event->mimeData()) && overDropZone(event->position());
    setDragOver(over);
    if (over)
        event->acceptProposedAction();
    else
        event->ignore();
}

void ImageBlockEditor::dragLeaveEvent(QDragLeaveEvent* event) {
    setDragOver(false);
    QWidget::dragLeaveEvent(event);
}

void ImageBlockEditor::dropEvent(QDropEvent* event) {
    if (!takesFiles(event->mimeData()) || !overDropZone(event->position())) {
        setDragOver(false);
        event->ignore();
        return;
    }
    setDragOver(false);
    event->acceptProposedAction();
    // The conversion starts after the drag loop has returned.
    const QString path = firstLocalFile(event->mimeData());
    if (path.isEmpty())
        return;
    QPointer<ImageBlockEditor> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, path] {
            if (self)
                self->convertFile(path);
        },
        Qt::QueuedConnection);
}
