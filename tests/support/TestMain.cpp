#include <QApplication>
#include <QLocale>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

int main(int argc, char** argv) {
    // Programs that start the application or the crash child find them beside the build.
#ifdef TOLMEK_APP_BINARY_DEFAULT
    if (!qEnvironmentVariableIsSet("TOLMEK_APP_BINARY"))
        qputenv("TOLMEK_APP_BINARY", TOLMEK_APP_BINARY_DEFAULT);
#endif
#ifdef TOLMEK_CRASH_CHILD_DEFAULT
    if (!qEnvironmentVariableIsSet("TOLMEK_CRASH_CHILD"))
        qputenv("TOLMEK_CRASH_CHILD", TOLMEK_CRASH_CHILD_DEFAULT);
#endif
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QApplication app(argc, argv);
    QApplication::setApplicationName("tolmek-tests");
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new testsupport::Environment);
    return RUN_ALL_TESTS();
}
