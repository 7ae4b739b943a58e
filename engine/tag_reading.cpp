#include "engine/tag_reading.h"

#include <bit>

namespace {
constexpr auto npos = std::string_view::npos;
} // namespace

std::size_t FindTagWord(std::string_view text, std::string_view lower, std::size_t from) {
    for (auto at = text.find('<', from); at != npos; at = text.find('<', at + 1)) {
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

std::size_t StartTagEnd(std::string_view page, std::size_t at) {
    const std::size_t size = page.size();
    std::size_t i = at + 1;
    while (i < size && !IsAsciiWhitespace(page[i]) && page[i] != '/' && page[i] != '>')
        ++i;
    while (true) {
        while (i < size && (IsAsciiWhitespace(page[i]) || page[i] == '/'))
            ++i;
        if (i >= size)
            return npos;
        if (page[i] == '>')
            return i + 1;
        ++i; // a name may begin with "="
        while (i < size && !IsAsciiWhitespace(page[i]) && page[i] != '/' && page[i] != '>' &&
               page[i] != '=')
            ++i;
        while (i < size && IsAsciiWhitespace(page[i]))
            ++i;
        if (i >= size || page[i] != '=')
            continue;
        ++i;
        while (i < size && IsAsciiWhitespace(page[i]))
            ++i;
        if (i < size && (page[i] == '"' || page[i] == '\'')) {
            const auto close = page.find(page[i], i + 1);
            if (close == npos)
                return npos;
            i = close + 1;
        } else {
            while (i < size && !IsAsciiWhitespace(page[i]) && page[i] != '>')
                ++i;
        }
    }
}

// One pass does what collapsing the runs and then replacing "= " and " =" would. The text
// only shrinks, so it is written into room made beforehand. Where the processor allows,
// sixteen bytes are copied at once up to the first white space or "=" among them; the
// bytes copied past it are written over as the pass goes on.
void NormaliseSpacing(std::string_view tag, std::string& text) {
    text.resize(tag.size());
    char* const begin = text.data();
    char* out = begin;
    const std::size_t size = tag.size();
    std::size_t i = 0;
    while (i < size) {
        char c = tag[i];
#ifdef QUARN_SSE2
        if (i + 16 <= size) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tag.data() + i));
            // out never runs ahead of i, so the sixteen bytes fit.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chunk);
            const unsigned mask = MatchingBytes<' ', '\t', '\n', '\r', '\f', '='>(chunk);
            if (mask == 0) {
                out += 16;
                i += 16;
                continue;
            }
            const auto plain = static_cast<std::size_t>(std::countr_zero(mask));
            out += plain;
            i += plain;
            c = tag[i];
        }
#endif
        ++i;
        if (c == '=') {
            if (out != begin && out[-1] == ' ')
                --out;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            if (out != begin && (out[-1] == ' ' || out[-1] == '='))
                continue;
            c = ' ';
        }
        *out++ = c;
    }
    text.resize(static_cast<std::size_t>(out - begin));
}

void NormaliseSpacingAsBrowsers(std::string_view tag, std::string& text) {
    text.clear();
    text.reserve(tag.size());
    const std::size_t size = tag.size();
    std::size_t i = 0;
    bool space = false; // a separator is due before the next piece
    const auto emit = [&](std::string_view piece) {
        if (space && !text.empty())
            text.push_back(' ');
        space = false;
        text.append(piece);
    };
    const auto skipSpaces = [&](std::size_t at) {
        while (at < size && IsAsciiWhitespace(tag[at]))
            ++at;
        return at;
    };
    i = skipSpaces(i);
    std::size_t nameEnd = i;
    while (nameEnd < size && !IsAsciiWhitespace(tag[nameEnd]) && tag[nameEnd] != '/')
        ++nameEnd;
    emit(tag.substr(i, nameEnd - i));
    i = nameEnd;
    while (i < size) {
        if (IsAsciiWhitespace(tag[i])) {
            space = true;
            ++i;
            continue;
        }
        if (tag[i] == '/') {
            emit("/");
            ++i;
            continue;
        }
        const std::size_t start = i++;
        while (i < size && !IsAsciiWhitespace(tag[i]) && tag[i] != '/' && tag[i] != '=')
            ++i;
        emit(tag.substr(start, i - start));
        const std::size_t equals = skipSpaces(i);
        if (equals >= size || tag[equals] != '=')
            continue;
        text.push_back('=');
        i = skipSpaces(equals + 1);
        if (i < size && (tag[i] == '"' || tag[i] == '\'')) {
            const auto close = tag.find(tag[i], i + 1);
            if (close == npos) {
                text.append(tag.substr(i));
                break;
            }
            text.append(tag.substr(i, close + 1 - i));
            i = close + 1;
        } else {
            const std::size_t valueStart = i;
            while (i < size && !IsAsciiWhitespace(tag[i]))
                ++i;
            text.append(tag.substr(valueStart, i - valueStart));
        }
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
}

void ReadAttributes(std::string_view text, bool asBrowsers,
                    std::vector<CTagAttribute>& spans) {
    spans.clear();
    const std::size_t size = text.size();
    const auto separates = [&](char c) { return c == ' ' || (asBrowsers && c == '/'); };
    std::size_t i = 0;
    while (i < size) {
        if (separates(text[i])) {
            ++i;
            continue;
        }
        CTagAttribute span;
        span.start = i;
        ++i; // a name may begin with "="
        while (i < size && !separates(text[i]) && text[i] != '=')
            ++i;
        span.nameEnd = i;
        if (i < size && text[i] == '=') {
            span.hasValue = true;
            ++i;
            // Browsers take a second "=" as the value's first byte.
            while (!asBrowsers && i < size && text[i] == '=')
                ++i;
            if (i < size && (text[i] == '"' || text[i] == '\'')) {
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
