#include "ui/AppStyle.h"

#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QDateTime>
#include <QEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTextEdit>
#include <QTimer>

#include <QGuiApplication>

#ifdef TOLMEK_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kArrowSide = 10;
constexpr int kArrowSpacing = 6;
constexpr int kMenuItemPaddingH = 6;
// A scroll bar stays this long after the last scroll, then fades out.
constexpr qint64 kScrollBarLingerMs = 900;
constexpr qint64 kScrollBarFadeMs = 250;
const char* const kLastShownProperty = "_tolmek_scrollbar_shown";
const char* const kHookedProperty = "_tolmek_scrollbar_hooked";
const char* const kDestructiveProperty = "_tolmek_destructive";
const char* const kKeepsIconColoursProperty = "_tolmek_keepsIconColours";
const char* const kMenuHookedProperty = "_tolmek_menu_hooked";

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }

QColor overlay(const QPalette& palette, qreal lightAlpha, qreal darkAlpha) {
    return isDark(palette) ? QColor::fromRgbF(1, 1, 1, float(darkAlpha)) : QColor::fromRgbF(0, 0, 0, float(lightAlpha));
}

QColor borderColor(const QPalette& palette) { return TolmekStyle::controlOutline(isDark(palette)); }

bool isTextEditor(const QWidget* widget) {
    return qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget);
}

bool keyboardFocus(const QStyleOption* option) {
    return (option->state & QStyle::State_HasFocus) && (option->state & QStyle::State_KeyboardFocusChange);
}

// The rounded field behind text: fill, and the fields' outline (the focus outline while it has focus).
void drawField(QPainter* p, const QStyleOption* option, const QColor& fill) {
    const QRectF r = QRectF(option->rect);
    const bool enabled = option->state & QStyle::State_Enabled;
    p->save();
    if (!enabled)
        p->setOpacity(0.6);
    Paint::fillRoundedRect(*p, r, TolmekStyle::fieldRadius, fill);
    Paint::fieldOutline(*p, r, TolmekStyle::fieldRadius, enabled && (option->state & QStyle::State_HasFocus),
                        isDark(option->palette));
    p->restore();
}

// The rounded outline of a menu or tool tip, as a window mask: the window system draws no corners.
QRegion roundedMask(const QRect& rect, int radius) {
    QRegion region;
    const int w = rect.width();
    const int h = rect.height();
    for (int y = 0; y < radius && y < h; ++y) {
        // How far in the corner's circle reaches on this row (measured through the row's middle).
        const double dy = radius - y - 0.5;
        const int inset = int(std::round(radius - std::sqrt(std::max(0.0, double(radius) * radius - dy * dy))));
        region += QRect(rect.left() + inset, rect.top() + y, w - 2 * inset, 1);
        region += QRect(rect.left() + inset, rect.bottom() - y, w - 2 * inset, 1);
    }
    if (h > 2 * radius)
        region += QRect(rect.left(), rect.top() + radius, w, h - 2 * radius);
    return region;
}

QColor menuBorder(const QPalette& palette) { return overlay(palette, 0.22, 0.2); }

QColor dangerText(const QPalette& palette) { return AppPalette::destructiveText(isDark(palette)); }

QColor dangerFill(const QPalette& palette) { return AppPalette::accentFill(AppPalette::dangerRed(isDark(palette))); }

// Width of the icon column that Fusion keeps at the left of a menu's entries, when no entry of the menu
// has an icon or a check mark (0 otherwise, and for combo box lists).
int unusedIconColumn(const QStyleOptionMenuItem& item, const QWidget* widget, int itemHeight) {
    if (!qobject_cast<const QMenu*>(widget) || item.maxIconWidth > 0 || item.menuHasCheckableItems ||
        item.menuItemType == QStyleOptionMenuItem::Separator)
        return 0;
    if (item.styleObject && item.styleObject->property("_q_isComboBoxPopupItem").toBool())
        return 0;
    // Fusion's column: the larger of 79 % of the entry's height and 21.
    return std::max(int(itemHeight * 0.79), 21);
}

// The destructive mark of the entry a menu draws at `rect`.
// `icon` as drawn at `side` in `color`: its shape, filled with the colour.
QIcon tintedIcon(const QIcon& icon, const QColor& color, int side, qreal dpr) {
    QPixmap pm = icon.pixmap(QSize(side, side), dpr);
    if (pm.isNull())
        return icon;
    QPainter p(&pm);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(QRectF(QPointF(), QSizeF(pm.size()) / pm.devicePixelRatio()), color);
    p.end();
    QIcon tinted;
    // The same picture in every mode: a disabled entry's is already in its text's colour.
    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected})
        tinted.addPixmap(pm, mode);
    return tinted;
}

