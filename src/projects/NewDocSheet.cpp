#include "projects/NewDocSheet.h"

#include "core/model/Clock.h"
#include "core/model/SwiftDataContainer.h"

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
    : DocFieldsSheet({QStringLiteral("Nouveau document"), QStringLiteral("Créez un document pour ce projet."),
                      QStringLiteral("Créer"), 0},
                     docIconChoices(), QString(), DocStatus::inProgress, parent),
      m_project(std::move(project)) {
    setInitialIcon(QStringLiteral("doc.text.fill"));
    setInitialColors(QStringLiteral("blue"), std::nullopt);
}

void NewDocSheet::showEvent(QShowEvent* event) {
    applyProjectDefaults();
    DocFieldsSheet::showEvent(event);
}

void NewDocSheet::applyProjectDefaults() {
    if (m_didInitDefaults || !m_project)
        return;
    m_didInitDefaults = true;
    // Setting the picker's colour here is not a pick: the project's own hex (or none) is kept.
    setInitialColors(m_project->colorKey().value_or(QStringLiteral("blue")), m_project->colorHex());
}

void NewDocSheet::confirm() {
    if (!m_project)
        return;
    const QDateTime createdAt = Clock::now();
    const QDateTime updatedAt = Clock::now();
    auto doc = std::make_shared<Doc>(QUuid::createUuid(), pickedTitle(), DocStatusInfo::rawValue(status()),
                                     selectedIcon(), OptText(selectedColorKey()), selectedColorHex(), createdAt,
                                     updatedAt, std::nullopt, m_project);
    const QDateTime projectStamp = Clock::now();
    // Inserting links the document into the project's list; the stamp then makes the project's
    // documents screen reload, and it reloads at once, so the document must already be listed.
    ModelContext& ctx = modelContext();
    ctx.insert(doc);
    m_project->setUpdatedAt(projectStamp);
    ctx.save();   // a failure stays pending in the context, which logs it
    m_created = doc;
}
