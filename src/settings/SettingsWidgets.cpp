#include "settings/SettingsWidgets.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"

namespace settingsui {

ColorLabel::ColorLabel(const QString& text, const QFont& font, std::function<QColor()> color, QWidget* parent)
    : QLabel(text, parent), m_color(std::move(color)) {
    setFont(font);
    setTextFormat(Qt::PlainText);
    restyle();
    connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, this, &ColorLabel::restyle);
}

void ColorLabel::restyle() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, m_color());
    setPalette(pal);
}

SymbolView::SymbolView(const QString& name, qreal px, std::function<QColor()> color, QWidget* parent)
    : QWidget(parent), m_name(name), m_px(px), m_color(std::move(color)) {
    setFixedSize(sizeHint());
    connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, this, qOverload<>(&QWidget::update));
}

QSize SymbolView::sizeHint() const { return QSize(qCeil(m_px), qCeil(m_px)); }

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Symbols::paint(p, QRectF(rect()), m_name, m_color());
}

SettingsCard::SettingsCard(const QString& title, const QString& systemImage, QWidget* content, QWidget* parent)
    : QWidget(parent), m_title(title), m_content(content) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(10);
    header->addWidget(new SymbolView(systemImage, 14, [] { return AppPalette::secondaryText(); }), 0, Qt::AlignVCenter);
    header->addWidget(new ColorLabel(title, Fonts::rounded(14, QFont::DemiBold), [] { return AppPalette::primaryText(); }),
                      0, Qt::AlignVCenter);
    header->addStretch(1);
    column->addLayout(header);
    if (content)
        column->addWidget(content);
    connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void SettingsCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    Paint::fillRoundedRect(p, r, radius, AppPalette::cardBackground());
    Paint::strokeRoundedRect(p, r, radius, withOpacity(AppPalette::separator(), 0.55), 1);
}

SettingRow::SettingRow(const QString& label, QWidget* right, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(new ColorLabel(label, Fonts::rounded(13, QFont::DemiBold), [] { return AppPalette::primaryText(); }),
                   0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(right, 0, Qt::AlignVCenter);
}

SettingTextField::SettingTextField(const QString& label, const QString& placeholder, QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(new ColorLabel(label, Fonts::rounded(12, QFont::DemiBold), [] { return AppPalette::secondaryText(); }));
    m_edit = new QLineEdit(this);
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

QColor trackColor() { return ThemeManager::shared().isDark() ? QColor(255, 255, 255, 26) : QColor(0, 0, 0, 15); }
QColor selectedColor() { return ThemeManager::shared().isDark() ? QColor(255, 255, 255, 56) : QColor(255, 255, 255); }
} // namespace

SegmentButton::SegmentButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setCheckable(true);
    setFont(Fonts::system(13));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SegmentButton::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(text()) + 24, segmentHeight);
}

void SegmentButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(trackInset, trackInset, -trackInset, -trackInset);
    if (isChecked()) {
        if (!ThemeManager::shared().isDark())
            Paint::drawShadow(p, r, trackRadius - trackInset, QColor(0, 0, 0, 30), 2, QPointF(0, 0.5));
        Paint::fillRoundedRect(p, r, trackRadius - trackInset, selectedColor());
    } else if (isDown()) {
        Paint::fillRoundedRect(p, r, trackRadius - trackInset, withOpacity(AppPalette::separator(), 0.6));
    }
    p.setPen(AppPalette::primaryText());
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, text());
    if (hasFocus()) {
        Paint::strokeRoundedRect(p, r, trackRadius - trackInset, withOpacity(AppPalette::brandBlue(), 0.7), 1.5);
    }
}

SegmentedPicker::SegmentedPicker(const QStringList& labels, QWidget* parent)
    : QWidget(parent), m_group(new QButtonGroup(this)) {
    m_group->setExclusive(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (int i = 0; i < labels.size(); ++i) {
        auto* b = new SegmentButton(labels[i], this);
        m_group->addButton(b, i);
        row->addWidget(b);
        connect(b, &QAbstractButton::clicked, this, [this, i] { emit activated(i); });
    }
    setFixedHeight(segmentHeight);
    connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, this, qOverload<>(&QWidget::update));
    connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, this, [this] {
        for (auto* b : m_group->buttons())
            b->update();
    });
}

int SegmentedPicker::currentIndex() const { return m_group->checkedId(); }

void SegmentedPicker::setCurrentIndex(int index) {
    if (auto* b = m_group->button(index))
        b->setChecked(true);
}

QAbstractButton* SegmentedPicker::segment(int index) const { return m_group->button(index); }

void SegmentedPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Paint::fillRoundedRect(p, QRectF(rect()), trackRadius, trackColor());
}

} // namespace settingsui
