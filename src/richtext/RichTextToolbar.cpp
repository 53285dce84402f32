#include "richtext/RichTextToolbar.h"

#include "richtext/ClickableTextView.h"
#include "richtext/RichTextFormatting.h"
#include "ui/AppStyle.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace richtext {

namespace {

constexpr qreal kIconPx = 14;

struct ColorItem {
    const char* name;
    NamedColor color;
};

// Text colours, in menu order.
constexpr ColorItem kTextColors[] = {
    {"Rouge", NamedColor::red},  {"Orange", NamedColor::orange}, {"Jaune", NamedColor::yellow},
    {"Vert", NamedColor::green}, {"Bleu", NamedColor::blue},     {"Violet", NamedColor::purple},
    {"Rose", NamedColor::pink},
};

// Highlight colours, in menu order.
constexpr ColorItem kHighlightColors[] = {
    {"Jaune", NamedColor::yellow},  {"Vert", NamedColor::green}, {"Bleu", NamedColor::blue},
    {"Orange", NamedColor::orange}, {"Rose", NamedColor::pink},
};

// A 14 × 14 swatch: a circle (text colours) or a rounded square at opacity 0.3 (highlights).
QIcon swatchIcon(const QColor& color, bool highlight) {
    QIcon icon;
    for (qreal dpr : {1.0, 2.0}) {
        QPixmap pm(int(16 * dpr), int(16 * dpr));
        pm.setDevicePixelRatio(dpr);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(1, 1, 14, 14);
        if (highlight)
            Paint::fillRoundedRect(p, r, 2, withOpacity(color, 0.3));
        else
            Paint::fillEllipse(p, r, color);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedSize(1, 16); }
    // The toolbar places its items by their hint: without one a divider would hang from the row's middle.
    QSize sizeHint() const override { return {1, 16}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), AppPalette::separator());
    }
};

void popUpBelow(QMenu* menu, QWidget* anchor) {
    if (!menu)
        return;
    Menus::popupBelow(*menu, anchor);
}

} // namespace

ToolbarIconButton::ToolbarIconButton(const QString& symbol, const QString& toolTip, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol) {
    setToolTip(toolTip);
    // Screen readers read the action, without the keys the tool tip adds.
    setAccessibleName(toolTip.section(QStringLiteral(" ("), 0, 0));
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(28, 28);
    setCursor(Qt::ArrowCursor);
    connect(this, &QAbstractButton::clicked, this, [this] { popUpBelow(m_menu, this); });
}

void ToolbarIconButton::setMenu(QMenu* menu) { m_menu = menu; }

void ToolbarIconButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    if (isDown() || (m_menu && m_menu->isVisible()))
        Paint::fillRoundedRect(p, r, 6, withOpacity(AppPalette::primaryText(), 0.08));
    const QRectF icon(r.center().x() - kIconPx / 2, r.center().y() - kIconPx / 2, kIconPx, kIconPx);
    Symbols::paint(p, icon, m_symbol, AppPalette::primaryText());
}

StyleMenuButton::StyleMenuButton(QMenu* menu, QWidget* parent) : QAbstractButton(parent), m_menu(menu) {
    setText(QStringLiteral("Style"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] { popUpBelow(m_menu, this); });
}

QSize StyleMenuButton::sizeHint() const {
    const QFontMetrics fm(Fonts::rounded(11, 500));
    const int w = 8 + 12 + 4 + fm.horizontalAdvance(text()) + 4 + 9 + 8;
    const int h = 5 + std::max(12, fm.height()) + 5;
    return {w, h};
}

void StyleMenuButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    Paint::fillRoundedRect(p, r, 6, AppPalette::screenBackground());
    Paint::strokeRoundedRect(p, r, 6, withOpacity(AppPalette::separator(), 0.3));
    if (isDown() || (m_menu && m_menu->isVisible()))
        Paint::fillRoundedRect(p, r, 6, withOpacity(AppPalette::primaryText(), 0.06));
    const QColor ink = AppPalette::primaryText();
    const qreal cy = r.center().y();
    qreal x = 8;
    Symbols::paint(p, QRectF(x, cy - 6, 12, 12), QStringLiteral("textformat.size"), ink);
    x += 12 + 4;
    const QFont font = Fonts::rounded(11, 500);
    p.setFont(font);
    p.setPen(ink);
    const int tw = QFontMetrics(font).horizontalAdvance(text());
    p.drawText(QRectF(x, 0, tw + 1, r.height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    x += tw + 4;
    Symbols::paint(p, QRectF(x, cy - 4.5, 9, 9), QStringLiteral("chevron.down"), ink);
}

ColorPopover::ColorPopover(QWidget* parent) : QFrame(parent, Qt::Popup) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(8);
    auto* title = new QLabel(QStringLiteral("Couleur du texte"), this);
    title->setFont(Fonts::system(13, 600));
    layout->addWidget(title);
    m_picker = new QColorDialog(this);
    m_picker->setWindowFlags(Qt::Widget);
    m_picker->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
    layout->addWidget(m_picker);
    m_picker->show();
    connect(m_picker, &QColorDialog::currentColorChanged, this, [this](const QColor& c) {
        if (!m_settingColor)
            emit colorPicked(c);
    });
}

