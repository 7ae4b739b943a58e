#pragma once
// CXMLElement: one element of the project file's tree, with a name and either a text
// value or owned children.
//
// The text format only looks like XML: no attributes, entities, comments or empty-element
// tags. A value the plain form would garble is written escaped (see xml_value_text.h), so
// every value survives a write and a read byte for byte. An element and its subtree are
// used by one thread at a time.

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// What makes an element text damaged, for telling the user: what is wrong ("cut short:
// <GROUP> is never closed") and the byte where it was found.
struct CXMLDamage {
    std::string what;
    std::size_t offset = 0;
};

class CXMLElement {
public:
    CXMLElement(std::string name, std::string value);
    // Deletes the whole subtree without recursing, so a deeply nested tree read from a
    // damaged file cannot overflow the stack.
    virtual ~CXMLElement();
    CXMLElement(const CXMLElement&) = delete;
    CXMLElement& operator=(const CXMLElement&) = delete;

    const std::string& GetName() const { return m_name; }
    const std::string& GetValue() const { return m_value; }
    void SetValue(std::string value) { m_value = std::move(value); }

    // Appends child after the existing children and returns it; creates the children
    // list on first use.
    CXMLElement* AddChild(std::unique_ptr<CXMLElement> child);
    // 0 when there is no children list.
    std::size_t GetChildCount() const;
    // Null when index is out of range.
    CXMLElement* GetChild(std::size_t index) const;
    // The first child named exactly name; when none is, the last child; null only when
    // there are no children.
    CXMLElement* FindChild(std::string_view name) const;
    // Detaches child and hands it back; null (and no change) when it is not a child.
    // The children list stays, even when it becomes empty.
    std::unique_ptr<CXMLElement> RemoveChild(const CXMLElement* child);
    // True once a child has been added, even if all have been removed since; an element
    // with a list is written with its tags on lines of their own.
    bool HasChildList() const { return m_children != nullptr; }

    // Appends the elements found in text as children. Tag names are stored upper-cased
    // (ASCII only); end tags must match the start tag's spelling exactly. Tabs, line breaks
    // and form feeds count as blanks between elements and are dropped from plain values.
    // False when the text is damaged: an element left open (a cut file or a lost end tag),
    // text outside any tag, an end tag that is not the innermost open element's, a value
    // that runs on into the lines of other elements, or nesting deeper than 256 levels.
    // What was appended before the damage was found stays; callers throw it away. damage,
    // when given, is told what is wrong and where.
    bool Parse(std::string_view text, CXMLDamage* damage = nullptr);
    // Writes the element and its subtree, indented by three spaces per level, each line
    // ending in CR LF and handed to out as one write. Stream errors are not caught.
    void Write(std::ostream& out, int level) const;

private:
    std::string m_value;
    std::string m_name;
    // Null until the first AddChild: "no list" and "empty list" are written differently.
    std::unique_ptr<std::vector<std::unique_ptr<CXMLElement>>> m_children;
};
