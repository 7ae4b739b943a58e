#pragma once
// Letter case by ASCII rules alone, so that results never depend on the user's locale.
// Bytes outside 7-bit ASCII pass through unchanged.

#include <string>
#include <string_view>

constexpr char ToLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char ToUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline void AppendLowerAscii(std::string& out, std::string_view text) {
    for (const char c : text)
        out.push_back(ToLowerAscii(c));
}

inline void AppendUpperAscii(std::string& out, std::string_view text) {
    for (const char c : text)
        out.push_back(ToUpperAscii(c));
}
