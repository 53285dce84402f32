#include "projects/SheetForm.h"

#include "services/Services.h"
#include "ui/Boxes.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/lists/ListWidgets.h"
#include "ui/lists/Paging.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using lists::ClampedText;

namespace {

// The sheet's side margins; the body's scroll bar floats over the right one.
constexpr int kSide = std::max(18, SheetBody::gutter);

ColorIconSheet::ColorPicker& pickerSeam() {
    static ColorIconSheet::ColorPicker picker;
    return picker;
}

// One choice of a group (the swatches, the icons): Tab reaches the group on its chosen one (the sheet
// gives that one alone the Tab stop), the arrows move among its choices, Space chooses. A screen reader
// hears each as checked or not.
class Choice : public QAbstractButton {
public:
    Choice(QString group, int columns, QWidget* parent)
        : QAbstractButton(parent), m_group(std::move(group)), m_columns(columns) {
        // One chosen in its group (its own box): read as a radio button.
        setCheckable(true);
        setAutoExclusive(true);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    // The sheet checks the chosen one: a click on it does not uncheck it.
    void nextCheckState() override {}
    void keyPressEvent(QKeyEvent* event) override {
        int step = 0;
        switch (event->key()) {
        case Qt::Key_Left: step = -1; break;
        case Qt::Key_Right: step = 1; break;
        case Qt::Key_Up: step = -m_columns; break;
        case Qt::Key_Down: step = m_columns; break;
        default: QAbstractButton::keyPressEvent(event); return;
        }
        QList<Choice*> group;
        for (QObject* o : parent()->children())
            if (auto* c = dynamic_cast<Choice*>(o); c && c->m_group == m_group)
                group.append(c);
        const qsizetype to = group.indexOf(this) + step;
        if (to >= 0 && to < group.size())
            group[to]->setFocus(Qt::TabFocusReason);
        event->accept();
    }
    void paintRing(QPainter& p, qreal radius) {
        if (lists::showsFocusRing(this))
            lists::paintFocusRing(p, QRectF(rect()), radius);
    }

private:
    QString m_group;
    int m_columns;
};

// One colour swatch: a 16 circle, ringed in white while selected, on a tinted square.
class Swatch : public Choice {
public:
    Swatch(QString key, std::function<bool()> selected, QWidget* parent)
        : Choice(QStringLiteral("swatch"), 1, parent), m_key(std::move(key)), m_selected(std::move(selected)) {
        setFixedSize(28, 28);
        setCursor(Qt::PointingHandCursor);
        lists::nameControl(this, ColorIconSheet::colorLabel(m_key));
    }
    bool isSelected() const { return m_selected(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool sel = isSelected();
        if (sel)
            Paint::fillRoundedRect(p, QRectF(rect()), 10, AppPalette::tintedBackground());
        const QRectF c(6, 6, 16, 16);
        Paint::fillEllipse(p, c, colorForKey(m_key));
        if (sel)
            Paint::strokeEllipse(p, c, QColor::fromRgbF(1, 1, 1, 0.9f), 2);
        Paint::strokeEllipse(p, c, withOpacity(AppPalette::separator(), 0.5), 1);
        paintRing(p, 10);
    }

private:
    QString m_key;
    std::function<bool()> m_selected;
};

// The free colour picker's well: the current colour; a click opens the colour dialog.
class ColorWell : public QAbstractButton {
public:
    ColorWell(std::function<QColor()> color, QWidget* parent) : QAbstractButton(parent), m_color(std::move(color)) {
        setFixedSize(44, 24);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        lists::nameControl(this, QStringLiteral("Couleur libre"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        Paint::fillRoundedRect(p, r, 6, AppPalette::cardBackground());
        Paint::strokeRoundedRect(p, r, 6, withOpacity(AppPalette::separator(), 0.6));
        Paint::fillRoundedRect(p, r.adjusted(4, 4, -4, -4), 3, m_color());
    }

private:
    std::function<QColor()> m_color;
};

// One cell of the icon grid.
class IconCell : public Choice {
public:
    IconCell(QString name, std::function<bool()> selected, std::function<QColor()> accent, QWidget* parent)
        : Choice(QStringLiteral("icon"), 8, parent),
          m_name(std::move(name)),
          m_selected(std::move(selected)),
          m_accent(std::move(accent)) {
        setFixedSize(44, 44);
        setCursor(Qt::PointingHandCursor);
        lists::nameControl(this, ColorIconSheet::iconLabel(m_name));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool sel = m_selected();
        const QRectF r(rect());
        const QColor accent = m_accent();
        Paint::fillRoundedRect(p, r, 12, sel ? AppPalette::tintedBackground() : AppPalette::screenBackground());
        Paint::strokeRoundedRect(p, r, 12,
                                 sel ? withOpacity(accent, 0.55) : withOpacity(AppPalette::separator(), 0.35));
        Symbols::paint(p, QRectF(13, 13, 18, 18), m_name, sel ? accent : AppPalette::secondaryText());
        paintRing(p, 12);
    }

private:
    QString m_name;
    std::function<bool()> m_selected;
    std::function<QColor()> m_accent;
};

// The preview: a 44 circle in the accent colour with the icon, then the two lines.
class PreviewCard : public QWidget {
public:
    PreviewCard(std::function<QColor()> accent, std::function<QString()> icon, int secondLineMax, QWidget* parent)
        : QWidget(parent), m_accent(std::move(accent)), m_icon(std::move(icon)) {
        auto* row = Boxes::row(this, 12, QMargins(12, 12, 12, 12));
        m_tile = new QWidget(this);
        m_tile->setFixedSize(44, 44);
        m_tile->installEventFilter(this);
        auto* lines = Boxes::column(nullptr, 2);
        first = new ClampedText(
            Fonts::rounded(13, 600), [] { return AppPalette::primaryText(); }, 0, this);
        second = new ClampedText(
            Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, secondLineMax, this);
        first->setObjectName(QStringLiteral("previewFirstLine"));
        second->setObjectName(QStringLiteral("previewSecondLine"));
        lines->addWidget(first);
        lines->addWidget(second);
        row->addWidget(m_tile);
        row->addLayout(lines, 1);
    }
    ClampedText* first;
    ClampedText* second;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == m_tile && e->type() == QEvent::Paint) {
            QPainter p(m_tile);
            p.setRenderHint(QPainter::Antialiasing);
            const QColor a = m_accent();
            const QRectF r(m_tile->rect());
            Paint::fillEllipse(p, r, withOpacity(a, 0.18));
            Paint::strokeEllipse(p, r, withOpacity(a, 0.35));
            Symbols::paint(p, QRectF(13, 13, 18, 18), m_icon(), a);
            return true;
        }
        return QWidget::eventFilter(o, e);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Paint::fillRoundedRect(p, QRectF(rect()), 14, AppPalette::screenBackground());
        Paint::strokeRoundedRect(p, QRectF(rect()), 14, withOpacity(AppPalette::separator(), 0.5));
    }

private:
    std::function<QColor()> m_accent;
    std::function<QString()> m_icon;
    QWidget* m_tile;
};

// A section of the sheet: its title over what follows.
QVBoxLayout* newSection(const QString& title, QWidget* parent) {
    auto* section = Boxes::column(nullptr, 8);
    auto* label = new ClampedText(
        Fonts::rounded(12, 600), [] { return AppPalette::secondaryText(); }, 1, parent);
    label->setText(title);
    section->addWidget(label);
    return section;
}

} // namespace

struct ColorIconSheet::Private {
    QStringList icons;
    QString icon;
    QString key = QStringLiteral("blue");
    std::optional<QString> hex;
    QColor custom;
    QFormLayout* form = nullptr;
    QPushButton* confirm = nullptr;
    QPushButton* cancel = nullptr;
    PreviewCard* preview = nullptr;
    ClampedText* customTag = nullptr;
    SheetBody* bodyScroll = nullptr;
};

void ColorIconSheet::setColorPickerForTesting(ColorPicker picker) { pickerSeam() = std::move(picker); }

QString ColorIconSheet::colorLabel(const QString& key) {
    static const QHash<QString, QString> labels{{QStringLiteral("blue"), QStringLiteral("Bleu")},
                                                {QStringLiteral("pink"), QStringLiteral("Rose")},
                                                {QStringLiteral("orange"), QStringLiteral("Orange")},
                                                {QStringLiteral("green"), QStringLiteral("Vert")},
                                                {QStringLiteral("purple"), QStringLiteral("Violet")},
                                                {QStringLiteral("gray"), QStringLiteral("Gris")}};
    return labels.value(key, key);
}

QString ColorIconSheet::iconLabel(const QString& name) {
    static const QHash<QString, QString> labels{{"folder.fill", "Dossier"},
                                                {"folder.badge.plus", "Nouveau dossier"},
                                                {"tray.full.fill", "Bac plein"},
                                                {"archivebox.fill", "Archives"},
                                                {"shippingbox.fill", "Colis"},
                                                {"externaldrive.fill", "Disque externe"},
                                                {"doc.text", "Document"},
                                                {"doc.text.fill", "Document plein"},
                                                {"doc.plaintext", "Texte brut"},
                                                {"doc.richtext", "Texte enrichi"},
                                                {"doc.append", "Ajout au document"},
                                                {"doc.text.magnifyingglass", "Recherche dans un document"},
                                                {"doc.on.doc", "Copie de document"},
                                                {"book.fill", "Livre"},
                                                {"books.vertical.fill", "Bibliothèque"},
                                                {"text.book.closed.fill", "Manuel"},
                                                {"note.text", "Note"},
                                                {"list.bullet.rectangle", "Liste à puces"},
                                                {"checklist", "Checklist"},
                                                {"calendar", "Calendrier"},
                                                {"clock.fill", "Horloge"},
                                                {"hammer.fill", "Marteau"},
                                                {"wrench.and.screwdriver.fill", "Outils"},
                                                {"terminal.fill", "Terminal"},
                                                {"curlybraces", "Accolades"},
                                                {"chevron.left.forwardslash.chevron.right", "Code"},
                                                {"gearshape.fill", "Engrenage"},
                                                {"slider.horizontal.3", "Curseurs"},
                                                {"bolt.fill", "Éclair"},
                                                {"lock.fill", "Cadenas"},
                                                {"key.fill", "Clé"},
                                                {"shield.fill", "Bouclier"},
                                                {"shield.lefthalf.filled", "Bouclier à moitié plein"},
                                                {"bolt.shield.fill", "Bouclier à éclair"},
                                                {"checkmark.shield.fill", "Bouclier coché"},
                                                {"wifi", "Wi-Fi"},
                                                {"antenna.radiowaves.left.and.right", "Antenne"},
                                                {"chart.bar.fill", "Histogramme"},
                                                {"chart.line.uptrend.xyaxis", "Courbe en hausse"},
                                                {"briefcase.fill", "Porte-documents"},
                                                {"building.2.fill", "Immeubles"},
                                                {"person.2.fill", "Deux personnes"},
                                                {"paintbrush.fill", "Pinceau"},
                                                {"wand.and.stars", "Baguette magique"},
                                                {"sparkles", "Étincelles"},
                                                {"camera.fill", "Appareil photo"},
                                                {"photo.fill", "Photo"},
                                                {"globe", "Globe"},
                                                {"globe.europe.africa.fill", "Globe, Europe et Afrique"},
                                                {"link", "Lien"},
                                                {"icloud.fill", "Nuage"},
                                                {"network", "Réseau"},
                                                {"server.rack", "Serveurs"},
                                                {"star.fill", "Étoile"},
                                                {"flag.fill", "Drapeau"},
                                                {"bookmark.fill", "Signet"},
                                                {"tag.fill", "Étiquette"},
                                                {"paperclip", "Trombone"},
                                                {"bell.fill", "Cloche"},
                                                {"mic.fill", "Micro"},
                                                {"video.fill", "Vidéo"},
                                                {"rectangle.and.pencil.and.ellipsis", "Formulaire"},
                                                {"pencil.tip", "Pointe de crayon"},
                                                {"signature", "Signature"}};
    return labels.value(name, name);
}

const QStringList& ColorIconSheet::colorChoices() {
    static const QStringList c{QStringLiteral("blue"),  QStringLiteral("pink"),   QStringLiteral("orange"),
                               QStringLiteral("green"), QStringLiteral("purple"), QStringLiteral("gray")};
    return c;
}

ColorIconSheet::ColorIconSheet(const Services& services, const Texts& texts, QStringList icons, QWidget* parent)
    : QDialog(parent), d(std::make_unique<Private>()), m_edits(services.context) {
    d->icons = std::move(icons);
    d->icon = d->icons.value(0);
    d->custom = colorForKey(d->key);
    setWindowTitle(texts.title);
    setModal(true);
    setFixedWidth(640);

    // Header and buttons stay in place; the body between them scrolls when the window is short. The body
    // spans the sheet's width so that its scroll bar floats over its side margin, clear of the fields.
    auto* root = Boxes::column(this, 16, QMargins(0, 18, 0, 18));

    auto* header = Boxes::column(nullptr, 6, QMargins(kSide, 0, kSide, 0));
    auto* title = new ClampedText(
        Fonts::rounded(18, 600), [] { return AppPalette::primaryText(); }, 0, this);
    title->setText(texts.title);
    title->setObjectName(QStringLiteral("sheetTitle"));
    auto* subtitle = new ClampedText(
        Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, 0, this);
    subtitle->setText(texts.subtitle);
    subtitle->setObjectName(QStringLiteral("sheetSubtitle"));
    header->addWidget(title);
    header->addWidget(subtitle);
    root->addLayout(header);

    auto* body = Boxes::column(nullptr, 10);
    d->preview = new PreviewCard([this] { return accentColor(); }, [this] { return d->icon; },
                                 texts.previewSecondLineMaxLines, this);
    body->addWidget(d->preview);

    auto* fields = new QWidget(this);
    d->form = new QFormLayout(fields);
    d->form->setContentsMargins(0, 4, 0, 4);
    d->form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    d->form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    body->addWidget(fields);

    // Colour section: label, swatches, free colour row.
    auto* colorSection = newSection(QStringLiteral("Couleur"), this);
    // Each group in a box of its own, so that choosing in one leaves the other's choice.
    auto* swatchBox = new QWidget(this);
    swatchBox->setAccessibleName(QStringLiteral("Couleur"));
    auto* swatches = Boxes::row(swatchBox, 10, QMargins());
    for (const QString& key : colorChoices()) {
        auto* s = new Swatch(
            key, [this, key] { return isSwatchSelected(key); }, swatchBox);
        s->setObjectName(QStringLiteral("swatch-") + key);
        connect(s, &QAbstractButton::clicked, this, [this, key] { selectColorKey(key); });
        // Assistive technology checks a radio button rather than clicking it.
        connect(s, &QAbstractButton::toggled, this, [this, key](bool on) {
            if (on && !isSwatchSelected(key))
                selectColorKey(key);
        });
        swatches->addWidget(s);
    }
    swatches->addStretch(1);
    colorSection->addWidget(swatchBox);
    auto* freeRow = Boxes::row(nullptr, 10, QMargins(0, 6, 0, 0));
    auto* freeLabel = new ClampedText(
        Fonts::rounded(12), [] { return AppPalette::secondaryText(); }, 1, this);
    freeLabel->setText(QStringLiteral("Couleur libre"));
    freeLabel->setFixedWidth(QFontMetrics(Fonts::rounded(12)).horizontalAdvance(freeLabel->text()) + 2);
    auto* well = new ColorWell([this] { return d->custom; }, this);
    well->setObjectName(QStringLiteral("colorWell"));
    connect(well, &QAbstractButton::clicked, this, &ColorIconSheet::pickCustomColor);
    d->customTag = new ClampedText(
        Fonts::rounded(12, 600), [] { return AppPalette::secondaryText(); }, 1, this);
    d->customTag->setText(QStringLiteral("Personnalisée"));
    d->customTag->setObjectName(QStringLiteral("customTag"));
    d->customTag->setFixedWidth(QFontMetrics(Fonts::rounded(12, 600)).horizontalAdvance(d->customTag->text()) + 2);
    freeRow->addWidget(freeLabel);
    freeRow->addWidget(well);
    freeRow->addStretch(1);
    freeRow->addWidget(d->customTag);
    colorSection->addLayout(freeRow);
    body->addLayout(colorSection);

    // Icon grid: 8 columns of 44, 10 apart, from the leading edge.
    auto* iconSection = newSection(QStringLiteral("Icône"), this);
    auto* iconBox = new QWidget(this);
    iconBox->setAccessibleName(QStringLiteral("Icône"));
    auto* grid = new QGridLayout(iconBox);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);
    for (int i = 0; i < d->icons.size(); ++i) {
        const QString name = d->icons[i];
        auto* cell = new IconCell(
            name, [this, name] { return d->icon == name; }, [this] { return accentColor(); }, iconBox);
        cell->setObjectName(QStringLiteral("icon-") + name);
        connect(cell, &QAbstractButton::clicked, this, [this, name] { selectIcon(name); });
        connect(cell, &QAbstractButton::toggled, this, [this, name](bool on) {
            if (on && d->icon != name)
                selectIcon(name);
        });
        grid->addWidget(cell, i / 8, i % 8);
    }
    grid->setColumnStretch(8, 1);
    iconSection->addWidget(iconBox);
    body->addLayout(iconSection);
    auto* bodyWidget = new QWidget;
    body->setContentsMargins(kSide, 0, kSide, 0);
    bodyWidget->setLayout(body);
    d->bodyScroll = new SheetBody(this);
    d->bodyScroll->setWidget(bodyWidget);
    bodyWidget->setAutoFillBackground(false);
    root->addWidget(d->bodyScroll);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(kSide, 0, kSide, 0);
    d->cancel = new QPushButton(QStringLiteral("Annuler"), this);
    d->cancel->setAutoDefault(false);
    d->cancel->setObjectName(QStringLiteral("cancelButton"));
    d->confirm = new QPushButton(texts.confirmLabel, this);
    d->confirm->setAutoDefault(false);
    d->confirm->setDefault(true);
    d->confirm->setObjectName(QStringLiteral("confirmButton"));
    buttons->addWidget(d->cancel);
    buttons->addStretch(1);
    buttons->addWidget(d->confirm);
    root->addLayout(buttons);

