#pragma once
// Rules that keep a local path inside its site's folder. Any page may choose the host,
// path and file of a link, so each piece that becomes a folder or file name is checked.

#include <string_view>

#ifdef _WIN32
inline constexpr bool kWindowsNameRules = true;
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr bool kWindowsNameRules = false;
inline constexpr char kPathSeparator = '/';
#endif

// One folder or file name: refused when empty, "." or "..", or holding "/", "\" or NUL.
// With Windows rules also: control characters, any of <>:"|?*, a trailing dot or space,
// and the device names (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without extension).
bool IsSafeNameSegment(std::string_view segment, bool windowsRules = kWindowsNameRules);
