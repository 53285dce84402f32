#pragma once

#include "editor/BlockImages.h"
#include "richtext/RichTextBindings.h"

#include <QPixmap>
#include <QWidget>

#include <functional>

class QLabel;
class QMimeData;
class QPushButton;
class PrimaryButton;

// Shows the picture of an image block scaled to fit its width and at most `maxHeight` high, with
// rounded corners. The stored bytes are decoded on a worker thread the first time the widget is
// shown; until then (and when they do not decode) it shows nothing of its own.
class BlockImageView : public QWidget {
    Q_OBJECT
public:
    enum class State { idle, decoding, ready, failed };

    BlockImageView(int maxHeight, qreal shadowOpacity, QWidget* parent = nullptr);
    ~BlockImageView() override;

    // New bytes: decoded again when shown. Absent or empty data fails at once.
    void setData(const std::optional<QByteArray>& data);
    // The same, read on the worker thread from what `source` gives at each decoding: the view keeps no bytes.
    void setSource(std::function<blockimage::Source()> source);
    // The pictures decoded for every view, in bytes: views out of sight give theirs up past a bound, and
    // decode again when shown.
    static qint64 keptBytes();
    State state() const { return m_state; }
    bool hasSource() const { return m_present; }
    QSize imageSize() const { return m_image.size(); }

signals:
    void stateChanged(BlockImageView::State state);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class PictureBudget;
    void startDecode();
    void fitHeight();
    void keep(QPixmap image);
    void forget();

    std::function<blockimage::Source()> m_source;
    bool m_present = false;
    QSize m_declared; // from the header, before decoding
    int m_maxHeight;
    qreal m_shadowOpacity;
    State m_state = State::idle;
    int m_generation = 0;
    int m_decodeWidth = 0; // the width the picture was last decoded for
    QPixmap m_image;
    QPixmap m_scaled;
    qint64 m_lastPaint = 0; // for the bound on decoded pictures
};

// The editor of an image block: the picture with "Changer l'image" and "Supprimer", or a drop zone
// that takes a dropped or pasted picture and opens a file picker on a click. Pictures are converted
// off the GUI thread; `imageData` is written, and `onChange` called, only when a picture converted.
class ImageBlockEditor : public QWidget {
    Q_OBJECT
public:
    using DataBinding = RichTextBinding<std::optional<QByteArray>>;
    // `stored`, when given, reads the picture off the window's thread rather than through `imageData`.
    ImageBlockEditor(DataBinding imageData, std::function<void()> onChange,
                     std::function<blockimage::Source()> stored = {}, QWidget* parent = nullptr);

    void pickImage();
    void removeImage();
    // The first file of `data` when it is a local file; false when there is none.
    bool handleDrop(const QMimeData* data);
    // A picture or an image file from the clipboard's data.
    bool paste(const QMimeData* data);

    bool isDragOver() const { return m_dragOver; }
    bool isConverting() const { return m_pending > 0; }
    bool showsPreview() const;
    QString message() const;
    QWidget* dropZone() const { return m_dropZone; }
    bool overDropZone(const QPointF& position) const;
    BlockImageView* preview() const { return m_preview; }
    QPushButton* changeButton() const { return m_change; }
    QPushButton* removeButton() const { return m_remove; }
    PrimaryButton* selectButton() const { return m_select; }
    QLabel* dropTitle() const { return m_title; }

signals:
    void conversionFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void reload();
    void setDragOver(bool over);
    void convertFile(const QString& path);
    void convertImage(const QImage& image);
    void finish(int generation, const blockimage::Stored& result);
    void setMessage(const QString& text);

    DataBinding m_imageData;
    std::function<void()> m_onChange;
    QWidget* m_previewBox = nullptr;
    BlockImageView* m_preview = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_remove = nullptr;
    QWidget* m_dropZone = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_line = nullptr;
    PrimaryButton* m_select = nullptr;
    QLabel* m_message = nullptr;
    bool m_dragOver = false;
    int m_generation = 0;
    int m_pending = 0;
};