    connect(d->cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(d->confirm, &QPushButton::clicked, this, &ColorIconSheet::onConfirm);
    connect(&services.theme, &ThemeManager::appearanceChanged, this, [this] { update(); });
}

ColorIconSheet::~ColorIconSheet() = default;

void ColorIconSheet::openAsSheet() {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    open();
}

QString ColorIconSheet::selectedIcon() const { return d->icon; }
QString ColorIconSheet::selectedColorKey() const { return d->key; }
std::optional<QString> ColorIconSheet::selectedColorHex() const { return d->hex; }
QColor ColorIconSheet::customColor() const { return d->custom; }
ProjectEdits::Look ColorIconSheet::pickedLook() const { return {d->icon, OptText(d->key), d->hex}; }
QColor ColorIconSheet::accentColor() const { return displayColor(d->key, d->hex); }
const QStringList& ColorIconSheet::iconChoices() const { return d->icons; }
bool ColorIconSheet::isSwatchSelected(const QString& key) const { return !d->hex && d->key == key; }
QPushButton* ColorIconSheet::confirmButton() const { return d->confirm; }
QPushButton* ColorIconSheet::cancelButton() const { return d->cancel; }
void ColorIconSheet::addFieldRow(const QString& label, QWidget* field) { d->form->addRow(label, field); }
bool ColorIconSheet::canConfirm() const { return !lists::trimmed(requiredText()).isEmpty(); }

void ColorIconSheet::selectColorKey(const QString& key) {
    d->key = key;
    d->hex.reset();
    // Showing the swatch's colour in the picker is not a pick.
    d->custom = colorForKey(key);
    fieldsChanged();
}

void ColorIconSheet::customColorChanged(const QColor& color) {
    d->hex = toHex(color);
    fieldsChanged();
}

void ColorIconSheet::selectIcon(const QString& name) {
    d->icon = name;
    fieldsChanged();
}

void ColorIconSheet::pickCustomColor() {
    std::optional<QColor> picked;
    if (pickerSeam()) {
        picked = pickerSeam()(d->custom, this);
    } else {
        const QColor c = QColorDialog::getColor(d->custom, this, QString());
        if (c.isValid())
            picked = c;
    }
    if (!picked || !picked->isValid())
        return;
    // Picked colours are opaque.
    QColor c = *picked;
    c.setAlphaF(1);
    d->custom = c;
    customColorChanged(c);
}

void ColorIconSheet::setInitialColors(const QString& key, const std::optional<QString>& hex) {
    d->key = key;
    d->hex = hex;
    const auto parsed = hex ? colorFromHex(*hex) : std::nullopt;
    d->custom = parsed ? *parsed : colorForKey(key);
    fieldsChanged();
}

void ColorIconSheet::setInitialIcon(const QString& icon) {
    d->icon = icon;
    fieldsChanged();
}

void ColorIconSheet::fieldsChanged() {
    d->confirm->setEnabled(canConfirm());
    // A screen reader hears which swatch and which icon are picked.
    QAbstractButton* firstOf[2] = {nullptr, nullptr};
    bool anyChosen[2] = {false, false};
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        const QString name = b->objectName();
        bool selected = false;
        int group = 0;
        if (name.startsWith(QLatin1String("swatch-"))) {
            selected = isSwatchSelected(name.mid(7));
        } else if (name.startsWith(QLatin1String("icon-"))) {
            selected = d->icon == name.mid(5);
            group = 1;
        } else {
            continue;
        }
        const QString description = selected ? QStringLiteral("Sélectionné") : QString();
        if (b->accessibleDescription() != description)
            b->setAccessibleDescription(description);
        if (b->isChecked() != selected) {
            // An exclusive group keeps its checked button: a free colour unchecks every swatch.
            b->setAutoExclusive(selected);
            b->setChecked(selected);
            b->setAutoExclusive(true);
        }
        // Tab stops once in each group, on its chosen one (on its first while none is: a free colour).
        b->setFocusPolicy(selected ? Qt::TabFocus : Qt::NoFocus);
        anyChosen[group] = anyChosen[group] || selected;
        if (!firstOf[group])
            firstOf[group] = b;
    }
    for (int group = 0; group < 2; ++group)
        if (!anyChosen[group] && firstOf[group])
            firstOf[group]->setFocusPolicy(Qt::TabFocus);
    d->preview->first->setText(previewFirstLine());
    d->preview->second->setText(previewSecondLine());
    d->customTag->setVisible(d->hex.has_value());
    update();
}

void ColorIconSheet::onConfirm() {
    if (!canConfirm())
        return;
    confirm();
    accept();
}

void ColorIconSheet::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            // Return belongs to the confirm button only, and only while it is enabled.
            onConfirm();
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            reject();
            event->accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void ColorIconSheet::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        update();
}

void ColorIconSheet::showEvent(QShowEvent* event) {
    fieldsChanged();
    QDialog::showEvent(event);
    // Fixed width, height from the content, but never taller than the window it covers.
    Sheets::fit(this, d->bodyScroll);
}
