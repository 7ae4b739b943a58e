#pragma once
// Small helpers for byte texts. Letter case follows ASCII rules alone, so that results
// never depend on the user's locale; bytes outside 7-bit ASCII pass through unchanged.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUARN_SSE2 1
#endif

// FNV-1a over pieces of text, as over one text: the same on every platform and in every
// run, unlike std::hash, for hashes that are stored or become names.
class CFnv1a {
public:
    void Add(std::string_view text) {
        for (const char c : text) {
            m_hash ^= static_cast<unsigned char>(c);
            m_hash *= 1099511628211ull;
        }
    }
    std::uint64_t Value() const { return m_hash; }

private:
    std::uint64_t m_hash = 14695981039346656037ull;
};

inline std::uint64_t Fnv1a(std::string_view text) {
    CFnv1a hash;
    hash.Add(text);
    return hash.Value();
}

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

// The value of a hex digit of either case; -1 for any other byte.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The text without its leading run of c.
constexpr std::string_view SkipLeading(std::string_view text, char c) {
    return text.substr(std::min(text.find_first_not_of(c), text.size()));
}

// The text without spaces at either end (the space character only).
constexpr std::string_view TrimSpaces(std::string_view text) {
    text = SkipLeading(text, ' ');
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

inline void AppendUpperAscii(std::string& out, std::string_view text) {
    for (const char c : text)
        out.push_back(ToUpperAscii(c));
}

// Whether a and b are equal when ASCII letter case is ignored.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i]))
            return false;
    }
    return true;
}

// Whether text ends with suffix, in any letter case.
constexpr bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

// Space, tab, line feed, form feed or carriage return: what HTML and CSS read as white space.
constexpr bool IsAsciiWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Whether the bytes of text at `at` are lower, in any letter case.
constexpr bool HasWordAt(std::string_view text, std::size_t at, std::string_view lower) {
    return at <= text.size() && EqualsIgnoringAsciiCase(text.substr(at, lower.size()), lower);
}

// Appends text, writing every byte that keep refuses as "%" and two upper-case hex digits.
template <typename Keep>
void AppendPercentEscaped(std::string& out, std::string_view text, Keep keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (keep(byte)) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
}

#ifdef QUARN_SSE2
// Bit i set where the i-th of the sixteen bytes in chunk is one of Bytes.
template <char... Bytes> unsigned MatchingBytes(__m128i chunk) {
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, _mm_set1_epi8(Bytes)))), ...);
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
#endif

// The first place from `from` that holds one of Bytes; text.size() when there is none.
// Sixteen bytes are tested at once where the processor allows: pages are long, and the
// bytes looked for are few between long runs of others.
template <char... Bytes> std::size_t FindFirstOfBytes(std::string_view text, std::size_t from) {
    const std::size_t size = text.size();
    std::size_t i = from;
#ifdef QUARN_SSE2
    if (size >= 16) {
        const auto matching = [&](std::size_t at) {
            return MatchingBytes<Bytes...>(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at)));
        };
        for (; i + 16 <= size; i += 16) {
            if (const unsigned mask = matching(i); mask != 0)
                return i + static_cast<std::size_t>(std::countr_zero(mask));
        }
        // The last sixteen bytes are read again for the text's end, the bits for bytes
        // already tested shifted out.
        if (i < size) {
            if (const unsigned mask = matching(size - 16) >> (i - (size - 16)); mask != 0)
                return i + static_cast<std::size_t>(std::countr_zero(mask));
        }
        return size;
    }
#endif
    for (; i < size; ++i) {
        const char c = text[i];
        if (((c == Bytes) || ...))
            return i;
    }
    return size;
}

// Appends the UTF-8 bytes of a code point (at most U+10FFFF; callers weed out the rest).
inline void AppendUtf8(std::string& out, char32_t value) {
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (value >> 6)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (value >> 12)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (value >> 18)));
        out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
}
