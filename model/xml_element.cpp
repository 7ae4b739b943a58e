#include "model/xml_element.h"

#include "model/xml_value_text.h"

#include <algorithm>
#include <ostream>

namespace {

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
    const std::string& value = element.GetValue();
    const std::string_view marker = ValueNeedsEscaping(value) ? kEscapedTagMarker : "";
    line.append("<").append(element.GetName()).append(marker).append(">");
    if (marker.empty())
        line.append(value);
    else
        AppendEscapedValue(line, value);
    line.append("</").append(element.GetName()).append(marker).append(">\r\n");
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
