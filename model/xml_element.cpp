#include "model/xml_element.h"

#include "web/byte_text.h"

#include <algorithm>
#include <ostream>

namespace {

// Deeper nesting than any project file needs; a deeper text is taken for damage rather
// than followed.
constexpr std::size_t kMaxDepth = 256;

// Tag names are stored upper-cased by ASCII rules.
std::string UpperName(std::string_view tag) {
    std::string name;
    name.reserve(tag.size());
    AppendUpperAscii(name, tag);
    return name;
}

// An element still waiting for its end tag, spelled as its start tag was.
struct OpenElement {
    CXMLElement* element;
    std::string_view tag;
};

// True when text starts with "</" + tag + ">".
bool StartsWithEndTag(std::string_view text, std::string_view tag) {
    return text.size() >= tag.size() + 3 && text.substr(0, 2) == "</" &&
           text.substr(2, tag.size()) == tag && text[tag.size() + 2] == '>';
}

// One pass over the text with a stack of the open elements, so the cost is linear in the
// text whatever its nesting. An element whose content starts with anything but "<" holds a
// value that runs to its end tag; otherwise it holds elements. An end tag may close an
// outer element, which ends the elements opened inside it as they are (so a value that
// begins with "<" costs that value, not the file). Every other surprise is damage.
bool ParseElements(CXMLElement& root, std::string_view text) {
    std::vector<OpenElement> open{{&root, {}}};
    std::string endTag;
    text = SkipLeading(text, ' ');
    while (!text.empty()) {
        if (text.front() != '<')
            return false; // stray text between elements
        const std::size_t close = text.find('>');
        if (close == std::string_view::npos)
            return false; // cut inside a tag
        const std::string_view tag = text.substr(1, close - 1);
        text = SkipLeading(text.substr(close + 1), ' ');
        if (tag.empty() || tag.find('<') != std::string_view::npos)
            return false;

        if (tag.front() == '/') {
            const std::string_view name = tag.substr(1);
            std::size_t match = open.size();
            while (match > 1 && open[match - 1].tag != name)
                --match;
            if (match == 1)
                return false; // closes nothing that is open
            open.resize(match - 1);
            continue;
        }

        if (open.size() > kMaxDepth)
            return false; // the child would be one level too deep
        CXMLElement* child =
            open.back().element->AddChild(std::make_unique<CXMLElement>(UpperName(tag), ""));
        if (tag.front() == '?' || tag.front() == '!')
            continue; // a declaration such as an XML prolog has no end tag
        if (StartsWithEndTag(text, tag)) {
            text = SkipLeading(text.substr(tag.size() + 3), ' ');
            continue;
        }
        if (text.empty() || text.front() == '<') {
            open.push_back({child, tag});
            continue;
        }
        endTag.assign("</").append(tag).append(">");
        const std::size_t end = text.find(endTag);
        if (end == std::string_view::npos)
            return false; // the value never ends
        child->SetValue(std::string(text.substr(0, end)));
        text = SkipLeading(text.substr(end + endTag.size()), ' ');
    }
    return open.size() == 1;
}

void AppendIndent(std::string& line, int level) {
    line.append(static_cast<std::size_t>(std::max(level, 0)) * 3, ' ');
}

void WriteStartLine(std::ostream& out, std::string& line, const CXMLElement& element, int level) {
    line.clear();
    AppendIndent(line, level);
    line.append("<").append(element.GetName()).append(">\r\n");
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

void WriteEndLine(std::ostream& out, std::string& line, const CXMLElement& element, int level) {
    line.clear();
    AppendIndent(line, level);
    line.append("</").append(element.GetName()).append(">\r\n");
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

void WriteValueLine(std::ostream& out, std::string& line, const CXMLElement& element, int level) {
    line.clear();
    AppendIndent(line, level);
    line.append("<").append(element.GetName()).append(">");
    line.append(element.GetValue());
    line.append("</").append(element.GetName()).append(">\r\n");
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

} // namespace

CXMLElement::CXMLElement(std::string name, std::string value)
    : m_value(std::move(value)), m_name(std::move(name)) {}

CXMLElement::~CXMLElement() {
    if (!m_children) {
        return;
    }
    std::vector<std::unique_ptr<CXMLElement>> doomed = std::move(*m_children);
    while (!doomed.empty()) {
        std::unique_ptr<CXMLElement> element = std::move(doomed.back());
        doomed.pop_back();
        if (element->m_children) {
            for (auto& child : *element->m_children) {
                doomed.push_back(std::move(child));
            }
            element->m_children.reset();
        }
    }
}

CXMLElement* CXMLElement::AddChild(std::unique_ptr<CXMLElement> child) {
    if (!m_children) {
        m_children = std::make_unique<std::vector<std::unique_ptr<CXMLElement>>>();
    }
    m_children->push_back(std::move(child));
    return m_children->back().get();
}

std::size_t CXMLElement::GetChildCount() const {
    return m_children ? m_children->size() : 0;
}

CXMLElement* CXMLElement::GetChild(std::size_t index) const {
    if (!m_children || index >= m_children->size()) {
        return nullptr;
    }
    return (*m_children)[index].get();
}

CXMLElement* CXMLElement::FindChild(std::string_view name) const {
    if (!m_children || m_children->empty()) {
        return nullptr;
    }
    for (const auto& child : *m_children) {
        if (child->m_name == name) {
            return child.get();
        }
    }
    // A dropped site's text holds a lone SITE element and no DATA; callers rely on
    // getting the last element then.
    return m_children->back().get();
}

std::unique_ptr<CXMLElement> CXMLElement::RemoveChild(const CXMLElement* child) {
    if (!m_children) {
        return nullptr;
    }
    const auto found = std::find_if(m_children->begin(), m_children->end(),
                                    [child](const auto& owned) { return owned.get() == child; });
    if (found == m_children->end()) {
        return nullptr;
    }
    std::unique_ptr<CXMLElement> detached = std::move(*found);
    m_children->erase(found);
    return detached;
}

bool CXMLElement::Parse(std::string_view text) {
    return ParseElements(*this, text);
}

void CXMLElement::Write(std::ostream& out, int level) const {
    std::string line;
    if (!m_children) {
        WriteValueLine(out, line, *this, level);
        return;
    }
    // An explicit stack for the same reason as Parse: no recursion on the tree's depth.
    struct Frame {
        const CXMLElement* element;
        std::size_t next;
        int level;
    };
    WriteStartLine(out, line, *this, level);
    std::vector<Frame> stack{{this, 0, level}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.element->m_children->size()) {
            WriteEndLine(out, line, *top.element, top.level);
            stack.pop_back();
            continue;
        }
        const CXMLElement& child = *(*top.element->m_children)[top.next++];
        const int childLevel = top.level + 1;
        if (child.m_children) {
            WriteStartLine(out, line, child, childLevel);
            stack.push_back({&child, 0, childLevel}); // invalidates top
        } else {
            WriteValueLine(out, line, child, childLevel);
        }
    }
}