void ColorPopover::setColor(const QColor& color) {
    m_settingColor = true;
    m_picker->setCurrentColor(color);
    m_settingColor = false;
}

void ColorPopover::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    emit closed();
}

void ColorPopover::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(AppPalette::separator());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace richtext

using namespace richtext;

RichTextToolbar::RichTextToolbar(ThemeManager& theme, ClickableTextView* textView, QWidget* parent)
    : QWidget(parent), m_theme(theme), m_textView(textView) {
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_selectedTextColor = AppPalette::primaryText();
    m_selectedTextColor.setAlpha(255);

    m_styleMenu = buildStyleMenu();
    m_styleButton = new StyleMenuButton(m_styleMenu, this);
    m_items.append(m_styleButton);
    m_items.append(new Divider(this));

    auto addButton = [&](const char* symbol, const QString& tip, void (RichTextToolbar::*op)()) {
        auto* b = new ToolbarIconButton(QString::fromLatin1(symbol), tip, this);
        connect(b, &QAbstractButton::clicked, this, [this, op] { (this->*op)(); });
        m_iconButtons.append(b);
        m_items.append(b);
    };
    // The tool tips name the keys as this desktop writes them ("Ctrl+B"); the keys work while the
    // text has the focus (see eventFilter).
    auto withKeys = [](const QString& name, const QKeySequence& keys) {
        return QStringLiteral("%1 (%2)").arg(name, keys.toString(QKeySequence::NativeText));
    };
    addButton("bold", withKeys(QStringLiteral("Gras"), QKeySequence::Bold), &RichTextToolbar::toggleBold);
    addButton("italic", withKeys(QStringLiteral("Italique"), QKeySequence::Italic), &RichTextToolbar::toggleItalic);
    addButton("underline", withKeys(QStringLiteral("Souligné"), QKeySequence::Underline),
              &RichTextToolbar::toggleUnderline);
    addButton("strikethrough", QStringLiteral("Barré"), &RichTextToolbar::toggleStrikethrough);
    m_items.append(new Divider(this));

    m_textColorMenu = buildTextColorMenu();
    m_textColorButton = new ToolbarIconButton(QStringLiteral("textformat"), QStringLiteral("Couleur du texte"), this);
    m_textColorButton->setMenu(m_textColorMenu);
    m_items.append(m_textColorButton);

    m_highlightMenu = buildHighlightMenu();
    m_highlightButton =
        new ToolbarIconButton(QStringLiteral("highlighter"), QStringLiteral("Surligner le texte"), this);
    m_highlightButton->setMenu(m_highlightMenu);
    m_items.append(m_highlightButton);
    m_items.append(new Divider(this));

    addButton("chevron.left.forwardslash.chevron.right", QStringLiteral("Code inline"),
              &RichTextToolbar::applyInlineCode);

    auto* label = new QLabel(QStringLiteral("Texte enrichi"), this);
    label->setObjectName(QStringLiteral("richTextLabel"));
    label->setFont(Fonts::rounded(11));
    m_caption = label;
    if (m_textView)
        m_textView->installEventFilter(this);

    auto repaint = [this, label] {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, AppPalette::secondaryText());
        label->setPalette(p);
        // A closed menu takes its icons as it opens.
        if (m_textColorMenu->isVisible() || m_highlightMenu->isVisible())
            refreshMenuIcons();
        update();
        for (QWidget* w : findChildren<QWidget*>())
            w->update();
    };
    repaint();
    connect(&m_theme, &ThemeManager::appearanceChanged, this, repaint);
}

QMenu* RichTextToolbar::buildStyleMenu() {
    auto* menu = new QMenu(this);
    menu->addAction(QStringLiteral("Normal"), this, [this] { applyNormalStyle(); });
    menu->addAction(QStringLiteral("Titre 1"), this, [this] { applyHeading(28, QFont::Bold); });
    menu->addAction(QStringLiteral("Titre 2"), this, [this] { applyHeading(22, QFont::DemiBold); });
    menu->addAction(QStringLiteral("Titre 3"), this, [this] { applyHeading(18, QFont::DemiBold); });
    return menu;
}