bool menuEntryIsDestructive(const QWidget* widget, const QRect& rect) {
    const auto* menu = qobject_cast<const QMenu*>(widget);
    const QAction* action = menu ? menu->actionAt(rect.center()) : nullptr;
    return action && TolmekStyle::isDestructive(action);
}

} // namespace

void TolmekStyle::setKeepsIconColours(QWidget* menu) {
    if (menu)
        menu->setProperty(kKeepsIconColoursProperty, true);
}

void TolmekStyle::setDestructive(QObject* actionOrButton, bool on) {
    if (actionOrButton)
        actionOrButton->setProperty(kDestructiveProperty, on);
}

void TolmekStyle::installOnApplication() {
    QApplication::setStyle(new TolmekStyle);
    QApplication::setFont(Fonts::system(13));
}

QColor TolmekStyle::controlOutline(bool dark) { return AppPalette::fieldOutline(dark); }

bool TolmekStyle::translucentPopups() {
    static const bool composes = [] {
        const QString platform = QGuiApplication::platformName();
        if (platform.startsWith(QLatin1String("wayland")))
            return true;
#ifdef TOLMEK_HAVE_XCB
        if (platform == QLatin1String("xcb")) {
            auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
            xcb_connection_t* c = x11 ? x11->connection() : nullptr;
            if (!c)
                return false;
            // A compositing manager owns the selection _NET_WM_CM_S<screen>.
            // The screen is the number after the display's dot (":0.1"), 0 without one.
            const QByteArray display = qgetenv("DISPLAY");
            const int colon = display.lastIndexOf(':');
            const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
            const int screen = dot < 0 ? 0 : display.mid(dot + 1).toInt();
            const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
            xcb_intern_atom_reply_t* atom =
                xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(name.size()), name.constData()), nullptr);
            if (!atom)
                return false;
            const xcb_atom_t selection = atom->atom;
            std::free(atom);
            if (selection == XCB_ATOM_NONE)
                return false;
            xcb_get_selection_owner_reply_t* owner =
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
            const bool owned = owner && owner->owner != XCB_NONE;
            std::free(owner);
            return owned;
        }
#endif
        return false;
    }();
    return composes;
}

bool TolmekStyle::isDestructive(const QObject* actionOrButton) {
    return actionOrButton && actionOrButton->property(kDestructiveProperty).toBool();
}

