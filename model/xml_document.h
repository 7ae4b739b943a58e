#pragma once
// CXMLDocument: reading and writing a whole element tree as text, for the project
// document that derives from it.
//
// A damaged text (see CXMLElement::Parse) reads as no element at all. Errors of the
// streams are not caught here; with exceptions enabled on the stream they
// end the load or save in the caller.

#include "model/xml_element.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class CXMLDocument {
public:
    // Bytes asked for by each read of a file being loaded.
    static constexpr std::size_t kReadChunkBytes = 8191;

    virtual ~CXMLDocument() = default;

    // The top-level element named "DATA", detached and owned by the caller; when there is
    // none, the last top-level element; null when the text holds no element at all, is
    // damaged or is longer than kMaxFileBytes.
    static std::unique_ptr<CXMLElement> ReadXML(std::istream& in);
    // Writes element at level 0.
    static void WriteXML(const CXMLElement& element, std::ostream& out);

    // Files larger than this are refused unread: no project comes near it.
    static constexpr std::uintmax_t kMaxFileBytes = 256ull * 1024 * 1024;

    // The first half of ReadXML, for a loader that looks at the text before deciding how to
    // read it: reads from the current position in chunks of kReadChunkBytes, keeps each
    // chunk only up to its first zero byte, and stops after the first short read (so the
    // stream is left at its end with eofbit and failbit set). Nothing when the stream holds
    // more than kMaxFileBytes; it is read no further than that.
    static std::optional<std::string> ReadXMLText(std::istream& in);
    // The second half of ReadXML: parses and picks the element as ReadXML does.
    static std::unique_ptr<CXMLElement> ParseXMLText(std::string_view text,
                                                     CXMLDamage* damage = nullptr);
};