QMenu* RichTextToolbar::buildTextColorMenu() {
    auto* menu = new QMenu(this);
    for (const ColorItem& item : kTextColors) {
        const NamedColor named = item.color;
        QAction* a = menu->addAction(QString::fromUtf8(item.name), this,
                                     [this, named] { applyTextColor(namedColor(named, m_theme.isDark())); });
        a->setData(int(named));
    }
    menu->addSeparator();
    QAction* custom =
        menu->addAction(QStringLiteral("Couleur personnalisée..."), this, [this] { setShowColorPicker(true); });
    custom->setObjectName(QStringLiteral("paintpalette.fill"));
    menu->addSeparator();
    QAction* reset = menu->addAction(QStringLiteral("Couleur par défaut"), this, [this] { applyDefaultTextColor(); });
    reset->setObjectName(QStringLiteral("arrow.uturn.backward"));
    connect(menu, &QMenu::aboutToShow, this, [this] { refreshMenuIcons(); });
    return menu;
}

QMenu* RichTextToolbar::buildHighlightMenu() {
    auto* menu = new QMenu(this);
    for (const ColorItem& item : kHighlightColors) {
        const NamedColor named = item.color;
        QAction* a = menu->addAction(QString::fromUtf8(item.name), this,
                                     [this, named] { applyHighlight(namedColor(named, m_theme.isDark())); });
        a->setData(int(named));
    }
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Retirer le surlignage"), this, [this] { removeHighlight(); });
    remove->setObjectName(QStringLiteral("xmark"));
    connect(menu, &QMenu::aboutToShow, this, [this] { refreshMenuIcons(); });
    return menu;
}

void RichTextToolbar::refreshMenuIcons() {
    for (QMenu* menu : {m_textColorMenu, m_highlightMenu}) {
        const bool highlight = menu == m_highlightMenu;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                continue;
            if (a->data().isValid())
                a->setIcon(swatchIcon(namedColor(NamedColor(a->data().toInt()), m_theme.isDark()), highlight));
            else if (!a->objectName().isEmpty())
                a->setIcon(Symbols::icon(a->objectName(), AppPalette::primaryText(), 14));
        }
    }
}

richtext::ColorPopover* RichTextToolbar::colorPopover() {
    // A colour dialog costs more than the rest of the toolbar together, and most toolbars never show
    // it: it is made when first asked for.
    if (!m_popover) {
        m_popover = new ColorPopover(this);
        connect(m_popover, &ColorPopover::colorPicked, this, [this](const QColor& c) {
            m_selectedTextColor = c;
            applyCustomTextColor(c);
        });
        connect(m_popover, &ColorPopover::closed, this, [this] { m_showColorPicker = false; });
    }
    return m_popover;
}

void RichTextToolbar::resetState() {
    m_selectedTextColor = AppPalette::primaryText();
    m_selectedTextColor.setAlpha(255);
    if (m_showColorPicker && m_popover)
        m_popover->hide();
    m_showColorPicker = false;
}

void RichTextToolbar::setShowColorPicker(bool show) {
    if (show == m_showColorPicker)
        return;
    m_showColorPicker = show;
    if (!show) {
        if (m_popover)
            m_popover->hide();
        return;
    }
    colorPopover();
    m_popover->setColor(m_selectedTextColor);
    m_popover->adjustSize();
    QPoint at = m_textColorButton->mapToGlobal(
        QPoint(m_textColorButton->width() / 2 - m_popover->width() / 2, m_textColorButton->height() + 6));
    if (const QScreen* screen = m_textColorButton->screen()) {
        const QRect avail = screen->availableGeometry();
        at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() - m_popover->width())));
        if (at.y() + m_popover->height() > avail.bottom())
            at.setY(m_textColorButton->mapToGlobal(QPoint(0, 0)).y() - m_popover->height() - 6);
    }
    m_popover->move(at);
    m_popover->show();
}

void RichTextToolbar::setTextView(ClickableTextView* textView) {
    if (m_textView)
        m_textView->removeEventFilter(this);
    m_textView = textView;
    if (m_textView)
        m_textView->installEventFilter(this);
}

