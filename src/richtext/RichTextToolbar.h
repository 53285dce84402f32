#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFrame>
#include <QPointer>
#include <QWidget>

class ClickableTextView;
class ThemeManager;
class QColorDialog;
#include <QMenu>

namespace richtext {

// A 28 × 28 symbol button of the toolbar; with a menu it opens the menu below itself when pressed.
class ToolbarIconButton : public QAbstractButton {
    Q_OBJECT
public:
    ToolbarIconButton(const QString& symbol, const QString& toolTip, QWidget* parent = nullptr);
    QString symbol() const { return m_symbol; }
    void setMenu(QMenu* menu);
    QMenu* menu() const { return m_menu; }
    QSize sizeHint() const override { return {28, 28}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QPointer<QMenu> m_menu;
};

// The "Style" menu's label: size symbol, "Style" and a chevron in a small outlined capsule.
class StyleMenuButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit StyleMenuButton(QMenu* menu, QWidget* parent = nullptr);
    QMenu* menu() const { return m_menu; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QMenu> m_menu;
};

// The custom text colour popover: a colour picker titled "Couleur du texte", without opacity.
class ColorPopover : public QFrame {
    Q_OBJECT
public:
    explicit ColorPopover(QWidget* parent = nullptr);
    QColorDialog* picker() const { return m_picker; }
    // Shows the picker on `color` without reporting it as a pick.
    void setColor(const QColor& color);

signals:
    void colorPicked(const QColor& color);
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColorDialog* m_picker;
    bool m_settingColor = false;
};

} // namespace richtext

// The row of formatting controls shown above the text while the editor is focused. Every control
// formats the selection of `textView`; without a text view they do nothing.
class RichTextToolbar : public QWidget {
    Q_OBJECT
public:
    // `theme`: the appearance its swatches and labels follow.
    RichTextToolbar(ThemeManager& theme, ClickableTextView* textView, QWidget* parent = nullptr);

    ClickableTextView* textView() const { return m_textView; }
    void setTextView(ClickableTextView* textView);

    // The formatting operations, on the text view's selection.
    void applyNormalStyle();
    void applyHeading(int pixelSize, int weight);
    void toggleBold();
    void toggleItalic();
    void toggleUnderline();
    void toggleStrikethrough();
    void applyTextColor(const QColor& color);
    void applyDefaultTextColor();
    void applyCustomTextColor(const QColor& color);
    void applyHighlight(const QColor& color);
    void removeHighlight();
    void applyInlineCode();

    // Custom-colour picker state; both start again each time the toolbar is shown.
    QColor selectedTextColor() const { return m_selectedTextColor; }
    bool showColorPicker() const { return m_showColorPicker; }
    void setShowColorPicker(bool show);
    void resetState();

    QMenu* styleMenu() const { return m_styleMenu; }
    QMenu* textColorMenu() const { return m_textColorMenu; }
    QMenu* highlightMenu() const { return m_highlightMenu; }
    // Made on first use.
    richtext::ColorPopover* colorPopover();
    // The buttons in their order (bold, italic, underline, strikethrough, inline code).
    QList<richtext::ToolbarIconButton*> iconButtons() const { return m_iconButtons; }
    richtext::ToolbarIconButton* textColorButton() const { return m_textColorButton; }
    richtext::ToolbarIconButton* highlightButton() const { return m_highlightButton; }
    richtext::StyleMenuButton* styleButton() const { return m_styleButton; }

    // Whether `widget` belongs to the toolbar or one of its menus or popover.
    bool owns(const QWidget* widget) const;

    // The controls keep their size: where the width is short, they come closer, then wrap onto more rows
    // (the caption first). The height for a width follows.
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Where each control (in order, the caption last) goes at `width`.
    QList<QRect> arrange(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int spacingFor(int width) const;
    QMenu* buildStyleMenu();
    QMenu* buildTextColorMenu();
    QMenu* buildHighlightMenu();
    void refreshMenuIcons();

    ThemeManager& m_theme;
    QPointer<ClickableTextView> m_textView;
    QColor m_selectedTextColor;
    bool m_showColorPicker = false;
    QMenu* m_styleMenu = nullptr;
    QMenu* m_textColorMenu = nullptr;
    QMenu* m_highlightMenu = nullptr;
    richtext::StyleMenuButton* m_styleButton = nullptr;
    richtext::ToolbarIconButton* m_textColorButton = nullptr;
    richtext::ToolbarIconButton* m_highlightButton = nullptr;
    QList<richtext::ToolbarIconButton*> m_iconButtons;
    richtext::ColorPopover* m_popover = nullptr;
    QList<QWidget*> m_items; // the controls and dividers, in order
    QWidget* m_caption = nullptr;
};
