#include "platform/formatsettings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef LYSTRA_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

// Every test executable runs with the Swedish formats and with its own
// settings and data folders, so that nothing a test stores reaches the user's
// real configuration and results do not depend on the machine's locale.
int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    // In test mode QSettings would use ~/.qttest/config, shared by every test
    // executable: point both scopes and formats at this run's own folders.
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, home.filePath(QStringLiteral("config")));
        QSettings::setPath(format, QSettings::SystemScope, home.filePath(QStringLiteral("system")));
    }

    TestApplication app(argc, argv);
    lystra::FormatSettings::setCurrent(lystra::FormatSettings::swedish());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
