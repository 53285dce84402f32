#include "projects/NewDocSheet.h"

#include <QLineEdit>

const QStringList& NewDocSheet::docIconChoices() {
    static const QStringList icons{"doc.text.fill",
                                   "doc.plaintext",
                                   "doc.richtext",
                                   "doc.append",
                                   "doc.text.magnifyingglass",
                                   "note.text",
                                   "list.bullet.rectangle",
                                   "checklist",
                                   "folder.fill",
                                   "tray.full.fill",
                                   "archivebox.fill",
                                   "calendar",
                                   "clock.fill",
                                   "lock.fill",
                                   "key.fill",
                                   "shield.fill",
                                   "checkmark.shield.fill",
                                   "terminal.fill",
                                   "curlybraces",
                                   "chevron.left.forwardslash.chevron.right",
                                   "hammer.fill",
                                   "wrench.and.screwdriver.fill",
                                   "globe",
                                   "link",
                                   "icloud.fill",
                                   "network",
                                   "server.rack",
                                   "photo.fill",
                                   "camera.fill",
                                   "mic.fill",
                                   "video.fill",
                                   "briefcase.fill",
                                   "building.2.fill",
                                   "chart.bar.fill",
                                   "chart.line.uptrend.xyaxis",
                                   "tag.fill",
                                   "bookmark.fill",
                                   "flag.fill",
                                   "star.fill",
                                   "sparkles",
                                   "bolt.fill"};
    return icons;
}

NewDocSheet::NewDocSheet(const Services& services, ProjectPtr project, QWidget* parent)
    : DocFieldsSheet(services,
                     {QStringLiteral("Nouveau document"), QStringLiteral("Créez un document pour ce projet."),
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
    m_created = edits().createDoc(m_project, titleField()->text(), status(), pickedLook());
}
