#pragma once
// Empties the test process's settings (user and system scope) before and after a test.

#include <QSettings>

class SettingsScope {
public:
    SettingsScope() { Clear(); }
    ~SettingsScope() { Clear(); }

private:
    static void Clear() {
        for (auto scope : {QSettings::UserScope, QSettings::SystemScope}) {
            QSettings settings(scope, QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
            settings.clear();
            settings.sync();
        }
    }
};
