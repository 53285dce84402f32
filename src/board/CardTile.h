#pragma once

#include "core/model/Models.h"
#include "ui/Paint.h"

#include <QAbstractButton>
#include <QColor>
#include <QStringList>

#include <functional>
#include <optional>

class HoverAnimator;

// The preview line of a card's notes: nothing for absent or blank notes; for "rtf:" + Base64 the
// plain text of the RTF (empty when the bytes are not RTF), or the notes as stored when the Base64
// does not decode; otherwise the notes as stored.
std::optional<QString> notesPreviewText(const OptText& notes);

// Text wrapped to a width in at most `maxLines` lines, the last one elided when more would follow.
struct WrappedText {
    QStringList lines;
    qreal lineHeight = 0;
    qreal height() const { return lines.size() * lineHeight; }
};
WrappedText wrapText(const QString& text, const QFont& font, qreal width, int maxLines);

// One card of a column: title (4 lines at most), notes preview (3 lines), "Voir plus". A click opens
// the card; dragging it carries the card. The widget is the tile plus a small margin for the hover
// scale; the column paints the tile's shadow beneath it.
class CardTile : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kMargin = 2; // around the tile, inside the widget
    static constexpr qreal kRadius = 14;

    CardTile(ChecklistCardPtr card, QWidget* parent = nullptr);

    // The shadow the column paints beneath a tile, at rest and hovered.
    static Paint::Shadow shadow(bool hovered);

    const ChecklistCardPtr& card() const { return m_card; }
    QUuid cardId() const { return m_id; }
    // Re-reads title and notes; returns whether the height may have changed.
    bool refresh();
    void setAccent(const QColor& accent);
    QColor accent() const { return m_accent; }
    QString previewText() const { return m_preview.value_or(QString()); }
    bool hasPreview() const { return m_preview.has_value(); }

    // Height of the widget for a tile `tileWidth` wide (margins included).
    int heightForTileWidth(int tileWidth);
    // The same for a card without making its tile: exact but for notes in RTF, which are read roughly.
    static int estimateHeight(const QString& title, const OptText& notes, int tileWidth);
    // A first guess, from the texts' lengths alone: what a board of thousands of cards opens with, before
    // estimateHeight() corrects it card by card.
    static int guessHeight(const QString& title, const OptText& notes, int tileWidth);
    // The tile inside the widget.
    QRectF tileRect() const;
    // Hover look, driven by the board's one hovered-card field.
    void setHovered(bool hovered);
    bool isHovered() const;
    qreal hoverProgress() const;

    // Set by the board: pointer entering/leaving, drag start, keyboard moves and the context menu.
    std::function<void(bool entered)> onHover;
    std::function<void()> onDragStart;
    std::function<void(int key)> onMoveKey; // Qt::Key_Up/Down/Left/Right with Alt
    std::function<void(const QPoint& globalPos)> onMenu;

signals:
    void hoverProgressChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void layoutTexts(int tileWidth);
    static int heightFor(int titleLines, int previewLines); // previewLines < 0: no preview

    ChecklistCardPtr m_card;
    QUuid m_id;
    QString m_title;
    OptText m_notes;
    std::optional<QString> m_preview;
    QColor m_accent;
    HoverAnimator* m_hover = nullptr;
    int m_layoutWidth = -1;
    WrappedText m_titleLines;
    WrappedText m_previewLines;
    int m_height = 0;
    QPoint m_pressPos;
    bool m_pressed = false;
};
