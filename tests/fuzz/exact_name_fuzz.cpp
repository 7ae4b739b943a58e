// Any link on any page, read exactly: a local name is either refused (empty) or a clean
// relative path of names no longer than file systems allow, it ends with an extension of
// the type it was given, and the relative link between two names leads a browser from the
// one file to the other.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "web/byte_text.h"
#include "web/exact_name.h"
#include "web/long_name.h"
#include "fuzz_input.h"

namespace {
void CheckName(std::string_view name, TypedExtension type) {
    if (name.empty())
        return;
    Require(!name.starts_with('/'));
    std::string_view rest = name;
    for (;;) {
        const auto slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        Require(!part.empty() && part != "." && part != "..");
        // Every name the file system can hold, the server's folder too.
        Require(part.size() <= kLongestNameBytes);
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    if (!type.extension.empty())
        Require(TypeOfExtension(NameExtension(rest)).type == type.type);
}

std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
            HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// What a browser opens for link on the page stored as fromName, as a name of the site's
// folder: the link's segments walked from the page's folder, each one decoded.
std::string Followed(std::string_view fromName, std::string_view link) {
    link = link.substr(0, link.find('#'));
    Require(SchemeNameOf(link).empty());
    std::vector<std::string> parts;
    std::string_view folder = fromName.substr(0, fromName.rfind('/') + 1);
    for (auto slash = folder.find('/'); slash != std::string_view::npos; slash = folder.find('/')) {
        parts.emplace_back(folder.substr(0, slash));
        folder.remove_prefix(slash + 1);
    }
    for (;;) {
        const auto slash = link.find('/');
        const std::string_view part = link.substr(0, slash);
        if (part == "..") {
            Require(!parts.empty());
            parts.pop_back();
        } else if (part != ".") {
            parts.push_back(PercentDecoded(part));
        }
        if (slash == std::string_view::npos)
            break;
        link.remove_prefix(slash + 1);
    }
    std::string name;
    for (const auto& part : parts) {
        if (!name.empty())
            name += '/';
        name += part;
    }
    return name;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [baseText, linkText] =
        SplitBaseAndLink(std::string_view(reinterpret_cast<const char*>(data), size));

    const CUrl base(nullptr, baseText, kLinkFollowed, UrlReading::Exact);
    const CUrl link(&base, linkText, kLinkFollowed, UrlReading::Exact);
    const CExactNaming naming{base.host, KeyPort(base), "index.htm"};

    const TypedExtension types[] = {
        {},
        TypeOfContent("text/html"),
        TypeOfContent("text/css"),
        TypeOfContent("image/jpeg"),
        PredictedType(link, LinkContext::Page, naming.defaultDocument),
    };
    const std::string fromName = ExactLocalName(base, naming, types[1]);
    CheckName(fromName, types[1]);
    for (const auto type : types) {
        for (const int unique : {0, 2, 17}) {
            const std::string name = ExactLocalName(link, naming, type, unique);
            CheckName(name, type);
            if (fromName.empty() || name.empty())
                continue;
            const std::string relative = RelativeLink(fromName, name, link.fragment);
            Require(Followed(fromName, relative) == name);
        }
    }
    (void)TypeOfContent(linkText);
    (void)ServerFolder(link, naming);
    return 0;
}
