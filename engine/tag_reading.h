#pragma once
// How the scanner reads a page's tags: where a tag ends, how its spacing is normalised,
// and which attributes it holds. Two readings exist: the classic one, where a tag runs
// to its first ">", and the one browsers use, where quoted values may hold ">" and the
// raw text of scripts and style sheets holds no tags.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "web/byte_text.h"

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// What a byte is to the tag readers; a table answers for several kinds in one look.
enum TagByte : unsigned char {
    kTagSpace = 1,       // " " alone, as in normalised text
    kTagWhiteSpace = 2,  // any HTML white space
    kTagSlash = 4,
    kTagClose = 8,       // ">"
    kTagEquals = 16,
    kTagQuote = 32,      // '"' or "'"
};

inline constexpr auto kTagByteKinds = [] {
    std::array<unsigned char, 256> kinds{};
    for (const unsigned char c : {' ', '\t', '\n', '\r', '\f'})
        kinds[c] |= kTagWhiteSpace;
    kinds[' '] |= kTagSpace;
    kinds['/'] |= kTagSlash;
    kinds['>'] |= kTagClose;
    kinds['='] |= kTagEquals;
    kinds['"'] |= kTagQuote;
    kinds['\''] |= kTagQuote;
    return kinds;
}();

// Whether c is of any of the kinds in the TagByte mask.
constexpr bool IsTagByte(char c, unsigned kinds) {
    return (kTagByteKinds[static_cast<unsigned char>(c)] & kinds) != 0;
}

// The first place from `from` where lower (which begins with "<" and has two bytes or
// more) stands in any case.
std::size_t FindTagWord(std::string_view text, std::string_view lower, std::size_t from);

// Where the raw text of a script or style element ends: at "</name" followed by a
// space, "/" or ">", as browsers end it; the page's end when there is none.
std::size_t RawTextEnd(std::string_view page, std::string_view endTag, std::size_t from);

// One past the ">" that ends the start tag opening at `at`, read as browsers read it
// (a ">" inside a quoted value does not end it); npos when the tag never ends. Given
// nameEnd, the end of the tag's name goes there.
std::size_t StartTagEnd(std::string_view page, std::size_t at, std::size_t* nameEnd = nullptr);

// Both normalisations write into text, replacing what it held; a buffer kept across
// tags costs no allocation per tag.

// Tabs and line breaks become spaces, runs of spaces become one, and spaces next to
// "=" go (inside quoted values too).
void NormaliseSpacing(std::string_view tag, std::string& text);

// One attribute of a tag, as positions in the tag's attribute text.
struct CTagAttribute {
    std::size_t start = 0;
    std::size_t nameEnd = 0;
    std::size_t valueStart = 0; // equal to end when there is no value
    std::size_t valueEnd = 0;
    std::size_t end = 0;
    char quote = 0;
    bool hasValue = false;
};

// The spacing rules for a tag read as browsers read it: spaces go around the "=" that
// joins a name to its value and collapse between attributes, while values stay byte for
// byte (so that a value ending in "=" keeps the space that ends it, and what a page
// shows in a value is not changed). "/" between attributes is kept where it stands.
// Given spans, the attributes after the tag's name go there as positions in text, as
// ReadAttributes would read them from the text after the name: the same pass finds them.
void NormaliseSpacingAsBrowsers(std::string_view tag, std::string& text,
                                std::vector<CTagAttribute>* spans = nullptr);

// The attributes of a tag's normalised attribute text (single spaces, none around "="):
// a quoted value ends at its closing quote, and what follows it begins the next
// attribute. Reading stops at a value whose quote never closes. asBrowsers reads the
// rest as browsers do too: "/" separates attributes as a space does, and a value may
// begin with "="; otherwise every "=" after the name is passed over.
void ReadAttributes(std::string_view text, bool asBrowsers, std::vector<CTagAttribute>& spans);

// Walks a page's start tags as browsers read them: comments, end tags and declarations
// are passed over, and the raw text of a script is skipped. onTag(start, end, name) sees
// every start tag and returns false to stop; onStyleText(start, end) sees the text
// inside each style element.
template <typename OnTag, typename OnStyleText>
void WalkTagsAsBrowsers(std::string_view page, OnTag onTag, OnStyleText onStyleText) {
    constexpr auto npos = std::string_view::npos;
    for (std::size_t i = page.find('<'); i != npos && i + 1 < page.size();) {
        const char next = page[i + 1];
        if (HasWordAt(page, i, "<!--")) {
            const auto end = page.find("-->", i + 2);
            i = end == npos ? npos : page.find('<', end + 3);
            continue;
        }
        if (!IsAsciiLetter(next)) {
            // End tags, declarations and processing instructions carry no links.
            const auto end =
                next == '/' || next == '!' || next == '?' ? page.find('>', i + 1) : i;
            i = end == npos ? npos : page.find('<', end + 1);
            continue;
        }
        std::size_t nameEnd = 0;
        const std::size_t end = StartTagEnd(page, i, &nameEnd);
        if (end == npos)
            break;
        const std::string_view name = page.substr(i + 1, nameEnd - i - 1);
        if (!onTag(i, end, name))
            return;
        i = end;
        if (EqualsIgnoringAsciiCase(name, "script")) {
            i = RawTextEnd(page, "</script", end);
        } else if (EqualsIgnoringAsciiCase(name, "style")) {
            i = RawTextEnd(page, "</style", end);
            onStyleText(end, i);
        }
        i = page.find('<', i);
    }
}
