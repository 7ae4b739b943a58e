#include "engine/tag_reading.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr auto npos = std::string_view::npos;

// The quote that closes the one at `at`; text.size() when none does.
std::size_t FindQuote(std::string_view text, std::size_t at) {
    return text[at] == '"' ? FindFirstOfBytes<'"'>(text, at + 1)
                           : FindFirstOfBytes<'\''>(text, at + 1);
}

// Copies n bytes, n at most 32, in at most two overlapping moves.
void CopyShort(char* out, const char* from, std::size_t n) {
    if (n >= 16) {
        std::memcpy(out, from, 16);
        std::memcpy(out + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(out, from, 8);
        std::memcpy(out + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(out, from, 4);
        std::memcpy(out + n - 4, from + n - 4, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = from[i];
    }
}

} // namespace

// Where the processor allows, sixteen places at once are tested for "<" followed by
// lower's second byte in either case; only those are compared in full.
std::size_t FindTagWord(std::string_view text, std::string_view lower, std::size_t from) {
    std::size_t at = from;
#ifdef QUARN_SSE2
    const __m128i open = _mm_set1_epi8('<');
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i second = _mm_set1_epi8(static_cast<char>(lower[1] | 0x20));
    for (; at + 17 <= text.size(); at += 16) {
        const char* data = text.data() + at;
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 1));
        auto candidates = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(first, open),
                          _mm_cmpeq_epi8(_mm_or_si128(next, caseBit), second))));
        for (; candidates != 0; candidates &= candidates - 1) {
            const std::size_t candidate = at + static_cast<std::size_t>(std::countr_zero(candidates));
            if (HasWordAt(text, candidate, lower))
                return candidate;
        }
    }
#endif
    for (at = text.find('<', at); at != npos; at = text.find('<', at + 1)) {
        if (HasWordAt(text, at, lower))
            return at;
    }
    return npos;
}

std::size_t RawTextEnd(std::string_view page, std::string_view endTag, std::size_t from) {
    for (auto at = FindTagWord(page, endTag, from); at != npos;
         at = FindTagWord(page, endTag, at + 1)) {
        const std::size_t after = at + endTag.size();
        if (after >= page.size() || IsAsciiWhitespace(page[after]) || page[after] == '/' ||
            page[after] == '>')
            return at;
    }
    return page.size();
}

std::size_t StartTagEnd(std::string_view page, std::size_t at, std::size_t* nameEnd) {
    const std::size_t size = page.size();
    std::size_t i = at + 1;
    while (i < size && !IsTagByte(page[i], kTagWhiteSpace | kTagSlash | kTagClose))
        ++i;
    if (nameEnd != nullptr)
        *nameEnd = i;
    while (true) {
        while (i < size && IsTagByte(page[i], kTagWhiteSpace | kTagSlash))
            ++i;
        if (i >= size)
            return npos;
        if (page[i] == '>')
            return i + 1;
        ++i; // a name may begin with "="
        while (i < size && !IsTagByte(page[i], kTagWhiteSpace | kTagSlash | kTagClose | kTagEquals))
            ++i;
        while (i < size && IsTagByte(page[i], kTagWhiteSpace))
            ++i;
        if (i >= size || page[i] != '=')
            continue;
        ++i;
        while (i < size && IsTagByte(page[i], kTagWhiteSpace))
            ++i;
        if (i < size && IsTagByte(page[i], kTagQuote)) {
            const std::size_t close = FindQuote(page, i);
            if (close == size)
                return npos;
            i = close + 1;
        } else {
            while (i < size && !IsTagByte(page[i], kTagWhiteSpace | kTagClose))
                ++i;
        }
    }
}

namespace {

// Bit i set where text[from + i] is white space or "=", for up to 64 bytes from `from`.
std::uint64_t SpacingBytes(std::string_view text, std::size_t from) {
    const std::size_t size = text.size();
    std::uint64_t mask = 0;
#ifdef QUARN_SSE2
    if (size >= 16) {
        for (std::size_t part = 0; part < 64 && from + part < size; part += 16) {
            const std::size_t at = std::min(from + part, size - 16);
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
            // The tag's last sixteen bytes are read again for its end; the bits for bytes
            // already covered are shifted out.
            const std::uint64_t bits =
                MatchingBytes<' ', '\t', '\n', '\r', '\f', '='>(chunk) >> (from + part - at);
            mask |= bits << part;
        }
        return mask;
    }
#endif
    for (std::size_t i = 0; i < 64 && from + i < size; ++i) {
        if (IsTagByte(text[from + i], kTagWhiteSpace | kTagEquals))
            mask |= std::uint64_t{1} << i;
    }
    return mask;
}

// Copies n bytes between buffers that do not overlap.
void CopyRun(char* out, const char* from, std::size_t n) {
    if (n <= 32)
        CopyShort(out, from, n);
    else
        std::memcpy(out, from, n);
}

} // namespace

