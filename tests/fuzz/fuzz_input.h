#pragma once
// What the address fuzz targets share: how they fail, and how they read their input.

#include <cstdlib>
#include <string_view>

// A fuzz target fails by aborting: the fuzzer and the replay both see it.
inline void Require(bool condition) {
    if (!condition)
        std::abort();
}

// The first line of an input is the base page, the rest the link found on it.
struct BaseAndLink {
    std::string_view base;
    std::string_view link;
};

inline BaseAndLink SplitBaseAndLink(std::string_view input) {
    const auto newline = input.find('\n');
    return {input.substr(0, newline),
            newline == std::string_view::npos ? input : input.substr(newline + 1)};
}
