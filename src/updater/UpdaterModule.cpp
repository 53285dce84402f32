#include "updater/UpdaterModule.h"

#include "updater/Updater.h"

extern "C" Q_DECL_EXPORT QObject* tolmek_create_updater(const UpdatePresenter* presenter, QObject* parent) {
    return new Updater(*presenter, parent);
}

// Checked here so that a change of one side's signature fails the build instead of the call.
static_assert(std::is_same_v<decltype(&tolmek_create_updater), TolmekCreateUpdaterFn>);