TolmekStyle::TolmekStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int TolmekStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    switch (metric) {
    case PM_ScrollBarExtent:
    case PM_ScrollView_ScrollBarOverlap:
        // The bar floats over the content's edge instead of taking width from it.
        return scrollBarExtent;
    case PM_ScrollBarSliderMin: return 28;
    case PM_ScrollView_ScrollBarSpacing: return 0;
    case PM_DefaultFrameWidth:
        // A framed text editor keeps its text clear of the rounded corners.
        if (isTextEditor(widget))
            return 6;
        break;
    case PM_ButtonShiftHorizontal:
    case PM_ButtonShiftVertical: return 0;
    case PM_MessageBoxIconSize: return 0;
    // A translucent menu keeps room for its shadow around the panel, and draws its border with the panel.
    case PM_MenuPanelWidth: return translucentPopups() && qobject_cast<const QMenu*>(widget) ? 0 : 1;
    case PM_MenuHMargin:
        return translucentPopups() && qobject_cast<const QMenu*>(widget) ? popupShadowMargin + menuPadding
                                                                         : menuPadding - 1;
    case PM_MenuVMargin:
        return translucentPopups() && qobject_cast<const QMenu*>(widget) ? popupShadowMargin + menuPadding
                                                                         : menuPadding;
    case PM_ToolTipLabelFrameWidth:
        // Room around a tool tip's text (QToolTip adds one pixel).
        return translucentPopups() ? popupShadowMargin + 5 : 5;
    default: break;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

int TolmekStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                           QStyleHintReturn* returnData) const {
    switch (hint) {
    case SH_ScrollBar_Transient: return 1;
    case SH_DialogButtonBox_ButtonsHaveIcons: return 0;
    case SH_ScrollView_FrameOnlyAroundContents: return 0;
    case SH_Menu_Mask:
    case SH_ToolTip_Mask:
        // Rounded corners for the menus and tool tips (a translucent one draws its own). A combo box's
        // list is always an opaque window: its list view covers the whole of it.
        if (translucentPopups() && !(widget && widget->inherits("QComboBoxPrivateContainer")))
            return 0;
        if (auto* mask = qstyleoption_cast<QStyleHintReturnMask*>(returnData); mask && option) {
            mask->region = roundedMask(option->rect, hint == SH_Menu_Mask ? menuRadius : toolTipRadius);
            return 1;
        }
        return 0;
    default: break;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QSize TolmekStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                    const QWidget* widget) const {
    switch (type) {
    case CT_LineEdit: {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (!frame || frame->lineWidth <= 0)
            return size;
        return QSize(size.width() + 2 * fieldPaddingH, std::max(controlHeight, size.height() + 2 * fieldPaddingV));
    }
    case CT_ComboBox:
        return QSize(size.width() + 2 * fieldPaddingH + 2 + kArrowSide + kArrowSpacing,
                     std::max(controlHeight, size.height() + 2 * fieldPaddingV));
    case CT_MenuItem: {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const QSize base = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (!item || item->menuItemType == QStyleOptionMenuItem::Separator)
            return base;
        const int height = base.height() + 4;
        return QSize(base.width() + 2 * kMenuItemPaddingH - unusedIconColumn(*item, widget, height), height);
    }
    case CT_PushButton: {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (!button || (button->features & QStyleOptionButton::Flat))
            break;
        int w = size.width() + 2 * buttonPaddingH;
        if (button->features & QStyleOptionButton::HasMenu)
            w += kArrowSide + kArrowSpacing;
        if (!button->text.isEmpty())
            w = std::max(w, buttonMinWidth);
        return QSize(w, std::max(controlHeight, size.height() + 2 * fieldPaddingV));
    }
    default: break;
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

QRect TolmekStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const {
    if (element == SE_LineEditContents) {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (frame && frame->lineWidth > 0)
            return option->rect.adjusted(fieldPaddingH, 1, -fieldPaddingH, -1);
        return option->rect;
    }
    if (element == SE_PushButtonContents || element == SE_PushButtonFocusRect)
        return option->rect.adjusted(4, 2, -4, -2);
    return QProxyStyle::subElementRect(element, option, widget);
}

QRect TolmekStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                  const QWidget* widget) const {
    if (control == CC_ComboBox) {
        const QRect r = option->rect;
        const int arrowArea = kArrowSide + kArrowSpacing + fieldPaddingH;
        switch (sub) {
        case SC_ComboBoxFrame:
        case SC_ComboBoxListBoxPopup: return r;
        case SC_ComboBoxArrow: return QRect(r.right() + 1 - arrowArea, r.top(), arrowArea, r.height());
        case SC_ComboBoxEditField:
            return QRect(r.left() + fieldPaddingH + 2, r.top() + 2, r.width() - fieldPaddingH - 2 - arrowArea,
                         r.height() - 4);
        default: break;
        }
    }
    if (control == CC_ScrollBar) {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (!bar)
            return {};
        const bool horizontal = bar->orientation == Qt::Horizontal;
        const QRect r = bar->rect;
        // No arrow buttons: the track is the whole bar, a little in from both ends.
        const QRect groove = horizontal ? r.adjusted(2, 0, -2, 0) : r.adjusted(0, 2, 0, -2);
        const int length = horizontal ? groove.width() : groove.height();
        const qint64 range = qint64(bar->maximum) - bar->minimum;
        int sliderLength = range > 0 ? int(qint64(length) * bar->pageStep / (range + bar->pageStep)) : length;
        sliderLength =
            std::clamp(sliderLength, std::min(pixelMetric(PM_ScrollBarSliderMin, bar, widget), length), length);
        const int start = sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition,
                                                  length - sliderLength, bar->upsideDown);
        const QRect slider = horizontal ? QRect(groove.left() + start, r.top(), sliderLength, r.height())
                                        : QRect(r.left(), groove.top() + start, r.width(), sliderLength);
        switch (sub) {
        case SC_ScrollBarGroove: return groove;
        case SC_ScrollBarSlider: return slider;
        case SC_ScrollBarSubPage:
            return horizontal ? QRect(groove.left(), r.top(), slider.left() - groove.left(), r.height())
                              : QRect(r.left(), groove.top(), r.width(), slider.top() - groove.top());
        case SC_ScrollBarAddPage:
            return horizontal ? QRect(slider.right() + 1, r.top(), groove.right() - slider.right(), r.height())
                              : QRect(r.left(), slider.bottom() + 1, r.width(), groove.bottom() - slider.bottom());
        default: return {};
        }
    }
    return QProxyStyle::subControlRect(control, option, sub, widget);
}

void TolmekStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                const QWidget* widget) const {
    switch (element) {
    case PE_PanelLineEdit: {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        // A frameless field (search fields, editable combo boxes) draws nothing behind its text.
        if (frame && frame->lineWidth > 0)
            drawField(painter, option, option->palette.color(QPalette::Base));
        return;
    }
    case PE_FrameLineEdit: return; // drawn with the panel
    case PE_Frame:
        if (widget && widget->inherits("QComboBoxPrivateContainer")) {
            // The combo box's list: a card-coloured panel with the menus' hairline, its corners cut by the mask.
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->fillRect(option->rect, option->palette.color(QPalette::Base));
            Paint::strokeRoundedRect(*painter, QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), menuRadius - 0.5,
                                     menuBorder(option->palette), 1);
            painter->restore();
            return;
        }
        if (isTextEditor(widget)) {
            drawField(painter, option, option->palette.color(QPalette::Base));
            return;
        }
        break;
    case PE_PanelButtonCommand: {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        // A disabled default button looks like any disabled button: a faded blue still reads as active.
        const bool isDefault =
            button && (button->features & QStyleOptionButton::DefaultButton) && (option->state & State_Enabled);
        const bool flat = button && (button->features & QStyleOptionButton::Flat);
        const bool down = option->state & (State_Sunken | State_On);
        const bool hover = (option->state & State_MouseOver) && (option->state & State_Enabled);
        if (flat && !down)
            return;
        const QPalette& pal = option->palette;
        const bool ring = keyboardFocus(option);
        // The ring lies on what is behind the button, its fill a gap inside it.
        const qreal in = ring ? Paint::focusRingReach : 0;
        const QRectF r = QRectF(option->rect).adjusted(in, in, -in, -in);
        const qreal radius = buttonRadius - in;
        painter->save();
        if (!(option->state & State_Enabled))
            painter->setOpacity(0.5);
        if (isDefault) {
            QColor fill = isDestructive(widget) ? dangerFill(pal) : pal.color(QPalette::Active, QPalette::Highlight);
            if (down)
                fill = fill.darker(112);
            else if (hover)
                fill = fill.lighter(106);
            Paint::fillRoundedRect(*painter, r, radius, fill);
        } else {
            QColor fill = pal.color(QPalette::Button);
            if (down)
                fill = Paint::mix(fill, isDark(pal) ? Qt::white : Qt::black, isDark(pal) ? 0.14 : 0.08);
            else if (hover)
                fill = Paint::mix(fill, isDark(pal) ? Qt::white : Qt::black, isDark(pal) ? 0.06 : 0.03);
            // A faint shadow under the lower edge, as the bordered buttons of the desktop have.
            if (!isDark(pal) && !ring)
                Paint::fillRoundedRect(*painter, r.adjusted(0, 0.5, 0, 0.5), radius, QColor(0, 0, 0, 14));
            Paint::fillRoundedRect(*painter, r.adjusted(0, 0, 0, -0.5), radius, fill);
            Paint::strokeRoundedRect(*painter, r.adjusted(0, 0, 0, -0.5), radius, borderColor(pal), 1);
        }
        if (ring)
            Paint::focusRing(*painter, QRectF(option->rect), buttonRadius, isDark(pal));
        painter->restore();
        return;
    }
    case PE_FrameDefaultButton: return;
    case PE_PanelMenu:
    case PE_FrameMenu:
    case PE_PanelTipLabel:
        if (translucentPopups()) {
            // A rounded panel with a hairline over its soft shadow, in a transparent window.
            if (element == PE_FrameMenu)
                return;
            const qreal radius = element == PE_PanelTipLabel ? toolTipRadius : menuRadius;
            const int m = popupShadowMargin;
            const QRectF panel = QRectF(option->rect).adjusted(m, m, -m, -m);
            const bool dark = isDark(option->palette);
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            Paint::drawShadow(*painter, panel, radius, QColor(0, 0, 0, dark ? 120 : 46), 12, QPointF(0, 3));
            Paint::fillRoundedRect(*painter, panel, radius,
                                   option->palette.color(element == PE_PanelTipLabel ? QPalette::ToolTipBase
                                                                                     : QPalette::Base));
            Paint::strokeRoundedRect(*painter, panel.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5,
                                     menuBorder(option->palette), 1);
            painter->restore();
            return;
        }
        {
            // A rounded panel with a soft hairline; the window mask (SH_Menu_Mask) cuts its corners.
            const qreal radius = element == PE_PanelTipLabel ? toolTipRadius : menuRadius;
            const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            if (element != PE_FrameMenu) {
                painter->fillRect(option->rect,
                                  option->palette.color(element == PE_PanelTipLabel ? QPalette::ToolTipBase
                                                                                    : QPalette::Base));
            }
            if (element != PE_PanelMenu)
                Paint::strokeRoundedRect(*painter, r, radius - 0.5, menuBorder(option->palette), 1);
            painter->restore();
            return;
        }
    case PE_FrameFocusRect:
        // Push buttons and combo boxes draw their own focus ring.
        if (qobject_cast<const QPushButton*>(widget) || qobject_cast<const QComboBox*>(widget))
            return;
        break;
    default: break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void TolmekStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
    switch (element) {
    case CE_PushButtonBevel: {
        proxy()->drawPrimitive(PE_PanelButtonCommand, option, painter, widget);
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button && (button->features & QStyleOptionButton::HasMenu)) {
            const QRect r = option->rect;
            const QRectF arrow(r.right() - buttonPaddingH - kArrowSide + 4, r.center().y() - kArrowSide / 2.0 + 1,
                               kArrowSide, kArrowSide);
            Symbols::paint(*painter, arrow, QStringLiteral("chevron.down"), option->palette.color(QPalette::ButtonText),
                           600);
        }
        return;
    }
    case CE_MenuItem:
        // Menus and pop-up lists: more room around each item, and the item under the pointer on a
        // rounded highlight inset from the menu's edges instead of a bar across the whole width. Checked
        // entries carry a checkmark symbol rather than a check box; a destructive entry is red.
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            if (item->menuItemType == QStyleOptionMenuItem::Separator) {
                if (!item->text.isEmpty())
                    break;
                // A hairline inset from the edges, as the desktop's menus have.
                const QRectF line(item->rect.left() + 10, item->rect.center().y(), item->rect.width() - 20, 1);
                painter->fillRect(line, overlay(item->palette, 0.1, 0.12));
                return;
            }
            QStyleOptionMenuItem copy(*item);
            copy.rect = item->rect.adjusted(kMenuItemPaddingH, 0, -kMenuItemPaddingH, 0);
            // A menu of texts alone keeps no empty icon column: its texts start where icons would.
            const int unusedColumn = unusedIconColumn(*item, widget, item->rect.height());
            if (unusedColumn > 0) {
                painter->save();
                painter->setClipRect(item->rect);
                copy.rect.adjust(-unusedColumn, 0, 0, 0);
            }
            const auto restoreClip = qScopeGuard([&] {
                if (unusedColumn > 0)
                    painter->restore();
            });
            const bool isComboItem = qobject_cast<const QComboBox*>(widget) ||
                (option->styleObject && option->styleObject->property("_q_isComboBoxPopupItem").toBool());
            // A combo box's list on the menus' card colour (its view fills with the window colour).
            if (isComboItem)
                painter->fillRect(item->rect, item->palette.color(QPalette::Base));
            const bool destructive = menuEntryIsDestructive(widget, item->rect);
            QColor text = item->palette.color(QPalette::Text);
            if (destructive && (item->state & State_Enabled)) {
                text = dangerText(item->palette);
                for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                    copy.palette.setColor(role, text);
            }
            if ((item->state & State_Selected) && (item->state & State_Enabled)) {
                Paint::fillRoundedRect(*painter, QRectF(item->rect).adjusted(4, 1, -4, -1), 6,
                                       destructive ? dangerFill(item->palette)
                                                   : item->palette.color(QPalette::Highlight));
                copy.state &= ~State_Selected;
                text = item->palette.color(QPalette::HighlightedText);
                for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                    copy.palette.setColor(role, text);
            }
            // Icons follow their text: drawn once in one colour, they would stay dark on a dark menu or on
            // the highlight, and black on a destructive entry.
            if (!copy.icon.isNull() && !isComboItem &&
                !(widget && widget->property(kKeepsIconColoursProperty).toBool())) {
                const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
                const QColor color =
                    (item->state & State_Enabled) ? text : item->palette.color(QPalette::Disabled, QPalette::Text);
                copy.icon = tintedIcon(copy.icon, color, proxy()->pixelMetric(PM_SmallIconSize, option, widget), dpr);
            }
            const bool checked = item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked;
            if (item->checkType != QStyleOptionMenuItem::NotCheckable && !isComboItem) {
                copy.checkType = QStyleOptionMenuItem::NotCheckable;
                copy.checked = false;
            }
            QProxyStyle::drawControl(element, &copy, painter, widget);
            if (checked && !isComboItem) {
                // Where Fusion puts its check box: the column at the entry's left.
                const int column = std::max(int(copy.rect.height() * 0.79), std::max(copy.maxIconWidth, 21));
                const qreal side = std::min(12.0, column - 9.0);
                QRectF mark(copy.rect.left() + 4 + (column - side) / 2.0, copy.rect.center().y() - side / 2.0 + 0.5,
                            side, side);
                if (item->direction == Qt::RightToLeft)
                    mark.moveRight(copy.rect.right() - (mark.left() - copy.rect.left()));
                QColor markColor = text;
                if (!(item->state & State_Enabled))
                    markColor = item->palette.color(QPalette::Disabled, QPalette::Text);
                Symbols::paint(*painter, mark, QStringLiteral("checkmark"), markColor, Symbols::semibold);
            }
            return;
        }
        break;
    case CE_MenuEmptyArea: return; // the panel is drawn whole by PE_PanelMenu
    case CE_PushButtonLabel:
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            const bool isDefault = button->features & QStyleOptionButton::DefaultButton;
            if ((isDefault || isDestructive(widget)) && (button->state & State_Enabled)) {
                QStyleOptionButton copy(*button);
                copy.palette.setColor(QPalette::ButtonText,
                                      isDefault ? button->palette.color(QPalette::HighlightedText)
                                                : dangerText(button->palette));
                QProxyStyle::drawControl(element, &copy, painter, widget);
                return;
            }
        }
        break;
    default: break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void TolmekStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                     const QWidget* widget) const {
    if (control == CC_ComboBox) {
        const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
        if (!combo)
            return;
        const QPalette& pal = option->palette;
        if (combo->frame) {
            // An editable combo box is a field; a pop-up choice is a bordered button.
            if (combo->editable) {
                drawField(painter, option, pal.color(QPalette::Base));
            } else {
                QStyleOptionButton button;
                button.QStyleOption::operator=(*option);
                button.state &= ~(State_Sunken | State_On);
                if (option->state & State_On)
                    button.state |= State_Sunken;
                button.features = QStyleOptionButton::None;
                proxy()->drawPrimitive(PE_PanelButtonCommand, &button, painter, widget);
            }
        }
        const QRect arrowArea = proxy()->subControlRect(CC_ComboBox, combo, SC_ComboBoxArrow, widget);
        // The spacing separates the arrow from the text; the padding keeps it off the edge.
        const QRectF arrow(arrowArea.left() + kArrowSpacing, arrowArea.center().y() - kArrowSide / 2.0 + 1, kArrowSide,
                           kArrowSide);
        QColor color = pal.color(QPalette::ButtonText);
        color.setAlphaF(color.alphaF() * ((option->state & State_Enabled) ? 0.7f : 0.35f));
        Symbols::paint(*painter, arrow, QStringLiteral("chevron.down"), color, 600);
        return;
    }
    if (control == CC_ScrollBar) {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (!bar)
            return;
        const bool dragging = (bar->state & State_Sunken) && (bar->activeSubControls & SC_ScrollBarSlider);
        const bool hovered = bar->state & State_MouseOver;
        bool shown = (bar->state & State_On) || hovered || dragging || !widget;
        if (!shown) {
            const QWidget* container = widget->parentWidget();
            const auto* area =
                container ? qobject_cast<const QAbstractScrollArea*>(container->parentWidget()) : nullptr;
            shown = area && area->underMouse();
        }
        auto* mutableBar = const_cast<QWidget*>(widget);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        qreal opacity = 1;
        if (shown) {
            if (mutableBar)
                mutableBar->setProperty(kLastShownProperty, now);
        } else {
            const QVariant last = widget->property(kLastShownProperty);
            const qint64 elapsed = last.isValid() ? now - last.toLongLong() : kScrollBarLingerMs + kScrollBarFadeMs;
            if (elapsed >= kScrollBarLingerMs + kScrollBarFadeMs)
                return;
            opacity = elapsed < kScrollBarLingerMs ? 1.0 : 1.0 - qreal(elapsed - kScrollBarLingerMs) / kScrollBarFadeMs;
            // Ask again for a frame: after the linger, every 16 ms while fading.
            QPointer<QWidget> guard(mutableBar);
            const int wait = elapsed < kScrollBarLingerMs ? int(kScrollBarLingerMs - elapsed) : 16;
            QTimer::singleShot(wait, mutableBar, [guard] {
                if (guard)
                    guard->update();
            });
        }
        const bool horizontal = bar->orientation == Qt::Horizontal;
        const bool wide = hovered || dragging;
        const qreal thickness = wide ? scrollBarThumbHovered : scrollBarThumb;
        const QRect r = bar->rect;
        auto across = [&](const QRect& along) {
            // The thumb runs along the far edge of the bar, 2 pixels in.
            return horizontal ? QRectF(along.left(), r.bottom() + 1 - 2 - thickness, along.width(), thickness)
                              : QRectF(r.right() + 1 - 2 - thickness, along.top(), thickness, along.height());
        };
        painter->save();
        painter->setOpacity(opacity);
        const QPalette& pal = option->palette;
        if (wide)
            Paint::fillCapsule(*painter, across(proxy()->subControlRect(CC_ScrollBar, bar, SC_ScrollBarGroove, widget)),
                               overlay(pal, 0.05, 0.07));
        if (bar->maximum > bar->minimum)
            Paint::fillCapsule(*painter, across(proxy()->subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget)),
                               wide ? overlay(pal, 0.5, 0.55) : overlay(pal, 0.36, 0.42));
        painter->restore();
        return;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QIcon TolmekStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const {
    const QColor tint = option ? option->palette.color(QPalette::WindowText) : QColor(0x80, 0x80, 0x80);
    switch (icon) {
    // Fusion loads these as bitmaps, which makes the image reader scan every format plugin.
    case SP_ToolBarHorizontalExtensionButton: return Symbols::icon(QStringLiteral("chevron.right"), tint, 14);
    case SP_ToolBarVerticalExtensionButton: return Symbols::icon(QStringLiteral("chevron.down"), tint, 14);
    // The file dialog's buttons and places, in the text colour like every other symbol.
    case SP_ArrowBack:
    case SP_FileDialogBack: return Symbols::icon(QStringLiteral("chevron.left"), tint, 16);
    case SP_ArrowForward: return Symbols::icon(QStringLiteral("chevron.right"), tint, 16);
    case SP_FileDialogToParent: return Symbols::icon(QStringLiteral("arrow.up"), tint, 16);
    case SP_FileDialogNewFolder: return Symbols::icon(QStringLiteral("folder.badge.plus"), tint, 16);
    case SP_FileDialogDetailedView: return Symbols::icon(QStringLiteral("list.bullet"), tint, 16);
    case SP_FileDialogListView: return Symbols::icon(QStringLiteral("square.grid.2x2"), tint, 16);
    case SP_DirIcon:
    case SP_DirClosedIcon:
    case SP_DirOpenIcon: return Symbols::icon(QStringLiteral("folder"), tint, 16);
    case SP_DriveHDIcon:
    case SP_ComputerIcon: return Symbols::icon(QStringLiteral("externaldrive.fill"), tint, 16);
    case SP_FileIcon: return Symbols::icon(QStringLiteral("doc"), tint, 16);
    // Alerts say what they mean with a bold title, not with a bitmap.
    case SP_MessageBoxInformation:
    case SP_MessageBoxWarning:
    case SP_MessageBoxCritical:
    case SP_MessageBoxQuestion: return QIcon();
    default: break;
    }
    return QProxyStyle::standardIcon(icon, option, widget);
}

QPixmap TolmekStyle::standardPixmap(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const {
    switch (icon) {
    case SP_MessageBoxInformation:
    case SP_MessageBoxWarning:
    case SP_MessageBoxCritical:
    case SP_MessageBoxQuestion: return QPixmap();
    default: break;
    }
    return QProxyStyle::standardPixmap(icon, option, widget);
}

void TolmekStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    if (qobject_cast<QPushButton*>(widget) || qobject_cast<QComboBox*>(widget) || qobject_cast<QScrollBar*>(widget))
        widget->setAttribute(Qt::WA_Hover);
    // A scroll shows the bar (and keeps it a moment): the bar's own flash is over before it paints.
    if (auto* bar = qobject_cast<QScrollBar*>(widget); bar && !bar->property(kHookedProperty).toBool()) {
        bar->setProperty(kHookedProperty, true);
        connect(bar, &QAbstractSlider::valueChanged, bar, [bar] {
            bar->setProperty(kLastShownProperty, QDateTime::currentMSecsSinceEpoch());
            bar->update();
        });
    }
    // The scroll bars show while the pointer is over their area.
    if (qobject_cast<QAbstractScrollArea*>(widget))
        widget->installEventFilter(this);
    // Menus are kept inside their window when shown; alerts draw their own frame (the window system may
    // draw none, and a dark alert would melt into the dark window behind it).
    if ((qobject_cast<QMenu*>(widget) || widget->inherits("QTipLabel")) && translucentPopups() &&
        !widget->testAttribute(Qt::WA_WState_Created))
        widget->setAttribute(Qt::WA_TranslucentBackground);
    if ((qobject_cast<QMenu*>(widget) || qobject_cast<QMessageBox*>(widget) || widget->inherits("QTipLabel")) &&
        !widget->property(kMenuHookedProperty).toBool()) {
        widget->setProperty(kMenuHookedProperty, true);
        widget->installEventFilter(this);
    }
}

void TolmekStyle::unpolish(QWidget* widget) {
    if (qobject_cast<QAbstractScrollArea*>(widget))
        widget->removeEventFilter(this);
    if (qobject_cast<QMenu*>(widget) || qobject_cast<QMessageBox*>(widget) || widget->inherits("QTipLabel")) {
        widget->removeEventFilter(this);
        widget->setProperty(kMenuHookedProperty, false);
    }
    QProxyStyle::unpolish(widget);
}

bool TolmekStyle::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        // Shown by a button (setMenu) or at the pointer: moved inside the window it belongs to. A
        // submenu stays where Qt puts it, beside its parent menu.
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            QWidget* anchor = menu->parentWidget();
            if (anchor && !qobject_cast<QMenu*>(anchor) && anchor->isVisible()) {
                const QWidget* window = anchor->window();
                const QRect windowGlobal(window->mapToGlobal(QPoint(0, 0)), window->size());
                const QRect anchorGlobal(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
                // What shows is the panel, inside the shadow's room of a translucent menu.
                const int m = translucentPopups() ? popupShadowMargin : 0;
                const QRect shown = menu->geometry();
                const QRect current = shown.adjusted(m, m, -m, -m);
                // A menu that opened below its button keeps to it; a context menu keeps its top-left.
                const bool belowAnchor = qobject_cast<QAbstractButton*>(anchor) &&
                    (std::abs(shown.top() - anchorGlobal.bottom()) <= 6 ||
                     std::abs(current.top() - anchorGlobal.bottom()) <= 6);
                QPoint pos = shown.topLeft();
                if (belowAnchor) {
                    pos = Menus::placeBelow(current.size(), anchorGlobal, windowGlobal) - QPoint(m, m);
                } else {
                    pos.setX(std::clamp(pos.x(), windowGlobal.left() - m,
                                        std::max(windowGlobal.left(), windowGlobal.right() + 1 - current.width()) - m));
                }
                if (pos != shown.topLeft())
                    menu->move(pos);
            }
        }
    }
    if ((event->type() == QEvent::Show || event->type() == QEvent::Move) && watched->inherits("QTipLabel")) {
        // A tool tip near the window's right edge is moved left rather than past it.
        auto* tip = static_cast<QWidget*>(watched);
        if (const QWidget* window = QApplication::activeWindow()) {
            const QRect windowGlobal(window->mapToGlobal(QPoint(0, 0)), window->size());
            const QRect r = tip->geometry();
            if (windowGlobal.contains(r.topLeft()) && r.right() > windowGlobal.right())
                tip->move(std::max(windowGlobal.left(), windowGlobal.right() + 1 - r.width()), r.top());
        }
    }
    if (event->type() == QEvent::Paint) {
        if (auto* box = qobject_cast<QMessageBox*>(watched)) {
            QPainter p(box);
            p.setRenderHint(QPainter::Antialiasing);
            const QPalette& pal = box->palette();
            // A raised surface in dark mode, and a hairline round it in both.
            if (isDark(pal))
                p.fillRect(box->rect(), pal.color(QPalette::Button));
            p.setPen(QPen(menuBorder(pal), 1));
            p.drawRect(QRectF(box->rect()).adjusted(0.5, 0.5, -0.5, -0.5));
            return false;
        }
    }
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(watched)) {
            area->verticalScrollBar()->update();
            area->horizontalScrollBar()->update();
        }
    }
    return QProxyStyle::eventFilter(watched, event);
}

