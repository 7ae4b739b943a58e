#pragma once
// Text forms of setting values in the project file.

#include <cstdint>
#include <string>
#include <string_view>

// "TRUE" or "FALSE".
std::string FormatBoolSetting(bool value);
// True only for the exact text "TRUE".
bool ParseBoolSetting(std::string_view text);
// Like the C library's atoi: leading white space, an optional sign, then digits up to
// the first non-digit; no digits gives 0. Values beyond the range are clamped to it.
std::int64_t ParseIntSetting(std::string_view text, std::int64_t min, std::int64_t max);
// The content folder a site gets when none is set: sites directory / site name.
std::string DefaultContentDirectory(std::string_view siteName);
