#include "checklists/NewChecklistSheet.h"

#include "checklists/ChecklistEdits.h"
#include "ui/BoundedText.h"
#include "ui/Boxes.h"
#include "ui/Components.h"
#include "ui/Fonts.h"
#include "ui/KeyboardFocus.h"
#include "ui/Paint.h"
#include "ui/Palette.h"
#include "ui/lists/ListWidgets.h"
#include "ui/lists/Paging.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QAbstractItemView>
#include <QVBoxLayout>

namespace {

// A frameless line edit on a rounded field: screen background at 0.75, separator outline at 0.3.
class FieldBox : public QWidget {
public:
    FieldBox(const QString& placeholder, QWidget* parent) : QWidget(parent) {
        auto* l = new QHBoxLayout(this);
        l->setContentsMargins(12, 10, 12, 10);
        edit = new QLineEdit(this);
        edit->setFrame(false);
        edit->setPlaceholderText(placeholder);
        edit->setAccessibleName(QStringLiteral("Nom"));
        edit->setAccessibleDescription(placeholder);
        edit->setFont(Fonts::rounded(13));
        QPalette pal = edit->palette();
        pal.setColor(QPalette::Base, Qt::transparent);
        edit->setPalette(pal);
        l->addWidget(edit);
        setFocusProxy(edit);
        repaintOnFocusChange(this, edit);
    }
    QLineEdit* edit;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Paint::fillRoundedRect(p, QRectF(rect()), 12, withOpacity(AppPalette::screenBackground(), 0.75));
        Paint::fieldOutline(p, QRectF(rect()), 12, edit->hasFocus());
        QPalette pal = edit->palette();
        if (pal.color(QPalette::Text) != AppPalette::primaryText()) {
            pal.setColor(QPalette::Text, AppPalette::primaryText());
            edit->setPalette(pal);
        }
    }
};

// A plain text button in the secondary text colour ("Annuler").
class TextButton : public QAbstractButton {
public:
    TextButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
        setText(text);
        setAccessibleName(text);
        setFont(Fonts::rounded(13));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
    }
    QSize sizeHint() const override {
        const QFontMetrics fm(font());
        return {fm.horizontalAdvance(text()) + 8, fm.height() + 8};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setOpacity(isDown() ? 0.6 : 1);
        p.setFont(font());
        p.setPen(AppPalette::secondaryText());
        p.drawText(rect(), Qt::AlignCenter, text());
        // The ring only after keyboard navigation, as on every other control.
        if (KeyboardFocus::showsRing(this))
            Paint::focusRing(p, QRectF(rect()), 6);
    }
};

// The project picker: a long project name is cut in its list, which stays as wide as the picker
// instead of running across the screen.
class ProjectPicker : public QComboBox {
public:
    explicit ProjectPicker(QWidget* parent) : QComboBox(parent) { view()->setTextElideMode(Qt::ElideRight); }
    void showPopup() override {
        QComboBox::showPopup();
        QWidget* popup = view()->window();
        if (popup && popup != window() && popup->width() > width())
            popup->setGeometry(mapToGlobal(QPoint(0, 0)).x(), popup->y(), width(), popup->height());
    }

protected:
    // The chosen name is cut with an ellipsis, as in the list, not in the middle of a glyph.
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        painter.setPen(palette().color(QPalette::Text));
        QStyleOptionComboBox opt;
        initStyleOption(&opt);
        painter.drawComplexControl(QStyle::CC_ComboBox, opt);
        // The label is drawn a pixel inside each side of the edit field.
        const int room =
            style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this).width() - 2;
        opt.currentText = BoundedText::withoutBlankBeforeEllipsis(
            fontMetrics().elidedText(BoundedText::bounded(opt.currentText), Qt::ElideRight, room));
        painter.drawControl(QStyle::CE_ComboBoxLabel, opt);
    }
};

lists::ClampedText* label(const QString& text, QWidget* parent) {
    auto* l = new lists::ClampedText(
        Fonts::rounded(12, 600), [] { return AppPalette::secondaryText(); }, 1, parent);
    l->setText(text);
    return l;
}

} // namespace

