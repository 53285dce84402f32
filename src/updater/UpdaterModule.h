#pragma once

#include "updater/UpdatePresenter.h"

class QObject;

// The update check is also built as a loadable module (libtolmek_updater_module.so beside the
// executable) so that QtNetwork and what it pulls in (Kerberos, libproxy) are loaded only when a
// check runs, not at start. The module exports one C function that makes an `Updater` (a QObject with
// the slots checkForUpdates() and checkForUpdatesInBackground(), the invokable setters
// setDialogParent(QWidget*) and setFeedUrl(QUrl), and the signal checkFinished(bool, QString)).
extern "C" {
using TolmekCreateUpdaterFn = QObject* (*)(const UpdatePresenter* presenter, QObject* parent);
}

inline constexpr const char* tolmekCreateUpdaterSymbol = "tolmek_create_updater";
inline constexpr const char* tolmekUpdaterModuleName = "tolmek_updater_module";
