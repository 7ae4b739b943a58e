#pragma once
// CPreferencesRegistry: reads and writes the per-user preferences and the window
// placement. It keeps no state; every call opens the store and closes it again.
//
// The store is QSettings with organisation "Tolvane" and application "Quarn", which on
// Windows is the registry key "Software\Tolvane\Quarn". Sub-keys below it are groups.

#include <QString>
#include <cstdint>

enum class RegistryRoot {
    CurrentUser,  // the user's own preferences
    LocalMachine, // the installation's (InstallDir); read only by the program
};

inline constexpr const char* kRegistryKey = "Software\\Tolvane\\Quarn";
inline constexpr const char* kWindowKey = "Software\\Tolvane\\Quarn\\Window";

class CPreferencesRegistry {
public:
    // Each returns true on success and false on any failure; a failed read leaves out alone.
    bool ReadDword(RegistryRoot root, const QString& subKey, const QString& name,
                   std::uint32_t& out) const;
    // Strings of 255 bytes or more (with the terminating zero) cannot be read.
    bool ReadString(RegistryRoot root, const QString& subKey, const QString& name,
                    QString& out) const;
    bool WriteDword(RegistryRoot root, const QString& subKey, const QString& name,
                    std::uint32_t value) const;
    bool WriteString(RegistryRoot root, const QString& subKey, const QString& name,
                     const QString& value) const;
    bool DeleteValue(RegistryRoot root, const QString& subKey, const QString& name) const;

    // A flag stored as a number is true only if it is exactly 1.
    bool ReadFlag(const QString& subKey, const QString& name) const;
    void WriteFlag(const QString& subKey, const QString& name, bool value) const;
};