NewChecklistSheet::NewChecklistSheet(const Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setWindowTitle(QStringLiteral("Nouvelle checklist"));
    auto* outer = new QVBoxLayout(this);
    const QMargins s = AppCard::shadowMargins();
    outer->setContentsMargins(18 - s.left(), 18 - s.top(), 18 - s.right(), 18 - s.bottom());

    auto* content = new QWidget;
    content->setFixedWidth(520 - 2 * AppCard::padding);
    auto* col = Boxes::column(content, 14, QMargins(4, 4, 4, 4));

    auto* title = new lists::ClampedText(
        Fonts::rounded(16, 600), [] { return AppPalette::primaryText(); }, 0, content);
    title->setText(QStringLiteral("Nouvelle checklist"));
    col->addWidget(title);

    auto* nameSection = Boxes::column(nullptr, 8);
    nameSection->addWidget(label(QStringLiteral("Nom"), content));
    auto* field = new FieldBox(QStringLiteral("Ex : Checklist Production"), content);
    m_name = field->edit;
    nameSection->addWidget(field);
    col->addLayout(nameSection);

    auto* projectSection = Boxes::column(nullptr, 8);
    projectSection->addWidget(label(QStringLiteral("Projet (optionnel)"), content));
    m_picker = new ProjectPicker(content);
    // As wide as its longest project name, up to the width of the name field.
    m_picker->setMaximumWidth(content->width() - 8);
    m_picker->setAccessibleName(QStringLiteral("Projet"));
    m_picker->setFont(Fonts::rounded(13));
    projectSection->addWidget(m_picker, 0, Qt::AlignLeft);
    col->addLayout(projectSection);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 4, 0, 0);
    m_cancel = new TextButton(QStringLiteral("Annuler"), content);
    m_create = new PrimaryButton(QStringLiteral("Créer"), QStringLiteral("checkmark"), content);
    m_create->setEnabled(false);
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_create);
    col->addLayout(buttons);

    outer->addWidget(new AppCard(content, this));
    setFixedSize(sizeHint());

    // Typed, pasted or set through accessibility alike.
    connect(m_name, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_create->setEnabled(!lists::trimmed(text).isEmpty()); });
    connect(m_cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(m_create, &QAbstractButton::clicked, this, &NewChecklistSheet::create);

    m_projects =
        std::make_unique<LiveQuery<Project>>(services.context,
                                             SortDescriptor<Project>(&Project::updatedAt, SortOrder::reverse), this);
    connect(m_projects.get(), &LiveQueryBase::changed, this, &NewChecklistSheet::fillPicker);
    fillPicker();
    m_name->setFocus();
}

NewChecklistSheet::~NewChecklistSheet() = default;

std::vector<ProjectPtr> NewChecklistSheet::activeProjects() const {
    std::vector<ProjectPtr> out;
    for (const ProjectPtr& p : m_projects->results())
        if (!p->deletedAt())
            out.push_back(p);
    return out;
}

void NewChecklistSheet::fillPicker() {
    // The choice follows the project's id, whatever its name or place.
    const QString chosen = m_picker->currentData().toString();
    m_picker->blockSignals(true);
    m_picker->clear();
    m_picker->addItem(QStringLiteral("Aucun (globale)"), QString());
    for (const ProjectPtr& p : activeProjects())
        m_picker->addItem(p->name(), p->id().toString());
    const int index = m_picker->findData(chosen);
    m_picker->setCurrentIndex(index < 0 ? 0 : index);
    m_picker->blockSignals(false);
}

void NewChecklistSheet::create() {
    const QString name = lists::trimmed(m_name->text());
    if (name.isEmpty())
        return;
    const QString chosen = m_picker->currentData().toString();
    ProjectPtr project;
    if (!chosen.isEmpty())
        for (const ProjectPtr& p : activeProjects())
            if (p->id().toString() == chosen) {
                project = p;
                break;
            }
    m_created = ChecklistEdits(m_services.context).createChecklist(name, project);
    // Closed after the save, whether it succeeded or not (a failed save stays pending in the store).
    accept();
}

void NewChecklistSheet::keyPressEvent(QKeyEvent* event) {
    // Return only ends editing; it creates nothing.
    if (!Sheets::swallowReturn(event))
        QDialog::keyPressEvent(event);
}

void NewChecklistSheet::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::screenBackground());
}
