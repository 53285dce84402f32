#include "app/Placeholders.h"

#include "ui/Palette.h"
#include "ui/Fonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

PlaceholderPanel::PlaceholderPanel(const QString& title, QWidget* parent) : QWidget(parent), m_title(title) {
    // Repaints with the application palette's change (QWidget::changeEvent), as every theme change sets it.
    setAccessibleName(title);
}

void PlaceholderPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(Fonts::system(20, 600));
    p.setPen(AppPalette::secondaryText());
    p.drawText(rect(), Qt::AlignCenter, m_title);
}
