#include "projects/NewDocSheet.h"

#include "model/Clock.h"
#include "model/SwiftDataContainer.h"
#include "projects/SheetFields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

const QStringList& NewDocSheet::docIconChoices() {
    static const QStringList icons{
        "doc.text.fill", "doc.plaintext", "doc.richtext", "doc.append", "doc.text.magnifyingglass",
        "note.text", "list.bullet.rectangle", "checklist", "folder.fill", "tray.full.fill",
        "archivebox.fill", "calendar", "clock.fill", "lock.fill", "key.fill",
        "shield.fill", "checkmark.shield.fill", "terminal.fill", "curlybraces",
        "chevron.left.forwardslash.chevron.right",
        "hammer.fill", "wrench.and.screwdriver.fill", "globe", "link", "icloud.fill",
        "network", "server.rack", "photo.fill", "camera.fill", "mic.fill",
        "video.fill", "briefcase.fill", "building.2.fill", "chart.bar.fill", "chart.line.uptrend.xyaxis",
        "tag.fill", "bookmark.fill", "flag.fill", "star.fill", "sparkles", "bolt.fill"};
    return icons;
}

NewDocSheet::NewDocSheet(ProjectPtr project, QWidget* parent)
    : ColorIconSheet({QStringLiteral("Nouveau document"), QStringLiteral("Créez un document pour ce projet."),
                      QStringLiteral("Créer"), 0},
                     docIconChoices(), parent),
      m_project(std::move(project)) {
    m_title = new QLineEdit(this);
    m_title->setObjectName(QStringLiteral("titleField"));
    m_status = projectsui::makeStatusPicker(DocStatus::inProgress, this);
    m_status->setObjectName(QStringLiteral("statusField"));
    fieldsLayout()->addRow(QStringLiteral("Titre"), m_title);
    fieldsLayout()->addRow(QStringLiteral("Statut"), m_status);
    connect(m_title, &QLineEdit::textChanged, this, [this] { fieldsChanged(); });
    connect(m_status, &QComboBox::currentIndexChanged, this, [this] { fieldsChanged(); });
    setInitialIcon(QStringLiteral("doc.text.fill"));
    setInitialColors(QStringLiteral("blue"), std::nullopt);
    m_title->setFocus();
}

DocStatus NewDocSheet::status() const { return projectsui::pickedStatus(m_status); }

void NewDocSheet::showEvent(QShowEvent* event) {
    applyProjectDefaults();
    ColorIconSheet::showEvent(event);
}

void NewDocSheet::applyProjectDefaults() {
    if (m_didInitDefaults || !m_project)
        return;
    m_didInitDefaults = true;
    // Setting the picker's colour here is not a pick: the project's own hex (or none) is kept.
    setInitialColors(m_project->colorKey().value_or(QStringLiteral("blue")), m_project->colorHex());
}

QString NewDocSheet::requiredText() const { return m_title->text(); }

QString NewDocSheet::previewFirstLine() const {
    return trimmedText(m_title->text()).isEmpty() ? QStringLiteral("Titre du document") : m_title->text();
}

QString NewDocSheet::previewSecondLine() const { return projectsui::statusLabel(status()); }

void NewDocSheet::confirm() {
    if (!m_project)
        return;
    const QString title = trimmedText(m_title->text());
    const QDateTime createdAt = Clock::now();
    const QDateTime updatedAt = Clock::now();
    auto doc = std::make_shared<Doc>(QUuid::createUuid(), title, DocStatusInfo::rawValue(status()), selectedIcon(),
                                     OptText(selectedColorKey()), selectedColorHex(), createdAt, updatedAt,
                                     std::nullopt, m_project);
    // The stamp makes the project's documents screen list the new document.
    m_project->setUpdatedAt(Clock::now());
    ModelContext& ctx = modelContext();
    ctx.insert(doc);
    ctx.save();   // a failure stays pending in the context, which logs it
    m_created = doc;
}
