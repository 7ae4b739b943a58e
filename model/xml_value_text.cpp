#include "model/xml_value_text.h"

#include "web/byte_text.h"

namespace {

bool IsControlByte(char c) {
    return static_cast<unsigned char>(c) < 0x20;
}

// The byte a numeric reference such as "#60" or "#x3C" stands for (the text between "&"
// and ";"); -1 when it is not one or names no byte.
int NumericReference(std::string_view name) {
    if (name.size() < 2 || name.front() != '#')
        return -1;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 3)
        return -1;
    int value = 0;
    for (const char c : digits) {
        const int digit = hex ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0)
            return -1;
        value = value * (hex ? 16 : 10) + digit;
    }
    return value <= 0xFF ? value : -1;
}

// The byte the reference between "&" and ";" stands for; -1 for any other text.
int ReferencedByte(std::string_view name) {
    if (name == "lt")
        return '<';
    if (name == "gt")
        return '>';
    if (name == "amp")
        return '&';
    return NumericReference(name);
}

} // namespace

bool ValueNeedsEscaping(std::string_view value) {
    if (value.starts_with(' '))
        return true;
    for (const char c : value)
        if (c == '<' || IsControlByte(c))
            return true;
    return false;
}

void AppendEscapedValue(std::string& out, std::string_view value) {
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (IsControlByte(c) || (c == ' ' && i == 0))
            out.append("&#").append(std::to_string(static_cast<unsigned char>(c))).append(";");
        else
            out += c;
    }
}

std::string UnescapeValue(std::string_view text) {
    std::string value;
    value.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            // References are short; a longer run without ";" is plain text.
            const std::size_t end = text.substr(i, 8).find(';');
            if (end != std::string_view::npos) {
                if (const int byte = ReferencedByte(text.substr(i + 1, end - 1)); byte >= 0) {
                    value += static_cast<char>(byte);
                    i += end;
                    continue;
                }
            }
        }
        value += text[i];
    }
    return value;
}
