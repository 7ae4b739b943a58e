#include "model/xml_document.h"

#include <array>
#include <istream>

std::unique_ptr<CXMLElement> CXMLDocument::ReadXML(std::istream& in) {
    const std::optional<std::string> text = ReadXMLText(in);
    return text ? ParseXMLText(*text) : nullptr;
}

void CXMLDocument::WriteXML(const CXMLElement& element, std::ostream& out) {
    element.Write(out, 0);
}

std::optional<std::string> CXMLDocument::ReadXMLText(std::istream& in) {
    std::string text;
    std::array<char, kReadChunkBytes> chunk;
    std::uintmax_t total = 0;
    for (;;) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        total += got;
        if (total > kMaxFileBytes)
            return std::nullopt; // an endless stream, or a file grown past the limit
        const std::string_view part(chunk.data(), got);
        // Each chunk counts as a zero-terminated string.
        text.append(part.substr(0, part.find('\0')));
        if (got < chunk.size()) {
            return text;
        }
    }
}

std::unique_ptr<CXMLElement> CXMLDocument::ParseXMLText(std::string_view text, CXMLDamage* damage) {
    CXMLElement root("ROOT", "");
    if (!root.Parse(text, damage))
        return nullptr;
    const CXMLElement* data = root.FindChild("DATA");
    if (data == nullptr && damage != nullptr)
        *damage = {"no <DATA> element", 0};
    return data ? root.RemoveChild(data) : nullptr;
}
