#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

// The built application, or empty when the test runs outside CTest.
inline QString appBinary() {
    const QString binary = qEnvironmentVariable("TOLMEK_APP_BINARY");
    return QFile::exists(binary) ? binary : QString();
}

// The application's environment offscreen, with data, config and cache under `home` and each of
// `flags` set to 1.
inline QProcessEnvironment appEnvironment(const QString& home, const QStringList& flags = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_CACHE_HOME", home + "/cache");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const QString& flag : flags)
        env.insert(flag, "1");
    return env;
}

inline void startApp(QProcess& app, const QString& home, const QStringList& flags = {}) {
    app.setProcessEnvironment(appEnvironment(home, flags));
    app.start(appBinary(), {});
}

#define SKIP_WITHOUT_APP()     \
    if (appBinary().isEmpty()) \
    GTEST_SKIP() << "TOLMEK_APP_BINARY not set (run through CTest)"
