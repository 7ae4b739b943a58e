// CXMLElement::Parse: the element text read back into a tree.

#include "model/xml_element.h"
#include "model/xml_value_text.h"
#include "web/byte_text.h"

#include <optional>

namespace {

// Deeper nesting than any project file needs; a deeper text is taken for damage rather
// than followed.
constexpr std::size_t kMaxDepth = 256;

// Tabs, line breaks and form feeds are not part of any tag or plain value.
constexpr bool IsDroppedByte(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

constexpr bool IsBlank(char c) {
    return c == ' ' || IsDroppedByte(c);
}

constexpr bool IsLineBreak(char c) {
    return c == '\n' || c == '\r';
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    return at;
}

std::string WithoutDroppedBytes(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    for (const char c : text)
        if (!IsDroppedByte(c))
            kept += c;
    return kept;
}

// Tag names are stored upper-cased by ASCII rules.
std::string UpperName(std::string_view tag) {
    std::string name;
    name.reserve(tag.size());
    AppendUpperAscii(name, tag);
    return name;
}

std::string ValueText(std::string_view text, bool escaped) {
    std::string value = WithoutDroppedBytes(text.substr(SkipBlanks(text, 0)));
    return escaped ? UnescapeValue(value) : value;
}

// Whether a tag stands on a line after the first of the text from a start tag to its end
// tag. No saved value held one, so the value has run on past its own line: an end tag or
// a start tag is missing.
bool RunsIntoTaggedLines(std::string_view value) {
    const std::size_t lineBreak = FindFirstOfBytes<'\n', '\r'>(value, 0);
    return value.find('<', lineBreak) != std::string_view::npos;
}

// Where the value ends when the element whose start tag runs from tagStart to content is
// alone on its line: the tag begins the line and endTag ends it. Every version has written
// each value so, which lets a value that an earlier version wrote plain, such as "<3" or
// "</a>", be read whole.
std::optional<std::size_t> LineValueEnd(std::string_view text, std::size_t tagStart,
                                        std::size_t content, std::string_view endTag) {
    std::size_t lineStart = tagStart;
    while (lineStart > 0 && (text[lineStart - 1] == ' ' || text[lineStart - 1] == '\t'))
        --lineStart;
    if (lineStart == 0 || !IsLineBreak(text[lineStart - 1]))
        return std::nullopt;
    std::size_t lineEnd = FindFirstOfBytes<'\n', '\r'>(text, content);
    while (lineEnd > content && IsBlank(text[lineEnd - 1]))
        --lineEnd;
    if (lineEnd - content < endTag.size() ||
        text.substr(lineEnd - endTag.size(), endTag.size()) != endTag)
        return std::nullopt;
    return lineEnd - endTag.size();
}

// An element still waiting for its end tag, spelled as its start tag was.
struct OpenElement {
    CXMLElement* element;
    std::string tag;
    std::size_t start = 0; // of its start tag in the text
};

// Reads text as elements appended to parent, which lies depth levels below the root. One
// pass with a stack of the open elements, so the cost is linear in the text whatever its
// nesting. An element whose content starts with "<" holds elements, and each must be
// closed by its own end tag; any other content is a value that runs to the end tag. With
// valueLines, an element alone on its line below the top level holds the line's text as
// its value when that does not read as elements. Any other surprise is damage: false.
bool ReadElements(CXMLElement& parent, std::string_view text, std::size_t depth, bool valueLines,
                  CXMLDamage* damage) {
    std::vector<OpenElement> open{{&parent, {}}};
    const auto damaged = [damage](std::string what, std::size_t offset) {
        if (damage != nullptr)
            *damage = {std::move(what), offset};
        return false;
    };
    std::string endTag;
    std::size_t at = SkipBlanks(text, 0);
    while (at < text.size()) {
        if (text[at] != '<')
            return damaged("stray text between elements", at);
        const std::size_t tagStart = at;
        const std::size_t close = text.find('>', at);
        if (close == std::string_view::npos)
            return damaged("cut short inside a tag", at);
        std::string tag = WithoutDroppedBytes(text.substr(at + 1, close - at - 1));
        at = close + 1;
        if (tag.empty() || tag.find('<') != std::string::npos)
            return damaged("a broken tag", tagStart);

        if (tag.front() == '/') {
            if (open.size() == 1)
                return damaged("<" + tag + "> closes no element", tagStart);
            if (std::string_view(tag).substr(1) != open.back().tag)
                return damaged("<" + open.back().tag + "> is not closed before <" + tag + ">",
                               tagStart);
            open.pop_back();
            at = SkipBlanks(text, at);
            continue;
        }

        const std::size_t childDepth = depth + open.size();
        if (childDepth > kMaxDepth)
            return damaged("nested deeper than " + std::to_string(kMaxDepth) + " levels", tagStart);
        CXMLElement& owner = *open.back().element;
        if (tag.front() == '?' || tag.front() == '!') {
            // A declaration such as an XML prolog has no end tag.
            owner.AddChild(std::make_unique<CXMLElement>(UpperName(tag), ""));
            at = SkipBlanks(text, at);
            continue;
        }
        const bool escaped =
            tag.size() > kEscapedTagMarker.size() && tag.ends_with(kEscapedTagMarker);
        std::string name = UpperName(
            std::string_view(tag).substr(0, tag.size() - (escaped ? kEscapedTagMarker.size() : 0)));
        endTag.assign("</").append(tag).append(">");

        if (valueLines && open.size() > 1) {
            if (const auto valueEnd = LineValueEnd(text, tagStart, at, endTag)) {
                const std::string_view line = text.substr(at, *valueEnd - at);
                auto child = std::make_unique<CXMLElement>(name, "");
                const std::size_t first = SkipBlanks(line, 0);
                const bool elements = !escaped && first < line.size() && line[first] == '<';
                if (!elements || !ReadElements(*child, line, childDepth, false, nullptr))
                    child =
                        std::make_unique<CXMLElement>(std::move(name), ValueText(line, escaped));
                owner.AddChild(std::move(child));
                at = SkipBlanks(text, *valueEnd + endTag.size());
                continue;
            }
        }

        CXMLElement* child = owner.AddChild(std::make_unique<CXMLElement>(std::move(name), ""));
        const std::size_t content = SkipBlanks(text, at);
        if (text.substr(content).starts_with(endTag)) {
            at = SkipBlanks(text, content + endTag.size());
            continue;
        }
        if (!escaped && (content == text.size() || text[content] == '<')) {
            open.push_back({child, std::move(tag), tagStart});
            at = content;
            continue;
        }
        const std::size_t end = text.find(endTag, content);
        if (end == std::string_view::npos)
            return damaged("cut short: the value of <" + tag + "> never ends", tagStart);
        if (RunsIntoTaggedLines(text.substr(at, end - at)))
            return damaged("the value of <" + tag + "> runs on past its line: a tag is missing",
                           tagStart);
        child->SetValue(ValueText(text.substr(content, end - content), escaped));
        at = SkipBlanks(text, end + endTag.size());
    }
    if (open.size() != 1)
        return damaged("cut short: <" + open.back().tag + "> is never closed", open.back().start);
    return true;
}

} // namespace

bool CXMLElement::Parse(std::string_view text, CXMLDamage* damage) {
    return ReadElements(*this, text, 0, true, damage);
}
