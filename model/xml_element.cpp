#include "model/xml_element.h"

#include "web/byte_text.h"

#include <algorithm>
#include <ostream>

namespace {

// One pending parse: the text of an element's content and the element that receives
// what is found in it.
struct ParseJob {
    CXMLElement* element;
    std::string_view text;
};

// Tag names are stored upper-cased by ASCII rules.
std::string UpperName(std::string_view tag) {
    std::string name;
    name.reserve(tag.size());
    AppendUpperAscii(name, tag);
    return name;
}

// One level of the reader: appends the elements of text to element and queues the
// content of every child that holds nested elements. All views point into the caller's
// text, and each step only advances the start of the remaining text, so a level costs
// time linear in its text. A child whose end tag is missing takes the previous child's
// content (empty for the first), exactly as the cut-and-search loop this mirrors does.
void ParseLevel(CXMLElement& element, std::string_view text, std::vector<ParseJob>& jobs) {
    std::string_view content;
    std::string endTag;
    while (!text.empty()) {
        const std::size_t close = text.find('>');
        if (close == std::string_view::npos) {
            // Nothing more can be consumed; going on would add the same child forever.
            break;
        }
        std::string_view tag = text.substr(0, close); // the ">" is its only trailing one
        text.remove_prefix(close + 1);
        tag = SkipLeading(tag, '<');

        endTag.assign("</").append(tag).append(">");
        const std::size_t end = text.find(endTag);
        if (end != std::string_view::npos) {
            content = SkipLeading(text.substr(0, end), ' ');
            text = SkipLeading(text.substr(end + endTag.size()), ' ');
        }

        CXMLElement* child = element.AddChild(std::make_unique<CXMLElement>(UpperName(tag), ""));
        if (content.find('<') != std::string_view::npos) {
            jobs.push_back({child, content});
        } else {
            child->SetValue(std::string(content));
        }
    }
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

void CXMLElement::Parse(std::string_view text) {
    // Nested content is queued instead of parsed recursively: each child's content only
    // ever adds to that child, so the order does not change the tree, and a deeply nested
    // damaged file cannot overflow the stack.
    std::vector<ParseJob> jobs{{this, text}};
    while (!jobs.empty()) {
        const ParseJob job = jobs.back();
        jobs.pop_back();
        ParseLevel(*job.element, job.text, jobs);
    }
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
