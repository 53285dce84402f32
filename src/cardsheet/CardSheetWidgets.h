#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QTextEdit>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QLineEdit;
class QVBoxLayout;

// The small pieces the card sheet is built from. Colours are read at paint time, so a change of
// appearance needs only a repaint.
namespace cardsheetui {

using ColorFn = std::function<QColor()>;

// A label whose colour follows the appearance (read at paint time), drawn at an opacity.
class ColorLabel : public QLabel {
    Q_OBJECT
public:
    ColorLabel(const QString& text, const QFont& font, ColorFn color, QWidget* parent = nullptr);
    void setOpacity(qreal opacity) {
        m_opacity = opacity;
        update();
    }
    // One line, cut with an ellipsis (where `mode` says) at the available width; the full text stays the
    // accessible name.
    void setElided(bool elided, Qt::TextElideMode mode = Qt::ElideRight);
    QString fullText() const { return m_full; }
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyElision();
    ColorFn m_color;
    qreal m_opacity = 1;
    bool m_elided = false;
    Qt::TextElideMode m_elideMode = Qt::ElideRight;
    QString m_full;
};

// A titled, rounded frame: "Description", "Liens", "Pièces jointes".
class SheetSection : public QWidget {
    Q_OBJECT
public:
    SheetSection(const QString& title, QWidget* parent = nullptr);
    QVBoxLayout* contentLayout() const { return m_content; }
    QString title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    QVBoxLayout* m_content;
};

// A frameless line edit on a rounded field background (padding 12 × 10, radius 12), outlined as every field.
class FieldFrame : public QWidget {
    Q_OBJECT
public:
    FieldFrame(const QString& placeholder, qreal fillOpacity, QWidget* parent = nullptr);
    QLineEdit* lineEdit() const { return m_edit; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLineEdit* m_edit;
    qreal m_fill;
};

// A symbol and a title on a tinted pill ("Modifier", "Ajouter une étape"), or the red destructive
// variant ("Supprimer l’étape").
class PillButton : public QAbstractButton {
    Q_OBJECT
public:
    struct Look {
        qreal symbolPx = 13;
        qreal textPx = 13;
        int spacing = 8;
        int padH = 12;
        int padV = 10;
        bool destructive = false;
    };
    PillButton(const QString& symbol, const QString& title, Look look, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    Look m_look;
};

// An icon-only button (symbol 12 semibold in the secondary text colour, padded); named by its help text.
class IconButton : public QAbstractButton {
    Q_OBJECT
public:
    IconButton(const QString& symbol, const QString& helpText, qreal symbolPx, int padding, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QString symbol() const { return m_symbol; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    qreal m_px;
    int m_pad;
};

// Read-only formatted text sized to its content at the available width (inset 12, height of the
// laid-out text + 24, at least 44). Selectable. Each width is measured once. A large text
// (largetext) is not measured: it keeps a fixed height and scrolls inside it.
class ReadOnlyRichText : public QTextEdit {
    Q_OBJECT
public:
    explicit ReadOnlyRichText(QWidget* parent = nullptr);
    // Call once the document is filled; `bounded` keeps the fixed height whatever the length.
    void contentChanged(bool bounded = false);
    // Plain text drawn as a label draws it: no inset, in `font` and `color` (read at paint time).
    void setPlainLabelText(const QString& text, const QFont& font, ColorFn color);
    bool isBounded() const { return m_bounded; }
    bool hasHeightForWidth() const override { return !m_bounded; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    ColorFn m_color;
    bool m_bounded = false;
    int m_minimum = 44;
    mutable std::vector<std::pair<int, int>> m_heights; // width, height: the widths asked so far
};

// A rounded row frame that paints its fill and outline and optionally reacts to a click on its free space.
class RowFrame : public QWidget {
    Q_OBJECT
public:
    RowFrame(qreal radius, ColorFn fill, qreal strokeOpacity, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    qreal m_radius;
    ColorFn m_fill;
    qreal m_stroke;
};

// The 56 × 56 preview of a file attachment: a thumbnail scaled to fill, or a symbol on a tinted tile.
class AttachmentPreview : public QWidget {
    Q_OBJECT
public:
    AttachmentPreview(const QString& symbol, QWidget* parent = nullptr);
    void setThumbnail(const QImage& image);
    bool showsThumbnail() const { return !m_image.isNull(); }
    QString symbol() const { return m_symbol; }
    QSize sizeHint() const override { return {56, 56}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QImage m_image;
};

} // namespace cardsheetui
