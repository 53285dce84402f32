#include "support/TestServices.h"

#include "cardsheet/AttachmentJobs.h"
#include "richtext/SpellChecker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <gtest/gtest.h>

namespace testsupport {

SpellDictionary& testDictionary() {
    // Made with the application object and destroyed with it (its worker included).
    static QPointer<SpellDictionary> dictionary;
    if (!dictionary)
        dictionary = new SpellDictionary(SpellDictionary::defaultSearchPaths(), QCoreApplication::instance());
    return *dictionary;
}

TestServices::TestServices(QDateTime base) : m_base(std::move(base)) {
    m_prefs = std::make_unique<Preferences>(m_dir.path() + "/prefs.conf");
    m_previousPrefs = &Preferences::shared();
    Preferences::setShared(m_prefs.get());
    QString err;
    m_container = openModelContainer(storePath(), &err);
    if (!m_container)
        ADD_FAILURE() << "store: " << err.toStdString();
    m_theme = std::make_unique<ThemeManager>(m_prefs.get());
    m_profile = std::make_unique<UserPreferencesStore>(*m_prefs);
    m_attachments = std::make_unique<AttachmentImports>();
    m_thumbnails = std::make_unique<ThumbnailCache>();
    m_services.reset(new Services{m_container->mainContext(), *m_prefs, *m_theme, *m_profile, testDictionary(),
                                  *m_attachments, *m_thumbnails});
    Clock::setNowForTesting([this] { return m_base.addSecs(++m_ticks); });
}

TestServices::~TestServices() {
    flushEvents();
    Clock::setNowForTesting({});
    m_services.reset();
    m_thumbnails.reset();
    m_attachments.reset();
    m_profile.reset();
    m_theme.reset();
    m_container.reset();
    Preferences::setShared(m_previousPrefs);
}

void TestServices::reopenStore() {
    flushEvents();
    m_container.reset();
    QString err;
    m_container = openModelContainer(storePath(), &err);
    if (!m_container)
        ADD_FAILURE() << "store: " << err.toStdString();
    m_services.reset(new Services{m_container->mainContext(), *m_prefs, *m_theme, *m_profile, testDictionary(),
                                  *m_attachments, *m_thumbnails});
}

void flushEvents() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

} // namespace testsupport
