// The window tests run without a display and never touch the user's own settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    const auto setDefault = [](const char* name, const char* value) {
        if (!qEnvironmentVariableIsSet(name))
            qputenv(name, value);
    };
    setDefault("QT_QPA_PLATFORM", "offscreen");
    setDefault("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    setDefault("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    QTemporaryDir settingsDir;
    QStandardPaths::setTestModeEnabled(true);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, settingsDir.path() + QStringLiteral("/user"));
        QSettings::setPath(format, QSettings::SystemScope, settingsDir.path() + QStringLiteral("/system"));
    }

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
