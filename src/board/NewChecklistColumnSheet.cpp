#include "board/NewChecklistColumnSheet.h"

#include "board/BoardDrag.h"
#include "board/BoardWidgets.h"
#include "checklists/ChecklistEdits.h"
#include "services/Services.h"
#include "ui/Boxes.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/KeyboardFocus.h"
#include "ui/Symbols.h"

#include <QAbstractButton>
#include <QHash>
#include <QSignalBlocker>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

#include <functional>

namespace {

constexpr int kSheetWidth = 720;

// A frameless field on a rounded or capsule background.
class FieldFrame : public QWidget {
public:
    FieldFrame(QWidget* inner, QMargins pad, bool capsule, QWidget* leading = nullptr)
        : m_inner(inner), m_capsule(capsule) {
        auto* l = Boxes::row(this, 10, pad);
        if (leading)
            l->addWidget(leading);
        l->addWidget(inner);
        repaintOnFocusChange(this, inner);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (m_capsule)
            Paint::fillCapsule(p, r, withOpacity(AppPalette::tintedBackground(), 0.55));
        else
            Paint::fillRoundedRect(p, r, 12, AppPalette::cardBackground());
        Paint::fieldOutline(p, QRectF(rect()), m_capsule ? height() / 2.0 : 12, m_inner->hasFocus());
    }

private:
    QWidget* m_inner;
    bool m_capsule;
};

// Painted by a function, at a fixed size (preview tile, swatch).
class Painted : public QWidget {
public:
    Painted(QSize size, std::function<void(QPainter&, QRectF)> paint) : m_paint(std::move(paint)) {
        setFixedSize(size);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        m_paint(p, QRectF(rect()));
    }

private:
    std::function<void(QPainter&, QRectF)> m_paint;
};

// A button drawn by a function, sized by its content.
class PaintedButton : public QAbstractButton {
public:
    PaintedButton(QSize size, std::function<void(QPainter&, const PaintedButton&)> paint) : m_paint(std::move(paint)) {
        setFixedSize(size);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_Hover);
    }
    bool hovered() const { return underMouse(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        m_paint(p, *this);
        if (KeyboardFocus::showsRing(this))
            Paint::focusRing(p, QRectF(rect()), 12);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            click();
            return;
        }
        QAbstractButton::keyPressEvent(e);
    }
    void enterEvent(QEnterEvent* e) override {
        QAbstractButton::enterEvent(e);
        update();
    }
    void leaveEvent(QEvent* e) override {
        QAbstractButton::leaveEvent(e);
        update();
    }

private:
    std::function<void(QPainter&, const PaintedButton&)> m_paint;
};

// French names of the symbols, for assistive technology and help.
QString iconLabel(const QString& icon) {
    static const QHash<QString, QString> labels{
        {"square.stack.3d.up", "Pile"},  {"checkmark.seal", "Sceau validé"},
        {"square.and.pencil", "Crayon"}, {"bolt.fill", "Éclair"},
        {"ladybug.fill", "Coccinelle"},  {"wrench.and.screwdriver.fill", "Outils"},
        {"shippingbox.fill", "Colis"},   {"sparkles", "Étincelles"},
        {"flag.fill", "Drapeau"},        {"exclamationmark.triangle.fill", "Alerte"}};
    return labels.value(icon, icon);
}

} // namespace

const QStringList& NewChecklistColumnSheet::iconChoices() {
    static const QStringList icons{"square.stack.3d.up", "checkmark.seal",
                                   "square.and.pencil",  "bolt.fill",
                                   "ladybug.fill",       "wrench.and.screwdriver.fill",
                                   "shippingbox.fill",   "sparkles",
                                   "flag.fill",          "exclamationmark.triangle.fill"};
    return icons;
}

const std::vector<std::pair<QString, QString>>& NewChecklistColumnSheet::presetColors() {
    static const std::vector<std::pair<QString, QString>> colors{{"blue", "Bleu"},     {"pink", "Rose"},
                                                                 {"orange", "Orange"}, {"green", "Vert"},
                                                                 {"purple", "Violet"}, {"gray", "Gris"}};
    return colors;
}

