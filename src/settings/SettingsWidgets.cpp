#include "settings/SettingsWidgets.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/Accessibility.h"
#include "ui/Boxes.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/KeyboardFocus.h"
#include "ui/Symbols.h"

namespace settingsui {

ColorLabel::ColorLabel(const QString& text, const QFont& font, std::function<QColor()> color, QWidget* parent)
    : QLabel(text, parent), m_color(std::move(color)) {
    setFont(font);
    setTextFormat(Qt::PlainText);
    restyle();
}

void ColorLabel::restyle() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, m_color());
    setPalette(pal);
}

SymbolView::SymbolView(const QString& name, qreal px, std::function<QColor()> color, const QString& description,
                       QWidget* parent)
    : QWidget(parent), m_name(name), m_px(px), m_color(std::move(color)) {
    setFixedSize(sizeHint());
    setAccessibleName(description);
    Accessibility::setRole(this, QAccessible::Graphic);
}

QSize SymbolView::sizeHint() const { return QSize(qCeil(m_px), qCeil(m_px)); }

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Symbols::paint(p, QRectF(rect()), m_name, m_color());
}

SettingsCard::SettingsCard(const QString& title, const QString& systemImage, QWidget* content, QWidget* parent)
    : QWidget(parent), m_title(title), m_content(content) {
    auto* column = Boxes::column(this, 12, QMargins(padding, padding, padding, padding));

    auto* header = Boxes::row(nullptr, 10, QMargins());
    header->addWidget(new SymbolView(
                          systemImage, 14, [] { return AppPalette::secondaryText(); }, title),
                      0, Qt::AlignVCenter);
    header->addWidget(new ColorLabel(title, Fonts::rounded(14, QFont::DemiBold),
                                     [] { return AppPalette::primaryText(); }),
                      0, Qt::AlignVCenter);
    header->addStretch(1);
    column->addLayout(header);
    if (content)
        column->addWidget(content);
    setAccessibleName(title);
    Accessibility::setRole(this, QAccessible::Grouping);
}

void SettingsCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    Paint::fillRoundedRect(p, r, radius, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, r, radius, withOpacity(AppPalette::separator(), 0.55), 1);
}

SettingRow::SettingRow(const QString& label, QWidget* right, QWidget* parent) : QWidget(parent) {
    auto* row = Boxes::row(this, 8, QMargins());
    auto* caption =
        new ColorLabel(label, Fonts::rounded(13, QFont::DemiBold), [] { return AppPalette::primaryText(); });
    // The label names its control for screen readers.
    caption->setBuddy(right);
    if (right->accessibleName().isEmpty())
        right->setAccessibleName(label);
    row->addWidget(caption, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(right, 0, Qt::AlignVCenter);
}

SettingTextField::SettingTextField(const QString& label, const QString& placeholder, QWidget* parent)
    : QWidget(parent) {
    auto* column = Boxes::column(this, 6, QMargins());
    auto* caption =
        new ColorLabel(label, Fonts::rounded(12, QFont::DemiBold), [] { return AppPalette::secondaryText(); });
    column->addWidget(caption);
    m_edit = new QLineEdit(this);
    caption->setBuddy(m_edit);
    m_edit->setAccessibleName(label);
    m_edit->setPlaceholderText(placeholder);
    m_edit->setFont(Fonts::system(13));
    m_edit->setClearButtonEnabled(false);
    column->addWidget(m_edit);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

namespace {
constexpr int segmentHeight = 24;
constexpr qreal trackRadius = 7;
constexpr qreal trackInset = 2;

bool isDark() { return AppPalette::screenBackground().lightnessF() < 0.5; }
QColor trackColor() { return isDark() ? QColor(255, 255, 255, 26) : QColor(0, 0, 0, 15); }
QColor selectedColor() { return isDark() ? QColor(255, 255, 255, 56) : QColor(255, 255, 255); }
} // namespace

SegmentButton::SegmentButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setCheckable(true);
    setFont(Fonts::system(13));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // One of a set: read as a radio button.
    setAutoExclusive(true);
}

QSize SegmentButton::sizeHint() const { return QSize(fontMetrics().horizontalAdvance(text()) + 24, segmentHeight); }

void SegmentButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(trackInset, trackInset, -trackInset, -trackInset);
    if (isChecked()) {
        if (!isDark())
            Paint::drawShadow(p, r, trackRadius - trackInset, QColor(0, 0, 0, 30), 2, QPointF(0, 0.5));
        Paint::fillRoundedRect(p, r, trackRadius - trackInset, selectedColor());
    } else if (isDown()) {
        Paint::fillRoundedRect(p, r, trackRadius - trackInset, withOpacity(AppPalette::separator(), 0.6));
    }
    p.setPen(AppPalette::primaryText());
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, text());
    if (KeyboardFocus::showsRing(this))
        Paint::focusRing(p, r, trackRadius - trackInset);
}

SegmentedPicker::SegmentedPicker(const QStringList& labels, QWidget* parent)
    : QWidget(parent), m_group(new QButtonGroup(this)) {
    m_group->setExclusive(true);
    auto* row = Boxes::row(this, 0, QMargins());
    for (int i = 0; i < labels.size(); ++i) {
        auto* b = new SegmentButton(labels[i], this);
        m_group->addButton(b, i);
        row->addWidget(b);
        // A click checks the segment (toggled, then clicked); assistive technology toggles it without
        // a click. Either way it is the person's choice, reported once.
        connect(b, &QAbstractButton::toggled, this, [this, i](bool on) {
            if (!on || m_syncing)
                return;
            m_toggledByClick = i;
            emit activated(i);
        });
        connect(b, &QAbstractButton::clicked, this, [this, i] {
            if (m_toggledByClick != i)
                emit activated(i); // the segment was checked already
            m_toggledByClick = -1;
        });
    }
    setFixedHeight(segmentHeight);
}

int SegmentedPicker::currentIndex() const { return m_group->checkedId(); }

void SegmentedPicker::setCurrentIndex(int index) {
    m_syncing = true;
    if (auto* b = m_group->button(index))
        b->setChecked(true);
    m_syncing = false;
}

QAbstractButton* SegmentedPicker::segment(int index) const { return m_group->button(index); }

void SegmentedPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Paint::fillRoundedRect(p, QRectF(rect()), trackRadius, trackColor());
}

Divider::Divider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Accessibility::setRole(this, QAccessible::Separator);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), withOpacity(AppPalette::separator(), 0.5));
}

void restyleTree(QWidget* root) {
    const QList<QWidget*> widgets = root->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (auto* label = qobject_cast<ColorLabel*>(w))
            label->restyle();
        w->update();
    }
    root->update();
}

} // namespace settingsui
