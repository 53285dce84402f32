#pragma once

#include <QColor>
#include <QProxyStyle>

class QAction;
class QMenu;

// Fusion, made to sit with our custom-drawn screens: text fields and combo boxes are rounded with
// room inside, bordered buttons have room around their text (the default one is filled blue), scroll
// bars are thin, have no arrow buttons and float over the content instead of narrowing it, and
// message boxes carry no bitmap icon. Standard icons come from our symbol set, so no image plugin
// is loaded for them. Colours are read from the widget's palette (ours, see appQPalette).
class TolmekStyle : public QProxyStyle {
    Q_OBJECT
public:
    TolmekStyle();

    // Our style and the interface font for every standard widget (menus, plain buttons, text fields), as
    // the application and the screen renderer both start; the fonts are read first (Fonts::readFamilies).
    static void installOnApplication();

    static constexpr int fieldRadius = 8;
    static constexpr int fieldPaddingH = 8; // plus the line edit's own 2-pixel text margin
    static constexpr int fieldPaddingV = 5;
    static constexpr int controlHeight = 28; // fields, combo boxes and buttons
    static constexpr int buttonRadius = 7;
    static constexpr int buttonPaddingH = 14;
    static constexpr int buttonMinWidth = 72;
    static constexpr int scrollBarExtent = 12;
    static constexpr int scrollBarThumb = 6; // thickness at rest
    static constexpr int scrollBarThumbHovered = 8;
    static constexpr int menuRadius = 8;
    static constexpr int menuPadding = 5; // between the menu's edge and its items
    static constexpr int toolTipRadius = 6;

    // A menu entry or button that deletes or discards: the style draws its text in the danger red (a
    // default button, or the entry under the pointer, on a red fill). Alert buttons with the destructive
    // role are marked by DialogSeam.
    static void setDestructive(QObject* actionOrButton, bool on = true);
    // A menu's icons take the colour of their entry's text in every state; a menu whose icons carry a
    // colour of their own (a language's) keeps it.
    static void setKeepsIconColours(QWidget* menu);
    // Whether menus and tool tips are translucent windows with a painted shadow around a rounded panel:
    // where the window system composes windows (Wayland, X11 with a compositor). Elsewhere a translucent
    // window would show black corners, so they are opaque with rounded corners cut by a mask.
    static bool translucentPopups();
    // The outline of fields and bordered buttons (translucent, over the control's fill).
    static QColor controlOutline(bool dark);
    static constexpr int popupShadowMargin = 10; // room for the shadow around a translucent panel
    static bool isDestructive(const QObject* actionOrButton);

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
    QPixmap standardPixmap(StandardPixmap icon, const QStyleOption* option = nullptr,
                           const QWidget* widget = nullptr) const override;
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
    void unpolish(QWidget* widget) override;
    using QProxyStyle::unpolish;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

namespace Menus {
// Where a menu shown for `anchor` goes: below it, left edges aligned, moved left (right edges aligned)
// or above it rather than past the edge of the anchor's window. `menuSize` is the menu's size.
QPoint placeBelow(const QSize& menuSize, const QRect& anchorGlobal, const QRect& windowGlobal);
// Pops `menu` up below `anchor`, inside the anchor's window. Menus that a button opens by itself
// (setMenu) and context menus are kept inside their window by the style.
void popupBelow(QMenu& menu, QWidget* anchor);
} // namespace Menus
