// The window tests run without a display and never touch the user's own settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

// Under AddressSanitizer, Qt WebEngine's own library frees objects with a size other than
// the one it allocated them with, and it, fontconfig and udev leave allocations behind at
// exit: reports about code that is not ours. Leaks are suppressed by library, so a leak
// in our code still fails the run; the size check cannot be suppressed by library and is
// off in the window tests only. ASAN_OPTIONS and LSAN_OPTIONS still override both.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\n"
           "leak:libfontconfig.so\n"
           "leak:libudev.so\n";
}
#endif

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
    // The first run makes ~/Sites; that belongs in a home of the tests' own.
    QTemporaryDir homeDir;
    qputenv("HOME", homeDir.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, settingsDir.path() + QStringLiteral("/user"));
        QSettings::setPath(format, QSettings::SystemScope, settingsDir.path() + QStringLiteral("/system"));
    }

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