NewChecklistColumnSheet::NewChecklistColumnSheet(const Services& services, ChecklistPtr checklist,
                                                 ChecklistColumnPtr editingColumn, QWidget* parent)
    : QDialog(parent),
      m_services(services),
      m_checklist(std::move(checklist)),
      m_editingColumn(std::move(editingColumn)),
      m_selectedIcon(QStringLiteral("square.stack.3d.up")) {
    setWindowTitle(isEditing() ? QStringLiteral("Modifier la colonne") : QStringLiteral("Nouvelle colonne"));
    setFixedWidth(kSheetWidth);
    BoardDrag::refuseInTextFields();

    auto* root = Boxes::column(this, 0, QMargins());

    // Header.
    auto* header = Boxes::row(nullptr, 12, QMargins(18, 18, 18, 18));
    auto* titles = Boxes::column(nullptr, 4);
    m_title = new TintLabel(windowTitle(), TintLabel::primary, Fonts::rounded(18, 600));
    titles->addWidget(m_title);
    titles->addWidget(new TintLabel(QStringLiteral("Couleur et icone personnalisables"), TintLabel::secondary,
                                    Fonts::rounded(12, 400)));
    header->addLayout(titles);
    header->addStretch(1);
    auto* close = new PaintedButton(QSize(32, 32), [](QPainter& p, const PaintedButton&) {
        Paint::fillEllipse(p, QRectF(0, 0, 32, 32), withOpacity(AppPalette::tintedBackground(), 0.55));
        Symbols::paint(p, QRectF(10, 10, 12, 12), QStringLiteral("xmark"), AppPalette::secondaryText());
    });
    close->setToolTip(QStringLiteral("Fermer"));
    close->setAccessibleName(QStringLiteral("Fermer"));
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    m_close = close;
    header->addWidget(close);
    root->addLayout(header);

    // Form.
    auto* form = Boxes::column(nullptr, 14, QMargins(18, 0, 18, 18));
    auto sectionLabel = [](const QString& text) {
        return new TintLabel(text, TintLabel::secondary, Fonts::rounded(12, 600));
    };

    auto* preview = Boxes::row(nullptr, 14);
    auto* tile = new Painted(QSize(52, 52), [this](QPainter& p, QRectF r) {
        const QColor c = displayColor();
        Paint::fillRoundedRect(p, r, 14, withOpacity(c, 0.18));
        Paint::strokeRoundedRect(p, r, 14, withOpacity(c, 0.25));
        Symbols::paint(p, QRectF(r.center().x() - 9, r.center().y() - 9, 18, 18), m_selectedIcon, c);
    });
    m_colored.push_back(tile);
    preview->addWidget(tile);
    auto* previewTexts = Boxes::column(nullptr, 2);
    previewTexts->addWidget(
        new TintLabel(QStringLiteral("Nom de la colonne"), TintLabel::primary, Fonts::rounded(13, 600)));
    previewTexts->addWidget(
        new TintLabel(QStringLiteral("Titre, icone, couleur"), TintLabel::secondary, Fonts::rounded(12, 400)));
    preview->addLayout(previewTexts);
    preview->addStretch(1);
    form->addLayout(preview);

    auto* nameSection = Boxes::column(nullptr, 8);
    auto* nameLabel = sectionLabel(QStringLiteral("Nom"));
    nameSection->addWidget(nameLabel);
    m_nameField = new QLineEdit;
    m_nameField->setFrame(false);
    m_nameField->setFont(Fonts::rounded(13, 400));
    m_nameField->setPlaceholderText(QStringLiteral("Ex : En review, QA, A valider..."));
    m_nameField->setAccessibleName(QStringLiteral("Nom"));
    m_nameField->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    nameLabel->setBuddy(m_nameField);
    nameSection->addWidget(new FieldFrame(m_nameField, QMargins(12, 12, 12, 12), false));
    form->addLayout(nameSection);

    auto* iconSection = Boxes::column(nullptr, 10);
    iconSection->addWidget(sectionLabel(QStringLiteral("Icone")));
    auto* icons = Boxes::row(nullptr, 10);
    for (const QString& icon : iconChoices()) {
        auto* b = new PaintedButton(QSize(44, 40), [this, icon](QPainter& p, const PaintedButton& self) {
            const bool selected = icon == m_selectedIcon;
            const QColor c = displayColor();
            const QRectF r = QRectF(self.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
            Paint::fillRoundedRect(p, r, 12,
                                   selected ? withOpacity(c, 0.18) : withOpacity(AppPalette::tintedBackground(), 0.55));
            Paint::strokeRoundedRect(p, r, 12,
                                     selected ? withOpacity(c, 0.35)
                                              : withOpacity(AppPalette::separator(), self.hovered() ? 0.35 : 0.18));
            Symbols::paint(p, QRectF(r.center().x() - 7, r.center().y() - 7, 14, 14), icon,
                           selected ? c : AppPalette::secondaryText());
        });
        b->setText(iconLabel(icon));
        b->setToolTip(iconLabel(icon));
        b->setAccessibleName(iconLabel(icon));
        b->setCheckable(true);
        b->setProperty("symbol", icon);
        connect(b, &QAbstractButton::clicked, this, [this, icon] { selectIcon(icon); });
        m_iconButtons.push_back(b);
        m_colored.push_back(b);
        icons->addWidget(b);
    }
    icons->addStretch(1);
    iconSection->addLayout(icons);
    form->addLayout(iconSection);

    auto* colorSection = Boxes::column(nullptr, 10);
    colorSection->addWidget(sectionLabel(QStringLiteral("Couleur")));
    auto* colors = Boxes::row(nullptr, 10);
    const QFont chipFont = Fonts::rounded(12, 600);
    for (const auto& [key, label] : presetColors()) {
        const QSize size(12 + 8 + 8 + QFontMetrics(chipFont).horizontalAdvance(label) + 12,
                         QFontMetrics(chipFont).height() + 18);
        auto* chip =
            new PaintedButton(size, [this, key = key, label = label, chipFont](QPainter& p, const PaintedButton& self) {
                const bool selected = isChipSelected(key);
                const QColor c = colorForKey(key);
                const QRectF r = QRectF(self.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
                Paint::fillCapsule(p, r,
                                   selected ? withOpacity(c, 0.14) : withOpacity(AppPalette::tintedBackground(), 0.55));
                Paint::strokeCapsule(p, r,
                                     selected ? withOpacity(c, 0.35) : withOpacity(AppPalette::separator(), 0.18));
                Paint::fillEllipse(p, QRectF(12, r.center().y() - 4, 8, 8), c);
                p.setFont(chipFont);
                p.setPen(AppPalette::primaryText());
                p.drawText(QRectF(28, 0, r.width() - 28, r.height()), Qt::AlignVCenter | Qt::AlignLeft, label);
            });
        chip->setText(label);
        chip->setAccessibleName(label);
        chip->setCheckable(true);
        chip->setProperty("colorKey", key);
        connect(chip, &QAbstractButton::clicked, this, [this, key = key] { selectColorKey(key); });
        m_chips.push_back(chip);
        colors->addWidget(chip);
    }
    auto* swatch = new Painted(QSize(44, 28), [this](QPainter& p, QRectF r) {
        const QColor c = displayColor();
        Paint::fillRoundedRect(p, r.adjusted(0.5, 0.5, -0.5, -0.5), 12, withOpacity(c, 0.18));
        Paint::strokeRoundedRect(p, r.adjusted(0.5, 0.5, -0.5, -0.5), 12, withOpacity(c, 0.25));
    });
    m_colored.push_back(swatch);
    m_hexField = new QLineEdit;
    m_hexField->setFrame(false);
    m_hexField->setFont(chipFont);
    m_hexField->setFixedWidth(92);
    m_hexField->setPlaceholderText(QStringLiteral("#RRGGBB"));
    m_hexField->setAccessibleName(QStringLiteral("Couleur hexadécimale"));
    m_hexField->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    connect(m_hexField, &QLineEdit::textChanged, this, &NewChecklistColumnSheet::setHexText);
    colors->addWidget(new FieldFrame(m_hexField, QMargins(12, 7, 12, 7), true, swatch));
    colors->addStretch(1);
    colorSection->addLayout(colors);
    form->addLayout(colorSection);
    form->addStretch(0);
    root->addLayout(form);

    // Footer.
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(18, 18, 18, 18);
    footer->addStretch(1);
    auto* cancel = new PaintedButton(QSize(QFontMetrics(Fonts::rounded(13, 500)).horizontalAdvance("Annuler") + 20, 34),
                                     [](QPainter& p, const PaintedButton& self) {
                                         p.setFont(Fonts::rounded(13, 500));
                                         p.setPen(AppPalette::secondaryText());
                                         p.drawText(self.rect(), Qt::AlignCenter, self.text());
                                     });
    cancel->setText(QStringLiteral("Annuler"));
    cancel->setAccessibleName(QStringLiteral("Annuler"));
    connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    m_cancel = cancel;
    footer->addWidget(cancel);
    m_confirm = new PrimaryButton(isEditing() ? QStringLiteral("Enregistrer") : QStringLiteral("Creer"),
                                  QStringLiteral("checkmark"));
    m_confirm->setAccessibleName(m_confirm->title());
    connect(m_confirm, &QAbstractButton::clicked, this, [this] { save(); });
    footer->addWidget(m_confirm);
    root->addLayout(footer);

    // The form starts from the column, or from the checklist's colour for a new one.
    if (m_editingColumn) {
        m_nameField->setText(m_editingColumn->name());
        m_selectedIcon = m_editingColumn->iconName();
        m_selectedColorKey = m_editingColumn->colorKey();
        m_selectedColorHex = m_editingColumn->colorHex();
    } else {
        m_selectedColorKey = m_checklist->colorKey();
        m_selectedColorHex = m_checklist->colorHex();
    }
    {
        const QSignalBlocker block(m_hexField);
        m_hexField->setText(m_selectedColorHex.value_or(QString()));
    }
    connect(m_nameField, &QLineEdit::textChanged, this, &NewChecklistColumnSheet::refresh);
    refresh();
    adjustSize();
}

QString NewChecklistColumnSheet::name() const { return m_nameField->text(); }
QString NewChecklistColumnSheet::titleText() const { return m_title->text(); }

QColor NewChecklistColumnSheet::displayColor() const {
    if (m_selectedColorHex)
        if (auto c = colorFromHex(*m_selectedColorHex))
            return *c;
    return colorForKey(m_selectedColorKey);
}

bool NewChecklistColumnSheet::isChipSelected(const QString& key) const {
    return m_selectedColorKey == key && !m_selectedColorHex;
}

QAbstractButton* NewChecklistColumnSheet::iconButton(const QString& icon) const {
    for (auto* b : m_iconButtons)
        if (b->property("symbol").toString() == icon)
            return b;
    return nullptr;
}

QAbstractButton* NewChecklistColumnSheet::chipButton(const QString& key) const {
    for (auto* b : m_chips)
        if (b->property("colorKey").toString() == key)
            return b;
    return nullptr;
}

void NewChecklistColumnSheet::selectIcon(const QString& icon) {
    m_selectedIcon = icon;
    refresh();
}

void NewChecklistColumnSheet::selectColorKey(const QString& key) {
    m_selectedColorKey = key;
    m_selectedColorHex.reset();
    const QSignalBlocker block(m_hexField);
    m_hexField->clear();
    refresh();
}

void NewChecklistColumnSheet::setHexText(const QString& text) {
    const QString t = text.trimmed();
    m_selectedColorHex = t.isEmpty() ? OptText() : OptText(t);
    if (m_selectedColorHex)
        m_selectedColorKey.reset();
    refresh();
}

void NewChecklistColumnSheet::refresh() {
    m_confirm->setEnabled(!m_nameField->text().trimmed().isEmpty());
    for (auto* b : m_iconButtons)
        b->setChecked(b->property("symbol").toString() == m_selectedIcon);
    for (auto* c : m_chips)
        c->setChecked(isChipSelected(c->property("colorKey").toString()));
    for (auto* w : m_colored)
        w->update();
    for (auto* c : m_chips)
        c->update();
}

bool NewChecklistColumnSheet::save() {
    if (m_nameField->text().trimmed().isEmpty())
        return false;
    ChecklistEdits edits(m_services.context);
    const ColumnFields fields{m_nameField->text(), m_selectedIcon, m_selectedColorKey, m_selectedColorHex};
    if (m_editingColumn)
        edits.editColumn(m_checklist, m_editingColumn, fields);
    else
        edits.createColumn(m_checklist, fields);
    accept(); // closes after a failed save too: the change stays pending in the store
    return true;
}

void NewChecklistColumnSheet::keyPressEvent(QKeyEvent* event) {
    // Return in a field only ends editing; no button is the default.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* w = focusWidget(); qobject_cast<QLineEdit*>(w))
            w->clearFocus();
        return;
    }
    QDialog::keyPressEvent(event);
}

void NewChecklistColumnSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_nameField->setFocus(Qt::OtherFocusReason); // typing starts with the name
}

void NewChecklistColumnSheet::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::screenBackground());
}