// One pass does what collapsing the runs and then replacing "= " and " =" would. The text
// only shrinks, so it is written into room made beforehand. The white space and "=" of
// each 64 bytes are found at once; the runs between them are copied whole.
void NormaliseSpacing(std::string_view tag, std::string& text) {
    text.resize(tag.size());
    char* const begin = text.data();
    char* out = begin;
    std::size_t copied = 0; // tag bytes before this one are in text
    for (std::size_t block = 0; block < tag.size(); block += 64) {
        for (std::uint64_t spacing = SpacingBytes(tag, block); spacing != 0;
             spacing &= spacing - 1) {
            const std::size_t at = block + static_cast<std::size_t>(std::countr_zero(spacing));
            CopyRun(out, tag.data() + copied, at - copied);
            out += at - copied;
            copied = at + 1;
            if (tag[at] == '=') {
                if (out != begin && out[-1] == ' ')
                    --out;
                *out++ = '=';
            } else if (out == begin || (out[-1] != ' ' && out[-1] != '=')) {
                *out++ = ' ';
            }
        }
    }
    CopyRun(out, tag.data() + copied, tag.size() - copied);
    out += tag.size() - copied;
    text.resize(static_cast<std::size_t>(out - begin));
}

// Written through a pointer, as for NormaliseSpacing: the text never grows, since a
// run of white space gives at most the one space due before the next piece.
void NormaliseSpacingAsBrowsers(std::string_view tag, std::string& text,
                                std::vector<CTagAttribute>* spans) {
    text.resize(tag.size());
    char* const begin = text.data();
    char* out = begin;
    const std::size_t size = tag.size();
    if (spans != nullptr)
        spans->clear();
    bool space = false; // a separator is due before the next piece
    // Pieces are short: sixteen bytes are copied in one move where the tag has them, the
    // bytes past the piece to be written over or cut off. out never runs ahead of from,
    // so they fit.
    const auto copy = [&](std::size_t from, std::size_t to) {
        if (to - from <= 16 && from + 16 <= size)
            std::memcpy(out, tag.data() + from, 16);
        else
            CopyRun(out, tag.data() + from, to - from);
        out += to - from;
    };
    const auto emit = [&](std::size_t from, std::size_t to) {
        if (space && out != begin)
            *out++ = ' ';
        space = false;
        copy(from, to);
    };
    const auto skipSpaces = [&](std::size_t at) {
        while (at < size && IsTagByte(tag[at], kTagWhiteSpace))
            ++at;
        return at;
    };
    const auto here = [&] { return static_cast<std::size_t>(out - begin); };
    std::size_t i = skipSpaces(0);
    std::size_t nameEnd = i;
    while (nameEnd < size && !IsTagByte(tag[nameEnd], kTagWhiteSpace | kTagSlash))
        ++nameEnd;
    emit(i, nameEnd);
    i = nameEnd;
    while (i < size) {
        if (IsTagByte(tag[i], kTagWhiteSpace)) {
            space = true;
            ++i;
            continue;
        }
        if (tag[i] == '/') {
            emit(i, i + 1);
            ++i;
            continue;
        }
        const std::size_t start = i++;
        while (i < size && !IsTagByte(tag[i], kTagWhiteSpace | kTagSlash | kTagEquals))
            ++i;
        emit(start, i);
        CTagAttribute span;
        span.nameEnd = here();
        span.start = span.nameEnd - (i - start);
        span.valueStart = span.valueEnd = span.end = span.nameEnd;
        const std::size_t equals = skipSpaces(i);
        if (equals >= size || tag[equals] != '=') {
            if (spans != nullptr)
                spans->push_back(span);
            continue;
        }
        *out++ = '=';
        span.hasValue = true;
        i = skipSpaces(equals + 1);
        if (i < size && IsTagByte(tag[i], kTagQuote)) {
            const std::size_t close = FindQuote(tag, i);
            if (close == size) {
                copy(i, size);
                break;
            }
            span.quote = tag[i];
            span.valueStart = here() + 1;
            copy(i, close + 1);
            span.valueEnd = here() - 1;
            i = close + 1;
        } else {
            const std::size_t valueStart = i;
            while (i < size && !IsTagByte(tag[i], kTagWhiteSpace))
                ++i;
            span.valueStart = here();
            copy(valueStart, i);
            span.valueEnd = here();
        }
        span.end = here();
        if (spans != nullptr)
            spans->push_back(span);
    }
    while (out != begin && out[-1] == ' ')
        --out;
    text.resize(static_cast<std::size_t>(out - begin));
}

void ReadAttributes(std::string_view text, bool asBrowsers,
                    std::vector<CTagAttribute>& spans) {
    spans.clear();
    const std::size_t size = text.size();
    const unsigned separator = asBrowsers ? kTagSpace | kTagSlash : kTagSpace;
    std::size_t i = 0;
    while (i < size) {
        if (IsTagByte(text[i], separator)) {
            ++i;
            continue;
        }
        CTagAttribute span;
        span.start = i;
        ++i; // a name may begin with "="
        while (i < size && !IsTagByte(text[i], separator | kTagEquals))
            ++i;
        span.nameEnd = i;
        if (i < size && text[i] == '=') {
            span.hasValue = true;
            ++i;
            // Browsers take a second "=" as the value's first byte.
            while (!asBrowsers && i < size && text[i] == '=')
                ++i;
            if (i < size && IsTagByte(text[i], kTagQuote)) {
                span.quote = text[i];
                const auto close = text.find(span.quote, i + 1);
                if (close == npos)
                    return; // with its opening quote, the rest of the tag stays as written
                span.valueStart = i + 1;
                span.valueEnd = close;
                i = close + 1; // what follows the quote, even a name, is a new attribute
            } else {
                span.valueStart = i;
                while (i < size && text[i] != ' ')
                    ++i;
                span.valueEnd = i;
            }
        } else {
            span.valueStart = span.valueEnd = i;
        }
        span.end = i;
        spans.push_back(span);
    }
}
