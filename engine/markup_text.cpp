#include "engine/markup_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "web/byte_text.h"

namespace {

// Nothing a link may hold: NUL, surrogates and values past Unicode read as U+FFFD.
void AppendLinkCharacter(std::string& out, std::uint32_t code) {
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        code = 0xFFFD;
    AppendUtf8(out, static_cast<char32_t>(code));
}

// The length of the reference at the start of text (which begins with "&"), with its
// decoded text appended to out; 0 when it is none of those decoded here.
std::size_t DecodeOne(std::string_view text, std::string& out) {
    const auto semicolon = text.find(';', 1);
    if (semicolon == std::string_view::npos || semicolon > 12)
        return 0;
    const std::string_view name = text.substr(1, semicolon - 1);
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed{
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
    for (const auto& [entity, c] : kNamed) {
        if (name == entity) {
            out.push_back(c);
            return semicolon + 1;
        }
    }
    if (name.size() < 2 || name[0] != '#')
        return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    std::uint32_t code = 0;
    for (const char c : digits) {
        const int digit = hex ? HexDigitValue(c) : c >= '0' && c <= '9' ? c - '0' : -1;
        if (digit < 0)
            return 0;
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        if (code > 0x10FFFF)
            code = 0x110000; // stays out of range without overflowing
    }
    AppendLinkCharacter(out, code);
    return semicolon + 1;
}

} // namespace

std::string DecodeCharacterReferences(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size();) {
        const auto amp = value.find('&', i);
        out.append(value.substr(i, amp - i));
        if (amp == std::string_view::npos)
            break;
        const std::size_t length = DecodeOne(value.substr(amp), out);
        if (length == 0) {
            out.push_back('&');
            i = amp + 1;
        } else {
            i = amp + length;
        }
    }
    return out;
}

char QuoteForValue(std::string_view value, char quote) {
    constexpr auto npos = std::string_view::npos;
    if (quote != 0 && value.find(quote) == npos)
        return quote;
    // Unquoted, a value ends at white space or ">" and may not begin with a quote; nor
    // begin or end with "=", which the next reading would take for part of the "=" that
    // joins it to its name, or join to the space after it.
    if (quote == 0 && !value.empty() &&
        std::none_of(value.begin(), value.end(),
                     [](char c) { return IsAsciiWhitespace(c) || c == '>'; }) &&
        value.front() != '"' && value.front() != '\'' && value.front() != '=' &&
        value.back() != '=')
        return 0;
    // Otherwise the choice rests on the value alone, so that it is the same when the
    // written value is read and written again.
    if (value.find('"') == npos)
        return '"';
    return value.find('\'') == npos ? '\'' : '"';
}

void AppendAttributeValue(std::string& out, std::string_view value, char quote) {
    constexpr auto npos = std::string_view::npos;
    while (!value.empty()) {
        // Runs without "&" or the quote are copied whole.
        std::size_t run = value.find('&');
        if (quote != 0)
            run = std::min(run, value.find(quote));
        if (run == npos) {
            out.append(value);
            break;
        }
        out.append(value.substr(0, run));
        const char c = value[run];
        if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '\'')
            out += "&#39;";
        else
            out.push_back(c);
        value.remove_prefix(run + 1);
    }
}

std::string PercentEscapeBytes(std::string value, std::string_view unsafe) {
    if (value.find_first_of(unsafe) == std::string::npos)
        return value;
    std::string out;
    AppendPercentEscaped(out, value, [unsafe](unsigned char byte) {
        return unsafe.find(static_cast<char>(byte)) == std::string_view::npos;
    });
    return out;
}