bool RichTextToolbar::eventFilter(QObject* watched, QEvent* event) {
    // The event's type first: the text view also sends events while it is destroyed, when it is no longer one.
    if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        qobject_cast<ClickableTextView*>(watched) && watched == m_textView) {
        auto* key = static_cast<QKeyEvent*>(event);
        void (RichTextToolbar::*op)() = nullptr;
        if (key->matches(QKeySequence::Bold))
            op = &RichTextToolbar::toggleBold;
        else if (key->matches(QKeySequence::Italic))
            op = &RichTextToolbar::toggleItalic;
        else if (key->matches(QKeySequence::Underline))
            op = &RichTextToolbar::toggleUnderline;
        if (op) {
            // Claimed before any shortcut of the window, applied on the key press itself.
            event->accept();
            if (event->type() == QEvent::KeyPress)
                (this->*op)();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

namespace {
constexpr int kMarginH = 12;
constexpr int kMarginV = 8;
constexpr int kRowHeight = 28;
constexpr int kRowGap = 6;
} // namespace

int RichTextToolbar::spacingFor(int width) const {
    // The usual room between controls, tighter where the editor is narrow.
    int natural = 0;
    for (QWidget* w : m_items)
        natural += w->sizeHint().width();
    const int gaps = int(m_items.size()); // between the items, and before the caption
    const int caption = m_caption->sizeHint().width();
    if (natural + caption + gaps * 8 <= width - 2 * kMarginH)
        return 8;
    return 4;
}

QList<QRect> RichTextToolbar::arrange(int width) const {
    // The controls in order, on as many rows as the width needs; the caption at the right of the last
    // row, or on a row of its own when it does not fit there. Narrow, the margins shrink too.
    const int spacing = spacingFor(width);
    const int margin = spacing == 8 ? kMarginH : kMarginV;
    const int right = std::max(margin + 1, width - margin);
    QList<QRect> rects;
    int x = margin;
    int y = kMarginV;
    for (QWidget* w : m_items) {
        const QSize size = w->sizeHint();
        if (x > margin && x + size.width() > right) {
            x = margin;
            y += kRowHeight + kRowGap;
        }
        rects.append(QRect(x, y + (kRowHeight - size.height()) / 2, size.width(), size.height()));
        x += size.width() + spacing;
    }
    const QSize caption = m_caption->sizeHint();
    if (x + caption.width() > right && x > margin)
        y += kRowHeight + kRowGap;
    rects.append(QRect(std::max(margin, right - caption.width()), y + (kRowHeight - caption.height()) / 2,
                       caption.width(), caption.height()));
    return rects;
}

bool RichTextToolbar::hasHeightForWidth() const { return true; }

int RichTextToolbar::heightForWidth(int width) const {
    int rows = 1;
    // Rows are 28 high, whatever sits in them (a control is centred in its row).
    for (const QRect& r : arrange(width))
        rows = std::max(rows, (r.top() - kMarginV) / (kRowHeight + kRowGap) + 1);
    return 2 * kMarginV + rows * kRowHeight + (rows - 1) * kRowGap;
}

QSize RichTextToolbar::sizeHint() const {
    int w = 2 * kMarginH + m_caption->sizeHint().width();
    for (QWidget* item : m_items)
        w += item->sizeHint().width() + 8;
    return {w, 2 * kMarginV + kRowHeight};
}

QSize RichTextToolbar::minimumSizeHint() const {
    int widest = m_caption->sizeHint().width();
    for (QWidget* item : m_items)
        widest = std::max(widest, item->sizeHint().width());
    return {2 * kMarginH + widest, heightForWidth(2 * kMarginH + widest)};
}

void RichTextToolbar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QList<QRect> rects = arrange(width());
    for (int i = 0; i < m_items.size(); ++i)
        m_items[i]->setGeometry(rects[i]);
    m_caption->setGeometry(rects.last());
}

bool RichTextToolbar::owns(const QWidget* widget) const {
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w == this || w == m_popover || w == m_styleMenu || w == m_textColorMenu || w == m_highlightMenu)
            return true;
    return false;
}

void RichTextToolbar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    Paint::fillRoundedRect(p, r, 10, AppPalette::screenBackground());
    Paint::strokeRoundedRect(p, r, 10, withOpacity(AppPalette::separator(), 0.4));
}

void RichTextToolbar::applyNormalStyle() { richtext::applyNormalStyle(m_textView); }
void RichTextToolbar::applyHeading(int pixelSize, int weight) { richtext::applyHeading(m_textView, pixelSize, weight); }
void RichTextToolbar::toggleBold() { richtext::toggleBold(m_textView); }
void RichTextToolbar::toggleItalic() { richtext::toggleItalic(m_textView); }
void RichTextToolbar::toggleUnderline() {
    if (m_textView)
        m_textView->toggleUnderline();
}
void RichTextToolbar::toggleStrikethrough() {
    if (m_textView)
        m_textView->toggleStrikethrough();
}
void RichTextToolbar::applyTextColor(const QColor& color) { richtext::applyTextColor(m_textView, color); }
void RichTextToolbar::applyDefaultTextColor() { richtext::applyDefaultTextColor(m_textView); }
void RichTextToolbar::applyCustomTextColor(const QColor& color) { richtext::applyTextColor(m_textView, color); }
void RichTextToolbar::applyHighlight(const QColor& color) { richtext::applyHighlight(m_textView, color); }
void RichTextToolbar::removeHighlight() { richtext::removeHighlight(m_textView); }
void RichTextToolbar::applyInlineCode() { richtext::applyInlineCode(m_textView); }
