#pragma once
// Builds a changed copy of a text piece by piece: spans are replaced in order of their
// position, and the bytes between them are copied once. Until the first replacement
// nothing is copied, so an unchanged text costs no allocation.

#include <string>
#include <string_view>

class CSplicer {
public:
    explicit CSplicer(std::string_view text) : m_text(text) {}

    // Replaces [start, end); spans must come in order and not overlap.
    void Replace(std::size_t start, std::size_t end, std::string_view with) {
        if (!m_changed)
            m_out.reserve(m_text.size() + m_text.size() / 8);
        m_out.append(m_text.substr(m_copied, start - m_copied));
        m_out.append(with);
        m_copied = end;
        m_changed = true;
    }
    bool Changed() const { return m_changed; }
    // The new text; the original when nothing was replaced.
    std::string Finish() {
        if (!m_changed)
            return std::string(m_text);
        m_out.append(m_text.substr(m_copied));
        return std::move(m_out);
    }

private:
    std::string_view m_text;
    std::string m_out;
    std::size_t m_copied = 0;
    bool m_changed = false;
};
