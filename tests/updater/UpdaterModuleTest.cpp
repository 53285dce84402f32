#include "ui/DialogSeam.h"
#include "updater/UpdaterModule.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSignalSpy>
#include <QUrl>

#include <gtest/gtest.h>

#include <dlfcn.h>

#ifndef TOLMEK_UPDATER_MODULE_PATH
#define TOLMEK_UPDATER_MODULE_PATH ""
#endif

// The module as a distribution that links with `-z now` (or a person with LD_BIND_NOW=1) loads it: every
// symbol bound at once. This process does not export its own copy of the ui code, so a module that left
// any of it for the executable to provide fails here.
TEST(UpdaterModule, LoadsWithImmediateBindingAndShowsThroughTheHandedPresenter) {
    void* module = dlopen(TOLMEK_UPDATER_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(module) << dlerror();
    auto create = reinterpret_cast<TolmekCreateUpdaterFn>(dlsym(module, tolmekCreateUpdaterSymbol));
    ASSERT_TRUE(create);

    DialogSeam::reset();
    DialogSeam::setNonInteractive(true);
    QStringList shown;
    const UpdatePresenter presenter{[&shown](QWidget*, const DialogSeam::Message& m, std::function<void(int)>) {
                                        shown << m.text;
                                    },
                                    [](const QUrl&) { return false; }};
    QObject owner;
    QObject* updater = create(&presenter, &owner);
    ASSERT_TRUE(updater);
    QSignalSpy done(updater, SIGNAL(checkFinished(bool, QString)));
    QMetaObject::invokeMethod(updater, "setFeedUrl", Q_ARG(QUrl, QUrl()));
    QMetaObject::invokeMethod(updater, "checkForUpdates");
    ASSERT_EQ(done.count(), 1);
    EXPECT_EQ(shown, QStringList({"Aucune adresse de mise à jour n’est configurée."}));
    // Only the presenter saw it: the module keeps no seam of its own.
    EXPECT_TRUE(DialogSeam::shownMessages().isEmpty());
    // The module stays mapped: the updater (destroyed with `owner`) runs its code.
}
