#include "model/json_text.h"

#include "web/byte_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// The length of the UTF-8 character at the start of text, or 0 when the bytes there are
// not one (overlong forms, surrogates and values above U+10FFFF included).
std::size_t Utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t value = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    if (overlong || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        return 0;
    return length;
}

void AppendEscapedUnit(std::string& out, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", value);
    out += text;
}

class CReader {
public:
    explicit CReader(std::string_view text) : m_text(text) {}

    void SkipSpace() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                        m_text[m_at] == '\r' || m_text[m_at] == '\n'))
            ++m_at;
    }
    bool Take(char c) {
        SkipSpace();
        if (m_at >= m_text.size() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    bool AtEnd() {
        SkipSpace();
        return m_at == m_text.size();
    }

    std::optional<std::string> String() {
        if (!Take('"'))
            return std::nullopt;
        std::string value;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"')
                return value;
            if (static_cast<unsigned char>(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                value.push_back(c);
                continue;
            }
            if (m_at >= m_text.size())
                return std::nullopt;
            switch (const char escape = m_text[m_at++]) {
            case '"':
            case '\\':
            case '/':
                value.push_back(escape);
                break;
            case 'b':
                value.push_back('\b');
                break;
            case 'f':
                value.push_back('\f');
                break;
            case 'n':
                value.push_back('\n');
                break;
            case 'r':
                value.push_back('\r');
                break;
            case 't':
                value.push_back('\t');
                break;
            case 'u':
                if (!UnicodeEscape(value))
                    return std::nullopt;
                break;
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

private:
    std::optional<unsigned> Hex4() {
        if (m_text.size() - m_at < 4)
            return std::nullopt;
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigitValue(m_text[m_at++]);
            if (digit < 0)
                return std::nullopt;
            value = value << 4 | static_cast<unsigned>(digit);
        }
        return value;
    }

    // After "\u": one unit, or a surrogate pair written as two.
    bool UnicodeEscape(std::string& value) {
        const auto unit = Hex4();
        if (!unit || (*unit >= 0xDC00 && *unit <= 0xDFFF))
            return false;
        if (*unit < 0xD800 || *unit > 0xDBFF) {
            AppendUtf8(value, *unit);
            return true;
        }
        if (m_text.substr(m_at, 2) != "\\u")
            return false;
        m_at += 2;
        const auto low = Hex4();
        if (!low || *low < 0xDC00 || *low > 0xDFFF)
            return false;
        AppendUtf8(value, 0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00));
        return true;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

} // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() + 2);
    out.push_back('"');
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.front());
        std::size_t taken = 1;
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                AppendEscapedUnit(out, byte);
            } else if (byte < 0x80) {
                out.push_back(static_cast<char>(byte));
            } else if (const std::size_t length = Utf8Length(text); length != 0) {
                out.append(text.substr(0, length));
                taken = length;
            } else {
                AppendUtf8(out, byte);
            }
        }
        text.remove_prefix(taken);
    }
    out.push_back('"');
}

std::optional<std::map<std::string, std::string>> ReadJsonStringObject(std::string_view text) {
    CReader reader(text);
    std::map<std::string, std::string> members;
    if (!reader.Take('{'))
        return std::nullopt;
    if (!reader.Take('}')) {
        do {
            auto name = reader.String();
            if (!name || !reader.Take(':'))
                return std::nullopt;
            auto value = reader.String();
            if (!value)
                return std::nullopt;
            members[std::move(*name)] = std::move(*value);
        } while (reader.Take(','));
        if (!reader.Take('}'))
            return std::nullopt;
    }
    if (!reader.AtEnd())
        return std::nullopt;
    return members;
}
