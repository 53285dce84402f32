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

ChecklistsListView::ChecklistsListView(std::function<void()> onCreateChecklist,
                                       std::function<void(const ChecklistPtr&)> onOpenChecklist, QWidget* parent)
    : PlaceholderPanel(QStringLiteral("Checklists"), parent), m_onCreateChecklist(std::move(onCreateChecklist)),
      m_onOpenChecklist(std::move(onOpenChecklist)) {}

NewChecklistSheet::NewChecklistSheet(QWidget* parent) : QDialog(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Nouvelle checklist"), this);
    title->setFont(Fonts::system(17, 600));
    layout->addWidget(title);
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* cancel = new QPushButton(QStringLiteral("Annuler"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    row->addWidget(cancel);
    layout->addLayout(row);
    resize(640, 200);
}
