// The settings screen (empty profile, with a name and a picture, too short a window) and a sheet of
// the standard controls as our style draws them (fields, pop-up, buttons, scroll bar, alert, symbols).
#include "render-screens/RenderScreens.h"

#include "app/AppShellView.h"

#include "core/model/UserProfile.h"
#include "settings/AvatarPicker.h"
#include "settings/SettingsView.h"
#include "ui/AppStyle.h"
#include "ui/Components.h"
#include "ui/DialogSeam.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QBuffer>
#include <QComboBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

QWidget* settings(const Services& s) { return new SettingsView(s); }

QWidget* settingsWithProfile(const Services& s) {
    s.profile.setFirstName(QStringLiteral("Zoé"));
    s.profile.setLastName(QStringLiteral("Martin"));
    s.profile.setAvatarData(samplePortraitJpeg());
    return new SettingsView(s);
}

// Painted symbols at the weights the screens use.
class SymbolStrip : public QWidget {
public:
    SymbolStrip() { setFixedHeight(40); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        qreal x = 4;
        const std::pair<const char*, int> symbols[] = {
            {"plus", Symbols::regular},
            {"plus", Symbols::bold},
            {"chevron.left", Symbols::semibold},
            {"rectangle.3.group", Symbols::semibold},
            {"folder", Symbols::semibold},
            {"checklist", Symbols::semibold},
            {"gearshape", Symbols::semibold},
            {"sun.max.fill", Symbols::semibold},
            {"person.crop.circle", Symbols::semibold},
        };
        for (const auto& [name, weight] : symbols) {
            if (QLatin1String(name) == QLatin1String("plus")) {
                Paint::fillEllipse(p, QRectF(x, 5, 30, 30), AppPalette::brandBlue());
                Symbols::paint(p, QRectF(x + 8, 13, 14, 14), QString::fromLatin1(name), Qt::white, weight);
            } else {
                Symbols::paint(p, QRectF(x + 7, 12, 16, 16), QString::fromLatin1(name), AppPalette::secondaryText(),
                               weight);
            }
            x += 38;
        }
    }
};

// A translucent hover fill and an opaque card, each over its cast shadow.
class ShadowSample : public QWidget {
public:
    ShadowSample() { setFixedHeight(90); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const Paint::Shadow shadow{QColor::fromRgbF(0, 0, 0, 0.33f), 10, QPointF(0, 0)};
        Paint::fillRoundedRectWithShadow(p, QRectF(16, 16, 240, 56), 14,
                                         withOpacity(AppPalette::cardBackground(), 0.01), shadow);
        Paint::strokeRoundedRect(p, QRectF(16, 16, 240, 56), 14, withOpacity(AppPalette::separator(), 0.22));
        Paint::fillRoundedRectWithShadow(p, QRectF(290, 16, 240, 56), 14, AppPalette::cardBackground(), shadow);
    }
};

QWidget* controls(const Services&) {
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(22, 18, 22, 18);
    column->setSpacing(14);

    auto* fields = new QHBoxLayout;
    auto* name = new QLineEdit;
    name->setPlaceholderText(QStringLiteral("Nom du projet"));
    auto* filled = new QLineEdit(QStringLiteral("Documentation"));
    auto* theme = new QComboBox;
    for (const char* t : {"Système", "Clair", "Sombre"})
        theme->addItem(QString::fromUtf8(t));
    theme->setFixedWidth(180);
    fields->addWidget(name);
    fields->addWidget(filled);
    fields->addWidget(theme);
    column->addLayout(fields);

    auto* notes = new QPlainTextEdit(QStringLiteral("Une description sur\nplusieurs lignes."));
    notes->setFixedHeight(76);
    column->addWidget(notes);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QPushButton(QStringLiteral("Choisir une image")));
    buttons->addWidget(new QPushButton(QStringLiteral("Supprimer")));
    buttons->addStretch(1);
    buttons->addWidget(new QPushButton(QStringLiteral("Annuler")));
    auto* create = new QPushButton(QStringLiteral("Créer"));
    create->setDefault(true);
    buttons->addWidget(create);
    auto* disabled = new QPushButton(QStringLiteral("Enregistrer"));
    disabled->setDefault(true);
    disabled->setEnabled(false);
    buttons->addWidget(disabled);
    column->addLayout(buttons);

    auto* strip = new SymbolStrip;
    column->addWidget(strip);
    column->addWidget(new ShadowSample);

    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("scroller"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    auto* list = new QWidget;
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    for (int i = 1; i <= 12; ++i) {
        auto* row = new QLabel(QStringLiteral("Ligne %1 : le contenu garde toute sa largeur sous la barre").arg(i));
        row->setAutoFillBackground(true);
        row->setMinimumHeight(26);
        rows->addWidget(row);
    }
    area->setWidget(list);
    area->setFixedHeight(120);
    column->addWidget(area);
    column->addStretch(1);
    return page;
}

QWidget* alert(const Services&) {
    // The shell's own alert.
    QList<QAbstractButton*> buttons;
    return DialogSeam::makeBox(nullptr, AppShellView::quitAlert(), buttons);
}

const bool registered = registerScreenShots({
    ScreenShot{QStringLiteral("settings"), QSize(1000, 640), settings},
    ScreenShot{QStringLiteral("settings-profile"), QSize(1000, 640), settingsWithProfile},
    // Too short for its content: the scroll bar shows over the page's right margin.
    ScreenShot{QStringLiteral("settings-short"), QSize(700, 420), settingsWithProfile,
               [](QWidget* w) {
                   if (auto* area = w->findChild<QScrollArea*>())
                       area->verticalScrollBar()->setValue(60);
               }},
    ScreenShot{QStringLiteral("standard-controls"), QSize(760, 520), controls,
               [](QWidget* w) {
                   if (auto* area = w->findChild<QScrollArea*>(QStringLiteral("scroller")))
                       area->verticalScrollBar()->setValue(40);
               }},
    ScreenShot{QStringLiteral("alert-quit"), QSize(360, 150), alert},
});

} // namespace
