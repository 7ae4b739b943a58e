#include "ui/preferences_registry.h"

#include <QSettings>
#include <optional>

namespace {

constexpr int kStringBufferBytes = 255;

// The QSettings group of a key below "Software\Tolvane\Quarn"; none for another key.
std::optional<QString> GroupOf(const QString& subKey) {
    const QString root = QString::fromLatin1(kRegistryKey);
    if (subKey.compare(root, Qt::CaseInsensitive) == 0)
        return QString();
    if (subKey.startsWith(root + QLatin1Char('\\'), Qt::CaseInsensitive))
        return subKey.mid(root.size() + 1).replace(QLatin1Char('\\'), QLatin1Char('/'));
    return std::nullopt;
}

QSettings::Scope ScopeOf(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? QSettings::SystemScope : QSettings::UserScope;
}

// One scope only: Qt would otherwise answer a user read from the system-wide store.
class CScopedSettings : public QSettings {
public:
    explicit CScopedSettings(RegistryRoot root)
        : QSettings(ScopeOf(root), QStringLiteral("Tolvane"), QStringLiteral("Quarn")) {
        setFallbacksEnabled(false);
    }
};

QString Path(const QString& group, const QString& name) {
    return group.isEmpty() ? name : group + QLatin1Char('/') + name;
}


// The stored value, or an invalid one when the key is not ours or the value is missing.
QVariant ReadValue(RegistryRoot root, const QString& subKey, const QString& name) {
    const auto group = GroupOf(subKey);
    if (!group)
        return {};
    return CScopedSettings(root).value(Path(*group, name));
}

bool WriteValue(RegistryRoot root, const QString& subKey, const QString& name,
                const QVariant& value) {
    const auto group = GroupOf(subKey);
    if (!group)
        return false;
    CScopedSettings settings(root);
    settings.setValue(Path(*group, name), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace

bool CPreferencesRegistry::ReadDword(RegistryRoot root, const QString& subKey,
                                     const QString& name, std::uint32_t& out) const {
    const QVariant value = ReadValue(root, subKey, name);
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!value.isValid() || !ok)
        return false;
    out = static_cast<std::uint32_t>(number); // four bytes, whatever was stored
    return true;
}

bool CPreferencesRegistry::ReadString(RegistryRoot root, const QString& subKey,
                                      const QString& name, QString& out) const {
    const QVariant value = ReadValue(root, subKey, name);
    if (!value.isValid())
        return false;
    const QString text = value.toString();
    if (text.toLocal8Bit().size() + 1 > kStringBufferBytes)
        return false;
    out = text;
    return true;
}

bool CPreferencesRegistry::WriteDword(RegistryRoot root, const QString& subKey,
                                      const QString& name, std::uint32_t value) const {
    return WriteValue(root, subKey, name, static_cast<qulonglong>(value));
}

bool CPreferencesRegistry::WriteString(RegistryRoot root, const QString& subKey,
                                       const QString& name, const QString& value) const {
    return WriteValue(root, subKey, name, value);
}

bool CPreferencesRegistry::DeleteValue(RegistryRoot root, const QString& subKey,
                                       const QString& name) const {
    const auto group = GroupOf(subKey);
    if (!group)
        return false;
    CScopedSettings settings(root);
    if (!settings.contains(Path(*group, name)))
        return false;
    settings.remove(Path(*group, name));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool CPreferencesRegistry::ReadFlag(const QString& subKey, const QString& name) const {
    std::uint32_t value = 0;
    return ReadDword(RegistryRoot::CurrentUser, subKey, name, value) && value == 1;
}

void CPreferencesRegistry::WriteFlag(const QString& subKey, const QString& name,
                                     bool value) const {
    WriteDword(RegistryRoot::CurrentUser, subKey, name, value ? 1 : 0);
}