namespace Menus {

QPoint placeBelow(const QSize& menuSize, const QRect& anchorGlobal, const QRect& windowGlobal) {
    int x = anchorGlobal.left();
    // Past the window's right edge: right edges aligned, then kept inside the window.
    if (x + menuSize.width() > windowGlobal.right() + 1)
        x = anchorGlobal.right() + 1 - menuSize.width();
    x = std::clamp(x, windowGlobal.left(), std::max(windowGlobal.left(), windowGlobal.right() + 1 - menuSize.width()));
    int y = anchorGlobal.bottom() + 3;
    // Past the window's bottom: above the anchor, when it fits there.
    if (y + menuSize.height() > windowGlobal.bottom() + 1 &&
        anchorGlobal.top() - 3 - menuSize.height() >= windowGlobal.top())
        y = anchorGlobal.top() - 3 - menuSize.height();
    return {x, y};
}

void popupBelow(QMenu& menu, QWidget* anchor) {
    if (!anchor) {
        menu.popup(QCursor::pos());
        return;
    }
    const QWidget* window = anchor->window();
    const QRect windowGlobal(window->mapToGlobal(QPoint(0, 0)), window->size());
    const QRect anchorGlobal(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    menu.ensurePolished();
    const int m = TolmekStyle::translucentPopups() ? TolmekStyle::popupShadowMargin : 0;
    const QSize panel = menu.sizeHint() - QSize(2 * m, 2 * m);
    menu.popup(placeBelow(panel, anchorGlobal, windowGlobal) - QPoint(m, m));
}

} // namespace Menus
